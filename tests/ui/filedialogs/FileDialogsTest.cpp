#include "ui/FileDialogs.h"
#include "support/TempFolder.h"
#include "ui/QtTranslations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace {

// Runs `look` on the file dialog once it is open, then answers it: with the
// file `choose` (a full path) or, when it is empty, with Cancel.
void WhenOpen(std::function<void(QFileDialog&)> look, QString choose = {}) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, look, choose] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr)
      return;
    poll->deleteLater();
    look(*dialog);
    if (choose.isEmpty()) {
      dialog->reject();
    } else {
      dialog->selectFile(choose);
      static_cast<QDialog*>(dialog)->accept(); // its own accept() checks the name
    }
  });
  poll->start(10);
}

// A button's text without its mnemonic: "保存(&S)" reads 保存.
QStringList ButtonTexts(const QFileDialog& dialog) {
  QStringList texts;
  for (const QAbstractButton* button : dialog.findChild<QDialogButtonBox*>()->buttons())
    texts << button->text().remove(QRegularExpression("\\(&.\\)")).remove('&');
  return texts;
}

} // namespace

class FileDialogsTest : public QObject {
  Q_OBJECT
  TTempFolder home_;

private slots:
  void initTestCase() {
    qputenv("HOME", home_.Path().c_str());
    QVERIFY(LoadQtTranslations(*QCoreApplication::instance()));
  }

  // Qt's own dialog speaks Japanese and starts in the home folder, then in
  // the folder of the last file chosen.
  void JapaneseDialogInTheHomeFolderThenTheLastOne() {
    QStringList buttons;
    QString folder;
    WhenOpen([&](QFileDialog& dialog) {
      buttons = ButtonTexts(dialog);
      folder = dialog.directory().absolutePath();
    });
    QCOMPARE(FileDialogs().SaveFile("名前を付けて保存", "CSVファイル (*.csv)", "csv", "list.csv"),
             std::string());
    QCOMPARE(buttons, QStringList({"保存", "キャンセル"}));
    QCOMPARE(folder, QDir(QString::fromStdString(home_.Path())).absolutePath());

    const QString exports = QString::fromStdString(home_.Path()) + "/exports";
    QVERIFY(QDir().mkpath(exports));
    WhenOpen([](QFileDialog&) {}, exports + "/calls.csv");
    QCOMPARE(FileDialogs().SaveFile("名前を付けて保存", "CSVファイル (*.csv)", "csv", "calls.csv"),
             (exports + "/calls.csv").toStdString());
    WhenOpen([&](QFileDialog& dialog) {
      buttons = ButtonTexts(dialog);
      folder = dialog.directory().absolutePath();
    });
    QCOMPARE(FileDialogs().OpenFile("ファイルを開く", "CSVファイル (*.csv)", "csv"), std::string());
    QCOMPARE(buttons, QStringList({"開く", "キャンセル"}));
    QCOMPARE(folder, exports);
  }
};

QTEST_MAIN(FileDialogsTest)
#include "FileDialogsTest.moc"

#include "ui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QTreeView>

namespace {

// Of Qt's file list: name, size, type, date.
constexpr int DateColumn = 3;

// The desktop's own dialog where its platform offers one (Qt chooses it);
// otherwise Qt's, in the folder the user last chose a file in, else the home
// folder, never the working folder of a program started from a menu ("/").
class TQtFileDialogs final : public IFileDialogs {
public:
  std::string OpenFile(const std::string& title, const std::string& filter,
                       const std::string& defaultExt) override {
    QFileDialog dialog(nullptr, QString::fromStdString(title), Folder(),
                       QString::fromStdString(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QString::fromStdString(defaultExt));
    return Run(dialog);
  }

  std::string SaveFile(const std::string& title, const std::string& filter,
                       const std::string& defaultExt, const std::string& fileName) override {
    const QString name = QString::fromStdString(fileName);
    QFileDialog dialog(nullptr, QString::fromStdString(title),
                       QDir::isAbsolutePath(name) ? name : QDir(Folder()).filePath(name),
                       QString::fromStdString(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(defaultExt));
    // The dialog itself asks before an existing file is overwritten.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    return Run(dialog);
  }

private:
  QString Folder() const { return QFileInfo(folder_).isDir() ? folder_ : QDir::homePath(); }

  // Qt's own dialog gives its columns English widths: the date column would
  // be cut to "…" in Japanese. It is widened to its dates once a folder is
  // read; the user may still size it.
  static void FitColumns(QFileDialog& dialog) {
    auto* files = dialog.findChild<QFileSystemModel*>();
    if (files == nullptr)
      return;
    QObject::connect(files, &QFileSystemModel::directoryLoaded, &dialog, [&dialog] {
      for (QTreeView* view : dialog.findChildren<QTreeView*>())
        view->resizeColumnToContents(DateColumn);
    });
  }

  std::string Run(QFileDialog& dialog) {
    FitColumns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
      return "";
    const QString chosen = dialog.selectedFiles().first();
    folder_ = QFileInfo(chosen).absolutePath();
    return chosen.toStdString();
  }

  QString folder_;
};

IFileDialogs* injected = nullptr;

} // namespace

void SetFileDialogs(IFileDialogs* dialogs) {
  injected = dialogs;
}

IFileDialogs& FileDialogs() {
  static TQtFileDialogs real;
  return injected != nullptr ? *injected : real;
}

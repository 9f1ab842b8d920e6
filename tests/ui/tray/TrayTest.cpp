#include "base/CodePage.h"
#include "core/MainForm.h"
#include "settings/Logging.h"
#include "support/TempFolder.h"
#include "ui/DesktopNotifier.h"
#include "ui/TrayIcon.h"
#include "ui/TrayMenu.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QtTest>
#include <filesystem>

namespace {

// Every line the main logger wrote into `folder`.
std::string LogText(const std::string& folder) {
  std::string text;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    text += Cp932ToUtf8(ReadFile(entry.path().string()));
  return text;
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

} // namespace

class TrayTest : public QObject {
  Q_OBJECT
private slots:
  void WithoutTrayKeepsStateAndWarnsOnce() {
    TTempFolder folder;
    MainLogger.SetLogDir(folder.Path() + "/");
    MainLogger.SetLevels(AllLogLevels);
    {
      TTrayIcon tray;
      QVERIFY(!tray.TrayAvailable());
      QVERIFY(!tray.Visible());
      tray.SetImageIndex(1);
      tray.SetVisible(true);
      tray.SetImageIndex(0);
      tray.SetVisible(false);
      tray.SetVisible(true);
      QCOMPARE(tray.ImageIndex(), 0);
      QVERIFY(tray.Visible());
      QVERIFY(!tray.Icon().isNull());
      tray.ShowBalloon("題", "本文", TBalloonIcon::Info, 10000);
      QVERIFY(tray.Balloon() != nullptr);
    }
    MainLogger.Close();
    const std::string log = LogText(folder.Path());
    QCOMPARE(Count(log, "[warng]"), 1);
    QVERIFY(log.find("タスクトレイがない") != std::string::npos);
    MainLogger.SetLogDir("");
  }

  void TipIsCutAt127Characters() {
    TTrayIcon tray;
    std::string tip;
    for (int i = 0; i < 130; ++i)
      tip += "あ";
    tray.SetTipHelp(tip);
    QCOMPARE(QString::fromStdString(tray.TipHelp()).size(), 127);
    tray.SetTipHelp("Teloria II");
    QCOMPARE(tray.TipHelp(), std::string("Teloria II"));
  }

  void BalloonsRememberKindTitleAndText() {
    TTrayIcon tray;
    QVERIFY(!tray.ShowBalloon("t", "x", 1, 5000)); // not registered
    QVERIFY(tray.Balloon() == nullptr);
    tray.SetImageIndex(0);
    tray.SetVisible(true);
    for (int kind : {1, 2, 3, 4, 5, 0, 9}) {
      QVERIFY(tray.ShowBalloon("Teloria II エラー", "\r\n本文\r\n", kind, 10000));
      QCOMPARE(tray.Balloon()->IconKind, kind);
      QCOMPARE(tray.Balloon()->Title, std::string("Teloria II エラー"));
      QCOMPARE(tray.Balloon()->Text, std::string("\r\n本文\r\n"));
      QCOMPARE(tray.Balloon()->TimeOut, 10000);
    }
    const std::pair<TBalloonIcon, int> kinds[] = {{TBalloonIcon::None, 0},
                                                  {TBalloonIcon::Info, 1},
                                                  {TBalloonIcon::Warning, 2},
                                                  {TBalloonIcon::Error, 3},
                                                  {TBalloonIcon::User, 4}};
    ITrayIcon& asInterface = tray;
    for (const auto& [icon, kind] : kinds) {
      asInterface.ShowBalloon("t", "x", icon, 10000);
      QCOMPARE(tray.Balloon()->IconKind, kind);
    }
    tray.ShowBalloon(std::string(70, 'T'), std::string(300, 'x'), 1, 10000);
    QCOMPARE(tray.Balloon()->Title.size(), size_t(63));
    QCOMPARE(tray.Balloon()->Text.size(), size_t(255));
    asInterface.HideBalloon();
    QVERIFY(tray.Balloon() == nullptr);
    QCOMPARE(ENotifyIconError(TNotifyIconOperation::Add).Message(),
             std::string("タスクトレイにアイコンを登録できません。"));
  }

  void NotificationBodiesLoseTheBalloonsMargins() {
    QCOMPARE(NotificationBody("\r\n  ポートを開けません。\r\n  グループに参加して下さい。  \r\n"),
             QString("ポートを開けません。\nグループに参加して下さい。"));
  }

  void MenuHasEveryItemInOrderAndCallsItsHandler() {
    std::vector<TMainFormHandler> called;
    TTrayMenu menu([&](TMainFormHandler h) { called.push_back(h); });
    QCOMPARE(menu.objectName(), QString("PopupMenu1"));
    const std::vector<std::tuple<QString, QString, TMainFormHandler>> expected = {
        {"RMenuItemMirelMemory", "Mirelメモリ(&M)", &TMainForm::RMenuItemMirelMemoryClick},
        {"RMenuItemPhoneList", "登録一覧(&C)", &TMainForm::RMenuItemPhoneListClick},
        {"RMenuItemIncomingHistory", "着信履歴(&H)", &TMainForm::RMenuItemIncomingHistoryClick},
        {"RMenuItemNewEdit", "新規編集(&N)", &TMainForm::RMenuItemNewEditClick},
        {"N3", "", nullptr},
        {"RMenuItemSetting", "設定(&O)", &TMainForm::RMenuItemSettingClick},
        {"N1", "", nullptr},
        {"RMenuItemAbout", "Teloria II について(&A)", &TMainForm::RMenuItemAboutClick},
        {"RMenuExitItem", "終了(&X)", &TMainForm::RMenuExitItemClick},
    };
    const QList<QAction*> actions = menu.actions();
    QCOMPARE(actions.size(), int(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
      const auto& [name, caption, handler] = expected[i];
      QAction* action = actions[int(i)];
      QCOMPARE(action->objectName(), name);
      QCOMPARE(action->isSeparator(), handler == nullptr);
      if (handler == nullptr)
        continue;
      QCOMPARE(action->text(), caption);
      QVERIFY(action->icon().isNull());
      called.clear();
      action->trigger();
      QCOMPARE(called.size(), size_t(1));
      QVERIFY(called[0] == handler);
    }
  }

  void TrayOpensTheMenuAndDoubleClickOpensSettings() {
    std::vector<TMainFormHandler> called;
    const auto record = [&](TMainFormHandler h) { called.push_back(h); };
    TTrayMenu menu(record);
    TTrayIcon tray;
    AttachTrayMenu(tray, menu, record);
    QCOMPARE(tray.TipHelp(), std::string("Teloria II"));
    auto* qtTray = tray.findChild<QSystemTrayIcon*>();
    QVERIFY(qtTray != nullptr);
    emit qtTray->activated(QSystemTrayIcon::Trigger);
    QTRY_VERIFY(menu.isVisible());
    menu.hide();
    emit qtTray->activated(QSystemTrayIcon::Context);
    QTRY_VERIFY(menu.isVisible());
    menu.hide();
    QVERIFY(called.empty());
    emit qtTray->activated(QSystemTrayIcon::DoubleClick);
    QCOMPARE(called.size(), size_t(1));
    QVERIFY(called[0] == &TMainForm::TrayIcon1DblClick);
  }

  void HandlersWithoutControllerDoNothing() {
    QVERIFY(MainForm == nullptr);
    TTrayMenu menu;
    for (QAction* action : menu.actions())
      action->trigger();
  }
};

QTEST_MAIN(TrayTest)
#include "TrayTest.moc"

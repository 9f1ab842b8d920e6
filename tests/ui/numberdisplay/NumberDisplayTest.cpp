#include "base/Clock.h"
#include "base/IniFile.h"
#include "core/LastIncomingInfo.h"
#include "data/TableRow.h"
#include "settings/AppSettings.h"
#include "settings/SettingsListeners.h"
#include "support/TempFolder.h"
#include "ui/NumberDisplayForm.h"
#include "ui/NumberEditForm.h"
#include "ui/UiWindows.h"
#include "ui/WindowState.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr double kSecond = 1.0 / 86400;

TTableRow Registered() {
  TTableRow row;
  row.SetValue("phone_number", "0312345678");
  row.SetValue("owner_name", "山田太郎");
  row.SetValue("memo1", "一行目\n二行目");
  row.SetValue("memo2", "メモ２");
  row.SetValue("memo3", "");
  row.SetValue("exec_cmd", "/usr/bin/true");
  row.SetValue("last_incoming_date", "2024/04/30 09:08:07.123");
  row.SetValue("_IncomingDate", "2024/05/01 10:11:12.345");
  row.SetValue("_IsValidNumber", "1");
  return row;
}

TTableRow Number(const std::string& number, const std::string& valid) {
  TTableRow row;
  row.SetValue("phone_number", number);
  row.SetValue("_IncomingDate", "2024/05/01 10:11:12.345");
  row.SetValue("_IsValidNumber", valid);
  return row;
}

QString Text(const char* name) {
  if (auto* edit = Windows().NumberDisplay()->findChild<QLineEdit*>(name))
    return edit->text();
  if (auto* memo = Windows().NumberDisplay()->findChild<QPlainTextEdit*>(name))
    return memo->toPlainText();
  return Windows().NumberDisplay()->findChild<QLabel*>(name)->text();
}

QRect Geometry(const char* name) {
  return Windows().NumberDisplay()->findChild<QWidget*>(name)->geometry();
}

bool EditEnabled() {
  return Windows().NumberDisplay()->findChild<QPushButton*>("EditButton")->isEnabled();
}

// The call-group state the controller would hold for `number`.
std::shared_ptr<TKT5GroupEventArgs> Group(const std::string& number) {
  auto ev = std::make_shared<TKT5GroupEventArgs>();
  ev->PhoneNumber = number;
  ev->NumberReceived = true;
  ev->NumberReceivedAt = Now();
  return ev;
}

void Tick() {
  Windows().NumberDisplay()->IncomingCheckTimerTimer();
}

} // namespace

class NumberDisplayTest : public QObject {
  Q_OBJECT
  TTempFolder folder_;
  TProgramHome home_{folder_.Path()};

private slots:
  void init() {
    SetFixedNow(EncodeDate(2024, 5, 1) + 10.0 / 24);
    AppSettings = TAppSettings();
    LastGroupEvent.reset();
  }
  void cleanup() {
    Windows().FreeAll();
    std::filesystem::remove(WindowStateFileName());
    ClearFixedNow();
  }

  void FillsARegisteredNumber() {
    Windows().ShowNumberDisplay(Registered());
    QVERIFY(Windows().NumberDisplay()->isVisible());
    QCOMPARE(Windows().NumberDisplay()->windowTitle(), QString("着信電話情報の表示 - Teloria II"));
    QCOMPARE(Text("IncomingTimeEdit"), QString("10:11:12"));
    QCOMPARE(Text("PrevIncomingDateEdit"), QString("2024/04/30 09:08:07"));
    QCOMPARE(Text("OwnerNameEdit"), QString("山田太郎"));
    QCOMPARE(Text("Memo1"), QString("一行目\n二行目"));
    QCOMPARE(Text("Memo2"), QString("メモ２"));
    QCOMPARE(Text("ExecCmdEdit"), QString("/usr/bin/true"));
    QCOMPARE(Text("PhoneNumberEdit"), QString("0312345678"));
    QCOMPARE(Text("IncomingTimeLabel"), QString("着信時刻"));
    QCOMPARE(Text("OnHookSecondsLabel"), QString("通話時間"));
    QVERIFY(EditEnabled());
  }

  void FillsUnregisteredAndWithheldNumbers() {
    TTableRow row = Number("0399999999", "1");
    row.SetValue("_IncomingDate", "");
    Windows().ShowNumberDisplay(row);
    QCOMPARE(Text("IncomingTimeEdit"), QString("10:00:00")); // now by default
    QCOMPARE(Text("PrevIncomingDateEdit"), QString(""));
    QCOMPARE(Text("OwnerNameEdit"), QString(""));
    QVERIFY(EditEnabled());

    Windows().ShowNumberDisplay(Number("P", "0"));
    QCOMPARE(Text("PhoneNumberEdit"), QString("非通知"));
    QCOMPARE(Text("IncomingTimeEdit"), QString("10:11:12"));
    QVERIFY(!EditEnabled());
    Windows().ShowNumberDisplay(Number("0311111111", "")); // anything but "1"
    QVERIFY(!EditEnabled());
  }

  void LiveTimesInTheirFiveCases() {
    Windows().ShowNumberDisplay(Registered());
    QCOMPARE(Text("OffHookSecondsEdit"), QString(""));
    auto ev = Group("0312345678");
    LastGroupEvent = ev;
    AdvanceFixedNow(5 * kSecond);
    Tick(); // ringing
    QCOMPARE(Text("OffHookSecondsEdit"), QString("00:00:05"));
    QCOMPARE(Text("OnHookSecondsEdit"), QString(""));

    ev->OffHookReceived = true;
    ev->OffHookReceivedAt = Now();
    ev->RingSeconds = 5;
    AdvanceFixedNow(3725 * kSecond);
    Tick(); // talking
    QCOMPARE(Text("OffHookSecondsEdit"), QString("00:00:05"));
    QCOMPARE(Text("OnHookSecondsEdit"), QString("01:02:05"));

    ev->OnHookReceived = true;
    ev->TalkSeconds = 360000;
    AdvanceFixedNow(60 * kSecond);
    Tick(); // hung up: fixed, hours not capped
    QCOMPARE(Text("OffHookSecondsEdit"), QString("00:00:05"));
    QCOMPARE(Text("OnHookSecondsEdit"), QString("100:00:00"));

    ev->UnansweredReceived = true;
    Tick(); // unanswered is checked first
    QCOMPARE(Text("OffHookSecondsEdit"), QString(""));
    QCOMPARE(Text("OnHookSecondsEdit"), QString("未応答"));

    LastGroupEvent = Group("0399999999");
    Tick(); // a newer call from another number
    QCOMPARE(Text("OffHookSecondsEdit"), QString(""));
    QCOMPARE(Text("OnHookSecondsEdit"), QString(""));

    auto early = Group("0312345678");
    early->NumberReceivedAt = Now() + kSecond;
    LastGroupEvent = early;
    Tick(); // a number time ahead of the clock shows nothing
    QCOMPARE(Text("OffHookSecondsEdit"), QString(""));

    // The timer itself updates the fields twice a second.
    LastGroupEvent = Group("0312345678");
    AdvanceFixedNow(2 * kSecond);
    QTRY_COMPARE(Text("OffHookSecondsEdit"), QString("00:00:02"));
    QCOMPARE(Windows().NumberDisplay()->findChild<QTimer*>("IncomingCheckTimer")->interval(), 500);
  }

  void ThreeLayouts() {
    struct TExpect {
      int font, line, memo, capW, valLeft, margin, timeW, rCapLeft, rValLeft, prevW, phoneW, sep,
          name, m1, m2, m3, cmd, phone, times, minW, minH;
    };
    const TExpect sizes[] = {
        {16, 22, 56, 124, 146, 194, 112, 274, 402, 188, 172,
         48, 66, 92, 152, 212, 272, 298, 324, 638, 475},
        {20, 26, 66,  146, 168, 216, 128, 314, 464, 240, 212,
         52, 70, 100, 170, 240, 310, 340, 370, 750, 526},
        {24, 30, 76,  168, 190, 238, 144, 354, 526, 292, 252,
         56, 74, 108, 188, 268, 348, 384, 420, 864, 578},
    };
    Windows().ShowNumberDisplay(Registered());
    // DispSize -> layout; a value outside 0..2 is large, as in every window.
    for (const auto& [setting, size] :
         std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {-1, 2}, {2, 2}, {0, 0}, {3, 2}}) {
      const TExpect& e = sizes[size];
      AppSettings.DispSize = setting;
      Windows().NumberDisplay()->SettingsChanged();
      QCOMPARE(Windows().NumberDisplay()->LayoutSize(), size);
      QWidget* container = Windows().NumberDisplay()->findChild<QWidget*>("TopContainerPanel");
      QCOMPARE(container->minimumSize(), QSize(e.minW, e.minH));
      QCOMPARE(container->size(), QSize(e.minW, e.minH)); // shrunk to the minimum
      const int cw = container->width();
      QCOMPARE(Geometry("IncomingTimeLabel"), QRect(18, 18, e.capW, e.line));
      QCOMPARE(Geometry("IncomingTimeEdit"), QRect(e.valLeft, 18, e.timeW, e.line));
      QCOMPARE(Geometry("PrevIncomingDateLabel"), QRect(e.rCapLeft, 18, e.capW, e.line));
      QCOMPARE(Geometry("PrevIncomingDateEdit"), QRect(e.rValLeft, 18, e.prevW, e.line));
      QCOMPARE(Geometry("SeparateLabel").top(), e.sep);
      QCOMPARE(Geometry("OwnerNameLabel"), QRect(18, e.name, e.capW, e.line));
      QCOMPARE(Geometry("OwnerNameEdit"), QRect(e.valLeft, e.name, cw - e.margin, e.line));
      QCOMPARE(Geometry("Memo1Label"), QRect(18, e.m1, e.capW, e.memo));
      QCOMPARE(Geometry("Memo1"), QRect(e.valLeft, e.m1, cw - e.margin, e.memo));
      QCOMPARE(Geometry("Memo2").top(), e.m2);
      QCOMPARE(Geometry("Memo3"), QRect(e.valLeft, e.m3, cw - e.margin, e.memo));
      QCOMPARE(Geometry("ExecCmdEdit"), QRect(e.valLeft, e.cmd, cw - e.margin, e.line));
      QCOMPARE(Geometry("PhoneNumberEdit"), QRect(e.valLeft, e.phone, e.phoneW, e.line));
      QCOMPARE(Geometry("OffHookSecondsEdit"), QRect(e.valLeft, e.times, e.timeW, e.line));
      QCOMPARE(Geometry("OnHookSecondsLabel"), QRect(e.rCapLeft, e.times, e.capW, e.line));
      QCOMPARE(Geometry("OnHookSecondsEdit"), QRect(e.rValLeft, e.times, e.timeW, e.line));
      QCOMPARE(Windows().NumberDisplay()->findChild<QWidget*>("Memo2")->font().pixelSize(), e.font);
      // Captions a little smaller, so that each keeps room at both ends.
      QCOMPARE(
          Windows().NumberDisplay()->findChild<QWidget*>("PhoneNumberLabel")->font().pixelSize(),
          e.font - 2);
      for (const char* name : {"OffHookSecondsLabel", "PrevIncomingDateLabel"}) {
        const QLabel* caption = Windows().NumberDisplay()->findChild<QLabel*>(name);
        QVERIFY(QFontMetrics(caption->font()).horizontalAdvance(caption->text()) + 12 <=
                caption->width());
      }
    }
    // A wider window stretches the name, memos and command.
    Windows().NumberDisplay()->resize(Windows().NumberDisplay()->width() + 100,
                                      Windows().NumberDisplay()->height());
    QCOMPARE(Geometry("OwnerNameEdit").width(),
             Windows().NumberDisplay()->findChild<QWidget*>("TopContainerPanel")->width() - 238);
  }

  // Grown to the large text at the right of the screen, shown or hidden
  // meanwhile, the display stays within the screen, its edit button too.
  void GrownDisplayStaysWithinTheScreen() {
    for (const bool hiddenWhileGrowing : {false, true}) {
      AppSettings.DispSize = 0;
      Windows().ShowNumberDisplay(Registered());
      TNumberDisplayForm& form = *Windows().NumberDisplay();
      const QRect area = form.screen()->availableGeometry();
      QCOMPARE(area.width(), 1280);
      form.move(640, 400);
      if (hiddenWhileGrowing)
        form.hide();
      AppSettings.DispSize = 2;
      form.SettingsChanged();
      Windows().ShowNumberDisplay(Registered());
      QVERIFY(form.width() >= 864); // grown: 640 + 864 would reach past 1280
      QVERIFY2(area.contains(form.frameGeometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                   .arg(form.x())
                                                                   .arg(form.y())
                                                                   .arg(form.width())
                                                                   .arg(form.height())));
      const QWidget* edit = form.findChild<QWidget*>("EditButton");
      QVERIFY(area.contains(QRect(edit->mapToGlobal(QPoint(0, 0)), edit->size())));
      Windows().FreeAll();
      std::filesystem::remove(WindowStateFileName());
    }
  }

  void SettingsNoticeRenamesMemosAndRelaysOut() {
    AppSettings.Memo1Caption = "会社";
    Windows().ShowNumberDisplay(Registered());
    QCOMPARE(Text("Memo1Label"), QString("会社"));
    QCOMPARE(Text("Memo3Label"), QString("メモ3"));
    AppSettings.Memo2Caption = "部署";
    AppSettings.DispSize = 1;
    NotifySettingsChanged(); // posted: it arrives through the event loop
    QTRY_COMPARE(Text("Memo2Label"), QString("部署"));
    QCOMPARE(Windows().NumberDisplay()->LayoutSize(), 1);
  }

  void EditButtonOpensTheEditorAndHides() {
    Windows().ShowNumberDisplay(Registered());
    QPushButton* edit = Windows().NumberDisplay()->findChild<QPushButton*>("EditButton");
    QTest::mouseClick(edit, Qt::LeftButton);
    QVERIFY(!Windows().NumberDisplay()->isVisible());
  }

  void StateSavedAndRestoredUnderItsSection() {
    Windows().ShowNumberDisplay(Registered());
    Windows().NumberDisplay()->setGeometry(40, 50, 900, 600);
    const QRect saved(Windows().NumberDisplay()->pos(), Windows().NumberDisplay()->size());
    Windows().NumberDisplay()->close(); // only hides
    QVERIFY(Windows().NumberDisplay() != nullptr);
    Windows().FreeAll();
    QVERIFY(Windows().NumberDisplay() == nullptr);
    TIniFile ini(WindowStateFileName());
    QCOMPARE(ini.ReadInteger("NumberDisplayWnd", "WindowState", -1), 0);
    QCOMPARE(QString::fromStdString(ini.ReadString("NumberDisplayWnd", "PosSize", "")),
             QString("%1,%2,%3,%4")
                 .arg(saved.x())
                 .arg(saved.y())
                 .arg(saved.width())
                 .arg(saved.height()));
    Windows().ShowNumberDisplay(Registered());
    QCOMPARE(Windows().NumberDisplay()->size(), saved.size());
    QCOMPARE(Windows().NumberDisplay()->pos(), saved.topLeft());
    Windows().NumberDisplay()->setWindowState(Qt::WindowMinimized);
    Windows().ShowNumberDisplay(Registered()); // a minimised window comes back normal
    QVERIFY(!Windows().NumberDisplay()->isMinimized());
    QVERIFY(Windows().NumberDisplay()->isVisible());
  }
};

QTEST_MAIN(NumberDisplayTest)
#include "NumberDisplayTest.moc"

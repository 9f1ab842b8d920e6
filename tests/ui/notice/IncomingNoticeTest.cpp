#include "base/Clock.h"
#include "data/TableRow.h"
#include "support/TempFolder.h"
#include "ui/IncomingNoticeForm.h"
#include "ui/NumberDisplayForm.h"
#include "ui/UiWindows.h"
#include "ui/WindowState.h"

#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

namespace {

TTableRow CallRow(const std::string& number, const std::string& name) {
  TTableRow row;
  row.SetValue("phone_number", number);
  row.SetValue("owner_name", name);
  row.SetValue("_IncomingDate", "2024/05/01 10:00:00.000");
  row.SetValue("_IsValidNumber", number[0] == '0' ? "1" : "0");
  return row;
}

QLabel* Label(const char* name) {
  return Windows().IncomingNotice()->findChild<QLabel*>(name);
}

int Measure(const char* name) {
  return QFontMetrics(Label(name)->font()).horizontalAdvance(Label(name)->text());
}

QTimer* AutoHideTimer() {
  return Windows().IncomingNotice()->findChild<QTimer*>("AutoHideTimer");
}

} // namespace

class IncomingNoticeTest : public QObject {
  Q_OBJECT
  TTempFolder folder_;
  TProgramHome home_{folder_.Path()};

private slots:
  void init() { SetFixedNow(EncodeDate(2024, 5, 1) + 10.0 / 24); }
  void cleanup() {
    Windows().FreeAll();
    ClearFixedNow();
  }

  void HideBeforeAnyPopupDoesNothing() {
    Windows().HideIncomingNotice();
    QVERIFY(Windows().IncomingNotice() == nullptr);
  }

  void NameAndNumberTextsAndWidths() {
    Windows().ShowIncomingNotice(CallRow("0312345678", "山田太郎商事株式会社営業部"));
    QCOMPARE(Label("NumberOrNameLabel")->text(), QString(" 山田太郎商事株式会社営業部"));
    QCOMPARE(Label("NumberOrNameBackLabel")->text(), QString("様から電話が来ました。"));
    QVERIFY(Label("YokokuLabel")->isHidden());
    QCOMPARE(Windows().IncomingNotice()->width(),
             std::max(278, Measure("NumberOrNameLabel") + 20 + 216));
    QCOMPARE(Windows().IncomingNotice()->Row().GetValue("phone_number"), std::string("0312345678"));

    // Only the first showing gets the 20 extra pixels.
    Windows().ShowIncomingNotice(CallRow("0312345678", "山田太郎商事株式会社営業部"));
    QCOMPARE(Windows().IncomingNotice()->width(), Measure("NumberOrNameLabel") + 216);

    Windows().ShowIncomingNotice(CallRow("P", ""));
    QCOMPARE(Label("NumberOrNameLabel")->text(), QString(" 非通知"));
    QCOMPARE(Label("NumberOrNameBackLabel")->text(), QString("から電話が来ました。　"));
    QCOMPARE(Windows().IncomingNotice()->width(),
             std::max(278, Measure("NumberOrNameLabel") + 216));
    Windows().ShowIncomingNotice(CallRow("0312345678", ""));
    QCOMPARE(Label("NumberOrNameLabel")->text(), QString(" 0312345678"));
  }

  void RingAnnouncementTextAndWidth() {
    Windows().ShowRingAnnouncement();
    QVERIFY(Windows().IncomingNotice()->RingMode());
    QVERIFY(!Label("YokokuLabel")->isHidden());
    QVERIFY(Label("NumberOrNameLabel")->isHidden());
    QVERIFY(Label("Image1")->isHidden());
    QCOMPARE(Label("YokokuLabel")->text(), QString("電話が鳴ります。"));
    QCOMPARE(Label("YokokuLabel")->y(), 50);
    QCOMPARE(Windows().IncomingNotice()->width(), std::max(278, Measure("YokokuLabel") + 20 + 48));
    QCOMPARE(AutoHideTimer()->interval(), 3000);
    QVERIFY(AutoHideTimer()->isActive());
  }

  void PreparedWindowsWaitHiddenForTheFirstCall() {
    std::filesystem::remove(WindowStateFileName());
    Windows().PrepareCallWindows(true);
    QVERIFY(Windows().IncomingNotice()->testAttribute(Qt::WA_WState_Created));
    QVERIFY(!Windows().IncomingNotice()->isVisible());
    QVERIFY(!Windows().NumberDisplay()->isVisible());
    Windows().ShowIncomingNotice(CallRow("0312345678", "山田"));
    QCOMPARE(Windows().IncomingNotice()->width(),
             std::max(278, Measure("NumberOrNameLabel") + 20 + 216));
    // A number display the user never saw has no place of its own to keep.
    Windows().FreeAll();
    QVERIFY(!std::filesystem::exists(WindowStateFileName()));
  }

  void NumberReplacesItsRingAnnouncementInPlace() {
    Windows().ShowRingAnnouncement();
    TIncomingNoticeForm* popup = Windows().IncomingNotice();
    QSignalSpy mapped(popup->windowHandle(), &QWindow::visibleChanged);
    QSignalSpy steps(popup, &TIncomingNoticeForm::OpacityStep);
    Windows().ShowIncomingNotice(CallRow("0312345678", "山田太郎商事株式会社"));
    QCOMPARE(mapped.count(), 0);
    QCOMPARE(steps.count(), 0); // the announcement's fade goes on
    QCOMPARE(Label("NumberOrNameLabel")->text(), QString(" 山田太郎商事株式会社"));
    QCOMPARE(popup->width(), Measure("NumberOrNameLabel") + 216);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(popup->frameGeometry().bottomRight(), available.bottomRight());
    QCOMPARE(AutoHideTimer()->interval(), 30000);
    QTRY_COMPARE(popup->Opacity(), 200);
  }

  void PlacementBesideThePanel() {
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(300, 85);
    // Bottom panel 40 high: above it.
    QCOMPARE(IncomingNoticePosition(QRect(0, 0, 1920, 1040), size), QPoint(1620, 955));
    // Top panel: the screen's bottom-right corner.
    QCOMPARE(IncomingNoticePosition(QRect(0, 32, 1920, 1048), size), QPoint(1620, 995));
    // Left panel: the same corner; right panel: left of it.
    QCOMPARE(IncomingNoticePosition(QRect(60, 0, 1860, 1080), size), QPoint(1620, 995));
    QCOMPARE(IncomingNoticePosition(QRect(0, 0, 1860, 1080), size), QPoint(1560, 995));
    QCOMPARE(IncomingNoticePosition(screen, size), QPoint(1620, 995));

    Windows().ShowIncomingNotice(CallRow("0312345678", "山田"));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(Windows().IncomingNotice()->frameGeometry().bottomRight(), available.bottomRight());
  }

  void FadesInThenOutWithTheirSteps() {
    Windows().ShowRingAnnouncement(); // created; the spy sees the next showing only
    Windows().HideIncomingNotice();
    QSignalSpy steps(Windows().IncomingNotice(), &TIncomingNoticeForm::OpacityStep);
    Windows().ShowIncomingNotice(CallRow("0312345678", "山田"));
    QVERIFY(Windows().IncomingNotice()->isVisible());
    QTRY_COMPARE(steps.count(), 11);
    QList<int> seen;
    for (const QList<QVariant>& s : steps)
      seen << s[0].toInt();
    QCOMPARE(seen, QList<int>({0, 20, 40, 60, 80, 100, 120, 140, 160, 180, 200}));
    QCOMPARE(AutoHideTimer()->interval(), 30000);
    QVERIFY(AutoHideTimer()->isActive());

    steps.clear();
    QTest::mouseClick(Windows().IncomingNotice()->findChild<QToolButton*>("CloseButton"),
                      Qt::LeftButton);
    QVERIFY(!AutoHideTimer()->isActive());
    QTRY_VERIFY(!Windows().IncomingNotice()->isVisible());
    seen.clear();
    for (const QList<QVariant>& s : steps)
      seen << s[0].toInt();
    QCOMPARE(seen, QList<int>({200, 150, 100, 50}));
    QCOMPARE(Windows().IncomingNotice()->Opacity(), 50);
    QVERIFY(Windows().NumberDisplay() == nullptr);
  }

  void AutoHideAndASecondCallRestart() {
    Windows().ShowIncomingNotice(CallRow("0311111111", "一人目"));
    QTRY_COMPARE(Windows().IncomingNotice()->Opacity(), 200);
    QSignalSpy steps(Windows().IncomingNotice(), &TIncomingNoticeForm::OpacityStep);
    Windows().ShowIncomingNotice(CallRow("0322222222", "二人目さん"));
    QCOMPARE(steps.value(0).value(0).toInt(), 0); // the fade starts again from 0
    QCOMPARE(steps.value(1).value(0).toInt(), 20);
    QCOMPARE(Label("NumberOrNameLabel")->text(), QString(" 二人目さん"));
    QCOMPARE(AutoHideTimer()->remainingTime() > 29000, true);
    AutoHideTimer()->start(1);
    QTRY_VERIFY(!Windows().IncomingNotice()->isVisible());
    QVERIFY(!AutoHideTimer()->isActive());
    QVERIFY(Windows().NumberDisplay() == nullptr);
  }

  void PressOpensNumberDisplayOnlyForAnIncomingCall() {
    Windows().ShowRingAnnouncement();
    QTest::mouseClick(Label("YokokuLabel"), Qt::LeftButton);
    QTRY_VERIFY(!Windows().IncomingNotice()->isVisible());
    QVERIFY(Windows().NumberDisplay() == nullptr);

    Windows().ShowIncomingNotice(CallRow("0312345678", "山田"));
    QTest::mouseClick(Label("NumberOrNameLabel"), Qt::LeftButton);
    QVERIFY(Windows().NumberDisplay() != nullptr);
    QVERIFY(Windows().NumberDisplay()->isVisible());
    QCOMPARE(Windows().NumberDisplay()->Row().GetValue("owner_name"), std::string("山田"));
    QTRY_VERIFY(!Windows().IncomingNotice()->isVisible());
  }

  void ClosingFreesThePopup() {
    Windows().ShowIncomingNotice(CallRow("0312345678", "山田"));
    QPointer<TIncomingNoticeForm> first = Windows().IncomingNotice();
    first->close();
    QTRY_VERIFY(first == nullptr);
    QVERIFY(Windows().IncomingNotice() == nullptr);
    Windows().ShowIncomingNotice(CallRow("0312345678", "山田"));
    QCOMPARE(Windows().IncomingNotice()->width(),
             std::max(278, Measure("NumberOrNameLabel") + 20 + 216));
  }

  void PaintStampOnlyWhenAskedForOnePerShowing() {
    const std::string stamps = folder_.Path() + "/paint.txt";
    Windows().ShowIncomingNotice(CallRow("0312345678", ""));
    Windows().Free(Windows().IncomingNotice());
    qputenv("TELORIA2_PAINT_STAMP", QByteArray::fromStdString(stamps));
    Windows().ShowIncomingNotice(CallRow("0312345678", ""));
    qunsetenv("TELORIA2_PAINT_STAMP");
    QTRY_COMPARE(QString::fromStdString(ReadFile(stamps)).count('\n'), 1);
    Windows().ShowIncomingNotice(CallRow("0451234567", "山田"));
    QTRY_COMPARE(QString::fromStdString(ReadFile(stamps)).count('\n'), 2);
    const QStringList lines = QString::fromStdString(ReadFile(stamps)).split('\n');
    QVERIFY(lines[0].endsWith(" 0312345678") && lines[0].split(' ')[0].toLongLong() > 0);
    QVERIFY(lines[1].endsWith(" 山田"));
  }
};

QTEST_MAIN(IncomingNoticeTest)
#include "IncomingNoticeTest.moc"

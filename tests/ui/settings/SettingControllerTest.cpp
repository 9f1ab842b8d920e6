// The settings window together with the real controller: the live state,
// the mode switches of a saved port, the connection reset and the clock.
#include "UiHarness.h"

#include "core/CallShare.h"
#include "fakes/AdapterSimProcess.h"
#include "fakes/FakeMqttClients.h"
#include "support/FakeMessageBoxes.h"
#include "ui/SettingForm.h"
#include "ui/UiWindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

} // namespace

class SettingControllerTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TUiHarness> h;
  std::unique_ptr<TFakeMessageBoxes> boxes;
  TSettingForm* f = nullptr;

  void Open() {
    Windows().ShowSettings();
    f = Windows().Settings();
  }
  // Through the controls, as the user does it; "" ticks the automatic search.
  void SavePort(const std::string& port) {
    Windows().ShowSettings();
    f->MirelKT5PortAutoCheck->setChecked(port.empty());
    f->MirelKT5PortAutoCheckClick();
    if (!port.empty())
      f->MirelKT5PortCombo->setEditText(QString::fromStdString(port));
    QTest::mouseClick(f->OkButton, Qt::LeftButton);
    QVERIFY(!f->isVisible());
  }
  QString State() {
    f->MirelCheckTimerTimer();
    return f->MirelStatusLabel->text();
  }

private slots:
  void init() {
    h = std::make_unique<TUiHarness>();
    boxes = std::make_unique<TFakeMessageBoxes>();
  }
  void cleanup() {
    Windows().FreeAll();
    boxes.reset();
    h.reset();
  }

  void switchesToTheSimulatorAndBack() {
    QVERIFY(h->StartController());
    QCOMPARE(h->tray.ImageIndex(), 1);
    Open();
    QCOMPARE(State(), QString::fromUtf8("Mirelに接続していません。"));

    SavePort("test");
    QTRY_VERIFY(h->form->SimMode());
    QCOMPARE(h->tray.ImageIndex(), 0);
    QVERIFY(!h->form->MirelCheckTimer().isActive());
    QVERIFY(Contains(h->MainLog(), "[info ] 電話番号発信シミュレータモード開始"));
    QCOMPARE(State(), QString::fromUtf8("電話番号発信シミュレータモードです。"));
    QCOMPARE(f->MirelStatusLabel->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QVERIFY(!f->MirelConnResetButton->isEnabled());

    // Saved again unchanged: nothing happens.
    SavePort("TEST");
    QTest::qWait(50);
    QVERIFY(h->form->SimMode());
    QCOMPARE(h->tray.ImageIndex(), 0);

    SavePort("");
    QTRY_VERIFY(!h->form->SimMode());
    QCOMPARE(h->tray.ImageIndex(), 1);
    QVERIFY(Contains(h->MainLog(), "[info ] 電話番号発信シミュレータモード終了"));
    QVERIFY(Contains(h->ScanLogText(), "接続ポート探索開始: TargetPort=[]"));
    QCOMPARE(State(), QString::fromUtf8("Mirelに接続していません。"));
  }

  void aConnectedAdapterThroughTheWindow() {
    const std::string link = h->Path("ttyMirel");
    TAdapterSimProcess sim({"--link", link});
    QVERIFY(sim.WaitFor("ready ").rfind("ready ", 0) == 0);
    AppSettings.MirelKT5Port = link;
    QVERIFY(h->StartController());
    QVERIFY(h->WaitConnected());
    QCOMPARE(h->tray.ImageIndex(), 0);
    Open();
    QCOMPARE(State(), QString::fromUtf8("Mirelと接続中です。"));
    QCOMPARE(f->MirelStatusLabel->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QVERIFY(f->MirelConnResetButton->isEnabled());

    // The automatic search shows the port in use.
    f->MirelKT5PortAutoCheck->click();
    State();
    QCOMPARE(f->MirelKT5PortCombo->currentText().toStdString(), link);
    QTest::mouseClick(f->CancelButton, Qt::LeftButton);

    // The same port saved again keeps the connection.
    SavePort(link);
    QTest::qWait(50);
    QVERIFY(h->form->Comm().IsOpen());

    // The clock by hand, at the fixed time.
    QTest::mouseClick(f->ManualDateTimeButton, Qt::LeftButton);
    QCOMPARE(sim.WaitFor("recv C"), std::string("recv C 202612080705"));
    QVERIFY(boxes->Errors.empty());

    QTest::mouseClick(f->MirelConnResetButton, Qt::LeftButton);
    QVERIFY(Contains(h->MainLog(), "Mirelに再接続します。Port=[" + link + "]"));
    QVERIFY(h->WaitConnected());

    // Into the simulator: the session is closed; back: searched and found again.
    SavePort("Test");
    QTRY_VERIFY(h->form->SimMode());
    QVERIFY(!h->form->Comm().IsOpen());
    QCOMPARE(h->tray.ImageIndex(), 0);
    SavePort(link);
    QTRY_VERIFY(!h->form->SimMode());
    QVERIFY(h->WaitConnected());

    // Another port while connected: closed at once and that port checked.
    SavePort(h->Path("no such tty"));
    QTRY_VERIFY(!h->form->Comm().IsOpen());
    QCOMPARE(h->tray.ImageIndex(), 1);
    QTRY_VERIFY(Contains(h->ScanLogText(), "TargetPort=[" + h->Path("no such tty") + "]"));
    QCOMPARE(State(), QString::fromUtf8("Mirelに接続していません。"));
    QVERIFY(!f->MirelConnResetButton->isEnabled());
  }

  void receivingFromTheBrokerReplacesThePortSearch() {
    TFakeMqttClients clients;
    h->shareClients = clients.Factory();
    QVERIFY(h->StartController());
    QCOMPARE(clients.Live, 0);
    Open();
    f->ShareReceiveRadio->click();
    QTest::mouseClick(f->OkButton, Qt::LeftButton);
    QTRY_VERIFY(h->form->Share().Receiving());
    QVERIFY(!h->form->MirelCheckTimer().isActive());
    QVERIFY(Contains(h->MainLog(), "[info ] 共有受信モード開始"));
    QCOMPARE(clients.Live, 1);
    QVERIFY(!clients.Options.back().CleanSession);
    QCOMPARE(clients.Options.back().Subscriptions.front(), std::string("teloria2/office/+/call"));

    // The tray follows the broker.
    QCOMPARE(h->tray.ImageIndex(), 1);
    clients.Status(TMqttState::Connected);
    QCOMPARE(h->tray.ImageIndex(), 0);
    QCOMPARE(h->tray.TipHelp, std::string("Teloria II\nMQTTブローカーと接続中です。"));
    QCOMPARE(State(), QString::fromUtf8("MQTTブローカーから着信を受信しています。"));
    QCOMPARE(f->ShareStatusLabel->text(), QString::fromUtf8("MQTTブローカーと接続中です。"));
    clients.Status(TMqttState::Lost);
    QCOMPARE(h->tray.ImageIndex(), 1);
    QVERIFY(Contains(h->MainLog(), "[warng] MQTTブローカーとの接続が切れました。"));
    // A search that ends now opens nothing.
    h->form->CMPortSearchDone(h->form->TargetPort(), h->Path("ttyMirel"));
    QVERIFY(!Contains(h->MainLog(), "MirelUSB/RX2に接続します。"));

    // Saved unchanged: the connection stays.
    SavePort("");
    QTest::qWait(50);
    QCOMPARE(clients.Options.size(), size_t(1));
    // Back to the adapter: the client goes and the search starts at once.
    const auto searches = [&] { return Count(h->ScanLogText(), "接続ポート探索開始"); };
    const size_t before = searches();
    Windows().ShowSettings();
    f->ShareOffRadio->click();
    QTest::mouseClick(f->OkButton, Qt::LeftButton);
    QTRY_VERIFY(!h->form->Share().Receiving());
    QCOMPARE(clients.Live, 0);
    QVERIFY(Contains(h->MainLog(), "[info ] 共有受信モード終了"));
    QTRY_VERIFY(searches() > before);
    QCOMPARE(h->tray.TipHelp, std::string("Teloria II"));
  }

  void aFailedClockSettingIsReported() {
    const std::string link = h->Path("ttyMirel");
    TAdapterSimProcess sim({"--link", link});
    QVERIFY(sim.WaitFor("ready ").rfind("ready ", 0) == 0);
    AppSettings.MirelKT5Port = link;
    QVERIFY(h->StartController());
    QVERIFY(h->WaitConnected());
    Open();
    QVERIFY(sim.Run("unplug"));
    // Before the controller has noticed: the session is open, the line is gone.
    f->ManualDateTimeButtonClick();
    QCOMPARE(boxes->Errors, std::vector<std::string>{"日時設定できません。"});
    QTRY_VERIFY(!h->form->Comm().IsOpen());
  }
};

QTEST_MAIN(SettingControllerTest)
#include "SettingControllerTest.moc"

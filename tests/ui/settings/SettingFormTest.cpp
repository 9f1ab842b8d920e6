// The settings window on its own: filling, the enabling rules, every check
// with its tab and message, saving, Cancel, the caption limit and the port list.
#include "UiHarness.h"

#include "base/IniFile.h"
#include "support/FakeFileDialogs.h"
#include "support/FakeMessageBoxes.h"
#include "ui/AutostartEntry.h"
#include "ui/SettingForm.h"
#include "ui/UiWindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <sys/stat.h>

namespace {

QColor BaseColour(const QWidget* w) {
  return w->palette().color(QPalette::Base);
}
QColor WindowColour() {
  return QApplication::palette().color(QPalette::Active, QPalette::Base);
}
QColor FaceColour() {
  return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

// Japanese text arrives from the input method.
void Commit(QLineEdit* edit, const char* text) {
  QInputMethodEvent event;
  event.setCommitString(QString::fromUtf8(text));
  QApplication::sendEvent(edit, &event);
}

std::vector<std::string> Items(const QComboBox* combo) {
  std::vector<std::string> items;
  for (int i = 0; i < combo->count(); ++i)
    items.push_back(combo->itemText(i).toStdString());
  return items;
}

} // namespace

class SettingFormTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TUiHarness> h;
  std::unique_ptr<TFakeMessageBoxes> boxes;
  TSettingForm* f = nullptr;

  void Open() {
    Windows().ShowSettings();
    f = Windows().Settings();
  }
  // Sets the controls to a valid state from which each case changes one thing.
  void ClickOk() {
    f->PageControl1->setCurrentIndex(0);
    QTest::mouseClick(f->OkButton, Qt::LeftButton);
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
    unsetenv("TELORIA2_EXTRA_PORTS");
  }

  void fillsFromTheSettingsAndShowsTheFirstTab() {
    AppSettings.MirelKT5Port = "ttyUSB3";
    AppSettings.IncomingDisplayMode = 2;
    AppSettings.PlayPreviewSound = true;
    AppSettings.UseDefaultSound = false;
    AppSettings.SoundFileName = "/x/ring.wav";
    AppSettings.SetAutoDateTime = true;
    AppSettings.ExecHour = "7";
    AppSettings.ExecMinute = "05";
    AppSettings.DispSize = 5;
    AppSettings.Memo2Caption = "会社";
    AppSettings.AutoRun = true;
    AppSettings.MemoryCatchUp = true;
    Open();
    QCOMPARE(f->windowTitle(), QString::fromUtf8("各種設定 - Teloria　II"));
    QCOMPARE(f->PageControl1->currentWidget(), f->TabSheet1);
    QCOMPARE(f->MirelKT5PortCombo->currentText(), QString("ttyUSB3"));
    QVERIFY(!f->MirelKT5PortAutoCheck->isChecked());
    QVERIFY(f->IncomingDetailRadio->isChecked());
    QVERIFY(f->SpecificSoundFileRadio->isChecked());
    QVERIFY(f->SoundFileNameEdit->isEnabled());
    QCOMPARE(f->SoundFileNameEdit->text(), QString("/x/ring.wav"));
    QVERIFY(f->SetAutoDateTimeCheck->isChecked());
    QCOMPARE(f->ExecMinuteCombo->currentText(), QString("05"));
    QVERIFY(f->FontLargeButton->isChecked()); // any size beyond 1 is large
    QCOMPARE(f->Memo2CaptionEdit->text(), QString::fromUtf8("会社"));
    QVERIFY(f->AutoRunCheck->isChecked());
    QVERIFY(f->MemoryCatchUpCheck->isChecked());
    QCOMPARE(f->MemoryCatchUpCheck->text(),
             QString::fromUtf8("接続時に本体メモリの着信を履歴に取り込む"));
    QCOMPARE(f->MemoryCatchUpCheck->parentWidget(), f->TabSheet1);
    QCOMPARE(f->findChild<QGroupBox*>("GroupBox5")->title(), QString::fromUtf8("ログオン時に起動"));
    QVERIFY(!f->MirelConnResetButton->isEnabled());
    QCOMPARE(f->findChild<QLabel*>("Panel2")->text(),
             QString::fromUtf8("Mirelの接続ポートを設定します"));
  }

  void enablingRulesAndColours() {
    Open();
    QVERIFY(f->MirelKT5PortAutoCheck->isChecked());
    QVERIFY(!f->MirelKT5PortCombo->isEnabled());
    QCOMPARE(BaseColour(f->MirelKT5PortCombo), FaceColour());
    f->MirelKT5PortAutoCheck->click();
    QVERIFY(f->MirelKT5PortCombo->isEnabled());
    QCOMPARE(BaseColour(f->MirelKT5PortCombo), WindowColour());

    f->PageControl1->setCurrentWidget(f->TabSheet2);
    QVERIFY(!f->UseDefaultSoundRadio->isEnabled()); // the sound is off by default
    QVERIFY(!f->SelectSoundFileButton->isEnabled());
    f->PlayPreviewSoundCheck->click();
    QVERIFY(f->UseDefaultSoundRadio->isEnabled());
    QVERIFY(!f->SoundFileNameEdit->isEnabled()); // the built-in sound is chosen
    f->SpecificSoundFileRadio->click();
    QVERIFY(f->SoundFileNameEdit->isEnabled());
    QVERIFY(f->SelectSoundFileButton->isEnabled());
    QCOMPARE(BaseColour(f->SoundFileNameEdit), WindowColour());
    f->PlayPreviewSoundCheck->click();
    QVERIFY(!f->SoundFileNameEdit->isEnabled());
    QCOMPARE(BaseColour(f->SoundFileNameEdit), FaceColour());

    QVERIFY(!f->ExecHourCombo->isEnabled());
    QCOMPARE(BaseColour(f->ExecMinuteCombo), FaceColour());
    f->SetAutoDateTimeCheck->click();
    QVERIFY(f->ExecHourCombo->isEnabled());
    QCOMPARE(BaseColour(f->ExecMinuteCombo), WindowColour());
  }

  void soundFileChecksRefuseOnTheBehaviourTab() {
    Open();
    f->SpecificSoundFileRadio->setChecked(true); // refused even with the sound off
    ClickOk();
    QCOMPARE(boxes->Errors, std::vector<std::string>{"音声ファイルを入力して下さい。"});
    QCOMPARE(f->PageControl1->currentWidget(), f->TabSheet2);
    QVERIFY(f->isVisible());
    f->SoundFileNameEdit->setText(QString::fromStdString(h->Path("missing.wav")));
    ClickOk();
    QCOMPARE(boxes->Errors.back(), std::string("指定の音声ファイルが存在しません。"));
    QCOMPARE(f->PageControl1->currentWidget(), f->TabSheet2);
    f->SoundFileNameEdit->setText(QString::fromStdString(h->home.Path())); // a folder is no file
    ClickOk();
    QCOMPARE(boxes->Errors.size(), size_t(3));
    QVERIFY(!std::filesystem::exists(TAppSettings::FileName()));

    WriteFile(h->Path("my ring.wav"), "RIFF");
    f->SoundFileNameEdit->setText(QString::fromStdString("  " + h->Path("my ring.wav") + " "));
    ClickOk();
    QCOMPARE(boxes->Errors.size(), size_t(3));
    QVERIFY(!f->isVisible());
    QCOMPARE(AppSettings.SoundFileName, h->Path("my ring.wav"));
    QVERIFY(!AppSettings.UseDefaultSound);
  }

  void clockChecks() {
    Open();
    for (const char* hour : {"25", "x", "-1"}) {
      f->SetAutoDateTimeCheck->setChecked(true);
      f->ExecHourCombo->setEditText(hour);
      f->ExecMinuteCombo->setEditText("5");
      ClickOk();
      QCOMPARE(boxes->Errors.back(), std::string("自動設定時刻を確認して下さい。"));
      QCOMPARE(f->PageControl1->currentWidget(), f->TabSheet2);
    }
    f->ExecHourCombo->setEditText("23");
    f->ExecMinuteCombo->setEditText("60");
    ClickOk();
    QCOMPARE(boxes->Errors.size(), size_t(4));
    QVERIFY(f->isVisible());

    // Off: an invalid time is dropped without a word.
    f->SetAutoDateTimeCheck->setChecked(false);
    f->ExecHourCombo->setEditText("25");
    ClickOk();
    QCOMPARE(boxes->Errors.size(), size_t(4));
    QVERIFY(!f->isVisible());
    const TIniFile ini(TAppSettings::FileName());
    QCOMPARE(ini.ReadString("Settings", "ExecHour", "?"), std::string());
    QCOMPARE(ini.ReadString("Settings", "ExecMinute", "?"), std::string());

    Windows().ShowSettings();
    f->SetAutoDateTimeCheck->setChecked(true);
    f->ExecHourCombo->setEditText(" 7 ");
    f->ExecMinuteCombo->setEditText("05");
    ClickOk();
    QCOMPARE(AppSettings.ExecHour, std::string("7"));
    QCOMPARE(AppSettings.ExecMinute, std::string("05"));
    QVERIFY(AppSettings.SetAutoDateTime);
  }

  void savesTheUserKeysAndKeepsTheHandSetOnes() {
    WriteFile(TAppSettings::FileName(), "[Settings]\r\nPhoneLimit=50\r\nIncomingLimit=0x10\r\n"
                                        "[Settings.Logging]\r\nLogLevel=3\r\nLogDir=/var/x\r\n");
    AppSettings.Load();
    Open();
    QTest::mouseClick(f->MirelKT5PortAutoCheck, Qt::LeftButton);
    f->MirelKT5PortCombo->setEditText("  /dev/ttyUSB7 ");
    f->IncomingDetailRadio->setChecked(true);
    f->IncomingExecCmdCheck->setChecked(false);
    f->ShowIncomingPreviewCheck->setChecked(true);
    f->FontMiddleButton->click();
    f->Memo1CaptionEdit->setText(QString::fromUtf8(" 担当 "));
    f->AutoRunCheck->setChecked(true);
    f->MemoryCatchUpCheck->setChecked(false);
    QTest::mouseClick(f->OkButton, Qt::LeftButton);
    QVERIFY(boxes->Errors.empty());
    QVERIFY(!f->isVisible());

    const TIniFile ini(TAppSettings::FileName());
    QCOMPARE(ini.ReadString("Settings", "MirelKT5Port", ""), std::string("/dev/ttyUSB7"));
    QCOMPARE(ini.ReadString("Settings", "IncomingDisplayMode", ""), std::string("2"));
    QCOMPARE(ini.ReadString("Settings", "ExecCmdEnabled", ""), std::string("0"));
    QCOMPARE(ini.ReadString("Settings", "ShowIncomingPreview", ""), std::string("1"));
    QCOMPARE(ini.ReadString("Settings", "DispSize", ""), std::string("1"));
    QCOMPARE(AppSettings.Memo1Caption, std::string(" 担当 ")); // kept as typed
    QCOMPARE(ini.ReadString("Settings", "Memo1Caption", ""), std::string("担当"));
    QCOMPARE(ini.ReadString("Settings", "AutoRun", ""), std::string("1"));
    QCOMPARE(ini.ReadString("Settings", "MemoryCatchUp", ""), std::string("0"));
    QCOMPARE(ini.ReadString("Settings", "PhoneLimit", ""), std::string("50"));
    QCOMPARE(ini.ReadString("Settings", "IncomingLimit", ""), std::string("0x10"));
    QCOMPARE(ini.ReadString("Settings.Logging", "LogLevel", ""), std::string("3"));
    QCOMPARE(ini.ReadString("Settings.Logging", "LogDir", ""), std::string("/var/x"));
    QCOMPARE(AppSettings.PhoneLimit, 50);
    QVERIFY(std::filesystem::exists(AutostartEntryPath()));

    // Unchecked: the log-on start goes away again.
    Windows().ShowSettings();
    f->AutoRunCheck->setChecked(false);
    QTest::mouseClick(f->OkButton, Qt::LeftButton);
    QVERIFY(!std::filesystem::exists(AutostartEntryPath()));
    QCOMPARE(TIniFile(TAppSettings::FileName()).ReadString("Settings", "AutoRun", ""),
             std::string("0"));
  }

  void anUnwritableFileChangesNothing() {
    std::filesystem::create_directory(TAppSettings::FileName()); // a folder in its place
    Open();
    f->FontLargeButton->click();
    f->AutoRunCheck->setChecked(true);
    QTest::mouseClick(f->OkButton, Qt::LeftButton);
    QCOMPARE(boxes->Errors,
             std::vector<std::string>{TAppSettings::FileName() + " に書き込めません"});
    QVERIFY(f->isVisible());
    QCOMPARE(AppSettings.DispSize, 0);
    QVERIFY(!AppSettings.AutoRun);
    QVERIFY(!std::filesystem::exists(AutostartEntryPath()));
    QVERIFY(h->MainLog().find("に書き込めません") != std::string::npos);
  }

  void cancelRestoresTheControls() {
    AppSettings.Memo1Caption = "A";
    Open();
    f->Memo1CaptionEdit->setText("B");
    f->FontLargeButton->click();
    f->MirelKT5PortAutoCheck->click();
    f->MirelKT5PortCombo->setEditText("ttyS9");
    f->PlayPreviewSoundCheck->click();
    QTest::mouseClick(f->CancelButton, Qt::LeftButton);
    QVERIFY(!f->isVisible());
    QCOMPARE(f->Memo1CaptionEdit->text(), QString("A"));
    QVERIFY(f->FontSmallButton->isChecked());
    QVERIFY(f->MirelKT5PortAutoCheck->isChecked());
    QVERIFY(!f->MirelKT5PortCombo->isEnabled());
    QCOMPARE(f->MirelKT5PortCombo->currentText(), QString());
    QVERIFY(!f->SelectSoundFileButton->isEnabled());
    QVERIFY(!std::filesystem::exists(TAppSettings::FileName()));
    // Showing again keeps the tab as it was left.
    f->PageControl1->setCurrentWidget(f->TabSheet3);
    Windows().ShowSettings();
    QCOMPARE(f->PageControl1->currentWidget(), f->TabSheet3);
  }

  void memoCaptionsStopAtFourteenBytes() {
    Open();
    QLineEdit* edit = f->Memo1CaptionEdit;
    edit->clear();
    QTest::keyClicks(edit, "abcdefghijklmn");
    QCOMPARE(edit->text(), QString("abcdefghijklmn"));
    QTest::keyClicks(edit, "o");
    QCOMPARE(edit->text(), QString("abcdefghijklmn"));
    edit->clear();
    Commit(edit, "あいうえおかきく");
    QCOMPARE(edit->text(), QString::fromUtf8("あいうえおかき"));
    edit->clear();
    QTest::keyClicks(edit, "abcdefghijklm");
    Commit(edit, "あ"); // 13 + 2 bytes
    QCOMPARE(edit->text(), QString("abcdefghijklm"));
  }

  void soundFileDialog() {
    TFakeFileDialogs dialogs;
    dialogs.Paths = {"/music/bell.wav", ""};
    Open();
    f->PlayPreviewSoundCheck->click();
    f->SpecificSoundFileRadio->click();
    QTest::mouseClick(f->SelectSoundFileButton, Qt::LeftButton);
    QCOMPARE(f->SoundFileNameEdit->text(), QString("/music/bell.wav"));
    QCOMPARE(dialogs.Calls.at(0).Title, std::string("音声ファイルの選択"));
    QCOMPARE(dialogs.Calls.at(0).Filter, std::string("WAV ファイル(*.wav)"));
    QTest::mouseClick(f->SelectSoundFileButton, Qt::LeftButton); // cancelled
    QCOMPARE(f->SoundFileNameEdit->text(), QString("/music/bell.wav"));
  }

  void portListFollowsThePortsWithTestLast() {
    const std::string first = h->Path("ttyVirtualA");
    const std::string second = h->Path("ttyVirtual B");
    setenv("TELORIA2_EXTRA_PORTS", first.c_str(), 1);
    Open();
    QCOMPARE(Items(f->MirelKT5PortCombo).back(), std::string("TEST"));
    const size_t before = Items(f->MirelKT5PortCombo).size();
    QCOMPARE(Items(f->MirelKT5PortCombo).at(before - 2), first);
    f->MirelKT5PortAutoCheck->click();
    f->MirelKT5PortCombo->setEditText("typed");

    setenv("TELORIA2_EXTRA_PORTS", (first + ":" + second).c_str(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(Items(f->MirelKT5PortCombo).size(), before + 1, 3000);
    const std::vector<std::string> items = Items(f->MirelKT5PortCombo);
    QCOMPARE(items.at(items.size() - 3), first);
    QCOMPARE(items.at(items.size() - 2), second);
    QCOMPARE(items.back(), std::string("TEST"));
    QCOMPARE(f->MirelKT5PortCombo->currentText(), QString("typed"));
    // A port with a blank in its name and a device that is not there are taken as typed.
    f->MirelKT5PortCombo->setEditText(QString::fromStdString(second));
    QTest::mouseClick(f->OkButton, Qt::LeftButton);
    QCOMPARE(AppSettings.MirelKT5Port, second);
  }

  void shareTabChecksAndSavesItsKeys() {
    AppSettings.Share.Mode = 2;
    AppSettings.Share.Host = "broker.office";
    AppSettings.Share.User = "office";
    Open();
    QVERIFY(f->ShareReceiveRadio->isChecked());
    QCOMPARE(f->ShareHostEdit->text(), QString("broker.office"));
    QCOMPARE(f->SharePortEdit->text(), QString("1883"));
    QCOMPARE(f->ShareTopicEdit->text(), QString("teloria2/office"));
    QCOMPARE(f->SharePasswordEdit->echoMode(), QLineEdit::Password);
    QVERIFY(f->ShareHostEdit->isEnabled());
    QVERIFY(!f->ShareHomeAssistantCheck->isEnabled()); // only a sender announces to a hub
    f->ShareOffRadio->click();
    QVERIFY(!f->ShareHostEdit->isEnabled());
    QCOMPARE(f->ShareStatusLabel->text(), QString::fromUtf8("共有していません。"));
    f->ShareSendRadio->click();
    QVERIFY(f->ShareHomeAssistantCheck->isEnabled());

    // Each check refuses on this tab and saves nothing.
    const auto refused = [&](QLineEdit* edit, const char* text, const char* message) {
      const QString kept = edit->text();
      edit->setText(QString::fromUtf8(text));
      ClickOk();
      QCOMPARE(boxes->Errors.back(), std::string(message));
      QCOMPARE(f->PageControl1->currentWidget(), f->TabSheet5);
      edit->setText(kept);
    };
    refused(f->ShareHostEdit, " ", "ブローカーのホスト名を入力して下さい。");
    for (const char* port : {"0", "65536", "x"})
      refused(f->SharePortEdit, port, "ブローカーのポート番号を確認して下さい。");
    refused(f->ShareCaFileEdit, "/no/ca.pem", "指定のCA証明書ファイルが存在しません。");
    for (const char* topic : {"", "office/#", "a/+/b", "/office", "office/"})
      refused(f->ShareTopicEdit, topic, "トピックを確認して下さい。");
    QCOMPARE(boxes->Errors.size(), size_t(10));
    QVERIFY(!std::filesystem::exists(TAppSettings::FileName()));

    TFakeFileDialogs dialogs;
    WriteFile(h->Path("office-ca.pem"), "-----BEGIN CERTIFICATE-----");
    dialogs.Paths = {h->Path("office-ca.pem")};
    QTest::mouseClick(f->SelectCaFileButton, Qt::LeftButton);
    QCOMPARE(dialogs.Calls.at(0).Title, std::string("CA証明書ファイルの選択"));
    f->SharePortEdit->setText(" 8883 ");
    f->SharePasswordEdit->setText("pass word");
    f->ShareHomeAssistantCheck->setChecked(true);
    ClickOk();
    QVERIFY(!f->isVisible());
    const TIniFile ini(TAppSettings::FileName());
    QCOMPARE(ini.ReadString("Settings.Share", "Mode", ""), std::string("1"));
    QCOMPARE(ini.ReadString("Settings.Share", "Host", ""), std::string("broker.office"));
    QCOMPARE(ini.ReadString("Settings.Share", "Port", ""), std::string("8883"));
    QCOMPARE(ini.ReadString("Settings.Share", "User", ""), std::string("office"));
    QCOMPARE(ini.ReadString("Settings.Share", "Password", ""), std::string("pass word"));
    QCOMPARE(ini.ReadString("Settings.Share", "CaFile", ""), h->Path("office-ca.pem"));
    QCOMPARE(ini.ReadString("Settings.Share", "HomeAssistant", ""), std::string("1"));
    QCOMPARE(AppSettings.Share.Port, 8883);

    // Not sharing: nothing is checked, and a port that is no number becomes the usual one.
    Windows().ShowSettings();
    f->ShareOffRadio->click();
    f->ShareHostEdit->clear();
    f->SharePortEdit->setText("x");
    ClickOk();
    QVERIFY(!f->isVisible());
    QCOMPARE(AppSettings.Share.Mode, 0);
    QCOMPARE(AppSettings.Share.Port, 1883);
  }

  void stateWithoutAController() {
    Open();
    QCOMPARE(f->MirelStatusLabel->text(), QString::fromUtf8("Mirelに接続していません。"));
    QCOMPARE(f->MirelStatusLabel->palette().color(QPalette::WindowText), QColor(Qt::red));
    QVERIFY(!f->MirelConnResetButton->isEnabled());
    QTest::mouseClick(f->ManualDateTimeButton, Qt::LeftButton); // nothing to set
    QVERIFY(boxes->Errors.empty());
    QVERIFY(f->MirelCheckTimer.isActive());
    QCOMPARE(f->MirelCheckTimer.interval(), 1000);
  }
};

QTEST_MAIN(SettingFormTest)
#include "SettingFormTest.moc"

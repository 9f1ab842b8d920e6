// What the settings window's controls do: filling, the enabling rules,
// collecting with its checks, saving and the live connection state.
#include "ui/SettingForm.h"

#include "base/Clock.h"
#include "base/Exception.h"
#include "base/Text.h"
#include "core/IController.h"
#include "platform/SerialPorts.h"
#include "settings/AppSettings.h"
#include "settings/SettingsListeners.h"
#include "ui/AutostartEntry.h"
#include "ui/EventGuard.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/StateLabel.h"
#include "ui/UiWindows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Enabled fields take the window colour, disabled ones the button face.
void SetFieldEnabled(QWidget* field, bool enabled) {
  field->setEnabled(enabled);
  const QPalette app = QApplication::palette(field);
  QPalette palette = field->palette();
  palette.setColor(QPalette::Base,
                   app.color(QPalette::Active, enabled ? QPalette::Base : QPalette::Button));
  field->setPalette(palette);
}

// A failure the user caused or can mend is told in its own words.
void TellFailure(const std::exception& e) {
  ShowErrorMessage(e.what());
}

// -1 unless the text is a whole number.
int IntOrMinusOne(const std::string& text) {
  int value = -1;
  return TryParseInt32(text, value) ? value : -1;
}

bool InRange(int value, int first, int last) {
  return value >= first && value <= last;
}

} // namespace

void TSettingForm::ConnectHandlers() {
  const auto on = [this](auto* sender, auto signal, const char* what, void (TSettingForm::*fn)()) {
    connect(sender, signal, this, [this, what, fn] {
      GuardEvent(
          what, [&] { (this->*fn)(); }, TellFailure);
    });
  };
  on(OkButton, &QPushButton::clicked, "設定の保存", &TSettingForm::OkButtonClick);
  on(CancelButton, &QPushButton::clicked, "設定の取り消し", &TSettingForm::CancelButtonClick);
  on(MirelConnResetButton, &QPushButton::clicked, "接続リセット",
     &TSettingForm::MirelConnResetButtonClick);
  on(ManualDateTimeButton, &QPushButton::clicked, "時刻設定",
     &TSettingForm::ManualDateTimeButtonClick);
  on(SelectSoundFileButton, &QPushButton::clicked, "音声ファイルの選択",
     &TSettingForm::SelectSoundFileButtonClick);
  on(MirelKT5PortAutoCheck, &QCheckBox::clicked, "自動設定",
     &TSettingForm::MirelKT5PortAutoCheckClick);
  on(PlayPreviewSoundCheck, &QCheckBox::clicked, "着信予告音",
     &TSettingForm::PlayPreviewSoundCheckClick);
  on(UseDefaultSoundRadio, &QRadioButton::clicked, "音声の選択", &TSettingForm::SoundRadioClick);
  on(SpecificSoundFileRadio, &QRadioButton::clicked, "音声の選択", &TSettingForm::SoundRadioClick);
  on(SetAutoDateTimeCheck, &QCheckBox::clicked, "時刻設定",
     &TSettingForm::SetAutoDateTimeCheckClick);
  for (QRadioButton* radio : {ShareOffRadio, ShareSendRadio, ShareReceiveRadio})
    on(radio, &QRadioButton::clicked, "共有方法", &TSettingForm::ShareModeRadioClick);
  on(SelectCaFileButton, &QPushButton::clicked, "CA証明書の選択",
     &TSettingForm::SelectCaFileButtonClick);
  // A failing timer tick is logged; a box every second would bury the user.
  connect(&MirelCheckTimer, &QTimer::timeout, this,
          [this] { GuardEvent("接続状態の表示", [this] { MirelCheckTimerTimer(); }); });
}

void TSettingForm::FillFromSettings(const TAppSettings& settings) {
  MirelKT5PortCombo->setEditText(Q(settings.MirelKT5Port));
  MirelKT5PortAutoCheck->setChecked(settings.MirelKT5Port.empty());
  MirelKT5PortAutoCheckClick();
  (settings.IncomingDisplayMode == 1 ? IncomingNoticeRadio : IncomingDetailRadio)->setChecked(true);
  IncomingExecCmdCheck->setChecked(settings.ExecCmdEnabled);
  ShowIncomingPreviewCheck->setChecked(settings.ShowIncomingPreview);
  PlayPreviewSoundCheck->setChecked(settings.PlayPreviewSound);
  (settings.UseDefaultSound ? UseDefaultSoundRadio : SpecificSoundFileRadio)->setChecked(true);
  SoundFileNameEdit->setText(Q(settings.SoundFileName));
  PlayPreviewSoundCheckClick();
  SetAutoDateTimeCheck->setChecked(settings.SetAutoDateTime);
  ExecHourCombo->setEditText(Q(settings.ExecHour));
  ExecMinuteCombo->setEditText(Q(settings.ExecMinute));
  SetAutoDateTimeCheckClick();
  QToolButton* size = settings.DispSize == 0   ? FontSmallButton
                      : settings.DispSize == 1 ? FontMiddleButton
                                               : FontLargeButton;
  size->setChecked(true);
  Memo1CaptionEdit->setText(Q(settings.Memo1Caption));
  Memo2CaptionEdit->setText(Q(settings.Memo2Caption));
  Memo3CaptionEdit->setText(Q(settings.Memo3Caption));
  AutoRunCheck->setChecked(settings.AutoRun);
  MemoryCatchUpCheck->setChecked(settings.MemoryCatchUp);
  FillShare(settings.Share);
}

void TSettingForm::MirelKT5PortAutoCheckClick() {
  SetFieldEnabled(MirelKT5PortCombo, !MirelKT5PortAutoCheck->isChecked());
}

void TSettingForm::PlayPreviewSoundCheckClick() {
  const bool on = PlayPreviewSoundCheck->isChecked();
  UseDefaultSoundRadio->setEnabled(on);
  SpecificSoundFileRadio->setEnabled(on);
  if (on) {
    SoundRadioClick();
    return;
  }
  SetFieldEnabled(SoundFileNameEdit, false);
  SelectSoundFileButton->setEnabled(false);
}

void TSettingForm::SoundRadioClick() {
  const bool specific = SpecificSoundFileRadio->isChecked();
  SetFieldEnabled(SoundFileNameEdit, specific);
  SelectSoundFileButton->setEnabled(specific);
}

void TSettingForm::SetAutoDateTimeCheckClick() {
  const bool on = SetAutoDateTimeCheck->isChecked();
  SetFieldEnabled(ExecHourCombo, on);
  SetFieldEnabled(ExecMinuteCombo, on);
}

void TSettingForm::SelectSoundFileButtonClick() {
  const std::string file =
      FileDialogs().OpenFile("音声ファイルの選択", "WAV ファイル(*.wav)", "wav");
  if (!file.empty())
    SoundFileNameEdit->setText(Q(file));
}

bool TSettingForm::CollectSettings(TAppSettings& settings) {
  settings.MirelKT5Port = MirelKT5PortAutoCheck->isChecked()
                              ? ""
                              : Trim(MirelKT5PortCombo->currentText().toStdString());
  settings.IncomingDisplayMode = IncomingNoticeRadio->isChecked() ? 1 : 2;
  if (!CollectSound(settings) || !CollectClock(settings))
    return false;
  settings.DispSize = FontSmallButton->isChecked() ? 0 : FontMiddleButton->isChecked() ? 1 : 2;
  settings.Memo1Caption = Memo1CaptionEdit->text().toStdString();
  settings.Memo2Caption = Memo2CaptionEdit->text().toStdString();
  settings.Memo3Caption = Memo3CaptionEdit->text().toStdString();
  settings.AutoRun = AutoRunCheck->isChecked();
  settings.MemoryCatchUp = MemoryCatchUpCheck->isChecked();
  return CollectShare(settings.Share);
}

bool TSettingForm::CollectSound(TAppSettings& settings) {
  settings.ExecCmdEnabled = IncomingExecCmdCheck->isChecked();
  settings.ShowIncomingPreview = ShowIncomingPreviewCheck->isChecked();
  settings.PlayPreviewSound = PlayPreviewSoundCheck->isChecked();
  settings.UseDefaultSound = UseDefaultSoundRadio->isChecked();
  settings.SoundFileName = Trim(SoundFileNameEdit->text().toStdString());
  // Checked whether or not the sound is on, so a later switch finds a file.
  if (settings.UseDefaultSound)
    return true;
  if (settings.SoundFileName.empty()) {
    Refuse(TabSheet2, "音声ファイルを入力して下さい。");
    return false;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(settings.SoundFileName, ec)) {
    Refuse(TabSheet2, "指定の音声ファイルが存在しません。");
    return false;
  }
  return true;
}

bool TSettingForm::CollectClock(TAppSettings& settings) {
  settings.SetAutoDateTime = SetAutoDateTimeCheck->isChecked();
  settings.ExecHour = Trim(ExecHourCombo->currentText().toStdString());
  settings.ExecMinute = Trim(ExecMinuteCombo->currentText().toStdString());
  if (InRange(IntOrMinusOne(settings.ExecHour), 0, 23) &&
      InRange(IntOrMinusOne(settings.ExecMinute), 0, 59))
    return true;
  if (settings.SetAutoDateTime) {
    Refuse(TabSheet2, "自動設定時刻を確認して下さい。");
    return false;
  }
  settings.ExecHour.clear();
  settings.ExecMinute.clear();
  return true;
}

void TSettingForm::Refuse(QWidget* tab, const char* message) {
  PageControl1->setCurrentWidget(tab);
  ShowErrorMessage(message);
}

void TSettingForm::OkButtonClick() {
  TAppSettings edited;
  if (!CollectSettings(edited) || !SaveSettings(edited))
    return;
  NotifySettingsChanged();
  hide();
}

// The file is written before the running settings change, so a file that
// cannot be written leaves everything as it was.
bool TSettingForm::SaveSettings(const TAppSettings& edited) {
  TAppSettings merged = AppSettings;
  merged.Assign(edited);
  if (!GuardEvent(
          "設定を保存できません。", [&] { merged.Save(); }, TellFailure))
    return false;
  AppSettings.Assign(edited);
  // The settings are saved even when the log-on start cannot be put in place.
  GuardEvent(
      "自動起動の設定を書き込めません。", [&] { UpdateAutostartEntry(edited.AutoRun); },
      TellFailure);
  return true;
}

void TSettingForm::CancelButtonClick() {
  FillFromSettings(AppSettings);
  hide();
}

void TSettingForm::reject() {
  CancelButtonClick();
}

void TSettingForm::MirelCheckTimerTimer() {
  RefreshPortItems();
  ShowConnectionState();
  ShowShareState();
}

void TSettingForm::RefreshPortItems() {
  std::vector<std::string> ports;
  EnumSerialPortChoices(ports);
  bool same = MirelKT5PortCombo->count() == static_cast<int>(ports.size()) + 1;
  for (size_t i = 0; same && i < ports.size(); ++i)
    same = MirelKT5PortCombo->findText(Q(ports[i]), Qt::MatchExactly) >= 0;
  if (same)
    return;
  // Rebuilding the items must not lose what the user has typed.
  const QString typed = MirelKT5PortCombo->currentText();
  MirelKT5PortCombo->clear();
  for (const std::string& port : ports)
    MirelKT5PortCombo->addItem(Q(port));
  MirelKT5PortCombo->addItem("TEST");
  MirelKT5PortCombo->setEditText(typed);
}

void TSettingForm::ShowConnectionState() {
  IController* controller = Windows().Controller();
  if (controller != nullptr && controller->SimMode()) {
    SetStateText(MirelStatusLabel, "電話番号発信シミュレータモードです。", Qt::blue);
    MirelConnResetButton->setEnabled(false);
    return;
  }
  if (controller != nullptr && controller->ReceivingShared()) {
    SetStateText(MirelStatusLabel, "MQTTブローカーから着信を受信しています。", Qt::blue);
    MirelConnResetButton->setEnabled(false);
    return;
  }
  const std::string port = controller != nullptr ? controller->GetConnectedPort() : std::string();
  if (port.empty()) {
    SetStateText(MirelStatusLabel, "Mirelに接続していません。", Qt::red);
    MirelConnResetButton->setEnabled(false);
    return;
  }
  SetStateText(MirelStatusLabel, "Mirelと接続中です。", Qt::blue);
  if (MirelKT5PortAutoCheck->isChecked())
    MirelKT5PortCombo->setEditText(Q(port));
  MirelConnResetButton->setEnabled(true);
}

void TSettingForm::MirelConnResetButtonClick() {
  if (IController* controller = Windows().Controller())
    controller->Reconnect();
}

void TSettingForm::ManualDateTimeButtonClick() {
  IController* controller = Windows().Controller();
  if (controller == nullptr)
    return;
  GuardEvent(
      "Mirelの時刻を設定できません。", [&] { controller->SetDeviceClock(Now()); },
      [](const std::exception&) { ShowErrorMessage("日時設定できません。"); });
}

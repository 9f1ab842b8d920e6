// The settings window's 共有 tab: the broker, the topic and whether this PC
// sends its calls or receives them, with the broker's live state.
#include "ui/SettingForm.h"

#include "base/Text.h"
#include "core/IController.h"
#include "settings/AppSettings.h"
#include "ui/FileDialogs.h"
#include "ui/StateLabel.h"
#include "ui/UiWindows.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

namespace {

std::string Text(const QLineEdit* edit) {
  return Trim(edit->text().toStdString());
}

// A topic to publish under: not empty, no wildcards, no empty levels at its ends.
bool UsableTopic(const std::string& topic) {
  return !topic.empty() && topic.find_first_of("+#") == std::string::npos && topic.front() != '/' &&
         topic.back() != '/';
}

} // namespace

void TSettingForm::FillShare(const TShareSettings& share) {
  (share.Mode == 1   ? ShareSendRadio
   : share.Mode == 2 ? ShareReceiveRadio
                     : ShareOffRadio)
      ->setChecked(true);
  ShareHostEdit->setText(QString::fromStdString(share.Host));
  SharePortEdit->setText(QString::number(share.Port));
  ShareUserEdit->setText(QString::fromStdString(share.User));
  SharePasswordEdit->setText(QString::fromStdString(share.Password));
  ShareCaFileEdit->setText(QString::fromStdString(share.CaFile));
  ShareTopicEdit->setText(QString::fromStdString(share.Topic));
  ShareHomeAssistantCheck->setChecked(share.HomeAssistant);
  ShareModeRadioClick();
}

void TSettingForm::ShareModeRadioClick() {
  findChild<QGroupBox*>("GroupBox8")->setEnabled(!ShareOffRadio->isChecked());
  // Only a sending PC has calls of its own to announce to a hub.
  ShareHomeAssistantCheck->setEnabled(ShareSendRadio->isChecked());
}

void TSettingForm::SelectCaFileButtonClick() {
  const std::string file =
      FileDialogs().OpenFile("CA証明書ファイルの選択", "証明書ファイル(*.pem *.crt)", "pem");
  if (!file.empty())
    ShareCaFileEdit->setText(QString::fromStdString(file));
}

// Not sharing, the broker's fields are kept as they are, without checks; a
// port that is no number becomes the usual one.
bool TSettingForm::CollectShare(TShareSettings& share) {
  share.Mode = ShareSendRadio->isChecked() ? 1 : ShareReceiveRadio->isChecked() ? 2 : 0;
  share.Host = Text(ShareHostEdit);
  share.User = Text(ShareUserEdit);
  share.Password = SharePasswordEdit->text().toStdString();
  share.CaFile = Text(ShareCaFileEdit);
  share.Topic = Text(ShareTopicEdit);
  share.HomeAssistant = ShareHomeAssistantCheck->isChecked();
  int port = 0;
  const bool portOk = TryParseInt32(Text(SharePortEdit), port) && port >= 1 && port <= 65535;
  share.Port = portOk ? port : TShareSettings().Port;
  if (share.Mode == 0)
    return true;
  const char* refusal = nullptr;
  std::error_code ec;
  if (share.Host.empty())
    refusal = "ブローカーのホスト名を入力して下さい。";
  else if (!portOk)
    refusal = "ブローカーのポート番号を確認して下さい。";
  else if (!share.CaFile.empty() && !std::filesystem::is_regular_file(share.CaFile, ec))
    refusal = "指定のCA証明書ファイルが存在しません。";
  else if (!UsableTopic(share.Topic))
    refusal = "トピックを確認して下さい。";
  if (refusal == nullptr)
    return true;
  Refuse(TabSheet5, refusal);
  return false;
}

void TSettingForm::ShowShareState() {
  IController* controller = Windows().Controller();
  const std::string state = controller != nullptr ? controller->ShareStateText() : std::string();
  if (state.empty())
    SetStateText(ShareStatusLabel, "共有していません。", palette().color(QPalette::WindowText));
  else
    SetStateText(ShareStatusLabel, state.c_str(),
                 controller->ShareConnected() ? Qt::blue : Qt::red);
}

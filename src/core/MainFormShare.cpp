// The controller's side of office sharing: in receive mode calls come from
// the broker, so no adapter is searched and the simulator is not listened to.
#include "core/MainForm.h"

#include "base/Text.h"
#include "common2/MirelKT5Comm.h"
#include "core/CallShare.h"
#include "data/TableRow.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"

void TMainForm::CreateShare() {
  share_ = std::make_unique<TCallShare>(postTarget_, deps_.ShareClients);
  share_->Session.OnGroup = [this](TMirelKT5CommBase& s, const IKT5GroupEventArgs& a) {
    OnSessionGroup(s, a);
  };
  share_->OnStateChanged = [this] { ShareStateChanged(); };
  share_->OnCallsRecorded = [this](const std::vector<TTableRow>& registered) {
    deps_.Windows->IncomingListReload();
    for (const TTableRow& entry : registered)
      deps_.Windows->PhoneListRowSaved(entry);
  };
  share_->OnWarning = [this](const std::string& text) {
    ShowBalloon("Teloria II", text, TBalloonIcon::Warning);
  };
}

// True while calls come from the broker: the port setting plays no part then.
bool TMainForm::ApplyShareSettings() {
  const bool wasReceiving = share_->Receiving();
  share_->Apply(AppSettings.Share);
  if (share_->Receiving()) {
    if (!wasReceiving)
      EnterShareReceiveMode();
    return true;
  }
  if (wasReceiving)
    LeaveShareReceiveMode();
  return false;
}

void TMainForm::EnterShareReceiveMode() {
  comm_->Close(false);
  mirelCheckTimer_.stop();
  simMode_ = false;
  SetTrayIconState(share_->BrokerConnected());
  Log(llInfo, "共有受信モード開始");
}

// The port rules take over: "TEST" enters the simulator, anything else searches.
void TMainForm::LeaveShareReceiveMode() {
  Log(llInfo, "共有受信モード終了");
  if (SameText(AppSettings.MirelKT5Port, "TEST"))
    return;
  SetTrayIconState(false);
  StartSearchAgain();
}

void TMainForm::ShareStateChanged() {
  const std::string state = share_->StateText();
  deps_.Tray->SetTipHelp(state.empty() ? "Teloria II" : "Teloria II\n" + state);
  if (share_->Receiving())
    SetTrayIconState(share_->BrokerConnected());
}

bool TMainForm::ReceivingShared() const {
  return share_->Receiving();
}

std::string TMainForm::ShareStateText() const {
  return share_->StateText();
}

bool TMainForm::ShareConnected() const {
  return share_->BrokerConnected();
}

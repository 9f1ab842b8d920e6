#include "core/MainForm.h"

#include "base/Text.h"
#include "core/LastIncomingInfo.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"

#include <fmt/printf.h>

void TMainForm::OnSessionGroup(TMirelKT5CommBase&, const IKT5GroupEventArgs& args) {
  // Only hand the event on: the session's dispatch returns at once.
  IKT5GroupEventArgs ev = args;
  Post([this, ev] { CMGroupEvent(ev); });
}

void TMainForm::CMGroupEvent(const IKT5GroupEventArgs& ev) {
  if (!ev)
    return;
  const IKT5GroupEventArgs prev = LastGroupEvent;
  LastGroupEvent = ev;
  // Hook events update the tracked call only right after another event of
  // the same group.
  const bool sameGroup = prev && prev->GroupNo == ev->GroupNo;
  switch (ev->PacketKind) {
  case 1:
    if (AppSettings.ShowIncomingPreview)
      deps_.Windows->ShowRingAnnouncement();
    if (AppSettings.PlayPreviewSound)
      deps_.Sound->PlayRingSound();
    break;
  case 2:
    deps_.Windows->HideIncomingNotice();
    deps_.Sound->StopRingSound();
    PostIncoming(ev->PhoneNumber, ev->GroupNo);
    break;
  case 3:
  case 4:
  case 5:
    if (!sameGroup)
      break;
    // A hook event that overtook the registration of its own call waits
    // for it; applied now it would change the previous call's row.
    if (pendingCallGroups_.count(ev->GroupNo) != 0)
      Post([this, ev] { ApplyHookEvent(ev); });
    else
      ApplyHookEvent(ev);
    break;
  default:
    break;
  }
}

void TMainForm::ApplyHookEvent(const IKT5GroupEventArgs& ev) {
  switch (ev->PacketKind) {
  case 3:
    UpdateTrackedCall("着信の応答状態を記録できません。", [&] {
      CtiDb->SetIncomingAnswered(LastIncomingInfo.IncomingOrder, LastIncomingInfo.IncomingDate,
                                 ev->RingSeconds);
    });
    break;
  case 4:
    UpdateTrackedCall("着信の終話状態を記録できません。", [&] {
      CtiDb->SetIncomingHungUp(LastIncomingInfo.IncomingOrder, LastIncomingInfo.IncomingDate,
                               ev->TalkSeconds);
    });
    deps_.Windows->IncomingListReload();
    break;
  default:
    UpdateTrackedCall("着信の未応答状態を記録できません。", [&] {
      CtiDb->SetIncomingNotAnswered(LastIncomingInfo.IncomingOrder, LastIncomingInfo.IncomingDate);
    });
    deps_.Windows->IncomingListReload();
    break;
  }
}

void TMainForm::UpdateTrackedCall(const char* what, const std::function<void()>& update) {
  // A call whose history row could not be added has no row to update.
  if (LastIncomingInfo.IncomingDate.empty() || !CtiDb)
    return;
  try {
    update();
  } catch (const std::exception& e) {
    LogException(llError, what, e);
  }
}

void TMainForm::PostIncoming(const std::string& phoneNumber, int32_t groupNo) {
  auto row = std::make_shared<TTableRow>();
  row->SetValue("phone_number", phoneNumber);
  row->SetValue("_IncomingDate", NowDateText());
  pendingCallGroups_.insert(groupNo);
  Post([this, row, groupNo] {
    pendingCallGroups_.erase(pendingCallGroups_.find(groupNo));
    CMIncomingPhone(std::make_unique<TTableRow>(*row));
  });
}

std::unique_ptr<TTableRow> TMainForm::RegisterCall(const std::string& number,
                                                   const std::string& when, int& order) {
  std::string location = "着信履歴テーブル追加";
  try {
    if (!CtiDb)
      throw Exception("データベースが開かれていません。");
    order = CtiDb->AddIncoming(number, when);
    LastIncomingInfo = {order, when};
    std::unique_ptr<TTableRow> callRow;
    const bool valid = IsValidNumber(number);
    if (valid) {
      location = "電話番号情報取得";
      callRow = CtiDb->FindPhoneNumber(number);
    }
    if (!callRow) {
      callRow = std::make_unique<TTableRow>();
      callRow->SetValue("phone_number", number);
      callRow->SetValue("created_date", when);
      callRow->SetValue("last_updated", when);
      if (valid && CtiDb->GetPhoneNumberCount() < AppSettings.PhoneLimit) {
        location = "電話番号情報追加";
        CtiDb->InsertPhoneNumber(*callRow);
      } else if (valid) {
        LogFmt(llError, "電話番号登録件数が %d 件に達しているため登録できません。",
               AppSettings.PhoneLimit);
      }
    }
    callRow->SetValue("_IncomingDate", when);
    callRow->SetValue("_IsValidNumber", valid ? "1" : "0");
    location = "最終着信日時更新";
    CtiDb->UpdateLastIncomingDate(number, when);
    return callRow;
  } catch (const std::exception& e) {
    LogException(llError,
                 fmt::sprintf("電話着信処理でエラーが発生しました。エラー場所=%s", location), e);
    if (location == "着信履歴テーブル追加")
      LastIncomingInfo = {};
    Post([this] { CMIncomingError(); });
    return nullptr;
  }
}

void TMainForm::CMIncomingPhone(std::unique_ptr<TTableRow> incoming) {
  if (!incoming) {
    Log(llError, "CMIncomingPhoneにて着信情報オブジェクトがありません。");
    return;
  }
  const std::string number = incoming->GetValue("phone_number");
  const std::string when = incoming->GetValue("_IncomingDate");
  LogFmt(llDebug, "着信情報のDB登録処理 : 着信日時 [%s]  番号 [%s]", when, number);
  int order = 0;
  const std::unique_ptr<TTableRow> callRow = RegisterCall(number, when, order);
  incoming.reset();
  if (callRow)
    ShowCall(*callRow, order);
}

void TMainForm::ShowCall(const TTableRow& callRow, int order) {
  if (AppSettings.IncomingDisplayMode == 1)
    deps_.Windows->ShowIncomingNotice(callRow);
  else
    deps_.Windows->ShowNumberDisplay(callRow);
  if (AppSettings.ExecCmdEnabled) {
    const std::string cmd = Trim(callRow.GetValue("exec_cmd"));
    if (!cmd.empty())
      ShellOpen(cmd, deps_.Opener);
  }
  TTableRow historyRow;
  historyRow.SetValue("phone_number", callRow.GetValue("phone_number"));
  historyRow.SetValue("incoming_date", callRow.GetValue("_IncomingDate"));
  historyRow.SetValue("owner_name", callRow.GetValue("owner_name"));
  historyRow.SetValue("incoming_order", std::to_string(order));
  deps_.Windows->IncomingListAddCall(historyRow);
  if (callRow.GetValue("_IsValidNumber") == "1") {
    const std::unique_ptr<TTableRow> saved = callRow.Clone();
    saved->SetValue("last_incoming_date", callRow.GetValue("_IncomingDate"));
    deps_.Windows->PhoneListRowSaved(*saved);
  }
}

void TMainForm::CMIncomingError() {
  ShowBalloon("Teloria II エラー", "着信処理で予期しないエラーが発生しました。",
              TBalloonIcon::Error);
}

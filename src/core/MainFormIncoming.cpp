#include "core/MainForm.h"

#include "base/Text.h"
#include "core/CallShare.h"
#include "core/LastIncomingInfo.h"
#include "data/CallHistory.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "data/PhoneBook.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"

#include <algorithm>
#include <fmt/printf.h>

// A call as the database and the windows need it. Its history row is added
// once (Order is set then); the rest of its writes may be repeated.
struct TIncomingCall {
  std::string Number;
  std::string When;
  int Order = 0;
  // The caller's row once recorded, and whether it is in the phone book
  // (found there or registered now).
  std::unique_ptr<TTableRow> Row;
  bool InPhoneBook = false;
};

namespace {

// A caller without a phone-book entry: the number and the call's date.
std::unique_ptr<TTableRow> NewCallRow(const TIncomingCall& call) {
  auto row = std::make_unique<TTableRow>();
  row->SetValue("phone_number", call.Number);
  row->SetValue("created_date", call.When);
  row->SetValue("last_updated", call.When);
  return row;
}

void MarkCallRow(TTableRow& row, const TIncomingCall& call) {
  row.SetValue("_IncomingDate", call.When);
  row.SetValue("_IsValidNumber", IsValidNumber(call.Number) ? "1" : "0");
}

const char* CallStepText(TMainForm::TCallStep step) {
  switch (step) {
  case TMainForm::TCallStep::AddHistoryRow:
    return "着信履歴テーブル追加";
  case TMainForm::TCallStep::FindEntry:
    return "電話番号情報取得";
  case TMainForm::TCallStep::AddEntry:
    return "電話番号情報追加";
  case TMainForm::TCallStep::UpdateLastIncoming:
    return "最終着信日時更新";
  }
  return "";
}

const char* HookText(uint8_t kind) {
  return kind == 3 ? "着信の応答状態" : kind == 4 ? "着信の終話状態" : "着信の未応答状態";
}

// The call's writes wait only briefly for a lock held by another program:
// a refused write is kept and retried anyway, while a long wait would hold
// up the display of the caller and the session's packets, whose ring and
// talk times are taken when they are handled.
class TShortBusyWait {
public:
  TShortBusyWait() : saved_(CtiDb ? CtiDb->BusyTimeout() : 0) {
    if (CtiDb)
      CtiDb->SetBusyTimeout(std::min(saved_, 100));
  }
  ~TShortBusyWait() {
    if (CtiDb)
      CtiDb->SetBusyTimeout(saved_);
  }
  TShortBusyWait(const TShortBusyWait&) = delete;
  TShortBusyWait& operator=(const TShortBusyWait&) = delete;

private:
  int saved_;
};

} // namespace

void TMainForm::OnSessionGroup(TMirelKT5CommBase&, const IKT5GroupEventArgs& args) {
  // Only hand the event on: the session's dispatch returns at once.
  IKT5GroupEventArgs ev = args;
  Post([this, ev] { CMGroupEvent(ev); });
}

void TMainForm::CMGroupEvent(const IKT5GroupEventArgs& ev) {
  if (!ev)
    return;
  LastGroupEvent = ev;
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
    // A hook event that overtook the registration of its own call waits
    // for it; applied now it would find the group without its call.
    if (groupCalls_.Waiting(ev->GroupNo))
      Post([this, ev] { ApplyHookEvent(ev); });
    else
      ApplyHookEvent(ev);
    break;
  default:
    break;
  }
  share_->GroupEventHandled(ev);
}

// A hook event updates the call of its own group only: a ring that brought
// no number, or a group long gone, has no call and changes nothing. The
// call is resolved to its history key when the write runs: at once, or,
// when the call's own write waits for the database, after that write (the
// hook write is queued behind it) has given the call its incoming_order.
void TMainForm::ApplyHookEvent(const IKT5GroupEventArgs& ev) {
  const std::shared_ptr<TIncomingCall> call = groupCalls_.CallOf(ev->GroupNo);
  if (!call)
    return;
  const TShortBusyWait shortWait;
  WriteInOrder(HookText(ev->PacketKind), [this, ev, call] { return WriteHookEvent(*ev, *call); });
}

TMainForm::TWriteResult TMainForm::WriteHookEvent(const TKT5GroupEventArgs& ev,
                                                  const TIncomingCall& call) {
  const uint8_t kind = ev.PacketKind;
  const TWriteResult result = UpdateCallRow(
      call, std::string(HookText(kind)) + "を記録できません。", [&](const TCallKey& key) {
        if (kind == 3)
          CallHistory().SetAnswered(key, ev.RingSeconds);
        else if (kind == 4)
          CallHistory().SetHungUp(key, ev.TalkSeconds);
        else
          CallHistory().SetNotAnswered(key);
      });
  // The history window is refreshed when a call ends, not when it is answered.
  if (kind != 3 && result != TWriteResult::Busy)
    deps_.Windows->IncomingListReload();
  return result;
}

TMainForm::TWriteResult
TMainForm::UpdateCallRow(const TIncomingCall& call, const std::string& what,
                         const std::function<void(const TCallKey&)>& update) {
  // A call whose history row could not be added has no row to update.
  if (call.Order == 0 || !CtiDb)
    return TWriteResult::Failed;
  try {
    update({call.Order, call.When});
    return TWriteResult::Done;
  } catch (const ESQLiteException& e) {
    if (e.IsBusy())
      return TWriteResult::Busy;
    LogException(llError, what, e);
  } catch (const std::exception& e) {
    LogException(llError, what, e);
  }
  return TWriteResult::Failed;
}

void TMainForm::PostIncoming(const std::string& phoneNumber, int32_t groupNo) {
  auto row = std::make_shared<TTableRow>();
  row->SetValue("phone_number", phoneNumber);
  row->SetValue("_IncomingDate", NowDateText());
  groupCalls_.NumberPosted(groupNo);
  Post([this, row, groupNo] {
    groupCalls_.NumberHandled(groupNo, CMIncomingPhone(std::make_unique<TTableRow>(*row)));
  });
}

TMainForm::TWriteResult TMainForm::RecordCall(TIncomingCall& call) {
  TCallStep step = TCallStep::AddHistoryRow;
  try {
    if (!CtiDb)
      throw Exception("データベースが開かれていません。");
    if (call.Order == 0) {
      call.Order = CallHistory().AddCall(call.Number, call.When);
      LastIncomingInfo = {call.Order, call.When};
    }
    const bool valid = IsValidNumber(call.Number);
    std::unique_ptr<TTableRow> row;
    if (valid) {
      step = TCallStep::FindEntry;
      row = PhoneBook().Find(call.Number);
    }
    bool inPhoneBook = row != nullptr;
    if (!row) {
      row = NewCallRow(call);
      if (valid && !PhoneBook().IsFull(AppSettings.PhoneLimit)) {
        step = TCallStep::AddEntry;
        PhoneBook().Register(*row);
        inPhoneBook = true;
      } else if (valid) {
        LogFmt(llError, "電話番号登録件数が %d 件に達しているため登録できません。",
               AppSettings.PhoneLimit);
      }
    }
    MarkCallRow(*row, call);
    step = TCallStep::UpdateLastIncoming;
    PhoneBook().SetLastIncomingDate(call.Number, call.When);
    call.Row = std::move(row);
    call.InPhoneBook = inPhoneBook;
    return TWriteResult::Done;
  } catch (const ESQLiteException& e) {
    if (e.IsBusy())
      return TWriteResult::Busy;
    FailCall(step, e);
  } catch (const std::exception& e) {
    FailCall(step, e);
  }
  return TWriteResult::Failed;
}

void TMainForm::FailCall(TCallStep step, const std::exception& e) {
  LogException(
      llError,
      fmt::sprintf("電話着信処理でエラーが発生しました。エラー場所=%s", CallStepText(step)), e);
  if (step == TCallStep::AddHistoryRow)
    LastIncomingInfo = {};
  Post([this] { CMIncomingError(); });
}

std::shared_ptr<TIncomingCall> TMainForm::CMIncomingPhone(std::unique_ptr<TTableRow> incoming) {
  if (!incoming) {
    Log(llError, "CMIncomingPhoneにて着信情報オブジェクトがありません。");
    return nullptr;
  }
  auto call = std::make_shared<TIncomingCall>();
  call->Number = incoming->GetValue("phone_number");
  call->When = incoming->GetValue("_IncomingDate");
  LogFmt(llDebug, "着信情報のDB登録処理 : 着信日時 [%s]  番号 [%s]", call->When, call->Number);
  incoming.reset();
  const TShortBusyWait shortWait;
  const TWriteResult now = pendingWrites_.empty() ? RecordCall(*call) : TWriteResult::Busy;
  if (now == TWriteResult::Failed)
    return call;
  if (now == TWriteResult::Done) {
    ShowCall(*call->Row);
    CallRecorded(*call);
    return call;
  }
  // The database is locked by another program: the caller is shown at
  // once, the call is written when the database takes it again.
  ShowCall(*WaitingCallRow(*call));
  Defer(fmt::sprintf("着信情報 : 着信日時 [%s]  番号 [%s]", call->When, call->Number),
        [this, call] {
          const TWriteResult result = RecordCall(*call);
          if (result == TWriteResult::Done)
            CallRecorded(*call);
          return result;
        });
  return call;
}

// The caller's row for a call not yet written: the phone-book entry if the
// database can be read, else the number alone.
std::unique_ptr<TTableRow> TMainForm::WaitingCallRow(const TIncomingCall& call) {
  std::unique_ptr<TTableRow> row;
  if (CtiDb && IsValidNumber(call.Number)) {
    try {
      row = PhoneBook().Find(call.Number);
    } catch (const std::exception&) {
      // A lock that bars reading as well: shown without the entry.
    }
  }
  if (!row)
    row = NewCallRow(call);
  MarkCallRow(*row, call);
  return row;
}

void TMainForm::WriteInOrder(const std::string& what, std::function<TWriteResult()> write) {
  if (pendingWrites_.empty() && write() != TWriteResult::Busy)
    return;
  Defer(what, std::move(write));
}

void TMainForm::Defer(const std::string& what, std::function<TWriteResult()> write) {
  LogFmt(llWarning, "データベースが使用中のため書き込みを保留します。[%s]", what);
  pendingWrites_.push_back({what, std::move(write)});
  if (!pendingWritesTimer_.isActive())
    pendingWritesTimer_.start();
}

void TMainForm::PendingWritesTimerTimer() {
  const TShortBusyWait shortWait;
  WritePending();
}

void TMainForm::WritePending() {
  while (!pendingWrites_.empty()) {
    const TPendingWrite& next = pendingWrites_.front();
    const TWriteResult result = next.Write();
    if (result == TWriteResult::Busy)
      return;
    if (result == TWriteResult::Done)
      LogFmt(llInfo, "保留していた書き込みを行いました。[%s]", next.What);
    pendingWrites_.pop_front();
  }
  pendingWritesTimer_.stop();
}

// One last try with the full busy timeout; what still cannot be written is
// lost with the program, and logged.
void TMainForm::WriteBeforeClosing() {
  if (pendingWrites_.empty())
    return;
  WritePending();
  for (const TPendingWrite& lost : pendingWrites_)
    LogFmt(llError, "データベースに書き込めないまま終了します。[%s]", lost.What);
  pendingWrites_.clear();
}

void TMainForm::ShowCall(const TTableRow& callRow) {
  if (AppSettings.IncomingDisplayMode == 1)
    deps_.Windows->ShowIncomingNotice(callRow);
  else
    deps_.Windows->ShowNumberDisplay(callRow);
  if (AppSettings.ExecCmdEnabled) {
    const std::string cmd = Trim(callRow.GetValue("exec_cmd"));
    if (!cmd.empty())
      ShellOpen(cmd, deps_.Opener);
  }
}

// The open lists learn of a call once it is in the database; the phone list
// only of an entry that is there.
void TMainForm::CallRecorded(const TIncomingCall& call) {
  TTableRow historyRow;
  historyRow.SetValue("phone_number", call.Number);
  historyRow.SetValue("incoming_date", call.When);
  historyRow.SetValue("owner_name", call.Row->GetValue("owner_name"));
  historyRow.SetValue("incoming_order", std::to_string(call.Order));
  deps_.Windows->IncomingListAddCall(historyRow);
  if (call.InPhoneBook) {
    const std::unique_ptr<TTableRow> saved = call.Row->Clone();
    saved->SetValue("last_incoming_date", call.When);
    deps_.Windows->PhoneListRowSaved(*saved);
  }
}

void TMainForm::CMIncomingError() {
  ShowBalloon("Teloria II エラー", "着信処理で予期しないエラーが発生しました。",
              TBalloonIcon::Error);
}

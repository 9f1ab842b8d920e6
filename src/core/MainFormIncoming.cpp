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
  // From the journal of an earlier run, which may have added its row before it ended.
  bool Replayed = false;
  // The caller's row once recorded, and whether it is in the phone book
  // (found there or registered now).
  std::unique_ptr<TTableRow> Row;
  bool InPhoneBook = false;
  // A call received from another station: that station, the call's order
  // there (none when it could not record it) and the name and memos of its
  // phone book, for a number this PC's book does not know.
  std::string Station;
  std::string StationOrder;
  std::unique_ptr<TTableRow> SenderEntry;
};

namespace {

// A caller without a phone-book entry: the number and the call's date, and
// what the sending station's book says of it.
std::unique_ptr<TTableRow> NewCallRow(const TIncomingCall& call) {
  auto row = std::make_unique<TTableRow>();
  if (call.SenderEntry)
    for (const char* key : {"owner_name", "memo1", "memo2", "memo3"})
      row->SetValue(key, call.SenderEntry->GetValue(key));
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

// A call of another station is recorded once, under its key there.
int AddHistoryRow(const TIncomingCall& call) {
  if (call.Station.empty())
    return CallHistory().AddCall(call.Number, call.When);
  TTableRow row;
  row.SetValue("incoming_order", call.StationOrder);
  row.SetValue("incoming_date", call.When);
  row.SetValue("phone_number", call.Number);
  bool added = false;
  return CallHistory().AddStationCall(call.Station, row, added).Order;
}

const char* HookText(uint8_t kind) {
  return kind == 3 ? "着信の応答状態" : kind == 4 ? "着信の終話状態" : "着信の未応答状態";
}

std::string CallText(const TCallIdentity& call) {
  return fmt::sprintf("着信情報 : 着信日時 [%s]  番号 [%s]", call.Date, call.Number);
}

TPendingRecord HookRecord(const TKT5GroupEventArgs& ev, const TCallIdentity& call) {
  const uint8_t kind = ev.PacketKind;
  return {kind, call, kind == 3 ? ev.RingSeconds : kind == 4 ? ev.TalkSeconds : 0};
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
    // The popup turns the announcement into the caller's notice in place,
    // without taking it off the screen first.
    if (AppSettings.IncomingDisplayMode != 1)
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
  WriteInOrder(HookText(ev->PacketKind), HookRecord(*ev, {call->When, call->Number}),
               [this, ev, call] { return WriteHookEvent(*ev, *call); });
}

TMainForm::TWriteResult TMainForm::WriteHookEvent(const TKT5GroupEventArgs& ev,
                                                  TIncomingCall& call) {
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
TMainForm::UpdateCallRow(TIncomingCall& call, const std::string& what,
                         const std::function<void(const TCallKey&)>& update) {
  if (!CtiDb)
    return TWriteResult::Failed;
  try {
    // The row of a call from the journal, written by this start or before.
    if (call.Order == 0 && call.Replayed)
      if (const std::optional<TCallKey> stored = CallHistory().Find({call.When, call.Number}))
        call.Order = stored->Order;
    // A call whose history row could not be added has no row to update.
    if (call.Order == 0)
      return TWriteResult::Failed;
    update({call.Order, call.When});
    return TWriteResult::Done;
  } catch (const ESQLiteException& e) {
    if (e.IsTransient())
      return Refused(e);
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
  share_->DescribeCall(groupNo, *row);
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
      const std::optional<TCallKey> stored =
          call.Replayed ? CallHistory().Find({call.When, call.Number}) : std::nullopt;
      call.Order = stored ? stored->Order : AddHistoryRow(call);
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
    if (e.IsTransient())
      return Refused(e);
    FailCall(step, e);
  } catch (const std::exception& e) {
    FailCall(step, e);
  }
  return TWriteResult::Failed;
}

// What the database said is kept for the log line of the outage it starts.
TMainForm::TWriteResult TMainForm::Refused(const ESQLiteException& e) {
  refusal_ = e;
  return TWriteResult::Busy;
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
  call->Station = incoming->GetValue("_Station");
  call->StationOrder = incoming->GetValue("_StationOrder");
  if (!call->Station.empty())
    call->SenderEntry = std::move(incoming);
  incoming.reset();
  // The sending station's history is the truth: a call it could not record
  // is shown, and recorded when it has it (caught up).
  if (!call->Station.empty() && call->StationOrder.empty()) {
    ShowCall(*WaitingCallRow(*call));
    return nullptr;
  }
  const TShortBusyWait shortWait;
  const TWriteResult now = pendingWrites_.empty() ? RecordCall(*call) : TWriteResult::Busy;
  if (now == TWriteResult::Failed) {
    // Nothing is shown for the call, nor is its announcement left standing.
    deps_.Windows->HideIncomingNotice();
    return call;
  }
  if (now == TWriteResult::Done) {
    ShowCall(*call->Row);
    CallRecorded(*call);
    return call;
  }
  // The database cannot take it now: the caller is shown at once, the
  // call is written when the database takes it again.
  ShowCall(*WaitingCallRow(*call));
  const TCallIdentity identity{call->When, call->Number};
  Defer(CallText(identity), {2, identity}, CallWrite(call), call->Station.empty());
  return call;
}

std::function<TMainForm::TWriteResult()> TMainForm::CallWrite(std::shared_ptr<TIncomingCall> call) {
  return [this, call] {
    const TWriteResult result = RecordCall(*call);
    if (result == TWriteResult::Done)
      CallRecorded(*call);
    return result;
  };
}

// A write of the journal: its call is known by its date and number only.
std::function<TMainForm::TWriteResult()> TMainForm::ReplayedWrite(const TPendingRecord& record) {
  auto call = std::make_shared<TIncomingCall>();
  call->Number = record.Call.Number;
  call->When = record.Call.Date;
  call->Replayed = true;
  if (record.Kind == 2)
    return CallWrite(call);
  TKT5GroupEventArgs ev;
  ev.PacketKind = record.Kind;
  ev.RingSeconds = ev.TalkSeconds = record.Seconds;
  return [this, ev, call] { return WriteHookEvent(ev, *call); };
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

void TMainForm::WriteInOrder(const std::string& what, const TPendingRecord& record,
                             std::function<TWriteResult()> write) {
  if (pendingWrites_.empty() && write() != TWriteResult::Busy)
    return;
  Defer(what, record, std::move(write));
}

// Logged once per outage, when its first write is kept. A call of another
// station is not put in the journal, which knows no stations: that
// station's history brings it back at the next start.
void TMainForm::Defer(const std::string& what, const TPendingRecord& record,
                      std::function<TWriteResult()> write, bool journal) {
  if (!pendingWrites_.empty())
    LogFmt(llDebug, "書き込みを保留します。[%s]", what);
  else if (!refusal_ || refusal_->IsBusy())
    LogFmt(llWarning, "データベースが使用中のため書き込みを保留します。[%s]", what);
  else
    LogException(llError,
                 fmt::sprintf("データベースに書き込めないため書き込みを保留します。[%s]", what),
                 *refusal_);
  const bool journaled = !journal || AppendPendingRecord(record);
  if (!journaled && !journalFailed_)
    LogFmt(llError, "保留した書き込みをファイルに残せません。[%s]", what);
  journalFailed_ = journalFailed_ || !journaled;
  pendingWrites_.push_back({what, std::move(write), journaled});
  if (!pendingWritesTimer_.isActive())
    pendingWritesTimer_.start();
}

// What an earlier run could not write goes first, before any new call.
void TMainForm::ReplayPendingWrites() {
  const std::vector<TPendingRecord> records = ReadPendingRecords();
  if (records.empty()) {
    ClearPendingRecords();
    return;
  }
  LogFmt(llInfo, "前回書き込めなかった %d 件を書き込みます。", records.size());
  for (const TPendingRecord& record : records)
    pendingWrites_.push_back({record.Kind == 2 ? CallText(record.Call) : HookText(record.Kind),
                              ReplayedWrite(record), true});
  const TShortBusyWait shortWait;
  WritePending();
  if (!pendingWrites_.empty())
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
      LogFmt(llDebug, "保留していた書き込みを行いました。[%s]", next.What);
    pendingWrites_.pop_front();
    if (pendingWrites_.empty()) {
      ClearPendingRecords();
      journalFailed_ = false;
      Log(llInfo, "保留していた書き込みをすべて行いました。");
    }
  }
  pendingWritesTimer_.stop();
}

// One last try with the full busy timeout; what is still refused waits in
// the journal for the next start, or is lost if it could not be kept there.
void TMainForm::WriteBeforeClosing() {
  WritePending();
  for (const TPendingWrite& left : pendingWrites_) {
    if (left.Journaled)
      LogFmt(llWarning, "書き込めないまま終了します。次回の起動時に書き込みます。[%s]", left.What);
    else
      LogFmt(llError, "データベースに書き込めないまま終了します。[%s]", left.What);
  }
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

#include "core/MainForm.h"

#include "base/Text.h"
#include "core/CallShare.h"
#include "core/LastIncomingInfo.h"
#include "core/ShortBusyWait.h"
#include "data/CallHistory.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "data/PhoneBook.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"

#include <QPointer>
#include <algorithm>
#include <fmt/printf.h>

// A call as the database and the windows need it. Its history row is added
// once; the rest of its writes may be repeated.
struct TIncomingCall {
  std::string Number;
  std::string When;
  // Its incoming_order: given as the call is shown, or as its row is added
  // when the database refused writes at the time.
  int Order = 0;
  bool RowAdded = false;
  // Which showing of a call it was, what it put on screen (the number
  // display or the popup); its command, until started.
  unsigned Showing = 0;
  unsigned OnScreen = 0;
  bool InNumberDisplay = false;
  std::string Command;
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

// Clears a flag when the scope ends, however it ends.
class TFlagReset {
public:
  explicit TFlagReset(bool& flag) : flag_(flag) {}
  ~TFlagReset() { flag_ = false; }
  TFlagReset(const TFlagReset&) = delete;
  TFlagReset& operator=(const TFlagReset&) = delete;

private:
  bool& flag_;
};

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

// A call of another station is recorded once, under its key there; one of
// this PC under the key it was given as it was shown, if any.
int AddHistoryRow(const TIncomingCall& call) {
  if (call.Station.empty())
    return CallHistory().AddCall(call.Number, call.When, call.Order);
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
    if (AppSettings.ShowIncomingPreview) {
      deps_.Windows->ShowRingAnnouncement();
      ++screenShowings_;
    }
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
    // for it, and the group's later events wait behind it, in their order.
    if (groupCalls_.Defer(ev->GroupNo))
      Post([this, ev] {
        groupCalls_.Resumed(ev->GroupNo);
        ApplyHookEvent(ev);
      });
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
  if (ev->PacketKind != 3)
    groupCalls_.Ended(ev->GroupNo);
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
        WriteHookState(key, HookRecord(ev, {call.When, call.Number}));
      });
  // The history window is refreshed when a call ends, not when it is answered.
  if (kind != 3 && result != TWriteResult::Busy)
    PostListReload();
  return result;
}

TMainForm::TWriteResult
TMainForm::UpdateCallRow(TIncomingCall& call, const std::string& what,
                         const std::function<void(const TCallKey&)>& update) {
  if (!CtiDb)
    return TWriteResult::Failed;
  try {
    // A call whose history row could not be added has no row to update.
    if (!call.RowAdded)
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

// The call's row, its caller's entry and last call date: one transaction,
// so one flush, and nobody reads the row without the rest.
TMainForm::TWriteResult TMainForm::RecordCall(TIncomingCall& call) {
  TCallStep step = TCallStep::AddHistoryRow;
  try {
    if (!CtiDb)
      throw Exception("データベースが開かれていません。");
    TTransaction transaction = CtiDb->Transaction();
    const int order = AddCallRow(call);
    TCallerEntry caller = RegisterCaller(call.Number, call.When, call.SenderEntry.get(), step);
    transaction.Commit();
    CallRowAdded(call, order);
    MarkCallRow(*caller.Row, call);
    call.Row = std::move(caller.Row);
    call.InPhoneBook = caller.InPhoneBook;
    return TWriteResult::Done;
  } catch (const ESQLiteException& e) {
    if (e.IsTransient())
      return Refused(e);
    return KeepCallRow(call, step, e);
  } catch (const std::exception& e) {
    return KeepCallRow(call, step, e);
  }
}

int TMainForm::AddCallRow(const TIncomingCall& call) {
  if (call.RowAdded)
    return call.Order;
  const int order = AddHistoryRow(call);
  if (call.Order != 0 && order != call.Order)
    LogFmt(llWarning, "着信の番号 %d はほかの書き込みが使用したため %d で記録します。[%s]",
           call.Order, order, CallText({call.When, call.Number}));
  return order;
}

// A key given as the call was shown has been tracked since.
void TMainForm::CallRowAdded(TIncomingCall& call, int order) {
  if (call.Order == 0)
    LastIncomingInfo = {order, call.When};
  call.Order = order;
  call.RowAdded = true;
}

// The phone book refused the caller: the call is still recorded, alone.
TMainForm::TWriteResult TMainForm::KeepCallRow(TIncomingCall& call, TCallStep step,
                                               const std::exception& e) {
  if (step != TCallStep::AddHistoryRow && CtiDb) {
    try {
      CallRowAdded(call, AddCallRow(call));
    } catch (const std::exception&) {
      step = TCallStep::AddHistoryRow;
    }
  }
  FailCall(call, step, e);
  return TWriteResult::Failed;
}

// What the database said is kept for the log line of the outage it starts.
TMainForm::TWriteResult TMainForm::Refused(const ESQLiteException& e) {
  refusal_ = e;
  return TWriteResult::Busy;
}

// A call without a history row is not tracked; a newer call stays tracked.
void TMainForm::FailCall(const TIncomingCall& call, TCallStep step, const std::exception& e) {
  LogException(
      llError,
      fmt::sprintf("電話着信処理でエラーが発生しました。エラー場所=%s", CallStepText(step)), e);
  if (step == TCallStep::AddHistoryRow &&
      (call.Order == 0 || (LastIncomingInfo.IncomingOrder == call.Order &&
                           LastIncomingInfo.IncomingDate == call.When)))
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
    ShowCall(*call, *WaitingCallRow(*call));
    StartCommand(*call);
    return nullptr;
  }
  // The caller is shown from what the database can read; the call's writes,
  // each flushed to the disk, wait until the window shows it.
  const TShortBusyWait shortWait;
  GiveCallKey(*call);
  ShowCall(*call, *WaitingCallRow(*call));
  WriteAfterPaint(call);
  return call;
}

// The key the call's history row will have, given as it is shown, so that
// what is told of the call at once (the office's call message) names it.
// Not while the database refuses writes, nor behind a call that waits
// without a key: the row may be added long after, and gets its key then. A
// call of another station gets its key here as its row is added.
void TMainForm::GiveCallKey(TIncomingCall& call) {
  const auto unwritten = [](const TPendingWrite& w) { return w.Call && !w.Call->RowAdded; };
  const auto waiting = std::find_if(pendingWrites_.rbegin(), pendingWrites_.rend(), unwritten);
  if (!CtiDb || Outage() || !call.Station.empty() ||
      (waiting != pendingWrites_.rend() && waiting->Call->Order == 0))
    return;
  try {
    // Reserved: no other row takes it before the call's row is added.
    call.Order = CallHistory().ReserveOrder();
  } catch (const std::exception&) {
    return; // given as the row is added
  }
  LastIncomingInfo = {call.Order, call.When};
}

// A call the database refused for good was on screen already: it is taken
// off if still there, and its command does not start.
std::function<TMainForm::TWriteResult()> TMainForm::CallWrite(std::shared_ptr<TIncomingCall> call) {
  return [this, call] {
    const TWriteResult result = RecordCall(*call);
    if (result == TWriteResult::Done) {
      CallRecorded(*call);
      StartCommand(*call);
    } else if (result == TWriteResult::Failed) {
      call->Command.clear();
      WithdrawCall(*call);
    }
    return result;
  };
}

// Exactly what the call put on screen, while nothing has been shown since.
void TMainForm::WithdrawCall(const TIncomingCall& call) {
  if (call.OnScreen == 0 || call.OnScreen != screenShowings_)
    return;
  if (call.InNumberDisplay)
    deps_.Windows->HideNumberDisplay();
  else
    deps_.Windows->HideIncomingNotice();
}

// After the write that asks for it: the window's reload may show a box,
// whose event loop would run the next writes inside this one.
void TMainForm::PostListReload() {
  if (std::exchange(reloadPosted_, true))
    return;
  Post([this] {
    reloadPosted_ = false;
    deps_.Windows->IncomingListReload();
  });
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
    row = NewCallerRow(call.Number, call.When, call.SenderEntry.get());
  MarkCallRow(*row, call);
  return row;
}

// Behind the writes that wait, if any.
void TMainForm::WriteInOrder(const std::string& what, const TPendingRecord& record,
                             std::function<TWriteResult()> write) {
  if (pendingWrites_.empty() && !writingPending_ && write() != TWriteResult::Busy)
    return;
  Keep({what, record, std::move(write), nullptr});
  if (!WritesHeld())
    WaitForDatabase();
}

// The call's write, and every write after it, waits until the window
// showing the call has been painted, or for CallPaintTimer, whichever comes
// first: a window that is never painted (minimised, covered, off screen)
// holds nothing back for long. Without a screen it is written at once.
void TMainForm::WriteAfterPaint(std::shared_ptr<TIncomingCall> call) {
  const TCallIdentity identity{call->When, call->Number};
  Keep({CallText(identity), {2, identity}, CallWrite(call), call, !call->Station.empty()});
  if (!callPaintTimer_.isActive())
    callPaintTimer_.start();
  const unsigned showing = call->Showing;
  // The paint of an earlier call's window releases nothing.
  deps_.Windows->WhenCallPainted([form = QPointer<TMainForm>(this), showing] {
    if (form && form->callShowings_ == showing)
      form->CallPainted();
  });
}

void TMainForm::CallPainted() {
  callPaintTimer_.stop();
  const TShortBusyWait shortWait;
  WritePending();
}

void TMainForm::Keep(TPendingWrite write) {
  if (Outage())
    LogFmt(llDebug, "書き込みを保留します。[%s]", write.What);
  pendingWrites_.push_back(std::move(write));
}

// The first pending write was refused: the outage is logged once, its
// writes are tried again every second and kept in the journal meanwhile,
// in their order; one that cannot be kept there stops the rest until it is.
// A call of another station is not put in the journal, which knows no
// stations: that station's history brings it back at the next start.
void TMainForm::WaitForDatabase() {
  if (!Outage()) {
    const std::string& what = pendingWrites_.front().What;
    if (!refusal_ || refusal_->IsBusy())
      LogFmt(llWarning, "データベースが使用中のため書き込みを保留します。[%s]", what);
    else
      LogException(llError,
                   fmt::sprintf("データベースに書き込めないため書き込みを保留します。[%s]", what),
                   *refusal_);
    pendingWritesTimer_.start();
  }
  for (TPendingWrite& write : pendingWrites_) {
    if (write.Journaled)
      continue;
    write.Journaled = journal_.Append(write.Record);
    if (!write.Journaled) {
      if (!journalFailed_)
        LogFmt(llError, "保留した書き込みをファイルに残せません。[%s]", write.What);
      journalFailed_ = true;
      return;
    }
  }
}

void TMainForm::PendingWritesTimerTimer() {
  const TShortBusyWait shortWait;
  WritePending();
}

// Each write is taken out of the queue while it runs, and none runs inside
// another (a window's event loop may call here while a write runs).
void TMainForm::WritePending() {
  if (WritesHeld() || std::exchange(writingPending_, true))
    return;
  const TFlagReset reset(writingPending_);
  while (!pendingWrites_.empty()) {
    TPendingWrite next = std::move(pendingWrites_.front());
    pendingWrites_.pop_front();
    const TWriteResult result = next.Write();
    if (result == TWriteResult::Busy) {
      pendingWrites_.push_front(std::move(next));
      WaitForDatabase();
      // Kept for later: their callers' commands start now.
      for (const TPendingWrite& kept : pendingWrites_)
        if (kept.Call)
          StartCommand(*kept.Call);
      return;
    }
    if (result == TWriteResult::Done && Outage())
      LogFmt(llDebug, "保留していた書き込みを行いました。[%s]", next.What);
  }
  RecordHeldCatchUp();
  if (!Outage())
    return;
  pendingWritesTimer_.stop();
  ClearJournalWhenDone();
  journalFailed_ = false;
  Log(llInfo, "保留していた書き込みをすべて行いました。");
}

// One last try with the full busy timeout, a call's write no longer waiting
// for its paint; what is still refused waits in the journal for the next
// start, or is lost if it could not be kept there.
void TMainForm::WriteBeforeClosing() {
  callPaintTimer_.stop();
  WritePending();
  pendingWritesTimer_.stop();
  for (const TPendingWrite& left : pendingWrites_) {
    if (left.Journaled)
      LogFmt(llWarning, "書き込めないまま終了します。次回の起動時に書き込みます。[%s]", left.What);
    else
      LogFmt(llError, "データベースに書き込めないまま終了します。[%s]", left.What);
  }
  pendingWrites_.clear();
}

// The caller's command starts once the call is written, or kept for later.
void TMainForm::ShowCall(TIncomingCall& call, const TTableRow& callRow) {
  call.InNumberDisplay = AppSettings.IncomingDisplayMode != 1;
  if (call.InNumberDisplay)
    deps_.Windows->ShowNumberDisplay(callRow);
  else
    deps_.Windows->ShowIncomingNotice(callRow);
  call.Showing = ++callShowings_;
  call.OnScreen = ++screenShowings_;
  if (AppSettings.ExecCmdEnabled)
    call.Command = Trim(callRow.GetValue("exec_cmd"));
}

void TMainForm::StartCommand(TIncomingCall& call) {
  if (!call.Command.empty())
    ShellOpen(std::exchange(call.Command, {}), deps_.Opener);
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

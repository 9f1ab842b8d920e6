// What an earlier run could not write, read back from the journal and
// written in batches of one transaction each, between this run's events:
// a long journal holds up neither the adapter, nor a live call, nor -exit.
#include "core/MainForm.h"

#include "core/LastIncomingInfo.h"
#include "core/ShortBusyWait.h"
#include "data/CallHistory.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"

#include <algorithm>
#include <fmt/printf.h>

namespace {

// Records a transaction: large enough that the flushes cost little, small
// enough that a batch takes a few milliseconds.
constexpr size_t ReplayBatchSize = 500;

} // namespace

void TMainForm::ReplayPendingWrites() {
  const std::vector<TPendingRecord> records = journal_.Open();
  if (records.empty()) {
    journal_.Clear();
    TrimHistory();
    return;
  }
  LogFmt(llInfo, "前回書き込めなかった %d 件を書き込みます。", records.size());
  replay_.assign(records.begin(), records.end());
  replayTimer_.setInterval(0);
  replayTimer_.start();
}

void TMainForm::ReplayTimerTimer() {
  const TShortBusyWait shortWait;
  const size_t count = std::min(replay_.size(), replaySingles_ > 0 ? 1 : ReplayBatchSize);
  try {
    ReplayBatch(count);
  } catch (const ESQLiteException& e) {
    if (e.IsTransient())
      ReplayRefused(e);
    else
      ReplayFailed(count, e);
    return;
  } catch (const std::exception& e) {
    ReplayFailed(count, e);
    return;
  }
  replay_.erase(replay_.begin(), replay_.begin() + static_cast<std::ptrdiff_t>(count));
  replaySingles_ -= std::min(replaySingles_, count);
  if (replayTimer_.interval() != 0) {
    replayTimer_.setInterval(0);
    Log(llInfo, "前回書き込めなかった記録の書き込みを再開します。");
  }
  if (replay_.empty())
    ReplayDone();
}

void TMainForm::ReplayBatch(size_t count) {
  if (!CtiDb)
    throw Exception("データベースが開かれていません。");
  std::vector<TTableRow> registered;
  TCallKey newest;
  TTransaction transaction = CtiDb->Transaction();
  for (size_t i = 0; i < count; ++i)
    ReplayRecord(replay_[i], registered, newest);
  transaction.Commit();
  // A call of this run shown meanwhile stays the last one.
  if (!newest.Date.empty() && newest.Date > LastIncomingInfo.IncomingDate)
    LastIncomingInfo = {newest.Order, newest.Date};
  for (const TTableRow& entry : registered)
    deps_.Windows->PhoneListRowSaved(entry);
  PostListReload();
}

// A call found by its date and number was added by an earlier try.
void TMainForm::ReplayRecord(const TPendingRecord& record, std::vector<TTableRow>& registered,
                             TCallKey& newest) {
  const std::optional<TCallKey> stored = CallHistory().Find(record.Call);
  if (record.Kind == 2) {
    const int order =
        stored ? stored->Order : CallHistory().AddCall(record.Call.Number, record.Call.Date);
    TCallStep step = TCallStep::FindEntry;
    TCallerEntry caller = RegisterCaller(record.Call.Number, record.Call.Date, nullptr, step);
    if (caller.Registered) {
      caller.Row->SetValue("last_incoming_date", record.Call.Date);
      registered.push_back(std::move(*caller.Row));
    }
    if (record.Call.Date >= newest.Date)
      newest = {order, record.Call.Date};
  } else if (stored) {
    WriteHookState(*stored, record);
  }
}

// Tried again every second; the records stay in the journal meanwhile.
void TMainForm::ReplayRefused(const ESQLiteException& e) {
  if (replayTimer_.interval() == 0)
    LogException(llWarning, "前回書き込めなかった記録を書き込めないため後で書き込みます。", e);
  replayTimer_.setInterval(1000);
}

// A batch the database refuses for good is written record by record, so
// that only the record it refuses is left out.
void TMainForm::ReplayFailed(size_t count, const std::exception& e) {
  if (count > 1) {
    replaySingles_ = count;
    return;
  }
  const TPendingRecord& record = replay_.front();
  LogException(llError,
               fmt::sprintf("前回書き込めなかった記録を書き込めません。[%s %s]", record.Call.Date,
                            record.Call.Number),
               e);
  replay_.pop_front();
  replaySingles_ -= std::min<size_t>(replaySingles_, 1);
  if (replay_.empty())
    ReplayDone();
}

void TMainForm::ReplayDone() {
  replayTimer_.stop();
  replaySingles_ = 0;
  Log(llInfo, "前回書き込めなかった記録をすべて書き込みました。");
  ClearJournalWhenDone();
  TrimHistory();
}

// Only once nothing it holds is still to be written.
void TMainForm::ClearJournalWhenDone() {
  if (replay_.empty() && std::none_of(pendingWrites_.begin(), pendingWrites_.end(),
                                      [](const TPendingWrite& w) { return w.Journaled; }))
    journal_.Clear();
}

// After the journal: its calls count among those kept.
void TMainForm::TrimHistory() {
  try {
    CallHistory().Trim(AppSettings.IncomingLimit);
  } catch (const std::exception& e) {
    LogException(llError, "着信履歴件数の調整に失敗しました。", e);
  }
}

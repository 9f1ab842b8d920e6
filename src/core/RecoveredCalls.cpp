#include "core/RecoveredCalls.h"

#include <algorithm>
#include <set>

#include <fmt/printf.h>

#include "base/Exception.h"
#include "base/Text.h"
#include "core/CallerEntry.h"
#include "data/BusyTimeoutScope.h"
#include "data/CallHistory.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "data/PhoneBook.h"
#include "settings/AppSettings.h"
#include "settings/DateText.h"
#include "settings/Logging.h"

namespace {

constexpr double Minute = 1.0 / 1440.0;
// Fingerprints kept: many times what the adapter holds.
constexpr int MarksKept = 1000;
// Kept with the fingerprints once the memory has been read.
const char* const ReadingMark = "read";
constexpr int BriefWaitMs = 100;

std::string DateText(TDateTime value) {
  return FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", value);
}

// This PC's own calls around the stored calls' dates.
std::vector<THistoryCall> HistoryAround(const std::vector<TStoredCall>& stored) {
  const auto [oldest, newest] = std::minmax_element(
      stored.begin(), stored.end(),
      [](const TStoredCall& a, const TStoredCall& b) { return a.Incoming < b.Incoming; });
  const std::unique_ptr<TTableRows> rows = CtiDb->GetOwnIncomingBetween(
      DateText(oldest->Incoming - 2 * Minute), DateText(newest->Incoming + 2 * Minute));
  std::vector<THistoryCall> calls;
  for (int i = 0; i < rows->Count(); ++i) {
    const TTableRow& row = (*rows)[i];
    THistoryCall call;
    call.Key = CallKeyOf(row);
    call.Number = row.GetValue("phone_number");
    call.Date = DateTimeFromTextDef(call.Key.Date, 0);
    TryParseInt32(row.GetValue("state"), call.State);
    calls.push_back(call);
  }
  return calls;
}

void SetOutcome(const TCallKey& key, const TStoredCall& call, int state) {
  if (call.Unanswered) {
    CallHistory().SetNotAnswered(key);
    return;
  }
  // Answered: the ring time only where the history does not have it yet;
  // the talk time is unknown.
  if (state == 0)
    CallHistory().SetAnswered(key, call.RingSeconds());
  CallHistory().SetHungUp(key, 0);
}

void RegisterCaller(const TStoredCall& call, const std::string& date, bool& limitLogged) {
  if (!IsValidNumber(call.Number))
    return;
  if (PhoneBook().Find(call.Number)) {
    PhoneBook().RaiseLastIncomingDate(call.Number, date);
  } else if (!PhoneBook().IsFull(AppSettings.PhoneLimit)) {
    TTableRow entry;
    entry.SetValue("phone_number", call.Number);
    entry.SetValue("created_date", date);
    entry.SetValue("last_updated", date);
    entry.SetValue("last_incoming_date", date);
    RegisterNewCaller(entry);
  } else if (!limitLogged) {
    limitLogged = true;
    LogFmt(llError, "電話番号登録件数が %d 件に達しているため登録できません。",
           AppSettings.PhoneLimit);
  }
}

TCallKey AddCall(const TStoredCall& call, bool& limitLogged) {
  const std::string date = DateText(call.Incoming);
  const TCallKey key{CallHistory().AddCall(call.Number, date), date};
  if (call.Answered || call.Unanswered)
    SetOutcome(key, call, 0);
  RegisterCaller(call, date, limitLogged);
  LogFmt(llInfo, "本体メモリの着信を履歴に追加しました。電話番号=[%s], 着信日時=[%s], %s",
         call.Number, FormatDateTime("yyyy/mm/dd hh:nn", call.Incoming),
         call.Answered ? "応答" : (call.Unanswered ? "未応答" : "不明"));
  return key;
}

} // namespace

std::vector<TRecoveredCall> RecordRecoveredCalls(const std::vector<TStoredCall>& stored) {
  if (!CtiDb)
    throw Exception("データベースが開かれていません。");
  // A database held by another program fails the reading, which the next
  // connection repeats, rather than holding up the calls on this thread.
  const TBusyTimeoutScope briefly(*CtiDb, BriefWaitMs);
  TTransaction transaction = CtiDb->Transaction();
  const std::vector<std::string> marks = CtiDb->GetMemoryRecordMarks();
  const std::set<std::string> known(marks.begin(), marks.end());
  TCatchUpPlan plan;
  if (!stored.empty())
    plan = PlanCatchUp(stored, HistoryAround(stored), known,
                       DateTimeFromTextDef(CallHistory().NewestOwnCallDate(), 0));
  bool limitLogged = false;
  std::vector<TRecoveredCall> changed;
  for (const TStoredCall& call : plan.Add)
    changed.push_back({AddCall(call, limitLogged), call, true});
  for (const auto& [open, call] : plan.Finish) {
    SetOutcome(open.Key, call, open.State);
    changed.push_back({open.Key, call, false});
  }
  // An adapter read once, even with an empty memory, is read for the first
  // time no more: its later calls are all new.
  plan.Seen.push_back(ReadingMark);
  for (const std::string& mark : plan.Seen)
    CtiDb->AddMemoryRecordMark(mark, MarksKept);
  transaction.Commit();
  return changed;
}

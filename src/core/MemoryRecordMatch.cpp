#include "core/MemoryRecordMatch.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double SecondsPerDay = 86400.0;

std::string OutcomeLetters(bool answered, bool unanswered) {
  if (answered)
    return "OF";
  return unanswered ? "UR" : "--";
}

// Whole seconds from a to b, rounded: dates built from minutes carry
// floating-point dust.
long long SecondsFrom(TDateTime a, TDateTime b) {
  return std::llround((b - a) * SecondsPerDay);
}

// The earliest history call of the same number within the record's minute
// that no other record has taken.
std::optional<size_t> TakeHistoryCall(const TStoredCall& call,
                                      const std::vector<THistoryCall>& history,
                                      std::vector<bool>& taken) {
  std::optional<size_t> best;
  for (size_t i = 0; i < history.size(); ++i) {
    if (taken[i] || history[i].Number != call.Number ||
        !WithinRecordMinute(call.Incoming, history[i].Date))
      continue;
    if (!best || history[i].Date < history[*best].Date)
      best = i;
  }
  if (best)
    taken[*best] = true;
  return best;
}

} // namespace

int TStoredCall::RingSeconds() const {
  if (!Answered || Ended == 0)
    return 0;
  return static_cast<int>(std::max(0LL, SecondsFrom(Incoming, Ended)));
}

std::string StoredCallFingerprint(const std::string& number, TDateTime incoming, TDateTime ended,
                                  bool answered, bool unanswered) {
  const std::string endedText = ended == 0 ? "-" : FormatDateTime("yyyymmddhhnn", ended);
  return FormatDateTime("yyyymmddhhnn", incoming) + "|" + number + "|" + endedText + "|" +
         OutcomeLetters(answered, unanswered);
}

std::optional<TStoredCall> StoredCallOf(const TKT5MirelKT5ReceivePacket& packet) {
  if (packet.NoDateTime || packet.IncomingDateTime == 0)
    return std::nullopt;
  TStoredCall call;
  call.Number = packet.PhoneNumber;
  call.Incoming = packet.IncomingDateTime;
  call.Ended = packet.EventDateTime;
  call.Answered = packet.Answered;
  call.Unanswered = packet.Unanswered;
  call.Fingerprint =
      StoredCallFingerprint(call.Number, call.Incoming, call.Ended, call.Answered, call.Unanswered);
  return call;
}

bool WithinRecordMinute(TDateTime recordMinute, TDateTime historyDate) {
  const long long offset = SecondsFrom(recordMinute, historyDate);
  return offset >= -60 && offset < 120;
}

TCatchUpPlan PlanCatchUp(std::vector<TStoredCall> stored, const std::vector<THistoryCall>& history,
                         const std::set<std::string>& known, TDateTime newestCall) {
  // Oldest first, so that two calls of one number in one minute take the
  // history's two calls in their order.
  std::stable_sort(stored.begin(), stored.end(), [](const TStoredCall& a, const TStoredCall& b) {
    return a.Incoming < b.Incoming;
  });
  const bool firstRead = known.empty();
  std::vector<bool> taken(history.size(), false);
  std::set<std::string> planned;
  TCatchUpPlan plan;
  for (const TStoredCall& call : stored) {
    const std::optional<size_t> match = TakeHistoryCall(call, history, taken);
    // A call left open (its end lost) ends, also when its record was read
    // before.
    if (match && history[*match].State < 2 && (call.Answered || call.Unanswered))
      plan.Finish.emplace_back(history[*match], call);
    // A record is considered once, even when the memory holds it twice.
    if (known.count(call.Fingerprint) != 0 || !planned.insert(call.Fingerprint).second)
      continue;
    plan.Seen.push_back(call.Fingerprint);
    if (match) {
      // In the history, or deleted from it: nothing to add.
    } else if (!firstRead || SecondsFrom(newestCall, call.Incoming) > 0 || newestCall == 0) {
      plan.Add.push_back(call);
    }
  }
  return plan;
}

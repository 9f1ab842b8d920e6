#include "SequenceCheck.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

namespace {

// The index a soak number carries, 0 for a number without one.
int IndexOf(const std::string& number) {
  if (number.size() != 10 || number.rfind("0990", 0) != 0)
    return 0;
  return std::stoi(number.substr(4));
}

// Withheld and out-of-area calls, keyed by the numbered call before them.
using TBetween = std::map<std::pair<int, std::string>, int>;

void CountBetween(TBetween& counts, const std::vector<std::string>& numbers, int sign) {
  int anchor = 0;
  for (const std::string& number : numbers) {
    if (const int index = IndexOf(number))
      anchor = index;
    else
      counts[{anchor, number}] += sign;
  }
}

} // namespace

TSequenceResult CheckSequence(const std::vector<TSoakCall>& calls,
                              const std::vector<THistoryRow>& rows) {
  TSequenceResult result;
  std::vector<std::string> placed, recorded;
  std::map<int, int> seen;
  for (const TSoakCall& call : calls) {
    placed.push_back(call.Number);
    if (IndexOf(call.Number))
      seen[call.Index] = 0;
  }
  for (const THistoryRow& row : rows) {
    recorded.push_back(row.Number);
    if (const int index = IndexOf(row.Number))
      ++seen[index];
  }
  for (const auto& [index, count] : seen) {
    result.Lost += count == 0 ? 1 : 0;
    result.Doubled += std::max(0, count - 1);
  }
  TBetween between;
  CountBetween(between, placed, 1);
  CountBetween(between, recorded, -1);
  for (const auto& [key, missing] : between) {
    result.Lost += std::max(0, missing);
    result.Doubled += std::max(0, -missing);
  }
  result.InOrder = placed == recorded;
  if (!result.InOrder)
    return result;
  for (size_t i = 0; i < calls.size(); ++i) {
    const TSoakCall& call = calls[i];
    if (rows[i].State != call.State || rows[i].Connected != call.Connected) {
      ++result.WrongOutcome;
      std::fprintf(stderr, "soak: call %d (%s) ended with state %d, connected %d\n", call.Index,
                   call.Number.c_str(), rows[i].State, rows[i].Connected);
    }
  }
  return result;
}

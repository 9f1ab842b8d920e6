#include "share/StationSequence.h"

#include <charconv>

TStationSequences::TVerdict TStationSequences::Check(const std::string& station,
                                                     const std::string& id) {
  const size_t countAt = id.rfind('-');
  const size_t runAt =
      countAt == std::string::npos || countAt == 0 ? std::string::npos : id.rfind('-', countAt - 1);
  uint64_t count = 0;
  const char* end = id.data() + id.size();
  if (runAt == std::string::npos ||
      std::from_chars(id.data() + countAt + 1, end, count).ptr != end || count == 0)
    return TVerdict::Next;
  const std::string run = id.substr(runAt + 1, countAt - runAt - 1);
  const auto found = last_.find(station);
  TVerdict verdict = TVerdict::Gap;
  if (found != last_.end() && found->second.Run == run) {
    if (count <= found->second.Count)
      return TVerdict::Repeated;
    if (count == found->second.Count + 1)
      verdict = TVerdict::Next;
  } else if (found != last_.end() && count == 1) {
    verdict = TVerdict::Next; // the station started again
  }
  last_[station] = {run, count};
  return verdict;
}

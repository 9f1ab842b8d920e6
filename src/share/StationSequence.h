#pragma once

#include <cstdint>
#include <map>
#include <string>

// The count in each station's message ids ("<station>-<run>-<count>"): it
// tells a message seen already from a new one, and notices one that never
// came (lost on the way, or sent while this desk was away).
class TStationSequences {
public:
  enum class TVerdict {
    Next,     // the one after the last, or an id without a count
    Repeated, // seen already: delivered twice
    Gap,      // something before it is missing, or nothing is known before it
  };
  TVerdict Check(const std::string& station, const std::string& id);

private:
  struct TLast {
    std::string Run;
    uint64_t Count = 0;
  };
  std::map<std::string, TLast> last_;
};

#pragma once

#include <map>
#include <string>
#include <vector>

// Follows the program's main log files (logs/ksocti.yyyymmdd.log, CP932,
// one line per record, a new file each day) and hands out the lines written
// since the last call, in UTF-8.
class TLogTail {
public:
  explicit TLogTail(std::string logFolder) : folder_(std::move(logFolder)) {}

  std::vector<std::string> NewLines();

private:
  std::string folder_;
  std::map<std::string, size_t> read_; // bytes taken from each file
};

// The time stamp at the start of a log line, as a local date-time; 0 when
// the line has none.
double LogLineTime(const std::string& line);

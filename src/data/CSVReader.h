#pragma once

#include "base/Exception.h"

#include <string>
#include <string_view>
#include <vector>

class ECSVError : public Exception {
public:
  using Exception::Exception;
};

// The CSV state machine over the bytes of a CP932 text: a quote that begins a
// field opens quoting; elsewhere a doubled quote is a literal one and a single
// quote toggles quoting, even mid-field; comma, CR, LF and CR LF separate
// outside quotes. CP932 trail bytes never equal
// those, so working byte by byte is safe. Limits count bytes.
class TCSVReader {
public:
  static constexpr int MaxFields = 256;
  static constexpr size_t MaxFieldBytes = 4095;

  using TRecord = std::vector<std::string>;

  // Parses up to the end of the text or a zero byte, appending the records.
  // Raises ECSVError on a limit or a quoted field left open at the end.
  void Parse(std::string_view text);
  const std::vector<TRecord>& Records() const { return records_; }

private:
  void AppendByte(char byte);
  void EndField();
  void EndRecord();
  [[noreturn]] void Fail(const std::string& what) const;

  std::vector<TRecord> records_;
  TRecord record_;
  std::string field_;
};

#include "core/PendingRecord.h"

#include "base/Text.h"
#include "data/CallFields.h"

#include <algorithm>
#include <charconv>
#include <fmt/printf.h>
#include <iterator>

namespace {

// The line of each kind, 2 to 5.
const char* const KindNames[] = {"call", "answered", "hungup", "notanswered"};
// No ring or talk lasts longer than a day.
constexpr int MaxSeconds = 86400;

// Control characters and "%" as "%XX": a field never holds a TAB or a line break.
std::string Escape(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    escaped +=
        byte < 0x20 || byte == 0x7F || c == '%' ? fmt::sprintf("%%%02X", byte) : std::string(1, c);
  }
  return escaped;
}

// A line as a log may show it: no control character reaches a terminal.
std::string Printable(std::string_view line) {
  std::string text;
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    text += byte < 0x20 || byte == 0x7F ? fmt::sprintf("%%%02X", byte) : std::string(1, c);
  }
  return text;
}

bool Unescape(std::string_view text, std::string& plain) {
  plain.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      plain += text[i];
      continue;
    }
    unsigned byte = 0;
    const char* digits = text.data() + i + 1;
    if (i + 2 >= text.size() || std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2)
      return false;
    plain += static_cast<char>(byte);
    i += 2;
  }
  return true;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos)
      return fields;
    start = tab + 1;
  }
}

// Only what a call from the adapter can be: its number and date, and
// seconds only where the kind has them.
bool Plausible(const TPendingRecord& record) {
  const bool timed = record.Kind == 3 || record.Kind == 4;
  return IsCallNumber(record.Call.Number) && IsCallDateText(record.Call.Date) &&
         (timed ? record.Seconds >= 0 && record.Seconds <= MaxSeconds : record.Seconds == 0);
}

bool ParseLine(std::string_view line, TPendingRecord& record) {
  const std::vector<std::string_view> fields = Fields(line);
  const auto kind = std::find(std::begin(KindNames), std::end(KindNames), fields[0]);
  if (fields.size() != 4 || kind == std::end(KindNames))
    return false;
  record.Kind = static_cast<uint8_t>(2 + (kind - std::begin(KindNames)));
  return Unescape(fields[1], record.Call.Date) && Unescape(fields[2], record.Call.Number) &&
         TryParseInt32(fields[3], record.Seconds) && Plausible(record);
}

} // namespace

void WriteHookState(const TCallKey& call, const TPendingRecord& record) {
  if (record.Kind == 3)
    CallHistory().SetAnswered(call, record.Seconds);
  else if (record.Kind == 4)
    CallHistory().SetHungUp(call, record.Seconds);
  else
    CallHistory().SetNotAnswered(call);
}

std::string PendingRecordLine(const TPendingRecord& record) {
  return fmt::sprintf("%s\t%s\t%s\t%d\n", KindNames[record.Kind - 2], Escape(record.Call.Date),
                      Escape(record.Call.Number), record.Seconds);
}

TPendingContent ParsePendingContent(std::string_view bytes) {
  TPendingContent content;
  bytes = bytes.substr(0, bytes.find('\0'));
  int lineNo = 0;
  for (size_t end = 0; (end = bytes.find('\n', content.End)) != std::string_view::npos;
       content.End = end + 1) {
    const std::string_view line = bytes.substr(content.End, end - content.End);
    TPendingRecord record;
    ++lineNo;
    if (ParseLine(line, record))
      content.Records.push_back(record);
    else
      content.Refused.push_back({lineNo, Printable(line)});
  }
  content.CutShort = content.End < bytes.size();
  return content;
}

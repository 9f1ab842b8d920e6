#include "data/CSVReader.h"

#include <fmt/printf.h>

#include <utility>

namespace {

constexpr char Quote = '"';
constexpr char Delimiter = ',';

} // namespace

void TCSVReader::Fail(const std::string& what) const {
  throw ECSVError(fmt::sprintf("%s. Row:%d Col:%d", what, records_.size() + 1, record_.size() + 1));
}

void TCSVReader::AppendByte(char byte) {
  if (field_.size() >= MaxFieldBytes)
    Fail("field buffer orverflow");
  field_ += byte;
}

void TCSVReader::EndField() {
  if (record_.size() >= static_cast<size_t>(MaxFields))
    Fail(fmt::sprintf("field count over %d", MaxFields));
  record_.push_back(std::move(field_));
  field_.clear();
}

void TCSVReader::EndRecord() {
  EndField();
  records_.push_back(std::move(record_));
  record_.clear();
}

void TCSVReader::Parse(std::string_view text) {
  bool quoted = false;
  bool fieldStart = true;
  size_t i = 0;
  for (; i < text.size() && text[i] != '\0'; ++i) {
    const char c = text[i];
    const bool hasNext = i + 1 < text.size();
    const bool atFieldStart = std::exchange(fieldStart, false);
    if (c == Quote) {
      // A quote that begins a field always opens quoting, so "" is an empty
      // field and """" one quote, as every other CSV writer means them.
      if (!quoted && atFieldStart) {
        quoted = true;
      } else if (hasNext && text[i + 1] == Quote) {
        AppendByte(Quote);
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (!quoted && c == Delimiter) {
      EndField();
      fieldStart = true;
    } else if (!quoted && (c == '\r' || c == '\n')) {
      EndRecord();
      fieldStart = true;
      if (c == '\r' && hasNext && text[i + 1] == '\n')
        ++i;
    } else {
      AppendByte(c);
    }
  }
  // A quoted field that never closes would swallow the rest of the text and
  // lose its record without a word.
  if (quoted)
    Fail("quoted field not closed");
  // A last record without its line break still counts.
  if (!field_.empty() || !record_.empty())
    EndRecord();
}

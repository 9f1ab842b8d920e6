#include "PacketEncoder.h"

#include <fmt/printf.h>

namespace {

std::string Frame(std::string_view body) {
  std::string packet(1, Stx);
  packet += body;
  packet += Etx;
  return packet;
}

} // namespace

std::string EncodeDateTimeField(TDateTime value) {
  const TDateParts parts = DecodeDateTime(value);
  return fmt::sprintf("%02d%02d%d%02d%02d", parts.Month, parts.Day, DayOfWeek(value) - 1,
                      parts.Hour, parts.Minute);
}

std::string PadNumber(std::string_view number) {
  std::string field(number.substr(0, NumberFieldWidth));
  field.resize(NumberFieldWidth, ' ');
  return field;
}

// The host does not look at the two body bytes of a polarity reversal.
std::string EncodeRing() {
  return Frame("00");
}

std::string EncodeNumber(std::string_view number, std::string_view field) {
  return Frame(std::string(field) + PadNumber(number));
}

std::string EncodeHook(std::string_view letters, std::string_view field) {
  return Frame(std::string(field) + std::string(letters));
}

std::string EncodeMemoryReply(const TMemoryRecord& record) {
  return EncodeNumber(record.Number, record.IncomingField);
}

std::string EncodeMemoryReplyMT(const TMemoryRecord& record) {
  return Frame(record.IncomingField + PadNumber(record.Number) + record.EventField +
               record.Letters);
}

#include "CallMemory.h"

namespace {

constexpr size_t RingSize = 4;
constexpr size_t NumberSize = 31;
constexpr size_t HookSize = 13;

std::string TrimmedNumber(std::string_view field) {
  const size_t end = field.find_last_not_of(' ');
  return std::string(field.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

} // namespace

void TCallMemory::Played(std::string_view bytes) {
  size_t etx;
  while ((etx = bytes.find(Etx)) != std::string_view::npos) {
    Packet(bytes.substr(0, etx + 1));
    bytes.remove_prefix(etx + 1);
  }
}

void TCallMemory::Packet(std::string_view packet) {
  if (packet.empty() || packet.front() != Stx)
    return;
  const std::string_view field = packet.substr(1, DateTimeFieldWidth);
  if (packet.size() == RingSize) {
    call_.reset();
  } else if (packet.size() == NumberSize) {
    TMemoryRecord record;
    record.IncomingField = std::string(field);
    record.Number = TrimmedNumber(packet.substr(1 + DateTimeFieldWidth, NumberFieldWidth));
    call_ = record;
  } else if (packet.size() == HookSize && call_) {
    const std::string_view letters = packet.substr(1 + DateTimeFieldWidth, 2);
    if (letters != "OF" && letters != "UR")
      return;
    call_->EventField = std::string(field);
    call_->Letters = std::string(letters);
    responder_.Store(*call_);
    call_.reset();
  }
}

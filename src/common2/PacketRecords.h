#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The adapter's packets as they arrive on the line: STX, an ASCII body, ETX.
constexpr uint8_t Stx = 0x02;
constexpr uint8_t Etx = 0x03;

constexpr size_t PhoneNumberPacketSize = 31;
constexpr size_t KyokuseiHantenPacketSize = 4;
constexpr size_t OnOffHookEtcPacketSize = 13;
constexpr size_t MemoryRecordPacketSize = 42;

// Caller number (also the reply to the memory read).
using TPhoneNumberPacket = std::array<uint8_t, PhoneNumberPacketSize>;
// Line polarity reversal: a call is coming.
using TKyokuseiHantenPacket = std::array<uint8_t, KyokuseiHantenPacketSize>;
// Hook change or the end of an unanswered call.
using TOnOffHookEtcPacket = std::array<uint8_t, OnOffHookEtcPacketSize>;
// Reply to the extended memory read.
using TMemoryRecordPacket = std::array<uint8_t, MemoryRecordPacketSize>;

// Field offsets inside the packets.
namespace PacketLayout {
constexpr size_t DateTimeField = 1;
constexpr size_t NumberField = 10;
constexpr size_t HookLetters = 10;
constexpr size_t MemoryEventDateTime = 30;
constexpr size_t MemoryHookLetters = 39;
constexpr size_t DateTimeWidth = 9;
constexpr size_t NumberWidth = 20;
} // namespace PacketLayout

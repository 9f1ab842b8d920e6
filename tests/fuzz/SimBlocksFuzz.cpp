// The two shared-memory blocks the caller simulator writes, holding any
// bytes: the receiver reads them as a call-group event and a memory record
// whose texts are valid, which pack back to the same record, and whose
// values the windows can show (dates formatted, times of a call counted).
#include "FuzzSupport.h"
#include "base/Clock.h"
#include "base/CodePage.h"
#include "common2/GroupEventRecord.h"
#include "common2/ReceivePacketRecord.h"
#include "common2/SecondsBetween.h"
#include "core/NumberSimReceiver.h"
#include "platform/SharedMemory.h"

#include <algorithm>
#include <cstring>

namespace {

// The simulator's side: the program's blocks, opened by name.
struct TSimulatorSide {
  TNumberSimReceiver Receiver;
  TSharedMemory Group{TNumberSimReceiver::GroupBlockName, TGroupEventRecord::Size,
                      TSharedMemory::TMode::Open};
  TSharedMemory Memory{TNumberSimReceiver::MemoryBlockName, TReceivePacketRecord::Size,
                       TSharedMemory::TMode::Open};
};

void Fill(TSharedMemory& block, std::span<const uint8_t> bytes) {
  Check(block.Valid());
  std::memset(block.Data(), 0, block.Size());
  std::memcpy(block.Data(), bytes.data(), std::min(bytes.size(), block.Size()));
}

void CheckNumber(const std::string& number) {
  Check(IsValidUtf8(number) && Cp932ByteLength(number) <= 20);
}

// Packing what was read and reading that again gives the same record.
template <typename TValue, typename TRecord>
void CheckRepacks(const TValue& value, TRecord (*pack)(const TValue&),
                  void (*unpack)(const TRecord&, TValue&)) {
  const TRecord record = pack(value);
  TValue again;
  unpack(record, again);
  Check(pack(again).Bytes == record.Bytes);
}

void ShowDateTime(TDateTime value) {
  Check(!FormatDateTime("yyyy/mm/dd hh:nn:ss", value).empty());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetFixedNow(EncodeDateTime({2024, 3, 10, 9, 0, 0, 0}));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TSimulatorSide side;
  std::span<const uint8_t> input(data, size);
  Fill(side.Group, input);
  Fill(side.Memory, input.subspan(std::min(input.size(), TGroupEventRecord::Size)));

  IKT5GroupEventArgs event;
  Check(side.Receiver.ReadGroupEvent(event) && event);
  CheckNumber(event->PhoneNumber);
  CheckRepacks(*event, PackGroupEvent, UnpackGroupEvent);
  // The number display counts the ring and talk times of the last event.
  (void)SecondsBetween(false, Now(), event->NumberReceivedAt);
  (void)SecondsBetween(false, Now(), event->OffHookReceivedAt);
  ShowDateTime(event->IncomingDateTime);

  IKT5MirelKT5ReceivePacket packet;
  Check(side.Receiver.ReadMemoryRecord(packet) && packet);
  CheckNumber(packet->PhoneNumber);
  CheckRepacks(*packet, PackReceivePacket, UnpackReceivePacket);
  // The device memory window lists the record's date.
  ShowDateTime(packet->IncomingDateTime);
  return 0;
}

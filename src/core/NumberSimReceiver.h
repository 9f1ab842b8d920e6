#pragma once

#include "common2/KT5EventArgs.h"
#include "common2/MirelKT5ReceivePacket.h"

#include <memory>
#include <mutex>
#include <string>

class TSharedMemory;

// Reads what the number-sending simulator leaves in the two shared blocks
// this program creates: one call-group event and one memory record.
class TNumberSimReceiver {
public:
  static constexpr const char* GroupBlockName = "TELORIA2_NUMBER_SIM_MMF";
  static constexpr const char* MemoryBlockName = "TELORIA2_NUMBER_SIM_MREAM_MMF";

  TNumberSimReceiver();
  ~TNumberSimReceiver();
  TNumberSimReceiver(const TNumberSimReceiver&) = delete;
  TNumberSimReceiver& operator=(const TNumberSimReceiver&) = delete;

  // False when the block is missing (LastError unchanged), unreadable or no
  // longer of its record's size.
  // The device memory window reads records on a worker thread while calls
  // are read on the main thread, so both take the lock.
  bool ReadGroupEvent(IKT5GroupEventArgs& event);
  bool ReadMemoryRecord(IKT5MirelKT5ReceivePacket& packet);

  std::string LastError() const;

  // A block's name no longer leads to it (the runtime folder was removed):
  // the simulator cannot reach it. MakeBlocksAgain replaces both.
  bool BlocksLost() const;
  void MakeBlocksAgain();

private:
  void CreateBlocks();

  mutable std::mutex mutex_;
  std::string lastError_;
  std::unique_ptr<TSharedMemory> groupBlock_;
  std::unique_ptr<TSharedMemory> memoryBlock_;
};

#pragma once

#include "base/PostTarget.h"
#include "common2/KT5EventArgs.h"
#include "core/Messages.h"
#include "platform/MessageEndpoint.h"
#include "platform/SharedMemory.h"

#include <memory>
#include <vector>

// Plays the main program's side of simulator mode: its two blocks, its
// window (published in "TELORIA2_CLIENT_WINDOW_MMF") answering the
// simulator's messages with set results, and the group events it read.
class TMainProgramStandIn {
public:
  TMainProgramStandIn();
  ~TMainProgramStandIn();
  TMainProgramStandIn(const TMainProgramStandIn&) = delete;
  TMainProgramStandIn& operator=(const TMainProgramStandIn&) = delete;

  TQueuedPostTarget& Dispatcher() { return *dispatcher_; }
  TSharedMemory* MemoryBlock() { return memoryBlock_.get(); }
  // As when the program is not running (also a block a crashed run left).
  void RemoveMemoryBlock();

  uint32_t QueryResult = SimResultOk;
  uint32_t CallResult = SimResultOk;
  std::vector<TKT5GroupEventArgs> Calls;

private:
  uint32_t Handle(uint32_t message);

  std::shared_ptr<TQueuedPostTarget> dispatcher_ = std::make_shared<TQueuedPostTarget>();
  std::unique_ptr<TSharedMemory> groupBlock_;
  std::unique_ptr<TSharedMemory> memoryBlock_;
  std::unique_ptr<TMessageEndpoint> endpoint_;
  int published_ = 0;
};

#include "MainProgramStandIn.h"

#include "common2/GroupEventRecord.h"
#include "common2/ReceivePacketRecord.h"
#include "settings/SharedValue.h"

#include <algorithm>
#include <unistd.h>

TMainProgramStandIn::TMainProgramStandIn()
    : groupBlock_(std::make_unique<TSharedMemory>(
          "TELORIA2_NUMBER_SIM_MMF", TGroupEventRecord::Size, TSharedMemory::TMode::Create)),
      memoryBlock_(std::make_unique<TSharedMemory>("TELORIA2_NUMBER_SIM_MREAM_MMF",
                                                   TReceivePacketRecord::Size,
                                                   TSharedMemory::TMode::Create)),
      endpoint_(std::make_unique<TMessageEndpoint>(
          dispatcher_, [this](uint32_t message, uint32_t, uint32_t) { return Handle(message); })),
      published_(PublishSharedValue(endpoint_->Handle(), "TELORIA2_CLIENT_WINDOW_MMF")) {}

TMainProgramStandIn::~TMainProgramStandIn() {
  CloseSharedValue(published_);
}

void TMainProgramStandIn::RemoveMemoryBlock() {
  memoryBlock_.reset();
  unlink(TSharedMemory::PathOf("TELORIA2_NUMBER_SIM_MREAM_MMF").c_str());
}

uint32_t TMainProgramStandIn::Handle(uint32_t message) {
  if (message == CMSimQuery)
    return QueryResult;
  if (message != CMSimCall)
    return 0;
  TGroupEventRecord record;
  std::copy_n(groupBlock_->Data(), record.Bytes.size(), record.Bytes.begin());
  UnpackGroupEvent(record, Calls.emplace_back());
  return CallResult;
}

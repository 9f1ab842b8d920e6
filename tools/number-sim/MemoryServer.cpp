#include "MemoryServer.h"

#include "EndWatch.h"
#include "Output.h"
#include "SimBlocks.h"
#include "base/PostTarget.h"
#include "common2/MirelKT5ReceivePacket.h"
#include "common2/ReceivePacketRecord.h"
#include "core/Messages.h"
#include "platform/MessageEndpoint.h"
#include "platform/SharedMemory.h"
#include "settings/SharedValue.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <string>

namespace {

// Keeps the window handle visible to the main program while serving.
class TPublishedWindow {
public:
  explicit TPublishedWindow(TWindowHandle window)
      : handle_(PublishSharedValue(window, SimWindowName)) {}
  ~TPublishedWindow() { CloseSharedValue(handle_); }
  TPublishedWindow(const TPublishedWindow&) = delete;
  TPublishedWindow& operator=(const TPublishedWindow&) = delete;
  bool Valid() const { return handle_ != 0; }

private:
  int handle_;
};

// Decoded now, as the device library decodes a reply: the year of a record
// follows from today's date.
TReceivePacketRecord DecodeForProgram(const TMemoryRecordPacket& raw) {
  return PackReceivePacket(*DecodeMemoryRecord(raw));
}

} // namespace

int TMemoryServer::Run() {
  TEndWatch::BlockSignals();
  auto dispatcher = std::make_shared<TQueuedPostTarget>();
  const TMessageEndpoint endpoint(
      dispatcher,
      [this](uint32_t message, uint32_t wParam, uint32_t) { return Answer(message, wParam); },
      [](const std::string& text) { PrintError(text); });
  const TPublishedWindow published(endpoint.Handle());
  if (!published.Valid()) {
    PrintError(std::string("cannot publish ") + SimWindowName);
    return 1;
  }
  PrintLine("ready");
  bool ended = false;
  const TEndWatch watch(dispatcher, [&ended] { ended = true; });
  while (!ended)
    dispatcher->WaitAndPump(std::chrono::seconds(1));
  return 0;
}

uint32_t TMemoryServer::Answer(uint32_t message, uint32_t wParam) {
  if (message != CMSimReadMemory)
    return 0;
  try {
    return ReadMemory(wParam);
  } catch (const std::exception& e) {
    PrintError(e.what());
    PrintLine("read-failed " + std::to_string(wParam));
    return 0;
  }
}

uint32_t TMemoryServer::ReadMemory(uint32_t index) {
  TSharedMemory block(MemoryBlockName, TReceivePacketRecord::Size, TSharedMemory::TMode::Open);
  if (!block.Valid() || block.Size() < TReceivePacketRecord::Size) {
    PrintLine("read-failed " + std::to_string(index));
    return 0;
  }
  const auto found = records_.find(index);
  const TReceivePacketRecord record =
      DecodeForProgram(found != records_.end() ? found->second : EmptyMemoryRecord());
  std::copy(record.Bytes.begin(), record.Bytes.end(), block.Data());
  PrintLine("read " + std::to_string(index));
  return SimResultOk;
}

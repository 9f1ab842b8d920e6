#include "MainWindowLink.h"

#include "Output.h"
#include "SimBlocks.h"
#include "base/Clock.h"
#include "common2/GroupEventRecord.h"
#include "core/Messages.h"
#include "platform/SharedMemory.h"
#include "platform/WindowMessages.h"
#include "settings/SharedValue.h"

#include <algorithm>
#include <string>

namespace {

// The program answers from its main thread, which may be busy for a while
// (a database write, a memory read); a late answer is still an answer.
constexpr int SendTimeoutMs = 5000;

// 0 when no program is published or its window does not answer.
TWindowHandle FindMainWindow() {
  const TWindowHandle window = ReadSharedValue(MainWindowName);
  return window != 0 && IsWindow(window) ? window : 0;
}

int SendAndPrint(TWindowHandle window, uint32_t message) {
  uint32_t result = 0;
  if (!SendMessageTimeout(window, message, 0, 0, SendTimeoutMs, result)) {
    PrintLine("no-answer");
    return 1;
  }
  PrintLine(std::to_string(result));
  return 0;
}

bool WriteGroupBlock(const TGroupEventRecord& record) {
  TSharedMemory block(GroupBlockName, TGroupEventRecord::Size, TSharedMemory::TMode::Open);
  if (!block.Valid() || block.Size() < TGroupEventRecord::Size)
    return false;
  std::copy(record.Bytes.begin(), record.Bytes.end(), block.Data());
  return true;
}

} // namespace

int RunQuery() {
  const TWindowHandle window = FindMainWindow();
  if (window == 0) {
    PrintLine("no-window");
    return 1;
  }
  return SendAndPrint(window, CMSimQuery);
}

int RunCall(const TCallRequest& request) {
  const TWindowHandle window = FindMainWindow();
  if (window == 0) {
    PrintLine("no-window");
    return 1;
  }
  // Write first: the program reads the block while it handles the call.
  if (!WriteGroupBlock(PackGroupEvent(BuildGroupEvent(request, Now())))) {
    PrintLine("no-block");
    return 1;
  }
  return SendAndPrint(window, CMSimCall);
}

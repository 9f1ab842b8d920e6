#include "core/StartupGate.h"

#include "core/Messages.h"
#include "platform/WindowMessages.h"
#include "settings/Logging.h"
#include "settings/SharedValue.h"

#include <chrono>
#include <thread>

namespace {

const char* const kClientWindowName = "TELORIA2_CLIENT_WINDOW_MMF";

// A second instance waits this long for the running one to show its balloon.
constexpr int kAlreadyRunningTimeoutMs = 5000;

} // namespace

bool IsShutdownRequest(const std::vector<std::string>& args) {
  return args.size() >= 2 && args[1] == "-shutdown";
}

void RequestShutdownOfRunningInstance() {
  const uint32_t window = ReadSharedValue(kClientWindowName);
  if (window == 0)
    return;
  Log(llInfo, "起動中のタスクを終了させます。");
  PostMessage(window, CMShutdown, 0, 0);
  // Up to 3 s, as before, but no longer than the running instance needs.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(3000);
  while (std::chrono::steady_clock::now() < deadline && IsWindow(window))
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

std::unique_ptr<TSingleInstance> TakeSingleInstance() {
  auto instance = std::make_unique<TSingleInstance>();
  if (instance->Held())
    return instance;
  const uint32_t window = ReadSharedValue(kClientWindowName);
  if (window != 0) {
    uint32_t result = 0;
    SendMessageTimeout(window, CMAlreadyRunning, 0, 0, kAlreadyRunningTimeoutMs, result);
  }
  Log(llInfo, "二重起動のため終了します。");
  return nullptr;
}

#include "core/StartupGate.h"

#include "core/Messages.h"
#include "platform/ProgramPaths.h"
#include "platform/StaleEndpoints.h"
#include "platform/WindowMessages.h"
#include "settings/Logging.h"
#include "settings/SharedValue.h"

#include <chrono>
#include <thread>

namespace {

const char* const kClientWindowName = "TELORIA2_CLIENT_WINDOW_MMF";

// A second instance waits this long for the running one to show its balloon.
constexpr int kAlreadyRunningTimeoutMs = 5000;

// Held only for the moment of the test: a lock that cannot be taken (or
// not even opened) means an instance runs, as the design treats it.
bool InstanceRuns() {
  return !TSingleInstance().Held();
}

void LogRefusedRuntimeFolder() {
  const TRuntimeFolder choice = ChooseRuntimeFolder();
  if (!choice.Refused.empty())
    LogFmt(llWarning,
           "実行時フォルダ [%s] は所有者またはアクセス権が正しくないため使用しません。"
           "代わりに [%s] を使用します。",
           choice.Refused, choice.Folder);
}

} // namespace

bool IsShutdownRequest(const std::vector<std::string>& args) {
  return args.size() >= 2 && args[1] == "-shutdown";
}

void RequestShutdownOfRunningInstance() {
  // A handle left in the block by a crashed instance names nobody: only the
  // lock tells whether an instance runs.
  if (!InstanceRuns())
    return;
  const uint32_t window = ReadSharedValue(kClientWindowName);
  if (window == 0)
    return;
  Log(llInfo, "起動中のタスクを終了させます。");
  PostMessage(window, CMShutdown, 0, 0);
  // Up to 3 s, as before, but only until the instance has released its lock,
  // so that a start right after this one becomes the new instance.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(3000);
  while (std::chrono::steady_clock::now() < deadline && InstanceRuns())
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::unique_ptr<TSingleInstance> TakeSingleInstance() {
  LogRefusedRuntimeFolder();
  auto instance = std::make_unique<TSingleInstance>();
  if (instance->Held()) {
    // The lock holder owns the socket folder; the shared blocks it replaces
    // when it creates them.
    RemoveDeadEndpoints();
    return instance;
  }
  const uint32_t window = ReadSharedValue(kClientWindowName);
  if (window != 0) {
    uint32_t result = 0;
    SendMessageTimeout(window, CMAlreadyRunning, 0, 0, kAlreadyRunningTimeoutMs, result);
  }
  Log(llInfo, "二重起動のため終了します。");
  return nullptr;
}

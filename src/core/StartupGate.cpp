#include "core/StartupGate.h"

#include "core/Messages.h"
#include "platform/ProgramPaths.h"
#include "platform/StaleEndpoints.h"
#include "platform/WindowMessages.h"
#include "settings/Logging.h"
#include "settings/SharedValue.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

const char* const kClientWindowName = "TELORIA2_CLIENT_WINDOW_MMF";

// A second instance waits this long for the running one to show its balloon.
constexpr int kAlreadyRunningTimeoutMs = 5000;
// A verb may open a long list; a just-started instance takes a moment to
// publish its window and finish its start-up.
constexpr int kCommandSendTimeoutMs = 10000;
constexpr int kCommandDeadlineMs = 15000;

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

void LogUnlockedDataFolder(const TSingleInstance& instance) {
  if (instance.DataLockError() != 0)
    LogFmt(llWarning, "データフォルダをロックできません。[%s] %s",
           ProgramFolder() + "/" + TSingleInstance::DataLockFileName,
           std::strerror(instance.DataLockError()));
}

using TSteadyClock = std::chrono::steady_clock;

// Waits until the instance has released its lock, at most `timeoutMs`.
bool WaitForInstanceEnd(int timeoutMs) {
  const auto deadline = TSteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  while (InstanceRuns()) {
    if (TSteadyClock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Sends the verb's message until the instance has acted on it; an instance
// that is still starting answers "not done" (or has no window yet) for a
// moment.
uint32_t SendCommand(uint32_t message, uint32_t wParam, uint32_t lParam = 0) {
  const auto deadline = TSteadyClock::now() + std::chrono::milliseconds(kCommandDeadlineMs);
  uint32_t result = CommandResultNotDone;
  while (result == CommandResultNotDone && TSteadyClock::now() < deadline && InstanceRuns()) {
    const uint32_t window = ReadSharedValue(kClientWindowName);
    if (window == 0 ||
        !SendMessageTimeout(window, message, wParam, lParam, kCommandSendTimeoutMs, result))
      result = CommandResultNotDone;
    if (result == CommandResultNotDone)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return result;
}

int Fail(const char* text) {
  std::fprintf(stderr, "teloria2: %s\n", text);
  return 1;
}

// Hands the verb to the running instance; the process's exit code.
int PassCommand(const TCommandLine& command) {
  if (command.Verb == TCommandVerb::Exit) {
    Log(llInfo, "起動中のタスクに終了を指示します。");
    // An instance that closes at once may drop the connection before its
    // answer is out: its end is the answer.
    if (SendCommand(CMExitProgram, 0) != CommandResultDone && InstanceRuns())
      return Fail("起動中の Teloria II に終了を伝えられませんでした。");
    return WaitForInstanceEnd(kCommandDeadlineMs)
               ? 0
               : Fail("起動中の Teloria II の終了を確認できませんでした。");
  }
  const std::string word = WindowWord(command.Window);
  LogFmt(llInfo, "起動中のタスクに画面を開くよう指示します。[%s]", word);
  switch (SendCommand(CMShowWindow, static_cast<uint32_t>(command.Window), command.Notify)) {
  case CommandResultDone:
    return 0;
  case CommandResultNoCall:
    return Fail("表示する着信がありません。");
  case CommandResultNoScreen:
    return Fail("起動中の Teloria II は画面なしで動いているため、画面を開けません。");
  default:
    return Fail("起動中の Teloria II に画面を開くよう伝えられませんでした。");
  }
}

} // namespace

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
  WaitForInstanceEnd(3000);
}

std::unique_ptr<TSingleInstance> TakeSingleInstance(const TCommandLine& command, int* exitCode) {
  if (exitCode != nullptr)
    *exitCode = 0;
  LogRefusedRuntimeFolder();
  // The data folder holds the second lock; a start that may stay needs it
  // there, as TELORIA2_HOME may name a folder not yet made. One that cannot
  // be made ends the start-up later, with its error shown.
  if (command.Verb != TCommandVerb::Exit)
    PrepareProgramFolder();
  auto instance = std::make_unique<TSingleInstance>();
  if (instance->Held()) {
    // The lock holder owns the socket folder; the shared blocks it replaces
    // when it creates them.
    RemoveDeadEndpoints();
    if (command.Verb == TCommandVerb::Exit)
      return nullptr; // nothing to close
    LogUnlockedDataFolder(*instance);
    return instance;
  }
  if (command.Verb == TCommandVerb::Show || command.Verb == TCommandVerb::Exit) {
    const int code = PassCommand(command);
    if (exitCode != nullptr)
      *exitCode = code;
    return nullptr;
  }
  const uint32_t window = ReadSharedValue(kClientWindowName);
  if (window != 0) {
    uint32_t result = 0;
    SendMessageTimeout(window, CMAlreadyRunning, 0, 0, kAlreadyRunningTimeoutMs, result);
  }
  Log(llInfo, "二重起動のため終了します。");
  return nullptr;
}

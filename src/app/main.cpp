// teloria2: the resident caller-ID program. The process life: the command
// line, settings and logging, the "-shutdown" request, the single-instance
// test (which hands a verb to a running instance), then the controller with
// its tray icon and windows (or, without any display, with neither) until
// the program is closed.
#include "app/QtApplication.h"
#include "app/SignalQuit.h"
#include "core/CommandLine.h"
#include "core/MainForm.h"
#include "core/StartupGate.h"
#include "data/KsoCtiDb.h"
#include "platform/DisplayPresence.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "ui/Fonts.h"
#include "ui/HeadlessFront.h"
#include "ui/MessageBoxes.h"
#include "ui/QtTranslations.h"
#include "ui/TrayIcon.h"
#include "ui/TrayMenu.h"
#include "ui/UiWindows.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <cstdio>

namespace {

// Said on stderr too: a service's only witness is its journal.
void ShowFatalError(const std::string& text) {
  std::string forTerminal = text;
  for (size_t at = 0; (at = forTerminal.find("\r\n", at)) != std::string::npos;)
    forTerminal.erase(at, 1);
  std::fprintf(stderr, "teloria2: %s\n", forTerminal.c_str());
  ShowErrorMessage(text);
}

// The controller until the program is closed; the exit code. `windows`: the
// program's windows, when it has any.
int RunController(TMainFormDeps deps, TWindows* windows) {
  TSignalQuit signalQuit;
  deps.ShowFatalError = ShowFatalError;
  auto form = std::make_unique<TMainForm>(std::move(deps));
  if (windows != nullptr)
    windows->SetController(form.get());
  QCoreApplication::exec();
  form->HandleReadBeforeClosing();
  // Windows first (they read the controller), then the controller, which
  // stops its timers, joins the scanner and closes the port.
  if (windows != nullptr) {
    windows->FreeAll();
    windows->SetController(nullptr);
  }
  const int exitCode = form->StartupFailed() ? 1 : 0;
  form.reset();
  CtiDb.reset();
  return exitCode;
}

int RunProgram(int argc, char** argv, TMainFormDeps deps) {
  const TQtApplication app(argc, argv);
  QApplication::setApplicationName("Teloria II");
  QApplication::setDesktopFileName(TELORIA_APP_ID);
  QApplication::setWindowIcon(TTrayIcon::ImageOf(0));
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setFont(ProportionalGothic(9));
  LoadQtTranslations(*QCoreApplication::instance());
  TTrayIcon tray;
  TTrayMenu menu;
  AttachTrayMenu(tray, menu);
  deps.Windows = &Windows();
  deps.Tray = &tray;
  deps.Opener = [](const std::string& target) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(target)));
  };
  return RunController(std::move(deps), &Windows());
}

// No GUI at all: nothing needs a display, a platform plugin or fonts.
int RunHeadless(int argc, char** argv, TMainFormDeps deps) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("Teloria II");
  THeadlessWindows windows;
  THeadlessTray tray;
  deps.Windows = &windows;
  deps.Tray = &tray;
  Log(llInfo, "画面なしで動作します。");
  return RunController(std::move(deps), nullptr);
}

int EndByException(const std::exception& e) {
  LogException(llFatal, "予期しないエラーで終了します。", e);
  std::fprintf(stderr, "teloria2: 予期しないエラーで終了します。(%s)\n", e.what());
  return 1;
}

// The only instance, from its start banner to its end banner.
int RunResident(int argc, char** argv, const TCommandLine& command,
                std::unique_ptr<TSingleInstance> instance) {
  const TLogSession logSession;
  try {
    TMainFormDeps deps;
    deps.Arguments.assign(argv, argv + argc);
    deps.Instance = std::move(instance);
    if (command.Headless || !AnyDisplay())
      return RunHeadless(argc, argv, std::move(deps));
    return RunProgram(argc, argv, std::move(deps));
  } catch (const std::exception& e) {
    return EndByException(e);
  }
}

} // namespace

int main(int argc, char** argv) {
  const TCommandLine command = ParseCommandLine(std::vector<std::string>(argv, argv + argc));
  if (command.Verb == TCommandVerb::Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (command.Verb == TCommandVerb::Usage) {
    std::fprintf(stderr, "teloria2: %s\n%s", command.Error.c_str(), UsageText().c_str());
    return 2;
  }
  try {
    AppSettings.Load();
    OpenLogging();
    if (command.Verb == TCommandVerb::Shutdown) {
      RequestShutdownOfRunningInstance();
      return 0;
    }
    int exitCode = 0;
    auto instance = TakeSingleInstance(command, &exitCode);
    if (!instance)
      return exitCode;
    return RunResident(argc, argv, command, std::move(instance));
  } catch (const std::exception& e) {
    return EndByException(e);
  }
}

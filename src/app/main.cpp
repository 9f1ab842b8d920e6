// teloria2: the resident caller-ID program. The process life: the command
// line, settings and logging, the "-shutdown" request, the single-instance
// test (which hands a verb to a running instance), then the controller with
// its tray icon and windows until the program is closed.
#include "app/SignalQuit.h"
#include "core/CommandLine.h"
#include "core/MainForm.h"
#include "core/StartupGate.h"
#include "data/KsoCtiDb.h"
#include "platform/DisplayPlatform.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "ui/Fonts.h"
#include "ui/MessageBoxes.h"
#include "ui/TrayIcon.h"
#include "ui/TrayMenu.h"
#include "ui/UiWindows.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <cstdio>

namespace {

int RunProgram(int argc, char** argv, const std::vector<std::string>& args) {
  PreferXcbUnderWayland();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Teloria II");
  QApplication::setDesktopFileName(TELORIA_APP_ID);
  QApplication::setWindowIcon(TTrayIcon::ImageOf(0));
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setFont(ProportionalGothic(9));
  TSignalQuit signalQuit;
  TTrayIcon tray;
  TTrayMenu menu;
  AttachTrayMenu(tray, menu);
  TMainFormDeps deps;
  deps.Windows = &Windows();
  deps.Tray = &tray;
  deps.Arguments = args;
  deps.ShowFatalError = [](const std::string& text) { ShowErrorMessage(text); };
  deps.Opener = [](const std::string& target) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(target)));
  };
  auto form = std::make_unique<TMainForm>(std::move(deps));
  Windows().SetController(form.get());
  QApplication::exec();
  // Windows first (they read the controller), then the controller, which
  // stops its timers, joins the scanner and closes the port.
  Windows().FreeAll();
  Windows().SetController(nullptr);
  form.reset();
  CtiDb.reset();
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  const TCommandLine command = ParseCommandLine(args);
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
    StartLogging();
    if (IsShutdownRequest(args)) {
      RequestShutdownOfRunningInstance();
      return 0;
    }
    int exitCode = 0;
    const auto instance = TakeSingleInstance(command, &exitCode);
    if (!instance)
      return exitCode;
    RunProgram(argc, argv, args);
    EndLogging();
  } catch (const std::exception& e) {
    LogException(llFatal, "予期しないエラーで終了します。", e);
  }
  return 0;
}

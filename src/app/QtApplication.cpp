#include "app/QtApplication.h"

#include "platform/DisplayPlatform.h"
#include "settings/Logging.h"

#include <algorithm>

TQtApplication::TQtApplication(int argc, char** argv) : args_(argv, argv + argc) {
  const std::string platforms = QtPlatformListFromEnvironment();
  // Right after the program's name: a "-platform" of the user's own still wins.
  args_.insert(args_.begin() + std::min<size_t>(1, args_.size()), {"-platform", platforms});
  for (std::string& arg : args_)
    argv_.push_back(arg.data());
  argv_.push_back(nullptr);
  argc_ = static_cast<int>(args_.size());
  app_ = std::make_unique<QApplication>(argc_, argv_.data());

  const std::string chosen = QGuiApplication::platformName().toStdString();
  LogFmt(llInfo, "Qt プラットフォーム: %s", chosen);
  const std::string wanted = QtPlatformName(platforms);
  if (chosen != wanted)
    LogFmt(llWarning, "Qt プラットフォーム %s を使えないため %s を使います。", wanted, chosen);
}

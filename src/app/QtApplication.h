#pragma once

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

// The application object on the first Qt platform of QtPlatformList() that
// starts. The list goes to Qt as "-platform" on the command line, so that
// programs started later see the environment as it was. Logs the platform
// chosen, and a warning when it is not the one wanted first.
class TQtApplication {
public:
  TQtApplication(int argc, char** argv);

private:
  // Qt keeps the argument count and strings for the application's lifetime.
  std::vector<std::string> args_;
  std::vector<char*> argv_;
  int argc_ = 0;
  std::unique_ptr<QApplication> app_;
};

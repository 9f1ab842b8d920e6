#include "platform/UserFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return home;
  const passwd* pw = getpwuid(getuid());
  return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "";
}

std::string XdgBaseFolder(const char* variable, const char* fallbackInHome) {
  if (const char* folder = std::getenv(variable); folder != nullptr && folder[0] == '/')
    return folder;
  return HomeFolder() + "/" + fallbackInHome;
}

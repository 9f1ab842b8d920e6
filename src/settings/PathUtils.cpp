#include "settings/PathUtils.h"

std::string PathJoin(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '/')
    return dir + name;
  return dir + "/" + name;
}

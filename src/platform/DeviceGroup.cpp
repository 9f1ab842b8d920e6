#include "platform/DeviceGroup.h"

#include <grp.h>
#include <sys/stat.h>
#include <vector>

std::string DeviceGroupName(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return "dialout";
  group entry{};
  group* found = nullptr;
  std::vector<char> buffer(4096);
  if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->gr_name != nullptr)
    return found->gr_name;
  return std::to_string(st.st_gid);
}

#include "platform/DeviceGroup.h"

#include <algorithm>
#include <grp.h>
#include <unistd.h>

namespace {

// The group's name; its number when it has none.
std::string GroupName(gid_t gid) {
  group entry{};
  group* found = nullptr;
  std::vector<char> buffer(4096);
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->gr_name != nullptr)
    return found->gr_name;
  return std::to_string(gid);
}

std::vector<gid_t> ProcessGroups() {
  std::vector<gid_t> groups(std::max(0, ::getgroups(0, nullptr)));
  groups.resize(std::max(0, ::getgroups(static_cast<int>(groups.size()), groups.data())));
  groups.push_back(::getegid());
  return groups;
}

} // namespace

std::string GroupToJoin(const struct stat& node, const std::string& groupName, uid_t user,
                        const std::vector<gid_t>& userGroups) {
  const mode_t readWrite = S_IRGRP | S_IWGRP;
  if ((node.st_mode & readWrite) != readWrite || node.st_uid == user || node.st_gid == 0 ||
      groupName == "root" || groupName == "tty" ||
      std::find(userGroups.begin(), userGroups.end(), node.st_gid) != userGroups.end())
    return {};
  return groupName;
}

std::string GroupToJoinFor(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return {};
  return GroupToJoin(st, GroupName(st.st_gid), ::geteuid(), ProcessGroups());
}

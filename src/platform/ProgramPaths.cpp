#include "platform/ProgramPaths.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// mkdir 0700 unless present; true when the folder is there afterwards.
bool PrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0)
    return true;
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0)
    return {};
  return std::string(buffer, static_cast<size_t>(n));
}

std::string ExecutableFolder() {
  return FolderOf(ExecutablePath());
}

std::string ProgramFolder() {
  const char* home = std::getenv("TELORIA2_HOME");
  if (home != nullptr && *home != '\0')
    return WithoutTrailingSlash(home);
  return ExecutableFolder();
}

std::string FindShippedFile(const std::string& name) {
  const std::string inProgram = ProgramFolder() + "/" + name;
  if (FileExists(inProgram))
    return inProgram;
  return ExecutableFolder() + "/" + name;
}

std::string RuntimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  std::string base;
  if (xdg != nullptr && *xdg != '\0') {
    base = WithoutTrailingSlash(xdg);
  } else {
    base = "/tmp/teloria2-" + std::to_string(::getuid());
    PrivateFolder(base);
  }
  const std::string folder = base + "/teloria2";
  PrivateFolder(folder);
  return folder;
}

#include "platform/ProgramPaths.h"

#include "platform/UserFolders.h"

#include <cerrno>
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

// Creates the folder with mode 0700 unless present.
void MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0)
    ::chmod(path.c_str(), 0700); // whatever the umask took away
}

// Creates every missing folder of `path`, each mode 0700.
void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    MakeFolder(path.substr(0, slash));
  MakeFolder(path);
}

// Creates the folder 0700 unless present. True only for a real folder (no
// link) that this user owns and nobody else may enter: in a shared place such
// as /tmp another user could have made it first and keep files in it.
bool PrivateFolder(const std::string& path) {
  MakeFolder(path);
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 0777) == 0700;
}

// The usual place: $XDG_RUNTIME_DIR/teloria2, else /tmp/teloria2-<uid>/teloria2;
// empty when a folder on the way is not private.
std::string UsualRuntimeFolder(std::string& candidate) {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg != nullptr && *xdg != '\0') {
    candidate = WithoutTrailingSlash(xdg) + "/teloria2";
  } else {
    candidate = "/tmp/teloria2-" + std::to_string(::getuid());
    if (!PrivateFolder(candidate))
      return {};
    candidate += "/teloria2";
  }
  return PrivateFolder(candidate) ? candidate : std::string();
}

std::string UserDataFolder() {
  return WithoutTrailingSlash(XdgBaseFolder("XDG_DATA_HOME", ".local/share")) + "/teloria2";
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

std::string ChooseProgramFolder() {
  const char* home = std::getenv("TELORIA2_HOME");
  if (home != nullptr && *home != '\0')
    return WithoutTrailingSlash(home);
  const std::string executableFolder = ExecutableFolder();
  if (FileExists(executableFolder + "/teloria2.ini"))
    return executableFolder;
  return UserDataFolder();
}

std::string ProgramFolder() {
  const std::string folder = ChooseProgramFolder();
  if (folder == UserDataFolder())
    MakeFolders(folder);
  return folder;
}

int PrepareProgramFolder() {
  const std::string folder = ProgramFolder();
  MakeFolders(folder);
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0)
    return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

std::string FindShippedFile(const std::string& name) {
  const std::string executableFolder = ExecutableFolder();
  const std::string besideExecutable = executableFolder + "/" + name;
  for (const std::string& candidate : {ProgramFolder() + "/" + name, besideExecutable,
                                       FolderOf(executableFolder) + "/share/teloria2/" + name})
    if (FileExists(candidate))
      return candidate;
  return besideExecutable;
}

TRuntimeFolder ChooseRuntimeFolder() {
  TRuntimeFolder choice;
  std::string candidate;
  choice.Folder = UsualRuntimeFolder(candidate);
  if (choice.Folder.empty()) {
    choice.Refused = candidate;
    choice.Folder = ProgramFolder() + "/runtime";
    PrivateFolder(choice.Folder);
  }
  return choice;
}

std::string RuntimeFolder() {
  return ChooseRuntimeFolder().Folder;
}

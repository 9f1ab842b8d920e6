#include "settings/FileLogger.h"

#include "base/Clock.h"
#include "base/CodePage.h"
#include "base/RegularFile.h"
#include "base/Text.h"
#include "platform/ProgramPaths.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ResolveLogDir(const std::string& dir) {
  std::string resolved = !dir.empty() && dir[0] == '/' ? dir : ProgramFolder() + "/" + dir;
  if (resolved.back() != '/')
    resolved += '/';
  return resolved;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates the folder and its missing parents private to the user (the logs
// tell who called); folders that exist keep their mode.
bool EnsureFolder(const std::string& folder) {
  if (IsFolder(folder))
    return true;
  for (size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      return false;
  }
  return ::mkdir(folder.c_str(), 0700) == 0 || IsFolder(folder);
}

// The folder, created when missing, open when it may take the log.
TLogFolder OpenFolder(const std::string& path, TUniqueFd& folder) {
  if (!EnsureFolder(path))
    return TLogFolder::Unusable;
  TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0)
    return TLogFolder::Unusable;
  if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return TLogFolder::NotPrivate;
  folder = std::move(fd);
  return TLogFolder::Used;
}

int NamePart(const std::string& name, size_t pos, size_t length) {
  int value = -1;
  return TryParseInt32(name.substr(pos, length), value) ? value : -1;
}

// The day a log file name stands for; false when the name holds no valid date.
bool DayOfFileName(const std::string& name, size_t prefixLength, int& day) {
  if (name.size() < prefixLength + 9)
    return false;
  TDateTime date = 0;
  if (!TryEncodeDate(NamePart(name, prefixLength + 1, 4), NamePart(name, prefixLength + 5, 2),
                     NamePart(name, prefixLength + 7, 2), date))
    return false;
  day = static_cast<int>(date);
  return true;
}

using TListing = std::unique_ptr<DIR, int (*)(DIR*)>;

// The entries of the folder open as `folder`, read through a copy of it.
TListing ListFolder(int folder) {
  const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
  DIR* listing = copy >= 0 ? ::fdopendir(copy) : nullptr;
  if (listing == nullptr && copy >= 0)
    ::close(copy);
  return TListing(listing, ::closedir);
}

bool IsRegularFileIn(int folder, const std::string& name) {
  struct stat st {};
  return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

} // namespace

const char* LogLevelTag(TLogLevel level) {
  static const char* const tags[] = {"[debug]", "[info ]", "[warng]", "[error]", "[fatal]"};
  return level >= llDebug && level <= llFatal ? tags[level] : "[?????]";
}

TLogFolder TFileLogger::SetLogDir(const std::string& dir) {
  const std::string resolved = ResolveLogDir(dir);
  std::lock_guard lock(mutex_);
  if (enabled_ && resolved == logDir_)
    return TLogFolder::Used;
  file_.Reset();
  folder_.Reset();
  fileDay_ = 0;
  const TLogFolder use = OpenFolder(resolved, folder_);
  enabled_ = use == TLogFolder::Used;
  if (enabled_)
    logDir_ = resolved;
  return use;
}

void TFileLogger::OpenFileFor(int day) {
  fileDay_ = day;
  const std::string name =
      prefix_ + "." + FormatDateTime("yyyymmdd", static_cast<TDateTime>(day)) + ".log";
  file_ = OpenRegularFileAt(folder_.Get(), name, O_WRONLY | O_CREAT | O_APPEND, 0600);
}

void TFileLogger::Close() {
  std::lock_guard lock(mutex_);
  file_.Reset();
  fileDay_ = 0;
}

void TFileLogger::WriteLine(TLogLevel level, std::string_view text) {
  const TDateTime now = Now();
  std::lock_guard lock(mutex_);
  if (!enabled_ || (levels_ & (1u << level)) == 0)
    return;
  if (DateOf(now) != fileDay_)
    OpenFileFor(DateOf(now));
  if (!file_.Valid())
    return;
  std::string line = FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", now);
  line += ' ';
  line += LogLevelTag(level);
  line += ' ';
  line += text;
  line += "\r\n";
  const std::string bytes = Utf8ToCp932(line);
  // One write per line so that lines never interleave; short writes are dropped.
  (void)!::write(file_.Get(), bytes.data(), bytes.size());
  ::fdatasync(file_.Get());
}

void TFileLogger::DeleteOldFiles(int days) {
  // A negative age would put the threshold after today and delete the open file.
  if (days < 0)
    return;
  TListing listing(nullptr, ::closedir);
  {
    std::lock_guard lock(mutex_);
    if (enabled_)
      listing = ListFolder(folder_.Get());
  }
  if (!listing)
    return;
  const int folder = ::dirfd(listing.get());
  const int threshold = Today() - days;
  const std::string head = prefix_ + ".";
  while (const dirent* entry = ::readdir(listing.get())) {
    const std::string name = entry->d_name;
    int day = 0;
    if (name.size() < head.size() + 4 || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - 4, 4, ".log") != 0 || !IsRegularFileIn(folder, name) ||
        !DayOfFileName(name, prefix_.size(), day))
      continue;
    if (day < threshold)
      ::unlinkat(folder, name.c_str(), 0);
  }
}

bool TFileLogger::Enabled() const {
  std::lock_guard lock(mutex_);
  return enabled_;
}

std::string TFileLogger::LogDir() const {
  std::lock_guard lock(mutex_);
  return logDir_;
}

TLogLevels TFileLogger::Levels() const {
  std::lock_guard lock(mutex_);
  return levels_;
}

void TFileLogger::SetLevels(TLogLevels levels) {
  std::lock_guard lock(mutex_);
  levels_ = levels;
}

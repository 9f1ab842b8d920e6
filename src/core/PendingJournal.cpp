#include "core/PendingJournal.h"

#include "base/Clock.h"
#include "base/DateTime.h"
#include "base/RegularFile.h"
#include "platform/ProgramPaths.h"
#include "settings/Logging.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fmt/printf.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A long line is named by its beginning.
constexpr size_t LoggedLineChars = 80;

std::string JournalFileName() {
  return ProgramFolder() + "/teloria2.pending";
}

// A new file's name reaches the disk with its folder.
bool SyncFolder() {
  const TUniqueFd folder(::open(ProgramFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder.Valid() && ::fsync(folder.Get()) == 0;
}

bool WriteAt(int fd, std::string_view bytes, size_t at) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    bytes.remove_prefix(static_cast<size_t>(n));
    at += static_cast<size_t>(n);
  }
  return true;
}

bool WriteZeros(int fd, size_t from, size_t to) {
  const std::string zeros(std::min<size_t>(to - std::min(from, to), 65536), '\0');
  for (size_t at = from; at < to; at += zeros.size())
    if (!WriteAt(fd, std::string_view(zeros).substr(0, std::min(zeros.size(), to - at)), at))
      return false;
  return true;
}

// Why a file in the journal's place is not taken as ours ("" when it is):
// anyone who could write it could plant calls in the history.
std::string Refusal(const struct stat& st) {
  if (S_ISLNK(st.st_mode))
    return "シンボリックリンクです。";
  if (!S_ISREG(st.st_mode))
    return "通常のファイルではありません。";
  if (st.st_uid != ::geteuid())
    return "他のユーザーのファイルです。";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return "他のユーザーも書き込めます。";
  return {};
}

// Kept for the user to look at, never read again; an earlier one of the
// same second is kept too.
void MoveAside(const std::string& path, const std::string& why) {
  const std::string stem = path + ".refused-" + FormatDateTime("yyyymmddhhnnss", Now());
  std::string aside = stem;
  int result = 0;
  for (int n = 2; (result = ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(),
                                        RENAME_NOREPLACE)) != 0 &&
                  errno == EEXIST && n < 100;
       ++n)
    aside = stem + "-" + std::to_string(n);
  if (result == 0)
    LogFmt(llError, "保留していた書き込みのファイルを読み込まずに %s に移しました。%s", aside, why);
  else
    LogFmt(llError, "保留していた書き込みのファイルを読み込みません。%s [%s] (%s)", why, path,
           std::strerror(errno));
}

void LogUnreadable(const std::string& path) {
  LogFmt(llError,
         "保留していた書き込みのファイルを読み込めません。次回の起動時に読み込みます。[%s] (%s)",
         path, std::strerror(errno));
}

void LogContent(const std::string& path, const TPendingContent& content) {
  for (const TPendingContent::TRefusedLine& refused : content.Refused)
    LogFmt(llError, "保留していた書き込みの正しくない記録を書き込みません。[%s] %d行目 [%s]", path,
           refused.Line, refused.Text.substr(0, LoggedLineChars));
  if (content.CutShort)
    LogFmt(llWarning, "保留していた書き込みの途中で切れた行を無視します。[%s] %d行目", path,
           static_cast<int>(content.Records.size() + content.Refused.size()) + 1);
}

} // namespace

std::vector<TPendingRecord> TPendingJournal::Open() {
  fd_ = {};
  end_ = 0;
  const std::string path = JournalFileName();
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT)
      Create(path);
    else
      LogUnreadable(path);
    return {};
  }
  if (const std::string why = Refusal(st); !why.empty())
    return Replace(path, why);
  return Read(path);
}

// Another's file is kept aside, and a journal of our own made instead.
std::vector<TPendingRecord> TPendingJournal::Replace(const std::string& path,
                                                     const std::string& why) {
  MoveAside(path, why);
  Create(path);
  return {};
}

std::vector<TPendingRecord> TPendingJournal::Read(const std::string& path) {
  TUniqueFd fd = OpenRegularFile(path, O_RDWR | O_NOFOLLOW);
  struct stat st {};
  std::string bytes;
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !ReadOpenFile(fd.Get(), bytes)) {
    LogUnreadable(path);
    return {};
  }
  // Replaced between the look and the open.
  if (const std::string why = Refusal(st); !why.empty())
    return Replace(path, why);
  const TPendingContent content = ParsePendingContent(bytes);
  LogContent(path, content);
  fd_ = std::move(fd);
  end_ = content.End;
  CleanAfter(content.End, bytes.find_last_not_of('\0') + 1);
  Reserve();
  return content.Records;
}

// A line cut short, and what a clearing cut short left after its first
// byte, would be read as part of the next record.
void TPendingJournal::CleanAfter(size_t end, size_t dirtyEnd) {
  if (dirtyEnd > end)
    (void)!WriteZeros(fd_.Get(), end, dirtyEnd);
}

void TPendingJournal::Create(const std::string& path) {
  fd_ = OpenRegularFile(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
  end_ = 0;
  if (!fd_.Valid()) {
    LogFmt(llError, "保留した書き込みを残すファイルを作成できません。[%s] (%s)", path,
           std::strerror(errno));
    return;
  }
  Reserve();
  (void)SyncFolder();
}

// Zeros written, not a hole: overwriting them needs no space later.
void TPendingJournal::Reserve() {
  struct stat st {};
  if (::fstat(fd_.Get(), &st) != 0)
    return;
  const auto size = static_cast<size_t>(st.st_size);
  if (size < ReserveBytes)
    (void)!WriteZeros(fd_.Get(), size, ReserveBytes);
  (void)::fsync(fd_.Get());
}

bool TPendingJournal::Append(const TPendingRecord& record) {
  if (!fd_.Valid())
    return false;
  const std::string line = PendingRecordLine(record);
  if (WriteAt(fd_.Get(), line, end_) && ::fdatasync(fd_.Get()) == 0) {
    end_ += line.size();
    return true;
  }
  // No torn line stays to spoil the next one.
  (void)!WriteZeros(fd_.Get(), end_, end_ + line.size());
  return false;
}

// The first byte first: a clearing cut short leaves no record to read.
void TPendingJournal::Clear() {
  if (!fd_.Valid() || end_ == 0)
    return;
  if (!WriteZeros(fd_.Get(), 0, 1) || ::fdatasync(fd_.Get()) != 0)
    return;
  (void)!WriteZeros(fd_.Get(), 1, end_);
  if (end_ > ReserveBytes)
    (void)!::ftruncate(fd_.Get(), ReserveBytes);
  (void)::fdatasync(fd_.Get());
  end_ = 0;
}

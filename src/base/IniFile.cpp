#include "base/IniFile.h"

#include "base/CodePage.h"
#include "base/RegularFile.h"
#include "base/Text.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsSectionLine(std::string_view line, std::string_view& name) {
  const std::string_view t = TrimmedView(line);
  if (t.empty() || t[0] != '[')
    return false;
  const size_t close = t.find(']');
  name = TrimmedView(t.substr(1, close == std::string_view::npos ? close : close - 1));
  return true;
}

// Looked at without copies: a large section is searched once for each key.
bool IsKeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::string_view t = TrimmedView(line);
  if (t.empty() || t[0] == ';')
    return false;
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos)
    return false;
  key = TrimmedView(t.substr(0, eq));
  value = TrimmedView(t.substr(eq + 1));
  return true;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The replacement gets the mode of the file it replaces; a new file stays
// private to the user (settings may name the user's files and commands).
bool KeepModeOf(const std::string& fileName, int fd) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0)
    return errno == ENOENT;
  return ::fchmod(fd, st.st_mode & 07777) == 0;
}

// The lines of the file; none for a missing file. False when it exists but
// cannot be read.
bool ReadLines(const std::string& fileName, std::vector<std::string>& lines) {
  std::string bytes;
  if (!ReadRegularFile(fileName, bytes))
    return errno == ENOENT;
  // Editors may put a UTF-8 byte-order mark first; read as CP932 it would
  // hide the first section header.
  if (bytes.starts_with(kUtf8ByteOrderMark))
    bytes.erase(0, kUtf8ByteOrderMark.size());
  for (std::string& line : SplitString(Cp932ToUtf8(bytes), '\n')) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(std::move(line));
  }
  if (!lines.empty() && lines.back().empty())
    lines.pop_back();
  return true;
}

} // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {
  readable_ = ReadLines(fileName_, lines_);
  if (!readable_)
    error_ = errno;
  Index();
}

void TIniFile::Index() {
  sections_.clear();
  std::string_view name;
  TSectionRange* unfinished = nullptr; // the last first section, until its end is found
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!IsSectionLine(lines_[i], name))
      continue;
    if (unfinished != nullptr)
      unfinished->End = i;
    const auto [at, first] =
        sections_.try_emplace(UpperCaseAscii(name), TSectionRange{i, lines_.size()});
    unfinished = first ? &at->second : nullptr;
  }
}

size_t TIniFile::FindKey(const TSectionRange& range, const std::string& key) const {
  std::string_view k, v;
  for (size_t i = range.Header + 1; i < range.End; ++i)
    if (IsKeyLine(lines_[i], k, v) && SameText(k, key))
      return i;
  return std::string::npos;
}

bool TIniFile::WriteLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\r\n";
  const std::string data = Utf8ToCp932(text);
  // Write beside the file and rename over it, so a failed write leaves the
  // old file whole.
  const std::string temp = fileName_ + ".tmp" + std::to_string(::getpid());
  const TUniqueFd fd = OpenRegularFile(temp, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
  const bool written = fd.Valid() && KeepModeOf(fileName_, fd.Get()) && WriteAll(fd.Get(), data) &&
                       ::fsync(fd.Get()) == 0 && std::rename(temp.c_str(), fileName_.c_str()) == 0;
  if (!written) {
    error_ = errno;
    if (fd.Valid())
      ::unlink(temp.c_str());
  }
  return written;
}

bool TIniFile::SectionExists(const std::string& section) const {
  return sections_.contains(UpperCaseAscii(section));
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  const auto found = sections_.find(UpperCaseAscii(section));
  const size_t line = found != sections_.end() ? FindKey(found->second, key) : std::string::npos;
  std::string_view k, v;
  return line != std::string::npos && IsKeyLine(lines_[line], k, v) ? std::string(v) : defaultValue;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key,
                          int defaultValue) const {
  int value = defaultValue;
  return TryParseInt32(ReadString(section, key, ""), value) ? value : defaultValue;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  // What could not be read would be lost by the replacement.
  if (!readable_)
    return false;
  std::vector<std::string> lines = lines_;
  const std::string entry = key + "=" + value;
  const auto found = sections_.find(UpperCaseAscii(section));
  if (found == sections_.end()) {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  } else if (const size_t line = FindKey(found->second, key); line != std::string::npos) {
    lines[line] = entry;
  } else {
    size_t lastContent = found->second.Header;
    for (size_t i = lastContent + 1; i < found->second.End; ++i)
      if (!TrimmedView(lines[i]).empty())
        lastContent = i;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), entry);
  }
  if (!WriteLines(lines))
    return false;
  lines_ = std::move(lines);
  Index();
  return true;
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

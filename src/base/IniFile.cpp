#include "base/IniFile.h"

#include "base/CodePage.h"
#include "base/Text.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsSectionLine(const std::string& line, std::string& name) {
  const std::string t = Trim(line);
  if (t.empty() || t[0] != '[')
    return false;
  const size_t close = t.find(']');
  name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  return true;
}

bool IsKeyLine(const std::string& line, std::string& key, std::string& value) {
  const std::string t = TrimLeft(line);
  if (t.empty() || t[0] == ';')
    return false;
  const size_t eq = t.find('=');
  if (eq == std::string::npos)
    return false;
  key = Trim(t.substr(0, eq));
  value = Trim(t.substr(eq + 1));
  return true;
}

// Range [begin, end) of the body lines of a section; begin == npos when absent.
struct TSectionRange {
  size_t header = std::string::npos;
  size_t end = 0;
};

TSectionRange FindSection(const std::vector<std::string>& lines, const std::string& section) {
  TSectionRange range;
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!IsSectionLine(lines[i], name))
      continue;
    if (range.header != std::string::npos) {
      range.end = i;
      return range;
    }
    if (SameText(name, section))
      range.header = i;
  }
  range.end = lines.size();
  return range;
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

} // namespace

std::vector<std::string> TIniFile::ReadLines() const {
  std::ifstream in(fileName_, std::ios::binary);
  std::vector<std::string> lines;
  if (!in)
    return lines;
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string bytes = buffer.str();
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
  return lines;
}

bool TIniFile::WriteLines(const std::vector<std::string>& lines) const {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\r\n";
  const std::string data = Utf8ToCp932(text);
  // Write beside the file and rename over it, so a failed write leaves the
  // old file whole.
  const std::string temp = fileName_ + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    return false;
  const bool written = KeepModeOf(fileName_, fd) && WriteAll(fd, data) && ::fsync(fd) == 0;
  ::close(fd);
  if (!written || std::rename(temp.c_str(), fileName_.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

bool TIniFile::SectionExists(const std::string& section) const {
  return FindSection(ReadLines(), section).header != std::string::npos;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  const std::vector<std::string> lines = ReadLines();
  const TSectionRange range = FindSection(lines, section);
  if (range.header == std::string::npos)
    return defaultValue;
  std::string k, v;
  for (size_t i = range.header + 1; i < range.end; ++i)
    if (IsKeyLine(lines[i], k, v) && SameText(k, key))
      return v;
  return defaultValue;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key,
                          int defaultValue) const {
  int value = defaultValue;
  return TryParseInt32(ReadString(section, key, ""), value) ? value : defaultValue;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  std::vector<std::string> lines = ReadLines();
  const std::string entry = key + "=" + value;
  const TSectionRange range = FindSection(lines, section);
  if (range.header == std::string::npos) {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
    return WriteLines(lines);
  }
  std::string k, v;
  size_t lastContent = range.header;
  for (size_t i = range.header + 1; i < range.end; ++i) {
    if (IsKeyLine(lines[i], k, v) && SameText(k, key)) {
      lines[i] = entry;
      return WriteLines(lines);
    }
    if (!Trim(lines[i]).empty())
      lastContent = i;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), entry);
  return WriteLines(lines);
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

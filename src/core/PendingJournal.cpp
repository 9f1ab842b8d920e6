#include "core/PendingJournal.h"

#include "base/RegularFile.h"
#include "base/Text.h"
#include "data/FileBytes.h"
#include "platform/ProgramPaths.h"
#include "settings/Logging.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <fmt/printf.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The line of each kind, 2 to 5: "<kind> TAB <date> TAB <number> TAB <seconds>".
const char* const KindNames[] = {"call", "answered", "hungup", "notanswered"};

std::string JournalFileName() {
  return ProgramFolder() + "/teloria2.pending";
}

// Control characters and "%" as "%XX": a field never holds a TAB or a line break.
std::string Escape(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    escaped +=
        byte < 0x20 || byte == 0x7F || c == '%' ? fmt::sprintf("%%%02X", byte) : std::string(1, c);
  }
  return escaped;
}

bool Unescape(std::string_view text, std::string& plain) {
  plain.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      plain += text[i];
      continue;
    }
    unsigned byte = 0;
    const char* digits = text.data() + i + 1;
    if (i + 2 >= text.size() || std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2)
      return false;
    plain += static_cast<char>(byte);
    i += 2;
  }
  return true;
}

std::string LineOf(const TPendingRecord& record) {
  return fmt::sprintf("%s\t%s\t%s\t%d\n", KindNames[record.Kind - 2], Escape(record.Call.Date),
                      Escape(record.Call.Number), record.Seconds);
}

bool ParseLine(std::string_view line, TPendingRecord& record) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos)
      break;
    start = tab + 1;
  }
  const auto kind = std::find(std::begin(KindNames), std::end(KindNames), fields[0]);
  if (fields.size() != 4 || kind == std::end(KindNames))
    return false;
  record.Kind = static_cast<uint8_t>(2 + (kind - std::begin(KindNames)));
  return Unescape(fields[1], record.Call.Date) && Unescape(fields[2], record.Call.Number) &&
         TryParseInt32(fields[3], record.Seconds);
}

// A new file's name reaches the disk with its folder.
bool SyncFolder() {
  const TUniqueFd folder(::open(ProgramFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder.Valid() && ::fsync(folder.Get()) == 0;
}

} // namespace

bool AppendPendingRecord(const TPendingRecord& record) {
  const std::string path = JournalFileName();
  struct stat st {};
  const bool existed = ::lstat(path.c_str(), &st) == 0;
  const TUniqueFd file = OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW, 0600);
  if (!file.Valid() || ::fstat(file.Get(), &st) != 0)
    return false;
  if (WriteAllBytes(file.Get(), LineOf(record)) && ::fsync(file.Get()) == 0 &&
      (existed || SyncFolder()))
    return true;
  // No torn line stays to spoil the next one.
  (void)!::ftruncate(file.Get(), st.st_size);
  return false;
}

std::vector<TPendingRecord> ReadPendingRecords() {
  std::string bytes;
  if (!ReadRegularFile(JournalFileName(), bytes))
    return {};
  std::vector<TPendingRecord> records;
  int unreadable = 0;
  size_t start = 0;
  for (size_t end = 0; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
    TPendingRecord record;
    if (ParseLine(std::string_view(bytes).substr(start, end - start), record))
      records.push_back(record);
    else
      ++unreadable;
  }
  // What follows the last line break is a line the end of the program cut short.
  if (unreadable > 0 || start < bytes.size())
    LogFmt(llWarning, "保留していた書き込みの読めない行を無視します。[%s] %d行", JournalFileName(),
           unreadable + (start < bytes.size() ? 1 : 0));
  return records;
}

void ClearPendingRecords() {
  ::unlink(JournalFileName().c_str());
}

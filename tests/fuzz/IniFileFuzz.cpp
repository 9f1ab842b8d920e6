// teloria2.ini of any bytes: a read answers with a trimmed, valid text; a
// UTF-8 byte-order mark in front changes no answer; and a write changes its
// own key only, the others read as before. Each input asks for one key
// (chosen by its first byte).
#include "FuzzSupport.h"
#include "base/IniFile.h"
#include "base/Text.h"

#include <array>
#include <filesystem>
#include <fstream>

namespace {

struct TKey {
  const char* Section;
  const char* Name;
};

// Keys of the program's settings, in both of its sections.
constexpr std::array<TKey, 5> kKeys{{{"Settings", "MirelKT5Port"},
                                     {"Settings", "PhoneLimit"},
                                     {"Settings", "Memo1Caption"},
                                     {"Settings.Logging", "LogDir"},
                                     {"Settings.Logging", "LogLevel"}}};
constexpr TKey kWritten{"Settings", "Memo2Caption"};
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kMissing = "\x01";

std::string Read(const TIniFile& ini, const TKey& key) {
  return ini.ReadString(key.Section, key.Name, kMissing);
}

bool IsTrimmed(std::string_view value) {
  return value.empty() || (static_cast<unsigned char>(value.front()) > ' ' &&
                           static_cast<unsigned char>(value.back()) > ' ');
}

// A real file for the write: a write replaces the file by renaming over it.
std::string WritablePath() {
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                         ? "/dev/shm"
                                         : std::filesystem::temp_directory_path();
  std::string pattern = (base / "teloria-ini-fuzz-XXXXXX").string();
  Check(::mkdtemp(pattern.data()) != nullptr);
  return pattern + "/teloria2.ini";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TMemoryFile plain;
  static TMemoryFile marked;
  static const std::string writable = WritablePath();
  const std::string_view text = AsText(data, size);
  const TKey& key = kKeys[size > 0 ? data[0] % kKeys.size() : 0];

  plain.Write(text);
  const std::string value = Read(TIniFile(plain.Path()), key);
  Check(value == kMissing || (IsTrimmed(value) && IsValidUtf8(value)));
  int number = 0;
  Check(TIniFile(plain.Path()).ReadInteger(key.Section, key.Name, -1) ==
        (TryParseInt32(value, number) ? number : -1));
  if (!text.starts_with(kByteOrderMark)) {
    marked.Write(std::string(kByteOrderMark) + std::string(text));
    Check(Read(TIniFile(marked.Path()), key) == value);
  }

  std::ofstream(writable, std::ios::binary | std::ios::trunc).write(text.data(), text.size());
  Check(TIniFile(writable).WriteString(kWritten.Section, kWritten.Name, "メモ 2"));
  const TIniFile written(writable);
  Check(Read(written, kWritten) == "メモ 2");
  Check(Read(written, key) == value);
  return 0;
}

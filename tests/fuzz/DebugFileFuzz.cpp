// debug.txt of any bytes: the first-line rule gives a key and a number
// together or neither, both trimmed and valid, and exactly the first two
// fields of the comma-text split of the first line.
#include "FuzzSupport.h"
#include "base/CodePage.h"
#include "base/Text.h"
#include "core/DebugFile.h"

#include <filesystem>

namespace {

// The program folder holds a debug.txt that leads to the input in memory.
void PointDebugFileAt(const TMemoryFile& file) {
  std::string folder =
      (std::filesystem::temp_directory_path() / "teloria-debug-fuzz-XXXXXX").string();
  Check(::mkdtemp(folder.data()) != nullptr);
  std::filesystem::create_symlink(file.Path(), folder + "/debug.txt");
  ::setenv("TELORIA2_HOME", folder.c_str(), 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TMemoryFile file;
  static const bool pointed = (PointDebugFileAt(file), true);
  Check(pointed);
  const std::string_view text = AsText(data, size);
  file.Write(text);
  const TDebugLine line = ReadDebugFile();
  Check(line.Key == Trim(line.Key) && line.Number == Trim(line.Number));
  Check(IsValidUtf8(line.Key) && IsValidUtf8(line.Number));

  std::string_view first = text.substr(0, std::min<size_t>(text.size(), 4096));
  first = first.substr(0, std::min(first.find_first_of("\r\n"), first.size()));
  const std::vector<std::string> fields = SplitCommaText(Cp932ToUtf8(first));
  if (fields.size() >= 2) {
    Check(line.Key == Trim(fields[0]) && line.Number == Trim(fields[1]));
  } else {
    Check(line.Key.empty() && line.Number.empty());
  }
  return 0;
}

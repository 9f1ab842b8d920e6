#include "settings/FileVersion.h"

#include "platform/ProgramPaths.h"

#include <filesystem>

std::string GetFileVersionText(const std::string& fileName) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path file = fs::canonical(fileName, ec);
  if (ec || !fs::is_regular_file(file, ec))
    return "";
  const fs::path self = fs::canonical(ExecutablePath(), ec);
  if (ec)
    return "";
  const std::string name = file.filename().string();
  const bool sibling = file.parent_path() == self.parent_path() &&
                       (name == "teloria2" || name.rfind("teloria2-", 0) == 0);
  return file == self || sibling ? TELORIA_VERSION : "";
}

#include "LogTail.h"

#include "base/CodePage.h"
#include "settings/DateText.h"

#include <filesystem>
#include <fstream>
#include <set>

std::vector<std::string> TLogTail::NewLines() {
  std::set<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("ksocti.", 0) == 0)
      files.insert(entry.path().string());
  }
  std::vector<std::string> lines;
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(read_[file]));
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    // A line is written whole; only what ends in a line break is taken.
    const size_t end = bytes.rfind('\n');
    if (end == std::string::npos)
      continue;
    read_[file] += end + 1;
    const std::string text = Cp932ToUtf8(std::string_view(bytes).substr(0, end + 1));
    size_t start = 0;
    for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
      std::string line = text.substr(start, nl - start);
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      lines.push_back(std::move(line));
      start = nl + 1;
    }
  }
  return lines;
}

double LogLineTime(const std::string& line) {
  return DateTimeFromTextDef(line.substr(0, 23), 0);
}

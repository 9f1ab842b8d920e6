#pragma once

#include <string>
#include <vector>

// An INI file with the rules of Windows private-profile files: sections and
// keys compare case-insensitively, values are trimmed, and a write changes
// one line while keeping every other key, section and comment. The file is
// CP932 with CR LF line ends on disk; it is created by the first write.
// Every call reads the file afresh, so other writers are seen at once.
class TIniFile {
public:
  explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

  const std::string& FileName() const { return fileName_; }

  bool SectionExists(const std::string& section) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal, or hexadecimal after "0x"; anything else gives the default.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;

  // Each write replaces the file in one step; false when it cannot be written.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, int value);

private:
  std::vector<std::string> ReadLines() const;
  bool WriteLines(const std::vector<std::string>& lines) const;

  std::string fileName_;
};

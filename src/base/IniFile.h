#pragma once

#include <map>
#include <string>
#include <vector>

// An INI file with the rules of Windows private-profile files: sections and
// keys compare case-insensitively, the first section and key of a name win,
// values are trimmed, and a write changes one line while keeping every other
// key, section and comment. The file is CP932 with CR LF line ends on disk;
// it is created by the first write.
// The file is read once, when the object is made, and its sections indexed
// (a large hand-edited file must not be read again for each key); writes
// change that copy and replace the file with it. A file that exists but cannot be read is never
// replaced: its keys read as the defaults and every write fails.
class TIniFile {
public:
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return fileName_; }
  // The errno of a failed read (other than a missing file) or of the last
  // failed write; 0 when none failed.
  int LastError() const { return error_; }

  bool SectionExists(const std::string& section) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal, or hexadecimal after "0x"; anything else gives the default.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;

  // Each write replaces the file in one step; false when it cannot be written.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, int value);

private:
  // Body lines (Header, End) of the first section of a name.
  struct TSectionRange {
    size_t Header = 0;
    size_t End = 0;
  };

  void Index();
  // The line of the first key of that name in the section; npos when none.
  size_t FindKey(const TSectionRange& range, const std::string& key) const;
  bool WriteLines(const std::vector<std::string>& lines);

  std::string fileName_;
  bool readable_ = true;
  int error_ = 0;
  std::vector<std::string> lines_;
  // The first section of each name, by its upper-case name.
  std::map<std::string, TSectionRange> sections_;
};

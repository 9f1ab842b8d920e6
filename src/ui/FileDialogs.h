#pragma once

#include <string>

// Open and save dialogs, behind an interface so tests can answer them. A
// filter is Qt's form: "CSVファイル (*.csv);;すべてのファイル (*)". Both
// return the chosen path, or "" when the user cancelled.
class IFileDialogs {
public:
  virtual ~IFileDialogs() = default;
  virtual std::string OpenFile(const std::string& title, const std::string& filter,
                               const std::string& defaultExt) = 0;
  // Asks before overwriting an existing file.
  virtual std::string SaveFile(const std::string& title, const std::string& filter,
                               const std::string& defaultExt, const std::string& fileName) = 0;
};

// Replaces the real dialogs (null restores them); for tests.
void SetFileDialogs(IFileDialogs* dialogs);
IFileDialogs& FileDialogs();

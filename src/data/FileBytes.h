#pragma once

#include <string>
#include <string_view>

// Reads a whole regular file; false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// A file written beside its final path under a temporary name and put in
// place only when complete, so a failure never leaves a half-written file.
// The temporary file is removed unless it was put in place.
class TPendingFile {
public:
  explicit TPendingFile(std::string targetPath);
  ~TPendingFile();
  TPendingFile(const TPendingFile&) = delete;
  TPendingFile& operator=(const TPendingFile&) = delete;

  // False when the temporary file could not be created.
  bool IsOpen() const { return fd_ >= 0; }
  bool Write(std::string_view bytes);
  // Flushes and closes, then replaces whatever is at the target.
  bool Replace();
  // Flushes and closes, then creates the target only if nothing is there;
  // two writers racing cannot both succeed.
  bool CreateNew();

private:
  bool Finish();

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool placed_ = false;
};

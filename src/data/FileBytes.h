#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

// ReadRegularFile (base/RegularFile.h) for the data layer's files.
bool ReadFileBytes(const std::string& path, std::string& bytes, size_t limit = std::string::npos);

// Writes all of `bytes` to the descriptor, going on after interruptions.
bool WriteAllBytes(int fd, std::string_view bytes);

// A file written beside its final path under a temporary name and put in
// place only when complete, so a failure never leaves a half-written file.
// The temporary file is removed unless it was put in place.
class TPendingFile {
public:
  // `mode` is the new file's permission before the umask; a user's export
  // keeps the default, the program's own data passes 0600.
  explicit TPendingFile(std::string targetPath, mode_t mode = 0666);
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

#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A fresh folder under the system's temporary folder, removed with its
// contents when the test ends.
class TTempFolder {
public:
  TTempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "teloria2-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::string& Path() const { return path_; }

private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// How often `part` occurs in `text` (a log, say).
inline size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// Points ProgramFolder() at a folder for the life of the object.
class TProgramHome {
public:
  explicit TProgramHome(const std::string& folder) { setenv("TELORIA2_HOME", folder.c_str(), 1); }
  ~TProgramHome() { unsetenv("TELORIA2_HOME"); }
  TProgramHome(const TProgramHome&) = delete;
  TProgramHome& operator=(const TProgramHome&) = delete;
};

#pragma once

#include "data/FileBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// Each test gets a fresh program folder (TELORIA2_HOME) that it may fill.
class TDataTestFolder : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "teloria-data-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    ::setenv("TELORIA2_HOME", folder_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("TELORIA2_HOME");
    std::error_code ignored;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

  static void WriteFile(const std::string& path, const std::string& bytes) {
    TPendingFile file(path);
    ASSERT_TRUE(file.Write(bytes) && file.Replace()) << path;
  }
  static std::string ReadFile(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
    return bytes;
  }

  std::string folder_;
};

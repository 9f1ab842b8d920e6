#include "platform/ProgramPaths.h"
#include "platform/DisplayPlatform.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

mode_t FolderMode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? st.st_mode & 07777 : 0;
}

// The environment of one test, put back afterwards.
class ProgramFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"TELORIA2_HOME", "XDG_DATA_HOME", "HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name,
                          value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
    ::unsetenv("TELORIA2_HOME");
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_)
      value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }

  TTempFolder temp;

private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(ProgramFolderTest, UserDataFolderIsChosenAndMadePrivateOnFirstUse) {
  const std::string data = temp.Path() + "/new/data";
  ::setenv("XDG_DATA_HOME", (data + "/").c_str(), 1);
  EXPECT_EQ(ChooseProgramFolder(), data + "/teloria2");
  EXPECT_FALSE(fs::exists(temp.Path() + "/new")); // choosing creates nothing
  EXPECT_EQ(ProgramFolder(), data + "/teloria2");
  EXPECT_EQ(FolderMode(data + "/teloria2"), 0700u);
  EXPECT_EQ(FolderMode(temp.Path() + "/new"), 0700u);
  // A relative XDG_DATA_HOME is invalid: the default under HOME.
  ::setenv("XDG_DATA_HOME", "relative/data", 1);
  ::setenv("HOME", (temp.Path() + "/home").c_str(), 1);
  EXPECT_EQ(ProgramFolder(), temp.Path() + "/home/.local/share/teloria2");
  EXPECT_EQ(FolderMode(temp.Path() + "/home/.local/share/teloria2"), 0700u);
  // TELORIA2_HOME comes first and is taken as it is.
  ::setenv("TELORIA2_HOME", (temp.Path() + "/mine/").c_str(), 1);
  EXPECT_EQ(ProgramFolder(), temp.Path() + "/mine");
  EXPECT_FALSE(fs::exists(temp.Path() + "/mine"));
}

TEST_F(ProgramFolderTest, ShippedFilesComeFromTheProgramFolderFirst) {
  ::setenv("TELORIA2_HOME", temp.Path().c_str(), 1);
  WriteFile(temp.Path() + "/teloria2-test.wav", "RIFF");
  EXPECT_EQ(FindShippedFile("teloria2-test.wav"), temp.Path() + "/teloria2-test.wav");
  EXPECT_EQ(FindShippedFile("teloria2-none.wav"), ExecutableFolder() + "/teloria2-none.wav");
}

TEST(DisplayPlatform, ChoiceFirstThenXcbThenWaylandEndingWithOffscreen) {
  struct TCase {
    const char *Qpa, *Wayland, *Session, *Display, *Expected;
  };
  const TCase cases[] = {
      {nullptr, "wayland-0", "wayland", ":0", "xcb;wayland;offscreen"},
      {nullptr, "wayland-0", nullptr, ":0", "xcb;wayland;offscreen"},
      {nullptr, nullptr, "wayland", ":0", "xcb;wayland;offscreen"},
      {"", "wayland-0", "wayland", ":0", "xcb;wayland;offscreen"},
      {"wayland", "wayland-0", "wayland", ":0", "wayland;xcb;offscreen"},
      {"offscreen", "wayland-0", nullptr, ":0", "offscreen"},
      {"xcb:nograb;;minimal", nullptr, nullptr, ":0", "xcb:nograb;minimal;offscreen"},
      {nullptr, "wayland-0", "wayland", nullptr, "wayland;offscreen"},
      {nullptr, nullptr, "x11", ":0", "xcb;offscreen"},
      {nullptr, nullptr, nullptr, nullptr, "offscreen"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(QtPlatformList(c.Qpa, c.Wayland, c.Session, c.Display), c.Expected)
        << (c.Qpa ? c.Qpa : "-") << " " << (c.Wayland ? c.Wayland : "-") << " "
        << (c.Session ? c.Session : "-") << " " << (c.Display ? c.Display : "-");
}

} // namespace

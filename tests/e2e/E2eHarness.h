#pragma once

#include "ProgramProcess.h"
#include "base/CodePage.h"
#include "base/DateTime.h"
#include "fakes/AdapterSimProcess.h"
#include "platform/WindowMessages.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <ctime>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <memory>
#include <sched.h>
#include <sqlite3.h>
#include <sys/mount.h>

// The real teloria2 in a program folder of its own, offscreen, with its own
// runtime folder, driven by the real tools.
class E2eTest : public ::testing::Test {
protected:
  // The programs never reach the desktop's session bus: their balloons would
  // become the developer's notifications. A test that wants a bus sets its
  // own in extraEnv.
  static constexpr const char* kNoSessionBus =
      "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/teloria2-test-bus";

  void SetUp() override {
    std::filesystem::create_directories(home.Path() + "/run");
    setenv("XDG_RUNTIME_DIR", (home.Path() + "/run").c_str(), 1);
    SquatSharedMemoryNames();
  }

  // Unrelated things at the program's block names in /dev/shm, where any
  // user can make names, change nothing. In a /dev/shm of the test's own
  // where it may mount one, so that no other program meets them.
  static void SquatSharedMemoryNames() {
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/dev/shm", "tmpfs", 0, nullptr) != 0)
      return;
    const std::string uid = "." + std::to_string(getuid());
    std::filesystem::create_directory("/dev/shm/TELORIA2_CLIENT_WINDOW_MMF" + uid);
    WriteFile("/dev/shm/TELORIA2_NUMBER_SIM_MMF" + uid, "x");
    WriteFile("/dev/shm/TELORIA2_NUMBER_SIM_MREAM_MMF" + uid, "x");
  }

  void WriteIni(const std::string& settingsLines) {
    WriteFile(dataFolder + "/teloria2.ini",
              Utf8ToCp932("[Settings]\r\n" + settingsLines +
                          "\r\n[Settings.Logging]\r\nLogLevel=3\r\nLogPortScan=1\r\n"));
  }

  // Its output goes to `outputFile` in the program folder.
  std::unique_ptr<TProgramProcess> StartProgram(const std::vector<std::string>& args = {},
                                                const std::string& outputFile = "output.txt") {
    std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "TELORIA2_HOME=" + home.Path(),
                                 "XDG_RUNTIME_DIR=" + home.Path() + "/run", kNoSessionBus};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    return std::make_unique<TProgramProcess>(BinFolder() + "/teloria2", args, env,
                                             home.Path() + "/" + outputFile, inChild);
  }

  // Root ignores file modes: the programs then run as another user, who is
  // given the program folder.
  void RunAsAnotherUserWhenRoot() {
    if (geteuid() != 0)
      return;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path()))
      ASSERT_EQ(lchown(entry.path().c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(lchown(home.Path().c_str(), kOtherUser, kOtherUser), 0);
    inChild = [] {
      return setgroups(0, nullptr) == 0 && setgid(kOtherUser) == 0 && setuid(kOtherUser) == 0;
    };
  }

  // The adapter on a pseudo-terminal behind a link in the program folder.
  void StartAdapter() {
    adapter = std::make_unique<TAdapterSimProcess>(
        std::vector<std::string>{"--link", home.Path() + "/adapter"});
    ASSERT_EQ(adapter->NextLine().rfind("ready ", 0), 0u);
  }

  // Runs a tool and returns what it printed.
  std::string Tool(const std::string& name, const std::vector<std::string>& args) {
    const std::string out = home.Path() + "/tool.txt";
    std::filesystem::remove(out);
    TProgramProcess tool(BinFolder() + "/" + name, args,
                         {"XDG_RUNTIME_DIR=" + home.Path() + "/run"}, out, inChild);
    tool.WaitExit();
    std::string text = ReadFile(out);
    while (!text.empty() && text.back() == '\n')
      text.pop_back();
    return text;
  }

  // Saves settings as another settings editor would: the file, then the
  // settings-changed notice to the running program.
  void SaveSettings(const TProgramProcess& program, const std::string& settingsLines) {
    WriteIni(settingsLines);
    constexpr uint32_t CMSettingsChanged = 0x701;
    ASSERT_TRUE(PostMessage(static_cast<TWindowHandle>(program.Pid()), CMSettingsChanged, 0, 0));
  }

  std::string MainLog() const { return LogText("ksocti."); }
  std::string ScanLog() const { return LogText("scan."); }
  std::string LogText(const std::string& prefix) const {
    std::string all;
    std::error_code noFolderYet;
    for (const auto& entry : std::filesystem::directory_iterator(dataFolder + "/logs", noFolderYet))
      if (entry.path().filename().string().rfind(prefix, 0) == 0)
        all += Cp932ToUtf8(ReadFile(entry.path().string()));
    return all;
  }

  bool LogHas(const std::string& text, int timeoutMs = 15000) const {
    return WaitFor(
        [&] {
          return std::filesystem::exists(dataFolder + "/logs") &&
                 MainLog().find(text) != std::string::npos;
        },
        std::chrono::milliseconds(timeoutMs));
  }

  // Rows of a query on the program's database, each as "a|b|c".
  std::vector<std::string> Query(const std::string& sql) const {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((dataFolder + "/teloria2.db3").c_str(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(db, 2000);
      sqlite3_exec(
          db, sql.c_str(),
          [](void* out, int n, char** values, char**) {
            std::string row;
            for (int i = 0; i < n; ++i)
              row += (i ? "|" : "") + std::string(values[i] ? values[i] : "");
            static_cast<std::vector<std::string>*>(out)->push_back(row);
            return 0;
          },
          &rows, nullptr);
    }
    sqlite3_close(db);
    return rows;
  }

  bool CallsReach(size_t count, int timeoutMs = 15000) const {
    return WaitFor([&] { return Query("SELECT 1 FROM incoming_numbers").size() >= count; },
                   std::chrono::milliseconds(timeoutMs));
  }

  TTempFolder home;
  // Where the program keeps its data: TELORIA2_HOME of StartProgram.
  std::string dataFolder = home.Path();
  // Added to the environment of every program start.
  std::vector<std::string> extraEnv;
  // Runs in every program's and tool's process before it starts.
  std::function<bool()> inChild;
  static constexpr uid_t kOtherUser = 65534;
  std::unique_ptr<TAdapterSimProcess> adapter;
};

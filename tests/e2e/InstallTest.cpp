#include "E2eHarness.h"

#include <sys/stat.h>

namespace fs = std::filesystem;

// The installed tree (cmake --install) and the Debian package, run as a user
// with an empty home would run them: no TELORIA2_HOME, data in
// $XDG_DATA_HOME/teloria2, shipped files from share/teloria2.
class InstallTest : public E2eTest {
protected:
  void SetUp() override {
    E2eTest::SetUp();
    unsetenv("TELORIA2_HOME");
    fs::create_directory(home.Path() + "/user");
    dataFolder = home.Path() + "/user-data/teloria2";
  }

  // Runs a tool to its end; its exit code, and what it printed in `output`.
  int Run(const std::string& program, const std::vector<std::string>& args,
          std::string* output = nullptr, const std::vector<std::string>& env = {},
          int timeoutMs = 60000) {
    const std::string file = home.Path() + "/run-output.txt";
    fs::remove(file);
    const int code = TProgramProcess(program, args, env, file).WaitExit(timeoutMs);
    if (output != nullptr)
      *output = ReadFile(file);
    return code;
  }

  std::vector<std::string> UserEnv() const {
    return {"QT_QPA_PLATFORM=offscreen", "HOME=" + home.Path() + "/user",
            "XDG_DATA_HOME=" + home.Path() + "/user-data",
            "XDG_RUNTIME_DIR=" + home.Path() + "/run", kNoSessionBus};
  }

  // Every file the tree must hold, relative to its prefix.
  static std::vector<std::string> ExpectedFiles() {
    std::vector<std::string> files = {
        "bin/teloria2",
        "bin/teloria2-launcher",
        "lib/teloria2/teloria2-adapter-sim",
        "lib/teloria2/teloria2-number-sim",
        "share/teloria2/teloria2.db3.init",
        "share/teloria2/ring.wav",
        "share/applications/" TELORIA_APP_ID ".desktop",
        "share/metainfo/" TELORIA_APP_ID ".metainfo.xml",
        "share/man/man1/teloria2.1.gz",
        "share/man/man1/teloria2-launcher.1.gz",
        "share/doc/teloria2/README.md",
        "share/doc/teloria2/copyright",
        "share/doc/teloria2/changelog.gz",
        "lib/systemd/user/teloria2.service",
        "share/teloria2/web/index.html",
        "share/teloria2/web/style.css",
        "share/teloria2/web/js/app.js",
        "share/teloria2/web/js/chart.js",
        "share/teloria2/web/js/office.js",
        "share/teloria2/web/js/vendor/mqtt.min.js",
    };
    for (const char* size : {"16", "22", "24", "32", "48", "64", "128", "256"})
      files.push_back(std::string("share/icons/hicolor/") + size + "x" + size +
                      "/apps/" TELORIA_APP_ID ".png");
    return files;
  }

  // The tree's teloria2 makes its folder, takes the port from the settings
  // written there, records a call from the virtual adapter and ends.
  void RunProgramOf(const std::string& prefix) {
    const std::string program = prefix + "/bin/teloria2";
    std::string output;
    ASSERT_EQ(Run(program, {"-help"}, &output, UserEnv()), 0);
    EXPECT_NE(output.find("-show"), std::string::npos);
    ASSERT_FALSE(fs::exists(dataFolder));                      // asking for help leaves no trace
    ASSERT_EQ(Run(program, {"-exit"}, nullptr, UserEnv()), 0); // none runs
    struct stat st {};
    ASSERT_EQ(stat(dataFolder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    StartAdapter();
    WriteIni("MirelKT5Port=" + home.Path() + "/adapter");
    TProgramProcess running(program, {"-arun"}, UserEnv(), home.Path() + "/output.txt");
    ASSERT_TRUE(LogHas("MirelUSB/RX2に接続しました。Port=[" + home.Path() + "/adapter]"));
    EXPECT_EQ(Run(prefix + "/lib/teloria2/teloria2-number-sim", {"query"}, &output, UserEnv()), 0);
    EXPECT_EQ(output, "900\n"); // the shipped tool, outside the PATH
    EXPECT_TRUE(LogHas("[info ] データベースファイルを作成しました。"));
    EXPECT_TRUE(LogHas("[info ] Path: " + program));
    ASSERT_TRUE(adapter->Run("ring"));
    ASSERT_TRUE(adapter->Run("number 0312345678"));
    ASSERT_TRUE(adapter->Run("unanswered"));
    ASSERT_TRUE(CallsReach(1));
    EXPECT_EQ(Query("SELECT phone_number FROM incoming_numbers"),
              std::vector<std::string>{"0312345678"});
    EXPECT_EQ(Run(program, {"-exit"}, nullptr, UserEnv()), 0);
    EXPECT_EQ(running.WaitExit(), 0);
  }

  // The user unit as systemd reads it, its program and manual page those of
  // the tree under `root`.
  void ExpectVerifiedUserUnit(const std::string& root) {
    std::string unit = ReadFile(root + "/usr/lib/systemd/user/teloria2.service");
    const std::string program = "ExecStart=/usr/bin/teloria2 ";
    const size_t at = unit.find(program);
    ASSERT_NE(at, std::string::npos) << unit;
    unit.replace(at, program.size(), "ExecStart=" + root + "/usr/bin/teloria2 ");
    WriteFile(home.Path() + "/teloria2.service", unit);
    std::string output;
    EXPECT_EQ(
        Run("/usr/bin/systemd-analyze", {"--user", "verify", home.Path() + "/teloria2.service"},
            &output,
            {"XDG_RUNTIME_DIR=" + home.Path() + "/run", "MANPATH=" + root + "/usr/share/man"}),
        0)
        << output;
    EXPECT_EQ(output, "");
  }

  // Every date in the package is the changelog's, and packing the same build
  // again, later, gives the same bytes.
  void ExpectReproducible(const std::string& deb) {
    const time_t epoch = TELORIA_SOURCE_DATE_EPOCH;
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::gmtime(&epoch));
    std::string output;
    ASSERT_EQ(Run("/usr/bin/dpkg-deb", {"-c", deb}, &output, {"TZ=UTC"}), 0);
    std::istringstream listing(output);
    for (std::string entry; std::getline(listing, entry);)
      EXPECT_NE(entry.find(date), std::string::npos) << entry;
    const std::string again = home.Path() + "/again";
    ASSERT_EQ(Run(TELORIA_CPACK, {"--config", TELORIA_BUILD_DIR "/CPackConfig.cmake", "-B", again}),
              0);
    EXPECT_EQ(ReadFile(again + "/" + std::filesystem::path(deb).filename().string()),
              ReadFile(deb));
  }
};

TEST_F(InstallTest, InstalledTreeRunsAndItsDesktopFilesAreValid) {
  const std::string prefix = home.Path() + "/prefix";
  ASSERT_EQ(Run(TELORIA_CMAKE, {"--install", TELORIA_BUILD_DIR, "--prefix", prefix, "--strip"}), 0);
  for (const std::string& file : ExpectedFiles())
    EXPECT_TRUE(fs::is_regular_file(prefix + "/" + file)) << file;
  std::string output;
  const std::string entry = prefix + "/share/applications/" TELORIA_APP_ID ".desktop";
  EXPECT_EQ(Run("/usr/bin/desktop-file-validate", {entry}, &output), 0) << output;
  EXPECT_EQ(
      Run("/usr/bin/appstreamcli",
          {"validate", "--no-net", prefix + "/share/metainfo/" TELORIA_APP_ID ".metainfo.xml"},
          &output),
      0)
      << output;
  EXPECT_EQ(Run("/bin/gzip", {"-dc", prefix + "/share/man/man1/teloria2.1.gz"}, &output), 0);
  EXPECT_EQ(output.rfind(".TH TELORIA2 1 ", 0), 0u);
  RunProgramOf(prefix);

  // Every action of the desktop entry, with a program that runs: the
  // launcher starts it at log-on from the same tree.
  WriteIni("MirelKT5Port=TEST\r\nAutoRun=1");
  ASSERT_EQ(Run(prefix + "/bin/teloria2-launcher", {}, nullptr, UserEnv()), 0);
  ASSERT_TRUE(WaitFor([&] { return Tool("teloria2-number-sim", {"query"}) == "100"; }));
  std::istringstream lines(ReadFile(entry));
  int actions = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Exec=teloria2 -", 0) != 0)
      continue;
    std::vector<std::string> args;
    std::istringstream words(line.substr(std::string("Exec=teloria2 ").size()));
    for (std::string word; words >> word;)
      args.push_back(word);
    EXPECT_EQ(Run(prefix + "/bin/teloria2", args, &output, UserEnv()), 0) << line << output;
    ++actions;
  }
  EXPECT_EQ(actions, 8);
  EXPECT_EQ(Tool("teloria2-number-sim", {"query"}), "no-window"); // the last one: 終了
}

TEST_F(InstallTest, DebianPackageHoldsTheTreeAndItsProgramsRunExtracted) {
  const std::string packages = home.Path() + "/packages";
  std::string output;
  ASSERT_EQ(Run(TELORIA_CPACK, {"--config", TELORIA_BUILD_DIR "/CPackConfig.cmake", "-B", packages},
                &output),
            0)
      << output;
  const std::string deb = packages + "/teloria2_" TELORIA_VERSION "_amd64.deb";
  ASSERT_TRUE(fs::is_regular_file(deb));
  ASSERT_EQ(Run("/usr/bin/dpkg-deb", {"-I", deb}, &output), 0);
  for (const char* field : {"Package: teloria2\n", "Version: " TELORIA_VERSION "\n",
                            "Architecture: amd64\n", "Section: comm\n"})
    EXPECT_NE(output.find(field), std::string::npos) << field;
  // Computed from the binaries: the libraries they link, with versions.
  const size_t depends = output.find(" Depends: ");
  ASSERT_NE(depends, std::string::npos);
  const std::string line = output.substr(depends, output.find('\n', depends) - depends);
  for (const char* library :
       {"libc6 (>= ", "libqt6widgets6 (>= ", "libqt6dbus6 (>= ", "libqt6multimedia6 (>= ",
        "libsqlite3-0 (>= ", "libfmt9 (>= ", "libstdc++6 (>= "})
    EXPECT_NE(line.find(library), std::string::npos) << library << " in" << line;
  ASSERT_EQ(Run("/usr/bin/dpkg-deb", {"-c", deb}, &output), 0);
  for (const std::string& file : ExpectedFiles())
    EXPECT_NE(output.find(" ./usr/" + file + "\n"), std::string::npos) << file;
  std::istringstream listing(output);
  for (std::string entry; std::getline(listing, entry);)
    EXPECT_NE(entry.find(" ./usr/"), std::string::npos) << entry;
  // No error or warning; lintian is slow, and absent where scripts/setup did not run.
  if (fs::exists("/usr/bin/lintian")) {
    EXPECT_EQ(Run("/usr/bin/lintian", {"--fail-on", "error,warning", deb}, &output, {}, 600000), 0)
        << output;
  }
  const std::string root = home.Path() + "/root";
  ASSERT_EQ(Run("/usr/bin/dpkg-deb", {"-x", deb, root}), 0);
  // Debian's hardening: read-only after relocation, bound at start,
  // position-independent, stack protector, fortified libc calls.
  for (const char* program :
       {"bin/teloria2", "bin/teloria2-launcher", "lib/teloria2/teloria2-adapter-sim",
        "lib/teloria2/teloria2-number-sim"}) {
    ASSERT_EQ(Run("/usr/bin/readelf", {"-W", "-d", "-l", "--dyn-syms", root + "/usr/" + program},
                  &output),
              0);
    for (const char* mark : {"GNU_RELRO", "BIND_NOW", "PIE", "__stack_chk_fail@"})
      EXPECT_NE(output.find(mark), std::string::npos) << program << ": no " << mark;
    // The launcher's few libc calls all have buffers of sizes the compiler knows.
    if (std::string(program) != "bin/teloria2-launcher") {
      EXPECT_NE(output.find("_chk@"), std::string::npos) << program << ": not fortified";
    }
  }
  ASSERT_EQ(Run("/bin/gzip", {"-dc", root + "/usr/share/doc/teloria2/changelog.gz"}, &output), 0);
  EXPECT_EQ(output.rfind("teloria2 (" TELORIA_VERSION ") ", 0), 0u) << output;
  ExpectVerifiedUserUnit(root);
  RunProgramOf(root + "/usr");
  ExpectReproducible(deb);
}

#include "E2eHarness.h"

#include <csignal>
#include <regex>

// The real teloria2 on an X server of the test's own with a window manager
// and no tray host: a desktop where the windows open only from the
// application menu's actions (teloria2 -show ...).
class DesktopTest : public E2eTest {
protected:
  void SetUp() override {
    E2eTest::SetUp();
    // -displayfd: the server picks a free display and names it once it
    // accepts clients. -noreset: without it the server resets when its last
    // client leaves, dropping a client still connecting (the window manager
    // starting while an xprop of ours has just come and gone).
    xServer = std::make_unique<TProgramProcess>(
        "/usr/bin/Xvfb",
        std::vector<std::string>{"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten",
                                 "tcp", "-noreset"},
        std::vector<std::string>{}, home.Path() + "/xvfb.txt");
    // Its warnings share the file: the display is the line of digits alone.
    static const std::regex number("(^|\n)([0-9]+)\n");
    std::smatch match;
    std::string output;
    ASSERT_TRUE(WaitFor([&] {
      output = ReadFile(home.Path() + "/xvfb.txt");
      return std::regex_search(output, match, number);
    })) << output;
    display = ":" + match[2].str();
    // With a home of its own: nothing of the user's desktop settings.
    std::filesystem::create_directory(home.Path() + "/wm-home");
    windowManager = std::make_unique<TProgramProcess>(
        "/usr/bin/openbox", std::vector<std::string>{"--sm-disable"},
        std::vector<std::string>{"DISPLAY=" + display, "HOME=" + home.Path() + "/wm-home",
                                 "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"},
        home.Path() + "/openbox.txt");
    ASSERT_TRUE(WaitFor([&] { return !RootWindow("_NET_SUPPORTING_WM_CHECK").empty(); },
                        std::chrono::seconds(15)))
        << display << "\n"
        << ReadFile(home.Path() + "/xvfb.txt") << ReadFile(home.Path() + "/openbox.txt");
    extraEnv = {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY=" + display};
    StartAdapter(); // the memory window reads the adapter's memory
    WriteIni("MirelKT5Port=" + home.Path() + "/adapter");
  }
  void TearDown() override {
    windowManager.reset();
    xServer.reset();
  }

  // An X tool's output on the test's display.
  std::string XTool(const std::string& name, const std::vector<std::string>& args) {
    const std::string out = home.Path() + "/x-tool.txt";
    std::filesystem::remove(out);
    // UTF-8 titles as they are, not escaped as a C locale would.
    TProgramProcess(name, args, {"DISPLAY=" + display, "LC_ALL=C.UTF-8"}, out).WaitExit();
    return ReadFile(out);
  }

  // The window id a property of the root window names ("0x400007"), or "".
  std::string RootWindow(const std::string& property) {
    static const std::regex id("window id # (0x[0-9a-f]+)");
    std::smatch match;
    const std::string text = XTool("/usr/bin/xprop", {"-root", property});
    return std::regex_search(text, match, id) ? match[1].str() : "";
  }

  // The title of the window that has the focus, when it is mapped and
  // viewable; "" otherwise.
  std::string ActiveWindowTitle() {
    const std::string active = RootWindow("_NET_ACTIVE_WINDOW");
    if (active.empty() || active == "0x0")
      return "";
    if (XTool("/usr/bin/xwininfo", {"-id", active}).find("Map State: IsViewable") ==
        std::string::npos)
      return "";
    static const std::regex title("_NET_WM_NAME\\(UTF8_STRING\\) = \"(.*)\"");
    std::smatch match;
    const std::string text = XTool("/usr/bin/xprop", {"-id", active, "_NET_WM_NAME"});
    return std::regex_search(text, match, title) ? match[1].str() : "";
  }

  bool Active(const std::string& title) {
    return WaitFor([&] { return ActiveWindowTitle() == title; }, std::chrono::seconds(15));
  }

  // A window opened from the menu stands on its own: a window transient for
  // the program's hidden leader window is what window managers may leave
  // unmapped.
  bool ActiveIsTransient() {
    const std::string active = RootWindow("_NET_ACTIVE_WINDOW");
    return XTool("/usr/bin/xprop", {"-id", active, "WM_TRANSIENT_FOR"}).find("window id") !=
           std::string::npos;
  }

  std::unique_ptr<TProgramProcess> xServer;
  std::unique_ptr<TProgramProcess> windowManager;
  std::string display;
};

// Each desktop action brings its window up in front, the first one starting
// the program; none waits for a tray that is not there.
TEST_F(DesktopTest, EveryWindowOpensMappedAndActiveWithoutATray) {
  auto program = StartProgram({"-arun", "-show", "settings"});
  EXPECT_TRUE(Active("各種設定 - Teloria　II")) << ActiveWindowTitle();
  EXPECT_FALSE(ActiveIsTransient());
  ASSERT_TRUE(LogHas("コマンドラインの指示で画面を開きました。[settings]"));
  ASSERT_TRUE(LogHas("MirelUSB/RX2に接続しました。"));
  const std::pair<const char*, const char*> windows[] = {
      {"about", "Teloria II について"},   {"phonelist", "登録一覧"},
      {"history", "電話着信履歴"},        {"memory", "MirelKT5メモリ"},
      {"new", "情報の編集 - Teloria II"}, {"settings", "各種設定 - Teloria　II"},
      {"about", "Teloria II について"},
  };
  for (const auto& [word, title] : windows) {
    EXPECT_EQ(StartProgram({"-show", word}, "verb.txt")->WaitExit(30000), 0) << word;
    EXPECT_TRUE(Active(title)) << word << ": " << ActiveWindowTitle();
    EXPECT_FALSE(ActiveIsTransient()) << word;
  }
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
}

// The popup goes on screen without the window manager: one that is busy
// (stopped here) would otherwise hold a caller's notice until it answers.
TEST_F(DesktopTest, ACallsPopupReachesTheScreenWhileTheWindowManagerIsBusy) {
  const std::string stamps = home.Path() + "/popup-stamps.txt";
  extraEnv.push_back("TELORIA2_PAINT_STAMP=" + stamps);
  auto program = StartProgram({"-arun"});
  ASSERT_TRUE(LogHas("MirelUSB/RX2に接続しました。"));
  windowManager->Signal(SIGSTOP);
  const bool played = adapter->Run("number 0312345678");
  const bool shown =
      played && WaitFor([&] { return ReadFile(stamps).find("0312345678") != std::string::npos; });
  windowManager->Signal(SIGCONT);
  ASSERT_TRUE(played);
  EXPECT_TRUE(shown) << ReadFile(stamps);
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
}

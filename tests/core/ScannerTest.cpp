#include "base/Clock.h"
#include "base/CodePage.h"
#include "core/MirelKT5Scanner.h"
#include "fakes/AdapterSimProcess.h"
#include "platform/TermiosSerialDevice.h"
#include "settings/Logging.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

// A pseudo-terminal nobody answers on: a serial port without the adapter.
class TSilentPort {
public:
  TSilentPort() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    path_ = ptsname(master_);
  }
  ~TSilentPort() { close(master_); }
  const std::string& Path() const { return path_; }

private:
  int master_ = -1;
  std::string path_;
};

} // namespace

class ScannerTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetFixedNow(EncodeDateTime({2026, 12, 8, 9, 0, 0, 0}));
    ScanLogger.SetLogDir(folder.Path());
    ScanLogger.SetLevels(AllLogLevels);
  }
  void TearDown() override {
    ScanLogger.Close();
    ClearFixedNow();
  }
  std::string Log() const { return Cp932ToUtf8(ReadFile(folder.Path() + "/scan.20261208.log")); }
  // Starts a search and waits for its result.
  std::string Search(TMirelKT5Scanner& scanner, const std::string& target) {
    std::promise<std::string> found;
    EXPECT_TRUE(scanner.StartSearch(target, [&](const std::string& p) { found.set_value(p); }));
    auto result = found.get_future();
    EXPECT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(WaitFor([&] { return !scanner.Busy(); }));
    return result.get();
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
      ++n;
    return n;
  }

  TTempFolder folder;
};

TEST_F(ScannerTest, NoPortsGivesAnEmptyResult) {
  TMirelKT5Scanner scanner([] { return std::vector<std::string>{}; });
  EXPECT_EQ(Search(scanner, ""), "");
  const std::string log = Log();
  EXPECT_NE(log.find("[debug] 接続ポート探索スレッド開始"), std::string::npos);
  EXPECT_NE(log.find("[debug] スレッドで接続ポート自動探索します。"), std::string::npos);
  EXPECT_EQ(log.find("ポートチェック開始"), std::string::npos);
}

TEST_F(ScannerTest, AdapterOnTheThirdOfFourPortsIsFound) {
  TAdapterSimProcess sim;
  const std::string ready = sim.NextLine();
  ASSERT_EQ(ready.rfind("ready ", 0), 0u);
  const std::string adapter = ready.substr(6);
  TSilentPort a, b, d;
  const std::vector<std::string> ports{a.Path(), b.Path(), adapter, d.Path()};
  TMirelKT5Scanner scanner([&] { return ports; });
  EXPECT_EQ(Search(scanner, ""), adapter);
  const std::string log = Log();
  for (const std::string& port : ports) {
    EXPECT_EQ(Count(log, port + " ポートチェック開始"), 1u) << port;
    EXPECT_EQ(Count(log, port + " ポートチェック終了"), 1u) << port;
  }
  EXPECT_EQ(Count(log, "[Error] "), 3u);
  EXPECT_NE(log.find("[Trace] ***MirelRX2メモリ読み出し開始*** (W32ErrCode=0)"), std::string::npos);
  EXPECT_EQ(sim.NextLine(), "recv M 01");
}

TEST_F(ScannerTest, DeniedPortsAreToldOnlyForTheAdaptersKindAndWhenNothingAnswered) {
  TAdapterSimProcess sim;
  std::vector<std::string> ports{"/dev/ttyS-x", "/dev/ttyUSB-x", sim.NextLine().substr(6)}, told;
  const auto deny = [](const std::string& path, int& error) {
    error = EACCES;
    return path.find("-x") == std::string::npos ? OpenTermiosDevice(path, error) : nullptr;
  };
  TMirelKT5Scanner scanner([&] { return ports; }, deny, [&](auto& port) { told.push_back(port); });
  EXPECT_EQ(Search(scanner, ""), ports.back());
  ports.pop_back();
  EXPECT_EQ(Search(scanner, ""), "");
  EXPECT_EQ(Search(scanner, "/dev/ttyS-x"), ""); // the configured port
  EXPECT_EQ(told, (std::vector<std::string>{"/dev/ttyUSB-x", "/dev/ttyS-x"}));
}

TEST_F(ScannerTest, SecondRequestIsRefusedWhileSearching) {
  TSilentPort silent;
  TMirelKT5Scanner scanner([&] { return std::vector<std::string>{silent.Path()}; });
  std::promise<std::string> found;
  ASSERT_TRUE(scanner.StartSearch("", [&](const std::string& p) { found.set_value(p); }));
  EXPECT_TRUE(scanner.Busy());
  EXPECT_FALSE(scanner.StartSearch("", [](const std::string&) { FAIL() << "queued"; }));
  EXPECT_EQ(found.get_future().get(), "");
  EXPECT_TRUE(WaitFor([&] { return !scanner.Busy(); }));
}

TEST_F(ScannerTest, MissingConfiguredPortGivesAnEmptyResult) {
  TMirelKT5Scanner scanner;
  EXPECT_EQ(Search(scanner, "/dev/teloria2-missing"), "");
  EXPECT_NE(Log().find("[debug] スレッドで指定ポートチェックします。Port=[/dev/teloria2-missing]"),
            std::string::npos);
  EXPECT_NE(Log().find("[debug] スレッドで指定ポートメモリ読み出しエラーです。Port=[/dev/"
                       "teloria2-missing]\r\n[例外] "),
            std::string::npos);
}

TEST_F(ScannerTest, ConfiguredPortWithTheAdapterIsTheResult) {
  TAdapterSimProcess sim;
  const std::string adapter = sim.NextLine().substr(6);
  TMirelKT5Scanner scanner;
  EXPECT_EQ(Search(scanner, adapter), adapter);
}

TEST_F(ScannerTest, DestructionWhileWaitingEndsTheThreadInOrder) {
  {
    TMirelKT5Scanner scanner;
    ASSERT_TRUE(WaitFor([&] { return scanner.Waiting(); }));
  }
  const std::string log = Log();
  const size_t interrupted = log.find("接続ポート探索スレッドループ中断");
  const size_t ended = log.find("接続ポート探索スレッドループ終了");
  const size_t finished = log.find("接続ポート探索スレッド終了");
  ASSERT_NE(interrupted, std::string::npos);
  EXPECT_LT(interrupted, ended);
  EXPECT_LT(ended, finished);
}

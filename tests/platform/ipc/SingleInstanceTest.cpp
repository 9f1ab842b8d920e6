#include <cerrno>
#include <csignal>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include "IpcFixture.h"
#include "platform/ProcessStart.h"
#include "platform/ProgramPaths.h"
#include "platform/SingleInstance.h"
#include "support/TempFolder.h"

namespace {

// A data folder of the test's own: the lock in it must meet no other test.
class SingleInstanceTest : public TIpcTest {
protected:
  void SetUp() override {
    TIpcTest::SetUp();
    std::filesystem::create_directory(Temp() + "/data");
    ::setenv("TELORIA2_HOME", (Temp() + "/data").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("TELORIA2_HOME");
    TIpcTest::TearDown();
  }
};

int ChildHoldsLock() {
  const TSingleInstance lock;
  return lock.Held() ? 1 : lock.Error() == EWOULDBLOCK ? 0 : 2;
}

TEST_F(SingleInstanceTest, HeldByOneProcessUntilReleased) {
  auto first = std::make_unique<TSingleInstance>();
  ASSERT_TRUE(first->Held());
  EXPECT_EQ(first->Error(), 0);
  EXPECT_TRUE(std::filesystem::exists(RuntimeFolder() + "/___KsoCtiClient___.lock"));
  EXPECT_EQ(InChild(ChildHoldsLock), 0);
  EXPECT_FALSE(TSingleInstance().Held());
  first.reset();
  EXPECT_EQ(InChild(ChildHoldsLock), 1);
}

TEST_F(SingleInstanceTest, ProgramsWeStartDoNotInheritTheLock) {
  const std::string pidFile = Temp() + "/pid";
  const std::string script = Temp() + "/linger";
  std::ofstream(script) << "#!/bin/sh\necho $$ > '" << pidFile << ".tmp'\nmv '" << pidFile
                        << ".tmp' '" << pidFile << "'\nexec sleep 30\n";
  ::chmod(script.c_str(), 0755);
  auto lock = std::make_unique<TSingleInstance>();
  ASSERT_TRUE(lock->Held());
  ASSERT_TRUE(StartDetached(script, {}, ""));
  ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(pidFile); }));
  lock.reset();
  EXPECT_TRUE(TSingleInstance().Held());
  pid_t pid = 0;
  std::ifstream(pidFile) >> pid;
  ASSERT_GT(pid, 0);
  ::kill(pid, SIGTERM);
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A desktop session and a shell without XDG_RUNTIME_DIR have runtime
// folders of their own; the data folder is one.
TEST_F(SingleInstanceTest, OneInstancePerDataFolderWhateverTheRuntimeFolder) {
  auto first = std::make_unique<TSingleInstance>();
  ASSERT_TRUE(first->Held());
  EXPECT_EQ(first->DataLockError(), 0);
  const std::string data = Temp() + "/data/.teloria2.lock";
  struct stat st {};
  ASSERT_EQ(::lstat(data.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string shell = Temp() + "/shell";
  std::filesystem::create_directory(shell);
  const auto inOtherFolders = [&](const std::string& runtime, const std::string& home) {
    return InChild([&] {
      ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
      ::setenv("TELORIA2_HOME", home.c_str(), 1);
      return ChildHoldsLock();
    });
  };
  EXPECT_EQ(inOtherFolders(shell, Temp() + "/data"), 0);
  // Refused by the data folder before the runtime folder is touched.
  EXPECT_FALSE(std::filesystem::exists(shell + "/teloria2/___KsoCtiClient___.lock"));
  // Another data folder in the same session is still one instance too many.
  EXPECT_EQ(inOtherFolders(Temp(), shell), 0);
  first.reset();
  EXPECT_EQ(inOtherFolders(shell, Temp() + "/data"), 1);
}

TEST_F(SingleInstanceTest, RemovedRuntimeFolderIsTakenAgainWhileTheDataFolderKeepsOthersOut) {
  TSingleInstance first;
  ASSERT_TRUE(first.Held());
  EXPECT_FALSE(first.RuntimeLockLost());
  const std::string folder = RuntimeFolder();
  std::filesystem::remove_all(folder);
  EXPECT_TRUE(first.RuntimeLockLost());
  EXPECT_EQ(InChild(ChildHoldsLock), 0);
  ASSERT_TRUE(first.RetakeRuntimeLock());
  EXPECT_FALSE(first.RuntimeLockLost());
  EXPECT_TRUE(std::filesystem::exists(folder + "/___KsoCtiClient___.lock"));
  EXPECT_EQ(ModeOf(folder), 0700u);
  // Without the data folder's lock (another one), the runtime lock still holds.
  EXPECT_EQ(InChild([] {
              ::setenv("TELORIA2_HOME", "/nonexistent/teloria2", 1);
              return ChildHoldsLock();
            }),
            0);
}

// A lock file another user planted in a folder open to all is not ours to
// hold, nor may it keep us out.
TEST_F(SingleInstanceTest, DataLockFileThatIsNoneOfOursIsNotUsed) {
  const std::string data = Temp() + "/data/.teloria2.lock";
  ASSERT_EQ(::symlink((Temp() + "/elsewhere").c_str(), data.c_str()), 0);
  TSingleInstance instance;
  EXPECT_TRUE(instance.Held());
  EXPECT_EQ(instance.DataLockError(), ELOOP);
  EXPECT_FALSE(std::filesystem::exists(Temp() + "/elsewhere"));
  if (::geteuid() != 0)
    return; // only root can make a file of another user
  ASSERT_EQ(::unlink(data.c_str()), 0);
  WriteFile(data, "");
  ASSERT_EQ(::chown(data.c_str(), 65534, 65534), 0);
  TSingleInstance second;
  EXPECT_FALSE(second.Held()); // the runtime folder's lock is still the first's
  EXPECT_EQ(second.DataLockError(), EPERM);
}

// Another local user may make the runtime folder first, or open it to all,
// and then hold the lock in it or rename sockets away.
TEST_F(SingleInstanceTest, RuntimeFolderNotPrivateToTheUserIsRefused) {
  const std::string home = Temp() + "/home";
  std::filesystem::create_directory(home);
  const TProgramHome programHome(home);
  const std::string usual = Temp() + "/teloria2";
  EXPECT_EQ(ChooseRuntimeFolder().Folder, usual);
  EXPECT_EQ(ChooseRuntimeFolder().Refused, "");
  EXPECT_EQ(ModeOf(usual), 0700u);

  ::chmod(usual.c_str(), 0777);
  const TRuntimeFolder choice = ChooseRuntimeFolder();
  EXPECT_EQ(choice.Refused, usual);
  EXPECT_EQ(choice.Folder, home + "/runtime");
  EXPECT_EQ(ModeOf(home + "/runtime"), 0700u);
  EXPECT_TRUE(TSingleInstance().Held());
  EXPECT_TRUE(std::filesystem::exists(home + "/runtime/___KsoCtiClient___.lock"));
  EXPECT_FALSE(std::filesystem::exists(usual + "/___KsoCtiClient___.lock"));
  if (::geteuid() != 0)
    return; // the rest needs root to act as another user

  ::chmod(usual.c_str(), 0700);
  ASSERT_EQ(::chown(usual.c_str(), 65534, 65534), 0);
  EXPECT_EQ(ChooseRuntimeFolder().Refused, usual);
  // Without XDG_RUNTIME_DIR: /tmp/teloria2-<uid>, made first by another user,
  // in a /tmp of the child's own.
  const int squatted = InChild([] {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", "/tmp", "tmpfs", 0, nullptr) != 0)
      return 10;
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TELORIA2_HOME", "/tmp", 1);
    const std::string folder = "/tmp/teloria2-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0777) != 0 || ::chmod(folder.c_str(), 0777) != 0 ||
        ::chown(folder.c_str(), 65534, 65534) != 0)
      return 11;
    const TRuntimeFolder taken = ChooseRuntimeFolder();
    return taken.Refused == folder && taken.Folder == "/tmp/runtime" ? 0 : 1;
  });
  if (squatted != 10) { // 10: no mount namespace here
    EXPECT_EQ(squatted, 0);
  }
}

} // namespace

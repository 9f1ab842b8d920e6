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

using SingleInstanceTest = TIpcTest;

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

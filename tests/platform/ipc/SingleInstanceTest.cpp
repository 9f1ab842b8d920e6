#include <cerrno>
#include <csignal>
#include <fstream>
#include <sys/stat.h>

#include "IpcFixture.h"
#include "platform/ProcessStart.h"
#include "platform/ProgramPaths.h"
#include "platform/SingleInstance.h"

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

} // namespace

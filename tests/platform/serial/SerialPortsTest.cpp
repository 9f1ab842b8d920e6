#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/SerialPorts.h"

namespace {

namespace fs = std::filesystem;

class SerialPortsTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/teloria-ports-XXXXXX";
    root = mkdtemp(pattern);
    fs::create_directories(root / "dev");
    fs::create_directories(root / "sys");
  }
  void TearDown() override { fs::remove_all(root); }

  void Node(const std::string& name) { std::ofstream(root / "dev" / name).put('\n'); }
  void Uart(const std::string& name, int type) {
    fs::create_directories(root / "sys" / name);
    std::ofstream(root / "sys" / name / "type") << type << "\n";
  }
  std::string Dev(const std::string& name) const { return (root / "dev" / name).string(); }

  fs::path root;
};

TEST_F(SerialPortsTest, GroupsInNumberOrderAndOnlyLegacyPortsWithAUart) {
  for (const char* name :
       {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS12", "tty0", "ttyUSBx"})
    Node(name);
  Uart("ttyS0", 4);
  Uart("ttyS1", 0);
  std::vector<std::string> list = {"kept"};
  EnumSerialPortsIn((root / "dev").string(), (root / "sys").string(), "/tmp/a::/tmp/b:", list);
  EXPECT_EQ(list, (std::vector<std::string>{"kept", Dev("ttyUSB2"), Dev("ttyUSB10"), Dev("ttyUSBx"),
                                            Dev("ttyACM0"), Dev("ttyS0"), "/tmp/a", "/tmp/b"}));
}

TEST_F(SerialPortsTest, MissingFoldersAddNothing) {
  std::vector<std::string> list;
  EnumSerialPortsIn("/nonexistent/dev", "/nonexistent/sys", "", list);
  EXPECT_TRUE(list.empty());
}

TEST_F(SerialPortsTest, ExtraPortsComeFromTheEnvironment) {
  setenv("TELORIA2_EXTRA_PORTS", "/tmp/teloria-virtual-port", 1);
  std::vector<std::string> list;
  EnumSerialPorts(list);
  unsetenv("TELORIA2_EXTRA_PORTS");
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.back(), "/tmp/teloria-virtual-port");
}

} // namespace

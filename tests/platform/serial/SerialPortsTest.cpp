#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/DeviceGroup.h"
#include "platform/SerialPorts.h"

#include <sys/stat.h>

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

TEST_F(SerialPortsTest, StableNamesOfPresentDevicesInNaturalOrderEachOnce) {
  const fs::path byId = root / "by-id";
  fs::create_directories(byId);
  // /dev/null stands in for a character device; the gone adapter's link dangles.
  for (const char* name : {"usb-FTDI_A10-if00-port0", "usb-FTDI_A9-if00-port0",
                           "usb-FTDI_A009-if01-port0", "usb-Prolific-if00"})
    fs::create_symlink("/dev/null", byId / name);
  fs::create_symlink(root / "dev" / "ttyUSB7", byId / "usb-gone-if00");
  Node("plain-file");
  fs::create_symlink(root / "dev" / "plain-file", byId / "usb-not-a-device");
  const std::string listed = (byId / "usb-Prolific-if00").string();
  std::vector<std::string> list = {"/dev/ttyUSB0", listed};
  AppendStablePortNamesIn(byId.string(), list);
  EXPECT_EQ(list, (std::vector<std::string>{"/dev/ttyUSB0", listed,
                                            (byId / "usb-FTDI_A9-if00-port0").string(),
                                            (byId / "usb-FTDI_A009-if01-port0").string(),
                                            (byId / "usb-FTDI_A10-if00-port0").string()}));
  std::vector<std::string> none;
  AppendStablePortNamesIn((root / "missing").string(), none);
  EXPECT_TRUE(none.empty());
}

TEST_F(SerialPortsTest, TheGroupToJoinGrantsReadAndWriteAndWouldHelp) {
  // The user 1000, in the group 100, and a node of the group 20.
  const auto advice = [](mode_t mode, const char* name, uid_t owner = 0, gid_t group = 20) {
    struct stat node {};
    node.st_mode = S_IFCHR | mode;
    node.st_uid = owner;
    node.st_gid = group;
    return GroupToJoin(node, name, 1000, {100});
  };
  EXPECT_EQ(advice(0660, "dialout"), "dialout");
  EXPECT_EQ(advice(0640, "dialout") + advice(0660, "root") + advice(0660, "tty"), "");
  EXPECT_EQ(advice(0660, "dialout", 1000) + advice(0660, "users", 0, 100), "");
  EXPECT_EQ(GroupToJoinFor("/dev/null"), ""); // root's
}

} // namespace

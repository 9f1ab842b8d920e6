#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "base/UniqueFd.h"
#include "platform/TermiosSerialDevice.h"

namespace {

TDcbRecord AdapterRecord() {
  TDcbRecord dcb{};
  DcbWrite32(dcb, DcbLayout::BaudRate, 9600);
  DcbWrite32(dcb, DcbLayout::Flags, DcbLayout::fParity | DcbLayout::fOutxCtsFlow | (1u << 4));
  dcb[DcbLayout::ByteSize] = 7;
  dcb[DcbLayout::Parity] = 2;
  return dcb;
}

// A pseudo-terminal whose master plays the adapter.
class PtyTest : public ::testing::Test {
protected:
  void SetUp() override {
    master = TUniqueFd(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(master.Valid());
    ASSERT_EQ(grantpt(master.Get()), 0);
    ASSERT_EQ(unlockpt(master.Get()), 0);
    slavePath = ptsname(master.Get());
    // The master's side raw, so bytes pass unchanged.
    termios tio{};
    tcgetattr(master.Get(), &tio);
    cfmakeraw(&tio);
    tcsetattr(master.Get(), TCSANOW, &tio);
  }

  TSerialDevicePtr OpenDevice() {
    int error = -1;
    auto device = OpenTermiosDevice(slavePath, error);
    EXPECT_EQ(error, 0);
    return device;
  }

  void AdapterSends(const std::string& bytes) {
    ASSERT_EQ(write(master.Get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  std::string AdapterReads(size_t count) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd fd{master.Get(), POLLIN, 0};
      if (poll(&fd, 1, 100) <= 0)
        continue;
      char buffer[256];
      const ssize_t n = read(master.Get(), buffer, sizeof buffer);
      if (n > 0)
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

  static int QueuedWithin(ISerialDevice& device, int expected) {
    int count = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      EXPECT_EQ(device.InQueue(count), 0);
      if (count >= expected)
        break;
      device.WaitReady(false, 50);
    }
    return count;
  }

  TUniqueFd master;
  std::string slavePath;
};

TEST_F(PtyTest, BytesTravelBothWaysThroughTheConfiguredDevice) {
  auto device = OpenDevice();
  ASSERT_TRUE(device);
  EXPECT_EQ(device->Configure(AdapterRecord()), 0);
  // Again, on a port that holds all of it a pseudo-terminal can.
  EXPECT_EQ(device->Configure(AdapterRecord()), 0);
  EXPECT_EQ(device->Purge(), 0);
  AdapterSends("\x02"
               "00\x03");
  EXPECT_EQ(device->WaitEvent(), 0);
  EXPECT_EQ(QueuedWithin(*device, 4), 4);
  uint8_t buffer[16];
  size_t done = 0;
  EXPECT_EQ(device->Read(buffer, sizeof buffer, done), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), done), "\x02"
                                                                "00\x03");
  EXPECT_EQ(device->Read(buffer, sizeof buffer, done), 0);
  EXPECT_EQ(done, 0u);

  const std::string command = "\x02M01\x03";
  EXPECT_EQ(device->Write(reinterpret_cast<const uint8_t*>(command.data()), command.size(), done),
            0);
  EXPECT_EQ(done, command.size());
  EXPECT_EQ(AdapterReads(command.size()), command);
  int out = -1;
  EXPECT_EQ(device->OutQueue(out), 0);
}

TEST_F(PtyTest, NoModemLinesMeansCtsOnAndPresent) {
  auto device = OpenDevice();
  bool cts = false;
  EXPECT_EQ(device->Cts(cts), 0);
  EXPECT_TRUE(cts);
  EXPECT_TRUE(device->IsPresent());
  uint32_t flags = 1;
  EXPECT_EQ(device->TakeLineErrors(flags), 0);
  EXPECT_EQ(flags, 0u);
}

TEST_F(PtyTest, WakeEndsTheWait) {
  auto device = OpenDevice();
  device->Wake();
  EXPECT_EQ(device->WaitEvent(), ECANCELED);
  EXPECT_EQ(device->WaitReady(false, 0), ETIMEDOUT);
}

TEST_F(PtyTest, OpenIsExclusiveAndCloseLetsTheNextOpenIn) {
  auto device = OpenDevice();
  int error = 0;
  EXPECT_FALSE(OpenTermiosDevice(slavePath, error));
  EXPECT_EQ(error, EBUSY);
  EXPECT_EQ(device->Close(), 0);
  device.reset();
  EXPECT_TRUE(OpenTermiosDevice(slavePath, error)) << error;
}

TEST_F(PtyTest, RemovedAdapterIsAHangUp) {
  auto device = OpenDevice();
  master.Reset();
  EXPECT_EQ(device->WaitEvent(), EIO);
  EXPECT_FALSE(device->IsPresent());
  uint8_t byte = 0;
  size_t done = 0;
  EXPECT_NE(device->Read(&byte, 1, done), 0);
}

TEST(TermiosOpenTest, MissingNodesAndNonTerminalsAreRefused) {
  int error = 0;
  EXPECT_FALSE(OpenTermiosDevice("/dev/ttyNoSuchPort", error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(OpenTermiosDevice("/dev/null", error));
  EXPECT_EQ(error, ENOTTY);
}

} // namespace

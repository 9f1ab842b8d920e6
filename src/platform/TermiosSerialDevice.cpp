#include "platform/TermiosSerialDevice.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/UniqueFd.h"
#include "platform/TermiosSettings.h"

namespace {

int ErrnoOf(int rc) {
  return rc == 0 ? 0 : errno;
}

bool NoModemLines(int error) {
  return error == ENOTTY || error == EINVAL;
}

// glibc's tcsetattr reports EINVAL when a call changed nothing though the
// port holds less than was asked: a port that already took all it can, such
// as a pseudo-terminal (always 8 bits without parity) opened once more. That
// is no failure while the port holds the rest: speed, flow control, modes.
bool HoldsAllButCharacterFormat(int fd, const termios& wanted) {
  termios now{};
  if (tcgetattr(fd, &now) != 0)
    return false;
  const tcflag_t format = CSIZE | PARENB | PARODD | CMSPAR;
  return (now.c_cflag & ~format) == (wanted.c_cflag & ~format) && now.c_iflag == wanted.c_iflag &&
         now.c_oflag == wanted.c_oflag && now.c_lflag == wanted.c_lflag &&
         now.c_cc[VMIN] == wanted.c_cc[VMIN] && now.c_cc[VTIME] == wanted.c_cc[VTIME] &&
         cfgetispeed(&now) == cfgetispeed(&wanted) && cfgetospeed(&now) == cfgetospeed(&wanted);
}

class TTermiosSerialDevice final : public ISerialDevice {
public:
  TTermiosSerialDevice(std::string path, TUniqueFd fd, TUniqueFd wake)
      : path_(std::move(path)), fd_(std::move(fd)), wake_(std::move(wake)) {
    ReadCounters(counters_);
  }
  ~TTermiosSerialDevice() override { Close(); }

  int Configure(const TDcbRecord& dcb) override {
    termios tio{};
    if (tcgetattr(fd_.Get(), &tio) != 0)
      return errno;
    DcbToTermios(dcb, tio);
    if (tcsetattr(fd_.Get(), TCSANOW, &tio) != 0) {
      const int error = errno;
      if (error != EINVAL || !HoldsAllButCharacterFormat(fd_.Get(), tio))
        return error;
    }
    const uint32_t dtrControl =
        (DcbRead32(dcb, DcbLayout::Flags) >> DcbLayout::DtrControlShift) & 3;
    const int dtr = TIOCM_DTR;
    const int rc = ioctl(fd_.Get(), dtrControl == 1 ? TIOCMBIS : TIOCMBIC, &dtr);
    const int error = ErrnoOf(rc);
    return NoModemLines(error) ? 0 : error;
  }

  int Purge() override { return ErrnoOf(tcflush(fd_.Get(), TCIOFLUSH)); }

  int WaitEvent() override {
    pollfd fds[2] = {{fd_.Get(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
    while (poll(fds, 2, -1) < 0) {
      if (errno != EINTR)
        return errno;
    }
    if (fds[1].revents != 0) {
      uint64_t value = 0;
      [[maybe_unused]] const ssize_t n = ::read(wake_.Get(), &value, sizeof value);
      return ECANCELED;
    }
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
      return EIO;
    return 0;
  }

  void Wake() override {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_.Get(), &one, sizeof one);
  }

  int InQueue(int& count) override { return QueueCount(FIONREAD, count); }
  int OutQueue(int& count) override { return QueueCount(TIOCOUTQ, count); }

  int Cts(bool& on) override {
    int bits = 0;
    const int error = ErrnoOf(ioctl(fd_.Get(), TIOCMGET, &bits));
    on = NoModemLines(error) || (error == 0 && (bits & TIOCM_CTS) != 0);
    return NoModemLines(error) ? 0 : error;
  }

  int TakeLineErrors(uint32_t& flags) override {
    flags = 0;
    serial_icounter_struct now{};
    if (!ReadCounters(now))
      return 0;
    if (now.overrun != counters_.overrun || now.buf_overrun != counters_.buf_overrun)
      flags |= SerialLineError::Overrun;
    if (now.parity != counters_.parity)
      flags |= SerialLineError::RxParity;
    if (now.frame != counters_.frame)
      flags |= SerialLineError::Frame;
    if (now.brk != counters_.brk)
      flags |= SerialLineError::Break;
    counters_ = now;
    return 0;
  }

  int Read(uint8_t* data, size_t count, size_t& done) override {
    done = 0;
    while (true) {
      const ssize_t n = ::read(fd_.Get(), data, count);
      if (n > 0) {
        done = static_cast<size_t>(n);
        return 0;
      }
      // End of file on a terminal means the other side hung up.
      if (n == 0)
        return count == 0 ? 0 : EIO;
      if (errno == EAGAIN)
        return 0;
      if (errno != EINTR)
        return errno;
    }
  }

  int Write(const uint8_t* data, size_t count, size_t& done) override {
    done = 0;
    while (true) {
      const ssize_t n = ::write(fd_.Get(), data, count);
      if (n >= 0) {
        done = static_cast<size_t>(n);
        return 0;
      }
      if (errno == EAGAIN)
        return 0;
      if (errno != EINTR)
        return errno;
    }
  }

  int WaitReady(bool forWrite, int timeoutMs) override {
    pollfd fd{fd_.Get(), static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    const int n = poll(&fd, 1, timeoutMs);
    if (n < 0)
      return errno;
    if (n == 0)
      return ETIMEDOUT;
    if ((fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
      return EIO;
    return 0;
  }

  bool IsPresent() override {
    pollfd fd{fd_.Get(), POLLIN, 0};
    if (poll(&fd, 1, 0) > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
      return false;
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0)
      return false;
    int bits = 0;
    const int error = ErrnoOf(ioctl(fd_.Get(), TIOCMGET, &bits));
    return error == 0 || NoModemLines(error);
  }

  int Close() override {
    wake_.Reset();
    if (!fd_.Valid())
      return 0;
    // The exclusive flag outlives the descriptor on a pseudo-terminal; leaving
    // it set would keep this user out of the port until the adapter returns.
    ioctl(fd_.Get(), TIOCNXCL);
    // Linux releases the descriptor whatever close() reports.
    fd_.Reset();
    return 0;
  }

private:
  int QueueCount(unsigned long request, int& count) {
    count = 0;
    return ErrnoOf(ioctl(fd_.Get(), request, &count));
  }

  bool ReadCounters(serial_icounter_struct& counters) {
    return ioctl(fd_.Get(), TIOCGICOUNT, &counters) == 0;
  }

  std::string path_;
  TUniqueFd fd_;
  TUniqueFd wake_;
  serial_icounter_struct counters_{};
};

} // namespace

TSerialDevicePtr OpenTermiosDevice(const std::string& path, int& error) {
  error = 0;
  TUniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0) {
    error = errno;
    return nullptr;
  }
  if (!isatty(fd.Get())) {
    error = ENOTTY;
    return nullptr;
  }
  // The lock keeps out processes of the same user that TIOCEXCL lets through
  // (root) and open descriptors that predate TIOCEXCL.
  if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? EBUSY : errno;
    return nullptr;
  }
  if (ioctl(fd.Get(), TIOCEXCL) != 0) {
    error = errno;
    return nullptr;
  }
  TUniqueFd wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!wake.Valid()) {
    error = errno;
    return nullptr;
  }
  return std::make_unique<TTermiosSerialDevice>(path, std::move(fd), std::move(wake));
}

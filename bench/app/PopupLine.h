#pragma once

// What the benchmarks of the popup on a real X server share: the adapter's
// side of a pseudo-terminal line written by the benchmark itself, and the
// paint stamps the program appends (TELORIA2_PAINT_STAMP). Both times are
// CLOCK_MONOTONIC.
#include "DeviceLink.h"
#include "DeviceResponder.h"
#include "PacketEncoder.h"
#include "PseudoTerminal.h"
#include "base/Clock.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

inline long long MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// The adapter's side of the line: answers the program's commands (its port
// probe) while the benchmark waits for something.
class TAdapterLine {
public:
  explicit TAdapterLine(const std::string& linkPath) : link_(linkPath) {
    link_.PointTo(pty_.DevicePath());
  }

  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(pty_.MasterFd(), bytes.data() + done, bytes.size() - done);
      if (n > 0)
        done += static_cast<size_t>(n);
      else
        Serve(1);
    }
  }

  // Serves the line until `done` holds or `timeoutMs` passes.
  template <typename F> bool ServeUntil(F&& done, int timeoutMs) {
    const long long deadline = MonotonicNs() + timeoutMs * 1000000LL;
    while (!done()) {
      if (MonotonicNs() >= deadline)
        return false;
      Serve(1);
    }
    return true;
  }

private:
  void Serve(int timeoutMs) {
    pollfd fd{pty_.MasterFd(), POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs) <= 0 || (fd.revents & POLLIN) == 0)
      return;
    char bytes[256];
    const ssize_t n = ::read(pty_.MasterFd(), bytes, sizeof bytes);
    if (n <= 0)
      return;
    for (const auto& received : responder_.Feed(std::string_view(bytes, static_cast<size_t>(n))))
      if (!received.Reply.empty())
        Write(received.Reply);
  }

  TPseudoTerminal pty_;
  TDeviceLink link_;
  TDeviceResponder responder_;
};

// The paint stamps the program appends, one line per showing.
class TStampFile {
public:
  explicit TStampFile(std::string path) : path_(std::move(path)) {}
  // The time of a new stamp line, or 0 when none came yet.
  long long Next() {
    std::ifstream in(path_);
    in.seekg(static_cast<std::streamoff>(read_));
    std::string line;
    if (!std::getline(in, line) || in.eof())
      return 0;
    read_ += line.size() + 1;
    return std::atoll(line.c_str());
  }

private:
  std::string path_;
  size_t read_ = 0;
};

inline double Percentile(std::vector<double> values, int percent) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, values.size() * static_cast<size_t>(percent) / 100)];
}

// Plays `count` calls on the line, each once the previous popup has faded
// in; returns for each the milliseconds from its caller number written to
// its popup's first paint, or nothing when a popup never came.
inline std::vector<double> PlayCalls(TAdapterLine& line, TStampFile& stamps, int count) {
  std::vector<double> millis;
  for (int call = 1; call <= count; ++call) {
    line.Write(EncodeRing());
    line.ServeUntil([] { return false; }, 50);
    char number[16];
    std::snprintf(number, sizeof number, "0990%06d", call);
    line.Write(EncodeNumber(number, EncodeDateTimeField(Now())));
    const long long written = MonotonicNs();
    long long painted = 0;
    if (!line.ServeUntil([&] { return (painted = stamps.Next()) != 0; }, 5000)) {
      std::fprintf(stderr, "no paint for call %d\n", call);
      return {};
    }
    millis.push_back(static_cast<double>(painted - written) / 1e6);
    line.Write(EncodeHook("UR", EncodeDateTimeField(Now())));
    line.ServeUntil([] { return false; }, 600);
  }
  return millis;
}

#pragma once

// What the benchmarks of the popup on a real X server share: the adapter's
// side of a pseudo-terminal line written by the benchmark itself, the paint
// stamps the program appends (TELORIA2_PAINT_STAMP), and the calls played
// on that line. Both times are CLOCK_MONOTONIC.
#include "DeviceLink.h"
#include "DeviceResponder.h"
#include "PacketEncoder.h"
#include "PseudoTerminal.h"
#include "ShownPopup.h"
#include "base/Clock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
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
// probe, its memory reads) while the benchmark waits for something, each
// reply `replyDelayMs` after its command.
class TAdapterLine {
public:
  explicit TAdapterLine(const std::string& linkPath, int replyDelayMs = 0)
      : pty_(std::make_unique<TPseudoTerminal>()), link_(linkPath),
        replyDelayNs_(replyDelayMs * 1000000LL) {
    link_.PointTo(pty_->DevicePath());
  }

  TDeviceResponder& Responder() { return responder_; }

  // The adapter pulled and plugged in again: the program sees its line hang
  // up and finds it anew.
  void Replug() {
    pty_ = std::make_unique<TPseudoTerminal>();
    link_.PointTo(pty_->DevicePath());
    replies_.clear();
    responder_.ClearInput();
  }

  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(pty_->MasterFd(), bytes.data() + done, bytes.size() - done);
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
    SendDueReplies();
    pollfd fd{pty_->MasterFd(), POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs) <= 0 || (fd.revents & POLLIN) == 0)
      return;
    char bytes[256];
    const ssize_t n = ::read(pty_->MasterFd(), bytes, sizeof bytes);
    if (n <= 0)
      return;
    for (const auto& received : responder_.Feed(std::string_view(bytes, static_cast<size_t>(n))))
      if (!received.Reply.empty())
        replies_.push_back({MonotonicNs() + replyDelayNs_, received.Reply});
    SendDueReplies();
  }

  void SendDueReplies() {
    while (!replies_.empty() && replies_.front().first <= MonotonicNs()) {
      const std::string reply = std::move(replies_.front().second);
      replies_.erase(replies_.begin());
      Write(reply);
    }
  }

  std::unique_ptr<TPseudoTerminal> pty_;
  TDeviceLink link_;
  TDeviceResponder responder_;
  const long long replyDelayNs_;
  std::vector<std::pair<long long, std::string>> replies_;
};

// The paint stamps the program appends, one line per showing:
// "<ns> <caller text>".
class TStampFile {
public:
  explicit TStampFile(std::string path) : path_(std::move(path)) {}
  // The time of the first new stamp of a showing whose text ends with
  // `caller`, or 0 when none came yet; stamps of other showings are passed.
  long long Next(const std::string& caller) {
    std::ifstream in(path_);
    in.seekg(static_cast<std::streamoff>(read_));
    std::string line;
    while (std::getline(in, line) && !in.eof()) {
      read_ += line.size() + 1;
      if (line.size() >= caller.size() &&
          line.compare(line.size() - caller.size(), caller.size(), caller) == 0)
        return std::atoll(line.c_str());
    }
    return 0;
  }

private:
  std::string path_;
  size_t read_ = 0;
};

inline double Percentile(std::vector<double> values, int percent) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, values.size() * static_cast<size_t>(percent) / 100)];
}

// Plays call number `call` on the line: returns the milliseconds from its
// caller number written to its popup's first paint, or -1 when the popup
// never came or never closed (said on stderr).
inline double PlayCall(TAdapterLine& line, TStampFile& stamps, TShownPopup& popup, int call) {
  line.Write(EncodeRing());
  line.ServeUntil([] { return false; }, 50);
  char number[16];
  std::snprintf(number, sizeof number, "0990%06d", call);
  // Taken before the write: descheduled after it, the program may paint
  // before the time is taken, which would give a negative figure.
  const long long written = MonotonicNs();
  line.Write(EncodeNumber(number, EncodeDateTimeField(Now())));
  long long painted = 0;
  if (!line.ServeUntil([&] { return (painted = stamps.Next(number)) != 0; }, 5000)) {
    std::fprintf(stderr, "no paint for call %d\n", call);
    return -1;
  }
  line.Write(EncodeHook("UR", EncodeDateTimeField(Now())));
  // Calls come minutes apart, long after the popup has gone: it is closed
  // as a user would, so that every call shows it anew.
  line.ServeUntil([] { return false; }, 600);
  if (!popup.PressClose() || !line.ServeUntil([&] { return !popup.Shown(); }, 5000)) {
    std::fprintf(stderr, "the popup of call %d did not close\n", call);
    return -1;
  }
  return static_cast<double>(painted - written) / 1e6;
}

// Plays `count` calls on the line; returns the figure of each, or nothing
// when one failed.
inline std::vector<double> PlayCalls(TAdapterLine& line, TStampFile& stamps, int count) {
  TShownPopup popup;
  std::vector<double> millis;
  for (int call = 1; call <= count; ++call) {
    const double ms = PlayCall(line, stamps, popup, call);
    if (ms < 0)
      return {};
    millis.push_back(ms);
  }
  return millis;
}

// Time from the last byte of a caller-number packet written to the line to
// the first complete paint of the incoming notice popup, through the real
// teloria2 on a real X server, over 200 calls that each find the popup
// closed, the first one after start included. The benchmark plays the
// adapter itself (the virtual adapter's line code), so the moment of the
// write is known; the program reports the paint through its opt-in hook
// TELORIA2_PAINT_STAMP. Both times are CLOCK_MONOTONIC.
// Needs an X server:  xvfb-run -a -s "-screen 0 1280x1024x24" app_popup_latency_bench
#include "BenchResult.h"
#include "DeviceLink.h"
#include "DeviceResponder.h"
#include "LogTail.h"
#include "PacketEncoder.h"
#include "ProgramProcess.h"
#include "PseudoTerminal.h"
#include "ShownPopup.h"
#include "base/Clock.h"
#include "base/CodePage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kCalls = 200;

long long MonotonicNs() {
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

double Percentile(std::vector<double> values, int percent) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, values.size() * static_cast<size_t>(percent) / 100)];
}

} // namespace

int main() {
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "needs an X server, e.g. xvfb-run -a %s\n", "app_popup_latency_bench");
    return 2;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "teloria2-popup-XXXXXX").string();
  const std::string home = ::mkdtemp(pattern.data());
  std::filesystem::create_directories(home + "/run");
  std::filesystem::permissions(home + "/run", std::filesystem::perms::owner_all);
  TAdapterLine line(home + "/adapter");
  std::ofstream(home + "/teloria2.ini", std::ios::binary) << Utf8ToCp932(
      "[Settings]\r\nMirelKT5Port=" + home + "/adapter\r\nIncomingDisplayMode=1\r\n");
  ::unsetenv("QT_QPA_PLATFORM");
  TProgramProcess program(TELORIA2_PROGRAM, {"-arun"},
                          {"TELORIA2_HOME=" + home, "XDG_RUNTIME_DIR=" + home + "/run",
                           "TELORIA2_PAINT_STAMP=" + home + "/paint.txt"},
                          home + "/output.txt");
  TLogTail log(home + "/logs");
  const auto connected = [&] {
    for (const std::string& text : log.NewLines())
      if (text.find("MirelUSB/RX2に接続しました。") != std::string::npos)
        return true;
    return false;
  };
  if (!line.ServeUntil(connected, 30000)) {
    std::fprintf(stderr, "teloria2 did not connect (see %s)\n", home.c_str());
    return 1;
  }

  TStampFile stamps(home + "/paint.txt");
  TShownPopup popup;
  std::vector<double> millis;
  for (int call = 1; call <= kCalls; ++call) {
    line.Write(EncodeRing());
    line.ServeUntil([] { return false; }, 50);
    char number[16];
    std::snprintf(number, sizeof number, "0990%06d", call);
    line.Write(EncodeNumber(number, EncodeDateTimeField(Now())));
    const long long written = MonotonicNs();
    long long painted = 0;
    if (!line.ServeUntil([&] { return (painted = stamps.Next(number)) != 0; }, 5000)) {
      std::fprintf(stderr, "no paint for call %d\n", call);
      return 1;
    }
    millis.push_back(static_cast<double>(painted - written) / 1e6);
    line.Write(EncodeHook("UR", EncodeDateTimeField(Now())));
    // Calls come minutes apart, long after the popup has gone: it is closed
    // as a user would, so that every call shows it anew.
    line.ServeUntil([] { return false; }, 600);
    if (!popup.PressClose() || !line.ServeUntil([&] { return !popup.Shown(); }, 5000)) {
      std::fprintf(stderr, "the popup of call %d did not close\n", call);
      return 1;
    }
  }
  program.Terminate();
  program.WaitExit();
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);

  std::vector<double> sorted = millis;
  std::sort(sorted.rbegin(), sorted.rend());
  std::printf("slowest calls: %.1f %.1f %.1f %.1f %.1f ms\n", sorted[0], sorted[1], sorted[2],
              sorted[3], sorted[4]);
  PrintResult("first call after start to popup painted", FigureText(millis.front(), "ms"));
  PrintResult("caller number on the line to popup painted, median",
              FigureText(Percentile(millis, 50), "ms"));
  PrintUnder("caller number on the line to popup painted, p99", Percentile(millis, 99), 16.7, "ms");
  PrintUnder("caller number on the line to popup painted, max", sorted.front(), 33, "ms");
  return 0;
}

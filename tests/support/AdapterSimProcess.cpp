#include "support/AdapterSimProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

int RemainingMs(TClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
  return static_cast<int>(std::max<int64_t>(left.count(), 0));
}

TClock::time_point After(int ms) {
  return TClock::now() + std::chrono::milliseconds(ms);
}

} // namespace

std::string SimBinary() {
  const char* folder = std::getenv("TELORIA2_BIN");
  return std::string(folder ? folder : ".") + "/teloria2-adapter-sim";
}

TSimProcess::TSimProcess(const std::vector<std::string>& args) {
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
    std::abort();
  pid_ = fork();
  if (pid_ == 0) {
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    std::vector<std::string> all{SimBinary()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  input_.Reset(toChild[1]);
  output_.Reset(fromChild[0]);
}

TSimProcess::~TSimProcess() {
  if (pid_ > 0 && WaitExit(0) == -1) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

void TSimProcess::Send(const std::string& line) {
  const std::string text = line + "\n";
  if (write(input_.Get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    buffered_ += "<write failed>\n";
}

std::string TSimProcess::NextLine(int timeoutMs) {
  const auto deadline = After(timeoutMs);
  size_t newline;
  while ((newline = buffered_.find('\n')) == std::string::npos) {
    pollfd fd{output_.Get(), POLLIN, 0};
    if (poll(&fd, 1, RemainingMs(deadline)) <= 0)
      return "<timeout>";
    char chunk[1024];
    const ssize_t got = read(output_.Get(), chunk, sizeof chunk);
    if (got <= 0)
      return "<eof>";
    buffered_.append(chunk, static_cast<size_t>(got));
  }
  std::string line = buffered_.substr(0, newline);
  buffered_.erase(0, newline + 1);
  return line;
}

int TSimProcess::WaitExit(int timeoutMs) {
  const auto deadline = After(timeoutMs);
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Output nobody reads any more must not keep the process from ending.
    NextLine(10);
  } while (TClock::now() < deadline);
  return -1;
}

TLineEnd::TLineEnd(const std::string& path)
    : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
  termios settings{};
  if (fd_.Valid() && tcgetattr(fd_.Get(), &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(fd_.Get(), TCSANOW, &settings);
  }
}

void TLineEnd::Write(const std::string& bytes) {
  if (write(fd_.Get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    fd_.Reset();
}

std::string TLineEnd::Read(size_t count, int timeoutMs) {
  const auto deadline = After(timeoutMs);
  std::string bytes;
  while (bytes.size() < count) {
    pollfd fd{fd_.Get(), POLLIN, 0};
    if (poll(&fd, 1, RemainingMs(deadline)) <= 0 || (fd.revents & POLLHUP) != 0)
      break;
    char chunk[256];
    const ssize_t got = read(fd_.Get(), chunk, std::min(sizeof chunk, count - bytes.size()));
    if (got <= 0)
      break;
    bytes.append(chunk, static_cast<size_t>(got));
  }
  return bytes;
}

bool TLineEnd::WaitHangUp(int timeoutMs) {
  pollfd fd{fd_.Get(), POLLIN, 0};
  return poll(&fd, 1, timeoutMs) > 0 && (fd.revents & POLLHUP) != 0;
}

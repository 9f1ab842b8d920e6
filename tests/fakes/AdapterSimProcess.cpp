#include "fakes/AdapterSimProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

std::string TAdapterSimProcess::Binary() {
  const char* folder = std::getenv("TELORIA2_BIN");
  return std::string(folder != nullptr ? folder : ".") + "/teloria2-adapter-sim";
}

TAdapterSimProcess::TAdapterSimProcess(const std::vector<std::string>& args) {
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0)
    return;
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return;
  }
  std::vector<std::string> all{Binary()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  input_.Reset(toChild[1]);
  output_.Reset(fromChild[0]);
}

TAdapterSimProcess::~TAdapterSimProcess() {
  if (pid_ <= 0)
    return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

void TAdapterSimProcess::Send(const std::string& line) {
  const std::string text = line + "\n";
  [[maybe_unused]] const ssize_t n = write(input_.Get(), text.data(), text.size());
}

std::string TAdapterSimProcess::NextLine(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t newline = 0;
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

std::string TAdapterSimProcess::WaitFor(const std::string& prefix, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    std::string line = NextLine(RemainingMs(deadline));
    if (line.rfind(prefix, 0) == 0 || line == "<timeout>" || line == "<eof>")
      return line;
    Skipped.push_back(line);
  }
}

bool TAdapterSimProcess::Run(const std::string& command, int timeoutMs) {
  Send(command);
  return WaitFor("ok " + command, timeoutMs) == "ok " + command;
}

std::string TAdapterSimProcess::Ask(const std::string& line) {
  Send(line);
  return NextLine();
}

int TAdapterSimProcess::WaitExit(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Output nobody reads any more must not keep the process from ending.
    NextLine(10);
  } while (Clock::now() < deadline);
  return -1;
}

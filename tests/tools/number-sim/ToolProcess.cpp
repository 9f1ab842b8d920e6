#include "ToolProcess.h"

#include "support/RunProgram.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

TToolProcess::TToolProcess(const std::vector<std::string>& args) {
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
    std::abort();
  pid_ = fork();
  if (pid_ == 0) {
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    std::vector<std::string> all{BinFolder() + "/teloria2-number-sim"};
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

TToolProcess::~TToolProcess() {
  if (!Ended()) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string TToolProcess::NextLine(int timeoutMs) {
  size_t newline;
  while ((newline = buffered_.find('\n')) == std::string::npos) {
    pollfd fd{output_.Get(), POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0)
      return "<timeout>";
    char chunk[512];
    const ssize_t got = read(output_.Get(), chunk, sizeof chunk);
    if (got <= 0)
      return "<eof>";
    buffered_.append(chunk, static_cast<size_t>(got));
  }
  std::string line = buffered_.substr(0, newline);
  buffered_.erase(0, newline + 1);
  return line;
}

bool TToolProcess::Ended() {
  if (pid_ <= 0)
    return true;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_)
    return false;
  pid_ = -1;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

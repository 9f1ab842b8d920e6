#include "ProgramProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

TProgramProcess::TProgramProcess(const std::string& program, const std::vector<std::string>& args,
                                 const std::vector<std::string>& env, const std::string& outputFile,
                                 const std::function<bool()>& inChild) {
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envCopy = env;
  pid_ = fork();
  if (pid_ == 0) {
    for (std::string& e : envCopy)
      putenv(e.data());
    const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    if (inChild && !inChild())
      _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
}

TProgramProcess::~TProgramProcess() {
  if (Running()) {
    Terminate();
    if (WaitExit() < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
}

bool TProgramProcess::Running() {
  if (pid_ <= 0 || status_ >= 0)
    return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

void TProgramProcess::Signal(int signal) {
  if (Running())
    kill(pid_, signal);
}

void TProgramProcess::Terminate() {
  Signal(SIGTERM);
}

void TProgramProcess::Kill() {
  Signal(SIGKILL);
}

int TProgramProcess::WaitExit(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

#include "ToolProcess.h"

#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

TToolProcess::TToolProcess(const std::vector<std::string>& args, std::string outputFile)
    : outputFile_(std::move(outputFile)) {
  int toChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0)
    std::abort();
  pid_ = fork();
  if (pid_ == 0) {
    const int output = open(outputFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(toChild[0], STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
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
  input_.Reset(toChild[1]);
}

TToolProcess::~TToolProcess() {
  if (!Ended()) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

bool TToolProcess::Ended() {
  int status = 0;
  if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_)
    return pid_ <= 0;
  pid_ = -1;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

std::string TToolProcess::Output() const {
  return ReadFile(outputFile_);
}

bool TToolProcess::WaitOutput(const std::string& text) const {
  return WaitFor([&] { return Output().find(text) != std::string::npos; });
}

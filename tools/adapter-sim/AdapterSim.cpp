#include "AdapterSim.h"

#include "CommandParser.h"
#include "base/Text.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr size_t ReadChunk = 4096;

TUniqueFd StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  sigprocmask(SIG_BLOCK, &set, nullptr);
  return TUniqueFd(signalfd(-1, &set, SFD_CLOEXEC));
}

} // namespace

TAdapterSim::TAdapterSim(TOptions options)
    : options_(std::move(options)), link_(options_.LinkPath), signals_(StopSignals()) {
  Plug();
}

void TAdapterSim::Print(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void TAdapterSim::Plug() {
  pty_ = std::make_unique<TPseudoTerminal>();
  link_.PointTo(pty_->DevicePath());
  Print("ready " + pty_->DevicePath());
}

// Whatever was on its way in either direction is lost with the adapter.
void TAdapterSim::Unplug() {
  pty_.reset();
  link_.Remove();
  responder_.ClearInput();
  replies_.clear();
  output_.clear();
  writtenBytes_ = queuedBytes_;
}

void TAdapterSim::Run() {
  while (true) {
    RunReadyCommands();
    if (quitting_)
      return;
    pollfd fds[3] = {{signals_.Get(), POLLIN, 0},
                     {inputEnded_ ? -1 : STDIN_FILENO, POLLIN, 0},
                     {pty_ ? pty_->MasterFd() : -1,
                      static_cast<short>(POLLIN | (output_.empty() ? 0 : POLLOUT)), 0}};
    if (poll(fds, 3, PollTimeoutMs()) < 0 && errno != EINTR)
      throw Exception(std::string("poll: ") + std::strerror(errno));
    if (fds[0].revents != 0)
      return;
    if (fds[1].revents != 0)
      ReadStdin();
    if (pty_ && (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
      ReadLine();
    if (pty_ && (fds[2].revents & POLLOUT) != 0)
      FlushToLine();
    SendDueReplies();
    FinishRunning();
  }
}

int TAdapterSim::PollTimeoutMs() const {
  std::optional<TClock::time_point> next;
  if (running_ && running_->Until > TClock::now())
    next = running_->Until;
  if (!replies_.empty() && (!next || replies_.front().Due < *next))
    next = replies_.front().Due;
  if (!next)
    return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - TClock::now());
  return static_cast<int>(std::max<int64_t>(wait.count(), 0));
}

void TAdapterSim::RunReadyCommands() {
  while (!running_ && !quitting_) {
    const size_t newline = input_.find('\n');
    if (newline == std::string::npos && !inputEnded_)
      return;
    if (newline == std::string::npos && input_.empty()) {
      quitting_ = true; // end of input acts as quit
      return;
    }
    const std::string line = Trim(std::string_view(input_).substr(0, newline));
    input_.erase(0, newline == std::string::npos ? input_.size() : newline + 1);
    if (!line.empty())
      Execute(line);
  }
}

void TAdapterSim::Execute(const std::string& line) {
  using K = TSimCommand::TKind;
  try {
    const TSimCommand command = ParseCommand(line, responder_.AdapterNow());
    switch (command.Kind) {
    case K::Write:
      ExecuteWrite(line, command.Bytes);
      return;
    case K::Sleep:
      running_ = TRunning{line, TClock::now() + std::chrono::milliseconds(command.SleepMs), 0};
      FinishRunning();
      return;
    case K::SetMemory:
      responder_.SetRecord(command.Index, command.Record);
      break;
    case K::Unplug:
      if (!pty_)
        throw ECommandError("already unplugged");
      Unplug();
      break;
    case K::Replug:
      ExecuteReplug(line);
      return;
    case K::Quit:
      quitting_ = true;
      break;
    }
    Print("ok " + line);
  } catch (const Exception& e) {
    Print("error " + e.Message());
  }
}

void TAdapterSim::ExecuteWrite(const std::string& line, const std::string& bytes) {
  if (!pty_)
    throw ECommandError("unplugged: no line to write to");
  calls_.Played(bytes);
  Queue(bytes);
  running_ = TRunning{line, TClock::now(), queuedBytes_};
  FinishRunning();
}

// The new device is announced after the ok, so that a reader waiting for
// "ok replug" finds the path on the next line.
void TAdapterSim::ExecuteReplug(const std::string& line) {
  Unplug();
  pty_ = std::make_unique<TPseudoTerminal>();
  link_.PointTo(pty_->DevicePath());
  Print("ok " + line);
  Print("ready " + pty_->DevicePath());
}

void TAdapterSim::FinishRunning() {
  if (running_ && writtenBytes_ >= running_->WrittenMark && TClock::now() >= running_->Until) {
    Print("ok " + running_->Line);
    running_.reset();
  }
}

void TAdapterSim::Queue(const std::string& bytes) {
  output_ += bytes;
  queuedBytes_ += bytes.size();
  FlushToLine();
}

void TAdapterSim::FlushToLine() {
  while (pty_ && !output_.empty()) {
    const ssize_t sent = write(pty_->MasterFd(), output_.data(), output_.size());
    if (sent < 0) {
      const int error = errno;
      if (error == EINTR)
        continue;
      if (error != EAGAIN)
        LineFailed("write", error);
      return;
    }
    output_.erase(0, static_cast<size_t>(sent));
    writtenBytes_ += static_cast<uint64_t>(sent);
  }
}

void TAdapterSim::ReadStdin() {
  char buffer[ReadChunk];
  const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
  if (got > 0)
    input_.append(buffer, static_cast<size_t>(got));
  else if (got == 0 || errno != EINTR)
    inputEnded_ = true;
}

void TAdapterSim::ReadLine() {
  char buffer[ReadChunk];
  while (pty_) {
    const ssize_t got = read(pty_->MasterFd(), buffer, sizeof buffer);
    if (got <= 0) {
      const int error = got == 0 ? EIO : errno;
      if (error == EINTR)
        continue;
      if (error != EAGAIN)
        LineFailed("read", error);
      return;
    }
    for (TDeviceResponder::TReceived& received :
         responder_.Feed(std::string_view(buffer, static_cast<size_t>(got)))) {
      Print(received.Line);
      if (!received.Reply.empty())
        replies_.push_back({TClock::now() + std::chrono::milliseconds(options_.ReplyDelayMs),
                            std::move(received.Reply)});
    }
  }
}

void TAdapterSim::SendDueReplies() {
  while (pty_ && !replies_.empty() && replies_.front().Due <= TClock::now()) {
    Queue(replies_.front().Bytes);
    replies_.pop_front();
  }
}

// The master side should never fail while we hold the slave; if it does,
// the adapter is as good as pulled out, and polling it again would spin.
void TAdapterSim::LineFailed(const char* call, int error) {
  Print(std::string("error line ") + call + " failed: " + std::strerror(error) + "; unplugged");
  Unplug();
}

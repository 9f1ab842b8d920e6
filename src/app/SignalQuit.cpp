#include "app/SignalQuit.h"

#include <QCoreApplication>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalFds[2] = {-1, -1};

// SIGHUP: the terminal that started the program was closed.
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int) {
  const char byte = 1;
  (void)!::write(signalFds[0], &byte, 1);
}

// A signal the starter chose to ignore (nohup, a background job) stays
// ignored.
bool Ignored(int signal) {
  struct sigaction current {};
  return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

} // namespace

TSignalQuit::TSignalQuit() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalFds) != 0)
    return;
  notifier_ = std::make_unique<QSocketNotifier>(signalFds[1], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [] {
    char byte = 0;
    while (::read(signalFds[1], &byte, 1) > 0) {
    }
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kQuitSignals)
    if (!Ignored(signal))
      ::sigaction(signal, &action, nullptr);
}

TSignalQuit::~TSignalQuit() {
  for (const int signal : kQuitSignals)
    if (!Ignored(signal))
      ::signal(signal, SIG_DFL);
  notifier_.reset();
  for (int& fd : signalFds) {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }
}

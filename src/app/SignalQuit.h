#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

// SIGTERM, SIGINT and SIGHUP end the program the way its exit command does:
// the signal only wakes the event loop, which then quits and shuts down in
// order.
class TSignalQuit : public QObject {
  Q_OBJECT
public:
  TSignalQuit();
  ~TSignalQuit() override;

private:
  std::unique_ptr<QSocketNotifier> notifier_;
};

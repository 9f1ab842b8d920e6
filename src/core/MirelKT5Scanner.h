#pragma once

#include "platform/SerialDevice.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TMirelKT5CommCompo;

// Finds the adapter's port on a thread of its own: checks the one configured
// port, or probes every serial port with a memory read of record 1, and
// reports the first port that answered (empty when none did). Everything it
// does goes to the port-scan log.
class TMirelKT5Scanner {
public:
  using TPortFoundEvent = std::function<void(const std::string& foundPort)>;
  using TPortLister = std::function<std::vector<std::string>()>;
  // A port the adapter may be on (the configured one, or a USB serial port)
  // that this user may not open (EACCES). Told on the scanner thread at the
  // end of a search that found nothing, just before its result.
  using TPortDeniedEvent = std::function<void(const std::string& port)>;

  // `ports` replaces EnumSerialPorts and `deviceFactory` the termios device,
  // for tests.
  explicit TMirelKT5Scanner(TPortLister ports = {}, TSerialDeviceFactory deviceFactory = nullptr,
                            TPortDeniedEvent onPortDenied = {});
  // Waits for a search in progress, then ends the thread.
  ~TMirelKT5Scanner();
  TMirelKT5Scanner(const TMirelKT5Scanner&) = delete;
  TMirelKT5Scanner& operator=(const TMirelKT5Scanner&) = delete;

  // Main thread. False, changing nothing, while a search is running; a
  // request is refused, never queued. `callback` runs on the scanner thread.
  bool StartSearch(const std::string& targetPort, TPortFoundEvent callback);
  bool Busy() const { return busy_; }
  // The thread is waiting for a request.
  bool Waiting() const { return waiting_; }

private:
  void Execute();
  std::string Search();
  void ProbeAllPorts(std::vector<std::string>& list);
  bool ProbePort(TMirelKT5CommCompo& compo, const std::string& portName);
  std::unique_ptr<TMirelKT5CommCompo> NewCompo() const;
  void NoteIfDenied(const std::exception& e, const std::string& portName);
  // The search's end: the ports denied (when nothing was found), then the result.
  void Report(const std::string& found);

  TPortLister ports_;
  TSerialDeviceFactory deviceFactory_;
  TPortDeniedEvent onPortDenied_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool wakeSet_ = false;
  bool terminated_ = false;
  std::atomic<bool> busy_{false};
  std::atomic<bool> waiting_{false};
  // Written only while not busy, read by the thread only while busy.
  std::string targetPort_;
  TPortFoundEvent onPortFound_;
  // The ports of this search that were denied; the thread's own.
  std::vector<std::string> denied_;
  std::thread thread_;
};

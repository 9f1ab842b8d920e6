#pragma once

#include "CallPlan.h"
#include "HistoryReader.h"
#include "LogTail.h"
#include "ProgramProcess.h"
#include "fakes/AdapterSimProcess.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

// What a soak run measured.
struct TSoakFigures {
  int Placed = 0;
  int Stalled = 0; // calls the program did not complete in time
  long ResidentStartKiB = 0, ResidentEndKiB = 0;
  int FdsStart = 0, FdsEnd = 0;
  std::vector<double> ReconnectSeconds;
  int ExitCode = -1;
};

// The real teloria2 in a program folder of its own (offscreen), connected
// to the virtual adapter on a pseudo-terminal, taking one call after the
// other. Each call is played once the previous one is complete in the
// program's history, so the run goes as fast as the program can take calls.
class TSoakDriver {
public:
  TSoakDriver(std::string binFolder, std::string home);
  ~TSoakDriver();

  // False (with a message on stderr) when the program does not connect.
  bool Start();
  // Plays a call and waits until the history shows it complete.
  void PlaceCall(const TSoakCall& call);
  // Pulls the adapter, waits until the program notices, plugs it back and
  // waits until the program has connected again.
  bool Replug();
  // Reads the end figures and ends the program as a user would.
  void Finish();

  bool ProgramRunning() { return program_ && program_->Running(); }
  THistoryReader& History() { return history_; }
  TSoakFigures& Figures() { return figures_; }

private:
  void StartProgram();
  void Measure(long& residentKiB, int& fds);
  // Waits for a log line that contains `text`; returns it, or "" on time-out.
  std::string AwaitLogLine(const std::string& text, int timeoutMs);
  bool AwaitCall(const TSoakCall& call, int count, int state);

  std::string bin_;
  std::string home_;
  std::unique_ptr<TAdapterSimProcess> adapter_;
  std::unique_ptr<TProgramProcess> program_;
  TLogTail log_;
  std::deque<std::string> unread_; // log lines after the last one awaited
  THistoryReader history_;
  TSoakFigures figures_;
};

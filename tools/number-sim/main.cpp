// teloria2-number-sim: the number-sending simulator, the outside peer of the
// main program's simulator mode. Sends simulated call events and answers
// memory reads through the program's shared memory and messages.
#include "CommandLine.h"
#include "MainWindowLink.h"
#include "MemoryFile.h"
#include "MemoryServer.h"
#include "Output.h"

#include <csignal>
#include <cstdio>
#include <exception>

namespace {

int Serve(const std::string& memoryFile) {
  TMemoryServer server(memoryFile.empty() ? TMemoryRecords{} : LoadMemoryFile(memoryFile));
  return server.Run();
}

int Run(const TCommandLine& line) {
  switch (line.Mode) {
  case TCommandLine::TMode::Query:
    return RunQuery();
  case TCommandLine::TMode::Call:
    return RunCall(line.Call);
  case TCommandLine::TMode::Serve:
    return Serve(line.MemoryFile);
  }
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  const std::optional<TCommandLine> line = ParseCommandLine(argc, argv);
  if (!line) {
    std::fputs(Usage, stderr);
    return 2;
  }
  try {
    return Run(*line);
  } catch (const std::exception& e) {
    PrintError(e.what());
    return 1;
  }
}

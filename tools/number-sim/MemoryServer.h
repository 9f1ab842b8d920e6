#pragma once

#include <cstdint>

#include "MemoryFile.h"

// `serve`: stands in for the adapter's memory. Publishes this process's
// window for the main program, answers each memory read by writing the
// decoded record into the program's memory block, and ends when standard
// input closes or SIGTERM, SIGINT or SIGHUP arrives.
class TMemoryServer {
public:
  explicit TMemoryServer(TMemoryRecords records) : records_(std::move(records)) {}
  // Returns the exit code.
  int Run();

private:
  uint32_t Answer(uint32_t message, uint32_t wParam);
  uint32_t ReadMemory(uint32_t index);

  TMemoryRecords records_;
};

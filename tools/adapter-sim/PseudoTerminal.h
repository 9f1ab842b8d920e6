#pragma once

#include "base/UniqueFd.h"

#include <string>

// One pseudo-terminal pair; the slave side is the adapter's device node.
// Closing it is what the program sees when the USB adapter is pulled: the
// slave hangs up and its /dev/pts path goes away.
class TPseudoTerminal {
public:
  // Opens a raw, non-blocking master; throws Exception on failure.
  TPseudoTerminal();

  int MasterFd() const { return master_.Get(); }
  const std::string& DevicePath() const { return devicePath_; }

private:
  TUniqueFd master_;
  // Held so that the master never reports a hang-up while the program has the
  // port closed; it closes with the master, so the program still sees one.
  TUniqueFd slave_;
  std::string devicePath_;
};

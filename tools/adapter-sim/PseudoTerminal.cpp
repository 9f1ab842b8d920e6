#include "PseudoTerminal.h"

#include "base/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>

namespace {

[[noreturn]] void Fail(const char* call) {
  throw Exception(std::string(call) + ": " + std::strerror(errno));
}

} // namespace

TPseudoTerminal::TPseudoTerminal() {
  master_.Reset(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!master_.Valid())
    Fail("posix_openpt");
  if (grantpt(master_.Get()) != 0)
    Fail("grantpt");
  if (unlockpt(master_.Get()) != 0)
    Fail("unlockpt");
  char name[128];
  if (ptsname_r(master_.Get(), name, sizeof name) != 0)
    Fail("ptsname_r");
  devicePath_ = name;
  slave_.Reset(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave_.Valid())
    Fail("open slave");
  // No echo, no line editing, no translation: bytes pass as the adapter sends them.
  termios settings{};
  if (tcgetattr(slave_.Get(), &settings) != 0)
    Fail("tcgetattr");
  cfmakeraw(&settings);
  if (tcsetattr(slave_.Get(), TCSANOW, &settings) != 0)
    Fail("tcsetattr");
}

// teloria2-adapter-sim: a virtual caller-ID adapter on a pseudo-terminal,
// driven line by line from standard input.
#include "AdapterSim.h"

#include "base/Text.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <string_view>

namespace {

bool ParseOptions(int argc, char** argv, TAdapterSim::TOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (i + 1 >= argc)
      return false;
    if (name == "--link")
      options.LinkPath = argv[++i];
    else if (name != "--reply-delay" || !TryParseInt32(argv[++i], options.ReplyDelayMs) ||
             options.ReplyDelayMs < 0)
      return false;
  }
  return true;
}

} // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  TAdapterSim::TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs("usage: teloria2-adapter-sim [--link PATH] [--reply-delay MS]\n", stderr);
    return 2;
  }
  try {
    TAdapterSim sim(options);
    sim.Run();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "teloria2-adapter-sim: %s\n", e.what());
    return 1;
  }
}

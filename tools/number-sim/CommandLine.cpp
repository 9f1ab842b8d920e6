#include "CommandLine.h"

#include "base/Text.h"

#include <string_view>
#include <vector>

namespace {

using TArgs = std::vector<std::string_view>;

bool ParseSeconds(std::string_view text, std::optional<int>& seconds) {
  int value = 0;
  if (!TryParseInt32(text, value) || value < 0)
    return false;
  seconds = value;
  return true;
}

// KIND GROUP [NUMBER] with --ring S and --talk T anywhere among them.
bool ParseCall(const TArgs& args, TCallRequest& call) {
  std::vector<std::string_view> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--ring" || args[i] == "--talk") {
      std::optional<int>& seconds = args[i] == "--ring" ? call.RingSeconds : call.TalkSeconds;
      if (i + 1 >= args.size() || !ParseSeconds(args[++i], seconds))
        return false;
    } else {
      positional.push_back(args[i]);
    }
  }
  int kind = 0;
  if (positional.size() < 2 || positional.size() > 3 || !TryParseInt32(positional[0], kind) ||
      !IsCallKind(kind) || !TryParseInt32(positional[1], call.GroupNo))
    return false;
  call.Kind = static_cast<uint8_t>(kind);
  if (positional.size() == 3)
    call.Number = positional[2];
  return true;
}

bool ParseServe(const TArgs& args, std::string& memoryFile) {
  if (args.empty())
    return true;
  if (args.size() != 2 || args[0] != "--memory")
    return false;
  memoryFile = args[1];
  return true;
}

} // namespace

std::optional<TCommandLine> ParseCommandLine(int argc, const char* const* argv) {
  if (argc < 2)
    return std::nullopt;
  const std::string_view mode = argv[1];
  const TArgs args(argv + 2, argv + argc);
  TCommandLine line;
  if (mode == "query" && args.empty()) {
    line.Mode = TCommandLine::TMode::Query;
  } else if (mode == "call" && ParseCall(args, line.Call)) {
    line.Mode = TCommandLine::TMode::Call;
  } else if (mode == "serve" && ParseServe(args, line.MemoryFile)) {
    line.Mode = TCommandLine::TMode::Serve;
  } else {
    return std::nullopt;
  }
  return line;
}

#include "CommandParser.h"

#include "base/Text.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <vector>

namespace {

using TArgs = std::vector<std::string>;

std::vector<std::string> Tokens(std::string_view line) {
  std::vector<std::string> tokens;
  size_t pos = 0;
  while (pos < line.size()) {
    const size_t start = line.find_first_not_of(" \t\r", pos);
    if (start == std::string_view::npos)
      break;
    const size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
    tokens.emplace_back(line.substr(start, end - start));
    pos = end;
  }
  return tokens;
}

void RequireCount(const TArgs& args, size_t least, size_t most, const char* usage) {
  if (args.size() < least || args.size() > most)
    throw ECommandError(std::string("usage: ") + usage);
}

// Printable ASCII only: the body of a packet must never hold STX or ETX.
bool IsPrintable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < '\x7f'; });
}

std::string DateTimeField(const TArgs& args, size_t at, TDateTime adapterNow) {
  if (args.size() <= at)
    return EncodeDateTimeField(adapterNow);
  const std::string& field = args[at];
  if (field.size() != DateTimeFieldWidth || !IsPrintable(field))
    throw ECommandError("bad date-time field (9 characters, MMDDwHHNN): " + field);
  return field;
}

std::string NumberText(const std::string& text) {
  if (text == "-")
    return "";
  if (text.size() > NumberFieldWidth || !IsPrintable(text))
    throw ECommandError("bad number (up to 20 printable characters, - for none): " + text);
  return text;
}

int MemoryIndex(const std::string& text) {
  int index = 0;
  if (!TryParseInt32(text, index) || index < 1 || index > MemorySlots)
    throw ECommandError("bad memory index (1 to 30): " + text);
  return index;
}

std::string HexBytes(const TArgs& args) {
  std::string bytes;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& token = args[i];
    if (token.size() % 2 != 0 || !std::all_of(token.begin(), token.end(), [](char c) {
          return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        }))
      throw ECommandError("bad hex bytes: " + token);
    for (size_t at = 0; at < token.size(); at += 2)
      bytes += static_cast<char>(std::stoi(token.substr(at, 2), nullptr, 16));
  }
  return bytes;
}

TSimCommand Write(std::string bytes) {
  TSimCommand command;
  command.Bytes = std::move(bytes);
  return command;
}

TSimCommand Plain(TSimCommand::TKind kind) {
  TSimCommand command;
  command.Kind = kind;
  return command;
}

TSimCommand Hook(const char* letters, const TArgs& args, TDateTime now, const char* usage) {
  RequireCount(args, 1, 2, usage);
  return Write(EncodeHook(letters, DateTimeField(args, 1, now)));
}

TSimCommand ParseHook(const TArgs& args, TDateTime now) {
  RequireCount(args, 2, 3, "hook LETTERS [FIELD]");
  if (args[1].size() != 2 || !IsPrintable(args[1]))
    throw ECommandError("bad hook letters (2 characters): " + args[1]);
  return Write(EncodeHook(args[1], DateTimeField(args, 2, now)));
}

TSimCommand ParseNumber(const TArgs& args, TDateTime now) {
  RequireCount(args, 2, 3, "number TEXT [FIELD]");
  return Write(EncodeNumber(NumberText(args[1]), DateTimeField(args, 2, now)));
}

TSimCommand ParseRaw(const TArgs& args) {
  if (args.size() < 2)
    throw ECommandError("usage: raw HEX...");
  return Write(HexBytes(args));
}

TSimCommand ParseSleep(const TArgs& args) {
  RequireCount(args, 2, 2, "sleep MS");
  TSimCommand command = Plain(TSimCommand::TKind::Sleep);
  if (!TryParseInt32(args[1], command.SleepMs) || command.SleepMs < 0)
    throw ECommandError("bad milliseconds: " + args[1]);
  return command;
}

TSimCommand ParseMemory(const TArgs& args) {
  RequireCount(args, 6, 6, "memory INDEX FIELD TEXT FIELD OF|UR");
  TSimCommand command = Plain(TSimCommand::TKind::SetMemory);
  command.Index = MemoryIndex(args[1]);
  if (args[5] != "OF" && args[5] != "UR")
    throw ECommandError("bad memory letters (OF or UR): " + args[5]);
  TMemoryRecord record;
  record.IncomingField = DateTimeField(args, 2, 0);
  record.Number = NumberText(args[3]);
  record.EventField = DateTimeField(args, 4, 0);
  record.Letters = args[5];
  command.Record = record;
  return command;
}

TSimCommand ParseMemoryEmpty(const TArgs& args) {
  RequireCount(args, 2, 2, "memory-empty INDEX");
  TSimCommand command = Plain(TSimCommand::TKind::SetMemory);
  command.Index = MemoryIndex(args[1]);
  return command;
}

TSimCommand ParseBare(const TArgs& args, TSimCommand::TKind kind) {
  if (args.size() != 1)
    throw ECommandError(args[0] + " takes no arguments");
  return Plain(kind);
}

using TParser = std::function<TSimCommand(const TArgs&, TDateTime)>;

const std::map<std::string, TParser, std::less<>>& Parsers() {
  using K = TSimCommand::TKind;
  static const std::map<std::string, TParser, std::less<>> parsers{
      {"ring",
       [](const TArgs& a, TDateTime) {
         ParseBare(a, K::Write);
         return Write(EncodeRing());
       }},
      {"number", ParseNumber},
      {"offhook", [](const TArgs& a, TDateTime n) { return Hook("OF", a, n, "offhook [FIELD]"); }},
      {"onhook", [](const TArgs& a, TDateTime n) { return Hook("ON", a, n, "onhook [FIELD]"); }},
      {"unanswered",
       [](const TArgs& a, TDateTime n) { return Hook("UR", a, n, "unanswered [FIELD]"); }},
      {"hook", ParseHook},
      {"raw", [](const TArgs& a, TDateTime) { return ParseRaw(a); }},
      {"sleep", [](const TArgs& a, TDateTime) { return ParseSleep(a); }},
      {"memory", [](const TArgs& a, TDateTime) { return ParseMemory(a); }},
      {"memory-empty", [](const TArgs& a, TDateTime) { return ParseMemoryEmpty(a); }},
      {"unplug", [](const TArgs& a, TDateTime) { return ParseBare(a, K::Unplug); }},
      {"replug", [](const TArgs& a, TDateTime) { return ParseBare(a, K::Replug); }},
      {"quit", [](const TArgs& a, TDateTime) { return ParseBare(a, K::Quit); }},
  };
  return parsers;
}

} // namespace

TSimCommand ParseCommand(std::string_view line, TDateTime adapterNow) {
  const TArgs args = Tokens(line);
  if (args.empty())
    throw ECommandError("empty command");
  const auto found = Parsers().find(args[0]);
  if (found == Parsers().end())
    throw ECommandError("unknown command: " + args[0]);
  return found->second(args, adapterNow);
}

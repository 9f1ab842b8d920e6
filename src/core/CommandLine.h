#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The verbs of teloria2's command line, beside "-shutdown" and "-arun" (and
// the launcher's "-autorun"), which keep their meaning: every other argument
// is still ignored.
//   -shutdown      only as the first argument: ask the running instance to
//                  close; the rest of the line is ignored
//   -show WINDOW   open a window of the running instance (start one first
//                  when none runs)
//   -exit          close the running instance, like the menu's 終了
//   -help, --help, -h
//   -headless      (not a verb) run without windows, tray or boxes
//   -notify        (not a verb) a window that cannot open is also told in a
//                  balloon (the desktop entry's actions pass it: no one
//                  reads their exit code or stderr)
enum class TProgramWindow : uint32_t {
  None = 0,
  MirelMemory = 1,
  PhoneList = 2,
  IncomingHistory = 3,
  NewEntry = 4,
  NumberDisplay = 5,
  Settings = 6,
  About = 7,
};

enum class TCommandVerb { None, Shutdown, Show, Exit, Help, Usage };

struct TCommandLine {
  TCommandVerb Verb = TCommandVerb::None;
  TProgramWindow Window = TProgramWindow::None; // for Show
  std::string Error;                            // for Usage: what was wrong
  bool Headless = false;
  bool Notify = false;
};

// Arguments argv-style: [0] is the program. "-shutdown" exactly, as the
// first argument, wins over the rest. Otherwise one verb at most; "-show"
// with a missing or unknown window, or a second verb, is a usage error.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);
// The word of a window after "-show" ("" for None).
std::string WindowWord(TProgramWindow window);
// The text "teloria2 -help" prints.
std::string UsageText();

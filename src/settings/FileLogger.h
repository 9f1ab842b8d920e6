#pragma once

#include "base/UniqueFd.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "base/Text.h"

#include <fmt/printf.h>
#include <type_traits>

enum TLogLevel { llDebug = 0, llInfo = 1, llWarning = 2, llError = 3, llFatal = 4 };

// A set of levels: bit n stands for the level of value n.
using TLogLevels = uint8_t;
constexpr TLogLevels AllLogLevels = 0x1F;

// Tag written into each line, seven characters wide ("[info ]").
const char* LogLevelTag(TLogLevel level);

// What SetLogDir made of a folder.
enum class TLogFolder { Used, Unusable, NotPrivate };

// One daily file per logger: <LogDir><Prefix>.yyyymmdd.log, CP932, every line
// written with one write() and flushed to disk. Safe to call from any thread;
// never raises for file-system reasons (an unusable folder disables it).
class TFileLogger {
public:
  explicit TFileLogger(std::string prefix) : prefix_(std::move(prefix)) {}
  TFileLogger(const TFileLogger&) = delete;
  TFileLogger& operator=(const TFileLogger&) = delete;

  // An absolute folder ("/...") is used as it is; anything else lies in the
  // program folder. Created with its parents when missing. Used only when
  // the user owns it and no one else may write in it, as the lines name
  // callers: a folder of another user, or open to others, is NotPrivate.
  // The logger is disabled unless the result is Used.
  TLogFolder SetLogDir(const std::string& dir);
  void WriteLine(TLogLevel level, std::string_view text);
  // The texts filled into the format lose their control characters: a value
  // from outside (a received id, a broker's reply) can neither forge a line
  // nor reach the terminal that shows the log. The format's own breaks stay.
  template <typename... Args>
  void WriteFmt(TLogLevel level, std::string_view format, const Args&... args) {
    WriteLine(level, fmt::sprintf(format, Printable(args)...));
  }
  // Deletes this logger's files dated before today minus `days`; a negative
  // `days` deletes nothing.
  void DeleteOldFiles(int days);
  // Closes the open file; the next line opens it again (used at program end).
  void Close();

  bool Enabled() const;
  std::string LogDir() const;
  const std::string& Prefix() const { return prefix_; }
  TLogLevels Levels() const;
  void SetLevels(TLogLevels levels);

private:
  template <typename T> static decltype(auto) Printable(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>)
      return WithoutControlCharacters(value);
    else
      return value;
  }

  void OpenFileFor(int day);

  const std::string prefix_;
  mutable std::mutex mutex_;
  bool enabled_ = false;
  std::string logDir_;
  // The folder as it was checked: files are opened in it, not by its path.
  TUniqueFd folder_;
  int fileDay_ = 0;
  TUniqueFd file_;
  TLogLevels levels_ = AllLogLevels;
};

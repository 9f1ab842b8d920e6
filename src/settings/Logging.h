#pragma once

#include "settings/FileLogger.h"

#include <exception>
#include <string>

// "ksocti": everything; "scan": the detailed trace of the port scan.
extern TFileLogger MainLogger;
extern TFileLogger ScanLogger;

// 0 none; 1 warning and worse; 2 info and worse; 3 all; anything else none.
TLogLevels LevelsFromSetting(int logLevel);

void Log(TLogLevel level, std::string_view text);
template <typename... Args>
void LogFmt(TLogLevel level, std::string_view format, const Args&... args) {
  MainLogger.WriteFmt(level, format, args...);
}
// Text, a line break, "[原因] " and the exception's message, as one record.
void LogException(TLogLevel level, std::string_view text, const std::exception& e);

void ScanLog(std::string_view text);
template <typename... Args> void ScanLogFmt(std::string_view format, const Args&... args) {
  ScanLogger.WriteFmt(llDebug, format, args...);
}

// Opens both loggers from AppSettings (folders and levels), writing nothing:
// a process that only hands a request to the running instance logs just
// that. True when the log folder was not the user's own or was open to
// others, and the default one is used instead.
bool OpenLogging();

// The resident program's log, on every way out of its scope (an exception
// included): opens the loggers, writes the start banners, deletes old files;
// at the end writes the end banners with the same stamp and closes the files.
class TLogSession {
public:
  TLogSession();
  ~TLogSession();
  TLogSession(const TLogSession&) = delete;
  TLogSession& operator=(const TLogSession&) = delete;

private:
  const std::string startStamp_;
};

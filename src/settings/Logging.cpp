#include "settings/Logging.h"

#include "base/Clock.h"
#include "platform/ProgramPaths.h"
#include "settings/AppSettings.h"
#include "settings/FileVersion.h"

TFileLogger MainLogger("ksocti");
TFileLogger ScanLogger("scan");

TLogLevels LevelsFromSetting(int logLevel) {
  switch (logLevel) {
  case 1:
    return (1u << llWarning) | (1u << llError) | (1u << llFatal);
  case 2:
    return (1u << llInfo) | (1u << llWarning) | (1u << llError) | (1u << llFatal);
  case 3:
    return AllLogLevels;
  default:
    return 0;
  }
}

void Log(TLogLevel level, std::string_view text) {
  MainLogger.WriteLine(level, text);
}

void LogException(TLogLevel level, std::string_view text, const std::exception& e) {
  std::string record(text);
  record += "\r\n[原因] ";
  record += e.what();
  MainLogger.WriteLine(level, record);
}

void ScanLog(std::string_view text) {
  ScanLogger.WriteLine(llDebug, text);
}

void OpenLogging() {
  MainLogger.SetLogDir(AppSettings.LogDir);
  MainLogger.SetLevels(LevelsFromSetting(AppSettings.LogLevel));
  ScanLogger.SetLogDir(AppSettings.LogDir);
  ScanLogger.SetLevels(LevelsFromSetting(AppSettings.LogPortScan ? 3 : 0));
}

TLogSession::TLogSession() : startStamp_(FormatDateTime("yyyymmdd-hhnnss", Now())) {
  OpenLogging();
  MainLogger.WriteFmt(llInfo, "************ ログ開始:%s ************", startStamp_);
  MainLogger.DeleteOldFiles(AppSettings.LogExpire);
  MainLogger.WriteFmt(llInfo, "Path: %s", ExecutablePath());
  MainLogger.WriteFmt(llInfo, "Version: %s", GetFileVersionText(ExecutablePath()));
  ScanLogger.WriteFmt(llInfo, "************ ログ開始:%s ************", startStamp_);
  ScanLogger.DeleteOldFiles(1);
}

TLogSession::~TLogSession() {
  MainLogger.WriteFmt(llInfo, "************ ログ終了:%s ************", startStamp_);
  ScanLogger.WriteFmt(llInfo, "************ ログ終了:%s ************", startStamp_);
  MainLogger.Close();
  ScanLogger.Close();
}

#include "settings/Logging.h"

#include "base/Clock.h"
#include "platform/ProgramPaths.h"
#include "settings/AppSettings.h"
#include "settings/FileVersion.h"

#include <cstring>

TFileLogger MainLogger("ksocti");
TFileLogger ScanLogger("scan");

namespace {

// A log folder of another user, or one others may write in, would show them
// who called: the default folder is used instead. True when that happened.
bool OpenLogFolder(TFileLogger& logger) {
  if (logger.SetLogDir(AppSettings.LogDir) != TLogFolder::NotPrivate)
    return false;
  logger.SetLogDir(TAppSettings().LogDir);
  return true;
}

// What start-up could not use, said once the log is open.
void LogUnusedFiles(bool folderRefused) {
  if (folderRefused)
    LogFmt(llWarning,
           "ログフォルダ %s は他のユーザーが所有しているか、"
           "他のユーザーも書き込めるため使用しません。既定のログフォルダ %s に記録します。",
           AppSettings.LogDir, MainLogger.LogDir());
  if (AppSettings.ReadError != 0)
    LogFmt(llError, "設定ファイルを読み込めないため、既定の設定で動作します。File=[%s] %s",
           TAppSettings::FileName(), std::strerror(AppSettings.ReadError));
}

} // namespace

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

bool OpenLogging() {
  const bool folderRefused = OpenLogFolder(MainLogger);
  MainLogger.SetLevels(LevelsFromSetting(AppSettings.LogLevel));
  OpenLogFolder(ScanLogger);
  ScanLogger.SetLevels(LevelsFromSetting(AppSettings.LogPortScan ? 3 : 0));
  return folderRefused;
}

TLogSession::TLogSession() : startStamp_(FormatDateTime("yyyymmdd-hhnnss", Now())) {
  const bool folderRefused = OpenLogging();
  MainLogger.WriteFmt(llInfo, "************ ログ開始:%s ************", startStamp_);
  MainLogger.DeleteOldFiles(AppSettings.LogExpire);
  MainLogger.WriteFmt(llInfo, "Path: %s", ExecutablePath());
  MainLogger.WriteFmt(llInfo, "Version: %s", GetFileVersionText(ExecutablePath()));
  LogUnusedFiles(folderRefused);
  ScanLogger.WriteFmt(llInfo, "************ ログ開始:%s ************", startStamp_);
  ScanLogger.DeleteOldFiles(1);
}

TLogSession::~TLogSession() {
  MainLogger.WriteFmt(llInfo, "************ ログ終了:%s ************", startStamp_);
  ScanLogger.WriteFmt(llInfo, "************ ログ終了:%s ************", startStamp_);
  MainLogger.Close();
  ScanLogger.Close();
}

#pragma once

#include "base/Exception.h"

#include <optional>
#include <string>

class EAppSettingsError : public Exception {
public:
  using Exception::Exception;
};

// [Settings.Share]: calls shared through an MQTT broker. Fields are named
// after their keys.
struct TShareSettings {
  int Mode = 0; // 0 off; 1 send this PC's calls; 2 receive calls from the broker
  std::string Host = "localhost";
  int Port = 1883;
  std::string User;
  std::string Password;
  std::string CaFile; // TLS, verified against this CA, when set
  std::string Topic = "teloria2/office";
  bool HomeAssistant = false;
  // Hand-edited: this PC's name in shared messages (empty: its host name);
  // the stations a receiving PC takes calls from (comma-separated, empty:
  // any); how old a received call may be and still ring and pop up.
  std::string Station;
  std::string Stations;
  int StaleSeconds = 60;
  // Hand-edited: the station that holds the office's one phone book; unset,
  // a sending PC holds it itself; empty: this PC keeps a book of its own.
  std::optional<std::string> BookStation;

  bool operator==(const TShareSettings&) const = default;
};

// The settings of teloria2.ini. Fields are named after their keys.
class TAppSettings {
public:
  // [Settings], written by Save
  std::string MirelKT5Port;
  int DispSize = 0;
  std::string Memo1Caption = "メモ1";
  std::string Memo2Caption = "メモ2";
  std::string Memo3Caption = "メモ3";
  int IncomingDisplayMode = 1;
  bool ExecCmdEnabled = true;
  bool ShowIncomingPreview = false;
  bool PlayPreviewSound = false;
  bool UseDefaultSound = true;
  std::string SoundFileName;
  bool SetAutoDateTime = false;
  std::string ExecHour;
  std::string ExecMinute;
  bool AutoRun = false;
  // Read the adapter's stored calls into the history at each connection.
  bool MemoryCatchUp = true;
  // [Settings.Share], written by Save
  TShareSettings Share;
  // [Settings], hand-edited only
  int PhoneLimit = 10000;
  int IncomingLimit = 3000;
  // [Settings.Logging], hand-edited only
  std::string LogDir = "logs";
  int LogLevel = 2;
  int LogExpire = 7;
  bool LogPortScan = false;
  // Not a key: the errno of a read of teloria2.ini that failed otherwise
  // than by a missing file (the defaults are used then); 0 when read.
  int ReadError = 0;

  // Program folder + "teloria2.ini".
  static std::string FileName();

  // Every key with its default when missing or unreadable; never fails.
  // The file is read once.
  void Load();
  // The fifteen user keys of [Settings] and [Settings.Share]; other keys in
  // the file stay. Throws
  // EAppSettingsError "<path> に書き込めません" when the file cannot be written.
  void Save() const;
  // Copies the fields that Save writes.
  void Assign(const TAppSettings& source);
};

extern TAppSettings AppSettings;

// Whether other users may read teloria2.ini, which may hold the broker's password.
bool SettingsFileReadableByOthers();

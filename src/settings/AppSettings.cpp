#include "settings/AppSettings.h"

#include "base/IniFile.h"
#include "platform/ProgramPaths.h"

#include <fmt/printf.h>
#include <sys/stat.h>

TAppSettings AppSettings;

namespace {

const char* const kSettings = "Settings";
const char* const kLogging = "Settings.Logging";
const char* const kShare = "Settings.Share";

bool ReadBool(const TIniFile& ini, const char* section, const char* key, bool defaultValue) {
  return ini.ReadInteger(section, key, defaultValue ? 1 : 0) == 1;
}

void LoadShare(const TIniFile& ini, TShareSettings& s) {
  const TShareSettings d;
  s.Mode = ini.ReadInteger(kShare, "Mode", d.Mode);
  s.Host = ini.ReadString(kShare, "Host", d.Host);
  s.Port = ini.ReadInteger(kShare, "Port", d.Port);
  s.User = ini.ReadString(kShare, "User", d.User);
  s.Password = ini.ReadString(kShare, "Password", d.Password);
  s.CaFile = ini.ReadString(kShare, "CaFile", d.CaFile);
  s.Topic = ini.ReadString(kShare, "Topic", d.Topic);
  s.HomeAssistant = ReadBool(ini, kShare, "HomeAssistant", d.HomeAssistant);
  s.Station = ini.ReadString(kShare, "Station", d.Station);
  s.Stations = ini.ReadString(kShare, "Stations", d.Stations);
  s.StaleSeconds = ini.ReadInteger(kShare, "StaleSeconds", d.StaleSeconds);
  // A key left out differs from a key left empty.
  const char* const unset = "\x01";
  const std::string book = ini.ReadString(kShare, "BookStation", unset);
  s.BookStation = book == unset ? std::nullopt : std::optional(book);
}

bool SaveShare(TIniFile& ini, const TShareSettings& s) {
  const auto text = [&ini](const char* key, const std::string& value) {
    return ini.WriteString(kShare, key, value);
  };
  const auto number = [&ini](const char* key, int value) {
    return ini.WriteInteger(kShare, key, value);
  };
  return number("Mode", s.Mode) && text("Host", s.Host) && number("Port", s.Port) &&
         text("User", s.User) && text("Password", s.Password) && text("CaFile", s.CaFile) &&
         text("Topic", s.Topic) && number("HomeAssistant", s.HomeAssistant);
}

constexpr mode_t kOthersMayRead = S_IRGRP | S_IROTH;

} // namespace

bool SettingsFileReadableByOthers() {
  struct stat st {};
  return ::stat(TAppSettings::FileName().c_str(), &st) == 0 && (st.st_mode & kOthersMayRead) != 0;
}

std::string TAppSettings::FileName() {
  return ProgramFolder() + "/teloria2.ini";
}

void TAppSettings::Load() {
  const TIniFile ini(FileName());
  const TAppSettings d;
  ReadError = ini.LastError();
  MirelKT5Port = ini.ReadString(kSettings, "MirelKT5Port", d.MirelKT5Port);
  DispSize = ini.ReadInteger(kSettings, "DispSize", d.DispSize);
  Memo1Caption = ini.ReadString(kSettings, "Memo1Caption", d.Memo1Caption);
  Memo2Caption = ini.ReadString(kSettings, "Memo2Caption", d.Memo2Caption);
  Memo3Caption = ini.ReadString(kSettings, "Memo3Caption", d.Memo3Caption);
  IncomingDisplayMode = ini.ReadInteger(kSettings, "IncomingDisplayMode", d.IncomingDisplayMode);
  ExecCmdEnabled = ReadBool(ini, kSettings, "ExecCmdEnabled", d.ExecCmdEnabled);
  ShowIncomingPreview = ReadBool(ini, kSettings, "ShowIncomingPreview", d.ShowIncomingPreview);
  PlayPreviewSound = ReadBool(ini, kSettings, "PlayPreviewSound", d.PlayPreviewSound);
  UseDefaultSound = ReadBool(ini, kSettings, "UseDefaultSound", d.UseDefaultSound);
  SoundFileName = ini.ReadString(kSettings, "SoundFileName", d.SoundFileName);
  SetAutoDateTime = ReadBool(ini, kSettings, "SetAutoDateTime", d.SetAutoDateTime);
  ExecHour = ini.ReadString(kSettings, "ExecHour", d.ExecHour);
  ExecMinute = ini.ReadString(kSettings, "ExecMinute", d.ExecMinute);
  AutoRun = ReadBool(ini, kSettings, "AutoRun", d.AutoRun);
  MemoryCatchUp = ReadBool(ini, kSettings, "MemoryCatchUp", d.MemoryCatchUp);
  PhoneLimit = ini.ReadInteger(kSettings, "PhoneLimit", d.PhoneLimit);
  IncomingLimit = ini.ReadInteger(kSettings, "IncomingLimit", d.IncomingLimit);
  LogDir = ini.ReadString(kLogging, "LogDir", d.LogDir);
  LogLevel = ini.ReadInteger(kLogging, "LogLevel", d.LogLevel);
  LogExpire = ini.ReadInteger(kLogging, "LogExpire", d.LogExpire);
  LogPortScan = ReadBool(ini, kLogging, "LogPortScan", d.LogPortScan);
  LoadShare(ini, Share);
}

void TAppSettings::Save() const {
  // A broker password is written into a file only its owner can read; each
  // rewrite below keeps the file's mode.
  if (!Share.Password.empty() && SettingsFileReadableByOthers())
    ::chmod(FileName().c_str(), S_IRUSR | S_IWUSR);
  TIniFile ini(FileName());
  const auto text = [&ini](const char* key, const std::string& value) {
    return ini.WriteString(kSettings, key, value);
  };
  const auto number = [&ini](const char* key, int value) {
    return ini.WriteInteger(kSettings, key, value);
  };
  const bool ok =
      text("MirelKT5Port", MirelKT5Port) && number("DispSize", DispSize) &&
      text("Memo1Caption", Memo1Caption) && text("Memo2Caption", Memo2Caption) &&
      text("Memo3Caption", Memo3Caption) && number("IncomingDisplayMode", IncomingDisplayMode) &&
      number("ExecCmdEnabled", ExecCmdEnabled) &&
      number("ShowIncomingPreview", ShowIncomingPreview) &&
      number("PlayPreviewSound", PlayPreviewSound) && number("UseDefaultSound", UseDefaultSound) &&
      text("SoundFileName", SoundFileName) && number("SetAutoDateTime", SetAutoDateTime) &&
      text("ExecHour", ExecHour) && text("ExecMinute", ExecMinute) && number("AutoRun", AutoRun) &&
      number("MemoryCatchUp", MemoryCatchUp) && SaveShare(ini, Share);
  if (!ok)
    throw EAppSettingsError(fmt::sprintf("%s に書き込めません", ini.FileName()));
}

void TAppSettings::Assign(const TAppSettings& source) {
  MirelKT5Port = source.MirelKT5Port;
  DispSize = source.DispSize;
  Memo1Caption = source.Memo1Caption;
  Memo2Caption = source.Memo2Caption;
  Memo3Caption = source.Memo3Caption;
  IncomingDisplayMode = source.IncomingDisplayMode;
  ExecCmdEnabled = source.ExecCmdEnabled;
  ShowIncomingPreview = source.ShowIncomingPreview;
  PlayPreviewSound = source.PlayPreviewSound;
  UseDefaultSound = source.UseDefaultSound;
  SoundFileName = source.SoundFileName;
  SetAutoDateTime = source.SetAutoDateTime;
  ExecHour = source.ExecHour;
  ExecMinute = source.ExecMinute;
  AutoRun = source.AutoRun;
  MemoryCatchUp = source.MemoryCatchUp;
  Share = source.Share;
}

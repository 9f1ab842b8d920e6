#include "ui/AutostartEntry.h"

#include "base/Exception.h"
#include "data/FileBytes.h"
#include "platform/ProgramPaths.h"
#include "platform/UserFolders.h"

#include <filesystem>
#include <fmt/printf.h>

namespace fs = std::filesystem;

namespace {

// One Exec argument: always quoted, with the characters that are special
// inside quotes escaped, and "%" doubled so it is not a field code.
std::string QuoteExecArgument(const std::string& arg) {
  std::string quoted = "\"";
  for (const char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      quoted += '\\';
    if (c == '%')
      quoted += '%';
    quoted += c;
  }
  return quoted + "\"";
}

// The key-file layer beneath: backslashes and control characters of a value.
std::string EscapeValue(const std::string& value) {
  std::string escaped;
  for (const char c : value) {
    switch (c) {
    case '\\':
      escaped += "\\\\";
      break;
    case '\n':
      escaped += "\\n";
      break;
    case '\r':
      escaped += "\\r";
      break;
    case '\t':
      escaped += "\\t";
      break;
    default:
      escaped += c;
    }
  }
  return escaped;
}

[[noreturn]] void CannotWrite(const std::string& path) {
  throw Exception(fmt::sprintf("%s に書き込めません", path));
}

void WriteEntry(const std::string& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  // Written beside and renamed, so a half-written entry never runs.
  TPendingFile entry(path);
  if (!entry.Write(text) || !entry.Replace())
    CannotWrite(path);
}

} // namespace

std::string AutostartEntryPath() {
  return XdgBaseFolder("XDG_CONFIG_HOME", ".config") + "/autostart/teloria2.desktop";
}

std::string AutostartEntryText(const std::string& launcherPath) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Teloria II\n"
         "Comment=Teloria II をログオン時に起動します\n"
         // Desktops skip the entry quietly once the program is uninstalled.
         "TryExec=" +
         EscapeValue(launcherPath) +
         "\n"
         "Exec=" +
         EscapeValue(QuoteExecArgument(launcherPath)) +
         "\n"
         "Terminal=false\n"
         "NoDisplay=true\n"
         "X-GNOME-Autostart-enabled=true\n";
}

void UpdateAutostartEntry(bool autoRun) {
  const std::string path = AutostartEntryPath();
  if (autoRun) {
    WriteEntry(path, AutostartEntryText(ExecutableFolder() + "/teloria2-launcher"));
    return;
  }
  std::error_code ec;
  fs::remove(path, ec);
  if (ec)
    CannotWrite(path);
}

#include "ui/WindowState.h"

#include "base/IniFile.h"
#include "base/Text.h"
#include "platform/ProgramPaths.h"
#include "settings/Logging.h"

#include <QAbstractItemModel>
#include <QTableView>
#include <QWidget>
#include <cstring>
#include <fmt/format.h>

namespace {

int IntOr(const std::string& text, int fallback) {
  int value = fallback;
  return TryParseInt32(Trim(text), value) ? value : fallback;
}

int ColumnCount(const QTableView& grid) {
  return grid.model() != nullptr ? grid.model()->columnCount() : 0;
}

void LogUnsaved(const TIniFile& ini, const std::string& section) {
  LogFmt(llError, "ウィンドウの状態を保存できません。[%s] File=[%s] %s", section, ini.FileName(),
         std::strerror(ini.LastError()));
}

} // namespace

std::string WindowStateFileName() {
  return ProgramFolder() + "/teloria2.states.ini";
}

void SaveWindowState(const std::string& section, const QWidget& form) {
  TIniFile ini(WindowStateFileName());
  const int state = form.isMaximized() ? 2 : form.isMinimized() ? 1 : 0;
  const std::string posSize =
      fmt::format("{},{},{},{}", form.x(), form.y(), form.width(), form.height());
  if (!ini.WriteInteger(section, "WindowState", state) ||
      (state != 2 && !ini.WriteString(section, "PosSize", posSize)))
    LogUnsaved(ini, section);
}

void RestoreWindowState(const std::string& section, QWidget& form) {
  const TIniFile ini(WindowStateFileName());
  if (!ini.SectionExists(section))
    return;
  const std::vector<std::string> items = SplitString(ini.ReadString(section, "PosSize", ""), ',');
  if (items.size() >= 4) {
    form.move(IntOr(items[0], 0), IntOr(items[1], 0));
    form.resize(IntOr(items[2], 100), IntOr(items[3], 100));
  }
  switch (ini.ReadInteger(section, "WindowState", 0)) {
  case 0:
  case 1:
    form.setWindowState(form.windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    break;
  case 2:
    form.setWindowState((form.windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    break;
  default:
    break;
  }
}

void SaveColWidths(const std::string& section, const QTableView& grid) {
  std::string widths;
  for (int c = 0; c < ColumnCount(grid); ++c)
    widths += (c == 0 ? "" : ",") + std::to_string(grid.columnWidth(c));
  TIniFile ini(WindowStateFileName());
  if (!ini.WriteString(section, "ColWidths", widths))
    LogUnsaved(ini, section);
}

void RestoreColWidths(const std::string& section, QTableView& grid) {
  const TIniFile ini(WindowStateFileName());
  if (!ini.SectionExists(section))
    return;
  const std::vector<std::string> items = SplitString(ini.ReadString(section, "ColWidths", ""), ',');
  if (static_cast<int>(items.size()) != ColumnCount(grid))
    return;
  for (int c = 1; c < ColumnCount(grid); ++c)
    grid.setColumnWidth(c, std::max(10, IntOr(items[static_cast<size_t>(c)], 0)));
}

void SaveFormAndGrid(const std::string& section, const QWidget& form, const QTableView& grid) {
  SaveWindowState(section, form);
  SaveColWidths(section, grid);
}

void RestoreFormAndGrid(const std::string& section, QWidget& form, QTableView& grid) {
  RestoreWindowState(section, form);
  RestoreColWidths(section, grid);
}

#include "data/SQLiteTable.h"

#include "base/Utf8Text.h"
#include "data/FloatText.h"
#include "data/SQLiteError.h"

TSQLiteTable::TSQLiteTable(std::vector<std::string> columnNames, std::vector<TColumnKind> kinds,
                           std::vector<TSQLiteCell> cells)
    : names_(std::move(columnNames)), kinds_(std::move(kinds)), cells_(std::move(cells)) {}

bool TSQLiteTable::Next() {
  if (AtEnd())
    return false;
  ++cursor_;
  return true;
}

int TSQLiteTable::RowCount() const {
  return names_.empty() ? 0 : static_cast<int>(cells_.size() / names_.size());
}

const std::string& TSQLiteTable::ColumnName(int index) const {
  return names_.at(static_cast<size_t>(index));
}

TColumnKind TSQLiteTable::ColumnKind(int index) const {
  return kinds_.at(static_cast<size_t>(index));
}

size_t TSQLiteTable::CellIndex(int index) const {
  if (AtEnd())
    throw ESQLiteException("Table is at End of File");
  if (index < 0 || index >= ColumnCount())
    throw ESQLiteException("Column index out of range (" + std::to_string(index) + ")");
  return static_cast<size_t>(cursor_) * names_.size() + static_cast<size_t>(index);
}

const TSQLiteCell& TSQLiteTable::Cell(int index) const {
  return cells_[CellIndex(index)];
}

bool TSQLiteTable::IsNull(int index) const {
  return std::holds_alternative<std::monostate>(Cell(index));
}

std::string TSQLiteTable::ValueAsText(int index) const {
  const TSQLiteCell& cell = Cell(index);
  switch (kinds_[static_cast<size_t>(index)]) {
  case ckInteger:
    return std::to_string(std::holds_alternative<std::int64_t>(cell) ? std::get<std::int64_t>(cell)
                                                                     : 0);
  case ckFloat:
    return FloatToStr(std::holds_alternative<double>(cell) ? std::get<double>(cell) : 0.0);
  case ckText:
    return std::holds_alternative<std::string>(cell) ? std::get<std::string>(cell) : std::string();
  case ckBlob:
    return std::holds_alternative<std::string>(cell) ? Utf8OrEmpty(std::get<std::string>(cell))
                                                     : std::string();
  case ckNull:
    break;
  }
  return {};
}

std::string TSQLiteTable::TakeValueText(int index) {
  TSQLiteCell& cell = cells_[CellIndex(index)];
  if (kinds_[static_cast<size_t>(index)] == ckText && std::holds_alternative<std::string>(cell))
    return std::move(std::get<std::string>(cell));
  return ValueAsText(index);
}

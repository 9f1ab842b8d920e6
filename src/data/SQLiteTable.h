#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// Numbering equals SQLite's own storage-class codes.
enum TColumnKind { ckInteger = 1, ckFloat = 2, ckText = 3, ckBlob = 4, ckNull = 5 };

// One fetched cell: empty (SQL NULL or a zero-length blob), or a value of the
// column's kind. Text is UTF-8; a blob keeps its raw bytes.
using TSQLiteCell = std::variant<std::monostate, std::int64_t, double, std::string>;

// The complete result of one query, read forward through a cursor.
class TSQLiteTable {
public:
  // A table without rows has no columns either.
  TSQLiteTable() = default;
  TSQLiteTable(std::vector<std::string> columnNames, std::vector<TColumnKind> kinds,
               std::vector<TSQLiteCell> cells);

  bool AtEnd() const { return cursor_ >= RowCount(); }
  bool Next();
  int RowCount() const;
  int ColumnCount() const { return static_cast<int>(names_.size()); }
  // Upper-case name of a result column.
  const std::string& ColumnName(int index) const;
  TColumnKind ColumnKind(int index) const;
  bool IsNull(int index) const;
  std::string ValueAsText(int index) const;
  // As ValueAsText, but a text cell hands over its storage and reads as ""
  // afterwards: for callers that read each cell once.
  std::string TakeValueText(int index);

private:
  // Position of the current row's cell; raises at end or out of range.
  size_t CellIndex(int index) const;
  const TSQLiteCell& Cell(int index) const;

  std::vector<std::string> names_;
  std::vector<TColumnKind> kinds_;
  std::vector<TSQLiteCell> cells_; // row-major
  int cursor_ = 0;
};

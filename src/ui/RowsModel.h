#pragma once

#include "data/TableRow.h"
#include "ui/GridView.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A grid model that owns its rows and tells its views of every change row
// by row; only a load replaces them as a whole.
class TRowsModel : public TGridModel {
  Q_OBJECT
public:
  using TGridModel::TGridModel;

  const TTableRows& Rows() const { return rows_; }
  // What columns 1 and up show of a row, also what an export writes and a
  // copy takes.
  std::vector<std::string> TextsOf(const TTableRow& row) const;
  // A load: the new rows replace the old ones as a whole.
  void SetRows(std::unique_ptr<TTableRows> rows);
  void Clear();
  // Where the same entry or call as `row` is shown, -1 when it is not.
  int PositionOf(const TTableRow& row) const;

protected:
  // Whether two rows are the same entry or call.
  virtual bool SameRow(const TTableRow& a, const TTableRow& b) const = 0;
  // The text of `column` (1 and up) for a row.
  virtual std::string TextOf(const TTableRow& row, int column) const = 0;
  int RowCount() const override { return rows_.Count(); }
  // The row number in the fixed column, TextOf in the others.
  std::string CellText(int row, int column) const final;
  // The first row `wanted` picks, -1 without one.
  int FindRow(const std::function<bool(const TTableRow&)>& wanted) const;
  void InsertRow(int position, std::unique_ptr<TTableRow> row);
  void ReplaceRow(int position, const TTableRow& values);
  void RemoveRows(int first, int last);
  // Removes every row `doomed` picks, each block of neighbours at once.
  void RemoveRowsWhere(const std::function<bool(const TTableRow&)>& doomed);

private:
  // The row numbers of the fixed column from `row` on moved.
  void RenumberFrom(int row);

  TTableRows rows_;
};

#pragma once

#include "data/TableRow.h"
#include "ui/GridView.h"

#include <functional>
#include <memory>

// A grid model that owns its rows and tells its views of every change row
// by row; only a load replaces them as a whole.
class TRowsModel : public TGridModel {
  Q_OBJECT
public:
  using TGridModel::TGridModel;

  const TTableRows& Rows() const { return rows_; }
  // A load: the new rows replace the old ones as a whole.
  void SetRows(std::unique_ptr<TTableRows> rows);
  void Clear();

protected:
  int RowCount() const override { return rows_.Count(); }
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

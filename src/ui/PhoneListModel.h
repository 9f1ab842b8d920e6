#pragma once

#include "ui/GridView.h"

class TTableRows;

// The phone list grid: row numbers, number, name, three memos, command and
// last incoming date of the window's entries.
class TPhoneListModel final : public TGridModel {
  Q_OBJECT
public:
  static constexpr int ColumnCount = 8;

  TPhoneListModel(const TTableRows& rows, QObject* parent);

protected:
  int RowCount() const override;
  std::string CellText(int row, int column) const override;
  std::string HeadingText(int column) const override;
  std::string WidestText(int column) const override;

private:
  const TTableRows& rows_;
};

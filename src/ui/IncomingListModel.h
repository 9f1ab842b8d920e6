#pragma once

#include "ui/GridView.h"

#include <string>
#include <vector>

class TTableRow;
class TTableRows;

// The six texts shown, filtered, copied and exported for one call: date,
// number, name, answer, ring time and conversation time.
std::vector<std::string> IncomingCallTexts(const TTableRow& call);
// Whether the filter occurs in the call's date, number, name or answer text.
bool IncomingCallMatches(const TTableRow& call, const std::string& filter);

// The history grid: row numbers and the six texts of each call.
class TIncomingListModel final : public TGridModel {
  Q_OBJECT
public:
  static constexpr int ColumnCount = 7;

  TIncomingListModel(const TTableRows& rows, QObject* parent);

protected:
  int RowCount() const override;
  std::string CellText(int row, int column) const override;
  std::string HeadingText(int column) const override;
  std::string WidestText(int column) const override;

private:
  const TTableRows& rows_;
};

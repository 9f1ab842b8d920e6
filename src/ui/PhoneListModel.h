#pragma once

#include "ui/RowsModel.h"

#include <string>
#include <vector>

// The phone list's entries, and its grid: row numbers, number, name, three
// memos, command and last incoming date.
class TPhoneListModel final : public TRowsModel {
  Q_OBJECT
public:
  static constexpr int ColumnCount = 8;

  explicit TPhoneListModel(QObject* parent = nullptr) : TRowsModel(ColumnCount, parent) {}

  // An entry saved elsewhere: its row takes the saved values while it
  // `matches` the list's filter and leaves when it no longer does; a new
  // entry that matches goes on top.
  void Merge(const TTableRow& entry, bool matches);
  void RemoveNumbers(const std::vector<std::string>& numbers);

protected:
  bool SameRow(const TTableRow& a, const TTableRow& b) const override;
  std::string TextOf(const TTableRow& entry, int column) const override;
  std::string HeadingText(int column) const override;
  std::string WidestText(int column) const override;
};

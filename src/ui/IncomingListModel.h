#pragma once

#include "data/CallHistory.h"
#include "ui/RowsModel.h"

#include <string>
#include <vector>

// The six texts shown, filtered, copied and exported for one call: date,
// number, name, answer, ring time and conversation time.
std::vector<std::string> IncomingCallTexts(const TTableRow& call);
// Whether the filter occurs in the call's date, number, name or answer text.
bool IncomingCallMatches(const TTableRow& call, const std::string& filter);

// The history window's calls, and its grid: row numbers and the six texts
// of each call.
class TIncomingListModel final : public TRowsModel {
  Q_OBJECT
public:
  static constexpr int ColumnCount = 7;

  explicit TIncomingListModel(QObject* parent = nullptr) : TRowsModel(ColumnCount, parent) {}

  void RemoveCalls(const std::vector<TCallKey>& calls);
  // A new call on top; the oldest ones beyond `limit` leave.
  void AddCall(const TTableRow& call, int limit);

protected:
  bool SameRow(const TTableRow& a, const TTableRow& b) const override;
  std::string TextOf(const TTableRow& call, int column) const override;
  std::string HeadingText(int column) const override;
  std::string WidestText(int column) const override;
};

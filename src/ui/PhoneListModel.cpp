#include "ui/PhoneListModel.h"

#include "data/NumberRules.h"
#include "data/TableRow.h"
#include "settings/AppSettings.h"
#include "ui/ListTexts.h"

#include <set>

namespace {

std::string NumberOf(const TTableRow& entry) {
  return entry.GetValue("phone_number");
}

} // namespace

void TPhoneListModel::Merge(const TTableRow& entry, bool matches) {
  const int row = PositionOf(entry);
  if (row >= 0 && matches)
    ReplaceRow(row, entry);
  else if (row >= 0)
    RemoveRows(row, row);
  else if (matches)
    InsertRow(0, entry.Clone());
}

void TPhoneListModel::RemoveNumbers(const std::vector<std::string>& numbers) {
  const std::set<std::string> gone(numbers.begin(), numbers.end());
  RemoveRowsWhere([&](const TTableRow& shown) { return gone.count(NumberOf(shown)) != 0; });
}

bool TPhoneListModel::SameRow(const TTableRow& a, const TTableRow& b) const {
  return NumberOf(a) == NumberOf(b);
}

std::string TPhoneListModel::TextOf(const TTableRow& entry, int column) const {
  switch (column) {
  case 1:
    return NumberDisplayText(NumberOf(entry));
  case 2:
    return entry.GetValue("owner_name");
  case 3:
    return entry.GetValue("memo1");
  case 4:
    return entry.GetValue("memo2");
  case 5:
    return entry.GetValue("memo3");
  case 6:
    return entry.GetValue("exec_cmd");
  case 7:
    return ListDateText(entry.GetValue("last_incoming_date"));
  default:
    return {};
  }
}

std::string TPhoneListModel::HeadingText(int column) const {
  switch (column) {
  case 1:
    return "  電話番号";
  case 2:
    return "  名前";
  case 3:
    return "  " + AppSettings.Memo1Caption;
  case 4:
    return "  " + AppSettings.Memo2Caption;
  case 5:
    return "  " + AppSettings.Memo3Caption;
  case 6:
    return "  起動コマンド";
  case 7:
    return "  最終着信日時";
  default:
    return {};
  }
}

std::string TPhoneListModel::WidestText(int column) const {
  switch (column) {
  case 0:
    return WidestRowNumberText;
  case 1:
    return WidestNumberText;
  case 7:
    return WidestDateText;
  default:
    return {};
  }
}

#include "ui/PhoneListModel.h"

#include "data/NumberRules.h"
#include "data/TableRow.h"
#include "settings/AppSettings.h"
#include "ui/ListTexts.h"

TPhoneListModel::TPhoneListModel(const TTableRows& rows, QObject* parent)
    : TGridModel(ColumnCount, parent), rows_(rows) {}

int TPhoneListModel::RowCount() const {
  return rows_.Count();
}

std::string TPhoneListModel::CellText(int row, int column) const {
  const TTableRow& entry = rows_[row];
  switch (column) {
  case 0:
    return RowNumberText(row + 1);
  case 1:
    return NumberDisplayText(entry.GetValue("phone_number"));
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

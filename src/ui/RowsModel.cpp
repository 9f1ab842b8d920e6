#include "ui/RowsModel.h"

std::vector<std::string> TRowsModel::TextsOf(const TTableRow& row) const {
  std::vector<std::string> texts;
  for (int column = 1; column < columnCount(); ++column)
    texts.push_back(TextOf(row, column));
  return texts;
}

std::string TRowsModel::CellText(int row, int column) const {
  return column == 0 ? RowNumberText(row + 1) : TextOf(rows_[row], column);
}

void TRowsModel::SetRows(std::unique_ptr<TTableRows> rows) {
  beginResetModel();
  rows_ = std::move(*rows);
  endResetModel();
}

void TRowsModel::Clear() {
  if (rows_.Count() > 0)
    RemoveRows(0, rows_.Count() - 1);
}

int TRowsModel::PositionOf(const TTableRow& row) const {
  return FindRow([&](const TTableRow& shown) { return SameRow(shown, row); });
}

int TRowsModel::FindRow(const std::function<bool(const TTableRow&)>& wanted) const {
  for (int i = 0; i < rows_.Count(); ++i)
    if (wanted(rows_[i]))
      return i;
  return -1;
}

void TRowsModel::InsertRow(int position, std::unique_ptr<TTableRow> row) {
  beginInsertRows(QModelIndex(), position, position);
  rows_.Insert(position, std::move(row));
  endInsertRows();
  RenumberFrom(position + 1);
}

void TRowsModel::ReplaceRow(int position, const TTableRow& values) {
  rows_[position].Assign(values);
  emit dataChanged(index(position, 0), index(position, columnCount() - 1), {Qt::DisplayRole});
}

void TRowsModel::RemoveRows(int first, int last) {
  beginRemoveRows(QModelIndex(), first, last);
  for (int i = last; i >= first; --i)
    rows_.Delete(i);
  endRemoveRows();
  RenumberFrom(first);
}

void TRowsModel::RemoveRowsWhere(const std::function<bool(const TTableRow&)>& doomed) {
  for (int last = rows_.Count() - 1; last >= 0; --last) {
    if (!doomed(rows_[last]))
      continue;
    int first = last;
    while (first > 0 && doomed(rows_[first - 1]))
      --first;
    RemoveRows(first, last);
    last = first;
  }
}

void TRowsModel::RenumberFrom(int row) {
  if (row < rows_.Count())
    emit dataChanged(index(row, 0), index(rows_.Count() - 1, 0), {Qt::DisplayRole});
}

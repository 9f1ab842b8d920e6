#pragma once

#include <QAbstractTableModel>
#include <QTableView>

#include <string>

// A list grid's data: a heading row and rows of texts, column 0 being the
// fixed first column (row numbers or captions). Subclasses say what a cell
// holds; the view draws it.
class TGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit TGridModel(int columnCount, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The texts changed in place (captions, values).
  void Refresh();
  // The widest text a cell of `column` can show, for columns of a fixed form
  // (dates, numbers, times); empty for free texts.
  virtual std::string WidestText(int column) const;

protected:
  virtual int RowCount() const = 0;
  virtual std::string CellText(int row, int column) const = 0;
  virtual std::string HeadingText(int column) const = 0;

private:
  int columnCount_;
};

// " %5d": the row number in the fixed column, 1 for the first data row.
std::string RowNumberText(int row);

// The grid of the list windows: whole-row selection of one contiguous block,
// user-sizable columns (on the heading) and rows (on the fixed column's
// lines), fixed cells white on blue, texts word-wrapped 4 pixels from the
// left, like the headings, and 4 from the top.
class TGridView : public QTableView {
  Q_OBJECT
public:
  explicit TGridView(QWidget* parent = nullptr);

  void SetRowHeight(int height);
  // Sets the column widths, each widened where its heading or the model's
  // widest text would not fit with room on both sides (so a width of 0 is
  // just wide enough).
  void SetColumnWidths(const int* widths, int count);
  // The selected block as model rows; false when nothing is selected.
  bool SelectedRange(int& top, int& bottom) const;
  // Selects rows top..bottom and makes top the current row at `column`.
  void SelectRange(int top, int bottom, int column = 1);
  // The current row, -1 without one.
  int CurrentRow() const;

protected:
  bool viewportEvent(QEvent* event) override;

private:
  // The row whose bottom line is under `pos` in the fixed column, else -1.
  int RowEdgeAt(const QPoint& pos) const;
  // The width `column` needs for its heading and widest text.
  int FittingWidth(int column) const;

  int resizingRow_ = -1;
  int resizeStartY_ = 0;
  int resizeStartHeight_ = 0;
};

#include "ui/GridView.h"

#include <QFontMetricsF>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <fmt/printf.h>

#include <cmath>

namespace {

const QColor FixedBackground(0, 0, 192);
const QColor FixedText(Qt::white);
// Cells and headings keep the same room on both sides of their texts.
constexpr int TextLeft = 4;
constexpr int GridLine = 1;
constexpr int HeadingPadding = TextLeft;
constexpr int HeadingBorders = 2;
constexpr int TextTop = 4;
constexpr int EdgeGrip = 3;
constexpr int MinRowHeight = 8;

// Draws a cell as the list windows always did: fixed cells white on blue,
// others in the window-text colour unless selected, word-wrapped text.
class TGridDelegate final : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool fixed = index.column() == 0;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QPalette& pal = option.palette;
    QColor background = pal.color(QPalette::Base);
    QColor text = pal.color(QPalette::Text);
    if (fixed) {
      background = FixedBackground;
      text = FixedText;
    } else if (selected) {
      background = pal.color(QPalette::Highlight);
      text = pal.color(QPalette::HighlightedText);
    }
    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(text);
    painter->setFont(option.font);
    QTextOption wrap(Qt::AlignLeft | Qt::AlignTop);
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const QRectF area = QRectF(option.rect).adjusted(TextLeft, TextTop, 0, 0);
    painter->setClipRect(option.rect);
    painter->drawText(area, index.data(Qt::DisplayRole).toString(), wrap);
    painter->restore();
  }
};

} // namespace

TGridModel::TGridModel(int columnCount, QObject* parent)
    : QAbstractTableModel(parent), columnCount_(columnCount) {}

int TGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RowCount();
}

int TGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columnCount_;
}

QVariant TGridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
    return {};
  return QString::fromStdString(CellText(index.row(), index.column()));
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= columnCount_)
    return {};
  return QString::fromStdString(HeadingText(section));
}

Qt::ItemFlags TGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

std::string TGridModel::WidestText(int) const {
  return {};
}

void TGridModel::Refresh() {
  if (RowCount() > 0)
    emit dataChanged(index(0, 0), index(RowCount() - 1, columnCount_ - 1), {Qt::DisplayRole});
  emit headerDataChanged(Qt::Horizontal, 0, columnCount_ - 1);
}

std::string RowNumberText(int row) {
  return fmt::sprintf(" %5d", row);
}

TGridView::TGridView(QWidget* parent) : QTableView(parent) {
  setItemDelegate(new TGridDelegate(this));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(true);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  verticalHeader()->setMinimumSectionSize(MinRowHeight);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setMinimumSectionSize(10);
  horizontalHeader()->setStyleSheet(QString("QHeaderView::section { background-color: %1; "
                                            "color: white; padding-left: %2px; "
                                            "border: %3px solid #c0c0c0; }")
                                        .arg(FixedBackground.name())
                                        .arg(HeadingPadding)
                                        .arg(HeadingBorders / 2));
  viewport()->setMouseTracking(true);
}

void TGridView::SetRowHeight(int height) {
  verticalHeader()->setDefaultSectionSize(height);
  horizontalHeader()->setFixedHeight(height);
  verticalHeader()->reset();
}

void TGridView::SetColumnWidths(const int* widths, int count) {
  for (int c = 0; c < count; ++c)
    setColumnWidth(c, std::max(widths[c], FittingWidth(c)));
}

int TGridView::FittingWidth(int column) const {
  const auto* gridModel = dynamic_cast<const TGridModel*>(model());
  if (gridModel == nullptr)
    return 0;
  const qreal text = QFontMetricsF(font()).horizontalAdvance(
      QString::fromStdString(gridModel->WidestText(column)));
  const qreal heading =
      QFontMetricsF(horizontalHeader()->font())
          .horizontalAdvance(
              gridModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
  return std::max(static_cast<int>(std::ceil(text)) + 2 * TextLeft + GridLine,
                  static_cast<int>(std::ceil(heading)) + 2 * HeadingPadding + HeadingBorders);
}

bool TGridView::SelectedRange(int& top, int& bottom) const {
  if (selectionModel() == nullptr)
    return false;
  const QModelIndexList rows = selectionModel()->selectedRows();
  if (rows.isEmpty())
    return false;
  top = rows.first().row();
  bottom = top;
  for (const QModelIndex& index : rows) {
    top = std::min(top, index.row());
    bottom = std::max(bottom, index.row());
  }
  return true;
}

void TGridView::SelectRange(int top, int bottom, int column) {
  if (model() == nullptr || selectionModel() == nullptr || top < 0 ||
      bottom >= model()->rowCount() || top > bottom)
    return;
  const QItemSelection block(model()->index(top, 0),
                             model()->index(bottom, model()->columnCount() - 1));
  selectionModel()->setCurrentIndex(model()->index(top, column), QItemSelectionModel::NoUpdate);
  selectionModel()->select(block, QItemSelectionModel::ClearAndSelect);
}

int TGridView::CurrentRow() const {
  return currentIndex().isValid() ? currentIndex().row() : -1;
}

int TGridView::RowEdgeAt(const QPoint& pos) const {
  const int left = columnViewportPosition(0);
  if (model() == nullptr || pos.x() < left || pos.x() >= left + columnWidth(0))
    return -1;
  const int row = rowAt(pos.y());
  if (row < 0)
    return -1;
  const int bottom = rowViewportPosition(row) + rowHeight(row);
  if (bottom - pos.y() <= EdgeGrip)
    return row;
  if (pos.y() - rowViewportPosition(row) <= EdgeGrip && row > 0)
    return row - 1;
  return -1;
}

bool TGridView::viewportEvent(QEvent* event) {
  // Rows are sized by dragging their lines in the fixed column, as the
  // heading sizes the columns.
  switch (event->type()) {
  case QEvent::MouseButtonPress: {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int row = mouse->button() == Qt::LeftButton ? RowEdgeAt(mouse->pos()) : -1;
    if (row >= 0) {
      resizingRow_ = row;
      resizeStartY_ = mouse->pos().y();
      resizeStartHeight_ = rowHeight(row);
      return true;
    }
    break;
  }
  case QEvent::MouseMove: {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (resizingRow_ >= 0) {
      setRowHeight(resizingRow_,
                   std::max(MinRowHeight, resizeStartHeight_ + mouse->pos().y() - resizeStartY_));
      return true;
    }
    if (mouse->buttons() == Qt::NoButton) {
      if (RowEdgeAt(mouse->pos()) >= 0)
        viewport()->setCursor(Qt::SizeVerCursor);
      else
        viewport()->unsetCursor();
    }
    break;
  }
  case QEvent::MouseButtonRelease:
    if (resizingRow_ >= 0) {
      resizingRow_ = -1;
      return true;
    }
    break;
  default:
    break;
  }
  return QTableView::viewportEvent(event);
}

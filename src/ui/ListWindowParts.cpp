#include "ui/ListWindowParts.h"

#include "data/TableRow.h"
#include "ui/GridView.h"
#include "ui/ListNotebook.h"
#include "ui/PixelFonts.h"

#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

QPushButton* ListButton(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setFont(ProportionalPixels(14));
  button->setMinimumSize(96, 28);
  return button;
}

void StackListWindow(QWidget& form, QWidget* header, QWidget* searchBar, QWidget* pages,
                     QWidget* footer) {
  auto* layout = new QVBoxLayout(&form);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(header);
  layout->addWidget(searchBar);
  layout->addWidget(pages, 1);
  layout->addWidget(footer);
}

void ApplyGridLayout(TGridView& grid, TListNotebook& pages, int fontHeight, int rowHeight,
                     const int* colWidths, int columnCount) {
  const QFont font = ProportionalCell(fontHeight);
  grid.setFont(font);
  grid.horizontalHeader()->setFont(font);
  // The headings are painted on the header's viewport, which its style sheet
  // would otherwise leave at the application's font.
  grid.horizontalHeader()->viewport()->setFont(font);
  grid.SetRowHeight(rowHeight);
  grid.SetColumnWidths(colWidths, columnCount);
  pages.SetMessageFont(font);
}

void DropShownRows(TGridModel& model, TGridView& grid, TTableRows& list, int top, int bottom) {
  model.Change([&] {
    for (int i = bottom; i >= top; --i)
      list.Delete(i);
  });
  if (list.Count() > 0) {
    const int row = std::min(top, list.Count() - 1);
    grid.SelectRange(row, row, 1);
  }
}

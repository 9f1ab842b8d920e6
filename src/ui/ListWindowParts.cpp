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
  grid.setFont(ProportionalPixels(fontHeight));
  grid.horizontalHeader()->setFont(ProportionalPixels(fontHeight));
  grid.SetRowHeight(rowHeight);
  for (int c = 0; c < columnCount; ++c)
    grid.setColumnWidth(c, colWidths[c]);
  pages.SetMessageFont(ProportionalPixels(fontHeight));
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

#pragma once

class QPushButton;
class QWidget;
class TGridModel;
class TGridView;
class TListNotebook;
class TTableRows;

// What the phone list and the incoming history windows build alike.

// A footer button of a list window.
QPushButton* ListButton(const char* name, const char* caption, QWidget* parent);
// Stacks the window's parts from top to bottom; the pages take the height.
void StackListWindow(QWidget& form, QWidget* header, QWidget* searchBar, QWidget* pages,
                     QWidget* footer);
// The grid's fonts (`fontHeight` being the cell height), row height and
// column widths (widened where a column's widest text needs it) for one
// display size.
void ApplyGridLayout(TGridView& grid, TListNotebook& pages, int fontHeight, int rowHeight,
                     const int* colWidths, int columnCount);
// After rows top..bottom were deleted from the database: drops them from the
// shown list and selects the row that took the first one's place.
void DropShownRows(TGridModel& model, TGridView& grid, TTableRows& list, int top, int bottom);

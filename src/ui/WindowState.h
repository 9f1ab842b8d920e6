#pragma once

#include <string>

class QWidget;
class QTableView;

// Window positions, sizes and column widths between runs, one section per
// window of teloria2.states.ini in the program folder. Each call opens the
// file, reads or writes its keys and closes it again.

// Program folder + "teloria2.states.ini".
std::string WindowStateFileName();

// WindowState (0 normal, 1 minimised, 2 maximised) and, unless maximised,
// PosSize "left,top,width,height".
void SaveWindowState(const std::string& section, const QWidget& form);
// Nothing without the section; PosSize needs four items; a window saved
// minimised comes back normal.
void RestoreWindowState(const std::string& section, QWidget& form);
// ColWidths: every column's width, column 0 first.
void SaveColWidths(const std::string& section, const QTableView& grid);
// Only when the count matches the grid's columns; column 0 keeps its width,
// the others get at least 10.
void RestoreColWidths(const std::string& section, QTableView& grid);
void SaveFormAndGrid(const std::string& section, const QWidget& form, const QTableView& grid);
void RestoreFormAndGrid(const std::string& section, QWidget& form, QTableView& grid);

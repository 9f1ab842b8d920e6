#pragma once

#include <QFont>

// The Gothic faces at a height in pixels, the unit the window layouts use.
QFont ProportionalPixels(int pixels);
QFont FixedPixels(int pixels);
// The proportional face at a Windows font height given as a positive number:
// the height of the character cell, internal leading included.
QFont ProportionalCell(int cellHeight);

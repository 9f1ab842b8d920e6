#pragma once

#include <QFont>

// The Gothic faces at a height in pixels, the unit the window layouts use.
QFont ProportionalPixels(int pixels);
QFont FixedPixels(int pixels);

#include "ui/PixelFonts.h"

#include "ui/Fonts.h"

#include <QFontMetricsF>

#include <algorithm>

QFont ProportionalPixels(int pixels) {
  QFont font = ProportionalGothic(9);
  font.setPixelSize(pixels);
  return font;
}

QFont FixedPixels(int pixels) {
  QFont font = FixedGothic(9);
  font.setPixelSize(pixels);
  return font;
}

QFont ProportionalCell(int cellHeight) {
  // Qt sizes a font by its character (em) height; the cell around it is as
  // high as the face's ascent and descent, which a positive Windows height
  // counts whole.
  QFont font = ProportionalPixels(cellHeight);
  const qreal cell = QFontMetricsF(font).height();
  if (cell > 0)
    font.setPixelSize(std::max(1, qRound(cellHeight * cellHeight / cell)));
  return font;
}

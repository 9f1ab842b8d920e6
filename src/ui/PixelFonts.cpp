#include "ui/PixelFonts.h"

#include "ui/Fonts.h"

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

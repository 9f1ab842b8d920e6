#include "ui/Fonts.h"

#include <QStringList>

namespace {

QFont Gothic(const QStringList& families, int pointSize) {
  QFont font;
  font.setFamilies(families);
  font.setPointSize(pointSize);
  return font;
}

} // namespace

QFont ProportionalGothic(int pointSize) {
  return Gothic({"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "IPAGothic", "Noto Sans CJK JP"},
                pointSize);
}

QFont FixedGothic(int pointSize) {
  QFont font =
      Gothic({"ＭＳ ゴシック", "MS Gothic", "IPAGothic", "Noto Sans Mono CJK JP"}, pointSize);
  font.setStyleHint(QFont::Monospace);
  return font;
}

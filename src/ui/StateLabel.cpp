#include "ui/StateLabel.h"

#include <QLabel>

void SetStateText(QLabel* label, const char* text, const QColor& colour) {
  label->setText(QString::fromUtf8(text));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
}

#pragma once

#include <QColor>

class QLabel;

// A live state in words, in the colour that tells good from bad at a glance.
void SetStateText(QLabel* label, const char* text, const QColor& colour);

#pragma once

class QString;
class QWidget;

// Makes the native window of `window` and draws the window, and `texts` in
// the font of each of its widgets, once off screen while it stays hidden: its
// first showing then finds its styles, fonts, glyphs and pictures loaded and
// costs what every later showing costs.
void PreloadWindow(QWidget& window, const QString& texts);

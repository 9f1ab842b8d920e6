#pragma once

class QWidget;

// Shows a kept window again and brings it in front, restored if minimised.
void BringForward(QWidget& window);

// Makes a window opened from the menu without a parent (a dialog class) a
// window of its own. As a dialog it would be transient for Qt's hidden
// leader window, which window managers may leave unmapped and unfocused.
void MakeOwnWindow(QWidget& window);

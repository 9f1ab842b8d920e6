#pragma once

class QWidget;

// Shows a kept window again and brings it in front, restored if minimised.
void BringForward(QWidget& window);

#pragma once

class QWidget;

// Moves a shown top-level window back within the available area of the
// screen it stands on (the desktop's panels excluded). A window larger than
// that area keeps its top left corner on it, so its title and first controls
// stay reachable. A hidden window is left alone: it is placed when shown.
void KeepOnScreen(QWidget& window);

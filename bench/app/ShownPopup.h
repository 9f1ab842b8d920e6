#pragma once

#include <cstdint>

struct xcb_connection_t;

// The program's popup as a user sees it on the X server of $DISPLAY: found
// among the shown top-level windows of teloria2 (the only one it shows in
// the benchmark), closed with its close button as a user would.
class TShownPopup {
public:
  TShownPopup();
  ~TShownPopup();
  TShownPopup(const TShownPopup&) = delete;
  TShownPopup& operator=(const TShownPopup&) = delete;

  // Presses and releases the close button of the shown popup; false when
  // no popup is shown.
  bool PressClose();
  // Whether a popup is shown (mapped).
  bool Shown() { return Find() != 0; }

private:
  uint32_t Find();

  xcb_connection_t* connection_;
  uint32_t root_ = 0;
};

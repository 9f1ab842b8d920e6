#pragma once

#include <functional>
#include <string>

class TTableRow;

// The window-opening operations the controller calls; the widget layer
// implements them. Rows are borrowed for the call: a window that needs one
// later keeps its own copy.
class IWindows {
public:
  virtual ~IWindows() = default;
  // Makes the windows that show a call ready, hidden: the popup, and the
  // number display when `numberDisplay` (it is the chosen display). Without
  // windows on a screen there is nothing to prepare.
  virtual void PrepareCallWindows(bool /*numberDisplay*/) {}
  virtual void ShowIncomingNotice(const TTableRow& row) = 0;
  virtual void ShowRingAnnouncement() = 0;
  virtual void HideIncomingNotice() = 0;
  virtual void ShowNumberDisplay(const TTableRow& row) = 0;
  virtual void HideNumberDisplay() = 0;
  // Runs `painted` once the window that showed the last call has drawn it
  // completely and handed it to the display; at once when there is nothing
  // to draw. It may never run (a window minimised or closed first): the
  // caller bounds its wait.
  virtual void WhenCallPainted(std::function<void()> painted) { painted(); }
  // nullptr: a new, empty entry.
  virtual void OpenNumberEdit(const TTableRow* row) = 0;
  virtual void ShowPhoneList() = 0;
  virtual void PhoneListRowSaved(const TTableRow& row) = 0;
  virtual void ShowIncomingList() = 0;
  virtual void IncomingListAddCall(const TTableRow& row) = 0;
  virtual void IncomingListReload() = 0;
  virtual void ShowDeviceMemory() = 0;
  virtual void ShowSettings() = 0;
  virtual void ShowAbout() = 0;
  // A question with "はい" and "いいえ"; "いいえ" where nobody can answer.
  virtual bool AskYesNo(const std::string& /*text*/) { return false; }
  // False when the program runs without a screen: nothing it shows is seen.
  virtual bool HasScreen() const { return true; }
};

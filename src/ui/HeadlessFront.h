#pragma once

#include "core/ITrayIcon.h"
#include "core/IWindows.h"

// The front of a program that runs without a screen (a service on a PC with
// no desktop): no window opens and no icon shows; what a user would have
// been shown is written to the log. Needs no GUI application object.
class THeadlessWindows final : public IWindows {
public:
  void ShowIncomingNotice(const TTableRow& row) override;
  void ShowRingAnnouncement() override;
  void HideIncomingNotice() override {}
  void ShowNumberDisplay(const TTableRow& row) override;
  void HideNumberDisplay() override {}
  void OpenNumberEdit(const TTableRow* row) override;
  void ShowPhoneList() override;
  void PhoneListRowSaved(const TTableRow&) override {}
  void ShowIncomingList() override;
  void IncomingListAddCall(const TTableRow&) override {}
  void IncomingListReload() override {}
  void ShowDeviceMemory() override;
  void ShowSettings() override;
  void ShowAbout() override;
  bool HasScreen() const override { return false; }
};

// Balloons become log lines.
class THeadlessTray final : public ITrayIcon {
public:
  void SetImageIndex(int index) override { imageIndex_ = index; }
  int ImageIndex() const override { return imageIndex_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Visible() const override { return visible_; }
  void ShowBalloon(const std::string& title, const std::string& text, TBalloonIcon icon,
                   int timeoutMs) override;
  void HideBalloon() override {}

private:
  int imageIndex_ = -1;
  bool visible_ = false;
};

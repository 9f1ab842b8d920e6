#pragma once

#include "core/MainForm.h"

#include <chrono>
#include <functional>

// The controller's outside world in a benchmark: windows that only count the
// calls shown, a tray and a sound that do nothing.
class TTimingWindows final : public IWindows {
public:
  void ShowIncomingNotice(const TTableRow&) override { ++shown; }
  void ShowRingAnnouncement() override {}
  void HideIncomingNotice() override {}
  void ShowNumberDisplay(const TTableRow&) override { ++shown; }
  void HideNumberDisplay() override {}
  void OpenNumberEdit(const TTableRow*) override {}
  void ShowPhoneList() override {}
  void PhoneListRowSaved(const TTableRow&) override {}
  void ShowIncomingList() override {}
  void IncomingListAddCall(const TTableRow&) override {}
  void IncomingListReload() override {}
  void ShowDeviceMemory() override {}
  void ShowSettings() override {}
  void ShowAbout() override {}
  void WhenCallPainted(std::function<void()> painted) override {
    paintedAt = std::chrono::steady_clock::now();
    painted();
  }
  int shown = 0;
  // When the window of the call shown last was painted.
  std::chrono::steady_clock::time_point paintedAt;
};

class TQuietTray final : public ITrayIcon {
public:
  void SetImageIndex(int) override {}
  int ImageIndex() const override { return 0; }
  void SetVisible(bool) override {}
  bool Visible() const override { return true; }
  void ShowBalloon(const std::string&, const std::string&, TBalloonIcon, int) override {}
  void HideBalloon() override {}
};

class TSilentSound final : public IRingSound {
public:
  void PlayRingSound() override {}
  void StopRingSound() override {}
};

// What a benchmark's controller is given: these, no balloon, no end.
inline TMainFormDeps QuietDeps(TTimingWindows& windows, TQuietTray& tray) {
  TMainFormDeps deps;
  deps.Windows = &windows;
  deps.Tray = &tray;
  deps.Sound = std::make_unique<TSilentSound>();
  deps.Quit = [] {};
  deps.Arguments = {"bench", "-arun"};
  return deps;
}

#pragma once

#include "core/IRingSound.h"
#include "core/ITrayIcon.h"
#include "core/IWindows.h"
#include "data/TableRow.h"

#include <functional>
#include <string>
#include <vector>

// Records every window operation the controller asks for, with a copy of
// the row it was given. Paints a shown call at once, or when told to.
class TFakeWindows final : public IWindows {
public:
  struct TCall {
    std::string Name;
    TTableRow Row;
  };

  void PrepareCallWindows(bool numberDisplay) override { Prepared.push_back(numberDisplay); }
  void ShowIncomingNotice(const TTableRow& row) override { Add("ShowIncomingNotice", &row); }
  void ShowRingAnnouncement() override { Add("ShowRingAnnouncement"); }
  void HideIncomingNotice() override { Add("HideIncomingNotice"); }
  void ShowNumberDisplay(const TTableRow& row) override { Add("ShowNumberDisplay", &row); }
  void HideNumberDisplay() override { Add("HideNumberDisplay"); }
  void WhenCallPainted(std::function<void()> painted) override {
    if (HoldPaints)
      unpainted_.push_back(std::move(painted));
    else
      painted();
  }
  void Paint() {
    for (const auto& painted : std::exchange(unpainted_, {}))
      painted();
  }
  void OpenNumberEdit(const TTableRow* row) override { Add("OpenNumberEdit", row); }
  void ShowPhoneList() override { Add("ShowPhoneList"); }
  void PhoneListRowSaved(const TTableRow& row) override { Add("PhoneListRowSaved", &row); }
  void ShowIncomingList() override { Add("ShowIncomingList"); }
  void IncomingListAddCall(const TTableRow& row) override { Add("IncomingListAddCall", &row); }
  void IncomingListReload() override {
    Add("IncomingListReload");
    if (OnReload)
      OnReload();
  }
  void ShowDeviceMemory() override { Add("ShowDeviceMemory"); }
  void ShowSettings() override { Add("ShowSettings"); }
  void ShowAbout() override { Add("ShowAbout"); }

  int Count(const std::string& name) const {
    int n = 0;
    for (const TCall& c : Calls)
      n += c.Name == name ? 1 : 0;
    return n;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const TCall& c : Calls)
      names.push_back(c.Name);
    return names;
  }
  const TCall* Last(const std::string& name) const {
    for (auto it = Calls.rbegin(); it != Calls.rend(); ++it)
      if (it->Name == name)
        return &*it;
    return nullptr;
  }

  std::vector<TCall> Calls;
  // Each preparation, with its `numberDisplay`.
  std::vector<bool> Prepared;
  bool HoldPaints = false;
  // Runs inside each reload of the history, as a box it shows would run
  // the event loop.
  std::function<void()> OnReload;

private:
  std::vector<std::function<void()>> unpainted_;
  void Add(const char* name, const TTableRow* row = nullptr) {
    TCall call{name, {}};
    if (row != nullptr)
      call.Row.Assign(*row);
    Calls.push_back(std::move(call));
  }
};

// Keeps what the tray would show.
class TFakeTray final : public ITrayIcon {
public:
  struct TBalloon {
    std::string Title, Text;
    TBalloonIcon Icon;
  };

  void SetImageIndex(int index) override { imageIndex_ = index; }
  int ImageIndex() const override { return imageIndex_; }
  void SetVisible(bool visible) override {
    visible_ = visible;
    ++VisibilityChanges;
  }
  bool Visible() const override { return visible_; }
  void ShowBalloon(const std::string& title, const std::string& text, TBalloonIcon icon,
                   int) override {
    if (FailBalloons)
      throw std::runtime_error("no notification area");
    Balloons.push_back({title, text, icon});
  }
  void HideBalloon() override { ++Hides; }
  void SetTipHelp(const std::string& tip) override { TipHelp = tip; }

  std::vector<TBalloon> Balloons;
  std::string TipHelp;
  bool FailBalloons = false;
  int Hides = 0;
  int VisibilityChanges = 0;

private:
  int imageIndex_ = -1;
  bool visible_ = false;
};

// Rings into a list of "play" and "stop", or into nothing.
class TFakeSound final : public IRingSound {
public:
  explicit TFakeSound(std::vector<std::string>* log = nullptr) : log_(log) {}
  void PlayRingSound() override { Add("play"); }
  void StopRingSound() override { Add("stop"); }

private:
  void Add(const char* what) {
    if (log_ != nullptr)
      log_->push_back(what);
  }
  std::vector<std::string>* log_;
};

#pragma once

#include "core/IWindows.h"

#include <QPointer>
#include <QRect>

#include <memory>
#include <optional>
#include <set>

class IController;
class QWidget;
class TAboutForm;
class TAfterPaint;
class TFormMirelMemory;
class TIncomingListForm;
class TIncomingNoticeForm;
class TNumberDisplayForm;
class TNumberEditForm;
class TPhoneListForm;
class TSettingForm;

// Every window of the program, and the one place that creates, brings
// forward and frees them. Kept windows are created on first use, those that
// show a call at start-up, and closing only hides them; the popup frees
// itself when it closes; a number edit window is made anew each time and
// freed when closed. The controller
// reaches the windows through IWindows; the windows reach each other, and
// the controller, through Windows().
class TWindows final : public IWindows {
public:
  TWindows();
  ~TWindows() override;
  TWindows(const TWindows&) = delete;
  TWindows& operator=(const TWindows&) = delete;

  void PrepareCallWindows(bool numberDisplay) override;
  void ShowIncomingNotice(const TTableRow& row) override;
  void ShowRingAnnouncement() override;
  void HideIncomingNotice() override;
  void HideNumberDisplay() override;
  void ShowNumberDisplay(const TTableRow& row) override;
  void WhenCallPainted(std::function<void()> painted) override;
  void OpenNumberEdit(const TTableRow* row) override;
  void ShowPhoneList() override;
  void PhoneListRowSaved(const TTableRow& row) override;
  void ShowIncomingList() override;
  void IncomingListAddCall(const TTableRow& row) override;
  void IncomingListReload() override;
  void ShowDeviceMemory() override;
  void ShowSettings() override;
  void ShowAbout() override;
  bool AskYesNo(const std::string& text) override;

  // A new number edit window, in the normal state, filled from `row` (null:
  // empty) and shown; placed at `bounds` with the top edge 50 pixels lower
  // when given.
  TNumberEditForm* NewNumberEdit(const TTableRow* row, std::optional<QRect> bounds = std::nullopt);

  // The windows that exist (null otherwise).
  TIncomingNoticeForm* IncomingNotice() const;
  TNumberDisplayForm* NumberDisplay() const { return numberDisplay_.get(); }
  TPhoneListForm* PhoneList() const { return phoneList_.get(); }
  TIncomingListForm* IncomingList() const { return incomingList_.get(); }
  TFormMirelMemory* DeviceMemory() const { return deviceMemory_.get(); }
  TSettingForm* Settings() const { return settings_.get(); }
  TAboutForm* About() const { return about_.get(); }

  // The controller while there is one (null otherwise).
  IController* Controller() const { return controller_; }
  void SetController(IController* controller) { controller_ = controller; }

  // Frees one window as the program's end would (its state is saved); the
  // next showing makes it anew.
  void Free(const QWidget* window);
  // Frees every window, those that read the controller's sessions before
  // the controller goes.
  void FreeAll();

private:
  TIncomingNoticeForm& NoticeMade();
  TNumberDisplayForm& NumberDisplayMade();

  IController* controller_ = nullptr;
  std::set<TNumberEditForm*> numberEdits_;
  QPointer<TIncomingNoticeForm> incomingNotice_;
  // The window that showed a call last; null once it is gone.
  QPointer<TAfterPaint> callPaint_;
  std::unique_ptr<TNumberDisplayForm> numberDisplay_;
  std::unique_ptr<TPhoneListForm> phoneList_;
  std::unique_ptr<TIncomingListForm> incomingList_;
  std::unique_ptr<TFormMirelMemory> deviceMemory_;
  std::unique_ptr<TSettingForm> settings_;
  std::unique_ptr<TAboutForm> about_;
};

// The program's windows.
TWindows& Windows();

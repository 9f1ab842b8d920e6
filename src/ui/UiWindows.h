#pragma once

#include "core/IWindows.h"

// The controller's way to the windows: each operation opens or updates the
// window of that name. FreeAll closes every kept window, saving its state,
// before the controller goes.
class TWindows final : public IWindows {
public:
  void ShowIncomingNotice(const TTableRow& row) override;
  void ShowRingAnnouncement() override;
  void HideIncomingNotice() override;
  void ShowNumberDisplay(const TTableRow& row) override;
  void OpenNumberEdit(const TTableRow* row) override;
  void ShowPhoneList() override;
  void PhoneListRowSaved(const TTableRow& row) override;
  void ShowIncomingList() override;
  void IncomingListAddCall(const TTableRow& row) override;
  void IncomingListReload() override;
  void ShowDeviceMemory() override;
  void ShowSettings() override;
  void ShowAbout() override;

  static void FreeAll();
};

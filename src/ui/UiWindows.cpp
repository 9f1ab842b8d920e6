#include "ui/UiWindows.h"

#include "ui/AboutForm.h"
#include "ui/IncomingListForm.h"
#include "ui/IncomingNoticeForm.h"
#include "ui/MirelMemoryForm.h"
#include "ui/NumberDisplayForm.h"
#include "ui/NumberEditForm.h"
#include "ui/PhoneListForm.h"
#include "ui/SettingForm.h"

void TWindows::ShowIncomingNotice(const TTableRow& row) {
  ::ShowIncomingNotice(row);
}
void TWindows::ShowRingAnnouncement() {
  ::ShowRingAnnouncement();
}
void TWindows::HideIncomingNotice() {
  ::HideIncomingNotice();
}
void TWindows::ShowNumberDisplay(const TTableRow& row) {
  ::ShowNumberDisplay(row);
}
void TWindows::OpenNumberEdit(const TTableRow* row) {
  ::OpenNumberEdit(row);
}
void TWindows::ShowPhoneList() {
  ::ShowPhoneList();
}
void TWindows::PhoneListRowSaved(const TTableRow& row) {
  ::PhoneListRowSaved(row);
}
void TWindows::ShowIncomingList() {
  ::ShowIncomingList();
}
void TWindows::IncomingListAddCall(const TTableRow& row) {
  ::IncomingListAddCall(row);
}
void TWindows::IncomingListReload() {
  ::IncomingListReload();
}
void TWindows::ShowDeviceMemory() {
  ::ShowDeviceMemory();
}
void TWindows::ShowSettings() {
  ::ShowSettings();
}
void TWindows::ShowAbout() {
  ::ShowAbout();
}

void TWindows::FreeAll() {
  FreeNumberEditForms();
  FreeIncomingNoticeForm();
  FreeNumberDisplayForm();
  FreePhoneListForm();
  FreeIncomingListForm();
  FreeMirelMemoryForm();
  FreeSettingForm();
  FreeAboutForm();
}

#include "ui/UiWindows.h"

#include "ui/AboutForm.h"
#include "ui/AfterPaint.h"
#include "ui/IncomingListForm.h"
#include "ui/IncomingNoticeForm.h"
#include "ui/MessageBoxes.h"
#include "ui/MirelMemoryForm.h"
#include "ui/NumberDisplayForm.h"
#include "ui/NumberEditForm.h"
#include "ui/PhoneListForm.h"
#include "ui/SettingForm.h"
#include "ui/WindowFront.h"

#include <QCoreApplication>

namespace {

// A kept window made on first use: made and shown, or shown again in front.
template <typename T> void ShowKept(std::unique_ptr<T>& window) {
  if (!window)
    window = std::make_unique<T>();
  BringForward(*window);
}

// A list window: a new one shows itself and loads; one that exists comes
// forward as it is.
template <typename T> void ShowList(std::unique_ptr<T>& window) {
  if (!window)
    window = std::make_unique<T>();
  else
    BringForward(*window);
}

} // namespace

TWindows::TWindows() = default;

TWindows::~TWindows() {
  // Windows cannot outlive the application; any still here at the
  // process's end are left to it.
  if (QCoreApplication::instance() != nullptr)
    FreeAll();
}

TIncomingNoticeForm& TWindows::NoticeMade() {
  if (incomingNotice_ == nullptr)
    incomingNotice_ = new TIncomingNoticeForm();
  return *incomingNotice_;
}

TNumberDisplayForm& TWindows::NumberDisplayMade() {
  if (!numberDisplay_)
    numberDisplay_ = std::make_unique<TNumberDisplayForm>();
  return *numberDisplay_;
}

void TWindows::PrepareCallWindows(bool numberDisplay) {
  if (incomingNotice_ == nullptr)
    NoticeMade().Preload();
  if (numberDisplay && !numberDisplay_)
    NumberDisplayMade().Preload();
}

void TWindows::ShowIncomingNotice(const TTableRow& row) {
  NoticeMade().ShowIncoming(row);
  callPaint_ = &incomingNotice_->AfterPaint();
}

void TWindows::ShowRingAnnouncement() {
  NoticeMade().ShowRing();
}

void TWindows::HideIncomingNotice() {
  if (incomingNotice_ != nullptr)
    incomingNotice_->HideNow();
}

void TWindows::ShowNumberDisplay(const TTableRow& row) {
  NumberDisplayMade().Fill(row);
  numberDisplay_->BringToUser();
  callPaint_ = &numberDisplay_->AfterPaint();
}

void TWindows::HideNumberDisplay() {
  if (numberDisplay_ != nullptr)
    numberDisplay_->hide();
}

void TWindows::WhenCallPainted(std::function<void()> painted) {
  if (callPaint_ != nullptr)
    callPaint_->WhenPainted(std::move(painted));
  else
    painted();
}

void TWindows::OpenNumberEdit(const TTableRow* row) {
  NewNumberEdit(row);
}

TNumberEditForm* TWindows::NewNumberEdit(const TTableRow* row, std::optional<QRect> bounds) {
  auto* form = new TNumberEditForm();
  numberEdits_.insert(form);
  QObject::connect(form, &QObject::destroyed, [this, form] { numberEdits_.erase(form); });
  form->setWindowState(Qt::WindowNoState);
  if (bounds)
    form->setGeometry(bounds->adjusted(0, 50, 0, 0));
  if (row != nullptr)
    form->FillFromRow(*row);
  form->show();
  return form;
}

void TWindows::ShowPhoneList() {
  ShowList(phoneList_);
}

void TWindows::PhoneListRowSaved(const TTableRow& row) {
  if (phoneList_)
    phoneList_->RowSaved(row);
}

void TWindows::ShowIncomingList() {
  ShowList(incomingList_);
}

void TWindows::IncomingListAddCall(const TTableRow& row) {
  if (incomingList_)
    incomingList_->AddCall(row);
}

void TWindows::IncomingListReload() {
  if (incomingList_)
    incomingList_->Load();
}

void TWindows::ShowDeviceMemory() {
  ShowKept(deviceMemory_);
}

void TWindows::ShowSettings() {
  ShowKept(settings_);
}

// One about window; shown again it comes to the front, as a desktop action
// asks.
void TWindows::ShowAbout() {
  ShowKept(about_);
}

bool TWindows::AskYesNo(const std::string& text) {
  return ConfirmYesNo(text);
}

TIncomingNoticeForm* TWindows::IncomingNotice() const {
  return incomingNotice_.data();
}

void TWindows::Free(const QWidget* window) {
  if (window == nullptr)
    return;
  if (window == incomingNotice_)
    delete incomingNotice_.data();
  const auto free = [window](auto& kept) {
    if (kept.get() == window)
      kept.reset();
  };
  free(numberDisplay_);
  free(phoneList_);
  free(incomingList_);
  free(deviceMemory_);
  free(settings_);
  free(about_);
}

void TWindows::FreeAll() {
  while (!numberEdits_.empty())
    delete *numberEdits_.begin();
  delete incomingNotice_.data();
  numberDisplay_.reset();
  phoneList_.reset();
  incomingList_.reset();
  // The memory window reads through the controller's sessions.
  deviceMemory_.reset();
  settings_.reset();
  about_.reset();
}

TWindows& Windows() {
  static TWindows windows;
  return windows;
}

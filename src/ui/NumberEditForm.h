#pragma once

#include "data/ChangeListeners.h"

#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class TSettingsSubscription;
struct TPhoneBookChange;
class TTableRow;

// The number edit window ("情報の編集"): creates or changes one phone-book
// entry. Every opening makes a new window; closing one frees it.
class TNumberEditForm : public QWidget {
  Q_OBJECT
public:
  TNumberEditForm();
  ~TNumberEditForm() override;

  // Fills the fields from an entry and captures its number for the live times.
  void FillFromRow(const TTableRow& row);
  // Empties the fields; the captured number stays.
  void ClearFields();

  void PhoneNumberEditExit();
  void NumberFindButtonClick();
  void ShowListButtonClick();
  void SaveButtonClick();
  void IncomingCheckTimerTimer();
  // Fills the fields again from the stored entry, after another desk changed it.
  void ReloadButtonClick();

  const std::string& CapturedNumber() const { return capturedNumber_; }
  int DispSize() const { return dispSize_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void BuildControls();
  void Layout(int dispSize);
  void LayoutWideFields();
  void SetMemoCaptions();
  void CMSettingsChanged();
  std::unique_ptr<TTableRow> RowFromFields() const;
  // Another desk of the office changed the entry being edited: the fields
  // stay as the user left them, the window says so and offers to reload.
  void BookChanged(const TPhoneBookChange& change);

  std::string capturedNumber_;
  int dispSize_ = -1;
  QWidget* container_ = nullptr;
  QLabel* ownerNameLabel_ = nullptr;
  QLabel* memoLabels_[3] = {};
  QLabel* execCmdLabel_ = nullptr;
  QLabel* phoneNumberLabel_ = nullptr;
  QLabel* offHookSecondsLabel_ = nullptr;
  QLabel* onHookSecondsLabel_ = nullptr;
  QLineEdit* ownerNameEdit_ = nullptr;
  QPlainTextEdit* memos_[3] = {};
  QLineEdit* execCmdEdit_ = nullptr;
  QLineEdit* phoneNumberEdit_ = nullptr;
  QPushButton* numberFindButton_ = nullptr;
  QLineEdit* offHookSecondsEdit_ = nullptr;
  QLineEdit* onHookSecondsEdit_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* showListButton_ = nullptr;
  QPushButton* reloadButton_ = nullptr;
  QStatusBar* status_ = nullptr;
  TListening book_;
  QTimer incomingCheckTimer_;
  std::unique_ptr<TSettingsSubscription> settings_;
};

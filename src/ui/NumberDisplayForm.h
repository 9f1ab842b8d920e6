#pragma once

#include "data/TableRow.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TAfterPaint;
class TSettingsSubscription;

// Everything known about the current incoming call: when it came, the
// previous call of the number, the phone-book entry and, twice a second, how
// long it rang and how long the conversation lasts. One instance, kept until
// the program ends; closing it only hides it.
class TNumberDisplayForm : public QWidget {
  Q_OBJECT
public:
  TNumberDisplayForm();
  ~TNumberDisplayForm() override;

  // Makes the window and loads its fonts while it stays hidden, so that the
  // first showing costs what every showing costs.
  void Preload();
  void Fill(const TTableRow& row);
  // Shows it, restores it from minimised or brings it to the front.
  void BringToUser();
  void IncomingCheckTimerTimer();
  void SettingsChanged();

  // Tells when a filled call has reached the screen.
  TAfterPaint& AfterPaint() const { return *afterPaint_; }
  // The window's own copy of the call it shows.
  const TTableRow& Row() const { return row_; }
  // The display size the current layout was made for (0, 1 or 2).
  int LayoutSize() const { return layoutSize_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void CreateControls();
  QWidget* CreateBody(QWidget* container);
  void LayOut(int dispSize);
  void StretchToContainer();
  void SetMemoCaptions();
  void EditButtonClick();

  TTableRow row_;
  int layoutSize_ = -1;
  // A window made ready but never shown has no state of its own to save.
  bool shown_ = false;
  QWidget* topContainerPanel_ = nullptr;
  QPushButton* editButton_ = nullptr;
  TAfterPaint* afterPaint_ = nullptr;
  QTimer incomingCheckTimer_{this};
  std::unique_ptr<TSettingsSubscription> subscription_;
};

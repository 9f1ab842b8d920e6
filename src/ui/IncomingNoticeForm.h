#pragma once

#include "data/TableRow.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QToolButton;
class TAfterPaint;

// The small borderless popup that fades in at the screen corner beside the
// panel, says who is calling (or that the phone is about to ring) and fades
// out by itself. A press anywhere on an incoming notice opens the number
// display for that call.
class TIncomingNoticeForm : public QWidget {
  Q_OBJECT
public:
  TIncomingNoticeForm();
  ~TIncomingNoticeForm() override;

  // Makes the window and loads its fonts and pictures while it stays
  // hidden, so that the first showing costs what every showing costs.
  void Preload();
  // On a hidden popup these fade it in; on one that is shown they change it
  // in place.
  void ShowIncoming(const TTableRow& row);
  void ShowRing();
  // At once, without fading and without touching the timer.
  void HideNow();

  // Tells when a showing has reached the screen.
  TAfterPaint& AfterPaint() const { return *afterPaint_; }
  // The popup's own copy of the call it shows.
  const TTableRow& Row() const { return row_; }
  // The opacity last set, 0..255.
  int Opacity() const { return opacity_; }
  bool RingMode() const;

signals:
  // Every opacity step of the fades, 0..255.
  void OpacityStep(int alpha);

protected:
  void mousePressEvent(QMouseEvent* event) override;

private:
  void CreateControls();
  void LayOut();
  void SetOpacity(int alpha);
  int MeasureWithFirstShowing(const QLabel& label, const QString& text);
  void ShowAndFadeIn(int width, int autoHideMs, bool fadeIn);
  bool FadingOut() const;
  void Fade(std::vector<int> steps, std::function<void()> done);
  void FadeTimerTimer();
  void FadeOut();
  void AutoHideTimerTimer();
  void CloseButtonClick();
  void FormMouseDown();
  void Guarded(const std::function<void()>& fn);

  TTableRow row_;
  bool firstShown_ = false;
  int opacity_ = 0;
  QLabel* numberOrNameLabel_ = nullptr;
  QLabel* numberOrNameBackLabel_ = nullptr;
  QLabel* image1_ = nullptr;
  QLabel* yokokuLabel_ = nullptr;
  QToolButton* closeButton_ = nullptr;
  QTimer autoHideTimer_{this};
  QTimer fadeTimer_{this};
  std::vector<int> fadeSteps_;
  size_t fadeNext_ = 0;
  std::function<void()> fadeDone_;
  TAfterPaint* afterPaint_ = nullptr;
};

// Where the popup of outer size `size` goes on a screen whose area outside
// the panels is `available`: against a bottom panel above it, against a right
// panel left of it, with a top or left panel (or none) in the screen's
// bottom-right corner. All of these are the bottom-right corner of the
// available area.
QPoint IncomingNoticePosition(const QRect& available, const QSize& size);

#include "ui/IncomingNoticeForm.h"

#include "data/NumberRules.h"
#include "ui/AfterPaint.h"
#include "ui/Decorations.h"
#include "ui/EventGuard.h"
#include "ui/NumberDisplayForm.h"
#include "ui/PaintStamp.h"
#include "ui/PhonePicture.h"
#include "ui/PixelFonts.h"
#include "ui/PlatformAbilities.h"
#include "ui/UiWindows.h"
#include "ui/WindowPreload.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

namespace {

constexpr int kClientHeight = 85;
constexpr int kMinimumWidth = 278;
constexpr int kFadePauseMs = 50;
constexpr int kIncomingShowMs = 30000;
constexpr int kRingShowMs = 3000;

const std::vector<int> kFadeInSteps{20, 40, 60, 80, 100, 120, 140, 160, 180, 200};
const std::vector<int> kFadeOutSteps{200, 150, 100, 50};

QFont PixelFont(int pixels, bool bold) {
  QFont font = ProportionalPixels(pixels);
  font.setBold(bold);
  return font;
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                 const QColor& color) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
  return label;
}

QLabel* NewPicture(QWidget* parent, const char* name, const QPixmap& pixmap, QPoint at) {
  auto* picture = new QLabel(parent);
  picture->setObjectName(name);
  picture->setPixmap(pixmap);
  picture->setGeometry(at.x(), at.y(), 32, 32);
  return picture;
}

} // namespace

QPoint IncomingNoticePosition(const QRect& available, const QSize& size) {
  return {available.x() + available.width() - size.width(),
          available.y() + available.height() - size.height()};
}

// Past the window manager: a mapping it handles waits for it, and one busy
// or slow held a caller's notice for as long as it took. The popup needs none
// of what it adds: no frame, no focus, no place of its choosing.
TIncomingNoticeForm::TIncomingNoticeForm()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::BypassWindowManagerHint) {
  setObjectName("IncomingNoticeForm");
  // Closing it by the system frees it; the next notice makes a new one.
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_QuitOnClose, false);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFont(PixelFont(12, false));
  setMinimumWidth(kMinimumWidth);
  resize(280, kClientHeight);
  CreateControls();
  LayOut();
  SetOpacity(200);
  autoHideTimer_.setObjectName("AutoHideTimer");
  autoHideTimer_.setInterval(kIncomingShowMs);
  connect(&autoHideTimer_, &QTimer::timeout, this,
          [this] { Guarded([this] { AutoHideTimerTimer(); }); });
  fadeTimer_.setObjectName("FadeTimer");
  fadeTimer_.setInterval(kFadePauseMs);
  connect(&fadeTimer_, &QTimer::timeout, this, [this] { Guarded([this] { FadeTimerTimer(); }); });
  afterPaint_ = new TAfterPaint(*this, PaintStamp([this] {
    return RingMode() ? std::string("ring") : numberOrNameLabel_->text().toStdString();
  }));
}

TIncomingNoticeForm::~TIncomingNoticeForm() = default;

void TIncomingNoticeForm::Preload() {
  QString texts = QString::fromUtf8(" 0123456789様から電話が来ました。　") + yokokuLabel_->text();
  for (const char* code : {"P", "O", "C", "E"})
    texts += QString::fromStdString(NumberDisplayText(code));
  PreloadWindow(*this, texts);
}

void TIncomingNoticeForm::CreateControls() {
  auto* panel = new TPanelEx(this, Qt::black);
  panel->setObjectName("PanelEx1");
  FillParent(panel);
  auto* top = new TGradient(panel, QColor(125, 125, 0), QColor(255, 255, 204), Qt::Horizontal);
  top->setObjectName("Gradient1");
  auto* rest = new TGradient(panel, QColor(255, 255, 204), Qt::white, Qt::Horizontal);
  rest->setObjectName("Gradient2");
  // The information picture keeps clear of the title's first letter: drawn
  // 24 pixels wide at the left of its box, and beneath the title.
  const QIcon info = style()->standardIcon(QStyle::SP_MessageBoxInformation);
  NewPicture(panel, "InfoImage", info.pixmap(24, 24), {12, 9});
  const QString title = QString::fromUtf8("Teloria II からのお知らせ");
  NewLabel(panel, "TitleLabel2", title, PixelFont(13, false), Qt::black)->move(40, 12);
  NewLabel(panel, "TitleLabel1", title, PixelFont(13, false), Qt::white)->move(38, 10);
  image1_ = NewPicture(panel, "Image1", PhonePicture(32, true), {23, 50});
  closeButton_ = new QToolButton(panel);
  closeButton_->setObjectName("CloseButton");
  closeButton_->setText(QString::fromUtf8("×"));
  closeButton_->setFont(PixelFont(12, true));
  closeButton_->setAutoRaise(true);
  connect(closeButton_, &QToolButton::clicked, this,
          [this] { Guarded([this] { CloseButtonClick(); }); });
  numberOrNameLabel_ =
      NewLabel(panel, "NumberOrNameLabel", "", PixelFont(15, true), QColor(0, 0, 128));
  numberOrNameLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  numberOrNameBackLabel_ = NewLabel(panel, "NumberOrNameBackLabel", "", font(), Qt::black);
  numberOrNameBackLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  yokokuLabel_ = NewLabel(panel, "YokokuLabel", QString::fromUtf8("電話が鳴ります。"),
                          PixelFont(15, true), QColor(0, 0, 128));
  yokokuLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  yokokuLabel_->hide();
  for (QLabel* label : findChildren<QLabel*>())
    label->adjustSize();
}

// Anchors: the caller line stretches, the words after it, the ring text and
// the close button keep their distance to the right edge.
void TIncomingNoticeForm::LayOut() {
  const int w = width();
  findChild<QWidget*>("Gradient1")->setGeometry(1, 1, w - 2, 64);
  findChild<QWidget*>("Gradient2")->setGeometry(1, 65, w - 2, kClientHeight - 66);
  closeButton_->setGeometry(w - 24, 1, 23, 22);
  numberOrNameLabel_->setGeometry(60, 50, w - 216, 32);
  numberOrNameBackLabel_->setGeometry(w - 156, 50, 148, 32);
  yokokuLabel_->setGeometry(24, 50, w - 48, 32);
}

bool TIncomingNoticeForm::RingMode() const {
  return !yokokuLabel_->isHidden();
}

void TIncomingNoticeForm::SetOpacity(int alpha) {
  opacity_ = alpha;
  if (PlatformSetsWindowOpacity())
    setWindowOpacity(alpha / 255.0);
  emit OpacityStep(alpha);
}

int TIncomingNoticeForm::MeasureWithFirstShowing(const QLabel& label, const QString& text) {
  int measure = QFontMetrics(label.font()).horizontalAdvance(text);
  if (!firstShown_) {
    measure += 20;
    firstShown_ = true;
  }
  return measure;
}

void TIncomingNoticeForm::ShowIncoming(const TTableRow& row) {
  // The number of the call whose ring is announced on screen takes the
  // announcement's place and goes on with its fade.
  const bool fadeIn = !isVisible() || !RingMode() || FadingOut();
  image1_->show();
  numberOrNameLabel_->show();
  numberOrNameBackLabel_->show();
  yokokuLabel_->hide();
  row_.Assign(row);
  const std::string name = row.GetValue("owner_name");
  std::string caller;
  if (!name.empty()) {
    caller = " " + name;
    numberOrNameBackLabel_->setText(QString::fromUtf8("様から電話が来ました。"));
  } else {
    caller = " " + NumberDisplayText(row.GetValue("phone_number"));
    numberOrNameBackLabel_->setText(QString::fromUtf8("から電話が来ました。　"));
  }
  const QString text = QString::fromStdString(caller);
  numberOrNameLabel_->setText(text);
  ShowAndFadeIn(MeasureWithFirstShowing(*numberOrNameLabel_, text) + 216, kIncomingShowMs, fadeIn);
}

void TIncomingNoticeForm::ShowRing() {
  image1_->hide();
  numberOrNameLabel_->hide();
  numberOrNameBackLabel_->hide();
  yokokuLabel_->show();
  ShowAndFadeIn(MeasureWithFirstShowing(*yokokuLabel_, yokokuLabel_->text()) + 48, kRingShowMs,
                true);
}

// A hidden popup is placed, shown at opacity 0, painted at once and faded
// in. One on screen is changed in place, size, position and all: hiding and
// showing it again would make the display server unmap and map it anew,
// which is what a caller's notice can least afford to wait for.
void TIncomingNoticeForm::ShowAndFadeIn(int width, int autoHideMs, bool fadeIn) {
  const QSize size(std::max(kMinimumWidth, width), kClientHeight);
  QPoint at = pos();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    at = IncomingNoticePosition(screen->availableGeometry(), size); // frameless: no frame
  setGeometry(QRect(at, size));
  LayOut();
  if (fadeIn)
    SetOpacity(0);
  afterPaint_->Showing();
  show();
  raise();
  repaint();
  if (fadeIn)
    Fade(kFadeInSteps, [this] { update(); });
  autoHideTimer_.start(autoHideMs);
}

void TIncomingNoticeForm::HideNow() {
  fadeTimer_.stop();
  hide();
}

// Each step is followed by a pause; `done` runs after the last pause. A new
// fade replaces one still running.
void TIncomingNoticeForm::Fade(std::vector<int> steps, std::function<void()> done) {
  fadeSteps_ = std::move(steps);
  fadeDone_ = std::move(done);
  fadeNext_ = 0;
  SetOpacity(fadeSteps_[fadeNext_++]);
  fadeTimer_.start();
}

void TIncomingNoticeForm::FadeTimerTimer() {
  if (fadeNext_ < fadeSteps_.size()) {
    SetOpacity(fadeSteps_[fadeNext_++]);
    return;
  }
  fadeTimer_.stop();
  if (fadeDone_)
    fadeDone_();
}

bool TIncomingNoticeForm::FadingOut() const {
  return fadeTimer_.isActive() && fadeSteps_ == kFadeOutSteps;
}

void TIncomingNoticeForm::FadeOut() {
  Fade(kFadeOutSteps, [this] { hide(); });
}

void TIncomingNoticeForm::AutoHideTimerTimer() {
  autoHideTimer_.stop();
  FadeOut();
}

void TIncomingNoticeForm::CloseButtonClick() {
  autoHideTimer_.stop();
  FadeOut();
}

void TIncomingNoticeForm::FormMouseDown() {
  autoHideTimer_.stop();
  FadeOut();
  if (!RingMode())
    Windows().ShowNumberDisplay(row_);
}

void TIncomingNoticeForm::mousePressEvent(QMouseEvent* event) {
  // Labels, pictures and panels pass their presses up to here.
  event->accept();
  Guarded([this] { FormMouseDown(); });
}

void TIncomingNoticeForm::Guarded(const std::function<void()>& fn) {
  GuardEvent("着信通知の処理でエラーが発生しました。", fn);
}

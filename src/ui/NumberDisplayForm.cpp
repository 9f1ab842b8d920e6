#include "ui/NumberDisplayForm.h"

#include "base/Clock.h"
#include "data/NumberRules.h"
#include "settings/AppSettings.h"
#include "settings/DateText.h"
#include "settings/Logging.h"
#include "ui/AfterPaint.h"
#include "ui/Decorations.h"
#include "ui/DisplaySize.h"
#include "ui/EventGuard.h"
#include "ui/LiveCallTimes.h"
#include "ui/PixelFonts.h"
#include "ui/ScreenFit.h"
#include "ui/SettingsSubscription.h"
#include "ui/UiWindows.h"
#include "ui/WindowPreload.h"
#include "ui/WindowState.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const char* const kStateSection = "NumberDisplayWnd";
constexpr int kCaptionLeft = 18;
constexpr int kFirstRowTop = 18;
constexpr int kBandHeight = 40;

// One caption cell and the value beside it.
struct TCell {
  const char* Caption;
  const char* CaptionText; // null: a memo caption from the settings
  const char* Value;
  bool Memo;
};

const TCell kCells[] = {
    {"IncomingTimeLabel", "着信時刻", "IncomingTimeEdit", false},
    {"PrevIncomingDateLabel", "前回着信日時", "PrevIncomingDateEdit", false},
    {"OwnerNameLabel", "名前", "OwnerNameEdit", false},
    {"Memo1Label", nullptr, "Memo1", true},
    {"Memo2Label", nullptr, "Memo2", true},
    {"Memo3Label", nullptr, "Memo3", true},
    {"ExecCmdLabel", "起動コマンド", "ExecCmdEdit", false},
    {"PhoneNumberLabel", "電話番号", "PhoneNumberEdit", false},
    {"OffHookSecondsLabel", "応答までの時間", "OffHookSecondsEdit", false},
    {"OnHookSecondsLabel", "通話時間", "OnHookSecondsEdit", false},
};

// The values fields that stretch with the window.
const char* const kStretched[] = {"OwnerNameEdit", "Memo1", "Memo2", "Memo3", "ExecCmdEdit"};

// The layout of one display size (DispSize 0 small, 1 medium, 2 large).
struct TSizeLayout {
  int FontHeight, LineHeight, MemoHeight;
  int CaptionWidth, ValueLeft, StretchMargin, TimeWidth;
  int RightCaptionLeft, RightValueLeft, PrevDateWidth, PhoneWidth;
  int SeparatorTop, NameTop, MemoTops[3], CommandTop, PhoneTop, TimesTop;
  int MinWidth, MinHeight;
};

const TSizeLayout kLayouts[3] = {
    {16,
     22,
     56,
     124,
     146,
     194,
     112,
     274,
     402,
     188,
     172,
     48,
     66,
     {92, 152, 212},
     272,
     298,
     324,
     638,
     475},
    {20,
     26,
     66,
     146,
     168,
     216,
     128,
     314,
     464,
     240,
     212,
     52,
     70,
     {100, 170, 240},
     310,
     340,
     370,
     750,
     526},
    {24,
     30,
     76,
     168,
     190,
     238,
     144,
     354,
     526,
     292,
     252,
     56,
     74,
     {108, 188, 268},
     348,
     384,
     420,
     864,
     578},
};

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

} // namespace

TNumberDisplayForm::TNumberDisplayForm() : QWidget(nullptr, Qt::Window) {
  setObjectName("NumberDisplayForm");
  setWindowTitle(QString::fromUtf8("着信電話情報の表示 - Teloria II"));
  setAttribute(Qt::WA_QuitOnClose, false);
  setFont(FixedPixels(12));
  subscription_ = std::make_unique<TSettingsSubscription>(this, [this] {
    GuardEvent("着信電話情報の表示で設定を反映できません。", [this] { SettingsChanged(); });
  });
  CreateControls();
  LayOut(AppSettings.DispSize);
  SetMemoCaptions();
  RestoreWindowState(kStateSection, *this);
  afterPaint_ = new TAfterPaint(*this);
  incomingCheckTimer_.setObjectName("IncomingCheckTimer");
  incomingCheckTimer_.setInterval(500);
  connect(&incomingCheckTimer_, &QTimer::timeout, this, [this] {
    GuardEvent("通話時間を表示できません。", [this] { IncomingCheckTimerTimer(); });
  });
  incomingCheckTimer_.start();
}

TNumberDisplayForm::~TNumberDisplayForm() {
  subscription_.reset();
  if (!shown_)
    return;
  try {
    SaveWindowState(kStateSection, *this);
  } catch (const std::exception& e) {
    LogException(llWarning, "着信電話情報の表示の位置を保存できません。", e);
  }
}

void TNumberDisplayForm::Preload() {
  PreloadWindow(*this, QString::fromUtf8("0123456789:/ 非通知表示圏外公衆電話エラー未応答"));
}

void TNumberDisplayForm::showEvent(QShowEvent* event) {
  shown_ = true;
  QWidget::showEvent(event);
}

void TNumberDisplayForm::CreateControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  topContainerPanel_ = new QWidget(this);
  topContainerPanel_->setObjectName("TopContainerPanel");
  topContainerPanel_->installEventFilter(this);
  outer->addWidget(topContainerPanel_, 1);
  auto* status = new QStatusBar(this);
  status->setObjectName("StatusBar1");
  outer->addWidget(status);

  auto* column = new QVBoxLayout(topContainerPanel_);
  column->setContentsMargins(16, 16, 16, 16);
  column->setSpacing(0);

  auto* titleBand = new TPanelEx(topContainerPanel_, QColor(30, 60, 130));
  titleBand->setObjectName("PanelEx2");
  titleBand->setFixedHeight(kBandHeight);
  auto* titleGradient =
      new TGradient(titleBand, QColor(30, 80, 170), QColor(200, 220, 250), Qt::Horizontal);
  titleGradient->setObjectName("Gradient1");
  FillParent(titleGradient);
  auto* title = new QLabel(QString::fromUtf8("着信電話情報の表示"), titleBand);
  title->setObjectName("TitleLabel");
  QFont titleFont = FixedPixels(16);
  titleFont.setBold(true);
  title->setFont(titleFont);
  title->setStyleSheet("color: white;");
  title->setGeometry(12, 0, 400, kBandHeight);
  column->addWidget(titleBand);
  column->addWidget(CreateBody(topContainerPanel_), 1);

  auto* bottom = new TPanelEx(topContainerPanel_, QColor(30, 60, 130),
                              Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
  bottom->setObjectName("PanelEx3");
  bottom->setFixedHeight(kBandHeight);
  auto* buttons = new QHBoxLayout(bottom);
  buttons->setContentsMargins(8, 6, 12, 6);
  buttons->addStretch(1);
  editButton_ = new TButtonEx(QString::fromUtf8("編集"), bottom);
  editButton_->setObjectName("EditButton");
  editButton_->setFixedWidth(100);
  editButton_->setFont(FixedPixels(14));
  editButton_->setEnabled(false);
  connect(editButton_, &QPushButton::clicked, this,
          [this] { GuardEvent("編集画面を開けません。", [this] { EditButtonClick(); }); });
  buttons->addWidget(editButton_);
  column->addWidget(bottom);
}

QWidget* TNumberDisplayForm::CreateBody(QWidget* container) {
  auto* body = new TPanelEx(container, QColor(30, 60, 130));
  body->setObjectName("PanelEx1");
  auto* background = new TGradient(body, QColor(235, 242, 255), Qt::white, Qt::Vertical);
  background->setObjectName("Gradient2");
  FillParent(background);
  auto* separator = new QLabel(body);
  separator->setObjectName("SeparateLabel");
  separator->setStyleSheet("background-color: rgb(30, 60, 130);");
  for (const TCell& cell : kCells) {
    auto* caption = new QLabel(
        cell.CaptionText != nullptr ? QString::fromUtf8(cell.CaptionText) : QString(), body);
    caption->setObjectName(cell.Caption);
    caption->setAlignment(Qt::AlignCenter);
    caption->setStyleSheet("background-color: rgb(30, 80, 170); color: white;");
    QWidget* value = nullptr;
    if (cell.Memo) {
      auto* memo = new QPlainTextEdit(body);
      memo->setReadOnly(true);
      value = memo;
    } else {
      auto* edit = new QLineEdit(body);
      edit->setReadOnly(true);
      value = edit;
    }
    value->setObjectName(cell.Value);
    value->setFocusPolicy(Qt::NoFocus);
    value->setStyleSheet("background-color: rgb(228, 238, 255);");
  }
  return body;
}

void TNumberDisplayForm::LayOut(int dispSize) {
  layoutSize_ = LayoutSizeOf(dispSize);
  const TSizeLayout& l = kLayouts[layoutSize_];
  const auto place = [this, &l](const char* caption, int captionLeft, const char* value,
                                int valueLeft, int top, int height, int valueWidth) {
    findChild<QWidget*>(caption)->setGeometry(captionLeft, top, l.CaptionWidth, height);
    findChild<QWidget*>(value)->setGeometry(valueLeft, top, valueWidth, height);
  };
  for (const TCell& cell : kCells) {
    findChild<QWidget*>(cell.Caption)->setFont(FixedPixels(l.FontHeight - CaptionFontReduction));
    findChild<QWidget*>(cell.Value)->setFont(FixedPixels(l.FontHeight));
  }
  const int h = l.LineHeight;
  place("IncomingTimeLabel", kCaptionLeft, "IncomingTimeEdit", l.ValueLeft, kFirstRowTop, h,
        l.TimeWidth);
  place("PrevIncomingDateLabel", l.RightCaptionLeft, "PrevIncomingDateEdit", l.RightValueLeft,
        kFirstRowTop, h, l.PrevDateWidth);
  findChild<QWidget*>("SeparateLabel")->setGeometry(kCaptionLeft, l.SeparatorTop, 1, 1);
  place("OwnerNameLabel", kCaptionLeft, "OwnerNameEdit", l.ValueLeft, l.NameTop, h, 1);
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i + 1);
    place(("Memo" + n + "Label").c_str(), kCaptionLeft, ("Memo" + n).c_str(), l.ValueLeft,
          l.MemoTops[i], l.MemoHeight, 1);
  }
  place("ExecCmdLabel", kCaptionLeft, "ExecCmdEdit", l.ValueLeft, l.CommandTop, h, 1);
  place("PhoneNumberLabel", kCaptionLeft, "PhoneNumberEdit", l.ValueLeft, l.PhoneTop, h,
        l.PhoneWidth);
  place("OffHookSecondsLabel", kCaptionLeft, "OffHookSecondsEdit", l.ValueLeft, l.TimesTop, h,
        l.TimeWidth);
  place("OnHookSecondsLabel", l.RightCaptionLeft, "OnHookSecondsEdit", l.RightValueLeft, l.TimesTop,
        h, l.TimeWidth);
  topContainerPanel_->setMinimumSize(l.MinWidth, l.MinHeight);
  layout()->activate();
  // Shrinks to the smallest size the minimums allow.
  resize(0, 0);
  StretchToContainer();
  KeepOnScreen(*this);
}

// The name, memo and command fields keep their distance to the right edge.
void TNumberDisplayForm::StretchToContainer() {
  const TSizeLayout& l = kLayouts[layoutSize_];
  const int width = topContainerPanel_->width() - l.StretchMargin;
  for (const char* name : kStretched) {
    QWidget* value = findChild<QWidget*>(name);
    value->resize(width, value->height());
  }
  QWidget* separator = findChild<QWidget*>("SeparateLabel");
  separator->resize(l.ValueLeft + width - kCaptionLeft, 1);
}

bool TNumberDisplayForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == topContainerPanel_ && event->type() == QEvent::Resize && layoutSize_ >= 0)
    StretchToContainer();
  return QWidget::eventFilter(watched, event);
}

void TNumberDisplayForm::SetMemoCaptions() {
  findChild<QLabel*>("Memo1Label")->setText(Q(AppSettings.Memo1Caption));
  findChild<QLabel*>("Memo2Label")->setText(Q(AppSettings.Memo2Caption));
  findChild<QLabel*>("Memo3Label")->setText(Q(AppSettings.Memo3Caption));
}

void TNumberDisplayForm::SettingsChanged() {
  if (LayoutSizeOf(AppSettings.DispSize) != layoutSize_)
    LayOut(AppSettings.DispSize);
  SetMemoCaptions();
}

void TNumberDisplayForm::Fill(const TTableRow& row) {
  afterPaint_->Showing();
  row_.Assign(row);
  const auto text = [this](const char* name, const std::string& value) {
    findChild<QLineEdit*>(name)->setText(Q(value));
  };
  text("IncomingTimeEdit",
       FormatDateTime("hh:nn:ss", DateTimeFromTextDef(row_.GetValue("_IncomingDate"), Now())));
  const std::string stored = row_.GetValue("last_incoming_date");
  const TDateTime previous = DateTimeFromTextDef(stored, 0);
  text("PrevIncomingDateEdit",
       previous == 0 ? stored : FormatDateTime("yyyy/mm/dd hh:nn:ss", previous));
  text("OwnerNameEdit", row_.GetValue("owner_name"));
  for (const char* memo : {"memo1", "memo2", "memo3"}) {
    const std::string name = std::string("Memo") + memo[4];
    findChild<QPlainTextEdit*>(Q(name))->setPlainText(Q(row_.GetValue(memo)));
  }
  text("ExecCmdEdit", row_.GetValue("exec_cmd"));
  text("PhoneNumberEdit", NumberDisplayText(row_.GetValue("phone_number")));
  editButton_->setEnabled(row_.GetValue("_IsValidNumber") == "1");
  text("OffHookSecondsEdit", "");
  text("OnHookSecondsEdit", "");
}

void TNumberDisplayForm::IncomingCheckTimerTimer() {
  const TLiveCallTimes times = LiveCallTimes(row_.GetValue("phone_number"));
  findChild<QLineEdit*>("OffHookSecondsEdit")->setText(Q(times.OffHook));
  findChild<QLineEdit*>("OnHookSecondsEdit")->setText(Q(times.OnHook));
}

void TNumberDisplayForm::BringToUser() {
  // A hidden window keeps its state and bounds; showing it restores both.
  if (!isVisible()) {
    show();
  } else if (isMinimized()) {
    setWindowState(windowState() & ~Qt::WindowMinimized);
  } else {
    hide();
    show();
  }
  // Bounds kept from a smaller text size may reach past the screen.
  KeepOnScreen(*this);
  raise();
  activateWindow();
}

void TNumberDisplayForm::EditButtonClick() {
  Windows().NewNumberEdit(&row_, geometry());
  hide();
}

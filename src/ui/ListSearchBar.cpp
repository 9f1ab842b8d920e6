#include "ui/ListSearchBar.h"

#include "base/Text.h"
#include "ui/Cp932Limit.h"
#include "ui/DisplaySize.h"
#include "ui/PixelFonts.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int SearchMaxBytes = 30;
const QColor IdleEditColour(224, 227, 241);

struct TSearchBarLayout {
  int PanelHeight, FontHeight, LabelWidth, ControlHeight, EditLeft, EditWidth, StartLeft, ClearLeft,
      ButtonWidth;
};

constexpr TSearchBarLayout Layouts[3] = {
    {36, 16, 88, 22, 99, 246, 353, 440, 84},
    {40, 20, 104, 26, 115, 306, 429, 532, 100},
    {44, 24, 120, 30, 131, 366, 505, 624, 116},
};
constexpr int LabelLeft = 8;
constexpr int ButtonFontHeight = 16;

QPushButton* Button(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setFont(ProportionalPixels(ButtonFontHeight));
  return button;
}

} // namespace

TListSearchBar::TListSearchBar(std::function<void()> load, QWidget* parent)
    : QWidget(parent), load_(std::move(load)) {
  setObjectName("SearchPanel");
  searchLabel_ = new QLabel("絞込内容", this);
  searchLabel_->setObjectName("SearchLabel");
  searchLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Clear of the field it names.
  searchLabel_->setContentsMargins(0, 0, 6, 0);
  searchEdit_ = new QLineEdit(this);
  searchEdit_->setObjectName("SearchEdit");
  LimitCp932Bytes(*searchEdit_, SearchMaxBytes);
  searchEdit_->installEventFilter(this);
  startButton_ = Button("SearchStartButton", "絞込実行", this);
  clearButton_ = Button("SearchClearButton", "絞込解除", this);
  connect(startButton_, &QPushButton::clicked, this, [this] { SearchStartButtonClick(); });
  connect(clearButton_, &QPushButton::clicked, this, [this] { SearchClearButtonClick(true); });
  connect(searchEdit_, &QLineEdit::returnPressed, this, [this] { SearchEditKeyPress(); });
  connect(searchEdit_, &QLineEdit::textChanged, this, [this] {
    if (!searchEdit_->hasFocus())
      UpdateButtons();
  });
  SetEditColour(IdleEditColour);
  Layout(0);
}

void TListSearchBar::Layout(int dispSize) {
  const TSearchBarLayout& l = Layouts[LayoutSizeOf(dispSize)];
  setFixedHeight(l.PanelHeight);
  const int top = (l.PanelHeight - l.ControlHeight) / 2;
  searchLabel_->setFont(ProportionalPixels(l.FontHeight));
  searchLabel_->setGeometry(LabelLeft, top, l.LabelWidth, l.ControlHeight);
  searchEdit_->setFont(ProportionalPixels(l.FontHeight));
  searchEdit_->setGeometry(l.EditLeft, top, l.EditWidth, l.ControlHeight);
  startButton_->setGeometry(l.StartLeft, top, l.ButtonWidth, l.ControlHeight);
  clearButton_->setGeometry(l.ClearLeft, top, l.ButtonWidth, l.ControlHeight);
  setMinimumWidth(l.ClearLeft + l.ButtonWidth + LabelLeft);
}

void TListSearchBar::UpdateButtons() {
  const bool enabled = !Trim(searchEdit_->text().toStdString()).empty() || !filter_.empty();
  startButton_->setEnabled(enabled);
  clearButton_->setEnabled(enabled);
}

void TListSearchBar::SearchStartButtonClick() {
  const std::string text = Trim(searchEdit_->text().toStdString());
  if (text.empty() && filter_.empty())
    return;
  filter_ = text;
  load_();
}

void TListSearchBar::SearchClearButtonClick(bool fromButton) {
  searchEdit_->clear();
  if (fromButton && filter_.empty()) {
    UpdateButtons();
    return;
  }
  filter_.clear();
  load_();
}

void TListSearchBar::SearchEditEnter() {
  SetEditColour(Qt::white);
  startButton_->setEnabled(true);
  clearButton_->setEnabled(true);
}

void TListSearchBar::SearchEditExit() {
  SetEditColour(IdleEditColour);
  UpdateButtons();
}

void TListSearchBar::SearchEditKeyPress() {
  UpdateButtons();
  if (startButton_->isEnabled())
    SearchStartButtonClick();
}

void TListSearchBar::SetEditColour(const QColor& colour) {
  QPalette pal = searchEdit_->palette();
  pal.setColor(QPalette::Base, colour);
  searchEdit_->setPalette(pal);
}

bool TListSearchBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == searchEdit_) {
    if (event->type() == QEvent::FocusIn)
      SearchEditEnter();
    else if (event->type() == QEvent::FocusOut)
      SearchEditExit();
  }
  return QWidget::eventFilter(watched, event);
}

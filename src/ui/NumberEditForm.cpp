#include "ui/NumberEditForm.h"

#include "base/Text.h"
#include "data/NumberRules.h"
#include "data/PhoneBook.h"
#include "settings/AppSettings.h"
#include "ui/Cp932Limit.h"
#include "ui/DisplaySize.h"
#include "ui/EventGuard.h"
#include "ui/LiveCallTimes.h"
#include "ui/MessageBoxes.h"
#include "ui/PixelFonts.h"
#include "ui/ScreenFit.h"
#include "ui/SettingsSubscription.h"
#include "ui/UiWindows.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <fmt/printf.h>

namespace {

constexpr int NameMaxBytes = 40;
constexpr int MemoMaxBytes = 200;
constexpr int ExecCmdMaxBytes = 1000;
constexpr int NumberMaxBytes = 20;
constexpr int ButtonFontHeight = 16;
const char* const MemoColumns[3] = {"memo1", "memo2", "memo3"};
// What the office's book shares of an entry.
const char* const OfficeColumns[] = {"owner_name", "memo1", "memo2", "memo3"};

struct TEditLayout {
  int FontHeight;
  // Height of one-line captions and fields, and of memo captions and memos.
  int LineHeight;
  int MemoHeight;
  int CaptionWidth;
  int FieldLeft;
  // The wide fields are the container's width less this: their right
  // margin is the captions' left one.
  int WideMargin;
  int MemoTops[3];
  int CommandTop;
  int NumberTop;
  int NumberWidth;
  int FindLeft;
  int FindWidth;
  int TimesTop;
  // Also the width of OnHookSecondsEdit.
  int OffHookWidth;
  int OnHookLabelLeft;
  int OnHookEditLeft;
  // Of TopContainerPanel; the height ends 16 pixels below the times, the
  // last row, so that the buttons follow the fields.
  int MinWidth;
  int MinHeight;
};

constexpr int CaptionLeft = 18;
constexpr int NameTop = 16;
constexpr TEditLayout Layouts[3] = {
    {.FontHeight = 16,
     .LineHeight = 22,
     .MemoHeight = 56,
     .CaptionWidth = 124,
     .FieldLeft = 146,
     .WideMargin = 164,
     .MemoTops = {42, 102, 162},
     .CommandTop = 222,
     .NumberTop = 248,
     .NumberWidth = 172,
     .FindLeft = 324,
     .FindWidth = 82,
     .TimesTop = 274,
     .OffHookWidth = 112,
     .OnHookLabelLeft = 274,
     .OnHookEditLeft = 402,
     .MinWidth = 638,
     .MinHeight = 312},
    {.FontHeight = 20,
     .LineHeight = 26,
     .MemoHeight = 66,
     .CaptionWidth = 146,
     .FieldLeft = 168,
     .WideMargin = 186,
     .MemoTops = {46, 116, 186},
     .CommandTop = 256,
     .NumberTop = 286,
     .NumberWidth = 212,
     .FindLeft = 386,
     .FindWidth = 98,
     .TimesTop = 316,
     .OffHookWidth = 128,
     .OnHookLabelLeft = 314,
     .OnHookEditLeft = 464,
     .MinWidth = 750,
     .MinHeight = 358},
    {.FontHeight = 24,
     .LineHeight = 30,
     .MemoHeight = 76,
     .CaptionWidth = 168,
     .FieldLeft = 190,
     .WideMargin = 208,
     .MemoTops = {50, 130, 210},
     .CommandTop = 290,
     .NumberTop = 326,
     .NumberWidth = 252,
     .FindLeft = 448,
     .FindWidth = 114,
     .TimesTop = 362,
     .OffHookWidth = 144,
     .OnHookLabelLeft = 354,
     .OnHookEditLeft = 526,
     .MinWidth = 864,
     .MinHeight = 408},
};

// The database keeps memo line breaks as CR LF, as the Windows program wrote
// them; the editor works with LF.
QString MemoForEditor(std::string text) {
  for (size_t pos = text.find('\r'); pos != std::string::npos; pos = text.find('\r', pos)) {
    if (pos + 1 < text.size() && text[pos + 1] == '\n')
      text.erase(pos, 1);
    else
      text[pos] = '\n';
  }
  return QString::fromStdString(text);
}

std::string MemoForDatabase(const QString& text) {
  std::string result;
  for (const char c : text.toStdString()) {
    if (c == '\n')
      result += '\r';
    result += c;
  }
  return result;
}

QLabel* Caption(const char* name, const char* text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignCenter);
  label->setAutoFillBackground(true);
  label->setStyleSheet("background-color: #0000c0; color: white;");
  return label;
}

QLineEdit* LineEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

QPushButton* Button(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setFont(FixedPixels(ButtonFontHeight));
  return button;
}

} // namespace

TNumberEditForm::TNumberEditForm() {
  setObjectName("NumberEditForm");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle("情報の編集 - Teloria II");
  setFont(FixedPixels(16));
  BuildControls();
  settings_ = std::make_unique<TSettingsSubscription>(this, [this] { CMSettingsChanged(); });
  Layout(AppSettings.DispSize);
  SetMemoCaptions();
  ClearFields();
  incomingCheckTimer_.setInterval(500);
  connect(&incomingCheckTimer_, &QTimer::timeout, this, [this] { IncomingCheckTimerTimer(); });
  incomingCheckTimer_.start();
  book_ = PhoneBook().Listen([this](const TPhoneBookChange& change) {
    GuardEvent("電話番号情報の変更を表示できません。", [&] { BookChanged(change); });
  });
}

TNumberEditForm::~TNumberEditForm() = default;

void TNumberEditForm::BuildControls() {
  auto* title = new QWidget(this);
  title->setObjectName("PanelEx2");
  auto* titleLabel = new QLabel("情報の編集", title);
  titleLabel->setObjectName("TitleLabel");
  QFont bold = FixedPixels(18);
  bold.setBold(true);
  titleLabel->setFont(bold);
  (new QHBoxLayout(title))->addWidget(titleLabel);

  container_ = new QWidget(this);
  container_->setObjectName("TopContainerPanel");
  container_->installEventFilter(this);
  ownerNameLabel_ = Caption("OwnerNameLabel", "名前", container_);
  ownerNameEdit_ = LineEdit("OwnerNameEdit", container_);
  LimitCp932Bytes(*ownerNameEdit_, NameMaxBytes);
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i + 1);
    memoLabels_[i] = Caption(("Memo" + n + "Label").c_str(), "", container_);
    memos_[i] = new QPlainTextEdit(container_);
    memos_[i]->setObjectName(QString::fromStdString("Memo" + n));
    memos_[i]->setTabChangesFocus(true);
    memos_[i]->installEventFilter(this);
    LimitCp932Bytes(*memos_[i], MemoMaxBytes);
  }
  execCmdLabel_ = Caption("ExecCmdLabel", "起動コマンド", container_);
  execCmdEdit_ = LineEdit("ExecCmdEdit", container_);
  LimitCp932Bytes(*execCmdEdit_, ExecCmdMaxBytes);
  phoneNumberLabel_ = Caption("PhoneNumberLabel", "電話番号", container_);
  phoneNumberEdit_ = LineEdit("PhoneNumberEdit", container_);
  LimitCp932Bytes(*phoneNumberEdit_, NumberMaxBytes);
  // Numbers are typed with the input method off.
  phoneNumberEdit_->setAttribute(Qt::WA_InputMethodEnabled, false);
  phoneNumberEdit_->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhLatinOnly);
  phoneNumberEdit_->installEventFilter(this);
  numberFindButton_ = Button("NumberFindButton", "検索", container_);
  offHookSecondsLabel_ = Caption("OffHookSecondsLabel", "応答までの時間", container_);
  offHookSecondsEdit_ = LineEdit("OffHookSecondsEdit", container_);
  onHookSecondsLabel_ = Caption("OnHookSecondsLabel", "通話時間", container_);
  onHookSecondsEdit_ = LineEdit("OnHookSecondsEdit", container_);
  for (QLineEdit* edit : {offHookSecondsEdit_, onHookSecondsEdit_}) {
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
  }

  auto* bottom = new QWidget(this);
  bottom->setObjectName("PanelEx3");
  reloadButton_ = Button("ReloadButton", "再読込", bottom);
  reloadButton_->hide();
  showListButton_ = Button("ShowListButton", "一覧表示", bottom);
  saveButton_ = Button("SaveButton", "保存", bottom);
  auto* bottomLayout = new QHBoxLayout(bottom);
  bottomLayout->addWidget(reloadButton_);
  bottomLayout->addStretch(1);
  bottomLayout->addWidget(showListButton_);
  bottomLayout->addWidget(saveButton_);

  auto* status = new QStatusBar(this);
  status->setObjectName("StatusBar1");
  status_ = status;
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(title);
  layout->addWidget(container_, 1);
  layout->addWidget(bottom);
  layout->addWidget(status);

  QWidget::setTabOrder(ownerNameEdit_, memos_[0]);
  QWidget::setTabOrder(memos_[0], memos_[1]);
  QWidget::setTabOrder(memos_[1], memos_[2]);
  QWidget::setTabOrder(memos_[2], execCmdEdit_);
  QWidget::setTabOrder(execCmdEdit_, phoneNumberEdit_);
  QWidget::setTabOrder(phoneNumberEdit_, numberFindButton_);
  QWidget::setTabOrder(numberFindButton_, saveButton_);
  QWidget::setTabOrder(saveButton_, showListButton_);
  QWidget::setTabOrder(showListButton_, reloadButton_); // shown only when offered

  connect(numberFindButton_, &QPushButton::clicked, this, [this] { NumberFindButtonClick(); });
  connect(showListButton_, &QPushButton::clicked, this, [this] { ShowListButtonClick(); });
  connect(saveButton_, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
  connect(reloadButton_, &QPushButton::clicked, this, [this] { ReloadButtonClick(); });
}

void TNumberEditForm::Layout(int dispSize) {
  dispSize_ = LayoutSizeOf(dispSize);
  const TEditLayout& l = Layouts[dispSize_];
  const QFont font = FixedPixels(l.FontHeight);
  const QFont captionFont = FixedPixels(l.FontHeight - CaptionFontReduction);
  for (QWidget* w : container_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    w->setFont(qobject_cast<QLabel*>(w) != nullptr ? captionFont : font);
  numberFindButton_->setFont(FixedPixels(ButtonFontHeight));
  const auto row = [&](QLabel* label, QWidget* field, int top, int height, int width) {
    label->setGeometry(CaptionLeft, top, l.CaptionWidth, height);
    field->setGeometry(l.FieldLeft, top, width, height);
  };
  row(phoneNumberLabel_, phoneNumberEdit_, l.NumberTop, l.LineHeight, l.NumberWidth);
  numberFindButton_->setGeometry(l.FindLeft, l.NumberTop, l.FindWidth, l.LineHeight);
  row(offHookSecondsLabel_, offHookSecondsEdit_, l.TimesTop, l.LineHeight, l.OffHookWidth);
  onHookSecondsLabel_->setGeometry(l.OnHookLabelLeft, l.TimesTop, l.CaptionWidth, l.LineHeight);
  onHookSecondsEdit_->setGeometry(l.OnHookEditLeft, l.TimesTop, l.OffHookWidth, l.LineHeight);
  container_->setMinimumSize(l.MinWidth, l.MinHeight);
  LayoutWideFields();
  // Shrink to the smallest size the minimums allow, those of this size.
  layout()->activate();
  resize(0, 0);
  KeepOnScreen(*this);
}

void TNumberEditForm::LayoutWideFields() {
  if (dispSize_ < 0)
    return;
  const TEditLayout& l = Layouts[dispSize_];
  const int width = container_->width() - l.WideMargin;
  const auto row = [&](QLabel* label, QWidget* field, int top, int height) {
    label->setGeometry(CaptionLeft, top, l.CaptionWidth, height);
    field->setGeometry(l.FieldLeft, top, width, height);
  };
  row(ownerNameLabel_, ownerNameEdit_, NameTop, l.LineHeight);
  for (int i = 0; i < 3; ++i)
    row(memoLabels_[i], memos_[i], l.MemoTops[i], l.MemoHeight);
  row(execCmdLabel_, execCmdEdit_, l.CommandTop, l.LineHeight);
}

void TNumberEditForm::SetMemoCaptions() {
  const std::string* captions[3] = {&AppSettings.Memo1Caption, &AppSettings.Memo2Caption,
                                    &AppSettings.Memo3Caption};
  for (int i = 0; i < 3; ++i)
    memoLabels_[i]->setText(QString::fromStdString(*captions[i]));
}

void TNumberEditForm::CMSettingsChanged() {
  if (LayoutSizeOf(AppSettings.DispSize) != dispSize_)
    Layout(AppSettings.DispSize);
  SetMemoCaptions();
}

bool TNumberEditForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == container_ && event->type() == QEvent::Resize)
    LayoutWideFields();
  else if (watched == phoneNumberEdit_ && event->type() == QEvent::FocusOut)
    PhoneNumberEditExit();
  else if (event->type() == QEvent::FocusIn)
    for (QPlainTextEdit* memo : memos_)
      if (watched == memo)
        memo->selectAll(); // MemoXEnter
  return QWidget::eventFilter(watched, event);
}

void TNumberEditForm::FillFromRow(const TTableRow& row) {
  ShowStoredText(*ownerNameEdit_, QString::fromStdString(row.GetValue("owner_name")));
  for (int i = 0; i < 3; ++i)
    ShowStoredText(*memos_[i], MemoForEditor(row.GetValue(MemoColumns[i])));
  ShowStoredText(*execCmdEdit_, QString::fromStdString(row.GetValue("exec_cmd")));
  ShowStoredText(*phoneNumberEdit_,
                 QString::fromStdString(NumberDisplayText(row.GetValue("phone_number"))));
  capturedNumber_ = phoneNumberEdit_->text().toStdString();
  offHookSecondsEdit_->clear();
  onHookSecondsEdit_->clear();
}

void TNumberEditForm::ClearFields() {
  for (QLineEdit* edit :
       {ownerNameEdit_, execCmdEdit_, phoneNumberEdit_, offHookSecondsEdit_, onHookSecondsEdit_})
    edit->clear();
  for (QPlainTextEdit* memo : memos_)
    memo->clear();
}

void TNumberEditForm::PhoneNumberEditExit() {
  const std::string trimmed = Trim(phoneNumberEdit_->text().toStdString());
  const std::string normalised = NormaliseTypedNumber(trimmed);
  if (normalised != trimmed)
    phoneNumberEdit_->setText(QString::fromStdString(normalised));
}

void TNumberEditForm::NumberFindButtonClick() {
  GuardEvent(
      "電話番号情報の検索に失敗しました。",
      [this] {
        const std::string number = Trim(phoneNumberEdit_->text().toStdString());
        if (const std::unique_ptr<TTableRow> entry = PhoneBook().Find(number)) {
          FillFromRow(*entry);
          return;
        }
        ClearFields();
        phoneNumberEdit_->setText(QString::fromStdString(number));
      },
      [](const std::exception&) { ShowErrorMessage("検索できません。"); });
}

void TNumberEditForm::ShowListButtonClick() {
  GuardEvent("電話番号登録一覧画面を開けません。", [] { Windows().ShowPhoneList(); });
}

std::unique_ptr<TTableRow> TNumberEditForm::RowFromFields() const {
  auto row = std::make_unique<TTableRow>();
  row->SetValue("phone_number", Trim(phoneNumberEdit_->text().toStdString()));
  row->SetValue("owner_name", Trim(ownerNameEdit_->text().toStdString()));
  for (int i = 0; i < 3; ++i)
    row->SetValue(MemoColumns[i], TrimRight(MemoForDatabase(memos_[i]->toPlainText())));
  row->SetValue("exec_cmd", TrimRight(execCmdEdit_->text().toStdString()));
  return row;
}

void TNumberEditForm::SaveButtonClick() {
  const std::string number = Trim(phoneNumberEdit_->text().toStdString());
  if (number.empty()) {
    ShowErrorMessage("電話番号を入力して下さい。");
    phoneNumberEdit_->setFocus();
    return;
  }
  GuardEvent(
      "電話番号情報に保存に失敗しました。",
      [&] {
        if (!PhoneBook().HasRoomFor(number, AppSettings.PhoneLimit)) {
          ShowErrorMessage(fmt::sprintf("既に登録が %d 件に達しているためこれ以上登録できません。",
                                        AppSettings.PhoneLimit));
          return;
        }
        const std::unique_ptr<TTableRow> row = RowFromFields();
        if (const std::string problem = TPhoneBook::Problem(*row); !problem.empty()) {
          ShowErrorMessage(problem + "。");
          return;
        }
        if (!ConfirmYesNo("保存してもよろしいですか？"))
          return;
        PhoneBook().Save(*row);
        ShowInfoMessage("保存しました。");
      },
      [](const std::exception&) { ShowErrorMessage("保存できません。"); });
}

void TNumberEditForm::BookChanged(const TPhoneBookChange& change) {
  const std::string number = Trim(phoneNumberEdit_->text().toStdString());
  if (!change.FromOffice || number.empty())
    return;
  if (change.Kind == TPhoneBookChange::TKind::Deleted &&
      std::find(change.Numbers.begin(), change.Numbers.end(), number) != change.Numbers.end()) {
    status_->showMessage("この番号は他の端末で削除されました。");
    return;
  }
  if (change.Kind != TPhoneBookChange::TKind::Saved ||
      change.Entry->GetValue("phone_number") != number)
    return;
  // The desk's own edit coming back confirmed changes nothing on the screen.
  const std::unique_ptr<TTableRow> shown = RowFromFields();
  const bool same =
      std::all_of(std::begin(OfficeColumns), std::end(OfficeColumns), [&](const char* column) {
        return shown->GetValue(column) == change.Entry->GetValue(column);
      });
  if (same)
    return;
  status_->showMessage("この番号の情報が他の端末で変更されました。"
                       "「再読込」で変更後の内容を表示します。");
  reloadButton_->show();
}

void TNumberEditForm::ReloadButtonClick() {
  GuardEvent(
      "電話番号情報の検索に失敗しました。",
      [this] {
        const std::string number = Trim(phoneNumberEdit_->text().toStdString());
        if (const std::unique_ptr<TTableRow> entry = PhoneBook().Find(number))
          FillFromRow(*entry);
        status_->clearMessage();
        reloadButton_->hide();
      },
      [](const std::exception&) { ShowErrorMessage("検索できません。"); });
}

void TNumberEditForm::IncomingCheckTimerTimer() {
  const TLiveCallTimes times = LiveCallTimes(capturedNumber_);
  offHookSecondsEdit_->setText(QString::fromStdString(times.OffHook));
  onHookSecondsEdit_->setText(QString::fromStdString(times.OnHook));
}

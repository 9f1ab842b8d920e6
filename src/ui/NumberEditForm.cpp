#include "ui/NumberEditForm.h"

#include "base/Text.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "ui/Cp932Limit.h"
#include "ui/DbTransaction.h"
#include "ui/DisplaySize.h"
#include "ui/LiveCallTimes.h"
#include "ui/MessageBoxes.h"
#include "ui/NumberNormalise.h"
#include "ui/PhoneListForm.h"
#include "ui/PixelFonts.h"
#include "ui/SettingsSubscription.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <fmt/printf.h>

#include <set>

namespace {

constexpr int NameMaxBytes = 40;
constexpr int MemoMaxBytes = 200;
constexpr int ExecCmdMaxBytes = 1000;
constexpr int NumberMaxBytes = 20;
constexpr int ButtonFontHeight = 16;
const char* const MemoColumns[3] = {"memo1", "memo2", "memo3"};

struct TEditLayout {
  int FontHeight, LineHeight, MemoHeight, CaptionWidth, FieldLeft, WideMargin;
  int MemoTops[3];
  int CommandTop, NumberTop, NumberWidth;
  int FindLeft, FindWidth;
  int TimesTop, OffHookWidth, OnHookLabelLeft, OnHookEditLeft;
  int MinWidth, MinHeight;
};

constexpr int CaptionLeft = 18;
constexpr int NameTop = 16;
constexpr TEditLayout Layouts[3] = {
    {16,
     22,
     56,
     124,
     146,
     194,
     {42, 102, 162},
     222,
     248,
     172,
     324,
     82,
     274,
     112,
     274,
     402,
     638,
     424},
    {20,
     26,
     66,
     146,
     168,
     216,
     {46, 116, 186},
     256,
     286,
     212,
     386,
     98,
     316,
     128,
     314,
     464,
     750,
     471},
    {24,
     30,
     76,
     168,
     190,
     238,
     {50, 130, 210},
     290,
     326,
     252,
     448,
     114,
     362,
     144,
     354,
     526,
     864,
     519},
};

std::set<TNumberEditForm*> openForms;

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
  openForms.insert(this);
}

TNumberEditForm::~TNumberEditForm() {
  openForms.erase(this);
}

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
  showListButton_ = Button("ShowListButton", "一覧表示", bottom);
  saveButton_ = Button("SaveButton", "保存", bottom);
  auto* bottomLayout = new QHBoxLayout(bottom);
  bottomLayout->addStretch(1);
  bottomLayout->addWidget(showListButton_);
  bottomLayout->addWidget(saveButton_);

  auto* status = new QStatusBar(this);
  status->setObjectName("StatusBar1");
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

  connect(numberFindButton_, &QPushButton::clicked, this, [this] { NumberFindButtonClick(); });
  connect(showListButton_, &QPushButton::clicked, this, [this] { ShowListButtonClick(); });
  connect(saveButton_, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
}

void TNumberEditForm::Layout(int dispSize) {
  dispSize_ = LayoutSizeOf(dispSize);
  const TEditLayout& l = Layouts[dispSize_];
  const QFont font = FixedPixels(l.FontHeight);
  for (QWidget* w : container_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    w->setFont(font);
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
  // Shrink to the smallest size the minimums allow.
  resize(0, 0);
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
  try {
    const std::string number = Trim(phoneNumberEdit_->text().toStdString());
    if (const std::unique_ptr<TTableRow> entry = CtiDb->FindPhoneNumber(number)) {
      FillFromRow(*entry);
      return;
    }
    ClearFields();
    phoneNumberEdit_->setText(QString::fromStdString(number));
  } catch (const std::exception& e) {
    LogException(llError, "電話番号情報の検索に失敗しました。", e);
    ShowErrorMessage("検索できません。");
  }
}

void TNumberEditForm::ShowListButtonClick() {
  try {
    ShowPhoneList();
  } catch (const std::exception& e) {
    LogException(llError, "電話番号登録一覧画面を開けません。", e);
  }
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

void TNumberEditForm::Store(TTableRow& row) {
  TDbTransaction transaction;
  const std::string number = row.GetValue("phone_number");
  const std::string now = NowDateText();
  if (const std::unique_ptr<TTableRow> stored = CtiDb->FindPhoneNumber(number)) {
    row.SetValue("created_date", stored->GetValue("created_date"));
    row.SetValue("last_incoming_date", stored->GetValue("last_incoming_date"));
    CtiDb->DeletePhoneNumber(number);
  } else {
    row.SetValue("created_date", now);
  }
  row.SetValue("last_updated", now);
  CtiDb->InsertPhoneNumber(row);
  transaction.Commit();
}

void TNumberEditForm::SaveButtonClick() {
  const std::string number = Trim(phoneNumberEdit_->text().toStdString());
  if (number.empty()) {
    ShowErrorMessage("電話番号を入力して下さい。");
    phoneNumberEdit_->setFocus();
    return;
  }
  try {
    if (!CtiDb->PhoneNumberExists(number) &&
        CtiDb->GetPhoneNumberCount() >= AppSettings.PhoneLimit) {
      ShowErrorMessage(fmt::sprintf("既に登録が %d 件に達しているためこれ以上登録できません。",
                                    AppSettings.PhoneLimit));
      return;
    }
    if (!ConfirmYesNo("保存してもよろしいですか？"))
      return;
    const std::unique_ptr<TTableRow> row = RowFromFields();
    Store(*row);
    PhoneListRowSaved(*row);
    ShowInfoMessage("保存しました。");
  } catch (const std::exception& e) {
    LogException(llError, "電話番号情報に保存に失敗しました。", e);
    ShowErrorMessage("保存できません。");
  }
}

void TNumberEditForm::IncomingCheckTimerTimer() {
  const TLiveCallTimes times = LiveCallTimes(capturedNumber_);
  offHookSecondsEdit_->setText(QString::fromStdString(times.OffHook));
  onHookSecondsEdit_->setText(QString::fromStdString(times.OnHook));
}

TNumberEditForm* OpenNumberEdit(const TTableRow* row) {
  auto* form = new TNumberEditForm();
  form->setWindowState(Qt::WindowNoState);
  if (row != nullptr)
    form->FillFromRow(*row);
  else
    form->ClearFields();
  form->show();
  return form;
}

TNumberEditForm* OpenNumberEditAt(const TTableRow* row, const QRect& bounds) {
  auto* form = new TNumberEditForm();
  form->setWindowState(Qt::WindowNoState);
  form->setGeometry(bounds.adjusted(0, 50, 0, 0));
  if (row != nullptr)
    form->FillFromRow(*row);
  form->show();
  return form;
}

void FreeNumberEditForms() {
  while (!openForms.empty())
    delete *openForms.begin();
}

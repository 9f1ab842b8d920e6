#include "ui/PhoneListForm.h"

#include "data/CsvRow.h"
#include "data/NumberRules.h"
#include "data/PhoneBook.h"
#include "settings/AppSettings.h"
#include "ui/EventGuard.h"
#include "ui/FileDialogs.h"
#include "ui/GridView.h"
#include "ui/ListTexts.h"
#include "ui/MessageBoxes.h"
#include "ui/NumberEditForm.h"
#include "ui/PhoneListModel.h"
#include "ui/PixelFonts.h"
#include "ui/WindowFront.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <fmt/printf.h>

namespace {

constexpr int SmallWidths[] = {64, 128, 164, 180, 180, 180, 160, 280};
constexpr int MediumWidths[] = {84, 168, 204, 220, 220, 220, 200, 330};
constexpr int LargeWidths[] = {104, 208, 244, 260, 260, 260, 240, 400};

const TListLayout Layouts[3] = {
    {.FontHeight = 16, .RowHeight = 24, .WindowWidth = 700, .ColWidths = SmallWidths},
    {.FontHeight = 20, .RowHeight = 28, .WindowWidth = 800, .ColWidths = MediumWidths},
    {.FontHeight = 24, .RowHeight = 32, .WindowWidth = 900, .ColWidths = LargeWidths},
};

const TListWindowKind Kind = {
    .ObjectName = "PhoneListForm",
    .Caption = "登録一覧",
    .StateSection = "PhoneListWnd",
    .GridName = "PhoneListGrid",
    .LoadFailedText = "電話番号登録データの再読み込みに失敗しました。",
    .DeleteFailedText = "電話番号データの削除に失敗しました。",
    .Layouts = Layouts,
    .SearchFollowsSize = true,
    .WidthOnlyWhenNormal = true,
    .RefreshClearsSearch = true,
};

std::string ImportResultText(const TImportResult& result) {
  if (!result.LimitHit)
    return fmt::sprintf("%d件のインポートが完了しました。", result.Records) +
           (result.InvalidSeen
                ? "\r\n一部不正な電話番号が含まれておりそれらは取り込みできませんでした。"
                : "");
  return fmt::sprintf("%d件のインポートが完了しましたが登録制限%d件を超えたため一部取り込みでき"
                      "ませんでした。",
                      result.Records, AppSettings.PhoneLimit) +
         (result.InvalidSeen
              ? "\r\nまた、一部不正な電話番号が含まれておりそれらも取り込みできませんでした。"
              : "");
}

} // namespace

TPhoneListForm::TPhoneListForm()
    : TListWindow(Kind, std::make_unique<TPhoneListModel>()),
      model_(static_cast<TPhoneListModel&>(Model())) {
  kensuuLabel_ = new QLabel(&Header());
  kensuuLabel_->setObjectName("KensuuLabel");
  kensuuLabel_->setFont(ProportionalPixels(14));
  Header().layout()->addWidget(kensuuLabel_);
  QPushButton* editButton = FooterButton("EditButton", "編集");
  QPushButton* importButton = FooterButton("ImportButton", "インポート");
  SetFooter({editButton, DeleteButton(), RefreshButton()}, {importButton, ExportButton()});
  connect(editButton, &QPushButton::clicked, this, [this] { EditButtonClick(); });
  connect(importButton, &QPushButton::clicked, this, [this] { ImportButtonClick(); });
  connect(&Grid(), &QTableView::doubleClicked, this, [this] { EditButtonClick(); });
  book_ = PhoneBook().Listen([this](const TPhoneBookChange& change) { BookChanged(change); });
  Open();
}

TPhoneListForm::~TPhoneListForm() = default;

const TTableRows& TPhoneListForm::Entries() const {
  return model_.Rows();
}

std::unique_ptr<TTableRows> TPhoneListForm::Fetch() {
  return PhoneBook().Search(Filter());
}

std::string TPhoneListForm::NoDataText() const {
  return Filter().empty() ? "登録データはありません。" : "該当データはありません。";
}

void TPhoneListForm::Loaded() {
  // As in a fresh grid, the first row is current, so that editing and
  // deleting act on it.
  Grid().SelectRange(0, 0);
  ShowCounts();
}

void TPhoneListForm::ShowCounts() {
  kensuuLabel_->setText(
      QString::fromStdString(fmt::sprintf("[ %d 件登録済み ]", PhoneBook().Count())));
}

void TPhoneListForm::BookChanged(const TPhoneBookChange& change) {
  if (change.Kind == TPhoneBookChange::TKind::Saved) {
    RowSaved(*change.Entry);
    return;
  }
  model_.RemoveNumbers(change.Numbers);
  RowsChanged();
}

void TPhoneListForm::RowSaved(const TTableRow& row) {
  GuardEvent("電話番号登録一覧画面への編集保存反映に失敗しました。", [&] {
    model_.Merge(row, TPhoneBook::Matches(row, Filter()));
    RowsChanged();
  });
}

std::string TPhoneListForm::DeleteQuestion(int top, int bottom) const {
  if (top != bottom)
    return fmt::sprintf("選択された %d 件を削除してもよろしいですか？", bottom - top + 1);
  const TTableRow& entry = Entries()[top];
  const std::string name = entry.GetValue("owner_name");
  const std::string number = entry.GetValue("phone_number");
  return name.empty() ? fmt::sprintf("%s を削除してもよろしいですか？", number)
                      : fmt::sprintf("%s 様(%s) を削除してもよろしいですか？", name, number);
}

void TPhoneListForm::DeleteRows(int top, int bottom) {
  std::vector<std::string> numbers;
  for (int i = top; i <= bottom; ++i)
    numbers.push_back(Entries()[i].GetValue("phone_number"));
  PhoneBook().Delete(numbers);
}

std::unique_ptr<TCsvRow> TPhoneListForm::ExportRecord(const TTableRow& entry) const {
  auto record = std::make_unique<TCsvRow>();
  record->Add(NumberDisplayText(entry.GetValue("phone_number")));
  for (const char* column : {"owner_name", "memo1", "memo2", "memo3", "exec_cmd"})
    record->Add(entry.GetValue(column));
  record->Add(ListDateText(entry.GetValue("last_incoming_date")));
  return record;
}

void TPhoneListForm::EditButtonClick() {
  GuardEvent("編集画面を開けません。", [this] {
    const int row = Grid().CurrentRow();
    OpenNumberEdit(row >= 0 && row < Entries().Count() ? &Entries()[row] : nullptr);
  });
}

void TPhoneListForm::ImportButtonClick() {
  GuardEvent(
      "インポートに失敗しました。",
      [this] {
        const std::string fileName = FileDialogs().OpenFile("開く", CsvFilter, CsvExt);
        if (fileName.empty())
          return;
        ShowProgress("インポート処理中...");
        ShowInfoMessage(ImportResultText(PhoneBook().ImportFile(fileName, AppSettings.PhoneLimit)));
        RefreshButtonClick();
      },
      [this](const std::exception&) {
        ShowListPage();
        ShowErrorMessage("インポートに失敗しました。");
      });
}

namespace {
std::unique_ptr<TPhoneListForm> form;
}

void ShowPhoneList() {
  if (!form) {
    form = std::make_unique<TPhoneListForm>();
    return;
  }
  BringForward(*form);
}

void PhoneListRowSaved(const TTableRow& row) {
  if (form)
    form->RowSaved(row);
}

TPhoneListForm* PhoneListForm() {
  return form.get();
}

void FreePhoneListForm() {
  form.reset();
}

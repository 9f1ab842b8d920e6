#include "ui/PhoneListForm.h"

#include "data/PhoneBook.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "ui/EventGuard.h"
#include "ui/FileDialogs.h"
#include "ui/GridView.h"
#include "ui/MessageBoxes.h"
#include "ui/PhoneListModel.h"
#include "ui/PixelFonts.h"
#include "ui/UiWindows.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStatusBar>
#include <fmt/printf.h>

namespace {

// 0: as wide as the column's texts at the size's font (the last call's date).
constexpr int ColWidths[3][TPhoneListModel::ColumnCount] = {{64, 128, 164, 180, 180, 180, 160, 0},
                                                            {84, 168, 204, 220, 220, 220, 200, 0},
                                                            {104, 208, 244, 260, 260, 260, 240, 0}};

const TListWindowKind Kind = {.Name = "PhoneList",
                              .Caption = "登録一覧",
                              .LoadFailedText = "電話番号登録データの再読み込みに失敗しました。",
                              .DeleteFailedText = "電話番号データの削除に失敗しました。",
                              .WindowWidths = {700, 800, 900},
                              .ColWidths = {ColWidths[0], ColWidths[1], ColWidths[2]},
                              .SearchFollowsSize = true,
                              .WidthOnlyWhenNormal = true,
                              .RefreshClearsSearch = true};

// Records whose number, name or memos break the entry's limits.
std::string RefusedText(const TImportResult& result) {
  if (result.Refused == 0)
    return {};
  LogFmt(llWarning, "インポートで取り込めない行がありました。(%d 件) [詳細] %s", result.Refused,
         result.FirstRefusal);
  return fmt::sprintf("\r\n%d件は%sなどのため取り込みできませんでした。", result.Refused,
                      result.FirstRefusal);
}

std::string LimitAndNumbersText(const TImportResult& result) {
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

std::string ImportResultText(const TImportResult& result) {
  return LimitAndNumbersText(result) + RefusedText(result);
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
  bookStatus_ = new QStatusBar(this);
  bookStatus_->setObjectName("BookStatusBar");
  bookStatus_->setSizeGripEnabled(false);
  layout()->addWidget(bookStatus_);
  book_ = PhoneBook().Listen([this](const TPhoneBookChange& change) { BookChanged(change); });
  Open();
}

std::unique_ptr<TTableRows> TPhoneListForm::Fetch() {
  return PhoneBook().Search(Filter());
}

std::string TPhoneListForm::NoDataText() const {
  return Filter().empty() ? "登録データはありません。" : "該当データはありません。";
}

void TPhoneListForm::ShowCounts() {
  kensuuLabel_->setText(
      QString::fromStdString(fmt::sprintf("[ %d 件登録済み ]", PhoneBook().Count())));
  ShowBookState();
}

void TPhoneListForm::ShowBookState() {
  GuardEvent("電話帳の共有状態を表示できません。", [this] {
    const TOfficeBookState state = PhoneBook().OfficeState();
    std::string text = "登録一覧: この端末のみ";
    if (!state.Book.empty() && state.Version < 0)
      text = fmt::sprintf("登録一覧: 事務所 (%s) を取り寄せ中", state.Book);
    else if (!state.Book.empty())
      text = fmt::sprintf("登録一覧: 事務所 (%s) 版 %d", state.Book, state.Version);
    if (state.Unconfirmed > 0)
      text += fmt::sprintf("　未確認の変更 %d 件", state.Unconfirmed);
    bookStatus_->showMessage(QString::fromStdString(text));
  });
}

void TPhoneListForm::BookChanged(const TPhoneBookChange& change) {
  using TKind = TPhoneBookChange::TKind;
  if (change.Kind == TKind::Saved) {
    RowSaved(*change.Entry);
    return;
  }
  if (change.Kind == TKind::Office) {
    ShowBookState();
    return;
  }
  if (change.Kind == TKind::Reloaded) {
    Load();
    return;
  }
  // The entries are gone from the store already: a failure here is no
  // failed deletion.
  GuardEvent("電話番号登録一覧画面への削除反映に失敗しました。", [&] {
    model_.RemoveNumbers(change.Numbers);
    RowsChanged();
  });
}

void TPhoneListForm::RowSaved(const TTableRow& row) {
  GuardEvent("電話番号登録一覧画面への編集保存反映に失敗しました。", [&] {
    model_.Merge(row, TPhoneBook::Matches(row, Filter()));
    RowsChanged();
  });
}

std::string TPhoneListForm::DeleteQuestion(const TTableRows& chosen) const {
  if (chosen.Count() != 1)
    return fmt::sprintf("選択された %d 件を削除してもよろしいですか？", chosen.Count());
  const TTableRow& entry = chosen[0];
  const std::string name = entry.GetValue("owner_name");
  const std::string number = entry.GetValue("phone_number");
  return name.empty() ? fmt::sprintf("%s を削除してもよろしいですか？", number)
                      : fmt::sprintf("%s 様(%s) を削除してもよろしいですか？", name, number);
}

void TPhoneListForm::DeleteRows(const TTableRows& chosen) {
  std::vector<std::string> numbers;
  for (int i = 0; i < chosen.Count(); ++i)
    numbers.push_back(chosen[i].GetValue("phone_number"));
  PhoneBook().Delete(numbers);
}

void TPhoneListForm::EditButtonClick() {
  GuardEvent("編集画面を開けません。", [this] {
    const int row = Grid().CurrentRow();
    Windows().OpenNumberEdit(row >= 0 && row < Rows().Count() ? &Rows()[row] : nullptr);
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

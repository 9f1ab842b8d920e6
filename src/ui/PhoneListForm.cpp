#include "ui/PhoneListForm.h"

#include "data/CsvFileLoader.h"
#include "data/CsvFileSaver.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "ui/DbTransaction.h"
#include "ui/DisplaySize.h"
#include "ui/FileDialogs.h"
#include "ui/GridView.h"
#include "ui/ListNotebook.h"
#include "ui/ListSearchBar.h"
#include "ui/ListTexts.h"
#include "ui/ListWindowParts.h"
#include "ui/MessageBoxes.h"
#include "ui/NumberEditForm.h"
#include "ui/NumberNormalise.h"
#include "ui/PhoneListModel.h"
#include "ui/PixelFonts.h"
#include "ui/SettingsSubscription.h"
#include "ui/WindowFront.h"
#include "ui/WindowState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <fmt/printf.h>

namespace {

const char* const StateSection = "PhoneListWnd";
const char* const CsvFilter = "CSVファイル (*.csv);;すべてのファイル (*)";
const char* const CsvExt = "csv";
// The entry columns a search looks at, in the order they are tested.
const char* const SearchedColumns[] = {"phone_number", "owner_name", "memo1",
                                       "memo2",        "memo3",      "exec_cmd"};

struct TPhoneListLayout {
  int FontHeight, RowHeight, WindowWidth;
  int ColWidths[TPhoneListModel::ColumnCount];
};

constexpr TPhoneListLayout Layouts[3] = {
    {16, 24, 700, {64, 128, 164, 180, 180, 180, 160, 280}},
    {20, 28, 800, {84, 168, 204, 220, 220, 220, 200, 330}},
    {24, 32, 900, {104, 208, 244, 260, 260, 260, 240, 400}},
};

std::unique_ptr<TPhoneListForm> form;

QLabel* Label(const char* name, QWidget* parent, int pixels) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setFont(ProportionalPixels(pixels));
  return label;
}

// The seven fields of an exported entry.
std::unique_ptr<TCsvRow> ExportRecord(const TTableRow& entry) {
  auto record = std::make_unique<TCsvRow>();
  record->Add(NumberDisplayText(entry.GetValue("phone_number")));
  for (const char* column : {"owner_name", "memo1", "memo2", "memo3", "exec_cmd"})
    record->Add(entry.GetValue(column));
  record->Add(ListDateText(entry.GetValue("last_incoming_date")));
  return record;
}

std::string ImportResultText(int records, bool limitHit, bool invalidSeen) {
  if (!limitHit)
    return fmt::sprintf("%d件のインポートが完了しました。", records) +
           (invalidSeen ? "\r\n一部不正な電話番号が含まれておりそれらは取り込みできませんでした。"
                        : "");
  return fmt::sprintf("%d件のインポートが完了しましたが登録制限%d件を超えたため一部取り込みでき"
                      "ませんでした。",
                      records, AppSettings.PhoneLimit) +
         (invalidSeen ? "\r\nまた、一部不正な電話番号が含まれておりそれらも取り込みできませんでし"
                        "た。"
                      : "");
}

std::string DeleteQuestion(const TTableRows& list, int top, int bottom) {
  if (top != bottom)
    return fmt::sprintf("選択された %d 件を削除してもよろしいですか？", bottom - top + 1);
  const TTableRow& entry = list[top];
  const std::string name = entry.GetValue("owner_name");
  const std::string number = entry.GetValue("phone_number");
  return name.empty() ? fmt::sprintf("%s を削除してもよろしいですか？", number)
                      : fmt::sprintf("%s 様(%s) を削除してもよろしいですか？", name, number);
}

} // namespace

TPhoneListForm::TPhoneListForm() {
  setObjectName("PhoneListForm");
  setWindowTitle("登録一覧");
  resize(700, 480);
  BuildControls();
  settings_ = std::make_unique<TSettingsSubscription>(this, [this] { CMSettingsChanged(); });
  Layout(AppSettings.DispSize);
  model_->Refresh();
  RestoreFormAndGrid(StateSection, *this, *grid_);
  show();
  Load();
}

TPhoneListForm::~TPhoneListForm() {
  settings_.reset();
  SaveFormAndGrid(StateSection, *this, *grid_);
}

void TPhoneListForm::BuildControls() {
  auto* header = new QWidget(this);
  header->setObjectName("PanelEx1");
  titleLabel_ = Label("TitleLabel", header, 18);
  titleLabel_->setText("登録一覧");
  kensuuLabel_ = Label("KensuuLabel", header, 14);
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->addWidget(titleLabel_, 1);
  headerLayout->addWidget(kensuuLabel_);

  searchBar_ = new TListSearchBar([this] { Load(); }, this);
  grid_ = new TGridView(this);
  grid_->setObjectName("PhoneListGrid");
  model_ = new TPhoneListModel(list_, this);
  grid_->setModel(model_);
  notebook_ = new TListNotebook(grid_, this);

  auto* footer = new QWidget(this);
  footer->setObjectName("PanelEx3");
  editButton_ = ListButton("EditButton", "編集", footer);
  deleteButton_ = ListButton("DeleteButton", "削除", footer);
  refreshButton_ = ListButton("RefreshButton", "再読み込み", footer);
  importButton_ = ListButton("ImportButton", "インポート", footer);
  exportButton_ = ListButton("ExportButton", "エクスポート", footer);
  auto* footerLayout = new QHBoxLayout(footer);
  for (QPushButton* button : {editButton_, deleteButton_, refreshButton_})
    footerLayout->addWidget(button);
  footerLayout->addStretch(1);
  footerLayout->addWidget(importButton_);
  footerLayout->addWidget(exportButton_);

  StackListWindow(*this, header, searchBar_, notebook_, footer);

  connect(editButton_, &QPushButton::clicked, this, [this] { EditButtonClick(); });
  connect(deleteButton_, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
  connect(refreshButton_, &QPushButton::clicked, this, [this] { RefreshButtonClick(); });
  connect(importButton_, &QPushButton::clicked, this, [this] { ImportButtonClick(); });
  connect(exportButton_, &QPushButton::clicked, this, [this] { ExportButtonClick(); });
  connect(grid_, &QTableView::doubleClicked, this, [this] { EditButtonClick(); });
}

void TPhoneListForm::Layout(int dispSize) {
  dispSize_ = LayoutSizeOf(dispSize);
  const TPhoneListLayout& l = Layouts[dispSize_];
  ApplyGridLayout(*grid_, *notebook_, l.FontHeight, l.RowHeight, l.ColWidths,
                  TPhoneListModel::ColumnCount);
  searchBar_->Layout(dispSize_);
  if ((windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) == 0)
    resize(l.WindowWidth, height());
}

void TPhoneListForm::CMSettingsChanged() {
  if (LayoutSizeOf(AppSettings.DispSize) != dispSize_)
    Layout(AppSettings.DispSize);
  // The memo headings follow their captions.
  model_->Refresh();
}

const std::string& TPhoneListForm::Filter() const {
  return searchBar_->Filter();
}

std::unique_ptr<TTableRows> TPhoneListForm::FetchList() const {
  if (Filter().empty())
    return CtiDb->GetPhoneNumbers();
  // The database's LIKE lets "_" stand for any character; the list shows
  // what holds the text itself.
  std::unique_ptr<TTableRows> rows = CtiDb->SearchPhoneNumbers(Filter());
  for (int i = rows->Count() - 1; i >= 0; --i) {
    const TTableRow& entry = (*rows)[i];
    const bool holds = std::any_of(std::begin(SearchedColumns), std::end(SearchedColumns),
                                   [&](const char* column) {
                                     return ContainsTextAsciiCase(entry.GetValue(column), Filter());
                                   });
    if (!holds)
      rows->Delete(i);
  }
  return rows;
}

void TPhoneListForm::Load() {
  notebook_->ShowProgress("読み込んでいます...");
  deleteButton_->setEnabled(false);
  try {
    model_->Change([this] { list_.Clear(); });
    std::unique_ptr<TTableRows> fetched = FetchList();
    titleLabel_->setText(QString::fromStdString(
        Filter().empty() ? "登録一覧" : fmt::sprintf("登録一覧 （\"%s\" で絞り込み）", Filter())));
    model_->Change([&] { list_ = std::move(*fetched); });
    // As in a fresh grid, the first row is current, so that editing and
    // deleting act on it.
    grid_->SelectRange(0, 0);
    ShowListPage();
    UpdateCount();
  } catch (const std::exception& e) {
    LogException(llError, "電話番号登録データの再読み込みに失敗しました。", e);
    model_->Change([this] { list_.Clear(); });
    notebook_->ShowNoData();
    ShowErrorMessage("読み込みに失敗しました。");
  }
  UpdateButtons();
}

void TPhoneListForm::ShowListPage() {
  if (list_.Count() > 0)
    notebook_->ShowGrid();
  else
    notebook_->ShowNoData(Filter().empty() ? "登録データはありません。"
                                           : "該当データはありません。");
}

void TPhoneListForm::UpdateCount() {
  kensuuLabel_->setText(
      QString::fromStdString(fmt::sprintf("[ %d 件登録済み ]", CtiDb->GetPhoneNumberCount())));
}

void TPhoneListForm::UpdateButtons() {
  deleteButton_->setEnabled(list_.Count() > 0);
  exportButton_->setEnabled(list_.Count() > 0);
  searchBar_->UpdateButtons();
}

bool TPhoneListForm::Matches(const TTableRow& row) const {
  if (Filter().empty())
    return true;
  return std::any_of(
      std::begin(SearchedColumns), std::end(SearchedColumns),
      [&](const char* column) { return ContainsText(row.GetValue(column), Filter()); });
}

void TPhoneListForm::RowSaved(const TTableRow& row) {
  try {
    const bool matches = Matches(row);
    const std::string number = row.GetValue("phone_number");
    int pos = -1;
    for (int i = 0; i < list_.Count() && pos < 0; ++i)
      if (list_[i].GetValue("phone_number") == number)
        pos = i;
    if (pos >= 0 && matches) {
      list_[pos].Assign(row);
      model_->Refresh();
    } else if (pos >= 0 || matches) {
      model_->Change([&] {
        if (pos >= 0)
          list_.Delete(pos);
        else
          list_.Insert(0, row.Clone());
      });
    }
    ShowListPage();
    UpdateCount();
    UpdateButtons();
  } catch (const std::exception& e) {
    LogException(llError, "電話番号登録一覧画面への編集保存反映に失敗しました。", e);
  }
}

void TPhoneListForm::SearchStartButtonClick() {
  searchBar_->SearchStartButtonClick();
}

void TPhoneListForm::SearchClearButtonClick() {
  searchBar_->SearchClearButtonClick(true);
}

void TPhoneListForm::RefreshButtonClick() {
  searchBar_->SearchClearButtonClick(false);
}

void TPhoneListForm::DeleteButtonClick() {
  int top = 0;
  int bottom = 0;
  if (list_.Count() == 0 || !grid_->SelectedRange(top, bottom))
    return;
  try {
    if (!ConfirmYesNo(DeleteQuestion(list_, top, bottom)))
      return;
    notebook_->ShowProgress("削除しています...");
    DeleteRange(top, bottom);
  } catch (const std::exception& e) {
    LogException(llError, "電話番号データの削除に失敗しました。", e);
    ShowListPage();
    ShowErrorMessage("削除に失敗しました。");
  }
}

void TPhoneListForm::DeleteRange(int top, int bottom) {
  try {
    TDbTransaction transaction;
    for (int i = top; i <= bottom; ++i)
      CtiDb->DeletePhoneNumber(list_[i].GetValue("phone_number"));
    transaction.Commit();
  } catch (const std::exception& e) {
    // Rolled back: the list keeps the entries.
    LogException(llError, "電話番号データの削除に失敗しました。", e);
    ShowListPage();
    ShowErrorMessage("削除に失敗しました。");
    return;
  }
  DropShownRows(*model_, *grid_, list_, top, bottom);
  ShowListPage();
  UpdateCount();
  UpdateButtons();
}

void TPhoneListForm::EditButtonClick() {
  try {
    const int row = grid_->CurrentRow();
    OpenNumberEdit(row >= 0 && row < list_.Count() ? &list_[row] : nullptr);
  } catch (const std::exception& e) {
    LogException(llError, "編集画面を開けません。", e);
  }
}

void TPhoneListForm::ExportButtonClick() {
  try {
    const std::string fileName = FileDialogs().SaveFile("名前を付けて保存", CsvFilter, CsvExt, "");
    if (fileName.empty())
      return;
    notebook_->ShowProgress("エクスポートしています...");
    const std::unique_ptr<TTableRows> entries = FetchList();
    TCsvRows records;
    for (int i = 0; i < entries->Count(); ++i)
      records.Add(ExportRecord((*entries)[i]));
    TCsvFileSaver::Save(fileName, records);
  } catch (const std::exception& e) {
    LogException(llError, "エクスポートに失敗しました。", e);
    ShowErrorMessage("エクスポートに失敗しました。");
  }
  ShowListPage();
}

void TPhoneListForm::ImportButtonClick() {
  try {
    const std::string fileName = FileDialogs().OpenFile("開く", CsvFilter, CsvExt);
    if (fileName.empty())
      return;
    notebook_->ShowProgress("インポート処理中...");
    Import(fileName);
  } catch (const std::exception& e) {
    LogException(llError, "インポートに失敗しました。", e);
    ShowListPage();
    ShowErrorMessage("インポートに失敗しました。");
    return;
  }
  RefreshButtonClick();
}

void TPhoneListForm::Import(const std::string& fileName) {
  TCsvRows records;
  TCsvFileLoader::Load(fileName, records);
  TDbTransaction transaction;
  bool limitHit = false;
  bool invalidSeen = false;
  // Counted once and kept current: a count per record would cost a scan each.
  int count = CtiDb->GetPhoneNumberCount();
  for (int i = 0; i < records.Count(); ++i) {
    const TCsvRow& record = records[i];
    std::string number;
    if (!NormaliseImportNumber(record.GetField(0), number)) {
      invalidSeen = true;
      continue;
    }
    std::unique_ptr<TTableRow> entry = CtiDb->FindPhoneNumber(number);
    const bool registered = entry != nullptr;
    if (!registered && count >= AppSettings.PhoneLimit) {
      limitHit = true;
      continue;
    }
    const std::string now = NowDateText();
    if (!registered) {
      entry = std::make_unique<TTableRow>();
      entry->SetValue("created_date", now);
    }
    entry->SetValue("last_updated", now);
    entry->SetValue("phone_number", number);
    int field = 1;
    for (const char* column : {"owner_name", "memo1", "memo2", "memo3", "exec_cmd"})
      entry->SetValue(column, record.GetField(field++));
    CtiDb->DeletePhoneNumber(number);
    CtiDb->InsertPhoneNumber(*entry);
    if (!registered)
      ++count;
  }
  transaction.Commit();
  ShowInfoMessage(ImportResultText(records.Count(), limitHit, invalidSeen));
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

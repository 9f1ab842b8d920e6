#include "ui/IncomingListForm.h"

#include "data/CsvFileSaver.h"
#include "data/KsoCtiDb.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "ui/DbTransaction.h"
#include "ui/DisplaySize.h"
#include "ui/FileDialogs.h"
#include "ui/GridView.h"
#include "ui/IncomingListModel.h"
#include "ui/ListNotebook.h"
#include "ui/ListSearchBar.h"
#include "ui/ListTexts.h"
#include "ui/ListWindowParts.h"
#include "ui/MessageBoxes.h"
#include "ui/PixelFonts.h"
#include "ui/SettingsSubscription.h"
#include "ui/WindowFront.h"
#include "ui/WindowState.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <fmt/printf.h>

namespace {

const char* const StateSection = "IncomingListWnd";
const char* const CsvFilter = "CSVファイル (*.csv);;すべてのファイル (*)";
const char* const CsvExt = "csv";

struct TIncomingListLayout {
  int FontHeight, RowHeight, WindowWidth;
  int ColWidths[TIncomingListModel::ColumnCount];
};

constexpr TIncomingListLayout Layouts[3] = {
    {16, 24, 988, {64, 164, 128, 280, 96, 120, 72}},
    {20, 28, 1088, {84, 204, 168, 330, 120, 144, 96}},
    {24, 32, 1188, {104, 244, 208, 400, 144, 176, 120}},
};

std::unique_ptr<TIncomingListForm> form;

std::string JoinTexts(const std::vector<std::string>& texts, const char* separator) {
  std::string joined;
  for (size_t i = 0; i < texts.size(); ++i)
    joined += (i == 0 ? "" : separator) + texts[i];
  return joined;
}

} // namespace

TIncomingListForm::TIncomingListForm() {
  setObjectName("IncomingListForm");
  setWindowTitle("電話着信履歴");
  resize(988, 480);
  BuildControls();
  settings_ = std::make_unique<TSettingsSubscription>(this, [this] { CMSettingsChanged(); });
  Layout(AppSettings.DispSize);
  RestoreFormAndGrid(StateSection, *this, *grid_);
  show();
  Load();
}

TIncomingListForm::~TIncomingListForm() {
  settings_.reset();
  SaveFormAndGrid(StateSection, *this, *grid_);
}

void TIncomingListForm::BuildControls() {
  auto* header = new QWidget(this);
  header->setObjectName("PanelEx1");
  titleLabel_ = new QLabel("電話着信履歴", header);
  titleLabel_->setObjectName("TitleLabel");
  titleLabel_->setFont(ProportionalPixels(18));
  (new QHBoxLayout(header))->addWidget(titleLabel_);

  searchBar_ = new TListSearchBar([this] { Load(); }, this);
  grid_ = new TGridView(this);
  grid_->setObjectName("IncomingListGrid");
  model_ = new TIncomingListModel(list_, this);
  grid_->setModel(model_);
  notebook_ = new TListNotebook(grid_, this);
  notebook_->NoDataMsgLabel().setText("着信履歴はありません。");

  popupMenu1_ = new QMenu(this);
  popupMenu1_->setObjectName("PopupMenu1");
  copyMenuItem_ = popupMenu1_->addAction("コピー(&C)");
  copyMenuItem_->setObjectName("CopyMenuItem");
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupMenu1Popup();
    popupMenu1_->popup(grid_->viewport()->mapToGlobal(pos));
  });
  connect(copyMenuItem_, &QAction::triggered, this, [this] { CopyMenuItemClick(); });

  auto* footer = new QWidget(this);
  footer->setObjectName("PanelEx3");
  refreshButton_ = ListButton("RefreshButton", "再読み込み", footer);
  deleteButton_ = ListButton("DeleteButton", "削除", footer);
  exportButton_ = ListButton("ExportButton", "エクスポート", footer);
  auto* footerLayout = new QHBoxLayout(footer);
  footerLayout->addWidget(refreshButton_);
  footerLayout->addWidget(deleteButton_);
  footerLayout->addStretch(1);
  footerLayout->addWidget(exportButton_);

  StackListWindow(*this, header, searchBar_, notebook_, footer);

  connect(refreshButton_, &QPushButton::clicked, this, [this] { RefreshButtonClick(); });
  connect(deleteButton_, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
  connect(exportButton_, &QPushButton::clicked, this, [this] { ExportButtonClick(); });
}

void TIncomingListForm::Layout(int dispSize) {
  dispSize_ = LayoutSizeOf(dispSize);
  const TIncomingListLayout& l = Layouts[dispSize_];
  ApplyGridLayout(*grid_, *notebook_, l.FontHeight, l.RowHeight, l.ColWidths,
                  TIncomingListModel::ColumnCount);
  resize(l.WindowWidth, height());
}

void TIncomingListForm::CMSettingsChanged() {
  if (LayoutSizeOf(AppSettings.DispSize) != dispSize_)
    Layout(AppSettings.DispSize);
}

std::unique_ptr<TTableRows> TIncomingListForm::FetchList() const {
  std::unique_ptr<TTableRows> calls = CtiDb->GetIncomingList(AppSettings.IncomingLimit);
  const std::string& filter = searchBar_->Filter();
  if (filter.empty())
    return calls;
  auto kept = std::make_unique<TTableRows>();
  for (int i = 0; i < calls->Count(); ++i)
    if (IncomingCallMatches((*calls)[i], filter))
      kept->Add((*calls)[i].Clone());
  return kept;
}

void TIncomingListForm::Load() {
  notebook_->ShowProgress("読み込んでいます...");
  deleteButton_->setEnabled(false);
  try {
    model_->Change([this] { list_.Clear(); });
    std::unique_ptr<TTableRows> fetched = FetchList();
    const std::string& filter = searchBar_->Filter();
    titleLabel_->setText(QString::fromStdString(
        filter.empty() ? "電話着信履歴"
                       : fmt::sprintf("電話着信履歴 （\"%s\" で絞り込み）", filter)));
    model_->Change([&] { list_ = std::move(*fetched); });
  } catch (const std::exception& e) {
    LogException(llError, "着信履歴データの再読み込みに失敗しました。", e);
    model_->Change([this] { list_.Clear(); });
    ShowErrorMessage("読み込みに失敗しました。");
  }
  ShowListPage();
  UpdateButtons();
}

void TIncomingListForm::ShowListPage() {
  if (list_.Count() > 0)
    notebook_->ShowGrid();
  else
    notebook_->ShowNoData();
}

void TIncomingListForm::UpdateButtons() {
  deleteButton_->setEnabled(list_.Count() > 0);
  exportButton_->setEnabled(list_.Count() > 0);
  searchBar_->UpdateButtons();
}

void TIncomingListForm::AddCall(const TTableRow& row) {
  try {
    model_->Change([&] {
      list_.Insert(0, row.Clone());
      while (list_.Count() > std::max(0, AppSettings.IncomingLimit))
        list_.Delete(list_.Count() - 1);
    });
    ShowListPage();
    UpdateButtons();
  } catch (const std::exception& e) {
    LogException(llError, "着信履歴画面に着信追加できません。", e);
  }
}

void TIncomingListForm::RefreshButtonClick() {
  Load();
}

void TIncomingListForm::DeleteButtonClick() {
  int top = 0;
  int bottom = 0;
  if (list_.Count() == 0 || !grid_->SelectedRange(top, bottom))
    return;
  try {
    if (!ConfirmYesNo(
            fmt::sprintf("選択された %d 件の履歴を削除してもよろしいですか？", bottom - top + 1)))
      return;
    notebook_->ShowProgress("削除しています...");
    DeleteRange(top, bottom);
  } catch (const std::exception& e) {
    LogException(llError, "着信履歴の削除に失敗しました。", e);
    ShowListPage();
    ShowErrorMessage("削除に失敗しました。");
  }
}

void TIncomingListForm::DeleteRange(int top, int bottom) {
  try {
    TDbTransaction transaction;
    for (int i = top; i <= bottom; ++i)
      CtiDb->DeleteIncoming(IntOrZero(list_[i].GetValue("incoming_order")),
                            list_[i].GetValue("incoming_date"));
    transaction.Commit();
  } catch (const std::exception& e) {
    // Rolled back: the list keeps the calls.
    LogException(llError, "着信履歴の削除に失敗しました。", e);
    ShowListPage();
    ShowErrorMessage("削除に失敗しました。");
    return;
  }
  DropShownRows(*model_, *grid_, list_, top, bottom);
  ShowListPage();
  UpdateButtons();
}

void TIncomingListForm::ExportButtonClick() {
  try {
    const std::string fileName = FileDialogs().SaveFile("名前を付けて保存", CsvFilter, CsvExt, "");
    if (fileName.empty())
      return;
    notebook_->ShowProgress("エクスポートしています...");
    const std::unique_ptr<TTableRows> calls = FetchList();
    TCsvRows records;
    for (int i = 0; i < calls->Count(); ++i) {
      auto record = std::make_unique<TCsvRow>();
      for (std::string& text : IncomingCallTexts((*calls)[i]))
        record->Add(std::move(text));
      records.Add(std::move(record));
    }
    TCsvFileSaver::Save(fileName, records);
  } catch (const std::exception& e) {
    LogException(llError, "エクスポートに失敗しました。", e);
    ShowErrorMessage("エクスポートに失敗しました。");
  }
  ShowListPage();
}

void TIncomingListForm::PopupMenu1Popup() {
  int top = 0;
  int bottom = 0;
  copyMenuItem_->setEnabled(list_.Count() > 0 && grid_->SelectedRange(top, bottom));
}

void TIncomingListForm::CopyMenuItemClick() {
  int top = 0;
  int bottom = 0;
  if (!grid_->SelectedRange(top, bottom))
    return;
  try {
    std::vector<std::string> lines;
    for (int i = top; i <= bottom && i < list_.Count(); ++i)
      lines.push_back(JoinTexts(IncomingCallTexts(list_[i]), "\t"));
    QApplication::clipboard()->setText(QString::fromStdString(JoinTexts(lines, "\r\n")));
  } catch (const std::exception& e) {
    LogException(llError, "着信履歴のコピーに失敗しました。", e);
  }
}

void ShowIncomingList() {
  if (!form) {
    form = std::make_unique<TIncomingListForm>();
    return;
  }
  BringForward(*form);
}

void IncomingListAddCall(const TTableRow& row) {
  if (form)
    form->AddCall(row);
}

void IncomingListReload() {
  if (form)
    form->Load();
}

TIncomingListForm* IncomingListForm() {
  return form.get();
}

void FreeIncomingListForm() {
  form.reset();
}

#include "ui/ListWindow.h"

#include "data/CsvFileSaver.h"
#include "settings/AppSettings.h"
#include "ui/DisplaySize.h"
#include "ui/EventGuard.h"
#include "ui/FileDialogs.h"
#include "ui/GridView.h"
#include "ui/ListNotebook.h"
#include "ui/ListSearchBar.h"
#include "ui/MessageBoxes.h"
#include "ui/PixelFonts.h"
#include "ui/RowsModel.h"
#include "ui/ScreenFit.h"
#include "ui/SettingsSubscription.h"
#include "ui/WindowState.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <fmt/printf.h>

#include <algorithm>

namespace {

// The grid's font (its cell height) and row height at each display size.
constexpr int FontHeights[3] = {16, 20, 24};
constexpr int RowHeights[3] = {24, 28, 32};

} // namespace

const char* const TListWindow::CsvFilter = "CSVファイル (*.csv);;すべてのファイル (*)";
const char* const TListWindow::CsvExt = "csv";

TListWindow::TListWindow(const TListWindowKind& kind, std::unique_ptr<TRowsModel> model)
    : kind_(kind), stateSection_(std::string(kind.Name) + "Wnd"), model_(model.release()) {
  model_->setParent(this);
  setObjectName(QString(kind_.Name) + "Form");
  setWindowTitle(kind_.Caption);
  resize(kind_.WindowWidths[0], 480);
  BuildControls();
  settings_ = std::make_unique<TSettingsSubscription>(this, [this] { CMSettingsChanged(); });
}

TListWindow::~TListWindow() {
  settings_.reset();
  SaveFormAndGrid(stateSection_, *this, *grid_);
}

void TListWindow::Open() {
  Layout(AppSettings.DispSize);
  RestoreFormAndGrid(stateSection_, *this, *grid_);
  show();
  Load();
}

void TListWindow::BuildControls() {
  header_ = new QWidget(this);
  header_->setObjectName("PanelEx1");
  titleLabel_ = new QLabel(kind_.Caption, header_);
  titleLabel_->setObjectName("TitleLabel");
  titleLabel_->setFont(ProportionalPixels(18));
  (new QHBoxLayout(header_))->addWidget(titleLabel_, 1);

  searchBar_ = new TListSearchBar([this] { Load(); }, this);
  grid_ = new TGridView(this);
  grid_->setObjectName(QString(kind_.Name) + "Grid");
  grid_->setModel(model_);
  notebook_ = new TListNotebook(grid_, this);

  footer_ = new QWidget(this);
  footer_->setObjectName("PanelEx3");
  refreshButton_ = FooterButton("RefreshButton", "再読み込み");
  deleteButton_ = FooterButton("DeleteButton", "削除");
  exportButton_ = FooterButton("ExportButton", "エクスポート");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(header_);
  layout->addWidget(searchBar_);
  layout->addWidget(notebook_, 1);
  layout->addWidget(footer_);

  connect(refreshButton_, &QPushButton::clicked, this, [this] { RefreshButtonClick(); });
  connect(deleteButton_, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
  connect(exportButton_, &QPushButton::clicked, this, [this] { ExportButtonClick(); });
}

QPushButton* TListWindow::FooterButton(const char* name, const char* caption) {
  auto* button = new QPushButton(caption, footer_);
  button->setObjectName(name);
  button->setFont(ProportionalPixels(14));
  button->setMinimumSize(96, 28);
  return button;
}

void TListWindow::SetFooter(std::initializer_list<QPushButton*> left,
                            std::initializer_list<QPushButton*> right) {
  auto* layout = new QHBoxLayout(footer_);
  QPushButton* previous = nullptr;
  const auto add = [&](QPushButton* button) {
    layout->addWidget(button);
    if (previous != nullptr)
      QWidget::setTabOrder(previous, button);
    previous = button;
  };
  std::for_each(left.begin(), left.end(), add);
  layout->addStretch(1);
  std::for_each(right.begin(), right.end(), add);
}

void TListWindow::Layout(int dispSize) {
  dispSize_ = LayoutSizeOf(dispSize);
  const QFont font = ProportionalCell(FontHeights[dispSize_]);
  grid_->setFont(font);
  grid_->horizontalHeader()->setFont(font);
  // The headings are painted on the header's viewport, which its style sheet
  // would otherwise leave at the application's font.
  grid_->horizontalHeader()->viewport()->setFont(font);
  grid_->SetRowHeight(RowHeights[dispSize_]);
  const std::span<const int> widths = kind_.ColWidths[dispSize_];
  grid_->SetColumnWidths(widths.data(), static_cast<int>(widths.size()));
  notebook_->SetMessageFont(font);
  if (kind_.SearchFollowsSize)
    searchBar_->Layout(dispSize_);
  const bool normal =
      (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) == 0;
  if (normal || !kind_.WidthOnlyWhenNormal)
    resize(kind_.WindowWidths[dispSize_], height());
  KeepOnScreen(*this);
}

void TListWindow::CMSettingsChanged() {
  if (LayoutSizeOf(AppSettings.DispSize) != dispSize_)
    Layout(AppSettings.DispSize);
  // Headings may follow captions of the settings.
  model_->Refresh();
}

const TTableRows& TListWindow::Rows() const {
  return model_->Rows();
}

const std::string& TListWindow::Filter() const {
  return searchBar_->Filter();
}

std::string TListWindow::TitleText() const {
  if (Filter().empty())
    return kind_.Caption;
  return fmt::sprintf("%s （\"%s\" で絞り込み）", kind_.Caption, Filter());
}

void TListWindow::ShowProgress(const std::string& text) {
  notebook_->ShowProgress(text);
}

void TListWindow::Load() {
  ShowProgress("読み込んでいます...");
  deleteButton_->setEnabled(false);
  GuardEvent(
      kind_.LoadFailedText,
      [this] {
        model_->Clear();
        std::unique_ptr<TTableRows> rows = Fetch();
        titleLabel_->setText(QString::fromStdString(TitleText()));
        model_->SetRows(std::move(rows));
        // As in a fresh grid, the first row is current, so that editing and
        // deleting act on it.
        grid_->SelectRange(0, 0);
        ShowCounts();
        ShowListPage();
      },
      [this](const std::exception&) {
        model_->Clear();
        notebook_->ShowNoData();
        ShowErrorMessage("読み込みに失敗しました。");
      });
  UpdateButtons();
}

void TListWindow::ShowListPage() {
  if (model_->Rows().Count() > 0)
    notebook_->ShowGrid();
  else
    notebook_->ShowNoData(NoDataText());
}

void TListWindow::RowsChanged() {
  ShowListPage();
  UpdateButtons();
  // Last: counting asks the store, which may fail.
  ShowCounts();
}

void TListWindow::UpdateButtons() {
  const bool rows = model_->Rows().Count() > 0;
  deleteButton_->setEnabled(rows);
  exportButton_->setEnabled(rows);
  searchBar_->UpdateButtons();
}

void TListWindow::SearchStartButtonClick() {
  searchBar_->SearchStartButtonClick();
}

void TListWindow::SearchClearButtonClick() {
  searchBar_->SearchClearButtonClick(true);
}

void TListWindow::RefreshButtonClick() {
  if (kind_.RefreshClearsSearch)
    searchBar_->SearchClearButtonClick(false);
  else
    Load();
}

void TListWindow::DeleteButtonClick() {
  int top = 0;
  int bottom = 0;
  if (model_->Rows().Count() == 0 || !grid_->SelectedRange(top, bottom))
    return;
  GuardEvent(
      kind_.DeleteFailedText,
      [&] {
        // Copies, not positions: while the question is open a call may put a
        // row on top or reload the list.
        TTableRows chosen;
        for (int i = top; i <= bottom; ++i)
          chosen.Add(model_->Rows()[i].Clone());
        if (!ConfirmYesNo(DeleteQuestion(chosen)))
          return;
        ShowProgress("削除しています...");
        const int first = std::max(0, model_->PositionOf(chosen[0]));
        DeleteRows(chosen);
        // The row that took the first deleted one's place.
        const int left = model_->Rows().Count();
        if (left > 0)
          grid_->SelectRange(std::min(first, left - 1), std::min(first, left - 1), 1);
      },
      [this](const std::exception&) {
        ShowListPage();
        ShowErrorMessage("削除に失敗しました。");
      });
}

void TListWindow::ExportButtonClick() {
  bool chosen = false;
  GuardEvent(
      "エクスポートに失敗しました。",
      [&] {
        const std::string fileName =
            FileDialogs().SaveFile("名前を付けて保存", CsvFilter, CsvExt, "");
        if (fileName.empty())
          return;
        chosen = true;
        ShowProgress("エクスポートしています...");
        const std::unique_ptr<TTableRows> rows = Fetch();
        TCsvRows records;
        for (int i = 0; i < rows->Count(); ++i) {
          auto record = std::make_unique<TCsvRow>();
          for (std::string& text : model_->TextsOf((*rows)[i]))
            record->Add(std::move(text));
          records.Add(std::move(record));
        }
        TCsvFileSaver::Save(fileName, records);
      },
      [&](const std::exception&) {
        chosen = true;
        ShowErrorMessage("エクスポートに失敗しました。");
      });
  if (chosen)
    ShowListPage();
}

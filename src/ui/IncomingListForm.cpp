#include "ui/IncomingListForm.h"

#include "data/CallHistory.h"
#include "settings/AppSettings.h"
#include "ui/EventGuard.h"
#include "ui/GridView.h"
#include "ui/IncomingListModel.h"
#include "ui/ListNotebook.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <fmt/printf.h>

namespace {

// 0: as wide as the column's texts at the size's font (the call's date).
constexpr int ColWidths[3][TIncomingListModel::ColumnCount] = {{64, 0, 128, 280, 96, 120, 72},
                                                               {84, 0, 168, 330, 120, 144, 96},
                                                               {104, 0, 208, 400, 144, 176, 120}};

const TListWindowKind Kind = {.Name = "IncomingList",
                              .Caption = "電話着信履歴",
                              .LoadFailedText = "着信履歴データの再読み込みに失敗しました。",
                              .DeleteFailedText = "着信履歴の削除に失敗しました。",
                              .WindowWidths = {988, 1088, 1188},
                              .ColWidths = {ColWidths[0], ColWidths[1], ColWidths[2]}};

const char* const NoCallsText = "着信履歴はありません。";

std::string JoinTexts(const std::vector<std::string>& texts, const char* separator) {
  std::string joined;
  for (size_t i = 0; i < texts.size(); ++i)
    joined += (i == 0 ? "" : separator) + texts[i];
  return joined;
}

} // namespace

TIncomingListForm::TIncomingListForm()
    : TListWindow(Kind, std::make_unique<TIncomingListModel>()),
      model_(static_cast<TIncomingListModel&>(Model())) {
  Notebook().NoDataMsgLabel().setText(NoCallsText);
  popupMenu1_ = new QMenu(this);
  popupMenu1_->setObjectName("PopupMenu1");
  copyMenuItem_ = popupMenu1_->addAction("コピー(&C)");
  copyMenuItem_->setObjectName("CopyMenuItem");
  Grid().setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&Grid(), &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupMenu1Popup();
    popupMenu1_->popup(Grid().viewport()->mapToGlobal(pos));
  });
  connect(copyMenuItem_, &QAction::triggered, this, [this] { CopyMenuItemClick(); });
  SetFooter({RefreshButton(), DeleteButton()}, {ExportButton()});
  history_ =
      CallHistory().Listen([this](const TCallHistoryChange& change) { HistoryChanged(change); });
  Open();
}

std::unique_ptr<TTableRows> TIncomingListForm::Fetch() {
  std::unique_ptr<TTableRows> calls = CallHistory().List(AppSettings.IncomingLimit);
  if (Filter().empty())
    return calls;
  auto kept = std::make_unique<TTableRows>();
  for (int i = 0; i < calls->Count(); ++i)
    if (IncomingCallMatches((*calls)[i], Filter()))
      kept->Add((*calls)[i].Clone());
  return kept;
}

std::string TIncomingListForm::NoDataText() const {
  return NoCallsText;
}

void TIncomingListForm::AddCall(const TTableRow& row) {
  GuardEvent("着信履歴画面に着信追加できません。", [&] {
    model_.AddCall(row, AppSettings.IncomingLimit);
    RowsChanged();
  });
}

void TIncomingListForm::HistoryChanged(const TCallHistoryChange& change) {
  model_.RemoveCalls(change.Deleted);
  RowsChanged();
}

std::string TIncomingListForm::DeleteQuestion(const TTableRows& chosen) const {
  return fmt::sprintf("選択された %d 件の履歴を削除してもよろしいですか？", chosen.Count());
}

void TIncomingListForm::DeleteRows(const TTableRows& chosen) {
  std::vector<TCallKey> calls;
  for (int i = 0; i < chosen.Count(); ++i)
    calls.push_back(CallKeyOf(chosen[i]));
  CallHistory().Delete(calls);
}

void TIncomingListForm::PopupMenu1Popup() {
  int top = 0;
  int bottom = 0;
  copyMenuItem_->setEnabled(Rows().Count() > 0 && Grid().SelectedRange(top, bottom));
}

void TIncomingListForm::CopyMenuItemClick() {
  int top = 0;
  int bottom = 0;
  if (!Grid().SelectedRange(top, bottom))
    return;
  GuardEvent("着信履歴のコピーに失敗しました。", [&] {
    std::vector<std::string> lines;
    for (int i = top; i <= bottom && i < Rows().Count(); ++i)
      lines.push_back(JoinTexts(model_.TextsOf(Rows()[i]), "\t"));
    QApplication::clipboard()->setText(QString::fromStdString(JoinTexts(lines, "\r\n")));
  });
}

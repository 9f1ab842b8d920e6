#pragma once

#include "data/ChangeListeners.h"
#include "ui/ListWindow.h"

class QAction;
class QMenu;
class TIncomingListModel;
struct TCallHistoryChange;

// The incoming history ("電話着信履歴"): the newest calls, narrowed by a
// search text; calls are deleted, copied and exported here, and each new
// call is put on top.
class TIncomingListForm final : public TListWindow {
  Q_OBJECT
public:
  TIncomingListForm();
  ~TIncomingListForm() override;

  // Puts a new call at the top, whatever the filter.
  void AddCall(const TTableRow& row);

  void PopupMenu1Popup();
  void CopyMenuItemClick();

  const TTableRows& Calls() const;
  QAction& CopyMenuItem() const { return *copyMenuItem_; }

protected:
  std::unique_ptr<TTableRows> Fetch() override;
  std::string NoDataText() const override;
  std::string DeleteQuestion(int top, int bottom) const override;
  void DeleteRows(int top, int bottom) override;
  std::unique_ptr<TCsvRow> ExportRecord(const TTableRow& row) const override;

private:
  void HistoryChanged(const TCallHistoryChange& change);

  TIncomingListModel& model_;
  QMenu* popupMenu1_ = nullptr;
  QAction* copyMenuItem_ = nullptr;
  TListening history_;
};

// Creates the window on first use, shows it, and restores it when minimised.
void ShowIncomingList();
// Adds a call to the window when it exists; the caller keeps its row.
void IncomingListAddCall(const TTableRow& row);
// Loads the window again when it exists.
void IncomingListReload();
// The window, or null before first use.
TIncomingListForm* IncomingListForm();
// Destroys the window (its state is saved); for the program's end.
void FreeIncomingListForm();

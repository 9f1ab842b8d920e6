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

  // Puts a new call at the top, whatever the filter.
  void AddCall(const TTableRow& row);

  QAction& CopyMenuItem() const { return *copyMenuItem_; }
  void PopupMenu1Popup();
  void CopyMenuItemClick();

protected:
  std::unique_ptr<TTableRows> Fetch() override;
  std::string NoDataText() const override;
  std::string DeleteQuestion(const TTableRows& chosen) const override;
  void DeleteRows(const TTableRows& chosen) override;

private:
  void HistoryChanged(const TCallHistoryChange& change);

  TIncomingListModel& model_;
  QMenu* popupMenu1_ = nullptr;
  QAction* copyMenuItem_ = nullptr;
  TListening history_;
};

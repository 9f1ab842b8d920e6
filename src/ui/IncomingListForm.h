#pragma once

#include "data/TableRow.h"

#include <QWidget>

#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class TGridView;
class TIncomingListModel;
class TListNotebook;
class TListSearchBar;
class TSettingsSubscription;

// The incoming history ("電話着信履歴"): the newest calls, narrowed by a
// search text; calls are deleted, copied and exported here. One instance,
// created on first use and kept; closing it only hides it.
class TIncomingListForm : public QWidget {
  Q_OBJECT
public:
  TIncomingListForm();
  ~TIncomingListForm() override;

  // Loads the list again with the filter in force.
  void Load();
  // Puts a new call at the top, whatever the filter.
  void AddCall(const TTableRow& row);

  void RefreshButtonClick();
  void DeleteButtonClick();
  void ExportButtonClick();
  void PopupMenu1Popup();
  void CopyMenuItemClick();

  const TTableRows& Calls() const { return list_; }
  TGridView& Grid() const { return *grid_; }
  QAction& CopyMenuItem() const { return *copyMenuItem_; }
  int DispSize() const { return dispSize_; }

private:
  void BuildControls();
  void Layout(int dispSize);
  void CMSettingsChanged();
  std::unique_ptr<TTableRows> FetchList() const;
  void ShowListPage();
  void UpdateButtons();
  void DeleteRange(int top, int bottom);

  TTableRows list_;
  int dispSize_ = -1;
  TIncomingListModel* model_ = nullptr;
  TGridView* grid_ = nullptr;
  TListNotebook* notebook_ = nullptr;
  TListSearchBar* searchBar_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QPushButton* refreshButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QMenu* popupMenu1_ = nullptr;
  QAction* copyMenuItem_ = nullptr;
  std::unique_ptr<TSettingsSubscription> settings_;
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

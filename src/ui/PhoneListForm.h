#pragma once

#include "data/TableRow.h"

#include <QWidget>

#include <memory>
#include <string>

class QLabel;
class QPushButton;
class TGridView;
class TListNotebook;
class TListSearchBar;
class TPhoneListModel;
class TSettingsSubscription;

// The phone list ("登録一覧"): the phone book, narrowed by a search text;
// entries are deleted, edited, exported and imported here. One instance,
// created on first use and kept; closing it only hides it.
class TPhoneListForm : public QWidget {
  Q_OBJECT
public:
  TPhoneListForm();
  ~TPhoneListForm() override;

  // Loads the list again with the filter in force.
  void Load();
  // Merges an entry saved elsewhere into the list, as if it had been loaded.
  void RowSaved(const TTableRow& row);

  void SearchStartButtonClick();
  void SearchClearButtonClick();
  void RefreshButtonClick();
  void DeleteButtonClick();
  void EditButtonClick();
  void ExportButtonClick();
  void ImportButtonClick();

  const TTableRows& Entries() const { return list_; }
  const std::string& Filter() const;
  TGridView& Grid() const { return *grid_; }
  int DispSize() const { return dispSize_; }

private:
  void BuildControls();
  void Layout(int dispSize);
  void CMSettingsChanged();
  std::unique_ptr<TTableRows> FetchList() const;
  void ShowListPage();
  void UpdateCount();
  void UpdateButtons();
  bool Matches(const TTableRow& row) const;
  void DeleteRange(int top, int bottom);
  void Import(const std::string& fileName);

  TTableRows list_;
  int dispSize_ = -1;
  TPhoneListModel* model_ = nullptr;
  TGridView* grid_ = nullptr;
  TListNotebook* notebook_ = nullptr;
  TListSearchBar* searchBar_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QLabel* kensuuLabel_ = nullptr;
  QPushButton* editButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QPushButton* refreshButton_ = nullptr;
  QPushButton* importButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  std::unique_ptr<TSettingsSubscription> settings_;
};

// Creates the window on first use, shows it, and restores it when minimised.
void ShowPhoneList();
// Merges a saved entry into the window when it exists.
void PhoneListRowSaved(const TTableRow& row);
// The window, or null before first use.
TPhoneListForm* PhoneListForm();
// Destroys the window (its state is saved); for the program's end.
void FreePhoneListForm();

#pragma once

#include "data/ChangeListeners.h"
#include "ui/ListWindow.h"

class TPhoneListModel;
struct TPhoneBookChange;

// The phone list ("登録一覧"): the phone book, narrowed by a search text;
// entries are deleted, edited, exported and imported here, and every entry
// saved elsewhere is merged in.
class TPhoneListForm final : public TListWindow {
  Q_OBJECT
public:
  TPhoneListForm();
  ~TPhoneListForm() override;

  // Merges an entry saved elsewhere into the list, as if it had been loaded.
  void RowSaved(const TTableRow& row);

  void EditButtonClick();
  void ImportButtonClick();

  const TTableRows& Entries() const;

protected:
  std::unique_ptr<TTableRows> Fetch() override;
  std::string NoDataText() const override;
  std::string DeleteQuestion(int top, int bottom) const override;
  void DeleteRows(int top, int bottom) override;
  std::unique_ptr<TCsvRow> ExportRecord(const TTableRow& row) const override;
  void Loaded() override;
  void ShowCounts() override;

private:
  void BookChanged(const TPhoneBookChange& change);

  TPhoneListModel& model_;
  QLabel* kensuuLabel_ = nullptr;
  TListening book_;
};

// Creates the window on first use, shows it, and restores it when minimised.
void ShowPhoneList();
// Merges a saved entry into the window when it exists.
void PhoneListRowSaved(const TTableRow& row);
// The window, or null before first use.
TPhoneListForm* PhoneListForm();
// Destroys the window (its state is saved); for the program's end.
void FreePhoneListForm();

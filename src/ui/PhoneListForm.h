#pragma once

#include "data/ChangeListeners.h"
#include "ui/ListWindow.h"

class QStatusBar;
class TPhoneListModel;
struct TPhoneBookChange;

// The phone list ("登録一覧"): the phone book, narrowed by a search text;
// entries are deleted, edited, exported and imported here, and every entry
// saved elsewhere is merged in.
class TPhoneListForm final : public TListWindow {
  Q_OBJECT
public:
  TPhoneListForm();

  // Merges an entry saved elsewhere into the list, as if it had been loaded.
  void RowSaved(const TTableRow& row);

  void EditButtonClick();
  void ImportButtonClick();

protected:
  std::unique_ptr<TTableRows> Fetch() override;
  void ShowCounts() override;
  std::string DeleteQuestion(const TTableRows& chosen) const override;
  void DeleteRows(const TTableRows& chosen) override;
  std::string NoDataText() const override;

private:
  void BookChanged(const TPhoneBookChange& change);
  // Whose book the list shows: this PC's own, or the office's with its
  // version and this desk's edits not yet confirmed.
  void ShowBookState();

  TPhoneListModel& model_;
  QLabel* kensuuLabel_ = nullptr;
  QStatusBar* bookStatus_ = nullptr;
  TListening book_;
};

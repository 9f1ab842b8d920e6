#pragma once

#include <QWidget>

#include <initializer_list>
#include <memory>
#include <span>
#include <string>

class QLabel;
class QPushButton;
class TGridView;
class TListNotebook;
class TListSearchBar;
class TRowsModel;
class TSettingsSubscription;
class TTableRow;
class TTableRows;

// What a list window is: its names, texts and widths.
struct TListWindowKind {
  // "PhoneList": the window PhoneListForm with the grid PhoneListGrid, its
  // state in the section PhoneListWnd of teloria2.states.ini.
  const char* Name;
  // The window's caption, also its title while no filter is in force.
  const char* Caption;
  // Logged when loading or deleting fails.
  const char* LoadFailedText;
  const char* DeleteFailedText;
  // The window's width and every column's width (column 0 first) for the
  // small, medium and large display size.
  int WindowWidths[3];
  std::span<const int> ColWidths[3];
  // The search panel follows the display size (else it keeps its design size).
  bool SearchFollowsSize = false;
  // The window's width follows the display size only in the normal state
  // (else in every state).
  bool WidthOnlyWhenNormal = false;
  // The refresh button clears the search (else it keeps the filter).
  bool RefreshClearsSearch = false;
};

// What the phone list and the incoming history have alike: the title band,
// the search panel, the three pages with the grid, the footer of buttons,
// loading, deleting, exporting and the window state between runs. A window
// of this kind is created on first use and kept; closing it only hides it.
class TListWindow : public QWidget {
  Q_OBJECT
public:
  ~TListWindow() override;

  // Loads the list again with the filter in force.
  void Load();

  void SearchStartButtonClick();
  void SearchClearButtonClick();
  void RefreshButtonClick();
  void DeleteButtonClick();
  void ExportButtonClick();

  // The rows the grid shows.
  const TTableRows& Rows() const;
  const std::string& Filter() const;
  TGridView& Grid() const { return *grid_; }
  int DispSize() const { return dispSize_; }

protected:
  TListWindow(const TListWindowKind& kind, std::unique_ptr<TRowsModel> model);
  // Ends the construction: laid out, its saved state restored, shown, loaded.
  void Open();

  // The file dialogs' filter and default extension.
  static const char* const CsvFilter;
  static const char* const CsvExt;

  TRowsModel& Model() const { return *model_; }
  TListNotebook& Notebook() const { return *notebook_; }
  QWidget& Header() const { return *header_; }
  QPushButton* RefreshButton() const { return refreshButton_; }
  QPushButton* DeleteButton() const { return deleteButton_; }
  QPushButton* ExportButton() const { return exportButton_; }
  QPushButton* FooterButton(const char* name, const char* caption);
  // Puts the footer's buttons in place, `left` from the left and `right` at
  // the right, and gives them the focus in that order.
  void SetFooter(std::initializer_list<QPushButton*> left,
                 std::initializer_list<QPushButton*> right);
  void ShowProgress(const std::string& text);
  // The grid with rows, else the no-data page.
  void ShowListPage();
  // After rows were added, changed or removed: the page, the counts, the buttons.
  void RowsChanged();

  virtual std::unique_ptr<TTableRows> Fetch() = 0;
  virtual std::string NoDataText() const = 0;
  // The question before the chosen rows (copies) are deleted.
  virtual std::string DeleteQuestion(const TTableRows& chosen) const = 0;
  // Deletes the chosen rows from the store by their keys; the store's notice
  // then removes them from the model.
  virtual void DeleteRows(const TTableRows& chosen) = 0;
  // After the rows were loaded or changed: what else shows them.
  virtual void ShowCounts() {}

private:
  void BuildControls();
  // Delete and export need rows; the search buttons their text or filter.
  void UpdateButtons();
  std::string TitleText() const;
  void Layout(int dispSize);
  void CMSettingsChanged();

  const TListWindowKind& kind_;
  const std::string stateSection_;
  int dispSize_ = -1;
  TRowsModel* model_;
  TGridView* grid_ = nullptr;
  TListNotebook* notebook_ = nullptr;
  TListSearchBar* searchBar_ = nullptr;
  QWidget* header_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QWidget* footer_ = nullptr;
  QPushButton* refreshButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  std::unique_ptr<TSettingsSubscription> settings_;
};

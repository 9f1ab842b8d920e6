#pragma once

#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

// The search panel of the list windows: the search text, the filter in
// force and the two buttons. Starting or clearing a search calls `load`,
// which reads the list again with Filter().
class TListSearchBar : public QWidget {
  Q_OBJECT
public:
  TListSearchBar(std::function<void()> load, QWidget* parent);

  const std::string& Filter() const { return filter_; }
  // Both buttons off while the text is blank and no filter is in force.
  void UpdateButtons();
  // Lays the panel out for a display size (0, 1, 2).
  void Layout(int dispSize);

  void SearchStartButtonClick();
  // `fromButton`: the clear button itself, which loads only to drop a filter.
  void SearchClearButtonClick(bool fromButton);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void SearchEditEnter();
  void SearchEditExit();
  void SearchEditKeyPress();
  void SetEditColour(const QColor& colour);

  std::function<void()> load_;
  std::string filter_;
  QLabel* searchLabel_;
  QLineEdit* searchEdit_;
  QPushButton* startButton_;
  QPushButton* clearButton_;
};

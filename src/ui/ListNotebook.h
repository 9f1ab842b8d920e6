#pragma once

#include <QStackedWidget>

#include <string>

class QLabel;
class TGridView;

// The list windows' three pages: 0 "NoData" (a message), 1 "Grid" (the
// list) and 2 "Message" (the progress text of a long operation).
class TListNotebook : public QStackedWidget {
  Q_OBJECT
public:
  enum TPage { NoDataPage = 0, GridPage = 1, MessagePage = 2 };

  TListNotebook(TGridView* grid, QWidget* parent);

  // Shows the progress text and paints the window at once, before the work
  // that follows blocks the event loop.
  void ShowProgress(const std::string& text);
  void ShowNoData(const std::string& text);
  void ShowNoData();
  void ShowGrid();
  void SetMessageFont(const QFont& font);
  QLabel& NoDataMsgLabel() const { return *noDataMsgLabel_; }
  QLabel& CommonMsgLabel() const { return *commonMsgLabel_; }

private:
  QLabel* noDataMsgLabel_;
  QLabel* commonMsgLabel_;
};

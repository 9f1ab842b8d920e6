#include "ui/ListNotebook.h"

#include "ui/Fonts.h"
#include "ui/GridView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel* CentredLabel(const char* name, QWidget* page) {
  auto* label = new QLabel(page);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignCenter);
  label->setFont(ProportionalGothic(12));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(label);
  return label;
}

} // namespace

TListNotebook::TListNotebook(TGridView* grid, QWidget* parent) : QStackedWidget(parent) {
  setObjectName("ViewNotebook");
  auto* noData = new QWidget(this);
  noData->setObjectName("NoDataPanel");
  noDataMsgLabel_ = CentredLabel("NoDataMsgLabel", noData);
  auto* message = new QWidget(this);
  message->setObjectName("Message");
  commonMsgLabel_ = CentredLabel("CommonMsgLabel", message);
  addWidget(noData);
  addWidget(grid);
  addWidget(message);
}

void TListNotebook::ShowProgress(const std::string& text) {
  commonMsgLabel_->setText(QString::fromStdString(text));
  setCurrentIndex(MessagePage);
  if (window()->isVisible())
    window()->repaint();
}

void TListNotebook::ShowNoData(const std::string& text) {
  noDataMsgLabel_->setText(QString::fromStdString(text));
  ShowNoData();
}

void TListNotebook::ShowNoData() {
  setCurrentIndex(NoDataPage);
}

void TListNotebook::ShowGrid() {
  setCurrentIndex(GridPage);
}

void TListNotebook::SetMessageFont(const QFont& font) {
  noDataMsgLabel_->setFont(font);
}

#include "ui/MirelMemoryForm.h"

#include "core/QtPostTarget.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"
#include "settings/SettingsListeners.h"
#include "ui/DisplaySize.h"
#include "ui/Fonts.h"
#include "ui/GridView.h"
#include "ui/ScreenFit.h"
#include "ui/WindowFront.h"
#include "ui/WindowState.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <memory>

namespace {

const char* const StateSection = "MirelMemoryWnd";

struct TMemoryLayout {
  int FontHeight;
  int RowHeight;
  std::array<int, 5> ColWidths;
  int WindowWidth;
};

const std::array<TMemoryLayout, 3> Layouts = {{
    {16, 24, {64, 164, 128, 280, 96}, 796},
    {20, 28, {84, 204, 168, 330, 120}, 896},
    {24, 32, {104, 244, 208, 400, 144}, 996},
}};

const TMemoryLayout& LayoutOf(int dispSize) {
  return Layouts[LayoutSizeOf(dispSize)];
}

QLabel* MakeLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  return label;
}

} // namespace

// The 30 display rows under the heading, a row number in the fixed column.
class TMirelMemoryModel final : public TGridModel {
public:
  explicit TMirelMemoryModel(const std::array<TMirelMemoryDispRow, 30>& rows, QObject* parent)
      : TGridModel(5, parent), rows_(rows) {}

protected:
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  std::string HeadingText(int column) const override {
    static const char* const headings[] = {"  No.", "  着信日時", "  電話番号", "  名前",
                                           "応答/未応答"};
    return headings[column];
  }
  std::string CellText(int row, int column) const override {
    const TMirelMemoryDispRow& r = rows_.at(row);
    switch (column) {
    case 0:
      return RowNumberText(row + 1);
    case 1:
      return r.DateText;
    case 2:
      return r.NumberText;
    case 3:
      return r.NameText;
    default:
      return r.AnswerText;
    }
  }

private:
  const std::array<TMirelMemoryDispRow, 30>& rows_;
};

TFormMirelMemory::TFormMirelMemory(QWidget* parent)
    : QWidget(parent, Qt::Window), postTarget_(std::make_shared<TQtPostTarget>(this)) {
  setObjectName("FormMirelMemory");
  setWindowTitle(QString::fromUtf8("MirelKT5メモリ"));
  QFont font = ProportionalGothic(9);
  font.setPixelSize(12);
  setFont(font);
  CreateControls();

  // FormCreate
  listenerHandle_ = NewListenerHandle();
  AddSettingsListener(listenerHandle_, {postTarget_, [this] { CMSettingsChanged(); }});
  resize(796, 560);
  LayoutForSize(AppSettings.DispSize);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  RestoreFormAndGrid(StateSection, *this, *MemoryListGrid);
}

TFormMirelMemory::~TFormMirelMemory() {
  cancel_ = true;
  JoinWorker();
  RemoveSettingsListener(listenerHandle_);
  try {
    SaveFormAndGrid(StateSection, *this, *MemoryListGrid);
  } catch (const std::exception& e) {
    LogException(llError, "ウィンドウの状態を保存できません。", e);
  }
}

void TFormMirelMemory::CreateControls() {
  TitleLabel = MakeLabel("TitleLabel", this);
  TitleLabel->setText(QString::fromUtf8("Mirelメモリ"));
  TitleLabel->setMargin(6);
  TitleLabel->setAutoFillBackground(true);
  QPalette band = TitleLabel->palette();
  band.setColor(QPalette::Window, QColor(0xDD, 0xEE, 0xFF));
  TitleLabel->setPalette(band);

  ViewNotebook = new QStackedWidget(this);
  ViewNotebook->setObjectName("ViewNotebook");
  NoDataPanel = new QWidget;
  NoDataPanel->setObjectName("NoDataPanel");
  NoDataMsgLabel = MakeLabel("NoDataMsgLabel", NoDataPanel);
  NoDataMsgLabel->setAlignment(Qt::AlignCenter);
  (new QVBoxLayout(NoDataPanel))->addWidget(NoDataMsgLabel);
  MemoryListGrid = new TGridView;
  MemoryListGrid->setObjectName("MemoryListGrid");
  model_ = new TMirelMemoryModel(rows_, MemoryListGrid);
  MemoryListGrid->setModel(model_);
  CommonMsgLabel = MakeLabel("CommonMsgLabel", nullptr);
  CommonMsgLabel->setAlignment(Qt::AlignCenter);
  ViewNotebook->insertWidget(PageNoData, NoDataPanel);
  ViewNotebook->insertWidget(PageGrid, MemoryListGrid);
  ViewNotebook->insertWidget(PageMessage, CommonMsgLabel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TitleLabel);
  layout->addWidget(ViewNotebook, 1);
}

void TFormMirelMemory::LayoutForSize(int dispSize) {
  dispSize_ = dispSize;
  const TMemoryLayout& layout = LayoutOf(dispSize);
  QFont font = this->font();
  font.setPixelSize(layout.FontHeight);
  MemoryListGrid->setFont(font);
  NoDataPanel->setFont(font);
  MemoryListGrid->SetRowHeight(layout.RowHeight);
  for (int column = 0; column < 5; ++column)
    MemoryListGrid->setColumnWidth(column, layout.ColWidths[column]);
  resize(layout.WindowWidth, height());
  KeepOnScreen(*this);
}

void TFormMirelMemory::CMSettingsChanged() {
  if (AppSettings.DispSize != dispSize_)
    LayoutForSize(AppSettings.DispSize);
}

void TFormMirelMemory::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Read once the window is on screen; a restore from the task bar is no new showing.
  if (!event->spontaneous())
    postTarget_->Post([this] { ReadMirelMemory(); });
}

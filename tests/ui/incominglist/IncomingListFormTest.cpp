#include "ui/IncomingListForm.h"
#include "base/CodePage.h"
#include "settings/SettingsListeners.h"
#include "ui/GridView.h"
#include "ui/PhoneListForm.h"
#include "ui/UiWindows.h"
#include "ui/phonelist/ListTestHome.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>
#include <cmath>
#include <fmt/printf.h>

class TIncomingListFormTest : public TListWindowTest<TIncomingListForm, &TWindows::IncomingList> {
  Q_OBJECT
private:
  static QString Cell(int row, int column) {
    const QAbstractItemModel& model = *Form().Grid().model();
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
  }
  static void Search(const char* text) {
    Child<QLineEdit>("SearchEdit").setText(text);
    QTest::keyClick(&Child<QLineEdit>("SearchEdit"), Qt::Key_Return);
  }
  // Call i on 2026/12/(1 + i/10) at minute i; every third unanswered.
  static void AddCalls(int count) {
    for (int i = 0; i < count; ++i) {
      const std::string date = fmt::sprintf("2026/12/%02d 10:%02d:00.000", 1 + i / 10, i % 60);
      const int order = CtiDb->AddIncoming(fmt::sprintf("03%08d", i), date);
      if (i % 3 == 0) {
        CtiDb->SetIncomingNotAnswered(order, date);
      } else {
        CtiDb->SetIncomingAnswered(order, date, 5);
        CtiDb->SetIncomingHungUp(order, date, 65);
      }
    }
  }

private slots:
  void init() { home_ = std::make_unique<TListTestHome>(); }
  void cleanup() {
    Windows().FreeAll();
    home_.reset();
  }

  void NothingHappensWithoutTheWindow() {
    TTableRow row;
    Windows().IncomingListAddCall(row);
    Windows().IncomingListReload();
    QVERIFY(Windows().IncomingList() == nullptr);
  }

  void ShowsEveryStateOfACall() {
    TListTestHome::AddEntry("0311112222", "山田");
    const int ringing = CtiDb->AddIncoming("P", "2026/12/07 10:00:00.000");
    const int talking = CtiDb->AddIncoming("0311112222", "2026/12/07 10:01:00.000");
    CtiDb->SetIncomingAnswered(talking, "2026/12/07 10:01:00.000", 7);
    Windows().ShowIncomingList();
    QCOMPARE(Page(), 1);
    QCOMPARE(Form().Grid().CurrentRow(), 0); // so that 削除 acts on it
    QCOMPARE(Cell(0, 0), QString("     1"));
    QCOMPARE(Cell(0, 1), QString("2026/12/07 10:01:00"));
    QCOMPARE(Cell(0, 3), QString("山田"));
    QCOMPARE(Cell(0, 4), QString("応答"));
    QCOMPARE(Cell(0, 5), QString("00:00:07"));
    QCOMPARE(Cell(0, 6), QString());
    QCOMPARE(Cell(1, 2), QString("非通知"));
    QCOMPARE(Cell(1, 4), QString());
    CtiDb->SetIncomingHungUp(talking, "2026/12/07 10:01:00.000", 3661);
    CtiDb->SetIncomingNotAnswered(ringing, "2026/12/07 10:00:00.000");
    Windows().IncomingListReload();
    QCOMPARE(Cell(0, 6), QString("01:01:01"));
    QCOMPARE(Cell(1, 4), QString("未応答"));
    QCOMPARE(Cell(1, 5), QString());
  }

  void FiltersTheLoadedCalls() {
    AddCalls(30);
    AppSettings.IncomingLimit = 25;
    Windows().ShowIncomingList();
    QCOMPARE(Form().Rows().Count(), 25);
    Search("未応答");
    QCOMPARE(Form().Rows().Count(), 8); // calls 6..27 step 3 among the newest 25
    QCOMPARE(Child<QLabel>("TitleLabel").text(), QString("電話着信履歴 （\"未応答\" で絞り込み）"));
    Search("2026/12/01");
    QCOMPARE(Form().Rows().Count(), 5); // calls 5..9; 0..4 are beyond the limit
    CtiDb->AddIncoming("0399", "2026/12/01 23:00:00.000");
    Form().RefreshButtonClick(); // keeps the filter; call 5 drops out
    QCOMPARE(Form().Rows().Count(), 5);
    QCOMPARE(Cell(0, 2), QString("0399"));
    Search("nothing");
    QCOMPARE(Page(), 0);
    QCOMPARE(Child<QLabel>("NoDataMsgLabel").text(), QString("着信履歴はありません。"));
    QVERIFY(!Child<QPushButton>("ExportButton").isEnabled());
    Form().findChild<QPushButton*>("SearchClearButton")->click();
    QCOMPARE(Form().Rows().Count(), 25);
  }

  void CopiesTheSelectedRowsAsTabbedLines() {
    AddCalls(5);
    Windows().ShowIncomingList();
    Form().Grid().clearSelection();
    Form().PopupMenu1Popup();
    QVERIFY(!Form().CopyMenuItem().isEnabled());
    Form().Grid().SelectRange(1, 3);
    Form().PopupMenu1Popup();
    QVERIFY(Form().CopyMenuItem().isEnabled());
    Form().CopyMenuItem().trigger();
    QCOMPARE(QApplication::clipboard()->text(),
             QString("2026/12/01 10:03:00\t0300000003\t\t未応答\t\t\r\n"
                     "2026/12/01 10:02:00\t0300000002\t\t応答\t00:00:05\t00:01:05\r\n"
                     "2026/12/01 10:01:00\t0300000001\t\t応答\t00:00:05\t00:01:05"));
  }

  void ANewCallPushesTheOldestOut() {
    AppSettings.IncomingLimit = 3;
    AddCalls(3);
    Windows().ShowIncomingList();
    Search("未応答");
    QCOMPARE(Form().Rows().Count(), 1);
    TTableRow call;
    call.SetValue("phone_number", "0399999999");
    call.SetValue("incoming_date", "2026/12/07 10:20:30.400");
    call.SetValue("owner_name", "新");
    call.SetValue("incoming_order", "4");
    Windows().IncomingListAddCall(call);
    QCOMPARE(Cell(0, 3), QString("新"));
    QCOMPARE(Form().Rows().Count(), 2); // added whatever the filter
    Child<QLineEdit>("SearchEdit").clear();
    Form().findChild<QPushButton*>("SearchClearButton")->click();
    for (int i = 0; i < 3; ++i)
      Windows().IncomingListAddCall(call);
    QCOMPARE(Form().Rows().Count(), 3);
    QCOMPARE(Form().Grid().model()->rowCount(), 3);
  }

  void ANewCallInAFullHistoryIsOneInsertedRow() {
    CtiDb->BeginTransaction();
    for (int i = 0; i < AppSettings.IncomingLimit; ++i)
      CtiDb->AddIncoming("0311112222", fmt::sprintf("2026/12/01 %02d:%02d:00.000", i / 60, i % 60));
    CtiDb->Commit();
    Windows().ShowIncomingList();
    QCOMPARE(Form().Rows().Count(), 3000);
    const QAbstractItemModel* model = Form().Grid().model();
    QSignalSpy resets(model, &QAbstractItemModel::modelAboutToBeReset);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    TTableRow call;
    call.SetValue("phone_number", "0399999999");
    call.SetValue("incoming_date", "2026/12/07 10:20:30.400");
    call.SetValue("incoming_order", "3001");
    Windows().IncomingListAddCall(call);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 0);
    QCOMPARE(inserted[0][2].toInt(), 0);
    QCOMPARE(removed.count(), 1); // the oldest call leaves
    QCOMPARE(removed[0][1].toInt(), 3000);
    QCOMPARE(Form().Rows().Count(), 3000);
    QCOMPARE(Cell(0, 2), QString("0399999999"));
  }

  void DeletesTheSelectionAndExports() {
    AddCalls(6);
    Windows().ShowIncomingList();
    Form().Grid().SelectRange(0, 1);
    home_->Boxes.Answers = {true};
    // A call comes, and a hang-up reloads the list, while the question is open.
    home_->Boxes.WhileAsking = [] {
      TListTestHome::DeliverCall("0399");
      Windows().IncomingListReload();
    };
    Form().DeleteButtonClick();
    home_->Boxes.WhileAsking = nullptr;
    QCOMPARE(home_->Boxes.Confirms,
             std::vector<std::string>{"選択された 2 件の履歴を削除してもよろしいですか？"});
    QCOMPARE(CtiDb->GetIncomingList(10)->Count(), 5);
    QCOMPARE(Form().Rows().Count(), 5);
    QCOMPARE(Cell(0, 2), QString("0399"));
    QCOMPARE(Form().Grid().CurrentRow(), 1);
    const std::string path = home_->Path("calls.csv");
    home_->Dialogs.Paths = {path};
    Search("0300000003");
    Form().ExportButtonClick();
    QCOMPARE(ReadFile(path), Utf8ToCp932("2026/12/01 10:03:00,0300000003,,未応答,,\r\n"));
    QCOMPARE(Page(), 1);
    Form().Grid().SelectRange(0, 0);
    home_->Boxes.Answers = {true};
    Form().DeleteButtonClick();
    QCOMPARE(Page(), 0);
    QVERIFY(!Child<QPushButton>("DeleteButton").isEnabled());
  }

  // The design's font heights are cell heights, internal leading included;
  // in both list windows every column's widest text fits beside the margin.
  void GridTextsFitTheirColumnsAtEverySize() {
    const std::string number = "01234567890123456789";
    const std::string date = "2026/12/08 10:20:30.000";
    TListTestHome::AddEntry(number, "", date, date);
    const int answered = CtiDb->AddIncoming(number, date);
    CtiDb->SetIncomingAnswered(answered, date, 0);
    CtiDb->SetIncomingHungUp(answered, date, 0);
    CtiDb->SetIncomingNotAnswered(CtiDb->AddIncoming(number, date), date);
    Windows().ShowIncomingList();
    Windows().ShowPhoneList();
    const int cellHeights[] = {16, 20, 24};
    // DispSize -> layout; a value outside 0..2 is large.
    for (const auto& [setting, size] :
         std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {-1, 2}, {0, 0}, {3, 2}}) {
      AppSettings.DispSize = setting;
      NotifySettingsChanged();
      QTRY_COMPARE(Form().DispSize(), size);
      QTRY_COMPARE(Windows().PhoneList()->DispSize(), size);
      for (TGridView* grid : {&Form().Grid(), &Windows().PhoneList()->Grid()}) {
        const auto cell = [grid](int pixels) {
          QFont font = grid->font();
          font.setPixelSize(pixels);
          return QFontMetricsF(font).height();
        };
        const int pixels = grid->font().pixelSize();
        const qreal off = qAbs(cell(pixels) - cellHeights[size]);
        QVERIFY(off <= qAbs(cell(pixels - 1) - cellHeights[size]));
        QVERIFY(off <= qAbs(cell(pixels + 1) - cellHeights[size]));
        const QAbstractItemModel& model = *grid->model();
        for (int c = 0; c < model.columnCount(); ++c) {
          QStringList texts{model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()};
          for (int r = 0; r < model.rowCount(); ++r)
            texts << model.data(model.index(r, c), Qt::DisplayRole).toString();
          for (const QString& text : texts)
            // 4 pixels on either side, and the grid line.
            QVERIFY2(QFontMetricsF(grid->font()).horizontalAdvance(text) + 9 <=
                         grid->columnWidth(c),
                     qPrintable(QString("%1 at size %2").arg(text).arg(size)));
        }
        // The call dates are as wide as their texts need, no wider.
        const int dates = grid == &Form().Grid() ? 1 : 7;
        const qreal needed = std::max(
            QFontMetricsF(grid->font()).horizontalAdvance("0000/00/00 00:00:00") + 9,
            QFontMetricsF(grid->horizontalHeader()->font())
                    .horizontalAdvance(model.headerData(dates, Qt::Horizontal).toString()) +
                10);
        QCOMPARE(grid->columnWidth(dates), static_cast<int>(std::ceil(needed)));
      }
    }
  }

  void StateSurvivesARestart() {
    AddCalls(1);
    Windows().ShowIncomingList();
    Form().Grid().setColumnWidth(3, 3);
    Form().setGeometry(30, 40, 1000, 420);
    const int smallDates = Form().Grid().columnWidth(1);
    Windows().FreeAll();
    AppSettings.DispSize = 2;
    Windows().ShowIncomingList();
    QCOMPARE(Form().Grid().columnWidth(3), 10);
    QCOMPARE(Form().Grid().columnWidth(1), smallDates); // saved widths win over the layout
    QCOMPARE(Form().Grid().columnWidth(0), 104);
    QCOMPARE(Form().height(), 420);
  }
};

QTEST_MAIN(TIncomingListFormTest)
#include "IncomingListFormTest.moc"

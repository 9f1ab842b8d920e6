#include "data/TableRow.h"
#include "ui/GridView.h"
#include "ui/IncomingListModel.h"
#include "ui/PhoneListModel.h"

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {

std::unique_ptr<TTableRow> Row(std::initializer_list<std::pair<const char*, const char*>> values) {
  auto row = std::make_unique<TTableRow>();
  for (const auto& [name, value] : values)
    row->SetValue(name, value);
  return row;
}

std::unique_ptr<TTableRows>
Rows(int count, std::initializer_list<std::pair<const char*, const char*>> values) {
  auto rows = std::make_unique<TTableRows>();
  for (int i = 0; i < count; ++i)
    rows->Add(Row(values));
  return rows;
}

QString Cell(const QAbstractItemModel& model, int row, int column) {
  return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

} // namespace

class TGridModelTest : public QObject {
  Q_OBJECT
private slots:
  // The tester checks loads; it takes the fixed column's row numbers for data
  // that moves with its row, so row changes are checked by their signals.
  void PhoneModelPassesTheTesterThroughALoad() {
    TPhoneListModel model;
    auto tester = std::make_unique<QAbstractItemModelTester>(
        &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto rows = std::make_unique<TTableRows>();
    rows->Add(Row({{"phone_number", "P"}, {"last_incoming_date", "2026/12/07 01:02:03.004"}}));
    rows->Add(Row({{"phone_number", "0312345678"}, {"owner_name", "山田"}}));
    model.SetRows(std::move(rows));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 8);
    QCOMPARE(Cell(model, 0, 0), QString("     1"));
    QCOMPARE(Cell(model, 0, 1), QString("非通知"));
    QCOMPARE(Cell(model, 0, 7), QString("2026/12/07 01:02:03"));
    QCOMPARE(Cell(model, 1, 2), QString("山田"));
    QCOMPARE(Cell(model, 1, 7), QString());
    QCOMPARE(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QString("  メモ1"));
    model.Refresh();
    tester.reset();
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy renumbered(&model, &QAbstractItemModel::dataChanged);
    model.RemoveNumbers({"P"});
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(Cell(model, 0, 0), QString("     1"));
    model.Merge(*Row({{"phone_number", "0399"}}), true);
    QCOMPARE(Cell(model, 1, 0), QString("     2"));
    QCOMPARE(renumbered.count(), 2);
    QCOMPARE(resets.count(), 0);
  }

  void IncomingTextsForEveryState() {
    // state, connected, offhook, onhook -> answer, ring, talk
    const auto texts = [](const char* state, const char* connected) {
      return IncomingCallTexts(*Row({{"incoming_date", "2026/12/07 08:09:10.123"},
                                     {"phone_number", "C"},
                                     {"owner_name", "x"},
                                     {"state", state},
                                     {"connected", connected},
                                     {"offhook_seconds", "3725"},
                                     {"onhook_seconds", "61"}}));
    };
    using V = std::vector<std::string>;
    QCOMPARE(texts("", ""), (V{"2026/12/07 08:09:10", "公衆電話", "x", "", "", ""}));
    QCOMPARE(texts("1", "1"), (V{"2026/12/07 08:09:10", "公衆電話", "x", "応答", "01:02:05", ""}));
    QCOMPARE(texts("2", "1"),
             (V{"2026/12/07 08:09:10", "公衆電話", "x", "応答", "01:02:05", "00:01:01"}));
    QCOMPARE(texts("2", "0"), (V{"2026/12/07 08:09:10", "公衆電話", "x", "未応答", "", ""}));
    QCOMPARE(texts("7", "1")[3], std::string());
    const auto notNumber = IncomingCallTexts(*Row(
        {{"incoming_date", "bad"}, {"state", "2"}, {"connected", "1"}, {"offhook_seconds", "x"}}));
    QCOMPARE(notNumber[0], std::string());
    QCOMPARE(notNumber[4], std::string("00:00:00"));
    const auto hundredHours = IncomingCallTexts(
        *Row({{"state", "1"}, {"connected", "1"}, {"offhook_seconds", "360000"}}));
    QCOMPARE(hundredHours[4], std::string("100:00:00"));
  }

  void IncomingFilterLooksAtDateNumberNameAndAnswer() {
    const auto call = Row({{"incoming_date", "2026/12/07 08:09:10.123"},
                           {"phone_number", "P"},
                           {"owner_name", "Abc"},
                           {"state", "2"},
                           {"connected", "0"},
                           {"offhook_seconds", "12"}});
    for (const char* hit : {"2026/12/07", "非通知", "Abc", "未応答", "08:09"})
      QVERIFY2(IncomingCallMatches(*call, hit), hit);
    for (const char* miss : {"abc", "P", ".123", "00:00:12", "応答 "})
      QVERIFY2(!IncomingCallMatches(*call, miss), miss);
  }

  void IncomingModelPassesTheTesterThroughALoad() {
    TIncomingListModel model;
    auto tester = std::make_unique<QAbstractItemModelTester>(
        &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetRows(Rows(3, {{"phone_number", "0311112222"}, {"state", "2"}, {"connected", "1"}}));
    QCOMPARE(model.columnCount(), 7);
    QCOMPARE(Cell(model, 2, 0), QString("     3"));
    QCOMPARE(Cell(model, 0, 4), QString("応答"));
    QCOMPARE(model.headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(),
             QString("応答までの時間"));
    tester.reset();
    model.AddCall(*Row({{"phone_number", "O"}}), 3);
    QCOMPARE(Cell(model, 0, 2), QString("表示圏外"));
    QCOMPARE(model.rowCount(), 3);
  }

  void GridSelectsOneBlockOfWholeRows() {
    TPhoneListModel model;
    model.SetRows(Rows(10, {{"phone_number", "03"}}));
    TGridView grid;
    grid.setModel(&model);
    int top = -1;
    int bottom = -1;
    QVERIFY(!grid.SelectedRange(top, bottom));
    grid.SelectRange(2, 6);
    QVERIFY(grid.SelectedRange(top, bottom));
    QCOMPARE(top, 2);
    QCOMPARE(bottom, 6);
    QCOMPARE(grid.CurrentRow(), 2);
    QCOMPARE(grid.currentIndex().column(), 1);
    QCOMPARE(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(grid.selectionMode(), QAbstractItemView::ContiguousSelection);
    grid.SetRowHeight(28);
    QCOMPARE(grid.rowHeight(5), 28);
  }
};

QTEST_MAIN(TGridModelTest)
#include "GridModelTest.moc"

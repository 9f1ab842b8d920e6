#include "ui/WindowState.h"
#include "base/IniFile.h"
#include "support/TempFolder.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>
#include <filesystem>

namespace {

void WriteState(const std::string& key, const std::string& value) {
  TIniFile(WindowStateFileName()).WriteString("PhoneListWnd", key, value);
}

std::string ReadState(const std::string& key) {
  return TIniFile(WindowStateFileName()).ReadString("PhoneListWnd", key, "<none>");
}

} // namespace

class WindowStateTest : public QObject {
  Q_OBJECT
  TTempFolder folder_;
  TProgramHome home_{folder_.Path()};

private slots:
  void cleanup() { std::filesystem::remove(WindowStateFileName()); }

  void NoFileLeavesTheDesignThenSavingCreatesIt() {
    QWidget form;
    form.setGeometry(30, 40, 320, 240);
    RestoreWindowState("PhoneListWnd", form);
    QCOMPARE(form.geometry(), QRect(30, 40, 320, 240));
    QVERIFY(!std::filesystem::exists(WindowStateFileName()));
    SaveWindowState("PhoneListWnd", form);
    QCOMPARE(ReadState("WindowState"), std::string("0"));
    QCOMPARE(ReadState("PosSize"), std::string("30,40,320,240"));
  }

  void MaximisedKeepsTheBoundsSavedUnmaximised() {
    QWidget form;
    form.setGeometry(30, 40, 320, 240);
    SaveWindowState("PhoneListWnd", form);
    form.setWindowState(Qt::WindowMaximized);
    SaveWindowState("PhoneListWnd", form);
    QCOMPARE(ReadState("WindowState"), std::string("2"));
    QCOMPARE(ReadState("PosSize"), std::string("30,40,320,240"));

    QWidget again;
    RestoreWindowState("PhoneListWnd", again);
    QVERIFY(again.isMaximized());
    again.setWindowState(Qt::WindowNoState);
    QCOMPARE(again.pos(), QPoint(30, 40));
    QCOMPARE(again.size(), QSize(320, 240));
  }

  void PosSizeNeedsFourItemsAndStatesMapToNormal() {
    QWidget form;
    form.setGeometry(30, 40, 320, 240);
    WriteState("PosSize", "1,2,3");
    WriteState("WindowState", "2");
    RestoreWindowState("PhoneListWnd", form);
    QCOMPARE(form.geometry(), QRect(30, 40, 320, 240));
    QVERIFY(form.isMaximized());

    WriteState("PosSize", "a, 7 ,b,c,99");
    WriteState("WindowState", "1"); // saved minimised comes back normal
    RestoreWindowState("PhoneListWnd", form);
    QCOMPARE(form.pos(), QPoint(0, 7));
    QCOMPARE(form.size(), QSize(100, 100));
    QVERIFY(!form.isMaximized() && !form.isMinimized());

    WriteState("WindowState", "5"); // unknown: left alone
    form.setWindowState(Qt::WindowMaximized);
    RestoreWindowState("PhoneListWnd", form);
    QVERIFY(form.isMaximized());
  }

  void ColumnWidths() {
    QStandardItemModel model(1, 4);
    QTableView grid;
    grid.setModel(&model);
    grid.horizontalHeader()->setMinimumSectionSize(1);
    for (int c = 0; c < 4; ++c)
      grid.setColumnWidth(c, 50 + c);
    RestoreColWidths("PhoneListWnd", grid); // no file
    QCOMPARE(grid.columnWidth(1), 51);
    SaveColWidths("PhoneListWnd", grid);
    QCOMPARE(ReadState("ColWidths"), std::string("50,51,52,53"));

    WriteState("ColWidths", "200,3,x,120");
    RestoreColWidths("PhoneListWnd", grid);
    QCOMPARE(grid.columnWidth(0), 50); // column 0 keeps its width
    QCOMPARE(grid.columnWidth(1), 10);
    QCOMPARE(grid.columnWidth(2), 10);
    QCOMPARE(grid.columnWidth(3), 120);

    WriteState("ColWidths", "70,71,72"); // saved for another column count
    RestoreColWidths("PhoneListWnd", grid);
    QCOMPARE(grid.columnWidth(1), 10);
    QCOMPARE(grid.columnWidth(3), 120);
  }

  void FormAndGridPairs() {
    QStandardItemModel model(1, 2);
    QTableView grid;
    grid.setModel(&model);
    grid.setGeometry(5, 6, 300, 200);
    grid.setColumnWidth(1, 77);
    SaveFormAndGrid("IncomingListWnd", grid, grid);
    grid.setGeometry(0, 0, 120, 120);
    grid.setColumnWidth(1, 20);
    RestoreFormAndGrid("IncomingListWnd", grid, grid);
    QCOMPARE(grid.geometry(), QRect(5, 6, 300, 200));
    QCOMPARE(grid.columnWidth(1), 77);
  }
};

QTEST_MAIN(WindowStateTest)
#include "WindowStateTest.moc"

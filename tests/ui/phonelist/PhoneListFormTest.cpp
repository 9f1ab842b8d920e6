#include "ui/PhoneListForm.h"
#include "base/CodePage.h"
#include "base/IniFile.h"
#include "data/KsoCtiDb.h"
#include "data/PhoneBook.h"
#include "ui/GridView.h"
#include "ui/NumberEditForm.h"
#include "ui/UiWindows.h"
#include "ui/WindowState.h"
#include "ui/phonelist/ListTestHome.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QtTest>
#include <fmt/printf.h>
#include <sqlite3.h>

class TPhoneListFormTest : public TListWindowTest<TPhoneListForm, &TWindows::PhoneList> {
  Q_OBJECT
private:
  static QString Text(const char* label) { return Child<QLabel>(label).text(); }
  static std::string Number(int i) { return fmt::sprintf("03%08d", i); }
  // Entries 1..count, entry i updated at minute i so the newest comes first.
  static void AddEntries(int count) {
    for (int i = 1; i <= count; ++i)
      TListTestHome::AddEntry(Number(i), "名前" + std::to_string(i),
                              fmt::sprintf("2026/01/01 09:%02d:00.000", i));
  }
  void Import(const std::string& bytes) {
    const std::string path = home_->Path("in.csv");
    WriteFile(path, bytes);
    home_->Dialogs.Paths = {path};
    Form().ImportButtonClick();
  }

private slots:
  void init() { home_ = std::make_unique<TListTestHome>(); }
  void cleanup() {
    Windows().FreeAll();
    home_.reset();
  }

  void LoadsTheWholeBookOrWhatTheSearchFinds() {
    Windows().ShowPhoneList();
    QCOMPARE(Page(), 0);
    QCOMPARE(Text("NoDataMsgLabel"), QString("登録データはありません。"));
    QVERIFY(!Child<QPushButton>("DeleteButton").isEnabled());
    QVERIFY(!Child<QPushButton>("SearchStartButton").isEnabled());
    AddEntries(5);
    TListTestHome::AddEntry("0350%_'\tx", "O'Brien");
    Form().RefreshButtonClick();
    QCOMPARE(Page(), 1);
    QCOMPARE(Form().Grid().model()->rowCount(), 6);
    QCOMPARE(Form().Rows()[0].GetValue("phone_number"), Number(5));
    QCOMPARE(Text("KensuuLabel"), QString("[ 6 件登録済み ]"));
    QVERIFY(Child<QPushButton>("ExportButton").isEnabled());

    auto& search = Child<QLineEdit>("SearchEdit");
    // What each text finds is the phone book's rule, tested there.
    for (const auto& [text, count] :
         std::vector<std::pair<const char*, int>>{{"名前3", 1}, {" \t", 6}, {"zz", 0}}) {
      search.setText(text);
      Form().SearchStartButtonClick();
      QVERIFY2(Form().Rows().Count() == count, text);
    }
    QCOMPARE(Page(), 0);
    QCOMPARE(Text("NoDataMsgLabel"), QString("該当データはありません。"));
    QCOMPARE(Text("TitleLabel"), QString("登録一覧 （\"zz\" で絞り込み）"));
    QCOMPARE(Text("KensuuLabel"), QString("[ 6 件登録済み ]"));
    Form().SearchClearButtonClick();
    QCOMPARE(Form().Filter(), std::string());
    QCOMPARE(search.text(), QString());
    QCOMPARE(Form().Rows().Count(), 6);
    QCOMPARE(Text("TitleLabel"), QString("登録一覧"));
    // Enter in an empty field without a filter does nothing.
    QTest::keyClick(&search, Qt::Key_Return);
    QCOMPARE(Form().Rows().Count(), 6);
  }

  void SavedEntriesMergeByTheFilter() {
    AddEntries(3);
    Windows().ShowPhoneList();
    Child<QLineEdit>("SearchEdit").setText("名前");
    Form().SearchStartButtonClick();
    QCOMPARE(Form().Rows().Count(), 3);
    TTableRow saved;
    saved.SetValue("phone_number", Number(2));
    saved.SetValue("owner_name", "名前変更");
    Windows().PhoneListRowSaved(saved);
    QCOMPARE(Form().Rows().Count(), 3);
    saved.SetValue("owner_name", "other");
    Windows().PhoneListRowSaved(saved); // no longer matches: leaves the list
    QCOMPARE(Form().Rows().Count(), 2);
    TTableRow added;
    added.SetValue("phone_number", "0399");
    added.SetValue("memo3", "x名前");
    Windows().PhoneListRowSaved(added); // a new match goes on top
    QCOMPARE(Form().Rows()[0].GetValue("phone_number"), std::string("0399"));
    added.SetValue("phone_number", "0398");
    added.SetValue("memo3", "x");
    Windows().PhoneListRowSaved(added); // neither
    QCOMPARE(Form().Rows().Count(), 3);
    Form().RefreshButtonClick();
    saved.SetValue("phone_number", Number(1));
    Windows().PhoneListRowSaved(saved);
    QCOMPARE(Form().Rows().Count(), 3);
    QCOMPARE(Form().Rows()[2].GetValue("owner_name"), std::string("other"));
    // An entry saved anywhere reaches the list row by row.
    QSignalSpy resets(Form().Grid().model(), &QAbstractItemModel::modelReset);
    TTableRow fresh;
    fresh.SetValue("phone_number", "0397");
    PhoneBook().Save(fresh);
    QCOMPARE(Form().Rows()[0].GetValue("phone_number"), std::string("0397"));
    QCOMPARE(Text("KensuuLabel"), QString("[ 4 件登録済み ]"));
    QCOMPARE(resets.count(), 0);
  }

  // The open list takes the office's changes row by row; an edit window on
  // a changed entry keeps what the user typed and offers the new values.
  void OfficeChangesReachTheListAndAnOpenEditWindow() {
    AddEntries(3);
    Windows().ShowPhoneList();
    QCOMPARE(Child<QStatusBar>("BookStatusBar").currentMessage(),
             QString("登録一覧: この端末のみ"));
    TNumberEditForm* editor = Windows().NewNumberEdit(nullptr);
    editor->FillFromRow(Form().Rows()[1]); // entry 2
    QSignalSpy resets(Form().Grid().model(), &QAbstractItemModel::modelReset);
    TTableRow changed;
    changed.SetValue("phone_number", Number(2));
    changed.SetValue("owner_name", "事務所の名前");
    PhoneBook().ApplyOffice({TBookEdit::TKind::Save, {changed}, {Number(3)}},
                            [] { CtiDb->SetBookState("desk1", 7); });
    PhoneBook().OfficeChanged();
    QCOMPARE(resets.count(), 0);
    QCOMPARE(Form().Rows().Count(), 2);
    QCOMPARE(Form().Rows()[0].GetValue("owner_name"), std::string("事務所の名前"));
    QCOMPARE(Child<QStatusBar>("BookStatusBar").currentMessage(),
             QString("登録一覧: 事務所 (desk1) 版 7"));
    auto& name = *editor->findChild<QLineEdit*>("OwnerNameEdit");
    QCOMPARE(name.text(), QString("名前2"));
    auto& reload = *editor->findChild<QPushButton*>("ReloadButton");
    QVERIFY(!reload.isHidden());
    QVERIFY(
        editor->findChild<QStatusBar*>("StatusBar1")->currentMessage().contains("他の端末で変更"));
    reload.click();
    QCOMPARE(name.text(), QString("事務所の名前"));
    QVERIFY(reload.isHidden());
  }

  void TheFirstRowIsCurrentAfterEveryLoad() {
    AddEntries(3);
    Windows().ShowPhoneList();
    QCOMPARE(Form().Grid().CurrentRow(), 0);
    Form().EditButtonClick();
    const auto editors = QApplication::topLevelWidgets();
    const auto editor = std::find_if(editors.begin(), editors.end(), [](QWidget* w) {
      return w->objectName() == "NumberEditForm";
    });
    QVERIFY(editor != editors.end());
    QCOMPARE(static_cast<TNumberEditForm*>(*editor)->CapturedNumber(), Number(3));
    Form().Grid().SelectRange(2, 2);
    Child<QLineEdit>("SearchEdit").setText("名前");
    Form().SearchStartButtonClick();
    QCOMPARE(Form().Grid().CurrentRow(), 0);
    home_->Boxes.Answers = {false};
    Form().DeleteButtonClick();
    QCOMPARE(home_->Boxes.Confirms, std::vector<std::string>{fmt::sprintf(
                                        "名前3 様(%s) を削除してもよろしいですか？", Number(3))});
  }

  void DeletesTheSelectedBlockInOneGo() {
    AddEntries(10);
    Windows().ShowPhoneList();
    Form().Grid().SelectRange(2, 6);
    home_->Boxes.Answers = {false, true};
    Form().DeleteButtonClick();
    QCOMPARE(CtiDb->GetPhoneNumberCount(), 10);
    // A new caller's entry goes on top while the question is open.
    home_->Boxes.WhileAsking = [] { TListTestHome::DeliverCall("0399"); };
    Form().DeleteButtonClick();
    QCOMPARE(home_->Boxes.Confirms,
             (std::vector<std::string>(2, "選択された 5 件を削除してもよろしいですか？")));
    QCOMPARE(CtiDb->GetPhoneNumberCount(), 5);
    QCOMPARE(Form().Rows().Count(), 6);
    for (int i = 4; i <= 8; ++i)
      QVERIFY(!CtiDb->PhoneNumberExists(Number(i)));
    QCOMPARE(Form().Grid().CurrentRow(), 3);
    QCOMPARE(Form().Rows()[3].GetValue("phone_number"), Number(3));
    QCOMPARE(Text("KensuuLabel"), QString("[ 5 件登録済み ]"));
  }

  void DeletingTheLastEntryShowsTheNoDataPage() {
    TListTestHome::AddEntry("0312345678", "山田");
    TListTestHome::AddEntry("P");
    // The book cannot be counted after the last deletion.
    sqlite3* other = nullptr;
    sqlite3_open(home_->Path("teloria2.db3").c_str(), &other);
    const TListening spoiler = PhoneBook().Listen([&](const TPhoneBookChange&) {
      if (CtiDb->GetPhoneNumberCount() == 0)
        sqlite3_exec(other, "DROP TABLE phone_numbers", nullptr, nullptr, nullptr);
    });
    Windows().ShowPhoneList();
    Form().Grid().SelectRange(0, 0);
    home_->Boxes.Answers = {true, true};
    Form().DeleteButtonClick();
    Form().Grid().SelectRange(0, 0);
    Form().DeleteButtonClick();
    sqlite3_close(other);
    QCOMPARE(home_->Boxes.Confirms,
             (std::vector<std::string>{"P を削除してもよろしいですか？",
                                       "山田 様(0312345678) を削除してもよろしいですか？"}));
    QCOMPARE(Page(), 0);
    QVERIFY(!Child<QPushButton>("DeleteButton").isEnabled());
    QVERIFY(home_->Boxes.Errors.empty()); // deleted, so not "削除に失敗しました。"
  }

  void ImportsValidRecordsAndReportsTheRest() {
    TListTestHome::AddEntry("0300000001", "old", "2020/01/01 00:00:00.000",
                            "2025/01/01 00:00:00.000");
    Windows().ShowPhoneList();
    std::string file;
    for (int i = 1; i <= 8; ++i)
      file +=
          fmt::sprintf("(03)0000-000%d,名前%d,\"m1\r\nx\",m2,m3,cmd,2026/01/01 00:00:00\r\n", i, i);
    file += "03abc,x\r\n０３電話,y\r\n012345678901234567890,z\r\n";
    Import(Utf8ToCp932(file));
    QCOMPARE(home_->Boxes.Infos,
             std::vector<std::string>{
                 "11件のインポートが完了しました。\r\n一部不正な電話番号が"
                 "含まれておりそれらは取り込みできませんでした。\r\n1件は電話"
                 "番号が 20 文字を超えていますなどのため取り込みできませんでした。"});
    // What is stored is the phone book's rule, tested there.
    QCOMPARE(Form().Rows().Count(), 8);
  }

  void AFullBookStillTakesUpdates() {
    AppSettings.PhoneLimit = 2;
    TListTestHome::AddEntry("01", "a");
    TListTestHome::AddEntry("02", "b");
    Windows().ShowPhoneList();
    Import("01,A\r\n03,C\r\n02,B\r\nxx\r\n");
    QCOMPARE(home_->Boxes.Infos,
             std::vector<std::string>{"4件のインポートが完了しましたが登録制限2件を超えたため一部"
                                      "取り込みできませんでした。\r\nまた、一部不正な電話番号が含"
                                      "まれておりそれらも取り込みできませんでした。"});
    QCOMPARE(Form().Rows().Count(), 2);
  }

  void AFailedImportChangesNothing() {
    TListTestHome::AddEntry("01", "a");
    Windows().ShowPhoneList();
    const std::string tooMany = "02,b\r\n03" + std::string(256, ',') + "\r\n";
    const std::string longField = "02,b\r\n03," + std::string(4096, 'x') + "\r\n";
    for (const std::string& bytes : {tooMany, longField}) {
      Import(bytes);
      QCOMPARE(home_->Boxes.Errors.back(), std::string("インポートに失敗しました。"));
    }
    home_->Dialogs.Paths = {home_->Path("gone.csv")};
    Form().ImportButtonClick();
    QCOMPARE(home_->Boxes.Errors.size(), size_t(3));
    QCOMPARE(Page(), 1);
    // That nothing of a failed file is stored is the phone book's rule, tested there.
    Import("04,first\r\n04,second\r\n");
    QCOMPARE(home_->Boxes.Infos, std::vector<std::string>{"2件のインポートが完了しました。"});
    QCOMPARE(home_->Dialogs.Calls[0].Filter,
             std::string("CSVファイル (*.csv);;すべてのファイル (*)"));
    QCOMPARE(home_->Dialogs.Calls[0].DefaultExt, std::string("csv"));
  }

  void ExportsInCp932WithWords() {
    TListTestHome::AddEntry("P", "非通知の人");
    TTableRow row;
    for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
             {"phone_number", "0312345678"},
             {"owner_name", "山田, 太郎"},
             {"memo1", "a\r\nb"},
             {"memo2", "say \"hi\""},
             {"memo3", " x"},
             {"exec_cmd", "cmd"},
             {"created_date", "2026/01/01 00:00:00.000"},
             {"last_updated", "2026/02/01 00:00:00.000"},
             {"last_incoming_date", "2026/12/07 08:09:10.123"}})
      row.SetValue(name, value);
    CtiDb->InsertPhoneNumber(row);
    Windows().ShowPhoneList();
    const std::string path = home_->Path("out.csv");
    home_->Dialogs.Paths = {path};
    Form().ExportButtonClick();
    QCOMPARE(
        ReadFile(path),
        Utf8ToCp932("0312345678,\"山田, 太郎\",\"a\r\nb\",\"say \"\"hi\"\"\", x,cmd,2026/12/07 "
                    "08:09:10\r\n非通知,非通知の人,,,,,\r\n"));
    QCOMPARE(Page(), 1);
  }

  void WindowStateAndColumnWidthsSurviveARestart() {
    AddEntries(1);
    Windows().ShowPhoneList();
    Form().Grid().setColumnWidth(2, 333);
    Form().Grid().setColumnWidth(0, 99);
    Form().setGeometry(40, 50, 720, 400);
    Windows().FreeAll();
    const TIniFile ini(WindowStateFileName());
    const QStringList saved =
        QString::fromStdString(ini.ReadString("PhoneListWnd", "ColWidths", "")).split(',');
    QCOMPARE(saved.size(), 8);
    QCOMPARE(saved[0], QString("99"));
    QCOMPARE(saved[2], QString("333"));
    AppSettings.DispSize = 1;
    Windows().ShowPhoneList();
    QCOMPARE(Form().Grid().columnWidth(2), 333);
    QCOMPARE(Form().Grid().columnWidth(0), 84);
    QCOMPARE(Form().width(), 720);
    QCOMPARE(Form().Grid().rowHeight(0), 28);
  }
};

QTEST_MAIN(TPhoneListFormTest)
#include "PhoneListFormTest.moc"

#include "ui/NumberEditForm.h"
#include "base/Clock.h"
#include "core/LastIncomingInfo.h"
#include "data/KsoCtiDb.h"
#include "data/SQLiteDatabase.h"
#include "settings/SettingsListeners.h"
#include "ui/PhoneListForm.h"
#include "ui/UiWindows.h"
#include "ui/phonelist/ListTestHome.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

class TNumberEditFormTest : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TListTestHome> home_;

  template <typename T> static T& Child(QWidget* form, const char* name) {
    T* child = form->findChild<T*>(name);
    if (child == nullptr)
      qFatal("no %s", name);
    return *child;
  }
  static QLineEdit& Edit(QWidget* form, const char* name) { return Child<QLineEdit>(form, name); }

  // Types each character as a key press carrying its text, as an input method does.
  static void Type(QWidget& widget, const QString& text) {
    for (const QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(&widget, &press);
    }
  }

  static TNumberEditForm* OpenWith(const char* number, const char* name) {
    TNumberEditForm* form = Windows().NewNumberEdit(nullptr);
    Edit(form, "PhoneNumberEdit").setText(number);
    Edit(form, "OwnerNameEdit").setText(name);
    return form;
  }

private slots:
  void init() { home_ = std::make_unique<TListTestHome>(); }
  void cleanup() {
    Windows().FreeAll();
    LastGroupEvent = std::make_shared<TKT5GroupEventArgs>();
    home_.reset();
  }

  void SavesANewEntryAfterTheQuestion() {
    TNumberEditForm* form = OpenWith(" 0312345678 ", "  山田 太郎 ");
    Child<QPlainTextEdit>(form, "Memo1").setPlainText("一行目\n二行目\n\n");
    Edit(form, "ExecCmdEdit").setText("  /usr/bin/true  ");
    home_->Boxes.Answers = {true};
    form->SaveButtonClick();
    QCOMPARE(home_->Boxes.Confirms, std::vector<std::string>{"保存してもよろしいですか？"});
    QCOMPARE(home_->Boxes.Infos, std::vector<std::string>{"保存しました。"});
    const auto row = CtiDb->FindPhoneNumber("0312345678");
    QVERIFY(row != nullptr);
    QCOMPARE(row->GetValue("owner_name"), std::string("山田 太郎"));
    QCOMPARE(row->GetValue("memo1"), std::string("一行目\r\n二行目"));
    QCOMPARE(row->GetValue("exec_cmd"), std::string("  /usr/bin/true"));
  }

  // The dates a save keeps are the phone book's rule, tested there.
  void SavingAnExistingEntryReplacesIt() {
    TListTestHome::AddEntry("0311112222", "old", "2020/01/01 00:00:00.000",
                            "2025/05/05 05:05:05.000");
    const auto stored = CtiDb->FindPhoneNumber("0311112222");
    TNumberEditForm* form = Windows().NewNumberEdit(stored.get());
    QCOMPARE(Edit(form, "OwnerNameEdit").text(), QString("old"));
    QCOMPARE(form->CapturedNumber(), std::string("0311112222"));
    Edit(form, "OwnerNameEdit").setText("new");
    home_->Boxes.Answers = {true};
    form->SaveButtonClick();
    QCOMPARE(CtiDb->FindPhoneNumber("0311112222")->GetValue("owner_name"), std::string("new"));
    QCOMPARE(CtiDb->GetPhoneNumberCount(), 1);
  }

  void RefusesEmptyNumbersAndNewEntriesBeyondTheLimit() {
    TNumberEditForm* form = OpenWith("   ", "x");
    form->SaveButtonClick();
    QCOMPARE(home_->Boxes.Errors, std::vector<std::string>{"電話番号を入力して下さい。"});
    QVERIFY(home_->Boxes.Confirms.empty());
    // What the phone book cannot hold is refused before the question.
    Edit(form, "PhoneNumberEdit").setText("04");
    Edit(form, "OwnerNameEdit").setText(QString("a") + QChar(0) + "b");
    form->SaveButtonClick();
    QCOMPARE(home_->Boxes.Errors.back(), std::string("名前にNUL文字があります。"));
    QVERIFY(home_->Boxes.Confirms.empty());
    QVERIFY(!CtiDb->PhoneNumberExists("04"));
    Edit(form, "OwnerNameEdit").setText("x");

    AppSettings.PhoneLimit = 2;
    TListTestHome::AddEntry("01");
    TListTestHome::AddEntry("02");
    Edit(form, "PhoneNumberEdit").setText("03");
    form->SaveButtonClick();
    QCOMPARE(home_->Boxes.Errors.back(),
             std::string("既に登録が 2 件に達しているためこれ以上登録できません。"));
    QVERIFY(!CtiDb->PhoneNumberExists("03"));
    // Changing a stored entry is always allowed.
    Edit(form, "PhoneNumberEdit").setText("02");
    home_->Boxes.Answers = {true};
    form->SaveButtonClick();
    QCOMPARE(home_->Boxes.Infos, std::vector<std::string>{"保存しました。"});
    QCOMPARE(CtiDb->FindPhoneNumber("02")->GetValue("owner_name"), std::string("x"));
    // Answering No saves nothing.
    Edit(form, "OwnerNameEdit").setText("y");
    form->SaveButtonClick();
    QCOMPARE(CtiDb->FindPhoneNumber("02")->GetValue("owner_name"), std::string("x"));
  }

  void AFailedSaveRollsBackAndSaysSo() {
    TNumberEditForm* form = OpenWith("0399998888", "x");
    home_->Boxes.Answers = {true};
    // Another program makes the database refuse the entry.
    TSQLiteDatabase(CtiDbFileName())
        .Execute("CREATE TRIGGER refuse BEFORE INSERT ON phone_numbers"
                 " BEGIN SELECT RAISE(ABORT, 'refused'); END");
    form->SaveButtonClick();
    QCOMPARE(home_->Boxes.Errors, std::vector<std::string>{"保存できません。"});
    QVERIFY(!CtiDb->InTransaction());
    QVERIFY(!CtiDb->PhoneNumberExists("0399998888"));
    QCOMPARE(Edit(form, "OwnerNameEdit").text(), QString("x"));
  }

  void LeavingTheNumberFieldKeepsDigitsOnly() {
    TNumberEditForm* form = Windows().NewNumberEdit(nullptr);
    QLineEdit& number = Edit(form, "PhoneNumberEdit");
    number.setText("０３－１２３４（５６７８）");
    form->PhoneNumberEditExit();
    QCOMPARE(number.text(), QString("0312345678"));
    number.setText("03-1234-5678");
    form->PhoneNumberEditExit();
    QCOMPARE(number.text(), QString("0312345678"));
    number.setText("abc");
    form->PhoneNumberEditExit();
    QCOMPARE(number.text(), QString());
  }

  void InputLimitsCountCp932Bytes() {
    TNumberEditForm* form = Windows().NewNumberEdit(nullptr);
    QLineEdit& name = Edit(form, "OwnerNameEdit");
    Type(name, QString(20, QChar(0x3042)));
    Type(name, QString(QChar(0x3044)));
    QCOMPARE(name.text(), QString(20, QChar(0x3042)));
    QLineEdit& number = Edit(form, "PhoneNumberEdit");
    QTest::keyClicks(&number, QString(25, '1'));
    QCOMPARE(number.text().size(), 20);
    auto& memo = Child<QPlainTextEdit>(form, "Memo2");
    memo.setPlainText(QString(99, QChar(0x3042)));
    memo.moveCursor(QTextCursor::End);
    QTest::keyClicks(&memo, "ab");          // 198 + 2 bytes fit
    QTest::keyClick(&memo, Qt::Key_Return); // CR LF would make 202
    QCOMPARE(memo.toPlainText(), QString(99, QChar(0x3042)) + "ab");
  }

  void StoredTextsBeyondTheLimitsShowAndSaveWhole() {
    const QString longMemo(150, QChar(0x3042)); // 300 CP932 bytes
    const QString longName(25, QChar(0x3044));  // 50 bytes
    TTableRow stored;
    stored.SetValue("phone_number", "0322223333");
    stored.SetValue("owner_name", longName.toStdString());
    stored.SetValue("memo1", longMemo.toStdString());
    CtiDb->InsertPhoneNumber(stored);
    TTableRow other;
    other.SetValue("phone_number", "0311112222");
    other.SetValue("memo1", "short");
    TNumberEditForm* form = Windows().NewNumberEdit(&other);
    Edit(form, "PhoneNumberEdit").setText("0322223333");
    form->NumberFindButtonClick(); // after another entry
    auto& memo = Child<QPlainTextEdit>(form, "Memo1");
    QCOMPARE(memo.toPlainText(), longMemo);
    QCOMPARE(Edit(form, "OwnerNameEdit").text(), longName);
    home_->Boxes.Answers = {true};
    form->SaveButtonClick(); // without edits
    QCOMPARE(CtiDb->FindPhoneNumber("0322223333")->GetValue("memo1"), longMemo.toStdString());
    QCOMPARE(CtiDb->FindPhoneNumber("0322223333")->GetValue("owner_name"), longName.toStdString());
    // Typing cannot lengthen them; deleting shortens them.
    memo.moveCursor(QTextCursor::End);
    QTest::keyClicks(&memo, "x");
    QTest::keyClick(&memo, Qt::Key_Backspace);
    QCOMPARE(memo.toPlainText(), longMemo.chopped(1));
    QLineEdit& name = Edit(form, "OwnerNameEdit");
    Type(name, "x");
    QTest::keyClick(&name, Qt::Key_Backspace);
    QCOMPARE(name.text(), longName.chopped(1));
  }

  void TabGoesThroughTheFieldsThenFindSaveAndList() {
    TNumberEditForm* form = Windows().NewNumberEdit(nullptr);
    QWidget* first = form->findChild<QWidget*>("OwnerNameEdit");
    QStringList order{first->objectName()};
    for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain())
      if ((w->focusPolicy() & Qt::TabFocus) != 0 && form->isAncestorOf(w))
        order << w->objectName();
    QCOMPARE(order, QStringList({"OwnerNameEdit", "Memo1", "Memo2", "Memo3", "ExecCmdEdit",
                                 "PhoneNumberEdit", "NumberFindButton", "SaveButton",
                                 "ShowListButton", "ReloadButton"}));
  }

  void FindFillsOrClearsTheFields() {
    TListTestHome::AddEntry("0312345678", "山田");
    TNumberEditForm* form = OpenWith(" 0312345678 ", "");
    form->NumberFindButtonClick();
    QCOMPARE(Edit(form, "OwnerNameEdit").text(), QString("山田"));
    QCOMPARE(form->CapturedNumber(), std::string("0312345678"));
    Edit(form, "PhoneNumberEdit").setText(" 0399999999 ");
    Child<QPlainTextEdit>(form, "Memo3").setPlainText("memo");
    form->NumberFindButtonClick();
    QCOMPARE(Edit(form, "OwnerNameEdit").text(), QString());
    QCOMPARE(Child<QPlainTextEdit>(form, "Memo3").toPlainText(), QString());
    QCOMPARE(Edit(form, "PhoneNumberEdit").text(), QString("0399999999"));
    QCOMPARE(form->CapturedNumber(), std::string("0312345678"));
  }

  void MemosShowLinesAndCodesShowWords() {
    TTableRow row;
    row.SetValue("phone_number", "P");
    row.SetValue("memo1", "a\r\nb\rc");
    TNumberEditForm* form = Windows().NewNumberEdit(&row);
    QCOMPARE(Child<QPlainTextEdit>(form, "Memo1").toPlainText(), QString("a\nb\nc"));
    QCOMPARE(Edit(form, "PhoneNumberEdit").text(), QString("非通知"));
  }

  void ShowsLiveTimesOfTheCapturedNumber() {
    TTableRow row;
    row.SetValue("phone_number", "0312345678");
    TNumberEditForm* form = Windows().NewNumberEdit(&row);
    auto ev = std::make_shared<TKT5GroupEventArgs>();
    ev->PhoneNumber = "0312345678";
    ev->NumberReceivedAt = Now() - 75 * OneSecond;
    LastGroupEvent = ev;
    form->IncomingCheckTimerTimer();
    QCOMPARE(Edit(form, "OffHookSecondsEdit").text(), QString("00:01:15"));
    QCOMPARE(Edit(form, "OnHookSecondsEdit").text(), QString());
    ev->OffHookReceived = true;
    ev->RingSeconds = 12;
    ev->OffHookReceivedAt = Now() - 3 * OneSecond;
    form->IncomingCheckTimerTimer();
    QCOMPARE(Edit(form, "OnHookSecondsEdit").text(), QString("00:00:03"));
    ev->UnansweredReceived = true;
    QTRY_COMPARE(Edit(form, "OnHookSecondsEdit").text(), QString("未応答")); // the timer
    QCOMPARE(Edit(form, "OffHookSecondsEdit").text(), QString());
    ev->PhoneNumber = "0399999999";
    form->IncomingCheckTimerTimer();
    QCOMPARE(Edit(form, "OnHookSecondsEdit").text(), QString());
  }

  void LaysOutForTheDisplaySizeAndFollowsTheSettings() {
    AppSettings.DispSize = -1; // outside 0..2: the large layout
    TNumberEditForm* form = Windows().NewNumberEdit(nullptr);
    QCOMPARE(form->DispSize(), 2);
    QCOMPARE(Edit(form, "PhoneNumberEdit").geometry(), QRect(190, 326, 252, 30));
    QVERIFY(form->findChild<QWidget*>("TopContainerPanel")->width() >= 864);
    AppSettings.DispSize = 0;
    AppSettings.Memo2Caption = "趣味";
    NotifySettingsChanged();
    QTRY_COMPARE(form->DispSize(), 0);
    QCOMPARE(Edit(form, "PhoneNumberEdit").geometry(), QRect(146, 248, 172, 22));
    QCOMPARE(form->findChild<QLabel*>("Memo2Label")->text(), QString("趣味"));
    const QWidget* container = form->findChild<QWidget*>("TopContainerPanel");
    // The same margin on the right of the wide fields as left of the captions,
    // and 16 pixels below the last row.
    QCOMPARE(Edit(form, "OwnerNameEdit").width(), container->width() - 164);
    QCOMPARE(container->width() - Edit(form, "OwnerNameEdit").geometry().right() - 1,
             form->findChild<QLabel*>("OwnerNameLabel")->x());
    QCOMPARE(container->height(), Edit(form, "OnHookSecondsEdit").geometry().bottom() + 1 + 16);
  }

  void OpensBelowTheDisplayWindowAndListsTheBook() {
    TTableRow row;
    row.SetValue("phone_number", "0312345678");
    TNumberEditForm* form = Windows().NewNumberEdit(&row, QRect(100, 100, 900, 700));
    QCOMPARE(form->geometry().top(), 150);
    QCOMPARE(form->geometry().bottom(), QRect(100, 100, 900, 700).bottom());
    QCOMPARE(form->geometry().left(), 100);
    QVERIFY(Windows().PhoneList() == nullptr);
    form->ShowListButtonClick();
    QVERIFY(Windows().PhoneList() != nullptr && Windows().PhoneList()->isVisible());
  }
};

QTEST_MAIN(TNumberEditFormTest)
#include "NumberEditFormTest.moc"

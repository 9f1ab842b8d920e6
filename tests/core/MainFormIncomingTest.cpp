#include "core/LastIncomingInfo.h"
#include "core/MirelKT5CommSim.h"
#include "core/PendingJournal.h"
#include "data/CallHistory.h"
#include "fakes/ControllerHarness.h"
#include "support/FaultVfs.h"

#include <map>
#include <sqlite3.h>

// Calls as the sessions report them, through the controller's queue.
class MainFormIncomingTest : public QObject {
  Q_OBJECT
private slots:
  void init();
  void cleanup();
  void AnsweredCallIsRecordedWithItsSeconds();
  void UnansweredCallIsFinishedNotAnswered();
  void RingAnnouncementAndSoundFollowTheSettings();
  void WithheldNumberIsRecordedButNeverRegistered();
  void KnownNumberKeepsItsEntryAndGetsTheDate();
  void PhoneBookLimitStillShowsAndRecordsTheCall();
  void HookEventsReachOnlyTheCallOfTheirGroup_data();
  void HookEventsReachOnlyTheCallOfTheirGroup();
  void HookEventOvertakingItsRegistrationWaitsForIt();
  void EveryCallOfABurstReadBeforeTheFirstIsHandledEnds();
  void CallIsWrittenOnceItsWindowIsPaintedOrLater();
  void FailedHistoryRowLeavesEarlierCallsAlone();
  void DiskFullKeepsTheWritesAcrossARestart();
  void CallsDuringALockAreShownAtOnceAndWrittenLater();
  void AWriteNeverRunsInsideAnother();
  void RefusedCallWithdrawsOnlyWhatItShowed();
  void DisplayModeAndCommandsFollowTheSettings();
  void DebugFileTriggersOneCallPerNewKey();

private:
  void Feed(const IKT5GroupEventArgs& ev) {
    h->form->CommSim().InjectGroupEvent(ev);
    TControllerHarness::Drain();
  }
  // Another program makes the database refuse every new call for good.
  void RefuseNewCalls() {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open((h->home.Path() + "/teloria2.db3").c_str(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db,
                          "CREATE TRIGGER refuse BEFORE INSERT ON incoming_numbers "
                          "BEGIN SELECT RAISE(ABORT, 'refused'); END;",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(db);
  }
  std::unique_ptr<TTableRow> NewestCall() {
    auto rows = CtiDb->GetIncomingList(1);
    return rows->Count() == 0 ? nullptr : rows->Items(0).Clone();
  }
  // Each stored call by number: "order state connected offhook onhook ".
  static std::map<std::string, std::string> Calls() {
    std::map<std::string, std::string> calls;
    const auto rows = CtiDb->GetIncomingList(10);
    for (int i = 0; i < rows->Count(); ++i)
      for (const char* column :
           {"incoming_order", "state", "connected", "offhook_seconds", "onhook_seconds"})
        calls[rows->Items(i).GetValue("phone_number")] += rows->Items(i).GetValue(column) + " ";
    return calls;
  }

  std::unique_ptr<TControllerHarness> h;
};

void MainFormIncomingTest::init() {
  h = std::make_unique<TControllerHarness>();
  h->CopyTemplate();
  AppSettings.MirelKT5Port = "TEST";
  QVERIFY(h->Start({"teloria2", "-arun"}));
}

void MainFormIncomingTest::cleanup() {
  h.reset();
}

void MainFormIncomingTest::AnsweredCallIsRecordedWithItsSeconds() {
  Feed(GroupEvent(1, 40));
  Feed(GroupEvent(2, 40, "0312345678"));
  Feed(GroupEvent(3, 40, "0312345678", 6));
  Feed(GroupEvent(4, 40, "0312345678", 6, 75));
  Feed(GroupEvent(7, 40, "0312345678", 6, 75));
  const auto call = NewestCall();
  QVERIFY(call);
  QCOMPARE(call->GetValue("phone_number"), std::string("0312345678"));
  QCOMPARE(call->GetValue("incoming_date"), std::string("2026/12/08 07:05:03.000"));
  QCOMPARE(call->GetValue("state"), std::string("2"));
  QCOMPARE(call->GetValue("connected"), std::string("1"));
  QCOMPARE(call->GetValue("offhook_seconds"), std::string("6"));
  QCOMPARE(call->GetValue("onhook_seconds"), std::string("75"));
  QCOMPARE(LastGroupEvent->PacketKind, uint8_t(7));
  // A new number is registered with the call's date.
  const auto entry = CtiDb->FindPhoneNumber("0312345678");
  QVERIFY(entry);
  QCOMPARE(entry->GetValue("created_date"), std::string("2026/12/08 07:05:03.000"));
  QCOMPARE(entry->GetValue("last_incoming_date"), std::string("2026/12/08 07:05:03.000"));
  // The popup replaces the announcement in place: nothing hides it first.
  QCOMPARE(h->windows.Names(),
           (std::vector<std::string>{"ShowIncomingNotice", "IncomingListAddCall",
                                     "PhoneListRowSaved", "IncomingListReload"}));
  const auto* shown = h->windows.Last("ShowIncomingNotice");
  QCOMPARE(shown->Row.GetValue("_IsValidNumber"), std::string("1"));
  QCOMPARE(shown->Row.GetValue("_IncomingDate"), std::string("2026/12/08 07:05:03.000"));
  const auto* added = h->windows.Last("IncomingListAddCall");
  QCOMPARE(added->Row.GetValue("incoming_order"), call->GetValue("incoming_order"));
  QCOMPARE(added->Row.GetValue("incoming_date"), std::string("2026/12/08 07:05:03.000"));
  QCOMPARE(h->windows.Last("PhoneListRowSaved")->Row.GetValue("last_incoming_date"),
           std::string("2026/12/08 07:05:03.000"));
  QCOMPARE(h->sounds, (std::vector<std::string>{"stop"}));
}

void MainFormIncomingTest::UnansweredCallIsFinishedNotAnswered() {
  Feed(GroupEvent(1, 41));
  Feed(GroupEvent(2, 41, "0451112222"));
  Feed(GroupEvent(5, 41, "0451112222"));
  Feed(GroupEvent(7, 41, "0451112222"));
  const auto call = NewestCall();
  QCOMPARE(call->GetValue("state"), std::string("2"));
  QCOMPARE(call->GetValue("connected"), std::string("0"));
  QCOMPARE(h->windows.Names().back(), std::string("IncomingListReload"));
}

void MainFormIncomingTest::RingAnnouncementAndSoundFollowTheSettings() {
  AppSettings.PlayPreviewSound = true;
  Feed(GroupEvent(1, 42));
  QCOMPARE(h->sounds, (std::vector<std::string>{"play"}));
  QVERIFY(h->windows.Calls.empty());
  AppSettings.ShowIncomingPreview = true;
  AppSettings.PlayPreviewSound = false;
  Feed(GroupEvent(1, 43));
  QCOMPARE(h->windows.Names(), (std::vector<std::string>{"ShowRingAnnouncement"}));
  QCOMPARE(h->sounds.size(), size_t(1));
}

void MainFormIncomingTest::WithheldNumberIsRecordedButNeverRegistered() {
  Feed(GroupEvent(1, 44));
  Feed(GroupEvent(2, 44, "P"));
  QCOMPARE(NewestCall()->GetValue("phone_number"), std::string("P"));
  QCOMPARE(CtiDb->GetPhoneNumberCount(), 0);
  QVERIFY(h->windows.Last("PhoneListRowSaved") == nullptr);
  const auto* shown = h->windows.Last("ShowIncomingNotice");
  QCOMPARE(shown->Row.GetValue("_IsValidNumber"), std::string("0"));
  QCOMPARE(shown->Row.GetValue("created_date"), std::string("2026/12/08 07:05:03.000"));
}

void MainFormIncomingTest::KnownNumberKeepsItsEntryAndGetsTheDate() {
  TTableRow entry;
  entry.SetValue("phone_number", "0612345678");
  entry.SetValue("owner_name", "山田商店");
  entry.SetValue("created_date", "2025/01/01 09:00:00.000");
  entry.SetValue("last_updated", "2025/01/02 09:00:00.000");
  CtiDb->InsertPhoneNumber(entry);
  Feed(GroupEvent(2, 45, "0612345678"));
  const auto stored = CtiDb->FindPhoneNumber("0612345678");
  QCOMPARE(stored->GetValue("created_date"), std::string("2025/01/01 09:00:00.000"));
  QCOMPARE(stored->GetValue("last_incoming_date"), std::string("2026/12/08 07:05:03.000"));
  QCOMPARE(h->windows.Last("ShowIncomingNotice")->Row.GetValue("owner_name"),
           std::string("山田商店"));
  QCOMPARE(h->windows.Last("IncomingListAddCall")->Row.GetValue("owner_name"),
           std::string("山田商店"));
}

void MainFormIncomingTest::PhoneBookLimitStillShowsAndRecordsTheCall() {
  AppSettings.PhoneLimit = 1;
  Feed(GroupEvent(2, 46, "0311111111"));
  Feed(GroupEvent(2, 47, "0322222222"));
  QCOMPARE(CtiDb->GetPhoneNumberCount(), 1);
  QVERIFY(!CtiDb->PhoneNumberExists("0322222222"));
  QCOMPARE(NewestCall()->GetValue("phone_number"), std::string("0322222222"));
  QCOMPARE(h->windows.Last("ShowIncomingNotice")->Row.GetValue("phone_number"),
           std::string("0322222222"));
  QVERIFY(h->MainLog().find("[error] 電話番号登録件数が 1 件に達しているため登録できません。") !=
          std::string::npos);
  // The open phone list is told only of the entry that was stored.
  QCOMPARE(h->windows.Count("PhoneListRowSaved"), 1);
  QCOMPARE(h->windows.Last("PhoneListRowSaved")->Row.GetValue("phone_number"),
           std::string("0311111111"));
  AppSettings.PhoneLimit = 0;
  Feed(GroupEvent(2, 48, "0333333333"));
  QVERIFY(!CtiDb->PhoneNumberExists("0333333333"));
}

void MainFormIncomingTest::HookEventsReachOnlyTheCallOfTheirGroup_data() {
  // Events "group:kind", numbers 03000000 and the group (called by the number
  // event alone); calls: number state connected offhook_seconds onhook_seconds.
  QTest::addColumn<QString>("events");
  QTest::addColumn<QString>("calls");
  QTest::newRow("ring alone ends unanswered") << "50:1 50:2 50:3 50:4 50:7 51:1 51:5 51:7"
                                              << "0300000050 2 1 6 75";
  QTest::newRow("ring alone is answered") << "50:1 50:2 50:5 50:7 51:1 51:3 51:4 51:7"
                                          << "0300000050 2 0 0 0";
  QTest::newRow("overlapping calls") << "50:1 50:2 51:1 51:2 50:3 51:5 50:4 51:7 50:7"
                                     << "0300000050 2 1 6 75, 0300000051 2 0 0 0";
}

void MainFormIncomingTest::HookEventsReachOnlyTheCallOfTheirGroup() {
  QFETCH(QString, events);
  QFETCH(QString, calls);
  for (const QString& event : events.split(' ')) {
    const int group = event.section(':', 0, 0).toInt();
    Feed(GroupEvent(uint8_t(event.section(':', 1).toInt()), group,
                    "03000000" + std::to_string(group), 6, 75));
  }
  QStringList seen;
  const auto rows = CtiDb->GetIncomingList(10);
  for (int i = 0; i < rows->Count(); ++i) {
    std::string text = rows->Items(i).GetValue("phone_number");
    for (const char* column : {"state", "connected", "offhook_seconds", "onhook_seconds"})
      text += " " + rows->Items(i).GetValue(column);
    seen << QString::fromStdString(text);
  }
  seen.sort();
  QCOMPARE(seen.join(", "), calls);
}

void MainFormIncomingTest::HookEventOvertakingItsRegistrationWaitsForIt() {
  Feed(GroupEvent(2, 52, "0311111111"));
  Feed(GroupEvent(3, 52, "0311111111", 2));
  // The next call's events arrive in one burst, before its number is registered.
  h->form->CommSim().InjectGroupEvent(GroupEvent(1, 53));
  h->form->CommSim().InjectGroupEvent(GroupEvent(2, 53, "0322222222"));
  h->form->CommSim().InjectGroupEvent(GroupEvent(5, 53, "0322222222"));
  TControllerHarness::Drain();
  const auto rows = CtiDb->GetIncomingList(2);
  QCOMPARE(rows->Items(0).GetValue("phone_number"), std::string("0322222222"));
  QCOMPARE(rows->Items(0).GetValue("state"), std::string("2"));
  QCOMPARE(rows->Items(0).GetValue("connected"), std::string("0"));
  QCOMPARE(rows->Items(1).GetValue("state"), std::string("1"));
  QCOMPARE(rows->Items(1).GetValue("connected"), std::string("1"));
}

// Read while the program was busy starting, say: all queued at once.
void MainFormIncomingTest::EveryCallOfABurstReadBeforeTheFirstIsHandledEnds() {
  for (int group = 100; group < 140; ++group) {
    const std::string number = "03100" + std::to_string(group);
    h->form->CommSim().InjectGroupEvent(GroupEvent(1, group));
    h->form->CommSim().InjectGroupEvent(GroupEvent(2, group, number));
    h->form->CommSim().InjectGroupEvent(GroupEvent(5, group, number));
  }
  TControllerHarness::Drain();
  const auto rows = CtiDb->GetIncomingList(100);
  QCOMPARE(rows->Count(), 40);
  for (int i = 0; i < rows->Count(); ++i)
    QCOMPARE(rows->Items(i).GetValue("state"), std::string("2"));
}

void MainFormIncomingTest::CallIsWrittenOnceItsWindowIsPaintedOrLater() {
  h->windows.HoldPaints = true;
  Feed(GroupEvent(2, 30, "0312345678"));
  Feed(GroupEvent(3, 30, "0312345678", 6));
  // Shown and its key told at once; nothing on the disk yet.
  QCOMPARE(h->windows.Names(), (std::vector<std::string>{"ShowIncomingNotice"}));
  QCOMPARE(LastIncomingInfo.IncomingOrder, 1);
  QVERIFY(Calls().empty() && CtiDb->GetPhoneNumberCount() == 0);
  // Its key is its own meanwhile: another row takes the next one.
  QCOMPARE(CallHistory().AddCall("0300000000", "2026/12/08 07:05:02.000"), 2);
  h->windows.Paint();
  QCOMPARE(Calls()["0312345678"], std::string("1 1 1 6 0 "));
  QCOMPARE(h->windows.Count("IncomingListAddCall"), 1);
  // A window never painted holds its call back only briefly.
  Feed(GroupEvent(2, 31, "0322222222"));
  QVERIFY(Calls().size() == 2 && h->form->CallPaintTimer().isActive());
  QVERIFY(QTest::qWaitFor([&] { return Calls().size() == 3; }));
  QVERIFY(!h->form->CallPaintTimer().isActive());
  // Held at the end: written before the program closes.
  Feed(GroupEvent(2, 32, "0333333333"));
  Feed(GroupEvent(5, 32, "0333333333"));
  h->form.reset();
  QCOMPARE(Calls()["0333333333"], std::string("4 2 0 0 0 "));
  QCOMPARE(CtiDb->GetPhoneNumberCount(), 3);
}

void MainFormIncomingTest::FailedHistoryRowLeavesEarlierCallsAlone() {
  Feed(GroupEvent(2, 60, "0311111111"));
  const auto first = NewestCall();
  RefuseNewCalls();
  h->windows.Calls.clear();
  Feed(GroupEvent(2, 61, "0322222222"));
  Feed(GroupEvent(3, 61, "0322222222", 4));
  Feed(GroupEvent(4, 61, "0322222222", 4, 20));
  const auto after = NewestCall();
  QCOMPARE(after->GetValue("phone_number"), std::string("0311111111"));
  QCOMPARE(after->GetValue("state"), first->GetValue("state"));
  QCOMPARE(after->GetValue("connected"), std::string("0"));
  QCOMPARE(LastIncomingInfo.IncomingDate, std::string());
  // The caller was on screen before the row was refused, and is taken off.
  QCOMPARE(h->windows.Names(), (std::vector<std::string>{"ShowIncomingNotice", "HideIncomingNotice",
                                                         "IncomingListReload"}));
  QCOMPARE(h->tray.Balloons.back().Title, std::string("Teloria II エラー"));
  QCOMPARE(h->tray.Balloons.back().Text, std::string("着信処理で予期しないエラーが発生しました。"));
  QVERIFY(h->tray.Balloons.back().Icon == TBalloonIcon::Error);
  QVERIFY(h->MainLog().find(
              "[error] 電話着信処理でエラーが発生しました。エラー場所=着信履歴テーブル追加"
              "\r\n[原因] ") != std::string::npos);
}

void MainFormIncomingTest::DiskFullKeepsTheWritesAcrossARestart() {
  TFaultVfs vfs;
  CtiDb.reset();
  CreateCtiDb(); // through the fault VFS
  vfs.Arm({TFaultPoint::Write, SQLITE_FULL}, 1);
  Feed(GroupEvent(2, 90, "0311111111"));
  Feed(GroupEvent(3, 90, "0311111111", 4));
  h->windows.HoldPaints = true; // its call is still held for the paint at the end
  Feed(GroupEvent(2, 91, "0322222222"));
  Feed(GroupEvent(5, 91, "0322222222"));
  h->form.reset(); // the program ends while the disk is full
  vfs.Disarm();
  // Its first call was written before it ended.
  CtiDb->AddIncoming("0311111111", "2026/12/08 07:05:03.000");
  QVERIFY(h->Start({"teloria2", "-arun"}));
  QVERIFY(QTest::qWaitFor([&] { return !h->form->ReplayTimer().isActive(); }));
  QCOMPARE(Calls(), (std::map<std::string, std::string>{{"0311111111", "1 1 1 4 0 "},
                                                        {"0322222222", "2 2 0 0 0 "}}));
  QVERIFY(TPendingJournal().Open().empty());
}

void MainFormIncomingTest::CallsDuringALockAreShownAtOnceAndWrittenLater() {
  Feed(GroupEvent(2, 79, "0300000000"));
  // Another program holds the database's write lock.
  sqlite3* other = nullptr;
  QCOMPARE(sqlite3_open((h->home.Path() + "/teloria2.db3").c_str(), &other), SQLITE_OK);
  QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  h->windows.Calls.clear();
  Feed(GroupEvent(1, 80));
  Feed(GroupEvent(2, 80, "0312345678"));
  Feed(GroupEvent(3, 80, "0312345678", 6));
  Feed(GroupEvent(4, 80, "0312345678", 6, 75));
  Feed(GroupEvent(7, 80, "0312345678", 6, 75));
  Feed(GroupEvent(2, 81, "0398765432"));
  Feed(GroupEvent(5, 81, "0398765432"));
  // Both callers were shown at once; nothing is written yet.
  QCOMPARE(h->windows.Count("ShowIncomingNotice"), 2);
  QCOMPARE(h->windows.Last("ShowIncomingNotice")->Row.GetValue("_IsValidNumber"), std::string("1"));
  QCOMPARE(h->windows.Count("IncomingListAddCall"), 0);
  QCOMPARE(CtiDb->GetIncomingList(10)->Count(), 1);
  // The first got its key as it was shown; the second, shown while the
  // database refused writes, gets it when written.
  QCOMPARE(LastIncomingInfo.IncomingOrder, 2);
  h->form->PendingWritesTimerTimer(); // still locked
  QCOMPARE(CtiDb->GetIncomingList(10)->Count(), 1);
  QVERIFY(h->form->PendingWritesTimer().isActive());
  QCOMPARE(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  QVERIFY(QTest::qWaitFor([&] { return !h->form->PendingWritesTimer().isActive(); }));
  // Each call once, complete, in arrival order.
  auto calls = Calls();
  QCOMPARE(calls.size(), size_t(3));
  QCOMPARE(calls["0312345678"], std::string("2 2 1 6 75 "));
  QCOMPARE(calls["0398765432"], std::string("3 2 0 0 0 "));
  QCOMPARE(CtiDb->GetPhoneNumberCount(), 3);
  QCOMPARE(LastIncomingInfo.IncomingOrder, 3);
  QCOMPARE(h->windows.Count("IncomingListAddCall"), 2);
  QCOMPARE(h->windows.Last("IncomingListAddCall")->Row.GetValue("incoming_order"),
           std::string("3"));
  QCOMPARE(h->windows.Count("PhoneListRowSaved"), 2);
  const std::string log = h->MainLog();
  QVERIFY(log.find("[warng] データベースが使用中のため書き込みを保留します。[着信情報 : 着信日時 "
                   "[2026/12/08 07:05:03.000]  番号 [0312345678]]") != std::string::npos);
  QCOMPARE(CountOf(log, "[warng] データベースが使用中のため"), size_t(1));
  QVERIFY(log.find("[info ] 保留していた書き込みをすべて行いました。") != std::string::npos);
}

// A box shown by the history window's reload runs the event loop, and so
// the retry of the writes, while the write that asked for it runs.
void MainFormIncomingTest::AWriteNeverRunsInsideAnother() {
  sqlite3* other = nullptr;
  QCOMPARE(sqlite3_open((h->home.Path() + "/teloria2.db3").c_str(), &other), SQLITE_OK);
  QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  for (int group : {82, 83}) {
    Feed(GroupEvent(2, group, "03000000" + std::to_string(group)));
    Feed(GroupEvent(5, group, "03000000" + std::to_string(group)));
  }
  QCOMPARE(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  h->windows.OnReload = [&] { h->form->PendingWritesTimerTimer(); };
  h->form->PendingWritesTimerTimer();
  TControllerHarness::Drain();
  QCOMPARE(Calls(), (std::map<std::string, std::string>{{"0300000082", "1 2 0 0 0 "},
                                                        {"0300000083", "2 2 0 0 0 "}}));
  QVERIFY(!h->form->PendingWritesTimer().isActive());
}

// A call the database refused for good is taken off the screen only while
// nothing was shown after it: not a newer call's ring announcement.
void MainFormIncomingTest::RefusedCallWithdrawsOnlyWhatItShowed() {
  RefuseNewCalls();
  AppSettings.IncomingDisplayMode = 2;
  AppSettings.ShowIncomingPreview = true;
  h->windows.HoldPaints = true;
  Feed(GroupEvent(2, 84, "0311111111"));
  Feed(GroupEvent(1, 85));
  h->windows.Paint();
  QCOMPARE(h->windows.Count("HideNumberDisplay") + h->windows.Count("HideIncomingNotice"), 1);
  Feed(GroupEvent(2, 85, "0322222222"));
  h->windows.Paint();
  QCOMPARE(h->windows.Names().back(), std::string("HideNumberDisplay"));
  QCOMPARE(h->windows.Count("HideNumberDisplay"), 1);
}

void MainFormIncomingTest::DisplayModeAndCommandsFollowTheSettings() {
  const std::string marker = h->home.Path() + "/ran";
  const std::string script = h->home.Path() + "/cmd; echo $(id).sh";
  WriteFile(script, "#!/bin/sh\ntouch '" + marker + "'\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  TTableRow entry;
  entry.SetValue("phone_number", "0312345678");
  entry.SetValue("exec_cmd", "  " + script + "  ");
  CtiDb->InsertPhoneNumber(entry);
  AppSettings.IncomingDisplayMode = 2;
  AppSettings.ExecCmdEnabled = false;
  h->form->CMSettingsChanged();
  // The call windows are made at start-up, the number display once chosen.
  QCOMPARE(h->windows.Prepared, (std::vector<bool>{false, true}));
  Feed(GroupEvent(2, 70, "0312345678"));
  QCOMPARE(h->windows.Names(),
           (std::vector<std::string>{"HideIncomingNotice", "ShowNumberDisplay",
                                     "IncomingListAddCall", "PhoneListRowSaved"}));
  AppSettings.ExecCmdEnabled = true;
  Feed(GroupEvent(2, 71, "0312345678"));
  // The whole text is one program name: nothing is interpreted by a shell.
  QVERIFY(QTest::qWaitFor([&] { return std::filesystem::exists(marker); }, 10000));
}

void MainFormIncomingTest::DebugFileTriggersOneCallPerNewKey() {
  h.reset();
  h = std::make_unique<TControllerHarness>();
  h->CopyTemplate();
  WriteFile(h->home.Path() + "/debug.txt", "1,0312345678\r\n");
  AppSettings.MirelKT5Port = "debug";
  QVERIFY(h->Start({"teloria2", "-arun"}));
  QCOMPARE(h->form->DebugLastKey(), std::string("1"));
  h->form->DebugCheckTimerTimer();
  TControllerHarness::Drain();
  QVERIFY(h->windows.Calls.empty());
  WriteFile(h->home.Path() + "/debug.txt", "2 0398765432\r\n");
  h->form->DebugCheckTimerTimer();
  TControllerHarness::Drain();
  h->form->DebugCheckTimerTimer();
  TControllerHarness::Drain();
  QCOMPARE(CtiDb->GetIncomingList(10)->Count(), 1);
  QCOMPARE(NewestCall()->GetValue("phone_number"), std::string("0398765432"));
  QVERIFY(h->MainLog().find("[info ] 電話着信（デバッグモード） [0398765432]") !=
          std::string::npos);
  WriteFile(h->home.Path() + "/debug.txt", "3\r\n");
  h->form->DebugCheckTimerTimer();
  TControllerHarness::Drain();
  QCOMPARE(CtiDb->GetIncomingList(10)->Count(), 1);
}

QTEST_GUILESS_MAIN(MainFormIncomingTest)
#include "MainFormIncomingTest.moc"

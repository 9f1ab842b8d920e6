#include "core/CallShare.h"
#include "core/PendingJournal.h"
#include "data/PhoneBook.h"
#include "fakes/ControllerHarness.h"
#include "fakes/FakeMqttClients.h"
#include "share/BookMessages.h"
#include "share/CallCatchUp.h"
#include "share/ShareExchange.h"
#include "share/StationStatus.h"

#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>

// Office sharing through the controller, with the test playing the broker.
class MainFormShareTest : public QObject {
  Q_OBJECT
private slots:
  void init();
  void cleanup();
  void CallsOfAStationAreRecordedOnceUnderItsKeyWithItsNamesForUnknownNumbers();
  void DeskAsksAgainWhatGoesUnansweredWhileTheStationIsOnline();
  void SharingTurnedOffRemovesTheHubSensorsAndAReadablePasswordIsWarnedOnce();
  void ANewNumberTheFullBookRefusesIsDroppedOnEveryDesk();
  void AnOfficeBookThatCannotStartStartsLater();
  void ADeskAsksFromTheFirstCallNotEndedHereByTheStationsOrder();
  void AStationsNextRunEndsItsCallsHereAndTwoPcsUnderItsNameAreWarnedOfOnce();

private:
  void Start(int mode) {
    AppSettings.Share.Mode = mode;
    AppSettings.Share.Station = mode == 1 ? "desk1" : "reception";
    QVERIFY(h->Start({"teloria2", "-arun"}));
    clients.Status(TMqttState::Connected);
  }
  // The station's order of the call (and its group) is the number's last two digits.
  void Call(int count, int kind, const std::string& number, const std::string& date) {
    TCallMessage m;
    m.Id = "desk1-r-" + std::to_string(count);
    m.Station = "desk1";
    m.Kind = kind;
    m.GroupNo = m.IncomingOrder.emplace(std::stoi(number.substr(8)));
    m.PhoneNumber = number;
    m.IncomingDate = m.Date = date;
    m.OwnerName = "山田商店";
    m.TalkSeconds = 45;
    clients.Deliver("teloria2/office/desk1/call", EncodeCallMessage(m));
    TControllerHarness::Drain();
  }
  void Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open((h->home.Path() + "/teloria2.db3").c_str(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  size_t Requests() const { return clients.On("teloria2/office/desk1/request/reception").size(); }
  TShareRequest LastRequest() const {
    return DecodeShareRequest(clients.On("teloria2/office/desk1/request/reception").back());
  }
  void Status(const std::string& instance, const std::string& run, bool online = true) {
    clients.Deliver(
        "teloria2/office/desk1/status",
        StatusMessage("teloria2/office", {"desk1", online, true, false, instance, run}).Payload,
        true);
    TControllerHarness::Drain();
  }
  std::string Shown() const {
    return h->windows.Last("ShowIncomingNotice")->Row.GetValue("owner_name");
  }

  TFakeMqttClients clients;
  std::unique_ptr<TControllerHarness> h;
};

void MainFormShareTest::init() {
  clients = {};
  h = std::make_unique<TControllerHarness>();
  h->CopyTemplate();
  h->shareClients = clients.Factory();
  AppSettings.MirelKT5Port = "TEST";
}

void MainFormShareTest::cleanup() {
  h.reset();
}

void MainFormShareTest::CallsOfAStationAreRecordedOnceUnderItsKeyWithItsNamesForUnknownNumbers() {
  Start(2);
  TTableRow known;
  known.SetValue("phone_number", "0698765432");
  known.SetValue("owner_name", "自社の名前");
  PhoneBook().Register(known);
  const std::string live = NowDateText();
  const std::string late = FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now() - 120.0 / 86400);
  Call(1, 2, "0312345605", live);
  QCOMPARE(Shown(), std::string("山田商店"));
  Call(2, 2, "0698765432", live);
  QCOMPARE(Shown(), std::string("自社の名前"));
  QCOMPARE(PhoneBook().Find("0312345605")->GetValue("owner_name"), std::string("山田商店"));
  QCOMPARE(PhoneBook().Find("0698765432")->GetValue("owner_name"), std::string("自社の名前"));
  // Late: silently, with the station's date and outcome; sent again, still once.
  Call(3, 2, "0311112207", late);
  Call(4, 4, "0311112207", late);
  Call(9, 2, "0311112207", late);
  QCOMPARE(h->windows.Count("ShowIncomingNotice"), 2);
  QCOMPARE(h->windows.Last("PhoneListRowSaved")->Row.GetValue("owner_name"),
           std::string("山田商店"));
  const auto rows = CtiDb->GetIncomingList(10);
  QCOMPARE(rows->Count(), 3);
  const TTableRow& oldest = rows->Items(2);
  QCOMPARE(oldest.GetValue("incoming_date") + "|" + oldest.GetValue("state") + "|" +
               oldest.GetValue("onhook_seconds"),
           late + "|2|45");
  // Kept while another program holds the database, but never in the
  // journal, which knows no stations: the station brings it back anyway.
  sqlite3* other = nullptr;
  QCOMPARE(sqlite3_open((h->home.Path() + "/teloria2.db3").c_str(), &other), SQLITE_OK);
  QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  Call(10, 2, "0311113308", live);
  sqlite3_close(other);
  QVERIFY(TPendingJournal().Open().empty());
}

void MainFormShareTest::DeskAsksAgainWhatGoesUnansweredWhileTheStationIsOnline() {
  Start(2);
  clients.Deliver("teloria2/office/desk1/status", R"({"online":true})", true);
  QCOMPARE(Requests(), size_t(1));
  AdvanceFixedNow(11.0 / 86400);
  h->form->Share().CatchUpTimerTimer();
  QCOMPARE(Requests(), size_t(2));
  const auto requests = clients.On("teloria2/office/desk1/request/reception");
  QVERIFY(DecodeShareRequest(requests[0]).Id != DecodeShareRequest(requests[1]).Id);
  clients.Deliver("teloria2/office/desk1/status", R"({"online":false})", true);
  AdvanceFixedNow(11.0 / 86400);
  h->form->Share().CatchUpTimerTimer();
  QCOMPARE(Requests(), size_t(2));
}

void MainFormShareTest::SharingTurnedOffRemovesTheHubSensorsAndAReadablePasswordIsWarnedOnce() {
  WriteFile(TAppSettings::FileName(), "[Settings.Share]\r\nPassword=pw\r\n");
  ::chmod(TAppSettings::FileName().c_str(), 0644);
  AppSettings.Share.HomeAssistant = true;
  AppSettings.Share.Password = "pw";
  Start(1);
  QCOMPARE(h->tray.Balloons.size(), size_t(1));
  QVERIFY(h->MainLog().find("パスワードを保存したファイルを他のユーザーが読めます") !=
          std::string::npos);
  const std::string config = "homeassistant/sensor/teloria2_desk1/last_caller/config";
  QVERIFY(!clients.On(config).back().empty());
  h->form->Share().Apply({});
  QCOMPARE(clients.On(config).back(), std::string());
  AppSettings.Share.HomeAssistant = false;
  h->form->Share().Apply(AppSettings.Share);
  QCOMPARE(h->tray.Balloons.size(), size_t(1));
}

void MainFormShareTest::ANewNumberTheFullBookRefusesIsDroppedOnEveryDesk() {
  const int limit = std::exchange(AppSettings.PhoneLimit, 1);
  Start(1); // the station holds the book
  TTableRow entry;
  entry.SetValue("phone_number", "0311112222");
  PhoneBook().Save(entry);
  const std::string deskA = "deskA-0123456789abcdef";
  const TDeskEdit edit{deskA, 1, {"save", {{"0399", "新規", "", "", "", "", ""}}, {}, "deskA", ""}};
  clients.Deliver("teloria2/office/desk1/edit/deskA",
                  EncodeShareRequest({"r1", deskA, BookEditSubject, DeskEditJson(edit)}));
  TControllerHarness::Drain();
  AppSettings.PhoneLimit = limit;
  const auto versions = clients.On("teloria2/office/desk1/book");
  QCOMPARE(versions.size(), size_t(2));
  const TBookVersion dropped = DecodeBookVersion(versions[1]);
  QCOMPARE(dropped.Version, int64_t(2));
  QCOMPARE(dropped.Change.Kind, std::string("delete"));
  QCOMPARE(dropped.Change.Numbers, std::vector<std::string>{"0399"});
  QCOMPARE(dropped.Seq, int64_t(1));
  const auto answers = clients.On("teloria2/office/desk1/response/deskA");
  QCOMPARE(answers.size(), size_t(1));
  QCOMPARE(SeqOf(DecodeShareResponse(answers[0]).Items.first()), int64_t(1));
}

// Without the book its edit hook is missing: this PC's edits would stay here.
void MainFormShareTest::AnOfficeBookThatCannotStartStartsLater() {
  std::filesystem::copy_file(h->home.Path() + "/teloria2.db3.init",
                             h->home.Path() + "/teloria2.db3");
  Sql("DELETE FROM book_state");
  Start(1);
  QVERIFY(h->MainLog().find("事務所の電話帳を使えません。") != std::string::npos);
  Sql("INSERT INTO book_state (book, version, token) VALUES ('', 0, '')");
  h->form->Share().CatchUpTimerTimer();
  clients.Status(TMqttState::Connected);
  TTableRow entry;
  entry.SetValue("phone_number", "0311112222");
  PhoneBook().Save(entry);
  TControllerHarness::Drain();
  QCOMPARE(clients.On("teloria2/office/desk1/book").size(), size_t(1));
}

void MainFormShareTest::ADeskAsksFromTheFirstCallNotEndedHereByTheStationsOrder() {
  Start(2);
  const std::string late = FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now() - 120.0 / 86400);
  const std::string later = FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now() - 110.0 / 86400);
  // Recorded silently: orders 1 and 3 ended, order 2 (dated later) not.
  Call(1, 4, "0311112201", late);
  Call(2, 2, "0311112202", later);
  Call(3, 4, "0311112203", late);
  Status(std::string(16, 'a'), std::string(16, '1'));
  // The first contact asked already; its answer brings the next request.
  clients.Deliver("teloria2/office/desk1/response/reception",
                  EncodeShareResponse({LastRequest().Id, "desk1", "calls", QJsonArray{}, false}));
  TControllerHarness::Drain();
  QCOMPARE(CallMarkOf(LastRequest().After), std::optional(TCallMark{1, later, true}));
}

void MainFormShareTest::AStationsNextRunEndsItsCallsHereAndTwoPcsUnderItsNameAreWarnedOfOnce() {
  Start(2);
  const TMirelKT5CommShare& session = h->form->Share().Session;
  const std::string a(16, 'a');
  Status(a, std::string(16, '1'));
  TCallMessage ring;
  ring.Id = "desk1-" + std::string(16, '1') + "-1";
  ring.Station = "desk1";
  ring.Run = std::string(16, '1');
  ring.Kind = 1;
  ring.GroupNo = 0;
  ring.Date = NowDateText();
  clients.Deliver("teloria2/office/desk1/call", EncodeCallMessage(ring));
  TControllerHarness::Drain();
  QVERIFY(session.Tracks("desk1", ring.Run, 0));
  const size_t asked = Requests();
  Status(a, std::string(16, '2')); // died mid-call and started again
  QVERIFY(!session.Tracks("desk1", ring.Run, 0));
  // Its offline may never have come: the new run is asked what it holds now.
  QCOMPARE(Requests(), asked + 1);
  QCOMPARE(h->tray.Balloons.size(), size_t(0));
  // Calls the new run recovered from its adapter, sent live in no group.
  TCallMessage recovered;
  recovered.Id = "desk1-" + std::string(16, '2') + "-1";
  recovered.Station = "desk1";
  recovered.Run = std::string(16, '2');
  recovered.Kind = 5;
  recovered.GroupNo = RecoveredGroup;
  recovered.IncomingOrder = 7;
  recovered.PhoneNumber = "0391000003";
  recovered.IncomingDate = FormatDateTime("yyyy/mm/dd hh:nn:00.000", Now() - 600.0 / 86400);
  recovered.Date = NowDateText();
  clients.Deliver("teloria2/office/desk1/call", EncodeCallMessage(recovered));
  TControllerHarness::Drain();
  QCOMPARE(CtiDb->GetIncomingList(10)->Count(), 1);
  for (const char instance : {'b', 'a', 'b'})
    Status(std::string(16, instance), std::string(16, '2'));
  QCOMPARE(h->tray.Balloons.size(), size_t(1));
  QVERIFY(h->MainLog().find("ステーション名 desk1 が複数のPCで使われています。") !=
          std::string::npos);
}

QTEST_GUILESS_MAIN(MainFormShareTest)
#include "MainFormShareTest.moc"

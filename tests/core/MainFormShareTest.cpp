#include "core/CallShare.h"
#include "data/PhoneBook.h"
#include "fakes/ControllerHarness.h"
#include "fakes/FakeMqttClients.h"
#include "share/CallCatchUp.h"
#include "share/ShareExchange.h"

#include <sys/stat.h>

// Office sharing through the controller, with the test playing the broker.
class MainFormShareTest : public QObject {
  Q_OBJECT
private slots:
  void init();
  void cleanup();
  void LiveCallsRingLateOnesAreRecordedSilentlyEachOnceUnderTheStationsKey();
  void DeskCatchesUpPageByPageAndAsksAgainWhatGoesUnanswered();
  void SharingTurnedOffRemovesTheHubSensorsAndAReadablePasswordIsWarnedOnce();

private:
  void Start(int mode) {
    AppSettings.Share.Mode = mode;
    AppSettings.Share.Station = mode == 1 ? "desk1" : "reception";
    QVERIFY(h->Start({"teloria2", "-arun"}));
    clients.Status(TMqttState::Connected);
  }
  static std::string Date(double secondsAgo) {
    return FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now() - secondsAgo / 86400);
  }
  void Call(int count, int kind, int order, const std::string& number, const std::string& date,
            int talk = 0) {
    TCallMessage m;
    m.Id = "desk1-r-" + std::to_string(count);
    m.Station = "desk1";
    m.Kind = kind;
    m.GroupNo = order;
    m.PhoneNumber = number;
    m.IncomingOrder = order;
    m.IncomingDate = m.Date = date;
    m.OwnerName = "山田商店";
    m.TalkSeconds = talk;
    clients.Deliver("teloria2/office/desk1/call", EncodeCallMessage(m));
    TControllerHarness::Drain();
  }
  TShareRequest LastRequest(const std::string& station) {
    return DecodeShareRequest(clients.On("teloria2/office/" + station + "/request").back());
  }
  void Answer(const std::string& station, int first, int count, bool more) {
    QJsonArray items;
    for (int i = first; i < first + count; ++i)
      items.push_back(CallRecordJson({i, Date(9000 - i), "03" + std::to_string(10000000 + i), 2,
                                      true, 3, 30, "", "", "", ""}));
    clients.Deliver("teloria2/office/" + station + "/response/reception",
                    EncodeShareResponse({LastRequest(station).Id, station, "calls", items, more}));
    TControllerHarness::Drain();
  }
  int Calls() { return CtiDb->GetIncomingList(10000)->Count(); }

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

void MainFormShareTest::LiveCallsRingLateOnesAreRecordedSilentlyEachOnceUnderTheStationsKey() {
  Start(2);
  TTableRow known;
  known.SetValue("phone_number", "0698765432");
  known.SetValue("owner_name", "自社の名前");
  PhoneBook().Register(known);
  const std::string live = Date(1), late = Date(120);
  Call(1, 2, 5, "0312345678", live);
  QCOMPARE(h->windows.Last("ShowIncomingNotice")->Row.GetValue("owner_name"),
           std::string("山田商店"));
  Call(2, 2, 6, "0698765432", live);
  QCOMPARE(h->windows.Last("ShowIncomingNotice")->Row.GetValue("owner_name"),
           std::string("自社の名前"));
  QCOMPARE(PhoneBook().Find("0312345678")->GetValue("owner_name"), std::string("山田商店"));
  QCOMPARE(PhoneBook().Find("0698765432")->GetValue("owner_name"), std::string("自社の名前"));

  // Late: recorded with the station's date and outcome, silently; sent
  // again by anyone, still once.
  Call(3, 2, 7, "0311112222", late);
  Call(4, 4, 7, "0311112222", late, 45);
  Call(9, 2, 7, "0311112222", late);
  QCOMPARE(h->windows.Count("ShowIncomingNotice"), 2);
  QCOMPARE(h->windows.Last("PhoneListRowSaved")->Row.GetValue("phone_number"),
           std::string("0311112222"));
  QVERIFY(h->windows.Count("IncomingListReload") > 0);
  const auto rows = CtiDb->GetIncomingList(10);
  QCOMPARE(rows->Count(), 3);
  QCOMPARE(rows->Items(1).GetValue("incoming_date"), live);
  const TTableRow& oldest = rows->Items(2);
  QCOMPARE(oldest.GetValue("incoming_date") + "|" + oldest.GetValue("state") + "|" +
               oldest.GetValue("onhook_seconds"),
           late + "|2|45");
}

void MainFormShareTest::DeskCatchesUpPageByPageAndAsksAgainWhatGoesUnanswered() {
  Start(2);
  clients.Deliver("teloria2/office/desk1/status", R"({"online":true})", true);
  QVERIFY(LastRequest("desk1").After.isNull());
  Answer("desk1", 1, 200, true);
  QCOMPARE(CallKeyOf(LastRequest("desk1").After)->Order, 200);
  Answer("desk1", 201, 5, false);
  QCOMPARE(Calls(), 205);
  QCOMPARE(clients.On("teloria2/office/desk1/request").size(), size_t(2));

  // Back online: asked from the newest call that ended here.
  clients.Deliver("teloria2/office/desk1/status", R"({"online":false})", true);
  clients.Deliver("teloria2/office/desk1/status", R"({"online":true})", true);
  QCOMPARE(CallKeyOf(LastRequest("desk1").After)->Order, 205);
  // Unanswered: asked again under a new id while the station is online.
  const std::string first = LastRequest("desk1").Id;
  AdvanceFixedNow(11.0 / 86400);
  h->form->Share().CatchUpTimerTimer();
  QVERIFY(LastRequest("desk1").Id != first);
  clients.Deliver("teloria2/office/desk1/status", R"({"online":false})", true);
  AdvanceFixedNow(11.0 / 86400);
  h->form->Share().CatchUpTimerTimer();
  QCOMPARE(clients.On("teloria2/office/desk1/request").size(), size_t(4));
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
  TShareSettings off;
  h->form->Share().Apply(off);
  QCOMPARE(clients.On(config).back(), std::string());
  AppSettings.Share.HomeAssistant = false;
  h->form->Share().Apply(AppSettings.Share);
  QCOMPARE(h->tray.Balloons.size(), size_t(1));
}

QTEST_GUILESS_MAIN(MainFormShareTest)
#include "MainFormShareTest.moc"

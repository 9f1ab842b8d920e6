#include "E2eHarness.h"

#include "fakes/MosquittoBroker.h"
#include "fakes/MqttTestClient.h"
#include "fakes/StationHistory.h"
#include "share/BookMessages.h"
#include "share/CallMessage.h"
#include "share/ShareExchange.h"
#include "share/ShareTopics.h"
#include "share/Station.h"
#include "share/StationStatus.h"

#include "base/Clock.h"

#include <algorithm>
#include <csignal>
#include <fmt/format.h>
#include <map>
#include <set>

// Calls shared through a real mosquitto broker that the test runs itself.
class ShareTest : public E2eTest {
protected:
  void SetUp() override {
    E2eTest::SetUp();
    // Every showing of the popup is stamped into this file once painted.
    setenv("TELORIA2_PAINT_STAMP", (home.Path() + "/popup-stamps.txt").c_str(), 1);
  }
  void TearDown() override { unsetenv("TELORIA2_PAINT_STAMP"); }
  void StartBroker(std::vector<std::pair<std::string, std::string>> users = {},
                   const std::string& acl = "") {
    broker = std::make_unique<TMosquittoBroker>(home.Path() + "/broker", std::move(users));
    if (!acl.empty())
      broker->UseAcl(acl);
    ASSERT_TRUE(broker->Start()) << broker->Log();
  }

  // The program's settings: its port, then [Settings.Share] with these keys.
  void WriteShareIni(const std::string& port, const std::string& shareKeys) {
    WriteIni("MirelKT5Port=" + port + "\r\n[Settings.Share]\r\nHost=127.0.0.1\r\nPort=" +
             std::to_string(broker->Port()) + "\r\n" + shareKeys);
  }

  // A receiving desk that has its session at the broker and is off now.
  void DeskWasHere(const std::string& shareKeys = "") {
    WriteShareIni("", "Mode=2\r\nStation=reception\r\n" + shareKeys);
    program = StartProgram({"-arun"});
    ASSERT_TRUE(LogHas("MQTTブローカーに接続しました。"));
    program->Terminate();
    ASSERT_EQ(program->WaitExit(), 0);
  }

  static std::string Topic(const std::string& station, const std::string& leaf) {
    return "teloria2/office/" + station + "/" + leaf;
  }

  // A sending station in a folder of its own with calls 1..count in its history.
  std::unique_ptr<TProgramProcess> StartStation(const std::string& station, int count,
                                                const std::string& shareKeys = "") {
    const std::string folder = NewFolder(station);
    EXPECT_TRUE(WriteStationHistory(folder + "/teloria2.db3", station, count));
    return StartIn(station, "Mode=1\r\nStation=" + station + "\r\n" + shareKeys);
  }

  // A PC's folder with a database made from the template.
  std::string NewFolder(const std::string& name) {
    const std::string folder = home.Path() + "/" + name;
    if (std::filesystem::create_directories(folder + "/run"))
      std::filesystem::copy_file(BinFolder() + "/teloria2.db3.init", folder + "/teloria2.db3");
    return folder;
  }

  // The PC of that folder, with these [Settings.Share] keys.
  std::unique_ptr<TProgramProcess> StartIn(const std::string& name, const std::string& shareKeys) {
    const std::string folder = home.Path() + "/" + name;
    WriteFile(folder + "/teloria2.ini", "[Settings]\r\nMirelKT5Port=/nonexistent\r\n"
                                        "[Settings.Share]\r\nHost=127.0.0.1\r\nPort=" +
                                            std::to_string(broker->Port()) + "\r\n" + shareKeys);
    return std::make_unique<TProgramProcess>(
        BinFolder() + "/teloria2", std::vector<std::string>{"-arun"},
        std::vector<std::string>{"QT_QPA_PLATFORM=offscreen", "TELORIA2_HOME=" + folder,
                                 "XDG_RUNTIME_DIR=" + folder + "/run", kNoSessionBus},
        folder + "/output.txt");
  }

  // What `fn` reads of the PC in that folder under home.
  template <typename Fn> auto In(const std::string& pc, Fn fn) {
    const std::string saved = std::exchange(dataFolder, home.Path() + "/" + pc);
    const auto result = fn();
    dataFolder = saved;
    return result;
  }

  // Receiving desks, each in a folder of its own, connected.
  std::vector<std::unique_ptr<TProgramProcess>> StartDesks(const std::vector<std::string>& desks) {
    std::vector<std::unique_ptr<TProgramProcess>> running;
    for (const std::string& desk : desks) {
      NewFolder(desk);
      running.push_back(StartIn(desk, "Mode=2\r\nStation=" + desk + "\r\n"));
    }
    for (const std::string& desk : desks)
      EXPECT_TRUE(In(desk, [&] { return LogHas("MQTTブローカーに接続しました。"); }));
    return running;
  }

  std::string Count(const std::string& where = "1") const {
    return Query("SELECT count(*) FROM incoming_numbers WHERE " + where).at(0);
  }

  size_t Occurrences(const std::string& text) const {
    const std::string log = MainLog();
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++count;
    return count;
  }

  // Mode 1 with the virtual adapter, connected to both.
  void StartSender(const std::string& shareKeys = "") {
    StartAdapter();
    WriteShareIni(home.Path() + "/adapter", "Mode=1\r\n" + shareKeys);
    program = StartProgram({"-arun"});
    ASSERT_TRUE(LogHas("MirelUSB/RX2に接続しました。"));
    ASSERT_TRUE(LogHas("[info ] MQTTブローカーに接続しました。Host=[127.0.0.1:" +
                       std::to_string(broker->Port()) + "]"));
  }

  void Play(const std::vector<std::string>& commands) {
    for (const std::string& c : commands)
      ASSERT_TRUE(adapter->Run(c)) << c;
  }

  static std::vector<TCallMessage> Calls(const std::vector<TMqttTestClient::TReceived>& received) {
    std::vector<TCallMessage> calls;
    for (const auto& r : received)
      if (r.Topic == Topic(ShareStationName(""), "call"))
        calls.push_back(DecodeCallMessage(r.Payload));
    return calls;
  }

  static std::set<std::string> NumbersOf(const std::vector<TMqttTestClient::TReceived>& received) {
    std::set<std::string> numbers;
    for (const TCallMessage& c : Calls(received))
      if (c.Kind == 2)
        numbers.insert(c.PhoneNumber);
    return numbers;
  }

  bool PopupShown(int timeoutMs = 10000) const {
    return WaitFor([&] { return !ReadFile(home.Path() + "/popup-stamps.txt").empty(); },
                   std::chrono::milliseconds(timeoutMs));
  }

  std::unique_ptr<TMosquittoBroker> broker;
  std::unique_ptr<TProgramProcess> program;
};

TEST_F(ShareTest, SenderPublishesEveryEventItsStatusAndTheHubSensors) {
  StartBroker();
  // A known caller, so the message carries the phone book's name and memos.
  std::filesystem::copy_file(BinFolder() + "/teloria2.db3.init", home.Path() + "/teloria2.db3");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((home.Path() + "/teloria2.db3").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db,
               "INSERT INTO phone_numbers (phone_number, owner_name, memo1, memo2, memo3) "
               "VALUES ('0312345678', '山田商店', '取引先', '', '午後のみ')",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
  TMqttTestClient hub(broker->Port(), {"teloria2/office/#", "homeassistant/#"});
  ASSERT_TRUE(hub.WaitConnected());
  StartSender("HomeAssistant=1\r\n");
  const std::string station = ShareStationName("");
  ASSERT_TRUE(WaitFor([&] {
    const std::string status = hub.Last(Topic(station, "status"));
    return !status.empty() && DecodeStationStatus(status).Adapter;
  }));
  const TStationStatus announced = DecodeStationStatus(hub.Last(Topic(station, "status")));
  EXPECT_EQ(announced.Station, station);
  EXPECT_FALSE(announced.Ringing);
  EXPECT_TRUE(IsShareId(announced.Instance) && IsShareId(announced.Run));

  Play({"ring", "number 0312345678", "sleep 1100", "offhook", "sleep 1100", "onhook"});
  ASSERT_TRUE(hub.WaitUntil([](const auto& r) { return Calls(r).size() >= 5; }));
  const std::vector<TCallMessage> calls = Calls(hub.Received());
  std::vector<int> kinds;
  std::set<std::string> ids;
  for (const TCallMessage& c : calls) {
    kinds.push_back(c.Kind);
    ids.insert(c.Id);
    EXPECT_EQ(c.Station, ShareStationName(""));
    EXPECT_EQ(c.Run, announced.Run);
    EXPECT_EQ(c.GroupNo, calls[0].GroupNo);
  }
  EXPECT_EQ(kinds, (std::vector<int>{1, 2, 3, 4, 7}));
  EXPECT_EQ(ids.size(), calls.size());
  EXPECT_EQ(calls[0].PhoneNumber, "");
  EXPECT_FALSE(calls[0].IncomingOrder);
  // From the number on: the number, the history key and the phone book's entry.
  const auto key = Query("SELECT incoming_order, incoming_date FROM incoming_numbers");
  ASSERT_EQ(key.size(), 1u);
  for (size_t i = 1; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].PhoneNumber, "0312345678");
    ASSERT_TRUE(calls[i].IncomingOrder && calls[i].IncomingDate);
    EXPECT_EQ(std::to_string(*calls[i].IncomingOrder) + "|" + *calls[i].IncomingDate, key[0]);
    EXPECT_EQ(calls[i].OwnerName, "山田商店");
    EXPECT_EQ(calls[i].Memo1, "取引先");
    EXPECT_EQ(calls[i].Memo3, "午後のみ");
  }
  EXPECT_EQ(calls[1].RingSeconds, 0);
  EXPECT_GE(calls[2].RingSeconds, 1);
  EXPECT_EQ(calls[3].RingSeconds, calls[2].RingSeconds);
  EXPECT_GE(calls[3].TalkSeconds, 1);

  // The hub's two sensors, found without configuration there.
  const std::string node = "teloria2_" + ShareStationName("");
  EXPECT_NE(hub.Last("homeassistant/sensor/" + node + "/last_caller/config")
                .find(R"("json_attributes_topic":")" + Topic(station, "last_caller/attributes")),
            std::string::npos);
  EXPECT_NE(hub.Last("homeassistant/binary_sensor/" + node + "/ringing/config")
                .find(R"("state_topic":")" + Topic(station, "status")),
            std::string::npos);
  EXPECT_EQ(hub.Last(Topic(station, "last_caller")), "0312345678");
  EXPECT_NE(hub.Last(Topic(station, "last_caller/attributes")).find(R"("owner_name":"山田商店")"),
            std::string::npos);
  EXPECT_EQ(hub.Last(Topic(station, "ringing")), "OFF");

  // Closed as the user closes it: the status says so at once.
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
  EXPECT_TRUE(WaitFor([&] {
    return hub.Last(Topic(station, "status")).find(R"("online":false)") != std::string::npos;
  }));
}

TEST_F(ShareTest, HeadlessSenderWithNoDisplayAtAllPublishesItsCalls) {
  StartBroker();
  TMqttTestClient hub(broker->Port(), {"teloria2/office/#"});
  ASSERT_TRUE(hub.WaitConnected());
  // glibc's putenv removes a name given without "=": no Qt platform, no display.
  extraEnv = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
  StartSender();
  EXPECT_TRUE(LogHas("[info ] 画面なしで動作します。"));
  Play({"ring", "number 0312345678", "unanswered"});
  ASSERT_TRUE(CallsReach(1));
  EXPECT_TRUE(hub.WaitUntil([](const auto& received) {
    return std::any_of(received.begin(), received.end(), [](const auto& r) {
      return r.Topic.rfind("teloria2/office/", 0) == 0 &&
             r.Payload.find("\"0312345678\"") != std::string::npos;
    });
  }));
  // No window to open; closing works as ever.
  std::filesystem::remove(home.Path() + "/verb.txt");
  EXPECT_EQ(StartProgram({"-show", "history"}, "verb.txt")->WaitExit(), 1);
  EXPECT_NE(ReadFile(home.Path() + "/verb.txt").find("画面なしで動いているため"),
            std::string::npos);
  EXPECT_EQ(StartProgram({"-exit"}, "verb.txt")->WaitExit(), 0);
  EXPECT_EQ(program->WaitExit(), 0);
}

TEST_F(ShareTest, TheBrokersWillMarksAVanishedSenderOfflineAndNotRinging) {
  StartBroker();
  const std::string status = Topic(ShareStationName(""), "status");
  TMqttTestClient hub(broker->Port(), {status});
  ASSERT_TRUE(hub.WaitConnected());
  StartSender();
  Play({"ring"});
  ASSERT_TRUE(WaitFor([&] { return StatusSaysOnline(hub.Last(status)); }));
  ASSERT_TRUE(
      WaitFor([&] { return hub.Last(status).find(R"("ringing":true)") != std::string::npos; }));
  program->Kill();
  EXPECT_EQ(program->WaitExit(), 128 + SIGKILL);
  EXPECT_TRUE(WaitFor([&] {
    const TStationStatus left = DecodeStationStatus(hub.Last(status));
    return !left.Online && !left.Adapter && !left.Ringing;
  }));
}

TEST_F(ShareTest, BrokerStoppedAndRestartedInARunOfCallsLosesNone) {
  StartBroker();
  // A listener with a session of its own, kept by the broker across its restart.
  auto listener = std::make_unique<TMqttTestClient>(
      broker->Port(), std::vector<std::string>{Topic("+", "call")}, "desk");
  ASSERT_TRUE(listener->WaitConnected());
  StartSender();
  const auto call = [&](int i) {
    Play({"ring", "number 03000000" + std::to_string(10 + i), "unanswered"});
  };
  for (int i = 0; i < 3; ++i)
    call(i);
  ASSERT_TRUE(listener->WaitUntil([](const auto& r) { return NumbersOf(r).size() == 3; }));

  broker->Stop();
  ASSERT_TRUE(LogHas("[warng] MQTTブローカーとの接続が切れました。"));
  for (int i = 3; i < 6; ++i)
    call(i);
  // Local handling goes on meanwhile.
  ASSERT_TRUE(CallsReach(6));
  ASSERT_TRUE(broker->Start()) << broker->Log();
  for (int i = 6; i < 8; ++i)
    call(i);
  ASSERT_TRUE(CallsReach(8));
  EXPECT_TRUE(listener->WaitUntil([](const auto& r) { return NumbersOf(r).size() == 8; }, 30000))
      << NumbersOf(listener->Received()).size();
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
}

TEST_F(ShareTest, CallsMissedBeyondTheBrokersQueueAreCaughtUpOnceWithTheStationsDates) {
  StartBroker();
  DeskWasHere();
  // Published while the desk is off, the first one also retained: the
  // broker queues 1,000 of them.
  TMqttTestClient station(broker->Port(), {});
  ASSERT_TRUE(station.WaitConnected());
  for (int i = 1; i <= 1500; ++i)
    ASSERT_TRUE(
        station.Publish(Topic("desk1", "call"), EncodeCallMessage(OldCall("desk1", i)), i == 1));
  auto desk1 = StartStation("desk1", 1500);
  program = StartProgram({"-arun"});
  // The station's history is the truth: every call ended, as it says.
  ASSERT_TRUE(WaitFor([&] { return Count("state = 2 AND onhook_seconds = 30") == "1500"; },
                      std::chrono::seconds(60)))
      << Count();
  EXPECT_EQ(Count(), "1500");
  EXPECT_EQ(Query("SELECT incoming_date, phone_number FROM incoming_numbers WHERE station_order = "
                  "1500 AND station = 'desk1'"),
            std::vector<std::string>{*OldCall("desk1", 1500).IncomingDate + "|0300001500"});
  EXPECT_TRUE(
      LogHas("[warng] 保持された着信情報は受け付けません。Topic=[" + Topic("desk1", "call")));
  EXPECT_FALSE(PopupShown(0));

  // Started again: the retained one comes again, and the station is asked again.
  const size_t answers = Occurrences("送信元から着信情報を取り寄せました。送信元=[desk1]");
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor(
      [&] { return Occurrences("送信元から着信情報を取り寄せました。送信元=[desk1]") > answers; }));
  EXPECT_EQ(Count(), "1500");
}

TEST_F(ShareTest, DeskKilledInABurstHasEveryCallOnceAfterItsRestart) {
  StartBroker();
  WriteShareIni("", "Mode=2\r\nStation=reception\r\n");
  program = StartProgram({"-arun"});
  ASSERT_TRUE(LogHas("MQTTブローカーに接続しました。"));
  TMqttTestClient station(broker->Port(), {});
  ASSERT_TRUE(station.WaitConnected());
  for (int i = 1; i <= 300; ++i) {
    TCallMessage call = OldCall("desk1", i);
    call.Date = FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now()); // live: it rings
    ASSERT_TRUE(station.Publish(Topic("desk1", "call"), EncodeCallMessage(call)));
    if (i == 100) {
      ASSERT_TRUE(CallsReach(1));
      program->Kill();
      ASSERT_EQ(program->WaitExit(), 128 + SIGKILL);
    }
  }
  auto desk1 = StartStation("desk1", 300);
  program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Count("state = 2") == "300"; }, std::chrono::seconds(30)))
      << Count();
  EXPECT_EQ(Count(), "300");
}

TEST_F(ShareTest, OverlappingCallsOfTwoStationsEndAsTheyDidLateOnesStaySilentForgedOnesFail) {
  StartBroker({{"desk1", "p1"}, {"desk2", "p2"}, {"reception", "p3"}, {"intruder", "p4"}},
              TELORIA_ACL_FILE);
  const std::string login = "User=reception\r\nPassword=p3\r\nStations=desk1,desk2\r\n";
  DeskWasHere(login);
  TMqttTestClient desk1(broker->Port(), {}, "", "desk1", "p1");
  TMqttTestClient desk2(broker->Port(), {}, "", "desk2", "p2");
  ASSERT_TRUE(desk1.WaitConnected() && desk2.WaitConnected());
  const auto date = [](double secondsAgo) {
    return FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now() - secondsAgo / 86400);
  };
  const auto send = [&](TMqttTestClient& client, const std::string& station, int count, int kind,
                        int order, int ring = 0, int talk = 0, const std::string& when = "") {
    TCallMessage m = OldCall(station, order);
    m.Id = station + "-r-" + std::to_string(count);
    m.Kind = kind;
    m.RingSeconds = ring;
    m.TalkSeconds = talk;
    m.IncomingDate = m.Date = when.empty() ? date(0) : when;
    if (kind == 1)
      m.IncomingOrder.reset(), m.IncomingDate.reset();
    return client.Publish(Topic(station, "call"), EncodeCallMessage(m));
  };
  // Five calls made over 14 s ten minutes ago, delivered when the desk is back.
  std::vector<std::string> late;
  for (int i = 1; i <= 5; ++i) {
    late.push_back(date(600 - 3.5 * i));
    ASSERT_TRUE(send(desk1, "desk1", i, 5, i, 0, 0, late.back()));
  }
  program = StartProgram({"-arun"});
  ASSERT_TRUE(CallsReach(5));
  EXPECT_EQ(Query("SELECT incoming_date FROM incoming_numbers WHERE state = 2 AND connected = 0 "
                  "ORDER BY incoming_date"),
            late);
  EXPECT_FALSE(PopupShown(0));

  // Two lines ringing at once; each sender numbers its calls its own way.
  ASSERT_TRUE(send(desk1, "desk1", 6, 1, 6) && send(desk1, "desk1", 7, 2, 6) &&
              send(desk2, "desk2", 1, 1, 6) && send(desk2, "desk2", 2, 2, 6) &&
              send(desk1, "desk1", 8, 3, 6, 5) && send(desk2, "desk2", 3, 3, 6, 9) &&
              send(desk1, "desk1", 9, 4, 6, 5, 40) && send(desk1, "desk1", 10, 7, 6, 5, 40) &&
              send(desk2, "desk2", 4, 4, 6, 9, 20) && send(desk2, "desk2", 5, 7, 6, 9, 20));
  ASSERT_TRUE(WaitFor([&] { return Count("state = 2") == "7"; })) << Count("state = 2");
  EXPECT_EQ(Query("SELECT station, connected, offhook_seconds, onhook_seconds FROM "
                  "incoming_numbers WHERE station_order = 6 ORDER BY station"),
            (std::vector<std::string>{"desk1|1|5|40", "desk2|1|9|20"}));
  EXPECT_TRUE(PopupShown());

  // A station the desk does not take calls from, and a desk in a station's name.
  TMqttTestClient intruder(broker->Port(), {}, "", "intruder", "p4");
  TMqttTestClient reception(broker->Port(), {}, "", "reception", "p3");
  ASSERT_TRUE(intruder.WaitConnected() && reception.WaitConnected());
  ASSERT_TRUE(send(intruder, "intruder", 1, 2, 9));
  ASSERT_TRUE(send(reception, "desk1", 99, 2, 9));
  EXPECT_TRUE(LogHas("共有を許可されていない送信元のメッセージを無視しました。送信元=[intruder]"));
  EXPECT_TRUE(WaitFor([&] { return broker->Log().find("Denied PUBLISH") != std::string::npos; }));
  EXPECT_EQ(Count(), "7");
}

// Each PC in a folder of its own: the station plays calls on its adapter,
// two desks take them from the broker.
TEST_F(ShareTest, ABurstOfCallsEndsEveryCallOnEveryDesk) {
  StartBroker();
  const std::vector<std::string> desks{"deskA", "deskB"};
  const auto running = StartDesks(desks);
  StartSender();
  for (int i = 0; i < 20; ++i)
    Play({"ring", fmt::format("number 0390000{:03}", i), "offhook", "onhook"});
  ASSERT_TRUE(WaitFor([&] { return Count("state = 2") == "20"; }, std::chrono::seconds(30)));
  for (const std::string& desk : desks)
    EXPECT_TRUE(In(desk,
                   [&] {
                     return WaitFor([&] { return Count("state = 2") == "20"; },
                                    std::chrono::seconds(30));
                   }))
        << desk << " " << In(desk, [&] { return Count(); });
  // Each once: the adapter's memory adds none of them again.
  ASSERT_TRUE(LogHas("本体メモリの着信を確認しました。"));
  for (const char* pc : {"deskA", "deskB", ""})
    EXPECT_EQ(In(pc, [&] { return Count(); }), "20") << pc;
}

// Calls the adapter kept while the station was off, dated before the last
// call every desk has: a desk that is there takes them at once, one away
// asks for them when it is back, each once and silently.
TEST_F(ShareTest, CallsAStationRecoversFromItsAdapterReachEveryDeskOnce) {
  StartBroker();
  const std::vector<std::string> desks{"deskA", "deskB"};
  auto running = StartDesks(desks);
  StartSender();
  // The adapter read once: its later records are all new.
  ASSERT_TRUE(LogHas("本体メモリの着信を確認しました。"));
  Play({"ring", "number 0391000001", "offhook", "onhook"});
  for (const std::string& desk : desks)
    ASSERT_TRUE(In(desk, [&] { return WaitFor([&] { return Count("state = 2") == "1"; }); }));
  running[1]->Terminate();
  ASSERT_EQ(running[1]->WaitExit(), 0);
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  const TDateTime before = Now() - 10.0 / 1440;
  const std::string field = FormatDateTime("mmdd", before) + std::to_string(DayOfWeek(before) - 1) +
                            FormatDateTime("hhnn", before);
  Play({"memory 2 " + field + " 0391000002 " + field + " OF",
        "memory 3 " + field + " 0391000003 " + field + " UR"});
  program = StartProgram({"-arun"});
  ASSERT_TRUE(WaitFor([&] { return Count() == "3"; }, std::chrono::seconds(30)));
  running[1] = StartIn("deskB", "Mode=2\r\nStation=deskB\r\n");
  const std::vector<std::string> all{"0391000001|2|1", "0391000002|2|1", "0391000003|2|0"};
  for (const std::string& desk : desks) {
    EXPECT_TRUE(In(desk, [&] {
      return WaitFor([&] {
        return Query("SELECT phone_number, state, connected FROM incoming_numbers"
                     " ORDER BY phone_number") == all;
      });
    })) << desk;
    EXPECT_FALSE(In(desk, [&] { return LogHas("番号 [0391000002]", 0); })) << desk;
  }
}

// Each database has an id of its own; two PCs started under one station name.
TEST_F(ShareTest, TwoPcsUnderOneStationNameAreToldAndTheSecondStopsSending) {
  StartBroker();
  for (const char* pc : {"pc1", "pc2"})
    NewFolder(pc);
  TMqttTestClient hub(broker->Port(), {Topic("desk1", "status")});
  ASSERT_TRUE(hub.WaitConnected());
  // Each database makes an instance id of its own when it is first opened.
  const auto kept = [&] {
    const std::string first =
        In("pc1", [&] { return Query("SELECT token FROM book_state").at(0); });
    const std::string status = hub.Last(Topic("desk1", "status"));
    return !first.empty() && status.find(R"("instance":")" + first + "\"") != std::string::npos;
  };
  auto pc1 = StartIn("pc1", "Mode=1\r\nStation=desk1\r\n");
  ASSERT_TRUE(WaitFor(kept));
  auto pc2 = StartIn("pc2", "Mode=1\r\nStation=desk1\r\n");
  const std::string told = "ステーション名 desk1 が複数のPCで使われています。";
  EXPECT_TRUE(
      In("pc2", [&] { return LogHas("ステーション名を変えるまで着信情報を送信しません。"); }));
  EXPECT_TRUE(In("pc1", [&] { return LogHas(told); }));
  EXPECT_TRUE(In("pc2", [&] { return LogHas(told); }));
  // The second stopped once the first answered with its status, which stays.
  EXPECT_TRUE(kept());
}

TEST_F(ShareTest, WrongPasswordIsRefusedWithAClearLogLine) {
  StartBroker({{"office", "s3cret"}});
  WriteShareIni("", "Mode=2\r\nUser=office\r\nPassword=not-it\r\n");
  program = StartProgram({"-arun"});
  EXPECT_TRUE(LogHas("[error] MQTTブローカーに接続を拒否されました。ユーザー名とパスワードを確認"
                     "して下さい。Host=[127.0.0.1:" +
                     std::to_string(broker->Port()) + "]"));
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
  EXPECT_EQ(MainLog().find("not-it"), std::string::npos);
}

TEST_F(ShareTest, TlsIsVerifiedAgainstTheCaFile) {
  // A CA of the office that signed the broker's certificate, and a CA of nobody's.
  const std::string dir = home.Path() + "/tls";
  std::filesystem::create_directories(dir);
  WriteFile(dir + "/san.ext", "subjectAltName=IP:127.0.0.1,DNS:localhost\n");
  const auto openssl = [&](std::vector<std::string> args) {
    return RunAndWait("/usr/bin/openssl", args, dir, {"OPENSSL_CONF=/dev/null"});
  };
  const std::vector<std::string> ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                    "-nodes"};
  const auto request = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 1, ec.begin(), ec.end());
    return openssl(args);
  };
  ASSERT_EQ(request({"req", "-x509", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                     "/CN=office CA"}),
            0);
  ASSERT_EQ(request({"req", "-x509", "-keyout", "other.key", "-out", "other.pem", "-days", "2",
                     "-subj", "/CN=other CA"}),
            0);
  ASSERT_EQ(request({"req", "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=broker"}),
            0);
  ASSERT_EQ(openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                     "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "san.ext"}),
            0);
  broker = std::make_unique<TMosquittoBroker>(home.Path() + "/broker");
  broker->UseTls(dir + "/ca.pem", dir + "/server.pem", dir + "/server.key");
  ASSERT_TRUE(broker->Start()) << broker->Log();

  WriteShareIni("", "Mode=2\r\nCaFile=" + dir + "/other.pem\r\n");
  program = StartProgram({"-arun"});
  EXPECT_TRUE(LogHas("[warng] MQTTブローカーに接続できません。Host=[127.0.0.1:" +
                     std::to_string(broker->Port()) + "] [原因] A TLS error"));
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  EXPECT_EQ(MainLog().find("MQTTブローカーに接続しました。"), std::string::npos);

  WriteShareIni("", "Mode=2\r\nCaFile=" + dir + "/ca.pem\r\n");
  program = StartProgram({"-arun"});
  EXPECT_TRUE(LogHas("[info ] MQTTブローカーに接続しました。"));
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
}

// One phone book for the office, held by the sending station desk1; the
// desk "reception" runs in the test's own folder.
class OfficeBookTest : public ShareTest {
protected:
  void SetUp() override {
    ShareTest::SetUp();
    StartBroker();
    editor = std::make_unique<TMqttTestClient>(broker->Port(), std::vector<std::string>{});
    ASSERT_TRUE(editor->WaitConnected());
  }

  // A sending station; or a receiving desk holding the book.
  void StartBookStation(const std::string& shareKeys = "Mode=1\r\n") {
    NewFolder("desk1");
    station = StartIn("desk1", shareKeys + "Station=desk1\r\n");
    dataFolder = home.Path() + "/desk1";
    ASSERT_TRUE(LogHas("事務所の電話帳を使います。電話帳=[desk1]"));
    dataFolder = home.Path();
  }

  void StartReception(const std::string& shareKeys = "") {
    WriteShareIni("", "Mode=2\r\nStation=reception\r\nBookStation=desk1\r\n" + shareKeys);
    program = StartProgram({"-arun"});
  }

  static TBookEntry Entry(std::string number, std::string name, std::string memo1 = "") {
    return {std::move(number), std::move(name), std::move(memo1), "", "", "", ""};
  }

  // An edit of another desk's database, as it sends it to the book station.
  void Edit(const std::string& kind, std::vector<TBookEntry> entries,
            std::vector<std::string> numbers = {}, const std::string& account = "deskA") {
    const std::string desk = account + "-00000000000000ed";
    const int64_t seq = ++seqs[desk];
    const TDeskEdit edit{desk, seq, {kind, std::move(entries), std::move(numbers), account, ""}};
    const TShareRequest request{desk + "-" + std::to_string(seq), desk, BookEditSubject,
                                DeskEditJson(edit)};
    ASSERT_TRUE(editor->Publish(Topic("desk1", "edit/" + account), EncodeShareRequest(request)));
  }

  // The office's part of a PC's book, and the version it has applied.
  std::vector<std::string> BookOf(const std::string& folder) {
    const std::string saved = std::exchange(dataFolder, folder);
    std::vector<std::string> rows = Query("SELECT phone_number, owner_name, memo1, created_date, "
                                          "last_updated FROM phone_numbers ORDER BY phone_number");
    rows.push_back("version " + Query("SELECT version FROM book_state").at(0));
    dataFolder = saved;
    return rows;
  }

  bool SameBooks(const std::vector<std::string>& folders, size_t entries, int timeoutMs = 30000) {
    return WaitFor(
        [&] {
          const std::vector<std::string> first = BookOf(folders[0]);
          return first.size() == entries + 1 &&
                 std::all_of(folders.begin(), folders.end(),
                             [&](const std::string& f) { return BookOf(f) == first; });
        },
        std::chrono::milliseconds(timeoutMs));
  }

  // What a desk joining a book wrote of its own book first ("" for nothing).
  std::string Exported(const std::string& folder) {
    for (const auto& file : std::filesystem::directory_iterator(folder))
      if (file.path().filename().string().rfind("teloria2-own-book-", 0) == 0)
        return Cp932ToUtf8(ReadFile(file.path().string()));
    return "";
  }

  std::unique_ptr<TMqttTestClient> editor;
  std::unique_ptr<TProgramProcess> station;
  std::map<std::string, int64_t> seqs;
};

TEST_F(OfficeBookTest, SavesDeletesImportsAndRivalEditsEndIdenticalOnEveryDesk) {
  StartBookStation();
  StartReception();
  ASSERT_TRUE(LogHas("事務所の電話帳を全件取り寄せました。電話帳=[desk1] 版=0"));
  const std::vector<std::string> both{home.Path() + "/desk1", home.Path()};
  Edit("save", {Entry("0311112222", "山田商店", "取引先")});
  ASSERT_TRUE(SameBooks(both, 1)) << BookOf(home.Path()).size();
  EXPECT_EQ(Query("SELECT owner_name, memo1 FROM phone_numbers"),
            std::vector<std::string>{"山田商店|取引先"});
  Edit("delete", {}, {"0311112222"});
  ASSERT_TRUE(SameBooks(both, 0));
  std::vector<TBookEntry> records;
  for (int i = 0; i < 1000; ++i)
    records.push_back(Entry(fmt::format("06{:08}", i), fmt::format("取引先{}", i)));
  Edit("import", records);
  ASSERT_TRUE(SameBooks(both, 1000));
  // The book station's order of receipt decides.
  for (int i = 0; i < 10; ++i)
    Edit("save", {Entry("0600000007", "deskA " + std::to_string(i))}, {},
         i % 2 ? "deskB" : "deskA");
  ASSERT_TRUE(SameBooks(both, 1000));
  EXPECT_TRUE(WaitFor([&] {
    return Query("SELECT owner_name FROM phone_numbers WHERE phone_number = '0600000007'") ==
           std::vector<std::string>{"deskA 9"};
  }));
}

TEST_F(OfficeBookTest, ADeskAwayCatchesUpAndEditsKeptWhileTheBookStationIsAwayArriveOnceInOrder) {
  StartBookStation();
  StartReception("Stations=desk1\r\n");
  ASSERT_TRUE(LogHas("事務所の電話帳を全件取り寄せました。"));
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  for (int i = 0; i < 50; ++i)
    Edit("save", {Entry(fmt::format("07{:08}", i % 30), fmt::format("版{}", i))});
  program = StartProgram({"-arun"});
  const std::vector<std::string> all{home.Path() + "/desk1", home.Path()};
  ASSERT_TRUE(SameBooks(all, 30));
  EXPECT_EQ(BookOf(home.Path()).back(), "version 50");

  // Desk A registers the 20 callers of desk2's live calls while the book station is off.
  NewFolder("deskA");
  auto deskA = StartIn("deskA", "Mode=2\r\nStation=deskA\r\nBookStation=desk1\r\n");
  dataFolder = home.Path() + "/deskA";
  ASSERT_TRUE(LogHas("事務所の電話帳を全件取り寄せました。"));
  dataFolder = home.Path();
  station->Terminate();
  ASSERT_EQ(station->WaitExit(), 0);
  for (int i = 1; i <= 20; ++i)
    for (const int kind : {1, 2, 5}) {
      TCallMessage m = OldCall("desk2", i);
      m.Id = fmt::format("desk2-r-{}-{}", i, kind);
      m.Kind = kind;
      m.IncomingDate = m.Date = FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", Now());
      if (kind == 1)
        m.IncomingOrder.reset(), m.IncomingDate.reset();
      ASSERT_TRUE(editor->Publish(Topic("desk2", "call"), EncodeCallMessage(m)));
    }
  const auto unconfirmed = [&] {
    const std::string saved = std::exchange(dataFolder, home.Path() + "/deskA");
    const std::string count = Query("SELECT count(*) FROM book_outbox").at(0);
    dataFolder = saved;
    return count;
  };
  ASSERT_TRUE(WaitFor([&] { return unconfirmed() == "20"; })) << unconfirmed();
  station = StartIn("desk1", "Mode=1\r\nStation=desk1\r\n");
  ASSERT_TRUE(SameBooks({home.Path() + "/desk1", home.Path(), home.Path() + "/deskA"}, 50));
  EXPECT_EQ(unconfirmed(), "0");
  dataFolder = home.Path() + "/desk1";
  std::vector<std::string> registered;
  for (int i = 1; i <= 20; ++i)
    registered.push_back(OldCall("desk2", i).PhoneNumber);
  std::vector<std::string> applied;
  for (const std::string& change : Query("SELECT change FROM book_changes WHERE version > 50 "
                                         "ORDER BY version")) {
    const TBookVersion v = DecodeBookVersion(change);
    EXPECT_EQ(v.Seq, static_cast<int64_t>(applied.size() + 1));
    applied.push_back(v.Change.Entries.at(0).Number);
  }
  EXPECT_EQ(applied, registered);

  // The book station begun anew: every desk joins it, its own book kept
  // first (the offer declined without a screen).
  station->Terminate();
  ASSERT_EQ(station->WaitExit(), 0);
  std::filesystem::copy_file(BinFolder() + "/teloria2.db3.init", dataFolder + "/teloria2.db3",
                             std::filesystem::copy_options::overwrite_existing);
  station = StartIn("desk1", "Mode=1\r\nStation=desk1\r\n");
  EXPECT_TRUE(
      WaitFor([&] { return Exported(home.Path()).find("0700000029,版29,") != std::string::npos; }));
  Edit("save", {Entry("0311112222", "新しい電話帳")}, {}, "deskB");
  EXPECT_TRUE(SameBooks({home.Path() + "/desk1", home.Path(), home.Path() + "/deskA"}, 1));
}

// The callers of old calls a joining desk catches up are no new callers of
// the office book: an entry the office deleted stays deleted.
TEST_F(OfficeBookTest, AnEntryTheOfficeDeletedStaysDeletedWhenADeskJoinsAndCatchesUpItsCalls) {
  StartBookStation();
  auto desk2 = StartStation("desk2", 20, "BookStation=desk1\r\n");
  const std::string number = OldCall("desk2", 1).PhoneNumber;
  Edit("save", {Entry(number, "取引先")});
  Edit("delete", {}, {number});
  ASSERT_TRUE(WaitFor([&] { return BookOf(home.Path() + "/desk2").back() == "version 2"; }));
  StartReception();
  ASSERT_TRUE(WaitFor([&] {
    return Query("SELECT count(*) FROM incoming_numbers") == std::vector<std::string>{"20"};
  }));
  EXPECT_TRUE(SameBooks({home.Path() + "/desk1", home.Path(), home.Path() + "/desk2"}, 0));
  EXPECT_EQ(Query("SELECT count(*) FROM book_outbox").at(0), "0");
}

TEST_F(OfficeBookTest, AJoiningDeskKeepsEveryOwnEntryInTheOfficeBookOrItsExportedFile) {
  NewFolder("desk1");
  NewFolder("deskC");
  std::string office = "BEGIN;";
  std::string own = "BEGIN;";
  for (int i = 0; i < 100; ++i) {
    const std::string entry = "INSERT INTO phone_numbers (phone_number, owner_name) VALUES ('" +
                              fmt::format("08{:08}", i) + "', '";
    own += entry + "自分" + std::to_string(i) + "');";
    if (i % 2 == 0)
      office += entry + "事務所" + std::to_string(i) + "');";
  }
  for (const auto& [folder, sql] : {std::pair{"desk1", office}, {"deskC", own}}) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((home.Path() + "/" + folder + "/teloria2.db3").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, (sql + "COMMIT;").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  StartBookStation("Mode=2\r\nBookStation=desk1\r\n");
  auto deskC = StartIn("deskC", "Mode=2\r\nStation=deskC\r\nBookStation=desk1\r\n");
  // Without a screen the offer is declined: the office's 50 stay, the rest is in the file.
  ASSERT_TRUE(SameBooks({home.Path() + "/desk1", home.Path() + "/deskC"}, 50));
  const std::string exported = Exported(home.Path() + "/deskC");
  for (int i = 0; i < 100; ++i)
    EXPECT_NE(exported.find(fmt::format("08{:08},自分{},", i, i)), std::string::npos) << i;
}

#include "E2eHarness.h"

#include "fakes/MosquittoBroker.h"
#include "fakes/MqttTestClient.h"
#include "share/CallMessage.h"
#include "share/Station.h"

#include <algorithm>
#include <csignal>
#include <set>

// Calls shared through a real mosquitto broker that the test runs itself.
class ShareTest : public E2eTest {
protected:
  void StartBroker(std::vector<std::pair<std::string, std::string>> users = {}) {
    broker = std::make_unique<TMosquittoBroker>(home.Path() + "/broker", std::move(users));
    ASSERT_TRUE(broker->Start()) << broker->Log();
  }

  // The program's settings: its port, then [Settings.Share] with these keys.
  void WriteShareIni(const std::string& port, const std::string& shareKeys) {
    WriteIni("MirelKT5Port=" + port + "\r\n[Settings.Share]\r\nHost=127.0.0.1\r\nPort=" +
             std::to_string(broker->Port()) + "\r\nTopic=office\r\n" + shareKeys);
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
      if (r.Topic == "office/call")
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

  // A call message as another station sends it.
  static std::string Message(const std::string& id, int kind, const std::string& number,
                             int ring = 0, int talk = 0) {
    TCallMessage m;
    m.Id = id;
    m.Station = "reception";
    m.Kind = kind;
    m.GroupNo = 41;
    m.PhoneNumber = number;
    m.RingSeconds = ring;
    m.TalkSeconds = talk;
    return EncodeCallMessage(m);
  }

  bool PopupShown() const {
    return WaitFor([&] {
      return ReadFile(home.Path() + "/output.txt").find("setting window opacity") !=
             std::string::npos;
    });
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
  TMqttTestClient hub(broker->Port(), {"office/#", "homeassistant/#"});
  ASSERT_TRUE(hub.WaitConnected());
  StartSender("HomeAssistant=1\r\n");
  ASSERT_TRUE(WaitFor([&] {
    return hub.Last("office/status") ==
           R"({"adapter":true,"online":true,"station":")" + StationName() + R"("})";
  }));

  Play({"ring", "number 0312345678", "sleep 1100", "offhook", "sleep 1100", "onhook"});
  ASSERT_TRUE(hub.WaitUntil([](const auto& r) { return Calls(r).size() >= 5; }));
  const std::vector<TCallMessage> calls = Calls(hub.Received());
  std::vector<int> kinds;
  std::set<std::string> ids;
  for (const TCallMessage& c : calls) {
    kinds.push_back(c.Kind);
    ids.insert(c.Id);
    EXPECT_EQ(c.Station, StationName());
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
  const std::string node = "teloria2_" + StationName();
  EXPECT_NE(hub.Last("homeassistant/sensor/" + node + "/last_caller/config")
                .find(R"("json_attributes_topic":"office/last_caller/attributes")"),
            std::string::npos);
  EXPECT_NE(hub.Last("homeassistant/binary_sensor/" + node + "/ringing/config")
                .find(R"("state_topic":"office/ringing")"),
            std::string::npos);
  EXPECT_EQ(hub.Last("office/last_caller"), "0312345678");
  EXPECT_NE(hub.Last("office/last_caller/attributes").find(R"("owner_name":"山田商店")"),
            std::string::npos);
  EXPECT_EQ(hub.Last("office/ringing"), "OFF");

  // Closed as the user closes it: the status says so at once.
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
  EXPECT_TRUE(WaitFor(
      [&] { return hub.Last("office/status").find(R"("online":false)") != std::string::npos; }));
}

TEST_F(ShareTest, HeadlessSenderWithNoDisplayAtAllPublishesItsCalls) {
  StartBroker();
  TMqttTestClient hub(broker->Port(), {"office/#"});
  ASSERT_TRUE(hub.WaitConnected());
  // glibc's putenv removes a name given without "=": no Qt platform, no display.
  extraEnv = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
  StartSender();
  EXPECT_TRUE(LogHas("[info ] 画面なしで動作します。"));
  Play({"ring", "number 0312345678", "unanswered"});
  ASSERT_TRUE(CallsReach(1));
  EXPECT_TRUE(hub.WaitUntil([](const auto& received) {
    return std::any_of(received.begin(), received.end(), [](const auto& r) {
      return r.Topic.rfind("office/", 0) == 0 &&
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

TEST_F(ShareTest, TheBrokersWillMarksAVanishedSenderOffline) {
  StartBroker();
  TMqttTestClient hub(broker->Port(), {"office/status"});
  ASSERT_TRUE(hub.WaitConnected());
  StartSender();
  ASSERT_TRUE(WaitFor(
      [&] { return hub.Last("office/status").find(R"("online":true)") != std::string::npos; }));
  program->Kill();
  EXPECT_EQ(program->WaitExit(), 128 + SIGKILL);
  EXPECT_TRUE(WaitFor(
      [&] { return hub.Last("office/status").find(R"("online":false)") != std::string::npos; }));
}

TEST_F(ShareTest, BrokerStoppedAndRestartedInARunOfCallsLosesNone) {
  StartBroker();
  // A listener with a session of its own, kept by the broker across its restart.
  auto listener = std::make_unique<TMqttTestClient>(
      broker->Port(), std::vector<std::string>{"office/call"}, "desk");
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

TEST_F(ShareTest, ReceiverRecordsEachCallOnceEvenWhenItWasAway) {
  StartBroker({{"office", "s3cret"}});
  TMqttTestClient reception(broker->Port(), {}, "", "office", "s3cret");
  ASSERT_TRUE(reception.WaitConnected());
  WriteShareIni("", "Mode=2\r\nUser=office\r\nPassword=s3cret\r\n");
  program = StartProgram({"-arun"});
  ASSERT_TRUE(LogHas("[info ] 共有受信モード開始"));
  ASSERT_TRUE(LogHas("[info ] MQTTブローカーに接続しました。"));

  const std::string number = Message("r-1-2", 2, "0312345678");
  for (const std::string& payload :
       {Message("r-1-1", 1, ""), number, number, std::string("{not json"),
        std::string(R"({"id":"r-1-x","station":"reception","kind":9,"group":41})"),
        Message("r-1-3", 3, "0312345678", 5), Message("r-1-4", 4, "0312345678", 5, 30),
        Message("r-1-5", 7, "0312345678", 5, 30)})
    ASSERT_TRUE(reception.Publish("office/call", payload));
  ASSERT_TRUE(WaitFor([&] {
    return Query("SELECT state FROM incoming_numbers") == std::vector<std::string>{"2"};
  }));
  EXPECT_EQ(Query("SELECT phone_number, connected, offhook_seconds, onhook_seconds "
                  "FROM incoming_numbers"),
            std::vector<std::string>{"0312345678|1|5|30"});
  EXPECT_EQ(Query("SELECT phone_number FROM phone_numbers"),
            std::vector<std::string>{"0312345678"});
  EXPECT_TRUE(PopupShown());
  EXPECT_TRUE(LogHas("受信済みの着信情報を無視しました。ID=[r-1-2]"));
  EXPECT_TRUE(
      LogHas("[warng] 共有された着信情報を読み取れません。Topic=[office/call] [詳細] JSON"));
  EXPECT_TRUE(LogHas("[詳細] kind 9 は着信の種別ではありません"));

  // Published while this PC was off: kept by the broker for its session.
  program->Terminate();
  ASSERT_EQ(program->WaitExit(), 0);
  for (const std::string& payload : {Message("r-2-1", 1, ""), Message("r-2-2", 2, "0698765432"),
                                     Message("r-2-3", 5, "0698765432")})
    ASSERT_TRUE(reception.Publish("office/call", payload));
  program = StartProgram({"-arun"});
  EXPECT_TRUE(WaitFor([&] {
    return Query("SELECT phone_number, state, connected FROM incoming_numbers "
                 "ORDER BY incoming_date") ==
           std::vector<std::string>{"0312345678|2|1", "0698765432|2|0"};
  }));
  program->Terminate();
  EXPECT_EQ(program->WaitExit(), 0);
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

#include "share/CallMessage.h"

#include <gtest/gtest.h>

namespace {

TCallMessage Answered() {
  TCallMessage m;
  m.Id = "desk1-0a1b2c3d-7";
  m.Station = "desk1";
  m.Kind = 4;
  m.GroupNo = 12;
  m.PhoneNumber = "0312345678";
  m.IncomingOrder = 5;
  m.IncomingDate = "2026/12/08 07:05:03.250";
  m.OwnerName = "山田商店";
  m.Memo1 = "取引先";
  m.Memo3 = "\"午後\"\\のみ";
  m.RingSeconds = 6;
  m.TalkSeconds = 95;
  m.Date = "2026/12/08 07:06:40.125";
  return m;
}

} // namespace

TEST(CallMessageTest, EncodesEveryFieldAsOneCompactObject) {
  EXPECT_EQ(
      EncodeCallMessage(Answered()),
      R"({"date":"2026/12/08 07:06:40.125","event":"onhook","group":12,"id":"desk1-0a1b2c3d-7","incoming_date":)"
      R"("2026/12/08 07:05:03.250","incoming_order":5,"kind":4,"memo1":"取引先",)"
      R"("memo2":"","memo3":"\"午後\"\\のみ","number":"0312345678",)"
      R"("owner_name":"山田商店","ring_seconds":6,"station":"desk1","talk_seconds":95,"v":1})");
  TCallMessage ring;
  ring.Id = "x";
  ring.Station = "s";
  ring.Kind = 1;
  const std::string json = EncodeCallMessage(ring);
  EXPECT_NE(json.find(R"("incoming_date":null,"incoming_order":null)"), std::string::npos);
  EXPECT_NE(json.find(R"("event":"ring")"), std::string::npos);
}

TEST(CallMessageTest, DecodesWhatItEncodesAndDefaultsTheOptionalFields) {
  EXPECT_EQ(DecodeCallMessage(EncodeCallMessage(Answered())), Answered());
  TCallMessage run = Answered();
  run.Run = "0123456789abcdef";
  EXPECT_EQ(DecodeCallMessage(EncodeCallMessage(run)), run);
  for (const int kind : {1, 2, 3, 4, 5, 7}) {
    TCallMessage m = Answered();
    m.Kind = kind;
    m.GroupNo = -2147483647 - 1;
    m.IncomingOrder.reset();
    m.IncomingDate.reset();
    EXPECT_EQ(DecodeCallMessage(EncodeCallMessage(m)), m) << kind;
  }
  const TCallMessage minimal =
      DecodeCallMessage(R"({"id":"a","station":"b","kind":7,"group":3,"extra":[1]})");
  EXPECT_EQ(minimal.Kind, 7);
  EXPECT_EQ(minimal.GroupNo, 3);
  EXPECT_EQ(minimal.PhoneNumber, "");
  EXPECT_FALSE(minimal.IncomingOrder);
  EXPECT_EQ(minimal.RingSeconds, 0);
}

TEST(CallMessageTest, RefusesWhatIsNoCallMessageSayingWhy) {
  const std::string big(70000, ' ');
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", "JSONとして読めません"},
      {"{\"id\":", "JSONとして読めません"},
      {"[1,2]", "オブジェクトではありません"},
      {big + "{}", "大きすぎます"},
      {R"({"v":2,"id":"a","station":"b","kind":2,"group":1})", "対応していない版"},
      {R"({"station":"b","kind":2,"group":1})", "id がありません"},
      {R"({"id":"","station":"b","kind":2,"group":1})", "id が空か長すぎます"},
      {R"({"id":"a\n[error] x","station":"b","kind":2,"group":1})", "id に制御文字があります"},
      {R"({"id":"a","kind":2,"group":1})", "station がありません"},
      {R"({"id":"a","station":"b/c","kind":2,"group":1})", "station が正しくありません"},
      {R"({"id":"a","station":"b","run":"0123","kind":2,"group":1})", "run が正しくありません"},
      {R"({"id":"a","station":"b","group":1})", "kind がありません"},
      {R"({"id":"a","station":"b","kind":"2","group":1})", "kind が整数ではありません"},
      {R"({"id":"a","station":"b","kind":6,"group":1})", "kind 6 は着信の種別ではありません"},
      {R"({"id":"a","station":"b","kind":2})", "group がありません"},
      {R"({"id":"a","station":"b","kind":2,"group":1.5})", "group が整数ではありません"},
      {R"({"id":"a","station":"b","kind":2,"group":3e10})", "group が整数ではありません"},
      {R"({"id":"a","station":"b","kind":2,"group":1,"number":3})",
       "number が文字列ではありません"},
      {R"({"id":"a","station":"b","kind":2,"group":1,"number":"012345678901234567890"})",
       "number が長すぎます"},
      {R"({"id":"a","station":"b","kind":2,"group":1,"number":"03\n1"})",
       "number に制御文字があります"},
      {R"({"id":"a","station":"b","kind":3,"group":1,"ring_seconds":-1})",
       "ring_seconds が整数ではありません"},
      {R"({"id":"a","station":"b","kind":3,"group":1,"incoming_date":5})",
       "incoming_date が文字列ではありません"},
      {R"({"id":"a","station":"b","kind":2,"group":1,"memo2":"x\u0000y"})",
       "memo2 にNUL文字があります"},
  };
  for (const auto& [payload, reason] : cases) {
    try {
      DecodeCallMessage(payload);
      ADD_FAILURE() << "accepted: " << payload.substr(0, 80);
    } catch (const ECallMessageError& e) {
      EXPECT_NE(e.Message().find(reason), std::string::npos) << e.Message();
    }
  }
}

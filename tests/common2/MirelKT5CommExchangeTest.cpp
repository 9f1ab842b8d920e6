#include <cerrno>

#include "base/DateTime.h"
#include "common2/CompoFixture.h"
#include "common2/MirelKT5CommError.h"

namespace {

using Bytes = TFakeSerialLine::TBytes;

Bytes ToBytes(const std::string& s) {
  return {s.begin(), s.end()};
}

const std::string MemoryRecord =
    FakePackets::MemoryRecord("030520708", "0312345678", "030520710", "OF");

class ExchangeTest : public CompoFixture {
protected:
  void SetUp() override {
    CompoFixture::SetUp();
    compo->OnAsyncTrace = [this](TMirelKT5CommCompo&, const std::string& msg, uint32_t) {
      std::lock_guard lock(mutex);
      asyncTraces.push_back(msg);
    };
  }

  // Answers every command with `reply` after `delay`.
  void ReplyWith(const std::string& reply, Ms delay = Ms(0)) {
    line->SetWriteHook([reply, delay](TFakeSerialLine& l, const Bytes&) {
      if (delay.count() == 0)
        l.Receive(reply);
      else
        l.ReceiveAfter(delay, reply);
    });
  }

  template <typename F> uint32_t ErrCodeOf(F f) {
    try {
      f();
    } catch (const EMirelKT5CommError& e) {
      lastError = e.what();
      return e.ErrCode;
    }
    return 0;
  }

  std::vector<std::string> ExchangeTraces() {
    std::lock_guard lock(mutex);
    std::vector<std::string> out;
    for (const auto& t : asyncTraces) {
      if (t.find("Mirel") != std::string::npos || t.find("コマンド") != std::string::npos ||
          t.find("CTS") != std::string::npos || t.find("タイムアウト") != std::string::npos ||
          t.find("受信キュー") != std::string::npos)
        out.push_back(t);
    }
    return out;
  }

  long CountAsync(const std::string& text) {
    std::lock_guard lock(mutex);
    return std::count(asyncTraces.begin(), asyncTraces.end(), text);
  }

  std::vector<std::string> asyncTraces;
  std::string lastError;
};

TEST_F(ExchangeTest, ClosedPortRaisesWithoutAnyTraceLine) {
  TPhoneNumberPacket reply{};
  EXPECT_EQ(ErrCodeOf([&] { compo->ReadMemory(1, reply); }), 0x120u);
  EXPECT_EQ(lastError, "ポートはオープンしていません。");
  EXPECT_EQ(ErrCodeOf([&] { compo->WriteDateTime(45000); }), 0x120u);
  EXPECT_TRUE(ExchangeTraces().empty());
}

TEST_F(ExchangeTest, MemoryReadSendsTheIndexDigitsAndReturnsTheReply) {
  ReplyWith(NumberPacket);
  compo->Open();
  for (const uint8_t index : {uint8_t{5}, uint8_t{100}, uint8_t{123}}) {
    TPhoneNumberPacket reply{};
    compo->ReadMemory(index, reply);
    EXPECT_EQ(std::string(reply.begin(), reply.end()), NumberPacket);
  }
  const auto writes = line->Writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], ToBytes("\x02M05\x03"));
  EXPECT_EQ(writes[1], ToBytes("\x02M00\x03"));
  EXPECT_EQ(writes[2], ToBytes("\x02M23\x03"));
  const auto lines = ExchangeTraces();
  const std::vector<std::string> first(lines.begin(), lines.begin() + 4);
  EXPECT_EQ(first, (std::vector<std::string>{"***MirelRX2メモリ読み出し開始***",
                                             "メモリ読み出しコマンド送信",
                                             "受信キューから電話番号パケットの読み込み",
                                             "***MirelRX2メモリ読み出し終了***"}));
  // The reply bytes belonged to the exchange, never to the receive step.
  post->Pump();
  EXPECT_TRUE(events.empty());
}

// As the memory window's worker reads while a USB check reopens the port
// (under tsan too).
TEST_F(ExchangeTest, ExtendedReadOnAnotherThreadWhileTheOwnerReopensThePort) {
  std::atomic<bool> sent{false};
  line->SetWriteHook([&](TFakeSerialLine& l, const Bytes&) {
    l.Receive(MemoryRecord);
    sent = true;
  });
  compo->Open();
  TMemoryRecordPacket reply{};
  std::thread reader([&] { EXPECT_NO_THROW(compo->ReadMemoryMT(30, reply)); });
  EXPECT_TRUE(WaitFor([&] { return sent.load(); }));
  compo->Close(); // waits for the exchange, which holds the port
  compo->Open();
  reader.join();
  EXPECT_EQ(std::string(reply.begin(), reply.end()), MemoryRecord);
  EXPECT_EQ(line->Written(), ToBytes("\x02MT30\x03"));
  EXPECT_TRUE(CountAsync("受信キューから電話番号パケットの読み込み(MT)") == 1);
}

TEST_F(ExchangeTest, CtsOffStopsTheCommandAndUnsolicitedPacketsFlowAgain) {
  compo->Open();
  line->SetCts(false);
  TPhoneNumberPacket reply{};
  EXPECT_EQ(ErrCodeOf([&] { compo->ReadMemory(1, reply); }), 0x901u);
  EXPECT_EQ(lastError, "CTS がオフ状態のため通信できません。");
  EXPECT_EQ(ExchangeTraces(), (std::vector<std::string>{"***MirelRX2メモリ読み出し開始***",
                                                        "CTSがOFFのためメモリ読み出しできません。",
                                                        "***MirelRX2メモリ読み出し終了***"}));
  EXPECT_TRUE(line->Writes().empty());
  line->Receive(ReversalPacket);
  ASSERT_TRUE(PumpUntilEvents(1));
}

TEST_F(ExchangeTest, StalledCommandIsASendTimeout) {
  compo->Open();
  line->StallWrites(true);
  TPhoneNumberPacket reply{};
  EXPECT_EQ(ErrCodeOf([&] { compo->ReadMemory(1, reply); }), 0x301u);
  EXPECT_EQ(lastError, "パケット送信タイムアウト");
  EXPECT_EQ(CountAsync("送信タイムアウト発生（OutQueSize=5）"), 1);
  EXPECT_EQ(ErrCodeOf([&] { compo->WriteDateTime(45000); }), 0x401u);
}

// The count is of the bytes not framed: they stay for the framing (a late
// reply is dropped there), so each length gets a freshly opened port.
TEST_F(ExchangeTest, WrongReplyLengthsFailTheRead) {
  TPhoneNumberPacket reply{};
  for (const size_t length : {size_t{30}, size_t{32}}) {
    compo->Close();
    compo->Open();
    ReplyWith(std::string(length, 'r'));
    EXPECT_EQ(ErrCodeOf([&] { compo->ReadMemory(1, reply); }), 0x302u) << length;
    EXPECT_EQ(lastError, "パケット受信タイムアウトまたはデータ異常です。");
    EXPECT_EQ(CountAsync("受信タイムアウトまたは受信データ異常発生（InQueSize=" +
                         std::to_string(length) + "）"),
              1);
  }
}

TEST_F(ExchangeTest, LateReplyWithinTheDeadlineSucceeds) {
  ReplyWith(NumberPacket, Ms(300));
  compo->Open();
  TPhoneNumberPacket reply{};
  EXPECT_NO_THROW(compo->ReadMemory(1, reply));
  EXPECT_EQ(reply[0], 0x02);
}

TEST_F(ExchangeTest, ReplyAfterTheDeadlineFailsAndIsFramedLater) {
  ReplyWith(NumberPacket, Ms(1300));
  compo->Open();
  TPhoneNumberPacket reply{};
  EXPECT_EQ(ErrCodeOf([&] { compo->ReadMemory(1, reply); }), 0x302u);
  EXPECT_EQ(CountAsync("受信タイムアウトまたは受信データ異常発生（InQueSize=0）"), 1);
  // A late reply has the caller-number layout, so it is taken as one.
  ASSERT_TRUE(PumpUntilEvents(1));
  EXPECT_EQ(events.front(), "phone:" + NumberPacket);
}

// A call ringing while the memory is read: its packets reach the handlers as
// if no exchange ran, before, around and after the reply, and the read holds.
TEST_F(ExchangeTest, PacketsArrivingDuringAnExchangeGoToTheirHandlers) {
  line->HoldEvents(true); // only the exchange takes bytes from the line
  compo->Open();
  line->Receive(ReversalPacket); // waiting before the command
  line->SetWriteHook([](TFakeSerialLine& l, const Bytes&) {
    l.Receive(NumberPacket.substr(0, 12));
    l.ReceiveAfter(Ms(20),
                   NumberPacket.substr(12) + MemoryRecord + FakePackets::Hook("030520709", "OF"));
  });
  TMemoryRecordPacket reply{};
  EXPECT_NO_THROW(compo->ReadMemoryMT(1, reply));
  EXPECT_EQ(std::string(reply.begin(), reply.end()), MemoryRecord);
  ASSERT_TRUE(PumpUntilEvents(3));
  EXPECT_EQ(events, (std::vector<std::string>{"reversal:" + ReversalPacket, "phone:" + NumberPacket,
                                              "hook:" + FakePackets::Hook("030520709", "OF")}));
  // The clock set hands on what waits too instead of discarding it.
  line->Receive(ReversalPacket);
  compo->WriteDateTime(45000);
  ASSERT_TRUE(PumpUntilEvents(4));
  EXPECT_EQ(events.back(), "reversal:" + ReversalPacket);
}

TEST_F(ExchangeTest, ClockSetSendsMinutesWithoutAReply) {
  compo->Open();
  const TDateTime value = EncodeDateTime({2024, 3, 5, 7, 8, 59, 0});
  compo->WriteDateTime(value);
  EXPECT_EQ(line->Written(), ToBytes("\x02"
                                     "C202403050708\x03"));
  EXPECT_EQ(ExchangeTraces(), (std::vector<std::string>{"***MirelRX2メモリ書き出し開始***",
                                                        "メモリ書き出しコマンド送信",
                                                        "***MirelRX2メモリ書き出し終了***"}));
  line->SetCts(false);
  EXPECT_EQ(ErrCodeOf([&] { compo->WriteDateTime(value); }), 0x901u);
  EXPECT_EQ(CountAsync("CTSがOFFのためメモリ書き出しできません。"), 1);
}

TEST_F(ExchangeTest, QueueCountFailuresAreTraced) {
  compo->Open();
  line->FailQueueCounts(EIO);
  EXPECT_EQ(compo->InQueueSize(), 0);
  EXPECT_EQ(compo->OutQueueSize(), 0);
  EXPECT_EQ(CountAsync("ClearCommError"), 2);
}

} // namespace

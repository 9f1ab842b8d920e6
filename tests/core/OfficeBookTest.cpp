#include "base/Clock.h"
#include "base/Exception.h"
#include "core/StationCalls.h"
#include "data/CsvRow.h"
#include "fakes/OfficeBookHarness.h"
#include "settings/AppSettings.h"
#include "share/BookMessages.h"
#include "share/ShareExchange.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

// The office's phone book between a book station and its desks, each with a
// database of its own, the test carrying (or losing) their messages.
class OfficeBookTest : public ::testing::Test {
protected:
  OfficeBookTest() { SetFixedNow(EncodeDateTime({2026, 12, 9, 9, 0, 0, 0})); }
  ~OfficeBookTest() override {
    ClearFixedNow();
    AppSettings = TAppSettings();
  }

  static std::string DeskId(TBookPeer& pc) {
    std::string id;
    pc.Run([&] { id = pc.Station() + "-" + CtiDb->GetBookState()->GetValue("token"); });
    return id;
  }
  static int Unconfirmed(TBookPeer& pc) {
    int count = 0;
    pc.Run([&] { count = PhoneBook().OfficeState().Unconfirmed; });
    return count;
  }
  // An edit as `account` may send one: on its own edit topic.
  static TMqttMessage EditRequest(const std::string& account, const std::string& desk,
                                  int64_t seq) {
    const TDeskEdit edit{
        desk, seq, {"save", {{"0300000001", "偽", "", "", "", "", ""}}, {}, account, ""}};
    return {"teloria2/office/book/edit/" + account,
            EncodeShareRequest(
                {desk + "-" + std::to_string(seq), desk, BookEditSubject, DeskEditJson(edit)}),
            false};
  }

  TTempFolder home;
  TProgramHome programHome{home.Path()};
  TBookOffice office;
};

// ---- Lost, doubled and reordered versions ----

TEST_F(OfficeBookTest, VersionsLostDoubledOrReorderedAreAppliedOnceInOrder) {
  TBookPeer& desk = office.AddDesk("desk1");
  office.station.Save("0300000001", "一");
  office.station.Save("0300000002", "二");
  office.station.Save("0300000001", "三");
  office.station.Delete("0300000002");
  const std::vector<TMqttMessage> versions = office.station.TakeSent();
  ASSERT_EQ(versions.size(), 4u);
  desk.Deliver(versions[1]); // after a missing one: the desk asks
  desk.Deliver(versions[0]);
  desk.Deliver(versions[0]);
  desk.Deliver(versions[3]);
  office.Flush();
  EXPECT_EQ(desk.Entries(), std::vector<std::string>{"0300000001=三"});
  EXPECT_EQ(desk.Entries(), office.station.Entries());
}

// Committed, then the station ended before sending it: sent at the next start.
TEST_F(OfficeBookTest, AVersionNotSentWhenTheStationEndedIsSentAtItsNextStart) {
  TBookPeer& desk = office.AddDesk("desk1");
  office.station.Run([&] {
    TTableRow entry;
    entry.SetValue("phone_number", "0300000001");
    PhoneBook().Save(entry);
    office.station.office.reset();
  });
  EXPECT_TRUE(office.station.TakeSent().empty());
  office.station.Start();
  office.station.Run([&] { office.station.office->Connected(); });
  office.Flush();
  EXPECT_EQ(desk.Entries(), std::vector<std::string>{"0300000001="});
}

// ---- A whole book taken while changes arrive ----

// Two pages; the changes made meanwhile follow from the first page's version.
TEST_F(OfficeBookTest, AWholeBookTakenWhileChangesArriveEndsAsTheBook) {
  office.station.Run([] {
    TCsvRows records;
    for (int i = 0; i < TOfficeBook::PageEntries + 100; ++i) {
      records.Add(std::make_unique<TCsvRow>());
      records[i].Add(fmt::format("06{:08}", i));
    }
    PhoneBook().Import(records, 10000, false);
  });
  office.station.TakeSent();
  TBookPeer& desk = office.Add("desk1");
  desk.BookOnline();
  for (TBookPeer* pc : {&desk, &office.station})
    for (const TMqttMessage& message : pc->TakeSent())
      office.Broadcast(message, pc);
  office.station.Save("0600000599", "途中");
  office.station.Delete("0600000000");
  office.Flush();
  EXPECT_EQ(desk.Entries().size(), size_t(TOfficeBook::PageEntries + 99));
  EXPECT_EQ(desk.Entries(), office.station.Entries());
}

// The book station keeps only its latest changes: a desk away for longer
// takes the whole book again, and what the office deleted meanwhile goes.
TEST_F(OfficeBookTest, ADeskAwayLongerThanTheKeptChangesTakesTheWholeBookAgain) {
  TBookPeer& desk = office.AddDesk("desk1");
  office.station.Save("0300000001", "消える");
  office.Flush();
  desk.BookOnline(false);
  office.station.Run([] {
    TTableRow entry;
    entry.SetValue("phone_number", "0300000002");
    for (int i = 0; i <= TOfficeBook::KeptChanges; ++i) {
      entry.SetValue("owner_name", std::to_string(i));
      PhoneBook().Save(entry);
    }
  });
  office.station.Delete("0300000001");
  office.station.TakeSent(); // lost while the desk was away
  desk.BookOnline();
  office.Flush();
  EXPECT_EQ(desk.Entries(), office.station.Entries());
  EXPECT_EQ(desk.Entries().size(), size_t(1));
}

// ---- A desk's edit ----

// All of it in one transaction: a failure part way leaves no version.
TEST_F(OfficeBookTest, ADeskEditIsAppliedWholeOrNotAtAll) {
  TBookPeer& desk = office.AddDesk("desk1");
  const std::string deskId = DeskId(desk);
  const TDeskEdit edit{
      deskId,
      1,
      {"save",
       {{"0300000001", "一", "", "", "", "", ""}, {"0300000002", "二", "", "", "", "", ""}},
       {},
       "desk1",
       ""}};
  const TMqttMessage request{
      "teloria2/office/book/edit/desk1",
      EncodeShareRequest({deskId + "-1", deskId, BookEditSubject, DeskEditJson(edit)}), false};
  int saved = 0;
  office.station.Run([&] {
    const TListening failing = PhoneBook().Listen([&](const TPhoneBookChange&) {
      if (++saved == 2)
        throw Exception("disk full");
    });
    office.station.office->Take(request);
  });
  for (const TMqttMessage& message : office.station.TakeSent())
    EXPECT_NE(message.Topic, "teloria2/office/book/book");
  EXPECT_TRUE(office.station.Entries().empty());
  office.station.Deliver(request);
  EXPECT_EQ(office.station.Entries(), (std::vector<std::string>{"0300000001=一", "0300000002=二"}));
}

// ---- Forged answers and desk ids ----

TEST_F(OfficeBookTest, NoAccountEditsOrIsAnsweredAsAnotherDesk) {
  TBookPeer& desk = office.AddDesk("desk1");
  const std::string deskId = DeskId(desk);
  desk.Save("0300000001", "本物");
  const std::vector<TMqttMessage> sent = desk.TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  // desk1's id and next number from another account; an unknown id past
  // its first edit; a kept request; an edit on the topic of questions, which
  // read-only accounts may write.
  office.station.Deliver(EditRequest("mallory", deskId, 1));
  TMqttMessage asked = EditRequest("viewer", "viewer-0123456789abcdef", 1);
  asked.Topic = "teloria2/office/book/request/viewer";
  office.station.Deliver(asked);
  office.station.Deliver(EditRequest("mallory", "mallory-0123456789abcdef", 7));
  TMqttMessage kept = EditRequest("mallory", "mallory-0123456789abcdef", 1);
  kept.Retain = true;
  office.station.Deliver(kept);
  EXPECT_TRUE(office.station.TakeSent().empty());
  // Answers desk1 did not ask for: another desk's, and one to no request of its.
  TShareResponse answer{deskId + "-1",          "book", BookEditSubject,
                        QJsonArray{SeqJson(1)}, false,  "desk2-0123456789abcdef"};
  desk.Deliver({"teloria2/office/book/response/desk1", EncodeShareResponse(answer), false});
  answer.Desk = deskId;
  answer.Id = deskId + "-2";
  desk.Deliver({"teloria2/office/book/response/desk1", EncodeShareResponse(answer), false});
  EXPECT_EQ(Unconfirmed(desk), 1);
  for (const TMqttMessage& message : sent)
    office.Broadcast(message, &desk);
  office.Flush();
  EXPECT_EQ(office.station.Entries(), std::vector<std::string>{"0300000001=本物"});
  EXPECT_EQ(Unconfirmed(desk), 0);
}

// ---- A fresh database under an existing station name ----

TEST_F(OfficeBookTest, AFreshOrRestoredDatabaseOfAStationGetsADeskIdOfItsOwn) {
  TBookPeer& desk = office.AddDesk("desk1");
  EXPECT_NE(DeskId(desk).substr(6), DeskId(office.AddDesk("desk2")).substr(6));
  const std::string backup = home.Path() + "/backup.db3";
  desk.CopyTo(backup);
  desk.BookOnline();
  desk.Save("0300000001", "一");
  desk.Save("0300000002", "二");
  office.Flush();
  // Restored over the file: its next edit has a number the station has seen.
  desk.Reopen(backup, true);
  desk.BookOnline();
  desk.Save("0300000003", "三");
  office.Flush();
  EXPECT_EQ(office.station.Entries().size(), 3u);
  EXPECT_EQ(Unconfirmed(desk), 0);
  // A new PC of the same name.
  desk.Reopen(TELORIA_DB_TEMPLATE);
  desk.BookOnline();
  office.Flush();
  desk.Save("0300000004", "四");
  office.Flush();
  EXPECT_EQ(office.station.Entries().size(), 4u);
  EXPECT_EQ(desk.Entries(), office.station.Entries());
}

// ---- A replaced book ----

TEST_F(OfficeBookTest, ADeskBackFromAwayJoinsABookBegunAnewInsteadOfApplyingItsVersions) {
  TBookPeer& desk = office.AddDesk("desk1");
  office.station.Save("0300000001", "旧");
  office.Flush();
  desk.BookOnline(false);
  office.station.Reopen(TELORIA_DB_TEMPLATE);
  office.station.Save("0300000002", "新");
  office.station.Save("0300000003", "新");
  office.station.TakeSent();
  desk.BookOnline();
  office.Flush();
  // Its own entry offered to the new book as a joining desk's.
  EXPECT_EQ(office.station.Entries(),
            (std::vector<std::string>{"0300000001=旧", "0300000002=新", "0300000003=新"}));
  EXPECT_EQ(desk.Entries(), office.station.Entries());
}

// ---- A desk catching up calls ----

TEST_F(OfficeBookTest, OldCallsADeskCatchesUpRegisterNoCallerInTheOfficeBook) {
  TBookPeer& desk = office.AddDesk("desk1");
  const TCallRecord old{1, "2026/12/01 10:00:00.000", "0300000009", 2, true, 5, 30, "名前", "", "",
                        ""};
  desk.Run([&] { RecordStationCalls("reception", {old}); });
  office.Flush();
  EXPECT_TRUE(desk.Entries().empty());
  EXPECT_TRUE(office.station.Entries().empty());
}

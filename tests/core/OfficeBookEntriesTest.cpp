#include "base/BookEntryRules.h"
#include "base/Clock.h"
#include "core/CallerEntry.h"
#include "fakes/OfficeBookHarness.h"
#include "settings/AppSettings.h"
#include "share/CallMessage.h"

#include <gtest/gtest.h>

// Entries at the limits the phone book and the office's wire share, and
// entries beyond them arriving from elsewhere.
class OfficeBookEntriesTest : public ::testing::Test {
protected:
  OfficeBookEntriesTest() { SetFixedNow(EncodeDateTime({2026, 12, 9, 9, 0, 0, 0})); }
  ~OfficeBookEntriesTest() override { ClearFixedNow(); }

  static std::string Repeat(const std::string& text, size_t times) {
    std::string repeated;
    for (size_t i = 0; i < times; ++i)
      repeated += text;
    return repeated;
  }
  static TTableRow Row(const std::string& number, const std::string& name) {
    TTableRow row;
    row.SetValue("phone_number", number);
    row.SetValue("owner_name", name);
    return row;
  }
  // A PC's phone book by number alone.
  static std::vector<std::string> Numbers(TBookPeer& peer) {
    std::vector<std::string> numbers;
    for (const std::string& entry : peer.Entries())
      numbers.push_back(entry.substr(0, entry.find('=')));
    return numbers;
  }
  // Straight into a PC's database, as an older program may have stored it.
  static void Store(TBookPeer& peer, const std::string& number, const std::string& name) {
    peer.Run([&] { CtiDb->InsertPhoneNumber(Row(number, name)); });
  }

  TTempFolder home;
  TProgramHome programHome{home.Path()};
  TBookOffice office;
};

TEST_F(OfficeBookEntriesTest, EntriesAtTheLimitsTravelAndThoseBeyondAreRefusedWhole) {
  struct TCase {
    std::string Number, Name;
    bool Fits;
  };
  const std::string nul("x\0y", 3);
  const TCase cases[] = {
      {Repeat("1", 20), "a", true},     {Repeat("1", 21), "a", false},
      {"02", Repeat("あ", 1000), true}, {"03", Repeat("あ", 1001), false},
      {"04", Repeat("𠮷", 1000), true}, {"05", nul, false},
      {"06" + nul, "a", false},         {"07\x7f", "a", false},
  };
  TBookPeer& desk = office.AddDesk("desk1");
  TBookPeer& other = office.AddDesk("desk2");
  for (const TCase& c : cases) {
    const TTableRow row = Row(c.Number, c.Name);
    EXPECT_EQ(TPhoneBook::Problem(row).empty(), c.Fits) << c.Number;
    EXPECT_EQ(TPhoneBook::Problem(row).empty(),
              NumberProblem(c.Number).empty() && EntryTextProblem("", c.Name).empty());
    TBookEntry entry{c.Number, c.Name, "", "", "", "", ""};
    const TBookChange change = BookChangeOf(BookChangeJson({"save", {entry}, {}, "desk1", ""}));
    EXPECT_EQ(change.Entries.size(), c.Fits ? 1u : 0u) << c.Number;
    EXPECT_EQ(change.Skipped.size(), c.Fits ? 0u : 1u) << c.Number;
    if (c.Fits) {
      desk.Save(c.Number, c.Name);
    } else {
      EXPECT_THROW(desk.Save(c.Number, c.Name), Exception) << c.Number;
      bool registered = true;
      desk.Run([&] { registered = RegisterNewCaller(row); });
      EXPECT_FALSE(registered);
    }
  }
  office.Flush();
  const std::vector<std::string> fitting{"02", "04", Repeat("1", 20)};
  EXPECT_EQ(Numbers(desk), fitting);
  EXPECT_EQ(Numbers(other), fitting);
  EXPECT_EQ(Numbers(office.station), fitting);
  EXPECT_EQ(other.Entries()[1], desk.Entries()[1]);
}

TEST_F(OfficeBookEntriesTest, ABadEntryReceivedIsSkippedAndTheRestApplies) {
  // In the book station's database from before the limits: its desks take
  // the whole book without it, and follow the versions after.
  Store(office.station, "01", "good");
  Store(office.station, Repeat("2", 21), "too long");
  Store(office.station, "03", "good");
  TBookPeer& desk = office.AddDesk("desk1");
  office.station.Save("04", "later");
  office.Flush();
  EXPECT_EQ(desk.Entries(), (std::vector<std::string>{"01=good", "03=good", "04=later"}));
  // A version holding one (an older station's) brings the rest all the same.
  TBookEntry bad{"05", Repeat("x", 1001), "", "", "", "", ""};
  TBookEntry good{"06", "good", "", "", "", "", ""};
  desk.Deliver({BookTopic(TBookPeer::Base, "book"),
                EncodeBookVersion({2, "", 0, {"import", {bad, good}, {}, "book", ""}}), false});
  EXPECT_EQ(desk.Entries().back(), "06=good");
  int64_t version = 0;
  desk.Run([&] { version = PhoneBook().OfficeState().Version; });
  EXPECT_EQ(version, 2);
}

TEST_F(OfficeBookEntriesTest, AnOutboxEditKeptBeforeTheLimitsGoesWithoutItsBadEntry) {
  TBookPeer& desk = office.AddDesk("desk1");
  desk.Run([] {
    TTableRow bad = Row(Repeat("1", 21), "x");
    TTableRow good = Row("02", "good");
    TTransaction transaction = CtiDb->Transaction();
    CtiDb->InsertPhoneNumber(bad);
    CtiDb->InsertPhoneNumber(good);
    PhoneBook().EditHook()({TBookEdit::TKind::Import, {bad, good}, {}});
    transaction.Commit();
  });
  desk.Save("03", "next");
  office.Flush();
  EXPECT_EQ(office.station.Entries(), (std::vector<std::string>{"02=good", "03=next"}));
}

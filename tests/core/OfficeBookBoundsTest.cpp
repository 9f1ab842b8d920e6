#include "base/BookEntryRules.h"
#include "base/Clock.h"
#include "fakes/OfficeBookHarness.h"

#include <gtest/gtest.h>

// What one desk may ask of the book station: requests a second, entries a
// minute; the fixed clock stands for time passing.
class OfficeBookBoundsTest : public ::testing::Test {
protected:
  OfficeBookBoundsTest() { SetFixedNow(EncodeDateTime({2026, 12, 9, 9, 0, 0, 0})); }
  ~OfficeBookBoundsTest() override { ClearFixedNow(); }

  // A request of desk1 to the book station; how many the station answered.
  size_t Ask(const std::string& what, const QJsonValue& after, int times = 1,
             const std::string& desk = "desk1") {
    for (int i = 0; i < times; ++i)
      office.station.Deliver(
          {(what == BookEditSubject ? EditTopic : RequestTopic)(TBookPeer::Base, "book", "desk1"),
           EncodeShareRequest({"r" + std::to_string(++asked_), desk, what, after}), false});
    size_t answers = 0;
    for (const TMqttMessage& m : office.station.TakeSent())
      answers += m.Topic == ResponseTopic(TBookPeer::Base, "book", "desk1");
    return answers;
  }
  size_t Edit(int64_t seq, std::vector<std::string> numbers) {
    const std::string desk = "desk1-0123456789abcdef";
    const TDeskEdit edit{desk, seq, {"delete", {}, std::move(numbers), "desk1", ""}};
    return Ask(BookEditSubject, DeskEditJson(edit), 1, desk);
  }
  static void Pass(double seconds) { AdvanceFixedNow(seconds / 86400); }

  TTempFolder home;
  TProgramHome programHome{home.Path()};
  TBookOffice office;
  int asked_ = 0;
};

TEST_F(OfficeBookBoundsTest, ADeskIsAnsweredABurstThenSoManyRequestsASecond) {
  EXPECT_EQ(Ask(WholeBookSubject, QString(), 250), static_cast<size_t>(DeskRequestBurst));
  Pass(1);
  EXPECT_EQ(Ask(BookChangesSubject, VersionJson(0), 60),
            static_cast<size_t>(DeskRequestsPerSecond));
}

TEST_F(OfficeBookBoundsTest, ADesksEditsChangeSoManyEntriesAMinuteAndTheRestWaits) {
  EXPECT_EQ(Edit(1, std::vector<std::string>(MaxEditEntries - 1, "01")), 1u);
  EXPECT_EQ(Edit(2, {"02", "03"}), 0u); // unanswered: the desk sends it again
  Pass(1);
  EXPECT_EQ(Edit(2, {"02", "03"}), 1u);
  // An edit beyond the format's limit is never read.
  EXPECT_EQ(Edit(3, std::vector<std::string>(MaxEditEntries + 1, "01")), 0u);
}

#pragma once

#include "base/PostTarget.h"
#include "data/PhoneBook.h"
#include "share/BookMessages.h"
#include "share/MqttClient.h"
#include "share/RateLimit.h"
#include "share/ShareExchange.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

// One phone book for the office, held by one station (the book station) and
// copied whole into every desk's own phone book, so that lookups, the popup
// and the lists stay local and keep working without the broker.
//
// Every edit of the book (a save, a delete, an import, a new caller
// registered) goes through TPhoneBook. At the book station it becomes the
// book's next version, kept and published. At a desk it is applied to the
// local copy at once and kept in the desk's outbox (in its database, with
// the edit, in one transaction) until the book station confirms it; the
// outbox goes to the book station whenever it is online, in order, and the
// station applies each desk's edits once each, in that order, under its own
// rules and limit, in the order it receives them. Every desk applies the
// published versions in order; one that missed some asks for those after its
// version, and one too far behind, or new, takes the whole book in pages.
// A desk's own command and last incoming date never travel. Main thread only.
class TOfficeBook {
public:
  TOfficeBook(IMqttClient& client, TPostTargetPtr owner, std::string base, std::string station,
              std::string book);
  ~TOfficeBook();
  TOfficeBook(const TOfficeBook&) = delete;
  TOfficeBook& operator=(const TOfficeBook&) = delete;

  bool Holds() const { return book_ == station_; }
  // After every new connection.
  void Connected();
  // True when the message was the book's; a station's status is looked at
  // and left to others too.
  bool Take(const TMqttMessage& message);
  // Sends again what went unanswered.
  void Tick();

  // A desk joining the book holds entries the book lacks: whether to offer
  // them to the book (else they are left out; `exported` holds them).
  std::function<bool(int count, const std::string& exported)> OnJoinQuestion;

  // How many changes, or entries of the whole book, one answer holds at most.
  static constexpr int PageChanges = 200;
  static constexpr int PageEntries = 500;
  // How many changes the book station keeps for desks catching up.
  static constexpr int KeptChanges = 5000;
  static constexpr double AnswerWaitSeconds = 10;
  // How many entries (saved or deleted) one desk's edits may change each
  // minute at the book station; an edit beyond waits unanswered and the
  // desk sends it again after AnswerWaitSeconds.
  static constexpr double DeskEntriesPerMinute = 10000;

private:
  void Post(std::function<void()> fn);
  // The book station.
  void RecordEdit(const TBookEdit& edit);
  // As stored, also within a transaction not yet committed.
  static int64_t CurrentVersion();
  void PublishNew();
  void Serve(const TShareRequest& request);
  void ApplyDeskEdit(const TShareRequest& request);
  bool EntriesAllowed(const TShareRequest& request, const TDeskEdit& edit);
  void ApplyChange(const TBookChange& change);
  QJsonArray ChangesAfter(int64_t version, bool& more);
  QJsonArray WholePage(const QJsonValue& after, bool& more);
  void Answer(const TShareRequest& request, QJsonArray items, bool more);
  static std::string DeskId(const std::string& station);
  // A desk.
  void JournalEdit(const TBookEdit& edit);
  void SendOutbox();
  void BookStatus(const TMqttMessage& message);
  void CatchUp();
  void TakeWhole(bool joining);
  void Ask(const char* what, QJsonValue after);
  void TakeAnswer(const TShareResponse& response);
  void TakeEditAnswer(const TShareResponse& response);
  bool SentHere(const std::string& id) const;
  bool SameBook(const std::string& bookId);
  void AnotherHasThisDeskId();
  bool ForeignEdit(int64_t seq, const TBookChange& change);
  void RenewDesk();
  bool TakeVersion(const TBookVersion& version);
  void TakeChanges(const QJsonArray& items, bool more);
  void TakeWholePage(const QJsonArray& items, bool more, const std::string& bookId);
  void TakeWholeEntry(const QJsonValue& item, TBookEdit& page);
  void FinishWhole();
  void AskJoin(std::vector<std::string> numbers, std::string exported);
  void OfficeChanged();

  IMqttClient& client_;
  const TPostTargetPtr owner_;
  const std::string base_;
  const std::string station_;
  const std::string book_;
  // This database among the book's desks: the station and its token.
  std::string desk_;
  // The book's id ("" for a desk that has not taken it yet).
  std::string bookId_;
  // The version applied here; -1 for a desk that has not taken the book yet.
  int64_t version_ = 0;
  // The book station: the newest version published; the desk edit being applied.
  int64_t published_ = 0;
  std::optional<TDeskEdit> applying_;
  bool recorded_ = false;
  // A desk: the book station online; the outbox sent up to this edit, when.
  std::set<std::string> online_;
  int64_t sentSeq_ = 0;
  TDateTime sentAt_ = 0;
  // The last edit sent by this run: no answer confirms more.
  int64_t sentTop_ = 0;
  TShareRequests requests_;
  // The book station: each desk's requests, and the entries its edits change.
  TRateLimit requestLimit_{DeskRequestBurst, DeskRequestsPerSecond};
  TRateLimit entryLimit_{DeskEntriesPerMinute, DeskEntriesPerMinute / 60};
  // The whole book on its way: its version when it began, the numbers it
  // held, and whether this copy joins the book with it.
  struct TWhole {
    int64_t Version = -1;
    std::string BookId;
    std::set<std::string> Numbers;
    bool Joining = false;
    std::string Exported;
  };
  std::optional<TWhole> whole_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

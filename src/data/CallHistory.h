#pragma once

#include "data/ChangeListeners.h"
#include "data/TableRow.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// What identifies a call everywhere: its incoming_order and incoming_date.
struct TCallKey {
  int Order = 0;
  std::string Date;
  bool operator==(const TCallKey&) const = default;
};

// The key of a history row; an order that is not a number reads as 0.
TCallKey CallKeyOf(const TTableRow& call);

// A call as known before its row is written: its incoming_date and number.
struct TCallIdentity {
  std::string Date;
  std::string Number;
};

// What changed in the history: calls deleted.
struct TCallHistoryChange {
  std::vector<TCallKey> Deleted;
};

// The incoming-call history of CtiDb. The windows change it only here and
// hear of each change through Listen. The call path adds its calls and
// their hook states here too; it tells the windows itself, when the design
// wants them told (a new call once shown, a finished call by a reload).
class TCallHistory {
public:
  // Returns the incoming_order given to the call: `order` when one was
  // given to it beforehand (not 0) and no other row has taken it, else the
  // next one.
  int AddCall(const std::string& number, const std::string& dateText, int order = 0);
  // The incoming_order the next call would be given now.
  int NextOrder();
  // The next incoming_order, kept for a call whose row is added later.
  int ReserveOrder();
  // The key of the call last added with this identity; none when there is none.
  std::optional<TCallKey> Find(const TCallIdentity& call);
  void SetAnswered(const TCallKey& call, int offhookSeconds);
  void SetHungUp(const TCallKey& call, int onhookSeconds);
  void SetNotAnswered(const TCallKey& call);

  // A call received from another station, recorded once under its key there
  // (the station's name, order and date, which is its date here too); a call
  // recorded already only takes a further outcome. `call` holds the
  // station's incoming_order and incoming_date, phone_number and the outcome
  // (state, connected, offhook_seconds, onhook_seconds). Returns the call's
  // key here; `added` tells whether it is new.
  TCallKey AddStationCall(const std::string& station, const TTableRow& call, bool& added);
  // The station's key (order and date there) of the last of its calls, by
  // its order, that ended here, which deleting or trimming calls does not
  // move back.
  std::optional<TCallKey> StationMark(const std::string& station);
  // The station's key of the first of its calls, by its order, not ended
  // here, among its `recent` last calls here.
  std::optional<TCallKey> OldestOpenStationCall(const std::string& station, int recent);
  // The date of the newest call of this PC itself ("" without one).
  std::string NewestOwnCallDate();
  // For another station: this PC's own calls after `after` among its newest
  // `window`, at most `count`, with the names of the phone book; in the
  // order they were added to the history (`byOrder`, which a call recovered
  // later, though older, follows), or by date.
  std::unique_ptr<TTableRows> OwnCallsAfter(const TCallKey& after, int count, int window,
                                            bool byOrder);

  // The newest `limit` calls with the owner names of the phone book.
  std::unique_ptr<TTableRows> List(int limit);
  // Deletes these calls in one transaction.
  void Delete(const std::vector<TCallKey>& calls);
  // Keeps the newest `limit` calls; all or nothing.
  void Trim(int limit);

  [[nodiscard]] TListening Listen(TChangeListeners<TCallHistoryChange>::TListener listener) {
    return listeners_.Listen(std::move(listener));
  }

private:
  TChangeListeners<TCallHistoryChange> listeners_;
};

// The program's call history.
TCallHistory& CallHistory();

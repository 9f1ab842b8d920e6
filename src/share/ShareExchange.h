#pragma once

#include "base/DateTime.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A receiving desk asks a sending station for what it has missed: the items
// of a subject (`What`) after a position (`After`, which only the two sides
// of that subject understand; null: from the start). The station answers on
// the desk's response topic with the request's id, a page at a time: `More`
// says that asking on from the last item may bring more. `Desk` names the
// asking desk: its station, or a desk id "<station>-<token>" of the office
// book; an answer names it again, and the book's answers the book's id.
// `Deflate`: the asker takes the items compressed; `Page`: the most calls it
// takes in one answer, 0 for the subject's own page (the web page asks both,
// as every page costs it a trip through the broker's slow websocket; desks
// here never do).
struct TShareRequest {
  std::string Id;
  std::string Desk;
  std::string What;
  QJsonValue After;
  bool Deflate = false;
  int Page = 0; // 0, or 1 to MaxSharePage
};
inline constexpr int MaxSharePage = 1000;

struct TShareResponse {
  std::string Id;
  std::string Station;
  std::string What;
  QJsonArray Items;
  bool More = false;
  std::string Desk{};   // "" for none
  std::string BookId{}; // "" for none
  bool Deflate = false; // the items go as "items_deflate"
};

// The JSON object of a payload; throws ECallMessageError for anything else.
QJsonObject ShareJsonObject(const std::string& payload);

// Compact JSON; decoding throws ECallMessageError saying what is wrong.
std::string EncodeShareRequest(const TShareRequest& request);
TShareRequest DecodeShareRequest(const std::string& payload);
// A request from the request topic of the station `from`: its desk must be
// that station or one of its desk ids.
TShareRequest DecodeShareRequestFrom(const std::string& from, const std::string& payload);
// The station of a desk id "<station>-<16 hex digits>"; "" for anything else.
// Where a station answers a request: under the asking account's name (the
// request's topic level), which a desk id carries before its token.
std::string AnswerTopic(const std::string& base, const std::string& station,
                        const std::string& desk);
std::string StationOfDeskId(const std::string& desk);
std::string EncodeShareResponse(const TShareResponse& response);
TShareResponse DecodeShareResponse(const std::string& payload);

// The requests of a desk on their way: at most one per station and subject,
// each with an id of its own.
class TShareRequests {
public:
  explicit TShareRequests(std::string desk);

  // A new request, or nothing when one for the station and subject is on its
  // way already; that one is followed by another once answered.
  std::optional<TShareRequest> Ask(const std::string& station, const std::string& what,
                                   QJsonValue after, TDateTime now);
  struct TAnswered {
    std::string Station;
    bool AskAgain = false; // something more was wanted while it was on its way
  };
  // The request a response answers, no longer on its way; nothing for a
  // response to no request of ours (an old one, or another desk's).
  std::optional<TAnswered> Answered(const TShareResponse& response);
  // The requests sent before `since` and still unanswered, with the station
  // each asks, to be sent again now under new ids.
  std::vector<std::pair<std::string, TShareRequest>> Overdue(TDateTime since, TDateTime now);
  // The station went away: its requests are given up.
  void Forget(const std::string& station);
  bool Waiting() const { return !asked_.empty(); }

private:
  struct TAsked {
    std::string Station;
    TShareRequest Request;
    TDateTime SentAt = 0;
    bool AskAgain = false;
  };
  std::string NewId();

  std::string desk_;
  std::string run_;
  uint64_t count_ = 0;
  std::vector<TAsked> asked_;
};

#pragma once

#include "share/CallMessage.h"

#include <QJsonObject>
#include <QJsonValue>
#include <optional>
#include <string>

// The calls a receiving desk asks a station for, through the requests of
// ShareExchange.h under this subject.
inline constexpr const char* CallsSubject = "calls";

// A call as the station's history holds it: its key there (order and date),
// its outcome, and the name and memos of the station's phone book.
struct TCallRecord {
  int Order = 0;
  std::string Date;
  std::string Number;
  int State = 0; // 0 ringing, 1 answered, 2 ended
  bool Connected = false;
  int OffhookSeconds = 0;
  int OnhookSeconds = 0;
  std::string OwnerName;
  std::string Memo1;
  std::string Memo2;
  std::string Memo3;

  bool operator==(const TCallRecord&) const = default;
};

QJsonObject CallRecordJson(const TCallRecord& call);
// Throws ECallMessageError for anything that is not such a call.
TCallRecord CallRecordOf(const QJsonValue& value);

// A position in a station's history: the calls after this key, by the
// station's order, then date ("by":"order"), which is the order the calls
// came into its history, a call recovered later from the adapter's memory
// after the rest; or by date, then order (no "by": a desk of an earlier
// version, or one that has never recorded an ended call of the station).
struct TCallMark {
  int Order = 0;
  std::string Date;
  bool ByOrder = false;

  bool operator==(const TCallMark&) const = default;
};
// Null for the whole history.
QJsonValue CallMarkJson(const std::optional<TCallMark>& mark);
std::optional<TCallMark> CallMarkOf(const QJsonValue& value);

// What a call message tells of its call, once the sender has recorded it:
// nothing for a ring, an end, or a call without the sender's key.
std::optional<TCallRecord> CallRecordOf(const TCallMessage& message);

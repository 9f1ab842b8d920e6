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

// A position in a station's history: the calls after this key (by date, then
// order); null for the whole history.
QJsonValue CallKeyJson(const std::optional<TCallRecord>& key);
std::optional<TCallRecord> CallKeyOf(const QJsonValue& value);

// What a call message tells of its call, once the sender has recorded it:
// nothing for a ring, an end, or a call without the sender's key.
std::optional<TCallRecord> CallRecordOf(const TCallMessage& message);

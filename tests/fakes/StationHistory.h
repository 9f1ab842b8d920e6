#pragma once

#include "share/CallMessage.h"

#include <fmt/format.h>
#include <sqlite3.h>
#include <string>

// Call `order` of a sending station, as the station recorded it long ago:
// the number message it published, with the station's key of the call.
inline TCallMessage OldCall(const std::string& station, int order) {
  TCallMessage m;
  m.Id = station + "-r-" + std::to_string(order);
  m.Station = station;
  m.Kind = 2;
  m.GroupNo = order;
  m.PhoneNumber = fmt::format("03{:08}", order);
  m.IncomingOrder = order;
  m.IncomingDate = m.Date = fmt::format("2026/01/05 {:02}:{:02}:{:02}.000", 9 + order / 3600,
                                        order / 60 % 60, order % 60);
  return m;
}

// Writes calls 1..count, each answered and ended, into the history of the
// database file (one made from the template).
inline bool WriteStationHistory(const std::string& databaseFile, const std::string& station,
                                int count) {
  std::string sql = "BEGIN;";
  for (int i = 1; i <= count; ++i)
    sql += fmt::format("INSERT INTO incoming_numbers (incoming_order, incoming_date, phone_number,"
                       " state, connected, offhook_seconds, onhook_seconds)"
                       " VALUES ({}, '{}', '{}', 2, 1, 3, 30);",
                       i, *OldCall(station, i).IncomingDate, OldCall(station, i).PhoneNumber);
  sqlite3* db = nullptr;
  const bool done =
      sqlite3_open(databaseFile.c_str(), &db) == SQLITE_OK &&
      sqlite3_exec(db, (sql + "COMMIT;").c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return done;
}

#pragma once

#include "data/KsoCtiDb.h"

#include <cstdio>
#include <string>

// A call database at the program's limits: 10,000 phone-book entries and
// 3,000 calls.
inline std::string BenchNumber(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "03%08d", i);
  return text;
}

inline void FillToTheLimits(TKsoCtiDb& db) {
  db.BeginTransaction();
  for (int i = 0; i < 10000; ++i) {
    TTableRow row;
    row.SetValue("phone_number", BenchNumber(i));
    row.SetValue("owner_name", "発信者" + std::to_string(i));
    row.SetValue("created_date", "2026/01/01 00:00:00.000");
    row.SetValue("last_updated", "2026/01/01 00:00:00.000");
    db.InsertPhoneNumber(row);
  }
  for (int i = 0; i < 3000; ++i) {
    char date[32];
    std::snprintf(date, sizeof date, "2026/11/%02d %02d:%02d:%02d.000", 1 + i / 1440 % 28,
                  i / 60 % 24, i % 60, i % 60);
    db.AddIncoming(BenchNumber(i), date);
  }
  db.Commit();
}

#pragma once

#include "data/KsoCtiDb.h"

#include <string>

// Stores a phone-book entry in CtiDb with the given values; the dates default
// to fixed texts.
inline void AddPhoneBookEntry(const std::string& number, const std::string& name = "",
                              const std::string& created = "2026/01/01 09:00:00.000",
                              const std::string& lastIncoming = "") {
  TTableRow row;
  row.SetValue("phone_number", number);
  row.SetValue("owner_name", name);
  row.SetValue("created_date", created);
  row.SetValue("last_updated", created);
  row.SetValue("last_incoming_date", lastIncoming);
  CtiDb->InsertPhoneNumber(row);
}

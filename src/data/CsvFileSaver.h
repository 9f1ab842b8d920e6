#pragma once

#include "data/CsvRow.h"

#include <string>

// Saves rows of UTF-8 fields as a CSV file in CP932 with CR LF line ends.
class TCsvFileSaver {
public:
  // Creates or replaces the file as a whole; on failure the old file stays
  // as it was and Exception "ファイル %s を作成できません" is raised.
  static void Save(const std::string& fileName, const TCsvRows& rows);
};

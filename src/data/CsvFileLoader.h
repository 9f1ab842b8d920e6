#pragma once

#include "data/CsvRow.h"

#include <string>

// Loads a CSV file (CP932 on disk) into rows of UTF-8 fields.
class TCsvFileLoader {
public:
  // Appends one row per record, and only once the whole file has parsed.
  // Every failure raises Exception "読み込みエラー発生\r\n" + the reason.
  static void Load(const std::string& fileName, TCsvRows& rows);
};

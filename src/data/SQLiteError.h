#pragma once

#include "base/Exception.h"

#include <string>

// Every failure of the SQLite access layer.
class ESQLiteException : public Exception {
public:
  using Exception::Exception;
};

// Fixed English description of an SQLite result code.
std::string SQLiteErrorText(int code);

// Where the call database lives and how a new one is made from the template.
#include "data/FileBytes.h"
#include "data/KsoCtiDb.h"
#include "platform/ProgramPaths.h"

#include <sys/stat.h>

namespace {

const char* const TemplateName = "teloria2.db3.init";

// A template that is not a database would otherwise become a database file
// that fails on every later start, even after the template is mended.
bool IsSQLiteDatabase(std::string_view bytes) {
  constexpr std::string_view header("SQLite format 3\0", 16);
  return bytes.substr(0, header.size()) == header;
}

} // namespace

std::string CtiDbFileName() {
  return ProgramFolder() + "/teloria2.db3";
}

bool DatabaseFileExists() {
  struct stat st {};
  return ::lstat(CtiDbFileName().c_str(), &st) == 0;
}

bool CreateDatabaseFromTemplate() {
  if (DatabaseFileExists())
    return false;
  std::string bytes;
  if (!ReadFileBytes(FindShippedFile(TemplateName), bytes) || !IsSQLiteDatabase(bytes))
    return false;
  // The call history is private; SQLite gives the -wal and -shm files the
  // database file's mode.
  TPendingFile database(CtiDbFileName(), 0600);
  return database.Write(bytes) && database.CreateNew();
}

void CreateCtiDb() {
  CtiDb = std::make_unique<TKsoCtiDb>(CtiDbFileName());
}

// Where the call database lives, how a new one is made from the template and
// whether an existing file can serve as one.
#include "base/RegularFile.h"
#include "base/Text.h"
#include "base/UniqueFd.h"
#include "data/FileBytes.h"
#include "data/KsoCtiDb.h"
#include "data/SQLiteDatabase.h"
#include "platform/ProgramPaths.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/printf.h>
#include <memory>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const TemplateName = "teloria2.db3.init";
constexpr std::string_view SQLiteHeader("SQLite format 3\0", 16);

// A template that is not a database would otherwise become a database file
// that fails on every later start, even after the template is mended.
bool IsSQLiteDatabase(std::string_view bytes) {
  return bytes.substr(0, SQLiteHeader.size()) == SQLiteHeader;
}

// The tables and columns the program's statements use.
struct TRequiredTable {
  const char* Name;
  std::vector<const char*> Columns;
};
const TRequiredTable RequiredTables[] = {
    {"version_info", {"version_no", "note"}},
    {"phone_numbers",
     {"phone_number", "owner_name", "memo1", "memo2", "memo3", "exec_cmd", "created_date",
      "last_updated", "last_incoming_date"}},
    {"incoming_numbers",
     {"incoming_order", "incoming_date", "phone_number", "state", "connected", "offhook_seconds",
      "onhook_seconds", "marked"}},
};

// Opens the file read-only and immutable: SQLite then takes no lock and
// creates no journal, WAL or shared-memory file beside it.
std::string ReadOnlyUri(const std::string& path) {
  std::string uri = "file:";
  for (const unsigned char c : path) {
    if (std::isalnum(c) != 0 || std::strchr("/-._~", c) != nullptr)
      uri += static_cast<char>(c);
    else
      uri += fmt::sprintf("%%%02X", c);
  }
  return uri + "?mode=ro&immutable=1";
}

std::string SQLiteProblem(sqlite3* db) {
  return fmt::sprintf("データベースを読み込めません。(%s)", sqlite3_errmsg(db));
}

// Lower-case names of the table's columns; empty when there is no such table.
bool ReadColumns(sqlite3* db, const char* table, std::set<std::string>& columns) {
  sqlite3_stmt* handle = nullptr;
  const std::string sql = fmt::sprintf("PRAGMA table_info(%s)", table);
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &handle, nullptr) != SQLITE_OK)
    return false;
  const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(handle,
                                                                             &sqlite3_finalize);
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(handle)) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(handle, 1));
    columns.insert(LowerCaseAscii(name != nullptr ? name : ""));
  }
  return rc == SQLITE_DONE;
}

std::string DamageText(const std::string& detail) {
  return fmt::sprintf("データベースファイルが壊れています。(%s)\r\n"
                      "読める内容を次のコマンドで取り出し、teloria2.db3 と置き換えてください"
                      "(手順は README の Troubleshooting にあります)。\r\n"
                      "sqlite3 teloria2.db3 \".recover\" | sqlite3 recovered.db3",
                      detail);
}

// SQLite's quick check of every page; a database that fails it would be
// written into and damaged further.
std::string DamageProblem(sqlite3* db) {
  sqlite3_stmt* handle = nullptr;
  int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &handle, nullptr);
  const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(handle,
                                                                             &sqlite3_finalize);
  if (rc == SQLITE_OK && (rc = sqlite3_step(handle)) == SQLITE_ROW) {
    const auto* first = reinterpret_cast<const char*>(sqlite3_column_text(handle, 0));
    std::string result = first != nullptr ? first : "";
    std::replace(result.begin(), result.end(), '\n', ' ');
    return result == "ok" ? std::string() : DamageText(result);
  }
  const int primary = sqlite3_errcode(db) & 0xFF;
  if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
    return DamageText(sqlite3_errmsg(db));
  return SQLiteProblem(db);
}

// Read without touching anything: a database closed cleanly is read as the
// file alone; one with a write-ahead log (a crash, or another program using
// it) through its log, read-only, which never writes the log into the file.
std::string ContentProblem(const std::string& path) {
  struct stat st {};
  const bool withLog = ::lstat((path + "-wal").c_str(), &st) == 0;
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open_v2(withLog ? path.c_str() : ReadOnlyUri(path).c_str(), &handle,
                                 SQLITE_OPEN_READONLY | (withLog ? 0 : SQLITE_OPEN_URI), nullptr);
  const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(handle, &sqlite3_close);
  if (rc != SQLITE_OK)
    return SQLiteProblem(handle);
  // Another reader opening the file at the same moment (a backup, the
  // sqlite3 shell) briefly holds the log's lock: waited for, not fatal.
  sqlite3_busy_timeout(handle, TSQLiteDatabase::DefaultBusyTimeoutMs);
  if (std::string damage = DamageProblem(handle); !damage.empty())
    return damage;
  for (const TRequiredTable& table : RequiredTables) {
    std::set<std::string> columns;
    if (!ReadColumns(handle, table.Name, columns))
      return SQLiteProblem(handle);
    if (columns.empty())
      return fmt::sprintf("テーブル %s がありません。", table.Name);
    for (const char* column : table.Columns)
      if (columns.count(column) == 0)
        return fmt::sprintf("テーブル %s に列 %s がありません。", table.Name, column);
  }
  return {};
}

// SQLite writes the file, creates its logs in the folder, and would give
// them the file's mode: a read-only database, left alone, fails every call
// and leaves logs behind that keep failing once its mode is mended.
std::string WriteProblem(const std::string& path) {
  if (::access(path.c_str(), W_OK) != 0)
    return fmt::sprintf("ファイルに書き込めません。(%s)", std::strerror(errno));
  const std::string folder = ProgramFolder();
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return fmt::sprintf("フォルダ %s に書き込めません。(%s)", folder, std::strerror(errno));
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    const std::string log = path + suffix;
    struct stat st {};
    if (::lstat(log.c_str(), &st) != 0)
      continue;
    if (!S_ISREG(st.st_mode))
      return fmt::sprintf("%s は通常のファイルではありません。", log);
    if (st.st_uid != ::geteuid())
      return fmt::sprintf("%s は他のユーザーのファイルです。", log);
    if (::access(log.c_str(), W_OK) != 0)
      return fmt::sprintf("%s に書き込めません。(%s)", log, std::strerror(errno));
  }
  return {};
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

std::string DatabaseFileProblem() {
  const std::string path = CtiDbFileName();
  // Opened without blocking, and only as a regular file: a FIFO in its
  // place can neither stall the start nor be read.
  const TUniqueFd fd = OpenRegularFile(path, O_RDONLY);
  struct stat st {};
  if (!fd.Valid() && (errno == EINVAL || errno == EISDIR))
    return "通常のファイルではありません。";
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0)
    return fmt::sprintf("ファイルを開けません。(%s)", std::strerror(errno));
  if (st.st_size == 0)
    return "ファイルが空です。";
  std::string header(SQLiteHeader.size(), '\0');
  const ssize_t count = ::read(fd.Get(), header.data(), header.size());
  if (count < 0)
    return fmt::sprintf("ファイルを読み込めません。(%s)", std::strerror(errno));
  if (!IsSQLiteDatabase(header.substr(0, static_cast<size_t>(count))))
    return "SQLiteのデータベースファイルではありません。";
  if (std::string problem = WriteProblem(path); !problem.empty())
    return problem;
  return ContentProblem(path);
}

namespace {

// Which file on which system: a copy (another PC, a backup restored, a
// template copied) has another. A copy written over the file in place
// keeps it; the book's answers tell that case (TOfficeBook).
std::string DatabaseIdentity(const std::string& fileName) {
  std::string machine;
  ReadFileBytes("/etc/machine-id", machine);
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0)
    return {};
  return fmt::format("{}:{}:{}", Trim(machine), st.st_dev, st.st_ino);
}

} // namespace

std::unique_ptr<TKsoCtiDb> OpenCtiDb(const std::string& fileName) {
  auto db = std::make_unique<TKsoCtiDb>(fileName);
  db->UpgradeSchema();
  db->KeepBookIdentity(DatabaseIdentity(fileName));
  return db;
}

void CreateCtiDb() {
  CtiDb = OpenCtiDb(CtiDbFileName());
}

// Build step: executes the schema SQL into a new SQLite file and brings it
// to the program's schema as the program would an older database: the
// database template the program ships. Usage: make-db-template <schema.sql> <output>
#include "data/KsoCtiDb.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <sqlite3.h>
#include <sstream>
#include <string>

namespace {

struct TCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};

bool ReadText(const char* path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return static_cast<bool>(in);
}

// Writes to "<output>.new" and renames, so an interrupted build leaves no
// half-made template behind.
bool MakeTemplate(const std::string& sql, const std::string& output) {
  const std::string pending = output + ".new";
  std::remove(pending.c_str());
  std::remove((pending + "-wal").c_str());
  std::remove((pending + "-shm").c_str());
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open(pending.c_str(), &handle);
  std::unique_ptr<sqlite3, TCloser> db(handle);
  char* error = nullptr;
  if (rc != SQLITE_OK ||
      sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "make-db-template: %s\n", error ? error : sqlite3_errmsg(db.get()));
    sqlite3_free(error);
    return false;
  }
  db.reset();
  try {
    TKsoCtiDb(pending).UpgradeSchema();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make-db-template: %s\n", e.what());
    return false;
  }
  return std::rename(pending.c_str(), output.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-db-template <schema.sql> <output>\n");
    return 2;
  }
  std::string sql;
  if (!ReadText(argv[1], sql)) {
    std::fprintf(stderr, "make-db-template: cannot read %s\n", argv[1]);
    return 1;
  }
  return MakeTemplate(sql, argv[2]) ? 0 : 1;
}

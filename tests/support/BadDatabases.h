#pragma once

#include <sys/stat.h>

#include "support/TempFolder.h"

#include <filesystem>
#include <sqlite3.h>
#include <string>

// What may stand where the call database belongs and cannot serve as one:
// "folder", "fifo", "text", "empty", "foreign" (an SQLite file in WAL mode without
// the tables), "column" (the template with a column dropped) and "damaged"
// (the template with the history table's page, the seventh, broken).
inline void MakeBadDatabase(const std::string& kind, const std::string& path,
                            const std::string& templatePath) {
  if (kind == "damaged") {
    std::filesystem::copy_file(templatePath, path);
    std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).seekp(4096 * 6).put('\x7f');
  } else if (kind == "folder") {
    std::filesystem::create_directory(path);
  } else if (kind == "fifo") {
    mkfifo(path.c_str(), 0600);
  } else if (kind == "text") {
    WriteFile(path, "phone_number,owner_name\r\n");
  } else if (kind == "empty") {
    WriteFile(path, "");
  } else {
    const char* sql = "PRAGMA journal_mode=WAL; CREATE TABLE calls (number TEXT);";
    if (kind == "column") {
      std::filesystem::copy_file(templatePath, path);
      sql = "ALTER TABLE phone_numbers DROP COLUMN memo3;";
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
}

// The file's bytes, or "<folder>" with its entry count; nothing beside it.
inline std::string DatabaseSnapshot(const std::string& path) {
  for (const char* suffix : {"-wal", "-shm", "-journal"})
    if (std::filesystem::exists(path + suffix))
      return std::string("unexpected ") + suffix;
  if (std::filesystem::is_fifo(path))
    return "<fifo>";
  if (std::filesystem::is_directory(path))
    return "<folder> " + std::to_string(std::distance(std::filesystem::directory_iterator(path),
                                                      std::filesystem::directory_iterator()));
  return ReadFile(path);
}

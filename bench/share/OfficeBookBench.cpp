// The office's one phone book through the real programs and a mosquitto
// broker on this machine: 10,000 entries of the book station reaching a new
// desk (from the desk's start to the last entry and the book's version
// stored), and an edit sent by another desk reaching a desk (from the edit's
// publication to the entry in that desk's database, where the desk's open
// phone list takes it in the same step).
#include "BenchResult.h"
#include "ProgramProcess.h"
#include "SharePrograms.h"
#include "fakes/MosquittoBroker.h"
#include "fakes/MqttTestClient.h"
#include "share/BookMessages.h"
#include "share/ShareExchange.h"
#include "support/RunProgram.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fmt/format.h>
#include <sqlite3.h>

namespace {

constexpr int kEntries = 10000;
constexpr int kEdits = 200;

// The first value of a query on a program's database ("" without one).
std::string Value(const std::string& folder, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string value;
  if (sqlite3_open_v2((folder + "/teloria2.db3").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
      SQLITE_OK) {
    sqlite3_busy_timeout(db, 1000);
    sqlite3_exec(
        db, sql.c_str(),
        [](void* out, int, char** values, char**) {
          *static_cast<std::string*>(out) = values[0] ? values[0] : "";
          return 0;
        },
        &value, nullptr);
  }
  sqlite3_close(db);
  return value;
}

bool Exec(const std::string& folder, const std::string& sql) {
  sqlite3* db = nullptr;
  const bool done = sqlite3_open((folder + "/teloria2.db3").c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return done;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
  const std::filesystem::path home = std::filesystem::temp_directory_path() / "teloria2-bench-book";
  std::filesystem::remove_all(home);
  TMosquittoBroker broker((home / "broker").string());
  if (!broker.Start())
    return 1;
  const std::string share = ShareSettings(broker.Port());
  const std::string station = Folder(home, "station", StationSettings(share, "book"));
  const std::string desk =
      Folder(home, "desk", share + "Mode=2\r\nStation=desk\r\nBookStation=book\r\n");
  for (const std::string& folder : {station, desk})
    std::filesystem::copy_file(TELORIA_DB_TEMPLATE, folder + "/teloria2.db3");
  std::string sql = "BEGIN;";
  for (int i = 0; i < kEntries; ++i)
    sql += fmt::format("INSERT INTO phone_numbers (phone_number, owner_name, memo1, created_date,"
                       " last_updated) VALUES ('03{:08}', '取引先{}', 'メモ', "
                       "'2026/01/05 09:00:00.000', '2026/01/05 09:00:00.000');",
                       i, i);
  if (!Exec(station, sql + "COMMIT;"))
    return 1;
  const auto book = Start(station);
  if (!WaitFor([&] { return Value(station, "SELECT book FROM book_state") == "book"; },
               std::chrono::seconds(30)))
    return 1;

  auto start = std::chrono::steady_clock::now();
  const auto reader = Start(desk);
  const auto whole = [&] {
    return Value(desk, "SELECT version FROM book_state") == "0" &&
           Value(desk, "SELECT count(*) FROM phone_numbers") == std::to_string(kEntries);
  };
  if (!WaitFor(whole, std::chrono::seconds(60))) {
    std::fprintf(stderr, "the desk holds %s entries (see %s)\n",
                 Value(desk, "SELECT count(*) FROM phone_numbers").c_str(), home.c_str());
    return 1;
  }
  PrintUnder("book: 10,000 entries to a new desk, desk start to the whole book stored",
             SecondsSince(start), 10, "s", 2);

  TMqttTestClient editor(broker.Port(), {});
  if (!editor.WaitConnected())
    return 1;
  std::vector<double> millis;
  for (int i = 1; i <= kEdits; ++i) {
    const std::string name = "版" + std::to_string(i);
    const std::string deskId = "editor-00000000000000ed";
    const TDeskEdit edit{
        deskId, i, {"save", {{"0300000007", name, "", "", "", "", ""}}, {}, "editor", ""}};
    const TShareRequest request{deskId + "-" + std::to_string(i), deskId, BookEditSubject,
                                DeskEditJson(edit)};
    start = std::chrono::steady_clock::now();
    if (!editor.Publish("teloria2/office/book/request/editor", EncodeShareRequest(request)) ||
        !WaitFor(
            [&] {
              return Value(desk, "SELECT owner_name FROM phone_numbers WHERE phone_number = "
                                 "'0300000007'") == name;
            },
            std::chrono::seconds(10)))
      return 1;
    millis.push_back(SecondsSince(start) * 1000);
  }
  std::sort(millis.begin(), millis.end());
  PrintResult("book: an edit of one desk in another desk's list, median",
              FigureText(millis[millis.size() / 2], "ms", 1));
  PrintUnder("book: an edit of one desk in another desk's list, p99",
             millis[millis.size() * 99 / 100], 1000, "ms", 1);
  reader->Terminate();
  book->Terminate();
  return 0;
}

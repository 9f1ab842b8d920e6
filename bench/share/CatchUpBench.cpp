// Time for a receiving desk that was away to catch up 3,000 calls of a
// sending station: from the desk's start to the last call recorded with the
// station's outcome, through the real programs and a mosquitto broker on
// this machine.
#include "BenchResult.h"
#include "LogTail.h"
#include "ProgramProcess.h"
#include "SharePrograms.h"
#include "fakes/MosquittoBroker.h"
#include "fakes/StationHistory.h"
#include "support/RunProgram.h"

#include <chrono>
#include <filesystem>

namespace {

constexpr int kCalls = 3000;

int EndedCalls(const std::string& folder) {
  sqlite3* db = nullptr;
  int count = 0;
  if (sqlite3_open_v2((folder + "/teloria2.db3").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
      SQLITE_OK)
    sqlite3_exec(
        db, "SELECT count(*) FROM incoming_numbers WHERE state = 2",
        [](void* out, int, char** values, char**) {
          *static_cast<int*>(out) = std::atoi(values[0]);
          return 0;
        },
        &count, nullptr);
  sqlite3_close(db);
  return count;
}

} // namespace

int main() {
  const std::filesystem::path home =
      std::filesystem::temp_directory_path() / "teloria2-bench-catchup";
  std::filesystem::remove_all(home);
  TMosquittoBroker broker((home / "broker").string());
  if (!broker.Start())
    return 1;
  const std::string share = ShareSettings(broker.Port());
  const std::string station = Folder(home, "station", StationSettings(share, "station"));
  const std::string desk = Folder(home, "desk", share + "Mode=2\r\nStation=desk\r\n");
  std::filesystem::copy_file(TELORIA_DB_TEMPLATE, station + "/teloria2.db3");
  if (!WriteStationHistory(station + "/teloria2.db3", "station", kCalls))
    return 1;
  const auto sender = Start(station);
  TLogTail log(station + "/logs");
  const auto connected = [&] {
    for (const std::string& line : log.NewLines())
      if (line.find("MQTTブローカーに接続しました。") != std::string::npos)
        return true;
    return false;
  };
  if (!WaitFor(connected, std::chrono::seconds(30)))
    return 1;

  const auto start = std::chrono::steady_clock::now();
  const auto receiver = Start(desk);
  if (!WaitFor([&] { return EndedCalls(desk) == kCalls; }, std::chrono::seconds(60))) {
    std::fprintf(stderr, "caught up %d of %d calls (see %s)\n", EndedCalls(desk), kCalls,
                 home.c_str());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  receiver->Terminate();
  sender->Terminate();
  PrintUnder("share: 3,000 missed calls caught up, desk start to the last recorded", seconds, 10,
             "s", 2);
  return 0;
}

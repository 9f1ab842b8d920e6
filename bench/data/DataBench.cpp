// The data store at the system's limits (10,000 phone-book entries, 3,000
// calls, 6,000 before a trim). Each call-database operation runs beside the
// same statement on the raw SQLite C API; the summary gives the ratio.
#include "BenchResult.h"
#include "base/CodePage.h"
#include "data/CsvFileLoader.h"
#include "data/CsvFileSaver.h"
#include "data/FileBytes.h"
#include "data/KsoCtiDb.h"

#include <benchmark/benchmark.h>
#include <fmt/printf.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace {

constexpr int PhoneLimit = 10000;
constexpr int IncomingLimit = 3000;

std::string Number(int i) {
  return fmt::sprintf("03%08d", i);
}
std::string DateText(int i) {
  return fmt::sprintf("2026/01/%02d %02d:%02d:%02d.000", 1 + i / 86400, i / 3600 % 24, i / 60 % 60,
                      i % 60);
}

// A program folder with a database filled to the limits, shared by all runs.
class TBenchDatabase {
public:
  TBenchDatabase() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "teloria-bench-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    ::setenv("TELORIA2_HOME", folder_.c_str(), 1);
    std::filesystem::copy_file(TELORIA_DB_TEMPLATE, folder_ + "/teloria2.db3.init");
    if (!CreateDatabaseFromTemplate())
      std::abort();
    db_ = std::make_unique<TKsoCtiDb>(CtiDbFileName());
    // The raw connection runs with the program's connection settings.
    if (sqlite3_open(CtiDbFileName().c_str(), &raw_) != SQLITE_OK ||
        sqlite3_exec(raw_, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr) != SQLITE_OK)
      std::abort();
    Fill();
  }
  ~TBenchDatabase() {
    db_.reset();
    sqlite3_close(raw_);
    std::filesystem::remove_all(folder_);
  }

  TKsoCtiDb& Db() { return *db_; }
  sqlite3* Raw() { return raw_; }
  const std::string& Folder() const { return folder_; }
  int NextSecond() { return nextSecond_++; }

  // Brings the history to `count` calls, newest last.
  void AddCalls(int count) {
    db_->BeginTransaction();
    for (int i = 0; i < count; ++i)
      db_->AddIncoming(Number(i % PhoneLimit), DateText(NextSecond()));
    db_->Commit();
  }

private:
  void Fill() {
    db_->BeginTransaction();
    for (int i = 0; i < PhoneLimit; ++i) {
      TTableRow row;
      row.SetValue("phone_number", Number(i));
      row.SetValue("owner_name", fmt::sprintf("山田 太郎 %d", i));
      row.SetValue("memo1", "取引先");
      row.SetValue("memo2", "東京都千代田区");
      row.SetValue("memo3", i == PhoneLimit / 2 ? "needle" : "memo");
      row.SetValue("created_date", DateText(i));
      row.SetValue("last_updated", DateText(i));
      db_->InsertPhoneNumber(row);
    }
    db_->Commit();
    AddCalls(IncomingLimit);
  }

  std::string folder_;
  std::unique_ptr<TKsoCtiDb> db_;
  sqlite3* raw_ = nullptr;
  int nextSecond_ = 0;
};

TBenchDatabase& Bench() {
  static TBenchDatabase bench;
  return bench;
}

// The raw counterpart: prepare, step, copy every cell's text, finalise.
std::vector<std::vector<std::string>> RawQuery(const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(Bench().Raw(), sql.c_str(), -1, &statement, nullptr);
  std::vector<std::vector<std::string>> rows;
  const int columns = sqlite3_column_count(statement);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    auto& row = rows.emplace_back();
    for (int c = 0; c < columns; ++c) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
      row.emplace_back(text != nullptr ? text : "");
    }
  }
  sqlite3_finalize(statement);
  return rows;
}

void RawExecute(const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(Bench().Raw(), sql.c_str(), -1, &statement, nullptr);
  if (sqlite3_step(statement) != SQLITE_DONE)
    std::abort();
  sqlite3_finalize(statement);
}

const std::string SearchSql = [] {
  std::string sql = "SELECT * FROM phone_numbers WHERE phone_number LIKE '%needle%' ESCAPE '\t'";
  for (const char* column : {"owner_name", "memo1", "memo2", "memo3", "exec_cmd"})
    sql += fmt::sprintf(" OR %s LIKE '%%needle%%' ESCAPE '\t'", column);
  return sql + " ORDER BY created_date DESC";
}();

void CtiDb_GetPhoneNumbers(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(Bench().Db().GetPhoneNumbers());
}
void Raw_GetPhoneNumbers(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(RawQuery("SELECT * FROM phone_numbers ORDER BY last_updated DESC"));
}

void CtiDb_SearchPhoneNumbers(benchmark::State& state) {
  for (auto _ : state) {
    const auto rows = Bench().Db().SearchPhoneNumbers("needle");
    if (rows->Count() != 1)
      state.SkipWithError("search missed");
  }
}
void Raw_SearchPhoneNumbers(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(RawQuery(SearchSql));
}

void CtiDb_GetIncomingList(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(Bench().Db().GetIncomingList(IncomingLimit));
}
void Raw_GetIncomingList(benchmark::State& state) {
  const std::string sql = fmt::sprintf(
      "SELECT i.*, p.owner_name FROM incoming_numbers i LEFT OUTER JOIN phone_numbers p"
      " ON i.phone_number = p.phone_number ORDER BY i.incoming_date DESC LIMIT %d",
      IncomingLimit);
  for (auto _ : state)
    benchmark::DoNotOptimize(RawQuery(sql));
}

void CtiDb_FindPhoneNumber(benchmark::State& state) {
  int i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(Bench().Db().FindPhoneNumber(Number(i++ * 7919 % PhoneLimit)));
}
void Raw_FindPhoneNumber(benchmark::State& state) {
  int i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(RawQuery(fmt::sprintf(
        "SELECT * FROM phone_numbers WHERE phone_number = '%s'", Number(i++ * 7919 % PhoneLimit))));
}

// What start-up checks before it opens the database, SQLite's quick check of
// every page the most of it.
void CtiDb_StartupCheck(benchmark::State& state) {
  for (auto _ : state)
    if (!DatabaseFileProblem().empty())
      state.SkipWithError("the database fails its check");
}

// Each write is flushed to the disk: its slowest calls matter, not its mean.
std::map<std::string, std::vector<double>> WriteMs;

template <typename TWrite> void TimeWrite(const char* name, TWrite write) {
  const auto start = std::chrono::steady_clock::now();
  write();
  WriteMs[name].push_back(
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
}

void CtiDb_AddIncoming(benchmark::State& state) {
  for (auto _ : state)
    TimeWrite("AddIncoming", [&] {
      Bench().Db().AddIncoming(Number(state.iterations() % PhoneLimit),
                               DateText(Bench().NextSecond()));
    });
}
void Raw_AddIncoming(benchmark::State& state) {
  for (auto _ : state) {
    const auto next = RawQuery("SELECT coalesce(max(incoming_order),0) FROM incoming_numbers");
    RawExecute(fmt::sprintf("INSERT INTO incoming_numbers ( incoming_order, incoming_date,"
                            " phone_number ) VALUES ( %d, '%s', '%s' )",
                            std::atoi(next[0][0].c_str()) + 1, DateText(Bench().NextSecond()),
                            Number(state.iterations() % PhoneLimit)));
  }
}

void CtiDb_UpdateLastIncomingDate(benchmark::State& state) {
  for (auto _ : state)
    TimeWrite("UpdateLastIncomingDate", [&] {
      Bench().Db().UpdateLastIncomingDate(Number(state.iterations() * 7919 % PhoneLimit),
                                          DateText(Bench().NextSecond()));
    });
}
void Raw_UpdateLastIncomingDate(benchmark::State& state) {
  for (auto _ : state)
    RawExecute(fmt::sprintf("UPDATE phone_numbers SET last_incoming_date = '%s'"
                            " WHERE phone_number = '%s'",
                            DateText(Bench().NextSecond()),
                            Number(state.iterations() * 7919 % PhoneLimit)));
}

// Each run starts from 6,000 calls: the history is trimmed to 3,000 first
// and refilled with 3,000 newer calls outside the timing.
void RefillHistory(benchmark::State& state) {
  state.PauseTiming();
  Bench().Db().TrimIncoming(IncomingLimit);
  Bench().AddCalls(IncomingLimit);
  state.ResumeTiming();
}

void CtiDb_TrimIncoming(benchmark::State& state) {
  for (auto _ : state) {
    RefillHistory(state);
    Bench().Db().TrimIncoming(IncomingLimit);
  }
}
void Raw_TrimIncoming(benchmark::State& state) {
  for (auto _ : state) {
    RefillHistory(state);
    const auto keep = RawQuery(fmt::sprintf("SELECT incoming_order, incoming_date FROM"
                                            " incoming_numbers ORDER BY incoming_date DESC"
                                            " LIMIT %d",
                                            IncomingLimit));
    RawExecute("BEGIN TRANSACTION");
    RawExecute("UPDATE incoming_numbers SET marked=0");
    for (const auto& row : keep)
      RawExecute(fmt::sprintf("UPDATE incoming_numbers SET marked = 1 WHERE incoming_order = %s"
                              " AND incoming_date = '%s'",
                              row[0], row[1]));
    RawExecute("DELETE FROM incoming_numbers WHERE marked=0");
    RawExecute("COMMIT");
  }
}

// A phone-list file of 10,000 records, as the export writes it.
TCsvRows PhoneListRows() {
  TCsvRows rows;
  const auto entries = Bench().Db().GetPhoneNumbers();
  for (int i = 0; i < entries->Count(); ++i) {
    auto row = std::make_unique<TCsvRow>();
    for (const char* name : {"phone_number", "owner_name", "memo1", "memo2", "memo3", "exec_cmd"})
      row->Add((*entries)[i].GetValue(name));
    row->Add("2026/01/01 12:34:56");
    rows.Add(std::move(row));
  }
  return rows;
}

void Csv_Save(benchmark::State& state) {
  const TCsvRows rows = PhoneListRows();
  const std::string path = Bench().Folder() + "/phones.csv";
  for (auto _ : state)
    TCsvFileSaver::Save(path, rows);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}

void Csv_Load(benchmark::State& state) {
  const std::string path = Bench().Folder() + "/phones.csv";
  TCsvFileSaver::Save(path, PhoneListRows());
  for (auto _ : state) {
    TCsvRows rows;
    TCsvFileLoader::Load(path, rows);
    if (rows.Count() != PhoneLimit)
      state.SkipWithError("records lost");
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}

BENCHMARK(CtiDb_GetPhoneNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK(Raw_GetPhoneNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK(CtiDb_SearchPhoneNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK(Raw_SearchPhoneNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK(CtiDb_GetIncomingList)->Unit(benchmark::kMillisecond);
BENCHMARK(Raw_GetIncomingList)->Unit(benchmark::kMillisecond);
BENCHMARK(CtiDb_FindPhoneNumber)->Unit(benchmark::kMicrosecond);
BENCHMARK(Raw_FindPhoneNumber)->Unit(benchmark::kMicrosecond);
BENCHMARK(CtiDb_StartupCheck)->Unit(benchmark::kMillisecond);
BENCHMARK(CtiDb_AddIncoming)->Unit(benchmark::kMicrosecond)->Iterations(1000);
BENCHMARK(Raw_AddIncoming)->Unit(benchmark::kMicrosecond);
BENCHMARK(CtiDb_UpdateLastIncomingDate)->Unit(benchmark::kMicrosecond)->Iterations(1000);
BENCHMARK(Raw_UpdateLastIncomingDate)->Unit(benchmark::kMicrosecond);
BENCHMARK(CtiDb_TrimIncoming)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Raw_TrimIncoming)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Csv_Save)->Unit(benchmark::kMillisecond);
BENCHMARK(Csv_Load)->Unit(benchmark::kMillisecond);

// Console output plus one line per pair: the CtiDb time over the raw time;
// then the result lines of the figures that have goals.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
  // No colours: the output goes to a log as often as to a terminal.
  TRatioReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // "CtiDb_TrimIncoming/iterations:5" and the like: the part before '/'.
      const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find('/'));
      times_[name] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      const auto bytes = run.counters.find("bytes_per_second");
      if (bytes != run.counters.end())
        rates_[name] = bytes->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nCtiDb time / raw SQLite time:\n");
    for (const auto& [name, time] : times_) {
      if (name.rfind("CtiDb_", 0) != 0)
        continue;
      const auto raw = times_.find("Raw_" + name.substr(6));
      if (raw != times_.end() && raw->second > 0)
        std::printf("  %-28s %.2f\n", name.substr(6).c_str(), time / raw->second);
    }
    PrintResults();
  }

private:
  void PrintResults() {
    for (const char* name : {"GetPhoneNumbers", "SearchPhoneNumbers", "GetIncomingList"}) {
      const std::string measure = std::string(name) + " (10,000 entries, 3,000 calls)";
      if (!Ran("CtiDb_", name) || !Ran("Raw_", name)) {
        PrintResult(measure, "not run", "within 2 x", "fail");
        continue;
      }
      const double ratio =
          times_["CtiDb_" + std::string(name)] / times_["Raw_" + std::string(name)];
      char figure[32];
      std::snprintf(figure, sizeof figure, "%.2f x raw SQLite", ratio);
      PrintResult(measure, figure, "within 2 x", ratio <= 2 ? "pass" : "fail");
    }
    Under("FindPhoneNumber", "FindPhoneNumber", 0.2, 3);
    Under("StartupCheck", "database check at start (10,000 entries, 3,000 calls)", 100, 1);
    for (auto& [name, ms] : WriteMs) {
      std::sort(ms.begin(), ms.end());
      PrintUnder(name + ", p99", ms[ms.size() * 99 / 100], 10, "ms", 2);
    }
    Under("TrimIncoming", "TrimIncoming (6,000 calls to 3,000)", 150, 1);
    PrintResult("save a CSV phone list of 10,000 records",
                FigureText(rates_["Csv_Save"] / 1e6, "MB/s"));
    PrintResult("load a CSV phone list of 10,000 records",
                FigureText(rates_["Csv_Load"] / 1e6, "MB/s"));
  }
  bool Ran(const char* side, const char* name) const {
    return times_.count(side + std::string(name)) != 0;
  }
  // The CtiDb time of `name` in ms against a goal.
  void Under(const char* name, const char* measure, double limitMs, int decimals) {
    if (Ran("CtiDb_", name))
      PrintUnder(measure, times_["CtiDb_" + std::string(name)] * 1e3, limitMs, "ms", decimals);
    else
      PrintResult(measure, "not run", "-", "fail");
  }

  std::map<std::string, double> times_; // seconds per iteration
  std::map<std::string, double> rates_; // bytes per second
};

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

#include "CallDatabaseFolder.h"
#include "data/CallHistory.h"
#include "data/PhoneBook.h"
#include "data/SQLiteDatabase.h"
#include "support/FaultVfs.h"

#include <fmt/printf.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace {

struct TNamedFault {
  const char* Name;
  TFault Fault;
};
const TNamedFault FaultKinds[] = {
    {"write: I/O error", {TFaultPoint::Write, SQLITE_IOERR_WRITE}},
    {"write: disk full", {TFaultPoint::Write, SQLITE_FULL}},
    {"sync: I/O error", {TFaultPoint::Sync, SQLITE_IOERR_FSYNC}},
    {"lock: busy", {TFaultPoint::Lock, SQLITE_BUSY}},
    {"lock: I/O error", {TFaultPoint::Lock, SQLITE_IOERR_LOCK}},
};

// What a user or a call does to the database: steps that each apply wholly
// or not at all, run on the state Seed makes.
struct TOperation {
  std::function<void()> Seed;
  std::vector<std::function<void()>> Steps;
  // Past the first ten calls, every how many calls a fault is tried.
  int Stride = 1;
};

std::string Date(int minute) {
  return fmt::sprintf("2026/12/07 10:%02d:00.000", minute);
}
std::string Number(int i) {
  return fmt::sprintf("03%08d", i);
}
TTableRow Entry(const std::string& number, const std::string& name) {
  TTableRow entry;
  entry.SetValue("phone_number", number);
  entry.SetValue("owner_name", name);
  return entry;
}
void SaveEntries(int count) {
  for (int i = 0; i < count; ++i) {
    TTableRow entry = Entry(Number(i), "seed " + std::to_string(i));
    PhoneBook().Save(entry);
  }
}
std::vector<TCallKey> AddCalls(int count) {
  std::vector<TCallKey> calls;
  for (int i = 0; i < count; ++i)
    calls.push_back({CallHistory().AddCall(Number(i), Date(i)), Date(i)});
  return calls;
}

// Every failure point of each operation under each fault: the database
// stays sound, holds the state of the steps that succeeded, reports the
// fault as the caller expects, and takes the rest once the fault is gone.
class DatabaseFaultTest : public TFixedClockDatabaseFolder {
protected:
  void Sweep(const TOperation& op) {
    const std::vector<std::string> states = Rehearse(op);
    for (const auto& [name, fault] : FaultKinds) {
      SCOPED_TRACE(name);
      for (int nth = 1; StrikeAt(op, fault, nth, states); nth += nth < 10 ? 1 : op.Stride)
        ASSERT_LT(nth, 3000) << "the fault keeps striking";
    }
  }

  TFaultVfs vfs_;

private:
  // The state before the operation and after each of its steps.
  std::vector<std::string> Rehearse(const TOperation& op) {
    Seed(op);
    Fresh(SeededFile());
    std::vector<std::string> states{Snapshot()};
    for (const auto& step : op.Steps) {
      step();
      states.push_back(Snapshot());
    }
    return states;
  }

  // False once the operation ran without meeting the fault.
  bool StrikeAt(const TOperation& op, const TFault& fault, int nth,
                const std::vector<std::string>& states) {
    SCOPED_TRACE(fmt::sprintf("fault at call %d", nth));
    Fresh(SeededFile());
    vfs_.Arm(fault, nth);
    size_t done = StepsBeforeFailure(op);
    const bool struck = vfs_.Struck();
    vfs_.Disarm();
    EXPECT_TRUE(struck || done == op.Steps.size());
    EXPECT_EQ(Snapshot(), states[done]) << "after " << done << " steps";
    for (; done < op.Steps.size(); ++done)
      EXPECT_NO_THROW(op.Steps[done]()) << "step " << done << " once the fault is gone";
    EXPECT_EQ(Snapshot(), states.back());
    return struck;
  }

  // Every failure reaches the caller as the one exception it handles.
  static size_t StepsBeforeFailure(const TOperation& op) {
    size_t done = 0;
    try {
      for (; done < op.Steps.size(); ++done)
        op.Steps[done]();
    } catch (const ESQLiteException&) {
    }
    return done;
  }

  // The seeded database, closed: its WAL checkpointed and removed.
  void Seed(const TOperation& op) {
    Fresh(TemplateFile());
    op.Seed();
    CtiDb.reset();
    std::filesystem::copy_file(CtiDbFileName(), SeededFile(),
                               std::filesystem::copy_options::overwrite_existing);
  }
  // The program as just started on a copy of `file`: the first commit writes
  // and flushes the WAL's header, the first read takes the file's lock.
  void Fresh(const std::string& file) {
    CtiDb.reset();
    for (const char* suffix : {"", "-wal", "-shm"})
      std::filesystem::remove(CtiDbFileName() + suffix);
    std::filesystem::copy_file(file, CtiDbFileName());
    CreateCtiDb();
  }
  std::string TemplateFile() const { return Path("teloria2.db3.init"); }
  std::string SeededFile() const { return Path("seeded.db3"); }

  // What another connection sees committed: row counts and a digest of
  // both lists, once the file has passed its integrity check.
  static std::string Snapshot() {
    TSQLiteDatabase db(CtiDbFileName());
    EXPECT_EQ(Dump(db, "PRAGMA integrity_check"), "ok|\n");
    std::string snapshot;
    for (const char* table : {"phone_numbers", "incoming_numbers"}) {
      const std::string rows = Dump(db, fmt::sprintf("SELECT * FROM %s ORDER BY 1, 2", table));
      snapshot +=
          fmt::sprintf("%s: %d rows #%x\n", table, std::count(rows.begin(), rows.end(), '\n'),
                       std::hash<std::string>()(rows));
    }
    return snapshot;
  }
  static std::string Dump(TSQLiteDatabase& db, const std::string& sql) {
    const auto rows = db.Query(sql);
    std::string text;
    for (; !rows->AtEnd(); rows->Next()) {
      for (int i = 0; i < rows->ColumnCount(); ++i)
        text += rows->ValueAsText(i) + "|";
      text += "\n";
    }
    return text;
  }
};

TEST_F(DatabaseFaultTest, EveryCommitIsFlushedToTheDisk) {
  AddCalls(1); // the first commit also flushes the new log's header
  vfs_.Arm({TFaultPoint::Sync, SQLITE_IOERR_FSYNC}, 1);
  EXPECT_THROW(CallHistory().AddCall(Number(1), Date(1)), ESQLiteException);
}

TEST_F(DatabaseFaultTest, CallRegistrationAndHookUpdates) {
  const TCallKey call{2, Date(1)};
  TTableRow entry = Entry(Number(7), "");
  entry.SetValue("created_date", call.Date);
  entry.SetValue("last_updated", call.Date);
  Sweep(
      {[] { AddCalls(1); },
       {[&] { CallHistory().AddCall(Number(7), call.Date); }, [&] { PhoneBook().Register(entry); },
        [&] { PhoneBook().SetLastIncomingDate(Number(7), call.Date); },
        [&] { CallHistory().SetAnswered(call, 6); }, [&] { CallHistory().SetHungUp(call, 75); }}});
}

TEST_F(DatabaseFaultTest, ImportOfAThousandRecords) {
  std::string csv;
  for (int i = 5; i < 1005; ++i)
    csv += fmt::sprintf("%s,name %d,memo %d,,,\r\n", Number(i), i, i);
  WriteFile(Path("import.csv"), csv);
  Sweep(
      {[] { SaveEntries(10); }, {[&] { PhoneBook().ImportFile(Path("import.csv"), 10000); }}, 10});
}

TEST_F(DatabaseFaultTest, HistoryTrim) {
  Sweep({[] { AddCalls(30); }, {[] { CallHistory().Trim(20); }}});
}

TEST_F(DatabaseFaultTest, DeletingPhoneBookEntries) {
  Sweep({[] { SaveEntries(30); }, {[] {
           PhoneBook().Delete({Number(3), Number(4), Number(5), Number(20), Number(29)});
         }}});
}

TEST_F(DatabaseFaultTest, DeletingHistoryCalls) {
  Sweep({[] { AddCalls(30); }, {[] {
           CallHistory().Delete({{4, Date(3)}, {5, Date(4)}, {21, Date(20)}, {30, Date(29)}});
         }}});
}

TEST_F(DatabaseFaultTest, SavingAnEntry) {
  Sweep({[] { SaveEntries(1); },
         {[] {
            TTableRow entry = Entry(Number(0), "changed");
            PhoneBook().Save(entry);
          },
          [] {
            TTableRow entry = Entry(Number(1), "new");
            PhoneBook().Save(entry);
          }}});
}

} // namespace

// Another reader opening the file in the moment the program starts holds
// the log's lock briefly: the start waits for it instead of giving up.
TEST_F(DatabaseFaultTest, ALockHeldForAMomentDoesNotFailTheStartCheck) {
  AddCalls(1); // the log is there: the check reads through it, with locks
  vfs_.Arm({TFaultPoint::Lock, SQLITE_BUSY}, 1, 3);
  EXPECT_EQ(DatabaseFileProblem(), "");
  EXPECT_TRUE(vfs_.Struck());
}

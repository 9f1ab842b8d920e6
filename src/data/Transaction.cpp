#include "data/Transaction.h"

#include "data/SQLiteDatabase.h"

TTransaction::TTransaction(TSQLiteDatabase& db) : db_(db) {
  db_.BeginTransaction();
}

TTransaction::~TTransaction() {
  if (!open_)
    return;
  try {
    db_.Rollback();
  } catch (const std::exception&) {
    // See the class comment.
  }
}

void TTransaction::Commit() {
  db_.Commit();
  open_ = false;
}

#include "data/Transaction.h"

#include "data/SQLiteDatabase.h"

TTransaction::TTransaction(TSQLiteDatabase& db) : db_(db) {
  db_.BeginTransaction();
}

TTransaction::TTransaction(TSQLiteDatabase& db, bool join) : db_(db) {
  own_ = !(join && db_.InTransaction());
  if (own_)
    db_.BeginTransaction();
}

TTransaction::~TTransaction() {
  if (!open_ || !own_)
    return;
  try {
    db_.Rollback();
  } catch (const std::exception&) {
    // See the class comment.
  }
}

void TTransaction::Commit() {
  if (own_)
    db_.Commit();
  open_ = false;
}

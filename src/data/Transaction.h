#pragma once

class TSQLiteDatabase;

// One transaction of a connection: begun on construction, rolled back on
// destruction unless committed, so no failure leaves one open. A failing
// rollback is not reported: the failure that led to it is the one worth
// reporting, and closing the connection discards the transaction anyway.
class TTransaction {
public:
  explicit TTransaction(TSQLiteDatabase& db);
  // With `join`, a transaction open already is joined instead: it is its
  // owner's to commit or roll back.
  TTransaction(TSQLiteDatabase& db, bool join);
  ~TTransaction();
  TTransaction(const TTransaction&) = delete;
  TTransaction& operator=(const TTransaction&) = delete;

  void Commit();

private:
  TSQLiteDatabase& db_;
  bool open_ = true;
  bool own_ = true;
};

#pragma once

// A transaction of CtiDb: begun on construction, rolled back on destruction
// unless committed, so no failure leaves one open.
class TDbTransaction {
public:
  TDbTransaction();
  ~TDbTransaction();
  TDbTransaction(const TDbTransaction&) = delete;
  TDbTransaction& operator=(const TDbTransaction&) = delete;

  void Commit();

private:
  bool open_ = true;
};

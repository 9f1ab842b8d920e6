#include "ui/DbTransaction.h"

#include "data/KsoCtiDb.h"
#include "settings/Logging.h"

TDbTransaction::TDbTransaction() {
  CtiDb->BeginTransaction();
}

TDbTransaction::~TDbTransaction() {
  if (!open_)
    return;
  try {
    CtiDb->Rollback();
  } catch (const std::exception& e) {
    LogException(llError, "ロールバックに失敗しました。", e);
  }
}

void TDbTransaction::Commit() {
  CtiDb->Commit();
  open_ = false;
}

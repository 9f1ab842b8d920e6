#include "common2/MirelKT5CommError.h"

#include <fmt/printf.h>

namespace {

const char* FixedMessage(uint32_t errCode) {
  switch (errCode) {
  case CommErrorCode::ChangedWhileOpen:
    return "回線をクローズしてから設定して下さい。";
  case CommErrorCode::NotOpen:
    return "ポートはオープンしていません。";
  case CommErrorCode::WriteFailed:
    return "書き込みできません。";
  case CommErrorCode::ReadFailed:
    return "読み込みできません。";
  case CommErrorCode::MemorySendTimeout:
  case CommErrorCode::ClockSendTimeout:
    return "パケット送信タイムアウト";
  case CommErrorCode::MemoryReceiveTimeout:
    return "パケット受信タイムアウトまたはデータ異常です。";
  case CommErrorCode::CtsOff:
    return "CTS がオフ状態のため通信できません。";
  default:
    return "";
  }
}

} // namespace

EMirelKT5CommError MakeCommError(uint32_t errCode, uint32_t w32ErrCode) {
  return EMirelKT5CommError(errCode, FixedMessage(errCode), w32ErrCode);
}

EMirelKT5CommError MakeOpenError(const std::string& portName, uint32_t w32ErrCode) {
  return EMirelKT5CommError(CommErrorCode::OpenFailed,
                            fmt::sprintf("%sポートをオープンできません。", portName), w32ErrCode);
}

EMirelKT5CommError MakeCountError(uint32_t errCode, int requested, int actual) {
  const char* pattern = errCode == CommErrorCode::ShortWrite
                            ? "書き込み不足です。（要求=%d 実際=%d）"
                            : "読み込み不足です。（要求=%d 実際=%d）";
  return EMirelKT5CommError(errCode, fmt::sprintf(pattern, requested, actual));
}

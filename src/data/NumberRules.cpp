#include "data/NumberRules.h"

std::string NumberDisplayText(std::string_view phoneNumber) {
  static const std::pair<const char*, const char*> codes[] = {
      {"P", "非通知"}, {"O", "表示圏外"}, {"S", "表示圏外"}, {"C", "公衆電話"}, {"E", "エラー"}};
  for (const auto& [code, word] : codes)
    if (phoneNumber == code)
      return word;
  return std::string(phoneNumber);
}

bool IsValidNumber(std::string_view phoneNumber) {
  return !phoneNumber.empty() && phoneNumber[0] >= '0' && phoneNumber[0] <= '9';
}

#include "data/FloatText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Precision = 15;

struct TDecimal {
  bool Negative = false;
  std::string Digits; // significant digits, no trailing zeros
  int Exponent = 0;   // value = 0.d1d2... * 10^(Exponent + 1)
};

TDecimal Decompose(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof(buffer), "%.*e", Precision - 1, value);
  TDecimal result;
  const char* p = buffer;
  if (*p == '-') {
    result.Negative = true;
    ++p;
  }
  for (; *p != 'e'; ++p) {
    if (*p != '.')
      result.Digits += *p;
  }
  result.Exponent = std::atoi(p + 1);
  while (result.Digits.size() > 1 && result.Digits.back() == '0')
    result.Digits.pop_back();
  return result;
}

std::string FixedText(const TDecimal& d) {
  if (d.Exponent < 0)
    return "0." + std::string(static_cast<size_t>(-d.Exponent - 1), '0') + d.Digits;
  const auto integerDigits = static_cast<size_t>(d.Exponent + 1);
  if (d.Digits.size() <= integerDigits)
    return d.Digits + std::string(integerDigits - d.Digits.size(), '0');
  return d.Digits.substr(0, integerDigits) + "." + d.Digits.substr(integerDigits);
}

std::string ScientificText(const TDecimal& d) {
  std::string text(1, d.Digits[0]);
  if (d.Digits.size() > 1)
    text += "." + d.Digits.substr(1);
  return text + "E" + std::to_string(d.Exponent);
}

} // namespace

std::string FloatToStr(double value) {
  if (std::isnan(value))
    return "NAN";
  if (std::isinf(value))
    return value > 0 ? "INF" : "-INF";
  if (value == 0.0)
    return "0";
  const TDecimal d = Decompose(value);
  const bool fixed = d.Exponent < Precision && d.Exponent >= -5;
  return (d.Negative ? "-" : "") + (fixed ? FixedText(d) : ScientificText(d));
}

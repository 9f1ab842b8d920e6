#include "NumberField.h"

#include "base/CodePage.h"

#include <algorithm>

std::string NumberFieldText(std::string_view utf8) {
  const std::string cp932 = Utf8ToCp932(utf8);
  size_t end = 0;
  while (end < cp932.size()) {
    const size_t width = IsCp932LeadByte(static_cast<unsigned char>(cp932[end])) ? 2 : 1;
    if (end + width > NumberFieldBytes)
      break;
    end += width;
  }
  return cp932.substr(0, std::min(end, cp932.size()));
}

std::string PaddedNumberField(std::string_view cp932) {
  std::string field(cp932.substr(0, NumberFieldBytes));
  field.resize(NumberFieldBytes, ' ');
  return field;
}

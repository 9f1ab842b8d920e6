#include "data/CsvRow.h"

#include <fmt/printf.h>

std::string TCsvRow::GetField(int index) const {
  if (index < 0 || index >= Count())
    return {};
  return fields_[static_cast<size_t>(index)];
}

void TCsvRow::SetField(int index, std::string value) {
  if (index < 0)
    throw Exception(fmt::sprintf("List index out of bounds (%d)", index));
  if (index >= Count())
    fields_.resize(static_cast<size_t>(index) + 1);
  fields_[static_cast<size_t>(index)] = std::move(value);
}

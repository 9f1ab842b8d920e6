#include "data/TableRow.h"

#include "base/Text.h"

#include <algorithm>

namespace {

bool NameBefore(const TTableRow::TEntry& entry, const std::string& name) {
  return entry.first < name;
}

} // namespace

std::vector<TTableRow::TEntry>::const_iterator TTableRow::Find(const std::string& lowerName) const {
  const auto it = std::lower_bound(entries_.begin(), entries_.end(), lowerName, NameBefore);
  if (it != entries_.end() && it->first == lowerName)
    return it;
  return entries_.end();
}

std::string TTableRow::GetValue(std::string_view name) const {
  const auto it = Find(LowerCaseAscii(name));
  return it == entries_.end() ? std::string() : it->second.Value;
}

bool TTableRow::Contains(std::string_view name) const {
  return Find(LowerCaseAscii(name)) != entries_.end();
}

void TTableRow::SetValue(std::string_view name, std::string value) {
  std::string lowerName = LowerCaseAscii(name);
  const auto it = std::lower_bound(entries_.begin(), entries_.end(), lowerName, NameBefore);
  if (it != entries_.end() && it->first == lowerName)
    it->second.Value = std::move(value);
  else
    entries_.insert(it, TEntry(std::move(lowerName), TTableRowColValue{std::move(value)}));
}

void TTableRow::Assign(const TTableRow& source) {
  if (&source != this)
    entries_ = source.entries_;
}

std::unique_ptr<TTableRow> TTableRow::Clone() const {
  return std::make_unique<TTableRow>(*this);
}

void TTableRow::Clear() {
  entries_.clear();
}

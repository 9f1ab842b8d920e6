#pragma once

#include "data/OwningList.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TTableRowColValue {
  std::string Value;
};

// A database row (or the record of a call in progress) as a dictionary from
// column name to text, ordered by name. Names compare case-insensitively
// (ASCII); an absent name reads as "".
class TTableRow {
public:
  using TEntry = std::pair<std::string, TTableRowColValue>; // lower-case name

  TTableRow() = default;
  // Entries whose names are lower case, unique and in order.
  explicit TTableRow(std::vector<TEntry> orderedEntries) : entries_(std::move(orderedEntries)) {}

  std::string GetValue(std::string_view name) const;
  void SetValue(std::string_view name, std::string value);
  void Assign(const TTableRow& source);
  std::unique_ptr<TTableRow> Clone() const;
  void Clear();
  bool Contains(std::string_view name) const;
  int Count() const { return static_cast<int>(entries_.size()); }
  // Entries in name order.
  const std::vector<TEntry>& Entries() const { return entries_; }

private:
  std::vector<TEntry>::const_iterator Find(const std::string& lowerName) const;

  std::vector<TEntry> entries_;
};

// An owning list of rows.
class TTableRows : public TOwningList<TTableRow> {};

#pragma once

#include "data/OwningList.h"

#include <string>
#include <vector>

// One CSV record: an ordered list of field texts (UTF-8).
class TCsvRow {
public:
  // "" past the end.
  std::string GetField(int index) const;
  // Writing past the end first appends empty fields up to it.
  void SetField(int index, std::string value);
  void Add(std::string value) { fields_.push_back(std::move(value)); }
  int Count() const { return static_cast<int>(fields_.size()); }
  const std::vector<std::string>& Fields() const { return fields_; }

private:
  std::vector<std::string> fields_;
};

// An owning list of CSV records.
class TCsvRows : public TOwningList<TCsvRow> {};

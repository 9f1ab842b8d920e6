#pragma once

#include "base/Exception.h"

#include <fmt/printf.h>

#include <memory>
#include <vector>

// An ordered list that owns its items: deleting, clearing or destroying the
// list frees the items concerned. Indexes outside 0..Count-1 raise.
template <typename T> class TOwningList {
public:
  int Count() const { return static_cast<int>(items_.size()); }

  // Returns the index of the new item.
  int Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
  }
  // Index may equal Count (append).
  void Insert(int index, std::unique_ptr<T> item) {
    if (index != Count())
      CheckIndex(index);
    items_.insert(items_.begin() + index, std::move(item));
  }
  void Delete(int index) {
    CheckIndex(index);
    items_.erase(items_.begin() + index);
  }
  void Clear() { items_.clear(); }

  T& Items(int index) {
    CheckIndex(index);
    return *items_[static_cast<size_t>(index)];
  }
  const T& Items(int index) const {
    CheckIndex(index);
    return *items_[static_cast<size_t>(index)];
  }
  T& operator[](int index) { return Items(index); }
  const T& operator[](int index) const { return Items(index); }

private:
  void CheckIndex(int index) const {
    if (index < 0 || index >= Count())
      throw Exception(fmt::sprintf("List index out of bounds (%d)", index));
  }

  std::vector<std::unique_ptr<T>> items_;
};

#pragma once
// The column indexes of an import: a list of 32-bit integers with add and index-of.
#include <cstdint>
#include <vector>

#include "base/system.h"

// An ordered list of 32-bit integers.
class TIntegerList {
public:
  // The index of the new item.
  int Add(int32_t Value);
  // The index of the first item equal to Value, or -1.
  int IndexOf(int32_t Value) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  // Index from 0; out of range raises EListError.
  int32_t operator[](int Index) const;

private:
  std::vector<int32_t> FItems;
};

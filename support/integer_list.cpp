#include "support/integer_list.h"

#include <algorithm>

#include "base/exceptions.h"

namespace {
AnsiString ListIndexMessage(int Index) {
  return Format("Listenindex \xFC"
                "berschreitet das Maximum (%d)",
                Index);
}
} // namespace

int TIntegerList::Add(int32_t Value) {
  FItems.push_back(Value);
  return Count() - 1;
}

int TIntegerList::IndexOf(int32_t Value) const {
  const auto it = std::find(FItems.begin(), FItems.end(), Value);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

int32_t TIntegerList::operator[](int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(ListIndexMessage(Index));
  return FItems[static_cast<size_t>(Index)];
}

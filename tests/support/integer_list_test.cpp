#include "support/integer_list.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"

namespace {

TEST(IntegerList, AddAndIndexOf) {
  TIntegerList list;
  EXPECT_EQ(list.IndexOf(0), -1);
  const int32_t values[] = {7, -3, 7, INT32_MIN, INT32_MAX, 0};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(list.Add(values[i]), i);
  EXPECT_EQ(list.Count(), 6);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(list[i], values[i]);
  const std::pair<int32_t, int> lookups[] = {{7, 0}, {-3, 1}, {INT32_MIN, 3}, {INT32_MAX, 4},
                                             {0, 5}, {8, -1}, {-7, -1}};
  for (const auto& [value, index] : lookups)
    EXPECT_EQ(list.IndexOf(value), index) << value;
}

TEST(IntegerList, IndexOutOfRangeRaisesListError) {
  TIntegerList list;
  const std::pair<int, int> probes[] = {{0, 0}, {1, -1}, {1, 1}, {1, INT32_MAX}};
  for (const auto& [count, index] : probes) {
    while (list.Count() < count)
      list.Add(42);
    try {
      (void)list[index];
      ADD_FAILURE() << "no error for index " << index;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), Format("Listenindex \xFC"
                                    "berschreitet das Maximum (%d)",
                                    index));
    }
  }
}

} // namespace

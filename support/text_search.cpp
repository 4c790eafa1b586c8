#include "support/text_search.h"

#include <climits>

#include "base/exceptions.h"
#include "platform/platform.h"

unsigned char UpperCaseTable[256];

namespace {

struct TUpperCaseTableInit {
  TUpperCaseTableInit() {
    for (int i = 0; i < 256; ++i)
      UpperCaseTable[i] = static_cast<unsigned char>(i);
    platform::UpperCaseAnsi(reinterpret_cast<char*>(UpperCaseTable), 256);
  }
} UpperCaseTableInit;

struct TExactKey {
  unsigned char operator()(char c) const { return static_cast<unsigned char>(c); }
};

struct TCaselessKey {
  unsigned char operator()(char c) const { return UpperCaseTable[static_cast<unsigned char>(c)]; }
};

constexpr size_t ShortText = 256;

template <typename Key>
int64_t SearchForward(std::string_view Pattern, std::string_view Text, int64_t StartPos, Key key) {
  const size_t m = Pattern.size();
  if (m == 0) throw Exception("BufferLen is 0");
  const size_t n = Text.size();
  const size_t first = StartPos < 1 ? 0 : static_cast<size_t>(StartPos - 1);
  if (m > n || first > n - m) return 0;

  const char* p = Pattern.data();
  const char* t = Text.data();
  // Short texts, such as a name searched for its words, are done before a shift table is filled.
  if (n - first <= ShortText) {
    const unsigned char head = key(p[0]);
    for (size_t start = first; start + m <= n; ++start) {
      if (key(t[start]) != head) continue;
      size_t j = 1;
      while (j < m && key(p[j]) == key(t[start + j]))
        ++j;
      if (j == m) return static_cast<int64_t>(start + 1);
    }
    return 0;
  }

  // Shifts beyond the 32-bit range are clamped: a shorter shift only costs time.
  const int32_t longest = m > INT32_MAX ? INT32_MAX : static_cast<int32_t>(m);
  int32_t shift[256];
  for (int32_t& s : shift)
    s = longest;
  for (size_t j = 0; j + 1 < m; ++j) {
    const size_t distance = m - 1 - j;
    shift[key(Pattern[j])] = distance > INT32_MAX ? INT32_MAX : static_cast<int32_t>(distance);
  }

  // e: the 0-based text index under the pattern's last byte.
  for (size_t e = first + m - 1; e < n; e += static_cast<size_t>(shift[key(t[e])])) {
    size_t j = m;
    while (j > 0 && key(p[j - 1]) == key(t[e - (m - j)]))
      --j;
    if (j == 0) return static_cast<int64_t>(e - m + 2);
  }
  return 0;
}

template <typename Key>
int64_t SearchBackward(std::string_view Pattern, std::string_view Text, int64_t StartPos, Key key) {
  const size_t m = Pattern.size();
  const size_t n = Text.size();
  if (m < 1 || n < m) return 0;
  const size_t lastStart = n - m + 1;
  if (StartPos < 0) return 0;
  const size_t from = StartPos == 0 || static_cast<uint64_t>(StartPos) > lastStart - 1
                          ? lastStart
                          : static_cast<size_t>(StartPos);
  const char* p = Pattern.data();
  const char* t = Text.data();
  for (size_t s = from; s >= 1; --s) {
    if (key(p[0]) != key(t[s - 1])) continue;
    size_t j = m;
    while (j > 1 && key(p[j - 1]) == key(t[s + j - 2]))
      --j;
    if (j == 1) return static_cast<int64_t>(s);
  }
  return 0;
}

} // namespace

int64_t FindTextPos(std::string_view Pattern, std::string_view Text, bool CaseSensitive,
                    int64_t StartPos, bool Forward) {
  if (Forward)
    return CaseSensitive ? SearchForward(Pattern, Text, StartPos, TExactKey())
                         : SearchForward(Pattern, Text, StartPos, TCaselessKey());
  return CaseSensitive ? SearchBackward(Pattern, Text, StartPos, TExactKey())
                       : SearchBackward(Pattern, Text, StartPos, TCaselessKey());
}

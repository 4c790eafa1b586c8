#include "support/byte_scan.h"

#include <algorithm>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VOXARO_BYTE_SCAN_SSE2 1
#include <emmintrin.h>
#else
#define VOXARO_BYTE_SCAN_SSE2 0
#endif

namespace {

size_t CountPlainly(std::string_view Text, char Byte) {
  return static_cast<size_t>(std::count(Text.begin(), Text.end(), Byte));
}

size_t FindPlainly(std::string_view Text, char Byte, size_t From) {
  for (size_t i = From; i < Text.size(); ++i)
    if (Text[i] == Byte) return i;
  return Text.size();
}

#if VOXARO_BYTE_SCAN_SSE2
// Each byte lane counts its hits for up to 255 blocks, then the lanes are summed; every read
// stays inside Text.
__attribute__((target("sse2"))) size_t CountInBlocks(std::string_view Text, char Byte) {
  const __m128i wanted = _mm_set1_epi8(Byte);
  const char* p = Text.data();
  const char* const end = p + Text.size();
  size_t total = 0;
  while (end - p >= 16) {
    const size_t blocks = std::min<size_t>(255, static_cast<size_t>(end - p) / 16);
    __m128i lanes = _mm_setzero_si128();
    for (size_t i = 0; i < blocks; ++i, p += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      // A hit compares as all ones, which is minus one.
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, wanted));
    }
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    total += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
  return total + CountPlainly(std::string_view(p, static_cast<size_t>(end - p)), Byte);
}

__attribute__((target("sse2"))) size_t FindInBlocks(std::string_view Text, char Byte, size_t From) {
  const __m128i wanted = _mm_set1_epi8(Byte);
  size_t i = From;
  for (; i + 16 <= Text.size(); i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text.data() + i));
    const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
    if (hits) return i + static_cast<size_t>(__builtin_ctz(hits));
  }
  return FindPlainly(Text, Byte, i);
}
#endif

} // namespace

size_t CountByte(std::string_view Text, char Byte, TScanPath Path) {
#if VOXARO_BYTE_SCAN_SSE2
  if (Path >= TScanPath::Sse2) return CountInBlocks(Text, Byte);
#else
  (void)Path;
#endif
  return CountPlainly(Text, Byte);
}

size_t FindByte(std::string_view Text, char Byte, size_t From, TScanPath Path) {
  if (From >= Text.size()) return Text.size();
#if VOXARO_BYTE_SCAN_SSE2
  if (Path >= TScanPath::Sse2) return FindInBlocks(Text, Byte, From);
#else
  (void)Path;
#endif
  return FindPlainly(Text, Byte, From);
}

size_t CountByte(std::string_view Text, char Byte) {
  return CountByte(Text, Byte, ActiveScanPath());
}

size_t FindByte(std::string_view Text, char Byte, size_t From) {
  return FindByte(Text, Byte, From, ActiveScanPath());
}

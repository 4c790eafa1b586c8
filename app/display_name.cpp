#include "app/display_name.h"

#include "support/string_utils.h"
#include "support/text_search.h"

const AnsiString WordSeparator = " ";

namespace {

constexpr int MaxWords = 6;
constexpr size_t ShortWord = 3;

// Leading and trailing bytes up to the blank, control characters included, go.
AnsiString TrimControls(const AnsiString& S) {
  size_t first = 0, last = S.size();
  while (first < last && static_cast<unsigned char>(S[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(S[last - 1]) <= ' ') --last;
  return S.substr(first, last - first);
}

} // namespace

bool ContainsText(const AnsiString& Text, const AnsiString& SubText) {
  if (Text.empty() || SubText.empty()) return false;
  return FindTextPos(SubText, Text, false, 1, true) > 0;
}

AnsiString BuildDisplayName(const AnsiString& Text) {
  AnsiString joined = CollapseSpaces(Text);
  ReplaceTextInPlace(joined, ":::", "");
  AnsiString result;
  int count = 0;
  for (const AnsiString& word : SplitString(" ", joined, 0, 0)) {
    // Short words (AG, Co, &) are kept even when repeated.
    if (word.size() < ShortWord || !ContainsText(result, word)) {
      result += WordSeparator;
      result += word;
      if (++count >= MaxWords) break;
    }
  }
  return TrimControls(result);
}

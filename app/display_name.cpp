#include "app/display_name.h"

#include <algorithm>

#include "support/string_utils.h"
#include "support/text_search.h"

const AnsiString WordSeparator = " ";

namespace {

constexpr int MaxWords = 6;
constexpr size_t ShortWord = 3;

// Leading and trailing bytes up to the blank, control characters included, go.
void TrimControls(AnsiString& S) {
  size_t last = S.size();
  while (last > 0 && static_cast<unsigned char>(S[last - 1]) <= ' ')
    --last;
  size_t first = 0;
  while (first < last && static_cast<unsigned char>(S[first]) <= ' ')
    ++first;
  S.erase(last);
  S.erase(0, first);
}

} // namespace

bool ContainsText(std::string_view Text, std::string_view SubText) {
  if (Text.empty() || SubText.empty()) return false;
  return FindTextPos(SubText, Text, false, 1, true) > 0;
}

AnsiString BuildDisplayName(const AnsiString& Text) {
  // Most names hold neither a blank run nor ":::"; their words are then taken where they stand.
  AnsiString tidied;
  std::string_view text(Text);
  if (text.find("  ") != text.npos || text.find(":::") != text.npos) {
    tidied = CollapseSpaces(Text);
    ReplaceTextInPlace(tidied, ":::", "");
    text = tidied;
  }
  // The words as SplitString gives them: up to the first byte 0, no word after a final blank.
  text = text.substr(0, text.find('\0'));

  AnsiString result;
  result.reserve(text.size() + WordSeparator.size());
  int count = 0;
  for (size_t start = 0; start < text.size() && count < MaxWords;) {
    const size_t stop = std::min(text.find(' ', start), text.size());
    const std::string_view word = text.substr(start, stop - start);
    start = stop + 1;
    // Short words (AG, Co, &) are kept even when repeated.
    if (word.size() < ShortWord || !ContainsText(result, word)) {
      result += WordSeparator;
      result += word;
      ++count;
    }
  }
  TrimControls(result);
  return result;
}

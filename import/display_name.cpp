#include "import/display_name.h"

#include <algorithm>
#include <cstring>

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

namespace {

// Blank runs become one blank, then every ":::" goes, as CollapseSpaces and ReplaceTextInPlace
// would do it; the result goes to Out.
void Tidy(std::string_view Text, AnsiString& Out) {
  Out.resize(Text.size());
  char* const out = &Out[0];
  size_t size = 0;
  for (const char c : Text)
    if (c != ' ' || size == 0 || out[size - 1] != ' ') out[size++] = c;
  size_t write = 0;
  for (size_t read = 0; read < size;) {
    if (out[read] == ValueSeparator[0] &&
        std::string_view(out + read, size - read).substr(0, ValueSeparator.size()) ==
            ValueSeparator) {
      read += ValueSeparator.size();
      continue;
    }
    out[write++] = out[read++];
  }
  Out.resize(write);
}

bool NeedsTidying(std::string_view Text) {
  for (size_t i = 0; i + 1 < Text.size(); ++i) {
    if (Text[i] == ' ' && Text[i + 1] == ' ') return true;
    if (Text[i] == ValueSeparator[0] && Text.compare(i, ValueSeparator.size(), ValueSeparator) == 0)
      return true;
  }
  return false;
}

} // namespace

void BuildDisplayName(std::string_view Text, AnsiString& Result, TNameScratch& Scratch) {
  // The words as SplitString gives them: up to the first byte 0, no word after a final blank.
  // Neither tidying step touches a byte 0, so the text may be cut there first.
  std::string_view text = Text.substr(0, Text.find('\0'));
  // Most names hold neither a blank run nor ":::"; their words are then taken where they stand.
  if (NeedsTidying(text)) {
    Tidy(text, Scratch.Tidied);
    text = Scratch.Tidied;
  }
  // ContainsText compares through UpperCaseTable: the name and the text in upper case once,
  // and every word is then looked for with a plain search.
  AnsiString& upperText = Scratch.Upper;
  AnsiString& upperResult = Scratch.UpperResult;
  upperText.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    upperText[i] = static_cast<char>(UpperCaseTable[static_cast<unsigned char>(text[i])]);
  const char upperSeparator =
      static_cast<char>(UpperCaseTable[static_cast<unsigned char>(WordSeparator[0])]);

  // Every kept word comes with one separator: the name is at most one byte longer than the text.
  Result.resize(text.size() + 1);
  upperResult.resize(text.size() + 1);
  char* const name = &Result[0];
  char* const upperName = &upperResult[0];
  size_t size = 0;
  int count = 0;
  for (size_t start = 0; start < text.size() && count < MaxWords;) {
    const size_t stop = std::min(text.find(' ', start), text.size());
    const size_t length = stop - start;
    const std::string_view upperWord = std::string_view(upperText).substr(start, length);
    // Short words (AG, Co, &) are kept even when repeated.
    if (length < ShortWord || size == 0 ||
        std::string_view(upperName, size).find(upperWord) == std::string_view::npos) {
      name[size] = WordSeparator[0];
      upperName[size] = upperSeparator;
      std::memcpy(name + size + 1, text.data() + start, length);
      std::memcpy(upperName + size + 1, upperWord.data(), length);
      size += 1 + length;
      ++count;
    }
    start = stop + 1;
  }
  Result.resize(size);
  TrimControls(Result);
}

AnsiString BuildDisplayName(const AnsiString& Text) {
  AnsiString result;
  TNameScratch scratch;
  BuildDisplayName(Text, result, scratch);
  return result;
}

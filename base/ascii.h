#pragma once
// ASCII case and the line-break and blank tests of the formats the program reads and of its
// markup: their keywords and separators are ASCII, whatever the user's code page.
#include <string_view>

inline char UpperAscii(char C) {
  return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

inline bool IsLineBreak(char C) {
  return C == '\r' || C == '\n';
}

// A blank or a TAB, as folds and whitespace of the formats have them.
inline bool IsBlankOrTab(char C) {
  return C == ' ' || C == '\t';
}

// Whether Text is Upper, given in upper case, ignoring ASCII case.
inline bool SameTextAscii(std::string_view Text, std::string_view Upper) {
  if (Text.size() != Upper.size()) return false;
  for (size_t i = 0; i < Text.size(); ++i)
    if (UpperAscii(Text[i]) != Upper[i]) return false;
  return true;
}

inline bool StartsWithTextAscii(std::string_view Text, std::string_view Upper) {
  return Text.size() >= Upper.size() && SameTextAscii(Text.substr(0, Upper.size()), Upper);
}

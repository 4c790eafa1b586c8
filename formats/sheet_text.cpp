#include "formats/sheet_text.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "formats/workbook_errors.h"
#include "platform/platform.h"

namespace {

// FCache's entries: 0 not converted yet, SingleByte | byte, or Several for a code page that
// gives a character more than one byte (converted each time).
constexpr uint16_t SingleByte = 0x100;
constexpr uint16_t Several = 0xFFFF;

bool NeedsQuotes(std::string_view Utf8) {
  return Utf8.find_first_of("\r\n\"") != std::string_view::npos;
}

void AppendUtf8(char32_t C, AnsiString& Out) {
  if (C < 0x80) {
    Out += static_cast<char>(C);
  } else if (C < 0x800) {
    Out += static_cast<char>(0xC0 | C >> 6);
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    Out += static_cast<char>(0xE0 | C >> 12);
    Out += static_cast<char>(0x80 | (C >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | C >> 18);
    Out += static_cast<char>(0x80 | (C >> 12 & 0x3F));
    Out += static_cast<char>(0x80 | (C >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  }
}

} // namespace

TCellConverter::TCellConverter() : FCache(new uint16_t[0x10000]()) {}

TCellConverter::~TCellConverter() = default;

void TCellConverter::AppendChar(char32_t C, AnsiString& Out) {
  // The text's characters go to the code page as UTF-16 text's do; beyond U+FFFF one "?".
  if (C > 0xFFFF) {
    Out += '?';
    return;
  }
  uint16_t& cached = FCache[C];
  if (cached == 0 || cached == Several) {
    const char16_t unit = static_cast<char16_t>(C);
    const AnsiString ansi = platform::WideToAnsi(&unit, 1);
    if (cached == Several || ansi.size() != 1) {
      cached = Several;
      Out += ansi;
      return;
    }
    cached = static_cast<uint16_t>(SingleByte | static_cast<unsigned char>(ansi[0]));
  }
  Out += static_cast<char>(cached & 0xFF);
}

void TCellConverter::Append(std::string_view Utf8, AnsiString& Out) {
  const bool quoted = NeedsQuotes(Utf8);
  if (quoted) Out += '"';
  const auto* p = reinterpret_cast<const unsigned char*>(Utf8.data());
  const auto* const end = p + Utf8.size();
  while (p < end) {
    // Runs of plain ASCII in one piece.
    const auto* run = p;
    while (run < end && *run < 0x80 && *run != '\t' && *run != '"')
      ++run;
    Out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(run - p));
    p = run;
    if (p == end) break;
    const unsigned char lead = *p;
    if (lead == '\t') {
      Out += ' ';
      ++p;
    } else if (lead == '"') {
      Out += "\"\"";
      ++p;
    } else {
      // Well-formed UTF-8, as the parser checked; a stray byte still ends inside the text.
      const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      char32_t c = lead & (0x3F >> (length - 1));
      int i = 1;
      for (; i < length && p + i < end; ++i)
        c = c << 6 | (p[i] & 0x3F);
      p += i;
      AppendChar(c, Out);
    }
  }
  if (quoted) Out += '"';
}

void TCellConverter::AppendUnits(const std::u16string& Units, AnsiString& Out) {
  AnsiString utf8;
  for (size_t i = 0; i < Units.size(); ++i) {
    const char16_t u = Units[i];
    // Units 0 are dropped, as in UTF-16 text; a surrogate pair, or a lone one, is one "?".
    if (u == 0) continue;
    if (u >= 0xD800 && u <= 0xDFFF) {
      if (u <= 0xDBFF && i + 1 < Units.size() && Units[i + 1] >= 0xDC00 && Units[i + 1] <= 0xDFFF)
        ++i;
      utf8 += '?';
      continue;
    }
    AppendUtf8(u, utf8);
  }
  Append(utf8, Out);
}

bool WholeNumberDigits(std::string_view Value, size_t Width, AnsiString& Digits) {
  // XML Schema's lexical form of a double: blanks around, a sign, digits with one point,
  // an exponent.
  const size_t first = Value.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return false;
  Value = Value.substr(first, Value.find_last_not_of(" \t\r\n") - first + 1);
  size_t i = 0;
  bool negative = false;
  if (i < Value.size() && (Value[i] == '+' || Value[i] == '-')) negative = Value[i++] == '-';
  if (Value.size() > 400) return false;
  // The significant digits, and how many of them stand before the point.
  AnsiString mantissa;
  long long integerDigits = 0;
  bool point = false, anyDigit = false;
  for (; i < Value.size(); ++i) {
    const char c = Value[i];
    if (c >= '0' && c <= '9') {
      anyDigit = true;
      if (c == '0' && mantissa.empty()) {
        if (point) --integerDigits;
      } else {
        mantissa += c;
        if (!point) ++integerDigits;
      }
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return false;
  if (i < Value.size()) {
    if (Value[i] != 'e' && Value[i] != 'E') return false;
    ++i;
    bool negativeExponent = false;
    if (i < Value.size() && (Value[i] == '+' || Value[i] == '-'))
      negativeExponent = Value[i++] == '-';
    if (i == Value.size()) return false;
    long long exponent = 0;
    for (; i < Value.size(); ++i) {
      if (Value[i] < '0' || Value[i] > '9') return false;
      exponent = std::min(exponent * 10 + (Value[i] - '0'), 100000LL);
    }
    integerDigits += negativeExponent ? -exponent : exponent;
  }
  AnsiString digits;
  if (mantissa.empty()) {
    digits = "0";
    negative = false;
  } else {
    if (integerDigits < 1 || integerDigits > 15) return false;
    const size_t whole = static_cast<size_t>(integerDigits);
    // Every digit after the point must be a zero.
    if (mantissa.find_first_not_of('0', std::min(whole, mantissa.size())) != AnsiString::npos)
      return false;
    digits = mantissa.substr(0, std::min(whole, mantissa.size()));
    digits.append(whole - digits.size(), '0');
  }
  Digits.assign(negative ? "-" : "");
  if (digits.size() < Width) Digits.append(Width - digits.size(), '0');
  Digits += digits;
  return true;
}

void TSheetRow::Put(uint32_t Column, std::string_view Cell, uint32_t Repeat) {
  if (!FText.empty() && Column <= FColumn) ThrowDamagedWorkbook();
  const uint64_t tabs = FText.empty() ? Column : Column - FColumn;
  const uint64_t size = FText.size() + tabs + uint64_t(Repeat) * (Cell.size() + 1) - 1;
  if (size > FMaxSize) ThrowDamagedWorkbook();
  FText.append(static_cast<size_t>(tabs), '\t');
  FText.append(Cell);
  for (uint32_t i = 1; i < Repeat; ++i) {
    FText += '\t';
    FText.append(Cell);
  }
  FColumn = Column + Repeat - 1;
}

void TSheetRow::Clear() {
  FText.clear();
  FColumn = 0;
}

void TSheetLines::Reserve(uint64_t Bytes) {
  FText.reserve(static_cast<size_t>(std::min(Bytes, FMaxSize)));
}

void TSheetLines::Put(uint32_t Row, std::string_view Line, uint32_t Count) {
  if (Row < FRows) ThrowDamagedWorkbook();
  const uint64_t empty = Row - FRows;
  const uint64_t size = FText.size() + 2 * empty + uint64_t(Count) * (Line.size() + 2);
  if (size > FMaxSize) ThrowDamagedWorkbook();
  for (uint64_t i = 0; i < empty; ++i)
    FText += "\r\n";
  for (uint32_t i = 0; i < Count; ++i) {
    FText.append(Line);
    FText += "\r\n";
  }
  FRows = Row + Count;
}

void BlankCoveredCells(AnsiString& Text, std::vector<TCellRange> Ranges) {
  Ranges.erase(std::remove_if(Ranges.begin(), Ranges.end(),
                              [](const TCellRange& R) {
                                return R.LastRow < R.FirstRow || R.LastColumn < R.FirstColumn ||
                                       (R.FirstRow == R.LastRow && R.FirstColumn == R.LastColumn);
                              }),
               Ranges.end());
  if (Ranges.empty()) return;
  std::sort(Ranges.begin(), Ranges.end(),
            [](const TCellRange& A, const TCellRange& B) { return A.FirstRow < B.FirstRow; });
  // The ranges over the current row, by first column: a cell's range is the one that starts
  // last at or before it (ranges that overlap, which spreadsheets refuse, may keep a cell).
  // A range that has ended goes when a lookup meets it.
  std::multimap<uint32_t, const TCellRange*> active;
  uint32_t lastRow = 0;
  for (const TCellRange& range : Ranges)
    lastRow = std::max(lastRow, range.LastRow);
  const auto rangeAt = [&](uint32_t Row, uint32_t Column) -> const TCellRange* {
    for (auto it = active.upper_bound(Column); it != active.begin();) {
      it = std::prev(it);
      if (it->second->LastRow >= Row) return it->second;
      it = active.erase(it);
    }
    return nullptr;
  };
  size_t next = 0;
  size_t read = 0, write = 0;
  AnsiString line;
  for (uint32_t row = 0; read < Text.size() && row <= lastRow; ++row) {
    for (; next < Ranges.size() && Ranges[next].FirstRow <= row; ++next)
      active.emplace(Ranges[next].FirstColumn, &Ranges[next]);
    // The line: up to CR LF outside quotes.
    size_t end = read;
    for (bool quoted = false; end < Text.size(); ++end) {
      if (Text[end] == '"') quoted = !quoted;
      if (!quoted && Text[end] == '\r' && end + 1 < Text.size() && Text[end + 1] == '\n') break;
    }
    line.clear();
    size_t kept = 0;
    uint32_t column = 0;
    for (size_t from = read; from <= end; ++column) {
      const size_t to = std::min(Text.find('\t', from), end);
      bool covered = false;
      if (to > from) {
        const TCellRange* range = rangeAt(row, column);
        covered = range && column <= range->LastColumn &&
                  !(row == range->FirstRow && column == range->FirstColumn);
      }
      if (column > 0) line += '\t';
      if (!covered) line.append(Text, from, to - from);
      if (!covered && to > from) kept = line.size();
      from = to + 1;
    }
    line.resize(kept);
    line += "\r\n";
    // The line is never longer than it was, so it goes where the text is read already.
    std::memcpy(&Text[write], line.data(), line.size());
    write += line.size();
    read = std::min(end + 2, Text.size());
  }
  Text.erase(write, read - write);
  // Rows at the end that lost every cell are no longer part of the sheet.
  while (Text.size() >= 2 && (Text.size() == 2 || Text[Text.size() - 3] == '\n') &&
         Text.compare(Text.size() - 2, 2, "\r\n") == 0)
    Text.resize(Text.size() - 2);
}

#pragma once
// The text of a worksheet as a spreadsheet's tab-separated text export writes it, made of the
// cells as the readers find them: TAB between the cells of a row, CR LF after every row, each row
// through its last non-empty cell and the rows through the last that holds one. A cell that holds
// a line break or a double quote stands in double quotes, its quotes doubled; a TAB inside a cell
// becomes a blank. The text is in the ANSI code page, converted as UTF-16 text is.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/system.h"

// The largest sheet: 1,048,576 rows of 16,384 columns (XFD1048576).
constexpr uint32_t MaxSheetRows = 1 << 20;
constexpr uint32_t MaxSheetColumns = 1 << 14;

// UTF-8 cell values in a cell's form in the text.
class TCellConverter {
public:
  TCellConverter();
  ~TCellConverter();
  TCellConverter(const TCellConverter&) = delete;
  TCellConverter& operator=(const TCellConverter&) = delete;

  // Appends the cell form of Utf8 (well-formed, as an XML parser delivers it) to Out: in the ANSI
  // code page, a character beyond U+FFFF one "?", quoted where it holds a line break or a quote.
  void Append(std::string_view Utf8, AnsiString& Out);
  // The same for UTF-16 units, where a part's escapes give them.
  void AppendUnits(const std::u16string& Units, AnsiString& Out);

private:
  // One character's ANSI bytes, the code page's conversion cached per character.
  void AppendChar(char32_t C, AnsiString& Out);

  std::unique_ptr<uint16_t[]> FCache;
};

// The digits of a number cell's stored value (as XML Schema writes a double: "301234567",
// "4.930123456E9") when it is a whole number of at most 15 digits, with leading zeros up to
// Width digits and a minus before them for a negative number; false for any other value.
bool WholeNumberDigits(std::string_view Value, size_t Width, AnsiString& Digits);

// One row's text, cell by cell.
class TSheetRow {
public:
  explicit TSheetRow(uint64_t MaxSize) : FMaxSize(MaxSize) {}
  // Cell, non-empty and in its cell form, at Column and the Repeat - 1 columns after it; columns
  // ascend. Throws the damaged workbook's message when the row would exceed the text's limit.
  void Put(uint32_t Column, std::string_view Cell, uint32_t Repeat = 1);
  bool Empty() const { return FText.empty(); }
  std::string_view Text() const { return FText; }
  void Clear();

private:
  uint64_t FMaxSize;
  AnsiString FText;
  uint32_t FColumn = 0;
};

// The sheet's lines.
class TSheetLines {
public:
  explicit TSheetLines(uint64_t MaxSize) : FMaxSize(MaxSize) {}
  // Room for about Bytes of text, as a guess.
  void Reserve(uint64_t Bytes);
  // Line, non-empty, as the rows Row to Row + Count - 1 (0-based); rows ascend, and those passed
  // over are empty lines. Throws the damaged workbook's message when the text would exceed its
  // limit.
  void Put(uint32_t Row, std::string_view Line, uint32_t Count = 1);
  uint32_t Rows() const { return FRows; }
  AnsiString& Text() { return FText; }

private:
  uint64_t FMaxSize;
  AnsiString FText;
  uint32_t FRows = 0;
};

// A merged range of cells, 0-based and inclusive.
struct TCellRange {
  uint32_t FirstRow, FirstColumn, LastRow, LastColumn;
};

// Empties, in a sheet's text, every cell that a range covers other than the range's first, with
// the rows' and the text's ends as the text's rules want them afterwards.
void BlankCoveredCells(AnsiString& Text, std::vector<TCellRange> Ranges);

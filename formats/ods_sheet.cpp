#include "formats/ods_sheet.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

#include "formats/sheet_text.h"
#include "formats/workbook_errors.h"
#include "formats/xml_parts.h"

namespace {

constexpr std::string_view OfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view TableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view TextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view StyleNs = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr std::string_view NumberNs = "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0";
constexpr std::string_view DrawNs = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";

constexpr std::string_view SpreadsheetType = "application/vnd.oasis.opendocument.spreadsheet";

// A repeat count: at least 1, and no more than the sheet can hold.
uint32_t ParseRepeat(const char* Text) {
  if (!Text) return 1;
  uint64_t n = 0;
  const char* p = Text;
  for (; *p >= '0' && *p <= '9'; ++p)
    n = std::min<uint64_t>(n * 10 + uint64_t(*p - '0'), MaxSheetRows);
  return *p || n == 0 ? 1 : static_cast<uint32_t>(n);
}

// The styles a spreadsheet's cells and tables refer to, from styles.xml and from content.xml's
// automatic styles: which tables are hidden, and how many digits a cell style's number format
// pads a whole number to.
class TOdsStyles {
public:
  void Start(const TXmlName& Name, const TXmlAttributes& Attributes) {
    ++FDepth;
    if (FContainerDepth == 0) {
      if (Name.Namespace == OfficeNs &&
          (Name.Local == "styles" || Name.Local == "automatic-styles"))
        FContainerDepth = FDepth;
      return;
    }
    const int level = FDepth - FContainerDepth;
    if (level == 1 && Name.Namespace == StyleNs && Name.Local == "style") {
      const char* name = Attributes.Find(StyleNs, "name");
      const char* family = Attributes.Find(StyleNs, "family");
      FStyle = name ? name : "";
      FFamily = family ? family : "";
      if (FFamily == "table-cell" && name) {
        const char* data = Attributes.Find(StyleNs, "data-style-name");
        const char* parent = Attributes.Find(StyleNs, "parent-style-name");
        FCellStyles[FStyle] = {data ? data : "", parent ? parent : ""};
      }
    } else if (level == 2 && FFamily == "table" && Name.Namespace == StyleNs &&
               Name.Local == "table-properties") {
      const char* display = Attributes.Find(TableNs, "display");
      if (display && std::strcmp(display, "false") == 0) FHiddenTables.insert(FStyle);
    } else if (level == 1 && Name.Namespace == NumberNs && Name.Local == "number-style") {
      const char* name = Attributes.Find(StyleNs, "name");
      FNumberStyle = name ? name : "";
    } else if (level == 2 && !FNumberStyle.empty() && Name.Namespace == NumberNs &&
               Name.Local == "number") {
      // A number format without decimals pads to its least number of integer digits.
      const char* decimals = Attributes.Find(NumberNs, "decimal-places");
      const char* digits = Attributes.Find(NumberNs, "min-integer-digits");
      const bool whole = !decimals || std::strcmp(decimals, "0") == 0;
      FNumberWidths[FNumberStyle] =
          whole && digits ? std::min<size_t>(std::strtoul(digits, nullptr, 10), 255) : 0;
    }
  }

  void End() {
    if (FDepth == FContainerDepth) FContainerDepth = 0;
    if (FContainerDepth && FDepth == FContainerDepth + 1) {
      FStyle.clear();
      FFamily.clear();
      FNumberStyle.clear();
    }
    --FDepth;
  }

  bool IsHiddenTable(const char* StyleName) const {
    return StyleName && FHiddenTables.count(StyleName) > 0;
  }

  // The padding width of a cell style, through its parents.
  size_t Width(const char* StyleName) {
    if (!StyleName) return 0;
    const auto cached = FWidths.find(StyleName);
    if (cached != FWidths.end()) return cached->second;
    size_t width = 0;
    AnsiString name = StyleName;
    for (int level = 0; level < 16; ++level) {
      const auto style = FCellStyles.find(name);
      if (style == FCellStyles.end()) break;
      if (!style->second.DataStyle.empty()) {
        const auto number = FNumberWidths.find(style->second.DataStyle);
        width = number != FNumberWidths.end() ? number->second : 0;
        break;
      }
      name = style->second.Parent;
    }
    FWidths.emplace(StyleName, width);
    return width;
  }

private:
  struct TCellStyle {
    AnsiString DataStyle, Parent;
  };
  int FDepth = 0, FContainerDepth = 0;
  AnsiString FStyle, FFamily, FNumberStyle;
  std::map<AnsiString, TCellStyle> FCellStyles;
  std::map<AnsiString, size_t> FNumberWidths;
  std::set<AnsiString> FHiddenTables;
  std::unordered_map<AnsiString, size_t> FWidths;
};

class TStylesPartReader : public TXmlHandler {
public:
  explicit TStylesPartReader(TOdsStyles& Styles) : FStyles(Styles) {}
  void StartElement(const TXmlName& Name, const TXmlAttributes& Attributes) override {
    FStyles.Start(Name, Attributes);
  }
  void EndElement(const TXmlName&) override { FStyles.End(); }
  void Text(std::string_view) override {}

private:
  TOdsStyles& FStyles;
};

// content.xml: the styles ahead of the body, then the first visible table of the spreadsheet,
// row by row into the sheet's text. Each element's kind is kept on a stack, for the questions
// that depend on the parent: a table of the spreadsheet, a row of that table or of one of its
// row groups, a cell of such a row, a paragraph of such a cell.
class TContentReader : public TXmlHandler {
public:
  TContentReader(TOdsStyles& Styles, uint64_t MaxText)
      : FStyles(Styles), FMaxText(MaxText), FRow(MaxText), FLines(MaxText) {}

  bool SawSpreadsheet() const { return FSawSpreadsheet; }
  AnsiString& Text() { return FLines.Text(); }

  void StartElement(const TXmlName& Name, const TXmlAttributes& Attributes) override {
    if (!FInBody) FStyles.Start(Name, Attributes);
    const TKind parent = FKinds.empty() ? None : FKinds.back();
    TKind kind = parent == Skipped ? Skipped : Other;
    const std::string_view local = Name.Local;
    if (kind == Skipped) {
    } else if (Name.Namespace == TableNs) {
      const bool inTable = parent == Table || parent == RowGroup;
      if (local == "table-cell" || local == "covered-table-cell") {
        if (parent == Row) {
          kind = Cell;
          StartCell(Attributes, local == "covered-table-cell");
        }
      } else if (local == "table-row") {
        if (inTable) {
          kind = Row;
          StartRow(Attributes);
        }
      } else if (local == "table-header-rows" || local == "table-row-group" ||
                 local == "table-rows") {
        if (inTable) kind = RowGroup;
      } else if (local == "table-column") {
        if (parent == Table || parent == ColumnGroup) AddColumns(Attributes);
      } else if (local == "table-columns" || local == "table-header-columns" ||
                 local == "table-column-group") {
        if (parent == Table || parent == ColumnGroup) kind = ColumnGroup;
      } else if (local == "table" && parent == Spreadsheet && !FTableDone &&
                 !FStyles.IsHiddenTable(Attributes.Find(TableNs, "style-name"))) {
        kind = Table;
      }
    } else if (Name.Namespace == TextNs) {
      if (parent == Cell && local == "p") {
        kind = Paragraph;
        if (FParagraphs++ > 0) AddText("\n", 1);
      } else if (FParagraphDepth > 0) {
        if (local == "s") {
          const char* c = Attributes.Find(TextNs, "c");
          AddText(" ", c ? std::strtoul(c, nullptr, 10) : 1);
        } else if (local == "tab") {
          AddText("\t", 1);
        } else if (local == "line-break") {
          AddText("\n", 1);
        }
      }
    } else if (Name.Namespace == OfficeNs) {
      if (local == "annotation")
        kind = Skipped;
      else if (local == "body")
        FInBody = true;
      else if (local == "spreadsheet" && FInBody && FKinds.size() == 2) {
        kind = Spreadsheet;
        FSawSpreadsheet = true;
      }
    } else if (Name.Namespace == DrawNs && FCellOpen) {
      // Shapes anchored in a cell, with their own paragraphs.
      kind = Skipped;
    }
    if (kind == Paragraph) FParagraphDepth = FKinds.size() + 1;
    FKinds.push_back(kind);
  }

  void EndElement(const TXmlName&) override {
    if (!FInBody) FStyles.End();
    const TKind kind = FKinds.back();
    FKinds.pop_back();
    if (kind == Cell)
      EndCell();
    else if (kind == Row)
      EndRow();
    else if (kind == Table)
      FTableDone = true;
    else if (kind == Paragraph)
      FParagraphDepth = 0;
  }

  void Text(std::string_view Piece) override {
    if (FParagraphDepth > 0 && FKinds.back() != Skipped) AddText(Piece.data(), 1, Piece.size());
  }

private:
  enum TKind : uint8_t {
    None,
    Other,
    Skipped,
    Spreadsheet,
    Table,
    RowGroup,
    Row,
    Cell,
    Paragraph,
    ColumnGroup
  };

  // Count copies of Piece (Size bytes) to the cell's text.
  void AddText(const char* Piece, uint64_t Count, size_t Size = 1) {
    if (FKinds.back() == Skipped || !FCellOpen) return;
    if (FCellText.size() + Count * Size > FMaxText) ThrowDamagedWorkbook();
    for (uint64_t i = 0; i < Count; ++i)
      FCellText.append(Piece, Size);
  }

  void AddColumns(const TXmlAttributes& Attributes) {
    const uint32_t repeat = ParseRepeat(Attributes.Find(TableNs, "number-columns-repeated"));
    const uint32_t from = FColumns.empty() ? 0 : FColumns.back().End;
    if (from >= MaxSheetColumns) return;
    const uint32_t to = from + std::min(repeat, MaxSheetColumns - from);
    FColumns.push_back({to, FStyles.Width(Attributes.Find(TableNs, "default-cell-style-name"))});
  }

  void StartRow(const TXmlAttributes& Attributes) {
    FRowRepeat = ParseRepeat(Attributes.Find(TableNs, "number-rows-repeated"));
    const char* style = Attributes.Find(TableNs, "default-cell-style-name");
    FRowHasWidth = style != nullptr;
    FRowWidth = FStyles.Width(style);
    FColumn = 0;
    FColumnRun = 0;
  }

  void EndRow() {
    // Rows past the sheet's last are cut; trailing empty repeats only move the count.
    if (FRowIndex < MaxSheetRows && !FRow.Empty())
      FLines.Put(FRowIndex, FRow.Text(), std::min(FRowRepeat, MaxSheetRows - FRowIndex));
    FRow.Clear();
    FRowIndex = std::min<uint64_t>(uint64_t(FRowIndex) + FRowRepeat, MaxSheetRows);
  }

  void StartCell(const TXmlAttributes& Attributes, bool Covered) {
    FCellOpen = true;
    FCovered = Covered;
    FCellText.clear();
    FParagraphs = 0;
    FCellRepeat = ParseRepeat(Attributes.Find(TableNs, "number-columns-repeated"));
    const char* type = Attributes.Find(OfficeNs, "value-type");
    const char* value = Attributes.Find(OfficeNs, "value");
    FFloat = type && std::strcmp(type, "float") == 0 && value;
    if (FFloat) FValue = value;
    if (!FFloat || FCovered) return;
    if (const char* style = Attributes.Find(TableNs, "style-name")) {
      FWidth = FStyles.Width(style);
    } else if (FRowHasWidth) {
      FWidth = FRowWidth;
    } else {
      while (FColumnRun < FColumns.size() && FColumns[FColumnRun].End <= FColumn)
        ++FColumnRun;
      FWidth = FColumnRun < FColumns.size() ? FColumns[FColumnRun].Width : 0;
    }
  }

  void EndCell() {
    FCellOpen = false;
    const uint32_t column = FColumn;
    FColumn =
        static_cast<uint32_t>(std::min<uint64_t>(uint64_t(column) + FCellRepeat, MaxSheetColumns));
    if (FCovered || column >= MaxSheetColumns || FRowIndex >= MaxSheetRows) return;
    FCell.clear();
    if (!(FFloat && WholeNumberDigits(FValue, FWidth, FCell))) FConverter.Append(FCellText, FCell);
    if (!FCell.empty()) FRow.Put(column, FCell, FColumn - column);
  }

  struct TColumnRun {
    uint32_t End;
    size_t Width;
  };

  TOdsStyles& FStyles;
  uint64_t FMaxText;
  TCellConverter FConverter;
  TSheetRow FRow;
  TSheetLines FLines;
  std::vector<TKind> FKinds;
  std::vector<TColumnRun> FColumns;
  bool FInBody = false, FSawSpreadsheet = false, FTableDone = false;
  size_t FParagraphDepth = 0;
  uint32_t FRowIndex = 0, FRowRepeat = 1, FColumn = 0, FCellRepeat = 1;
  size_t FColumnRun = 0, FRowWidth = 0, FWidth = 0;
  bool FRowHasWidth = false;
  bool FCellOpen = false, FCovered = false, FFloat = false;
  int FParagraphs = 0;
  AnsiString FCellText, FValue, FCell;
};

} // namespace

bool IsOpenDocumentSpreadsheet(TZipArchive& Archive) {
  if (!Archive.Find("content.xml")) return false;
  const TZipEntry* mimetype = Archive.Find("mimetype");
  if (!mimetype) return true;
  char head[128];
  TZipEntryReader reader(Archive, *mimetype);
  const std::string_view type(head, reader.Read(head, sizeof head));
  // A template of a spreadsheet is one too.
  return type.compare(0, SpreadsheetType.size(), SpreadsheetType) == 0;
}

AnsiString OdsSheetText(TZipArchive& Archive, uint64_t MaxText) {
  TOdsStyles styles;
  if (const TZipEntry* entry = Archive.Find("styles.xml")) {
    TStylesPartReader reader(styles);
    ParseXmlPart(Archive, *entry, reader);
  }
  TContentReader content(styles, MaxText);
  ParseXmlPart(Archive, *Archive.Find("content.xml"), content);
  if (!content.SawSpreadsheet()) ThrowNotAWorkbook();
  return std::move(content.Text());
}

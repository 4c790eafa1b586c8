#include "formats/xlsx_sheet.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "formats/sheet_text.h"
#include "formats/workbook_errors.h"
#include "formats/xml_parts.h"

namespace {

constexpr const char* PackageRelationships = "_rels/.rels";
constexpr const char* DefaultWorkbook = "xl/workbook.xml";

// Relationship types are told by their last segment, the same in the transitional and the strict
// namespace.
bool HasType(std::string_view Type, std::string_view Last) {
  return Type.size() > Last.size() &&
         Type.compare(Type.size() - Last.size(), Last.size(), Last) == 0 &&
         Type[Type.size() - Last.size() - 1] == '/';
}

struct TRelationship {
  AnsiString Id, Type, Target;
  bool External = false;
};

class TRelationshipsReader : public TXmlHandler {
public:
  std::vector<TRelationship> Relationships;

  void StartElement(const TXmlName& Name, const TXmlAttributes& Attributes) override {
    if (Name.Local != "Relationship") return;
    TRelationship r;
    const char* id = Attributes.Find("Id");
    const char* type = Attributes.Find("Type");
    const char* target = Attributes.Find("Target");
    const char* mode = Attributes.Find("TargetMode");
    if (!id || !type || !target) return;
    r.Id = id;
    r.Type = type;
    r.Target = target;
    r.External = mode && std::strcmp(mode, "External") == 0;
    Relationships.push_back(std::move(r));
  }
  void EndElement(const TXmlName&) override {}
  void Text(std::string_view) override {}
};

// The part a relationship of Source leads to: its target taken from Source's folder, or from the
// package's root when it begins with "/", with "." and ".." resolved.
AnsiString ResolveTarget(std::string_view Source, std::string_view Target) {
  std::vector<std::string_view> segments;
  std::string_view path = Target;
  AnsiString joined;
  if (!path.empty() && path[0] == '/') {
    path.remove_prefix(1);
  } else {
    const size_t slash = Source.rfind('/');
    joined.assign(Source.substr(0, slash == std::string_view::npos ? 0 : slash + 1));
    joined.append(Target);
    path = joined;
  }
  for (size_t from = 0; from <= path.size();) {
    const size_t to = std::min(path.find('/', from), path.size());
    const std::string_view segment = path.substr(from, to - from);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    from = to + 1;
  }
  AnsiString part;
  for (const std::string_view segment : segments) {
    if (!part.empty()) part += '/';
    part.append(segment);
  }
  return part;
}

// The relationships part of Part: "_rels/<name>.rels" in its folder.
AnsiString RelationshipsOf(std::string_view Part) {
  const size_t slash = Part.rfind('/');
  const size_t name = slash == std::string_view::npos ? 0 : slash + 1;
  return AnsiString(Part.substr(0, name)) + "_rels/" + AnsiString(Part.substr(name)) + ".rels";
}

// The relationships of Part; none when the package has no relationships part for it.
std::vector<TRelationship> ReadRelationships(TZipArchive& Archive, std::string_view Part) {
  TRelationshipsReader reader;
  if (const TZipEntry* entry = Archive.Find(RelationshipsOf(Part)))
    ParseXmlPart(Archive, *entry, reader, TXmlNames::Prefixes);
  return std::move(reader.Relationships);
}

const TZipEntry& RequirePart(const TZipArchive& Archive, std::string_view Part) {
  const TZipEntry* entry = Archive.Find(Part);
  if (!entry) ThrowDamagedWorkbook();
  return *entry;
}

// The workbook part: its root element, and its sheets in order.
class TWorkbookReader : public TXmlHandler {
public:
  struct TSheet {
    AnsiString RelationshipId;
    bool Hidden = false;
  };
  bool IsWorkbook = false;
  std::vector<TSheet> Sheets;

  void StartElement(const TXmlName& Name, const TXmlAttributes& Attributes) override {
    if (FDepth++ == 0) IsWorkbook = Name.Local == "workbook";
    if (!IsWorkbook) return;
    if (Name.Local == "sheets" && FDepth == 2) FInSheets = true;
    if (Name.Local == "sheet" && FInSheets && FDepth == 3) {
      TSheet sheet;
      const char* id = Attributes.Find("id");
      const char* state = Attributes.Find("state");
      sheet.RelationshipId = id ? id : "";
      sheet.Hidden =
          state && (std::strcmp(state, "hidden") == 0 || std::strcmp(state, "veryHidden") == 0);
      Sheets.push_back(std::move(sheet));
    }
  }
  void EndElement(const TXmlName& Name) override {
    if (Name.Local == "sheets" && FDepth == 2) FInSheets = false;
    --FDepth;
  }
  void Text(std::string_view) override {}

private:
  int FDepth = 0;
  bool FInSheets = false;
};

// How many digits a number format of zeros only pads a whole number to; 0 for any other format.
size_t ZerosOnlyWidth(std::string_view Format) {
  return !Format.empty() && Format.find_first_not_of('0') == std::string_view::npos ? Format.size()
                                                                                    : 0;
}

// The styles part: for each cell format (a cell's "s"), the width its number format pads to.
class TStylesReader : public TXmlHandler {
public:
  std::vector<size_t> Widths() const {
    std::vector<size_t> widths;
    widths.reserve(FFormatIds.size());
    for (const unsigned long id : FFormatIds) {
      const auto custom = FCustom.find(id);
      // Built-in format 1 is "0".
      widths.push_back(custom != FCustom.end() ? ZerosOnlyWidth(custom->second) : id == 1 ? 1 : 0);
    }
    return widths;
  }

  void StartElement(const TXmlName& Name, const TXmlAttributes& Attributes) override {
    ++FDepth;
    if (FDepth == 2) FSection = Name.Local;
    if (FDepth == 3 && FSection == "numFmts" && Name.Local == "numFmt") {
      const char* id = Attributes.Find("numFmtId");
      const char* code = Attributes.Find("formatCode");
      if (id && code) FCustom[std::strtoul(id, nullptr, 10)] = code;
    }
    if (FDepth == 3 && FSection == "cellXfs" && Name.Local == "xf") {
      const char* id = Attributes.Find("numFmtId");
      FFormatIds.push_back(id ? std::strtoul(id, nullptr, 10) : 0);
    }
  }
  void EndElement(const TXmlName&) override {
    if (--FDepth == 1) FSection.clear();
  }
  void Text(std::string_view) override {}

private:
  int FDepth = 0;
  AnsiString FSection;
  std::map<unsigned long, AnsiString> FCustom;
  std::vector<unsigned long> FFormatIds;
};

// Office escapes in strings: "_xHHHH_" stands for the UTF-16 unit HHHH (so "_x000D_" for a CR);
// a pair of surrogates for one character beyond U+FFFF, a unit 0 for nothing. Appends the text
// with its escapes resolved to Out, in UTF-8.
void AppendUnescaped(std::string_view Text, AnsiString& Out) {
  const auto hex = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
  };
  const auto escapeAt = [&](size_t At) -> int {
    if (At + 7 > Text.size() || Text[At] != '_' || Text[At + 1] != 'x' || Text[At + 6] != '_')
      return -1;
    int unit = 0;
    for (size_t i = At + 2; i < At + 6; ++i) {
      const int digit = hex(Text[i]);
      if (digit < 0) return -1;
      unit = unit << 4 | digit;
    }
    return unit;
  };
  const auto appendUtf8 = [&](unsigned long c) {
    if (c < 0x80) {
      Out += static_cast<char>(c);
    } else if (c < 0x800) {
      Out += static_cast<char>(0xC0 | c >> 6);
      Out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      Out += static_cast<char>(0xE0 | c >> 12);
      Out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      Out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      Out += static_cast<char>(0xF0 | c >> 18);
      Out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      Out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      Out += static_cast<char>(0x80 | (c & 0x3F));
    }
  };
  size_t from = 0;
  for (size_t at = Text.find("_x"); at != std::string_view::npos; at = Text.find("_x", at)) {
    const int unit = escapeAt(at);
    if (unit < 0) {
      ++at;
      continue;
    }
    Out.append(Text, from, at - from);
    at += 7;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const int low = escapeAt(at);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(0x10000 + ((unsigned long)(unit - 0xD800) << 10) +
                   (unsigned long)(low - 0xDC00));
        at += 7;
      } else {
        Out += '?';
      }
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      Out += '?';
    } else if (unit != 0) {
      appendUtf8(static_cast<unsigned long>(unit));
    }
    from = at;
  }
  Out.append(Text, from, Text.size() - from);
}

// A string item (shared string or inline string): the text of its "t" elements, directly or in
// rich-text runs, without the phonetic runs ("rPh").
class TStringItem {
public:
  void Start(std::string_view Local) {
    if (Local == "rPh") ++FPhonetic;
    if (Local == "t" && FPhonetic == 0) FInText = true;
  }
  void End(std::string_view Local) {
    if (Local == "rPh" && FPhonetic > 0) --FPhonetic;
    if (Local == "t") FInText = false;
  }
  void Text(std::string_view Piece, uint64_t MaxSize) {
    if (!FInText) return;
    if (FText.size() + Piece.size() > MaxSize) ThrowDamagedWorkbook();
    FText.append(Piece);
  }
  // The item's cell form, appended to Out; the item is empty afterwards.
  void TakeCell(TCellConverter& Converter, AnsiString& Out) {
    if (FText.find("_x") == AnsiString::npos) {
      Converter.Append(FText, Out);
    } else {
      FUnescaped.clear();
      AppendUnescaped(FText, FUnescaped);
      Converter.Append(FUnescaped, Out);
    }
    Clear();
  }
  void Clear() {
    FText.clear();
    FInText = false;
    FPhonetic = 0;
  }

private:
  AnsiString FText, FUnescaped;
  int FPhonetic = 0;
  bool FInText = false;
};

// The shared strings, each in its cell form, end to end in one block.
class TSharedStrings : public TXmlHandler {
public:
  TSharedStrings(TCellConverter& Converter, uint64_t MaxSize)
      : FConverter(Converter), FMaxSize(MaxSize) {}

  size_t Count() const { return FEnds.size(); }
  std::string_view At(size_t Index) const {
    const size_t from = Index == 0 ? 0 : FEnds[Index - 1];
    return std::string_view(FCells).substr(from, FEnds[Index] - from);
  }

  void StartElement(const TXmlName& Name, const TXmlAttributes&) override {
    ++FDepth;
    if (FDepth == 2 && Name.Local == "si")
      FInItem = true;
    else if (FInItem)
      FItem.Start(Name.Local);
  }
  void EndElement(const TXmlName& Name) override {
    if (FDepth-- == 2 && FInItem) {
      FInItem = false;
      FItem.TakeCell(FConverter, FCells);
      if (FCells.size() > FMaxSize) ThrowDamagedWorkbook();
      FEnds.push_back(static_cast<uint32_t>(FCells.size()));
    } else if (FInItem) {
      FItem.End(Name.Local);
    }
  }
  void Text(std::string_view Piece) override {
    if (FInItem) FItem.Text(Piece, FMaxSize);
  }

private:
  TCellConverter& FConverter;
  uint64_t FMaxSize;
  AnsiString FCells;
  std::vector<uint32_t> FEnds;
  TStringItem FItem;
  int FDepth = 0;
  bool FInItem = false;
};

// A cell reference such as "AB12": its column and row, 0-based; false for anything else, or a
// cell beyond XFD1048576.
bool ParseCellReference(std::string_view Reference, uint32_t& Row, uint32_t& Column) {
  size_t i = 0;
  uint32_t column = 0;
  for (; i < Reference.size() && i < 4; ++i) {
    char c = Reference[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c < 'A' || c > 'Z') break;
    column = column * 26 + static_cast<uint32_t>(c - 'A' + 1);
  }
  if (i == 0 || column > MaxSheetColumns) return false;
  uint32_t row = 0;
  const size_t digits = i;
  for (; i < Reference.size() && i - digits < 8; ++i) {
    if (Reference[i] < '0' || Reference[i] > '9') return false;
    row = row * 10 + static_cast<uint32_t>(Reference[i] - '0');
  }
  if (i != Reference.size() || i == digits || row == 0 || row > MaxSheetRows) return false;
  Row = row - 1;
  Column = column - 1;
  return true;
}

// A row number ("r" of a row), 1-based in the file: 0-based, or false beyond the sheet.
bool ParseRowNumber(const char* Text, uint32_t& Row) {
  uint32_t row = 0;
  const char* p = Text;
  for (; *p >= '0' && *p <= '9' && p - Text < 8; ++p)
    row = row * 10 + static_cast<uint32_t>(*p - '0');
  if (*p || p == Text || row == 0 || row > MaxSheetRows) return false;
  Row = row - 1;
  return true;
}

// The worksheet part, cell by cell into the sheet's text.
class TWorksheetReader : public TXmlHandler {
public:
  TWorksheetReader(TCellConverter& Converter, const TSharedStrings& Strings,
                   const std::vector<size_t>& Widths, uint64_t MaxText)
      : FConverter(Converter), FStrings(Strings), FWidths(Widths), FMaxText(MaxText), FRow(MaxText),
        FLines(MaxText) {}

  TSheetLines& Lines() { return FLines; }
  const std::vector<TCellRange>& Merges() const { return FMerges; }

  void StartElement(const TXmlName& Name, const TXmlAttributes& Attributes) override {
    const std::string_view local = Name.Local;
    ++FDepth;
    if (FInCell) {
      if (local == "v" && FDepth == FCellDepth + 1)
        FInValue = true;
      else if (local == "is" && FDepth == FCellDepth + 1)
        FInInline = true;
      else if (FInInline)
        FInline.Start(local);
    } else if (FInRow) {
      if (local == "c" && FDepth == FRowDepth + 1) StartCell(Attributes);
    } else if (FInSheetData) {
      if (local == "row" && FDepth == FSheetDataDepth + 1) StartRow(Attributes);
    } else if (local == "sheetData" && FDepth == 2) {
      FInSheetData = true;
      FSheetDataDepth = FDepth;
    } else if (local == "mergeCell" && FDepth == 3) {
      AddMerge(Attributes.Find("ref"));
    }
  }

  void EndElement(const TXmlName& Name) override {
    const std::string_view local = Name.Local;
    if (FInCell) {
      if (FDepth == FCellDepth) {
        EndCell();
      } else if (FDepth == FCellDepth + 1) {
        FInValue = false;
        FInInline = false;
      } else if (FInInline) {
        FInline.End(local);
      }
    } else if (FInRow && FDepth == FRowDepth) {
      EndRow();
    } else if (FInSheetData && FDepth == FSheetDataDepth) {
      FInSheetData = false;
    }
    --FDepth;
  }

  void Text(std::string_view Piece) override {
    if (FInValue) {
      if (FValue.size() + Piece.size() > FMaxText) ThrowDamagedWorkbook();
      FValue.append(Piece);
    } else if (FInInline) {
      FInline.Text(Piece, FMaxText);
    }
  }

private:
  void StartRow(const TXmlAttributes& Attributes) {
    uint32_t row = FNextRow;
    if (const char* r = Attributes.Find("r")) {
      if (!ParseRowNumber(r, row)) ThrowDamagedWorkbook();
    }
    // Rows ascend, as spreadsheets write and require them.
    if (row < FNextRow || row >= MaxSheetRows) ThrowDamagedWorkbook();
    FRowIndex = row;
    FNextColumn = 0;
    FInRow = true;
    FRowDepth = FDepth;
  }

  void EndRow() {
    if (!FRow.Empty()) FLines.Put(FRowIndex, FRow.Text());
    FRow.Clear();
    FNextRow = FRowIndex + 1;
    FInRow = false;
  }

  void StartCell(const TXmlAttributes& Attributes) {
    uint32_t column = FNextColumn;
    if (const char* r = Attributes.Find("r")) {
      uint32_t row = 0;
      if (!ParseCellReference(r, row, column)) ThrowDamagedWorkbook();
    }
    if (column < FNextColumn || column >= MaxSheetColumns) ThrowDamagedWorkbook();
    FColumn = column;
    const char* type = Attributes.Find("t");
    FType = type ? type : "n";
    FWidth = 0;
    if (const char* s = Attributes.Find("s")) {
      const unsigned long style = std::strtoul(s, nullptr, 10);
      if (style < FWidths.size()) FWidth = FWidths[style];
    }
    FValue.clear();
    FInline.Clear();
    FCellText.clear();
    FInCell = true;
    FCellDepth = FDepth;
  }

  void EndCell() {
    FInCell = FInValue = FInInline = false;
    FNextColumn = FColumn + 1;
    std::string_view cell;
    if (FType == "s") {
      if (FValue.empty()) return;
      char* end = nullptr;
      const unsigned long index = std::strtoul(FValue.c_str(), &end, 10);
      if (*end || FValue[0] < '0' || FValue[0] > '9' || index >= FStrings.Count())
        ThrowDamagedWorkbook();
      cell = FStrings.At(index);
    } else if (FType == "inlineStr") {
      FInline.TakeCell(FConverter, FCellText);
      cell = FCellText;
    } else if (FType == "b" && (FValue == "1" || FValue == "0")) {
      cell = FValue == "1" ? "WAHR" : "FALSCH";
    } else if (FType == "n" && WholeNumberDigits(FValue, FWidth, FCellText)) {
      cell = FCellText;
    } else if (FType == "str") {
      FInline.Clear();
      FUnescaped.clear();
      AppendUnescaped(FValue, FUnescaped);
      FConverter.Append(FUnescaped, FCellText);
      cell = FCellText;
    } else {
      FConverter.Append(FValue, FCellText);
      cell = FCellText;
    }
    if (!cell.empty()) FRow.Put(FColumn, cell);
  }

  void AddMerge(const char* Reference) {
    if (!Reference) return;
    const std::string_view ref(Reference);
    const size_t colon = ref.find(':');
    TCellRange range{};
    if (!ParseCellReference(ref.substr(0, colon), range.FirstRow, range.FirstColumn))
      ThrowDamagedWorkbook();
    range.LastRow = range.FirstRow;
    range.LastColumn = range.FirstColumn;
    if (colon != std::string_view::npos &&
        !ParseCellReference(ref.substr(colon + 1), range.LastRow, range.LastColumn))
      ThrowDamagedWorkbook();
    FMerges.push_back(range);
  }

  TCellConverter& FConverter;
  const TSharedStrings& FStrings;
  const std::vector<size_t>& FWidths;
  uint64_t FMaxText;
  TSheetRow FRow;
  TSheetLines FLines;
  std::vector<TCellRange> FMerges;

  int FDepth = 0, FSheetDataDepth = 0, FRowDepth = 0, FCellDepth = 0;
  bool FInSheetData = false, FInRow = false, FInCell = false, FInValue = false, FInInline = false;
  uint32_t FNextRow = 0, FRowIndex = 0, FNextColumn = 0, FColumn = 0;
  AnsiString FType, FValue, FCellText, FUnescaped;
  size_t FWidth = 0;
  TStringItem FInline;
};

const TRelationship* FindType(const std::vector<TRelationship>& Relationships,
                              std::string_view Type) {
  for (const TRelationship& r : Relationships)
    if (!r.External && HasType(r.Type, Type)) return &r;
  return nullptr;
}

} // namespace

bool IsOfficePackage(const TZipArchive& Archive) {
  return Archive.Find(PackageRelationships) || Archive.Find(DefaultWorkbook);
}

AnsiString XlsxSheetText(TZipArchive& Archive, uint64_t MaxText) {
  // The office document the package names, else where it usually lies.
  AnsiString workbookPart = DefaultWorkbook;
  if (const TZipEntry* rels = Archive.Find(PackageRelationships)) {
    TRelationshipsReader reader;
    ParseXmlPart(Archive, *rels, reader, TXmlNames::Prefixes);
    if (const TRelationship* document = FindType(reader.Relationships, "officeDocument"))
      workbookPart = ResolveTarget("", document->Target);
    else if (!Archive.Find(DefaultWorkbook))
      ThrowNotAWorkbook();
  }
  TWorkbookReader workbook;
  ParseXmlPart(Archive, RequirePart(Archive, workbookPart), workbook, TXmlNames::Prefixes);
  if (!workbook.IsWorkbook) ThrowNotAWorkbook();

  const std::vector<TRelationship> relationships = ReadRelationships(Archive, workbookPart);
  const auto target = [&](const TRelationship& R) { return ResolveTarget(workbookPart, R.Target); };
  // The first sheet that is not hidden and is a worksheet, not a chart or dialog sheet.
  const TRelationship* sheet = nullptr;
  for (const TWorkbookReader::TSheet& s : workbook.Sheets) {
    if (s.Hidden) continue;
    const auto it = std::find_if(relationships.begin(), relationships.end(),
                                 [&](const TRelationship& r) { return r.Id == s.RelationshipId; });
    if (it == relationships.end() || it->External) ThrowDamagedWorkbook();
    if (HasType(it->Type, "worksheet")) {
      sheet = &*it;
      break;
    }
  }
  if (!sheet) return AnsiString();
  const TZipEntry& sheetEntry = RequirePart(Archive, target(*sheet));

  std::vector<size_t> widths;
  if (const TRelationship* styles = FindType(relationships, "styles")) {
    TStylesReader reader;
    ParseXmlPart(Archive, RequirePart(Archive, target(*styles)), reader, TXmlNames::Prefixes);
    widths = reader.Widths();
  }
  TCellConverter converter;
  TSharedStrings strings(converter, std::min<uint64_t>(MaxText, UINT32_MAX));
  if (const TRelationship* shared = FindType(relationships, "sharedStrings"))
    ParseXmlPart(Archive, RequirePart(Archive, target(*shared)), strings, TXmlNames::Prefixes);

  TWorksheetReader reader(converter, strings, widths, MaxText);
  // The text is about half the part's declared size or less; a reservation too large costs only
  // address space.
  reader.Lines().Reserve(std::min<uint64_t>(sheetEntry.Size / 2, uint64_t(256) << 20));
  ParseXmlPart(Archive, sheetEntry, reader, TXmlNames::Prefixes);
  AnsiString& text = reader.Lines().Text();
  BlankCoveredCells(text, reader.Merges());
  return std::move(text);
}

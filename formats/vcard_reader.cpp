#include "formats/vcard_reader.h"

#include <algorithm>
#include <utility>

#include "base/ascii.h"
#include "support/utf8.h"

namespace {

constexpr size_t NotFound = std::string_view::npos;
constexpr std::string_view CardBegin = "BEGIN:VCARD";

// Names, parameters and the value "VCARD" are matched ignoring ASCII case.
bool SameText(std::string_view Text, std::string_view Upper) {
  return SameTextAscii(Text, Upper);
}

std::string_view UpToFirstNul(std::string_view Text) {
  const size_t nul = Text.find('\0');
  return nul == NotFound ? Text : Text.substr(0, nul);
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  return -1;
}

// "=" and two hex digits give that byte; any other "=" stays. Bytes 0 are dropped, as the loaded
// text has none either.
AnsiString DecodeQuotedPrintable(std::string_view Value) {
  AnsiString bytes;
  bytes.reserve(Value.size());
  for (size_t i = 0; i < Value.size(); ++i) {
    char c = Value[i];
    if (c == '=' && i + 2 < Value.size() && HexDigit(Value[i + 1]) >= 0 &&
        HexDigit(Value[i + 2]) >= 0) {
      c = static_cast<char>(HexDigit(Value[i + 1]) * 16 + HexDigit(Value[i + 2]));
      i += 2;
    }
    if (c != '\0') bytes += c;
  }
  return bytes;
}

// A quoted-printable value is UTF-8 when its bytes decode as such, else ANSI already; a plain
// value is in the loaded text's code page.
AnsiString DecodeValue(std::string_view Value, bool QuotedPrintable) {
  if (!QuotedPrintable) return AnsiString(Value);
  AnsiString bytes = DecodeQuotedPrintable(Value);
  AnsiString ansi = Utf8TextToAnsi(bytes);
  return ansi.empty() ? bytes : ansi;
}

// The components of a structured value, cut at every ";" that no backslash escapes; still escaped.
TStringArray SplitComponents(std::string_view Value) {
  TStringArray components;
  size_t start = 0;
  for (size_t i = 0; i < Value.size(); ++i) {
    if (Value[i] == '\\') {
      ++i;
    } else if (Value[i] == ';') {
      components.emplace_back(Value.substr(start, i - start));
      start = i + 1;
    }
  }
  components.emplace_back(Value.substr(start));
  return components;
}

// "\\", "\," and "\;" give the character after the backslash, "\n" and "\N" a blank; any other
// backslash stays.
AnsiString Unescape(std::string_view Value) {
  AnsiString result;
  result.reserve(Value.size());
  for (size_t i = 0; i < Value.size(); ++i) {
    const char c = Value[i];
    const char next = i + 1 < Value.size() ? Value[i + 1] : '\0';
    if (c == '\\' && (next == '\\' || next == ',' || next == ';')) {
      result += next;
      ++i;
    } else if (c == '\\' && (next == 'n' || next == 'N')) {
      result += ' ';
      ++i;
    } else {
      result += c;
    }
  }
  return result;
}

// A name part may hold line breaks that quoted-printable encoded; each becomes a blank.
AnsiString NamePart(std::string_view Escaped) {
  AnsiString part = Unescape(Escaped);
  for (char& c : part)
    if (IsLineBreak(c)) c = ' ';
  return part;
}

AnsiString Component(const TStringArray& Components, size_t Index) {
  return Index < Components.size() ? NamePart(Components[Index]) : AnsiString();
}

// A "tel:" URI loses its scheme and its parameters (";ext=12"); other values stay whole.
AnsiString TelephoneValue(std::string_view Escaped) {
  AnsiString number = Unescape(Escaped);
  if (StartsWithTextAscii(number, "TEL:")) {
    number.erase(0, 4);
    number.erase(std::min(number.find(';'), number.size()));
  }
  return number;
}

} // namespace

std::string_view SkipBlankLines(std::string_view Text) {
  const size_t first = Text.find_first_not_of(" \t\r\n");
  return Text.substr(first == NotFound ? Text.size() : first);
}

bool StartsWithCardBegin(std::string_view Text) {
  if (!StartsWithTextAscii(Text, CardBegin)) return false;
  const size_t after = CardBegin.size();
  return after == Text.size() || IsLineBreak(Text[after]) || Text[after] == '\0';
}

TVCardReader::TVCardReader(std::string_view Text) : FText(SkipBlankLines(UpToFirstNul(Text))) {}

// The physical line at the current position, without its line break (CR LF, LF or CR), which is
// passed.
std::string_view TVCardReader::TakePhysicalLine() {
  const size_t start = FPosition;
  size_t stop = start;
  while (stop < FText.size() && !IsLineBreak(FText[stop]))
    ++stop;
  FPosition = stop;
  if (stop < FText.size()) {
    ++FPosition;
    if (FText[stop] == '\r' && FPosition < FText.size() && FText[FPosition] == '\n') ++FPosition;
  }
  return FText.substr(start, stop - start);
}

// Continues the scan of the line's head for the first ":" outside double quotes; true once found.
bool TVCardReader::FindColon(std::string_view Line, THeadScan& Head) {
  for (; Head.Colon == NotFound && Head.Scanned < Line.size(); ++Head.Scanned) {
    const char c = Line[Head.Scanned];
    if (c == '"')
      Head.InQuotes = !Head.InQuotes;
    else if (c == ':' && !Head.InQuotes)
      Head.Colon = Head.Scanned;
  }
  return Head.Colon != NotFound;
}

// Asked only of a line that ends in "=", which a soft break may follow: the head is parsed once,
// however many soft breaks the value has.
bool TVCardReader::IsQuotedPrintableLine(THeadScan& Head) const {
  if (!Head.Parsed) {
    if (!FindColon(FLine, Head)) return false;
    TProperty property;
    ParseProperty(std::string_view(FLine).substr(0, Head.Colon + 1), property);
    Head.QuotedPrintable = property.QuotedPrintable;
    Head.Parsed = true;
  }
  return Head.QuotedPrintable;
}

// Assembles the next line into FLine: a physical line, each following line that starts with a
// blank or TAB (a fold; the break and that one character go), and in a quoted-printable property
// each following line after a value that ends in "=" (a soft break; the "=" and the break go).
bool TVCardReader::ReadLine() {
  if (FPosition >= FText.size()) return false;
  FLine.assign(TakePhysicalLine());
  THeadScan head;
  while (FPosition < FText.size()) {
    if (IsBlankOrTab(FText[FPosition])) {
      ++FPosition;
    } else if (!FLine.empty() && FLine.back() == '=' && IsQuotedPrintableLine(head) &&
               head.Colon + 1 < FLine.size()) {
      FLine.pop_back();
    } else {
      break;
    }
    const std::string_view more = TakePhysicalLine();
    FLine.append(more.data(), more.size());
  }
  return true;
}

// [group.]NAME[;param...]:value. False for a line without a ":" outside double quotes.
bool TVCardReader::ParseProperty(std::string_view Line, TProperty& Property) {
  THeadScan head;
  if (!FindColon(Line, head)) return false;
  Property.Value = Line.substr(head.Colon + 1);
  const std::string_view headText = Line.substr(0, head.Colon);
  Property.QuotedPrintable = false;
  bool inQuotes = false;
  size_t start = 0;
  bool first = true;
  for (size_t i = 0; i <= headText.size(); ++i) {
    if (i < headText.size() && headText[i] == '"') inQuotes = !inQuotes;
    if (i < headText.size() && (headText[i] != ';' || inQuotes)) continue;
    const std::string_view piece = headText.substr(start, i - start);
    if (first) {
      const size_t dot = piece.find('.');
      Property.Name = dot == NotFound ? piece : piece.substr(dot + 1);
      first = false;
    } else if (SameText(piece, "ENCODING=QUOTED-PRINTABLE") ||
               SameText(piece, "QUOTED-PRINTABLE")) {
      Property.QuotedPrintable = true;
    }
    start = i + 1;
  }
  return true;
}

void TVCardReader::StartCard() {
  FHasName = FHasFormattedName = FHasOrganization = false;
  FName.clear();
  FFormattedName.clear();
  FOrganization.clear();
  FNumbers.clear();
}

void TVCardReader::TakeProperty(const TProperty& Property) {
  const std::string_view name = Property.Name;
  if (SameText(name, "TEL")) {
    FNumbers.push_back(TelephoneValue(DecodeValue(Property.Value, Property.QuotedPrintable)));
    return;
  }
  // Of N, FN and ORG the first of each counts.
  auto keepFirst = [&](bool& Seen, AnsiString& Value) {
    if (Seen) return;
    Seen = true;
    Value = DecodeValue(Property.Value, Property.QuotedPrintable);
  };
  if (SameText(name, "N"))
    keepFirst(FHasName, FName);
  else if (SameText(name, "FN"))
    keepFirst(FHasFormattedName, FFormattedName);
  else if (SameText(name, "ORG"))
    keepFirst(FHasOrganization, FOrganization);
}

void TVCardReader::FinishCard(TVCardRecord& Card) {
  const TStringArray name = SplitComponents(FName);
  const TStringArray organization = SplitComponents(FOrganization);
  Card.FamilyName = Component(name, 0);
  Card.GivenName = Component(name, 1);
  if (Card.GivenName.empty() && Card.FamilyName.empty()) Card.GivenName = NamePart(FFormattedName);
  Card.Organization = Component(organization, 0);
  Card.OrganizationalUnit = Component(organization, 1);
  Card.Numbers = std::move(FNumbers);
  StartCard();
}

// The scan, line by line: Outside (between cards: only a BEGIN:VCARD line counts), InCard (the
// properties of the open card; a BEGIN:VCARD after an empty AGENT opens a nested card, any other
// one ends the open card and opens the next), InNestedCard (an agent's card, skipped up to its own
// END:VCARD). Empty lines do not break the tie between AGENT and the BEGIN:VCARD after it.
bool TVCardReader::Next(TVCardRecord& Card) {
  while (ReadLine()) {
    if (FLine.empty()) continue;
    TProperty property;
    const bool parsed = ParseProperty(FLine, property);
    // A grouped or parametered BEGIN:VCARD line opens a card here too; the loader and the cut
    // between two readers take only the plain line (StartsWithCardBegin).
    const bool isBegin =
        parsed && SameText(property.Name, "BEGIN") && SameText(property.Value, "VCARD");
    const bool isEnd =
        parsed && SameText(property.Name, "END") && SameText(property.Value, "VCARD");
    const bool afterEmptyAgent = FAfterEmptyAgent;
    FAfterEmptyAgent = parsed && SameText(property.Name, "AGENT") && property.Value.empty();
    switch (FState) {
    case Outside:
      if (isBegin) {
        StartCard();
        FState = InCard;
      }
      break;
    case InCard:
      if (isBegin && afterEmptyAgent) {
        FState = InNestedCard;
        FNestedDepth = 1;
      } else if (isBegin) {
        FinishCard(Card);
        return true;
      } else if (isEnd) {
        FinishCard(Card);
        FState = Outside;
        return true;
      } else if (parsed) {
        TakeProperty(property);
      }
      break;
    case InNestedCard:
      if (isBegin && afterEmptyAgent) {
        ++FNestedDepth;
      } else if (isBegin) {
        // The agent's card never ended: the open card ends here, as at any other BEGIN:VCARD.
        FinishCard(Card);
        FState = InCard;
        return true;
      } else if (isEnd && --FNestedDepth == 0) {
        FState = InCard;
      }
      break;
    }
  }
  if (FState == Outside) return false;
  // A card still open at the end of the text ends there.
  FinishCard(Card);
  FState = Outside;
  return true;
}

bool TVCardReader::EndsBeforeACard() const {
  if (FAfterEmptyAgent) return false;
  if (FLine.empty() || FLine.back() != '=') return true;
  THeadScan head;
  if (!FindColon(FLine, head)) return true;
  TProperty property;
  ParseProperty(std::string_view(FLine).substr(0, head.Colon + 1), property);
  return !(property.QuotedPrintable && head.Colon + 1 < FLine.size());
}

#pragma once
// Reads contact cards from a vCard text (versions 2.1, 3.0 and 4.0) as the loader gives it: one
// record per card with the four name parts a desktop export's name columns would hold and the
// card's telephone values.
#include <string_view>

#include "base/system.h"
#include "support/string_utils.h"

// Text without the blanks, TABs and line breaks at its start.
std::string_view SkipBlankLines(std::string_view Text);
// Whether Text starts with the line that opens a card: "BEGIN:VCARD" in any case, up to a line
// break, a byte 0 or the end. A text whose first line it is, after blank lines, is a vCard text;
// a second reader may start at such a line.
bool StartsWithCardBegin(std::string_view Text);

struct TVCardRecord {
  // The second and first component of N; when both are empty, GivenName holds FN.
  AnsiString GivenName;
  AnsiString FamilyName;
  // The first and second component of ORG.
  AnsiString Organization;
  AnsiString OrganizationalUnit;
  // Every TEL value of the card in card order, unescaped, a "tel:" URI reduced to its number.
  TStringArray Numbers;
};

class TVCardReader {
public:
  // The text ends at its first byte 0 and must outlive the reader.
  explicit TVCardReader(std::string_view Text);
  TVCardReader(const TVCardReader&) = delete;
  TVCardReader& operator=(const TVCardReader&) = delete;

  // The next card in text order; false once the text holds no more.
  bool Next(TVCardRecord& Card);

  // Once Next has given false: whether a BEGIN:VCARD line right after the text would have
  // started a card of its own, as it starts a text of its own. It would not after an empty AGENT
  // line, which makes it an agent's card, nor after a quoted-printable value ending in a soft
  // break, which takes the next line in.
  bool EndsBeforeACard() const;

private:
  enum TScanState { Outside, InCard, InNestedCard };

  // One property line, split but not decoded.
  struct TProperty {
    std::string_view Name; // without its group
    std::string_view Value;
    bool QuotedPrintable = false;
  };
  // How far the head of the line being assembled has been scanned for its value's colon.
  struct THeadScan {
    size_t Scanned = 0;
    bool InQuotes = false;
    size_t Colon = std::string_view::npos;
    bool Parsed = false;
    bool QuotedPrintable = false;
  };

  bool ReadLine();
  std::string_view TakePhysicalLine();
  bool IsQuotedPrintableLine(THeadScan& Head) const;
  static bool FindColon(std::string_view Line, THeadScan& Head);
  static bool ParseProperty(std::string_view Line, TProperty& Property);
  void StartCard();
  void TakeProperty(const TProperty& Property);
  void FinishCard(TVCardRecord& Card);

  std::string_view FText;
  size_t FPosition = 0;
  AnsiString FLine;
  TScanState FState = Outside;
  int FNestedDepth = 0;
  bool FAfterEmptyAgent = false;
  // The open card: its first N, FN and ORG values (decoded), and its numbers so far.
  bool FHasName = false, FHasFormattedName = false, FHasOrganization = false;
  AnsiString FName, FFormattedName, FOrganization;
  TStringArray FNumbers;
};

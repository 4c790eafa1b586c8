#include "import/vcard_import.h"

#include <cstring>
#include <utility>

#include "import/phone_number.h"
#include "support/side_task.h"

namespace {

// Below this the second thread costs more than it saves.
constexpr size_t MinSplitSize = size_t(1) << 20;

bool StartsACard(std::string_view Text, size_t At) {
  static constexpr std::string_view Begin = "BEGIN:VCARD";
  if (Text.size() - At < Begin.size()) return false;
  for (size_t i = 0; i < Begin.size(); ++i) {
    const char c = Text[At + i];
    if ((c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c) != Begin[i]) return false;
  }
  const size_t after = At + Begin.size();
  return after == Text.size() || Text[after] == '\r' || Text[after] == '\n';
}

// The start of the first BEGIN:VCARD line after the middle of Text, 0 when there is none or the
// text is too short to share; for tests, Split when it starts such a line.
size_t SplitPoint(std::string_view Text, size_t Split) {
  if (Split != AnyCardSplit)
    return Split > 0 && Split < Text.size() &&
                   (Text[Split - 1] == '\r' || Text[Split - 1] == '\n') && StartsACard(Text, Split)
               ? Split
               : 0;
  if (Text.size() < MinSplitSize) return 0;
  for (size_t at = Text.size() / 2; at < Text.size(); ++at) {
    at = Text.find_first_of("\r\n", at);
    if (at == std::string_view::npos) return 0;
    if (StartsACard(Text, at + 1)) return at + 1;
  }
  return 0;
}

// Each card of Reader to Collector; true when the reader's text ended before a card of its own.
bool ReadCards(TVCardReader& Reader, const AnsiString& CountryCode, TContactCollector& Collector) {
  TVCardRecord card;
  AnsiString joined;
  TStringArray numbers;
  while (Reader.Next(card)) {
    // Empty parts are joined too, as empty name columns are.
    joined.clear();
    joined.append(card.GivenName).append(" ").append(card.FamilyName).append(" ");
    joined.append(card.Organization).append(" ").append(card.OrganizationalUnit);
    numbers.clear();
    for (const AnsiString& value : card.Numbers) {
      AnsiString number = NormalizePhoneNumber(value, CountryCode);
      if (!number.empty()) numbers.push_back(std::move(number));
    }
    Collector.AddRecord(joined, numbers);
  }
  return Reader.EndsBeforeACard();
}

} // namespace

void ImportVCardText(std::string_view Text, const AnsiString& CountryCode,
                     TContactCollector& Earlier, TContactCollector& Later, size_t Split) {
  const size_t split = SplitPoint(Text, Split);
  if (split == 0) {
    TVCardReader reader(Text);
    ReadCards(reader, CountryCode, Earlier);
    return;
  }
  // The cards from a BEGIN:VCARD line after the middle are read by a second thread. They are
  // the cards one reader would read from there, where the first half ends before a card of its
  // own and holds no byte 0, which ends the text; else the first half's reader reads on alone.
  TSideTask readLater([&] {
    TVCardReader reader(Text.substr(split));
    ReadCards(reader, CountryCode, Later);
  });
  TVCardReader reader(Text.substr(0, split));
  const bool ownCard = ReadCards(reader, CountryCode, Earlier);
  readLater.Wait();
  if (ownCard && std::memchr(Text.data(), 0, split) == nullptr) return;
  Earlier.Clear();
  Later.Clear();
  TVCardReader whole(Text);
  ReadCards(whole, CountryCode, Earlier);
}

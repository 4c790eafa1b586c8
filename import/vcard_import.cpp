#include "import/vcard_import.h"

#include "formats/vcard_reader.h"

namespace {

// The start of the first card line after the middle of Text, where a second reader may begin;
// 0 when there is none.
size_t CardCut(std::string_view Text) {
  for (size_t at = Text.size() / 2; at < Text.size(); ++at) {
    at = Text.find_first_of("\r\n", at);
    if (at == std::string_view::npos) return 0;
    if (StartsWithCardBegin(Text.substr(at + 1))) return at + 1;
  }
  return 0;
}

} // namespace

void ReadVCardRecords(TLoadedText Text, TRecordPath& Records) {
  const std::string_view text = Text.Bytes();
  // The cards from a card line after the middle are the cards one reader would read from there,
  // where the first part's reader ends before a card of its own.
  Records.Read(
      text.size(), [&] { return CardCut(text); },
      [&](size_t From, size_t To, TRecordSink& Sink) {
        TVCardReader reader(text.substr(From, To - From));
        TVCardRecord card;
        while (reader.Next(card)) {
          for (const AnsiString* part :
               {&card.GivenName, &card.FamilyName, &card.Organization, &card.OrganizationalUnit})
            Sink.AddNamePart(*part);
          for (const AnsiString& value : card.Numbers)
            Sink.AddNumber(value);
          Sink.EndRecord();
        }
        return reader.EndsBeforeACard();
      });
}

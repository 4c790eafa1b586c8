// The vCard reader over any text, and the loader's unfolding ahead of it.
#include "formats/text_loading.h"
#include "formats/vcard_reader.h"
#include "fuzz/fuzz_common.h"

namespace {

// The number of cards read.
size_t ReadAll(const AnsiString& Text) {
  size_t lines = 1;
  for (char c : Text)
    lines += c == '\r' || c == '\n';
  TVCardReader reader(Text);
  TVCardRecord card;
  size_t cards = 0;
  while (reader.Next(card)) {
    FUZZ_CHECK(++cards <= lines);
    // Decoding and unescaping never make a value longer than its text.
    for (const AnsiString* part :
         {&card.GivenName, &card.FamilyName, &card.Organization, &card.OrganizationalUnit}) {
      FUZZ_CHECK(part->size() <= Text.size());
      FUZZ_CHECK(part->find_first_of("\r\n") == AnsiString::npos);
    }
    for (const AnsiString& number : card.Numbers)
      FUZZ_CHECK(number.size() <= Text.size());
  }
  return cards;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const AnsiString text(reinterpret_cast<const char*>(Data), Size);
  ReadAll(text);
  const AnsiString unfolded = UnfoldLines(text);
  FUZZ_CHECK(unfolded.size() <= Size);
  for (size_t i = 0; i + 1 < unfolded.size(); ++i)
    FUZZ_CHECK(!((unfolded[i] == '\r' || unfolded[i] == '\n') &&
                 (unfolded[i + 1] == ' ' || unfolded[i + 1] == '\t')));
  // Without folds, a text that starts with a BEGIN:VCARD line has at least that card.
  const size_t cards = ReadAll(unfolded);
  if (IsVCardText(unfolded)) FUZZ_CHECK(cards >= 1);
  return 0;
}

// The vCard reader over any text, and the loader's unfolding ahead of it.
#include "csv/text_loading.h"
#include "csv/vcard_reader.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const AnsiString text(reinterpret_cast<const char*>(Data), Size);
  size_t lines = 1;
  for (char c : text) lines += c == '\r' || c == '\n';
  for (const AnsiString& input : {text, UnfoldLines(text)}) {
    TVCardReader reader(input);
    TVCardRecord card;
    size_t cards = 0;
    while (reader.Next(card)) {
      FUZZ_CHECK(++cards <= lines);
      // Decoding and unescaping never make a value longer than its line.
      for (const AnsiString* part : {&card.GivenName, &card.FamilyName, &card.Organization,
                                     &card.OrganizationalUnit}) {
        FUZZ_CHECK(part->size() <= Size);
        FUZZ_CHECK(part->find_first_of("\r\n") == AnsiString::npos);
      }
      for (const AnsiString& number : card.Numbers) FUZZ_CHECK(number.size() <= Size);
    }
    // A text that starts with a BEGIN:VCARD line has at least that card.
    if (IsVCardText(input)) FUZZ_CHECK(cards >= 1);
  }
  FUZZ_CHECK(UnfoldLines(text).size() <= Size);
  return 0;
}

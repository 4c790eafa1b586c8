// Display names and numbers of any text: the first byte picks the country code.
#include "fuzz/fuzz_common.h"
#include "import/display_name.h"
#include "import/phone_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  static const char* const countries[] = {"49", "41", "1", "0", "", "+", "4"};
  const AnsiString country = countries[Data[0] % 7];
  const AnsiString text(reinterpret_cast<const char*>(Data + 1), Size - 1);

  const AnsiString name = BuildDisplayName(text);
  FUZZ_CHECK(name.size() <= text.size());
  FUZZ_CHECK(name.empty() || (static_cast<unsigned char>(name.front()) > ' ' &&
                              static_cast<unsigned char>(name.back()) > ' '));
  size_t blanks = 0;
  for (char c : name)
    blanks += c == ' ';
  FUZZ_CHECK(blanks <= 5 || name.find("  ") != AnsiString::npos);

  const AnsiString number = NormalizePhoneNumber(text, country);
  FUZZ_CHECK(number.size() <= text.size() + 1);
  for (char c : number)
    FUZZ_CHECK((c >= '0' && c <= '9') || c == '+');
  if (!country.empty()) FUZZ_CHECK(number.empty() || number[0] != '+');
  const AnsiString key = StripCountryPrefix(number, country);
  FUZZ_CHECK(key.size() <= number.size());
  return 0;
}

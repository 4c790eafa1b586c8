#include "import/found_text.h"

#include "platform/platform.h"

AnsiString FormatCount(int64_t Value) {
  const AnsiString separator = platform::ThousandSeparator();
  // Unsigned, so that the most negative value has a magnitude too.
  uint64_t magnitude = Value < 0 ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
  AnsiString digits;
  do {
    digits += static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  AnsiString result = Value < 0 ? "-" : "";
  for (size_t i = digits.size(); i-- > 0;) {
    result += digits[i];
    if (i > 0 && i % 3 == 0) result += separator;
  }
  return result;
}

AnsiString FoundText(const TImportCounts& Counts, bool Bold) {
  const char* const open = Bold ? "<b>" : "";
  const char* const close = Bold ? "</b>" : "";
  return open + FormatCount(Counts.Names) + close + " Namen " + open + FormatCount(Counts.Numbers) +
         close + " Nummern gefunden.";
}

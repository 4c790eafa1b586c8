#include "app/phone_number.h"

#include "platform/platform.h"

namespace {

constexpr size_t MaxDigitsAfterPrefix = 100;

bool IsPhoneChar(char c) { return (c >= '0' && c <= '9') || c == '+'; }

void AppendPhoneChars(AnsiString& Dest, const char* Begin, const char* End) {
  for (const char* c = Begin; c != End; ++c)
    if (IsPhoneChar(*c)) Dest += *c;
}

bool IsDigits(const AnsiString& S, size_t From) {
  for (size_t i = From; i < S.size(); ++i)
    if (S[i] < '0' || S[i] > '9') return false;
  return true;
}

// "+" or "00" followed by one to three digits.
bool IsInternationalPrefix(const AnsiString& Kept) {
  size_t digits = 0;
  if (Kept.compare(0, 1, "+") == 0) digits = 1;
  else if (Kept.compare(0, 2, "00") == 0) digits = 2;
  else return false;
  const size_t count = Kept.size() - digits;
  return count >= 1 && count <= 3 && IsDigits(Kept, digits);
}

bool StartsWith(const AnsiString& S, const AnsiString& Prefix) {
  return S.size() >= Prefix.size() && S.compare(0, Prefix.size(), Prefix) == 0;
}

} // namespace

AnsiString GetCountryCode() {
  try {
    AnsiString code;
    if (platform::UserCountryCode(code) && !code.empty()) return code;
  } catch (...) {
    // any failure of the locale query means the fallback
  }
  return "49";
}

AnsiString NormalizePhoneNumber(const AnsiString& Text, const AnsiString& CountryCode) {
  AnsiString number;
  number.reserve(Text.size());
  const char* begin = Text.data();
  const char* end = begin + Text.size();
  const char* rest = begin;
  // "+49 (0) 40 ..." writes the national trunk 0 beside the country code; dialled
  // internationally it is not part of the number.
  const size_t trunk = Text.find("(0)");
  if (trunk != AnsiString::npos) {
    AppendPhoneChars(number, begin, begin + trunk);
    rest = begin + trunk;
    if (IsInternationalPrefix(number)) rest += 3;
  }
  AppendPhoneChars(number, rest, end);

  const AnsiString own = "+" + CountryCode;
  if (StartsWith(number, own)) return "0" + number.substr(own.size(), MaxDigitsAfterPrefix);
  if (StartsWith(number, "+")) return "00" + number.substr(1, MaxDigitsAfterPrefix);
  return number;
}

AnsiString StripCountryPrefix(const AnsiString& Number, const AnsiString& CountryCode) {
  const AnsiString own = "00" + CountryCode;
  if (StartsWith(Number, own)) return "0" + Number.substr(own.size(), MaxDigitsAfterPrefix);
  return Number;
}

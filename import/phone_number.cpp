#include "import/phone_number.h"

#include <cstring>
#include <string_view>

#include "platform/platform.h"
#include "support/string_utils.h"

namespace {

constexpr size_t MaxDigitsAfterPrefix = 100;

bool IsPhoneChar(char c) {
  return (c >= '0' && c <= '9') || c == '+';
}

// "+" or "00" followed by one to three digits.
bool IsInternationalPrefix(std::string_view Kept) {
  size_t digits = 0;
  if (Kept.compare(0, 1, "+") == 0)
    digits = 1;
  else if (Kept.compare(0, 2, "00") == 0)
    digits = 2;
  else
    return false;
  const size_t count = Kept.size() - digits;
  return count >= 1 && count <= 3 && IsDigits(Kept.substr(digits));
}

// Number starts with Prefix followed by Code. Called for every number: no library calls.
bool StartsWith(std::string_view Number, std::string_view Prefix, std::string_view Code) {
  if (Number.size() < Prefix.size() + Code.size()) return false;
  for (size_t i = 0; i < Prefix.size(); ++i)
    if (Number[i] != Prefix[i]) return false;
  for (size_t i = 0; i < Code.size(); ++i)
    if (Number[Prefix.size() + i] != Code[i]) return false;
  return true;
}

// NewPrefix and at most MaxDigitsAfterPrefix characters of Number from From on.
AnsiString Rewritten(std::string_view NewPrefix, std::string_view Number, size_t From) {
  const std::string_view rest = Number.substr(From, MaxDigitsAfterPrefix);
  AnsiString result(NewPrefix.size() + rest.size(), '\0');
  std::memcpy(&result[0], NewPrefix.data(), NewPrefix.size());
  if (!rest.empty()) std::memcpy(&result[NewPrefix.size()], rest.data(), rest.size());
  return result;
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

namespace {

// The characters of Text a number keeps, into Kept, which has room for all of them.
size_t KeepNumberChars(std::string_view Text, char* Kept) {
  size_t length = 0;
  const char* const end = Text.data() + Text.size();
  bool trunkSeen = false;
  for (const char* c = Text.data(); c != end; ++c) {
    if (IsPhoneChar(*c)) {
      Kept[length++] = *c;
    } else if (*c == '(' && !trunkSeen && end - c >= 3 && c[1] == '0' && c[2] == ')') {
      // "+49 (0) 40 ..." writes the national trunk 0 beside the country code; dialled
      // internationally it is not part of the number. Only the first "(0)" is looked at.
      trunkSeen = true;
      if (IsInternationalPrefix(std::string_view(Kept, length))) c += 2;
    }
  }
  return length;
}

// The normalised number of Text to Number: a new prefix and what follows of the kept characters.
template <typename TNumber>
void Normalize(std::string_view Text, std::string_view CountryCode, TNumber Number) {
  // The kept characters of a number of usual length stay on the stack.
  char shortText[64];
  AnsiString longText;
  char* kept = shortText;
  if (Text.size() > sizeof shortText) {
    longText.resize(Text.size());
    kept = &longText[0];
  }
  const std::string_view number(kept, KeepNumberChars(Text, kept));
  if (StartsWith(number, "+", CountryCode))
    Number("0", number.substr(1 + CountryCode.size(), MaxDigitsAfterPrefix));
  else if (StartsWith(number, "+", ""))
    Number("00", number.substr(1, MaxDigitsAfterPrefix));
  else
    Number("", number);
}

} // namespace

AnsiString NormalizePhoneNumber(std::string_view Text, std::string_view CountryCode) {
  AnsiString result;
  Normalize(Text, CountryCode, [&](std::string_view Prefix, std::string_view Rest) {
    result.reserve(Prefix.size() + Rest.size());
    result.append(Prefix.data(), Prefix.size()).append(Rest.data(), Rest.size());
  });
  return result;
}

void NumberKey(std::string_view Text, std::string_view CountryCode, AnsiString& Key) {
  Normalize(Text, CountryCode, [&](std::string_view Prefix, std::string_view Rest) {
    Key.assign(Prefix.data(), Prefix.size()).append(Rest.data(), Rest.size());
  });
  if (StartsWith(Key, "00", CountryCode)) {
    Key.erase(1, 1 + CountryCode.size());
    if (Key.size() > 1 + MaxDigitsAfterPrefix) Key.resize(1 + MaxDigitsAfterPrefix);
  }
}

AnsiString StripCountryPrefix(std::string_view Number, std::string_view CountryCode) {
  if (StartsWith(Number, "00", CountryCode)) return Rewritten("0", Number, 2 + CountryCode.size());
  return AnsiString(Number);
}

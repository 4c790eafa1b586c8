#include "app/vcard_import.h"

#include <utility>

#include "app/phone_number.h"

void ImportVCardText(std::string_view Text, const AnsiString& CountryCode,
                     TContactCollector& Collector) {
  TVCardReader reader(Text);
  TVCardRecord card;
  AnsiString joined;
  TStringArray numbers;
  while (reader.Next(card)) {
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
}

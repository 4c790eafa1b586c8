#include "app/contact_import.h"

#include "app/csv_normalizer.h"
#include "app/display_name.h"
#include "app/phone_number.h"
#include "csv/csv_reader.h"
#include "csv/dialect.h"
#include "support/fast_memory_stream.h"
#include "support/string_utils.h"

const char* const NameHeaders[5] = {"Vorname", "Nachname", "Firma", "Abteilung", "Name"};
const char* const NumberHeaders[3] = {"Telefon", "Fax", "Phone"};

namespace {

constexpr int MaxNameLength = 50;
const AnsiString ValueSeparator = ":::";

class TUpdateBracket {
public:
  explicit TUpdateBracket(TStrings& Lines) : FLines(Lines) { FLines.BeginUpdate(); }
  ~TUpdateBracket() { FLines.EndUpdate(); }
  TUpdateBracket(const TUpdateBracket&) = delete;
  TUpdateBracket& operator=(const TUpdateBracket&) = delete;

private:
  TStrings& FLines;
};

void FindColumns(TCSVReader& Header, TIntegerList& NameColumns, TIntegerList& NumberColumns) {
  Header.First();
  if (Header.Eof()) return;
  for (int32_t i = 0; i < Header.FieldCount(); ++i) {
    const AnsiString field = Header.GetField(i);
    // A header holding two words counts twice; only membership is asked later.
    for (const char* word : NameHeaders)
      if (ContainsText(field, word)) NameColumns.Add(i);
    for (const char* word : NumberHeaders)
      if (ContainsText(field, word)) NumberColumns.Add(i);
  }
}

} // namespace

void AddEntry(TRBStringList& Dictionary, const AnsiString& Number, const AnsiString& Name,
              const AnsiString& CountryCode) {
  Dictionary.SetValue(StripCountryPrefix(Number, CountryCode), Name);
}

TImportCounts ImportContacts(const AnsiString& FileName, TStrings& Target,
                             const AnsiString& CountryCode) {
  TImportCounts counts;
  TRBStringList dictionary;
  TFastMemoryStream stream;
  TIntegerList nameColumns, numberColumns;

  NormalizeCSVData(FileName, stream);
  TCSVOptions options;
  DetectCSVOptionsFromStream(stream, options);
  stream.SetPosition(0);
  {
    TCSVReader header(stream, options.Delimiter);
    FindColumns(header, nameColumns, numberColumns);
  }

  stream.SetPosition(0);
  TStringArray numbers;
  TCSVReader reader(stream, options.Delimiter);
  reader.First();
  reader.Next();
  AnsiString joined;
  while (!reader.Eof()) {
    numbers.clear();
    joined.clear();
    const char* joiner = "";
    for (int32_t i = 0; i < reader.FieldCount(); ++i) {
      const bool isName = nameColumns.IndexOf(i) >= 0;
      const bool isNumber = numberColumns.IndexOf(i) >= 0;
      if (!isName && !isNumber) continue;
      const AnsiString field = reader.GetField(i);
      if (isName) {
        // Empty fields are joined too: the joiner is a blank from the second name column on.
        joined += joiner;
        joined += field;
        joiner = " ";
      }
      if (isNumber)
        for (const AnsiString& part : SplitString(ValueSeparator, field, 0, 0)) {
          AnsiString number = NormalizePhoneNumber(part, CountryCode);
          if (!number.empty()) numbers.push_back(std::move(number));
        }
    }
    AnsiString name = BuildDisplayName(joined);
    if (!name.empty() && !numbers.empty()) {
      // The first "=" of a line must separate number and name.
      ReplaceTextInPlace(name, "=", "");
      name = TruncateString(name, MaxNameLength);
      ++counts.Names;
      for (const AnsiString& number : numbers) {
        ++counts.Numbers;
        AddEntry(dictionary, number, name, CountryCode);
      }
    }
    reader.Next();
  }

  TUpdateBracket bracket(Target);
  dictionary.AssignTo(Target);
  return counts;
}

TImportCounts ImportContacts(const AnsiString& FileName, TStrings& Target) {
  return ImportContacts(FileName, Target, GetCountryCode());
}

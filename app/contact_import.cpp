#include "app/contact_import.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/csv_normalizer.h"
#include "app/display_name.h"
#include "app/phone_number.h"
#include "app/vcard_import.h"
#include "csv/csv_reader.h"
#include "csv/dialect.h"
#include "csv/text_loading.h"
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

// The header pass needs the first record only. The normalised text holds no quote and no byte 0,
// and every line of it ends with CR LF, so a reader over the text up to the first line end
// reads that record exactly as a reader over all of it would, without a copy of the whole text.
void FindColumnsInFirstLine(TFastMemoryStream& Stream, char Delimiter, TIntegerList& NameColumns,
                            TIntegerList& NumberColumns) {
  const auto* text = static_cast<const char*>(Stream.Memory());
  const auto size = static_cast<size_t>(Stream.GetSize());
  const auto* lineEnd =
      size > 0 ? static_cast<const char*>(std::memchr(text, '\r', size)) : nullptr;
  const size_t length = lineEnd ? std::min(size, size_t(lineEnd - text) + 2) : size;
  TFastMemoryStream firstLine;
  firstLine.SetPointer(Stream.Memory(), static_cast<int32_t>(length));
  TCSVReader header(firstLine, Delimiter);
  FindColumns(header, NameColumns, NumberColumns);
}

enum TColumnRole : unsigned char { NameRole = 1, NumberRole = 2 };

// The role of each column up to the last one of either list, asked of the lists once instead of
// for every field of every record.
std::vector<unsigned char> ColumnRoles(const TIntegerList& NameColumns,
                                       const TIntegerList& NumberColumns) {
  int32_t last = -1;
  for (const TIntegerList* list : {&NameColumns, &NumberColumns})
    for (int i = 0; i < list->Count(); ++i)
      last = std::max(last, (*list)[i]);
  std::vector<unsigned char> roles(static_cast<size_t>(last + 1));
  for (int32_t i = 0; i <= last; ++i)
    roles[static_cast<size_t>(i)] = (NameColumns.IndexOf(i) >= 0 ? NameRole : 0) |
                                    (NumberColumns.IndexOf(i) >= 0 ? NumberRole : 0);
  return roles;
}

void AddNumbers(const AnsiString& Field, const AnsiString& CountryCode, TStringArray& Numbers) {
  auto add = [&](const AnsiString& Part) {
    AnsiString number = NormalizePhoneNumber(Part, CountryCode);
    if (!number.empty()) Numbers.push_back(std::move(number));
  };
  // A field without the separator is its own single part; an empty one has none.
  if (Field.find(ValueSeparator) == AnsiString::npos) {
    if (!Field.empty()) add(Field);
    return;
  }
  for (const AnsiString& part : SplitString(ValueSeparator, Field, 0, 0))
    add(part);
}

// Walks the records after the header row into the collector. The reader holds its own copy of
// the text, so the stream's is freed at once.
void ReadRecords(TFastMemoryStream& Stream, char Delimiter, const std::vector<unsigned char>& Roles,
                 const AnsiString& CountryCode, TContactCollector& Collector) {
  Stream.SetPosition(0);
  TStringArray numbers;
  TCSVReader reader(Stream, Delimiter);
  Stream.Clear();
  reader.First();
  reader.Next();
  AnsiString joined, field;
  while (!reader.Eof()) {
    numbers.clear();
    joined.clear();
    const char* joiner = "";
    // Fields beyond the last listed column are in neither list.
    const auto known = std::min(static_cast<size_t>(reader.FieldCount()), Roles.size());
    for (size_t i = 0; i < known; ++i) {
      const unsigned char role = Roles[i];
      if (role & NameRole) {
        // Empty fields are joined too: the joiner is a blank from the second name column on.
        joined += joiner;
        reader.AppendField(static_cast<int32_t>(i), joined);
        joiner = " ";
      }
      if (role & NumberRole) {
        field.clear();
        reader.AppendField(static_cast<int32_t>(i), field);
        AddNumbers(field, CountryCode, numbers);
      }
    }
    Collector.AddRecord(joined, numbers);
    reader.Next();
  }
}

void ImportCSVText(AnsiString Text, const AnsiString& CountryCode, TContactCollector& Collector) {
  TFastMemoryStream stream;
  TIntegerList nameColumns, numberColumns;
  NormalizeCSVText(Text, stream);
  Text = AnsiString();
  TCSVOptions options;
  DetectCSVOptionsFromStream(stream, options);
  stream.SetPosition(0);
  FindColumnsInFirstLine(stream, options.Delimiter, nameColumns, numberColumns);
  ReadRecords(stream, options.Delimiter, ColumnRoles(nameColumns, numberColumns), CountryCode,
              Collector);
}

} // namespace

void AddEntry(TRBStringList& Dictionary, const AnsiString& Number, const AnsiString& Name,
              const AnsiString& CountryCode) {
  Dictionary.SetValue(StripCountryPrefix(Number, CountryCode), Name);
}

void TContactCollector::AddRecord(const AnsiString& JoinedName, const TStringArray& Numbers) {
  if (Numbers.empty()) return;
  AnsiString name = BuildDisplayName(JoinedName);
  if (name.empty()) return;
  // The first "=" of a line must separate number and name.
  ReplaceTextInPlace(name, "=", "");
  if (name.size() > size_t(MaxNameLength)) name = TruncateString(name, MaxNameLength);
  ++FCounts.Names;
  for (const AnsiString& number : Numbers) {
    ++FCounts.Numbers;
    AddEntry(FDictionary, number, name, FCountryCode);
  }
}

void TContactCollector::AssignTo(TStrings& Target) {
  TUpdateBracket bracket(Target);
  FDictionary.AssignTo(Target);
}

TImportCounts ImportContactsFromText(AnsiString Text, TStrings& Target,
                                     const AnsiString& CountryCode) {
  TContactCollector collector(CountryCode);
  if (IsVCardText(Text))
    ImportVCardText(Text, CountryCode, collector);
  else
    ImportCSVText(std::move(Text), CountryCode, collector);
  collector.AssignTo(Target);
  return collector.Counts();
}

TImportCounts ImportContacts(const AnsiString& FileName, TStrings& Target,
                             const AnsiString& CountryCode) {
  return ImportContactsFromText(LoadFileAsAnsiText(FileName), Target, CountryCode);
}

TImportCounts ImportContacts(const AnsiString& FileName, TStrings& Target) {
  return ImportContacts(FileName, Target, GetCountryCode());
}

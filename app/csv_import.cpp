#include "app/csv_import.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "app/csv_normalizer.h"
#include "app/phone_number.h"
#include "csv/csv_reader.h"
#include "csv/dialect.h"
#include "support/fast_memory_stream.h"
#include "support/integer_list.h"
#include "support/side_task.h"
#include "support/string_utils.h"

const char* const NameHeaders[5] = {"Vorname", "Nachname", "Firma", "Abteilung", "Name"};
const char* const NumberHeaders[3] = {"Telefon", "Fax", "Phone"};

namespace {

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

// The normalised numbers of one field, which may hold several separated by ":::".
void AddNumbers(std::string_view Field, const AnsiString& CountryCode, TStringArray& Numbers) {
  auto add = [&](std::string_view Part) {
    AnsiString number = NormalizePhoneNumber(Part, CountryCode);
    if (!number.empty()) Numbers.push_back(std::move(number));
  };
  // A field without the separator is its own single part; an empty one has none.
  if (Field.find(ValueSeparator) == std::string_view::npos) {
    if (!Field.empty()) add(Field);
    return;
  }
  for (const AnsiString& part : SplitString(AnsiString(ValueSeparator), AnsiString(Field), 0, 0))
    add(part);
}

// A field's text, straight from the reader's text unless it is quoted.
std::string_view FieldText(const TCSVReader& Reader, int32_t Index, AnsiString& Buffer) {
  const std::string_view raw = Reader.RawField(Index);
  if (raw.empty() || raw[0] != TCSVReader::Quote) return raw;
  Buffer.clear();
  Reader.AppendField(Index, Buffer);
  return Buffer;
}

// The records of Text from Reader's current one until the one that ends at Until.
void ReadRecords(TCSVReader& Reader, size_t Until, const std::vector<unsigned char>& Roles,
                 const AnsiString& CountryCode, TContactCollector& Collector) {
  TStringArray numbers;
  AnsiString joined, field;
  while (!Reader.Eof()) {
    numbers.clear();
    joined.clear();
    const char* joiner = "";
    // Fields beyond the last listed column are in neither list.
    const auto known = std::min(static_cast<size_t>(Reader.FieldCount()), Roles.size());
    for (size_t i = 0; i < known; ++i) {
      const unsigned char role = Roles[i];
      if (role & NameRole) {
        // Empty fields are joined too: the joiner is a blank from the second name column on.
        joined += joiner;
        joined += FieldText(Reader, static_cast<int32_t>(i), field);
        joiner = " ";
      }
      if (role & NumberRole)
        AddNumbers(FieldText(Reader, static_cast<int32_t>(i), field), CountryCode, numbers);
    }
    Collector.AddRecord(joined, numbers);
    if (Reader.Position() >= Until) break;
    Reader.Next();
  }
}

// Below this the second thread costs more than it saves.
constexpr size_t MinSplitSize = 1 << 20;

// Where the second half of the records begins: the start of the line after the middle of the
// text, or 0 when the text is too short to share the work or has no line there. The normalised
// text holds no quotes, so every CR LF in it ends a record.
size_t SplitPoint(const char* Text, size_t Size, size_t HeaderEnd) {
  if (Size < MinSplitSize) return 0;
  const size_t middle = std::max(Size / 2, HeaderEnd);
  const auto* cr = static_cast<const char*>(std::memchr(Text + middle, '\r', Size - middle));
  if (!cr || size_t(cr - Text) + 2 >= Size) return 0;
  return size_t(cr - Text) + 2;
}

} // namespace

void ImportCSVText(TLoadedText Text, const AnsiString& CountryCode, TContactCollector& Earlier,
                   TContactCollector& Later) {
  TFastMemoryStream stream;
  NormalizeCSVText(Text, stream);
  Text = TLoadedText();
  TCSVOptions options;
  DetectCSVOptionsFromStream(stream, options);

  // The readers read the stream's own block, which gets their closing bytes.
  const auto size = static_cast<size_t>(stream.GetSize());
  stream.SetSize(static_cast<int64_t>(size + TCSVReader::ClosingBytes));
  char* const text = static_cast<char*>(stream.Memory());
  TCSVReader::CloseText(text, size);

  TIntegerList nameColumns, numberColumns;
  TCSVReader reader(text, size, options.Delimiter);
  FindColumns(reader, nameColumns, numberColumns);
  const std::vector<unsigned char> roles = ColumnRoles(nameColumns, numberColumns);

  reader.First();
  const size_t split = SplitPoint(text, size, reader.Position());
  reader.Next();
  if (split == 0) {
    Earlier.ReserveFor(size);
    ReadRecords(reader, size, roles, CountryCode, Earlier);
  } else {
    Earlier.ReserveFor(split);
    Later.ReserveFor(size - split);
    TSideTask second([&] {
      TCSVReader laterReader(text + split, size - split, options.Delimiter);
      laterReader.First();
      ReadRecords(laterReader, size - split, roles, CountryCode, Later);
    });
    ReadRecords(reader, split, roles, CountryCode, Earlier);
    second.Wait();
  }
  // The text's memory goes before the sort needs its own.
  stream.Clear();
  if (Later.Size() > 0) {
    TSideTask sortLater([&] { Later.Sort(); });
    Earlier.Sort();
    sortLater.Wait();
  } else {
    Earlier.Sort();
  }
}

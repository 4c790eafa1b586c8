#include "import/csv_import.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "import/csv_normalizer.h"
#include "import/phone_number.h"
#include "formats/csv_reader.h"
#include "formats/dialect.h"
#include "support/block_pool.h"
#include "support/const_memory_stream.h"
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

bool ImportCSVText(TLoadedText& Text, const AnsiString& CountryCode, TBlockPool& Pool,
                   TContactCollector& Earlier, TContactCollector& Later) {
  // Two threads normalise the two halves of a large text; each part is followed by the readers'
  // closing bytes.
  TPoolText first(Pool), second(Pool);
  // A byte 0 in a text whose zero bytes were not counted: counted, they may make it another one.
  if (NormalizeCSVTextInParts(Text, TCSVReader::ClosingBytes, first, second) &&
      !Text.ZerosCounted() && Text.CountZeros())
    return false;
  Text = TLoadedText();
  TCSVOptions options;
  {
    // The sample is the start of the whole text, whichever parts it lies in.
    AnsiString sample(first.Data(), std::min(first.Size(), CSVDetectionSampleSize));
    sample.append(second.Data(), std::min(second.Size(), CSVDetectionSampleSize - sample.size()));
    TConstMemoryStream head(sample.data(), sample.size());
    DetectCSVOptionsFromStream(head, options);
  }

  // The readers read the parts where they are.
  TCSVReader::CloseText(first.Data(), first.Size());
  if (second.Size() > 0) TCSVReader::CloseText(second.Data(), second.Size());
  const char* const text = first.Data();
  const size_t size = first.Size();

  TIntegerList nameColumns, numberColumns;
  TCSVReader reader(text, size, options.Delimiter);
  FindColumns(reader, nameColumns, numberColumns);
  const std::vector<unsigned char> roles = ColumnRoles(nameColumns, numberColumns);

  reader.First();
  // The second part begins with a record; without one, the text's second half of the records is
  // read by the second thread all the same.
  const char* laterText = second.Data();
  size_t laterSize = second.Size();
  size_t earlierSize = size;
  if (laterSize == 0) {
    const size_t split = SplitPoint(text, size, reader.Position());
    if (split > 0) {
      laterText = text + split;
      laterSize = size - split;
      earlierSize = split;
    }
  }
  reader.Next();
  if (laterSize == 0) {
    Earlier.ReserveFor(size);
    ReadRecords(reader, size, roles, CountryCode, Earlier);
  } else {
    Earlier.ReserveFor(earlierSize);
    Later.ReserveFor(laterSize);
    TSideTask readLater([&] {
      TCSVReader laterReader(laterText, laterSize, options.Delimiter);
      laterReader.First();
      ReadRecords(laterReader, laterSize, roles, CountryCode, Later);
    });
    ReadRecords(reader, earlierSize, roles, CountryCode, Earlier);
    readLater.Wait();
  }
  // The text's memory goes back to the pool, where the sort and the dictionary find it.
  first.Release();
  second.Release();
  if (Later.Size() > 0) {
    TSideTask sortLater([&] { Later.Sort(); });
    Earlier.Sort();
    sortLater.Wait();
  } else {
    Earlier.Sort();
  }
  return true;
}

#include "import/csv_import.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "formats/csv_reader.h"
#include "formats/dialect.h"
#include "import/csv_normalizer.h"
#include "support/byte_scan.h"
#include "support/const_memory_stream.h"
#include "support/integer_list.h"

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

// The records from Reader's current one to the one that ends at Until. The normalised text holds
// no quotes: every field is the text where it stands.
void ReadRecords(TCSVReader& Reader, size_t Until, const std::vector<unsigned char>& Roles,
                 TRecordSink& Sink) {
  while (!Reader.Eof()) {
    // Fields beyond the last listed column are in neither list.
    const auto known = std::min(static_cast<size_t>(Reader.FieldCount()), Roles.size());
    for (size_t i = 0; i < known; ++i) {
      const unsigned char role = Roles[i];
      if (role & NameRole) Sink.AddNamePart(Reader.RawField(static_cast<int32_t>(i)));
      if (role & NumberRole) Sink.AddNumbers(Reader.RawField(static_cast<int32_t>(i)));
    }
    Sink.EndRecord();
    if (Reader.Position() >= Until) break;
    Reader.Next();
  }
}

} // namespace

void ReadCSVRecords(TLoadedText Text, TRecordPath& Records, char Delimiter) {
  TBlockPool& pool = Records.Pool();
  // The first lines of the normalised text: the dialect's sample and the header row.
  AnsiString head;
  NormalizeCSVLines(Text, 0, Text.Bytes().size(), 0, pool, [&](char* Lines, size_t Length) {
    head.append(Lines, Length);
    return head.size() < CSVDetectionSampleSize;
  });
  char delimiter = Delimiter;
  if (!delimiter) {
    TConstMemoryStream sample(head.data(), std::min(head.size(), CSVDetectionSampleSize));
    TCSVOptions options;
    DetectCSVOptionsFromStream(sample, options);
    delimiter = options.Delimiter;
  }
  const size_t headSize = head.size();
  head.resize(headSize + TCSVReader::ClosingBytes);
  TCSVReader::CloseText(&head[0], headSize);
  TIntegerList nameColumns, numberColumns;
  TCSVReader header(head.data(), headSize, delimiter);
  FindColumns(header, nameColumns, numberColumns);
  const std::vector<unsigned char> roles = ColumnRoles(nameColumns, numberColumns);
  // An empty text has no record after its header row: "Try to read past eof".
  header.First();
  header.Next();

  // The lines of the text from From to To, read as they are normalised; the header row first
  // where From is the start. They are what one reader reads there unless the text ended before
  // To.
  const auto read = [&](size_t From, size_t To, TRecordSink& Sink) {
    bool headerRow = From == 0;
    return NormalizeCSVLines(Text, From, To, TCSVReader::ClosingBytes, pool,
                             [&](char* Lines, size_t Length) {
                               TCSVReader::CloseText(Lines, Length);
                               TCSVReader reader(Lines, Length, delimiter);
                               reader.First();
                               if (headerRow) {
                                 headerRow = false;
                                 if (reader.Position() >= Length) return true;
                                 reader.Next();
                               }
                               ReadRecords(reader, Length, roles, Sink);
                               return true;
                             });
  };
  const std::string_view bytes = Text.Bytes();
  Records.Read(
      bytes.size(), [&] { return CSVCutAfterMiddle(bytes); }, read);
}

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

// A field's text, straight from the reader's text unless it is quoted.
std::string_view FieldText(const TCSVReader& Reader, int32_t Index, AnsiString& Buffer) {
  const std::string_view raw = Reader.RawField(Index);
  if (raw.empty() || raw[0] != TCSVReader::Quote) return raw;
  Buffer.clear();
  Reader.AppendField(Index, Buffer);
  return Buffer;
}

// The records from Reader's current one to the one that ends at Until.
void ReadRecords(TCSVReader& Reader, size_t Until, const std::vector<unsigned char>& Roles,
                 TRecordSink& Sink) {
  AnsiString field;
  while (!Reader.Eof()) {
    // Fields beyond the last listed column are in neither list.
    const auto known = std::min(static_cast<size_t>(Reader.FieldCount()), Roles.size());
    for (size_t i = 0; i < known; ++i) {
      const unsigned char role = Roles[i];
      if (role & NameRole) Sink.AddNamePart(FieldText(Reader, static_cast<int32_t>(i), field));
      if (role & NumberRole) Sink.AddNumbers(FieldText(Reader, static_cast<int32_t>(i), field));
    }
    Sink.EndRecord();
    if (Reader.Position() >= Until) break;
    Reader.Next();
  }
}

// The delimiter of the normalised text, from its start, whichever parts that lies in.
char DetectDelimiter(const TNormalizedText& Text) {
  AnsiString sample(Text.First.Block.Data(), std::min(Text.First.Length, CSVDetectionSampleSize));
  sample.append(Text.Second.Block.Data(),
                std::min(Text.Second.Length, CSVDetectionSampleSize - sample.size()));
  TConstMemoryStream head(sample.data(), sample.size());
  TCSVOptions options;
  DetectCSVOptionsFromStream(head, options);
  return options.Delimiter;
}

} // namespace

void ReadCSVRecords(TLoadedText Text, TRecordPath& Records, char Delimiter) {
  TNormalizedText normalized = NormalizeCSVText(Text, TCSVReader::ClosingBytes, Records.Pool());
  // The text's memory goes; the readers read the normalised parts where they are.
  Text.Release();
  const char delimiter = Delimiter ? Delimiter : DetectDelimiter(normalized);
  TNormalizedPart* const parts[2] = {&normalized.First, &normalized.Second};
  for (TNormalizedPart* part : parts)
    if (part->Block.Data()) TCSVReader::CloseText(part->Block.Data(), part->Length);

  TIntegerList nameColumns, numberColumns;
  TCSVReader header(normalized.First.Block.Data(), normalized.First.Length, delimiter);
  FindColumns(header, nameColumns, numberColumns);
  const std::vector<unsigned char> roles = ColumnRoles(nameColumns, numberColumns);
  // The header row again, then the first record; an empty text raises "Try to read past eof".
  header.First();
  header.Next();
  const size_t headerEnd = header.Position();

  // Where a second reader may start: the second part, or else the line after the middle of the
  // one part. The normalised text holds no quotes, so every CR LF in it ends a record.
  const auto cut = [&]() -> size_t {
    if (normalized.Second.Length > 0) return normalized.First.Length;
    const std::string_view text = normalized.First.Text();
    const size_t cr = FindByte(text, '\r', std::max(text.size() / 2, headerEnd));
    return cr + 2 < text.size() ? cr + 2 : 0;
  };
  // The parts of the normalised text between From and To, each read by a reader of its own; the
  // one at the start goes on after the header row.
  const auto read = [&](size_t From, size_t To, TRecordSink& Sink) {
    size_t offset = 0;
    for (TNormalizedPart* part : parts) {
      const size_t begin = std::max(From, offset), end = std::min(To, offset + part->Length);
      if (part == parts[0] && From == 0) {
        ReadRecords(header, end, roles, Sink);
      } else if (begin < end) {
        TCSVReader reader(part->Block.Data() + (begin - offset), part->Length - (begin - offset),
                          delimiter);
        reader.First();
        ReadRecords(reader, end - begin, roles, Sink);
      }
      offset += part->Length;
    }
    return true;
  };
  Records.Read(normalized.Length(), cut, read);
}

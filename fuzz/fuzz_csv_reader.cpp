// The reader over any bytes: the first byte picks the delimiter. The sixteen-byte scan, as the
// release runs it, must read what the plain scan reads.
#include "base/exceptions.h"
#include "formats/csv_reader.h"
#include "fuzz/fuzz_common.h"
#include "support/const_memory_stream.h"
#include "support/scan_path.h"

namespace {

// Every record of a walk, with its fields, Eof and position, as one text; then what one more
// Next does.
AnsiString Walk(const uint8_t* Data, size_t Size, char Delimiter) {
  // Over the input where it lies: the reader copies it anyway, and a stream of its own would
  // cost each execution a fresh 256 KB block.
  TConstMemoryStream stream(Data, Size);
  TCSVReader reader(stream, Delimiter);
  AnsiString walk;
  size_t records = 0, bytes = 0;
  const auto record = [&] {
    walk += std::to_string(reader.FieldCount()) + (reader.Eof() ? "e" : "") + "@" +
            std::to_string(reader.Position()) + ":";
    for (int32_t i = 0; i < reader.FieldCount(); ++i) {
      const AnsiString field = reader.GetField(i);
      bytes += field.size();
      walk += field + "|";
    }
  };
  for (reader.First(); !reader.Eof(); reader.Next()) {
    record();
    FUZZ_CHECK(++records <= Size + 1);
  }
  record();
  FUZZ_CHECK(bytes <= Size);
  // After the last line end Next raises; a byte 0 in the data only ends the data again.
  try {
    reader.Next();
    FUZZ_CHECK(reader.Eof());
    walk += "again";
  } catch (const Exception& e) {
    FUZZ_CHECK(e.Message() == "Try to read past eof");
  }
  return walk;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  static const char delimiters[] = {',', ';', '\t', '\0'};
  const char delimiter = delimiters[Data[0] % 4];
  const AnsiString blocks = Walk(Data + 1, Size - 1, delimiter);
  const TScanPathSetting plain(TScanPath::Plain);
  FUZZ_CHECK(Walk(Data + 1, Size - 1, delimiter) == blocks);
  return 0;
}

// The reader over any bytes: the first byte picks the delimiter.
#include "base/exceptions.h"
#include "csv/csv_reader.h"
#include "fuzz/fuzz_common.h"
#include "support/const_memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  static const char delimiters[] = {',', ';', '\t', '\0'};
  const char delimiter = delimiters[Data[0] % 4];
  // Over the input where it lies: the reader copies it anyway, and a stream of its own would
  // cost each execution a fresh 256 KB block.
  TConstMemoryStream stream(Data + 1, Size - 1);
  TCSVReader reader(stream, delimiter);
  size_t records = 0, bytes = 0;
  for (reader.First(); !reader.Eof(); reader.Next()) {
    for (int32_t i = 0; i < reader.FieldCount(); ++i)
      bytes += reader.GetField(i).size();
    FUZZ_CHECK(++records <= Size);
  }
  FUZZ_CHECK(bytes <= Size);
  // After the last line end Next raises; a byte 0 in the data only ends the data again.
  try {
    reader.Next();
    FUZZ_CHECK(reader.Eof());
  } catch (const Exception& e) {
    FUZZ_CHECK(e.Message() == "Try to read past eof");
  }
  return 0;
}

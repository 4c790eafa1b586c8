// Loading, normalising and dialect detection of any file's bytes, from memory.
#include "import/csv_normalizer.h"
#include "formats/dialect.h"
#include "formats/text_loading.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
  const AnsiString text = LoadBytesAsAnsiText(bytes);
  FUZZ_CHECK(text.size() <= Size);
  // UTF-16 behind a mark: one byte at most per unit after the mark, and its zero units dropped.
  if (Size >= 2 && ((Data[0] == 0xFF && Data[1] == 0xFE) || (Data[0] == 0xFE && Data[1] == 0xFF))) {
    FUZZ_CHECK(text.size() <= (Size - 2) / 2);
    FUZZ_CHECK(text.find('\0') == AnsiString::npos);
  }
  TFastMemoryStream stream;
  NormalizeCSVText(text, stream);
  const AnsiString normalized(static_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
  // No quote survives, and the text is made of CR LF lines.
  FUZZ_CHECK(normalized.find('"') == AnsiString::npos);
  FUZZ_CHECK(normalized.empty() || normalized.compare(normalized.size() - 2, 2, "\r\n") == 0);
  for (size_t i = 0; i < normalized.size(); ++i) {
    if (normalized[i] == '\r') FUZZ_CHECK(i + 1 < normalized.size() && normalized[i + 1] == '\n');
    if (normalized[i] == '\n') FUZZ_CHECK(i > 0 && normalized[i - 1] == '\r');
  }
  const int64_t position = stream.GetPosition();
  TCSVOptions options;
  DetectCSVOptionsFromStream(stream, options);
  FUZZ_CHECK(stream.GetPosition() == position);
  FUZZ_CHECK(options.Delimiter == ',' || options.Delimiter == ';' || options.Delimiter == '\t');
  return 0;
}

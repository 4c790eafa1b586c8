// Loading, normalising and dialect detection of any file.
#include "app/csv_normalizer.h"
#include "csv/dialect.h"
#include "csv/text_loading.h"
#include "framework/exceptions.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TFuzzFile file(Data, Size);
  try {
    const AnsiString text = LoadFileAsAnsiText(file.Name());
    FUZZ_CHECK(text.size() <= Size);
  } catch (const Exception& e) {
    FUZZ_CHECK(Size == 0 && e.Message() == "OSError");
  }
  TFastMemoryStream stream;
  try {
    NormalizeCSVData(file.Name(), stream);
  } catch (const Exception& e) {
    FUZZ_CHECK(Size == 0);
    return 0;
  }
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

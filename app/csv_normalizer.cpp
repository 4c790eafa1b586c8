#include "app/csv_normalizer.h"

#include <algorithm>
#include <cstring>

#include "csv/text_loading.h"

namespace {

// The quote state is a plain toggle; it ignores delimiters and where in a field a quote stands.
AnsiString JoinQuotedLineBreaks(const AnsiString& Text) {
  static const char Break[] = "<br>";
  AnsiString output;
  output.reserve(Text.size());
  bool inQuotes = false;
  const char* p = Text.data();
  const char* const end = p + Text.size();
  while (p < end) {
    // Plain bytes are copied in runs.
    const char* run = p;
    while (p < end && *p != '"' && *p != '\r' && *p != '\n') ++p;
    output.append(run, p);
    if (p == end) break;
    if (*p == '"') inQuotes = !inQuotes;
    else if (inQuotes) output.append(Break, 4);
    else output += *p;
    ++p;
  }
  return output;
}

} // namespace

void WriteLinesCRLF(const AnsiString& Text, TStream& Stream) {
  const char* p = Text.data();
  const char* const end = p + std::strlen(p);
  while (p < end) {
    const char* line = p;
    while (p < end && *p != '\r' && *p != '\n') ++p;
    Stream.WriteBuffer(line, static_cast<int32_t>(p - line));
    Stream.WriteBuffer("\r\n", 2);
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
}

void NormalizeCSVData(const AnsiString& FileName, TFastMemoryStream& Stream) {
  Stream.Clear();
  const AnsiString output = JoinQuotedLineBreaks(LoadFileAsAnsiText(FileName));
  // Reserve the whole result at once: at most two more bytes per line break, plus the last CR LF.
  const size_t breaks = static_cast<size_t>(std::count(output.begin(), output.end(), '\n')) +
                        static_cast<size_t>(std::count(output.begin(), output.end(), '\r'));
  const size_t bound = output.size() + breaks + 2;
  if (!output.empty() && bound <= size_t(0x7FFFFFFF)) Stream.SetCapacity(static_cast<int32_t>(bound));
  WriteLinesCRLF(output, Stream);
}

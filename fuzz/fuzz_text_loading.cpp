// Loading, normalising and dialect detection of any file's bytes, from memory. The loaded text in
// pieces must be what the whole-text conversions give, and the normalised text what the two steps
// of its definition give, on every scan path.
#include "formats/dialect.h"
#include "formats/text_loading.h"
#include "formats/workbook.h"
#include "fuzz/fuzz_common.h"
#include "import/csv_normalizer.h"
#include "support/const_memory_stream.h"
#include "support/scan_path.h"
#include "support/utf8.h"

namespace {

AnsiString Pieces(const TLoadedText& Text) {
  AnsiString text;
  Text.ForEachPiece(0, Text.Bytes().size(), [&](std::string_view Piece) {
    text += Piece;
    return true;
  });
  return text;
}

// The quote toggle, then the lines each ended by CR LF.
AnsiString TwoSteps(const AnsiString& Text) {
  AnsiString toggled;
  bool inQuotes = false;
  for (const char c : Text) {
    if (c == '"')
      inQuotes = !inQuotes;
    else if ((c == '\r' || c == '\n') && inQuotes)
      toggled += "<br>";
    else
      toggled += c;
  }
  TFastMemoryStream stream;
  WriteLinesCRLF(toggled, stream);
  return AnsiString(static_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
}

AnsiString Load(std::string_view Bytes, TScanPath Path) {
  const TScanPathSetting setting(Path);
  TBlockPool pool;
  const TLoadedText loaded = LoadTextFromBytes(Bytes, pool);
  const AnsiString text = Pieces(loaded);
  FUZZ_CHECK(text.find('\0') == AnsiString::npos);
  if (loaded.IsUtf8()) {
    const AnsiString whole = Utf8TextToAnsi(loaded.Bytes());
    FUZZ_CHECK(whole.substr(0, whole.find('\0')) == text);
  } else {
    FUZZ_CHECK(loaded.Bytes() == text);
  }
  // In one pass, and in two from the cut a second thread would start at.
  bool whole = true; // whether the last run went through to its end
  const auto normalized = [&](size_t From, size_t To) {
    AnsiString lines;
    whole = NormalizeCSVLines(loaded, From, To, 0, pool, [&](char* Lines, size_t Length) {
      lines.append(Lines, Length);
      return true;
    });
    return lines;
  };
  const size_t size = loaded.Bytes().size();
  const AnsiString onePass = normalized(0, size);
  FUZZ_CHECK(onePass == TwoSteps(text));
  const size_t cut = CSVCutAfterMiddle(loaded.Bytes());
  if (cut > 0) {
    const AnsiString first = normalized(0, cut);
    if (whole) FUZZ_CHECK(first + normalized(cut, size) == onePass);
  }
  return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
  // Workbooks have a target of their own.
  if (SniffContainer(bytes) != TContainerKind::Other) return 0;
  const AnsiString text = Load(bytes, TScanPath::Ssse3);
  FUZZ_CHECK(Load(bytes, TScanPath::Plain) == text);
  FUZZ_CHECK(text.size() <= Size);
  // UTF-16 behind a mark: one byte at most per unit after the mark, and its zero units dropped.
  if (Size >= 2 && ((Data[0] == 0xFF && Data[1] == 0xFE) || (Data[0] == 0xFE && Data[1] == 0xFF)))
    FUZZ_CHECK(text.size() <= (Size - 2) / 2);
  TConstMemoryStream stream(text.data(), text.size());
  TCSVOptions options;
  DetectCSVOptionsFromStream(stream, options);
  FUZZ_CHECK(options.Delimiter == ',' || options.Delimiter == ';' || options.Delimiter == '\t');
  return 0;
}

// voxaro-preview FILE: shows how the import reads a CSV file (its detected dialect and the records
// the reader sees after normalisation), for checking an export before importing it. A workbook
// (.xlsx, .xlsm, .ods, told by its content) shows the records of its first visible sheet, read
// with TAB as the delimiter, without detection.
#include <cstdio>
#include <exception>
#include <vector>

#include "base/exceptions.h"
#include "cli/terminal.h"
#include "formats/csv_reader.h"
#include "formats/dialect.h"
#include "formats/text_loading.h"
#include "import/csv_normalizer.h"
#include "platform/platform.h"
#include "support/block_pool.h"
#include "support/string_utils.h"

namespace {

const char* Describe(const AnsiString& LineBreak) {
  return LineBreak == "\r\n" ? "CR LF" : LineBreak == "\r" ? "CR" : "LF";
}

const char* Describe(char Delimiter) {
  return Delimiter == ';' ? "Semikolon" : Delimiter == '\t' ? "Tabulator" : "Komma";
}

void PrintRecord(const char* Label, int Number, const TCSVReader& Reader) {
  AnsiString line;
  for (int32_t i = 0; i < Reader.FieldCount(); ++i) {
    if (i) line += " | ";
    line += Reader.GetField(i);
  }
  std::printf("%s %d (%d Felder): %s\n", Label, Number, Reader.FieldCount(),
              ForTerminal(line).c_str());
}

int Preview(const PathString& FileName) {
  TBlockPool pool;
  const TLoadedText text = LoadText(FileName, pool);
  TFastMemoryStream stream;
  NormalizeCSVLines(text, 0, text.Bytes().size(), 0, pool, [&](char* Lines, size_t Length) {
    stream.WriteBuffer(Lines, static_cast<int32_t>(Length));
    return true;
  });
  TCSVOptions options;
  if (text.Kind() == TTextKind::Sheet) {
    options.Delimiter = '\t';
    std::printf("Arbeitsmappe: erstes sichtbares Blatt, Trennzeichen: Tabulator\n");
  } else {
    DetectCSVOptionsFromStream(stream, options);
    std::printf("Trennzeichen: %s, Anf\xC3\xBChrungszeichen: %s, Zeilenumbruch: %s\n",
                Describe(options.Delimiter), options.Quote.empty() ? "keine" : "\"",
                Describe(options.LineBreak));
  }
  stream.SetPosition(0);
  TCSVReader reader(stream, options.Delimiter);
  reader.First();
  if (reader.Eof()) {
    std::printf("Keine Daten.\n");
    return 0;
  }
  PrintRecord("Kopfzeile", 1, reader);
  int records = 0;
  for (reader.Next(); !reader.Eof(); reader.Next())
    PrintRecord("Zeile", ++records + 1, reader);
  std::printf("%d Datens\xC3\xA4tze nach der Kopfzeile.\n", records);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  // On Windows from the UTF-16 command line, so that every file name arrives whole.
  const std::vector<PathString> arguments = platform::ProgramArguments(argc, argv);
  if (arguments.size() != 2 || arguments[1] == "--help") {
    std::fprintf(stderr, "usage: voxaro-preview FILE\n");
    return arguments.size() == 2 ? 0 : 2;
  }
  try {
    return Preview(arguments[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", ForTerminal(e.what()).c_str());
    return 1;
  }
}

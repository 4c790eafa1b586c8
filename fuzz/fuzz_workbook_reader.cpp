// The workbook reader on any bytes: as an archive (the first byte anything but 1 to 3), or, after
// a first byte 1, 2 or 3, as the XML of a .xlsx sheet, of its shared strings, or of an .ods
// file's content, packed into a workbook around it. Limits smaller than the import's keep each
// run short; the ones that matter are the same rules.
#include "formats/workbook.h"
#include "formats/workbook_errors.h"
#include "fuzz/fuzz_common.h"
#include "tests/zip_writer.h"

namespace {

const char* const Rels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

AnsiString Relationship(const char* Id, const char* Type, const char* Target) {
  return AnsiString("<Relationship Id=\"") + Id + "\" Type=\"" + Rels + "/" + Type +
         "\" Target=\"" + Target + "\"/>";
}

AnsiString Xlsx(const AnsiString& Sheet, const AnsiString& Strings) {
  return TZipWriter()
      .Add("_rels/.rels",
           "<Relationships>" + Relationship("rId1", "officeDocument", "xl/workbook.xml") +
               "</Relationships>",
           false)
      .Add("xl/workbook.xml",
           AnsiString("<workbook xmlns:r=\"") + Rels +
               "\"><sheets><sheet name=\"a\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>",
           false)
      .Add("xl/_rels/workbook.xml.rels",
           "<Relationships>" + Relationship("rId1", "worksheet", "worksheets/sheet1.xml") +
               Relationship("rId2", "sharedStrings", "sharedStrings.xml") +
               Relationship("rId3", "styles", "styles.xml") + "</Relationships>",
           false)
      .Add("xl/styles.xml",
           "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"00000\"/></numFmts>"
           "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/></cellXfs></styleSheet>",
           false)
      .Add("xl/worksheets/sheet1.xml", Sheet, false)
      .Add("xl/sharedStrings.xml", Strings, false)
      .Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  AnsiString bytes(reinterpret_cast<const char*>(Data), Size);
  if (Size > 0 && Data[0] >= 1 && Data[0] <= 3) {
    const AnsiString xml = bytes.substr(1);
    if (Data[0] == 1) {
      bytes = Xlsx(xml, "<sst><si><t>a</t></si><si><t>b\nc</t></si></sst>");
    } else if (Data[0] == 2) {
      bytes = Xlsx("<worksheet><sheetData><row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c>"
                   "<c t=\"s\"><v>2</v></c></row></sheetData></worksheet>",
                   xml);
    } else {
      bytes = TZipWriter()
                  .Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false)
                  .Add("content.xml", xml, false)
                  .Bytes();
    }
  }
  TWorkbookLimits limits;
  limits.MaxText = 4 << 20;
  limits.Zip.MaxInflated = 32 << 20;
  AnsiString text;
  try {
    text = WorkbookText(bytes, limits);
  } catch (const Exception& e) {
    const AnsiString message = e.what();
    FUZZ_CHECK(message == DamagedWorkbookMessage || message == NotAWorkbookMessage ||
               message == OldWorkbookMessage);
    return 0;
  }
  FUZZ_CHECK(text.size() <= limits.MaxText);
  FUZZ_CHECK(text.find('\0') == AnsiString::npos);
  FUZZ_CHECK(text.empty() || text.compare(text.size() - 2, 2, "\r\n") == 0);
  // Rows end with CR LF, and a line break anywhere else stands inside a quoted cell; no row ends
  // with an empty cell, and the text with no empty row.
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\r') {
      FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '\n');
      FUZZ_CHECK(i == 0 || text[i - 1] != '\t');
      ++i;
    } else {
      FUZZ_CHECK(c != '\n');
    }
  }
  FUZZ_CHECK(!quoted);
  FUZZ_CHECK(text != "\r\n" &&
             (text.size() < 4 || text.compare(text.size() - 4, 4, "\r\n\r\n") != 0));
  return 0;
}

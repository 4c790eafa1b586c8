#include "formats/workbook.h"

#include <gtest/gtest.h>

#include <functional>

#include "formats/workbook_errors.h"
#include "tests/test_files.h"
#include "tests/zip_writer.h"

namespace {

AnsiString Text(const AnsiString& Bytes) {
  return WorkbookText(Bytes);
}

// The message WorkbookText throws for Bytes, or "" when it throws none.
AnsiString ErrorOf(const AnsiString& Bytes, const TWorkbookLimits& Limits = TWorkbookLimits()) {
  try {
    WorkbookText(Bytes, Limits);
    return "";
  } catch (const Exception& e) {
    return e.what();
  }
}

// Workbooks saved by Calc and Gnumeric (tests/data/workbooks/make.sh), each with the text a
// spreadsheet's tab-separated export gives for its first visible sheet.
struct SavedCase {
  const char* File;
  AnsiString Expected;
};

const AnsiString Kontakte =
    "Vorname\tNachname\tFirma\tTelefon\tMobiltelefon\tNotizen\r\n"
    "J\xF6rg\tM\xFCller\tM\xFCller & S\xF6hne GmbH\t301234567\t4917123456789\t"
    "\"R\xFC"
    "ckruf erbeten\nam besten vormittags\"\r\n"
    "Anna\tSch\xE4"
    "fer\t\t89555012\t\t\"Sagt \"\"Chefin\"\" zu sich\"\r\n"
    "\xC9lodie\tLef\xE8vre\tAtelier Nord\t33142685300\t\tTab im Namen der Firma\r\n"
    "\t\tStadtwerke\t040 123456\r\n"
    "Lukasz\tDvor\xE1k\t\t0049 30 999\t1511234567\tEmoji ? geht verloren\r\n";
// Gnumeric keeps the CSV file's CR LF inside the cell; the CR reaches the XML as a character of
// its own, which the parser reads as a line break.
AnsiString KontakteGnumericOds() {
  AnsiString text = Kontakte;
  text.replace(text.find("erbeten\n"), 8, "erbeten\n\n");
  return text;
}

const AnsiString ZahlenHeader = "Telefonliste\t\t\tStand\r\n"
                                "Name\tTelefon\tDurchwahl\tBetrag\tAktiv\tGeburtstag\tFax\r\n";
// The whole numbers padded to their zeros-only formats, in .xlsx the other values as stored (a
// date is a number there), in .ods as the sheet shows them.
const AnsiString ZahlenXlsx = ZahlenHeader +
                              "Anna Muster\t0301234567\t042\t1.5\tWAHR\t29358\t4930123457\r\n"
                              "J\xF6rg M\xFCller\t4930123456\t7\t%s\tFALSCH\t\t-005\r\n";
const AnsiString ZahlenOds = ZahlenHeader +
                             "Anna Muster\t0301234567\t042\t1.50\tTRUE\t17.05.1980\t4930123457\r\n"
                             "J\xF6rg M\xFCller\t4930123456\t7\t%s\tFALSE\t\t-005\r\n";
AnsiString With(const AnsiString& Pattern, const char* Value) {
  AnsiString text = Pattern;
  return text.replace(text.find("%s"), 2, Value);
}

const AnsiString Versetzt = "\r\n\r\n\r\n"
                            "\t\tVorname\tTelefon\r\n"
                            "\t\tAnna\t030 1234567\r\n"
                            "\t\t\"Max\nund Moritz\"\t4989123\r\n";

class SavedWorkbookTest : public testing::TestWithParam<SavedCase> {};

TEST_P(SavedWorkbookTest, Text) {
  const AnsiString bytes = ReadFileBytes(TestDataFile(AnsiString("workbooks/") + GetParam().File));
  EXPECT_EQ(SniffContainer(bytes), TContainerKind::ZipArchive);
  EXPECT_EQ(Text(bytes), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Workbook, SavedWorkbookTest,
    testing::Values(
        SavedCase{"kontakte-calc.xlsx", Kontakte}, SavedCase{"kontakte-calc.ods", Kontakte},
        SavedCase{"kontakte-gnumeric.xlsx", Kontakte},
        SavedCase{"kontakte-gnumeric.ods", KontakteGnumericOds()},
        // Calc writes 15 significant digits, so the 16 digits are 16 others.
        SavedCase{"zahlen-calc.xlsx", With(ZahlenXlsx, "1234567890123460")},
        SavedCase{"zahlen-gnumeric.xlsx", With(ZahlenXlsx, "1234567890123456")},
        SavedCase{"zahlen-calc.ods", With(ZahlenOds, "1234567890123456")},
        SavedCase{"zahlen-gnumeric.ods", With(ZahlenOds, "1.2346E+15")},
        // The first sheet is hidden in the .ods files; both programs write it as a
        // visible one into .xlsx.
        SavedCase{"versteckt-calc.ods", Versetzt}, SavedCase{"versteckt-gnumeric.ods", Versetzt},
        SavedCase{"versteckt-calc.xlsx", "Nicht\tlesen\r\n"},
        SavedCase{"versteckt-gnumeric.xlsx", "Nicht\tlesen\r\n"},
        SavedCase{"versetzt-calc.xlsx", Versetzt}, SavedCase{"versetzt-calc.ods", Versetzt},
        SavedCase{"versetzt-gnumeric.xlsx", Versetzt},
        SavedCase{"versetzt-gnumeric.ods", Versetzt}),
    [](const testing::TestParamInfo<SavedCase>& Info) {
      AnsiString name = Info.param.File;
      for (char& c : name)
        if (c == '-' || c == '.') c = '_';
      return name;
    });

// Small workbooks made here: an .xlsx of one sheet (its rows, shared strings, number formats,
// cell formats and what follows the sheet's data), and an .ods of one table.
constexpr const char* Main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* Rels = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* DocRels =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

AnsiString Relationship(const AnsiString& Id, const AnsiString& Type, const AnsiString& Target) {
  return "<Relationship Id=\"" + Id + "\" Type=\"" + DocRels + "/" + Type + "\" Target=\"" +
         Target + "\"/>";
}

struct XlsxParts {
  AnsiString Rows, Strings, NumberFormats, CellFormats, AfterData;
  AnsiString Sheets = "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>";
  AnsiString SheetRelationships = Relationship("rId1", "worksheet", "worksheets/sheet1.xml");
};

AnsiString Xlsx(const XlsxParts& P) {
  TZipWriter zip;
  zip.Add("[Content_Types].xml", "<Types/>");
  zip.Add("_rels/.rels", AnsiString("<Relationships xmlns=\"") + Rels + "\">" +
                             Relationship("rId1", "officeDocument", "xl/workbook.xml") +
                             "</Relationships>");
  zip.Add("xl/workbook.xml", AnsiString("<workbook xmlns=\"") + Main + "\" xmlns:r=\"" + DocRels +
                                 "\"><sheets>" + P.Sheets + "</sheets></workbook>");
  zip.Add("xl/_rels/workbook.xml.rels",
          AnsiString("<Relationships xmlns=\"") + Rels + "\">" + P.SheetRelationships +
              Relationship("rId8", "sharedStrings", "sharedStrings.xml") +
              Relationship("rId9", "styles", "/xl/styles.xml") + "</Relationships>");
  zip.Add("xl/worksheets/sheet1.xml", AnsiString("<worksheet xmlns=\"") + Main + "\"><sheetData>" +
                                          P.Rows + "</sheetData>" + P.AfterData + "</worksheet>");
  zip.Add("xl/sharedStrings.xml",
          AnsiString("<sst xmlns=\"") + Main + "\">" + P.Strings + "</sst>");
  zip.Add("xl/styles.xml", AnsiString("<styleSheet xmlns=\"") + Main + "\"><numFmts>" +
                               P.NumberFormats + "</numFmts><cellXfs>" + P.CellFormats +
                               "</cellXfs></styleSheet>");
  return zip.Bytes();
}

AnsiString XlsxRows(const AnsiString& Rows, const AnsiString& Strings = "") {
  XlsxParts parts;
  parts.Rows = Rows;
  parts.Strings = Strings;
  return Xlsx(parts);
}

AnsiString Ods(const AnsiString& Tables, const AnsiString& Styles = "") {
  const AnsiString content =
      "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
      "xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\" "
      "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\">"
      "<office:automatic-styles>" +
      Styles + "</office:automatic-styles><office:body><office:spreadsheet>" + Tables +
      "</office:spreadsheet></office:body></office:document-content>";
  return TZipWriter()
      .Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false)
      .Add("content.xml", content)
      .Bytes();
}

AnsiString OdsTable(const AnsiString& Rows, const AnsiString& Styles = "") {
  return Ods("<table:table table:name=\"T\">" + Rows + "</table:table>", Styles);
}

AnsiString StringCell(const AnsiString& Text, const AnsiString& Attributes = "") {
  return "<table:table-cell office:value-type=\"string\"" + Attributes + "><text:p>" + Text +
         "</text:p></table:table-cell>";
}

struct RuleCase {
  const char* Name;
  AnsiString Bytes;
  AnsiString Expected;
};

class CellRulesTest : public testing::TestWithParam<RuleCase> {};

TEST_P(CellRulesTest, Text) {
  EXPECT_EQ(Text(GetParam().Bytes), GetParam().Expected);
}

const AnsiString Zeros10 = "<numFmt numFmtId=\"164\" formatCode=\"0000000000\"/>";
const AnsiString Formats =
    "<xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"1\"/><xf numFmtId=\"2\"/>";

XlsxParts NumberParts(const AnsiString& Rows) {
  XlsxParts parts;
  parts.Rows = Rows;
  parts.NumberFormats = Zeros10;
  parts.CellFormats = Formats;
  return parts;
}

XlsxParts SheetParts(const AnsiString& Sheets, const AnsiString& Relationships) {
  XlsxParts parts;
  parts.Rows = "<row><c t=\"inlineStr\"><is><t>erste</t></is></c></row>";
  parts.Sheets = Sheets;
  parts.SheetRelationships = Relationships;
  return parts;
}

const AnsiString NumberStyles =
    "<number:number-style style:name=\"N10\"><number:number number:decimal-places=\"0\" "
    "number:min-integer-digits=\"10\"/></number:number-style>"
    "<number:number-style style:name=\"N2\"><number:number number:decimal-places=\"2\" "
    "number:min-integer-digits=\"5\"/></number:number-style>"
    "<style:style style:name=\"ce1\" style:family=\"table-cell\" style:data-style-name=\"N10\"/>"
    "<style:style style:name=\"ce2\" style:family=\"table-cell\" style:data-style-name=\"N2\"/>"
    "<style:style style:name=\"ce3\" style:family=\"table-cell\" style:parent-style-name=\"ce1\"/>";

AnsiString FloatCell(const AnsiString& Value, const AnsiString& Shown,
                     const AnsiString& More = "") {
  return "<table:table-cell office:value-type=\"float\" office:value=\"" + Value + "\"" + More +
         "><text:p>" + Shown + "</text:p></table:table-cell>";
}

INSTANTIATE_TEST_SUITE_P(
    Workbook, CellRulesTest,
    testing::Values(
        // .xlsx: strings.
        RuleCase{
            "XlsxStrings",
            XlsxRows("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c><c r=\"B1\" t=\"inlineStr\">"
                     "<is><r><t>in</t></r><r><rPr/><t>line</t></r></is></c>"
                     "<c r=\"C1\" t=\"str\"><f>A1</f><v>formel</v></c>"
                     "<c r=\"D1\" t=\"s\"><v>0</v></c></row>",
                     "<si><t>J\xC3\xB6rg</t><rPh sb=\"0\" eb=\"1\"><t>yomi</t></rPh></si>"
                     "<si><r><t>M\xC3\xBC</t></r><r><t>ller</t></r></si>"),
            "M\xFCller\tinline\tformel\tJ\xF6rg\r\n"},
        RuleCase{
            "XlsxEscapes",
            XlsxRows("<row><c t=\"s\"><v>0</v></c><c t=\"str\"><v>a_x0009_b</v></c>"
                     "<c t=\"inlineStr\"><is><t>_xD83D__xDE00_!_x0000__xZZZZ_</t></is></c></row>",
                     "<si><t>Zeile_x000D_\nzwei _x005F_x000D_</t></si>"),
            "\"Zeile\r\nzwei _x000D_\"\ta b\t?!_xZZZZ_\r\n"},
        RuleCase{"XlsxSpecialCharacters",
                 XlsxRows("<row><c t=\"inlineStr\"><is><t>a\tb</t></is></c>"
                          "<c t=\"inlineStr\"><is><t>\"Chefin\"</t></is></c>"
                          "<c t=\"inlineStr\"><is><t>zwei&#10;Zeilen</t></is></c></row>"),
                 "a b\t\"\"\"Chefin\"\"\"\t\"zwei\nZeilen\"\r\n"},
        RuleCase{
            "XlsxNumbers",
            Xlsx(NumberParts("<row><c s=\"1\"><v>301234567</v></c><c s=\"2\"><v>7</v></c>"
                             "<c s=\"3\"><v>7</v></c><c><v>4.930123456E9</v></c>"
                             "<c s=\"1\"><v>1.5</v></c><c><v>1234567890123456</v></c>"
                             "<c s=\"9\"><v>12</v></c><c s=\"1\" t=\"n\"><v>-12</v></c></row>"
                             "<row><c t=\"b\"><v>1</v></c><c t=\"b\"><v>0</v></c>"
                             "<c t=\"e\"><v>#N/A</v></c><c t=\"d\"><v>2024-05-17T00:00:00</v></c>"
                             "<c s=\"1\" t=\"str\"><v>0301</v></c></row>")),
            "0301234567\t7\t7\t4930123456\t1.5\t1234567890123456\t12\t-0000000012\r\n"
            "WAHR\tFALSCH\t#N/A\t2024-05-17T00:00:00\t0301\r\n"},
        // Positions from r where given, else the next; empty cells and rows cost nothing at the
        // end, and count as empty in between.
        RuleCase{"XlsxPositions",
                 XlsxRows("<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>b</t></is></c>"
                          "<c t=\"inlineStr\"><is><t>c</t></is></c><c r=\"E2\"/></row>"
                          "<row><c t=\"inlineStr\"><is><t></t></is></c>"
                          "<c t=\"inlineStr\"><is><t>x</t></is></c></row>"
                          "<row r=\"5\"><c r=\"A5\"/></row><row r=\"6\"/>"),
                 "\r\n\tb\tc\r\n\tx\r\n"},
        RuleCase{"XlsxEmptySheet", XlsxRows("<row r=\"1\"><c r=\"A1\" s=\"0\"/></row>"), ""},
        RuleCase{"XlsxMergedHeader",
                 [] {
                   XlsxParts parts;
                   parts.Rows = "<row><c t=\"inlineStr\"><is><t>Kopf</t></is></c>"
                                "<c t=\"inlineStr\"><is><t>verdeckt</t></is></c><c/>"
                                "<c t=\"inlineStr\"><is><t>D</t></is></c></row>"
                                "<row><c t=\"inlineStr\"><is><t>a</t></is></c></row>";
                   parts.AfterData =
                       "<mergeCells count=\"1\"><mergeCell ref=\"A1:C1\"/></mergeCells>";
                   return Xlsx(parts);
                 }(),
                 "Kopf\t\t\tD\r\na\r\n"},
        // Which sheet: hidden ones, and chart sheets, are passed over.
        RuleCase{"XlsxHiddenAndChartSheets",
                 Xlsx(SheetParts(
                     "<sheet name=\"a\" sheetId=\"1\" state=\"hidden\" r:id=\"rId5\"/>"
                     "<sheet name=\"b\" sheetId=\"2\" state=\"veryHidden\" r:id=\"rId5\"/>"
                     "<sheet name=\"c\" sheetId=\"3\" r:id=\"rId6\"/>"
                     "<sheet name=\"d\" sheetId=\"4\" state=\"visible\" r:id=\"rId1\"/>",
                     Relationship("rId5", "worksheet", "missing.xml") +
                         Relationship("rId6", "chartsheet", "missing.xml") +
                         Relationship("rId1", "worksheet", "../xl/./worksheets/sheet1.xml"))),
                 "erste\r\n"},
        RuleCase{"XlsxNoVisibleSheet",
                 Xlsx(SheetParts("<sheet name=\"a\" sheetId=\"1\" state=\"hidden\" r:id=\"rId1\"/>",
                                 Relationship("rId1", "worksheet", "worksheets/sheet1.xml"))),
                 ""},
        RuleCase{"XlsxNoSheets", Xlsx(SheetParts("", "")), ""},
        // .ods: paragraphs and what they hold; annotations and shapes left out.
        RuleCase{
            "OdsText",
            OdsTable(
                "<table:table-row>" +
                StringCell("a<text:s/>b<text:s text:c=\"3\"/>c<text:tab/>d<text:line-break/>e") +
                "<table:table-cell office:value-type=\"string\"><office:annotation><text:p>Notiz"
                "</text:p></office:annotation><text:p>eins <text:span>zwei</text:span></text:p>"
                "<draw:frame><draw:text-box><text:p>Form</text:p></draw:text-box></draw:frame>"
                "<text:p><text:a>Link</text:a> \"q\"</text:p></table:table-cell>" +
                StringCell("") + "</table:table-row>"),
            "\"a b   c d\ne\"\t\"eins zwei\nLink \"\"q\"\"\"\r\n"},
        RuleCase{
            "OdsNumbers",
            OdsTable(
                "<table:table-column/><table:table-column table:default-cell-style-name=\"ce1\"/>"
                "<table:table-row>" +
                    FloatCell("301234567", "301234567", " table:style-name=\"ce1\"") +
                    FloatCell("42", "42") +
                    FloatCell("42", "00042,00", " table:style-name=\"ce2\"") +
                    FloatCell("7", "7", " table:style-name=\"ce3\"") + FloatCell("1.5", "1,5") +
                    FloatCell("1234567890123456", "1,23E+15") +
                    "<table:table-cell office:value-type=\"percentage\" office:value=\"1\">"
                    "<text:p>100 %</text:p></table:table-cell>"
                    "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"true\">"
                    "<text:p>WAHR</text:p></table:table-cell></table:table-row>"
                    "<table:table-row table:default-cell-style-name=\"ce1\">" +
                    FloatCell("5", "5") + FloatCell("5", "5") + "</table:table-row>",
                NumberStyles),
            "0301234567\t0000000042\t42\t0000000007\t1,5\t1,23E+15\t100 %\tWAHR\r\n"
            "0000000005\t0000000005\r\n"},
        // Repeats, covered cells and row groups; trailing empty repeats cost nothing.
        RuleCase{
            "OdsRepeats",
            OdsTable("<table:table-header-rows><table:table-row>" + StringCell("Kopf") +
                     "<table:covered-table-cell table:number-columns-repeated=\"2\" "
                     "office:value-type=\"string\"><text:p>v</text:p></table:covered-table-cell>" +
                     StringCell("D") +
                     "</table:table-row></table:table-header-rows>"
                     "<table:table-row-group><table:table-row table:number-rows-repeated=\"2\">"
                     "<table:table-cell table:number-columns-repeated=\"2\"/>" +
                     StringCell("x", " table:number-columns-repeated=\"2\"") +
                     "<table:table-cell table:number-columns-repeated=\"16000\"/></table:table-row>"
                     "</table:table-row-group><table:table-row table:number-rows-repeated=\"2\">"
                     "<table:table-cell table:number-columns-repeated=\"1024\"/></table:table-row>"
                     "<table:table-row>" +
                     StringCell("y") +
                     "</table:table-row><table:table-row "
                     "table:number-rows-repeated=\"1048000\"><table:table-cell "
                     "table:number-columns-repeated=\"16384\"/></table:table-row>"),
            "Kopf\t\t\tD\r\n\t\tx\tx\r\n\t\tx\tx\r\n\r\n\r\ny\r\n"},
        // Cut at the sheet's last column and row.
        RuleCase{
            "OdsCutAtTheSheetsEdges",
            OdsTable(
                "<table:table-row><table:table-cell table:number-columns-repeated=\"16382\"/>" +
                StringCell("z", " table:number-columns-repeated=\"5\"") + StringCell("w") +
                "</table:table-row><table:table-row table:number-rows-repeated=\"1048574\">"
                "<table:table-cell/></table:table-row><table:table-row "
                "table:number-rows-repeated=\"3\">" +
                StringCell("last") + "</table:table-row><table:table-row>" + StringCell("gone") +
                "</table:table-row>"),
            AnsiString(16382, '\t') + "z\tz\r\n" +
                [] {
                  AnsiString lines;
                  for (int i = 0; i < 1048574; ++i)
                    lines += "\r\n";
                  return lines;
                }() +
                "last\r\n"},
        RuleCase{
            "OdsHiddenTable",
            Ods("<table:table table:name=\"a\" table:style-name=\"ta2\"><table:table-row>" +
                    StringCell("geheim") +
                    "</table:table-row></table:table>"
                    "<table:table table:name=\"b\" table:style-name=\"ta1\"><table:table-row>" +
                    StringCell("sichtbar") +
                    "</table:table-row></table:table>"
                    "<table:table table:name=\"c\"><table:table-row>" +
                    StringCell("dritte") + "</table:table-row></table:table>",
                "<style:style style:name=\"ta1\" style:family=\"table\"><style:table-properties "
                "table:display=\"true\"/></style:style><style:style style:name=\"ta2\" "
                "style:family=\"table\"><style:table-properties table:display=\"false\"/>"
                "</style:style>"),
            "sichtbar\r\n"},
        RuleCase{"OdsNoTable", Ods(""), ""}),
    [](const testing::TestParamInfo<RuleCase>& Info) { return Info.param.Name; });

struct ErrorCase {
  const char* Name;
  AnsiString Bytes;
  const char* Message;
};

class WorkbookErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(WorkbookErrorTest, Message) {
  EXPECT_EQ(ErrorOf(GetParam().Bytes), GetParam().Message);
}

AnsiString SavedXlsx() {
  return ReadFileBytes(TestDataFile("workbooks/kontakte-calc.xlsx"));
}

// The saved workbook with the first byte of Part's data changed: its checksum fails.
AnsiString WithPartChanged(const AnsiString& Bytes, const AnsiString& Part) {
  AnsiString changed = Bytes;
  size_t at = 0;
  for (;;) {
    at = changed.find(AnsiString("PK\x03\x04", 4), at);
    const auto get16 = [&](size_t i) {
      return size_t(static_cast<unsigned char>(changed[i])) |
             size_t(static_cast<unsigned char>(changed[i + 1])) << 8;
    };
    const size_t nameSize = get16(at + 26), extraSize = get16(at + 28);
    if (changed.compare(at + 30, nameSize, Part) == 0) {
      changed[at + 30 + nameSize + extraSize] ^= 1;
      return changed;
    }
    at += 4;
  }
}

const AnsiString CompoundFile =
    AnsiString("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + AnsiString(504, '\0');

INSTANTIATE_TEST_SUITE_P(
    Workbook, WorkbookErrorTest,
    testing::Values(
        ErrorCase{"OldOrProtectedWorkbook", CompoundFile, OldWorkbookMessage},
        ErrorCase{"NoZip", "Vorname,Telefon\r\n", NotAWorkbookMessage},
        ErrorCase{"ZippedCsv", TZipWriter().Add("kontakte.csv", "Vorname,Telefon\r\n").Bytes(),
                  NotAWorkbookMessage},
        ErrorCase{"EmptyArchive", TZipWriter().Bytes(), NotAWorkbookMessage},
        ErrorCase{"TextDocument",
                  TZipWriter()
                      .Add("_rels/.rels",
                           AnsiString("<Relationships xmlns=\"") + Rels + "\">" +
                               Relationship("rId1", "officeDocument", "word/document.xml") +
                               "</Relationships>")
                      .Add("word/document.xml", "<w:document xmlns:w=\"urn:w\"/>")
                      .Bytes(),
                  NotAWorkbookMessage},
        ErrorCase{"OpenDocumentText",
                  TZipWriter()
                      .Add("mimetype", "application/vnd.oasis.opendocument.text", false)
                      .Add("content.xml", "<c/>")
                      .Bytes(),
                  NotAWorkbookMessage},
        ErrorCase{
            "OpenDocumentWithoutSpreadsheet",
            TZipWriter()
                .Add("content.xml",
                     "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:"
                     "xmlns:office:1.0\"><office:body><office:text/></office:body>"
                     "</office:document-content>")
                .Bytes(),
            NotAWorkbookMessage},
        ErrorCase{"Truncated", SavedXlsx().substr(0, SavedXlsx().size() / 2),
                  DamagedWorkbookMessage},
        ErrorCase{"ChecksumOfTheSheet", WithPartChanged(SavedXlsx(), "xl/worksheets/sheet1.xml"),
                  DamagedWorkbookMessage},
        ErrorCase{"ChecksumOfTheStrings", WithPartChanged(SavedXlsx(), "xl/sharedStrings.xml"),
                  DamagedWorkbookMessage},
        ErrorCase{"NotWellFormed", XlsxRows("<row><c><v>1</v></row>"), DamagedWorkbookMessage},
        // A document type declaration is refused: no entity can expand.
        ErrorCase{"DocumentType",
                  TZipWriter()
                      .Add("content.xml",
                           "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\">"
                           "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><x>&b;</x>")
                      .Bytes(),
                  DamagedWorkbookMessage},
        ErrorCase{"MissingSheetPart",
                  Xlsx(SheetParts("<sheet name=\"a\" sheetId=\"1\" r:id=\"rId1\"/>",
                                  Relationship("rId1", "worksheet", "worksheets/nowhere.xml"))),
                  DamagedWorkbookMessage},
        ErrorCase{"UnknownRelationship",
                  Xlsx(SheetParts("<sheet name=\"a\" sheetId=\"1\" r:id=\"rId7\"/>",
                                  Relationship("rId1", "worksheet", "worksheets/sheet1.xml"))),
                  DamagedWorkbookMessage},
        ErrorCase{
            "MissingWorkbookPart",
            TZipWriter()
                .Add("_rels/.rels", AnsiString("<Relationships xmlns=\"") + Rels + "\">" +
                                        Relationship("rId1", "officeDocument", "xl/workbook.xml") +
                                        "</Relationships>")
                .Bytes(),
            DamagedWorkbookMessage},
        ErrorCase{"SharedStringBeyondTheTable",
                  XlsxRows("<row><c t=\"s\"><v>1</v></c></row>", "<si><t>a</t></si>"),
                  DamagedWorkbookMessage},
        ErrorCase{"SharedStringNoIndex",
                  XlsxRows("<row><c t=\"s\"><v>x</v></c></row>", "<si><t>a</t></si>"),
                  DamagedWorkbookMessage},
        ErrorCase{"ColumnBeyondXFD", XlsxRows("<row><c r=\"XFE1\"><v>1</v></c></row>"),
                  DamagedWorkbookMessage},
        ErrorCase{"RowBeyond1048576", XlsxRows("<row r=\"1048577\"><c><v>1</v></c></row>"),
                  DamagedWorkbookMessage},
        ErrorCase{"CellReferenceMalformed", XlsxRows("<row><c r=\"1A\"><v>1</v></c></row>"),
                  DamagedWorkbookMessage},
        ErrorCase{"RowsOutOfOrder", XlsxRows("<row r=\"3\"/><row r=\"2\"/>"),
                  DamagedWorkbookMessage},
        ErrorCase{"CellsOutOfOrder", XlsxRows("<row><c r=\"B1\"/><c r=\"A1\"/></row>"),
                  DamagedWorkbookMessage},
        // Bombs: a sheet part of 2 GiB of zeros, the bytes of one entry under two names, and a
        // million rows of 16,384 cells of one value.
        ErrorCase{
            "ZerosBomb",
            TZipWriter()
                .Add("_rels/.rels", AnsiString("<Relationships xmlns=\"") + Rels + "\">" +
                                        Relationship("rId1", "officeDocument", "xl/workbook.xml") +
                                        "</Relationships>")
                .AddRaw("xl/workbook.xml", DeflatedRepeats(AnsiString(1 << 20, '\0'), 2048), 8, 0,
                        uint64_t(2048) << 20)
                .Bytes(),
            DamagedWorkbookMessage},
        ErrorCase{"OverlappingEntries",
                  TZipWriter()
                      .Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false)
                      .Add("content.xml", "<x/>")
                      .AddAlias("styles.xml", 1)
                      .Bytes(),
                  DamagedWorkbookMessage},
        ErrorCase{"RepeatsOfOneValue",
                  OdsTable("<table:table-row table:number-rows-repeated=\"1000000\">" +
                           StringCell("x", " table:number-columns-repeated=\"16384\"") +
                           "</table:table-row>"),
                  DamagedWorkbookMessage}),
    [](const testing::TestParamInfo<ErrorCase>& Info) { return Info.param.Name; });

TEST(Workbook, RepeatsOfAMillionEmptyRowsThenOneValue) {
  const AnsiString text =
      Text(OdsTable("<table:table-row table:number-rows-repeated=\"1000000\"><table:table-cell "
                    "table:number-columns-repeated=\"16384\"/></table:table-row><table:table-row>" +
                    StringCell("x") + "</table:table-row>"));
  ASSERT_EQ(text.size(), 2000003u);
  EXPECT_EQ(text.substr(text.size() - 7), "\r\n\r\nx\r\n");
  EXPECT_EQ(text.find_first_not_of("\r\n"), 2000000u);
}

TEST(Workbook, TextLimit) {
  TWorkbookLimits limits;
  limits.MaxText = 12;
  const AnsiString rows = "<row><c t=\"inlineStr\"><is><t>0123456789</t></is></c></row>";
  EXPECT_EQ(ErrorOf(XlsxRows(rows), limits), "");
  EXPECT_EQ(ErrorOf(XlsxRows(rows + rows), limits), DamagedWorkbookMessage);
  EXPECT_EQ(ErrorOf(OdsTable("<table:table-row table:number-rows-repeated=\"2\">" +
                             StringCell("0123456789") + "</table:table-row>"),
                    limits),
            DamagedWorkbookMessage);
  // The shared strings count too.
  EXPECT_EQ(ErrorOf(XlsxRows("", "<si><t>01234567890123</t></si>"), limits),
            DamagedWorkbookMessage);
}

TEST(Workbook, SniffContainer) {
  EXPECT_EQ(SniffContainer(CompoundFile), TContainerKind::CompoundFile);
  EXPECT_EQ(SniffContainer(SavedXlsx()), TContainerKind::ZipArchive);
  EXPECT_EQ(SniffContainer(TZipWriter().Bytes()), TContainerKind::ZipArchive);
  EXPECT_EQ(SniffContainer("PK"), TContainerKind::Other);
  EXPECT_EQ(SniffContainer(""), TContainerKind::Other);
  EXPECT_EQ(SniffContainer("Vorname;Telefon"), TContainerKind::Other);
}

} // namespace

namespace {

// A sheet part large enough to be inflated beside the parser, whole or damaged.
TEST(Workbook, LargePartsInflatedBesideTheParser) {
  AnsiString rows, expected;
  for (int r = 1; r <= 40000; ++r) {
    const AnsiString n = std::to_string(r);
    rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"inlineStr\"><is><t>Name " + n +
            "</t></is></c><c r=\"C" + n + "\"><v>" + n + "</v></c><c r=\"D" + n +
            "\" t=\"b\"><v>1</v></c>" + AnsiString(60, ' ') + "</row>";
    expected += "Name " + n + "\t\t" + n + "\tWAHR\r\n";
  }
  ASSERT_GT(rows.size(), 5u << 20);
  EXPECT_EQ(Text(XlsxRows(rows)), expected);
  EXPECT_EQ(ErrorOf(XlsxRows(rows + "<row></c>")), DamagedWorkbookMessage);
  EXPECT_EQ(ErrorOf(XlsxRows("<row r=\"0\"/>" + rows)), DamagedWorkbookMessage);
  EXPECT_EQ(ErrorOf(WithPartChanged(XlsxRows(rows), "xl/worksheets/sheet1.xml")),
            DamagedWorkbookMessage);
}

} // namespace

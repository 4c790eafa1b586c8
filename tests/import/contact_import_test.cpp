#include "import/contact_import.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <map>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/exceptions.h"
#include "formats/text_loading.h"
#include "formats/workbook_errors.h"
#include "import/display_name.h"
#include "import/phone_number.h"
#include "import/record_path.h"
#include "platform/platform.h"
#include "support/block_pool.h"
#include "tests/test_files.h"
#include "tests/zip_writer.h"

namespace {

using Lines = std::vector<AnsiString>;

struct Result {
  Lines List;
  TImportCounts Counts;
};

Result Import(const AnsiString& Csv, const AnsiString& Country = "49") {
  TTempDir dir;
  TStringList target;
  Result result;
  result.Counts = ImportContacts(dir.Write("in.csv", Csv), target, Country);
  for (int i = 0; i < target.Count(); ++i)
    result.List.push_back(target[i]);
  return result;
}

struct Case {
  const char* Name;
  AnsiString Csv;
  Lines Expected;
  int32_t Names, Numbers;
};

class ImportTest : public testing::TestWithParam<Case> {};

TEST_P(ImportTest, LinesAndCounts) {
  const Case& c = GetParam();
  const Result r = Import(c.Csv);
  EXPECT_EQ(r.List, c.Expected);
  EXPECT_EQ(r.Counts.Names, c.Names);
  EXPECT_EQ(r.Counts.Numbers, c.Numbers);
}

INSTANTIATE_TEST_SUITE_P(
    ContactImport, ImportTest,
    testing::Values(
        Case{"WorkedExample",
             "Vorname;Nachname;Telefon\r\nAnna;Muster;+49 30 1234567\r\n",
             {"0301234567=Anna Muster"},
             1,
             1},
        // Containment ignoring case: every header here is a name or a number column.
        Case{"HeaderWords",
             "Anzeigename,Telefon gesch\xE4"
             "ftlich,Mobiltelefon,Telefax,Home Phone,Telephone,E-Mail\r\n"
             "Anna,030 1,030 2,030 3,030 4,030 5,0306\r\n",
             {"0301=Anna", "0302=Anna", "0303=Anna", "0304=Anna", "0305=Anna"},
             1,
             5},
        Case{"SpitznameAndFirmenname",
             "Spitzname;Firmenname;Fax\r\nBob;Bau AG;0401\r\n",
             {"0401=Bob Bau AG"},
             1,
             1},
        // "Vorname" also holds "name": the field is still joined once.
        Case{"HeaderWithTwoWords", "Vorname;Telefon\r\nAnna;0301\r\n", {"0301=Anna"}, 1, 1},
        Case{"ColumnOrderNotHeaderOrder",
             "Firma;Nachname;Vorname;Telefon\r\nACME;Muster;Anna;0301\r\n",
             {"0301=ACME Muster Anna"},
             1,
             1},
        Case{"EmptyFirstNamePart",
             "Vorname;Nachname;Telefon\r\n;Muster;0301\r\n",
             {"0301=Muster"},
             1,
             1},
        Case{"NoUsableNumber", "Name;Telefon;Fax\r\nAnna;n/a;\r\n", {}, 0, 0},
        Case{"NoName", "Vorname;Nachname;Telefon\r\n;;0301\r\n", {}, 0, 0},
        Case{"SeveralValuesInOneField",
             "Name,Phone 1 - Value\r\nAnna,030 1 ::: 0302:::+49 303\r\n",
             {"0301=Anna", "0302=Anna", "0303=Anna"},
             1,
             3},
        Case{"SameNumberTwiceInOneRecord",
             "Name;Telefon;Fax\r\nAnna;030 1;0301\r\n",
             {"0301=Anna"},
             1,
             2},
        Case{"LaterRecordWins",
             "Name;Telefon\r\nAnna;0301\r\nBerta;+49 301\r\n",
             {"0301=Berta"},
             2,
             2},
        Case{"EqualsSignRemoved", "Name;Telefon\r\nA=B;0301\r\n", {"0301=AB"}, 1, 1},
        Case{"LongNameCut",
             "Name;Telefon\r\n" + AnsiString(60, 'x') + ";0301\r\n",
             {"0301=" + AnsiString(48, 'x') + ".."},
             1,
             1},
        Case{"HeaderOnly", "Vorname;Telefon\r\n", {}, 0, 0},
        Case{"NoMatchingHeader", "a;b\r\nAnna;0301\r\n", {}, 0, 0},
        Case{"ByteOrderOfKeys",
             "Name;Telefon\r\nA;031\r\nB;0301\r\nC;0171\r\nD;+1 2\r\nE;030\r\n",
             {"0012=D", "0171=C", "030=E", "0301=B", "031=A"},
             5,
             5},
        // A row may have more or fewer fields than the header.
        Case{"RaggedRows", "Name;Telefon\r\nAnna\r\nBerta;0302;0309\r\n", {"0302=Berta"}, 1, 1},
        Case{"QuotedFieldWithLineBreak",
             "\"Name\",\"Telefon\"\r\n\"Anna\r\nMuster\",\"0301\"\r\n",
             {"0301=Anna<br><br>Muster"},
             1,
             1},
        Case{"TrunkPrefixInBrackets",
             "Name;Telefon\r\nAnna;+49 (0) 40 6432131-550\r\n",
             {"0406432131550=Anna"},
             1,
             1}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.Name; });

// Large texts are read by two threads, split at a line end near the middle. The cases put that
// line end everywhere it can be: after every record of a long file, only after the header, on
// the last line, nowhere (one record). Numbers repeat with a period, so the last record's name
// must win across the split.
TEST(ContactImport, TextsReadInTwoHalvesGiveWhatOneReadGives) {
  const auto record = [](size_t I, size_t Filler) {
    return "Name " + std::to_string(I) + AnsiString(Filler, 'x') + ";0301 " +
           std::to_string(I % 997) + "\r\n";
  };
  const struct {
    const char* Name;
    std::vector<size_t> Fillers; // per record, the length of the padding in its name field
  } cases[] = {
      {"many records", std::vector<size_t>(30000, 30)},
      {"two big records", {700000, 700000}},
      {"big last record", {10, 10, 1500000}},
      {"one big record", {1500000}},
  };
  for (const auto& c : cases) {
    AnsiString csv = "Name;Telefon\r\n";
    std::map<AnsiString, AnsiString> last; // number -> the name of its last record
    for (size_t i = 0; i < c.Fillers.size(); ++i) {
      csv += record(i, c.Fillers[i]);
      const AnsiString name = "Name " + std::to_string(i) + AnsiString(c.Fillers[i], 'x');
      last["0301" + std::to_string(i % 997)] = name.size() > 50 ? name.substr(0, 48) + ".." : name;
    }
    ASSERT_GT(csv.size(), size_t(1) << 20) << c.Name;
    Lines expected;
    for (const auto& [number, name] : last)
      expected.push_back(number + "=" + name);
    const Result r = Import(csv);
    EXPECT_EQ(r.List, expected) << c.Name;
    EXPECT_EQ(r.Counts.Names, int32_t(c.Fillers.size())) << c.Name;
    EXPECT_EQ(r.Counts.Numbers, int32_t(c.Fillers.size())) << c.Name;
  }
}

// AddEntry, one entry at a time in file order, is the import's way of storing by definition. The
// import stores in sorted batches, read and stored by two threads on a large text; both must come
// to the same lines and counts, on random records of names and numbers in every usual form.
TEST(ContactImport, StoresWhatAddEntryPerEntryStores) {
  std::mt19937 random(23);
  const char* const words[] = {
      "Anna", "M\xFCller", "GmbH", "&",  "Dr.",    "von", "Hohenstein-Wartenberg-Lauterbach",
      "A=B",  "x",         "",     "Co", "J\xF6rg"};
  const char* const numbers[] = {"+49 30 ", "0049 (0) 89 ", "030/", "+41 44 ", "0171-", "",
                                 "(0)40 ",  "Tel. ",        "+1 ",  "00 ",     "abc"};
  const auto word = [&] { return AnsiString(words[random() % std::size(words)]); };
  const auto number = [&] {
    // From a small range, so that numbers repeat across records and the last one's name wins.
    return numbers[random() % std::size(numbers)] + std::to_string(random() % 20000);
  };
  for (const size_t count : {size_t(300), size_t(45000)}) {
    AnsiString csv = "Vorname;Nachname;Firma;Telefon;Fax\r\n";
    TRBStringList expected;
    TImportCounts counts;
    for (size_t i = 0; i < count; ++i) {
      const AnsiString first = word(), last = word(), firm = word() + " " + word();
      const AnsiString phone = random() % 3 ? number() : number() + " ::: " + number();
      const AnsiString fax = random() % 2 ? number() : AnsiString();
      csv += first + ";" + last + ";" + firm + ";" + phone + ";" + fax + "\r\n";

      AnsiString name = BuildDisplayName(first + " " + last + " " + firm);
      TStringArray found;
      for (const AnsiString& field : {phone, fax})
        for (const AnsiString& part : SplitString(":::", field, 0, 0))
          if (const AnsiString n = NormalizePhoneNumber(part, "49"); !n.empty()) found.push_back(n);
      if (name.empty() || found.empty()) continue;
      ReplaceTextInPlace(name, "=", "");
      name = TruncateString(name, 50);
      ++counts.Names;
      for (const AnsiString& n : found) {
        ++counts.Numbers;
        AddEntry(expected, n, name, "49");
      }
    }
    TStringList lines;
    expected.AssignTo(lines);
    const Result r = Import(csv);
    ASSERT_EQ(r.List.size(), size_t(lines.Count())) << count;
    for (int i = 0; i < lines.Count(); ++i)
      ASSERT_EQ(r.List[size_t(i)], lines[i]) << count << " records, line " << i;
    EXPECT_EQ(r.Counts.Names, counts.Names);
    EXPECT_EQ(r.Counts.Numbers, counts.Numbers);
    // The large text is read by two threads and stored as two halves of the key range.
    if (count > 1000) {
      EXPECT_GT(csv.size(), size_t(1) << 20);
      EXPECT_GT(counts.Numbers, 1 << 16);
    }
  }
}

// A workbook gives the lines that its first sheet gives saved as Unicode text (UTF-16 with TABs)
// and imported, from every program that wrote one.
TEST(ContactImport, WorkbooksGiveTheLinesOfTheirSheetAsUnicodeText) {
  Lines first;
  for (const char* name : {"kontakte-calc.xlsx", "kontakte-gnumeric.xlsx", "kontakte-calc.ods",
                           "kontakte-gnumeric.ods"}) {
    const AnsiString file = TestDataFile(AnsiString("workbooks/") + name);
    TBlockPool pool;
    const TLoadedText sheet = LoadText(file, pool);
    ASSERT_EQ(sheet.Kind(), TTextKind::Sheet) << name;
    AnsiString unicode = "\xFF\xFE";
    for (const char16_t unit : platform::AnsiToWide(AnsiString(sheet.Bytes()))) {
      unicode += static_cast<char>(unit & 0xFF);
      unicode += static_cast<char>(unit >> 8);
    }
    TStringList fromWorkbook, fromText;
    const TImportCounts counts = ImportContacts(file, fromWorkbook, "49");
    const TImportCounts textCounts = ImportContactBytes(unicode, fromText, "49");
    EXPECT_EQ(fromWorkbook.GetText(), fromText.GetText()) << name;
    EXPECT_EQ(counts.Names, textCounts.Names) << name;
    EXPECT_EQ(counts.Numbers, textCounts.Numbers) << name;
    Lines got;
    for (int i = 0; i < fromWorkbook.Count(); ++i)
      got.push_back(fromWorkbook[i]);
    EXPECT_FALSE(got.empty()) << name;
    if (first.empty()) first = got;
    EXPECT_EQ(got, first) << name;
  }
}

TEST(ContactImport, ForeignCountryCode) {
  const Result r = Import("Name;Telefon\r\nA;+41 44 123\r\nB;0041 44 124\r\nC;+49 30 1\r\n", "41");
  EXPECT_EQ(r.List, (Lines{"0049301=C", "044123=A", "044124=B"}));
}

TEST(ContactImport, ErrorsLeaveTheTargetAlone) {
  TTempDir dir;
  const std::pair<AnsiString, AnsiString> cases[] = {
      {dir.Write("empty.csv", ""), "Try to read past eof"},
      {dir.FileName("missing.csv"), "OSError"},
      {dir.Path(), "OSError"}, // a folder
      {dir.Write("alt.xls", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + AnsiString(504, '\0')),
       OldWorkbookMessage},
      {dir.Write("csv.zip", TZipWriter().Add("kontakte.csv", "Name;Telefon\r\nA;0301\r\n").Bytes()),
       NotAWorkbookMessage},
      {dir.Write("kaputt.xlsx", "PK\x03\x04" + AnsiString(100, 'x')), DamagedWorkbookMessage},
      // A workbook without a sheet is an empty text.
      {dir.Write("leer.ods",
                 TZipWriter()
                     .Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false)
                     .Add("content.xml",
                          "<office:document-content xmlns:office=\"urn:oasis:names:tc:"
                          "opendocument:xmlns:office:1.0\"><office:body><office:spreadsheet/>"
                          "</office:body></office:document-content>")
                     .Bytes()),
       "Try to read past eof"},
  };
  for (const auto& [file, message] : cases) {
    TStringList target;
    target.Add("before");
    try {
      ImportContacts(file, target, "49");
      ADD_FAILURE() << file << ": no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), message) << file;
    }
    ASSERT_EQ(target.Count(), 1);
    EXPECT_EQ(target[0], "before");
  }
}

TEST(ContactImport, ReplacesEarlierLines) {
  TTempDir dir;
  TStringList target;
  target.Add("0999=old");
  ImportContacts(dir.Write("a.csv", "Name;Telefon\r\nAnna;0301\r\n"), target, "49");
  ASSERT_EQ(target.Count(), 1);
  EXPECT_EQ(target[0], "0301=Anna");
  EXPECT_EQ(target.UpdateCount(), 0);
}

TEST(ContactImport, RealUtf16ExportGivesTheLinesOfItsUtf8Form) {
  const AnsiString utf16 = ReadFileBytes(TestDataFile("real/roundcube_gmail_utf16le.csv"));
  ASSERT_EQ(utf16.substr(0, 2), "\xFF\xFE");
  // The export holds ASCII only, so its UTF-8 form is the low byte of every unit.
  AnsiString utf8;
  for (size_t i = 2; i + 1 < utf16.size(); i += 2) {
    ASSERT_EQ(utf16[i + 1], '\0');
    ASSERT_LT(static_cast<unsigned char>(utf16[i]), 0x80);
    utf8 += utf16[i];
  }
  // Its phone fields hold words ("mainphone"), so it gives no line either way; with numbers in
  // their place both forms give the same lines.
  AnsiString withNumbers = utf8;
  for (const auto& [word, number] :
       {std::pair<const char*, const char*>{",mainphone,", ",+49 30 1234567,"},
        {",homephone,", ",089 555012,"},
        {",mobile,", ",0171 2345678,"}}) {
    ASSERT_NE(withNumbers.find(word), AnsiString::npos) << word;
    withNumbers.replace(withNumbers.find(word), std::strlen(word), number);
  }
  for (const AnsiString& text : {utf8, withNumbers}) {
    const AnsiString asUtf16 =
        text == utf8 ? utf16 : MarkedUtf16(std::u16string(text.begin(), text.end()), false);
    const Result fromUtf16 = Import(asUtf16), fromUtf8 = Import(text);
    EXPECT_EQ(fromUtf16.List, fromUtf8.List);
    EXPECT_EQ(fromUtf16.Counts.Names, fromUtf8.Counts.Names);
    EXPECT_EQ(fromUtf16.Counts.Numbers, fromUtf8.Counts.Numbers);
    EXPECT_EQ(fromUtf16.List.size(), text == utf8 ? 0u : 3u);
  }
}

TEST(ContactImport, EmojiInANoteKeepsTheUmlauts) {
  const Result r = Import("Vorname;Nachname;Telefon;Notiz\r\n"
                          "J\xC3\xBCrgen;K\xC3\xB6hler;0301;Urlaub \xF0\x9F\x98\x80 bis Mai\r\n"
                          "Zo\xC3\xAB;Wei\xC3\x9F;0302;\r\n");
  EXPECT_EQ(r.List, (Lines{"0301=J\xFCrgen K\xF6hler", "0302=Zo\xEB Wei\xDF"}));
}

TEST(ContactImport, SpreadsheetUnicodeTextWithMark) {
  const std::u16string text =
      u"Vorname\tTelefon\tNotiz\r\nJ\u00FCrgen \u20AC\t0301\t\U0001F600\r\n";
  for (const bool bigEndian : {false, true})
    EXPECT_EQ(Import(MarkedUtf16(text, bigEndian)).List, (Lines{"0301=J\xFCrgen \x80"}))
        << bigEndian;
}

// vCard files through the same import.
INSTANTIATE_TEST_SUITE_P(
    VCardImport, ImportTest,
    testing::Values(
        // As a phone writes 2.1: the name in UTF-8 quoted-printable, soft line breaks.
        Case{"Version21",
             "BEGIN:VCARD\r\nVERSION:2.1\r\n"
             "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=B6rg=\r\n;;;\r\n"
             "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=B6rg M=C3=BCller\r\n"
             "TEL;CELL;VOICE:+49 171 2345678\r\nTEL;HOME:030 1234\r\n"
             "NOTE;ENCODING=QUOTED-PRINTABLE:Zeile 1=0D=0A=\r\nZeile 2\r\nEND:VCARD\r\n",
             {"01712345678=J\xF6rg M\xFCller", "0301234=J\xF6rg M\xFCller"},
             1,
             2},
        Case{"Version21Windows1252Bytes",
             "BEGIN:VCARD\r\nVERSION:2.1\r\nN:M\xFCller;J\xF6rg\r\nORG:Stra\xDF"
             "enbau AG\r\n"
             "TEL;WORK:0301\r\nEND:VCARD\r\n",
             {"0301=J\xF6rg M\xFCller Stra\xDF"
              "enbau AG"},
             1,
             1},
        Case{"Version30",
             "BEGIN:VCARD\nVERSION:3.0\nN:Sch\xC3\xA4"
             "fer;Anna;;Dr.;\nORG:Bau\\, Holz & Co.;Einkauf\n"
             "item1.TEL;type=CELL;type=pref:+49 89 555012\nitem1.X-ABLabel:mobil\n"
             "item2.TEL;type=WORK:(089) 555-013\nEND:VCARD\n",
             // Six words at most.
             {"089555012=Anna Sch\xE4"
              "fer Bau, Holz & Co.",
              "089555013=Anna Sch\xE4"
              "fer Bau, Holz & Co."},
             1,
             2},
        Case{"FoldSplittingACharacter",
             "BEGIN:VCARD\r\nVERSION:3.0\r\nN:K\xC3\r\n \xB6hler;J\xC3\xBC\r\n\trgen\r\n"
             "TEL:+49 30\r\n  1\r\nEND:VCARD\r\n",
             {"0301=J\xFCrgen K\xF6hler"},
             1,
             1},
        Case{"WithoutNameOrNumbers",
             "BEGIN:VCARD\r\nTEL:0301\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Lena\r\nTEL:n/a\r\n"
             "END:VCARD\r\nBEGIN:VCARD\r\nN:;;;;\r\nFN:\r\nTEL:0302\r\nEND:VCARD\r\n",
             {},
             0,
             0},
        Case{"RepeatedNumbersAcrossCards",
             "BEGIN:VCARD\r\nFN:Anna\r\nTEL:0301\r\nTEL:+49 30 2\r\nEND:VCARD\r\n"
             "BEGIN:VCARD\r\nFN:Berta\r\nTEL:0049 301\r\nEND:VCARD\r\n",
             {"0301=Berta", "0302=Anna"},
             2,
             3},
        Case{"MissingEndAndAgent",
             "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Chef;Carla\r\nTEL:0301\r\nAGENT:\r\n"
             "BEGIN:VCARD\r\nN:Assistent;Alex\r\nTEL:0309\r\nEND:VCARD\r\n"
             "TEL:0302\r\nBEGIN:VCARD\r\nFN:Dora\r\nTEL:0303",
             {"0301=Carla Chef", "0302=Carla Chef", "0303=Dora"},
             2,
             3},
        // The name goes through the display-name rules: repeats left out, "=" removed, cut to 50.
        Case{"DisplayNameRules",
             "BEGIN:VCARD\r\nN:Muster;Anna\r\nORG:Muster GmbH;Muster\r\nTEL:0301\r\nEND:VCARD\r\n"
             "BEGIN:VCARD\r\nFN:A=B\r\nTEL:0302\r\nEND:VCARD\r\n"
             "BEGIN:VCARD\r\nN:" +
                 AnsiString(60, 'x') +
                 "\r\nTEL:0303\r\nEND:VCARD\r\n"
                 "BEGIN:VCARD\r\nN:;;;;\r\nORG:;IT\r\nTEL:0304\r\nEND:VCARD\r\n",
             {"0301=Anna Muster GmbH", "0302=AB", "0303=" + AnsiString(48, 'x') + "..", "0304=IT"},
             4,
             4},
        Case{"Utf16WithMark",
             MarkedUtf16(u"BEGIN:VCARD\r\nFN:J\r\n \u00F6rg\r\nTEL:1\r\n", false),
             {"1=J\xF6rg"},
             1,
             1}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.Name; });

// Hostile files give a well-formed result or one of the import's two errors, nothing else.
void ExpectResultOrImportError(const AnsiString& Bytes, const char* What) {
  TTempDir dir;
  TStringList target;
  try {
    const TImportCounts counts = ImportContacts(dir.Write("in.csv", Bytes), target, "49");
    EXPECT_LE(target.Count(), counts.Numbers) << What;
    for (int i = 0; i < target.Count(); ++i)
      EXPECT_NE(target[i].find('='), AnsiString::npos) << What;
  } catch (const Exception& e) {
    EXPECT_TRUE(e.Message() == "Try to read past eof" || e.Message() == "OSError")
        << What << ": " << e.Message();
  }
}

TEST(ContactImport, HostileInputs) {
  std::mt19937 rng(1234);
  AnsiString binary(1 << 16, '\0');
  for (char& c : binary)
    c = static_cast<char>(rng());
  AnsiString manyFields = "Name;Telefon";
  manyFields.append(100000, ';');
  manyFields += "\r\nAnna;0301";
  manyFields.append(100000, ';');
  const std::pair<const char*, AnsiString> cases[] = {
      {"binary", binary},
      {"only delimiters", ";;;;\r\n,,,,\r\n\t\t\t"},
      {"only quotes", AnsiString(1001, '"')},
      {"only line breaks", "\r\n\n\r\r\n"},
      {"100000 fields", manyFields},
      {"UTF-16 without mark, odd length", AnsiString("N\0a\0m\0e\0;\0T\0e\0l\0", 16) + "x"},
  };
  for (const auto& [what, bytes] : cases)
    ExpectResultOrImportError(bytes, what);
}

// The import reads a file's text where it is mapped, or decoded in pieces, and ends it at its
// first byte 0; it must come to what importing the text as LoadFileAsAnsiText gives it comes to,
// where zero bytes make the file UTF-16 without a mark and where they only end the text, on small
// texts and on texts that two threads share.
TEST(ContactImport, AFileGivesWhatItsLoadedTextGives) {
  const auto utf16 = [](const AnsiString& Text, bool BigEndian) {
    AnsiString bytes;
    for (const char c : Text) {
      if (BigEndian) bytes += '\0';
      bytes += c;
      if (!BigEndian) bytes += '\0';
    }
    return bytes;
  };
  AnsiString small = "Vorname;Nachname;Telefon\r\nJ\xFCrgen;M\xFCller;030 1\r\nAnna;B;0302\r\n";
  AnsiString large = "Vorname;Telefon\r\n";
  for (int i = 0; large.size() < (1500u << 10); ++i)
    large += "\"Name " + std::to_string(i) + "\";\"0301 " + std::to_string(i % 5000) + "\"\r\n";
  AnsiString zeroInSecondHalf = large, zeroInFirstHalf = large;
  zeroInSecondHalf[large.size() * 3 / 4] = '\0';
  zeroInFirstHalf[large.size() / 4] = '\0';
  const struct {
    const char* Name;
    AnsiString Bytes;
  } cases[] = {
      {"UTF-16 little-endian", utf16(small, false)},
      {"UTF-16 big-endian", utf16(small, true)},
      {"large UTF-16", utf16(large, false)},
      {"one zero byte", small.substr(0, small.size() - 3) + AnsiString(1, '\0') + "\r\n"},
      {"zero in the second half", zeroInSecondHalf},
      {"zero in the first half", zeroInFirstHalf},
      {"UTF-16 of a vCard",
       utf16("BEGIN:VCARD\r\nN:M\xFCller;J\xF6rg\r\nTEL:030 1\r\nEND:VCARD\r\n", false)},
      {"no zero byte", large},
  };
  for (const auto& c : cases) {
    TTempDir dir;
    const PathString file = dir.Write("in.csv", c.Bytes);
    TStringList imported, expected;
    const TImportCounts counts = ImportContacts(file, imported, "49");
    const TImportCounts expectedCounts =
        ImportContactBytes(LoadFileAsAnsiText(file), expected, "49");
    EXPECT_EQ(imported.GetText(), expected.GetText()) << c.Name;
    EXPECT_EQ(counts.Names, expectedCounts.Names) << c.Name;
    EXPECT_EQ(counts.Numbers, expectedCounts.Numbers) << c.Name;
    EXPECT_GT(expected.Count(), 0) << c.Name;
  }
}

TEST(ContactImport, NulAtEveryPosition) {
  const AnsiString sample =
      "Vorname;Telefon\r\n\"Anna\r\nB\";+49 (0) 30 1\r\nBerta;0302 ::: 0303\r\n";
  for (size_t i = 0; i < sample.size(); ++i) {
    AnsiString bytes = sample;
    bytes[i] = '\0';
    ExpectResultOrImportError(bytes, "NUL");
  }
}

#ifdef _WIN32
TEST(ContactImport, LockedFileIsAnOSError) {
  TTempDir dir;
  const AnsiString file = dir.Write("locked.csv", "Name;Telefon\r\nAnna;0301\r\n");
  HANDLE lock = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  TStringList target;
  try {
    ImportContacts(file, target, "49");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "OSError");
  }
  CloseHandle(lock);
  EXPECT_EQ(ImportContacts(file, target, "49").Names, 1);
}
#endif

} // namespace

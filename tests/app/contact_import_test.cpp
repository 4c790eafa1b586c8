#include "app/contact_import.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

#include "framework/exceptions.h"
#include "tests/test_files.h"

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
  for (int i = 0; i < target.Count(); ++i) result.List.push_back(target[i]);
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
        Case{"WorkedExample", "Vorname;Nachname;Telefon\r\nAnna;Muster;+49 30 1234567\r\n",
             {"0301234567=Anna Muster"}, 1, 1},
        // Containment ignoring case: every header here is a name or a number column.
        Case{"HeaderWords",
             "Anzeigename,Telefon gesch\xE4" "ftlich,Mobiltelefon,Telefax,Home Phone,Telephone,E-Mail\r\n"
             "Anna,030 1,030 2,030 3,030 4,030 5,0306\r\n",
             {"0301=Anna", "0302=Anna", "0303=Anna", "0304=Anna", "0305=Anna"}, 1, 5},
        Case{"SpitznameAndFirmenname", "Spitzname;Firmenname;Fax\r\nBob;Bau AG;0401\r\n",
             {"0401=Bob Bau AG"}, 1, 1},
        // "Vorname" also holds "name": the field is still joined once.
        Case{"HeaderWithTwoWords", "Vorname;Telefon\r\nAnna;0301\r\n", {"0301=Anna"}, 1, 1},
        Case{"ColumnOrderNotHeaderOrder", "Firma;Nachname;Vorname;Telefon\r\nACME;Muster;Anna;0301\r\n",
             {"0301=ACME Muster Anna"}, 1, 1},
        Case{"EmptyFirstNamePart", "Vorname;Nachname;Telefon\r\n;Muster;0301\r\n", {"0301=Muster"}, 1, 1},
        Case{"NoUsableNumber", "Name;Telefon;Fax\r\nAnna;n/a;\r\n", {}, 0, 0},
        Case{"NoName", "Vorname;Nachname;Telefon\r\n;;0301\r\n", {}, 0, 0},
        Case{"SeveralValuesInOneField", "Name,Phone 1 - Value\r\nAnna,030 1 ::: 0302:::+49 303\r\n",
             {"0301=Anna", "0302=Anna", "0303=Anna"}, 1, 3},
        Case{"SameNumberTwiceInOneRecord", "Name;Telefon;Fax\r\nAnna;030 1;0301\r\n", {"0301=Anna"}, 1, 2},
        Case{"LaterRecordWins", "Name;Telefon\r\nAnna;0301\r\nBerta;+49 301\r\n", {"0301=Berta"}, 2, 2},
        Case{"EqualsSignRemoved", "Name;Telefon\r\nA=B;0301\r\n", {"0301=AB"}, 1, 1},
        Case{"LongNameCut", "Name;Telefon\r\n" + AnsiString(60, 'x') + ";0301\r\n",
             {"0301=" + AnsiString(48, 'x') + ".."}, 1, 1},
        Case{"HeaderOnly", "Vorname;Telefon\r\n", {}, 0, 0},
        Case{"NoMatchingHeader", "a;b\r\nAnna;0301\r\n", {}, 0, 0},
        Case{"ByteOrderOfKeys", "Name;Telefon\r\nA;031\r\nB;0301\r\nC;0171\r\nD;+1 2\r\nE;030\r\n",
             {"0012=D", "0171=C", "030=E", "0301=B", "031=A"}, 5, 5},
        // A row may have more or fewer fields than the header.
        Case{"RaggedRows", "Name;Telefon\r\nAnna\r\nBerta;0302;0309\r\n", {"0302=Berta"}, 1, 1},
        Case{"QuotedFieldWithLineBreak", "\"Name\",\"Telefon\"\r\n\"Anna\r\nMuster\",\"0301\"\r\n",
             {"0301=Anna<br><br>Muster"}, 1, 1},
        Case{"TrunkPrefixInBrackets", "Name;Telefon\r\nAnna;+49 (0) 40 6432131-550\r\n",
             {"0406432131550=Anna"}, 1, 1}),
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
    std::vector<size_t> Fillers;  // per record, the length of the padding in its name field
  } cases[] = {
      {"many records", std::vector<size_t>(30000, 30)},
      {"two big records", {700000, 700000}},
      {"big last record", {10, 10, 1500000}},
      {"one big record", {1500000}},
  };
  for (const auto& c : cases) {
    AnsiString csv = "Name;Telefon\r\n";
    std::map<AnsiString, AnsiString> last;  // number -> the name of its last record
    for (size_t i = 0; i < c.Fillers.size(); ++i) {
      csv += record(i, c.Fillers[i]);
      const AnsiString name = "Name " + std::to_string(i) + AnsiString(c.Fillers[i], 'x');
      last["0301" + std::to_string(i % 997)] = name.size() > 50 ? name.substr(0, 48) + ".." : name;
    }
    ASSERT_GT(csv.size(), size_t(1) << 20) << c.Name;
    Lines expected;
    for (const auto& [number, name] : last) expected.push_back(number + "=" + name);
    const Result r = Import(csv);
    EXPECT_EQ(r.List, expected) << c.Name;
    EXPECT_EQ(r.Counts.Names, int32_t(c.Fillers.size())) << c.Name;
    EXPECT_EQ(r.Counts.Numbers, int32_t(c.Fillers.size())) << c.Name;
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
      {dir.Path(), "OSError"},  // a folder
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

TEST(ContactImport, RealExportWithByteOrderMarkYieldsNothing) {
  // UTF-16 with a byte-order mark is read as raw bytes, so no header word is found.
  TStringList target;
  const TImportCounts counts =
      ImportContacts(TestDataFile("real/roundcube_gmail_utf16le.csv"), target, "49");
  EXPECT_EQ(target.Count(), 0);
  EXPECT_EQ(counts.Names, 0);
}

// Hostile files give a well-formed result or one of the import's two errors, nothing else.
void ExpectResultOrImportError(const AnsiString& Bytes, const char* What) {
  TTempDir dir;
  TStringList target;
  try {
    const TImportCounts counts = ImportContacts(dir.Write("in.csv", Bytes), target, "49");
    EXPECT_LE(target.Count(), counts.Numbers) << What;
    for (int i = 0; i < target.Count(); ++i) EXPECT_NE(target[i].find('='), AnsiString::npos) << What;
  } catch (const Exception& e) {
    EXPECT_TRUE(e.Message() == "Try to read past eof" || e.Message() == "OSError") << What << ": " << e.Message();
  }
}

TEST(ContactImport, HostileInputs) {
  std::mt19937 rng(1234);
  AnsiString binary(1 << 16, '\0');
  for (char& c : binary) c = static_cast<char>(rng());
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
  for (const auto& [what, bytes] : cases) ExpectResultOrImportError(bytes, what);
}

TEST(ContactImport, NulAtEveryPosition) {
  const AnsiString sample = "Vorname;Telefon\r\n\"Anna\r\nB\";+49 (0) 30 1\r\nBerta;0302 ::: 0303\r\n";
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

#include "formats/csv_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/exceptions.h"
#include "support/const_memory_stream.h"
#include "support/fast_memory_stream.h"
#include "tests/test_scan.h"
#include "tests/test_streams.h"

namespace {

using Record = std::vector<AnsiString>;

std::unique_ptr<TFastMemoryStream> StreamOf(const AnsiString& Text) {
  auto stream = std::make_unique<TFastMemoryStream>();
  if (!Text.empty()) stream->WriteBuffer(Text.data(), int32_t(Text.size()));
  stream->SetPosition(0);
  return stream;
}

Record Fields(const TCSVReader& Reader) {
  Record record;
  for (int32_t i = 0; i < Reader.FieldCount(); ++i)
    record.push_back(Reader.GetField(i));
  return record;
}

// Every record as the import walks them: First, then Next until Eof, using each record that is
// not flagged Eof, and the record Eof arrived with.
struct Walk {
  std::vector<Record> Records;
  Record LastRecord;
};

Walk WalkAll(const AnsiString& Text, char Delimiter = ';') {
  auto stream = StreamOf(Text);
  TCSVReader reader(*stream, Delimiter);
  Walk walk;
  reader.First();
  while (!reader.Eof()) {
    walk.Records.push_back(Fields(reader));
    reader.Next();
  }
  walk.LastRecord = Fields(reader);
  return walk;
}

struct ReadCase {
  const char* Name;
  AnsiString Text;
  std::vector<Record> Records; // those read before Eof
  Record LastRecord;           // the record read together with Eof
};

class ReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadTest, Records) {
  const ReadCase& c = GetParam();
  const Walk walk = WalkAll(c.Text);
  EXPECT_EQ(walk.Records, c.Records);
  EXPECT_EQ(walk.LastRecord, c.LastRecord);
}

INSTANTIATE_TEST_SUITE_P(
    CSVReader, ReadTest,
    testing::Values(
        ReadCase{"ThreeFields", "a;b;c\r\n", {{"a", "b", "c"}}, {}},
        ReadCase{"TrailingDelimiter", "a;b;\r\n", {{"a", "b", ""}}, {}},
        ReadCase{"OnlyADelimiter", ";\r\n", {{"", ""}}, {}},
        ReadCase{"EmptyLineHasNoFields", "a\r\n\r\nb\r\n", {{"a"}, {}, {"b"}}, {}},
        ReadCase{"NoFinalLineBreak", "h\r\nx;y", {{"h"}}, {"x", "y"}},
        ReadCase{"EmptyInput", "", {}, {}},
        ReadCase{
            "QuotedDelimiterBreakAndPair", "\"a;b\r\nc\"\"d\";e\r\n", {{"a;b\r\nc\"d", "e"}}, {}},
        ReadCase{"QuoteNotFirstIsOrdinary", "ab\"c;d\"\r\n", {{"ab\"c", "d\""}}, {}},
        ReadCase{"BytesAfterClosingQuoteBelongToTheField", "\"ab\"cd;e\r\n", {{"ab\"c", "e"}}, {}},
        ReadCase{"EmptyQuoted", "\"\";x\r\n", {{"", "x"}}, {}},
        ReadCase{"LoneQuoteField", "x;\"", {}, {"x"}},
        ReadCase{"UnclosedQuoteAtEnd", "h\r\na;\"open\r\n", {{"h"}}, {"a"}},
        ReadCase{"LfAloneDoesNotEndALine", "a\nb;c\r\n", {{"a\nb", "c"}}, {}},
        // After a lone CR the byte that follows is stepped over too.
        ReadCase{"LoneCrLosesTheNextByte", "ab\rcd\r\n", {{"ab"}, {"d"}}, {}},
        ReadCase{"NulEndsTheData", AnsiString("a;b\r\nc\0d\r\n", 10), {{"a", "b"}}, {}},
        ReadCase{"AnsiBytes", "M\xFCller;J\xF6rg\r\n", {{"M\xFCller", "J\xF6rg"}}, {}}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.Name; });

TEST(CSVReader, AppendFieldAddsWhatGetFieldGives) {
  auto stream = StreamOf("plain;\"a;\"\"b\"\"\";\"\";;\"x\"y\"z\"\r\n");
  TCSVReader reader(*stream, ';');
  reader.First();
  ASSERT_EQ(reader.FieldCount(), 5);
  const AnsiString expected[] = {"plain", "a;\"b\"", "", "", "x\"y\"z"};
  AnsiString buffer = "kept|";
  for (int32_t i = 0; i < reader.FieldCount(); ++i) {
    EXPECT_EQ(reader.GetField(i), expected[i]) << i;
    reader.AppendField(i, buffer);
    buffer += '|';
  }
  EXPECT_EQ(buffer, "kept|plain|a;\"b\"|||x\"y\"z|");
}

TEST(CSVReader, OtherDelimiters) {
  EXPECT_EQ(WalkAll("a,b;c\tx\r\n", ',').Records, (std::vector<Record>{{"a", "b;c\tx"}}));
  EXPECT_EQ(WalkAll("a,b;c\tx\r\n", '\t').Records, (std::vector<Record>{{"a,b;c", "x"}}));
}

TEST(CSVReader, FinalLineBreakGivesOneEmptyRecordThenRaises) {
  auto stream = StreamOf("h;i\r\nx\r\n");
  TCSVReader reader(*stream, ';');
  reader.First();
  EXPECT_EQ(Fields(reader), (Record{"h", "i"}));
  EXPECT_FALSE(reader.Eof());
  reader.Next();
  EXPECT_EQ(Fields(reader), Record{"x"});
  EXPECT_FALSE(reader.Eof());
  reader.Next();
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(reader.FieldCount(), 0);
  try {
    reader.Next();
    FAIL() << "read past the end";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Try to read past eof");
  }
  EXPECT_EQ(reader.FieldCount(), 0);
  EXPECT_TRUE(reader.Eof());
}

TEST(CSVReader, EmptyInputIsEofAtOnceAndThenRaises) {
  auto stream = StreamOf("");
  TCSVReader reader(*stream, ';');
  reader.First();
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(reader.FieldCount(), 0);
  EXPECT_THROW(reader.Next(), Exception);
}

TEST(CSVReader, UnfinishedQuoteReadsTheSameRecordAgain) {
  auto stream = StreamOf("a;b;\"never closed\r\nmore");
  TCSVReader reader(*stream, ';');
  reader.First();
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(Fields(reader), (Record{"a", "b"}));
  reader.Next();
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(Fields(reader), (Record{"a", "b"}));
}

TEST(CSVReader, ResetAndFirstStartOver) {
  auto stream = StreamOf("h\r\n1\r\n");
  TCSVReader reader(*stream, ';');
  reader.First();
  reader.Next();
  reader.Next();
  EXPECT_TRUE(reader.Eof());
  reader.First();
  EXPECT_FALSE(reader.Eof());
  EXPECT_EQ(Fields(reader), Record{"h"});
}

TEST(CSVReader, ManyFieldsGrowTheArray) {
  for (int count : {99, 100, 101, 150, 1000}) {
    AnsiString line;
    Record expected;
    for (int i = 0; i < count; ++i) {
      if (i) line += ';';
      line += "f" + std::to_string(i);
      expected.push_back("f" + std::to_string(i));
    }
    // the same record with and without a line end: both ways of growing
    EXPECT_EQ(WalkAll(line + "\r\n").Records, std::vector<Record>{expected}) << count;
    EXPECT_EQ(WalkAll("h\r\n" + line).LastRecord, expected) << count;
  }
}

TEST(CSVReader, ReadsFromTheStreamPositionAndLeavesTheStreamToItsOwner) {
  auto stream = StreamOf("skip\r\na;b\r\n");
  stream->SetPosition(6);
  {
    TCSVReader reader(*stream, ';');
    reader.First();
    EXPECT_EQ(Fields(reader), (Record{"a", "b"}));
  }
  EXPECT_EQ(stream->GetPosition(), stream->GetSize());
  EXPECT_NE(stream->Memory(), nullptr);
}

TEST(CSVReader, TakesAllOfAStreamThatDeliversInPieces) {
  ChunkedStream stream("n;t\r\nAnna;0301\r\nBen;0302\r\n", 3);
  TCSVReader reader(stream, ';');
  std::vector<Record> records;
  for (reader.First(); !reader.Eof(); reader.Next())
    records.push_back(Fields(reader));
  EXPECT_EQ(records, (std::vector<Record>{{"n", "t"}, {"Anna", "0301"}, {"Ben", "0302"}}));
}

TEST(CSVReader, FieldsOfEarlierRecordsDoNotLeakIntoShorterOnes) {
  const Walk walk = WalkAll("a;b;c;d\r\nx\r\n;\r\n");
  EXPECT_EQ(walk.Records, (std::vector<Record>{{"a", "b", "c", "d"}, {"x"}, {"", ""}}));
}

// Past the current record's fields the reader's array still holds those of the longer record
// before; asked for them, GetField and AppendField give the empty field.
TEST(CSVReader, FieldsPastTheCountAreEmpty) {
  auto stream = StreamOf("a;b;c;\"d\"\r\nx\r\n");
  TCSVReader reader(*stream, ';');
  reader.First();
  reader.Next();
  ASSERT_EQ(Fields(reader), Record{"x"});
  reader.Next();
  ASSERT_TRUE(reader.Eof());
  ASSERT_EQ(reader.FieldCount(), 0);
  for (const int32_t index : {-1, 0, 1, 3, 99, 100, 5000}) {
    AnsiString appended = "kept";
    reader.AppendField(index, appended);
    EXPECT_EQ(appended, "kept") << index;
    EXPECT_EQ(reader.GetField(index), "") << index;
  }
}

TEST(CSVReader, TextReadInPlaceNeedsAllItsClosingBytes) {
  const AnsiString data = "a;b";
  for (size_t spoilt = 0; spoilt <= TCSVReader::ClosingBytes; ++spoilt) {
    auto text = ExactCopy(data, TCSVReader::ClosingBytes);
    TCSVReader::CloseText(text.get(), data.size());
    if (spoilt == TCSVReader::ClosingBytes) {
      TCSVReader reader(text.get(), data.size(), ';');
      reader.First();
      EXPECT_EQ(Fields(reader), (Record{"a", "b"}));
      continue;
    }
    text[data.size() + spoilt] = 'x';
    EXPECT_THROW(TCSVReader(text.get(), data.size(), ';'), Exception) << spoilt;
  }
}

// Every record of a walk through all of them, with its fields as GetField and RawField give
// them, Eof and the position after it; then what one more Next does.
AnsiString Transcript(TCSVReader& Reader) {
  AnsiString out;
  const auto record = [&] {
    out += std::to_string(Reader.FieldCount()) + (Reader.Eof() ? " eof " : " ") +
           std::to_string(Reader.Position()) + ":";
    for (int32_t i = 0; i < Reader.FieldCount(); ++i)
      out += "[" + Reader.GetField(i) + "|" + AnsiString(Reader.RawField(i)) + "]";
    out += "\n";
  };
  Reader.First();
  record();
  while (!Reader.Eof()) {
    Reader.Next();
    record();
  }
  try {
    Reader.Next();
    record();
  } catch (const Exception& e) {
    out += e.Message();
  }
  return out;
}

// The sixteen-byte scan against the plain one, over the caller's text in place and over the
// reader's own copy of a stream, each in a block of exactly its size: under the address
// sanitizer a read before the text or past its closing bytes fails here.
TEST(CSVReader, BlockScanReadsWhatThePlainScanReads) {
  const std::vector<AnsiString> endings = {
      "", ";", "\r\n", ";\r\n", "\"q;\"\"\r\n\";x", "\"open", "\r\nz;", "\r", "\r\n\"a\"b"};
  for (const AnsiString& text : ScanTexts(endings, "abcdefgh;,\"\r\n\t", 23)) {
    for (const char delimiter : {';', '\t'}) {
      const auto transcript = [&](TScanPath Path) {
        const TScanPathSetting setting(Path);
        auto copy = ExactCopy(text, TCSVReader::ClosingBytes);
        TCSVReader::CloseText(copy.get(), text.size());
        TCSVReader inPlace(copy.get(), text.size(), delimiter);
        const AnsiString fromText = Transcript(inPlace);
        auto bytes = ExactCopy(text);
        TConstMemoryStream stream(bytes.get(), text.size());
        TCSVReader fromStream(stream, delimiter);
        EXPECT_EQ(Transcript(fromStream), fromText);
        return fromText;
      };
      const AnsiString plain = transcript(TScanPath::Plain);
      for (const TScanPath path : TakeableScanPaths())
        ASSERT_EQ(transcript(path), plain) << testing::PrintToString(text) << " delimiter "
                                           << int(delimiter) << " path " << int(path);
    }
  }
}

} // namespace

#include "formats/zip_archive.h"

#include <gtest/gtest.h>

#include <functional>

#include "formats/workbook_errors.h"
#include "tests/zip_writer.h"

namespace {

// Every entry of the archive, read in pieces of Piece bytes.
std::vector<AnsiString> ReadAll(const AnsiString& Bytes, size_t Piece = 7,
                                const TZipLimits& Limits = TZipLimits()) {
  TZipArchive archive(Bytes, Limits);
  std::vector<AnsiString> contents;
  for (const TZipEntry& entry : archive.Entries()) {
    TZipEntryReader reader(archive, entry);
    AnsiString data;
    char buffer[64];
    while (const size_t read = reader.Read(buffer, std::min(Piece, sizeof buffer)))
      data.append(buffer, read);
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 0u);
    contents.push_back(data);
  }
  return contents;
}

void ExpectDamaged(const std::function<void()>& Action) {
  try {
    Action();
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), DamagedWorkbookMessage);
  }
}

const AnsiString Text = "<x>Grüße aus Köln</x>" + AnsiString(300, 'a');

TEST(ZipArchive, ReadsStoredAndDeflatedEntriesByNameIgnoringCase) {
  const AnsiString bytes = TZipWriter()
                               .Add("xl/workbook.xml", Text, true)
                               .Add("[Content_Types].xml", "stored", false)
                               .Add("empty", "", true)
                               .Bytes();
  EXPECT_EQ(ReadAll(bytes), (std::vector<AnsiString>{Text, "stored", ""}));
  TZipArchive archive(bytes);
  ASSERT_NE(archive.Find("XL/Workbook.XML"), nullptr);
  EXPECT_EQ(archive.Find("XL/Workbook.XML")->Name, "xl/workbook.xml");
  EXPECT_EQ(archive.Find("xl/workbook"), nullptr);
  EXPECT_EQ(ReadZipEntry(archive, *archive.Find("[content_types].xml")), "stored");
}

TEST(ZipArchive, EmptyArchiveAndTrailingComment) {
  EXPECT_TRUE(ReadAll(TZipWriter().Bytes()).empty());
  AnsiString bytes = TZipWriter().Add("a", "1").Bytes();
  // A comment of 5 bytes after the end record.
  bytes[bytes.size() - 2] = 5;
  EXPECT_EQ(ReadAll(bytes + "hello"), std::vector<AnsiString>{"1"});
}

// Faults found when the directory is read, or only when the entry is.
struct DamageCase {
  const char* Name;
  std::function<AnsiString()> Make;
};

class ZipDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(ZipDamage, IsDamaged) {
  const AnsiString bytes = GetParam().Make();
  ExpectDamaged([&] { ReadAll(bytes); });
}

AnsiString Valid() {
  return TZipWriter().Add("a.xml", Text).Add("b.xml", "stored", false).Bytes();
}

// Bytes with a 16-bit field of the first directory record changed.
AnsiString WithDirectoryField(size_t Offset, uint16_t Value) {
  AnsiString bytes = Valid();
  const size_t directory = bytes.find("PK\x01\x02");
  bytes[directory + Offset] = static_cast<char>(Value & 0xFF);
  bytes[directory + Offset + 1] = static_cast<char>(Value >> 8);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    ZipArchive, ZipDamage,
    testing::Values(
        DamageCase{"NoEndRecord", [] { return Valid().substr(0, Valid().size() - 10); }},
        DamageCase{"TooShort", [] { return AnsiString("PK\x05\x06", 4); }},
        DamageCase{"TruncatedData",
                   [] {
                     const AnsiString v = Valid();
                     return v.substr(0, 40) + v.substr(60);
                   }},
        DamageCase{"ChecksumWrong",
                   [] {
                     return TZipWriter()
                         .AddRaw("a", Deflated(Text), 8, Crc32(Text) ^ 1, Text.size())
                         .Bytes();
                   }},
        DamageCase{
            "DeclaredSizeSmaller",
            [] { return TZipWriter().AddRaw("a", Deflated(Text), 8, Crc32(Text), 100).Bytes(); }},
        DamageCase{"DeclaredSizeLarger",
                   [] {
                     return TZipWriter()
                         .AddRaw("a", Deflated(Text), 8, Crc32(Text), Text.size() + 1)
                         .Bytes();
                   }},
        DamageCase{"DeflateStreamCut",
                   [] {
                     const AnsiString d = Deflated(Text);
                     return TZipWriter()
                         .AddRaw("a", d.substr(0, d.size() / 2), 8, Crc32(Text), Text.size())
                         .Bytes();
                   }},
        DamageCase{"NotDeflate", [] { return TZipWriter().AddRaw("a", "xyz", 8, 0, 3).Bytes(); }},
        DamageCase{"UnknownMethod",
                   [] { return TZipWriter().AddRaw("a", "x", 12, Crc32("x"), 1).Bytes(); }},
        DamageCase{"StoredSizesDiffer",
                   [] { return TZipWriter().AddRaw("a", "xy", 0, Crc32("xy"), 3).Bytes(); }},
        DamageCase{"Encrypted", [] { return WithDirectoryField(8, 1); }},
        DamageCase{"LocalHeaderOffsetWrong", [] { return WithDirectoryField(42, 3); }},
        DamageCase{"NameReachesPastDirectory", [] { return WithDirectoryField(28, 0x7000); }},
        DamageCase{"CountDiffers",
                   [] {
                     AnsiString bytes = Valid();
                     bytes[bytes.size() - 12] = 3; // total entries of the end record
                     return bytes;
                   }},
        // Two records for one local header: the bytes of one entry counted twice.
        DamageCase{"OverlappingEntries",
                   [] { return TZipWriter().Add("a.xml", Text).AddAlias("b.xml", 0).Bytes(); }}),
    [](const testing::TestParamInfo<DamageCase>& Info) { return Info.param.Name; });

TEST(ZipArchive, MoreThanTenThousandEntriesIsDamaged) {
  TZipWriter many;
  for (int i = 0; i < 10000; ++i)
    many.Add(std::to_string(i), "", false);
  EXPECT_EQ(TZipArchive(many.Bytes()).Entries().size(), 10000u);
  many.Add("one more", "", false);
  ExpectDamaged([&] { TZipArchive archive(many.Bytes()); });
}

// Stopped at Limit inflated bytes or earlier, one piece late at most.
void ExpectBombStopped(const AnsiString& Bomb, uint64_t Limit) {
  TZipArchive archive(Bomb);
  std::vector<char> buffer(64 << 10);
  uint64_t read = 0;
  ExpectDamaged([&] {
    TZipEntryReader reader(archive, archive.Entries()[0]);
    while (const size_t n = reader.Read(buffer.data(), buffer.size()))
      read += n;
  });
  EXPECT_LE(read, Limit + buffer.size());
}

TEST(ZipArchive, BombOfTwoGigabytesOfZeros) {
  const AnsiString megabyte(1 << 20, '\0');
  const AnsiString zeros = DeflatedRepeats(megabyte, 2048);
  EXPECT_LT(zeros.size(), 3u << 20);
  // Declared as it is: refused before inflating.
  ExpectBombStopped(TZipWriter().AddRaw("content.xml", zeros, 8, 0, uint64_t(2048) << 20).Bytes(),
                    0);
  // Declared as a megabyte: stopped where that is passed.
  ExpectBombStopped(TZipWriter().AddRaw("content.xml", zeros, 8, 0, 1 << 20).Bytes(), 1 << 20);
}

TEST(ZipArchive, LimitsCountedWhileInflating) {
  const AnsiString zeros(4000, '\0');
  const AnsiString deflated = Deflated(zeros);
  const auto entry = [&](uint64_t DeclaredSize) {
    return TZipWriter().AddRaw("a", deflated, 8, Crc32(zeros), DeclaredSize).Bytes();
  };
  // The ratio rule holds from RatioFrom bytes on, for the declared size and the inflated bytes.
  TZipLimits limits;
  limits.RatioFrom = 1000;
  limits.MaxRatio = zeros.size() / deflated.size() + 1;
  ASSERT_GT(zeros.size() % deflated.size(), 0u);
  EXPECT_EQ(ReadAll(entry(zeros.size()), 64, limits), std::vector<AnsiString>{zeros});
  limits.MaxRatio = zeros.size() / deflated.size() - 1;
  ExpectDamaged([&] { ReadAll(entry(zeros.size()), 64, limits); });
  ExpectDamaged([&] { ReadAll(entry(999), 64, limits); });
  limits.RatioFrom = 5000;
  EXPECT_EQ(ReadAll(entry(zeros.size()), 64, limits).size(), 1u);
  // The total counts every entry read from the archive.
  limits = TZipLimits();
  limits.MaxInflated = 7000;
  const AnsiString two = TZipWriter().Add("a", zeros).Add("b", zeros, false).Bytes();
  ExpectDamaged([&] { ReadAll(two, 64, limits); });
  limits.MaxInflated = 8000;
  EXPECT_EQ(ReadAll(two, 64, limits).size(), 2u);
}

} // namespace

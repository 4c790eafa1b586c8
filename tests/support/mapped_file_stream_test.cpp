#include "support/mapped_file_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/exceptions.h"
#include "tests/test_files.h"

namespace {

void ExpectError(const std::function<void()>& Action, const AnsiString& Message) {
  try {
    Action();
    ADD_FAILURE() << "no error, expected " << Message;
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), Message);
  }
}

TEST(MappedFileStream, ReadsTheWholeFile) {
  TTempDir dir;
  AnsiString bytes;
  for (int i = 0; i < 100000; ++i)
    bytes += char(i * 7);
  const AnsiString name = dir.Write("data.bin", bytes);
  TMappedFileStream stream(name);
  EXPECT_EQ(stream.GetSize(), int64_t(bytes.size()));
  AnsiString back(bytes.size() + 10, '\0');
  EXPECT_EQ(stream.Read(&back[0], int32_t(back.size())), int32_t(bytes.size()));
  back.resize(bytes.size());
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(stream.Read(&back[0], 1), 0);
  EXPECT_EQ(stream.GetPosition(), int64_t(bytes.size()));
}

TEST(MappedFileStream, ReadsInPiecesAndSeeks) {
  TTempDir dir;
  TMappedFileStream stream(dir.Write("t.csv", "0123456789"));
  char buffer[4];
  EXPECT_EQ(stream.Read(buffer, 4), 4);
  EXPECT_EQ(AnsiString(buffer, 4), "0123");
  EXPECT_EQ(stream.Seek(-2, soFromEnd), 8);
  EXPECT_EQ(stream.Read(buffer, 4), 2);
  EXPECT_EQ(AnsiString(buffer, 2), "89");
  EXPECT_EQ(stream.Seek(-5, soFromCurrent), 5);
  EXPECT_EQ(stream.Seek(100, soFromCurrent), 10); // clamped to the size
  EXPECT_EQ(stream.Seek(11, soFromBeginning), 10);
  EXPECT_EQ(stream.Seek(0, 9), 10); // unknown origin leaves it
  EXPECT_EQ(stream.Seek(0, soFromEnd), 10);
}

TEST(MappedFileStream, NegativePositionReadsNothing) {
  TTempDir dir;
  TMappedFileStream stream(dir.Write("t.csv", "abc"));
  stream.Seek(-100, soFromBeginning);
  char buffer[200];
  EXPECT_EQ(stream.Read(buffer, 200), 0);
  EXPECT_EQ(stream.Read(buffer, -1), 0);
}

TEST(MappedFileStream, EmptyFileHasNoMapping) {
  TTempDir dir;
  TMappedFileStream stream(dir.Write("empty.csv", ""));
  EXPECT_EQ(stream.GetSize(), 0);
  char buffer[4];
  EXPECT_EQ(stream.Read(buffer, 4), 0);
  EXPECT_EQ(stream.Seek(5, soFromBeginning), 0);
}

TEST(MappedFileStream, Errors) {
  TTempDir dir;
  ExpectError([&] { TMappedFileStream s(dir.FileName("missing.csv")); }, "OSError");
  ExpectError([&] { TMappedFileStream s(dir.Path()); }, "OSError"); // a folder
  ExpectError([&] { TMappedFileStream s(""); }, "OSError");
  TMappedFileStream stream(dir.Write("t.csv", "abc"));
  ExpectError([&] { stream.Write("x", 1); }, "TMappedFileStream is read only");
  ExpectError([&] { stream.Write("x", 0); }, "TMappedFileStream is read only");
  stream.SetSize(0); // does nothing
  EXPECT_EQ(stream.GetSize(), 3);
}

TEST(MappedFileStream, SizeLimit) {
  EXPECT_TRUE(TMappedFileStream::SizeFits(0));
  EXPECT_TRUE(TMappedFileStream::SizeFits(0x7FFFFFFF));
  EXPECT_FALSE(TMappedFileStream::SizeFits(0x80000000));
  EXPECT_FALSE(TMappedFileStream::SizeFits(0x100000000 + 10));
}

// Sparse files: no disk space is used, but the size is real.
TEST(MappedFileStream, RefusesFilesTooLargeInsteadOfTruncating) {
  TTempDir dir;
  for (uint64_t size : {uint64_t(0x80000000), uint64_t(0x100000000) + 10}) {
    const AnsiString name = dir.Write("big.csv", "a;b\r\n");
    std::error_code error;
    std::filesystem::resize_file(name, size, error);
    if (error) GTEST_SKIP() << "cannot make a sparse file here: " << error.message();
    ExpectError([&] { TMappedFileStream s(name); }, "OSError");
  }
}

} // namespace

#include "controls/wave.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "base/exceptions.h"
#include "framework/win_owners.h"
#include "support/fast_memory_stream.h"
#include "support/file_utils.h"
#include "tests/test_files.h"

namespace {

AnsiString Content(const TWaveData& Data) {
  return AnsiString(reinterpret_cast<const char*>(Data.Bytes()), size_t(Data.Size()));
}

TWaveData& Fill(TWaveData& Data, const AnsiString& Bytes) {
  TFastMemoryStream stream;
  const uint32_t n = uint32_t(Bytes.size());
  const AnsiString stored = AnsiString{char(n), char(n >> 8), char(n >> 16), char(n >> 24)} + Bytes;
  stream.WriteBuffer(stored.data(), int32_t(stored.size()));
  stream.SetPosition(0);
  Data.ReadData(stream);
  return Data;
}

uint32_t Field(const TWaveData& Data, size_t Offset, size_t Width) {
  uint32_t value = 0;
  for (size_t i = Width; i-- > 0;)
    value = value << 8 | Data.Bytes()[Offset + i];
  return value;
}

// Every call of the play function, for the tests that replace it.
struct TPlayCall {
  const void* Sound;
  DWORD Flags;
};
std::vector<TPlayCall> GCalls;

BOOL WINAPI RecordPlay(LPCSTR Sound, HMODULE, DWORD Flags) {
  GCalls.push_back({Sound, Flags});
  return TRUE;
}

class WavePlay : public testing::Test {
protected:
  void SetUp() override {
    GCalls.clear();
    FPrevious = SetPlaySoundFunction(RecordPlay);
  }
  void TearDown() override { SetPlaySoundFunction(FPrevious); }
  TPlaySoundFunction FPrevious = nullptr;
};

const TPlayCall Stop = {nullptr, 0};
bool operator==(const TPlayCall& A, const TPlayCall& B) {
  return A.Sound == B.Sound && A.Flags == B.Flags;
}

TEST(WaveData, ResourceHoldsTheSound) {
  TWaveData data;
  ReadWaveResource(data, "WAVEHANGUP");
  ASSERT_EQ(data.Size(), 227372);
  EXPECT_EQ(Content(data).substr(0, 16), AnsiString("RIFF\x24\x78\x03\x00WAVEfmt ", 16));
  const struct {
    size_t Offset, Width;
    uint32_t Value;
  } fields[] = {{16, 4, 16},     {20, 2, 1}, {22, 2, 2},  {24, 4, 44100},
                {28, 4, 176400}, {32, 2, 4}, {34, 2, 16}, {40, 4, 227328}};
  for (const auto& f : fields)
    EXPECT_EQ(Field(data, f.Offset, f.Width), f.Value) << f.Offset;
  EXPECT_EQ(Content(data).substr(36, 4), "data");

  TFastMemoryStream stream;
  data.WriteData(stream);
  ASSERT_EQ(stream.GetSize(), 4 + 227372);
  EXPECT_EQ(Field(data, 4, 4) + 8, 227372u);
  stream.SetPosition(0);
  TWaveData back;
  back.ReadData(stream);
  EXPECT_EQ(Content(back), Content(data));

  EXPECT_THROW(ReadWaveResource(data, "NOSUCHSOUND"), Exception);
}

// Counts the reads: a length the stream cannot hold must fail before the bytes are read.
struct TCountingStream : TFastMemoryStream {
  int Reads = 0;
  int32_t Read(void* Buffer, int32_t Count) override {
    ++Reads;
    return TFastMemoryStream::Read(Buffer, Count);
  }
};

TEST(WaveData, ReadData) {
  const struct {
    AnsiString Stored;
    AnsiString Expected;
    bool Fails;
    int Reads;
  } cases[] = {
      {AnsiString("\x05\0\0\0hello!", 10), "hello", false, 2},
      {AnsiString("\0\0\0\0", 4), "", false, 1},
      {"\xFF\xFF\xFF\xFF", "", false, 1},              // negative
      {AnsiString("\0\0\0\x80x", 5), "", false, 1},    // the most negative
      {AnsiString("\x06\0\0\0hello", 9), "", true, 1}, // longer than the stream
      {"\xFF\xFF\xFF\x7Fxyz", "", true, 1},            // 2 GiB claimed
      {AnsiString("\x01\0", 2), "", true, 1},          // no whole length
  };
  for (const auto& c : cases) {
    TWaveData data;
    Fill(data, "old");
    TCountingStream stream;
    stream.WriteBuffer(c.Stored.data(), int32_t(c.Stored.size()));
    stream.SetPosition(0);
    if (c.Fails)
      EXPECT_THROW(data.ReadData(stream), EReadError);
    else
      data.ReadData(stream);
    EXPECT_EQ(Content(data), c.Expected);
    EXPECT_EQ(data.IsEmpty(), c.Expected.empty());
    EXPECT_EQ(stream.Reads, c.Reads) << c.Stored;
  }
}

TEST(WaveData, LoadFromFile) {
  TTempDir dir;
  const AnsiString file = dir.Write("a.wav", AnsiString("not a wave\0!", 12));
  const struct {
    AnsiString Name;
    AnsiString Expected;
  } cases[] = {{file, AnsiString("not a wave\0!", 12)},
               {dir.Write("empty.wav", ""), ""},
               {dir.FileName("missing.wav"), ""},
               {dir.Path(), ""}};
  for (const auto& c : cases) {
    TWaveData data;
    Fill(data, "old");
    data.LoadFromFile(c.Name);
    EXPECT_EQ(Content(data), c.Expected) << c.Name;
  }
  // Held by another program without sharing.
  const TKernelHandle locked(
      CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(locked.Valid());
  TWaveData data;
  try {
    data.LoadFromFile(file);
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), int(ERROR_SHARING_VIOLATION));
  }
  EXPECT_TRUE(data.IsEmpty());
}

TEST(WaveData, AssignCopiesAndSharesNothing) {
  TWaveData source, copy;
  Fill(source, "RIFF1234");
  copy.Assign(&source);
  EXPECT_NE(copy.Bytes(), source.Bytes());
  source.Clear();
  EXPECT_EQ(Content(copy), "RIFF1234");
  copy.Assign(&copy);
  EXPECT_EQ(Content(copy), "RIFF1234");
  copy.Assign(&source);
  EXPECT_TRUE(copy.IsEmpty());
  Fill(copy, "x").Assign(nullptr);
  EXPECT_TRUE(copy.IsEmpty());
}

TEST_F(WavePlay, PlaysFromMemoryAndStopsBeforeTheBytesGo) {
  TWaveData empty;
  empty.Play();
  EXPECT_TRUE(GCalls.empty());

  TWaveData a, b;
  Fill(a, "RIFFa");
  Fill(b, "RIFFb");
  a.Play();
  ASSERT_EQ(GCalls.size(), 1u);
  EXPECT_TRUE((GCalls[0] == TPlayCall{a.Bytes(), 7}));
  b.Play();
  a.Clear(); // no longer playing: b cut it short
  EXPECT_EQ(GCalls.size(), 2u);

  // Every way of replacing or releasing the playing bytes stops them first.
  const std::function<void(std::unique_ptr<TWaveData>&)> replacements[] = {
      [](std::unique_ptr<TWaveData>& d) { d->Clear(); },
      [&](std::unique_ptr<TWaveData>& d) { d->Assign(&b); },
      [](std::unique_ptr<TWaveData>& d) { Fill(*d, "other"); },
      [](std::unique_ptr<TWaveData>& d) { d->LoadFromFile("missing-file.wav"); },
      [](std::unique_ptr<TWaveData>& d) { d.reset(); },
  };
  for (const auto& replace : replacements) {
    auto d = std::make_unique<TWaveData>();
    Fill(*d, "RIFFd").Play();
    GCalls.clear();
    replace(d);
    ASSERT_EQ(GCalls.size(), 1u);
    EXPECT_TRUE(GCalls[0] == Stop);
  }
}

TEST_F(WavePlay, ComponentCallsOnPlayFirst) {
  TWaveData source;
  Fill(source, "RIFFw");
  TWave wave;
  wave.SetWaveData(source);
  EXPECT_NE(wave.WaveData().Bytes(), source.Bytes());
  EXPECT_EQ(Content(wave.WaveData()), "RIFFw");
  TWave* sender = nullptr;
  wave.OnPlay = [&](TWave& Sender) {
    sender = &Sender;
    EXPECT_TRUE(GCalls.empty());
  };
  wave.Play();
  EXPECT_EQ(sender, &wave);
  ASSERT_EQ(GCalls.size(), 1u);
  EXPECT_EQ(GCalls[0].Sound, wave.WaveData().Bytes());
}

TEST(WaveData, PlayingTheSoundReturnsAtOnce) {
  TWaveData data;
  ReadWaveResource(data, "WAVEHANGUP");
  const auto start = std::chrono::steady_clock::now();
  data.Play();
  data.Play();
  data.Clear();
  // The sound lasts 1.29 s.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

} // namespace

#pragma once
// Makes every CSV record one CR LF line: line breaks inside double quotes become "<br>", the
// double quotes themselves go.
#include <cstddef>
#include <string_view>

#include "base/stream.h"
#include "formats/text_loading.h"
#include "support/fast_memory_stream.h"

class TBlockPool;

// Replaces the stream's content with the normalised text of the file; the position is at the end
// afterwards.
void NormalizeCSVData(const PathString& FileName, TFastMemoryStream& Stream);
// The same for a text as LoadFileAsAnsiText gives it; it ends at its first byte 0. What is done
// of a mapped text is given back to the system on the way.
void NormalizeCSVText(TLoadedText& Text, TFastMemoryStream& Stream);
void NormalizeCSVText(std::string_view Text, TFastMemoryStream& Stream);
// Appends the lines of Text (up to its first byte 0) at the stream's position, each followed by
// CR LF; CR LF, lone CR and lone LF each end a line.
void WriteLinesCRLF(const AnsiString& Text, TStream& Stream);

// A normalised text, or a part of one, in a block of a pool, with room for Tail more bytes after
// it, for what a reader of the text needs there.
class TPoolText {
public:
  explicit TPoolText(TBlockPool& Pool) : FPool(Pool) {}
  ~TPoolText() { Release(); }
  TPoolText(const TPoolText&) = delete;
  TPoolText& operator=(const TPoolText&) = delete;

  char* Data() const { return FData; }
  size_t Size() const { return FSize; }
  // Gives the block back; the text is empty afterwards.
  void Release();
  // Exchanges the texts of two TPoolTexts of one pool.
  void Swap(TPoolText& Other);

private:
  friend class TPartNormalizer;

  // Room for Bytes from the start, keeping what is there; grows by half at least.
  char* Reserve(size_t Bytes);
  // Ends the text at Size, with Tail bytes of room after it and not one more.
  void Finish(size_t Size, size_t Tail);

  TBlockPool& FPool;
  char* FData = nullptr;
  size_t FSize = 0;
  size_t FCapacity = 0;
};

// Where NormalizeCSVTextInParts splits a text of Size bytes when the caller leaves it to it.
constexpr size_t AnySplit = size_t(-1);

// The normalised text of Text (NormalizeCSVText's bytes) in one part, or, where the text is
// large, in two that two threads normalise at the same time: the text is split at the first line
// break outside quotes after its middle (or at Split, for tests), and the second part is kept
// only where the normalisation of the first ended at a line start there; otherwise the first
// part goes on over the rest. First followed by Second is NormalizeCSVText's text; when Second is
// not empty, First is not either and Second begins at a line start. Each part has Tail bytes of
// room after it. True when a byte 0 ended the text.
bool NormalizeCSVTextInParts(TLoadedText& Text, size_t Tail, TPoolText& First, TPoolText& Second,
                             size_t Split = AnySplit);

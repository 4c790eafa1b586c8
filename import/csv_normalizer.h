#pragma once
// Makes every CSV record one CR LF line: line breaks inside double quotes become "<br>", the
// double quotes themselves go.
#include <cstddef>
#include <string_view>

#include "base/stream.h"
#include "formats/text_loading.h"
#include "support/block_pool.h"
#include "support/fast_memory_stream.h"

// Replaces the stream's content with the normalised text of the file; the position is at the end
// afterwards.
void NormalizeCSVData(const PathString& FileName, TFastMemoryStream& Stream);
// Appends the lines of Text (up to its first byte 0) at the stream's position, each followed by
// CR LF; CR LF, lone CR and lone LF each end a line.
void WriteLinesCRLF(const AnsiString& Text, TStream& Stream);

// A normalised text, or a part of one: Length bytes of Block, which has room for more after them.
struct TNormalizedPart {
  TPoolBlock Block;
  size_t Length = 0;
  std::string_view Text() const { return {Block.Data(), Length}; }
};

// First followed by Second is the normalised text; Second, when not empty, begins with a record,
// and First is not empty then.
struct TNormalizedText {
  TNormalizedPart First, Second;
  size_t Length() const { return First.Length + Second.Length; }
};

// The normalised text of Text, in one part or, where the text is large, in two that two threads
// make at the same time, cut at the first line break outside quotes after the middle. Each part
// has Tail bytes of room after it, for what a reader of the text wants there; the blocks are
// Pool's. Raises "TFastMemoryStream.Realloc: Memory Error" for a text beyond 2 GiB.
TNormalizedText NormalizeCSVText(const TLoadedText& Text, size_t Tail, TBlockPool& Pool);

#pragma once
// Makes every CSV record one CR LF line: line breaks inside double quotes become "<br>", the
// double quotes themselves go.
#include <cstddef>
#include <functional>
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

// Hands on runs of complete normalised lines: Length bytes at Lines, each line ended by CR LF,
// followed by the room asked for, which the callee may use. False stops the normalisation.
using TNormalizedLines = std::function<bool(char* Lines, size_t Length)>;

// Normalises the text from From to To (the start, the end, or a cut of CSVCutAfterMiddle) as if it
// began at From, a few dozen kilobytes at a time into a buffer of Pool's, and hands each run of
// complete lines to Lines, with Room bytes of room after it. False when the text ended before To
// (a byte 0 that its UTF-8 form spells) or Lines said stop. Raises "TFastMemoryStream.Realloc:
// Memory Error" for a line beyond 2 GiB.
bool NormalizeCSVLines(const TLoadedText& Text, size_t From, size_t To, size_t Room,
                       TBlockPool& Pool, const TNormalizedLines& Lines);

// Where a normalisation may start afresh in the second half of Bytes (a loaded text's): right after
// the first line break there that stands outside quotes; 0 when there is none.
size_t CSVCutAfterMiddle(std::string_view Bytes);

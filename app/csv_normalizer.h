#pragma once
// Makes every CSV record one CR LF line: line breaks inside double quotes become "<br>", the
// double quotes themselves go.
#include <string_view>

#include "base/stream.h"
#include "csv/text_loading.h"
#include "support/fast_memory_stream.h"

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

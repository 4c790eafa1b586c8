#pragma once
// What a text pasted with Ctrl+V may name as a file.
#include <vector>

#include "base/system.h"

// The names Text may be, in the order they are tried:
// - a text beginning "file://" (exactly so): at most 255 characters after the prefix, then all
//   of them when there are more, then the text read as a file URI;
// - any other text: the text itself, then without the double quotes around it, as "copy as
//   path" puts it.
// A name that an earlier one already gave comes once.
std::vector<PathString> PastedFileCandidates(const WideString& Text);

// A file URI as a Windows path, as a browser or a file manager writes it: "file:///C:/a%20b.csv"
// gives "C:\a b.csv", "file://server/share/a.csv" gives "\\server\share\a.csv" (so does
// "file:////server/share/a.csv"), and "localhost" is the own machine. Percent-encoding is UTF-8;
// a query or fragment ("?", "#") is not part of the path. False for any other text, for
// encoded bytes that are no UTF-8, and for an encoded zero byte.
bool FileUriToWindowsPath(const WideString& Uri, PathString& Path);

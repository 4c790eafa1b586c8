#include "app/pasted_path.h"

#include <algorithm>

#include "platform/platform.h"

namespace {

const WideString FilePrefix = u"file://";
// The characters the prefix is followed by that are taken as a path, as the window always did.
constexpr size_t PathCut = 255;

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// "%XX" as its byte; a "%" not followed by two hex digits stays, as browsers leave it.
AnsiString PercentDecoded(const AnsiString& Text) {
  AnsiString bytes;
  bytes.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    const int high = Text[i] == '%' && i + 2 < Text.size() ? HexValue(Text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(Text[i + 2]) : -1;
    if (low >= 0) {
      bytes += static_cast<char>(high << 4 | low);
      i += 2;
    } else {
      bytes += Text[i];
    }
  }
  return bytes;
}

// Strict UTF-8: shortest forms, no surrogates, nothing above U+10FFFF, no zero byte.
bool IsWellFormedUtf8(const AnsiString& Bytes) {
  const auto at = [&](size_t i) { return static_cast<unsigned char>(Bytes[i]); };
  for (size_t i = 0; i < Bytes.size();) {
    const unsigned lead = at(i);
    if (lead == 0) return false;
    size_t length = 1;
    unsigned low = 0x80, high = 0xBF; // the range of the second byte
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (Bytes.size() - i < length || at(i + 1) < low || at(i + 1) > high) return false;
    for (size_t k = 2; k < length; ++k)
      if ((at(i + k) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

bool EqualsIgnoringAsciiCase(const AnsiString& A, const char* B) {
  const AnsiString b = B;
  return A.size() == b.size() && std::equal(A.begin(), A.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool IsDriveLetter(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}

void AddOnce(std::vector<PathString>& Names, const PathString& Name) {
  if (std::find(Names.begin(), Names.end(), Name) == Names.end()) Names.push_back(Name);
}

} // namespace

bool FileUriToWindowsPath(const WideString& Uri, PathString& Path) {
  if (Uri.compare(0, FilePrefix.size(), FilePrefix) != 0) return false;
  AnsiString rest = platform::PathFromWide(Uri.substr(FilePrefix.size()));
  rest = rest.substr(0, rest.find_first_of("?#"));
  const size_t slash = rest.find('/');
  const AnsiString host = rest.substr(0, slash);
  AnsiString path = slash == AnsiString::npos ? AnsiString() : rest.substr(slash);
  AnsiString windows;
  if (host.empty() || EqualsIgnoringAsciiCase(PercentDecoded(host), "localhost")) {
    if (path.size() >= 3 && path[1] != '/' && IsDriveLetter(path[1]) &&
        (path[2] == ':' || path[2] == '|') && (path.size() == 3 || path[3] == '/')) {
      // "/C:/..." (or the older "/C|/...") is a drive path.
      windows = path.substr(1);
      windows[1] = ':';
    } else if (path.size() > 2 && path[0] == '/' && path[1] == '/' && path[2] != '/') {
      windows = path; // "file:////server/share": the network path written out
    } else {
      return false;
    }
  } else {
    if (path.size() < 2) return false; // a server without a share names no file
    windows = "//" + host + path;
  }
  windows = PercentDecoded(windows);
  if (!IsWellFormedUtf8(windows)) return false;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  Path = windows;
  return true;
}

std::vector<PathString> PastedFileCandidates(const WideString& Text) {
  std::vector<PathString> names;
  if (Text.compare(0, FilePrefix.size(), FilePrefix) == 0) {
    const WideString rest = Text.substr(FilePrefix.size());
    AddOnce(names, platform::PathFromWide(rest.substr(0, PathCut)));
    AddOnce(names, platform::PathFromWide(rest));
    PathString decoded;
    if (FileUriToWindowsPath(Text, decoded)) AddOnce(names, decoded);
    return names;
  }
  AddOnce(names, platform::PathFromWide(Text));
  if (Text.size() > 2 && Text.front() == u'"' && Text.back() == u'"')
    AddOnce(names, platform::PathFromWide(Text.substr(1, Text.size() - 2)));
  return names;
}

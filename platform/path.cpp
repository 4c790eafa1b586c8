// Paths between UTF-8 and UTF-16, and the long form of a full Windows path. The same code on
// every system, so that the native tests check what the Windows build does.
#include "platform/platform.h"

namespace platform {

namespace {

bool IsHighSurrogate(uint32_t Unit) {
  return Unit >= 0xD800 && Unit <= 0xDBFF;
}
bool IsLowSurrogate(uint32_t Unit) {
  return Unit >= 0xDC00 && Unit <= 0xDFFF;
}

// The code point of the UTF-8 sequence at Text[At], advancing At past it; false for bytes that
// are no sequence, with At past the first of them. Surrogates in their three-byte form are taken,
// so that a name holding an unpaired one comes back as it was.
bool DecodeSequence(const PathString& Text, size_t& At, uint32_t& Point) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(Text[i]); };
  const unsigned lead = byte(At);
  size_t length;
  uint32_t minimum;
  if (lead < 0x80) {
    Point = lead;
    ++At;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, Point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, Point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, Point = lead & 0x07;
  } else {
    ++At;
    return false;
  }
  if (Text.size() - At < length) {
    ++At;
    return false;
  }
  for (size_t i = 1; i < length; ++i) {
    const unsigned next = byte(At + i);
    if ((next & 0xC0) != 0x80) {
      ++At;
      return false;
    }
    Point = Point << 6 | (next & 0x3F);
  }
  if (Point < minimum || Point > 0x10FFFF) {
    ++At;
    return false;
  }
  At += length;
  return true;
}

void AppendUtf8(PathString& Out, uint32_t Point) {
  if (Point < 0x80) {
    Out += static_cast<char>(Point);
  } else if (Point < 0x800) {
    Out += static_cast<char>(0xC0 | Point >> 6);
    Out += static_cast<char>(0x80 | (Point & 0x3F));
  } else if (Point < 0x10000) {
    Out += static_cast<char>(0xE0 | Point >> 12);
    Out += static_cast<char>(0x80 | (Point >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (Point & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | Point >> 18);
    Out += static_cast<char>(0x80 | (Point >> 12 & 0x3F));
    Out += static_cast<char>(0x80 | (Point >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (Point & 0x3F));
  }
}

bool StartsWith(const WideString& Text, const char16_t* Prefix) {
  return Text.compare(0, std::char_traits<char16_t>::length(Prefix), Prefix) == 0;
}

} // namespace

WideString PathToWide(const PathString& Path) {
  WideString wide;
  wide.reserve(Path.size());
  for (size_t at = 0; at < Path.size();) {
    uint32_t point = 0;
    if (!DecodeSequence(Path, at, point)) point = 0xFFFD;
    if (point >= 0x10000) {
      point -= 0x10000;
      wide += static_cast<char16_t>(0xD800 | point >> 10);
      wide += static_cast<char16_t>(0xDC00 | (point & 0x3FF));
    } else {
      wide += static_cast<char16_t>(point);
    }
  }
  return wide;
}

PathString PathFromWide(const char16_t* Text, size_t Length) {
  PathString path;
  path.reserve(Length);
  for (size_t i = 0; i < Length; ++i) {
    uint32_t point = Text[i];
    if (IsHighSurrogate(point) && i + 1 < Length && IsLowSurrogate(Text[i + 1]))
      point = 0x10000 + ((point - 0xD800) << 10 | (Text[++i] - 0xDC00));
    AppendUtf8(path, point);
  }
  return path;
}

AnsiString PathToAnsi(const PathString& Path) {
  return WideToAnsi(PathToWide(Path));
}

WideString LongPathForm(const WideString& FullPath) {
  if (StartsWith(FullPath, u"\\\\?\\") || StartsWith(FullPath, u"\\\\.\\")) return FullPath;
  const bool drive = FullPath.size() >= 3 && FullPath[1] == u':' && FullPath[2] == u'\\' &&
                     ((FullPath[0] >= u'A' && FullPath[0] <= u'Z') ||
                      (FullPath[0] >= u'a' && FullPath[0] <= u'z'));
  if (drive) return u"\\\\?\\" + FullPath;
  // A network path names a server and a share: "\\server\share..." and nothing shorter.
  if (StartsWith(FullPath, u"\\\\") && FullPath.size() > 2 && FullPath[2] != u'\\')
    return u"\\\\?\\UNC\\" + FullPath.substr(2);
  return FullPath;
}

} // namespace platform

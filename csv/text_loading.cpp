#include "csv/text_loading.h"

#include <algorithm>
#include <cstring>

#include "support/mapped_file_stream.h"
#include "support/string_utils.h"

const char UTF8BOM[3] = {'\xEF', '\xBB', '\xBF'};

namespace {

AnsiString ReadAll(TStream& Stream) {
  Stream.SetPosition(0);
  AnsiString bytes(static_cast<size_t>(Stream.GetSize()), '\0');
  if (!bytes.empty()) Stream.ReadBuffer(&bytes[0], static_cast<int32_t>(bytes.size()));
  return bytes;
}

bool StartsWithBOM(const AnsiString& Text) {
  return Text.size() >= 3 && std::memcmp(Text.data(), UTF8BOM, 3) == 0;
}

} // namespace

bool HasUTF8BOM(TStream& Stream) {
  bool seen = false;
  if (Stream.GetSize() >= 10) {
    Stream.SetPosition(0);
    char head[5];
    seen = Stream.Read(head, 5) == 5 && std::memcmp(head, UTF8BOM, 3) == 0;
  }
  Stream.SetPosition(0);
  return seen;
}

AnsiString StripUTF8BOM(const AnsiString& Text) {
  return StartsWithBOM(Text) ? Text.substr(3) : Text;
}

AnsiString RemoveNulChars(const AnsiString& Text) {
  AnsiString result(Text);
  result.erase(std::remove(result.begin(), result.end(), '\0'), result.end());
  return result;
}

AnsiString LoadFileAsAnsiText(const AnsiString& FileName) {
  TMappedFileStream stream(FileName);
  const bool bomSeen = HasUTF8BOM(stream);
  AnsiString text = ReadAll(stream);
  if (bomSeen) text = StripUTF8BOM(text);

  // UTF-16 of characters below 256 has a zero byte in every unit; an empty text lands here too.
  const size_t zeros = static_cast<size_t>(std::count(text.begin(), text.end(), '\0'));
  if (zeros == text.size() / 2) {
    const AnsiString narrow = RemoveNulChars(text);
    AnsiString ansi = Utf8TextToAnsi(narrow);
    return ansi.empty() ? narrow : ansi;
  }
  AnsiString ansi = Utf8TextToAnsi(text);
  if (!ansi.empty()) return ansi;
  // Not UTF-8: the bytes as they are, a mark included.
  return ReadAll(stream);
}

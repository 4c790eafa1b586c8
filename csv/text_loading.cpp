#include "csv/text_loading.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "support/mapped_file_stream.h"
#include "support/string_utils.h"

const char UTF8BOM[3] = {'\xEF', '\xBB', '\xBF'};

namespace {

bool StartsWithBOM(std::string_view Text) {
  return Text.size() >= 3 && std::memcmp(Text.data(), UTF8BOM, 3) == 0;
}

size_t CountZeros(std::string_view Text) {
  size_t zeros = 0;
  const char* p = Text.data();
  const char* const end = p + Text.size();
  while (p < end && (p = static_cast<const char*>(std::memchr(p, 0, size_t(end - p))))) {
    ++zeros;
    ++p;
  }
  return zeros;
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

AnsiString RemoveNulChars(std::string_view Text) {
  AnsiString result;
  result.reserve(Text.size());
  for (size_t from = 0; from < Text.size();) {
    const size_t zero = std::min(Text.find('\0', from), Text.size());
    result.append(Text, from, zero - from);
    from = zero + 1;
  }
  return result;
}

TLoadedText::TLoadedText(AnsiString Text) : FText(std::move(Text)), FView(FText) {}

TLoadedText::TLoadedText(std::unique_ptr<TMappedFileStream> File)
    : FFile(std::move(File)),
      FView(FFile->Memory(), static_cast<size_t>(FFile->GetSize())) {}

TLoadedText::TLoadedText(TLoadedText&& Other) noexcept { *this = std::move(Other); }

TLoadedText& TLoadedText::operator=(TLoadedText&& Other) noexcept {
  if (this == &Other) return *this;
  // A short string's bytes move with it, so the view is made anew for owned text.
  const bool owned = !Other.FFile;
  FText = std::move(Other.FText);
  FFile = std::move(Other.FFile);
  FView = owned ? std::string_view(FText) : Other.FView;
  FDone = Other.FDone;
  Other.FText.clear();
  Other.FView = {};
  Other.FDone = 0;
  return *this;
}

TLoadedText::~TLoadedText() = default;

void TLoadedText::DoneUpTo(size_t Bytes) {
  if (!FFile || Bytes <= FDone) return;
  FFile->DropPages(static_cast<int64_t>(FDone), static_cast<int64_t>(Bytes - FDone));
  FDone = Bytes;
}

TLoadedText LoadText(const AnsiString& FileName) {
  auto stream = std::make_unique<TMappedFileStream>(FileName);
  const bool bomSeen = HasUTF8BOM(*stream);
  // The file's bytes are read where they are mapped; a decoded text is a new one, and the
  // mapping then goes as soon as it is made.
  const std::string_view file(stream->Memory(), static_cast<size_t>(stream->GetSize()));
  const std::string_view text = bomSeen ? file.substr(3) : file;

  // UTF-16 of characters below 256 has a zero byte in every unit; an empty text lands here too.
  if (CountZeros(text) == text.size() / 2) {
    AnsiString narrow = RemoveNulChars(text);
    AnsiString ansi = Utf8TextToAnsi(narrow);
    return TLoadedText(ansi.empty() ? std::move(narrow) : std::move(ansi));
  }
  AnsiString ansi = Utf8TextToAnsi(text);
  if (!ansi.empty()) return TLoadedText(std::move(ansi));
  // Not UTF-8: the bytes as they are, a mark included.
  return TLoadedText(std::move(stream));
}

AnsiString LoadFileAsAnsiText(const AnsiString& FileName) {
  return AnsiString(LoadText(FileName).View());
}

#pragma once
// Loads a contact export as one text in the ANSI code page, whether it holds 8-bit text, UTF-8
// with or without a byte-order mark, UTF-16 with a byte-order mark, UTF-16 without a mark whose
// characters all lie below 256, or a vCard in UTF-16 without a mark. vCard files lose their folded
// line breaks on the way.
#include <memory>
#include <string_view>

#include "base/stream.h"

class TBlockPool;
class TMappedFileStream;

// A loaded text's own bytes in one block: a pool's, when one is given, else the heap's.
class TTextBuffer {
public:
  TTextBuffer() = default;
  // Room for Capacity bytes, not cleared; throws std::bad_alloc.
  TTextBuffer(size_t Capacity, TBlockPool* Pool);
  TTextBuffer(TTextBuffer&& Other) noexcept { *this = std::move(Other); }
  TTextBuffer& operator=(TTextBuffer&& Other) noexcept;
  TTextBuffer(const TTextBuffer&) = delete;
  TTextBuffer& operator=(const TTextBuffer&) = delete;
  ~TTextBuffer() { Release(); }

  char* Data() const { return FData; }
  size_t Capacity() const { return FCapacity; }
  void Release();

private:
  char* FData = nullptr;
  size_t FCapacity = 0;
  TBlockPool* FPool = nullptr;
};

// When LoadText counts the zero bytes that tell UTF-16 without a mark from 8-bit text, a pass
// over the whole file: at once, or only when a reader meets a byte 0 (TLoadedText::CountZeros);
// a file without one is 8-bit text either way.
enum class TZeroCount { Now, WhenMet };

// A loaded text, and which reader it is for. Where the file's bytes are used as they are, it
// views them in the file's mapping, kept open for it, instead of holding a copy of them.
class TLoadedText {
public:
  explicit TLoadedText(AnsiString Text = AnsiString());
  explicit TLoadedText(std::unique_ptr<TMappedFileStream> File);
  // The first Size bytes of Buffer.
  TLoadedText(TTextBuffer Buffer, size_t Size);
  TLoadedText(TLoadedText&&) noexcept;
  TLoadedText& operator=(TLoadedText&&) noexcept;
  ~TLoadedText();

  std::string_view View() const { return FView; }
  // Whether the text is a vCard file (IsVCardText), else a table for the CSV reader.
  bool IsVCard() const { return FVCard; }
  // The text up to Bytes will not be read again: a mapping's pages may go back to the system.
  void DoneUpTo(size_t Bytes);
  // The same for the text from From to To, which is read in runs, several threads at a time.
  void Drop(size_t From, size_t To) const;

  // False for the bytes of a file loaded with TZeroCount::WhenMet whose zero bytes were not
  // counted: they are the right text as long as they hold no byte 0. A reader that meets one
  // calls CountZeros.
  bool ZerosCounted() const { return FZerosCounted; }
  // Makes the loader's decision again with the zero bytes counted; true when that gives another
  // text (UTF-16 without a mark), which then replaces this one.
  bool CountZeros();

private:
  friend TLoadedText LoadText(const PathString& FileName, TZeroCount Zeros, TBlockPool* Pool);

  AnsiString FText;
  TTextBuffer FBuffer;
  std::unique_ptr<TMappedFileStream> FFile;
  std::string_view FView;
  size_t FDone = 0;
  bool FVCard = false;
  bool FZerosCounted = true;
};

// LoadFileAsAnsiText without the copy of a file whose bytes are used as they are. A vCard text of
// its own takes its memory from Pool, when one is given, which must outlive the text.
TLoadedText LoadText(const PathString& FileName, TZeroCount Zeros = TZeroCount::Now,
                     TBlockPool* Pool = nullptr);

// EF BB BF
extern const char UTF8BOM[3];

// Raises the stream's "OSError" when the file cannot be opened or mapped.
AnsiString LoadFileAsAnsiText(const PathString& FileName);
// What LoadFileAsAnsiText makes of a file holding Bytes.
AnsiString LoadBytesAsAnsiText(std::string_view Bytes);

// True for a stream of at least 10 bytes that starts with the mark; the position is 0 afterwards.
bool HasUTF8BOM(TStream& Stream);
AnsiString StripUTF8BOM(const AnsiString& Text);
AnsiString RemoveNulChars(std::string_view Text);

// True when the text's first line, after blanks, TABs, CRs and LFs, is "BEGIN:VCARD" in any case;
// the text ends at its first byte 0. The one rule that tells a vCard file: the loader unfolds
// such a text, and the import reads it with the vCard reader.
bool IsVCardText(std::string_view Text);
// Text without its folds: each line break (CR LF, LF or CR) followed by a blank or TAB goes with
// that one blank or TAB, until the text holds no such pair.
AnsiString UnfoldLines(std::string_view Text);
// UTF-16 units (little- or big-endian bytes, a last odd byte ignored) in the ANSI code page.
// Units 0 are dropped; a surrogate pair, and a lone surrogate, becomes "?".
AnsiString Utf16ToAnsi(std::string_view Bytes, bool BigEndian);

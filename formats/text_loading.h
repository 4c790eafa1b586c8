#pragma once
// Loads a contact export as one text in the ANSI code page, whether it holds 8-bit text, UTF-8
// with or without a byte-order mark, UTF-16 with a byte-order mark, UTF-16 without a mark whose
// characters all lie below 256, or a vCard in UTF-16 without a mark. vCard files lose their folded
// line breaks on the way. A workbook gives the text of its first visible sheet.
#include <functional>
#include <memory>
#include <string_view>

#include "base/stream.h"
#include "support/block_pool.h"

class TMappedFileStream;

// Which reader a text is for: the CSV reader, the vCard reader, or the CSV reader with a TAB
// between the cells of a workbook's sheet.
enum class TTextKind { Table, VCard, Sheet };

// A loaded text up to its end, its first byte 0, and which reader it is for. The loader decides
// all of that once. Where the file's bytes are the text, or its UTF-8 form, they are read where
// the file is mapped, a piece at a time; else the text is one block of its own.
class TLoadedText {
public:
  TLoadedText();
  TLoadedText(TLoadedText&& Other) noexcept;
  TLoadedText& operator=(TLoadedText&& Other) noexcept;
  ~TLoadedText();

  TTextKind Kind() const { return FKind; }
  // The text, or with IsUtf8 its UTF-8 form. The ASCII bytes of that form are the text's, in the
  // same order, so a cut before or after an ASCII byte is a cut of the text.
  std::string_view Bytes() const { return FBytes; }
  bool IsUtf8() const { return FUtf8; }
  // Hands the text of Bytes from From to To (each at an end or next to an ASCII byte) to Piece,
  // in pieces in the ANSI code page, until Piece says false; the pages of a mapped file go back
  // to the system once a piece is handed on. Where a UTF-8 sequence of the pieces spells a byte
  // 0, the text ends: that piece ends before it. False when the text ended before To, or Piece
  // said false.
  bool ForEachPiece(size_t From, size_t To,
                    const std::function<bool(std::string_view)>& Piece) const;
  // Gives the text's memory back; it is empty afterwards.
  void Release();

private:
  friend class TTextLoader;

  TTextKind FKind = TTextKind::Table;
  bool FUtf8 = false;
  std::string_view FBytes;
  std::unique_ptr<TMappedFileStream> FFile;
  TPoolBlock FBlock;
};

// The text of the file as LoadFileAsAnsiText loads it, up to its first byte 0, and its reader. A
// decoded text takes its block from Pool, which must outlive the text and learns how much address
// space an import of the file needs. Raises the stream's "OSError" when the file cannot be opened
// or mapped, and a workbook's errors (formats/workbook_errors.h).
TLoadedText LoadText(const PathString& FileName, TBlockPool& Pool);
// The same for Bytes in memory, which must outlive the text.
TLoadedText LoadTextFromBytes(std::string_view Bytes, TBlockPool& Pool);

// EF BB BF
extern const char UTF8BOM[3];

// The whole text, bytes after a byte 0 included. Raises "OSError" when the file cannot be
// opened or mapped.
AnsiString LoadFileAsAnsiText(const PathString& FileName);

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

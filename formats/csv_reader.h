#pragma once
// Reads CSV records from a stream. The rest of the stream is copied once into a buffer that ends
// with closing bytes of the reader's own (a CR, a byte 0, padding); fields are located in place,
// and a string is made only when a field is asked for.
#include <memory>
#include <string_view>
#include <vector>

#include "base/stream.h"

class TCSVReader {
public:
  static constexpr char Quote = '"';
  static constexpr char LineEnd = '\r';
  static constexpr int LineBreakLength = 2;
  static constexpr size_t InitialFieldCapacity = 100;
  // What follows the data in the text a reader scans: a CR and a byte 0 of the reader's own,
  // then zero bytes that the sixteen-byte reads may touch past the byte 0 but never use.
  static constexpr size_t ScanPadding = 16;
  static constexpr size_t ClosingBytes = 2 + ScanPadding;

  // Delimiter 0 stands for the user's list separator. The stream stays with its owner.
  TCSVReader(TStream& Stream, char Delimiter);
  // Reads Length bytes of Text in place, without a copy. They must be followed by the
  // ClosingBytes that CloseText writes; the text stays the caller's and must outlive the reader.
  TCSVReader(const char* Text, size_t Length, char Delimiter);
  TCSVReader(const TCSVReader&) = delete;
  TCSVReader& operator=(const TCSVReader&) = delete;

  // Writes the closing bytes at Text + Length, where the caller has room for ClosingBytes more.
  static void CloseText(char* Text, size_t Length);

  void Reset();
  void First();
  // Makes the record at the current place the current record; raises "Try to read past eof" once
  // the last line end has been consumed.
  void Next();

  bool Eof() const { return FEof; }
  int32_t FieldCount() const { return FFieldCount; }
  char Delimiter() const { return FDelimiter; }
  // Where the record after the current one starts, counted from the first byte read.
  size_t Position() const { return static_cast<size_t>(FCurrent - FBegin); }
  // The text without its quotes, each doubled quote as one; an index outside the current
  // record's fields gives the empty text.
  AnsiString GetField(int32_t Index) const;
  // GetField's text appended to Dest, so that a caller can reuse one buffer for many fields.
  void AppendField(int32_t Index, AnsiString& Dest) const;
  // The field's bytes where they stand, quotes included: GetField's text when the field does not
  // start with a quote. Valid while the reader's text is. Unchecked for the record pass, which
  // asks for each field once: the index must be below FieldCount.
  std::string_view RawField(int32_t Index) const {
    const TFieldRef& field = FFields[static_cast<size_t>(Index)];
    return {field.Start, field.Length};
  }

private:
  struct TFieldRef {
    const char* Start = nullptr;
    size_t Length = 0;
  };

  // Entries past FieldCount still hold the fields of earlier, longer records.
  bool HasField(int32_t Index) const { return Index >= 0 && Index < FFieldCount; }
  // Next with the record scan of TStops, one of the two in the implementation; inlined into
  // each of the two scans.
  template <typename TStops> __attribute__((always_inline)) void ReadRecord();
  void ReadRecordPlainly();
  void ReadRecordInBlocks();
  void StoreField(const char* Start, const char* Stop, bool Double) {
    if (static_cast<size_t>(FFieldCount) == FFields.size()) GrowFields(Double);
    FFields[static_cast<size_t>(FFieldCount++)] = {Start, static_cast<size_t>(Stop - Start)};
  }
  // Like the record needs it: by one at a line end, doubling at a delimiter.
  void GrowFields(bool Double);
  // Cur on an opening quote; returns false when the data ended inside the section.
  static bool SkipQuotedSection(const char*& Cur);

  std::unique_ptr<char[]> FBuffer; // the reader's own copy, unless it reads the caller's text
  const char* FBegin = nullptr;
  const char* FCurrent = nullptr;
  char FDelimiter;
  bool FBlockScan; // sixteen bytes at a time, as the scan path allows, or the plain scan
  bool FFinished = false;
  bool FEof = false;
  int32_t FFieldCount = 0;
  std::vector<TFieldRef> FFields;
};

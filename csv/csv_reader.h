#pragma once
// Reads CSV records from a stream. The rest of the stream is copied once into a buffer that ends
// with a CR and a byte 0 of the reader's own; fields are located in place, and a string is made
// only when a field is asked for.
#include <memory>
#include <string_view>
#include <vector>

#include "base/stream.h"

// The field scan reads sixteen bytes at a time where SSE2 is there for sure; not under the
// address sanitizer, which would take the reads beyond the data's end for faults (GCC says so
// with a macro, Clang through __has_feature).
#if defined(__SANITIZE_ADDRESS__)
#define VOXARO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOXARO_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SSE2__) && !defined(VOXARO_ADDRESS_SANITIZER)
#define VOXARO_SIMD_READER 1
#include <emmintrin.h>
#else
#define VOXARO_SIMD_READER 0
#endif

class TCSVReader {
public:
  static constexpr char Quote = '"';
  static constexpr char LineEnd = '\r';
  static constexpr int LineBreakLength = 2;
  static constexpr size_t InitialFieldCapacity = 100;

  // Delimiter 0 stands for the user's list separator. The stream stays with its owner.
  TCSVReader(TStream& Stream, char Delimiter);
  // Reads Length bytes of Text in place, without a copy. They must be followed by the reader's
  // closing bytes, a CR and a byte 0 (Text[Length] and Text[Length + 1]); the text stays the
  // caller's and must outlive the reader.
  TCSVReader(const char* Text, size_t Length, char Delimiter);
  TCSVReader(const TCSVReader&) = delete;
  TCSVReader& operator=(const TCSVReader&) = delete;

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
  // Index below FieldCount; the text without its quotes, each doubled quote as one.
  AnsiString GetField(int32_t Index) const;
  // GetField's text appended to Dest, so that a caller can reuse one buffer for many fields.
  void AppendField(int32_t Index, AnsiString& Dest) const;
  // The field's bytes where they stand, quotes included: GetField's text when the field does not
  // start with a quote. Valid while the reader's text is.
  std::string_view RawField(int32_t Index) const {
    const TFieldRef& field = FFields[static_cast<size_t>(Index)];
    return {field.Start, field.Length};
  }

private:
  struct TFieldRef {
    const char* Start = nullptr;
    size_t Length = 0;
  };

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
  bool FFinished = false;
  bool FEof = false;
  int32_t FFieldCount = 0;
  std::vector<TFieldRef> FFields;
};

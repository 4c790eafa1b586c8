#include "csv/csv_reader.h"

#include <cstring>

#include "framework/exceptions.h"
#include "platform/platform.h"

TCSVReader::TCSVReader(TStream& Stream, char Delimiter)
    : FDelimiter(Delimiter != 0 ? Delimiter : platform::ListSeparator()),
      FFields(InitialFieldCapacity) {
  const int64_t left = Stream.GetSize() - Stream.GetPosition();
  const size_t dataSize = left > 0 ? static_cast<size_t>(left) : 0;
  FBuffer.reset(new char[dataSize + 2]);
  // The line end goes after what actually arrived, so a short delivery leaves no unset bytes.
  const size_t got = Stream.ReadAvailable(FBuffer.get(), dataSize);
  FBuffer[got] = LineEnd;
  FBuffer[got + 1] = 0;
  Reset();
}

void TCSVReader::Reset() {
  FCurrent = FBuffer.get();
  FEof = false;
  FFinished = false;
  FFieldCount = 0;
}

void TCSVReader::First() {
  Reset();
  Next();
}

void TCSVReader::StoreField(const char* Start, const char* Stop, bool Double) {
  if (static_cast<size_t>(FFieldCount) == FFields.size())
    FFields.resize(Double ? FFields.size() * 2 : FFields.size() + 1);
  FFields[static_cast<size_t>(FFieldCount++)] = {Start, static_cast<size_t>(Stop - Start)};
}

bool TCSVReader::SkipQuotedSection(const char*& Cur) {
  for (;;) {
    ++Cur;
    if (*Cur == 0) return false;
    if (*Cur == Quote) {
      if (Cur[1] != Quote) {
        ++Cur;
        return true;
      }
      ++Cur;  // a doubled quote is content
    }
  }
}

// The scan, per record: in a field, at a delimiter (next field starts, maybe quoted), at the line
// end (record complete), at byte 0 (data exhausted: Eof, the record so far stays current).
void TCSVReader::Next() {
  const char* cur = FCurrent;
  const char* fieldStart = cur;
  FFieldCount = 0;
  if (FFinished) throw Exception("Try to read past eof");

  auto atEnd = [&]() {
    if (*cur != 0) return false;
    FEof = true;
    return true;
  };

  if (*cur == Quote && !SkipQuotedSection(cur)) return void(atEnd());
  if (atEnd()) return;
  for (;;) {
    const char c = *cur;
    if (c == LineEnd) {
      if (cur != FCurrent) StoreField(fieldStart, cur, false);
      FCurrent = cur;
      if (cur[1] == 0) {
        FFinished = true;
        FEof = true;
      } else {
        FCurrent += LineBreakLength;
      }
      return;
    }
    if (c == FDelimiter) {
      StoreField(fieldStart, cur, true);
      ++cur;
      if (atEnd()) return;
      fieldStart = cur;
      if (*cur == Quote && !SkipQuotedSection(cur)) return void(atEnd());
      if (atEnd()) return;
    } else {
      ++cur;
      if (atEnd()) return;
    }
  }
}

AnsiString TCSVReader::GetField(int32_t Index) const {
  if (Index < 0 || static_cast<size_t>(Index) >= FFields.size()) return AnsiString();
  const TFieldRef& field = FFields[static_cast<size_t>(Index)];
  if (field.Length == 0) return AnsiString();
  if (field.Start[0] != Quote) return AnsiString(field.Start, field.Length);
  if (field.Length < 2) return AnsiString();
  const char* p = field.Start + 1;
  const char* const stop = field.Start + field.Length - 1;
  if (!std::memchr(p, Quote, size_t(stop - p))) return AnsiString(p, stop);
  AnsiString text;
  text.reserve(field.Length - 2);
  while (p < stop) {
    text += *p;
    p += (p[0] == Quote && p + 1 < stop && p[1] == Quote) ? 2 : 1;
  }
  return text;
}

#pragma once
// The byte-stream base: subclasses supply Read, Write, Seek and SetSize; position, size and the
// exact reads and writes are built on them.
#include <cstddef>
#include <cstdint>

#include "base/system.h"

enum TSeekOrigin : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Bytes actually moved; 0 at the end or on a refused request.
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  // Origin is one of TSeekOrigin; returns the new position.
  virtual int64_t Seek(int64_t Offset, int Origin) = 0;
  virtual void SetSize(int64_t NewSize) = 0;

  int64_t GetPosition() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t Position) { Seek(Position, soFromBeginning); }
  int64_t GetSize();

  // Reads until Count bytes have come or the stream delivers nothing more; returns the bytes read.
  size_t ReadAvailable(void* Buffer, size_t Count);

  // All Count bytes or EReadError / EWriteError.
  void ReadBuffer(void* Buffer, int32_t Count);
  void WriteBuffer(const void* Buffer, int32_t Count);

protected:
  // The position a seek asks for, before a stream applies its own limits.
  static int64_t SeekTarget(int64_t Offset, int Origin, int64_t Position, int64_t Size);
};

#pragma once
// A WAVE file image held in memory and played from there without waiting, and the non-visual
// component that carries one.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "base/stream.h"
#include "base/system.h"

class TWaveData {
public:
  TWaveData() = default;
  TWaveData(const TWaveData&) = delete;
  TWaveData& operator=(const TWaveData&) = delete;
  // Stops the sound first when these bytes are the ones playing.
  virtual ~TWaveData();

  void Clear();
  bool IsEmpty() const { return FSize == 0; }
  // Null clears; otherwise a copy of the source's bytes. Assigning a holder to itself keeps it.
  void Assign(const TWaveData* Source);

  // The stored form: a 32-bit little-endian length N, then N bytes. N of 0 or less leaves the
  // holder empty. A length beyond what the stream holds raises EReadError and leaves it empty.
  virtual void ReadData(TStream& Stream);
  virtual void WriteData(TStream& Stream) const;
  // A missing file leaves the holder empty. Open and read errors raise EInOutError.
  virtual void LoadFromFile(const PathString& FileName);
  // Starts the bytes asynchronously; a second play cuts the first short. Empty: nothing.
  virtual void Play() const;

  const uint8_t* Bytes() const { return FBytes.get(); }
  int32_t Size() const { return FSize; }

private:
  // Takes Bytes as the new content, first stopping the sound if the old bytes are playing.
  void Replace(std::unique_ptr<uint8_t[]> Bytes, int32_t Size);

  std::unique_ptr<uint8_t[]> FBytes;
  int32_t FSize = 0;
};

class TWave {
public:
  using TPlayEvent = std::function<void(TWave& Sender)>;

  TWave() = default;
  TWave(const TWave&) = delete;
  TWave& operator=(const TWave&) = delete;

  const TWaveData& WaveData() const { return FWaveData; }
  TWaveData& WaveData() { return FWaveData; }
  // Copies the bytes; the component never shares them.
  void SetWaveData(const TWaveData& Value) { FWaveData.Assign(&Value); }

  // OnPlay first, then the sound.
  void Play();

  TPlayEvent OnPlay;

private:
  TWaveData FWaveData;
};

// Reads the stored form from an RCDATA resource of the running program. Raises Exception when
// the resource is missing, EReadError when it is shorter than its length says.
void ReadWaveResource(TWaveData& Data, const char* ResourceName);

// The platform's play call, replaceable so that tests can watch what is played and stopped.
using TPlaySoundFunction = BOOL(WINAPI*)(LPCSTR Sound, HMODULE Module, DWORD Flags);
// Returns the function used so far; null restores PlaySoundA.
TPlaySoundFunction SetPlaySoundFunction(TPlaySoundFunction Function);

#include "controls/wave.h"

#include <mmsystem.h>

#include <cstring>
#include <mutex>

#include "base/exceptions.h"
#include "framework/win_owners.h"
#include "platform/platform.h"
#include "platform/win32/system_path.h"
#include "support/const_memory_stream.h"
#include "support/file_utils.h"

namespace {

constexpr DWORD PlayFlags = SND_MEMORY | SND_ASYNC | SND_NODEFAULT;
const LPCSTR RcData = MAKEINTRESOURCEA(10); // RT_RCDATA whether or not UNICODE is defined

// The system plays one sound per process; a new play ends the one before. So the bytes handed
// over last are the only ones that may still be read, and only they need a stop before they go.
std::mutex GPlayLock;
const uint8_t* GPlaying = nullptr;
TPlaySoundFunction GPlaySound = nullptr;

TPlaySoundFunction PlaySoundFunction() {
  return GPlaySound ? GPlaySound : PlaySoundA;
}

void StopIfPlaying(const uint8_t* Bytes) {
  if (!Bytes) return;
  const std::lock_guard<std::mutex> lock(GPlayLock);
  if (Bytes != GPlaying) return;
  PlaySoundFunction()(nullptr, nullptr, 0);
  GPlaying = nullptr;
}

[[noreturn]] void RaiseReadError(const PathString& FileName, DWORD Code) {
  throw EInOutError(
      Format("Datei %s kann nicht gelesen werden", platform::PathToAnsi(FileName).c_str()),
      static_cast<int>(Code));
}

} // namespace

TPlaySoundFunction SetPlaySoundFunction(TPlaySoundFunction Function) {
  const std::lock_guard<std::mutex> lock(GPlayLock);
  const TPlaySoundFunction previous = PlaySoundFunction();
  GPlaySound = Function;
  return previous;
}

TWaveData::~TWaveData() {
  StopIfPlaying(FBytes.get());
}

void TWaveData::Replace(std::unique_ptr<uint8_t[]> Bytes, int32_t Size) {
  StopIfPlaying(FBytes.get());
  FBytes = std::move(Bytes);
  FSize = FBytes ? Size : 0;
}

void TWaveData::Clear() {
  if (!IsEmpty()) Replace(nullptr, 0);
}

void TWaveData::Assign(const TWaveData* Source) {
  if (Source == this) return; // clearing first would lose the bytes to copy
  Clear();
  if (!Source || Source->FSize <= 0) return;
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size_t(Source->FSize)]);
  std::memcpy(bytes.get(), Source->FBytes.get(), size_t(Source->FSize));
  Replace(std::move(bytes), Source->FSize);
}

void TWaveData::ReadData(TStream& Stream) {
  Clear();
  uint8_t length[4];
  Stream.ReadBuffer(length, 4);
  const int32_t size = int32_t(uint32_t(length[0]) | uint32_t(length[1]) << 8 |
                               uint32_t(length[2]) << 16 | uint32_t(length[3]) << 24);
  if (size <= 0) return;
  // A damaged length must not cost a block of up to 2 GiB before the read fails.
  const int64_t position = Stream.GetPosition();
  const int64_t end = Stream.GetSize();
  if (position >= 0 && end >= 0 && end - position < size) throw EReadError("Stream-Lesefehler");
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size_t(size)]);
  Stream.ReadBuffer(bytes.get(), size);
  Replace(std::move(bytes), size);
}

void TWaveData::WriteData(TStream& Stream) const {
  const uint32_t size = uint32_t(FSize);
  const uint8_t length[4] = {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16),
                             uint8_t(size >> 24)};
  Stream.WriteBuffer(length, 4);
  if (FSize > 0) Stream.WriteBuffer(FBytes.get(), FSize);
}

void TWaveData::LoadFromFile(const PathString& FileName) {
  Clear();
  if (!FileExists(FileName)) return;
  std::wstring path;
  if (!platform::SystemPath(FileName, path)) RaiseReadError(FileName, ERROR_INVALID_NAME);
  const TKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) RaiseReadError(FileName, GetLastError());
  LARGE_INTEGER fileSize;
  if (!GetFileSizeEx(file.Get(), &fileSize)) RaiseReadError(FileName, GetLastError());
  if (fileSize.QuadPart == 0) return;
  // The size is kept as a 32-bit signed number.
  if (fileSize.QuadPart > 0x7FFFFFFF) RaiseReadError(FileName, ERROR_FILE_TOO_LARGE);
  const int32_t size = int32_t(fileSize.QuadPart);
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size_t(size)]);
  for (int32_t done = 0; done < size;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), bytes.get() + done, DWORD(size - done), &got, nullptr))
      RaiseReadError(FileName, GetLastError());
    if (got == 0) RaiseReadError(FileName, ERROR_HANDLE_EOF); // shrank while being read
    done += int32_t(got);
  }
  Replace(std::move(bytes), size);
}

void TWaveData::Play() const {
  if (IsEmpty()) return;
  const std::lock_guard<std::mutex> lock(GPlayLock);
  PlaySoundFunction()(reinterpret_cast<LPCSTR>(FBytes.get()), nullptr, PlayFlags);
  GPlaying = FBytes.get();
}

void TWave::Play() {
  if (OnPlay) OnPlay(*this);
  FWaveData.Play();
}

void ReadWaveResource(TWaveData& Data, const char* ResourceName) {
  const HMODULE module = GetModuleHandleA(nullptr);
  const HRSRC info = ResourceName ? FindResourceA(module, ResourceName, RcData) : nullptr;
  const HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) {
    const AnsiString name = !ResourceName ? AnsiString("(null)")
                            : IS_INTRESOURCE(ResourceName)
                                ? Format("#%u", unsigned(reinterpret_cast<uintptr_t>(ResourceName)))
                                : AnsiString(ResourceName);
    throw Exception(Format("Ressource %s nicht gefunden", name.c_str()));
  }
  TConstMemoryStream stream(bytes, size_t(SizeofResource(module, info)));
  Data.ReadData(stream);
}

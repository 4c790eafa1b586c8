#pragma once
// The few OS services the portable code needs. Windows builds implement them with Win32
// (platform/win32), everything else with POSIX (platform/posix).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/system.h"

namespace platform {

// A growable block of memory that may move when it grows (moveable global memory on Windows).
// Data is the locked address while the block exists, null otherwise.
struct MemoryBlock {
  void* Handle = nullptr;
  void* Data = nullptr;
};

// False when the memory cannot be had; the block is then left as it was.
bool AllocateBlock(MemoryBlock& Block, size_t Size);
// Keeps the content up to the smaller size; Data may change.
bool ResizeBlock(MemoryBlock& Block, size_t Size);
void FreeBlock(MemoryBlock& Block);

// A hint for Size bytes at Data, not yet touched, that are about to be filled: where the OS can,
// they come in large pages, which takes far fewer page faults than small ones. Blocks of
// AllocateBlock and ResizeBlock get it by themselves.
void PreferLargePages(void* Data, size_t Size);

// A file opened for reading and mapped read-only as a whole; released by the destructor.
class ReadOnlyFileMapping {
public:
  ReadOnlyFileMapping();
  ReadOnlyFileMapping(const ReadOnlyFileMapping&) = delete;
  ReadOnlyFileMapping& operator=(const ReadOnlyFileMapping&) = delete;
  ~ReadOnlyFileMapping();

  // Opens an existing file for sequential reading, others may read it too. False on failure.
  bool Open(const AnsiString& FileName);
  // The size of the opened file, all 64 bits.
  uint64_t FileSize() const { return FFileSize; }
  // Maps the whole opened file, which must not be empty. False on failure.
  bool Map();
  const char* View() const { return FView; }
  // A hint that Length bytes of the view from Offset will not be read again soon: their memory
  // may go back to the system. Reading them later still gives the file's bytes.
  void DropPages(size_t Offset, size_t Length);

private:
  // The open file and its mapping, as each system holds them.
  struct TSystemHandles;
  std::unique_ptr<TSystemHandles> FHandles;
  const char* FView = nullptr;
  uint64_t FFileSize = 0;
};

// UTF-16 to the ANSI code page, as WideCharToMultiByte(CP_ACP, 0, ...) converts it: characters
// without an ANSI form become the nearest byte Windows knows, else '?'. Byte 0 stays.
AnsiString WideToAnsi(const char16_t* Text, size_t Length);
inline AnsiString WideToAnsi(const WideString& Text) {
  return WideToAnsi(Text.data(), Text.size());
}
// The ANSI code page to UTF-16, one unit per byte.
WideString AnsiToWide(const AnsiString& Text);

// The ANSI upper- and lower-case mappings of the user's code page, in place over Length bytes
// (CharUpperBuffA and CharLowerBuffA; on POSIX Windows-1252 as Windows maps it). Lengths stay.
void UpperCaseAnsi(char* Buffer, size_t Length);
void LowerCaseAnsi(char* Buffer, size_t Length);

// The user's list separator character; comma when the locale gives none.
char ListSeparator();

// The country calling code of the user's default locale, digits only. False when the locale
// gives none or one longer than two digits (the query reads into a 3-character buffer).
bool UserCountryCode(AnsiString& Code);

// The user's thousands separator in the ANSI code page; may be empty.
AnsiString ThousandSeparator();

// Creates a new, empty file of a unique name in the temporary folder, which no one else can have
// opened; false on failure.
bool CreateTempFile(AnsiString& FileName);

// Standard input and output carry bytes unchanged (Windows would otherwise turn LF into CR LF).
void UseBinaryStandardStreams();
// True where the terminal shows text in the ANSI code page as it is (a Windows console), false
// where it expects UTF-8.
bool TerminalTakesAnsi();

// A mutex in the system-wide namespace with a null access list, so that processes of every user
// may open it; created or, if it exists, opened. Null on failure and on POSIX, where the name has
// no meaning. Closing null does nothing.
void* CreateSharedMutex(const char* Name);
void CloseSharedMutex(void* Handle);

} // namespace platform

#pragma once
// The few OS services the portable code needs. Windows builds implement them with Win32
// (platform/win32), everything else with POSIX (platform/posix).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

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

// Address space for Size bytes that no one else gets, not yet usable; null when there is none.
// Untouched pages of it cost no memory.
void* ReserveAddressSpace(size_t Size);
// Makes Size bytes at Data, inside a reservation, usable for reading and writing (Windows commits
// them; elsewhere they are from the start). False when the system refuses.
bool CommitAddressSpace(void* Data, size_t Size);
// Gives a whole reservation back; Size is what was reserved.
void ReleaseAddressSpace(void* Data, size_t Size);

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
  bool Open(const PathString& FileName);
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

// ---- Paths (platform/path.cpp holds the conversions, the same on every system)

// A path and UTF-16. Bytes that are no UTF-8 become U+FFFD, which names no file.
WideString PathToWide(const PathString& Path);
PathString PathFromWide(const char16_t* Text, size_t Length);
inline PathString PathFromWide(const WideString& Text) {
  return PathFromWide(Text.data(), Text.size());
}
// A path for a message in the ANSI code page.
AnsiString PathToAnsi(const PathString& Path);

// The form of a full Windows path that the system takes beyond 260 characters: "\\?\" before a
// drive path, "\\?\UNC\" instead of the two backslashes of a network path. Paths already in a
// "\\?\" or "\\.\" form, and paths that are not full, stay as they are.
WideString LongPathForm(const WideString& FullPath);

// The separator of folder names; IsPathDelimiter also knows the other one Windows accepts.
char PathDelimiter();
bool IsPathDelimiter(char C);

// The program's arguments, its own name first: on Windows from the UTF-16 command line (Argc and
// Argv are not looked at), elsewhere Argv as it is.
std::vector<PathString> ProgramArguments(int Argc, char** Argv);

// ---- Files and folders. Every name goes to the system as a whole: one holding a zero byte names
// no file.

// The attribute bits as Windows gives them. POSIX reports read-only (no write permission for the
// owner), folder and link (then folder from the link's target).
constexpr uint32_t AttributeReadOnly = 1;
constexpr uint32_t AttributeHidden = 2;
constexpr uint32_t AttributeFolder = 16;
constexpr uint32_t AttributeLink = 1024;

// Why a name could not be examined.
enum class TFileError { NotFound, PathNotFound, InvalidName, SharingViolation, BadNetPath, Other };

// False, with the reason, when the attributes of Name cannot be read.
bool ReadAttributes(const PathString& Name, uint32_t& Attributes, TFileError& Error);
bool WriteAttributes(const PathString& Name, uint32_t Attributes);
// The attributes of the first folder entry matching Pattern ("*" and "?" in its last part, as
// Windows matches them); false when there is none or the folder cannot be listed.
bool FindFirstEntry(const PathString& Pattern, uint32_t& Attributes);
// True when the folder Name denotes, a link followed, can be opened.
bool CanOpenFolder(const PathString& Name);
// A folder whose parent exists; false when it cannot be made.
bool MakeFolder(const PathString& Name);
bool RemoveFile(const PathString& Name);
// The system's temporary folder as the system gives it, on Windows with a trailing backslash.
PathString TempFolder();
// Creates a new, empty file of a unique name in the temporary folder, which no one else can have
// opened; false on failure.
bool CreateTempFile(PathString& FileName);

// An open file: a Windows handle, a POSIX descriptor. NoFile when none.
using FileHandle = intptr_t;
constexpr FileHandle NoFile = -1;
// Opens Name for reading and writing, shared with others for both, created when missing; with
// Truncate its content goes. NoFile on failure.
FileHandle OpenReadWrite(const PathString& Name, bool Truncate);
void CloseFile(FileHandle File);
// Bytes moved, -1 when the system refuses.
int32_t ReadFromFile(FileHandle File, void* Buffer, int32_t Count);
int32_t WriteToFile(FileHandle File, const void* Buffer, int32_t Count);
// The new position (origins as TSeekOrigin), -1 when the system refuses.
int64_t SeekFile(FileHandle File, int64_t Offset, int Origin);
// Ends the file at the current position.
bool TruncateFile(FileHandle File);

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

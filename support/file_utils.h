#pragma once
// File and folder routines: existence tests that tolerate locked files, folder chains, the
// program's work folder, saving with repeated attempts, and a file stream that writes over
// read-only and hidden files. Names are paths (PathString); one holding a zero byte denotes no
// file, since the system would see only the part before it.
#include <cstdint>
#include <functional>

#include "base/strings.h"
#include "support/handle_stream.h"

bool FileExists(const PathString& FileName);
// A link is followed.
bool DirectoryExists(const PathString& Dir);
// Creates Dir and every missing parent. False when one of them cannot be created; an empty name
// raises EInOutError("Verzeichnis kann nicht erstellt werden", 3).
bool ForceFolders(const PathString& Dir);
// Creates the folder part of FileName when missing; a name without one raises as ForceFolders("").
void EnsureFileFolder(const PathString& FileName);
// As the system gives it, normally with a trailing path delimiter.
PathString GetTempFolder();
// <temporary folder>QVTempDir\[SubFolder\], created on demand (with the system's delimiter).
PathString GetWorkFolder(const PathString& SubFolder);

// How often SaveStringsToFile tries, and how it spends the time between two attempts.
struct TSaveAttempts {
  static void WaitBetweenAttempts(int FailedAttempt); // sleeps 100 ms

  int Count = 100;                                                   // fewer than 1 counts as 1
  std::function<void(int FailedAttempt)> Wait = WaitBetweenAttempts; // empty: no wait
};

// Writes every string followed by CR LF. When an attempt fails, the next one follows after the
// wait; the error of the last attempt goes on to the caller.
void SaveStringsToFile(const TStrings& List, const PathString& FileName);
void SaveStringsToFile(const TStrings& List, const PathString& FileName,
                       const TSaveAttempts& Attempts);

// True when the file is gone afterwards, also when it never existed.
bool DeleteFileIfExists(const PathString& FileName);

// A read-write file stream, shared for reading and writing, that with ClearAttributes removes a
// read-only or hidden attribute for its lifetime and puts it back when it goes.
class TBetterFileStream : public THandleStream {
public:
  static constexpr int ModeOpenOrCreate = 0; // content kept
  static constexpr int ModeCreate = 1;       // truncated when it exists

  // Any Mode other than ModeCreate opens as ModeOpenOrCreate. Raises EFCreateError("Datei
  // <FileName> kann nicht erstellt werden", the name in the ANSI code page), with the attributes
  // put back.
  TBetterFileStream(const PathString& FileName, int Mode, bool ClearAttributes);

  const PathString& FileName() const { return FRestore.FileName; }

private:
  // A member of its own, so that the attributes go back also when the constructor fails.
  struct TAttributeRestore {
    uint32_t SavedAttributes = 0;
    bool AttributesChanged = false;
    PathString FileName;
    ~TAttributeRestore();
  };
  struct TOwnedFile {
    platform::FileHandle Handle = platform::NoFile;
    TOwnedFile() = default;
    TOwnedFile(const TOwnedFile&) = delete;
    TOwnedFile& operator=(const TOwnedFile&) = delete;
    ~TOwnedFile() { platform::CloseFile(Handle); }
  };

  TAttributeRestore FRestore;
  TOwnedFile FFile; // declared last: the file is closed before its attributes go back
};

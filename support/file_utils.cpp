#include "support/file_utils.h"

#include <cstring>

#include "base/exceptions.h"

namespace {

constexpr DWORD ReadOnlyBit = FILE_ATTRIBUTE_READONLY;
constexpr DWORD HiddenBit = FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD FolderBit = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD LinkBit = FILE_ATTRIBUTE_REPARSE_POINT;

// The Win32 calls would silently act on the part before a zero byte, a different file.
bool Usable(const AnsiString& Name) {
  return Name.find('\0') == AnsiString::npos;
}

DWORD Attributes(const AnsiString& Name) {
  return Usable(Name) ? GetFileAttributesA(Name.c_str()) : INVALID_FILE_ATTRIBUTES;
}

bool IsExistingFolder(const AnsiString& Name) {
  const DWORD attributes = Attributes(Name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FolderBit) != 0;
}

bool IsPathDelimiter(char C) {
  return C == '\\' || C == '/';
}

// Everything up to and including the last backslash or colon.
AnsiString ParentPath(const AnsiString& Name) {
  const size_t last = Name.find_last_of("\\:");
  return last == AnsiString::npos ? AnsiString() : Name.substr(0, last + 1);
}

// The parent path without its trailing backslash, unless that backslash ends a drive root.
AnsiString FolderPart(const AnsiString& FileName) {
  AnsiString folder = ParentPath(FileName);
  const size_t n = folder.size();
  if (n > 1 && folder[n - 1] == '\\' && folder[n - 2] != '\\' && folder[n - 2] != ':')
    folder.pop_back();
  return folder;
}

void WriteText(TStream& Stream, const AnsiString& Text) {
  constexpr size_t Chunk = 1 << 20; // WriteBuffer counts in 32 bits
  for (size_t done = 0; done < Text.size(); done += Chunk) {
    const size_t n = Text.size() - done < Chunk ? Text.size() - done : Chunk;
    Stream.WriteBuffer(Text.data() + done, static_cast<int32_t>(n));
  }
}

} // namespace

bool FileExists(const AnsiString& FileName) {
  if (!Usable(FileName)) return false;
  const DWORD attributes = GetFileAttributesA(FileName.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FolderBit) == 0;
  switch (GetLastError()) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_NAME:
    return false;
  case ERROR_SHARING_VIOLATION:
    return true; // locked by another program, but there
  default:
    break;
  }
  // The folder entry may still be readable, for example when the file itself denies access.
  WIN32_FIND_DATAA found;
  const TFindHandle find(FindFirstFileA(FileName.c_str(), &found));
  return find.Valid() && (found.dwFileAttributes & FolderBit) == 0;
}

bool DirectoryExists(const AnsiString& Dir) {
  if (!Usable(Dir)) return false;
  const DWORD attributes = GetFileAttributesA(Dir.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return false;
    default:
      return true; // there, but not to be examined
    }
  }
  if ((attributes & LinkBit) == 0) return (attributes & FolderBit) != 0;
  // A link counts only when its target can be opened.
  const TKernelHandle target(CreateFileA(Dir.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return target.Valid() && (attributes & FolderBit) != 0;
}

bool ForceFolders(const AnsiString& Dir) {
  if (Dir.empty()) throw EInOutError("Verzeichnis kann nicht erstellt werden", 3);
  AnsiString folder = Dir;
  if (IsPathDelimiter(folder.back())) folder.pop_back();
  if (folder.size() < 3 || DirectoryExists(folder)) return true;
  const AnsiString parent = ParentPath(folder);
  if (parent == folder) return true;
  return ForceFolders(parent) && Usable(folder) && CreateDirectoryA(folder.c_str(), nullptr);
}

void EnsureFileFolder(const AnsiString& FileName) {
  const AnsiString folder = FolderPart(FileName);
  if (!IsExistingFolder(folder)) ForceFolders(folder);
}

AnsiString GetTempFolder() {
  const DWORD length = GetTempPathA(0, nullptr);
  if (length == 0) return AnsiString();
  AnsiString path(length, '\0');
  GetTempPathA(length, &path[0]);
  path.resize(std::strlen(path.c_str()));
  return path;
}

AnsiString GetWorkFolder(const AnsiString& SubFolder) {
  AnsiString path = GetTempFolder();
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += "QVTempDir\\";
  if (!SubFolder.empty()) path += SubFolder + '\\';
  ForceFolders(path);
  return path;
}

void TSaveAttempts::WaitBetweenAttempts(int) {
  Sleep(100);
}

void SaveStringsToFile(const TStrings& List, const AnsiString& FileName) {
  SaveStringsToFile(List, FileName, TSaveAttempts());
}

void SaveStringsToFile(const TStrings& List, const AnsiString& FileName,
                       const TSaveAttempts& Attempts) {
  const AnsiString text = List.GetText();
  for (int attempt = 1;; ++attempt) {
    try {
      EnsureFileFolder(FileName);
      TBetterFileStream stream(FileName, TBetterFileStream::ModeCreate, true);
      WriteText(stream, text);
      return;
    } catch (...) {
      if (attempt >= Attempts.Count) throw;
    }
    if (Attempts.Wait) Attempts.Wait(attempt);
  }
}

bool DeleteFileIfExists(const AnsiString& FileName) {
  if (!FileExists(FileName)) return true;
  return DeleteFileA(FileName.c_str()) != 0;
}

TBetterFileStream::TAttributeRestore::~TAttributeRestore() {
  if (AttributesChanged) SetFileAttributesA(FileName.c_str(), SavedAttributes);
}

TBetterFileStream::TBetterFileStream(const AnsiString& FileName, int Mode, bool ClearAttributes)
    : THandleStream(INVALID_HANDLE_VALUE) {
  FRestore.FileName = FileName;
  if (ClearAttributes && FileExists(FileName)) {
    // Attributes that cannot be read are left alone: writing back INVALID_FILE_ATTRIBUTES
    // would set every bit.
    const DWORD saved = Attributes(FileName);
    if (saved != INVALID_FILE_ATTRIBUTES) {
      FRestore.SavedAttributes = saved;
      if (saved & ReadOnlyBit) {
        FRestore.AttributesChanged = true;
        SetFileAttributesA(FileName.c_str(), saved & ~ReadOnlyBit);
      }
      const DWORD now = Attributes(FileName);
      if (now != INVALID_FILE_ATTRIBUTES && (now & HiddenBit)) {
        FRestore.AttributesChanged = true;
        SetFileAttributesA(FileName.c_str(), now & ~HiddenBit);
      }
    }
  }
  const DWORD creation = Mode == ModeCreate ? CREATE_ALWAYS : OPEN_ALWAYS;
  if (Usable(FileName))
    FFile.Reset(CreateFileA(FileName.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, creation,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!FFile.Valid())
    throw EFCreateError(Format("Datei %s kann nicht erstellt werden", FileName.c_str()));
  FHandle = FFile.Get();
}

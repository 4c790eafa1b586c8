#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <fcntl.h>
#include <io.h>

#include "platform/platform.h"
#include "platform/win32/system_path.h"

namespace platform {

namespace {

// Beyond this the system takes no path, prefixed or not.
constexpr size_t MaxPathUnits = 32767;

std::wstring Wide(const WideString& Text) {
  return std::wstring(Text.begin(), Text.end());
}

PathString FromWide(const wchar_t* Text, size_t Length) {
  return PathFromWide(reinterpret_cast<const char16_t*>(Text), Length);
}

TFileError ErrorOf(DWORD Code) {
  switch (Code) {
  case ERROR_FILE_NOT_FOUND:
    return TFileError::NotFound;
  case ERROR_PATH_NOT_FOUND:
    return TFileError::PathNotFound;
  case ERROR_INVALID_NAME:
    return TFileError::InvalidName;
  case ERROR_SHARING_VIOLATION:
    return TFileError::SharingViolation;
  case ERROR_BAD_NETPATH:
    return TFileError::BadNetPath;
  default:
    return TFileError::Other;
  }
}

HANDLE AsHandle(FileHandle File) {
  return reinterpret_cast<HANDLE>(File);
}

} // namespace

bool SystemPath(const PathString& Name, std::wstring& Path) {
  if (Name.empty() || Name.find('\0') != PathString::npos || Name.size() > 4 * MaxPathUnits)
    return false;
  const std::wstring wide = Wide(PathToWide(Name));
  if (wide.size() > MaxPathUnits) return false;
  // A prefixed name is taken as it is by the system; anything else is made full first, which
  // also resolves "." and "..", turns slashes into backslashes and applies the current folder.
  if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0) {
    Path = wide;
    return true;
  }
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0 || size > MaxPathUnits + 1) return false;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (size == 0 || size >= full.size()) return false;
  full.resize(size);
  Path = Wide(LongPathForm(WideString(full.begin(), full.end())));
  return true;
}

std::vector<PathString> ProgramArguments(int, char**) {
  std::vector<PathString> arguments;
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!list) return arguments;
  for (int i = 0; i < count; ++i)
    arguments.push_back(FromWide(list[i], std::wcslen(list[i])));
  LocalFree(list);
  return arguments;
}

char PathDelimiter() {
  return '\\';
}

bool IsPathDelimiter(char C) {
  return C == '\\' || C == '/';
}

bool ReadAttributes(const PathString& Name, uint32_t& Attributes, TFileError& Error) {
  std::wstring path;
  if (!SystemPath(Name, path)) {
    Error = TFileError::InvalidName;
    return false;
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    Error = ErrorOf(GetLastError());
    return false;
  }
  Attributes = attributes;
  return true;
}

bool WriteAttributes(const PathString& Name, uint32_t Attributes) {
  std::wstring path;
  return SystemPath(Name, path) && SetFileAttributesW(path.c_str(), Attributes);
}

bool FindFirstEntry(const PathString& Pattern, uint32_t& Attributes) {
  std::wstring path;
  if (!SystemPath(Pattern, path)) return false;
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW(path.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  Attributes = found.dwFileAttributes;
  return true;
}

bool CanOpenFolder(const PathString& Name) {
  std::wstring path;
  if (!SystemPath(Name, path)) return false;
  const HANDLE folder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  CloseHandle(folder);
  return true;
}

bool MakeFolder(const PathString& Name) {
  std::wstring path;
  return SystemPath(Name, path) && CreateDirectoryW(path.c_str(), nullptr);
}

bool RemoveFile(const PathString& Name) {
  std::wstring path;
  return SystemPath(Name, path) && DeleteFileW(path.c_str());
}

PathString TempFolder() {
  const DWORD length = GetTempPathW(0, nullptr);
  if (length == 0) return PathString();
  std::wstring path(length, L'\0');
  const DWORD copied = GetTempPathW(length, &path[0]);
  if (copied == 0 || copied >= length) return PathString();
  return FromWide(path.data(), copied);
}

bool CreateTempFile(PathString& FileName) {
  PathString folder = TempFolder();
  if (folder.empty()) return false;
  if (folder.back() != '\\') folder += '\\';
  // GetTempFileNameW takes no folder beyond 260 characters, so the unique name is made here.
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[48];
    std::snprintf(name, sizeof name, "vox%lx%lx.tmp", GetCurrentProcessId(),
                  static_cast<unsigned long>(InterlockedIncrement(&counter)) ^ GetTickCount());
    std::wstring path;
    if (!SystemPath(folder + name, path)) return false;
    // CREATE_NEW fails for a name someone already holds.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      FileName = folder + name;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

FileHandle OpenReadWrite(const PathString& Name, bool Truncate) {
  std::wstring path;
  if (!SystemPath(Name, path)) return NoFile;
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, Truncate ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? NoFile : reinterpret_cast<FileHandle>(file);
}

void CloseFile(FileHandle File) {
  if (File != NoFile) CloseHandle(AsHandle(File));
}

int32_t ReadFromFile(FileHandle File, void* Buffer, int32_t Count) {
  DWORD done = 0;
  if (Count < 0 || !ReadFile(AsHandle(File), Buffer, static_cast<DWORD>(Count), &done, nullptr))
    return -1;
  return static_cast<int32_t>(done);
}

int32_t WriteToFile(FileHandle File, const void* Buffer, int32_t Count) {
  DWORD done = 0;
  if (Count < 0 || !WriteFile(AsHandle(File), Buffer, static_cast<DWORD>(Count), &done, nullptr))
    return -1;
  return static_cast<int32_t>(done);
}

int64_t SeekFile(FileHandle File, int64_t Offset, int Origin) {
  // The origins have the values of FILE_BEGIN, FILE_CURRENT and FILE_END.
  LARGE_INTEGER distance;
  distance.QuadPart = Offset;
  LARGE_INTEGER position;
  if (Origin < 0 || Origin > 2 ||
      !SetFilePointerEx(AsHandle(File), distance, &position, static_cast<DWORD>(Origin)))
    return -1;
  return position.QuadPart;
}

bool TruncateFile(FileHandle File) {
  return SetEndOfFile(AsHandle(File)) != 0;
}

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

bool TerminalTakesAnsi() {
  return true;
}

} // namespace platform

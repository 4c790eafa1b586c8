#include "support/file_utils.h"

#include <chrono>
#include <thread>

#include "base/exceptions.h"

namespace {

using platform::AttributeFolder;
using platform::AttributeHidden;
using platform::AttributeLink;
using platform::AttributeReadOnly;
using platform::TFileError;

constexpr uint32_t NoAttributes = 0xFFFFFFFF;

uint32_t Attributes(const PathString& Name) {
  uint32_t attributes = 0;
  TFileError error;
  return platform::ReadAttributes(Name, attributes, error) ? attributes : NoAttributes;
}

bool IsExistingFolder(const PathString& Name) {
  const uint32_t attributes = Attributes(Name);
  return attributes != NoAttributes && (attributes & AttributeFolder) != 0;
}

// Everything up to and including the last delimiter (on Windows also a drive's colon).
PathString ParentPath(const PathString& Name) {
  const bool windows = platform::PathDelimiter() == '\\';
  const size_t last = Name.find_last_of(windows ? "\\:" : "/");
  return last == PathString::npos ? PathString() : Name.substr(0, last + 1);
}

// The parent path without its trailing delimiter, unless that delimiter ends a root.
PathString FolderPart(const PathString& FileName) {
  PathString folder = ParentPath(FileName);
  const size_t n = folder.size();
  if (n > 1 && platform::IsPathDelimiter(folder[n - 1]) &&
      !platform::IsPathDelimiter(folder[n - 2]) && folder[n - 2] != ':')
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

bool FileExists(const PathString& FileName) {
  uint32_t attributes = 0;
  TFileError error = TFileError::Other;
  if (platform::ReadAttributes(FileName, attributes, error))
    return (attributes & AttributeFolder) == 0;
  switch (error) {
  case TFileError::NotFound:
  case TFileError::PathNotFound:
  case TFileError::InvalidName:
    return false;
  case TFileError::SharingViolation:
    return true; // locked by another program, but there
  default:
    break;
  }
  // The folder entry may still be readable, for example when the file itself denies access.
  return platform::FindFirstEntry(FileName, attributes) && (attributes & AttributeFolder) == 0;
}

bool DirectoryExists(const PathString& Dir) {
  uint32_t attributes = 0;
  TFileError error = TFileError::Other;
  if (!platform::ReadAttributes(Dir, attributes, error)) {
    switch (error) {
    case TFileError::NotFound:
    case TFileError::PathNotFound:
    case TFileError::InvalidName:
    case TFileError::BadNetPath:
      return false;
    default:
      return true; // there, but not to be examined
    }
  }
  if ((attributes & AttributeLink) == 0) return (attributes & AttributeFolder) != 0;
  // A link counts only when its target can be opened.
  return platform::CanOpenFolder(Dir) && (attributes & AttributeFolder) != 0;
}

bool ForceFolders(const PathString& Dir) {
  if (Dir.empty()) throw EInOutError("Verzeichnis kann nicht erstellt werden", 3);
  PathString folder = Dir;
  if (platform::IsPathDelimiter(folder.back())) folder.pop_back();
  if (folder.size() < 3 || DirectoryExists(folder)) return true;
  const PathString parent = ParentPath(folder);
  if (parent == folder) return true;
  return ForceFolders(parent) && platform::MakeFolder(folder);
}

void EnsureFileFolder(const PathString& FileName) {
  const PathString folder = FolderPart(FileName);
  if (!IsExistingFolder(folder)) ForceFolders(folder);
}

PathString GetTempFolder() {
  return platform::TempFolder();
}

PathString GetWorkFolder(const PathString& SubFolder) {
  const char delimiter = platform::PathDelimiter();
  PathString path = GetTempFolder();
  if (!path.empty() && path.back() != delimiter) path += delimiter;
  path += "QVTempDir";
  path += delimiter;
  if (!SubFolder.empty()) path += SubFolder + delimiter;
  ForceFolders(path);
  return path;
}

void TSaveAttempts::WaitBetweenAttempts(int) {
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void SaveStringsToFile(const TStrings& List, const PathString& FileName) {
  SaveStringsToFile(List, FileName, TSaveAttempts());
}

void SaveStringsToFile(const TStrings& List, const PathString& FileName,
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

bool DeleteFileIfExists(const PathString& FileName) {
  if (!FileExists(FileName)) return true;
  return platform::RemoveFile(FileName);
}

TBetterFileStream::TAttributeRestore::~TAttributeRestore() {
  if (AttributesChanged) platform::WriteAttributes(FileName, SavedAttributes);
}

TBetterFileStream::TBetterFileStream(const PathString& FileName, int Mode, bool ClearAttributes)
    : THandleStream(platform::NoFile) {
  FRestore.FileName = FileName;
  if (ClearAttributes && FileExists(FileName)) {
    // Attributes that cannot be read are left alone: writing back "none" would set every bit.
    const uint32_t saved = Attributes(FileName);
    if (saved != NoAttributes) {
      FRestore.SavedAttributes = saved;
      if (saved & AttributeReadOnly) {
        FRestore.AttributesChanged = true;
        platform::WriteAttributes(FileName, saved & ~AttributeReadOnly);
      }
      const uint32_t now = Attributes(FileName);
      if (now != NoAttributes && (now & AttributeHidden)) {
        FRestore.AttributesChanged = true;
        platform::WriteAttributes(FileName, now & ~AttributeHidden);
      }
    }
  }
  FFile.Handle = platform::OpenReadWrite(FileName, Mode == ModeCreate);
  if (FFile.Handle == platform::NoFile)
    throw EFCreateError(
        Format("Datei %s kann nicht erstellt werden", platform::PathToAnsi(FileName).c_str()));
  FHandle = FFile.Handle;
}

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

namespace platform {

namespace {

// The system would see only the part before a zero byte, another name.
bool Usable(const PathString& Name) {
  return !Name.empty() && Name.find('\0') == PathString::npos;
}

TFileError ErrorOf(int Code) {
  switch (Code) {
  case ENOENT:
    return TFileError::NotFound;
  case ENOTDIR:
    return TFileError::PathNotFound;
  case ENAMETOOLONG:
  case EINVAL:
    return TFileError::InvalidName;
  default:
    return TFileError::Other;
  }
}

// Windows' bits for what stat tells: a link is marked, and is a folder when its target is one.
uint32_t AttributesOf(const struct stat& Own, const struct stat* Target) {
  uint32_t attributes = 0;
  const struct stat& seen = Target ? *Target : Own;
  if (S_ISDIR(seen.st_mode)) attributes |= AttributeFolder;
  if (S_ISLNK(Own.st_mode)) attributes |= AttributeLink;
  if ((seen.st_mode & S_IWUSR) == 0) attributes |= AttributeReadOnly;
  return attributes;
}

uint32_t AttributesAt(int Folder, const char* Name) {
  struct stat own, target;
  if (fstatat(Folder, Name, &own, AT_SYMLINK_NOFOLLOW) != 0) return 0;
  const bool link = S_ISLNK(own.st_mode);
  return AttributesOf(own, link && fstatat(Folder, Name, &target, 0) == 0 ? &target : nullptr);
}

} // namespace

std::vector<PathString> ProgramArguments(int Argc, char** Argv) {
  return std::vector<PathString>(Argv, Argv + (Argc > 0 ? Argc : 0));
}

char PathDelimiter() {
  return '/';
}

bool IsPathDelimiter(char C) {
  return C == '/';
}

bool ReadAttributes(const PathString& Name, uint32_t& Attributes, TFileError& Error) {
  if (!Usable(Name)) {
    Error = TFileError::InvalidName;
    return false;
  }
  struct stat own, target;
  if (lstat(Name.c_str(), &own) != 0) {
    Error = ErrorOf(errno);
    return false;
  }
  const bool link = S_ISLNK(own.st_mode);
  Attributes = AttributesOf(own, link && stat(Name.c_str(), &target) == 0 ? &target : nullptr);
  return true;
}

bool WriteAttributes(const PathString& Name, uint32_t Attributes) {
  struct stat info;
  if (!Usable(Name) || stat(Name.c_str(), &info) != 0) return false;
  // Read-only is the owner's missing write permission; the other bits have no POSIX meaning.
  const mode_t mode = (Attributes & AttributeReadOnly)
                          ? info.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)
                          : info.st_mode | S_IWUSR;
  return chmod(Name.c_str(), mode & 07777) == 0;
}

bool FindFirstEntry(const PathString& Pattern, uint32_t& Attributes) {
  if (!Usable(Pattern)) return false;
  const size_t slash = Pattern.rfind('/');
  const PathString folder =
      slash == PathString::npos ? PathString(".") : Pattern.substr(0, slash == 0 ? 1 : slash);
  const PathString name = slash == PathString::npos ? Pattern : Pattern.substr(slash + 1);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = readdir(dir)) {
    if (fnmatch(name.c_str(), entry->d_name, FNM_NOESCAPE) == 0) {
      Attributes = AttributesAt(dirfd(dir), entry->d_name);
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

bool CanOpenFolder(const PathString& Name) {
  if (!Usable(Name)) return false;
  const int folder = open(Name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return false;
  close(folder);
  return true;
}

bool MakeFolder(const PathString& Name) {
  return Usable(Name) && mkdir(Name.c_str(), 0777) == 0;
}

bool RemoveFile(const PathString& Name) {
  return Usable(Name) && unlink(Name.c_str()) == 0;
}

PathString TempFolder() {
  const char* folder = getenv("TMPDIR");
  PathString path = folder && *folder ? folder : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

bool CreateTempFile(PathString& FileName) {
  PathString name = TempFolder() + "voxaro-XXXXXX";
  const int fd = mkstemp(&name[0]);
  if (fd < 0) return false;
  close(fd);
  FileName = name;
  return true;
}

FileHandle OpenReadWrite(const PathString& Name, bool Truncate) {
  if (!Usable(Name)) return NoFile;
  const int fd = open(Name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (Truncate ? O_TRUNC : 0), 0666);
  return fd < 0 ? NoFile : fd;
}

void CloseFile(FileHandle File) {
  if (File != NoFile) close(static_cast<int>(File));
}

int32_t ReadFromFile(FileHandle File, void* Buffer, int32_t Count) {
  if (Count < 0) return -1;
  ssize_t done;
  do
    done = read(static_cast<int>(File), Buffer, static_cast<size_t>(Count));
  while (done < 0 && errno == EINTR);
  return static_cast<int32_t>(done);
}

int32_t WriteToFile(FileHandle File, const void* Buffer, int32_t Count) {
  if (Count < 0) return -1;
  ssize_t done;
  do
    done = write(static_cast<int>(File), Buffer, static_cast<size_t>(Count));
  while (done < 0 && errno == EINTR);
  return static_cast<int32_t>(done);
}

int64_t SeekFile(FileHandle File, int64_t Offset, int Origin) {
  static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (Origin < 0 || Origin > 2) return -1;
  const off_t position = lseek(static_cast<int>(File), static_cast<off_t>(Offset), whence[Origin]);
  return position < 0 ? -1 : static_cast<int64_t>(position);
}

bool TruncateFile(FileHandle File) {
  const off_t position = lseek(static_cast<int>(File), 0, SEEK_CUR);
  return position >= 0 && ftruncate(static_cast<int>(File), position) == 0;
}

void UseBinaryStandardStreams() {}

bool TerminalTakesAnsi() {
  return false;
}

} // namespace platform

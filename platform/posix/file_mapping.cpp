#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/platform.h"

namespace platform {

struct ReadOnlyFileMapping::TSystemHandles {
  int File = -1;
};

ReadOnlyFileMapping::ReadOnlyFileMapping() : FHandles(new TSystemHandles) {}

ReadOnlyFileMapping::~ReadOnlyFileMapping() {
  if (FView) munmap(const_cast<char*>(FView), static_cast<size_t>(FFileSize));
  if (FHandles->File >= 0) close(FHandles->File);
}

bool ReadOnlyFileMapping::Open(const PathString& FileName) {
  // File names go to the OS byte for byte; the OS would see only the part before a zero byte.
  if (FileName.find('\0') != PathString::npos) return false;
  const int fd = open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  FHandles->File = fd;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  FFileSize = static_cast<uint64_t>(info.st_size);
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return true;
}

bool ReadOnlyFileMapping::Map() {
  if (FHandles->File < 0 || FFileSize == 0 || FFileSize > SIZE_MAX) return false;
  // Populated at once: the whole file is read right after, and one call costs far less than a
  // page fault for every few pages.
  int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
  flags |= MAP_POPULATE;
#endif
  void* view = mmap(nullptr, static_cast<size_t>(FFileSize), PROT_READ, flags, FHandles->File, 0);
  if (view == MAP_FAILED) return false;
  madvise(view, static_cast<size_t>(FFileSize), MADV_SEQUENTIAL);
  FView = static_cast<const char*>(view);
  return true;
}

void ReadOnlyFileMapping::DropPages(size_t Offset, size_t Length) {
  if (!FView || Offset >= FFileSize) return;
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  Length = std::min<size_t>(Length, static_cast<size_t>(FFileSize) - Offset);
  // Whole pages inside the range only; the view starts on a page.
  const size_t first = (Offset + page - 1) / page * page;
  const size_t last =
      Offset + Length == FFileSize ? Offset + Length : (Offset + Length) / page * page;
  if (last > first) madvise(const_cast<char*>(FView) + first, last - first, MADV_DONTNEED);
}

} // namespace platform

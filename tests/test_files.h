#pragma once
// Files for tests: a private temporary folder per test, removed with everything in it.
#include <filesystem>
#include <string>

#include "base/system.h"

class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // The folder as a path, with a trailing path delimiter.
  PathString Path() const;
  PathString FileName(const PathString& Name) const { return Path() + Name; }
  // Writes Bytes to Name in the folder and returns the full file name.
  PathString Write(const PathString& Name, const AnsiString& Bytes) const;

private:
  std::filesystem::path FPath;
};

AnsiString ReadFileBytes(const PathString& FileName);
// A file under tests/data, named so that the running program can open it.
AnsiString TestDataFile(const AnsiString& RelativeName);
// UTF-16 code units as bytes behind the byte-order mark of that order (FF FE or FE FF).
AnsiString MarkedUtf16(const std::u16string& Units, bool BigEndian);

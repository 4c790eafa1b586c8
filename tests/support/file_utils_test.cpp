#include "support/file_utils.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/exceptions.h"
#include "framework/win_owners.h"
#include "tests/test_files.h"

namespace {

const AnsiString CannotCreateDir = "Verzeichnis kann nicht erstellt werden";

// Opened without sharing, as another program holding the file would.
HANDLE OpenExclusive(const AnsiString& Name) {
  return CreateFileA(Name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

DWORD Attributes(const AnsiString& Name) {
  return GetFileAttributesA(Name.c_str());
}

// Protected files would outlive TTempDir, which cannot remove them.
void Unprotect(const AnsiString& Name) {
  SetFileAttributesA(Name.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The message of the E that Action raises.
template <class E> AnsiString ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const E& e) {
    return e.Message();
  }
  return "(no error)";
}

// Counts the waits and can act in them, for example release a lock.
struct TRecordedAttempts {
  std::vector<int> Waits;
  std::function<void(int)> OnWait = [](int) {};
  TSaveAttempts Attempts(int Count) {
    TSaveAttempts attempts;
    attempts.Count = Count;
    attempts.Wait = [this](int Attempt) {
      Waits.push_back(Attempt);
      OnWait(Attempt);
    };
    return attempts;
  }
};

TEST(FileUtils, ExistenceOfFilesAndFolders) {
  TTempDir dir;
  const AnsiString file = dir.Write("f.txt", "x");
  const AnsiString folder = dir.Path();
  const struct {
    AnsiString Name;
    bool File, Folder;
  } cases[] = {
      {file, true, false},
      {folder, false, true},
      {folder.substr(0, folder.size() - 1), false, true},
      {dir.FileName("missing.txt"), false, false},
      {dir.FileName("missing\\f.txt"), false, false},
      {"", false, false},
      // The system would see only the part before the zero byte.
      {file + AnsiString(1, '\0') + "x", false, false},
      {folder + AnsiString(1, '\0'), false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileExists(c.Name), c.File) << c.Name;
    EXPECT_EQ(DirectoryExists(c.Name), c.Folder) << c.Name;
  }
  const TKernelHandle lock(OpenExclusive(file));
  ASSERT_TRUE(lock.Valid());
  EXPECT_TRUE(FileExists(file));
}

TEST(FileUtils, ForceFolders) {
  TTempDir dir;
  EXPECT_TRUE(ForceFolders(dir.FileName("a\\b\\c")));
  for (const char* level : {"a", "a\\b", "a\\b\\c"})
    EXPECT_TRUE(DirectoryExists(dir.FileName(level)));
  EXPECT_TRUE(ForceFolders(dir.FileName("d\\e\\")));
  EXPECT_TRUE(DirectoryExists(dir.FileName("d\\e")));
  for (const char* root : {"C:", "C:\\", "\\", "Q:"})
    EXPECT_TRUE(ForceFolders(root)) << root;
  // A file in the way: false, nothing raised.
  const AnsiString file = dir.Write("file", "");
  EXPECT_FALSE(ForceFolders(file + "\\sub\\deeper"));
  try {
    ForceFolders("");
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), CannotCreateDir);
    EXPECT_EQ(e.ErrorCode(), 3);
  }
}

TEST(FileUtils, EnsureFileFolder) {
  TTempDir dir;
  EnsureFileFolder(dir.FileName("a\\b\\f.txt"));
  EXPECT_TRUE(DirectoryExists(dir.FileName("a\\b")));
  EXPECT_FALSE(FileExists(dir.FileName("a\\b\\f.txt")));
  EnsureFileFolder("C:\\f.txt"); // a drive root is kept whole and exists
  EXPECT_EQ(ErrorOf<EInOutError>([] { EnsureFileFolder("f.txt"); }), CannotCreateDir);
}

TEST(FileUtils, TempAndWorkFolder) {
  TTempDir dir;
  char saved[MAX_PATH + 1];
  const DWORD savedLength = GetEnvironmentVariableA("TMP", saved, sizeof saved);
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", dir.Path().c_str()));
  EXPECT_EQ(GetTempFolder(), dir.Path());
  EXPECT_EQ(GetWorkFolder(""), dir.Path() + "QVTempDir\\");
  EXPECT_TRUE(DirectoryExists(dir.Path() + "QVTempDir"));
  EXPECT_EQ(GetWorkFolder("x"), dir.Path() + "QVTempDir\\x\\");
  EXPECT_TRUE(DirectoryExists(dir.Path() + "QVTempDir\\x"));
  SetEnvironmentVariableA("TMP", savedLength > 0 && savedLength <= MAX_PATH ? saved : nullptr);
}

TEST(FileUtils, SaveWritesEveryLineWithCrLf) {
  const struct {
    std::vector<AnsiString> Lines;
    AnsiString Bytes;
  } cases[] = {
      {{"a", "b"}, "a\r\nb\r\n"},
      {{}, ""},
      {{"", "\xE4\xF6\xFC\xDF=\x80"}, "\r\n\xE4\xF6\xFC\xDF=\x80\r\n"},
  };
  for (const auto& c : cases) {
    TTempDir dir;
    TStringList list;
    for (const AnsiString& line : c.Lines)
      list.Add(line);
    // Over a longer file, which must be cut, and into folders that do not exist yet.
    const AnsiString existing = dir.Write("old.csv", "a longer content than any case");
    SaveStringsToFile(list, existing);
    EXPECT_EQ(ReadFileBytes(existing), c.Bytes);
    const AnsiString fresh = dir.FileName("new\\deeper\\clp.csv");
    SaveStringsToFile(list, fresh);
    EXPECT_EQ(ReadFileBytes(fresh), c.Bytes);
  }
}

TEST(FileUtils, SaveOverProtectedFileKeepsItsAttributes) {
  const DWORD Protection = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  const DWORD cases[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, Protection};
  for (const DWORD attribute : cases) {
    TTempDir dir;
    const AnsiString name = dir.Write("p.csv", "old");
    ASSERT_TRUE(SetFileAttributesA(name.c_str(), attribute));
    ASSERT_EQ(Attributes(name) & Protection, attribute);
    TStringList list;
    list.Add("new");
    SaveStringsToFile(list, name);
    EXPECT_EQ(ReadFileBytes(name), "new\r\n") << attribute;
    EXPECT_EQ(Attributes(name) & Protection, attribute);
    {
      // Removed only while the stream lives (Wine, unlike Windows, would open the file anyway).
      TBetterFileStream stream(name, TBetterFileStream::ModeOpenOrCreate, true);
      EXPECT_EQ(Attributes(name) & Protection, 0u);
    }
    EXPECT_EQ(Attributes(name) & Protection, attribute);
    Unprotect(name);
  }
}

TEST(FileUtils, SaveSucceedsOnceTheLockGoes) {
  TTempDir dir;
  const AnsiString name = dir.Write("locked.csv", "old");
  TKernelHandle lock(OpenExclusive(name));
  ASSERT_TRUE(lock.Valid());
  TRecordedAttempts recorded;
  recorded.OnWait = [&](int Attempt) {
    if (Attempt == 3) lock.Reset();
  };
  TStringList list;
  list.Add("new");
  SaveStringsToFile(list, name, recorded.Attempts(5));
  EXPECT_EQ(recorded.Waits, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ReadFileBytes(name), "new\r\n");
}

TEST(FileUtils, SaveGivesUpAfterTheLastAttempt) {
  TTempDir dir;
  const AnsiString name = dir.Write("locked.csv", "old");
  ASSERT_TRUE(SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_READONLY));
  TStringList list;
  list.Add("new");
  {
    const TKernelHandle lock(OpenExclusive(name));
    ASSERT_TRUE(lock.Valid());
    TRecordedAttempts recorded;
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { SaveStringsToFile(list, name, recorded.Attempts(5)); }),
              "Datei " + name + " kann nicht erstellt werden");
    EXPECT_EQ(recorded.Waits, (std::vector<int>{1, 2, 3, 4}));
  }
  // The failed openings put the read-only attribute back.
  EXPECT_NE(Attributes(name) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(ReadFileBytes(name), "old");
  Unprotect(name);

  TRecordedAttempts once;
  once.OnWait = [](int) { ADD_FAILURE() << "waited with a single attempt"; };
  const TKernelHandle lock(OpenExclusive(name));
  EXPECT_THROW(SaveStringsToFile(list, name, once.Attempts(0)), EFCreateError);
}

TEST(FileUtils, SaveWithoutFolderPartFailsInEveryAttempt) {
  TStringList list;
  list.Add("x");
  TRecordedAttempts recorded;
  EXPECT_EQ(ErrorOf<EInOutError>(
                [&] { SaveStringsToFile(list, "voxaro-no-folder.csv", recorded.Attempts(3)); }),
            CannotCreateDir);
  EXPECT_EQ(recorded.Waits, (std::vector<int>{1, 2}));
  EXPECT_FALSE(FileExists("voxaro-no-folder.csv"));
}

TEST(FileUtils, DeleteFileIfExists) {
  TTempDir dir;
  const AnsiString plain = dir.Write("plain", "x");
  EXPECT_TRUE(DeleteFileIfExists(plain));
  EXPECT_FALSE(FileExists(plain));
  EXPECT_TRUE(DeleteFileIfExists(dir.FileName("missing")));

  const AnsiString readOnly = dir.Write("read-only", "x");
  SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(DeleteFileIfExists(readOnly));
  EXPECT_TRUE(FileExists(readOnly));
  Unprotect(readOnly);

  const AnsiString locked = dir.Write("locked", "x");
  {
    const TKernelHandle lock(OpenExclusive(locked));
    EXPECT_FALSE(DeleteFileIfExists(locked));
  }
  EXPECT_TRUE(FileExists(locked));
  // A name with a zero byte denotes no file; the file named by its first part stays.
  EXPECT_TRUE(DeleteFileIfExists(locked + AnsiString(1, '\0') + "x"));
  EXPECT_TRUE(FileExists(locked));
}

TEST(FileUtils, BetterFileStreamModesAndHandleStream) {
  TTempDir dir;
  const AnsiString name = dir.Write("s.bin", "hello");
  {
    TBetterFileStream stream(name, TBetterFileStream::ModeOpenOrCreate, false);
    EXPECT_EQ(stream.FileName(), name);
    EXPECT_EQ(stream.GetSize(), 5);
    char buffer[8];
    EXPECT_EQ(stream.Read(buffer, 8), 5);
    EXPECT_EQ(AnsiString(buffer, 5), "hello");
    stream.WriteBuffer("!!", 2);
    // Shared for reading and writing: a second stream opens the same file.
    TBetterFileStream second(name, TBetterFileStream::ModeOpenOrCreate, true);
    EXPECT_EQ(second.GetSize(), 7);
    EXPECT_EQ(stream.Seek(-1, soFromBeginning), -1);
    EXPECT_EQ(stream.Seek(0, 7), -1);
    EXPECT_EQ(stream.Seek(-3, soFromEnd), 4);
    stream.SetSize(6);
    EXPECT_EQ(stream.GetPosition(), 4);
    stream.SetSize(2);
    EXPECT_EQ(stream.GetPosition(), 2);
    EXPECT_THROW(stream.SetSize(-1), EStreamError);
    EXPECT_EQ(stream.GetPosition(), 2);
  }
  EXPECT_EQ(ReadFileBytes(name), "he");
  { TBetterFileStream stream(name, TBetterFileStream::ModeCreate, false); }
  EXPECT_EQ(ReadFileBytes(name), "");
  { TBetterFileStream stream(dir.FileName("new.bin"), TBetterFileStream::ModeOpenOrCreate, false); }
  EXPECT_TRUE(FileExists(dir.FileName("new.bin")));

  const TKernelHandle lock(OpenExclusive(name));
  const auto open = [&] { TBetterFileStream s(name, TBetterFileStream::ModeCreate, true); };
  EXPECT_EQ(ErrorOf<EFCreateError>(open), "Datei " + name + " kann nicht erstellt werden");
}

} // namespace

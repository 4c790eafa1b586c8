#include "support/file_utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "base/exceptions.h"
#include "platform/platform.h"
#include "tests/test_files.h"

#ifdef _WIN32
#include <windows.h>

#include "framework/win_owners.h"
#include "platform/win32/system_path.h"
#endif

namespace {

const AnsiString CannotCreateDir = "Verzeichnis kann nicht erstellt werden";
const bool OnWindows = platform::PathDelimiter() == '\\';

// Names joined with the system's delimiter.
PathString Joined(std::initializer_list<PathString> Parts) {
  PathString joined;
  for (const PathString& part : Parts)
    joined += (joined.empty() ? "" : PathString(1, platform::PathDelimiter())) + part;
  return joined;
}

uint32_t Attributes(const PathString& Name) {
  uint32_t attributes = 0;
  platform::TFileError error;
  return platform::ReadAttributes(Name, attributes, error) ? attributes : 0xFFFFFFFF;
}

// Protected files would outlive TTempDir, which cannot remove them.
void Unprotect(const PathString& Name) {
  platform::WriteAttributes(Name, 0);
}

#ifdef _WIN32
// Opened without sharing, as another program holding the file would.
HANDLE OpenExclusive(const PathString& Name) {
  std::wstring path;
  if (!platform::SystemPath(Name, path)) return INVALID_HANDLE_VALUE;
  return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}
#endif

// Points the system's temporary folder at Folder for the object's lifetime.
class TTempFolderVariable {
public:
  explicit TTempFolderVariable(const PathString& Folder) {
#ifdef _WIN32
    FSavedLength = GetEnvironmentVariableW(L"TMP", FSaved, MAX_PATH + 1);
    const WideString wide = platform::PathToWide(Folder);
    SetEnvironmentVariableW(L"TMP", std::wstring(wide.begin(), wide.end()).c_str());
#else
    const char* saved = std::getenv("TMPDIR");
    FHadSaved = saved != nullptr;
    if (saved) FSaved = saved;
    setenv("TMPDIR", Folder.c_str(), 1);
#endif
  }
  ~TTempFolderVariable() {
#ifdef _WIN32
    SetEnvironmentVariableW(L"TMP",
                            FSavedLength > 0 && FSavedLength <= MAX_PATH ? FSaved : nullptr);
#else
    if (FHadSaved)
      setenv("TMPDIR", FSaved.c_str(), 1);
    else
      unsetenv("TMPDIR");
#endif
  }

private:
#ifdef _WIN32
  wchar_t FSaved[MAX_PATH + 1] = {};
  DWORD FSavedLength = 0;
#else
  bool FHadSaved = false;
  std::string FSaved;
#endif
};

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
  const PathString file = dir.Write("f.txt", "x");
  const PathString folder = dir.Path();
  const struct {
    PathString Name;
    bool File, Folder;
  } cases[] = {
      {file, true, false},
      {folder, false, true},
      {folder.substr(0, folder.size() - 1), false, true},
      {dir.FileName("missing.txt"), false, false},
      {dir.FileName(Joined({"missing", "f.txt"})), false, false},
      {"", false, false},
      // The system would see only the part before the zero byte.
      {file + AnsiString(1, '\0') + "x", false, false},
      {folder + AnsiString(1, '\0'), false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileExists(c.Name), c.File) << c.Name;
    EXPECT_EQ(DirectoryExists(c.Name), c.Folder) << c.Name;
  }
#ifdef _WIN32
  const TKernelHandle lock(OpenExclusive(file));
  ASSERT_TRUE(lock.Valid());
  EXPECT_TRUE(FileExists(file));
#endif
}

// Every routine on names whose letters the ANSI code page lacks, one beyond U+FFFF among them.
TEST(FileUtils, NamesBeyondTheAnsiCodePage) {
  TTempDir dir;
  const PathString folder = dir.FileName(Joined({"\xC5\x81\xC3\xB3"
                                                 "d\xC5\xBA Ay\xC5\x9F"
                                                 "e",
                                                 "\xF0\x9D\x84\x9E \xC5\x99"}));
  const PathString file = Joined({folder, "Kontakte Dvo\xC5\x99\xC3\xA1k.csv"});
  TStringList list;
  list.Add("Name;Telefon");
  SaveStringsToFile(list, file);
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(ReadFileBytes(file), "Name;Telefon\r\n");
  // The same letters in the code page name another, missing file.
  EXPECT_FALSE(FileExists(dir.FileName("Lodz Ayse")));
  {
    TBetterFileStream stream(file, TBetterFileStream::ModeOpenOrCreate, true);
    EXPECT_EQ(stream.GetSize(), 14);
  }
  EXPECT_TRUE(DeleteFileIfExists(file));
  EXPECT_FALSE(FileExists(file));
}

#ifdef _WIN32
// Names beyond 260 characters, which the system takes only in their long form.
TEST(FileUtils, NamesBeyond260Characters) {
  TTempDir dir;
  std::vector<PathString> levels = {dir.Path() + PathString(60, 'a') + "\xC5\x82"};
  while (levels.back().size() < 300)
    levels.push_back(levels.back() + "\\" + PathString(60, 'b'));
  const PathString file = levels.back() + "\\Kontakte.csv";
  ASSERT_GT(platform::PathToWide(file).size(), 300u);
  TStringList list;
  list.Add("x");
  SaveStringsToFile(list, file);
  EXPECT_TRUE(DirectoryExists(levels.back()));
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(GetWorkFolder(""), GetTempFolder() + "QVTempDir\\"); // untouched by the length
  EXPECT_TRUE(DeleteFileIfExists(file));
  EXPECT_FALSE(FileExists(file));
  // The test's folder is removed with names of ordinary length only.
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
    std::wstring path;
    ASSERT_TRUE(platform::SystemPath(*level, path));
    EXPECT_TRUE(RemoveDirectoryW(path.c_str())) << *level;
  }
}
#endif

TEST(FileUtils, ForceFolders) {
  TTempDir dir;
  EXPECT_TRUE(ForceFolders(dir.FileName(Joined({"a", "b", "c"}))));
  for (const PathString& level : {Joined({"a"}), Joined({"a", "b"}), Joined({"a", "b", "c"})})
    EXPECT_TRUE(DirectoryExists(dir.FileName(level)));
  EXPECT_TRUE(ForceFolders(dir.FileName(Joined({"d", "e", ""}))));
  EXPECT_TRUE(DirectoryExists(dir.FileName(Joined({"d", "e"}))));
  const std::vector<PathString> roots = OnWindows
                                            ? std::vector<PathString>{"C:", "C:\\", "\\", "Q:"}
                                            : std::vector<PathString>{"/", "ab"};
  for (const PathString& root : roots)
    EXPECT_TRUE(ForceFolders(root)) << root;
  // A file in the way: false, nothing raised.
  const PathString file = dir.Write("file", "");
  EXPECT_FALSE(ForceFolders(Joined({file, "sub", "deeper"})));
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
  EnsureFileFolder(dir.FileName(Joined({"a", "b", "f.txt"})));
  EXPECT_TRUE(DirectoryExists(dir.FileName(Joined({"a", "b"}))));
  EXPECT_FALSE(FileExists(dir.FileName(Joined({"a", "b", "f.txt"}))));
  EnsureFileFolder(OnWindows ? "C:\\f.txt" : "/f.txt"); // a root is kept whole and exists
  EXPECT_EQ(ErrorOf<EInOutError>([] { EnsureFileFolder("f.txt"); }), CannotCreateDir);
}

TEST(FileUtils, TempAndWorkFolder) {
  TTempDir dir;
  // A temporary folder under a profile whose name the ANSI code page lacks.
  const PathString temp = dir.FileName("\xC5\x9E"
                                       "eyma \xC3\x96zt\xC3\xBCrk") +
                          platform::PathDelimiter();
  ASSERT_TRUE(ForceFolders(temp));
  const TTempFolderVariable variable(temp);
  const PathString work = temp + Joined({"QVTempDir", ""});
  EXPECT_EQ(GetTempFolder(), temp);
  EXPECT_EQ(GetWorkFolder(""), work);
  EXPECT_TRUE(DirectoryExists(work));
  EXPECT_EQ(GetWorkFolder("x"), work + Joined({"x", ""}));
  EXPECT_TRUE(DirectoryExists(work + "x"));
  PathString created;
  ASSERT_TRUE(platform::CreateTempFile(created));
  EXPECT_EQ(created.compare(0, temp.size(), temp), 0) << created;
  EXPECT_TRUE(FileExists(created));
  EXPECT_TRUE(DeleteFileIfExists(created));
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
    const PathString existing = dir.Write("old.csv", "a longer content than any case");
    SaveStringsToFile(list, existing);
    EXPECT_EQ(ReadFileBytes(existing), c.Bytes);
    const PathString fresh = dir.FileName(Joined({"new", "deeper", "clp.csv"}));
    SaveStringsToFile(list, fresh);
    EXPECT_EQ(ReadFileBytes(fresh), c.Bytes);
  }
}

TEST(FileUtils, SaveOverProtectedFileKeepsItsAttributes) {
  using platform::AttributeHidden;
  using platform::AttributeReadOnly;
  const uint32_t Protection = AttributeReadOnly | AttributeHidden;
  // POSIX knows no hidden attribute.
  const std::vector<uint32_t> cases =
      OnWindows ? std::vector<uint32_t>{AttributeReadOnly, AttributeHidden, Protection}
                : std::vector<uint32_t>{AttributeReadOnly};
  for (const uint32_t attribute : cases) {
    TTempDir dir;
    const PathString name = dir.Write("p.csv", "old");
    ASSERT_TRUE(platform::WriteAttributes(name, attribute));
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

TEST(FileUtils, SaveGivesUpAfterTheLastAttempt) {
  TTempDir dir;
  // A file where the folder should be: neither the folder nor the file can be made.
  const PathString name = Joined({dir.Write("in-the-way", "x"), "clp.csv"});
  TStringList list;
  list.Add("new");
  TRecordedAttempts recorded;
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { SaveStringsToFile(list, name, recorded.Attempts(5)); }),
            "Datei " + name + " kann nicht erstellt werden");
  EXPECT_EQ(recorded.Waits, (std::vector<int>{1, 2, 3, 4}));

  TRecordedAttempts once;
  once.OnWait = [](int) { ADD_FAILURE() << "waited with a single attempt"; };
  EXPECT_THROW(SaveStringsToFile(list, name, once.Attempts(0)), EFCreateError);
}

#ifdef _WIN32
TEST(FileUtils, SaveSucceedsOnceTheLockGoes) {
  TTempDir dir;
  const PathString name = dir.Write("locked.csv", "old");
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

TEST(FileUtils, SaveOverALockedFileGivesUpAndPutsTheAttributesBack) {
  TTempDir dir;
  const PathString name = dir.Write("locked.csv", "old");
  ASSERT_TRUE(platform::WriteAttributes(name, platform::AttributeReadOnly));
  TStringList list;
  list.Add("new");
  {
    const TKernelHandle lock(OpenExclusive(name));
    ASSERT_TRUE(lock.Valid());
    TRecordedAttempts recorded;
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { SaveStringsToFile(list, name, recorded.Attempts(3)); }),
              "Datei " + name + " kann nicht erstellt werden");
    EXPECT_EQ(recorded.Waits, (std::vector<int>{1, 2}));
  }
  // The failed openings put the read-only attribute back.
  EXPECT_NE(Attributes(name) & platform::AttributeReadOnly, 0u);
  EXPECT_EQ(ReadFileBytes(name), "old");
  Unprotect(name);
}
#endif

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
  const PathString plain = dir.Write("plain", "x");
  EXPECT_TRUE(DeleteFileIfExists(plain));
  EXPECT_FALSE(FileExists(plain));
  EXPECT_TRUE(DeleteFileIfExists(dir.FileName("missing")));
  // A name with a zero byte denotes no file; the file named by its first part stays.
  const PathString kept = dir.Write("kept", "x");
  EXPECT_TRUE(DeleteFileIfExists(kept + AnsiString(1, '\0') + "x"));
  EXPECT_TRUE(FileExists(kept));
#ifdef _WIN32
  const PathString readOnly = dir.Write("read-only", "x");
  platform::WriteAttributes(readOnly, platform::AttributeReadOnly);
  EXPECT_FALSE(DeleteFileIfExists(readOnly));
  EXPECT_TRUE(FileExists(readOnly));
  Unprotect(readOnly);

  const PathString locked = dir.Write("locked", "x");
  {
    const TKernelHandle lock(OpenExclusive(locked));
    EXPECT_FALSE(DeleteFileIfExists(locked));
  }
  EXPECT_TRUE(FileExists(locked));
#endif
}

TEST(FileUtils, BetterFileStreamModesAndHandleStream) {
  TTempDir dir;
  const PathString name = dir.Write("s.bin", "hello");
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

  const PathString blocked = Joined({name, "below-a-file.bin"});
  const auto open = [&] { TBetterFileStream s(blocked, TBetterFileStream::ModeCreate, true); };
  EXPECT_EQ(ErrorOf<EFCreateError>(open), "Datei " + blocked + " kann nicht erstellt werden");
}

} // namespace

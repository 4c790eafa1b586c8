#include <gtest/gtest.h>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>

#include "platform/win32/system_path.h"
#endif

namespace {

using platform::LongPathForm;
using platform::PathFromWide;
using platform::PathToWide;

TEST(Path, Utf16AndBack) {
  const struct {
    WideString Wide;
    PathString Path;
  } cases[] = {
      {u"", ""},
      {u"C:\\Kontakte\\a.csv", "C:\\Kontakte\\a.csv"},
      {u"\u0141\u00F3d\u017A Ay\u015Fe", "\xC5\x81\xC3\xB3"
                                         "d\xC5\xBA Ay\xC5\x9F"
                                         "e"},
      {u"Dvo\u0159\u00E1k \u20AC", "Dvo\xC5\x99\xC3\xA1k \xE2\x82\xAC"},
      // Beyond U+FFFF: a surrogate pair is one four-byte character.
      {u"\U0001D11E.csv", "\xF0\x9D\x84\x9E.csv"},
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      // Windows allows unpaired surrogates in names; they come back as they were.
      {u"a\xD800"
       "b",
       "a\xED\xA0\x80"
       "b"},
      {u"\xDC00", "\xED\xB0\x80"},
      {u"\xDC00\xD800", "\xED\xB0\x80\xED\xA0\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathFromWide(c.Wide), c.Path);
    EXPECT_EQ(PathToWide(c.Path), c.Wide) << c.Path;
  }
}

TEST(Path, BytesThatAreNoUtf8NameNoFile) {
  const struct {
    PathString Path;
    WideString Wide;
  } cases[] = {
      {"K\xE4se.csv", u"K\uFFFDse.csv"},                 // Windows-1252, not UTF-8
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                     // an overlong "/"
      {"\xE2\x82", u"\uFFFD\uFFFD"},                     // cut short
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
  };
  for (const auto& c : cases)
    EXPECT_EQ(PathToWide(c.Path), c.Wide) << c.Path;
}

TEST(Path, AnsiMessages) {
  // A message shows what the code page has.
  EXPECT_EQ(platform::PathToAnsi("Dvo\xC5\x99\xC3\xA1k"), "Dvor\xE1k");
}

TEST(Path, LongPathForm) {
  const struct {
    WideString Full, Long;
  } cases[] = {
      {u"C:\\a\\b.csv", u"\\\\?\\C:\\a\\b.csv"},
      {u"z:\\", u"\\\\?\\z:\\"},
      {u"\\\\server\\share\\a.csv", u"\\\\?\\UNC\\server\\share\\a.csv"},
      {u"C:\\\U0001D11E\\\u015F.csv", u"\\\\?\\C:\\\U0001D11E\\\u015F.csv"},
      // Already in a form the system takes as it is.
      {u"\\\\?\\C:\\a.csv", u"\\\\?\\C:\\a.csv"},
      {u"\\\\?\\UNC\\server\\share", u"\\\\?\\UNC\\server\\share"},
      {u"\\\\.\\COM1", u"\\\\.\\COM1"},
      // Not full: left to the system's own rules.
      {u"a.csv", u"a.csv"},
      {u"..\\a.csv", u"..\\a.csv"},
      {u"C:a.csv", u"C:a.csv"},
      {u"\\a.csv", u"\\a.csv"},
      {u"\\\\", u"\\\\"},
      {u"", u""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LongPathForm(c.Full), c.Long) << PathFromWide(c.Full);
}

#ifdef _WIN32
std::wstring Wide(const WideString& Text) {
  return std::wstring(Text.begin(), Text.end());
}

TEST(Path, SystemPathIsFullAndLong) {
  wchar_t current[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
  std::wstring here = current;
  if (here.back() != L'\\') here += L'\\';
  const std::wstring longHere = Wide(LongPathForm(WideString(here.begin(), here.end())));
  const struct {
    PathString Name;
    std::wstring System;
  } cases[] = {
      {"C:\\a\\..\\b/c.csv", L"\\\\?\\C:\\b\\c.csv"},
      {"\\\\server\\share\\.\\a.csv", L"\\\\?\\UNC\\server\\share\\a.csv"},
      {"k\xC5\x9F.csv", longHere + L"k\u015F.csv"},
      {"\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\a\\..\\b"}, // taken as it is, unresolved
  };
  for (const auto& c : cases) {
    std::wstring system;
    ASSERT_TRUE(platform::SystemPath(c.Name, system)) << c.Name;
    EXPECT_EQ(system, c.System) << c.Name;
  }
  std::wstring system;
  for (const PathString& unusable : {PathString(), PathString("a\0b", 3), PathString(40000, 'a')})
    EXPECT_FALSE(platform::SystemPath(unusable, system)) << unusable.size();
}

TEST(Path, ProgramArgumentsComeFromTheUnicodeCommandLine) {
  const std::vector<PathString> arguments = platform::ProgramArguments(0, nullptr);
  ASSERT_FALSE(arguments.empty());
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(arguments.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    EXPECT_EQ(PathToWide(arguments[i]), WideString(reinterpret_cast<char16_t*>(list[i])));
  LocalFree(list);
}
#endif

} // namespace

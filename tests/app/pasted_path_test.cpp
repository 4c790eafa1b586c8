#include "app/pasted_path.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(PastedPath, FileUrisAsWindowsPaths) {
  const struct {
    WideString Uri;
    bool Taken;
    PathString Path;
  } cases[] = {
      {u"file:///C:/Users/Ay%C5%9Fe/Kontakte.csv", true,
       "C:\\Users\\Ay\xC5\x9F"
       "e\\Kontakte.csv"},
      {u"file:///c:/a%20b/%F0%9D%84%9E.csv", true, "c:\\a b\\\xF0\x9D\x84\x9E.csv"},
      // Letters the writer did not encode count as they are.
      {u"file:///C:/\u0141\u00F3d\u017A/a.csv", true,
       "C:\\\xC5\x81\xC3\xB3"
       "d\xC5\xBA\\a.csv"},
      {u"file://localhost/C:/a.csv", true, "C:\\a.csv"},
      {u"file://LocalHost/C:/a.csv", true, "C:\\a.csv"},
      {u"file:///C|/a.csv", true, "C:\\a.csv"},
      {u"file:///D:", true, "D:"},
      {u"file://server/share/Kontakte.csv", true, "\\\\server\\share\\Kontakte.csv"},
      {u"file:////server/share/a%23b.csv", true, "\\\\server\\share\\a#b.csv"},
      {u"file:///C:/a.csv?x=1", true, "C:\\a.csv"},
      {u"file:///C:/a.csv#top", true, "C:\\a.csv"},
      {u"file:///C:/100%.csv", true, "C:\\100%.csv"},
      {u"file:///C:/%4a%4B.csv", true, "C:\\JK.csv"},
      // No file URI, or nothing a file can be named by.
      {u"FILE:///C:/a.csv", false, ""},
      {u"file:/C:/a.csv", false, ""},
      {u"http://server/a.csv", false, ""},
      {u"file://server", false, ""},
      {u"file://server/", false, ""},
      {u"file:///home/a.csv", false, ""},
      {u"file:///C:/K%E4se.csv", false, ""},    // Windows-1252, not UTF-8
      {u"file:///C:/%ED%A0%80.csv", false, ""}, // an encoded surrogate
      {u"file:///C:/a%00b.csv", false, ""},
  };
  for (const auto& c : cases) {
    PathString path = "unchanged";
    EXPECT_EQ(FileUriToWindowsPath(c.Uri, path), c.Taken) << platform::PathFromWide(c.Uri);
    EXPECT_EQ(path, c.Taken ? c.Path : PathString("unchanged"));
  }
}

TEST(PastedPath, CandidatesInTheOrderTheyAreTried) {
  const WideString longName = u"C:\\" + WideString(300, u'x') + u".csv";
  const struct {
    const char* Name;
    WideString Text;
    std::vector<PathString> Candidates;
  } cases[] = {
      {"a path", u"C:\\Kontakte\\a.csv", {"C:\\Kontakte\\a.csv"}},
      {"copied as path",
       u"\"C:\\\u015F\\a.csv\"",
       {"\"C:\\\xC5\x9F\\a.csv\"", "C:\\\xC5\x9F\\a.csv"}},
      {"a lone quote", u"\"", {"\""}},
      {"file:// and a path", u"file://C:\\a.csv", {"C:\\a.csv"}},
      {"a file URI",
       u"file:///C:/Ay%C5%9Fe/a.csv",
       {"/C:/Ay%C5%9Fe/a.csv", "C:\\Ay\xC5\x9F"
                               "e\\a.csv"}},
      {"a long path after file://",
       u"file://" + longName,
       {"C:\\" + PathString(252, 'x'), "C:\\" + PathString(300, 'x') + ".csv"}},
      {"capitals are not the prefix", u"FILE://C:\\a.csv", {"FILE://C:\\a.csv"}},
      {"table text", u"Name;Telefon\r\nAnna;123", {"Name;Telefon\r\nAnna;123"}},
      {"empty", u"", {""}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PastedFileCandidates(c.Text), c.Candidates) << c.Name;
}

} // namespace

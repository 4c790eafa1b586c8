// The resources every Windows program of ours carries: version information, manifest and icon.
#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "tests/icons.h"

namespace {

TEST(Resources, VersionAndManifest) {
  char exe[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
  std::vector<char> info(GetFileVersionInfoSizeA(exe, nullptr));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoA(exe, 0, DWORD(info.size()), info.data()));
  const auto text = [&](const char* Name) {
    char* value = nullptr;
    UINT length = 0;
    const AnsiString key = AnsiString("\\StringFileInfo\\040704E4\\") + Name;
    return VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)
               ? AnsiString(value)
               : AnsiString("(none)");
  };
  EXPECT_EQ(text("ProductName"), "Voxaro");
  EXPECT_EQ(text("OriginalFilename"), "voxaro.exe");
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(text("FileVersion"),
            Format("%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                   HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)));

  const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const AnsiString manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                            SizeofResource(nullptr, found));
  EXPECT_NE(manifest.find("level=\"asInvoker\""), AnsiString::npos);
  EXPECT_EQ(manifest.find("dpiAware"), AnsiString::npos);
  size_t systems = 0;
  for (size_t at = 0; (at = manifest.find("<supportedOS ", at)) != AnsiString::npos; ++at)
    ++systems;
  EXPECT_EQ(systems, 4u);
}

// The window program, the importer and this test program, all built beside each other, show the
// generated icon: their first icon group is MAINICON with the icon file's images in its order.
TEST(Resources, ProgramsCarryTheIconFirst) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring folder(self);
  folder.erase(folder.find_last_of(L'\\'));
  const std::vector<TIconImage> expected = ReadIconFile(folder + L"\\assets\\voxaro.ico");
  ASSERT_EQ(expected.size(), 5u);
  for (const std::wstring& program :
       {std::wstring(self), folder + L"\\voxaro.exe", folder + L"\\cli\\voxaro-import.exe"}) {
    SCOPED_TRACE(std::string(program.begin(), program.end()));
    const std::vector<TIconGroup> groups = ReadIconGroups(program);
    ASSERT_FALSE(groups.empty()) << "no icon";
    EXPECT_EQ(groups.front().Name, "MAINICON");
    ASSERT_EQ(groups.front().Images.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const TIconImage& image = groups.front().Images[i];
      EXPECT_EQ(image.Width, expected[i].Width);
      EXPECT_EQ(image.BitCount, 32);
      EXPECT_TRUE(image.Bytes == expected[i].Bytes) << "image " << i << " differs from the file";
    }
  }
}

} // namespace

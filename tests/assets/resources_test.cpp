// The resources every Windows program of ours carries: version information, manifest and icon.
#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "tests/icons.h"

namespace {

std::wstring SelfPath() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::wstring(self, length);
}

// The folder of this test program, where the programs are built beside it.
std::wstring BuildFolder() {
  std::wstring folder = SelfPath();
  folder.erase(folder.find_last_of(L'\\'));
  return folder;
}

struct TVersionInfo {
  AnsiString ProductName, OriginalFilename, FileVersion, ProductVersion;
  AnsiString Fixed; // the fixed part's file version as four dotted numbers
};

TVersionInfo ReadVersionInfo(const std::wstring& Program) {
  TVersionInfo result;
  std::vector<char> info(GetFileVersionInfoSizeW(Program.c_str(), nullptr));
  if (info.empty() || !GetFileVersionInfoW(Program.c_str(), 0, DWORD(info.size()), info.data()))
    return result;
  const auto text = [&](const char* Name) {
    char* value = nullptr;
    UINT length = 0;
    const AnsiString key = AnsiString("\\StringFileInfo\\040704E4\\") + Name;
    return VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)
               ? AnsiString(value)
               : AnsiString("(none)");
  };
  result.ProductName = text("ProductName");
  result.OriginalFilename = text("OriginalFilename");
  result.FileVersion = text("FileVersion");
  result.ProductVersion = text("ProductVersion");
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
    result.Fixed =
        Format("%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
               HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  return result;
}

// Explorer's properties and an inventory tool read each program's own name and one version.
TEST(Resources, ProgramsCarryTheirOwnVersionInformation) {
  const std::wstring folder = BuildFolder();
  const struct {
    std::wstring Program;
    const char* FileName;
  } programs[] = {{SelfPath(), "voxaro.exe"},
                  {folder + L"\\voxaro.exe", "voxaro.exe"},
                  {folder + L"\\cli\\voxaro-import.exe", "voxaro-import.exe"}};
  const TVersionInfo self = ReadVersionInfo(SelfPath());
  ASSERT_FALSE(self.Fixed.empty()) << "no version information";
  for (const auto& program : programs) {
    SCOPED_TRACE(std::string(program.Program.begin(), program.Program.end()));
    const TVersionInfo info = ReadVersionInfo(program.Program);
    EXPECT_EQ(info.ProductName, "Voxaro");
    EXPECT_EQ(info.OriginalFilename, program.FileName);
    EXPECT_EQ(info.FileVersion, self.Fixed);
    EXPECT_EQ(info.ProductVersion, self.ProductVersion);
    EXPECT_EQ(info.Fixed, self.Fixed);
  }
}

TEST(Resources, Manifest) {
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
  const std::wstring self = SelfPath(), folder = BuildFolder();
  const std::vector<TIconImage> expected = ReadIconFile(folder + L"\\assets\\voxaro.ico");
  ASSERT_EQ(expected.size(), 5u);
  for (const std::wstring& program :
       {self, folder + L"\\voxaro.exe", folder + L"\\cli\\voxaro-import.exe"}) {
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

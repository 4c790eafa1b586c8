// The resources every Windows program of ours carries: version information and manifest.
#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <vector>

#include "base/exceptions.h"

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

} // namespace

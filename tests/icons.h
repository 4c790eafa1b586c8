#pragma once
// Icons as the shell and the window manager see them: the icon groups a program file carries, the
// images of an .ico file, and what a window shows as its icon, drawn into pixels. Shared by the
// unit tests and the installer package tests, so it uses nothing of the program's own code.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct TIconImage {
  int Width = 0; // 256 where the directory says 0
  int Height = 0;
  int BitCount = 0;
  std::string Bytes; // the image as stored: a bitmap or a PNG
};

struct TIconGroup {
  std::string Name; // "#n" for a numbered group
  std::vector<TIconImage> Images;
};

// The icon groups of a program file (32- or 64-bit) in resource order, the order in which the
// shell takes the first; empty when the file cannot be read as a program.
std::vector<TIconGroup> ReadIconGroups(const std::wstring& Program);
// The images of an .ico file in its order; empty when it is no icon file.
std::vector<TIconImage> ReadIconFile(const std::wstring& File);

// An icon drawn on black, top row first.
struct TIconPixels {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Pixels;
};
// Window's icon of that kind (ICON_BIG, ICON_SMALL) as WM_GETICON gives it; empty without one.
TIconPixels WindowIconPixels(HWND Window, WPARAM Kind);
// The icon resource Name of the running program at the size the system gives that kind.
TIconPixels ResourceIconPixels(const char* Name, WPARAM Kind);
// The system's generic program icon at that size.
TIconPixels GenericIconPixels(WPARAM Kind);

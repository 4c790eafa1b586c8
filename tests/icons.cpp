#include "tests/icons.h"

#include <fstream>
#include <iterator>

namespace {

#pragma pack(push, 1)
// The icon directory's entries: in a program's group the image is named by a resource number,
// in an .ico file it is found at an offset.
struct GroupEntry {
  BYTE Width;
  BYTE Height;
  BYTE Colors;
  BYTE Reserved;
  WORD Planes;
  WORD BitCount;
  DWORD Bytes;
  WORD Id;
};
struct FileEntry {
  BYTE Width;
  BYTE Height;
  BYTE Colors;
  BYTE Reserved;
  WORD Planes;
  WORD BitCount;
  DWORD Bytes;
  DWORD Offset;
};
#pragma pack(pop)

struct Directory {
  WORD Reserved;
  WORD Type;
  WORD Count;
};

std::string ResourceBytes(HMODULE Module, LPCWSTR Name, LPCWSTR Type) {
  const HRSRC found = FindResourceW(Module, Name, Type);
  if (!found) return {};
  const void* data = LockResource(LoadResource(Module, found));
  if (!data) return {};
  return std::string(static_cast<const char*>(data), SizeofResource(Module, found));
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR Name, LONG_PTR Param) {
  auto* names = reinterpret_cast<std::vector<std::wstring>*>(Param);
  names->push_back(IS_INTRESOURCE(Name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(Name))
                                        : std::wstring(Name));
  return TRUE;
}

std::string Narrow(const std::wstring& Text) {
  return std::string(Text.begin(), Text.end());
}

TIconPixels Draw(HICON Icon, int Width, int Height) {
  TIconPixels result;
  if (!Icon) return result;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = Width;
  info.bmiHeader.biHeight = -Height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const HDC screen = GetDC(nullptr);
  const HDC dc = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (dc && bitmap) {
    const HGDIOBJ old = SelectObject(dc, bitmap);
    // Drawn at its own size: the pixels are the image the window manager would show.
    if (DrawIconEx(dc, 0, 0, Icon, Width, Height, 0, nullptr, DI_NORMAL)) {
      GdiFlush();
      const auto* pixels = static_cast<const uint32_t*>(bits);
      result.Width = Width;
      result.Height = Height;
      result.Pixels.assign(pixels, pixels + Width * Height);
    }
    SelectObject(dc, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (dc) DeleteDC(dc);
  return result;
}

SIZE IconSize(HICON Icon) {
  ICONINFO info = {};
  SIZE size = {0, 0};
  if (!GetIconInfo(Icon, &info)) return size;
  BITMAP bitmap = {};
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
    size = {bitmap.bmWidth, bitmap.bmHeight};
  } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bitmap, &bitmap)) {
    // A monochrome icon: the mask holds both halves.
    size = {bitmap.bmWidth, bitmap.bmHeight / 2};
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return size;
}

SIZE SystemSize(WPARAM Kind) {
  if (Kind == ICON_BIG) return {GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
  return {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)};
}

} // namespace

std::vector<TIconGroup> ReadIconGroups(const std::wstring& Program) {
  std::vector<TIconGroup> groups;
  // As data: a 32-bit program is read from a 64-bit test as well.
  const HMODULE module = LoadLibraryExW(Program.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return groups;
  std::vector<std::wstring> names;
  EnumResourceNamesW(module, MAKEINTRESOURCEW(14), CollectName, reinterpret_cast<LONG_PTR>(&names));
  for (const std::wstring& name : names) {
    TIconGroup group;
    group.Name = Narrow(name);
    const bool numbered = name[0] == L'#';
    const LPCWSTR id = numbered ? MAKEINTRESOURCEW(std::stoi(name.substr(1))) : name.c_str();
    const std::string directory = ResourceBytes(module, id, MAKEINTRESOURCEW(14));
    if (directory.size() >= sizeof(Directory)) {
      const auto* head = reinterpret_cast<const Directory*>(directory.data());
      for (WORD i = 0; i < head->Count; ++i) {
        const size_t at = sizeof(Directory) + i * sizeof(GroupEntry);
        if (at + sizeof(GroupEntry) > directory.size()) break;
        const auto* entry = reinterpret_cast<const GroupEntry*>(directory.data() + at);
        TIconImage image;
        image.Width = entry->Width ? entry->Width : 256;
        image.Height = entry->Height ? entry->Height : 256;
        image.BitCount = entry->BitCount;
        image.Bytes = ResourceBytes(module, MAKEINTRESOURCEW(entry->Id), MAKEINTRESOURCEW(3));
        group.Images.push_back(image);
      }
    }
    groups.push_back(group);
  }
  FreeLibrary(module);
  return groups;
}

std::vector<TIconImage> ReadIconFile(const std::wstring& File) {
  std::vector<TIconImage> images;
  std::ifstream in(File.c_str(), std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() < sizeof(Directory)) return images;
  const auto* head = reinterpret_cast<const Directory*>(data.data());
  if (head->Reserved != 0 || head->Type != 1) return images;
  for (WORD i = 0; i < head->Count; ++i) {
    const size_t at = sizeof(Directory) + i * sizeof(FileEntry);
    if (at + sizeof(FileEntry) > data.size()) return {};
    const auto* entry = reinterpret_cast<const FileEntry*>(data.data() + at);
    if (entry->Offset > data.size() || entry->Bytes > data.size() - entry->Offset) return {};
    TIconImage image;
    image.Width = entry->Width ? entry->Width : 256;
    image.Height = entry->Height ? entry->Height : 256;
    image.BitCount = entry->BitCount;
    image.Bytes = data.substr(entry->Offset, entry->Bytes);
    images.push_back(image);
  }
  return images;
}

TIconPixels WindowIconPixels(HWND Window, WPARAM Kind) {
  const auto icon = reinterpret_cast<HICON>(SendMessageW(Window, WM_GETICON, Kind, 0));
  if (!icon) return {};
  const SIZE size = IconSize(icon);
  return Draw(icon, size.cx, size.cy);
}

TIconPixels ResourceIconPixels(const char* Name, WPARAM Kind) {
  const SIZE size = SystemSize(Kind);
  const auto icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleW(nullptr), Name, IMAGE_ICON, size.cx, size.cy, 0));
  TIconPixels pixels = Draw(icon, size.cx, size.cy);
  if (icon) DestroyIcon(icon);
  return pixels;
}

TIconPixels GenericIconPixels(WPARAM Kind) {
  const SIZE size = SystemSize(Kind);
  const auto icon = static_cast<HICON>(
      LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_ICON, size.cx, size.cy, LR_SHARED));
  return Draw(icon, size.cx, size.cy);
}

// Reads a window of another process the way a screen reader or a test driver does, through the
// UTF-16 messages: its class, its text (WM_GETTEXT) and, for a list box, its lines (LB_GETCOUNT,
// LB_GETTEXT). Writes them to a file as UTF-8, one per line.
//   voxaro_read_window WINDOW OUTFILE      WINDOW as a decimal number
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const std::wstring& Text) {
  if (Text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
}

std::wstring Buffer(LRESULT Length) {
  return std::wstring(static_cast<size_t>(Length) + 1, L'\0');
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const HWND window =
      reinterpret_cast<HWND>(static_cast<intptr_t>(std::strtoll(argv[1], nullptr, 10)));
  if (!IsWindow(window)) return 3;
  FILE* out = std::fopen(argv[2], "wb");
  if (!out) return 4;

  wchar_t className[256] = {};
  GetClassNameW(window, className, 256);
  std::string text = Utf8(className) + "\n";

  std::wstring caption = Buffer(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
  const LRESULT copied =
      SendMessageW(window, WM_GETTEXT, caption.size(), reinterpret_cast<LPARAM>(&caption[0]));
  caption.resize(static_cast<size_t>(copied));
  text += Utf8(caption) + "\n";

  if (std::wstring(className) == L"ListBox") {
    const LRESULT count = SendMessageW(window, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      std::wstring line = Buffer(SendMessageW(window, LB_GETTEXTLEN, i, 0));
      const LRESULT length =
          SendMessageW(window, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]));
      line.resize(length > 0 ? static_cast<size_t>(length) : 0);
      text += Utf8(line) + "\n";
    }
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && written ? 0 : 5;
}

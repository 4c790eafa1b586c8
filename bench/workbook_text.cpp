// voxaro_workbook_text FILE [--print]: the workbook reader alone on a file mapped as the import
// maps it, for its time and memory beside the import's. Prints the text's size, its lines and the
// reader's time (and with --print the text itself, instead, to standard output).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

#include "formats/workbook.h"
#include "support/mapped_file_stream.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--print") != 0)) {
    std::fprintf(stderr, "usage: voxaro_workbook_text FILE [--print]\n");
    return 2;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    TMappedFileStream file(argv[1]);
    const AnsiString text =
        WorkbookText(std::string_view(file.Memory(), static_cast<size_t>(file.GetSize())));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (argc == 3) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      return 0;
    }
    size_t lines = 0;
    for (size_t at = text.find("\r\n"); at != AnsiString::npos; at = text.find("\r\n", at + 2))
      ++lines;
    std::printf("%zu bytes, %zu CR LF, %.4f s\n", text.size(), lines, seconds);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

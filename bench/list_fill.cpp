// voxaro_list_fill LINES...: the list box's share of the window's time. For each count it fills
// the window's list box (TListBox, hidden) with that many phone-book lines, once as the import
// does (its storage reserved, redrawing off, the lines handed to the control in UTF-16) and once
// as a plain program would (LB_ADDSTRING with the ANSI text), and prints the seconds of each. The
// lines are made before the clock starts, so the figures are the control's and the hand-over's.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/form.h"
#include "framework/list_box.h"

namespace {

double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

std::vector<AnsiString> Lines(int Count) {
  std::vector<AnsiString> lines;
  lines.reserve(size_t(Count));
  char line[80];
  for (int i = 0; i < Count; ++i) {
    std::snprintf(line, sizeof line, "0%09d=J\xFCrgen M\xFCller Hans Peter GmbH %d", i * 7, i);
    lines.emplace_back(line);
  }
  return lines;
}

double FillAsTheImportDoes(TListBox& List, const std::vector<AnsiString>& Lines) {
  TStrings& items = List.Items();
  int64_t bytes = 0;
  for (const AnsiString& line : Lines)
    bytes += int64_t(line.size());
  const double start = Seconds();
  {
    TStringsUpdate update(items);
    items.Clear();
    items.SetCapacity(int(Lines.size()), bytes);
    for (const AnsiString& line : Lines)
      items.Add(line);
  }
  return Seconds() - start;
}

double FillPlainly(TListBox& List, const std::vector<AnsiString>& Lines) {
  SendMessageA(List.Handle(), LB_RESETCONTENT, 0, 0);
  const double start = Seconds();
  for (const AnsiString& line : Lines)
    SendMessageA(List.Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  return Seconds() - start;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: voxaro_list_fill LINES...\n");
    return 2;
  }
  TForm form("VoxaroListFill");
  TListBox list(&form);
  form.SetClientSize(600, 600);
  list.SetAlign(alClient);
  for (int i = 1; i < argc; ++i) {
    const int count = std::atoi(argv[i]);
    const std::vector<AnsiString> lines = Lines(count);
    const double imported = FillAsTheImportDoes(list, lines);
    const double plain = FillPlainly(list, lines);
    std::printf("%d %.3f %.3f\n", count, imported, plain);
    std::fflush(stdout);
  }
  return 0;
}

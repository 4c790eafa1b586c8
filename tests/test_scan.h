#pragma once
// Texts for comparing the scanners' block paths with their plain paths, and copies of them in
// heap blocks of exactly their size, so that the address sanitizer reports any read beyond.
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "base/system.h"
#include "support/scan_path.h"

// Every scan path this processor can take; the tests hold each to the plain one.
inline std::vector<TScanPath> TakeableScanPaths() {
  std::vector<TScanPath> paths;
  for (const TScanPath path : {TScanPath::Plain, TScanPath::Sse2, TScanPath::Ssse3})
    if (CanTakeScanPath(path)) paths.push_back(path);
  return paths;
}

// Plain runs of every length from 0 to three blocks and a bit, each followed by every ending, so
// that the stops and the end of the data fall at every offset around sixteen-byte block edges;
// then random texts over Alphabet, up to about six blocks long.
inline std::vector<AnsiString> ScanTexts(const std::vector<AnsiString>& Endings,
                                         const char* Alphabet, unsigned Seed) {
  std::vector<AnsiString> texts;
  for (size_t run = 0; run <= 50; ++run) {
    AnsiString plain(run, ' ');
    for (size_t i = 0; i < run; ++i)
      plain[i] = static_cast<char>('a' + i % 26);
    for (const AnsiString& ending : Endings)
      texts.push_back(plain + ending);
  }
  std::mt19937 random(Seed);
  const size_t letters = std::strlen(Alphabet);
  for (int i = 0; i < 1500; ++i) {
    AnsiString text(random() % 100, ' ');
    for (char& c : text)
      c = Alphabet[random() % letters];
    // A few byte 0s, which end the data wherever they stand.
    if (i % 50 == 0 && !text.empty()) text[random() % text.size()] = '\0';
    texts.push_back(text);
  }
  return texts;
}

// Text followed by Extra bytes (left to the caller), the whole in a block of its own.
inline std::unique_ptr<char[]> ExactCopy(const AnsiString& Text, size_t Extra = 0) {
  std::unique_ptr<char[]> copy(new char[Text.size() + Extra]);
  if (!Text.empty()) std::memcpy(copy.get(), Text.data(), Text.size());
  return copy;
}

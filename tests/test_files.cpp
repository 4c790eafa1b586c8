#include "tests/test_files.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TTempDir::TTempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "voxaro-test-" << std::hex << random() << "-" << counter++;
    if (fs::create_directory(base / name.str())) {
      FPath = base / name.str();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  fs::remove_all(FPath, ignored);
}

PathString TTempDir::Path() const {
  PathString path = FPath.u8string();
  const char delimiter = static_cast<char>(fs::path::preferred_separator);
  if (path.empty() || path.back() != delimiter) path += delimiter;
  return path;
}

PathString TTempDir::Write(const PathString& Name, const AnsiString& Bytes) const {
  const PathString name = FileName(Name);
  std::ofstream out(fs::u8path(name), std::ios::binary);
  out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + name);
  return name;
}

AnsiString ReadFileBytes(const PathString& FileName) {
  std::ifstream in(fs::u8path(FileName), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + FileName);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

AnsiString TestDataFile(const AnsiString& RelativeName) {
  AnsiString name = AnsiString(VOXARO_SAMPLES_DIR) + "/" + RelativeName;
#ifdef _WIN32
  // Wine shows the Unix root as drive Z:.
  for (char& c : name)
    if (c == '/') c = '\\';
  name = "Z:" + name;
#endif
  return name;
}

AnsiString MarkedUtf16(const std::u16string& Units, bool BigEndian) {
  AnsiString bytes = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : Units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += BigEndian ? high : low;
    bytes += BigEndian ? low : high;
  }
  return bytes;
}

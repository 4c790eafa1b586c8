// voxaro-import [--country CODE] [--raw] FILE: the window's import without the window. Writes
// the phone-book lines to standard output and the counts to standard error.
#include <cstdio>
#include <exception>
#include <new>
#include <vector>

#include "base/exceptions.h"
#include "cli/terminal.h"
#include "import/contact_import.h"
#include "import/found_text.h"
#include "import/phone_number.h"
#include "platform/platform.h"
#include "support/string_utils.h"
#include "support/utf8.h"

namespace {

const char Usage[] =
    "usage: voxaro-import [--country CODE] [--raw] FILE\n"
    "  FILE            the CSV, vCard or workbook (.xlsx, .ods) export to import; - reads\n"
    "                  standard input\n"
    "  --country CODE  the own country calling code (digits), default from the user's locale\n"
    "  --raw           the bytes the window copies: Windows-1252, CR LF after every line\n";

struct TOptions {
  PathString FileName;
  AnsiString CountryCode;
  bool Raw = false;
  bool Help = false;
};

// False with a reason in Error for a command line that does not fit the usage. Arguments[0] is
// the program.
bool ParseArguments(const std::vector<PathString>& Arguments, TOptions& Options,
                    AnsiString& Error) {
  bool haveFile = false;
  for (size_t i = 1; i < Arguments.size(); ++i) {
    const PathString& arg = Arguments[i];
    if (arg == "--help" || arg == "-h") {
      Options.Help = true;
    } else if (arg == "--raw") {
      Options.Raw = true;
    } else if (arg == "--country") {
      if (i + 1 >= Arguments.size() || !IsDigits(Arguments[i + 1])) {
        Error = "--country needs a calling code of digits";
        return false;
      }
      Options.CountryCode = Arguments[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      Error = "unknown option " + platform::PathToAnsi(arg);
      return false;
    } else if (haveFile) {
      Error = "only one FILE";
      return false;
    } else {
      Options.FileName = arg;
      haveFile = true;
    }
  }
  if (!haveFile && !Options.Help) {
    Error = "FILE is missing";
    return false;
  }
  return true;
}

// Standard input, read whole: the import then reads it where it lies.
AnsiString ReadStandardInput() {
  AnsiString bytes;
  char buffer[1 << 16];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
    bytes.append(buffer, n);
  if (std::ferror(stdin)) throw Exception("OSError");
  return bytes;
}

void WriteAll(const AnsiString& Bytes) {
  if (!Bytes.empty() && std::fwrite(Bytes.data(), 1, Bytes.size(), stdout) != Bytes.size())
    throw Exception("Schreibfehler");
}

// The import's target: each line goes to standard output as the dictionary hands it over, in
// pieces of about a megabyte, so the lines are never held as a list of their own. The import
// fills its target only after the whole file has been read, so an import error still leaves
// standard output empty. Lines once added cannot be read back or taken back.
class TOutputLines : public TStrings {
public:
  static constexpr size_t PieceSize = 1 << 20;

  explicit TOutputLines(bool Raw) : FRaw(Raw) { FPiece.reserve(2 * PieceSize); }

  int Count() const override { return FCount; }
  AnsiString Get(int Index) const override { RaiseIndexError(Index); }
  void Clear() override {
    if (FCount > 0)
      throw Exception("Ausgegebene Zeilen lassen sich nicht zur\xFC"
                      "cknehmen");
  }
  int Add(const AnsiString& S) override {
    AppendLine(S, FPiece);
    if (FPiece.size() >= PieceSize) {
      WriteAll(FPiece);
      FPiece.clear();
    }
    return FCount++;
  }
  // The output's bytes of a block, made where the block is made.
  void PrepareLines(TLineBlock& Block) const override {
    Block.Prepared.reserve(Block.Bytes.size() + Block.Bytes.size() / 8 + 2 * Block.Count());
    for (size_t i = 0; i < Block.Count(); ++i)
      AppendLine(Block.Line(i), Block.Prepared);
  }
  void AddLines(const TLineBlock& Block) override {
    // A block is large enough to be written as it is.
    WriteAll(FPiece);
    FPiece.clear();
    WriteAll(Block.Prepared);
    FCount += static_cast<int>(Block.Count());
  }

  void Flush() {
    WriteAll(FPiece);
    FPiece.clear();
    if (std::fflush(stdout) != 0) throw Exception("Schreibfehler");
  }

private:
  void AppendLine(std::string_view Line, AnsiString& Out) const {
    if (FRaw)
      Out.append(Line.data(), Line.size());
    else
      Out += AnsiToUtf8(AnsiString(Line));
    Out += FRaw ? "\r\n" : "\n";
  }

  bool FRaw;
  int FCount = 0;
  AnsiString FPiece;
};

int Run(const TOptions& Options) {
  TOutputLines lines(Options.Raw);
  TImportCounts counts;
  const AnsiString country = Options.CountryCode.empty() ? GetCountryCode() : Options.CountryCode;
  if (Options.FileName == "-")
    counts = ImportContactBytes(ReadStandardInput(), lines, country);
  else
    counts = ImportContacts(Options.FileName, lines, country);
  lines.Flush();
  const AnsiString summary = FoundText(counts, false);
  std::fprintf(stderr, "%s\n", ForTerminal(summary).c_str());
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  TOptions options;
  AnsiString error;
  // On Windows from the UTF-16 command line: argv would hold the names in the ANSI code page.
  if (!ParseArguments(platform::ProgramArguments(argc, argv), options, error)) {
    std::fprintf(stderr, "voxaro-import: %s\n%s", error.c_str(), Usage);
    return 2;
  }
  if (options.Help) {
    std::fputs(Usage, stdout);
    return 0;
  }
  AnsiString message;
  try {
    platform::UseBinaryStandardStreams();
    // Fully buffered whatever standard output is: a C runtime may write the rest of a large
    // write to an unbuffered device, such as /dev/null, a byte at a time.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    return Run(options);
  } catch (const Exception& e) {
    message = e.Message();
  } catch (const std::bad_alloc&) {
    message = "Zu wenig Arbeitsspeicher";
  } catch (const std::exception& e) {
    message = e.what();
  }
  std::fprintf(stderr, "%s\n", ForTerminal(MessageWithFullStop(message)).c_str());
  return 1;
}

#include "formats/dialect.h"

#include <algorithm>

#include "base/exceptions.h"

namespace {

// Count * 1.5 rounded to the nearest integer, halves to the even neighbour.
size_t QuoteThreshold(size_t Count) {
  const size_t whole = Count * 3 / 2;
  if (Count % 2 == 0) return whole;
  return whole % 2 == 0 ? whole : whole + 1;
}

class TPositionKeeper {
public:
  explicit TPositionKeeper(TStream& Stream) : FStream(Stream), FPosition(Stream.GetPosition()) {}
  ~TPositionKeeper() { FStream.SetPosition(FPosition); }

private:
  TStream& FStream;
  int64_t FPosition;
};

} // namespace

void DetectCSVOptions(const AnsiString& Text, TCSVOptions& Options) {
  Options.Delimiter = ',';
  Options.LineBreak = "\r\n";
  Options.Quote = "\"";

  const size_t n = std::min(CSVDetectionSampleSize, Text.size());
  size_t commas = 0, semicolons = 0, tabs = 0, quotes = 0, lfs = 0, crs = 0;
  bool crlf = false;
  for (size_t i = 0; i < n; ++i) {
    switch (Text[i]) {
    case ',':
      ++commas;
      break;
    case ';':
      ++semicolons;
      break;
    case '\t':
      ++tabs;
      break;
    case '"':
      ++quotes;
      break;
    case '\n':
      ++lfs;
      break;
    case '\r':
      ++crs;
      if (i + 1 < n && Text[i + 1] == '\n') crlf = true;
      break;
    default:
      break;
    }
  }

  // Running maximum in the order comma, semicolon, TAB: a tie goes to the earlier one.
  size_t most = commas;
  if (semicolons > most) {
    most = semicolons;
    Options.Delimiter = ';';
  }
  if (tabs > most) {
    most = tabs;
    Options.Delimiter = '\t';
  }

  if (quotes <= QuoteThreshold(most)) Options.Quote.clear();

  if (crlf)
    Options.LineBreak = "\r\n";
  else if (crs > 0)
    Options.LineBreak = "\r";
  else if (lfs > 0)
    Options.LineBreak = "\n";
}

void DetectCSVOptionsFromStream(TStream& Stream, TCSVOptions& Options) {
  TPositionKeeper keeper(Stream);
  AnsiString sample;
  try {
    Stream.SetPosition(0);
    const int64_t size = Stream.GetSize();
    sample.resize(static_cast<size_t>(std::clamp<int64_t>(size, 0, CSVDetectionSampleSize)));
    sample.resize(Stream.ReadAvailable(&sample[0], sample.size()));
  } catch (const Exception&) {
    sample.clear(); // an unreadable sample gives the defaults
  }
  const size_t nul = sample.find('\0');
  if (nul != AnsiString::npos) sample.resize(nul);
  DetectCSVOptions(sample, Options);
}

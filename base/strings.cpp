#include "base/strings.h"

#include "base/exceptions.h"

void TStrings::BeginUpdate() {
  if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::RaiseIndexError(int Index) {
  throw EListError(Format("Listenindex \xFC"
                          "berschreitet das Maximum (%d)",
                          Index));
}

void TStrings::AddLines(const TLineBlock& Block) {
  AnsiString line;
  for (size_t i = 0; i < Block.Count(); ++i) {
    line.assign(Block.Line(i));
    Add(line);
  }
}

AnsiString TStrings::GetText() const {
  AnsiString text;
  const int count = Count();
  for (int i = 0; i < count; ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(const AnsiString& Text) {
  TStringsUpdate scope(*this);
  Clear();
  const size_t n = Text.size();
  size_t start = 0;
  while (start < n) {
    size_t stop = Text.find_first_of("\r\n", start);
    if (stop == AnsiString::npos) stop = n;
    Add(Text.substr(start, stop - start));
    if (stop == n) break;
    const bool crlf = Text[stop] == '\r' && stop + 1 < n && Text[stop + 1] == '\n';
    start = stop + (crlf ? 2 : 1);
  }
}

AnsiString TStringList::Get(int Index) const {
  return (*this)[Index];
}

const AnsiString& TStringList::operator[](int Index) const {
  if (Index < 0 || Index >= Count()) RaiseIndexError(Index);
  return FItems[static_cast<size_t>(Index)];
}

int TStringList::Add(const AnsiString& S) {
  FItems.push_back(S);
  return Count() - 1;
}

#include "framework/strings.h"

#include "framework/exceptions.h"

void TStrings::BeginUpdate() {
  if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::RaiseIndexError(int Index) {
  throw EListError(Format("Listenindex \xFC" "berschreitet das Maximum (%d)", Index));
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

namespace {
// Keeps BeginUpdate/EndUpdate paired when Add raises.
class TUpdateScope {
public:
  explicit TUpdateScope(TStrings& List) : FList(List) { FList.BeginUpdate(); }
  ~TUpdateScope() { FList.EndUpdate(); }

private:
  TStrings& FList;
};
} // namespace

void TStrings::SetText(const AnsiString& Text) {
  TUpdateScope scope(*this);
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

void TStrings::AddStrings(const TStrings& Source) {
  TUpdateScope scope(*this);
  for (int i = 0; i < Source.Count(); ++i) Add(Source.Get(i));
}

AnsiString TStringList::Get(int Index) const { return (*this)[Index]; }

const AnsiString& TStringList::operator[](int Index) const {
  if (Index < 0 || Index >= Count()) RaiseIndexError(Index);
  return FItems[static_cast<size_t>(Index)];
}

int TStringList::Add(const AnsiString& S) {
  FItems.push_back(S);
  return Count() - 1;
}

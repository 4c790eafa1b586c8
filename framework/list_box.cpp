#include "framework/list_box.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/exceptions.h"

namespace {
// A guess at the bytes per line for LB_INITSTORAGE: a phone-book line is about this long.
constexpr int ExpectedLineBytes = 40;
// Wine's list box gives a reservation back at its next insertion and then grows its item array
// sixteen entries at a time, copying it whenever it outgrows its block: a fill that takes time
// with the square of its lines. A reservation that doubles the lines reserved so far keeps the
// array's block large enough, so that it is copied only a few times. Windows adds reservations
// up, so the steps reserve exactly the announced lines there too.
constexpr int MinReserveStep = 16384;
} // namespace

int TListBoxStrings::Count() const {
  if (!FListBox.Handle()) return 0;
  const LRESULT count = SendMessageA(FListBox.Handle(), LB_GETCOUNT, 0, 0);
  return count == LB_ERR ? 0 : static_cast<int>(count);
}

AnsiString TListBoxStrings::Get(int Index) const {
  if (Index < 0 || Index >= Count()) RaiseIndexError(Index);
  const HWND window = FListBox.Handle();
  const LRESULT length = SendMessageA(window, LB_GETTEXTLEN, static_cast<WPARAM>(Index), 0);
  if (length == LB_ERR) RaiseIndexError(Index);
  AnsiString text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT copied = SendMessageA(window, LB_GETTEXT, static_cast<WPARAM>(Index),
                                      reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
  return text;
}

void TListBoxStrings::Clear() {
  FUnreserved = FReserved = FUntilNextStep = 0;
  if (FListBox.Handle()) SendMessageA(FListBox.Handle(), LB_RESETCONTENT, 0, 0);
}

int TListBoxStrings::Added(LRESULT Index) {
  if (Index == LB_ERR || Index == LB_ERRSPACE)
    throw Exception("Zeile kann nicht in die Liste eingef\xFC"
                    "gt werden");
  if (FUntilNextStep > 0 && --FUntilNextStep == 0 && FUnreserved > 0) ReserveNextStep();
  return static_cast<int>(Index);
}

int TListBoxStrings::Add(const AnsiString& S) {
  return Added(FListBox.AddLine(S));
}

void TListBoxStrings::PrepareLines(TLineBlock& Block) const {
  Block.Prepared.reserve(2 * (Block.Bytes.size() + Block.Count()));
  Block.PreparedEnds.reserve(Block.Count());
  for (size_t i = 0; i < Block.Count(); ++i) {
    FListBox.AppendWide(Block.Line(i), Block.Prepared);
    Block.PreparedEnds.push_back(Block.Prepared.size());
  }
}

void TListBoxStrings::AddLines(const TLineBlock& Block) {
  size_t begin = 0;
  for (const size_t end : Block.PreparedEnds) {
    Added(FListBox.AddWideLine(reinterpret_cast<const wchar_t*>(Block.Prepared.data() + begin)));
    begin = end;
  }
}

void TListBoxStrings::SetCapacity(int NewCapacity, int64_t TextBytes) {
  FUnreserved = FReserved = FUntilNextStep = 0;
  if (NewCapacity <= 0 || !FListBox.Handle()) return;
  // The control keeps its lines in UTF-16, two bytes a character and a closing 0 each.
  const int64_t characters = TextBytes > 0 ? TextBytes + NewCapacity
                                           : static_cast<int64_t>(NewCapacity) * ExpectedLineBytes;
  FBytesPerLine = (2 * characters + NewCapacity - 1) / NewCapacity;
  FUnreserved = NewCapacity;
  ReserveNextStep();
}

void TListBoxStrings::ReserveNextStep() {
  const int lines = std::min(FUnreserved, std::max(MinReserveStep, FReserved));
  const int64_t bytes = std::min<int64_t>(FBytesPerLine * lines, INT32_MAX);
  // Only a hint: a refusal shows again, and is reported, at the Add that runs out of room.
  SendMessageA(FListBox.Handle(), LB_INITSTORAGE, static_cast<WPARAM>(lines),
               static_cast<LPARAM>(bytes));
  FUnreserved -= lines;
  FReserved += lines;
  FUntilNextStep = lines;
}

void TListBoxStrings::SetUpdateState(bool Updating) {
  const HWND window = FListBox.Handle();
  if (!window) return;
  SendMessageA(window, WM_SETREDRAW, Updating ? FALSE : TRUE, 0);
  if (!Updating) ::InvalidateRect(window, nullptr, TRUE);
}

TListBox::TListBox(TWindowedControl* Parent) : TWindowedControl(Parent), FItems(*this) {
  TCreateParams params;
  params.ClassName = "ListBox";
  params.Style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_CLIPSIBLINGS | LBS_NOTIFY |
                 LBS_NOINTEGRALHEIGHT;
  params.ExStyle = WS_EX_CLIENTEDGE;
  params.Left = params.Top = params.Width = params.Height = 0;
  params.Parent = Parent ? Parent->Handle() : nullptr;
  CreateSubclassedWindow(params);
  SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
  FWideClassProc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(Handle(), GCLP_WNDPROC));
  CPINFO info;
  FSingleByteCodePage = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
  for (int byte = 0; FSingleByteCodePage && byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    if (MultiByteToWideChar(CP_ACP, 0, &c, 1, &FWideOf[byte], 1) != 1) FSingleByteCodePage = false;
  }
}

void TListBox::AppendWide(std::string_view Line, AnsiString& Out) const {
  const size_t length = std::min(Line.size(), Line.find('\0'));
  const size_t start = Out.size();
  if (FSingleByteCodePage) {
    Out.resize(start + 2 * (length + 1));
    wchar_t* const wide = reinterpret_cast<wchar_t*>(&Out[start]);
    for (size_t i = 0; i < length; ++i)
      wide[i] = FWideOf[static_cast<unsigned char>(Line[i])];
    wide[length] = 0;
    return;
  }
  const int units = length == 0 ? 0
                                : MultiByteToWideChar(CP_ACP, 0, Line.data(),
                                                      static_cast<int>(length), nullptr, 0);
  Out.resize(start + 2 * (static_cast<size_t>(units) + 1));
  wchar_t* const wide = reinterpret_cast<wchar_t*>(&Out[start]);
  if (units > 0) MultiByteToWideChar(CP_ACP, 0, Line.data(), static_cast<int>(length), wide, units);
  wide[units] = 0;
}

LRESULT TListBox::AddLine(const AnsiString& S) {
  if (!Handle()) return LB_ERR;
  FWideLine.clear();
  AppendWide(S, FWideLine);
  return AddWideLine(reinterpret_cast<const wchar_t*>(FWideLine.data()));
}

LRESULT TListBox::AddWideLine(const wchar_t* Text) {
  if (!Handle()) return LB_ERR;
  const LPARAM text = reinterpret_cast<LPARAM>(Text);
  if (!FWideClassProc) return SendMessageW(Handle(), LB_ADDSTRING, 0, text);
  return CallWindowProcW(FWideClassProc, Handle(), LB_ADDSTRING, 0, text);
}

int TListBox::ItemHeight() const {
  const LRESULT height = Handle() ? SendMessageA(Handle(), LB_GETITEMHEIGHT, 0, 0) : LB_ERR;
  return height == LB_ERR ? 0 : static_cast<int>(height);
}

void TListBox::SetItemHeight(int Height) {
  FItemHeight = Height;
  if (Handle() && Height > 0) {
    SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(Height, 0));
    ::InvalidateRect(Handle(), nullptr, TRUE);
  }
}

int TListBox::ItemIndex() const {
  const LRESULT index = Handle() ? SendMessageA(Handle(), LB_GETCURSEL, 0, 0) : LB_ERR;
  return index == LB_ERR ? -1 : static_cast<int>(index);
}

void TListBox::FontChanged() {
  TWindowedControl::FontChanged();
  // A new font sets the item height back to the font's.
  if (FItemHeight > 0) SetItemHeight(FItemHeight);
}

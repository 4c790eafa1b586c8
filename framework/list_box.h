#pragma once
// A standard "ListBox" window, so that other programs can read its lines with LB_GETCOUNT and
// LB_GETTEXT: strings kept by the control, no owner drawing, no sorting. Items() writes straight
// into the control.
#include <string>
#include <string_view>

#include "base/strings.h"
#include "framework/control.h"

class TListBox;

class TListBoxStrings : public TStrings {
public:
  explicit TListBoxStrings(TListBox& ListBox) : FListBox(ListBox) {}
  int Count() const override;
  AnsiString Get(int Index) const override;
  void Clear() override;
  // Raises Exception when the control has no room left.
  int Add(const AnsiString& S) override;
  // Reserves the control's storage for the next NewCapacity lines, step by step as they come.
  void SetCapacity(int NewCapacity, int64_t TextBytes) override;
  // The lines in UTF-16, each closed by a 0, which the fill then hands to the control as they are.
  void PrepareLines(TLineBlock& Block) const override;
  void AddLines(const TLineBlock& Block) override;

protected:
  // Redrawing is off while an update is open.
  void SetUpdateState(bool Updating) override;

private:
  void ReserveNextStep();
  // Raises Exception for a line the control refused; takes the next reservation step when due.
  int Added(LRESULT Index);

  TListBox& FListBox;
  // The fill that SetCapacity announced: lines not yet reserved, lines reserved so far, lines to
  // add before the next step, and the UTF-16 bytes a line needs on average.
  int FUnreserved = 0;
  int FReserved = 0;
  int FUntilNextStep = 0;
  int64_t FBytesPerLine = 0;
};

class TListBox : public TWindowedControl {
public:
  explicit TListBox(TWindowedControl* Parent);
  ~TListBox() override { DestroyHandle(); }

  TStrings& Items() { return FItems; }
  const TStrings& Items() const { return FItems; }
  int ItemHeight() const;
  void SetItemHeight(int Height);
  // -1 when no line is selected.
  int ItemIndex() const;

  // Adds a line up to its first byte 0 and gives its index, LB_ERR or LB_ERRSPACE. The line goes
  // to the control's own procedure in UTF-16, the form the control keeps its lines in, so that
  // neither the message nor the line is converted on the way.
  LRESULT AddLine(const AnsiString& S);
  // The same for a line already in UTF-16, closed by a 0.
  LRESULT AddWideLine(const wchar_t* Text);
  // Appends Line up to its first byte 0 in UTF-16, and a closing 0, to Out as bytes. Any thread
  // may call it.
  void AppendWide(std::string_view Line, AnsiString& Out) const;

protected:
  void FontChanged() override;

private:
  TListBoxStrings FItems;
  WNDPROC FWideClassProc = nullptr;
  // The ANSI code page's bytes in UTF-16 where each byte is a character of its own.
  bool FSingleByteCodePage = false;
  wchar_t FWideOf[256] = {};
  AnsiString FWideLine; // a line's UTF-16 units, reused from line to line
  int FItemHeight = 0;  // 0: as the font gives it
};

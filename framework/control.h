#pragma once
// The control tree. TControl has a place in its parent: bounds, alignment, visibility, and the
// colour and font it takes from its parent unless it has its own. TWindowedControl owns a window;
// for windows of the program's own classes it also lays out its children by alignment, paints
// its non-windowed children on its surface and hands them the mouse. Every window offers its
// messages to its non-windowed children (TPaintedControl::ParentMessage), so that one of them can
// take the keyboard focus, keys and a screen reader's questions on the window's behalf.
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "base/geometry.h"
#include "framework/graphics.h"
#include "framework/window.h"

class TWindowedControl;
class TPaintedControl;

// Docking inside the parent: the parent's client area is handed out in the order the children
// were added, first to the edge-docked ones, then what is left to alClient.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TShiftState = unsigned;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;
constexpr TShiftState ssLeft = 8;
constexpr TShiftState ssRight = 16;
constexpr TShiftState ssMiddle = 32;

// Shift, Ctrl and Alt as the keyboard state of this thread has them now.
TShiftState KeyboardShiftState();

enum TCursor { crDefault, crHandPoint };

class TControl;
using TNotifyEvent = std::function<void(TControl* Sender)>;
using TKeyEvent = std::function<void(TControl* Sender, WORD& Key, TShiftState Shift)>;
using TMouseEvent =
    std::function<void(TControl* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

class TControl {
public:
  // Joins Parent's children at the end; Parent may be null only for forms.
  explicit TControl(TWindowedControl* Parent);
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;
  virtual ~TControl();

  TWindowedControl* Parent() const { return FParent; }

  int Left() const { return FBounds.Left; }
  int Top() const { return FBounds.Top; }
  int Width() const { return FBounds.Width(); }
  int Height() const { return FBounds.Height(); }
  // In the parent's client coordinates; a form's in screen coordinates.
  const TRect& BoundsRect() const { return FBounds; }
  void SetBounds(int Left, int Top, int Width, int Height);
  void SetWidth(int Width) { SetBounds(Left(), Top(), Width, Height()); }
  void SetHeight(int Height) { SetBounds(Left(), Top(), Width(), Height); }

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Align);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Visible);

  // The own colour, or with none set the parent's.
  TColor Color() const;
  void SetColor(TColor Color);
  // The own font, or with none set the parent's (the form's).
  const TFont& Font() const;
  void SetFont(const TFont& Font);

protected:
  // The bounds have changed to BoundsRect(); Old is where the control was.
  virtual void BoundsChanged(const TRect& Old) = 0;
  virtual void VisibleChanged() {}
  virtual void FontChanged() {}
  virtual void ColorChanged() {}
  // Records bounds the system has already applied, without acting on them again.
  void StoreBounds(const TRect& Bounds) { FBounds = Bounds; }

private:
  friend class TWindowedControl; // passes font and colour changes down the tree
  TWindowedControl* FParent;
  TRect FBounds;
  TAlign FAlign = alNone;
  bool FVisible = true;
  bool FHasColor = false;
  TColor FColor = clBtnFace;
  std::unique_ptr<TFont> FFont;
};

class TWindowedControl : public TControl, public TWindow {
public:
  explicit TWindowedControl(TWindowedControl* Parent) : TControl(Parent) {}
  ~TWindowedControl() override;

  AnsiString Text() const;
  void SetText(const AnsiString& Text);

  // (0, 0, client width, client height).
  TRect ClientRect() const;
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }

  // Places the aligned children anew.
  void Realign();
  void Invalidate();
  void InvalidateRect(const TRect& Rect);
  void SetFocus();
  // The window has the keyboard focus.
  bool Focused() const;
  // Tab and Shift+Tab stop at the window (WS_TABSTOP; child windows only). A window that stops
  // being a tab stop while it has the focus, or is its form's active control, hands that on to
  // the next tab stop.
  bool TabStop() const;
  void SetTabStop(bool TabStop);

  const std::vector<TControl*>& Controls() const { return FControls; }
  // The topmost visible non-windowed child at a client point, or null.
  TPaintedControl* PaintedControlAt(int X, int Y) const;
  // Shows the cursor of the painted child under the mouse now, not only at the next movement.
  void UpdateCursor();

  // Key presses that reach this window; setting Key to 0 keeps them from the window itself.
  TKeyEvent OnKeyDown;

protected:
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;
  void BoundsChanged(const TRect& Old) override;
  void VisibleChanged() override;
  void FontChanged() override;
  void ColorChanged() override;
  void HandleDestroyed() override;
  // Called after WM_SIZE has realigned the children.
  virtual void Resized() {}
  // Own-class windows: the client area is filled with Color, then the painted children.
  virtual void PaintWindow(HDC DC, const RECT& Update);
  virtual void KeyDown(WORD& Key, TShiftState Shift);
  // Control, this window or one inside it, has taken the keyboard focus, or has left the tab
  // order; passed up to the form, which keeps track of its active control.
  virtual void DescendantFocused(TWindowedControl* Control);
  virtual void DescendantLeftTabOrder(TWindowedControl* Control);

private:
  friend class TControl;
  void InsertControl(TControl* Control);
  void RemoveControl(TControl* Control);
  void ReadBoundsFromWindow();
  void PaintControls(HDC DC, const RECT& Update);
  // Mouse messages for the painted children; true when the message was one of those.
  bool HandleMouse(UINT Msg, WPARAM WParam, LPARAM LParam);
  // True when a painted child has answered the message with Result.
  bool OfferToPaintedControls(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result);
  void SetMouseControl(TPaintedControl* Control);
  bool SetPaintedCursor();

  std::vector<TControl*> FControls;
  bool FAligning = false;
  bool FApplyingBounds = false;
  bool FTrackingLeave = false;
  TPaintedControl* FMouseControl = nullptr;
  TPaintedControl* FCaptureControl = nullptr;
};

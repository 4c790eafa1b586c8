#include "framework/painted_control.h"

TPaintedControl::TPaintedControl(TWindowedControl* Parent) : TControl(Parent) {}

void TPaintedControl::SetCursor(TCursor Cursor) {
  if (FCursor == Cursor) return;
  FCursor = Cursor;
  if (Parent()) Parent()->UpdateCursor();
}

void TPaintedControl::Invalidate() {
  if (Parent()) Parent()->InvalidateRect(BoundsRect());
}

void TPaintedControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TPaintedControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TPaintedControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

void TPaintedControl::BoundsChanged(const TRect& Old) {
  if (!Parent()) return;
  Parent()->InvalidateRect(Old);
  Parent()->InvalidateRect(BoundsRect());
}

#pragma once
// A control without a window of its own: it paints on its parent's surface, and its parent
// hands it the mouse input that falls on it (hit-tested against its bounds), shows its cursor and
// tells it when the mouse enters and leaves. It sees the parent window's other messages too.
#include <windows.h>

#include "framework/control.h"

class TPaintedControl : public TControl {
public:
  explicit TPaintedControl(TWindowedControl* Parent);

  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Cursor);
  void Invalidate();

  TMouseEvent OnMouseDown;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  // Called by the parent. Paint gets a DC whose origin is the control's top-left corner, clipped
  // to the control; mouse coordinates are the control's client coordinates.
  virtual void Paint(HDC /*DC*/) {}
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {}
  virtual void MouseMove(TShiftState /*Shift*/, int /*X*/, int /*Y*/) {}
  virtual void MouseEnter();
  virtual void MouseLeave();
  // A message of the parent window, offered after the parent's own handling of it (its key
  // events among them) and before the default one, the mouse's excepted. True when the message is
  // answered with Result: the default handling and the children after this one do not see it.
  virtual bool ParentMessage(UINT /*Msg*/, WPARAM /*WParam*/, LPARAM /*LParam*/,
                             LRESULT& /*Result*/) {
    return false;
  }

protected:
  void BoundsChanged(const TRect& Old) override;
  void VisibleChanged() override { Invalidate(); }
  void FontChanged() override { Invalidate(); }
  void ColorChanged() override { Invalidate(); }

private:
  TCursor FCursor = crDefault;
};

#pragma once
// A plain container window of class "TPanel": no bevel, filled with its colour, holding aligned
// children. Its window text is not drawn; it is there for whoever reads the window from outside.
#include "framework/control.h"

class TPanel : public TWindowedControl {
public:
  explicit TPanel(TWindowedControl* Parent);
  ~TPanel() override { DestroyHandle(); }
};

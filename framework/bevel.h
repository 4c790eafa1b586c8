#pragma once
// The invisible spacer: it takes its place in the parent's alignment and paints nothing, so the
// controls beside it keep a margin.
#include "framework/painted_control.h"

class TBevel : public TPaintedControl {
public:
  using TPaintedControl::TPaintedControl;
};

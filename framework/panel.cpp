#include "framework/panel.h"

TPanel::TPanel(TWindowedControl* Parent) : TWindowedControl(Parent) {
  TCreateParams params;
  params.ClassName = "TPanel";
  params.Style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.Left = params.Top = params.Width = params.Height = 0;
  params.Parent = Parent ? Parent->Handle() : nullptr;
  CreateOwnWindow(params);
}

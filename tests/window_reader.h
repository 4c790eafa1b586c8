#pragma once
// Reads a window of this process from another one, as the end-to-end driver and screen readers
// do (voxaro_read_window): "class LF text LF", then a list box's lines, each followed by LF, all
// in UTF-8. The messages the helper sends are served while it runs.
#include <windows.h>

#include "base/system.h"

AnsiString ReadFromAnotherProcess(HWND Window);

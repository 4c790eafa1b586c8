#pragma once
// The clipboard as the window uses it: its plain text, read and replaced, and the file list a
// file manager puts there when files are copied.
#include <windows.h>

#include <ole2.h>

#include "base/strings.h"
#include "base/system.h"

// The clipboard's text in the ANSI code page; empty when it holds none.
AnsiString ClipboardText();
// Replaces the clipboard's content by Text, offered as ANSI and as UTF-16 text so that every
// program reads the same characters. Owner becomes the clipboard's owner (a window of ours).
void SetClipboardText(HWND Owner, const AnsiString& Text);
// The names of the clipboard's file list (through its data object), converted to ANSI, in
// order; empty when there is no data object or no file list.
void ClipboardFiles(TStrings& Files);
// The names of a data object's file list (the shell's drop format), converted to ANSI, in
// order; none when it holds no such list.
void ReadFileNames(IDataObject* Data, TStrings& Files);

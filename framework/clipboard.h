#pragma once
// The clipboard as the window uses it: its plain text, read and replaced, and the file list a
// file manager puts there when files are copied.
#include <windows.h>

#include <ole2.h>

#include "base/strings.h"
#include "base/system.h"

// The clipboard's text in the ANSI code page; empty when it holds none.
AnsiString ClipboardText();
// The clipboard's text as UTF-16 where it holds that (from a program of today, or made by the
// system from ANSI text), else its ANSI text converted; empty when it holds none.
WideString ClipboardUnicodeText();
// Replaces the clipboard's content by Text, offered as ANSI and as UTF-16 text so that every
// program reads the same characters. Owner becomes the clipboard's owner (a window of ours).
void SetClipboardText(HWND Owner, const AnsiString& Text);
// The names of the clipboard's file list (through its data object), as paths, in order; empty
// when there is no data object or no file list.
void ClipboardFiles(TStrings& Files);
// The names of a data object's file list (the shell's drop format), as paths, in order; none
// when it holds no such list.
void ReadFileNames(IDataObject* Data, TStrings& Files);

#pragma once
// The main window: the status label at the top, the result list below it. It imports the file
// named on the command line when it is first shown. Tab and Shift+Tab move the focus between the
// list and the status line's link while it shows one.
#include <windows.h>

#include "background/async_drop.h"
#include "controls/drop_file_target.h"
#include "controls/html_label.h"
#include "controls/wave.h"
#include "framework/bevel.h"
#include "framework/form.h"
#include "framework/list_box.h"
#include "framework/panel.h"

// The status texts (markup). The counts text is StatusTextCounted with both counts filled in.
extern const AnsiString StatusTextStart;
extern const AnsiString StatusTextCopied;
AnsiString StatusTextCounted(int32_t Names, int32_t Numbers);

// Makes Window the foreground window, also while another program's window is active: the
// foreground window's thread input is attached to ours for the call.
void BringToForeground(HWND Window);

// The first name of the clipboard's file list (a file copied in the file manager), or empty.
PathString GetClipboardFile();

class TMainFrm : public TForm {
public:
  TMainFrm();
  ~TMainFrm() override;

  // Imports FileName into LB and shows the counts; errors go on to the caller, and then the list
  // and the status text stay as they were.
  void ImportCSV(const PathString& FileName);
  // The status after all lines were copied.
  void ShowCopiedStatus();

  void FormCreate(TControl* Sender);
  void FormShow(TControl* Sender);
  void FormResize(TControl* Sender);
  // Ctrl+V: a pasted path, a copied file, or the pasted text as a table.
  void FormKeyDown(TControl* Sender, WORD& Key, TShiftState Shift);
  void DropFileTarget1Drop(TDropFileTarget& Sender, int32_t& Effect);
  // The drop hand-off's callback, on the main thread.
  void ImportFirstDropped(const AnsiString& Context, TStrings& Files);
  // The copy link: all lines to the clipboard.
  void HLAnchorClick(THTMLabel* Sender, const AnsiString& Anchor);
  // Enter or Ctrl+C: the selected line to the clipboard.
  void LBKeyDown(TControl* Sender, WORD& Key, TShiftState Shift);

  TPanel Panel1;
  THTMLabel HL;
  TPanel Panel2;
  TBevel Bevel1;
  TBevel Bevel2;
  TBevel Bevel3;
  TBevel Bevel4;
  TListBox LB;
  TDropFileTarget DropFileTarget1;
  TWave WaveHangup;

private:
  void PasteFromClipboard();
  // The caption shows FileName as it is.
  void ShowFileName(const PathString& FileName);
  // Shows and imports FileName when it is an existing file; false otherwise.
  bool ImportIfFile(const PathString& FileName);
};

extern TMainFrm* MainFrm;

#include "app/main_form.h"

#include "app/pasted_path.h"
#include "framework/application.h"
#include "framework/clipboard.h"
#include "framework/command_line.h"
#include "import/contact_import.h"
#include "import/found_text.h"
#include "support/file_utils.h"
#include "support/string_utils.h"

TMainFrm* MainFrm = nullptr;

namespace {
// Every status text begins with these.
const char* const Instructions =
    "Eine beliebige CSV Datei auf dieses Fenster <b>ziehen</b>, oder mit <b>Strg+V</b> eine Datei "
    "oder einen Inhalt einf\xFC"
    "gen.";
} // namespace

const AnsiString StatusTextStart = Instructions;
const AnsiString StatusTextCopied =
    AnsiString(Instructions) +
    "  Sie k\xF6nnen die Daten jetzt in das \"<b>Eigene Telefonbuch</b>\" einf\xFC"
    "gen. Dort "
    "<b>Strg+V</b> oder <b>rechte Maustaste \"Einf\xFC"
    "gen\"</b>.";

AnsiString StatusTextCounted(int32_t Names, int32_t Numbers) {
  return AnsiString(Instructions) + "  <A href=\"x\">Kopieren des Inhaltes</A>  " +
         FoundText({Names, Numbers}, true);
}

void BringToForeground(HWND Window) {
  const HWND foreground = GetForegroundWindow();
  const DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
  const DWORD currentThread = GetCurrentThreadId();
  // Results ignored: without a foreground window, or when it is ours, there is nothing to attach.
  AttachThreadInput(foregroundThread, currentThread, TRUE);
  SetForegroundWindow(Window);
  AttachThreadInput(foregroundThread, currentThread, FALSE);
}

TMainFrm::TMainFrm()
    : TForm("TMainFrm"), Panel1(this), HL(&Panel1), Panel2(this), Bevel1(&Panel2), Bevel2(&Panel2),
      Bevel3(&Panel2), Bevel4(&Panel2), LB(&Panel2) {
  SetCaption(u"Voxaro");
  SetBorderStyle(bsSizeable);
  SetBorderIcons(biSystemMenu);
  SetColor(clWhite);
  TFont font;
  font.SetName("Tahoma");
  font.SetHeight(-12);
  font.SetCharset(ANSI_CHARSET);
  font.SetColor(clWindowText);
  SetFont(font);
  SetClientSize(624, 644);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);

  Panel1.SetHeight(41);
  Panel1.SetAlign(alTop);

  HL.SetAlign(alTop);
  HL.SetAutoSizing(true);
  HL.SetAutoSizeType(asBoth);
  HL.SetBorderWidth(6);
  HL.SetVAlignment(tvaTop);
  HL.SetURLColor(clBlue);

  Panel2.SetAlign(alClient);
  Bevel1.SetWidth(9);
  Bevel1.SetAlign(alLeft);
  Bevel2.SetWidth(9);
  Bevel2.SetAlign(alRight);
  Bevel3.SetHeight(9);
  Bevel3.SetAlign(alBottom);
  Bevel4.SetHeight(9);
  Bevel4.SetAlign(alTop);
  LB.SetAlign(alClient);
  LB.SetItemHeight(14);
  SetActiveControl(&LB);

  ReadWaveResource(WaveHangup.WaveData(), "WAVEHANGUP");

  OnCreate = [this](TControl* Sender) { FormCreate(Sender); };
  OnKeyDown = [this](TControl* Sender, WORD& Key, TShiftState Shift) {
    FormKeyDown(Sender, Key, Shift);
  };
  DropFileTarget1.OnDrop = [this](TDropFileTarget& Sender, int32_t& Effect) {
    DropFileTarget1Drop(Sender, Effect);
  };
  HL.OnAnchorClick = [this](THTMLabel* Sender, const AnsiString& Anchor) {
    HLAnchorClick(Sender, Anchor);
  };
  LB.OnKeyDown = [this](TControl* Sender, WORD& Key, TShiftState Shift) {
    LBKeyDown(Sender, Key, Shift);
  };
  OnShow = [this](TControl* Sender) { FormShow(Sender); };
  OnResize = [this](TControl* Sender) { FormResize(Sender); };
}

void TMainFrm::FormCreate(TControl* /*Sender*/) {
  HL.SetHTMLText(StatusTextStart);
}

TMainFrm::~TMainFrm() {
  // First no new drop, which would start a new pool for a window that is going; then no drop
  // may call back into it, and waiting jobs are freed unrun.
  DropFileTarget1.Unregister();
  ShutdownASyncDrop();
}

void TMainFrm::FormShow(TControl* /*Sender*/) {
  DropFileTarget1.Register(LB.Handle());
  try {
    const PathString fileName = ParamStr(1);
    if (FileExists(fileName)) {
      ImportCSV(fileName);
      ShowFileName(fileName);
    }
  } catch (...) {
    // The window opens as it is, and does not push itself to the front over the error box.
    Application.HandleException();
    return;
  }
  BringToForeground(Handle());
}

void TMainFrm::FormResize(TControl* /*Sender*/) {
  HL.Remeasure();
  Panel1.SetHeight(HL.Height());
}

void TMainFrm::ImportCSV(const PathString& FileName) {
  const TImportCounts counts = ImportContacts(FileName, LB.Items());
  HL.SetHTMLText(StatusTextCounted(counts.Names, counts.Numbers));
  FormResize(this);
}

void TMainFrm::ShowCopiedStatus() {
  HL.SetHTMLText(StatusTextCopied);
  FormResize(this);
}

void TMainFrm::ShowFileName(const PathString& FileName) {
  SetCaption(platform::PathToWide(FileName));
}

PathString GetClipboardFile() {
  TStringList files;
  ClipboardFiles(files);
  return files.Count() > 0 ? files[0] : PathString();
}

void TMainFrm::FormKeyDown(TControl* /*Sender*/, WORD& Key, TShiftState Shift) {
  if (Key != 86 || (Shift & (ssCtrl | ssShift | ssAlt)) != ssCtrl) return;
  PasteFromClipboard();
}

bool TMainFrm::ImportIfFile(const PathString& FileName) {
  if (!FileExists(FileName)) return false;
  ShowFileName(FileName);
  ImportCSV(FileName);
  return true;
}

void TMainFrm::PasteFromClipboard() {
  // A path is read from the text in UTF-16, so that it keeps every letter of the file's name.
  for (const PathString& name : PastedFileCandidates(ClipboardUnicodeText()))
    if (ImportIfFile(name)) return;
  if (ImportIfFile(GetClipboardFile())) return;
  TStringList lines;
  lines.SetText(ClipboardText());
  const PathString pasted = GetWorkFolder("") + "clp.csv";
  // The copy holds what the user pasted, often personal data: it goes on every path.
  struct TRemoveAtEnd {
    const PathString& FileName;
    ~TRemoveAtEnd() { DeleteFileIfExists(FileName); }
  } removeAtEnd{pasted};
  SaveStringsToFile(lines, pasted);
  ImportCSV(pasted);
  SetCaption(u"Zwischenablage");
}

void TMainFrm::DropFileTarget1Drop(TDropFileTarget& Sender, int32_t& Effect) {
  const TStringList& files = Sender.Files();
  if (files.Count() == 0) return;
  AnsiString text = files.GetText();
  // The names are joined with CR LF, with no line break after the last.
  text.resize(text.size() - 2);
  ASyncDrop(Effect, "", text, [this](const AnsiString& Context, TStrings& Files) {
    ImportFirstDropped(Context, Files);
  });
  ShowFileName(files[0]);
}

void TMainFrm::ImportFirstDropped(const AnsiString& /*Context*/, TStrings& Files) {
  if (Files.Count() > 0) ImportCSV(Files.Get(0));
}

void TMainFrm::HLAnchorClick(THTMLabel* /*Sender*/, const AnsiString& /*Anchor*/) {
  SetClipboardText(Handle(), LB.Items().GetText());
  WaveHangup.Play();
  ShowCopiedStatus();
}

void TMainFrm::LBKeyDown(TControl* /*Sender*/, WORD& Key, TShiftState Shift) {
  // Ctrl+C as every list copies, beside the program's own Enter.
  const bool copy = Key == 'C' && (Shift & (ssCtrl | ssShift | ssAlt)) == ssCtrl;
  if (Key != VK_RETURN && !copy) return;
  const int index = LB.ItemIndex();
  if (index < 0) return;
  SetClipboardText(Handle(), LB.Items().Get(index));
  WaveHangup.Play();
}

#include "app/main_form.h"

#include "app/contact_import.h"
#include "framework/application.h"
#include "framework/command_line.h"
#include "support/file_utils.h"
#include "support/string_utils.h"

TMainFrm* MainFrm = nullptr;

namespace {
// Every status text begins with these.
const char* const Instructions =
    "Eine beliebige CSV Datei auf dieses Fenster <b>ziehen</b>, oder mit <b>Strg+V</b> eine Datei "
    "oder einen Inhalt einf\xFC" "gen.";
} // namespace

const AnsiString StatusTextStart = Instructions;
const AnsiString StatusTextCopied =
    AnsiString(Instructions) +
    "  Sie k\xF6nnen die Daten jetzt in das \"<b>Eigene Telefonbuch</b>\" einf\xFC" "gen. Dort "
    "<b>Strg+V</b> oder <b>rechte Maustaste \"Einf\xFC" "gen\"</b>.";

AnsiString StatusTextCounted(int32_t Names, int32_t Numbers) {
  return AnsiString(Instructions) + "  <A href=\"x\">Kopieren des Inhaltes</A>  <b>" +
         FormatCount(Names) + "</b> Namen <b>" + FormatCount(Numbers) + "</b> Nummern gefunden.";
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
    : TForm("TMainFrm"), Panel1(this), HL(&Panel1), Panel2(this), Bevel1(&Panel2),
      Bevel2(&Panel2), Bevel3(&Panel2), Bevel4(&Panel2), LB(&Panel2) {
  SetCaption("Voxaro");
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

  OnCreate = [this](TControl* Sender) { FormCreate(Sender); };
  OnShow = [this](TControl* Sender) { FormShow(Sender); };
  OnResize = [this](TControl* Sender) { FormResize(Sender); };
}

void TMainFrm::FormCreate(TControl* /*Sender*/) { HL.SetHTMLText(StatusTextStart); }

void TMainFrm::RegisterDropTarget() {
  // The drop target over LB is wired in with the drop hand-off.
}

void TMainFrm::FormShow(TControl* /*Sender*/) {
  RegisterDropTarget();
  try {
    const AnsiString fileName = ParamStr(1);
    if (FileExists(fileName)) {
      ImportCSV(fileName);
      SetCaption(fileName);
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

void TMainFrm::ImportCSV(const AnsiString& FileName) {
  const TImportCounts counts = ImportContacts(FileName, LB.Items());
  HL.SetHTMLText(StatusTextCounted(counts.Names, counts.Numbers));
  FormResize(this);
}

void TMainFrm::ShowCopiedStatus() {
  HL.SetHTMLText(StatusTextCopied);
  FormResize(this);
}

#include "app/main_form.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "base/exceptions.h"
#include "framework/application.h"
#include "framework/clipboard.h"
#include "framework/win_owners.h"
#include "framework/window.h"
#include "tests/icons.h"
#include "tests/test_files.h"

namespace {

const AnsiString Instructions =
    "Eine beliebige CSV Datei auf dieses Fenster ziehen, oder mit Strg+V eine Datei oder einen "
    "Inhalt einf\xFC"
    "gen.";

const AnsiString Contacts = "Vorname;Nachname;Telefon;Fax\r\n"
                            "Anna;Muster;+49 30 1234567;\r\n"
                            "J\xF6rg;M\xFCller;089 555 012;089 555 012\r\n";

BOOL CALLBACK CollectWindow(HWND Child, LPARAM List) {
  reinterpret_cast<std::vector<HWND>*>(List)->push_back(Child);
  return TRUE;
}

class MainFormTest : public testing::Test {
protected:
  MainFormTest() {
    // An error box would wait for a click that never comes.
    Application.OnException = [](const AnsiString& Message) { ADD_FAILURE() << Message; };
    Form.DoCreate();
  }
  ~MainFormTest() override { Application.OnException = nullptr; }

  std::vector<AnsiString> Lines() const {
    std::vector<AnsiString> lines;
    for (int i = 0; i < Form.LB.Items().Count(); ++i)
      lines.push_back(Form.LB.Items().Get(i));
    return lines;
  }

  // The layout every size must keep: the panel fits the label, the list keeps 9-pixel margins.
  void ExpectLayout() const {
    EXPECT_EQ(Form.HL.Height(), Form.HL.CurrentLayout().ContentHeight + 6);
    EXPECT_EQ(Form.Panel1.BoundsRect(), (TRect{0, 0, Form.ClientWidth(), Form.HL.Height()}));
    EXPECT_EQ(Form.HL.BoundsRect(), (TRect{0, 0, Form.ClientWidth(), Form.HL.Height()}));
    EXPECT_EQ(Form.Panel2.BoundsRect(),
              (TRect{0, Form.HL.Height(), Form.ClientWidth(), Form.ClientHeight()}));
    EXPECT_EQ(Form.LB.BoundsRect(),
              (TRect{9, 9, Form.Panel2.Width() - 9, Form.Panel2.Height() - 9}));
  }

  // The form registers its drop target with OLE when it is shown, as the program does.
  TOleInitialization Ole;
  TTempDir Dir;
  TMainFrm Form;
};

TEST_F(MainFormTest, WindowAsDesigned) {
  Form.FormResize(&Form);
  EXPECT_EQ(Form.Caption(), u"Voxaro");
  EXPECT_EQ(Form.ClientWidth(), 624);
  EXPECT_EQ(Form.ClientHeight(), 644);
  char className[32] = {};
  GetClassNameA(Form.Handle(), className, sizeof className);
  EXPECT_STREQ(className, "TMainFrm");
  const LONG style = GetWindowLongA(Form.Handle(), GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_HSCROLL |
                     WS_VSCROLL),
            WS_THICKFRAME | WS_SYSMENU);
  EXPECT_EQ(Form.Color(), clWhite);
  EXPECT_EQ(Form.Panel1.Color(), clWhite);
  EXPECT_EQ(Form.Font().Name(), "Tahoma");
  EXPECT_EQ(Form.Font().Height(), -12);
  EXPECT_EQ(Form.Font().Charset(), ANSI_CHARSET);
  EXPECT_EQ(Form.LB.ItemHeight(), 14);
  EXPECT_EQ(Form.ActiveControl(), &Form.LB);
  EXPECT_EQ(Form.Panel1.Text(), Instructions);
  EXPECT_GT(Form.HL.Height(), 6);
  // The label's plain look: no frame, wrapping, no hover.
  EXPECT_EQ(Form.HL.BorderStyle(), TBorderStyle::None);
  EXPECT_EQ(Form.HL.BevelOuter(), bvNone);
  EXPECT_EQ(Form.HL.BevelInner(), bvNone);
  EXPECT_EQ(Form.HL.BevelWidth(), 1);
  EXPECT_FALSE(Form.HL.Ellipsis());
  EXPECT_FALSE(Form.HL.Hover());
  EXPECT_EQ(Form.HL.HoverColor(), clNone);
  EXPECT_EQ(Form.HL.HoverFontColor(), clNone);
  ExpectLayout();
}

TEST_F(MainFormTest, TitleBarShowsTheProgramIconInBothSizes) {
  for (const WPARAM kind : {ICON_BIG, ICON_SMALL}) {
    SCOPED_TRACE(kind == ICON_BIG ? "large" : "small");
    const TIconPixels program = ResourceIconPixels(ProgramIconName, kind);
    ASSERT_FALSE(program.Pixels.empty());
    const TIconPixels shown = WindowIconPixels(Form.Handle(), kind);
    EXPECT_EQ(shown.Width, program.Width);
    EXPECT_TRUE(shown.Pixels == program.Pixels);
  }
}

// The status line's panel takes the focus for its link, and only while it shows one.
TEST_F(MainFormTest, TheListTakesTheFocusAndTheStatusLineWhileItShowsTheLink) {
  const auto focusable = [this] {
    std::vector<HWND> children, stops;
    EnumChildWindows(Form.Handle(), &CollectWindow, reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(children.size(), 3u); // Panel1, Panel2, LB
    for (HWND child : children)
      if (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP) stops.push_back(child);
    return stops;
  };
  EXPECT_EQ(focusable(), (std::vector<HWND>{Form.LB.Handle()}));
  Form.ImportCSV(Dir.Write("kontakte.csv", Contacts));
  EXPECT_EQ(focusable(), (std::vector<HWND>{Form.Panel1.Handle(), Form.LB.Handle()}));
  Form.ShowCopiedStatus();
  EXPECT_EQ(focusable(), (std::vector<HWND>{Form.LB.Handle()}));
}

TEST_F(MainFormTest, EnterAndCtrlCCopyTheSelectedLine) {
  Form.ImportCSV(Dir.Write("kontakte.csv", Contacts));
  const struct {
    const char* Name;
    WORD Key;
    TShiftState Shift;
    bool Copies;
  } cases[] = {{"Enter", VK_RETURN, 0, true},
               {"Ctrl+Shift+Enter", VK_RETURN, ssCtrl | ssShift, true},
               {"Ctrl+C", 'C', ssCtrl, true},
               {"C", 'C', 0, false},
               {"Ctrl+Shift+C", 'C', ssCtrl | ssShift, false},
               {"Ctrl+Alt+C", 'C', ssCtrl | ssAlt, false},
               {"Ctrl+V", 'V', ssCtrl, false}};
  for (const auto& c : cases) {
    SetClipboardText(Form.Handle(), "vorher");
    SendMessageA(Form.LB.Handle(), LB_SETCURSEL, 1, 0);
    WORD key = c.Key;
    Form.LBKeyDown(&Form.LB, key, c.Shift);
    EXPECT_EQ(ClipboardText(), c.Copies ? "089555012=J\xF6rg M\xFCller" : "vorher") << c.Name;
  }
  // Without a selection nothing is copied.
  SendMessageA(Form.LB.Handle(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  WORD key = 'C';
  Form.LBKeyDown(&Form.LB, key, ssCtrl);
  EXPECT_EQ(ClipboardText(), "vorher");
}

TEST_F(MainFormTest, ImportFillsTheListAndShowsTheCounts) {
  // Named with letters the ANSI code page lacks.
  Form.ImportCSV(Dir.Write("Kontakte Dvo\xC5\x99\xC3\xA1k \xF0\x9D\x84\x9E.csv", Contacts));
  EXPECT_EQ(Lines(),
            (std::vector<AnsiString>{"0301234567=Anna Muster", "089555012=J\xF6rg M\xFCller"}));
  EXPECT_EQ(Form.Panel1.Text(),
            Instructions + "  Kopieren des Inhaltes  2 Namen 3 Nummern gefunden.");
  EXPECT_EQ(Form.HL.DisplayText(), StatusTextCounted(2, 3));
  ExpectLayout();
}

// Another program reads the title as the system stores it, in UTF-16.
TEST_F(MainFormTest, TheCaptionKeepsEveryLetter) {
  const WideString caption = u"C:\\\u0141\u00F3d\u017A Ay\u015Fe\\\U0001D11E \u0159.csv";
  Form.SetCaption(caption);
  EXPECT_EQ(Form.Caption(), caption);
  wchar_t stored[64] = {};
  const int length = InternalGetWindowText(Form.Handle(), stored, 64);
  EXPECT_EQ(WideString(reinterpret_cast<const char16_t*>(stored), size_t(length > 0 ? length : 0)),
            caption);
}

TEST_F(MainFormTest, FailedImportLeavesListAndStatusAlone) {
  Form.ImportCSV(Dir.Write("kontakte.csv", Contacts));
  const std::vector<AnsiString> lines = Lines();
  const AnsiString status = Form.HL.DisplayText();
  for (const AnsiString& file : {Dir.Write("leer.csv", ""), Dir.FileName("fehlt.csv")}) {
    EXPECT_THROW(Form.ImportCSV(file), Exception) << file;
    EXPECT_EQ(Lines(), lines);
    EXPECT_EQ(Form.HL.DisplayText(), status);
  }
}

TEST_F(MainFormTest, NarrowingWrapsTheStatusAndTheListMakesRoom) {
  Form.Show();
  Form.ImportCSV(Dir.Write("kontakte.csv", Contacts));
  const int wide = Form.Panel1.Height();
  Form.SetClientSize(300, 644);
  EXPECT_GT(Form.Panel1.Height(), wide);
  ExpectLayout();
  Form.SetClientSize(624, 644);
  EXPECT_EQ(Form.Panel1.Height(), wide);
  ExpectLayout();
}

TEST_F(MainFormTest, CopiedStatusHasNoLink) {
  Form.ShowCopiedStatus();
  EXPECT_EQ(Form.Panel1.Text(),
            Instructions + "  Sie k\xF6nnen die Daten jetzt in das \"Eigene Telefonbuch\" einf\xFC"
                           "gen. Dort Strg+V oder rechte Maustaste \"Einf\xFC"
                           "gen\".");
  EXPECT_TRUE(Form.HL.CurrentLayout().Links.empty());
  ExpectLayout();
}

TEST(MainForm, CountsUseTheThousandsSeparator) {
  const AnsiString text = StatusTextCounted(1234, 56789);
  EXPECT_NE(text.find("<A href=\"x\">Kopieren des Inhaltes</A>  <b>1.234</b> Namen <b>56.789</b> "
                      "Nummern gefunden."),
            AnsiString::npos);
}

} // namespace

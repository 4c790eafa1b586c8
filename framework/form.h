#pragma once
// A top-level window holding controls. Its events: created (after construction, raised by
// DoCreate), shown (once, before the window first appears), resized, and with key preview every
// key press for the form or one of its children before the focused control gets it. Tab and
// Shift+Tab move the focus between its tab stops, as in a dialog.
#include "framework/control.h"

enum TFormBorderStyle { bsSizeable, bsSingle };

using TBorderIcons = unsigned;
constexpr TBorderIcons biSystemMenu = 1;
constexpr TBorderIcons biMinimize = 2;
constexpr TBorderIcons biMaximize = 4;

enum TPosition { poDesigned, poScreenCenter };

class TForm : public TWindowedControl {
public:
  // ClassName: the window class, registered for this form on first use.
  explicit TForm(const char* ClassName);
  ~TForm() override { DestroyHandle(); }

  // The title bar's text in UTF-16, so that a file's name keeps the letters the ANSI code page
  // lacks.
  WideString Caption() const;
  void SetCaption(const WideString& Caption);
  // Sizes the frame so that the client area is exactly Width x Height.
  void SetClientSize(int Width, int Height);
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Style);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Icons);
  void SetPosition(TPosition Position) { FPosition = Position; }
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool KeyPreview) { FKeyPreview = KeyPreview; }
  // The control that gets the focus whenever the form does; it follows the focus among the
  // form's controls, so that the form gets it back where it was.
  TWindowedControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWindowedControl* Control);
  // The tab stop after From (before it, going back), round the end: a window inside the form
  // with WS_TABSTOP, visible and enabled, in the order the controls were made. From itself when
  // it is the only one; null when there is none.
  TWindowedControl* FindNextControl(TWindowedControl* From, bool Forward) const;
  // Gives the focus to the next tab stop; false when there is none.
  bool SelectNext(TWindowedControl* From, bool Forward);
  // Tab (Shift+Tab going back, neither with Ctrl nor Alt) on its way to a window of the form:
  // true when it moved the focus, and the key is done with. A window that takes Tab itself
  // (WM_GETDLGCODE) keeps it.
  bool DialogKey(const MSG& Msg, TShiftState Shift);

  // The first time: OnResize for the initial size, the position, OnShow, then the window appears.
  void Show();
  void Close();

  // Raises OnCreate; errors go to the application's error box.
  void DoCreate();
  // Raises OnKeyDown with a key that is on its way to Target (the form or one of its children).
  void PreviewKey(WORD& Key, TShiftState Shift);

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnResize; // the client size has changed
  // OnKeyDown (inherited): with key preview, the keys of the form and all its children.

protected:
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;
  void Resized() override;
  // The form's own keys reach OnKeyDown through the preview, not a second time here.
  void KeyDown(WORD& /*Key*/, TShiftState /*Shift*/) override {}
  void DescendantFocused(TWindowedControl* Control) override;
  void DescendantLeftTabOrder(TWindowedControl* Control) override;

private:
  DWORD WindowStyle() const;
  void ApplyWindowStyle();
  void ApplyClientSize();
  void RaiseEvent(const TNotifyEvent& Event);

  DWORD FExStyle = 0;
  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition FPosition = poDesigned;
  bool FKeyPreview = false;
  bool FShown = false;
  int FClientWidth = -1; // -1: none asked for
  int FClientHeight = -1;
  TSize FReportedClientSize; // as OnResize last saw it
  TWindowedControl* FActiveControl = nullptr;
};

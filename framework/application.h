#pragma once
// The application: its title, its forms, the message loop and the standard error box. There is
// one, Application. Its window, a top-level window of size 0, carries the title and the taskbar
// button and owns the forms, so minimising and restoring through the taskbar act on the main form.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/system.h"
#include "framework/form.h"
#include "framework/win_owners.h"

class TApplicationWindow;

class TApplication {
public:
  TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;
  ~TApplication();

  // OLE on the main thread and the application window.
  void Initialize();
  // The caption of the error box and the application window's text (the taskbar's title).
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& Title);

  // The application window, or null before Initialize. Forms created while it exists are owned
  // by it and have no taskbar button of their own.
  HWND Handle() const;
  void CreateHandle();
  void DestroyHandle();
  // Hide the main form and minimise the application window, and the reverse; the main form gets
  // the activation back on restoring.
  void Minimize();
  void Restore();

  // Creates a form the application owns until Run ends and stores it in Reference; the first
  // becomes the main form. Its OnCreate is raised before this returns.
  template <class TFormClass> void CreateForm(TFormClass*& Reference) {
    auto form = std::make_unique<TFormClass>();
    Reference = form.get();
    AddForm(std::move(form));
    Reference->DoCreate();
  }
  TForm* MainForm() const { return FMainForm; }

  // Shows the main form and handles messages until it is closed; then frees the forms, so the
  // references CreateForm filled in are void afterwards.
  void Run();
  // One message as the loop handles it: key preview first, then the form's Tab keys, then
  // translation and dispatch.
  void HandleMessage(MSG& Msg);
  // Handles the queued messages and returns when the queue is empty.
  void ProcessMessages();

  // Shows the exception being handled; call it only inside a catch block. Never raises.
  void HandleException();
  // The standard error box: the message with a full stop added as needed, the title as caption,
  // the error icon. OnException, when set, gets that text instead of the box.
  void ShowException(const AnsiString& Message);
  std::function<void(const AnsiString& Message)> OnException;

private:
  friend class TApplicationWindow;
  void AddForm(std::unique_ptr<TForm> Form);
  void PreviewKey(const MSG& Msg);
  // True when the key moved the focus between the controls of a form, and goes no further.
  bool DialogKey(const MSG& Msg);
  // The main form (its last active popup, such as an error box) takes the activation.
  void ActivateMainForm();
  void HideMainForm();
  void ShowMainForm();

  AnsiString FTitle;
  // From Initialize to the end of Run; before the windows, so that it outlives them.
  std::optional<TOleInitialization> FOle;
  std::unique_ptr<TApplicationWindow> FWindow;
  bool FMainFormHidden = false;
  std::vector<std::unique_ptr<TForm>> FForms;
  TForm* FMainForm = nullptr;
};

extern TApplication Application;

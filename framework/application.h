#pragma once
// The application: its title, its forms, the message loop and the standard error box. There is
// one, Application.
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/form.h"
#include "framework/system.h"

class TApplication {
public:
  TApplication() = default;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  void Initialize();
  // The caption of the error box.
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& Title) { FTitle = Title; }

  // Creates a form the application owns until Run ends and stores it in Reference; the first
  // becomes the main form. Its OnCreate is raised before this returns.
  template <class TFormClass>
  void CreateForm(TFormClass*& Reference) {
    auto form = std::make_unique<TFormClass>();
    Reference = form.get();
    AddForm(std::move(form));
    Reference->DoCreate();
  }
  TForm* MainForm() const { return FMainForm; }

  // Shows the main form and handles messages until it is closed; then frees the forms, so the
  // references CreateForm filled in are void afterwards.
  void Run();
  // One message as the loop handles it: key preview first, then translation and dispatch.
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
  void AddForm(std::unique_ptr<TForm> Form);
  void PreviewKey(const MSG& Msg);

  AnsiString FTitle;
  std::vector<std::unique_ptr<TForm>> FForms;
  TForm* FMainForm = nullptr;
  bool FOleInitialized = false;
};

extern TApplication Application;

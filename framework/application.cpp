#include "framework/application.h"

#include <ole2.h>

#include <exception>

#include "framework/exceptions.h"

TApplication Application;

void TApplication::Initialize() {
  // Keep the system's own "no disk" and critical-error boxes away; errors are ours to show.
  SetErrorMode(SEM_FAILCRITICALERRORS);
  // Drag and drop and the clipboard's data object need OLE on the main thread.
  FOleInitialized = SUCCEEDED(OleInitialize(nullptr));
}

void TApplication::AddForm(std::unique_ptr<TForm> Form) {
  if (!FMainForm) FMainForm = Form.get();
  FForms.push_back(std::move(Form));
}

void TApplication::Run() {
  if (FMainForm && FMainForm->Handle()) {
    FMainForm->Show();
    MSG msg;
    while (FMainForm->Handle() && GetMessageA(&msg, nullptr, 0, 0) > 0) HandleMessage(msg);
  }
  FMainForm = nullptr;
  while (!FForms.empty()) FForms.pop_back();
  if (FOleInitialized) OleUninitialize();
  FOleInitialized = false;
}

void TApplication::HandleMessage(MSG& Msg) {
  if (Msg.message == WM_KEYDOWN || Msg.message == WM_SYSKEYDOWN) PreviewKey(Msg);
  TranslateMessage(&Msg);
  DispatchMessageA(&Msg);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave it for the loop that owns it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    HandleMessage(msg);
  }
}

void TApplication::PreviewKey(const MSG& Msg) {
  auto* form = dynamic_cast<TForm*>(TWindow::FromHandle(GetAncestor(Msg.hwnd, GA_ROOT)));
  if (!form || !form->KeyPreview()) return;
  // The key handler sees the key; the message still goes on to the focused control.
  WORD key = static_cast<WORD>(Msg.wParam);
  try {
    form->PreviewKey(key, KeyboardShiftState());
  } catch (...) {
    HandleException();
  }
}

void TApplication::HandleException() {
  try {
    try {
      throw;
    } catch (const Exception& error) {
      ShowException(error.Message());
    } catch (const std::exception& error) {
      ShowException(error.what());
    } catch (...) {
      ShowException("Unbekannter Fehler");
    }
  } catch (...) {
    // Nothing is left to report with; the program goes on.
  }
}

void TApplication::ShowException(const AnsiString& Message) {
  const AnsiString text = MessageWithFullStop(Message);
  if (OnException) {
    OnException(text);
    return;
  }
  const HWND owner = FMainForm ? FMainForm->Handle() : nullptr;
  MessageBoxA(owner, text.c_str(), FTitle.c_str(), MB_OK | MB_ICONERROR);
}

// The program: one main window and its message loop.
#include <windows.h>

#include "app/instance_mutex.h"
#include "app/main_form.h"
#include "framework/application.h"

int WINAPI WinMain(HINSTANCE /*Instance*/, HINSTANCE /*Previous*/, LPSTR /*CommandLine*/,
                   int /*Show*/) {
  // Before the main window exists and until the program ends.
  const TInstanceMutex instanceMutex;
  try {
    Application.Initialize();
    Application.SetTitle("TAPI Eigenes Telefonbuch erzeugen");
    Application.CreateForm(MainFrm);
    Application.Run();
  } catch (...) {
    Application.HandleException();
    return 1;
  }
  return 0;
}

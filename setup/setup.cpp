// The setup runtime: one wizard window over the package beside the program.
#include <windows.h>
#include <objbase.h>

#include "setup/setup_main.h"
#include "shared/systemdll.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything loads a DLL: beside a package may lie anything (systemdll.h).
  RestrictDllSearch();
  const HRESULT com = CoInitialize(nullptr);  // the shell links are made on this thread
  ui::Application.Title = "Setup";
  auto* form = new TMainForm;
  form->FormCreate();
  if (!ui::Application.Terminated) ui::Application.Run();
  const int exitCode = form->ExitCode;  // how the run ended (setup_installcore.h)
  delete form;
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}

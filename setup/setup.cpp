// The setup runtime: one wizard window over the package beside the program.
#include <windows.h>
#include <objbase.h>

#include <cstdlib>

#include "setup/setup_main.h"

// The library's verbose terminate handler would bring the symbol demangler and the formatted
// printing behind it into every package (about 100 KB); a plain abort does.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const HRESULT com = CoInitialize(nullptr);  // the shell links are made on this thread
  ui::Application.Title = "Setup";
  auto* form = new TMainForm;
  form->FormCreate();
  if (!ui::Application.Terminated) ui::Application.Run();
  delete form;
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

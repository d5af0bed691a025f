// The creator's program start: the application title, the six windows in their order, the
// message loop until the wizard closes.
#include <windows.h>

#include <cstdlib>

#include "creator/creator_about.h"
#include "creator/creator_adddll.h"
#include "creator/creator_addfile.h"
#include "creator/creator_addreg.h"
#include "creator/creator_addshort.h"
#include "creator/creator_main.h"
#include "shared/systemdll.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  RestrictDllSearch();  // before anything loads a DLL (systemdll.h)
  ui::Application.Title = "Corvantaine 2 Setup Creator";
  ui::UseFullDialogs();  // the creator asks for files, commands and menu choices
  new TForm1;  // sets Form1 as it is created: the first window, so the main one
  AddFileFrm = new TAddFileFrm;
  AddRegFrm = new TAddRegFrm;
  AboutFrm = new TAboutFrm;
  AddShortFrm = new TAddShortFrm;
  AddDLLFrm = new TAddDLLFrm;
  if (__argc > 1) Form1->DatasheetArgument = __argv[1];
  ui::Application.Run(show);
  delete AddDLLFrm;
  delete AddShortFrm;
  delete AboutFrm;
  delete AddRegFrm;
  delete AddFileFrm;
  delete Form1;
  return 0;
}

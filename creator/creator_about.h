// About Corvantaine 2: a bare window for now; shown modally from the wizard, closed by its close box.
#pragma once
#include "ui/ui.h"

class TAboutFrm : public ui::TForm {
public:
  TAboutFrm() : TForm("About Corvantaine 2", 360, 200, ui::TBorder::Dialog, ui::TPosition::ScreenCenter, {"MS Sans Serif", 8}) {}
};

extern TAboutFrm* AboutFrm;

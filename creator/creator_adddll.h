// Add DLL/OCX File: a bare window for now; shown modally from the wizard, closed by its close box.
#pragma once
#include "ui/ui.h"

class TAddDLLFrm : public ui::TForm {
public:
  TAddDLLFrm() : TForm("Add DLL/OCX File", 360, 200, ui::TBorder::Dialog, ui::TPosition::MainFormCenter, {"MS Sans Serif", 8}) {}
};

extern TAddDLLFrm* AddDLLFrm;

// Add Registry Key: a bare window for now; shown modally from the wizard, closed by its close box.
#pragma once
#include "ui/ui.h"

class TAddRegFrm : public ui::TForm {
public:
  TAddRegFrm() : TForm("Add Registry Key", 360, 200, ui::TBorder::Dialog, ui::TPosition::MainFormCenter, {"Tahoma", 8}) {}
};

extern TAddRegFrm* AddRegFrm;

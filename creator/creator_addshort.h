// Add Shortcut: a bare window for now; shown modally from the wizard, closed by its close box.
#pragma once
#include "ui/ui.h"

class TAddShortFrm : public ui::TForm {
public:
  TAddShortFrm() : TForm("Add Shortcut", 360, 200, ui::TBorder::Dialog, ui::TPosition::MainFormCenter, {"Tahoma", 8}) {}
};

extern TAddShortFrm* AddShortFrm;

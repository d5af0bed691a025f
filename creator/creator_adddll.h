// The DLL dialog: one of the DLL or OCX files of the file list, appended to the wizard's DLLList
// for registration.
#pragma once

#include "ui/ui.h"

class TAddDLLFrm : public ui::TForm {
public:
  TAddDLLFrm();

  ui::TLabel Label3{*this, "Label3", "Filename:", 8, 12};
  ui::TComboBox ComboBox{*this, "ComboBox", ui::TComboStyle::DropDownList, 64, 8, 241};
  ui::TButton Button1{*this, "Button1", "OK", 150, 44, 75, 23};
  ui::TButton Button2{*this, "Button2", "Cancel", 230, 44, 75, 23};

  void FormShow();
  void Button1Click();
  void Button2Click();
};

extern TAddDLLFrm* AddDLLFrm;

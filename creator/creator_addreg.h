// The registry dialog: one value to create, appended as a row to the wizard's Registry list.
#pragma once

#include "ui/ui.h"

class TAddRegFrm : public ui::TForm {
public:
  TAddRegFrm();

  ui::TLabel Label1{*this, "Label1", "Root:", 8, 12};
  ui::TComboBox ComboBox1{*this, "ComboBox1", ui::TComboStyle::DropDownList, 56, 8, 249};
  ui::TLabel Label5{*this, "Label5", "Path:", 8, 40};
  ui::TEdit Edit1{*this, "Edit1", "", 56, 36, 249, 21, 255};
  ui::TLabel Label2{*this, "Label2", "Key:", 8, 68};
  ui::TEdit Edit2{*this, "Edit2", "", 56, 64, 249, 21, 255};
  ui::TLabel Label3{*this, "Label3", "Value:", 8, 96};
  ui::TEdit Edit3{*this, "Edit3", "", 56, 92, 249, 21, 255};
  ui::TLabel Label4{*this, "Label4", "Type:", 8, 124};
  ui::TComboBox ComboBox2{*this, "ComboBox2", ui::TComboStyle::DropDownList, 56, 120, 249};
  ui::TButton Button1{*this, "Button1", "&OK", 150, 156, 75, 23};
  ui::TButton Button2{*this, "Button2", "&Cancel", 230, 156, 75, 23};

  void FormShow();
  void Button1Click();
  void Button2Click();
};

extern TAddRegFrm* AddRegFrm;

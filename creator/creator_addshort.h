// The shortcut dialog: one shortcut to create, appended as a row to the wizard's ShortCuts list.
// Its targets are the destinations of the wizard's file list and the uninstaller.
#pragma once

#include "ui/ui.h"

class TAddShortFrm : public ui::TForm {
public:
  TAddShortFrm();

  ui::TLabel Label3{*this, "Label3", "Location:", 8, 12};
  ui::TComboBox ComboBox2{*this, "ComboBox2", ui::TComboStyle::DropDown, 80, 8, 225, 150, 255};
  ui::TLabel Label1{*this, "Label1", "Target:", 8, 40};
  ui::TComboBox ComboBox1{*this, "ComboBox1", ui::TComboStyle::DropDownList, 80, 36, 225};
  ui::TLabel Label4{*this, "Label4", "Parameter(s):", 8, 68};
  ui::TEdit Edit2{*this, "Edit2", "", 80, 64, 225, 21, 255};
  ui::TLabel Label2{*this, "Label2", "Caption:", 8, 96};
  ui::TEdit Edit1{*this, "Edit1", "", 80, 92, 225, 21, 255};
  ui::TCheckBox CheckBox1{*this, "CheckBox1", "User-Specific Shortcut Icon:", 8, 124, 297};
  ui::TLabel Label5{*this, "Label5", "Icon:", 24, 152};
  ui::TComboBox ComboBox3{*this, "ComboBox3", ui::TComboStyle::DropDownList, 80, 148, 133};
  ui::TLabel Label6{*this, "Label6", "#", 221, 152};
  // Wide enough for all five digits of 65535 beside its arrows.
  ui::TSpinEdit SpinEdit1{*this, "SpinEdit1", 233, 148, 72, 21, 0, 65535, 0};
  ui::TButton Button1{*this, "Button1", "OK", 150, 184, 75, 23};
  ui::TButton Button2{*this, "Button2", "Cancel", 230, 184, 75, 23};

  void FormShow();
  void ComboBox1Change();
  void CheckBox1Click();
  void Button1Click();
  void Button2Click();
};

extern TAddShortFrm* AddShortFrm;

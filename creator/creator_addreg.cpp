#include "creator/creator_addreg.h"

#include "creator/creator_itemrules.h"
#include "creator/creator_main.h"

TAddRegFrm* AddRegFrm = nullptr;

TAddRegFrm::TAddRegFrm()
    : TForm("Add Registry Key", 313, 187, ui::TBorder::Dialog, ui::TPosition::MainFormCenter,
            ui::TFontSpec{"Tahoma", 8}) {
  for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG",
                           "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER"})
    ComboBox1.Add(root);
  for (const char* type : {"Binary Data", "Boolean", "Float", "Integer", "String"}) ComboBox2.Add(type);
  OnShow = [this] { FormShow(); };
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
}

void TAddRegFrm::FormShow() {
  Edit1.SetText("");
  Edit2.SetText("");
  Edit3.SetText("");
  ComboBox1.SetItemIndex(4);  // HKEY_CURRENT_USER
  ComboBox2.SetItemIndex(4);  // String
  ActiveControl = &Edit1;
  Edit1.SetFocus();
}

void TAddRegFrm::Button1Click() {
  if (!items::RegistryFormComplete(Edit1.Text(), Edit3.Text())) {
    ui::BeepMsgBox(Handle, items::kFormDataMissing, MB_ICONERROR | MB_OK);
    return;
  }
  std::string path = items::NormaliseRegistryPath(Edit1.Text());
  Edit1.SetText(path);
  Form1->Registry.AddRow(items::RegistryEntryRow(ComboBox1.Text(), path, Edit2.Text(), Edit3.Text(),
                                           ComboBox2.Text()));
  Close();
}

void TAddRegFrm::Button2Click() { Close(); }

#include "creator/creator_adddll.h"

#include "creator/creator_itemrules.h"
#include "creator/creator_main.h"

TAddDLLFrm* AddDLLFrm = nullptr;

TAddDLLFrm::TAddDLLFrm()
    : TForm("Add DLL/OCX File", 313, 75, ui::TBorder::Dialog, ui::TPosition::MainFormCenter,
            ui::TFontSpec{"MS Sans Serif", 8}) {
  OnShow = [this] { FormShow(); };
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
  ActiveControl = &ComboBox;  // the first of the tab order, as in every dialog
}

void TAddDLLFrm::FormShow() {
  std::vector<std::string> destinations;
  for (int i = 0; i < Form1->FileList.Count(); ++i) destinations.push_back(Form1->FileList.Cell(i, 0));
  ComboBox.ClearItems();
  for (const std::string& d : items::DllChoices(destinations)) ComboBox.Add(d);
}

void TAddDLLFrm::Button1Click() {
  int chosen = ComboBox.ItemIndex();
  std::string file = chosen >= 0 ? ComboBox.Item(chosen) : std::string();
  if (file.empty()) {
    ui::MsgBox(Handle, items::kNoFileSelected, MB_ICONERROR | MB_OK);  // no beep before this one
    return;
  }
  Form1->DLLList.Add(file);
  Close();
}

void TAddDLLFrm::Button2Click() { Close(); }

#include "creator/creator_addshort.h"

#include "creator/creator_itemrules.h"
#include "creator/creator_main.h"

TAddShortFrm* AddShortFrm = nullptr;

namespace {
std::string Chosen(const ui::TComboBox& box) {
  int i = box.ItemIndex();
  return i >= 0 ? box.Item(i) : std::string();
}
}  // namespace

TAddShortFrm::TAddShortFrm()
    : TForm("Add Shortcut", 313, 215, ui::TBorder::Dialog, ui::TPosition::MainFormCenter,
            ui::TFontSpec{"Tahoma", 8}) {
  for (const char* location :
       {"<StartMenu>\\<AppName>", "<Programs>\\<AppName>", "<Startup>", "<Desktop>", "<QuickLaunch>"})
    ComboBox2.Add(location);
  ActiveControl = &ComboBox2;
  OnShow = [this] { FormShow(); };
  ComboBox1.OnChange = [this] { ComboBox1Change(); };
  CheckBox1.OnClick = [this] { CheckBox1Click(); };
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
  CheckBox1Click();  // the icon controls start disabled, as the box starts unchecked
}

void TAddShortFrm::FormShow() {
  std::vector<std::string> destinations;
  for (int i = 0; i < Form1->FileList.Count(); ++i) destinations.push_back(Form1->FileList.Cell(i, 0));
  ComboBox1.ClearItems();
  ComboBox3.ClearItems();
  for (const std::string& t : items::ShortcutTargets(destinations)) ComboBox1.Add(t);
  for (const std::string& i : items::ShortcutIcons(destinations)) ComboBox3.Add(i);
  Edit1.SetText("");
  Edit2.SetText("");
}

void TAddShortFrm::ComboBox1Change() {
  if (Chosen(ComboBox1) == items::kUninstall) Edit2.SetText(items::kUninstallFile);
}

void TAddShortFrm::CheckBox1Click() {
  bool on = CheckBox1.Checked();
  Label5.SetEnabled(on);
  Label6.SetEnabled(on);
  ComboBox3.SetEnabled(on);
  SpinEdit1.SetEnabled(on);
}

void TAddShortFrm::Button1Click() {
  if (!items::ShortcutEntriesValid(ComboBox1.ItemIndex() >= 0, ComboBox2.Text(), Edit1.Text())) {
    ui::BeepMsgBox(Handle, items::kInvalidEntries, MB_ICONERROR | MB_OK);
    return;
  }
  Form1->ShortCuts.AddRow(items::ShortcutEntryRow(ComboBox2.Text(), Edit1.Text(), Chosen(ComboBox1),
                                            Edit2.Text(), CheckBox1.Checked(), Chosen(ComboBox3),
                                            SpinEdit1.Value()));
  Close();
}

void TAddShortFrm::Button2Click() { Close(); }

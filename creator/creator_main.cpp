// The creator's wizard window.
#include "creator/creator_main.h"

#include "creator/creator_about.h"
#include "creator/creator_adddll.h"
#include "creator/creator_addfile.h"
#include "creator/creator_addreg.h"
#include "creator/creator_addshort.h"
#include "creator/creator_compiler.h"
#include "creator/creator_regimport.h"
#include "shared/win32files.h"

TForm1* Form1 = nullptr;
TCompiler* Compiler = nullptr;

namespace {

HANDLE CompilerThread = nullptr;  // the build of this window, which it outlives

const char kSaveQuestion[] = "Do you want to save the current settings\r\nto a Corvantaine Setup Datasheet?";
const char kDatasheetFilter[] = "Setup Datasheets (*.sds)|*.sds";

// The header that Next shows on arriving at page i.
const char* const kNextHeader[] = {
    "",
    "Application Information",
    "Select files to be installed",
    "Registry Changes",
    "License Aggreement",
    "Application Compatibility / System Reboot",
    "Default Destination Directory",
    "Start-Up Shortcuts",
    "DLL and OCX Registration",
    "Additional Commands",
    "Ready to go",
};
// The header that Back shows on arriving at page i.
const char* const kBackHeader[] = {
    "Welcome to the Corvantaine 2 Setup Creator",
    "Application Information",
    "Select files to be installed",
    "Registry Changes",
    "License Aggreement",
    "Application Compatibility / System Reboot",
    "Default Destination Directory",
    "Start-Menu and QuickLaunch Shortcuts",
    "DLL and OCX Registration",
    "Additional Commands",
};

// Deletes every selected row, the others keeping their order: one walk from the last row, so no
// deletion moves a row still to be looked at, and no drawing until the end, which for thousands
// of rows took seconds.
void RemoveSelectedRows(ui::TListView& list) {
  if (list.SelCount() < 1) return;
  list.BeginUpdate();
  for (int i = list.Count(); i-- > 0;)
    if (list.Selected(i)) list.Delete(i);
  list.EndUpdate();
}

void RemoveSelectedItem(ui::TListBox& list) {
  if (int i = list.ItemIndex(); i >= 0) list.Delete(i);
}

}  // namespace

TForm1::TForm1()
    : TForm("Corvantaine 2 - Setup Creator", 495, 330, ui::TBorder::Single, ui::TPosition::ScreenCenter,
            {"MS Sans Serif", 8}) {
  Form1 = this;
  Panel1.SetFont({"MS Sans Serif", 8, true});
  for (ui::TButton* b : {&SpeedButton1, &SpeedButton2, &SpeedButton3, &SpeedButton4}) {
    b->SetFont({"MS Sans Serif", 8, true});
    SetWindowLongA(b->Handle, GWL_STYLE, GetWindowLongA(b->Handle, GWL_STYLE) & ~WS_TABSTOP);  // no focus stop
  }
  SpeedButton1.SetHint("Add Command");
  SpeedButton2.SetHint("Remove Command");
  SpeedButton4.SetHint("Add Command");
  SpeedButton3.SetHint("Remove Command");
  Image1.LoadBitmap("IMAGE1", false);
  SendMessageA(Handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1))));

  // Initial states.
  EOpenFile.SetEnabled(false);
  Button4.SetEnabled(false);
  for (ui::TControl* c : std::initializer_list<ui::TControl*>{&Label27, &Edit5, &Button11, &Label28, &Label29})
    c->SetEnabled(false);
  for (ui::TCheckBox* c : {&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4, &CheckBox5, &CheckBox6, &CheckBox7, &CheckBox15})
    c->SetEnabled(false);
  Label30.SetVisible(false);
  Button3.SetEnabled(false);
  ActiveControl = &Button2;
  Notebook1.GoOn = {&Button2, &Button1};

  // Handlers.
  OnShow = [this] { FormShow(); };
  OnCloseQuery = [this](bool& can) { FormCloseQuery(can); };
  Button2.OnClick = [this] { Button2Click(); };
  Button3.OnClick = [this] { Button3Click(); };
  Button1.OnClick = [this] { Button1Click(); };
  Button7.OnClick = [this] { Button7Click(); };
  RadioButton1.OnClick = [this] { RadioButton1Click(); };
  RadioButton2.OnClick = [this] { RadioButton2Click(); };
  Button4.OnClick = [this] { Button4Click(); };
  Button6.OnClick = [this] { Button6Click(); };
  Button5.OnClick = [this] { Button5Click(); };
  Button8.OnClick = [this] { Button8Click(); };
  Button9.OnClick = [this] { Button9Click(); };
  Button15.OnClick = [this] { Button15Click(); };
  CheckBox14.OnClick = [this] { CheckBox14Click(); };
  Button11.OnClick = [this] { Button11Click(); };
  RadioButton8.OnClick = [this] { RadioButton8Click(); };
  RadioButton7.OnClick = [this] { RadioButton7Click(); };
  Button14.OnClick = [this] { Button14Click(); };
  Button12.OnClick = [this] { Button12Click(); };
  Button17.OnClick = [this] { Button17Click(); };
  Button16.OnClick = [this] { Button16Click(); };
  SpeedButton1.OnClick = [this] { SpeedButton1Click(); };
  SpeedButton4.OnClick = [this] { SpeedButton4Click(); };
  SpeedButton2.OnClick = [this] { SpeedButton2Click(&SpeedButton2); };
  SpeedButton3.OnClick = [this] { SpeedButton2Click(&SpeedButton3); };
  Button13.OnClick = [this] { Button13Click(); };

  FormCreate();
}

TForm1::~TForm1() {
  // The build reads and changes these controls up to its last step: they outlive it.
  if (CompilerThread) {
    ui::WaitServing(CompilerThread);
    CloseHandle(CompilerThread);
    CompilerThread = nullptr;
  }
  FormDestroy();
  if (BuildThread) CloseHandle(BuildThread);
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::FormCreate() {
  DWORD major = 0, minor = 0;
  if (ui::WindowsVersion(major, minor) && ((major == 4 && minor > 0) || major > 4)) {
    ui::TFontSpec f = Font;
    f.Name = "Tahoma";
    SetFont(f);
    ui::TFontSpec p = Panel1.Font;
    p.Name = "Tahoma";
    Panel1.SetFont(p);
  }
  PackageList.clear();
  PackageList.push_back("Required Files");
}

void TForm1::FormShow() {
  if (DatasheetArgument.empty()) return;
  if (FileExists(DatasheetArgument))
    LoadDatasheet(DatasheetArgument);
  else
    ui::BeepMsgBox(Handle, "Specified Setup Datasheet does not exist!", MB_ICONWARNING | MB_OK);
}

void TForm1::FormCloseQuery(bool& CanClose) {
  if (Button1.Text() == "&Finish") {  // set by the build's last call on the window
    CanClose = true;
    return;
  }
  if (BuildRunning()) {  // the build still reaches the controls: the window stays
    ui::Beep();
    CanClose = false;
    return;
  }
  switch (ui::BeepMsgBox(Handle, kSaveQuestion, MB_ICONWARNING | MB_YESNOCANCEL)) {
    case IDNO:
      CanClose = true;
      return;
    case IDYES: {
      ui::TFileDialog d;
      d.Title = "Save Setup Datasheet";
      d.Filter = kDatasheetFilter;
      d.DefaultExt = "sds";
      CanClose = false;
      if (!ui::Dialogs().SaveFile(Handle, d)) return;
      try {
        SaveDatasheet(d.FileName);
        CanClose = true;
      } catch (const datasheet::EDatasheetError& e) {  // nothing lost: the user may choose another file
        ui::MsgBox(Handle, e.what(), MB_ICONERROR | MB_OK);
      }
      return;
    }
    default:
      CanClose = false;
  }
}

void TForm1::FormDestroy() { PackageList.clear(); }

void TForm1::Button2Click() {
  int page = Notebook1.PageIndex();
  auto fail = [this](const char* text) { ui::BeepMsgBox(Handle, text, MB_ICONERROR | MB_OK); };
  switch (page) {
    case 0:
      if (RadioButton2.Checked()) {
        LoadDatasheet(EOpenFile.Text());
        return;
      }
      break;
    case 1:
      if (EAppTitle.Text().empty() || EVersion.Text().empty()) return fail("Fill out all fields first!");
      break;
    case 2:
      if (FileList.Count() < 1) return fail("No Files selected!");
      break;
    case 10:
      if (!CheckBox10.Checked() && !CheckBox11.Checked()) return fail("Please select at least one Media Type!");
      StartBuild();
      return;
    case 11:
      return;
  }
  Panel1.SetText(kNextHeader[page + 1]);
  Notebook1.SetPageIndex(page + 1);
  if (page == 0) Button3.SetEnabled(true);
}

void TForm1::Button3Click() {
  int page = Notebook1.PageIndex();
  if (page < 1 || page > 10) return;
  Panel1.SetText(kBackHeader[page - 1]);
  Notebook1.SetPageIndex(page - 1);
  if (page == 1) Button3.SetEnabled(false);
}

void TForm1::StartBuild() {
  Panel1.SetText("Building package(s)");
  Button1.SetEnabled(false);
  Button2.SetEnabled(false);
  Button3.SetEnabled(false);
  Notebook1.SetPageIndex(11);
  // Created suspended (it frees itself), watched, the page painted, then resumed.
  Compiler = new TCompiler();
  WatchBuild(Compiler->Handle);
  if (CompilerThread) CloseHandle(CompilerThread);
  DuplicateHandle(GetCurrentProcess(), Compiler->Handle, GetCurrentProcess(), &CompilerThread, SYNCHRONIZE, FALSE, 0);
  ui::Application.ProcessMessages();
  Compiler->Resume();
}

void TForm1::WatchBuild(HANDLE thread) {
  if (BuildThread) CloseHandle(BuildThread);
  BuildThread = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &BuildThread, SYNCHRONIZE, FALSE, 0);
}

bool TForm1::BuildRunning() const { return BuildThread && WaitForSingleObject(BuildThread, 0) == WAIT_TIMEOUT; }

void TForm1::Button1Click() { Close(); }

void TForm1::Button7Click() { AboutFrm->ShowModal(); }

void TForm1::RadioButton1Click() {
  EOpenFile.SetEnabled(false);
  Button4.SetEnabled(false);
}

void TForm1::RadioButton2Click() {
  EOpenFile.SetEnabled(true);
  Button4.SetEnabled(true);
}

void TForm1::Button4Click() {
  ui::TFileDialog d;
  d.Title = "Open Setup Datasheet";
  d.Filter = kDatasheetFilter;
  if (ui::Dialogs().OpenFile(Handle, d)) EOpenFile.SetText(d.FileName);
}

void TForm1::Button6Click() { AddFileFrm->ShowModal(); }
void TForm1::Button5Click() { RemoveSelectedRows(FileList); }
void TForm1::Button8Click() { AddRegFrm->ShowModal(); }
void TForm1::Button9Click() { RemoveSelectedRows(Registry); }

void TForm1::Button15Click() {
  ui::TFileDialog d;
  d.Title = "Import Registration File...";
  d.Filter = "Registration Files (*.reg)|*.reg";
  if (ui::Dialogs().OpenFile(Handle, d)) ImportRegFile(d.FileName);
}

// Appends a row to Registry for every value of the export. What a setup cannot carry is left out
// and named in one message after the rest is in.
void TForm1::ImportRegFile(const std::string& FileName) {
  if (!FileExists(FileName)) {
    ui::MsgBox(Handle, "Specified File does not exist!", MB_ICONERROR | MB_OK);
    return;
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadRegExportFile(FileName, bytes, error)) {
    ui::BeepMsgBox(Handle, error, MB_ICONERROR | MB_OK);
    return;
  }
  const TRegImportResult result = ParseRegExport(bytes, AnsiFromWide);
  Registry.BeginUpdate();
  for (const TRegImportRow& row : result.Rows) Registry.AddRow({row.Path, row.Key, row.Value, row.Type});
  Registry.EndUpdate();
  const std::string notice = RegImportNotice(result);
  if (!notice.empty()) ui::BeepMsgBox(Handle, notice, MB_ICONWARNING | MB_OK);
}

void TForm1::CheckBox14Click() {
  bool on = CheckBox14.Checked();
  for (ui::TControl* c : std::initializer_list<ui::TControl*>{&Label27, &Label28, &Label29, &Button11, &Edit5})
    c->SetEnabled(on);
}

void TForm1::Button11Click() {
  ui::TFileDialog d;
  d.Title = "Select License Aggreement File...";
  d.Filter = "Plain Text Files (*.txt)|*.txt|Rich Text Files (*.rtf)|*.rtf";
  if (ui::Dialogs().OpenFile(Handle, d)) Edit5.SetText(d.FileName);
}

void TForm1::RadioButton8Click() {
  for (ui::TCheckBox* c : {&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4, &CheckBox5, &CheckBox6, &CheckBox7, &CheckBox15})
    c->SetEnabled(true);
}

void TForm1::RadioButton7Click() {
  std::initializer_list<ui::TCheckBox*> boxes{&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4,
                                              &CheckBox5, &CheckBox6, &CheckBox7, &CheckBox15};
  for (ui::TCheckBox* c : boxes) c->SetEnabled(false);
  for (ui::TCheckBox* c : boxes) c->SetChecked(true);
}

void TForm1::Button14Click() { AddShortFrm->ShowModal(); }
void TForm1::Button12Click() { RemoveSelectedRows(ShortCuts); }
void TForm1::Button17Click() { AddDLLFrm->ShowModal(); }
void TForm1::Button16Click() { RemoveSelectedItem(DLLList); }

void TForm1::SpeedButton1Click() {
  std::string command;
  if (ui::Dialogs().InputBox(Handle, "Post-Installation Command",
                             "Enter a command that should be executed after a successful installation process:",
                             command, 255))
    PIList.Add(command);
}

void TForm1::SpeedButton4Click() {
  std::string command;
  if (ui::Dialogs().InputBox(Handle, "Pre-Uninstallation Command",
                             "Enter a command that should be executed before the uninstallation process starts:",
                             command, 255))
    PUIList.Add(command);
}

void TForm1::SpeedButton2Click(ui::TControl* Sender) {
  if (Sender == &SpeedButton2) RemoveSelectedItem(PIList);
  if (Sender == &SpeedButton3) RemoveSelectedItem(PUIList);
}

void TForm1::Button13Click() {
  std::string folder = Edit3.Text();
  if (ui::Dialogs().BrowseFolder(Handle, "Select an output directory.", folder)) Edit3.SetText(folder);
}

// ---- the datasheet -----------------------------------------------------------------------------
namespace {
template <size_t N>
std::vector<std::array<std::string, N>> RowsOf(const ui::TListView& list) {
  std::vector<std::array<std::string, N>> rows(list.Count());
  for (int r = 0; r < list.Count(); ++r)
    for (size_t c = 0; c < N; ++c) rows[r][c] = list.Cell(r, static_cast<int>(c));
  return rows;
}

template <size_t N>
void FillRows(ui::TListView& list, const std::vector<std::array<std::string, N>>& rows) {
  list.BeginUpdate();
  list.Clear();
  for (const auto& row : rows) list.AddRow(std::vector<std::string>(row.begin(), row.end()));
  list.EndUpdate();
}

void FillItems(ui::TListBox& list, const std::vector<std::string>& items) {
  list.BeginUpdate();
  list.Clear();
  for (const std::string& s : items) list.Add(s);
  list.EndUpdate();
}
}  // namespace

datasheet::TDatasheet TForm1::Project() const {
  datasheet::TDatasheet d;
  d.Name = EAppTitle.Text();
  d.Version = EVersion.Text();
  d.Company = ECompany.Text();
  d.Homepage = EHomepage.Text();
  d.ShowLicense = CheckBox14.Checked();
  d.LicenseFile = Edit5.Text();
  d.Reboot = CheckBox8.Checked();
  d.Destination = Edit1.Text();
  d.PackageDest = Edit3.Text();
  d.CAV = RadioButton3.Checked();
  d.CA = RadioButton4.Checked();
  d.A = RadioButton6.Checked();
  d.AV = RadioButton5.Checked();
  d.Web = CheckBox10.Checked();
  d.CDDVD = CheckBox11.Checked();
  d.Compression = CheckBox16.Checked();
  d.Files = RowsOf<3>(FileList);
  d.Registry = RowsOf<4>(Registry);
  d.All = RadioButton7.Checked();
  d.Custom = RadioButton8.Checked();
  const ui::TCheckBox* systems[] = {&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4,
                                    &CheckBox5, &CheckBox6, &CheckBox7, &CheckBox15};
  for (size_t i = 0; i < 8; ++i) d.Systems[i] = systems[i]->Checked();
  d.Shortcuts = RowsOf<6>(ShortCuts);
  d.Dlls = DLLList.Items();
  d.PostInstall = PIList.Items();
  d.PreUninstall = PUIList.Items();
  d.Packages = PackageList;
  return d;
}

void TForm1::SetProject(const datasheet::TDatasheet& d) {
  EAppTitle.SetText(d.Name);
  EVersion.SetText(d.Version);
  ECompany.SetText(d.Company);
  EHomepage.SetText(d.Homepage);
  CheckBox14.SetChecked(d.ShowLicense);
  Edit5.SetText(d.LicenseFile);
  CheckBox8.SetChecked(d.Reboot);
  Edit1.SetText(d.Destination);
  Edit3.SetText(d.PackageDest);
  RadioButton3.SetChecked(d.CAV);
  RadioButton4.SetChecked(d.CA);
  RadioButton6.SetChecked(d.A);
  RadioButton5.SetChecked(d.AV);
  CheckBox10.SetChecked(d.Web);
  CheckBox11.SetChecked(d.CDDVD);
  CheckBox16.SetChecked(d.Compression);
  FillRows(FileList, d.Files);
  FillRows(Registry, d.Registry);
  RadioButton7.SetChecked(d.All);
  RadioButton8.SetChecked(d.Custom);
  if (RadioButton7.Checked()) RadioButton7Click();
  if (RadioButton8.Checked()) RadioButton8Click();
  ui::TCheckBox* systems[] = {&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4,
                              &CheckBox5, &CheckBox6, &CheckBox7, &CheckBox15};
  for (size_t i = 0; i < 8; ++i) systems[i]->SetChecked(d.Systems[i]);
  FillRows(ShortCuts, d.Shortcuts);
  FillItems(DLLList, d.Dlls);
  FillItems(PIList, d.PostInstall);
  FillItems(PUIList, d.PreUninstall);
  PackageList = d.Packages;
}

void TForm1::SaveDatasheet(const std::string& FileName) { datasheet::SaveFile(FileName, Project()); }

void TForm1::LoadDatasheet(const std::string& FileName) {
  if (!FileExists(FileName)) {
    ui::MsgBox(Handle, "Specified File does not exist!", MB_ICONERROR | MB_OK);
    return;
  }
  ui::THourglass wait;
  SetProject(datasheet::LoadFile(FileName));
  Panel1.SetText("Application Information");
  Notebook1.SetPageIndex(1);
  Button3.SetEnabled(true);
}

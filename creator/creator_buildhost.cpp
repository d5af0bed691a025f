// The wizard's side of the build: what TCompiler reads of Form1's controls and what it changes
// there. Every call comes on the user-interface thread, handed over by the build thread.
#include "creator/creator_compiler.h"
#include "creator/creator_main.h"

namespace {

// The window outlives its build; should it be gone all the same, the build stops, not the program.
TForm1& Wizard() {
  if (!Form1) throw EBuildError("The wizard window is gone");
  return *Form1;
}

std::vector<std::string> Cells(const ui::TListView& list, int row, int columns) {
  std::vector<std::string> cells;
  for (int c = 0; c < columns; ++c) cells.push_back(list.Cell(row, c));
  return cells;
}

class TWizardBuildHost : public TBuildHost {
 public:
  std::string OutputDir() override { return Wizard().Edit3.Text(); }
  std::string AppTitle() override { return Wizard().EAppTitle.Text(); }
  std::string LicenseFile() override { return Wizard().Edit5.Text(); }
  bool CdRom() override { return Wizard().CheckBox11.Checked(); }
  bool Web() override { return Wizard().CheckBox10.Checked(); }
  bool Compress() override { return Wizard().CheckBox16.Checked(); }

  BuildProject::AppInfo AppInfo() override {
    TForm1& f = Wizard();
    BuildProject::AppInfo info;
    info.AppTitle = f.EAppTitle.Text();
    info.AppVersion = f.EVersion.Text();
    info.Company = f.ECompany.Text();
    info.Homepage = f.EHomepage.Text();
    info.RadioButton3 = f.RadioButton3.Checked();
    info.RadioButton4 = f.RadioButton4.Checked();
    info.RadioButton6 = f.RadioButton6.Checked();
    info.RadioButton5 = f.RadioButton5.Checked();
    info.NeedsReboot = f.CheckBox8.Checked();
    const ui::TCheckBox* os[8] = {&f.CheckBox1, &f.CheckBox2, &f.CheckBox3, &f.CheckBox4,
                                  &f.CheckBox5, &f.CheckBox6, &f.CheckBox15, &f.CheckBox7};
    for (int i = 0; i < 8; ++i) info.Os[i] = os[i]->Checked();
    info.DefaultDestDir = f.Edit1.Text();
    info.LicenseMustAccept = f.CheckBox14.Checked();
    info.CompressData = f.CheckBox16.Checked();
    info.Unattended = f.CheckBox12.Checked();
    return info;
  }

  std::vector<std::string> Packages() override { return Wizard().PackageList; }

  std::vector<BuildProject::RegistryRow> Registry() override {
    std::vector<BuildProject::RegistryRow> rows;
    for (int i = 0, n = Wizard().Registry.Count(); i < n; ++i) {
      auto c = Cells(Wizard().Registry, i, 4);
      rows.push_back({c[0], c[1], c[2], c[3]});
    }
    return rows;
  }

  std::vector<BuildProject::ShortcutRow> Shortcuts() override {
    std::vector<BuildProject::ShortcutRow> rows;
    for (int i = 0, n = Wizard().ShortCuts.Count(); i < n; ++i) {
      auto c = Cells(Wizard().ShortCuts, i, 6);  // Location, Caption, Target, Parameter(s), Icon, #
      rows.push_back({c[0], c[1], c[2], c[3], c[4], c[5]});
    }
    return rows;
  }

  std::vector<std::string> DllList() override { return Wizard().DLLList.Items(); }
  std::vector<std::string> PIList() override { return Wizard().PIList.Items(); }
  std::vector<std::string> PUIList() override { return Wizard().PUIList.Items(); }

  int FileCount() override { return Wizard().FileList.Count(); }
  BuildProject::FileRow FileItem(int row) override {
    auto c = Cells(Wizard().FileList, row, 3);  // Destination, Source, Package
    return {c[0], c[1], c[2]};
  }

  void AddReportLine(const std::string& line) override {
    Wizard().Report.Add(line);
    ui::Application.ProcessMessages();  // painted at once
  }

  void ShowFinished() override {
    TForm1& f = Wizard();
    f.Label22.SetText("Corvantaine 2 has finished building your packages.");
    f.Label30.SetVisible(true);
    f.Button1.SetText("&Finish");
    f.Button1.SetEnabled(true);
  }

  datasheet::TDatasheet Datasheet() override { return Wizard().Project(); }
};

}  // namespace

TBuildHost& WizardBuildHost() {
  static TWizardBuildHost host;
  return host;
}

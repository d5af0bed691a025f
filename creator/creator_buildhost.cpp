// The wizard's side of the build: what TCompiler reads of Form1's controls and what it changes
// there. Every call comes on the user-interface thread, handed over by the build thread.
#include "creator/creator_compiler.h"
#include "creator/creator_main.h"

namespace {

std::vector<std::string> Cells(const ui::TListView& list, int row, int columns) {
  std::vector<std::string> cells;
  for (int c = 0; c < columns; ++c) cells.push_back(list.Cell(row, c));
  return cells;
}

class TWizardBuildHost : public TBuildHost {
 public:
  std::string OutputDir() override { return Form1->Edit3.Text(); }
  std::string AppTitle() override { return Form1->EAppTitle.Text(); }
  std::string LicenseFile() override { return Form1->Edit5.Text(); }
  bool CdRom() override { return Form1->CheckBox11.Checked(); }
  bool Web() override { return Form1->CheckBox10.Checked(); }
  bool Compress() override { return Form1->CheckBox16.Checked(); }

  BuildProject::AppInfo AppInfo() override {
    TForm1& f = *Form1;
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

  std::vector<std::string> Packages() override { return Form1->PackageList; }

  std::vector<BuildProject::RegistryRow> Registry() override {
    std::vector<BuildProject::RegistryRow> rows;
    for (int i = 0, n = Form1->Registry.Count(); i < n; ++i) {
      auto c = Cells(Form1->Registry, i, 4);
      rows.push_back({c[0], c[1], c[2], c[3]});
    }
    return rows;
  }

  std::vector<BuildProject::ShortcutRow> Shortcuts() override {
    std::vector<BuildProject::ShortcutRow> rows;
    for (int i = 0, n = Form1->ShortCuts.Count(); i < n; ++i) {
      auto c = Cells(Form1->ShortCuts, i, 6);  // Location, Caption, Target, Parameter(s), Icon, #
      rows.push_back({c[0], c[1], c[2], c[3], c[4], c[5]});
    }
    return rows;
  }

  std::vector<std::string> DllList() override { return Form1->DLLList.Items(); }
  std::vector<std::string> PIList() override { return Form1->PIList.Items(); }
  std::vector<std::string> PUIList() override { return Form1->PUIList.Items(); }

  int FileCount() override { return Form1->FileList.Count(); }
  BuildProject::FileRow FileItem(int row) override {
    auto c = Cells(Form1->FileList, row, 3);  // Destination, Source, Package
    return {c[0], c[1], c[2]};
  }

  void AddReportLine(const std::string& line) override {
    Form1->Report.Add(line);
    ui::Application.ProcessMessages();  // painted at once
  }

  void ShowFinished() override {
    TForm1& f = *Form1;
    f.Label22.SetText("Corvantaine 2 has finished building your packages.");
    f.Label30.SetVisible(true);
    f.Button1.SetText("&Finish");
    f.Button1.SetEnabled(true);
  }

  void SaveDatasheet(const std::string& path) override { Form1->SaveDatasheet(path); }
};

}  // namespace

TBuildHost& WizardBuildHost() {
  static TWizardBuildHost host;
  return host;
}

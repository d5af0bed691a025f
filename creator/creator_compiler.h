// The build: the worker thread that turns the setup project held in the wizard's controls into
// setup packages (setup.dat, data.pak, the CD-ROM folder, the self-extracting package) and reports
// every stage in the wizard's report list.
#pragma once

#include "creator/creator_datasheet.h"
#include "creator/setupdat.h"
#include "ui/ui.h"

#include <cstdint>
#include <string>
#include <vector>

// The wizard as the build sees it: the controls it reads and the few it changes. Every call runs
// on the user-interface thread. The wizard implements it over its controls; tests over plain values.
class TBuildHost {
 public:
  virtual ~TBuildHost() = default;
  // The creator's own directory, where cv2uinst.exe, extractor.exe and setup.exe lie.
  virtual std::string ProgramDir();

  virtual std::string OutputDir() = 0;    // Edit3
  virtual std::string AppTitle() = 0;     // EAppTitle
  virtual std::string LicenseFile() = 0;  // Edit5
  virtual bool CdRom() = 0;               // CheckBox11
  virtual bool Web() = 0;                 // CheckBox10
  virtual bool Compress() = 0;            // CheckBox16
  virtual BuildProject::AppInfo AppInfo() = 0;  // LicenseMustAccept is CheckBox14
  virtual std::vector<std::string> Packages() = 0;  // PackageList
  virtual std::vector<BuildProject::RegistryRow> Registry() = 0;
  virtual std::vector<BuildProject::ShortcutRow> Shortcuts() = 0;
  virtual std::vector<std::string> DllList() = 0;
  virtual std::vector<std::string> PIList() = 0;
  virtual std::vector<std::string> PUIList() = 0;
  virtual int FileCount() = 0;  // rows of FileList
  virtual BuildProject::FileRow FileItem(int row) = 0;

  // Appends a line to Report and paints it at once.
  virtual void AddReportLine(const std::string& line) = 0;
  // Label22 "finished", Label30 shown, Button1 an enabled "&Finish".
  virtual void ShowFinished() = 0;
  // The project as a Setup Datasheet's values; the build thread writes its copy itself.
  virtual datasheet::TDatasheet Datasheet() = 0;
};

// The wizard's side of the build, over Form1.
TBuildHost& WizardBuildHost();

class TCompiler : public ui::TThread {
 public:
  // Created suspended; frees itself when Execute returns. The wizard resumes it.
  explicit TCompiler(TBuildHost& host = WizardBuildHost());
  ~TCompiler() override;

 protected:
  void Execute() override;

 private:
  class TFile;  // a file of the build, whose errors name it and the system's reason

  // The build thread's steps.
  bool VerifyFiles();
  bool CheckSettings(const std::string& outputDir);
  bool Compile();
  void WriteDataPackage(const std::string& path);
  void CopyToCdRom(const std::string& staging, const std::string& target);
  void BuildSelfExtractor(const std::string& staging, const std::string& packagePath);
  void CopyStaged(const std::string& from, const std::string& to);
  void DeleteStagedFiles();
  void RemoveStagingDirectories();
  void Report(const std::string& line);  // FStatus <- line, then ReportStatus on the UI thread

  // Run on the user-interface thread.
  void FetchSettings();
  void FetchProject();
  void FetchPackOptions();
  void FetchFileItem();
  void ReportStatus();
  void ShowFinished();
  void FetchDatasheet();
  void WriteAppInfo();
  void WritePackageList();
  void WriteRegistryList();
  void WriteShortcutList();
  void WriteDllList();
  void WriteCommandLists();
  void WriteOut(const Bytes& bytes);

  void Sync(void (TCompiler::*call)());

  TBuildHost& FHost;
  TFile* FOutFile = nullptr;  // setup.dat, open while its sections are written
  std::string FProgramDir;
  std::string FStatus;
  TAppInfoRec FAppInfo{};
  std::string FSyncText1, FSyncText2, FSyncText3;
  int32_t FSyncIndex = 0;
  bool FSyncFlag1 = false, FSyncFlag2 = false;

  std::string FBase, FTitle;  // the output base directory (with "\") and the title
  datasheet::TDatasheet FDatasheet;  // the project as its datasheet copy writes it
  BuildProject FProject;      // the project as read before anything is written, for the checks
  bool FFailed = false;       // a step reported an "ERROR: " line; the closing line says so
  bool FPackagesComplete = false;  // the media were written whole, whatever came after them
};

// The build thread of this program run, set when the wizard starts it. It frees itself when it
// ends; nothing else uses the reference.
extern TCompiler* Compiler;

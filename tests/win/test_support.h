// What the Wine tests set up again and again: files read and written whole, folder trees listed
// and removed, a fresh folder for each test, the tool files a build takes from the creator's
// folder, a build run to its end, a copy of the running test program run as another Windows
// version, and a system function replaced in the program's import table.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "creator/creator_compiler.h"

namespace testsupport {

std::string ReadAll(const std::string& path);  // "" when missing
void WriteAll(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Removes dir (ending in a backslash) with everything below it, read-only files too.
void RemoveTree(const std::string& dir);
// The names in dir (ending in a backslash), sorted, without "." and "..".
std::vector<std::string> Entries(const std::string& dir);
// The directory of the running test program, with its trailing backslash.
std::string ProgramDir();

// A fresh, empty folder of the running test, "<temp>\cv_<tag>_<suite>.<test>_<process id>\":
// tests running side by side, or one test after another, never share it. Whatever an earlier
// process of the same id left there goes first; the caller removes it when the test ends.
std::string FreshTestDir(const std::string& tag);

// The tool files a build copies from the creator's folder (dir, ending in a backslash).
void WriteTools(const std::string& dir, const std::string& uninstaller, const std::string& extractor,
                const std::string& setup);

// An LZH block of a build's output, restored.
std::string Decompress(const std::string& block);

// The wizard's controls as plain values, for a build without a window: the tool files in Dir,
// both media by choice, the lists from Project.
struct TPlainBuildHost : TBuildHost {
  std::string Dir, Out, Title = "Demo", Licence;
  bool CdRomOn = true, WebOn = true;
  BuildProject Project;
  std::vector<std::string> Report;
  int Finished = 0;
  std::string ProgramDir() override { return Dir; }
  std::string OutputDir() override { return Out; }
  std::string AppTitle() override { return Title; }
  std::string LicenseFile() override { return Licence; }
  bool CdRom() override { return CdRomOn; }
  bool Web() override { return WebOn; }
  bool Compress() override { return Project.Info.CompressData; }
  BuildProject::AppInfo AppInfo() override {
    BuildProject::AppInfo info = Project.Info;
    info.AppTitle = Title;
    return info;
  }
  std::vector<std::string> Packages() override { return Project.Packages; }
  std::vector<BuildProject::RegistryRow> Registry() override { return Project.Registry; }
  std::vector<BuildProject::ShortcutRow> Shortcuts() override { return Project.Shortcuts; }
  std::vector<std::string> DllList() override { return Project.DllList; }
  std::vector<std::string> PIList() override { return Project.PIList; }
  std::vector<std::string> PUIList() override { return Project.PUIList; }
  int FileCount() override { return static_cast<int>(Project.Files.size()); }
  BuildProject::FileRow FileItem(int row) override { return Project.Files.at(static_cast<size_t>(row)); }
  void AddReportLine(const std::string& line) override { Report.push_back(line); }
  void ShowFinished() override { ++Finished; }
  datasheet::TDatasheet Datasheet() override { return {}; }
};

// Runs a build of host to its end, serving its hand-overs meanwhile; false when the build thread
// could not be waited for.
bool RunBuild(TBuildHost& host);

// Runs a copy of the running test program as another Windows version and expects it to exit 0.
// Wine reports the version set for a program's file name under HKCU\Software\Wine\AppDefaults,
// so the copy is made as exe, a name of its own, runs only the tests of filter, and finds what it
// should see in the environment variable var.
void RunAsWindowsVersion(const std::string& exe, const char* version, const char* filter, const char* var,
                         const char* value);

// While it lives, the running program's calls of the system function name, imported from dll,
// reach replacement instead (through the program's import table, so calls made inside the
// system's own libraries are not seen). Installed tells whether the program imports it.
class TImportHook {
public:
  TImportHook(const char* dll, const char* name, void* replacement);
  ~TImportHook();
  TImportHook(const TImportHook&) = delete;
  TImportHook& operator=(const TImportHook&) = delete;
  bool Installed() const { return Slot != nullptr; }
  void* Original() const { return Previous; }

private:
  void** Slot = nullptr;
  void* Previous = nullptr;
};

}  // namespace testsupport

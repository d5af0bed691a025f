// The Windows version check over the versions Wine can report. Wine reads the version a program
// sees when the program starts, from HKCU\Software\Wine\AppDefaults\<exe name>\Version, so the
// test runs a copy of itself under a name of its own once per version, as a child that reports
// what the wizard made of three packages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "setup/setup_main.h"
#include "tests/win/setup_fixture.h"
#include "tests/win/test_support.h"
#include "ui/testing.h"

using fixture::Package;

namespace {

// Packages: only the version's own flag; no flag but "newer"; every other flag but not "newer".
enum TFlags { OwnFlag, NewerOnly, AllOthers };
const int kOsFlag[] = {0, 1, 2, 3, 4, 5, 6, -1};  // index of the flag of each version; -1: none

std::string PackageFor(int version, TFlags flags) {
  Package p;
  std::memset(&p.info.OsWin95, 0, 8);
  uint8_t* f = &p.info.OsWin95;
  const int own = kOsFlag[version];
  if (flags == OwnFlag && own >= 0) f[own] = 1;
  if (flags == NewerOnly) f[7] = 1;
  if (flags == AllOthers)
    for (int i = 0; i < 7; ++i) f[i] = i != own;
  return p.Write("os" + std::to_string(version) + "_" + std::to_string(flags));
}

// The child: one line per package, "<allowed> <CommonSC enabled> <window font> <Label5 font>".
TEST(SetupCheckOSChild, Report) {
  const char* out = std::getenv("CV_CHECKOS_OUT");
  if (!out) GTEST_SKIP() << "runs as the child of SetupCheckOS.OverWindowsVersions";
  const int version = std::atoi(std::getenv("CV_CHECKOS_VERSION"));
  ui::testing::TScriptedDialogs dialogs;
  std::string report;
  for (TFlags flags : {OwnFlag, NewerOnly, AllOthers}) {
    const std::string dir = PackageFor(version, flags);
    TMainForm f;
    f.ProgramPath = dir + "setup.exe";
    f.CommandLine = "setup.exe";
    f.FormCreate();
    const bool allowed = f.Notebook.PageIndex() == pgDefault;
    report += std::to_string(allowed) + " " + std::to_string(f.CommonSC.Enabled()) + " " + f.Font.Name +
              " " + f.Label5.Font.Name + " " + f.Label3.Font.Name + " " + f.LAppWebsite.Font.Name + "\n";
  }
  fixture::WriteFile(out, {report.begin(), report.end()});
}

std::string RunChild(const char* wine, int version) {
  const std::string exe = fixture::TestRoot() + "cvos" + std::to_string(GetCurrentProcessId()) + "_" + wine + ".exe";
  const std::string out = fixture::TestRoot() + "checkos" + std::to_string(version) + ".txt";
  DeleteFileA(out.c_str());
  SetEnvironmentVariableA("CV_CHECKOS_OUT", out.c_str());
  testsupport::RunAsWindowsVersion(exe, wine, "SetupCheckOSChild.Report", "CV_CHECKOS_VERSION",
                                   std::to_string(version).c_str());
  SetEnvironmentVariableA("CV_CHECKOS_OUT", nullptr);
  const std::vector<uint8_t> b = fixture::ReadFile(out);
  return {b.begin(), b.end()};
}

TEST(SetupCheckOS, OverWindowsVersions) {
  struct Version { const char* wine; bool nineX; bool tahoma; };
  const Version versions[] = {{"win95", true, false}, {"win98", true, true},   {"winme", true, true},
                              {"nt40", false, false}, {"win2k", false, true},  {"winxp", false, true},
                              {"win2003", false, true}, {"win7", false, true}};
  for (int v = 0; v < 8; ++v) {
    const Version& w = versions[v];
    const std::string font = w.tahoma ? "Tahoma" : "MS Sans Serif";
    const std::string effects = std::string(w.nineX ? " 0 " : " 1 ") + font + " " + font + " " + font + " " + font + "\n";
    const bool own = kOsFlag[v] >= 0;
    EXPECT_EQ(RunChild(w.wine, v), std::to_string(own) + effects + "1" + effects + "0" + effects) << w.wine;
  }
}

}  // namespace

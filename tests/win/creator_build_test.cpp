// The build started from the wizard: a small project entered in Form1's controls, Next on the
// Ready page, and what the report, the buttons and the output folder show afterwards. The tool
// files lie beside this test program, as they lie beside creator.exe.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "creator/creator_main.h"
#include "tests/win/test_support.h"
#include "ui/testing.h"

namespace {

using Lines = std::vector<std::string>;

using testsupport::Decompress;
using testsupport::Entries;
using testsupport::Exists;
using testsupport::ProgramDir;
using testsupport::ReadAll;
using testsupport::RemoveTree;
using testsupport::WriteAll;

// The expected setup.dat, one field at a time.
struct Expect {
  std::string b;
  void U8(uint32_t v) { b += static_cast<char>(v); }
  void U16(uint32_t v) { U8(v & 0xFF), U8(v >> 8); }
  void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
  void Zero(size_t n) { b.append(n, '\0'); }
  void Text(const std::string& s) {
    size_t n = std::min<size_t>(s.size(), 255);
    U8(static_cast<uint32_t>(n));
    b += s.substr(0, n);
    Zero(255 - n);
  }
};

class WizardBuild : public testing::Test {
 protected:
  void SetUp() override {
    ui::Application.Title = "Corvantaine 2 Setup Creator";
    new TForm1;
    Root = testsupport::FreshTestDir("wizardbuild");
    Out = Root + "Setups";
    F().Edit3.SetText(Out);
  }
  void TearDown() override {
    delete Form1;
    RemoveTree(Root);
    EXPECT_EQ(D.Unscripted, 0);
  }
  TForm1& F() { return *Form1; }
  std::string Source(const std::string& name, const std::string& bytes) {
    WriteAll(Root + name, bytes);
    return Root + name;
  }
  // Next on the Ready page, then this thread serves the build until it has ended.
  void Build() {
    F().Notebook1.SetPageIndex(10);
    F().Button2.Click();
    ASSERT_TRUE(ui::testing::PumpUntil([&] { return !F().BuildRunning(); }, 30000));
    EXPECT_EQ(F().Button1.Text(), "&Finish");
    EXPECT_TRUE(F().Button1.Enabled());
    EXPECT_FALSE(F().Button2.Enabled());
    EXPECT_FALSE(F().Button3.Enabled());
    EXPECT_EQ(F().Label22.Text(), "Corvantaine 2 has finished building your packages.");
    EXPECT_TRUE(F().Label30.Visible());
  }
  ui::testing::TScriptedDialogs D;
  std::string Root, Out;
};

TEST_F(WizardBuild, TheControlsBecomeTheCdRomFolderByteForByte) {
  TForm1& f = F();
  f.EAppTitle.SetText("Demo");
  f.EVersion.SetText("1.0");
  f.ECompany.SetText("Firm");
  f.RadioButton5.SetChecked(true);  // title and version: 3
  f.RadioButton8.SetChecked(true);
  f.CheckBox3.SetChecked(false);    // no Windows ME
  f.CheckBox8.SetChecked(true);
  f.CheckBox14.SetChecked(true);
  f.Edit5.SetText(Source("licence.txt", "Take it or leave it.\r\n"));
  f.CheckBox16.SetChecked(true);
  f.CheckBox12.SetChecked(true);
  f.PackageList.push_back("Extras");
  f.Registry.AddRow({"hkey_local_machine\\Software\\Firm", "Version", "1.0", "String"});
  f.Registry.AddRow({"HKEY_CLASSES_ROOT\\.demo", "", "hex:00,ff", "Binary Data"});
  f.ShortCuts.AddRow({"<Programs>\\Firm", "Demo", "<InstallRoot>\\demo.exe", "/x", "", "0"});
  f.ShortCuts.AddRow({"<QuickLaunch>", "Demo", "<InstallRoot>\\demo.exe", "", "<InstallRoot>\\demo.exe", "70000"});
  f.DLLList.Add("<InstallRoot>\\demo.ocx");
  f.PIList.Add("<InstallRoot>\\demo.exe /setup");
  f.PUIList.Add("");
  const std::string demo(5000, 'd'), manual = "Read me.\r\n";
  f.FileList.AddRow({"<InstallRoot>\\demo.exe", Source("demo.exe", demo), "Required Files"});
  f.FileList.AddRow({"<InstallRoot>\\Docs\\manual.txt", Source("manual.txt", manual), "Extras"});
  f.FileList.AddRow({"<InstallRoot>\\empty.dat", Source("empty.dat", ""), "Extras"});
  Build();

  EXPECT_EQ(f.Report.Items(),
            (Lines{"Verifying File Existences...", "Gathering Application Information...", "Writing Packages List...",
                   "Writing List of Registry Changes...", "Writing Shotcut List...", "Writing DLL/OCX List...",
                   "Writing List of Additional Commands...", "Creating Data Package...", "Packaging File: demo.exe...",
                   "Packaging File: manual.txt...", "Packaging File: empty.dat...",
                   "Creating Data for Media: CD-ROM...", "Saving Setup Datasheet...",
                   "Compiling done, everything seems to be alright"}));
  const std::string base = Out + "\\Demo\\", cd = base + "CD-ROM\\";
  EXPECT_EQ(Entries(base), (Lines{"CD-ROM", "Demo.sds"}));
  EXPECT_EQ(Entries(cd), (Lines{"data.pak", "license.rtf", "setup.dat", "setup.exe"}));
  EXPECT_EQ(ReadAll(cd + "setup.exe"), ReadAll(ProgramDir() + "setup.exe"));
  EXPECT_EQ(ReadAll(cd + "license.rtf"), "Take it or leave it.\r\n");
  EXPECT_NE(ReadAll(base + "Demo.sds").find("Name=\"Demo\""), std::string::npos);

  const std::string uninstaller = ReadAll(ProgramDir() + "cv2uinst.exe");
  const std::string pak = ReadAll(cd + "data.pak"), dat = ReadAll(cd + "setup.dat");
  ASSERT_EQ(pak.substr(0, uninstaller.size()), uninstaller);
  // The stored blocks, as data.pak holds them one after the other.
  const size_t U = uninstaller.size(), fileSection = dat.size() - 4 - 3 * 524;
  std::vector<std::pair<int32_t, int32_t>> stored;  // offset, size
  for (int i = 0; i < 3; ++i) {
    int32_t at, size;
    std::memcpy(&at, dat.data() + fileSection + 4 + i * 524 + 512, 4);
    std::memcpy(&size, dat.data() + fileSection + 4 + i * 524 + 516, 4);
    stored.push_back({at, size});
  }
  EXPECT_EQ(Decompress(pak.substr(stored[0].first - 1, stored[0].second)), demo);
  EXPECT_EQ(Decompress(pak.substr(stored[1].first - 1, stored[1].second)), manual);
  EXPECT_EQ(Decompress(pak.substr(stored[2].first - 1, stored[2].second)), "");
  EXPECT_EQ(pak.size(), U + stored[0].second + stored[1].second + stored[2].second);

  Expect e;
  e.Text("Demo"), e.Text("1.0"), e.Text("Firm"), e.Text("http://");
  e.U8(3), e.U8(1);
  for (int os : {1, 1, 0, 1, 1, 1, 1, 1}) e.U8(os);  // 95 98 ME NT4 2000 XP 2003 newer
  e.U8(0), e.U8(1), e.U8(1);                           // desktop, start menu, Quick Launch
  e.Text("<ProgramFiles>\\<AppName>");
  e.U8(0), e.U8(1), e.U8(1), e.U32(0), e.U32(static_cast<uint32_t>(U)), e.U8(1), e.Zero(3);
  e.U8(2), e.Text("Required Files"), e.Text("Extras");
  e.U16(2);
  e.U32(0x80000002), e.Text("Software\\Firm"), e.Text("Version"), e.Text("1.0"), e.U8(4), e.Zero(3);
  e.U32(0x80000000), e.Text(".demo"), e.Text(""), e.Text("hex:00,ff"), e.U8(0), e.Zero(3);
  e.U8(2);
  e.Text("<Programs>\\Firm"), e.Text("<InstallRoot>\\demo.exe"), e.Text("Demo"), e.Text("/x");
  e.U8(0), e.Zero(256), e.U8(0), e.U16(0);
  e.Text("<QuickLaunch>"), e.Text("<InstallRoot>\\demo.exe"), e.Text("Demo"), e.Text("");
  e.U8(1), e.Text("<InstallRoot>\\demo.exe"), e.U8(0), e.U16(70000 % 65536);
  e.U16(1), e.Text("<InstallRoot>\\demo.ocx");
  e.U8(1), e.Text("<InstallRoot>\\demo.exe /setup");
  e.U8(1), e.Text("");
  e.U32(3);
  e.Text("<InstallRoot>\\demo.exe"), e.Text("Required Files");
  e.U32(static_cast<uint32_t>(U + 1)), e.U32(stored[0].second), e.U32(5000);
  e.Text("<InstallRoot>\\Docs\\manual.txt"), e.Text("Extras");
  e.U32(static_cast<uint32_t>(U + 1 + stored[0].second)), e.U32(stored[1].second), e.U32(10);
  e.Text("<InstallRoot>\\empty.dat"), e.Text("Extras");
  e.U32(static_cast<uint32_t>(U + 1 + stored[0].second + stored[1].second)), e.U32(stored[2].second), e.U32(0);
  ASSERT_EQ(dat.size(), 1320u + 256 * 2 + 776 * 2 + 1284 * 2 + 256 + 256 + 256 + 524 * 3);
  ASSERT_EQ(dat.size(), e.b.size());
  for (size_t i = 0; i < dat.size(); ++i) ASSERT_EQ(dat[i], e.b[i]) << "at byte " << i;
}

TEST_F(WizardBuild, AMissingSourceStopsTheBuildAndFinishes) {
  TForm1& f = F();
  f.EAppTitle.SetText("Demo");
  f.EVersion.SetText("1.0");
  f.FileList.AddRow({"<InstallRoot>\\a.exe", Root + "a.exe", "Required Files"});
  Build();
  EXPECT_EQ(f.Report.Items(), (Lines{"Verifying File Existences...", "ERROR: 'a.exe' in '" + Root + "' not found",
                                     "ERROR: Files missing, cannot compile"}));
  EXPECT_FALSE(Exists(Out));
}

// The datasheet copy is the last step: when its place is taken by a folder, the closing line says
// that the copy was not saved and that both media are complete, as they are.
TEST_F(WizardBuild, ABlockedDatasheetCopyLeavesCompletePackages) {
  TForm1& f = F();
  f.EAppTitle.SetText("Demo");
  f.EVersion.SetText("1.0");
  f.CheckBox11.SetChecked(true);
  f.CheckBox10.SetChecked(true);
  f.FileList.AddRow({"<InstallRoot>\\demo.exe", Source("demo.exe", std::string(3000, 'd')), "Required Files"});
  const std::string base = Out + "\\Demo\\";
  CreateDirectoryA(Out.c_str(), nullptr);
  CreateDirectoryA(base.c_str(), nullptr);
  CreateDirectoryA((base + "Demo.sds").c_str(), nullptr);
  Build();

  const Lines report = f.Report.Items();
  ASSERT_GE(report.size(), 5u);
  EXPECT_EQ(Lines(report.end() - 5, report.end() - 2),
            (Lines{"Creating Data for Media: CD-ROM...", "Creating Data for Media: Self-Extracting Package...",
                   "Saving Setup Datasheet..."}));
  EXPECT_EQ(report[report.size() - 2].rfind("ERROR: ", 0), 0u) << report[report.size() - 2];
  EXPECT_NE(report[report.size() - 2].find("Demo.sds"), std::string::npos) << report[report.size() - 2];
  EXPECT_EQ(report.back(), "ERROR: The Setup Datasheet copy was not saved, but the packages are complete");
  EXPECT_EQ(Entries(base), (Lines{"CD-ROM", "Demo.sds", "Web"}));
  EXPECT_EQ(Entries(base + "CD-ROM\\"), (Lines{"data.pak", "setup.dat", "setup.exe"}));
  EXPECT_EQ(Entries(base + "Web\\"), (Lines{"Demo.exe"}));
  const std::string package = ReadAll(base + "Web\\Demo.exe"), stub = ReadAll(ProgramDir() + "extractor.exe");
  EXPECT_EQ(package.substr(0, stub.size()), stub);
  EXPECT_EQ(package.substr(package.size() - 4), "\x2e\x22\x6b\x3d");
}

// Who creates which datasheet file, while a build runs.
std::mutex SheetsLock;
std::vector<DWORD> SheetCreators;  // the threads that created a ".sds" file
decltype(&CreateFileA) RealCreateFile;
HANDLE WINAPI WatchCreateFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD how,
                              DWORD flags, HANDLE model) {
  const size_t n = lstrlenA(name);
  if (n > 4 && lstrcmpiA(name + n - 4, ".sds") == 0 && (access & GENERIC_WRITE)) {
    std::lock_guard<std::mutex> hold(SheetsLock);
    SheetCreators.push_back(GetCurrentThreadId());
  }
  return RealCreateFile(name, access, share, sa, how, flags, model);
}

// The copy of a large project would hold the window while it is written: the window's thread only
// reads the project, and the build's own thread writes the file.
TEST_F(WizardBuild, TheDatasheetCopyIsWrittenByTheBuildThread) {
  TForm1& f = F();
  f.EAppTitle.SetText("Demo");
  f.EVersion.SetText("1.0");
  f.FileList.AddRow({"<InstallRoot>\\demo.exe", Source("demo.exe", "d"), "Required Files"});
  for (int i = 0; i < 500; ++i) {
    std::string name = "v";
    name += std::to_string(i);
    f.Registry.AddRow({"HKEY_CURRENT_USER\\Software\\Demo\\", name, "x", "String"});
  }
  SheetCreators.clear();
  {
    testsupport::TImportHook hook("KERNEL32.dll", "CreateFileA", reinterpret_cast<void*>(WatchCreateFile));
    ASSERT_TRUE(hook.Installed());
    RealCreateFile = reinterpret_cast<decltype(RealCreateFile)>(hook.Original());
    Build();
  }
  const Lines report = f.Report.Items();
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(Lines(report.end() - 2, report.end()),
            (Lines{"Saving Setup Datasheet...", "Compiling done, everything seems to be alright"}));
  ASSERT_EQ(SheetCreators.size(), 1u);
  EXPECT_NE(SheetCreators[0], GetCurrentThreadId());
  EXPECT_EQ(ReadAll(Out + "\\Demo\\Demo.sds"), datasheet::FileText(datasheet::Entries(f.Project())));
}

}  // namespace

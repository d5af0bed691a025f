// The programs beside DLLs with system names, and run in a current directory that holds them too,
// with Wine told to take those names as Windows does, from the program's folder first (the test
// runs with WINEDLLOVERRIDES "comctl32,uxtheme,version=n,b", which the programs it starts
// inherit): what lies there is not loaded, and the programs work as ever, their common controls
// and the version lookup of the uninstaller included. comctl32.dll and version.dll are what the
// programs use; uxtheme.dll is what the system's comctl32 loads by its name once it needs it. A
// regsvr32.exe lies there too: setup registers its DLLs with the system's.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "tests/e2e/child_process.h"
#include "tests/win/setup_fixture.h"

namespace {

std::string WinDir() {
  char dir[MAX_PATH] = "";
  GetEnvironmentVariableA("WINDIR", dir, sizeof dir);
  return dir;
}

// The child windows of a window with their class names, for a look at another process's window.
std::vector<std::pair<std::string, HWND>> Controls(HWND window) {
  std::vector<std::pair<std::string, HWND>> found;
  EnumChildWindows(
      window,
      [](HWND h, LPARAM p) {
        char cls[64] = "";
        GetClassNameA(h, cls, sizeof cls);
        reinterpret_cast<std::vector<std::pair<std::string, HWND>>*>(p)->emplace_back(cls, h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> ControlsOf(HWND window, const char* cls) {
  std::vector<HWND> of;
  for (const auto& [name, h] : Controls(window))
    if (lstrcmpiA(name.c_str(), cls) == 0) of.push_back(h);
  return of;
}

int Columns(HWND listView) {
  return static_cast<int>(SendMessageA(reinterpret_cast<HWND>(SendMessageA(listView, LVM_GETHEADER, 0, 0)),
                                       HDM_GETITEMCOUNT, 0, 0));
}

class PlantedDlls : public ::testing::Test {
 protected:
  void SetUp() override {
    FRoot = fixture::TestRoot();
    FHere = FRoot + "here\\";
    CreateDirectoryA(FHere.c_str(), nullptr);
    Plant(FHere);
    char before[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, before);
    FDirBefore = before;
    SetCurrentDirectoryA(FHere.c_str());  // the children's current directory
  }
  void TearDown() override { SetCurrentDirectoryA(FDirBefore.c_str()); }

  // The planted DLLs in dir (ending in a backslash), under the system's names. What uxtheme.dll
  // exports does not matter: it is only to be left alone.
  static void Plant(const std::string& dir) {
    for (const char* name : {"comctl32", "uxtheme"})
      ASSERT_TRUE(CopyFileA((ProgramDir() + "planted_comctl32.dll").c_str(), (dir + name + ".dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((ProgramDir() + "planted_version.dll").c_str(), (dir + "version.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((ProgramDir() + "planted_program.exe").c_str(), (dir + "regsvr32.exe").c_str(), FALSE));
  }

  // A copy of a program of this build in dir (ending in a backslash) beside the planted DLLs.
  std::string PlantedProgram(const std::string& dir, const std::string& exe) {
    CreateDirectoryA(dir.c_str(), nullptr);
    Plant(dir);
    EXPECT_TRUE(CopyFileA((ProgramDir() + "..\\..\\dist\\" + exe).c_str(), (dir + exe).c_str(), FALSE));
    return dir + exe;
  }

  // Nothing planted beside the program or in the current directory was loaded, or called.
  void ExpectNothingPlantedUsed(const std::string& besideProgram) {
    for (const std::string& dir : {besideProgram, FHere})
      for (const char* marker : {"comctl32.dll.loaded", "uxtheme.dll.loaded", "version.dll.called", "regsvr32.exe.ran"})
        EXPECT_FALSE(fixture::FileExists(dir + marker)) << dir << marker;
  }

  std::string FRoot, FHere, FDirBefore;
};

TEST_F(PlantedDlls, SetupInstallsWithTheSystemsDllsAndShowsItsCommonControls) {
  fixture::Package p;
  const std::string uninstaller = ProgramDir() + "..\\..\\dist\\cv2uinst.exe";
  p.uninstaller = fixture::ReadFile(uninstaller);
  ASSERT_FALSE(p.uninstaller.empty());
  p.packages = {"Required Files", "Extras"};
  TPackedFileRec file{};
  file.DestPath.Set("<InstallRoot>\\a.txt");
  file.PackageName.Set("Required Files");
  file.DataOffset = static_cast<int32_t>(p.uninstaller.size()) + 1;  // "data" after the uninstaller
  file.StoredSize = file.OriginalSize = 4;
  p.files = {file};
  // A DLL to register, which leaves regmark.dll.mark beside itself when the registration tool runs.
  const std::string dll = FRoot + "regmark.dll";
  ASSERT_TRUE(CopyFileA((ProgramDir() + "..\\win\\fixtures\\regmark.dll").c_str(), dll.c_str(), FALSE));
  DeleteFileA((dll + ".mark").c_str());
  p.dlls = {dll};
  const std::string dir = p.Write("planted"), setup = PlantedProgram(dir, "setup.exe");

  // Attended: the components are a check-box list view whose rows are as high as an image list
  // makes them, the progress page holds a progress bar. Cancelled on the welcome page.
  const std::string wizard = "Acme Editor 2.0 - Corvantaine Wizard";
  auto look = [](HWND w) {
    std::vector<HWND> lists = ControlsOf(w, WC_LISTVIEWA), bars = ControlsOf(w, PROGRESS_CLASSA);
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(SendMessageA(lists[0], LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_NE(SendMessageA(lists[0], LVM_GETIMAGELIST, LVSIL_SMALL, 0), 0);
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(SendMessageA(bars[0], PBM_GETRANGE, FALSE, 0), 100);
  };
  TChildRun attended = RunChild("\"" + setup + "\"", {IDYES}, 30000, {{wizard, "&Cancel", look}});
  EXPECT_FALSE(attended.TimedOut);
  EXPECT_EQ(attended.ExitCode, 2u);
  ASSERT_EQ(attended.Boxes.size(), 2u);
  EXPECT_EQ(attended.Boxes[0].Caption, wizard);
  ExpectNothingPlantedUsed(dir);

  // Unattended, over an older uninstaller in the system folder: its version and the package's
  // are read with the system's version functions, and the newer one takes its place.
  const std::string system = WinDir() + "\\system32\\cv2uinst.exe";
  const std::vector<uint8_t> before = fixture::ReadFile(system);
  ASSERT_TRUE(CopyFileA((ProgramDir() + "..\\win\\fixtures\\version2900.exe").c_str(), system.c_str(), FALSE));
  TChildRun run = RunChild("\"" + setup + "\" /u \"/d:" + FRoot + "planted_dest\"");
  const std::vector<uint8_t> after = fixture::ReadFile(system);
  if (before.empty()) DeleteFileA(system.c_str());
  else fixture::WriteFile(system, before);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Editor 2.0");
  EXPECT_FALSE(run.TimedOut);
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_TRUE(run.Boxes.empty());
  EXPECT_EQ(fixture::ReadFile(FRoot + "planted_dest\\a.txt"), (std::vector<uint8_t>{'d', 'a', 't', 'a'}));
  EXPECT_EQ(after, p.uninstaller) << "the uninstaller of version 3 replaces the one of 2.9";
  EXPECT_TRUE(fixture::FileExists(dll + ".mark")) << "the system's regsvr32.exe registered the DLL";
  // Wine's own user32 took the planted version.dll: the planted DLLs lie where Wine looks.
  EXPECT_TRUE(fixture::FileExists(dir + "version.dll.loaded")) << "run without comctl32,uxtheme,version=n,b?";
  ExpectNothingPlantedUsed(dir);
}

TEST_F(PlantedDlls, TheCreatorShowsItsListViews) {
  const std::string creator = PlantedProgram(FRoot + "creator\\", "creator.exe");
  // The wizard's report list views, with their columns: files (3), registry values (4) and
  // shortcuts (6). Closed with Cancel, the settings not saved.
  const std::string wizard = "Corvantaine 2 - Setup Creator";
  auto look = [](HWND w) {
    std::vector<int> columns;
    for (HWND list : ControlsOf(w, WC_LISTVIEWA)) columns.push_back(Columns(list));
    EXPECT_EQ(columns, (std::vector<int>{3, 4, 6}));
  };
  TChildRun run = RunChild("\"" + creator + "\"", {IDNO}, 30000, {{wizard, "&Cancel", look}});
  EXPECT_FALSE(run.TimedOut);
  EXPECT_EQ(run.ExitCode, 0u);
  ASSERT_EQ(run.Boxes.size(), 2u);
  EXPECT_EQ(run.Boxes[0].Caption, wizard);
  ExpectNothingPlantedUsed(FRoot + "creator\\");
}

}  // namespace

// The whole road: the creator's build makes a web package with the real tools; the one file runs
// through extractor.exe with "/u" and installs; the uninstall entry's command, with "/u", leaves
// the machine as it was before.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>

#include "creator/creator_compiler.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/e2e_util.h"
#include "tests/win/test_support.h"

using namespace e2e;

namespace {

using Lines = std::vector<std::string>;
const std::string UninstallKeys = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// The wizard's controls as plain values; the tools come from the build's own dist folder.
struct THost : testsupport::TPlainBuildHost {
  THost() { CdRomOn = false; }
  std::string ProgramDir() override { return ::ProgramDir() + "..\\..\\dist\\"; }
};

// Every file and folder below dir, with the files' contents: what "as it was" compares.
void Snapshot(const std::string& dir, Lines& into) {
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = fd.cFileName, path = dir + "\\" + name;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      into.push_back(path + "\\");
      Snapshot(path, into);
    } else {
      into.push_back(path + " = " + ReadText(path));
    }
  } while (FindNextFileA(find, &fd));
  FindClose(find);
}

std::string WinDir() {
  char dir[MAX_PATH] = "";
  GetEnvironmentVariableA("WINDIR", dir, sizeof dir);
  return dir;
}

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}

class WebPackage : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Init();
    FName = TestName();
    FBase = FreshDir("web-" + FName);
    FSrc = FBase + "\\src";
    FDest = FBase + "\\Programs\\CvWeb App";
    FHost.Out = FBase + "\\out";
    FHost.Title = "CvWeb " + FName;
    FUserKey = "Software\\CvToolsWeb " + FName;  // its parent exists: setup logs only the key it names
    FMenu = SpecialFolder(CSIDL_PROGRAMS) + "\\" + FHost.Title;
    DeleteRegTree(HKEY_CURRENT_USER, FUserKey);
    DeleteRegTree(HKEY_LOCAL_MACHINE, UninstallKeys + FHost.Title);
    DeleteTree(FMenu);
    MakeDirs(FSrc);
    MakeDirs(FBase + "\\Programs");
    SetEnvironmentVariableA("CV_TEST_REG_MARKER", (FBase + "\\reg.txt").c_str());

    BuildProject& p = FHost.Project;
    p.Info.AppVersion = "1.0";
    p.Info.RadioButton3 = false;  // announced by its title alone
    p.Info.RadioButton6 = true;
    p.Info.CompressData = true;
    p.Info.DefaultDestDir = FDest;
    p.Packages = {"Required Files"};
    AddFile("app.exe", "<InstallRoot>\\app.exe", std::string(5000, 'a'));
    AddFile("readme.txt", "<InstallRoot>\\doc\\en\\readme.txt", "read me\r\n");
    AddFile("keep.txt", "<InstallRoot>\\keep.txt", "from the package");
    CopyFileA((::ProgramDir() + "cvtestreg.dll").c_str(), (FSrc + "\\cvtestreg.dll").c_str(), FALSE);
    p.Files.push_back({"<InstallRoot>\\cvtestreg.dll", FSrc + "\\cvtestreg.dll", "Required Files"});
    p.Registry = {{"HKEY_CURRENT_USER\\" + FUserKey, "Path", "<InstallRoot>", "String"}};
    p.Shortcuts = {{"<Programs>\\<AppName>", "App", "<InstallRoot>\\app.exe", "", "", ""}};
    p.DllList = {"<InstallRoot>\\cvtestreg.dll"};
    p.PUIList = {"cmd /c echo bye>>\"" + FBase + "\\bye.txt\""};
  }

  void TearDown() override {
    DeleteRegTree(HKEY_CURRENT_USER, FUserKey);
    DeleteRegTree(HKEY_LOCAL_MACHINE, UninstallKeys + FHost.Title);
    DeleteTree(FMenu);
    DeleteTree(FBase);
  }

  void AddFile(const std::string& name, const std::string& dest, const std::string& bytes) {
    WriteText(FSrc + "\\" + name, bytes);
    FHost.Project.Files.push_back({dest, FSrc + "\\" + name, "Required Files"});
  }

  // Runs the build to its end, serving its hand-overs; answers the package's path.
  std::string Build() {
    testsupport::RunBuild(FHost);
    return FHost.Out + "\\" + FHost.Title + "\\Web\\" + FHost.Title + ".exe";
  }

  // What the installation may change, as it is now.
  Lines State() {
    Lines s;
    Snapshot(FBase + "\\Programs", s);
    Snapshot(FMenu, s);
    std::sort(s.begin(), s.end());
    s.push_back(DirExists(FMenu) ? "menu folder" : "no menu folder");
    s.push_back(RegKeyExists(HKEY_CURRENT_USER, FUserKey) ? "user key" : "no user key");
    s.push_back(RegKeyExists(HKEY_LOCAL_MACHINE, UninstallKeys + FHost.Title) ? "entry" : "no entry");
    return s;
  }

  // The uninstall entry's command, as Add/Remove Programs would start it, with "/u".
  std::string UninstallCommand() {
    HKEY h;
    char command[1024] = "";
    DWORD size = sizeof command - 1;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (UninstallKeys + FHost.Title).c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
      RegQueryValueExA(h, "UninstallString", nullptr, nullptr, reinterpret_cast<BYTE*>(command), &size);
      RegCloseKey(h);
    }
    return command;
  }

  THost FHost;
  std::string FName, FBase, FSrc, FDest, FUserKey, FMenu;
};

TEST_F(WebPackage, InstallsFromOneFileAndUninstallsToTheStateBefore) {
  const Lines before = State();
  std::string package = Build();
  ASSERT_TRUE(FileExists(package)) << testing::PrintToString(FHost.Report);

  TChildRun install = RunChild("\"" + package + "\" /u");
  ASSERT_FALSE(install.TimedOut);
  EXPECT_EQ(install.ExitCode, 0u);  // setup.exe's, passed on by the stub
  EXPECT_TRUE(install.Boxes.empty()) << install.Boxes[0].Text;
  EXPECT_EQ(ReadText(FDest + "\\app.exe"), std::string(5000, 'a'));
  EXPECT_EQ(ReadText(FDest + "\\doc\\en\\readme.txt"), "read me\r\n");
  EXPECT_TRUE(FileExists(FDest + "\\cv2uinst.dat"));
  EXPECT_TRUE(FileExists(FMenu + "\\App.lnk"));
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, FUserKey, "Path"));
  EXPECT_EQ(ReadText(FBase + "\\reg.txt"), "register\r\n");
  std::string command = UninstallCommand();
  ASSERT_EQ(command, WinDir() + "\\system32\\cv2uinst.exe \"" + FDest + "\\cv2uinst.dat\"");
  // The uninstaller in the system folder is this build's.
  EXPECT_EQ(ReadText(WinDir() + "\\system32\\cv2uinst.exe"),
            ReadText(FHost.ProgramDir() + "cv2uinst.exe"));

  TChildRun uninstall = RunChild(command + " /u");
  EXPECT_EQ(uninstall.ExitCode, 0u);
  EXPECT_TRUE(uninstall.Boxes.empty());
  EXPECT_EQ(State(), before);
  EXPECT_EQ(ReadText(FBase + "\\bye.txt"), "bye\r\n");
  EXPECT_EQ(ReadText(FBase + "\\reg.txt"), "register\r\nunregister\r\n");
}

TEST_F(WebPackage, KeepsAFileFromBeforeAndAFolderTheUserFilled) {
  MakeDirs(FDest);
  WriteText(FDest + "\\keep.txt", "mine from before");
  const Lines before = State();
  std::string package = Build();
  ASSERT_TRUE(FileExists(package)) << testing::PrintToString(FHost.Report);

  // The file that exists is not replaced: the overwrite question is answered No.
  TChildRun install = RunChild("\"" + package + "\" /u", {}, 30000, {{"Confirm", "&No"}});
  ASSERT_FALSE(install.TimedOut);
  ASSERT_EQ(install.Boxes.size(), 1u);
  EXPECT_EQ(install.ExitCode, 0u);
  EXPECT_NE(install.Boxes[0].Text.find("keep.txt"), std::string::npos) << install.Boxes[0].Text;
  EXPECT_EQ(ReadText(FDest + "\\keep.txt"), "mine from before");
  WriteText(FDest + "\\doc\\en\\notes.txt", "the user's");

  TChildRun uninstall = RunChild(UninstallCommand() + " /u");
  EXPECT_EQ(uninstall.ExitCode, 1u);  // the folder the user filled stays, and says so
  Lines expected = before;
  expected.insert(expected.end() - 3, {FDest + "\\doc\\", FDest + "\\doc\\en\\", FDest + "\\doc\\en\\notes.txt = the user's"});
  std::sort(expected.begin(), expected.end() - 3);
  EXPECT_EQ(State(), expected);
}

TEST_F(WebPackage, ReplacesAnOlderUninstallerInTheSystemFolderButNotAnEqualOne) {
  const std::string system = WinDir() + "\\system32\\cv2uinst.exe", ours = ReadText(FHost.ProgramDir() + "cv2uinst.exe");
  const std::string package = Build();
  ASSERT_TRUE(FileExists(package)) << testing::PrintToString(FHost.Report);

  // 2.9.0.0 (2900) is older than this build's 3.0.0.0 (3000).
  ASSERT_TRUE(CopyFileA((::ProgramDir() + "..\\win\\fixtures\\version2900.exe").c_str(), system.c_str(), FALSE));
  EXPECT_FALSE(RunChild("\"" + package + "\" /u").TimedOut);
  EXPECT_EQ(ReadText(system), ours);
  EXPECT_EQ(RunChild(UninstallCommand() + " /u").ExitCode, 0u);

  // A copy of the same version stays as it is (the bytes after the image mark it).
  WriteText(system, ours + "same version");
  EXPECT_FALSE(RunChild("\"" + package + "\" /u").TimedOut);
  EXPECT_EQ(ReadText(system), ours + "same version");
  EXPECT_EQ(RunChild(UninstallCommand() + " /u").ExitCode, 0u);
  WriteText(system, ours);
}

}  // namespace

// cv2uinst.exe as the uninstall entry starts it, on logs written here by hand in setup's format.
#include <gtest/gtest.h>

#include "tests/e2e/child_process.h"
#include "tests/e2e/e2e_util.h"

using namespace e2e;

namespace {

// The text in double quotes, as a command line names a path.
std::string Quoted(const std::string& s) {
  std::string q(1, '"');
  q.append(s).append(1, '"');
  return q;
}

const std::string UninstallKeys = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Uninstaller() { return ProgramDir() + "..\\..\\dist\\cv2uinst.exe"; }

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// An installation as setup leaves it, with its log: a new application directory with a file, a
// file two new levels down, a registered DLL and a shortcut in a new folder of an existing menu;
// registry values in a new key and in an existing one; the uninstall entry; two commands.
class InstalledApp : public ::testing::Test {
 protected:
  void SetUp() override {
    FName = TestName();
    FBase = FreshDir(FName);
    FApp = FBase + "\\My App";
    FMenu = FBase + "\\Menu\\Programs";
    FLog = FApp + "\\cv2uinst.dat";
    FUserKey = "Software\\CvToolsE2E\\" + FName;
    FEntryKey = UninstallKeys + "CvTools E2E " + FName;
    DeleteRegTree(HKEY_CURRENT_USER, FUserKey);
    DeleteRegTree(HKEY_LOCAL_MACHINE, FEntryKey);

    // What was there before.
    MakeDirs(FMenu);
    MakeDirs(FBase + "\\shared");
    WriteText(FBase + "\\shared\\common.dll", "theirs");  // kept: setup was told not to replace it
    SetRegString(HKEY_CURRENT_USER, FUserKey + "\\Shared", "Theirs", "1");
    SetEnvironmentVariableA("CV_TEST_REG_MARKER", (FBase + "\\reg.txt").c_str());

    // What setup made.
    MakeDirs(FApp + "\\doc\\en");
    WriteText(FLog, "");
    WriteText(FApp + "\\tool.exe", "tool");
    WriteText(FApp + "\\doc\\en\\read me.txt", "doc");
    CopyFileA((ProgramDir() + "cvtestreg.dll").c_str(), (FApp + "\\cvtestreg.dll").c_str(), FALSE);
    MakeDirs(FMenu + "\\My App");
    WriteText(FMenu + "\\My App\\Tool.lnk", "link");
    SetRegString(HKEY_CURRENT_USER, FUserKey + "\\Settings", "Path", FApp);
    SetRegString(HKEY_CURRENT_USER, FUserKey + "\\Settings", "", "default");
    SetRegString(HKEY_CURRENT_USER, FUserKey + "\\Shared", "Added", "2");
    SetRegString(HKEY_LOCAL_MACHINE, FEntryKey, "DisplayName", DisplayName());
    SetRegString(HKEY_LOCAL_MACHINE, FEntryKey, "UninstallString", "C:\\windows\\system32\\cv2uinst.exe \"" + FLog + "\"");
    SetRegString(HKEY_LOCAL_MACHINE, FEntryKey, "DisplayIcon", FApp + "\\tool.exe");  // put there by others

    const std::string hkcu = "HKEY_CURRENT_USER\\" + FUserKey, entry = "HKEY_LOCAL_MACHINE\\" + FEntryKey;
    FLogLines = "CreateDir::" + FApp + "\r\n" +
                 "CreateFile::" + FLog + "\r\n" +
                 "CreateFile::" + FApp + "\\tool.exe\r\n" +
                 "CreateDir::" + FApp + "\\doc\\en\\\r\n" +
                 "CreateFile::" + FApp + "\\doc\\en\\read me.txt\r\n" +
                 "CreateFile::" + FApp + "\\cvtestreg.dll\r\n" +
                 "CreateRegKey::" + hkcu + "\\Settings\\\r\n" +
                 "CreateRegValue::" + hkcu + "\\Settings\\\\Path\r\n" +
                 "CreateRegValue::" + hkcu + "\\Settings\\\\\r\n" +
                 "CreateRegValue::" + hkcu + "\\Shared\\Added\r\n" +
                 "CreateRegKey::" + entry + "\r\n" +
                 "CreateRegValue::" + entry + "\\DisplayName\r\n" +
                 "CreateRegValue::" + entry + "\\UninstallString\r\n" +
                 "CreateDir::" + FMenu + "\\My App\\\r\n" +
                 "CreateFile::" + FMenu + "\\My App\\Tool.lnk\r\n" +
                 "RegisterDLL::regsvr32.exe /s \"" + FApp + "\\cvtestreg.dll\"\r\n" +
                 // The first command still sees the files; the second runs after it.
                 "Exec::cmd /c type \"" + FApp + "\\tool.exe\" >> \"" + FBase + "\\exec.txt\"\r\n" +
                 "Exec::cmd /c echo second>>\"" + FBase + "\\exec.txt\"\r\n";
    WriteText(FLog, FLogLines);
  }

  void TearDown() override {
    DeleteRegTree(HKEY_CURRENT_USER, FUserKey);
    DeleteRegTree(HKEY_LOCAL_MACHINE, FEntryKey);
    DeleteTree(FBase);
  }

  std::string DisplayName() const { return "CvTools E2E " + FName + " 1.0"; }
  TChildRun Uninstall(const std::string& args, std::vector<int> answers = {}) {
    return RunChild(Quoted(Uninstaller()) + " " + Quoted(FLog) + args, answers);
  }

  // Everything that was there before the installation is there still.
  void ExpectBeforeStateKept() {
    EXPECT_TRUE(DirExists(FMenu));
    EXPECT_EQ(ReadText(FBase + "\\shared\\common.dll"), "theirs");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, FUserKey + "\\Shared", "Theirs"));
  }
  // Everything that setup made is gone (the application directory aside).
  void ExpectInstallationGone() {
    for (const char* file : {"\\tool.exe", "\\doc\\en\\read me.txt", "\\cvtestreg.dll", "\\cv2uinst.dat"})
      EXPECT_FALSE(FileExists(FApp + file)) << file;
    EXPECT_FALSE(DirExists(FApp + "\\doc\\en"));
    EXPECT_FALSE(DirExists(FMenu + "\\My App"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, FUserKey + "\\Settings", "Path"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, FUserKey + "\\Shared", "Added"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, FEntryKey));
    EXPECT_EQ(ReadText(FBase + "\\exec.txt"), "toolsecond\r\n");
    EXPECT_EQ(ReadText(FBase + "\\reg.txt"), "unregister\r\n");
  }

  std::string FName, FBase, FApp, FMenu, FLog, FUserKey, FEntryKey, FLogLines;
};

TEST_F(InstalledApp, SilentRunLeavesTheMachineAsItWas) {
  TChildRun run = Uninstall(" /u");
  ASSERT_TRUE(run.Started);
  EXPECT_FALSE(run.TimedOut);
  EXPECT_TRUE(run.Boxes.empty());
  EXPECT_EQ(run.ExitCode, 0u);
  ExpectInstallationGone();
  ExpectBeforeStateKept();
  EXPECT_FALSE(DirExists(FApp));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, FUserKey + "\\Settings"));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, FUserKey));  // not logged: it existed before
}

TEST_F(InstalledApp, KeepsWhatTheUserAddedAndSaysSoOnce) {
  WriteText(FApp + "\\doc\\notes.txt", "mine");
  SetRegString(HKEY_CURRENT_USER, FUserKey + "\\Settings", "Recent", "mine");
  TChildRun run = Uninstall("", {IDYES, IDOK});
  EXPECT_FALSE(run.TimedOut);
  ASSERT_EQ(run.Boxes.size(), 2u);
  EXPECT_EQ(run.Boxes[0].Caption, "Uninstall");
  EXPECT_NE(run.Boxes[0].Text.find(DisplayName()), std::string::npos) << run.Boxes[0].Text;
  EXPECT_NE(run.Boxes[1].Text.find(FApp + "\\"), std::string::npos) << run.Boxes[1].Text;
  EXPECT_EQ(run.ExitCode, 1u);
  ExpectInstallationGone();
  ExpectBeforeStateKept();
  EXPECT_EQ(ReadText(FApp + "\\doc\\notes.txt"), "mine");
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, FUserKey + "\\Settings", "Recent"));
}

TEST_F(InstalledApp, NoToTheQuestionTouchesNothing) {
  TChildRun run = Uninstall("", {IDNO});
  ASSERT_EQ(run.Boxes.size(), 1u);
  EXPECT_EQ(run.ExitCode, 2u);
  EXPECT_EQ(ReadText(FLog), FLogLines);
  EXPECT_TRUE(FileExists(FApp + "\\tool.exe"));
  EXPECT_TRUE(FileExists(FMenu + "\\My App\\Tool.lnk"));
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, FUserKey + "\\Settings", "Path"));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, FEntryKey));
  EXPECT_FALSE(FileExists(FBase + "\\exec.txt"));
  EXPECT_FALSE(FileExists(FBase + "\\reg.txt"));
}

TEST_F(InstalledApp, ReportsAFileInUseAndRemovesTheRest) {
  HANDLE busy = CreateFileA((FApp + "\\tool.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  // The first command cannot read it either; only the second writes.
  TChildRun run = Uninstall("", {IDYES, IDOK});
  CloseHandle(busy);
  ASSERT_EQ(run.Boxes.size(), 2u);
  EXPECT_NE(run.Boxes[1].Text.find(FApp + "\\tool.exe"), std::string::npos) << run.Boxes[1].Text;
  EXPECT_EQ(run.ExitCode, 1u);
  EXPECT_TRUE(FileExists(FApp + "\\tool.exe"));
  EXPECT_FALSE(FileExists(FLog));
  EXPECT_FALSE(DirExists(FMenu + "\\My App"));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, FEntryKey));
  ExpectBeforeStateKept();
}

TEST_F(InstalledApp, LeavesTheEntryOfALaterInstallationElsewhere) {
  SetRegString(HKEY_LOCAL_MACHINE, FEntryKey, "UninstallString", "C:\\windows\\system32\\cv2uinst.exe \"D:\\Other\\cv2uinst.dat\"");
  TChildRun run = Uninstall(" /U");
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_TRUE(run.Boxes.empty());
  EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, FEntryKey, "DisplayName"));
  EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, FEntryKey, "UninstallString"));
  EXPECT_FALSE(DirExists(FApp));
}

TEST_F(InstalledApp, WithoutItsEntryTheQuestionNamesTheDirectory) {
  DeleteRegTree(HKEY_LOCAL_MACHINE, FEntryKey);
  TChildRun run = Uninstall("", {IDYES, IDOK});
  ASSERT_EQ(run.Boxes.size(), 2u);
  EXPECT_NE(run.Boxes[0].Text.find(FApp), std::string::npos) << run.Boxes[0].Text;
  EXPECT_NE(run.Boxes[1].Text.find("successfully removed"), std::string::npos) << run.Boxes[1].Text;
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_FALSE(DirExists(FApp));
}

TEST(Cv2uinst, RefusesAMissingLog) {
  struct TCase {
    std::string Args;
    size_t Boxes;
    const char* Says;
  };
  const TCase cases[] = {
      {"", 1, "Usage"},
      {" \"C:\\no such dir\\cv2uinst.dat\"", 1, "cannot be read"},
      {" \"C:\\no such dir\\cv2uinst.dat\" /u", 0, ""},
  };
  for (const TCase& c : cases) {
    TChildRun run = RunChild(Quoted(Uninstaller()) + c.Args);
    EXPECT_EQ(run.ExitCode, 3u) << c.Args;
    ASSERT_EQ(run.Boxes.size(), c.Boxes) << c.Args;
    if (c.Boxes) {
      EXPECT_NE(run.Boxes[0].Text.find(c.Says), std::string::npos) << run.Boxes[0].Text;
    }
  }
}

TEST(Cv2uinst, CarriesItsVersion) {
  std::string exe = Uninstaller();
  DWORD handle = 0, size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &len));
  EXPECT_EQ(info->dwFileVersionMS, 0x00030000u);
  EXPECT_EQ(info->dwFileVersionLS, 0u);
}

}  // namespace

// cv2uinst.exe as the uninstall entry starts it, on logs written here by hand in setup's format.
#include <gtest/gtest.h>

#include "tests/e2e/child_process.h"
#include "tests/e2e/e2e_util.h"

using namespace e2e;

namespace {

const std::string UninstallKeys = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Uninstaller() { return ProgramDir() + "..\\..\\dist\\cv2uinst.exe"; }

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// An installation as setup leaves it, with its log: a new application directory with a file, a
// file two new levels down, a registered DLL and a shortcut in a new folder of an existing menu;
// registry values in a new key and in an existing one; the uninstall entry; two commands.
class InstalledApp : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = TestName();
    base_ = FreshDir(name_);
    app_ = base_ + "\\My App";
    menu_ = base_ + "\\Menu\\Programs";
    log_ = app_ + "\\cv2uinst.dat";
    userKey_ = "Software\\CvToolsE2E\\" + name_;
    entryKey_ = UninstallKeys + "CvTools E2E " + name_;
    DeleteRegTree(HKEY_CURRENT_USER, userKey_);
    DeleteRegTree(HKEY_LOCAL_MACHINE, entryKey_);

    // What was there before.
    MakeDirs(menu_);
    MakeDirs(base_ + "\\shared");
    WriteText(base_ + "\\shared\\common.dll", "theirs");  // kept: setup was told not to replace it
    SetRegString(HKEY_CURRENT_USER, userKey_ + "\\Shared", "Theirs", "1");
    SetEnvironmentVariableA("CV_TEST_REG_MARKER", (base_ + "\\reg.txt").c_str());

    // What setup made.
    MakeDirs(app_ + "\\doc\\en");
    WriteText(log_, "");
    WriteText(app_ + "\\tool.exe", "tool");
    WriteText(app_ + "\\doc\\en\\read me.txt", "doc");
    CopyFileA((ProgramDir() + "cvtestreg.dll").c_str(), (app_ + "\\cvtestreg.dll").c_str(), FALSE);
    MakeDirs(menu_ + "\\My App");
    WriteText(menu_ + "\\My App\\Tool.lnk", "link");
    SetRegString(HKEY_CURRENT_USER, userKey_ + "\\Settings", "Path", app_);
    SetRegString(HKEY_CURRENT_USER, userKey_ + "\\Settings", "", "default");
    SetRegString(HKEY_CURRENT_USER, userKey_ + "\\Shared", "Added", "2");
    SetRegString(HKEY_LOCAL_MACHINE, entryKey_, "DisplayName", DisplayName());
    SetRegString(HKEY_LOCAL_MACHINE, entryKey_, "UninstallString", "C:\\windows\\system32\\cv2uinst.exe \"" + log_ + "\"");
    SetRegString(HKEY_LOCAL_MACHINE, entryKey_, "DisplayIcon", app_ + "\\tool.exe");  // put there by others

    const std::string hkcu = "HKEY_CURRENT_USER\\" + userKey_, entry = "HKEY_LOCAL_MACHINE\\" + entryKey_;
    log_lines_ = "CreateDir::" + app_ + "\r\n" +
                 "CreateFile::" + log_ + "\r\n" +
                 "CreateFile::" + app_ + "\\tool.exe\r\n" +
                 "CreateDir::" + app_ + "\\doc\\en\\\r\n" +
                 "CreateFile::" + app_ + "\\doc\\en\\read me.txt\r\n" +
                 "CreateFile::" + app_ + "\\cvtestreg.dll\r\n" +
                 "CreateRegKey::" + hkcu + "\\Settings\\\r\n" +
                 "CreateRegValue::" + hkcu + "\\Settings\\\\Path\r\n" +
                 "CreateRegValue::" + hkcu + "\\Settings\\\\\r\n" +
                 "CreateRegValue::" + hkcu + "\\Shared\\Added\r\n" +
                 "CreateRegKey::" + entry + "\r\n" +
                 "CreateRegValue::" + entry + "\\DisplayName\r\n" +
                 "CreateRegValue::" + entry + "\\UninstallString\r\n" +
                 "CreateDir::" + menu_ + "\\My App\\\r\n" +
                 "CreateFile::" + menu_ + "\\My App\\Tool.lnk\r\n" +
                 "RegisterDLL::regsvr32.exe /s \"" + app_ + "\\cvtestreg.dll\"\r\n" +
                 // The first command still sees the files; the second runs after it.
                 "Exec::cmd /c type \"" + app_ + "\\tool.exe\" >> \"" + base_ + "\\exec.txt\"\r\n" +
                 "Exec::cmd /c echo second>>\"" + base_ + "\\exec.txt\"\r\n";
    WriteText(log_, log_lines_);
  }

  void TearDown() override {
    DeleteRegTree(HKEY_CURRENT_USER, userKey_);
    DeleteRegTree(HKEY_LOCAL_MACHINE, entryKey_);
    DeleteTree(base_);
  }

  std::string DisplayName() const { return "CvTools E2E " + name_ + " 1.0"; }
  TChildRun Uninstall(const std::string& args, std::vector<int> answers = {}) {
    return RunChild("\"" + Uninstaller() + "\" \"" + log_ + "\"" + args, answers);
  }

  // Everything that was there before the installation is there still.
  void ExpectBeforeStateKept() {
    EXPECT_TRUE(DirExists(menu_));
    EXPECT_EQ(ReadText(base_ + "\\shared\\common.dll"), "theirs");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, userKey_ + "\\Shared", "Theirs"));
  }
  // Everything that setup made is gone (the application directory aside).
  void ExpectInstallationGone() {
    for (const char* file : {"\\tool.exe", "\\doc\\en\\read me.txt", "\\cvtestreg.dll", "\\cv2uinst.dat"})
      EXPECT_FALSE(FileExists(app_ + file)) << file;
    EXPECT_FALSE(DirExists(app_ + "\\doc\\en"));
    EXPECT_FALSE(DirExists(menu_ + "\\My App"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, userKey_ + "\\Settings", "Path"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, userKey_ + "\\Shared", "Added"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, entryKey_));
    EXPECT_EQ(ReadText(base_ + "\\exec.txt"), "toolsecond\r\n");
    EXPECT_EQ(ReadText(base_ + "\\reg.txt"), "unregister\r\n");
  }

  std::string name_, base_, app_, menu_, log_, userKey_, entryKey_, log_lines_;
};

TEST_F(InstalledApp, SilentRunLeavesTheMachineAsItWas) {
  TChildRun run = Uninstall(" /u");
  ASSERT_TRUE(run.Started);
  EXPECT_FALSE(run.TimedOut);
  EXPECT_TRUE(run.Boxes.empty());
  EXPECT_EQ(run.ExitCode, 0u);
  ExpectInstallationGone();
  ExpectBeforeStateKept();
  EXPECT_FALSE(DirExists(app_));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, userKey_ + "\\Settings"));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, userKey_));  // not logged: it existed before
}

TEST_F(InstalledApp, KeepsWhatTheUserAddedAndSaysSoOnce) {
  WriteText(app_ + "\\doc\\notes.txt", "mine");
  SetRegString(HKEY_CURRENT_USER, userKey_ + "\\Settings", "Recent", "mine");
  TChildRun run = Uninstall("", {IDYES, IDOK});
  EXPECT_FALSE(run.TimedOut);
  ASSERT_EQ(run.Boxes.size(), 2u);
  EXPECT_EQ(run.Boxes[0].Caption, "Uninstall");
  EXPECT_NE(run.Boxes[0].Text.find(DisplayName()), std::string::npos) << run.Boxes[0].Text;
  EXPECT_NE(run.Boxes[1].Text.find(app_ + "\\"), std::string::npos) << run.Boxes[1].Text;
  EXPECT_EQ(run.ExitCode, 1u);
  ExpectInstallationGone();
  ExpectBeforeStateKept();
  EXPECT_EQ(ReadText(app_ + "\\doc\\notes.txt"), "mine");
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, userKey_ + "\\Settings", "Recent"));
}

TEST_F(InstalledApp, NoToTheQuestionTouchesNothing) {
  TChildRun run = Uninstall("", {IDNO});
  ASSERT_EQ(run.Boxes.size(), 1u);
  EXPECT_EQ(run.ExitCode, 2u);
  EXPECT_EQ(ReadText(log_), log_lines_);
  EXPECT_TRUE(FileExists(app_ + "\\tool.exe"));
  EXPECT_TRUE(FileExists(menu_ + "\\My App\\Tool.lnk"));
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, userKey_ + "\\Settings", "Path"));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, entryKey_));
  EXPECT_FALSE(FileExists(base_ + "\\exec.txt"));
  EXPECT_FALSE(FileExists(base_ + "\\reg.txt"));
}

TEST_F(InstalledApp, ReportsAFileInUseAndRemovesTheRest) {
  HANDLE busy = CreateFileA((app_ + "\\tool.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  // The first command cannot read it either; only the second writes.
  TChildRun run = Uninstall("", {IDYES, IDOK});
  CloseHandle(busy);
  ASSERT_EQ(run.Boxes.size(), 2u);
  EXPECT_NE(run.Boxes[1].Text.find(app_ + "\\tool.exe"), std::string::npos) << run.Boxes[1].Text;
  EXPECT_EQ(run.ExitCode, 1u);
  EXPECT_TRUE(FileExists(app_ + "\\tool.exe"));
  EXPECT_FALSE(FileExists(log_));
  EXPECT_FALSE(DirExists(menu_ + "\\My App"));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, entryKey_));
  ExpectBeforeStateKept();
}

TEST_F(InstalledApp, LeavesTheEntryOfALaterInstallationElsewhere) {
  SetRegString(HKEY_LOCAL_MACHINE, entryKey_, "UninstallString", "C:\\windows\\system32\\cv2uinst.exe \"D:\\Other\\cv2uinst.dat\"");
  TChildRun run = Uninstall(" /U");
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_TRUE(run.Boxes.empty());
  EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, entryKey_, "DisplayName"));
  EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, entryKey_, "UninstallString"));
  EXPECT_FALSE(DirExists(app_));
}

TEST_F(InstalledApp, WithoutItsEntryTheQuestionNamesTheDirectory) {
  DeleteRegTree(HKEY_LOCAL_MACHINE, entryKey_);
  TChildRun run = Uninstall("", {IDYES, IDOK});
  ASSERT_EQ(run.Boxes.size(), 2u);
  EXPECT_NE(run.Boxes[0].Text.find(app_), std::string::npos) << run.Boxes[0].Text;
  EXPECT_NE(run.Boxes[1].Text.find("successfully removed"), std::string::npos) << run.Boxes[1].Text;
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_FALSE(DirExists(app_));
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
    TChildRun run = RunChild("\"" + Uninstaller() + "\"" + c.Args);
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
  EXPECT_EQ(info->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(info->dwFileVersionLS, 0u);
}

}  // namespace

// The installation in-process: fixture packages installed by the real worker into private
// directories, the wizard's questions answered through the seam, the results read back from the
// files, Wine's registry, the shortcut files and the uninstall log.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <psapi.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "setup/setup_installcore.h"
#include "setup/setup_installer.h"
#include "setup/setup_installthread.h"
#include "setup/setup_main.h"
#include "tests/win/install_fixture.h"
#include "ui/testing.h"

using fixture::TFile;
using fixture::TPackage;

namespace {

const uint32_t HKCU = 0x80000001u, HKLM = 0x80000002u;

// Answers the questions of a run from a script and records them.
class TAnswerer : public ui::TUserDialogs {
 public:
  struct TAsked {
    std::string Text, Caption;
    UINT Icon;
    std::vector<std::string> Buttons;
    bool BeepBefore;
    int DefaultButton = -1, EscapeButton = -1;
  };
  std::vector<int> Answers;  // button indices, -1 for a box closed without a button
  int MessageAnswer = IDOK;  // what every message box answers
  std::vector<TAsked> Asked;
  std::function<void()> OnQuestion;  // runs before each answer, on the user-interface thread
  std::function<void(const std::string&)> OnMessage;  // the same for a message box, with its text
  bool Beeped = false;

  void Beep() override { Beeped = true; }
  int Message(HWND, const std::string& text, const std::string& caption, UINT flags) override {
    Asked.push_back({text, caption, flags, {}, Beeped});
    Beeped = false;
    if (OnMessage) OnMessage(text);
    return MessageAnswer;
  }
  int Question(HWND, const std::string& text, const std::string& caption, UINT icon,
               const std::vector<std::string>& buttons, int defaultButton, int escapeButton) override {
    Asked.push_back({text, caption, icon, buttons, Beeped, defaultButton, escapeButton});
    Beeped = false;
    if (OnQuestion) OnQuestion();
    size_t k = Asked.size() - 1;
    return k < Answers.size() ? Answers[k] : 1;  // "&No" when the script has run out
  }
  bool OpenFile(HWND, ui::TFileDialog&) override { return false; }
  bool SaveFile(HWND, ui::TFileDialog&) override { return false; }
  bool BrowseFolder(HWND, const std::string&, std::string&) override { return false; }
  bool InputBox(HWND, const std::string&, const std::string&, std::string&, int) override { return false; }
  int Popup(HWND, const std::vector<std::string>&, POINT) override { return -1; }
};

// Names no other test process uses, now or in an earlier run in the same prefix.
std::string Unique(const std::string& stem) {
  static const std::string stamp = [] {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return std::to_string(GetCurrentProcessId()) + "_" + std::to_string(t.QuadPart % 1000000007);
  }();
  static int n = 0;
  return stem + "_" + stamp + "_" + std::to_string(++n);
}

std::string TempRoot() {
  static std::string root = [] {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string r = std::string(tmp) + Unique("cvinstall") + "\\";
    CreateDirectoryA(r.c_str(), nullptr);
    // The installer's temporary directory takes the same first name in every process: each test
    // process gets a TEMP of its own, so parallel tests never share it.
    std::string temp = r + "temp";
    CreateDirectoryA(temp.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", temp.c_str());
    SetEnvironmentVariableA("TEMP", temp.c_str());
    return r;
  }();
  return root;
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t e = bytes.find("\r\n", at);
    if (e == std::string::npos) {
      lines.push_back(bytes.substr(at) + "<no CR LF>");
      break;
    }
    lines.push_back(bytes.substr(at, e - at));
    at = e + 2;
  }
  return lines;
}

std::string RegString(HKEY root, const std::string& key, const std::string& name, DWORD* type = nullptr) {
  char buf[2048];
  DWORD size = sizeof buf, t = 0;
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "<missing>";
  LONG r = RegQueryValueExA(k, name.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) return "<missing>";
  if (type) *type = t;
  if (t == REG_SZ && size > 0) --size;
  return std::string(buf, size);
}

// Removes a key with everything below it.
void DeleteKeyTree(HKEY root, const char* key) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    char sub[256];
    while (RegEnumKeyA(k, 0, sub, sizeof sub) == ERROR_SUCCESS)
      DeleteKeyTree(k, sub);
    RegCloseKey(k);
  }
  RegDeleteKeyA(root, key);
}

// The sources of placeholder values that the program uses, which a test may replace.
TPlaceholderSources* const RealSources = MachineSources;

// One package in its own source and destination directories, installed through the worker.
class Install : public ::testing::Test {
 protected:
  TAnswerer Answers;
  ui::TUserDialogs* Previous = nullptr;
  std::string Name = Unique("App");
  std::string Source, Dest;
  std::vector<int> Positions;
  std::vector<std::string> Labels;

  void SetUp() override {
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    Previous = ui::SetDialogs(&Answers);
    Source = TempRoot() + Name + "_src\\";
    CreateDirectoryA(Source.c_str(), nullptr);
    Dest = TempRoot() + Name;
    TInstallThread::OnProgress = [this](int p) { Positions.push_back(p); };
    TInstallThread::DiskFree = [](int) -> int64_t { return int64_t(1) << 40; };
  }
  void TearDown() override {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(UninstallKeyPrefix) + Name).c_str());
    DeleteKeyTree(HKEY_CURRENT_USER, ("Software\\" + Name).c_str());
    TInstallThread::OnProgress = nullptr;
    TInstallThread::DiskFree = RealFree;
    MachineSources = RealSources;
    CloseForm();
    ui::SetDialogs(Previous);
  }
  static int64_t (*RealFree)(int);

  TPackage Package() { return TPackage(Name); }

  // Loads the package into the wizard, as its start-up does.
  void Load(TPackage& p) {
    p.Write(Source);
    OpenForm(Source);
    installer().DestDir = Dest;
  }
  TInstaller& installer() { return *MainForm->Installer; }

  // Runs the worker to its end while serving its calls, as the wizard does.
  void Run() {
    Positions.clear();
    installer().StartInstall();
    TInstallThread::WaitForEnd();
    EXPECT_FALSE(installer().ThreadRunning);
  }
  void LoadAndRun(TPackage& p) {
    Load(p);
    Run();
  }

  std::vector<std::string> Log() { return Lines(fixture::ReadFile(Dest + "\\cv2uinst.dat")); }
  std::string LogFileLine() { return "CreateFile::" + Dest + "\\cv2uinst.dat"; }

  void SetPart(const char* caption, bool on) {
    ui::TCheckListBox& parts = MainForm->PartsList;
    for (int i = 0; i < parts.Count(); ++i)
      if (parts.Item(i) == caption) parts.SetChecked(i, on);
  }

  void ExpectCompleted() {
    EXPECT_EQ(installer().InstallStatus, 2);
    EXPECT_EQ(MainForm->BEnd.Text(), "&Finish");
    EXPECT_EQ(MainForm->Label3.Text(), "Installation Completed");
    EXPECT_EQ(MainForm->Label4.Text(), "Setup has successfully completed the Installation.");
    EXPECT_TRUE(MainForm->CoThread.Enabled());
    EXPECT_EQ(MainForm->ExitCode, ecCompleted);
  }
  void ExpectFailed(const std::vector<std::string>& reasonParts, TSetupExitCode code) {
    EXPECT_EQ(installer().InstallStatus, 3);
    EXPECT_EQ(MainForm->ExitCode, code);
    EXPECT_EQ(MainForm->BEnd.Text(), "&Close");
    EXPECT_EQ(MainForm->Label3.Text(), "Installation Failed");
    EXPECT_EQ(MainForm->Label4.Text(), "Setup could not complete the Installation.");
    EXPECT_TRUE(MainForm->CoThread.Enabled());
    std::string reason = MainForm->LError.Text();
    for (const std::string& part : reasonParts)
      EXPECT_NE(reason.find(part), std::string::npos) << "'" << part << "' not in: " << reason;
  }

  void OpenForm(const std::string& sourceDir, const std::string& args = "");
  void CloseForm();
};
int64_t (*Install::RealFree)(int) = TInstallThread::DiskFree;
BOOL (*const RealWriteBytes)(HANDLE, const void*, DWORD, DWORD*) = TInstallThread::WriteBytes;

}  // namespace

// ---- files and the log ----------------------------------------------------------------------------

TEST_F(Install, NewRootNestedDirectoriesAndUnselectedPackages) {
  TPackage p = Package();
  p.Packages = {"Required Files", "Extras"};
  p.Files = {
      {"<InstallRoot>\\a.txt", "Required Files", "alpha"},
      {"<InstallRoot>\\extra\\x.txt", "Extras", "extra"},
      {"<InstallRoot>\\sub\\deep\\c.bin", "Required Files", std::string("\0\1\2\xff", 4)},
      {"<InstallRoot>\\extra\\y.txt", "Extras", "extra"},
  };
  Load(p);
  SetPart("Extras", false);
  Run();
  ExpectCompleted();
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       "CreateDir::" + Dest,
                       LogFileLine(),
                       "CreateFile::" + Dest + "\\a.txt",
                       "CreateDir::" + Dest + "\\sub\\deep\\",
                       "CreateFile::" + Dest + "\\sub\\deep\\c.bin",
                       "CreateRegKey::HKEY_LOCAL_MACHINE\\" + std::string(UninstallKeyPrefix) + Name,
                       "CreateRegValue::HKEY_LOCAL_MACHINE\\" + std::string(UninstallKeyPrefix) + Name + "\\DisplayName",
                       "CreateRegValue::HKEY_LOCAL_MACHINE\\" + std::string(UninstallKeyPrefix) + Name + "\\UninstallString",
                   }));
  EXPECT_EQ(fixture::ReadFile(Dest + "\\a.txt"), "alpha");
  EXPECT_EQ(fixture::ReadFile(Dest + "\\sub\\deep\\c.bin"), std::string("\0\1\2\xff", 4));
  EXPECT_FALSE(fixture::Exists(Dest + "\\extra"));
  // free space 1 2 4 5 (1.25, 2.5, 3.75, 5); the file step's 5 is where the bar stands already, so
  // it is not sent again; then only the selected first and third records: 28 and 72 (27.5 and
  // 72.5 to the even neighbour)
  EXPECT_EQ(Positions, (std::vector<int>{1, 2, 4, 5, 28, 72}));
  EXPECT_TRUE(Answers.Asked.empty());
}

TEST_F(Install, ExistingRootAndASecondRunEmptiesTheLog) {
  CreateDirectoryA(Dest.c_str(), nullptr);
  TPackage p = Package();
  p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "alpha"}};
  Load(p);
  Run();
  std::vector<std::string> first = Log();
  ASSERT_GE(first.size(), 2u);
  EXPECT_EQ(first[0], LogFileLine());
  EXPECT_EQ(first[1], "CreateFile::" + Dest + "\\a.txt");

  Answers.Answers = {3};  // Yes to All
  Run();
  EXPECT_EQ(Log(), first);
  ASSERT_EQ(Answers.Asked.size(), 1u);
}

class InstallRawAndCompressed : public Install, public ::testing::WithParamInterface<bool> {};

TEST_P(InstallRawAndCompressed, FilesArriveByteForByte) {
  TPackage p = Package();
  p.AppInfo.CompressData = GetParam();
  std::string big, huge;  // huge: several pieces of the copy and of the decoder
  for (int i = 0; i < 100000; ++i) big += static_cast<char>((i * 7) ^ (i >> 5));
  for (int i = 0; i < 2600000; ++i) huge += static_cast<char>(i % 1000 < 600 ? 'a' + i % 13 : (i * 31) ^ (i >> 9));
  p.Files = {{"<InstallRoot>\\big.bin", "Required Files", big},
             {"<InstallRoot>\\text.txt", "Required Files", std::string(5000, 'z') + "end"},
             {"<InstallRoot>\\empty.txt", "Required Files", ""},
             {"<InstallRoot>\\huge.bin", "Required Files", huge}};
  LoadAndRun(p);
  ExpectCompleted();
  EXPECT_TRUE(fixture::ReadFile(Dest + "\\big.bin") == big);
  EXPECT_TRUE(fixture::ReadFile(Dest + "\\huge.bin") == huge);
  for (const std::string& path : {Dest + "\\huge.bin", Source + "data.pak"}) DeleteFileA(path.c_str());
  EXPECT_TRUE(fixture::ReadFile(Dest + "\\text.txt") == std::string(5000, 'z') + "end");
  EXPECT_TRUE(fixture::Exists(Dest + "\\empty.txt"));
  EXPECT_EQ(fixture::ReadFile(Dest + "\\empty.txt"), "");
}
INSTANTIATE_TEST_SUITE_P(Package, InstallRawAndCompressed, ::testing::Bool());

TEST_F(Install, OverwriteAnswers) {
  // Answers by button: 0 Yes, 1 No, 2 No to All, 3 Yes to All, -1 the box closed.
  struct Case {
    std::vector<int> answers;
    size_t questions;
    std::string replaced;  // per file 1..4: R replaced, K kept
  } cases[] = {
      {{0, 1, 0, 1}, 4, "RKRK"},
      {{1, 3}, 2, "KRRR"},
      {{0, 2}, 2, "RKKK"},
      {{-1, -1, 0, -1}, 4, "KKRK"},
  };
  for (const Case& c : cases) {
    Name = Unique("Over");
    Dest = TempRoot() + Name;
    CreateDirectoryA(Dest.c_str(), nullptr);
    TPackage p = Package();
    for (int i = 1; i <= 4; ++i) {
      std::string file = "\\f" + std::to_string(i) + ".txt";
      fixture::WriteFile(Dest + file, "old");
      p.Files.push_back({"<InstallRoot>" + file, "Required Files", "new"});
    }
    p.Files.insert(p.Files.begin() + 2, {"<InstallRoot>\\fresh.txt", "Required Files", "fresh"});
    Answers.Asked.clear();
    Answers.Answers = c.answers;
    CloseForm();
    LoadAndRun(p);
    ExpectCompleted();
    ASSERT_EQ(Answers.Asked.size(), c.questions) << c.replaced;
    const TAnswerer::TAsked& q = Answers.Asked[0];
    EXPECT_EQ(q.Text, "The File f1.txt already exists.\r\nDo you want this existing file to be replaced with\r\nthe one from this package?");
    EXPECT_EQ(q.Caption, "Confirm");
    EXPECT_EQ(q.Icon, UINT(MB_ICONQUESTION));
    EXPECT_EQ(q.Buttons, (std::vector<std::string>{"&Yes", "&No", "N&o to All", "Yes to &All"}));
    EXPECT_EQ(q.DefaultButton, 0) << "Enter answers Yes";
    EXPECT_EQ(q.EscapeButton, 1) << "Escape answers No";
    EXPECT_FALSE(q.BeepBefore);
    std::vector<std::string> log = Log();
    for (int i = 1; i <= 4; ++i) {
      std::string file = Dest + "\\f" + std::to_string(i) + ".txt";
      bool replaced = c.replaced[i - 1] == 'R';
      EXPECT_EQ(fixture::ReadFile(file), replaced ? "new" : "old") << c.replaced << " file " << i;
      EXPECT_EQ(std::count(log.begin(), log.end(), "CreateFile::" + file), replaced ? 1 : 0) << c.replaced << i;
    }
    EXPECT_EQ(fixture::ReadFile(Dest + "\\fresh.txt"), "fresh") << c.replaced;
    // Every selected file moves the bar, kept or written.
    EXPECT_EQ(Positions, (std::vector<int>{1, 2, 3, 4, 5, 23, 41, 59, 77, 95})) << c.replaced;
  }
}


// ---- what a record costs ------------------------------------------------------------------------

namespace {

// The machine's sources, each query counted by what it asks for.
struct TCountingSources : TPlaceholderSources {
  TPlaceholderSources& Real = *RealSources;
  std::map<std::string, int> Asked;
  std::string EnvVar(const std::string& name) override {
    ++Asked["env " + name];
    return Real.EnvVar(name);
  }
  std::string RegistryText(uint32_t root, const char* key, const char* value) override {
    ++Asked["registry " + std::to_string(root) + " " + key + " " + value];
    return Real.RegistryText(root, key, value);
  }
  std::string SpecialFolder(int csidl) override {
    ++Asked["folder " + std::to_string(csidl)];
    return Real.SpecialFolder(csidl);
  }
  bool CommonShortcuts() override {
    ++Asked["CommonSC"];
    return Real.CommonShortcuts();
  }
};

// Messages that other threads send to the windows of this (the user-interface) thread, but for
// the title queries that any program on the desktop may make of any window (FindWindow of the
// tests running beside this one).
int SentFromOtherThreads;
LRESULT CALLBACK CountSent(int code, WPARAM fromThisThread, LPARAM info) {
  const UINT msg = reinterpret_cast<const CWPSTRUCT*>(info)->message;
  if (code == HC_ACTION && !fromThisThread && msg != WM_GETTEXT && msg != WM_GETTEXTLENGTH)
    ++SentFromOtherThreads;
  return CallNextHookEx(nullptr, code, fromThisThread, info);
}

}  // namespace

TEST_F(Install, RecordsCostNoCallsToTheWindowAndNoLookupsOfTheirOwn) {
  // 300 files in three folders, every tenth in a component left out, and 40 registry values, all
  // under placeholders whose values come from the machine.
  SetEnvironmentVariableA("CV_PART", "part");
  TPackage p = Package();
  p.Packages = {"Required Files", "Extras"};
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    p.Files.push_back({"<InstallRoot>\\<%CV_PART%>" + std::to_string(i / 100) + "\\f" + n + ".txt",
                       i % 10 ? "Required Files" : "Extras", "file " + n});
  }
  const std::string key = "Software\\" + Name;
  for (int i = 0; i < 40; ++i)
    p.RegValues.push_back(fixture::Reg(HKCU, key, "v" + std::to_string(i),
                                       "<ProgramFiles>|<SharedFiles>|<QuickLaunch>|<Desktop>|<Startup>|"
                                       "<SystemRoot>|<Uninstall>|<%CV_PART%>",
                                       4));
  Load(p);
  SetPart("Extras", false);
  TCountingSources sources;
  MachineSources = &sources;
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountSent, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  for (int run = 1; run <= 2; ++run) {
    SentFromOtherThreads = 0;
    Answers.Asked.clear();
    Answers.Answers = {3};  // the second run replaces the files: Yes to All
    Run();
    ExpectCompleted();
    EXPECT_EQ(Answers.Asked.size(), run == 1 ? 0u : 1u);
    // One call for each position the bar takes, sent once, and a few of their own: the texts of
    // the five steps, the shortcut step, the result, the question.
    const size_t positions = std::set<int>(Positions.begin(), Positions.end()).size();
    EXPECT_EQ(Positions.size(), positions) << "run " << run;
    EXPECT_LE(SentFromOtherThreads, static_cast<int>(positions + 7 + Answers.Asked.size()))
        << "run " << run;
    // Each value once in each run: WINDIR, CV_PART, three registry values, two folders, CommonSC.
    for (const auto& [what, times] : sources.Asked) EXPECT_EQ(times, run) << what;
    EXPECT_EQ(sources.Asked.size(), 8u);
  }
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(fixture::ReadFile(Dest + "\\part2\\f299.txt"), "file 299");
  EXPECT_FALSE(fixture::Exists(Dest + "\\part0\\f0.txt"));
  DeleteKeyTree(HKEY_CURRENT_USER, key.c_str());
}

// ---- free space ---------------------------------------------------------------------------------

TEST_F(Install, FreeSpaceMustExceedTheSelectedSizes) {
  static int64_t Free;
  TInstallThread::DiskFree = [](int drive) -> int64_t { return drive == 3 ? Free : -1; };
  struct Case {
    int64_t free;
    bool passes;
  } cases[] = {{1000 + 300 + 1, true}, {1000 + 300, false}, {-1, false}};
  for (const Case& c : cases) {
    Name = Unique("Free");
    Dest = "c" + (TempRoot() + Name).substr(1);  // a small drive letter counts with a capital one
    Free = c.free;
    TPackage p = Package();
    p.Packages = {"Required Files", "Extras"};
    p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "a", 1000},
               {"C:\\elsewhere_" + Name + "\\b.txt", "Required Files", "b", 300},
               {"Z:\\tmp\\" + Name + "\\c.txt", "Required Files", "c", 5000},  // another drive: not counted
               {"<InstallRoot>\\x.txt", "Extras", "x", 7000}};     // not selected
    CloseForm();
    Load(p);
    SetPart("Extras", false);
    Run();
    if (c.passes) {
      ExpectCompleted();
      EXPECT_EQ(fixture::ReadFile("Z:\\tmp\\" + Name + "\\c.txt"), "c") << "installed all the same";
      DeleteFileA(("Z:\\tmp\\" + Name + "\\c.txt").c_str());
      RemoveDirectoryA(("Z:\\tmp\\" + Name).c_str());
      DeleteFileA(("C:\\elsewhere_" + Name + "\\b.txt").c_str());
      RemoveDirectoryA(("C:\\elsewhere_" + Name).c_str());
    } else {
      ExpectFailed({"Insufficient free disk space to perform the installation."}, ecDiskSpace);
      EXPECT_EQ(MainForm->LError.Text(), "Insufficient free disk space to perform the installation.");
      EXPECT_FALSE(fixture::Exists(Dest)) << "nothing is created";
      EXPECT_EQ(Positions, (std::vector<int>{1, 2, 4, 5}));
    }
  }
}

// ---- registry values and the uninstall entry ----------------------------------------------------

TEST_F(Install, RegistryValuesOfEachType) {
  std::string key = "Software\\" + Name;
  TPackage p = Package();
  p.RegValues = {
      fixture::Reg(HKCU, key + "\\Types", "Binary", "abc", 0),
      fixture::Reg(HKCU, key + "\\Types", "Hex", "hex:01,ab,FF", 0),
      fixture::Reg(HKCU, key + "\\Types", "BoolTrue", "1", 1),
      fixture::Reg(HKCU, key + "\\Types", "BoolOther", "2", 1),
      fixture::Reg(HKCU, key + "\\Types", "Float", "1.5", 2),
      fixture::Reg(HKCU, key + "\\Types", "Int", "$FFFFFFFF", 3),
      fixture::Reg(HKCU, key + "\\Types", "Neg", "-42", 3),
      fixture::Reg(HKCU, key + "\\<AppName>\\", "Path", "<InstallRoot>\\bin", 4),
      fixture::Reg(HKCU, key + "\\Types", "Raw", "<InstallRoot>", 0),
      fixture::Reg(HKCU, key + "\\Types", "Unknown", "1", 7),
  };
  LoadAndRun(p);
  ExpectCompleted();
  DWORD type = 0;
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\Types", "Binary", &type), "abc");
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\Types", "Hex"), "\x01\xab\xff");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\Types", "BoolTrue", &type), std::string("\1\0\0\0", 4));
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\Types", "BoolOther"), "<missing>");
  double one5 = 1.5;
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\Types", "Float", &type), std::string(reinterpret_cast<char*>(&one5), 8));
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\Types", "Int"), "\xff\xff\xff\xff");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\Types", "Neg"), std::string("\xd6\xff\xff\xff", 4));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\" + Name, "Path", &type), Dest + "\\bin");
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\Types", "Raw"), "<InstallRoot>");
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, key + "\\Types", "Unknown"), "<missing>");

  std::vector<std::string> log = Log();
  std::string hkcu = "HKEY_CURRENT_USER\\" + key;
  std::vector<std::string> want = {
      "CreateDir::" + Dest, LogFileLine(),
      "CreateRegKey::" + hkcu + "\\Types",
      "CreateRegValue::" + hkcu + "\\Types\\Binary",
      "CreateRegValue::" + hkcu + "\\Types\\Hex",
      "CreateRegValue::" + hkcu + "\\Types\\BoolTrue",
      "CreateRegValue::" + hkcu + "\\Types\\BoolOther",
      "CreateRegValue::" + hkcu + "\\Types\\Float",
      "CreateRegValue::" + hkcu + "\\Types\\Int",
      "CreateRegValue::" + hkcu + "\\Types\\Neg",
      "CreateRegKey::" + hkcu + "\\" + Name + "\\",
      "CreateRegValue::" + hkcu + "\\" + Name + "\\\\Path",
      "CreateRegValue::" + hkcu + "\\Types\\Raw",
      "CreateRegValue::" + hkcu + "\\Types\\Unknown",
  };
  ASSERT_GE(log.size(), want.size());
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + want.size()), want);
  // no files: the file step's 5; then 96 and i/10 x 2 + 96, each position sent once
  EXPECT_EQ(Positions, (std::vector<int>{5, 96, 97, 98}));
  DeleteKeyTree(HKEY_CURRENT_USER, key.c_str());
}

TEST_F(Install, RegistryProgressAndAnExistingKey) {
  std::string key = "Software\\" + Name;
  HKEY k;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &k), ERROR_SUCCESS);
  RegCloseKey(k);
  TPackage p = Package();
  for (int i = 0; i < 4; ++i) p.RegValues.push_back(fixture::Reg(HKCU, key, std::string("v").append(std::to_string(i)), "x", 4));
  LoadAndRun(p);
  EXPECT_EQ(Positions, (std::vector<int>{5, 96, 97, 98}));
  std::vector<std::string> log = Log();
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("CreateRegKey::HKEY_CURRENT_USER", 0) == 0; }), 0);
  DeleteKeyTree(HKEY_CURRENT_USER, key.c_str());
}

TEST_F(Install, UninstallEntryAndTheUninstallerCopyByVersion) {
  std::string fixtures = fixture::ProgramDir() + "fixtures\\";
  std::string v28 = fixture::ReadFile(fixtures + "version2800.exe");
  std::string v29 = fixture::ReadFile(fixtures + "version2900.exe");
  ASSERT_FALSE(v28.empty());
  ASSERT_FALSE(v29.empty());
  // The system copy lives under WINDIR; each case has a Windows directory of its own.
  struct Case {
    std::string system, temp;  // "" for no system copy
    bool replaced;
  } cases[] = {
      {v28, v29, true},
      {v28, v28 + "other bytes, same version", false},
      {v29, v28, false},
      {"", v28, true},
      {"no version", "neither has one", false},
  };
  char windir[MAX_PATH];
  GetEnvironmentVariableA("WINDIR", windir, MAX_PATH);
  for (const Case& c : cases) {
    Name = Unique("Uninst");
    Dest = TempRoot() + Name;
    std::string win = TempRoot() + Name + "_win";
    CreateDirectoryA(win.c_str(), nullptr);
    CreateDirectoryA((win + "\\system32").c_str(), nullptr);
    std::string systemCopy = win + "\\system32\\cv2uinst.exe";
    if (!c.system.empty()) fixture::WriteFile(systemCopy, c.system);
    SetEnvironmentVariableA("WINDIR", win.c_str());
    TPackage p = Package();
    p.Uninstaller = c.temp;
    CloseForm();
    LoadAndRun(p);
    ExpectCompleted();
    EXPECT_EQ(fixture::ReadFile(systemCopy), c.replaced ? c.temp : c.system) << Name;

    std::string key = std::string(UninstallKeyPrefix) + Name;
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, key, "DisplayName"), Name);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, key, "UninstallString"),
              win + "\\system32\\cv2uinst.exe \"" + Dest + "\\cv2uinst.dat\"");
    std::string hklm = "HKEY_LOCAL_MACHINE\\" + key;
    EXPECT_EQ(Log(), (std::vector<std::string>{"CreateDir::" + Dest, LogFileLine(), "CreateRegKey::" + hklm,
                                               "CreateRegValue::" + hklm + "\\DisplayName",
                                               "CreateRegValue::" + hklm + "\\UninstallString"}));
    DeleteKeyTree(HKEY_LOCAL_MACHINE, key.c_str());
  }
  SetEnvironmentVariableA("WINDIR", windir);
}

// ---- shortcuts ----------------------------------------------------------------------------------

namespace {

// lnkinfo's reading of a shortcut file: "Local path", "Command line arguments", "Working
// directory", "Icon location" and so on, by their labels.
std::map<std::string, std::string> LnkInfo(const std::string& lnk) {
  using TUnixName = char*(CDECL*)(LPCWSTR);
  auto unixName = reinterpret_cast<TUnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  std::map<std::string, std::string> info;
  if (!unixName) return info;
  auto toUnix = [&](const std::string& path) {
    std::wstring w(path.begin(), path.end());
    char* u = unixName(w.c_str());
    std::string s = u ? u : "";
    if (u) HeapFree(GetProcessHeap(), 0, u);
    return s;
  };
  // Wine starts a Unix program without a process to wait for: the answer is complete when the
  // file of that name appears.
  std::string out = lnk + ".txt";
  DeleteFileA(out.c_str());
  std::string cmd = "/bin/sh -c \"lnkinfo '" + toUnix(lnk) + "' > '" + toUnix(out) + ".part' && mv '" +
                    toUnix(out) + ".part' '" + toUnix(out) + "'\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back(0);
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return info;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  for (int waited = 0; !fixture::Exists(out) && waited < 10000; waited += 10) Sleep(10);
  std::string text = fixture::ReadFile(out);
  for (size_t at = 0, e; at < text.size(); at = e + 1) {
    e = text.find('\n', at);
    if (e == std::string::npos) e = text.size();
    std::string l = text.substr(at, e - at);
    size_t colon = l.find(':');
    if (colon == std::string::npos) continue;
    std::string label = l.substr(0, colon), value = l.substr(colon + 1);
    auto trim = [](std::string& s) {
      while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(0, 1);
      while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n')) s.pop_back();
    };
    trim(label);
    trim(value);
    if (!label.empty() && !info.count(label)) info[label] = value;
  }
  DeleteFileA(out.c_str());
  return info;
}

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
  return path;
}

}  // namespace

TEST_F(Install, ShortcutsByKindReadBack) {
  TPackage p = Package();
  p.AppInfo.HasStartMenuShortcut = 1;
  p.AppInfo.HasDesktopShortcut = 1;
  p.AppInfo.HasQuickLaunchShortcut = 1;
  p.Files = {{"<InstallRoot>\\bin\\app.exe", "Required Files", "MZ"}};
  p.Shortcuts = {
      fixture::Link("<Programs>\\<AppName>", "<InstallRoot>\\bin\\app.exe", "Run <AppName>",
                    "-x \"<InstallRoot>\"", true, "<InstallRoot>\\bin\\app.exe", 65535),
      fixture::Link("<Desktop>", "<InstallRoot>\\bin\\app.exe", Name + " desk"),
      fixture::Link("<QuickLaunch>", "<InstallRoot>\\bin\\app.exe", Name + " quick"),
      fixture::Link("<InstallRoot>\\Links", "<InstallRoot>\\bin\\app.exe", "never"),
      fixture::Link("<Programs>\\<AppName>", "<InstallRoot>\\missing.exe", "missing"),
  };
  Load(p);
  SetPart(ItemQuickLaunch, false);
  Run();
  ExpectCompleted();
  std::string programs = SpecialFolder(CSIDL_PROGRAMS) + "\\" + Name + "\\";
  std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\";
  std::string target = Dest + "\\bin\\app.exe";
  std::vector<std::string> log = Log();
  std::vector<std::string> tail(log.end() - 3, log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"CreateDir::" + programs,
                                            "CreateFile::" + programs + "Run " + Name + ".lnk",
                                            "CreateFile::" + desktop + Name + " desk.lnk"}));
  EXPECT_FALSE(fixture::Exists(Dest + "\\Links"));
  EXPECT_FALSE(fixture::Exists(programs + "missing.lnk"));
  // after the files' 95: 98, then i/5 x 2 + 98 for all five records, made or not (98 99 99 100
  // 100), each position sent once
  std::vector<int> tailPositions(Positions.end() - 4, Positions.end());
  EXPECT_EQ(tailPositions, (std::vector<int>{95, 98, 99, 100}));

  auto run = LnkInfo(programs + "Run " + Name + ".lnk");
  ASSERT_FALSE(run.empty()) << "lnkinfo gave nothing for " << programs;
  EXPECT_EQ(run["Local path"], target);
  EXPECT_EQ(run["Command line arguments"], "-x \"" + Dest + "\"");
  EXPECT_EQ(run["Working directory"], Dest + "\\bin\\");
  EXPECT_EQ(run["Icon location"], target);
  EXPECT_EQ(run["Icon index"], "65535");
  auto desk = LnkInfo(desktop + Name + " desk.lnk");
  EXPECT_EQ(desk["Local path"], target);
  EXPECT_EQ(desk["Working directory"], Dest + "\\bin\\");
  EXPECT_EQ(desk.count("Icon location"), 0u);

  DeleteFileA((programs + "Run " + Name + ".lnk").c_str());
  RemoveDirectoryA(programs.c_str());
  DeleteFileA((desktop + Name + " desk.lnk").c_str());
}

// ---- registrations and commands -----------------------------------------------------------------

TEST_F(Install, RegistrationsCommandsAndExecLines) {
  std::string fixtures = fixture::ProgramDir() + "fixtures\\";
  TPackage p = Package();
  p.Files = {{"<InstallRoot>\\reg dir\\regmark.dll", "Required Files", fixture::ReadFile(fixtures + "regmark.dll")}};
  p.Dlls = {"<InstallRoot>\\reg dir\\regmark.dll", "<InstallRoot>\\absent.dll"};
  std::string append = "\"" + fixtures + "appendline.exe\" \"<InstallRoot>\\order.txt\" ";
  p.PostInstall = {append + "first", append + "second", append + "<AppName>"};
  p.PreUninstall = {"A <AppName>", "B", "C"};
  LoadAndRun(p);
  ExpectCompleted();
  EXPECT_EQ(fixture::ReadFile(Dest + "\\reg dir\\regmark.dll.mark"), "registered");
  EXPECT_EQ(fixture::ReadFile(Dest + "\\order.txt"), "first\r\nsecond\r\n" + Name + "\r\n");
  std::vector<std::string> log = Log();
  std::vector<std::string> tail(log.end() - 5, log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "RegisterDLL::regsvr32.exe /s \"" + Dest + "\\reg dir\\regmark.dll\"",
                      "RegisterDLL::regsvr32.exe /s \"" + Dest + "\\absent.dll\"",
                      "Exec::C", "Exec::B", "Exec::A " + Name}));
  EXPECT_EQ(MainForm->ProgressLabel.Text(), "Finalizing Installation...");
}

// ---- cancelling ---------------------------------------------------------------------------------

TEST_F(Install, CancelledRunFinishesItsItemAndTheLaterSteps) {
  std::string fixtures = fixture::ProgramDir() + "fixtures\\";
  std::string key = "Software\\" + Name;
  TPackage p = Package();
  p.AppInfo.HasDesktopShortcut = 1;
  p.Files = {{"<InstallRoot>\\one.txt", "Required Files", "1"},
             {"<InstallRoot>\\two.txt", "Required Files", "2"},
             {"<InstallRoot>\\regmark.dll", "Required Files", fixture::ReadFile(fixtures + "regmark.dll")}};
  p.RegValues = {fixture::Reg(HKCU, key, "first", "1", 3), fixture::Reg(HKCU, key, "second", "2", 3)};
  p.Shortcuts = {fixture::Link("<Desktop>", "<InstallRoot>\\one.txt", Name + " one"),
                 fixture::Link("<Desktop>", "<InstallRoot>\\one.txt", Name + " two")};
  p.Dlls = {"<InstallRoot>\\regmark.dll"};
  std::string append = "\"" + fixtures + "appendline.exe\" \"<InstallRoot>\\post.txt\" ";
  p.PostInstall = {append + "ran"};
  p.PreUninstall = {"undo"};
  Load(p);

  // The wizard holds the worker while it asks, then sets the stop request and lets it go.
  TInstallThread::Hold();
  installer().StartInstall();
  DWORD until = GetTickCount() + 300;
  while (GetTickCount() < until) {
    ui::Application.ProcessMessages();
    Sleep(5);
  }
  EXPECT_TRUE(installer().ThreadRunning);
  EXPECT_FALSE(fixture::Exists(Dest)) << "held at the first stop-request test";
  TInstallThread::Release(true);
  TInstallThread::WaitForEnd();
  EXPECT_FALSE(installer().ThreadRunning);

  EXPECT_EQ(installer().InstallStatus, 0);
  EXPECT_FALSE(MainForm->CoThread.Enabled());
  EXPECT_NE(MainForm->BEnd.Text(), "&Finish");
  EXPECT_EQ(fixture::ReadFile(Dest + "\\one.txt"), "1");
  EXPECT_FALSE(fixture::Exists(Dest + "\\two.txt"));
  EXPECT_EQ(fixture::ReadFile(Dest + "\\post.txt"), "ran\r\n");

  std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\";
  std::string hkcu = "HKEY_CURRENT_USER\\" + key;
  std::string hklm = "HKEY_LOCAL_MACHINE\\" + std::string(UninstallKeyPrefix) + Name;
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       "CreateDir::" + Dest, LogFileLine(), "CreateFile::" + Dest + "\\one.txt",
                       "CreateRegKey::" + hkcu, "CreateRegValue::" + hkcu + "\\first",
                       "CreateRegKey::" + hklm, "CreateRegValue::" + hklm + "\\DisplayName",
                       "CreateRegValue::" + hklm + "\\UninstallString",
                       "CreateFile::" + desktop + Name + " one.lnk",
                       "RegisterDLL::regsvr32.exe /s \"" + Dest + "\\regmark.dll\"",
                       "Exec::undo"}));
  EXPECT_FALSE(fixture::Exists(Dest + "\\regmark.dll.mark")) << "the DLL itself was not installed";
  DeleteFileA((desktop + Name + " one.lnk").c_str());
  DeleteKeyTree(HKEY_CURRENT_USER, key.c_str());
  DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(UninstallKeyPrefix) + Name).c_str());
}

TEST_F(Install, CancelFromTheWindowDuringTheFileStep) {
  // The user closes the window while the worker writes files: the close question holds the
  // worker, Yes sets its stop request and waits for its end while serving it; then the window
  // closes. The worker is held right after the first file's question so the close request finds
  // it inside the file step.
  TPackage p = Package();
  CreateDirectoryA(Dest.c_str(), nullptr);
  fixture::WriteFile(Dest + "\\f0.txt", "old");
  for (int i = 0; i < 3; ++i)
    p.Files.push_back({"<InstallRoot>\\f" + std::to_string(i) + ".txt", "Required Files", "new"});
  p.PreUninstall = {"undo"};
  Load(p);
  Answers.Answers = {0};  // replace f0.txt
  Answers.MessageAnswer = IDYES;
  Answers.OnQuestion = [] {
    TInstallThread::Hold();
    ui::PostCall([] { MainForm->Close(); });
  };
  installer().StartInstall();
  DWORD until = GetTickCount() + 20000;
  while (installer().ThreadRunning && GetTickCount() < until) {
    ui::Application.ProcessMessages();
    Sleep(1);
  }
  TInstallThread::WaitForEnd();
  ASSERT_EQ(Answers.Asked.size(), 2u);
  EXPECT_EQ(Answers.Asked[1].Text, "Are you sure you want to cancel installation?");
  EXPECT_EQ(Answers.Asked[1].Icon, UINT(MB_YESNO | MB_ICONWARNING));
  EXPECT_TRUE(Answers.Asked[1].BeepBefore);
  EXPECT_FALSE(IsWindow(MainForm->Handle)) << "Yes closes the window";
  EXPECT_EQ(installer().InstallStatus, 0);
  EXPECT_EQ(MainForm->ExitCode, ecCancelled);
  EXPECT_EQ(fixture::ReadFile(Dest + "\\f0.txt"), "new");
  EXPECT_FALSE(fixture::Exists(Dest + "\\f1.txt"));
  std::string hklm = "HKEY_LOCAL_MACHINE\\" + std::string(UninstallKeyPrefix) + Name;
  EXPECT_EQ(Log(), (std::vector<std::string>{LogFileLine(), "CreateFile::" + Dest + "\\f0.txt",
                                             "CreateRegKey::" + hklm, "CreateRegValue::" + hklm + "\\DisplayName",
                                             "CreateRegValue::" + hklm + "\\UninstallString", "Exec::undo"}));
  DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(UninstallKeyPrefix) + Name).c_str());
}

// An uninstall log whose "Exec::" lines the disk does not take: the installation fails in its
// last step, after its last stop-request test.
BOOL NoRoomForExecLines(HANDLE file, const void* data, DWORD size, DWORD* written) {
  if (std::string_view(static_cast<const char*>(data), size).starts_with(TagExec)) {
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return WriteFile(file, data, size, written, nullptr);
}

// The user closes the window while the post-installation command runs, past the worker's last
// stop-request test; the command ends while the question is open, so the worker comes to its
// result before the answer. Yes then comes too late: the run ends as the worker says, and the
// window, once the question is answered, does what it does after that result.
TEST_F(Install, ACancelOvertakenByTheEndOfTheRunLeavesItsResult) {
  struct Case {
    const char* what;
    bool unattended, fails;
    TSetupExitCode code;
  } cases[] = {
      {"attended, completed", false, false, ecCompleted},
      {"attended, failed", false, true, ecDiskSpace},
      {"unattended, completed", true, false, ecCompleted},
      {"unattended, failed", true, true, ecDiskSpace},
  };
  const std::string waitfor = fixture::ProgramDir() + "fixtures\\waitfor.exe";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Name = Unique("Late");
    Dest = TempRoot() + Name;
    TPackage p = Package();
    p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "alpha"}};
    p.PostInstall = {"\"" + waitfor + "\" \"<InstallRoot>\\waiting\" \"<InstallRoot>\\go\""};
    p.PreUninstall = {"undo"};
    p.Write(Source);
    Answers.Asked.clear();
    CloseForm();
    if (c.fails) TInstallThread::WriteBytes = NoRoomForExecLines;
    if (c.unattended) {
      OpenForm(Source, "/u \"/d:" + Dest + "\"");  // starts the worker
    } else {
      OpenForm(Source);
      MainForm->Button2Click();  // welcome -> destination
      MainForm->EDest.SetText(Dest);
      MainForm->Button2Click();  // -> components
      MainForm->Button2Click();  // -> installation: starts the worker
    }
    ASSERT_EQ(MainForm->Notebook.PageIndex(), pgInstall);
    ASSERT_TRUE(ui::testing::PumpUntil([&] { return fixture::Exists(Dest + "\\waiting"); }, 20000));
    bool openDuringQuestion = false;
    int pageDuringQuestion = -1;
    Answers.MessageAnswer = IDYES;
    Answers.OnMessage = [&](const std::string& text) {
      if (text != "Are you sure you want to cancel installation?") return;
      fixture::WriteFile(Dest + "\\go", "");
      TInstallThread::WaitForEnd();  // serves the worker's hand-over of its result
      // What the question's own message loop would dispatch meanwhile: the result's timer.
      ui::testing::PumpUntil([] { return !MainForm->CoThread.Enabled(); }, 2000);
      openDuringQuestion = IsWindow(MainForm->Handle);
      pageDuringQuestion = MainForm->Notebook.PageIndex();
    };
    MainForm->Close();
    Answers.OnMessage = nullptr;
    TInstallThread::WriteBytes = RealWriteBytes;
    ui::testing::PumpUntil([&] { return !IsWindow(MainForm->Handle) || MainForm->Notebook.PageIndex() != pgInstall; });

    ASSERT_FALSE(Answers.Asked.empty());
    EXPECT_EQ(Answers.Asked[0].Text, "Are you sure you want to cancel installation?");
    EXPECT_TRUE(openDuringQuestion) << "the result waits for the answer";
    EXPECT_EQ(pageDuringQuestion, pgInstall);
    EXPECT_EQ(MainForm->ExitCode, c.code);
    EXPECT_EQ(installer().InstallStatus, c.fails ? 3 : 2);
    if (c.unattended) {
      EXPECT_FALSE(IsWindow(MainForm->Handle)) << "the window closes itself, as after the result";
      ASSERT_EQ(Answers.Asked.size(), c.fails ? 2u : 1u);
      if (c.fails) {
        EXPECT_EQ(Answers.Asked[1].Text.rfind("Unattended Setup failed!\r\n" + std::string(DiskSpaceText), 0), 0u);
      }
    } else {
      EXPECT_TRUE(IsWindow(MainForm->Handle)) << "the window stays on the result page";
      EXPECT_EQ(MainForm->Notebook.PageIndex(), c.fails ? pgError : pgDone);
      EXPECT_EQ(MainForm->BEnd.Text(), c.fails ? "&Close" : "&Finish");
      EXPECT_EQ(Answers.Asked.size(), 1u);
    }
    EXPECT_EQ(fixture::ReadFile(Dest + "\\a.txt"), "alpha");
    std::vector<std::string> log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), c.fails ? "CreateRegValue::HKEY_LOCAL_MACHINE\\" + std::string(UninstallKeyPrefix) + Name + "\\UninstallString"
                                  : "Exec::undo");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(UninstallKeyPrefix) + Name).c_str());
  }
}

TEST_F(Install, UnattendedRunsHandTheResultToTheWindow) {
  struct Case {
    bool fails;
  } cases[] = {{false}, {true}};
  for (const Case& c : cases) {
    Name = Unique("Unatt");
    Dest = TempRoot() + Name;
    TPackage p = Package();
    p.AppInfo.Unattended = 1;
    p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "alpha"}};
    if (c.fails) p.CutPak = 1;
    p.Write(Source);
    Answers.Asked.clear();
    CloseForm();
    OpenForm(Source, "\"/d:" + Dest + "\"");  // the start-up starts the worker at once
    TInstallThread::WaitForEnd();
    DWORD until = GetTickCount() + 5000;
    while (IsWindow(MainForm->Handle) && GetTickCount() < until) {
      ui::Application.ProcessMessages();
      Sleep(1);
    }
    EXPECT_FALSE(IsWindow(MainForm->Handle)) << "the window closes itself";
    EXPECT_EQ(MainForm->ExitCode, c.fails ? ecPackageDamaged : ecCompleted);
    if (c.fails) {
      ASSERT_EQ(Answers.Asked.size(), 1u);
      EXPECT_TRUE(Answers.Asked[0].BeepBefore);
      EXPECT_EQ(Answers.Asked[0].Text.rfind("Unattended Setup failed!\r\nThe data package ", 0), 0u) << Answers.Asked[0].Text;
      EXPECT_NE(Answers.Asked[0].Text.find(Dest + "\\a.txt"), std::string::npos);
    } else {
      EXPECT_TRUE(Answers.Asked.empty());
      EXPECT_EQ(fixture::ReadFile(Dest + "\\a.txt"), "alpha");
    }
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(UninstallKeyPrefix) + Name).c_str());
  }
}

// ---- errors -------------------------------------------------------------------------------------

TEST_F(Install, AnErrorStopsTheRunWithItsReason) {
  struct Case {
    const char* what;
    std::function<void(TPackage&, const std::string& dest)> make;
    std::vector<std::string> reason;  // parts of LError; "@" stands for the destination
    size_t logLines;                   // lines on disk after the failure
    TSetupExitCode code;
  } cases[] = {
      {"data.pak too short",
       [](TPackage& p, const std::string&) {
         p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "alpha"},
                    {"<InstallRoot>\\b.txt", "Required Files", "beta"}};
         p.CutPak = 2;
       },
       {"@\\b.txt", "shorter"}, 3, ecPackageDamaged},
      {"a file that cannot be written",
       [](TPackage& p, const std::string& dest) {
         CreateDirectoryA(dest.c_str(), nullptr);
         CreateDirectoryA((dest + "\\taken").c_str(), nullptr);
         p.Files = {{"<InstallRoot>\\taken", "Required Files", "x"}};
       },
       {"@\\taken", "could not be"}, 1, ecInstallError},
      {"a value text that is no number",
       [](TPackage& p, const std::string&) {
         p.RegValues = {fixture::Reg(HKCU, "Software\\<AppName>", "Bad", "abc", 3)};
       },
       {"HKEY_CURRENT_USER\\Software\\", "\\Bad", "\"abc\""}, 3, ecInstallError},
      {"malformed hex",
       [](TPackage& p, const std::string&) {
         p.RegValues = {fixture::Reg(HKCU, "Software\\<AppName>", "Hex", "hex:0g", 0)};
       },
       {"\\Hex", "hex:0g"}, 3, ecInstallError},
      {"a registry write refused",
       [](TPackage& p, const std::string&) { p.RegValues = {fixture::Reg(0x80000007u, "K", "V", "x", 4)}; },
       {"\\K\\V", "could not be written"}, 3, ecInstallError},
      {"no shell-link object",
       [](TPackage& p, const std::string&) {
         p.AppInfo.HasDesktopShortcut = 1;
         p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "alpha"}};
         p.Shortcuts = {fixture::Link("<Desktop>", "<InstallRoot>\\a.txt", "<AppName> link")};
         p.PreUninstall = {"never logged"};
       },
       {"link.lnk", "shell-link"}, 6, ecInstallError},
      {"a log that cannot be created",
       [](TPackage& p, const std::string& dest) {
         fixture::WriteFile(dest, "a file where the root should be");
         p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "alpha"}};
       },
       {"@\\cv2uinst.dat"}, 0, ecInstallError},
  };
  for (const Case& c : cases) {
    Name = Unique("Err");
    Dest = TempRoot() + Name;
    TPackage p = Package();
    c.make(p, Dest);
    CloseForm();
    Load(p);
    // Without COM on the user-interface thread the shell-link object cannot be had.
    bool noCom = std::string(c.what) == "no shell-link object";
    if (noCom) CoUninitialize();
    Run();
    if (noCom) CoInitialize(nullptr);
    std::vector<std::string> reason;
    for (std::string part : c.reason) {
      if (part[0] == '@') part = Dest + part.substr(1);
      reason.push_back(part);
    }
    SCOPED_TRACE(c.what);
    ExpectFailed(reason, c.code);
    EXPECT_EQ(Log().size(), c.logLines);
    DeleteKeyTree(HKEY_CURRENT_USER, ("Software\\" + Name).c_str());
  }
}

// The record of a file whose stored size was damaged to 2^31 - 1 in a data.pak of a few bytes: the
// file step finds the package too short before it takes a block of that size.
TEST_F(Install, ADamagedStoredSizeIsFoundBeforeItsMemoryIsTaken) {
  for (bool compressed : {false, true}) {
    Name = Unique("Size");
    Dest = TempRoot() + Name;
    TPackage p = Package();
    p.AppInfo.CompressData = compressed;
    p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "alpha"},
               {"<InstallRoot>\\b.txt", "Required Files", "beta", 4, 0x7FFFFFFF}};
    CloseForm();
    Load(p);
    PROCESS_MEMORY_COUNTERS before{}, after{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));
    Run();
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));
    SCOPED_TRACE(compressed ? "compressed" : "raw");
    ExpectFailed({Dest + "\\b.txt", "shorter", "2147483647 bytes"}, ecPackageDamaged);
    EXPECT_LT(after.PeakWorkingSetSize - before.PeakWorkingSetSize, SIZE_T(256) << 20)
        << "the damaged size was allocated";
    EXPECT_EQ(fixture::ReadFile(Dest + "\\a.txt"), "alpha");
    EXPECT_FALSE(fixture::Exists(Dest + "\\b.txt"));
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(UninstallKeyPrefix) + Name).c_str());
  }
}

// A disk that fills up while a file is written: the file step hands the pieces of b.txt to a
// writer that takes only half of one of them, as a full disk does: of its only piece, or of its
// second when it comes in several (a file larger than a piece, raw or compressed).
namespace diskfull {
DWORD Error;            // what the writer reports: 0 for a short write without an error code
int FailAt;             // the piece of b.txt that fails, counted from its first
int Writes;             // pieces of b.txt: the only writes of 1,000 bytes or more (a.txt, c.txt
                        // and each line of the log are shorter)
std::string LogPath;    // the uninstall log, read from the disk when the disk fills up
std::string LogOnDisk;
BOOL FillingWriter(HANDLE file, const void* data, DWORD size, DWORD* written) {
  if (size < 1000 || ++Writes != FailAt) return WriteFile(file, data, size, written, nullptr);
  LogOnDisk = fixture::ReadFile(LogPath);
  WriteFile(file, data, size / 2, written, nullptr);
  SetLastError(Error);
  return Error == ERROR_SUCCESS;
}
}  // namespace diskfull

TEST_F(Install, AFullDiskRemovesTheHalfWrittenFileKeepsTheLogAndSaysSo) {
  struct Case {
    const char* what;
    DWORD error;
    bool compressed;
    size_t size;  // of b.txt
    int failAt;
  } cases[] = {
      {"disk full", ERROR_DISK_FULL, false, 1000, 1},
      {"short write", ERROR_SUCCESS, false, 1000, 1},
      {"disk full in the second piece", ERROR_DISK_FULL, false, 3 << 20, 2},
      {"disk full in the second piece, compressed", ERROR_DISK_FULL, true, 3 << 20, 2},
      {"short write in the second piece, compressed", ERROR_SUCCESS, true, 3 << 20, 2},
  };
  for (const Case& c : cases) {
    Name = Unique("Full");
    Dest = TempRoot() + Name;
    TPackage p = Package();
    p.AppInfo.CompressData = c.compressed;
    std::string b(c.size, 'b');
    for (size_t i = 0; i < b.size(); i += 7) b[i] = static_cast<char>('a' + i % 23);
    p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "alpha"},
               {"<InstallRoot>\\b.txt", "Required Files", b},
               {"<InstallRoot>\\c.txt", "Required Files", "gamma"}};
    CloseForm();
    Load(p);
    diskfull::Error = c.error;
    diskfull::FailAt = c.failAt;
    diskfull::Writes = 0;
    diskfull::LogPath = Dest + "\\cv2uinst.dat";
    diskfull::LogOnDisk = "<not read>";
    TInstallThread::WriteBytes = diskfull::FillingWriter;
    Run();
    TInstallThread::WriteBytes = RealWriteBytes;
    SCOPED_TRACE(c.what);
    EXPECT_EQ(diskfull::Writes, c.failAt) << "no write after the failure";
    const std::vector<std::string> before{"CreateDir::" + Dest, LogFileLine(), "CreateFile::" + Dest + "\\a.txt"};
    EXPECT_EQ(Lines(diskfull::LogOnDisk), before) << "the lines logged before the failure are in the file";
    EXPECT_EQ(Log(), before);
    ExpectFailed({"Insufficient free disk space to perform the installation.\r\nThe disk is full: the file " + Dest +
                      "\\b.txt could not be written (the incomplete file was removed)."},
                 ecDiskSpace);
    EXPECT_EQ(MainForm->LError.Text().find("Write fault"), std::string::npos) << MainForm->LError.Text();
    EXPECT_EQ(fixture::ReadFile(Dest + "\\a.txt"), "alpha");
    EXPECT_FALSE(fixture::Exists(Dest + "\\b.txt")) << "the half-written file is gone";
    EXPECT_FALSE(fixture::Exists(Dest + "\\c.txt"));
  }
  DeleteFileA((Source + "data.pak").c_str());
}

// A disk that fills up while the uninstall log takes a line: the system takes half of the line
// of b.txt and gives no reason, and the C runtime would have left EINVAL behind. The log ends with
// the last whole line, and the run ends as for a full disk.
namespace logfull {
BOOL HalfALine(HANDLE file, const void* data, DWORD size, DWORD* written) {
  const std::string_view bytes(static_cast<const char*>(data), size);
  if (!bytes.starts_with(TagCreateFile) || bytes.find("b.txt") == std::string_view::npos)
    return WriteFile(file, data, size, written, nullptr);
  WriteFile(file, data, size / 2, written, nullptr);
  errno = EINVAL;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
}  // namespace logfull

TEST_F(Install, AFullDiskDuringALogLineEndsTheLogWithItsLastWholeLine) {
  TPackage p = Package();
  p.Files = {{"<InstallRoot>\\a.txt", "Required Files", "alpha"},
             {"<InstallRoot>\\b.txt", "Required Files", "beta"},
             {"<InstallRoot>\\c.txt", "Required Files", "gamma"}};
  Load(p);
  TInstallThread::WriteBytes = logfull::HalfALine;
  Run();
  TInstallThread::WriteBytes = RealWriteBytes;
  ExpectFailed({std::string(DiskSpaceText) + "\r\nThe disk is full: the uninstall log " + Dest +
                "\\cv2uinst.dat could not be written."},
               ecDiskSpace);
  EXPECT_EQ(MainForm->LError.Text().find("Invalid argument"), std::string::npos) << MainForm->LError.Text();
  const std::string bytes = fixture::ReadFile(Dest + "\\cv2uinst.dat");
  EXPECT_EQ(bytes, "CreateDir::" + Dest + "\r\n" + LogFileLine() + "\r\nCreateFile::" + Dest + "\\a.txt\r\n");
  EXPECT_FALSE(fixture::Exists(Dest + "\\c.txt")) << "the run stops at the line";
}

// ---- the wizard around the worker ---------------------------------------------------------------

void Install::OpenForm(const std::string& sourceDir, const std::string& args) {
  static HRESULT com = CoInitialize(nullptr);  // the user-interface thread's, as at program start
  (void)com;
  ui::Application.Terminated = false;
  TMainForm* form = new TMainForm();
  form->ProgramPath = sourceDir + "setup.exe";
  form->CommandLine = "\"" + sourceDir + "setup.exe\" " + args;
  form->FormCreate();
  ASSERT_EQ(MainForm, form);
  ASSERT_NE(MainForm->Installer, nullptr);
  ASSERT_NE(MainForm->Installer->Files, nullptr) << "the package did not load";
}

void Install::CloseForm() {
  delete MainForm;
  MainForm = nullptr;
}

// The installer engine without its window: loading a package, the temporary directory, the
// machine's placeholder sources and the system checks.
#include <gtest/gtest.h>

#include "setup/setup_installer.h"
#include "tests/win/setup_fixture.h"

using fixture::Package;

namespace {

TEST(SetupEngine, LoadsAPackageAndRemovesItsTemporaryDirectory) {
  Package p;
  p.packages = {"Required Files", "Docs"};
  p.info.AnnounceMode = 1;
  TShortcutRec s{};
  s.Location.Set("<Desktop>");
  p.shortcuts = {s, s};
  TPackedFileRec f{};
  f.DestPath.Set("<InstallRoot>\\a.txt");
  p.files = {f, f, f};
  p.post = {"x"};
  p.uninstaller.assign(5000, 0);
  for (size_t i = 0; i < p.uninstaller.size(); ++i) p.uninstaller[i] = static_cast<uint8_t>(i * 7);
  const std::string dir = p.Write("full");
  std::string temp;
  {
    TInstaller in;
    in.SourceDir = dir;
    TempNameRandom.FSeed = 0;
    ASSERT_TRUE(in.LoadSetupData());
    temp = in.TempDir;
    EXPECT_EQ(temp, fixture::PrivateTemp() + "0\\");
    EXPECT_EQ(fixture::ReadFile(temp + "cv2uinst.exe"), p.uninstaller);
    EXPECT_EQ(in.DisplayName, "Acme Editor");
    EXPECT_EQ(*in.Packages, (TStringList{"Required Files", "Docs"}));
    EXPECT_EQ(in.Shortcuts->Count(), 2);
    EXPECT_EQ(in.Files->Count(), 3);
    EXPECT_EQ(*in.PostInstallCommands, TStringList{"x"});
    EXPECT_TRUE(in.PreUninstallCommands->empty());
    EXPECT_FALSE(in.Files->FTimer.Enabled());
    fixture::WriteFile(temp + "extra.tmp", {1});
  }
  EXPECT_FALSE(fixture::DirExists(temp));
}

TEST(SetupEngine, UninstallerSizesCopyExactly) {
  for (size_t size : {0u, 1u, 2048u, 4096u, 5000u}) {
    Package p;
    p.uninstaller.assign(size, 0x5A);
    const std::string dir = p.Write("size" + std::to_string(size));
    TInstaller in;
    in.SourceDir = dir;
    ASSERT_TRUE(in.LoadSetupData()) << size;
    EXPECT_EQ(fixture::ReadFile(in.TempDir + "cv2uinst.exe"), p.uninstaller) << size;
    EXPECT_TRUE(fixture::FileExists(in.TempDir + "cv2uinst.exe")) << size;
  }
}

TEST(SetupEngine, TemporaryNamesSkipTakenNames) {
  const std::string t = fixture::PrivateTemp();
  CreateDirectoryA((t + "0").c_str(), nullptr);
  {
    TInstaller in;
    TempNameRandom.FSeed = 0;
    ASSERT_TRUE(in.CreateTempDir());
    EXPECT_EQ(in.TempDir, t + "67387906\\");  // the generator's second value
    EXPECT_TRUE(fixture::DirExists(in.TempDir));
  }
  fixture::WriteFile(t + "67387906", {1});  // a file can never become the directory either
  TInstaller in;
  TempNameRandom.FSeed = 0;
  ASSERT_TRUE(in.CreateTempDir());
  EXPECT_EQ(in.TempDir, t + "1849087502\\");
}

TEST(SetupEngine, EnvironmentValuesOfAnyLength) {
  TInstaller in;
  const std::string big(5000, 'v');
  SetEnvironmentVariableA("CV_BIG", big.c_str());
  SetEnvironmentVariableA("CV_249", std::string(249, 'w').c_str());
  SetEnvironmentVariableA("CV_250", std::string(250, 'w').c_str());
  SetEnvironmentVariableA("CV_UNSET", nullptr);
  EXPECT_EQ(in.GetEnvVar("CV_BIG"), big);
  EXPECT_EQ(in.GetEnvVar("CV_249").size(), 249u);
  EXPECT_EQ(in.GetEnvVar("CV_250").size(), 250u);
  EXPECT_EQ(in.GetEnvVar("CV_UNSET"), "");
  EXPECT_EQ(in.ExpandPlaceholders("[<%CV_UNSET%>]<%CV_249%>").size(), 2u + 249u);
}

TEST(SetupEngine, MachineSources) {
  TInstaller in;
  in.AppInfo.AppTitle.Set("Editor");
  in.DestDir = "C:\\Apps\\Editor";
  EXPECT_EQ(in.ExpandPlaceholders("<ProgramFiles>\\<AppName>"), "C:\\Program Files\\Editor");
  EXPECT_EQ(in.ExpandPlaceholders("<SystemRoot>|<Uninstall>"),
            "C:\\windows|C:\\windows\\system32\\cv2uinst.exe");
  const std::string desktop = in.ExpandPlaceholders("<Desktop>");
  EXPECT_TRUE(desktop.ends_with("\\Desktop")) << desktop;
  EXPECT_EQ(in.ExpandPlaceholders("<Programs>"), in.ExpandPlaceholders("<StartMenu>") + "\\Programs");
  EXPECT_TRUE(in.ExpandPlaceholders("<SharedFiles>").ends_with("Common Files"));
  EXPECT_TRUE(in.ExpandPlaceholders("<QuickLaunch>").ends_with("\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch"));
}

TEST(SetupEngine, DestinationChecks) {
  TInstaller in;
  struct Case { const char* path; bool ok; };
  for (Case c : {Case{"C:", true}, Case{"C:\\Apps", true}, Case{"c:\\apps", true}, Case{"C:Apps", false},
                 Case{"1:\\Apps", false}, Case{"Q:\\Apps", false}, Case{"C", false}})
    EXPECT_EQ(in.ValidateDestDir(c.path), c.ok) << c.path;
}

TEST(SetupEngine, FileVersionNumbers) {
  TInstaller in;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  EXPECT_EQ(in.GetFileVersionNumber(self), 1234);  // this program carries version 1.2.3.4
  const std::string text = fixture::TestRoot() + "plain.txt";
  fixture::WriteFile(text, {'h', 'i'});
  EXPECT_EQ(in.GetFileVersionNumber(text), 0);
  EXPECT_EQ(in.GetFileVersionNumber(fixture::TestRoot() + "missing.exe"), 0);
  std::string big = self;
  big.replace(big.find_last_of('\\') + 1, std::string::npos, "verfixture.dll");
  EXPECT_EQ(in.GetFileVersionNumber(big), 2147483647);  // 6.3.9600.17415 saturates
}

// The lists' timers tick from the message loop: once after a second unless switched off.
TEST(SetupEngine, PointerListTimersTickFromTheMessageLoop) {
  static int item;
  TLHPointerList ticking, off;
  ticking.FMaxAge = 1;
  off.FMaxAge = 1;
  off.SetCheckInterval(0);
  ticking.Add(&item);
  off.Add(&item);
  auto* saved = TLHPointerList::Clock;
  TLHPointerList::Clock = [] { return NowLocal() + 10.0 / 86400; };  // both items 10 s old
  const DWORD start = GetTickCount();
  MSG m;
  while (ticking.Count() == 1 && GetTickCount() - start < 3000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  const DWORD waited = GetTickCount() - start;
  TLHPointerList::Clock = saved;
  EXPECT_EQ(ticking.Count(), 0);
  EXPECT_GE(waited, 900u);
  EXPECT_FALSE(ticking.FTimer.Enabled());  // one tick, not re-armed
  EXPECT_EQ(off.Count(), 1);
}

TEST(SetupEngine, RegistryTextsOnlyFromTextValues) {
  const std::string key = "Software\\CvSetupTest" + std::to_string(GetCurrentProcessId());
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  const std::string longText(1000, 'L');
  const DWORD dword = 42;
  RegSetValueExA(k, "sz", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\Apps\\"), 9);
  RegSetValueExA(k, "expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%WINDIR%\\x"), 12);
  RegSetValueExA(k, "long", 0, REG_SZ, reinterpret_cast<const BYTE*>(longText.c_str()), 1001);
  RegSetValueExA(k, "dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), 4);
  RegSetValueExA(k, "binary", 0, REG_BINARY, reinterpret_cast<const BYTE*>("abc"), 3);
  RegCloseKey(k);
  struct Case { const char* value; std::string text; };
  for (const Case& c : {Case{"sz", "C:\\Apps\\"}, Case{"expand", "%WINDIR%\\x"}, Case{"long", longText},
                        Case{"dword", ""}, Case{"binary", ""}, Case{"missing", ""}})
    EXPECT_EQ(RegistryText(0x80000001, key.c_str(), c.value), c.text) << c.value;
  EXPECT_EQ(RegistryText(0x80000001, (key + "\\none").c_str(), "sz"), "");
  EXPECT_EQ(RegistryText(0x80000002, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"),
            "C:\\Program Files");
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace

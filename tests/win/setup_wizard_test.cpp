// The setup wizard in-process under Wine: start-up against fixture packages, the pages forwards
// and backwards, the destination checks, Browse, About, the command line, the cancel question
// and the result hand-over. Every question is answered through the ui seam.
#include <gtest/gtest.h>

#include "setup/setup_installthread.h"
#include "setup/setup_main.h"
#include "tests/win/setup_fixture.h"
#include "ui/testing.h"

using fixture::Package;
using ui::testing::TAsked;

namespace {

std::vector<std::string> opened;
void RecordOpen(const std::string& url) { opened.push_back(url); }

struct Wizard : ::testing::Test {
  ui::testing::TScriptedDialogs dialogs;
  std::unique_ptr<TMainForm> form;
  int restarts = 0;
  int workersStarted = 0;

  void SetUp() override {
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    ui::Application.Terminated = false;
    ui::Application.Title = "Setup";
    ShellOpen = RecordOpen;
    opened.clear();
  }
  void TearDown() override {
    Settle();
    form.reset();
  }
  // A test that reaches the progress page starts the real install worker; the window outlives it.
  void Settle() {
    if (form && form->Installer) form->Installer->WaitForWorker();
  }

  // Creates the window beside the package in dir and runs its start-up.
  TMainForm& Start(const std::string& dir, const std::string& args = "") {
    Settle();
    form.reset();
    form = std::make_unique<TMainForm>();
    form->ProgramPath = dir + "setup.exe";
    form->CommandLine = "\"" + dir + "setup.exe\" " + args;
    form->RestartComputer = [this] { ++restarts; };
    form->StartWorker = [this] { ++workersStarted; };  // the pages only: no installation runs
    form->FormCreate();
    return *form;
  }
  TMainForm& Start(const Package& p, const std::string& name, const std::string& args = "") {
    return Start(p.Write(name), args);
  }
  TSetupPage Page() const { return static_cast<TSetupPage>(form->Notebook.PageIndex()); }
  std::string Title() const { return form->Label3.Text(); }
  std::string Subtitle() const { return form->Label4.Text(); }
  std::vector<std::string> Parts() const {
    std::vector<std::string> v;
    for (int i = 0; i < form->PartsList.Count(); ++i)
      v.push_back(std::string(1, form->PartsList.Checked(i) ? '+' : '-').append(form->PartsList.Item(i)));
    return v;
  }
  static size_t TempEntries() {
    size_t n = 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((fixture::PrivateTemp() + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do n += strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0;
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
  }
};

// ---- start-up ----

TEST_F(Wizard, MissingFilesEndTheProgramWithOneMessage) {
  struct Case { bool dat, pak; };
  for (Case c : {Case{false, false}, Case{true, false}, Case{false, true}}) {
    const std::string dir = fixture::TestRoot() + "missing" + std::to_string(c.dat) + std::to_string(c.pak) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    if (c.dat) fixture::WriteFile(dir + "setup.dat", Package().SetupDat());
    if (c.pak) fixture::WriteFile(dir + "data.pak", {1, 2, 3});
    dialogs.Clear();
    ui::Application.Terminated = false;
    Start(dir);
    ASSERT_EQ(dialogs.Asked.size(), 1u);
    EXPECT_EQ(dialogs.Asked[0].Text, kMissingFilesText);
    EXPECT_TRUE(dialogs.Asked[0].Beep);
    EXPECT_EQ(dialogs.Asked[0].Icon(), static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(dialogs.Asked[0].ButtonSet(), static_cast<UINT>(MB_OK));
    EXPECT_TRUE(ui::Application.Terminated);
    EXPECT_EQ(form->ExitCode, ecPackageDamaged);
    EXPECT_EQ(TempEntries(), 0u);  // nothing created
  }
}

TEST_F(Wizard, DamagedPackagesEndTheProgramAndLeaveNoTemporaryDirectory) {
  Package good;
  good.uninstaller.assign(100, 7);
  const std::vector<uint8_t> dat = good.SetupDat();
  struct Case { const char* name; size_t datSize; size_t pakSize; };
  for (Case c : {Case{"short1307", 1307, 200}, Case{"short1308", 1308, 200},
                 Case{"cut", dat.size() - 1, 200}, Case{"pak", dat.size(), 99}}) {
    const std::string dir = fixture::TestRoot() + c.name + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    fixture::WriteFile(dir + "setup.dat", std::vector<uint8_t>(dat.begin(), dat.begin() + static_cast<ptrdiff_t>(c.datSize)));
    fixture::WriteFile(dir + "data.pak", std::vector<uint8_t>(c.pakSize, 7));
    dialogs.Clear();
    ui::Application.Terminated = false;
    Start(dir);
    ASSERT_EQ(dialogs.Asked.size(), 1u) << c.name;
    EXPECT_EQ(dialogs.Asked[0].Text, kDamagedSetupText) << c.name;
    EXPECT_TRUE(dialogs.Asked[0].Beep);
    EXPECT_TRUE(ui::Application.Terminated) << c.name;
    EXPECT_EQ(form->ExitCode, ecPackageDamaged) << c.name;
    form.reset();
    EXPECT_EQ(TempEntries(), 0u) << c.name;
  }
}

TEST_F(Wizard, AnUnreadableDataPackageOrNoTemporaryDirectoryEndTheProgram) {
  const std::string dir = Package().Write("locked");
  {
    HANDLE lock = CreateFileA((dir + "data.pak").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    Start(dir);
    CloseHandle(lock);
    ASSERT_EQ(dialogs.Asked.size(), 1u);
    EXPECT_EQ(dialogs.Asked[0].Text, kMissingFilesText);
    EXPECT_TRUE(ui::Application.Terminated);
    EXPECT_EQ(form->ExitCode, ecPackageDamaged);
    form.reset();
    EXPECT_EQ(TempEntries(), 0u);
  }
  // A temporary path below a file can never be created.
  const std::string file = fixture::TestRoot() + "afile";
  fixture::WriteFile(file, {1});
  char saved[MAX_PATH];
  GetEnvironmentVariableA("TMP", saved, MAX_PATH);
  SetEnvironmentVariableA("TMP", (file + "\\sub").c_str());
  dialogs.Clear();
  ui::Application.Terminated = false;
  Start(dir);
  SetEnvironmentVariableA("TMP", saved);
  ASSERT_EQ(dialogs.Asked.size(), 1u);
  EXPECT_EQ(dialogs.Asked[0].Text, kNoTempDirText);
  EXPECT_TRUE(dialogs.Asked[0].Beep);
  EXPECT_TRUE(ui::Application.Terminated);
  EXPECT_EQ(form->ExitCode, ecNoTempDir);
}

// Writes of the uninstaller into the temporary directory that fail after half of the first block:
// the message names the file and why, a full disk as such, and the program ends with its code.
namespace copyfails {
DWORD Error;
BOOL HalfWriter(HANDLE file, const void* data, DWORD size, DWORD* written) {
  WriteFile(file, data, size / 2, written, nullptr);
  SetLastError(Error);
  return Error == ERROR_SUCCESS;
}
}  // namespace copyfails

TEST_F(Wizard, AnUninstallerCopyThatCannotBeWrittenIsNamed) {
  Package p;
  p.uninstaller.assign(5000, 'u');
  const std::string dir = p.Write("copyfails");
  struct Case {
    const char* what;
    DWORD error;
    std::string text;  // after the copy's path
    TSetupExitCode code;
  } cases[] = {
      {"disk full", ERROR_DISK_FULL, " could not be written (the incomplete file was removed).", ecDiskSpace},
      {"a short write, no reason", ERROR_SUCCESS, " could not be written (the incomplete file was removed).",
       ecDiskSpace},
      {"access denied", ERROR_ACCESS_DENIED,
       " could not be written (the incomplete file was removed): " + SystemReason(ERROR_ACCESS_DENIED), ecInstallError},
  };
  TWriteBytes real = TInstallThread::WriteBytes;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    copyfails::Error = c.error;
    TInstallThread::WriteBytes = copyfails::HalfWriter;
    dialogs.Clear();
    ui::Application.Terminated = false;
    Start(dir);
    TInstallThread::WriteBytes = real;
    ASSERT_EQ(dialogs.Asked.size(), 1u);
    const std::string copy = form->Installer->TempDir + "cv2uinst.exe";
    const std::string head = c.code == ecDiskSpace ? std::string(DiskSpaceText) + "\r\nThe disk is full: the file "
                                                   : std::string("The file ");
    EXPECT_EQ(dialogs.Asked[0].Text, head + copy + c.text + "\r\n\r\nSetup cannot continue and will terminate now.");
    EXPECT_EQ(dialogs.Asked[0].Text.find("temporary directory"), std::string::npos);
    EXPECT_TRUE(dialogs.Asked[0].Beep);
    EXPECT_TRUE(ui::Application.Terminated);
    EXPECT_EQ(form->ExitCode, c.code);
    EXPECT_FALSE(fixture::FileExists(copy));
    form.reset();
    EXPECT_EQ(TempEntries(), 0u);
  }
}

TEST_F(Wizard, AWholePackageOpensOnTheWelcomePage) {
  Package p;
  p.info.AnnounceMode = 0;
  p.info.HasDesktopShortcut = 1;
  p.info.HasStartMenuShortcut = 1;
  p.info.HasQuickLaunchShortcut = 2;  // only 1 offers the item
  p.packages = {"Required Files", "Docs", "Docs"};
  TMainForm& f = Start(p, "whole");
  EXPECT_TRUE(dialogs.Asked.empty());
  EXPECT_FALSE(ui::Application.Terminated);
  EXPECT_EQ(f.Text(), "Acme Editor 2.0 - Corvantaine Wizard");
  EXPECT_EQ(f.Label6.Text(), "Acme Editor 2.0");
  EXPECT_EQ(Page(), pgDefault);
  EXPECT_EQ(Title(), "Welcome to the Setup Wizard!");
  EXPECT_EQ(Subtitle(), "This wizard will guide you through the installation progress.");
  EXPECT_FALSE(f.Button3.Enabled());
  EXPECT_TRUE(f.Button2.Enabled());
  EXPECT_EQ(f.BEnd.Text(), "&Cancel");
  EXPECT_EQ(Parts(), (std::vector<std::string>{"+Add Shortcuts to Start Menu", "+Add Shortcuts to Desktop",
                                               "+Required Files", "+Docs", "+Docs"}));
  EXPECT_EQ(f.Image6.Bitmap(), f.Image2.Bitmap());
  EXPECT_NE(f.Image2.Bitmap(), nullptr);
  EXPECT_FALSE(f.CommonSC.Checked());

  // The worker's query: exact captions, the first ticked match counts.
  f.PartsList.SetChecked(3, false);
  EXPECT_TRUE(f.Installer->IsPackageSelected("Docs"));
  EXPECT_FALSE(f.Installer->IsPackageSelected("docs"));
  f.PartsList.SetChecked(4, false);
  EXPECT_FALSE(f.Installer->IsPackageSelected("Docs"));
  EXPECT_TRUE(f.Installer->IsPackageSelected("Add Shortcuts to Desktop"));

  const std::string temp = f.Installer->TempDir;
  EXPECT_TRUE(fixture::FileExists(temp + "cv2uinst.exe"));
  form.reset();
  EXPECT_FALSE(fixture::DirExists(temp));
}

TEST_F(Wizard, AllCountsZero) {
  Package p;
  p.packages.clear();
  p.uninstaller.clear();
  p.info.AnnounceMode = 4;
  TMainForm& f = Start(p, "zero");
  EXPECT_TRUE(dialogs.Asked.empty());
  EXPECT_EQ(f.PartsList.Count(), 0);
  EXPECT_EQ(f.Label6.Text(), "");
  EXPECT_EQ(f.Text(), " - Corvantaine Wizard");
  EXPECT_EQ(Page(), pgDefault);
}

// ---- pages ----

TEST_F(Wizard, LicenceTickGatesNextAndIsKept) {
  Package p;
  p.info.LicenseMustAccept = 1;
  p.license = "{\\rtf1 first}\r\nsecond\nthird";
  const std::string dir = p.Write("licence");
  TMainForm& f = Start(dir);
  f.Button2.Click();
  EXPECT_EQ(Page(), pgAgree);
  EXPECT_EQ(Title(), "License Agreement");
  EXPECT_EQ(Subtitle(), "Read the License Agreement carefully.");
  EXPECT_EQ(f.Memo1.Text(), "{\\rtf1 first}\r\nsecond\r\nthird");
  EXPECT_FALSE(f.Button2.Enabled());
  EXPECT_TRUE(f.Button3.Enabled());
  f.CheckBox1.SetChecked(true);
  EXPECT_TRUE(f.Button2.Enabled());
  f.CheckBox1.SetChecked(false);
  EXPECT_FALSE(f.Button2.Enabled());
  f.CheckBox1.SetChecked(true);
  f.Button3.Click();
  EXPECT_EQ(Page(), pgDefault);
  EXPECT_EQ(Title(), "Welcome to the Setup Wizard!");
  EXPECT_FALSE(f.Button3.Enabled());
  EXPECT_TRUE(f.Button2.Enabled());
  fixture::WriteFile(dir + "license.rtf", {'n', 'e', 'w'});
  f.Button2.Click();
  EXPECT_EQ(Page(), pgAgree);
  EXPECT_TRUE(f.Button2.Enabled());  // the tick was kept
  EXPECT_EQ(f.Memo1.Text(), "new");  // and the text reloaded
  f.Button2.Click();
  EXPECT_EQ(Page(), pgDestination);
  f.Button3.Click();  // back to the licence, which is not reloaded
  EXPECT_EQ(Page(), pgAgree);
  EXPECT_EQ(Title(), "License Agreement");
  EXPECT_TRUE(f.Button3.Enabled());
  EXPECT_TRUE(dialogs.Asked.empty());
}

TEST_F(Wizard, TheLicenceShowsEachLineBreakAsCrLfAndNoneAtTheEnd) {
  struct Case {
    const char* file;
    const char* shown;
  };
  for (const Case& c : {Case{"one", "one"}, Case{"one\r\n", "one"}, Case{"one\n\n", "one\r\n"},
                        Case{"a\rb\nc\r\nd", "a\r\nb\r\nc\r\nd"}, Case{"\r\n\r\nx", "\r\n\r\nx"},
                        Case{"a\n\rb", "a\r\n\r\nb"}, Case{"\n", ""}}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.file)));
    Package p;
    p.info.LicenseMustAccept = 1;
    p.license = c.file;
    TMainForm& f = Start(p, "licencebreaks");
    f.Button2.Click();
    EXPECT_EQ(Page(), pgAgree);
    EXPECT_EQ(f.Memo1.Text(), c.shown);
  }
}

TEST_F(Wizard, AMissingLicenceFileIsReportedAndTheWelcomePageStays) {
  Package p;
  p.info.LicenseMustAccept = 1;
  TMainForm& f = Start(p, "nolicence");
  f.Button2.Click();
  ASSERT_EQ(dialogs.Asked.size(), 1u);
  EXPECT_NE(dialogs.Asked[0].Text.find("license.rtf"), std::string::npos);
  EXPECT_EQ(dialogs.Asked[0].Icon(), static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(Page(), pgDefault);
  EXPECT_EQ(Title(), "License Agreement");
  EXPECT_FALSE(f.Button3.Enabled());
  EXPECT_FALSE(f.Button2.Enabled());  // from the unticked box
}

TEST_F(Wizard, WithoutLicenceNextLeadsToTheDestination) {
  TMainForm& f = Start(Package(), "nolic");
  f.Button2.Click();
  EXPECT_EQ(Page(), pgDestination);
  EXPECT_EQ(Title(), "Destination Directory");
  EXPECT_EQ(Subtitle(), "Select a directory into which this application will be installed.");
  EXPECT_EQ(f.EDest.Text(), "C:\\Program Files\\Editor");
  EXPECT_TRUE(f.Button3.Enabled());
  f.Button3.Click();
  EXPECT_EQ(Page(), pgDefault);
  EXPECT_EQ(Title(), "Welcome to the Setup Wizard!");
  EXPECT_FALSE(f.Button3.Enabled());
}

TEST_F(Wizard, DestinationChecks) {
  const std::string existing = fixture::TestRoot() + "exists";
  CreateDirectoryA(existing.c_str(), nullptr);
  const std::string fresh = fixture::TestRoot() + "fresh\\";
  TMainForm& f = Start(Package(), "dest");
  f.Button2.Click();
  ASSERT_EQ(Page(), pgDestination);

  for (const char* bad : {"Q:\\Apps", "C:Apps", "1:\\x", "C", ""}) {
    dialogs.Clear();
    f.EDest.SetText(bad);
    f.Button2.Click();
    ASSERT_EQ(dialogs.Asked.size(), 1u) << bad;
    EXPECT_EQ(dialogs.Asked[0].Text,
              "Invalid Destination Directory!\r\nYou can use the 'Browse...'-Button to select another one.");
    EXPECT_TRUE(dialogs.Asked[0].Beep);
    EXPECT_EQ(dialogs.Asked[0].Icon(), static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Page(), pgDestination);
    EXPECT_EQ(f.Installer->DestDir, "");
  }

  dialogs.Clear();
  f.EDest.SetText(existing + "\\");
  dialogs.Answer(IDNO);
  f.Button2.Click();
  ASSERT_EQ(dialogs.Asked.size(), 1u);
  EXPECT_EQ(dialogs.Asked[0].Text,
            "Destination Directory already exists.\r\nExisting files could be overwritten.\r\nContinue anyway?");
  EXPECT_TRUE(dialogs.Asked[0].Beep);
  EXPECT_EQ(dialogs.Asked[0].Icon(), static_cast<UINT>(MB_ICONQUESTION));
  EXPECT_EQ(dialogs.Asked[0].ButtonSet(), static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(Page(), pgDestination);
  EXPECT_EQ(f.Installer->DestDir, "");

  dialogs.Answer(IDYES);
  f.Button2.Click();
  EXPECT_EQ(Page(), pgType);
  EXPECT_EQ(Title(), "Components Selection");
  EXPECT_EQ(Subtitle(), "Specify which components Setup will install.");
  EXPECT_EQ(f.Installer->DestDir, existing);
  EXPECT_EQ(f.EDest.Text(), existing + "\\");

  f.Button3.Click();  // back keeps what was typed
  EXPECT_EQ(Page(), pgDestination);
  EXPECT_EQ(Title(), "Destination Directory");
  EXPECT_EQ(f.EDest.Text(), existing + "\\");
  dialogs.Clear();
  f.EDest.SetText(fresh + "\\");  // two backslashes: one is cut
  char enter = 13;
  f.EDestKeyPress(enter);  // Enter is Next
  EXPECT_EQ(enter, 0);
  EXPECT_TRUE(dialogs.Asked.empty());
  EXPECT_EQ(Page(), pgType);
  EXPECT_EQ(f.Installer->DestDir, fresh);
  char other = 'x';
  f.EDestKeyPress(other);
  EXPECT_EQ(other, 'x');

  f.Button3.Click();
  f.Button3.Click();
  f.Button2.Click();  // a forward entry resets the field
  EXPECT_EQ(f.EDest.Text(), "C:\\Program Files\\Editor");
}

TEST_F(Wizard, EnterInTheFieldAsksLikeNext) {
  TMainForm& f = Start(Package(), "enter");
  f.Button2.Click();
  f.EDest.SetText("Q:\\");
  // As typed: through the message loop and its dialog keys. The window stays hidden, so that
  // it takes the focus from no test running beside this one.
  PostMessageA(f.EDest.Handle, WM_KEYDOWN, VK_RETURN, 1);
  ui::testing::PumpUntil([&] { return !dialogs.Asked.empty(); }, 2000);
  ASSERT_EQ(dialogs.Asked.size(), 1u);
  EXPECT_EQ(dialogs.Asked[0].Text.substr(0, 30), "Invalid Destination Directory!");
}

TEST_F(Wizard, BrowseAppendsTheTitle) {
  Package p;
  p.info.AppTitle.Set("Editor");
  p.info.AnnounceMode = 0;
  TMainForm& f = Start(p, "browse");
  f.Button2.Click();
  dialogs.AnswerCancel();
  f.Button4.Click();
  ASSERT_EQ(dialogs.Asked.size(), 1u);
  EXPECT_EQ(dialogs.Asked[0].Kind, TAsked::BrowseFolder);
  EXPECT_EQ(dialogs.Asked[0].Text, "Select a Destination Directory.");
  EXPECT_EQ(dialogs.Asked[0].Value, "C:\\Program Files\\Editor");
  EXPECT_EQ(f.EDest.Text(), "C:\\Program Files\\Editor");
  dialogs.AnswerText("C:\\Tools");
  f.Button4.Click();
  EXPECT_EQ(f.EDest.Text(), "C:\\Tools\\Editor");
  dialogs.AnswerText("D:\\");
  f.Button4.Click();
  EXPECT_EQ(f.EDest.Text(), "D:\\Editor");
}

TEST_F(Wizard, AboutShowsTheApplicationAndReturns) {
  struct Case { const char* home; const char* shown; };
  for (Case c : {Case{"http://acme.example/", "http://acme.example/"}, Case{"http://", ""},
                 Case{"HTTP://", "HTTP://"}, Case{"", ""}}) {
    Package p;
    p.info.Homepage.Set(c.home);
    p.info.AnnounceMode = 2;
    TMainForm& f = Start(p, "about");
    f.Button2.Click();  // Destination
    f.Label2Click();
    EXPECT_EQ(Page(), pgAbout);
    EXPECT_EQ(Title(), "Destination Directory");  // the header stays
    EXPECT_EQ(f.LAppInfo.Text(), "Acme Editor 2.0");
    EXPECT_EQ(f.LAppWebsite.Text(), c.shown);
    EXPECT_EQ(f.Image10.Bitmap(), f.Image8.Bitmap());
    f.Button2.Click();  // Next and Back do nothing here
    f.Button3.Click();
    EXPECT_EQ(Page(), pgAbout);
    f.Button1.Click();
    EXPECT_EQ(Page(), pgDestination);
    f.Label2Click();
    f.Label2Click();  // the toggle returns as well
    EXPECT_EQ(Page(), pgDestination);
  }
  TMainForm& f = Start(Package(), "about2");
  f.Label2Click();
  f.LAppWebsiteClick();
  f.Label30Click();
  EXPECT_EQ(opened, (std::vector<std::string>{"http://acme.example/", f.Label30.Text()}));
  EXPECT_EQ(f.Label30.Text(), TMainForm::kMakerWebAddress);
}

// The worker's overwrite question in its real box, answered with the keyboard as an unattended
// run that meets existing files is: Enter replaces (6), Escape keeps (7), the title bar's close
// box gives 2.
TEST_F(Wizard, TheOverwriteQuestionAnswersEnterEscapeAndTheTitleBar) {
  TMainForm& f = Start(Package(), "overwrite");
  f.Installer->CurrentFile = "C:\\Apps\\f1.txt";
  ui::SetDialogs(nullptr);
  struct Case { WPARAM key; int want; } cases[] = {{VK_RETURN, IDYES}, {VK_ESCAPE, IDNO}, {0, IDCANCEL}};
  for (const Case& c : cases) {
    std::string caption;
    ui::PostCall([&] {
      HWND focus = GetFocus();
      ASSERT_NE(focus, nullptr);
      HWND box = GetAncestor(focus, GA_ROOT);
      char text[64] = "";
      GetWindowTextA(box, text, sizeof text);
      caption = text;
      if (c.key) {
        PostMessageA(focus, WM_KEYDOWN, c.key, 1);
        PostMessageA(focus, WM_KEYUP, c.key, 0xC0000001);
      } else {
        PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      // A key that answers nothing leaves the box open: it is closed after it, not waited for.
      ui::PostCall([box] { PostMessageA(box, WM_CLOSE, 0, 0); });
    });
    f.Installer->OverwriteAnswer = 0;
    f.Installer->AskOverwrite();
    EXPECT_EQ(caption, "Confirm");
    EXPECT_EQ(f.Installer->OverwriteAnswer, c.want) << c.key;
  }
  ui::SetDialogs(&dialogs);
}

// The grey word is the one that takes the click: it lies above its white copy, and a click at
// its middle opens the About page. Neither copy reaches the rule beside it.
TEST_F(Wizard, TheEngravedWordTakesTheClick) {
  TMainForm& f = Start(Package(), "engraved");
  f.Show(SW_SHOWNA);
  RECT r;
  GetWindowRect(f.Label2.Handle, &r);
  POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  HWND hit = WindowFromPoint(middle);
  EXPECT_EQ(hit, f.Label2.Handle);
  POINT inBar = middle;
  ScreenToClient(f.NavBar.Handle, &inBar);
  EXPECT_EQ(ChildWindowFromPointEx(f.NavBar.Handle, inBar, CWP_SKIPINVISIBLE), f.Label2.Handle);
  POINT client = middle;
  ScreenToClient(hit, &client);
  SendMessageA(hit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
  SendMessageA(hit, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
  EXPECT_EQ(Page(), pgAbout);
  for (ui::TLabel* l : {&f.Label1, &f.Label2}) {
    EXPECT_FALSE(l->Font.Bold) << l->Name;
    EXPECT_LT(l->Left() + l->Width(), f.GroupBox1.Left()) << l->Name;
  }
  f.Hide();
}

// What a task bar lists: the shown windows without an owner, and those that ask for a button.
BOOL CALLBACK CollectButtons(HWND h, LPARAM p) {
  const LONG ex = GetWindowLongA(h, GWL_EXSTYLE);
  if (IsWindowVisible(h) && !(ex & WS_EX_TOOLWINDOW) && (!GetWindow(h, GW_OWNER) || (ex & WS_EX_APPWINDOW)))
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
  return TRUE;
}

// One task-bar button for the program, the application's own window titled "Setup", which owns
// the wizard.
TEST_F(Wizard, OneTaskBarButtonStandsForTheWizard) {
  TMainForm& f = Start(Package(), "taskbar");
  EXPECT_EQ(GetWindow(f.Handle, GW_OWNER), ui::Application.Handle);
  std::vector<HWND> buttons;
  bool wizardShown = false;
  ui::PostCall([&] {
    EnumThreadWindows(GetCurrentThreadId(), CollectButtons, reinterpret_cast<LPARAM>(&buttons));
    wizardShown = IsWindowVisible(f.Handle);
    dialogs.Answer(IDYES);  // the cancel question
    f.Close();
  });
  ui::Application.Run(SW_SHOWNA);
  EXPECT_TRUE(wizardShown);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0], ui::Application.Handle);
  char title[64] = "";
  GetWindowTextA(buttons[0], title, sizeof title);
  EXPECT_STREQ(title, "Setup");
}

TEST_F(Wizard, ComponentsPageStartsTheInstallation) {
  TMainForm& f = Start(Package(), "type");
  f.Button2.Click();
  f.EDest.SetText(fixture::TestRoot() + "target");
  f.Button2.Click();
  ASSERT_EQ(Page(), pgType);
  for (int i = 0; i < f.PartsList.Count(); ++i) f.PartsList.SetChecked(i, false);  // nothing ticked
  f.Button2.Click();
  EXPECT_EQ(Page(), pgInstall);
  EXPECT_EQ(Title(), "Performing Installation");
  EXPECT_EQ(Subtitle(), "The Application is now being installed on your computer.");
  EXPECT_FALSE(f.Button2.Enabled());
  EXPECT_FALSE(f.Button3.Enabled());
  EXPECT_TRUE(f.BEnd.Enabled());
  EXPECT_EQ(workersStarted, 1);
  f.Button2.Click();  // Next and Back stay without effect
  f.Button3.Click();
  EXPECT_EQ(Page(), pgInstall);
  EXPECT_EQ(workersStarted, 1);
}

// ---- command line ----

TEST_F(Wizard, CommandLineSwitches) {
  Package p;
  p.packages = {"Required Files", "Docs", "Samples", "Extras"};
  const std::string dir = p.Write("args");
  TMainForm& f = Start(dir, "/p:docs|SAMPLES \"/d:C:\\My Apps\" /D:C:\\Ignored /x");
  EXPECT_EQ(Parts(), (std::vector<std::string>{"-Required Files", "+Docs", "+Samples", "-Extras"}));
  EXPECT_EQ(f.EDest.Text(), "C:\\My Apps");
  EXPECT_EQ(f.Installer->AppInfo.Unattended, 0);
  EXPECT_EQ(Page(), pgDefault);
  f.Button2.Click();  // the "/d:" text survives the entry into the page
  EXPECT_EQ(f.EDest.Text(), "C:\\My Apps");
  EXPECT_TRUE(dialogs.Asked.empty());

  Start(dir, "/p:extras /p:REQUIRED\\ FILES");
  EXPECT_EQ(Parts(), (std::vector<std::string>{"-Required Files", "-Docs", "-Samples", "+Extras"}));
  Start(dir, "/d:");
  EXPECT_EQ(form->EDest.Text(), "");
  Start(dir, "");
  EXPECT_EQ(Parts(), (std::vector<std::string>{"+Required Files", "+Docs", "+Samples", "+Extras"}));
  EXPECT_EQ(form->EDest.Text(), "C:\\Program Files\\Default");
}

TEST_F(Wizard, UnattendedStartsAtOnce) {
  Package p;
  const std::string dir = p.Write("unattended");
  for (const char* u : {"/u", "/U"}) {
    TMainForm& f = Start(dir, u);
    EXPECT_TRUE(dialogs.Asked.empty());
    EXPECT_EQ(f.Installer->AppInfo.Unattended, 1);
    EXPECT_EQ(Page(), pgInstall);
    EXPECT_EQ(Title(), "Performing Installation");
    EXPECT_FALSE(f.Button2.Enabled());
    EXPECT_FALSE(f.Button3.Enabled());
    EXPECT_EQ(f.Installer->DestDir, "C:\\Program Files\\Editor");
    EXPECT_EQ(workersStarted, 1);
    workersStarted = 0;
  }
  TMainForm& f = Start(dir, "/u \"/d:" + fixture::TestRoot() + "un\\\"");
  EXPECT_EQ(f.Installer->DestDir, fixture::TestRoot() + "un");
  p.info.Unattended = 1;  // stored in the package
  Start(p, "unattended2", "/unattended");
  EXPECT_EQ(Page(), pgInstall);
  Start(dir, "/u /d:Q:\\Apps");
  ASSERT_EQ(dialogs.Asked.size(), 1u);
  EXPECT_EQ(dialogs.Asked[0].Text, "Unattended Setup failed!\r\nInvalid Destination Directory.");
  EXPECT_TRUE(dialogs.Asked[0].Beep);
  EXPECT_TRUE(ui::Application.Terminated);
  EXPECT_EQ(form->ExitCode, ecInvalidDestination);
  EXPECT_EQ(workersStarted, 2);  // the two runs with a destination above, not this one
}

TEST_F(Wizard, UnsupportedWindows) {
  Package p;
  std::memset(&p.info.OsWin95, 0, 8);
  const std::string dir = p.Write("unsupported");
  TMainForm& f = Start(dir);
  EXPECT_EQ(Page(), pgError);
  EXPECT_EQ(f.LError.Text(),
            "Your Version of Microsoft (R) Windows (TM) is currently not supported by \r\nAcme Editor 2.0.");
  EXPECT_EQ(Title(), "Installation Failed");
  EXPECT_EQ(Subtitle(), "Setup could not complete the Installation.");
  EXPECT_EQ(f.BEnd.Text(), "&Close");
  EXPECT_FALSE(f.Button2.Enabled());
  EXPECT_FALSE(f.Button3.Enabled());
  f.Label2Click();  // About still opens and returns
  EXPECT_EQ(Page(), pgAbout);
  f.Button1Click();
  EXPECT_EQ(Page(), pgError);
  EXPECT_TRUE(dialogs.Asked.empty());
  f.BEnd.Click();  // closes without a question
  EXPECT_TRUE(dialogs.Asked.empty());
  EXPECT_EQ(f.Handle, nullptr);
  EXPECT_EQ(f.ExitCode, ecUnsupportedWindows);

  Start(dir, "/u");
  ASSERT_EQ(dialogs.Asked.size(), 1u);
  EXPECT_EQ(dialogs.Asked[0].Text, "Unattended Setup failed!\r\nThis Version of Windows is not supported.");
  EXPECT_TRUE(dialogs.Asked[0].Beep);
  EXPECT_EQ(dialogs.Asked[0].Icon(), static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(ui::Application.Terminated);
  EXPECT_EQ(form->ExitCode, ecUnsupportedWindows);
  EXPECT_EQ(Page(), pgDefault);
}

// ---- closing ----

TEST_F(Wizard, CancelAsksBeforeTheInstallation) {
  TMainForm& f = Start(Package(), "cancel");
  f.Button2.Click();
  dialogs.Answer(IDNO);
  f.BEnd.Click();
  ASSERT_EQ(dialogs.Asked.size(), 1u);
  EXPECT_EQ(dialogs.Asked[0].Text, "Are you sure you want to cancel installation?");
  EXPECT_TRUE(dialogs.Asked[0].Beep);
  EXPECT_EQ(dialogs.Asked[0].Icon(), static_cast<UINT>(MB_ICONWARNING));
  EXPECT_EQ(dialogs.Asked[0].ButtonSet(), static_cast<UINT>(MB_YESNO));
  EXPECT_NE(f.Handle, nullptr);
  EXPECT_EQ(Page(), pgDestination);
  dialogs.Answer(IDNO);
  SendMessageA(f.Handle, WM_CLOSE, 0, 0);  // the close box asks the same
  EXPECT_EQ(dialogs.Asked.size(), 2u);
  EXPECT_NE(f.Handle, nullptr);
  dialogs.Answer(IDYES);
  f.Label2Click();  // from the About page too
  SendMessageA(f.Handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(dialogs.Asked.size(), 3u);
  EXPECT_EQ(f.Handle, nullptr);
  EXPECT_EQ(f.ExitCode, ecCancelled);
  const std::string temp = f.Installer->TempDir;
  form.reset();
  EXPECT_FALSE(fixture::DirExists(temp));
  EXPECT_EQ(restarts, 0);
}

TEST_F(Wizard, ResultsOfTheWorker) {
  struct Case { bool unattended; uint8_t status; TSetupPage page; bool closes; const char* message; };
  const Case cases[] = {
      {false, 2, pgDone, false, nullptr},
      {false, 3, pgError, false, nullptr},
      {false, 0, pgAbout, false, nullptr},
      {true, 2, pgInstall, true, nullptr},
      {true, 3, pgInstall, true,
       "Unattended Setup failed!\r\nInsufficient free disk space to perform the installation."},
  };
  const std::string dir = Package().Write("results");
  int run = 0;
  for (const Case& c : cases) {
    dialogs.Clear();
    const std::string dest = fixture::TestRoot() + "r" + std::to_string(++run);
    TMainForm& f = Start(dir, c.unattended ? "/u \"/d:" + dest + "\"" : "");
    if (!c.unattended) {
      f.Button2.Click();
      f.EDest.SetText(dest);
      f.Button2.Click();
      f.Button2.Click();
      f.Label2Click();  // the About page is replaced by the result
    }
    // The real worker installs the (empty) package first; then its end is played with each status.
    f.Installer->WaitForWorker();
    dialogs.Clear();
    // What the worker does at its end.
    if (c.status == 3) {
      f.LError.SetText("Insufficient free disk space to perform the installation.");
      f.BEnd.SetText("&Close");
    } else if (c.status == 2) {
      f.BEnd.SetText("&Finish");
    }
    f.Installer->InstallStatus = c.status;
    f.CoThread.SetEnabled(true);
    ui::testing::PumpUntil([&] { return !f.CoThread.Enabled(); }, 2000);
    EXPECT_FALSE(f.CoThread.Enabled());
    if (c.closes) {
      EXPECT_EQ(f.Handle, nullptr) << int(c.status);
    } else {
      EXPECT_EQ(Page(), c.page) << int(c.status);
    }
    if (c.message) {
      ASSERT_EQ(dialogs.Asked.size(), 1u);
      EXPECT_EQ(dialogs.Asked[0].Text, c.message);
      EXPECT_TRUE(dialogs.Asked[0].Beep);
    } else {
      EXPECT_TRUE(dialogs.Asked.empty()) << int(c.status);
    }
  }
}

TEST_F(Wizard, FinishOffersTheRestartOnlyWhenAttendedAndNeeded) {
  struct Case { uint8_t reboot; const char* args; const char* caption; int answer; int asked; int restarts; };
  const Case cases[] = {
      {1, "", "&Finish", IDYES, 1, 1}, {1, "", "&Finish", IDNO, 1, 0}, {0, "", "&Finish", 0, 0, 0},
      {1, "", "&Close", 0, 0, 0},      {1, "/u", "&Finish", 0, 0, 0},
  };
  for (const Case& c : cases) {
    Package p;
    p.info.NeedsReboot = c.reboot;
    dialogs.Clear();
    restarts = 0;
    TMainForm& f = Start(p, "reboot", c.args);
    f.BEnd.SetText(c.caption);
    if (c.answer) dialogs.Answer(c.answer);
    f.BEnd.Click();
    ASSERT_EQ(static_cast<int>(dialogs.Asked.size()), c.asked) << c.caption << c.args;
    if (c.asked) {
      EXPECT_EQ(dialogs.Asked[0].Text,
                "It is strongly recommended to restart your computer now.\r\nDo you want Setup to restart "
                "your computer?");
      EXPECT_EQ(dialogs.Asked[0].Icon(), static_cast<UINT>(MB_ICONQUESTION));
      EXPECT_TRUE(dialogs.Asked[0].Beep);
    }
    EXPECT_EQ(restarts, c.restarts);
    EXPECT_EQ(f.Handle, nullptr);
  }
}

}  // namespace

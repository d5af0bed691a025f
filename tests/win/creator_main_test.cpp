// The creator's wizard in process: its pages, checks, handlers, the close question and the
// Setup Datasheet against the real profile service. Every question is answered through the seam.
#include <gtest/gtest.h>

#include "tests/win/test_support.h"

#include <fstream>
#include <functional>
#include <sstream>

#include "creator/creator_about.h"
#include "creator/creator_adddll.h"
#include "creator/creator_addfile.h"
#include "creator/creator_addreg.h"
#include "creator/creator_addshort.h"
#include "creator/creator_main.h"
#include "ui/testing.h"

using ui::testing::TAsked;
using ui::testing::TScriptedDialogs;

namespace {

std::string TempDir() {
  static int counter = 0;
  return testsupport::FreshTestDir("wizard" + std::to_string(++counter));
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

std::vector<std::string> Captions(const ui::TListView& l) {
  std::vector<std::string> v;
  for (int i = 0; i < l.Count(); ++i) v.push_back(l.Cell(i, 0));
  return v;
}

class Wizard : public ::testing::Test {
protected:
  void SetUp() override {
    ui::Application.Title = "Corvantaine 2 Setup Creator";
    new TForm1;
    AddFileFrm = new TAddFileFrm;
    AddRegFrm = new TAddRegFrm;
    AboutFrm = new TAboutFrm;
    AddShortFrm = new TAddShortFrm;
    AddDLLFrm = new TAddDLLFrm;
    Dir = TempDir();
    D.Clear();
  }
  void TearDown() override {
    delete AddDLLFrm;
    delete AddShortFrm;
    delete AboutFrm;
    delete AddRegFrm;
    delete AddFileFrm;
    delete Form1;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_EQ(D.Unscripted, 0) << "a question nobody answered";
    WIN32_FIND_DATAA e;
    HANDLE h = FindFirstFileA((Dir + "*").c_str(), &e);
    if (h != INVALID_HANDLE_VALUE) {
      do DeleteFileA((Dir + e.cFileName).c_str());
      while (FindNextFileA(h, &e));
      FindClose(h);
    }
    RemoveDirectoryA(Dir.c_str());
  }
  TForm1& F() { return *Form1; }
  bool Open() { return F().Handle && IsWindow(F().Handle); }
  void ExpectOnlyMessage(const char* text, UINT flags, bool beep) {
    ASSERT_EQ(D.Asked.size(), 1u) << text;
    EXPECT_EQ(D.Asked[0].Kind, TAsked::Message);
    EXPECT_EQ(D.Asked[0].Text, text);
    EXPECT_EQ(D.Asked[0].Flags, flags) << text;
    EXPECT_EQ(D.Asked[0].Beep, beep) << text;
    EXPECT_EQ(D.Asked[0].Caption, "Corvantaine 2 Setup Creator");
  }
  TScriptedDialogs D;
  std::string Dir;
};

// ---- the window at start ---------------------------------------------------------------------

TEST_F(Wizard, StartsOnTheWelcomePageWithTheInitialProject) {
  EXPECT_EQ(F().Text(), "Corvantaine 2 - Setup Creator");
  RECT r;
  GetClientRect(F().Handle, &r);
  EXPECT_EQ(r.right, 495);
  EXPECT_EQ(r.bottom, 330);
  LONG style = GetWindowLongA(F().Handle, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_EQ(F().Notebook1.PageIndex(), 0);
  EXPECT_EQ(F().Notebook1.PageCount(), 12);
  EXPECT_EQ(F().Panel1.Text(), "Welcome to the Corvantaine 2 Setup Creator!");
  EXPECT_EQ(F().ActiveControl, &F().Button2);
  EXPECT_EQ(F().PackageList, std::vector<std::string>{"Required Files"});
  EXPECT_FALSE(F().Label30.Visible());

  struct Button { ui::TButton& b; const char* caption; bool enabled; };
  for (Button b : {Button{F().Button7, "&About...", true}, Button{F().Button3, "< &Back", false},
                   Button{F().Button2, "&Next >", true}, Button{F().Button1, "&Cancel", true}}) {
    EXPECT_EQ(b.b.Text(), b.caption);
    EXPECT_EQ(b.b.Enabled(), b.enabled) << b.caption;
  }
  // Tab order of the button row: About, Back, Next, Cancel.
  EXPECT_EQ(GetWindow(F().Button7.Handle, GW_HWNDNEXT), F().Button3.Handle);
  EXPECT_EQ(GetWindow(F().Button3.Handle, GW_HWNDNEXT), F().Button2.Handle);
  EXPECT_EQ(GetWindow(F().Button2.Handle, GW_HWNDNEXT), F().Button1.Handle);

  struct Text { ui::TControl& c; const char* text; bool enabled; };
  for (Text t : {Text{F().EOpenFile, "", false}, Text{F().EAppTitle, "", true}, Text{F().EVersion, "", true},
                 Text{F().ECompany, "", true}, Text{F().EHomepage, "http://", true}, Text{F().Edit5, "", false},
                 Text{F().Edit1, "<ProgramFiles>\\<AppName>", true}, Text{F().Edit3, "C:\\My Setups", true},
                 Text{F().Button4, "B&rowse", false}, Text{F().Button11, "Browse", false},
                 Text{F().Label27, "Filename:", false}, Text{F().Label28, "The File can be a Plain Text Document (*.txt) or a Rich Text", false},
                 Text{F().Label29, "Document (*.rtf).", false}}) {
    EXPECT_EQ(t.c.Text(), t.text) << t.c.Name;
    EXPECT_EQ(t.c.Enabled(), t.enabled) << t.c.Name;
  }
  for (ui::TEdit* e : {&F().EAppTitle, &F().EVersion, &F().ECompany, &F().EHomepage, &F().Edit1})
    EXPECT_EQ(e->MaxLength(), 255) << e->Name;

  struct Box { ui::TControl& c; bool checked; bool enabled; };
  auto checked = [](ui::TControl& c) { return SendMessageA(c.Handle, BM_GETCHECK, 0, 0) == BST_CHECKED; };
  for (Box b : {Box{F().RadioButton1, true, true}, Box{F().RadioButton2, false, true},
                Box{F().RadioButton3, true, true}, Box{F().RadioButton4, false, true},
                Box{F().RadioButton6, false, true}, Box{F().RadioButton5, false, true},
                Box{F().CheckBox14, false, true}, Box{F().RadioButton7, true, true},
                Box{F().RadioButton8, false, true}, Box{F().CheckBox1, true, false}, Box{F().CheckBox2, true, false},
                Box{F().CheckBox3, true, false}, Box{F().CheckBox4, true, false}, Box{F().CheckBox5, true, false},
                Box{F().CheckBox6, true, false}, Box{F().CheckBox7, true, false}, Box{F().CheckBox15, true, false},
                Box{F().CheckBox8, false, true}, Box{F().CheckBox10, false, true}, Box{F().CheckBox11, true, true},
                Box{F().CheckBox16, false, true}, Box{F().CheckBox12, false, true}}) {
    EXPECT_EQ(checked(b.c), b.checked) << b.c.Name;
    EXPECT_EQ(b.c.Enabled(), b.enabled) << b.c.Name;
  }
  EXPECT_EQ(F().RadioButton3.Text(), "Announce as \"Company Application Version\"");
  EXPECT_EQ(F().RadioButton5.Text(), "Announce as \"Application Version\"");

  struct Columns { ui::TListView& l; std::vector<std::pair<std::string, int>> cols; };
  for (const Columns& c :
       {Columns{F().FileList, {{"Destination", 175}, {"Source", 135}, {"Package", 55}}},
        Columns{F().Registry, {{"Path", 140}, {"Key", 90}, {"Value", 90}, {"Type", 45}}},
        Columns{F().ShortCuts, {{"Location", 75}, {"Caption", 100}, {"Target", 100}, {"Parameter(s)", 75}, {"Icon", 75}, {"#", 25}}}}) {
    ASSERT_EQ(c.l.ColumnCount(), static_cast<int>(c.cols.size()));
    for (int i = 0; i < c.l.ColumnCount(); ++i) {
      EXPECT_EQ(c.l.ColumnCaption(i), c.cols[i].first);
      EXPECT_EQ(c.l.ColumnWidth(i), c.cols[i].second);
    }
    EXPECT_EQ(c.l.Count(), 0);
  }
  EXPECT_EQ(F().SpeedButton1.Hint, "Add Command");
  EXPECT_EQ(F().SpeedButton3.Hint, "Remove Command");
  EXPECT_TRUE(F().SpeedButton2.Font.Bold);
  EXPECT_NE(F().Image1.Bitmap(), nullptr) << "the side picture";
}

// ---- navigation -------------------------------------------------------------------------------

TEST_F(Wizard, NextAndBackWalkThePagesWithTheirHeaders) {
  F().EAppTitle.SetText("App");
  F().EVersion.SetText("1.0");
  F().FileList.AddRow({"<InstallRoot>\\a.exe", "C:\\a.exe", "Required Files"});
  const char* next[] = {"Application Information", "Select files to be installed", "Registry Changes",
                        "License Aggreement", "Application Compatibility / System Reboot",
                        "Default Destination Directory", "Start-Up Shortcuts", "DLL and OCX Registration",
                        "Additional Commands", "Ready to go"};
  for (int page = 0; page < 10; ++page) {
    F().Button2.Click();
    EXPECT_EQ(F().Notebook1.PageIndex(), page + 1);
    EXPECT_EQ(F().Panel1.Text(), next[page]) << "Next from page " << page;
    EXPECT_TRUE(F().Button3.Enabled());
    EXPECT_TRUE(F().Notebook1.Page(page + 1).Visible());
    EXPECT_FALSE(F().Notebook1.Page(page).Visible());
  }
  const char* back[] = {"Welcome to the Corvantaine 2 Setup Creator", "Application Information",
                        "Select files to be installed", "Registry Changes", "License Aggreement",
                        "Application Compatibility / System Reboot", "Default Destination Directory",
                        "Start-Menu and QuickLaunch Shortcuts", "DLL and OCX Registration", "Additional Commands"};
  for (int page = 10; page > 0; --page) {
    F().Button3.Click();
    EXPECT_EQ(F().Notebook1.PageIndex(), page - 1);
    EXPECT_EQ(F().Panel1.Text(), back[page - 1]) << "Back from page " << page;
    EXPECT_EQ(F().Button3.Enabled(), page - 1 > 0);
  }
  F().Button3Click();  // on page 0: nothing
  EXPECT_EQ(F().Notebook1.PageIndex(), 0);
  EXPECT_TRUE(D.Asked.empty());
  EXPECT_EQ(F().Button2.Text(), "&Next >");
}

TEST_F(Wizard, EachCheckOfNextReportsItsMessageAndStays) {
  struct Case {
    const char* what;
    int page;
    std::function<void(TForm1&)> set;
    const char* message;  // nullptr: moves on
    int target;
  };
  auto text = [](const char* title, const char* version, const char* company = "", const char* homepage = "") {
    return [=](TForm1& f) {
      f.EAppTitle.SetText(title);
      f.EVersion.SetText(version);
      f.ECompany.SetText(company);
      f.EHomepage.SetText(homepage);
    };
  };
  auto media = [](bool web, bool cd) {
    return [=](TForm1& f) {
      f.CheckBox10.SetChecked(web);
      f.CheckBox11.SetChecked(cd);
    };
  };
  const Case cases[] = {
      {"empty title", 1, text("", "1.0"), "Fill out all fields first!", 1},
      {"empty version", 1, text("App", ""), "Fill out all fields first!", 1},
      {"blanks pass", 1, text(" ", " "), nullptr, 2},
      {"company and homepage may be empty", 1, text("App", "1"), nullptr, 2},
      {"no files", 2, [](TForm1&) {}, "No Files selected!", 2},
      {"one file", 2, [](TForm1& f) { f.FileList.AddRow({"d", "s", "p"}); }, nullptr, 3},
      {"no medium", 10, media(false, false), "Please select at least one Media Type!", 10},
      {"web only", 10, media(true, false), nullptr, 11},
      {"CD-ROM only", 10, media(false, true), nullptr, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    F().Notebook1.SetPageIndex(c.page);
    F().Button3.SetEnabled(true);
    c.set(F());
    std::string header = F().Panel1.Text();
    F().Button2.Click();
    EXPECT_EQ(F().Notebook1.PageIndex(), c.target);
    if (c.message) {
      ExpectOnlyMessage(c.message, MB_ICONERROR | MB_OK, true);
      EXPECT_EQ(F().Panel1.Text(), header);
    } else {
      EXPECT_TRUE(D.Asked.empty());
    }
  }
}

TEST_F(Wizard, OpeningAMissingDatasheetFromTheFirstPageReportsItWithoutBeep) {
  for (const char* path : {"", "C:\\no\\such.sds"}) {
    D.Clear();
    F().RadioButton2.SetChecked(true);
    F().EOpenFile.SetText(path);
    F().Button2.Click();
    ExpectOnlyMessage("Specified File does not exist!", MB_ICONERROR | MB_OK, false);
    EXPECT_EQ(F().Notebook1.PageIndex(), 0);
    EXPECT_FALSE(F().Button3.Enabled());
  }
}

TEST_F(Wizard, CreateNewAfterALoadKeepsTheLoadedValues) {
  std::string file = Dir + "p.sds";
  WriteText(file, "[APPINFO]\r\nName=\"Loaded\"\r\nVersion=\"2\"\r\n");
  F().RadioButton2.SetChecked(true);
  F().EOpenFile.SetText(file);
  F().Button2.Click();
  EXPECT_EQ(F().Notebook1.PageIndex(), 1);
  EXPECT_EQ(F().Panel1.Text(), "Application Information");
  EXPECT_TRUE(F().Button3.Enabled());
  F().Button3.Click();
  F().RadioButton1.SetChecked(true);
  F().Button2.Click();
  EXPECT_EQ(F().Notebook1.PageIndex(), 1);
  EXPECT_EQ(F().EAppTitle.Text(), "Loaded");
  EXPECT_TRUE(D.Asked.empty());
}

TEST_F(Wizard, TheBuildStartShowsTheReportPageWithTheButtonsDisabled) {
  F().Notebook1.SetPageIndex(10);
  F().Button3.SetEnabled(true);
  F().Button2.Click();
  EXPECT_EQ(F().Notebook1.PageIndex(), 11);
  EXPECT_EQ(F().Panel1.Text(), "Building package(s)");
  EXPECT_FALSE(F().Button1.Enabled());
  EXPECT_FALSE(F().Button2.Enabled());
  EXPECT_FALSE(F().Button3.Enabled());
  EXPECT_TRUE(F().Button7.Enabled());
  EXPECT_EQ(F().Button1.Text(), "&Cancel");
  F().Button2Click();  // page 11: nothing either way
  F().Button3Click();
  EXPECT_EQ(F().Notebook1.PageIndex(), 11);
  EXPECT_TRUE(D.Asked.empty());
  // The build runs on as this thread serves it; at its end Cancel becomes Finish, and Next and
  // Back stay disabled.
  ASSERT_TRUE(ui::testing::PumpUntil([&] { return !F().BuildRunning(); }));
  EXPECT_EQ(F().Button1.Text(), "&Finish");
  EXPECT_TRUE(F().Button1.Enabled());
  EXPECT_FALSE(F().Button2.Enabled());
  EXPECT_FALSE(F().Button3.Enabled());
  EXPECT_TRUE(D.Asked.empty());
}

// ---- closing ----------------------------------------------------------------------------------

TEST_F(Wizard, TheCloseQuestionAndItsOutcomes) {
  struct Case {
    const char* what;
    std::function<void(TScriptedDialogs&, const std::string& dir)> answer;
    bool closes;
    const char* savedAs;  // the file that must exist afterwards
    const char* error;    // the error shown after the save dialog
  };
  const Case cases[] = {
      {"Cancel", [](TScriptedDialogs& d, const std::string&) { d.Answer(IDCANCEL); }, false, nullptr, nullptr},
      {"dismissed", [](TScriptedDialogs& d, const std::string&) { d.AnswerCancel(); }, false, nullptr, nullptr},
      {"No", [](TScriptedDialogs& d, const std::string&) { d.Answer(IDNO); }, true, nullptr, nullptr},
      {"Yes, save dialog cancelled",
       [](TScriptedDialogs& d, const std::string&) {
         d.Answer(IDYES);
         d.AnswerCancel();
       },
       false, nullptr, nullptr},
      {"Yes with a file",
       [](TScriptedDialogs& d, const std::string& dir) {
         d.Answer(IDYES);
         d.AnswerFile(dir + "saved.sds");
       },
       true, "saved.sds", nullptr},
      {"Yes with a file that cannot be written",
       [](TScriptedDialogs& d, const std::string& dir) {
         d.Answer(IDYES);
         d.AnswerFile(dir + "missing\\x.sds");
       },
       false, nullptr, "missing\\x.sds"},
  };
  for (bool closeBox : {false, true})
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (closeBox ? " (close box)" : " (Cancel button)"));
      TearDown();
      SetUp();
      c.answer(D, Dir);
      if (closeBox)
        SendMessageA(F().Handle, WM_CLOSE, 0, 0);
      else
        F().Button1.Click();
      EXPECT_EQ(!Open(), c.closes);
      ASSERT_GE(D.Asked.size(), 1u);
      EXPECT_EQ(D.Asked[0].Text, "Do you want to save the current settings\r\nto a Corvantaine Setup Datasheet?");
      EXPECT_EQ(D.Asked[0].Flags, UINT(MB_ICONWARNING | MB_YESNOCANCEL));
      EXPECT_TRUE(D.Asked[0].Beep);
      if (D.Asked.size() >= 2) {
        EXPECT_EQ(D.Asked[1].Kind, TAsked::SaveFile);
        EXPECT_EQ(D.Asked[1].File.Title, "Save Setup Datasheet");
        EXPECT_EQ(D.Asked[1].File.Filter, "Setup Datasheets (*.sds)|*.sds");
        EXPECT_EQ(D.Asked[1].File.DefaultExt, "sds");
      }
      if (c.savedAs) {
        EXPECT_NE(GetFileAttributesA((Dir + c.savedAs).c_str()), INVALID_FILE_ATTRIBUTES);
      }
      if (c.error) {
        ASSERT_EQ(D.Asked.size(), 3u);
        EXPECT_EQ(D.Asked[2].Text, "Unable to write to " + Dir + c.error);
        EXPECT_EQ(D.Asked[2].Flags, UINT(MB_ICONERROR | MB_OK));
      } else {
        EXPECT_LE(D.Asked.size(), 2u);
      }
    }
}

TEST_F(Wizard, FinishClosesAtOnceAndACloseDuringTheBuildIsRefused) {
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(
      nullptr, 0, [](LPVOID e) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(e), INFINITE); }, go, 0,
      nullptr);
  F().Notebook1.SetPageIndex(10);
  F().Button2.Click();
  F().WatchBuild(thread);
  CloseHandle(thread);  // the wizard holds its own
  SendMessageA(F().Handle, WM_CLOSE, 0, 0);
  F().Close();
  EXPECT_TRUE(Open());
  EXPECT_EQ(D.Beeps, 2);
  EXPECT_TRUE(D.Asked.empty()) << "no question while the build runs";
  // The build's last call on the window turns Cancel into Finish; the thread may still be
  // on its way out.
  F().Button1.SetText("&Finish");
  F().Button1.SetEnabled(true);
  EXPECT_TRUE(F().BuildRunning());
  F().Button1.Click();
  EXPECT_FALSE(Open());
  EXPECT_TRUE(D.Asked.empty());
  EXPECT_EQ(D.Beeps, 2);
  SetEvent(go);
  EXPECT_TRUE(ui::testing::PumpUntil([&] { return !F().BuildRunning(); }));
  CloseHandle(go);
}

TEST_F(Wizard, ABuildThatEndedWithoutFinishStillLetsTheWindowClose) {
  HANDLE thread = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
  F().Notebook1.SetPageIndex(10);
  F().Button2.Click();
  F().WatchBuild(thread);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  D.Answer(IDNO);
  SendMessageA(F().Handle, WM_CLOSE, 0, 0);  // Cancel is disabled; the close box still works
  EXPECT_FALSE(Open());
  ASSERT_EQ(D.Asked.size(), 1u);
  EXPECT_EQ(D.Asked[0].Text, "Do you want to save the current settings\r\nto a Corvantaine Setup Datasheet?");
}

// ---- start with a datasheet -------------------------------------------------------------------

TEST_F(Wizard, StartWithAnExistingOrAMissingDatasheet) {
  std::string file = Dir + "start.sds";
  WriteText(file, "[APPINFO]\r\nName=\"Started\"\r\n");
  F().DatasheetArgument = file;
  F().Show(SW_SHOWNA);
  EXPECT_EQ(F().Notebook1.PageIndex(), 1);
  EXPECT_EQ(F().Panel1.Text(), "Application Information");
  EXPECT_TRUE(F().Button3.Enabled());
  EXPECT_EQ(F().EAppTitle.Text(), "Started");
  EXPECT_TRUE(D.Asked.empty());

  TearDown();
  SetUp();
  F().DatasheetArgument = Dir + "gone.sds";
  F().Show(SW_SHOWNA);
  EXPECT_EQ(F().Notebook1.PageIndex(), 0);
  EXPECT_FALSE(F().Button3.Enabled());
  ExpectOnlyMessage("Specified Setup Datasheet does not exist!", MB_ICONWARNING | MB_OK, true);
}

// ---- the pages' small handlers ----------------------------------------------------------------

TEST_F(Wizard, RemoveDeletesEverySelectedRowOfAListView) {
  struct List { ui::TListView& l; ui::TButton& remove; };
  struct Case { std::vector<int> selected; std::vector<std::string> left; };
  const Case cases[] = {
      {{}, {"r0", "r1", "r2", "r3", "r4"}},
      {{2}, {"r0", "r1", "r3", "r4"}},
      {{0, 2, 4}, {"r1", "r3"}},
      {{3, 4}, {"r0", "r1", "r2"}},
      {{0, 1, 2, 3, 4}, {}},
  };
  for (List list : {List{F().FileList, F().Button5}, List{F().Registry, F().Button9}, List{F().ShortCuts, F().Button12}})
    for (const Case& c : cases) {
      list.l.Clear();
      for (char i = '0'; i < '5'; ++i) list.l.AddRow({std::string{'r', i}, std::string{'x', i}});
      for (int i : c.selected) list.l.SetSelected(i, true);
      list.remove.Click();
      EXPECT_EQ(Captions(list.l), c.left) << list.l.Name << " with " << c.selected.size() << " selected";
      if (!c.left.empty()) {
        std::string sub = c.left[0];
        sub[0] = 'x';
        EXPECT_EQ(list.l.Cell(0, 1), sub) << "sub-items go with their row";
      }
    }
}

TEST_F(Wizard, RemoveInTheListBoxesDeletesTheSelectedEntryOfItsOwnList) {
  struct Case { ui::TListBox& list; ui::TButton& remove; ui::TListBox* other; };
  for (Case c : {Case{F().DLLList, F().Button16, nullptr}, Case{F().PIList, F().SpeedButton2, &F().PUIList},
                 Case{F().PUIList, F().SpeedButton3, &F().PIList}}) {
    for (ui::TListBox* l : {&c.list, c.other})
      if (l) {
        l->Clear();
        for (const char* s : {"a", "b", "c"}) l->Add(s);
      }
    c.remove.Click();  // nothing selected
    EXPECT_EQ(c.list.Count(), 3) << c.list.Name;
    c.list.SetItemIndex(1);
    if (c.other) c.other->SetItemIndex(0);
    c.remove.Click();
    EXPECT_EQ(c.list.Items(), (std::vector<std::string>{"a", "c"})) << c.list.Name;
    if (c.other) {
      EXPECT_EQ(c.other->Count(), 3) << "the other list stays";
    }
  }
}

TEST_F(Wizard, CommandInputBoxesAppendWhatOkReturns) {
  struct Case { ui::TButton& plus; ui::TListBox& list; const char* caption; const char* prompt; };
  for (Case c : {Case{F().SpeedButton1, F().PIList, "Post-Installation Command",
                      "Enter a command that should be executed after a successful installation process:"},
                 Case{F().SpeedButton4, F().PUIList, "Pre-Uninstallation Command",
                      "Enter a command that should be executed before the uninstallation process starts:"}}) {
    D.Clear();
    D.AnswerText("notepad.exe readme.txt");
    D.AnswerText("");
    D.AnswerCancel();
    D.AnswerText("notepad.exe readme.txt");
    for (int i = 0; i < 4; ++i) c.plus.Click();
    EXPECT_EQ(c.list.Items(), (std::vector<std::string>{"notepad.exe readme.txt", "", "notepad.exe readme.txt"}));
    ASSERT_EQ(D.Asked.size(), 4u);
    for (const TAsked& a : D.Asked) {
      EXPECT_EQ(a.Kind, TAsked::InputBox);
      EXPECT_EQ(a.Caption, c.caption);
      EXPECT_EQ(a.Text, c.prompt);
      EXPECT_EQ(a.Value, "");
      EXPECT_EQ(a.MaxLength, 255);
      EXPECT_FALSE(a.Beep);
    }
  }
}

TEST_F(Wizard, EnableAndDisablePairsFollowTheirBoxes) {
  // Start page: the datasheet field follows "Open an existing Setup Datasheet"; its text stays.
  SendMessageA(F().RadioButton2.Handle, BM_CLICK, 0, 0);  // the user's click
  EXPECT_TRUE(F().EOpenFile.Enabled());
  EXPECT_TRUE(F().Button4.Enabled());
  EXPECT_FALSE(F().RadioButton1.Checked());
  F().EOpenFile.SetText("C:\\x.sds");
  F().RadioButton1.SetChecked(true);
  EXPECT_FALSE(F().EOpenFile.Enabled());
  EXPECT_FALSE(F().Button4.Enabled());
  EXPECT_EQ(F().EOpenFile.Text(), "C:\\x.sds");

  // Licence: five controls follow the box; the file name stays.
  ui::TControl* licence[] = {&F().Label27, &F().Edit5, &F().Button11, &F().Label28, &F().Label29};
  F().CheckBox14.SetChecked(true);
  for (ui::TControl* c : licence) EXPECT_TRUE(c->Enabled()) << c->Name;
  F().Edit5.SetText("C:\\licence.rtf");
  SendMessageA(F().CheckBox14.Handle, BM_CLICK, 0, 0);
  EXPECT_FALSE(F().CheckBox14.Checked());
  for (ui::TControl* c : licence) EXPECT_FALSE(c->Enabled()) << c->Name;
  EXPECT_EQ(F().Edit5.Text(), "C:\\licence.rtf");

  // Compatibility: custom enables the eight boxes as they are; all ticks and disables them.
  ui::TCheckBox* systems[] = {&F().CheckBox1, &F().CheckBox2, &F().CheckBox3, &F().CheckBox4,
                              &F().CheckBox5, &F().CheckBox6, &F().CheckBox7, &F().CheckBox15};
  F().RadioButton8.SetChecked(true);
  EXPECT_FALSE(F().RadioButton7.Checked());
  for (ui::TCheckBox* c : systems) EXPECT_TRUE(c->Enabled() && c->Checked()) << c->Name;
  F().CheckBox2.SetChecked(false);
  F().CheckBox15.SetChecked(false);
  F().RadioButton7.SetChecked(true);
  for (ui::TCheckBox* c : systems) EXPECT_TRUE(!c->Enabled() && c->Checked()) << c->Name;
  SendMessageA(F().RadioButton8.Handle, BM_CLICK, 0, 0);
  for (ui::TCheckBox* c : systems) EXPECT_TRUE(c->Enabled() && c->Checked()) << c->Name;
  EXPECT_TRUE(D.Asked.empty());
}

TEST_F(Wizard, TheLaunchersShowTheirDialogsModally) {
  struct Case { ui::TButton& button; ui::TForm*& dialog; const char* caption; };
  ui::TForm* frms[] = {AddFileFrm, AddRegFrm, AddShortFrm, AddDLLFrm, AboutFrm};
  Case cases[] = {{F().Button6, frms[0], "Add file to installation..."}, {F().Button8, frms[1], "Add Registry Key"},
                  {F().Button14, frms[2], "Add Shortcut"}, {F().Button17, frms[3], "Add DLL/OCX File"},
                  {F().Button7, frms[4], "About Corvantaine 2"}};
  F().Show(SW_SHOWNA);
  for (Case& c : cases) {
    bool shownModally = false;
    ui::TForm* dialog = c.dialog;
    ui::PostCall([&, dialog] {
      shownModally = IsWindowVisible(dialog->Handle) && dialog->Modal() && !IsWindowEnabled(Form1->Handle);
      dialog->Close();
    });
    c.button.Click();
    EXPECT_TRUE(shownModally) << c.caption;
    EXPECT_EQ(dialog->Text(), c.caption);
    EXPECT_FALSE(IsWindowVisible(dialog->Handle)) << "hidden again, not destroyed";
    EXPECT_TRUE(IsWindowEnabled(F().Handle));
  }
  F().Hide();
}

TEST_F(Wizard, FileAndFolderDialogsWriteTheChosenPathOrNothing) {
  struct Case {
    ui::TButton& button;
    const char* title;
    const char* filter;
    ui::TEdit* target;
  };
  for (Case c : {Case{F().Button4, "Open Setup Datasheet", "Setup Datasheets (*.sds)|*.sds", &F().EOpenFile},
                 Case{F().Button11, "Select License Aggreement File...",
                      "Plain Text Files (*.txt)|*.txt|Rich Text Files (*.rtf)|*.rtf", &F().Edit5},
                 Case{F().Button15, "Import Registration File...", "Registration Files (*.reg)|*.reg", nullptr}}) {
    D.Clear();
    if (c.target) c.target->SetText("before");
    D.AnswerCancel();
    D.AnswerFile("C:\\chosen\\file.ext");
    c.button.Click();
    if (c.target) {
      EXPECT_EQ(c.target->Text(), "before") << c.title;
    }
    c.button.Click();
    if (c.target) {
      EXPECT_EQ(c.target->Text(), "C:\\chosen\\file.ext") << c.title;
    }
    // The import then says that the chosen file does not exist.
    ASSERT_EQ(D.Asked.size(), c.target ? 2u : 3u);
    if (!c.target) {
      EXPECT_EQ(D.Asked[2].Text, "Specified File does not exist!");
    }
    EXPECT_EQ(D.Asked[0].Kind, TAsked::OpenFile);
    EXPECT_EQ(D.Asked[0].File.Title, c.title);
    EXPECT_EQ(D.Asked[0].File.Filter, c.filter);
    EXPECT_FALSE(D.Asked[0].File.MultiSelect);
  }
  D.Clear();
  D.AnswerCancel();
  D.AnswerText("D:\\Out");
  F().Button13.Click();
  EXPECT_EQ(F().Edit3.Text(), "C:\\My Setups");
  F().Button13.Click();
  EXPECT_EQ(F().Edit3.Text(), "D:\\Out");
  ASSERT_EQ(D.Asked.size(), 2u);
  EXPECT_EQ(D.Asked[0].Kind, TAsked::BrowseFolder);
  EXPECT_EQ(D.Asked[0].Text, "Select an output directory.");
  EXPECT_EQ(D.Asked[0].Value, "C:\\My Setups") << "opens at the folder in the field";
}

// ---- the datasheet against the profile service ------------------------------------------------

TEST_F(Wizard, AFreshProjectSavesTheseBytes) {
  std::string file = Dir + "fresh.sds";
  WriteText(file, "old content that must go\r\n");
  F().SaveDatasheet(file);
  EXPECT_EQ(ReadText(file),
            "[APPINFO]\r\nName=\"\"\r\nVersion=\"\"\r\nCompany=\"\"\r\nHomepage=\"http://\"\r\nShowLicense=0\r\n"
            "LicenseFile=\"\"\r\nReboot=0\r\nDestination=\"<ProgramFiles>\\<AppName>\"\r\nPackageDest=\"C:\\My Setups\"\r\n"
            "[ANNOUNCEMENT]\r\nCAV=1\r\nCA=0\r\nA=0\r\nAV=0\r\n"
            "[BUILD]\r\nWeb=0\r\nCDDVD=1\r\nCompression=0\r\n"
            "[COMPATIBILITY]\r\nAll=1\r\nCustom=0\r\nWin95=1\r\nWin98=1\r\nWinME=1\r\nWinNT4=1\r\nWin2000=1\r\n"
            "WinXP=1\r\nUnknown=1\r\nWinNET2003=1\r\n"
            "[PACKAGES]\r\nPackage0=\"Required Files\"\r\n");
}

TEST_F(Wizard, AFullProjectSavesInOrderAndLoadsBackWhole) {
  TForm1& f = F();
  f.EAppTitle.SetText("My App");
  f.EVersion.SetText("1.2");
  f.ECompany.SetText("\"Quoted Co\"");
  f.EHomepage.SetText("http://example.org/");
  f.CheckBox14.SetChecked(true);
  f.Edit5.SetText("C:\\licence.rtf");
  f.CheckBox8.SetChecked(true);
  f.Edit1.SetText("<ProgramFiles>\\Mine");
  f.Edit3.SetText("D:\\Out");
  f.RadioButton5.SetChecked(true);
  f.CheckBox10.SetChecked(true);
  f.CheckBox16.SetChecked(true);
  f.RadioButton8.SetChecked(true);
  f.CheckBox3.SetChecked(false);
  f.CheckBox15.SetChecked(false);
  f.FileList.AddRow({"<InstallRoot>\\a.exe", "C:\\src\\a.exe", "Required Files"});
  f.FileList.AddRow({"<SystemRoot>\\b.dll", "C:\\src\\b.dll", "Extras"});
  f.Registry.AddRow({"HKEY_CURRENT_USER\\Software\\Mine\\", "Path", "<InstallRoot>", "String"});
  f.ShortCuts.AddRow({"<Desktop>", "Mine", "<InstallRoot>\\a.exe", "/x", "<InstallRoot>\\a.exe", "2"});
  f.ShortCuts.AddRow({"<StartMenu>\\<AppName>", "Uninstall", "<Uninstall>", "<UninstallFile>", "", "0"});
  f.DLLList.Add("<SystemRoot>\\b.dll");
  f.PIList.Add("notepad.exe");
  f.PIList.Add("");
  f.PUIList.Add("cleanup.exe /q");
  f.PackageList.push_back("Extras");
  datasheet::TDatasheet saved = f.Project();
  std::string file = Dir + "full.sds";
  f.SaveDatasheet(file);

  std::string text = ReadText(file);
  std::vector<std::string> sections;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line[0] == '[') sections.push_back(line.substr(1, line.find(']') - 1));
  EXPECT_EQ(sections, (std::vector<std::string>{"APPINFO", "ANNOUNCEMENT", "BUILD", "FILELIST", "REGISTRY",
                                                "COMPATIBILITY", "SHORTCUTS", "DLLOCX", "POSTINSTALL",
                                                "PREUNINSTALL", "PACKAGES"}));
  EXPECT_NE(text.find("[FILELIST]\r\nDestination0=\"<InstallRoot>\\a.exe\"\r\nSource0=\"C:\\src\\a.exe\"\r\n"
                      "Package0=\"Required Files\"\r\nDestination1="),
            std::string::npos);
  EXPECT_NE(text.find("Company=\"\"Quoted Co\"\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("Icon0=\"<InstallRoot>\\a.exe\"\r\nIconIndex0=2\r\nLocation1="), std::string::npos);
  EXPECT_NE(text.find("Icon1=\"\"\r\nIconIndex1=0\r\n"), std::string::npos);
  EXPECT_NE(text.find("[POSTINSTALL]\r\nItem0=\"notepad.exe\"\r\nItem1=\"\"\r\n"), std::string::npos);

  TearDown();
  SetUp();
  file = Dir + "full.sds";
  WriteText(file, text);
  F().CheckBox12.SetChecked(true);  // unattended: not part of the datasheet
  F().LoadDatasheet(file);
  EXPECT_EQ(F().Project(), saved);
  EXPECT_EQ(F().ECompany.Text(), "\"Quoted Co\"");
  EXPECT_TRUE(F().CheckBox12.Checked());
  EXPECT_TRUE(F().Edit5.Enabled() && F().Button11.Enabled());
  EXPECT_TRUE(F().CheckBox1.Enabled()) << "custom compatibility: the boxes are enabled";
  EXPECT_EQ(F().ShortCuts.Cell(1, 4), "");
  EXPECT_EQ(F().ShortCuts.Cell(1, 5), "0");
  EXPECT_EQ(F().Notebook1.PageIndex(), 1);
  EXPECT_TRUE(D.Asked.empty());
}

TEST_F(Wizard, LoadingFollowsTheDatasheetsRules) {
  struct Case {
    const char* what;
    std::string file;
    std::function<void(TForm1&)> check;
  };
  const Case cases[] = {
      {"entries 0, 1 and 3 load as two",
       "[FILELIST]\r\nDestination0=\"a\"\r\nSource0=\"sa\"\r\nPackage0=\"p\"\r\nDestination1=\"b\"\r\n"
       "Destination3=\"d\"\r\n[DLLOCX]\r\nItem0=\"x\"\r\nItem2=\"z\"\r\n",
       [](TForm1& f) {
         EXPECT_EQ(Captions(f.FileList), (std::vector<std::string>{"a", "b"}));
         EXPECT_EQ(f.FileList.Row(1), (std::vector<std::string>{"b", "", ""})) << "missing keys give empty texts";
         EXPECT_EQ(f.DLLList.Items(), std::vector<std::string>{"x"});
       }},
      {"key names in any case",
       "[registry]\r\npath0=\"HKEY_USERS\\x\\\"\r\nKEY0=\"k\"\r\nvalue0=\"v\"\r\nType0=\"String\"\r\n",
       [](TForm1& f) {
         EXPECT_EQ(f.Registry.Row(0), (std::vector<std::string>{"HKEY_USERS\\x\\", "k", "v", "String"}));
       }},
      {"Booleans: numbers in their forms, words give the default",
       "[BUILD]\r\nWeb=2\r\nCDDVD=$1\r\nCompression=0x1\r\n[APPINFO]\r\nReboot=yes\r\nShowLicense=-1\r\n"
       "[COMPATIBILITY]\r\nWin95=0\r\nWin98=true\r\nWinME=$\r\nWinXP=0X0\r\n",
       [](TForm1& f) {
         EXPECT_TRUE(f.CheckBox10.Checked());
         EXPECT_TRUE(f.CheckBox11.Checked());
         EXPECT_TRUE(f.CheckBox16.Checked());
         EXPECT_FALSE(f.CheckBox8.Checked()) << "a word: the default 0";
         EXPECT_TRUE(f.CheckBox14.Checked());
         EXPECT_FALSE(f.CheckBox1.Checked());
         EXPECT_TRUE(f.CheckBox2.Checked()) << "a word: the default 1";
         EXPECT_TRUE(f.CheckBox3.Checked()) << "a prefix without digits: the default";
         EXPECT_FALSE(f.CheckBox6.Checked());
       }},
      {"no announcement keys: none of the four is checked", "[APPINFO]\r\nName=\"x\"\r\n",
       [](TForm1& f) {
         for (ui::TRadioButton* r : {&f.RadioButton3, &f.RadioButton4, &f.RadioButton6, &f.RadioButton5})
           EXPECT_FALSE(r->Checked()) << r->Name;
       }},
      {"all four announcement keys 0", "[ANNOUNCEMENT]\r\nCAV=0\r\nCA=0\r\nA=0\r\nAV=0\r\n",
       [](TForm1& f) {
         for (ui::TRadioButton* r : {&f.RadioButton3, &f.RadioButton4, &f.RadioButton6, &f.RadioButton5})
           EXPECT_FALSE(r->Checked()) << r->Name;
       }},
      {"two announcement keys 1: the later wins", "[ANNOUNCEMENT]\r\nCAV=1\r\nCA=0\r\nA=1\r\nAV=0\r\n",
       [](TForm1& f) {
         EXPECT_FALSE(f.RadioButton3.Checked());
         EXPECT_TRUE(f.RadioButton6.Checked());
       }},
      {"no compatibility: custom with all eight checked and enabled", "[APPINFO]\r\n",
       [](TForm1& f) {
         EXPECT_FALSE(f.RadioButton7.Checked());
         EXPECT_TRUE(f.RadioButton8.Checked());
         for (ui::TCheckBox* c : {&f.CheckBox1, &f.CheckBox2, &f.CheckBox3, &f.CheckBox4, &f.CheckBox5,
                                  &f.CheckBox6, &f.CheckBox7, &f.CheckBox15})
           EXPECT_TRUE(c->Checked() && c->Enabled()) << c->Name;
       }},
      {"all versions: the boxes disabled whatever the keys say",
       "[COMPATIBILITY]\r\nAll=1\r\nCustom=0\r\nWin95=0\r\n",
       [](TForm1& f) {
         EXPECT_TRUE(f.RadioButton7.Checked());
         EXPECT_FALSE(f.CheckBox1.Enabled());
         EXPECT_FALSE(f.CheckBox1.Checked()) << "the keys are set after the handlers";
       }},
      {"no licence: its controls disabled", "[APPINFO]\r\nShowLicense=0\r\nLicenseFile=\"C:\\l.txt\"\r\n",
       [](TForm1& f) {
         EXPECT_FALSE(f.Edit5.Enabled());
         EXPECT_FALSE(f.Button11.Enabled());
         EXPECT_EQ(f.Edit5.Text(), "C:\\l.txt");
       }},
      {"no packages: the list is left empty", "[APPINFO]\r\n",
       [](TForm1& f) { EXPECT_TRUE(f.PackageList.empty()); }},
      {"a shortcut without IconIndex, or with a word there",
       "[SHORTCUTS]\r\nLocation0=\"<Desktop>\"\r\nCaption0=\"c\"\r\nLocation1=\"<Startup>\"\r\nIconIndex1=many\r\n",
       [](TForm1& f) {
         EXPECT_EQ(f.ShortCuts.Cell(0, 5), "0");
         EXPECT_EQ(f.ShortCuts.Cell(1, 5), "0");
         EXPECT_EQ(f.ShortCuts.Cell(0, 1), "c");
       }},
      {"LF line ends, blank lines and blanks around =",
       "\n[APPINFO]\n\nName = \"Spaced\"\nVersion=  3  \n",
       [](TForm1& f) {
         EXPECT_EQ(f.EAppTitle.Text(), "Spaced");
         EXPECT_EQ(f.EVersion.Text(), "3");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    std::string file = Dir + "case.sds";
    WriteText(file, c.file);
    F().LoadDatasheet(file);
    c.check(F());
    EXPECT_EQ(F().Notebook1.PageIndex(), 1);
  }
}

TEST_F(Wizard, LongValuesAndLongListsLoadWholeAndSaveAgainUnchanged) {
  std::string longText(5000, 'v');
  longText += "end";
  std::string sheet = "[APPINFO]\r\nName=\"" + longText + "\"\r\n[PACKAGES]\r\n";
  const int n = 1500;  // key names "Package0".."Package1499": more than 16384 characters
  for (int i = 0; i < n; ++i) sheet += "Package" + std::to_string(i) + "=\"p" + std::to_string(i) + "\"\r\n";
  std::string file = Dir + "long.sds";
  WriteText(file, sheet);
  F().LoadDatasheet(file);
  EXPECT_EQ(F().EAppTitle.Text(), longText);
  ASSERT_EQ(F().PackageList.size(), size_t(n));
  EXPECT_EQ(F().PackageList.back(), "p1499");
  datasheet::TDatasheet loaded = F().Project();
  std::string again = Dir + "again.sds";
  F().SaveDatasheet(again);
  std::string text = ReadText(again);
  TearDown();
  SetUp();
  again = Dir + "again.sds";
  WriteText(again, text);
  F().LoadDatasheet(again);
  EXPECT_EQ(F().Project(), loaded);
}

TEST_F(Wizard, ARelativePathIsTakenFromTheCurrentDirectory) {
  char old[MAX_PATH];
  GetCurrentDirectoryA(sizeof old, old);
  SetCurrentDirectoryA(Dir.c_str());
  F().EAppTitle.SetText("Relative");
  F().SaveDatasheet("rel.sds");
  SetCurrentDirectoryA(old);
  EXPECT_NE(ReadText(Dir + "rel.sds").find("Name=\"Relative\""), std::string::npos);
  std::string first = Dir;
  Dir = TempDir();  // keeps the first folder from the fixture's clean-up
  TearDown();
  SetUp();
  SetCurrentDirectoryA(first.c_str());
  F().LoadDatasheet("rel.sds");
  SetCurrentDirectoryA(old);
  DeleteFileA((first + "rel.sds").c_str());
  RemoveDirectoryA(first.c_str());
  EXPECT_EQ(F().EAppTitle.Text(), "Relative");
}

// ---- the font rule, under two Windows versions --------------------------------------------------
// The program asks the platform for its version; Wine reports the one set for the program's
// file name under HKCU\Software\Wine\AppDefaults. So the test runs copies of itself under
// names of their own, one per version, each checking the font it expects.

TEST(FontRuleChild, WindowTakesTheExpectedFont) {
  char want[64];
  if (!GetEnvironmentVariableA("CV_EXPECT_FONT", want, sizeof want)) GTEST_SKIP() << "run by FontRule";
  TScriptedDialogs d;
  new TForm1;
  EXPECT_EQ(Form1->Font.Name, want);
  EXPECT_EQ(Form1->Panel1.Font.Name, want);
  EXPECT_TRUE(Form1->Panel1.Font.Bold);
  EXPECT_EQ(Form1->Label1.Font.Name, want);
  EXPECT_EQ(Form1->EAppTitle.Font.Name, want) << "inside a group box";
  EXPECT_EQ(Form1->SpeedButton1.Font.Name, "MS Sans Serif");
  LOGFONTA lf{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Form1->Button2.Handle, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  EXPECT_STREQ(lf.lfFaceName, want);
  EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET);
  delete Form1;
}

TEST(FontRule, MSSansSerifOnVersion4Point0AndTahomaFromWindows98On) {
  std::string dir = TempDir();
  struct Case { const char* version; const char* font; };
  for (Case c : {Case{"win95", "MS Sans Serif"}, Case{"nt40", "MS Sans Serif"}, Case{"win98", "Tahoma"},
                 Case{"winxp", "Tahoma"}}) {
    SCOPED_TRACE(c.version);
    std::string name = std::string("cvfont_") + c.version + ".exe";
    testsupport::RunAsWindowsVersion(dir + name, c.version, "FontRuleChild.*", "CV_EXPECT_FONT", c.font);
  }
  RemoveDirectoryA(dir.c_str());
}

}  // namespace

namespace {
// Tahoma is wider than the page's design font: every line must still show whole.
TEST_F(Wizard, EveryLabelShowsItsWholeText) {
  for (ui::TControl* c : F().Controls) {
    auto* l = dynamic_cast<ui::TLabel*>(c);
    if (!l) continue;
    std::string text = l->Text();
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ui::FontHandle(l->Font));
    SIZE s;
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &s);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    EXPECT_GE(l->Width(), s.cx) << l->Name;
    EXPECT_LE(l->Left() + s.cx, 382) << l->Name << " runs off its page";
  }
}
}  // namespace

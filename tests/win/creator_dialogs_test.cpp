// The item dialogs and the About box, in process: shown modally over the wizard, driven through
// their controls, every question answered through the seam.
#include <gtest/gtest.h>

#include "tests/win/test_support.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "creator/creator_about.h"
#include "creator/creator_adddll.h"
#include "creator/creator_addfile.h"
#include "creator/creator_addreg.h"
#include "creator/creator_addshort.h"
#include "creator/creator_main.h"
#include "ui/testing.h"

using ui::testing::TAsked;
using ui::testing::TScriptedDialogs;
using Rows = std::vector<std::vector<std::string>>;

namespace {

Rows AllRows(const ui::TListView& v) {
  Rows r;
  for (int i = 0; i < v.Count(); ++i) r.push_back(v.Row(i));
  return r;
}

// Shows form modally and runs steps inside its modal loop. Returns true when the dialog closed
// itself during the steps; otherwise closes it (as its close box would) and returns false.
bool RunModal(ui::TForm& form, const std::function<void()>& steps) {
  bool closedItself = false;
  ui::PostCall([&] {
    steps();
    closedItself = form.ModalResult != ui::mrNone;
    if (!closedItself) form.Close();
  });
  form.ShowModal();
  return closedItself;
}

// A choice in a drop-down list, as the user makes it: the selection, then the notification.
void Choose(ui::TComboBox& box, int index) {
  box.SetItemIndex(index);
  SendMessageA(GetParent(box.Handle), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(box.Handle), CBN_SELCHANGE), reinterpret_cast<LPARAM>(box.Handle));
}

std::string FaceOf(HWND h) {
  LOGFONTA lf{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf.lfFaceName;
}

// Every control's caption, by name; and no button that Enter or Escape would press.
void ExpectCaptions(const ui::TForm& form, const char* caption,
                    std::vector<std::pair<const char*, const char*>> controls) {
  EXPECT_EQ(form.Text(), caption);
  for (auto [name, text] : controls) {
    ui::TControl* c = form.FindControl(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->Text(), text) << name;
  }
  for (ui::TControl* c : form.Controls) {
    int id = GetDlgCtrlID(c->Handle);
    EXPECT_NE(id, IDOK) << c->Name;
    EXPECT_NE(id, IDCANCEL) << c->Name;
    EXPECT_FALSE((GetWindowLongA(c->Handle, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON &&
                 dynamic_cast<ui::TButton*>(c))
        << c->Name;
  }
  EXPECT_FALSE(GetWindowLongA(form.Handle, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
}

class DialogTest : public ::testing::Test {
 protected:
  TForm1 Wizard;  // Form1, whose lists the dialogs read and append to
  TScriptedDialogs Seam;
};

// ---- add-file dialog ---------------------------------------------------------------------------
class AddFileTest : public DialogTest {
 protected:
  TAddFileFrm Dlg;
  // Browse, then the menu item, then the file dialog's answer.
  void AddFiles(const std::vector<std::string>& files) {
    Seam.Answer(0);
    Seam.AnswerFiles(files);
    Dlg.Button1.Click();
  }
};

TEST_F(AddFileTest, ControlsAndWhatEveryShowResets) {
  ExpectCaptions(Dlg, "Add file to installation...",
                 {{"Label1", "Select one or more files you want to be installed."},
                  {"Label2", "Destination Folder:"}, {"Label3", "Parent Package:"},
                  {"Button1", "&Browse..."}, {"Button2", "&OK"}, {"Button3", "&Cancel"}});
  EXPECT_EQ(FaceOf(Dlg.Button2.Handle), "Tahoma");
  Wizard.PackageList = {"Required Files", "Docs"};
  RunModal(Dlg, [&] {
    EXPECT_EQ(Dlg.ListBox1.Count(), 0);
    EXPECT_EQ(Dlg.ComboBox1.Items(),
              (std::vector<std::string>{"<InstallRoot>\\", "<SystemRoot>\\", "<SharedFiles>\\"}));
    EXPECT_EQ(Dlg.ComboBox1.Text(), "<InstallRoot>\\");
    EXPECT_EQ(Dlg.ComboBox2.Items(), Wizard.PackageList);
    EXPECT_EQ(Dlg.ComboBox2.Text(), "Required Files");
    AddFiles({"C:\\a\\one.txt"});
    Dlg.ComboBox1.SetText("<SystemRoot>\\x");
    Dlg.ComboBox2.SetText("Docs2");
  });  // closed by its close box: as Cancel
  EXPECT_EQ(Wizard.FileList.Count(), 0);
  EXPECT_EQ(Wizard.PackageList, (std::vector<std::string>{"Required Files", "Docs"}));
  Wizard.PackageList.clear();  // as after loading a datasheet without packages
  RunModal(Dlg, [&] {
    EXPECT_EQ(Dlg.ListBox1.Count(), 0);
    EXPECT_EQ(Dlg.ComboBox1.Text(), "<InstallRoot>\\");
    EXPECT_EQ(Dlg.ComboBox2.Count(), 0);
    EXPECT_EQ(Dlg.ComboBox2.Text(), "Required Files");
    Dlg.Button3.Click();
  });
  EXPECT_EQ(Wizard.PackageList.size(), 0u);
}

TEST_F(AddFileTest, FileDialogAndPopupMenu) {
  RunModal(Dlg, [&] {
    AddFiles({"C:\\src\\a.exe", "C:\\src\\b.dll"});
    AddFiles({"C:\\src\\a.exe"});  // passes add up, duplicates stay
    Seam.AnswerCancel();           // the menu dismissed
    Dlg.Button1.Click();
    Seam.Answer(0);
    Seam.AnswerCancel();           // the file dialog cancelled
    Dlg.Button1.Click();
    EXPECT_EQ(Dlg.ListBox1.Items(),
              (std::vector<std::string>{"C:\\src\\a.exe", "C:\\src\\b.dll", "C:\\src\\a.exe"}));
    RECT frame;
    GetWindowRect(Dlg.Handle, &frame);
    ASSERT_GE(Seam.Asked.size(), 2u);
    const TAsked& menu = Seam.Asked[0];
    EXPECT_EQ(menu.Kind, TAsked::Popup);
    EXPECT_EQ(menu.Buttons, (std::vector<std::string>{"Add Files...", "Add Folder Content..."}));
    EXPECT_EQ(menu.Text, std::to_string(frame.left + Dlg.Button1.Left()) + "," +
                             std::to_string(frame.top + Dlg.Button1.Top() + Dlg.Button1.Height() + 22));
    const TAsked& files = Seam.Asked[1];
    EXPECT_EQ(files.Kind, TAsked::OpenFile);
    EXPECT_EQ(files.Caption, "Select Files...");
    EXPECT_TRUE(files.File.MultiSelect);
    EXPECT_EQ(files.File.Filter, "");
    EXPECT_EQ(files.File.InitialDir, "");
    EXPECT_EQ(files.File.DefaultExt, "");
    Dlg.Button2.Click();
  });
  EXPECT_EQ(AllRows(Wizard.FileList), (Rows{{"<InstallRoot>\\a.exe", "C:\\src\\a.exe", "Required Files"},
                                           {"<InstallRoot>\\b.dll", "C:\\src\\b.dll", "Required Files"},
                                           {"<InstallRoot>\\a.exe", "C:\\src\\a.exe", "Required Files"}}));
  EXPECT_EQ(Wizard.PackageList, (std::vector<std::string>{"Required Files"}));
  EXPECT_EQ(Seam.Beeps, 0);
  EXPECT_EQ(Seam.Unscripted, 0);
}

TEST_F(AddFileTest, OkRowsAndPackages) {
  struct Case {
    const char* folder;
    const char* package;
    std::vector<std::string> files;
    const char* folderAfter;
    Rows rows;
    std::vector<std::string> packagesAfter;
  };
  const std::vector<std::string> before{"Required Files", "\xC9quipe"};  // Équipe
  const Case cases[] = {
      {"<InstallRoot>\\bin", "Required Files", {"C:\\s\\a.txt", "D:b.txt"}, "<InstallRoot>\\bin\\",
       {{"<InstallRoot>\\bin\\a.txt", "C:\\s\\a.txt", "Required Files"},
        {"<InstallRoot>\\bin\\b.txt", "D:b.txt", "Required Files"}},
       before},
      {"", "required FILES", {"C:\\s\\a.txt"}, "\\",
       {{"\\a.txt", "C:\\s\\a.txt", "required FILES"}}, before},
      {"<SharedFiles>\\", "\xC9QUIPE", {"C:\\s\\a.txt"}, "<SharedFiles>\\",
       {{"<SharedFiles>\\a.txt", "C:\\s\\a.txt", "\xC9QUIPE"}}, before},  // only the ASCII letters folded
      {"<SharedFiles>\\", "\xE9quipe", {}, "<SharedFiles>\\", {},
       {"Required Files", "\xC9quipe", "\xE9quipe"}},  // é is new, even with no file collected
      {"<InstallRoot>\\", " Extras ", {}, "<InstallRoot>\\", {},
       {"Required Files", "\xC9quipe", " Extras "}},   // neither trimmed nor checked
      {"<InstallRoot>\\", "", {}, "<InstallRoot>\\", {}, {"Required Files", "\xC9quipe", ""}},
  };
  for (const Case& c : cases) {
    Wizard.FileList.Clear();
    Wizard.PackageList = before;
    Seam.Clear();
    std::string folderAfter;
    EXPECT_TRUE(RunModal(Dlg, [&] {
      if (!c.files.empty()) AddFiles(c.files);
      Dlg.ComboBox1.SetText(c.folder);
      Dlg.ComboBox2.SetText(c.package);
      Dlg.Button2.Click();
      folderAfter = Dlg.ComboBox1.Text();
    })) << c.folder;
    EXPECT_EQ(folderAfter, c.folderAfter) << c.folder;
    EXPECT_EQ(AllRows(Wizard.FileList), c.rows) << c.folder << " | " << c.package;
    EXPECT_EQ(Wizard.PackageList, c.packagesAfter) << c.package;
    EXPECT_EQ(Seam.Asked.size(), c.files.empty() ? 0u : 2u);  // OK itself asks nothing
  }
}

TEST_F(AddFileTest, ASecondOkWhileTheRowsGoInAddsNothing) {
  // OK lets the window handle its messages between rows; a press that arrives meanwhile (here
  // a posted one) must not append the collection a second time.
  RunModal(Dlg, [&] {
    AddFiles({"C:\\a\\1.txt", "C:\\a\\2.txt", "C:\\a\\3.txt"});
    ui::PostCall([&] { Dlg.Button2.Click(); });
    ui::PostCall([&] { Dlg.Button1.Click(); });  // nor does the menu open meanwhile
    Dlg.Button2.Click();
  });
  ui::testing::Pump();
  EXPECT_EQ(Wizard.FileList.Count(), 3);
  EXPECT_EQ(Seam.Asked.size(), 2u);  // the menu and the file dialog of AddFiles only
}

TEST_F(AddFileTest, EmptyPackageListGetsRequiredFilesBack) {
  Wizard.PackageList.clear();
  RunModal(Dlg, [&] { Dlg.Button2.Click(); });
  EXPECT_EQ(Wizard.PackageList, (std::vector<std::string>{"Required Files"}));
  EXPECT_EQ(Wizard.FileList.Count(), 0);
}

// A small folder tree for the folder-content path.
class AddFolderTest : public AddFileTest {
 protected:
  std::string Root;
  std::vector<std::string> Made;
  void SetUp() override {
    Root = testsupport::FreshTestDir("addfolder") + "tree";
    for (const char* rel : {"", "\\sub"}) {
      ASSERT_TRUE(CreateDirectoryA((Root + rel).c_str(), nullptr));
      Made.push_back(Root + rel);
    }
    for (const char* rel : {"\\top.exe", "\\sub\\top.exe"}) {
      HANDLE h = CreateFileA((Root + rel).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      CloseHandle(h);
      Made.push_back(Root + rel);
    }
  }
  void TearDown() override {
    for (auto it = Made.rbegin(); it != Made.rend(); ++it)
      if (!DeleteFileA(it->c_str())) RemoveDirectoryA(it->c_str());
  }
};

TEST_F(AddFolderTest, FolderContentWithAndWithoutSubfolders) {
  struct Case { int answer; std::vector<std::string> collected; };
  for (Case c : {Case{IDNO, {Root + "\\top.exe"}},
                 Case{IDYES, {Root + "\\top.exe", Root + "\\sub\\top.exe"}}}) {
    Seam.Clear();
    Wizard.FileList.Clear();
    RunModal(Dlg, [&] {
      Seam.Answer(1);
      Seam.AnswerText(Root);
      Seam.Answer(c.answer);
      Dlg.Button1.Click();
      std::vector<std::string> got = Dlg.ListBox1.Items();
      std::vector<std::string> want = c.collected;
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      EXPECT_EQ(got, want);
      Dlg.Button2.Click();
    });
    ASSERT_EQ(Seam.Asked.size(), 3u);
    EXPECT_EQ(Seam.Asked[1].Kind, TAsked::BrowseFolder);
    EXPECT_EQ(Seam.Asked[1].Text, "Select a Directory whose content you want to add.");
    EXPECT_EQ(Seam.Asked[1].Value, "");  // no folder preselected
    EXPECT_EQ(Seam.Asked[2].Kind, TAsked::Message);
    EXPECT_EQ(Seam.Asked[2].Text, "Shall I add files located in subdirectories as well?");
    EXPECT_EQ(Seam.Asked[2].ButtonSet(), static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(Seam.Asked[2].Icon(), static_cast<UINT>(MB_ICONQUESTION));
    // Same-named files of different folders land in the one destination folder.
    for (const auto& row : AllRows(Wizard.FileList)) EXPECT_EQ(row[0], "<InstallRoot>\\top.exe");
    EXPECT_EQ(Wizard.FileList.Count(), static_cast<int>(c.collected.size()));
  }
  Seam.Clear();
  RunModal(Dlg, [&] {
    Seam.Answer(1);
    Seam.AnswerCancel();  // the folder browser cancelled: no question, nothing collected
    Dlg.Button1.Click();
    EXPECT_EQ(Dlg.ListBox1.Count(), 0);
    Dlg.Button3.Click();
  });
  EXPECT_EQ(Seam.Asked.size(), 2u);
  EXPECT_EQ(Seam.Unscripted, 0);
}

// Cancel while the folder is being collected closes the dialog there and then: the walk ends,
// and nothing of it is kept or appended. OK pressed meanwhile appends nothing either.
TEST_F(AddFolderTest, CancelWhileTheFolderIsCollectedClosesAndAppendsNothing) {
  for (bool okFirst : {false, true}) {
    Seam.Clear();
    bool closed = RunModal(Dlg, [&] {
      Seam.Answer(1);
      Seam.AnswerText(Root);
      Seam.Answer(IDYES);
      // Pressed while the walk lets the window handle its messages.
      if (okFirst) ui::PostCall([&] { Dlg.Button2.Click(); });
      ui::PostCall([&] { Dlg.Button3.Click(); });
      Dlg.Button1.Click();
      EXPECT_EQ(Dlg.ListBox1.Count(), 0) << okFirst;
    });
    EXPECT_TRUE(closed) << okFirst;
    EXPECT_EQ(Wizard.FileList.Count(), 0) << okFirst;
    EXPECT_EQ(Wizard.PackageList, (std::vector<std::string>{"Required Files"})) << okFirst;
  }
}

// ---- registry dialog ---------------------------------------------------------------------------
class AddRegTest : public DialogTest {
 protected:
  TAddRegFrm Dlg;
};

TEST_F(AddRegTest, ControlsAndChoices) {
  ExpectCaptions(Dlg, "Add Registry Key",
                 {{"Label1", "Root:"}, {"Label5", "Path:"}, {"Label2", "Key:"}, {"Label3", "Value:"},
                  {"Label4", "Type:"}, {"Button1", "&OK"}, {"Button2", "&Cancel"}});
  EXPECT_EQ(Dlg.ComboBox1.Items(),
            (std::vector<std::string>{"HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG",
                                      "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER"}));
  EXPECT_EQ(Dlg.ComboBox2.Items(),
            (std::vector<std::string>{"Binary Data", "Boolean", "Float", "Integer", "String"}));
  EXPECT_EQ(Dlg.Edit1.MaxLength(), 255);
  EXPECT_EQ(FaceOf(Dlg.Edit1.Handle), "Tahoma");
}

TEST_F(AddRegTest, RowsAndRefusals) {
  struct Case { const char* path; const char* key; const char* value; int root, type; bool accepted;
                std::vector<std::string> row; };
  const Case cases[] = {
      {"\\Software\\Firm", "Name", "x", 4, 4, true, {"HKEY_CURRENT_USER\\Software\\Firm\\", "Name", "x", "String"}},
      {"\\\\Software", "", "1", 0, 3, true, {"HKEY_LOCAL_MACHINE\\\\Software\\", "", "1", "Integer"}},
      {"\\", "k", "v", 3, 0, true, {"HKEY_CLASSES_ROOT\\\\", "k", "v", "Binary Data"}},
      {"Software\\", "", "not a number", 1, 3, true, {"HKEY_USERS\\Software\\", "", "not a number", "Integer"}},
      {"", "k", "v", 4, 4, false, {}},
      {"Software", "k", "", 4, 1, false, {}},
      {"", "", "", 4, 4, false, {}},
  };
  for (const Case& c : cases) {
    Wizard.Registry.Clear();
    Seam.Clear();
    std::string pathAfter;
    bool closed = RunModal(Dlg, [&] {
      Dlg.Edit1.SetText(c.path);
      Dlg.Edit2.SetText(c.key);
      Dlg.Edit3.SetText(c.value);
      Dlg.ComboBox1.SetItemIndex(c.root);
      Dlg.ComboBox2.SetItemIndex(c.type);
      Dlg.Button1.Click();
      pathAfter = Dlg.Edit1.Text();
    });
    EXPECT_EQ(closed, c.accepted) << c.path;
    if (c.accepted) {
      EXPECT_EQ(AllRows(Wizard.Registry), Rows{c.row}) << c.path;
      EXPECT_EQ(c.row[0], Dlg.ComboBox1.Item(c.root) + "\\" + pathAfter);  // written back
      EXPECT_TRUE(Seam.Asked.empty());
    } else {
      EXPECT_EQ(Wizard.Registry.Count(), 0);
      EXPECT_EQ(pathAfter, c.path);  // the fields stay as they were
      ASSERT_EQ(Seam.Asked.size(), 1u) << c.path;
      EXPECT_EQ(Seam.Asked[0].Text, "Form Data missing!");
      EXPECT_EQ(Seam.Asked[0].Flags, static_cast<UINT>(MB_ICONERROR | MB_OK));
      EXPECT_TRUE(Seam.Asked[0].Beep);
    }
  }
}

TEST_F(AddRegTest, EveryShowStartsAfresh) {
  for (int show = 0; show < 2; ++show) {
    RunModal(Dlg, [&] {
      EXPECT_EQ(Dlg.Edit1.Text(), "");
      EXPECT_EQ(Dlg.Edit2.Text(), "");
      EXPECT_EQ(Dlg.Edit3.Text(), "");
      EXPECT_EQ(Dlg.ComboBox1.Text(), "HKEY_CURRENT_USER");
      EXPECT_EQ(Dlg.ComboBox2.Text(), "String");
      // The tests of one run share Wine's desktop: a parallel test may hold the activation.
      EXPECT_EQ(Dlg.FocusedControl(), Dlg.Edit1.Handle);
      Dlg.Edit1.SetText("Left");
      Dlg.Edit2.SetText("over");
      Dlg.Edit3.SetText("text");
      Dlg.ComboBox1.SetItemIndex(0);
      Dlg.ComboBox2.SetItemIndex(0);
      if (show == 0) Dlg.Button2.Click();  // Cancel; the second time the close box
    });
  }
  EXPECT_EQ(Wizard.Registry.Count(), 0);
}

// ---- shortcut dialog ---------------------------------------------------------------------------
class AddShortTest : public DialogTest {
 protected:
  TAddShortFrm Dlg;
  void Files(const std::vector<std::string>& destinations) {
    Wizard.FileList.Clear();
    for (const std::string& d : destinations) Wizard.FileList.AddRow({d, "C:\\src\\x", "Required Files"});
  }
};

TEST_F(AddShortTest, ControlsAndLocations) {
  ExpectCaptions(Dlg, "Add Shortcut",
                 {{"Label3", "Location:"}, {"Label1", "Target:"}, {"Label4", "Parameter(s):"},
                  {"Label2", "Caption:"}, {"CheckBox1", "User-Specific Shortcut Icon:"},
                  {"Label5", "Icon:"}, {"Label6", "#"}, {"Button1", "OK"}, {"Button2", "Cancel"}});
  EXPECT_EQ(Dlg.ComboBox2.Items(),
            (std::vector<std::string>{"<StartMenu>\\<AppName>", "<Programs>\\<AppName>", "<Startup>",
                                      "<Desktop>", "<QuickLaunch>"}));
  EXPECT_EQ(Dlg.ComboBox2.Text(), "");
  EXPECT_FALSE(Dlg.CheckBox1.Checked());
  EXPECT_EQ(Dlg.SpinEdit1.Value(), 0);
  EXPECT_EQ(FaceOf(Dlg.Edit1.Handle), "Tahoma");
  RunModal(Dlg, [&] {  // the focus in the edit of the Location box
    HWND focus = Dlg.FocusedControl();
    EXPECT_TRUE(focus == Dlg.ComboBox2.Handle || GetParent(focus) == Dlg.ComboBox2.Handle);
  });
}

TEST_F(AddShortTest, TargetsAndIconsFromTheFileList) {
  struct Case { std::vector<std::string> files; std::vector<std::string> icons; };
  const Case cases[] = {
      {{}, {}},
      {{"<InstallRoot>\\App.EXE", "<InstallRoot>\\read.me", "<InstallRoot>\\x.dll", "<SystemRoot>\\p.Ico",
        "<InstallRoot>\\v1.exe\\notes", "<InstallRoot>\\c.ocx", "<InstallRoot>\\App.EXE"},
       {"<InstallRoot>\\App.EXE", "<InstallRoot>\\x.dll", "<SystemRoot>\\p.Ico", "<InstallRoot>\\App.EXE"}},
  };
  for (const Case& c : cases) {
    Files(c.files);
    RunModal(Dlg, [&] {
      std::vector<std::string> targets = c.files;
      targets.push_back("<Uninstall>");
      EXPECT_EQ(Dlg.ComboBox1.Items(), targets);
      EXPECT_EQ(Dlg.ComboBox3.Items(), c.icons);
      EXPECT_EQ(Dlg.ComboBox1.ItemIndex(), -1);
      EXPECT_EQ(Dlg.ComboBox3.ItemIndex(), -1);
    });
  }
}

TEST_F(AddShortTest, UninstallFillsTheParameters) {
  Files({"<InstallRoot>\\app.exe"});
  RunModal(Dlg, [&] {
    Dlg.Edit2.SetText("/typed");
    Choose(Dlg.ComboBox1, 0);
    EXPECT_EQ(Dlg.Edit2.Text(), "/typed");
    Choose(Dlg.ComboBox1, 1);  // <Uninstall>, over what was typed
    EXPECT_EQ(Dlg.Edit2.Text(), "<UninstallFile>");
    Choose(Dlg.ComboBox1, 0);  // another target keeps it
    EXPECT_EQ(Dlg.Edit2.Text(), "<UninstallFile>");
  });
}

TEST_F(AddShortTest, RowsAndRefusals) {
  struct Case {
    const char* location; int target; const char* caption; const char* params;
    bool icon; int iconItem; const char* spin;
    bool accepted; std::vector<std::string> row;
  };
  const Case cases[] = {
      {"<Desktop>", 0, "App", "", false, -1, "0", true, {"<Desktop>", "App", "<InstallRoot>\\app.exe", "", "", "0"}},
      {"My Folder\\Sub", 2, "Remove", "", false, 0, "9", true,  // free location; the unticked box ignores 9
       {"My Folder\\Sub", "Remove", "<Uninstall>", "<UninstallFile>", "", "0"}},
      {"<StartMenu>\\<AppName>", 1, "Lib", "-x", true, -1, "3", true,
       {"<StartMenu>\\<AppName>", "Lib", "<InstallRoot>\\lib.dll", "-x", "", "3"}},
      {"<QuickLaunch>", 0, "App", "", true, 1, "70000", true,
       {"<QuickLaunch>", "App", "<InstallRoot>\\app.exe", "", "<InstallRoot>\\lib.dll", "65535"}},
      {"<Startup>", 0, "App", "", true, 0, "many", true,
       {"<Startup>", "App", "<InstallRoot>\\app.exe", "", "<InstallRoot>\\app.exe", "0"}},
      {"<Desktop>", -1, "App", "", false, -1, "0", false, {}},
      {"", 0, "App", "", false, -1, "0", false, {}},
      {"<Desktop>", 0, "", "", false, -1, "0", false, {}},
  };
  Files({"<InstallRoot>\\app.exe", "<InstallRoot>\\lib.dll"});
  for (const Case& c : cases) {
    Wizard.ShortCuts.Clear();
    Seam.Clear();
    std::string captionAfter;
    bool closed = RunModal(Dlg, [&] {
      Dlg.ComboBox2.SetText(c.location);
      if (c.target >= 0) Choose(Dlg.ComboBox1, c.target);
      Dlg.Edit1.SetText(c.caption);
      if (c.target != 2) Dlg.Edit2.SetText(c.params);
      Dlg.CheckBox1.SetChecked(c.icon);
      if (c.iconItem >= 0) Choose(Dlg.ComboBox3, c.iconItem);
      Dlg.SpinEdit1.SetText(c.spin);
      Dlg.Button1.Click();
      captionAfter = Dlg.Edit1.Text();
    });
    EXPECT_EQ(closed, c.accepted) << c.location << " | " << c.caption;
    if (c.accepted) {
      EXPECT_EQ(AllRows(Wizard.ShortCuts), Rows{c.row}) << c.location;
      EXPECT_TRUE(Seam.Asked.empty());
    } else {
      EXPECT_EQ(Wizard.ShortCuts.Count(), 0);
      EXPECT_EQ(captionAfter, c.caption);
      ASSERT_EQ(Seam.Asked.size(), 1u);
      EXPECT_EQ(Seam.Asked[0].Text, "Invalid entries!");
      EXPECT_EQ(Seam.Asked[0].Flags, static_cast<UINT>(MB_ICONERROR | MB_OK));
      EXPECT_TRUE(Seam.Asked[0].Beep);
    }
  }
}

TEST_F(AddShortTest, IconIndexBounds) {
  struct Case { const char* text; int value; };
  const Case cases[] = {{"0", 0}, {"7", 7}, {"65535", 65535}, {"65536", 65535},
                        {"99999999999999999999", 65535}, {"-1", 0}, {"-99999999999999", 0},
                        {"", 0}, {"-", 0}, {"abc", 0}, {"12a", 0}, {"1.5", 0}};
  RunModal(Dlg, [&] {
    Dlg.CheckBox1.SetChecked(true);
    for (const Case& c : cases) {
      Dlg.SpinEdit1.SetText(c.text);
      EXPECT_EQ(Dlg.SpinEdit1.Value(), c.value) << c.text;
      Dlg.SpinEdit1.SetFocus();
      Dlg.Edit1.SetFocus();  // leaving the field writes the value back
      EXPECT_EQ(Dlg.SpinEdit1.Text(), std::to_string(c.value)) << c.text;
    }
    Dlg.CheckBox1.SetChecked(false);
  });
}

TEST_F(AddShortTest, WhatCarriesOverBetweenShows) {
  Files({"<InstallRoot>\\app.exe"});
  RunModal(Dlg, [&] {
    for (ui::TControl* c : std::vector<ui::TControl*>{&Dlg.Label5, &Dlg.Label6, &Dlg.ComboBox3, &Dlg.SpinEdit1})
      EXPECT_FALSE(c->Enabled()) << c->Name;
    Dlg.ComboBox2.SetText("Somewhere");
    Choose(Dlg.ComboBox1, 0);
    Dlg.Edit1.SetText("App");
    Dlg.Edit2.SetText("/p");
    Dlg.CheckBox1.SetChecked(true);
    for (ui::TControl* c : std::vector<ui::TControl*>{&Dlg.Label5, &Dlg.Label6, &Dlg.ComboBox3, &Dlg.SpinEdit1})
      EXPECT_TRUE(c->Enabled()) << c->Name;
    Choose(Dlg.ComboBox3, 0);
    Dlg.SpinEdit1.SetValue(7);
    Dlg.Button1.Click();
  });
  Files({"<InstallRoot>\\app.exe", "<InstallRoot>\\two.ico"});
  RunModal(Dlg, [&] {
    EXPECT_EQ(Dlg.ComboBox2.Text(), "Somewhere");  // carried over
    EXPECT_TRUE(Dlg.CheckBox1.Checked());
    EXPECT_TRUE(Dlg.ComboBox3.Enabled());
    EXPECT_EQ(Dlg.SpinEdit1.Value(), 7);
    EXPECT_EQ(Dlg.Edit1.Text(), "");                // reset
    EXPECT_EQ(Dlg.Edit2.Text(), "");
    EXPECT_EQ(Dlg.ComboBox1.ItemIndex(), -1);
    EXPECT_EQ(Dlg.ComboBox1.Count(), 3);
    EXPECT_EQ(Dlg.ComboBox3.ItemIndex(), -1);
    EXPECT_EQ(Dlg.ComboBox3.Count(), 2);
    Dlg.Button2.Click();
  });
  EXPECT_EQ(AllRows(Wizard.ShortCuts),
            (Rows{{"Somewhere", "App", "<InstallRoot>\\app.exe", "/p", "<InstallRoot>\\app.exe", "7"}}));
}

// ---- DLL dialog --------------------------------------------------------------------------------
class AddDLLTest : public DialogTest {
 protected:
  TAddDLLFrm Dlg;
};

TEST_F(AddDLLTest, ChoicesAppendsAndRefusal) {
  ExpectCaptions(Dlg, "Add DLL/OCX File", {{"Label3", "Filename:"}, {"Button1", "OK"}, {"Button2", "Cancel"}});
  EXPECT_EQ(FaceOf(Dlg.Button1.Handle), "MS Sans Serif");
  // With an empty file list there is nothing to choose: OK always refuses, without a beep.
  EXPECT_FALSE(RunModal(Dlg, [&] {
    EXPECT_EQ(Dlg.ComboBox.Count(), 0);
    Dlg.Button1.Click();
  }));
  ASSERT_EQ(Seam.Asked.size(), 1u);
  EXPECT_EQ(Seam.Asked[0].Text, "No File Selected!");
  EXPECT_EQ(Seam.Asked[0].Flags, static_cast<UINT>(MB_ICONERROR | MB_OK));
  EXPECT_FALSE(Seam.Asked[0].Beep);
  EXPECT_EQ(Seam.Beeps, 0);
  for (const char* d : {"<InstallRoot>\\a.DLL", "<InstallRoot>\\b.exe", "<SystemRoot>\\c.Ocx",
                        "<InstallRoot>\\d.dll\\e", "<InstallRoot>\\f.ocx.txt"})
    Wizard.FileList.AddRow({d, "C:\\x", "Required Files"});
  for (int pass = 0; pass < 2; ++pass) {  // the same file twice is appended twice
    EXPECT_TRUE(RunModal(Dlg, [&] {
      EXPECT_EQ(Dlg.ComboBox.Items(), (std::vector<std::string>{"<InstallRoot>\\a.DLL", "<SystemRoot>\\c.Ocx"}));
      EXPECT_EQ(Dlg.ComboBox.ItemIndex(), -1);
      Choose(Dlg.ComboBox, 1);
      Dlg.Button1.Click();
    }));
  }
  EXPECT_EQ(Wizard.DLLList.Items(), (std::vector<std::string>{"<SystemRoot>\\c.Ocx", "<SystemRoot>\\c.Ocx"}));
  Seam.Clear();
  EXPECT_FALSE(RunModal(Dlg, [&] { Dlg.Button1.Click(); }));  // a new show: nothing chosen
  EXPECT_EQ(Seam.Asked.size(), 1u);
  RunModal(Dlg, [&] {
    Choose(Dlg.ComboBox, 0);
    Dlg.Button2.Click();  // Cancel appends nothing
  });
  EXPECT_EQ(Wizard.DLLList.Count(), 2);
}

// ---- through the wizard's launchers ---------------------------------------------------------
TEST(Launchers, EachDialogAppendsToTheWizardItWasShownFrom) {
  TScriptedDialogs seam;
  new TForm1;
  AddFileFrm = new TAddFileFrm;
  AddRegFrm = new TAddRegFrm;
  AboutFrm = new TAboutFrm;
  AddShortFrm = new TAddShortFrm;
  AddDLLFrm = new TAddDLLFrm;
  Form1->Show();
  // Each dialog's steps run inside the modal loop that its launcher starts.
  ui::PostCall([&] {
    seam.Answer(0);
    seam.AnswerFiles({"C:\\src\\app.exe", "C:\\src\\core.dll"});
    AddFileFrm->Button1.Click();
    AddFileFrm->Button2.Click();
  });
  Form1->Button6.Click();
  ui::PostCall([] {
    AddRegFrm->Edit1.SetText("Software\\Firm");
    AddRegFrm->Edit3.SetText("1");
    AddRegFrm->Button1.Click();
  });
  Form1->Button8.Click();
  ui::PostCall([] {
    AddShortFrm->ComboBox2.SetText("<Desktop>");
    Choose(AddShortFrm->ComboBox1, 0);
    AddShortFrm->Edit1.SetText("App");
    AddShortFrm->Button1.Click();
  });
  Form1->Button14.Click();
  ui::PostCall([] {
    Choose(AddDLLFrm->ComboBox, 0);
    AddDLLFrm->Button1.Click();
  });
  Form1->Button17.Click();
  ui::PostCall([] { AboutFrm->Button1.Click(); });
  Form1->Button7.Click();
  EXPECT_EQ(AllRows(Form1->FileList), (Rows{{"<InstallRoot>\\app.exe", "C:\\src\\app.exe", "Required Files"},
                                            {"<InstallRoot>\\core.dll", "C:\\src\\core.dll", "Required Files"}}));
  EXPECT_EQ(AllRows(Form1->Registry), (Rows{{"HKEY_CURRENT_USER\\Software\\Firm\\", "", "1", "String"}}));
  EXPECT_EQ(AllRows(Form1->ShortCuts), (Rows{{"<Desktop>", "App", "<InstallRoot>\\app.exe", "", "", "0"}}));
  EXPECT_EQ(Form1->DLLList.Items(), (std::vector<std::string>{"<InstallRoot>\\core.dll"}));
  EXPECT_EQ(Form1->PackageList, (std::vector<std::string>{"Required Files"}));
  for (ui::TForm* f : std::vector<ui::TForm*>{AddFileFrm, AddRegFrm, AddShortFrm, AddDLLFrm, AboutFrm})
    EXPECT_FALSE(IsWindowVisible(f->Handle)) << f->Text();
  EXPECT_EQ(seam.Unscripted, 0);
  Form1->Hide();
  delete AddDLLFrm;
  delete AddShortFrm;
  delete AboutFrm;
  delete AddRegFrm;
  delete AddFileFrm;
  delete Form1;
}

// ---- every dialog, with the keyboard -------------------------------------------------------------
// Each opens with the first control of its tab order focused (the registry dialog in its Path,
// where its show puts the focus), and neither Enter nor Escape presses a button there: the
// dialog stays open and nothing is asked or appended. Only the About box opens on its button,
// Close, which Enter presses as it presses every focused button.
TEST(Keyboard, EachDialogOpensOnItsFirstControlAndEnterAndEscapePressNoOtherButton) {
  TScriptedDialogs seam;
  TForm1 wizard;
  wizard.FileList.AddRow({"<InstallRoot>\\a.dll", "C:\\src\\a.dll", "Required Files"});
  TAddFileFrm addFile;
  TAddRegFrm addReg;
  TAboutFrm about;
  TAddShortFrm addShort;
  TAddDLLFrm addDll;
  struct Case { ui::TForm* dlg; ui::TControl* focus; bool firstOfTabOrder; bool enterCloses; };
  for (Case c : {Case{&addFile, &addFile.ListBox1, true, false}, Case{&addReg, &addReg.Edit1, false, false},
                 Case{&about, &about.Button1, true, true}, Case{&addShort, &addShort.ComboBox2, true, false},
                 Case{&addDll, &addDll.ComboBox, true, false}}) {
    SCOPED_TRACE(c.dlg->Text());
    HWND first = nullptr, focus = nullptr;
    bool openAfterKeys = false;
    RunModal(*c.dlg, [&] {
      first = GetNextDlgTabItem(c.dlg->Handle, nullptr, FALSE);
      // On a busy machine the dialog's activation may come a little after its first message.
      ui::testing::PumpUntil([] { return GetFocus() != nullptr; });
      focus = GetFocus();
      for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
        PostMessageA(GetFocus(), WM_KEYUP, key, 0xC0000001);
      }
      ui::testing::Pump();
      openAfterKeys = c.dlg->ModalResult == ui::mrNone;
    });
    ASSERT_NE(focus, nullptr) << "nothing focused";
    EXPECT_TRUE(focus == c.focus->Handle || GetParent(focus) == c.focus->Handle) << c.focus->Name;
    if (c.firstOfTabOrder) {
      EXPECT_EQ(first, c.focus->Handle);
    }
    EXPECT_EQ(openAfterKeys, !c.enterCloses);
  }
  EXPECT_TRUE(seam.Asked.empty());
  EXPECT_EQ(wizard.FileList.Count(), 1);
  EXPECT_EQ(wizard.Registry.Count(), 0);
  EXPECT_EQ(wizard.ShortCuts.Count(), 0);
  EXPECT_EQ(wizard.DLLList.Count(), 0);
}

// ---- About box ---------------------------------------------------------------------------------
TEST(AboutBox, PictureLabelsAndFonts) {
  TForm1 wizard;  // the main window
  TAboutFrm about;
  ExpectCaptions(about, "About Corvantaine 2",
                 {{"Label1", "Corvantaine v2.08"}, {"Label2", "Setup Creator"}, {"Button1", "Close"}});
  DWORD major = 0, minor = 0;
  ASSERT_TRUE(ui::WindowsVersion(major, minor));
  const char* face = (major == 4 && minor > 0) || major > 4 ? "Tahoma" : "MS Sans Serif";
  EXPECT_EQ(about.Font.Name, face);
  EXPECT_EQ(about.Font.Size, 8);
  struct Want { ui::TLabel* label; int size; };
  for (Want w : {Want{&about.Label1, 10}, Want{&about.Label2, 8}}) {
    EXPECT_FALSE(w.label->ParentFont) << w.label->Name;
    EXPECT_EQ(w.label->Font.Name, face);
    EXPECT_EQ(w.label->Font.Size, w.size);
    EXPECT_TRUE(w.label->Font.Bold);
    EXPECT_EQ(FaceOf(w.label->Handle), face);
  }
  EXPECT_EQ(FaceOf(about.Button1.Handle), face);
  // The picture: 50 by 50, its ground in the window's own colour.
  EXPECT_EQ(about.Image1.Width(), 50);
  EXPECT_EQ(about.Image1.Height(), 50);
  HBITMAP b = about.Image1.Bitmap();
  ASSERT_NE(b, nullptr);
  BITMAP bm;
  ASSERT_TRUE(GetObjectA(b, sizeof bm, &bm));
  EXPECT_EQ(bm.bmWidth, 50);
  EXPECT_EQ(bm.bmHeight, 50);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b);
  const COLORREF ground = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(GetPixel(dc, 49, 0), ground);
  EXPECT_EQ(GetPixel(dc, 0, 49), ground);
  EXPECT_NE(GetPixel(dc, 20, 12), ground);  // the screen
  SelectObject(dc, old);
  DeleteDC(dc);
  // Image left, the labels right of it, Close at the bottom centre.
  EXPECT_GT(about.Label1.Left(), about.Image1.Left() + 50);
  EXPECT_GT(about.Label2.Top(), about.Label1.Top());
  RECT client;
  GetClientRect(about.Handle, &client);
  EXPECT_NEAR(about.Button1.Left() + about.Button1.Width() / 2, client.right / 2, 1);
  EXPECT_GT(about.Button1.Top(), about.Image1.Top() + 50);
  // Centred on the screen, and Close closes it.
  RECT frame;
  GetWindowRect(about.Handle, &frame);
  EXPECT_TRUE(RunModal(about, [&] {
    GetWindowRect(about.Handle, &frame);
    about.Button1.Click();
  }));
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

// The Windows version that the platform reports follows the program's file name under
// HKCU\Software\Wine\AppDefaults, so copies of this test under names of their own each see one.
TEST(AboutFontChild, BoxTakesTheExpectedFont) {
  char want[64];
  if (!GetEnvironmentVariableA("CV_EXPECT_ABOUT_FONT", want, sizeof want)) GTEST_SKIP() << "run by AboutBox";
  TAboutFrm about;
  EXPECT_EQ(about.Font.Name, want);
  EXPECT_EQ(about.Label1.Font.Name, want);
  EXPECT_EQ(about.Label2.Font.Name, want);
  EXPECT_EQ(about.Label1.Font.Size, 10);  // sizes and styles stay
  EXPECT_TRUE(about.Label1.Font.Bold);
  EXPECT_EQ(about.Label2.Font.Size, 8);
  EXPECT_TRUE(about.Label2.Font.Bold);
  EXPECT_EQ(FaceOf(about.Button1.Handle), want);
}

TEST(AboutBox, FontFollowsTheWindowsVersion) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  struct Case { const char* version; const char* font; };
  for (Case c : {Case{"win95", "MS Sans Serif"}, Case{"nt40", "MS Sans Serif"}, Case{"win98", "Tahoma"}}) {
    SCOPED_TRACE(c.version);
    std::string name = "cvabout_" + std::to_string(GetCurrentProcessId()) + "_" + c.version + ".exe";
    testsupport::RunAsWindowsVersion(temp + name, c.version, "AboutFontChild.*", "CV_EXPECT_ABOUT_FONT", c.font);
  }
}

}  // namespace

// The window layer under Wine's null display driver: windows and controls, the click rule,
// the seam, the hand-over to the user-interface thread, modal windows, the layer's own dialogs.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "ui/dialogs.h"
#include "ui/testing.h"
#include "ui/ui.h"

using namespace ui;
using ui::testing::TAsked;
using ui::testing::TScriptedDialogs;

namespace {

class TSample : public TForm {
public:
  TSample() : TForm("Sample", 300, 200) {
    Box.OnClick = [this] { ++BoxClicks; };
    A.OnClick = [this] { ++AClicks; };
    B.OnClick = [this] { ++BClicks; };
    ActiveControl = &Ok;
  }
  TButton Ok{*this, "Ok", "&OK", 10, 170, 75, 22};
  TCheckBox Box{*this, "Box", "Tick", 10, 10, 100};
  TGroupBox Group{*this, "Group", "Choice", 120, 10, 170, 70};
  TRadioButton A{Group, "A", "A", 8, 16, 100, 17, true};
  TRadioButton B{Group, "B", "B", 8, 36, 100, 17};
  TRadioButton Other{*this, "Other", "Other group", 10, 40, 100, 17, true};
  TPanel Header{*this, "Header", "Header", 10, 90, 280, 20};
  TListView List{*this, "List", {{"One", 50}, {"Two", 60}, {"Three", 70}}, 10, 112, 200, 50};
  int BoxClicks = 0, AClicks = 0, BClicks = 0;
};

std::string FaceOf(HWND h) {
  LOGFONTA lf{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf.lfFaceName;
}

TEST(Window, FormAndControlsExistWithTheirTextsAndGeometry) {
  TSample f;
  RECT r;
  GetClientRect(f.Handle, &r);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 200);
  EXPECT_EQ(f.Text(), "Sample");
  EXPECT_EQ(f.Ok.Text(), "&OK");
  EXPECT_EQ(f.FindControl("B"), &f.B);
  EXPECT_EQ(f.FindControl("nothing"), nullptr);
  EXPECT_EQ(f.B.Left(), 8);  // relative to its group box
  EXPECT_EQ(f.B.Top(), 36);
  EXPECT_EQ(GetParent(f.B.Handle), f.Group.Handle);
  // Centred on the 1024 x 768 screen.
  GetWindowRect(f.Handle, &r);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_FALSE(GetWindowLongA(f.Handle, GWL_STYLE) & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(GetWindowLongA(f.Handle, GWL_STYLE) & WS_MINIMIZEBOX);
}

TEST(Window, FontPassesToControlsThatTakeTheirParentsFont) {
  TSample f;
  f.Header.SetFont({"MS Sans Serif", 8, true});
  EXPECT_EQ(FaceOf(f.Ok.Handle), "MS Sans Serif");
  TFontSpec t = f.Font;
  t.Name = "Tahoma";
  f.SetFont(t);
  EXPECT_EQ(FaceOf(f.Ok.Handle), "Tahoma");
  EXPECT_EQ(FaceOf(f.B.Handle), "Tahoma");  // inside the group box
  EXPECT_EQ(f.Header.Font.Name, "MS Sans Serif");  // a font of its own stays
  EXPECT_TRUE(f.Header.Font.Bold);
}

TEST(Window, ProgramChangesOfCheckBoxesAndRadioButtonsRunTheirClickHandlers) {
  TSample f;
  struct Step { const char* what; bool boxTo; int boxClicks; };
  for (Step s : {Step{"tick", true, 1}, Step{"tick again: no change", true, 1}, Step{"untick", false, 2},
                 Step{"untick again", false, 2}}) {
    f.Box.SetChecked(s.boxTo);
    EXPECT_EQ(f.Box.Checked(), s.boxTo) << s.what;
    EXPECT_EQ(f.BoxClicks, s.boxClicks) << s.what;
  }
  // A user's click toggles and runs the handler once.
  SendMessageA(f.Box.Handle, BM_CLICK, 0, 0);
  EXPECT_TRUE(f.Box.Checked());
  EXPECT_EQ(f.BoxClicks, 3);

  f.B.SetChecked(true);  // becomes checked: handler; A unchecked without its handler
  EXPECT_TRUE(f.B.Checked());
  EXPECT_FALSE(f.A.Checked());
  EXPECT_TRUE(f.Other.Checked()) << "another parent, another group";
  EXPECT_EQ(f.BClicks, 1);
  EXPECT_EQ(f.AClicks, 0);
  f.B.SetChecked(true);  // already checked: nothing
  EXPECT_EQ(f.BClicks, 1);
  f.B.SetChecked(false);  // unchecking checks nothing else and runs nothing
  EXPECT_FALSE(f.A.Checked());
  EXPECT_FALSE(f.B.Checked());
  EXPECT_EQ(f.BClicks, 1);
  SendMessageA(f.A.Handle, BM_CLICK, 0, 0);  // the user's click
  EXPECT_TRUE(f.A.Checked());
  EXPECT_EQ(f.AClicks, 1);
}

TEST(Window, ListViewRowsCellsSelectionAndColumns) {
  TSample f;
  EXPECT_EQ(f.List.ColumnCount(), 3);
  EXPECT_EQ(f.List.ColumnCaption(1), "Two");
  EXPECT_EQ(f.List.ColumnWidth(2), 70);
  std::string longText(5000, 'x');
  f.List.BeginUpdate();
  f.List.AddRow({"a", "b", "c"});
  f.List.AddRow({"d", longText});
  f.List.EndUpdate();
  EXPECT_EQ(f.List.Count(), 2);
  EXPECT_EQ(f.List.Row(0), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(f.List.Cell(1, 1), longText);
  EXPECT_EQ(f.List.Cell(1, 2), "");
  f.List.SetSelected(0, true);
  f.List.SetSelected(1, true);
  EXPECT_EQ(f.List.SelCount(), 2);
  f.List.Delete(0);
  EXPECT_EQ(f.List.Cell(0, 0), "d");
  EXPECT_TRUE(f.List.Selected(0));
}

TEST(Window, OtherControls) {
  TForm f("Other", 400, 300);
  TListBox lb(f, "lb", 0, 0, 100, 100);
  EXPECT_EQ(lb.ItemIndex(), -1);
  lb.Add("z");
  lb.Add("a");
  EXPECT_EQ(lb.Items(), (std::vector<std::string>{"z", "a"})) << "unsorted";
  lb.SetItemIndex(1);
  EXPECT_EQ(lb.ItemIndex(), 1);

  TComboBox edit(f, "edit", TComboStyle::DropDown, 0, 110, 100, 100, 5);
  edit.Add("one");
  edit.SetText("typed");
  EXPECT_EQ(edit.Text(), "typed");
  edit.Clear();
  EXPECT_EQ(edit.Count(), 0);
  EXPECT_EQ(edit.Text(), "");
  TComboBox list(f, "list", TComboStyle::DropDownList, 0, 140, 100);
  list.Add("x");
  list.Add("y");
  list.SetText("y");
  EXPECT_EQ(list.ItemIndex(), 1);
  EXPECT_EQ(list.Text(), "y");
  list.SetText("absent");
  EXPECT_EQ(list.ItemIndex(), -1);

  TEdit e(f, "e", "", 0, 170, 100, 21, 255);
  EXPECT_EQ(e.MaxLength(), 255);

  TNotebook nb(f, "nb", {"P0", "P1", "P2"}, 200, 0, 200, 200);
  TLabel onPage1(nb.Page(1), "onPage1", "here", 0, 0);
  EXPECT_EQ(nb.PageIndex(), 0);
  EXPECT_TRUE(nb.Page(0).Visible());
  nb.SetPageIndex(2);
  EXPECT_EQ(nb.PageIndex(), 2);
  EXPECT_FALSE(nb.Page(0).Visible());
  EXPECT_TRUE(nb.Page(2).Visible());
  EXPECT_EQ(nb.Page(1).Name, "P1");

  struct Spin { const char* text; int value; };
  TSpinEdit spin(f, "spin", 0, 200, 60, 21, 0, 65535);
  for (Spin s : {Spin{"12", 12}, Spin{"", 0}, Spin{"abc", 0}, Spin{"12x", 0}, Spin{"70000", 65535},
                 Spin{"-5", 0}}) {
    spin.SetText(s.text);
    EXPECT_EQ(spin.Value(), s.value) << s.text;
  }

  TCheckListBox clb(f, "clb", 0, 230, 150, 60, 20);
  clb.Add("first");
  clb.Add("second");
  clb.SetChecked(1, true);
  EXPECT_FALSE(clb.Checked(0));
  EXPECT_TRUE(clb.Checked(1));
  EXPECT_EQ(clb.Item(1), "second");

  TProgressBar bar(f, "bar", 160, 230, 100, 17);
  bar.SetPosition(42);
  EXPECT_EQ(bar.Position(), 42);

  TButton flat(f, "flat", "+", 300, 250, 20, 20, true);
  flat.SetHint("Add Command");
  EXPECT_EQ(flat.Hint, "Add Command");
  EXPECT_NE(f.Tooltip, nullptr);
}

TEST(Window, TimerFiresOnTheMessageLoop) {
  TForm f("Timer", 100, 100);
  TTimer t(f, 1);
  int fired = 0;
  t.OnTimer = [&] {
    ++fired;
    t.SetEnabled(false);  // one shot
  };
  t.SetEnabled(true);
  EXPECT_TRUE(ui::testing::PumpUntil([&] { return fired > 0; }));
  ui::testing::PumpUntil([] { return false; }, 50);
  EXPECT_EQ(fired, 1);
}

TEST(Seam, ScriptedAnswererRecordsWhatWasAskedAndAnswersInOrder) {
  TScriptedDialogs d;
  Application.Title = "App";
  d.Answer(IDNO);
  d.AnswerFile("C:\\a.sds");
  d.AnswerCancel();
  d.AnswerText("cmd");
  d.Answer(3);
  d.AnswerText("C:\\out");
  EXPECT_EQ(ui::BeepMsgBox(nullptr, "Error!", MB_ICONERROR | MB_OK), IDOK);  // takes no answer
  EXPECT_EQ(ui::MsgBox(nullptr, "Save?", MB_ICONWARNING | MB_YESNOCANCEL), IDNO);
  TFileDialog fd;
  fd.Title = "Open";
  EXPECT_TRUE(Dialogs().OpenFile(nullptr, fd));
  EXPECT_EQ(fd.FileName, "C:\\a.sds");
  EXPECT_FALSE(Dialogs().SaveFile(nullptr, fd));
  std::string v;
  EXPECT_TRUE(Dialogs().InputBox(nullptr, "Cap", "Prompt", v, 255));
  EXPECT_EQ(v, "cmd");
  ui::Beep();
  EXPECT_EQ(Dialogs().Question(nullptr, "Overwrite?", "Setup", MB_ICONQUESTION,
                               {"&Yes", "Yes to &All", "&No", "N&o to All"}),
            3);
  std::string folder = "C:\\in";
  EXPECT_TRUE(Dialogs().BrowseFolder(nullptr, "Pick", folder));
  EXPECT_EQ(folder, "C:\\out");
  EXPECT_EQ(Dialogs().Question(nullptr, "More?", "", MB_ICONQUESTION, {"a"}), -1);  // no answer left
  EXPECT_EQ(d.Unscripted, 1);

  ASSERT_EQ(d.Asked.size(), 8u);
  EXPECT_EQ(d.Beeps, 2);
  struct Row { TAsked::TKind kind; bool beep; const char* text; const char* caption; };
  Row want[] = {{TAsked::Message, true, "Error!", "App"},     {TAsked::Message, false, "Save?", "App"},
                {TAsked::OpenFile, false, "", "Open"},        {TAsked::SaveFile, false, "", "Open"},
                {TAsked::InputBox, false, "Prompt", "Cap"},   {TAsked::Question, true, "Overwrite?", "Setup"},
                {TAsked::BrowseFolder, false, "Pick", ""},    {TAsked::Question, false, "More?", ""}};
  for (size_t i = 0; i < std::size(want); ++i) {
    EXPECT_EQ(d.Asked[i].Kind, want[i].kind) << i;
    EXPECT_EQ(d.Asked[i].Beep, want[i].beep) << i;
    EXPECT_EQ(d.Asked[i].Text, want[i].text) << i;
    EXPECT_EQ(d.Asked[i].Caption, want[i].caption) << i;
  }
  EXPECT_EQ(d.Asked[0].Icon(), UINT(MB_ICONERROR));
  EXPECT_EQ(d.Asked[1].ButtonSet(), UINT(MB_YESNOCANCEL));
  EXPECT_EQ(d.Asked[4].MaxLength, 255);
  EXPECT_EQ(d.Asked[5].Buttons[1], "Yes to &All");
  EXPECT_EQ(d.Asked[6].Value, "C:\\in");
}

TEST(Seam, PopupMenuRunsTheChosenItem) {
  TScriptedDialogs d;
  TForm f("Menu", 100, 100);
  TPopupMenu menu(f);
  TMenuItem first(menu, "Add Files..."), second(menu, "Add Folder Content...");
  int which = 0;
  first.OnClick = [&] { which = 1; };
  second.OnClick = [&] { which = 2; };
  d.Answer(1);
  menu.Popup(10, 20);
  EXPECT_EQ(which, 2);
  ASSERT_EQ(d.Asked.size(), 1u);
  EXPECT_EQ(d.Asked[0].Buttons, (std::vector<std::string>{"Add Files...", "Add Folder Content..."}));
  EXPECT_EQ(d.Asked[0].Text, "10,20");
  which = 0;
  d.AnswerCancel();
  menu.Popup(0, 0);
  EXPECT_EQ(which, 0);
}

// The layer's own dialogs, driven from inside their modal loops.
struct TFind {
  const char* Text;
  HWND Found;
};
BOOL CALLBACK MatchText(HWND h, LPARAM p) {
  auto* f = reinterpret_cast<TFind*>(p);
  char buf[256];
  GetWindowTextA(h, buf, sizeof buf);
  if (lstrcmpA(buf, f->Text) != 0) return TRUE;
  f->Found = h;
  return FALSE;
}
HWND FindChildByText(HWND parent, const char* text) {
  TFind f{text, nullptr};
  EnumChildWindows(parent, MatchText, reinterpret_cast<LPARAM>(&f));
  return f.Found;
}

TEST(RealDialogs, WithoutTheFullSetFilesInputAndMenusAnswerCancelledAndShowNothing) {
  ui::Init();
  TRealDialogs basic;  // what setup.exe links
  TFileDialog fd;
  fd.FileName = "C:\\a.sds";
  std::string v = "before";
  EXPECT_FALSE(basic.OpenFile(nullptr, fd));
  EXPECT_FALSE(basic.SaveFile(nullptr, fd));
  EXPECT_EQ(fd.FileName, "C:\\a.sds");
  EXPECT_TRUE(fd.Files.empty());
  EXPECT_FALSE(basic.InputBox(nullptr, "Cap", "Prompt", v, 10));
  EXPECT_EQ(v, "before");
  EXPECT_EQ(basic.Popup(nullptr, {"a", "b"}, POINT{0, 0}), -1);
}

TEST(RealDialogs, TheFullSetBecomesTheRealOneAndLeavesAnInstalledAnswererInPlace) {
  ui::Init();
  {
    TScriptedDialogs d;
    UseFullDialogs();
    EXPECT_EQ(&Dialogs(), &d) << "the answerer installed before stays in place";
    d.AnswerText("typed");
    std::string v;
    EXPECT_TRUE(Dialogs().InputBox(nullptr, "Cap", "Prompt", v, 0));
    EXPECT_EQ(v, "typed");
  }
  // Back on the real side: the input box of the full set shows.
  bool shown = false;
  PostCall([&shown] {
    HWND box = FindWindowA(nullptr, "Full set");
    shown = box != nullptr;
    PostMessageA(box, WM_CLOSE, 0, 0);
  });
  std::string v = "before";
  EXPECT_FALSE(Dialogs().InputBox(nullptr, "Full set", "Enter:", v, 0));
  ui::testing::Pump();
  EXPECT_TRUE(shown);
  EXPECT_EQ(v, "before");
}

TEST(RealDialogs, InputBoxTakesTheTypedTextOnOkAndNothingOnCancel) {
  ui::Init();
  UseFullDialogs();
  for (bool ok : {true, false}) {
    PostCall([ok] {
      HWND box = FindWindowA(nullptr, "Post-Installation Command");
      ASSERT_NE(box, nullptr);
      HWND edit = FindWindowExA(box, nullptr, "EDIT", nullptr);
      ASSERT_NE(edit, nullptr);
      EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 10);
      SetWindowTextA(edit, "regedit /s");
      SendMessageA(FindChildByText(box, ok ? "OK" : "Cancel"), BM_CLICK, 0, 0);
    });
    std::string v = "before";
    EXPECT_EQ(Dialogs().InputBox(nullptr, "Post-Installation Command", "Enter a command:", v, 10), ok);
    EXPECT_EQ(v, ok ? "regedit /s" : "before");
  }
}

TEST(RealDialogs, QuestionWithButtonsOfItsOwnReturnsThePressedOne) {
  ui::Init();
  const std::vector<std::string> buttons{"&Yes", "Yes to &All", "&No", "N&o to All"};
  for (int i = 0; i < 4; ++i) {
    PostCall([&, i] {
      HWND box = FindWindowA(nullptr, "Overwrite");
      ASSERT_NE(box, nullptr);
      SendMessageA(FindChildByText(box, buttons[i].c_str()), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(Dialogs().Question(nullptr, "Replace the file?", "Overwrite", MB_ICONQUESTION, buttons), i);
  }
  PostCall([] { PostMessageA(FindWindowA(nullptr, "Overwrite"), WM_CLOSE, 0, 0); });
  EXPECT_EQ(Dialogs().Question(nullptr, "Replace the file?", "Overwrite", MB_ICONQUESTION, buttons), -1);
}

// Keys as the keyboard delivers them: to the window that has the focus, through the modal loop.
void PressKeys(const std::vector<WPARAM>& keys) {
  for (WPARAM k : keys) {
    PostMessageA(GetFocus(), WM_KEYDOWN, k, 1);
    PostMessageA(GetFocus(), WM_KEYUP, k, 0xC0000001);
  }
}

TEST(RealDialogs, QuestionAnswersEnterEscapeAndTheTitleBar) {
  ui::Init();
  const std::vector<std::string> buttons{"&Yes", "&No", "N&o to All", "Yes to &All"};
  struct Case {
    const char* what;
    std::vector<WPARAM> keys;  // none: the title bar's close box
    int escapeButton, want;
  };
  for (const Case& c : {Case{"Enter", {VK_RETURN}, 1, 0}, Case{"Escape", {VK_ESCAPE}, 1, 1},
                        Case{"Tab to the second, Enter", {VK_TAB, VK_RETURN}, 1, 1},
                        Case{"Tab to the third, Enter", {VK_TAB, VK_TAB, VK_RETURN}, 1, 2},
                        Case{"Escape without an Escape button, then Enter", {VK_ESCAPE, VK_RETURN}, -1, 0},
                        Case{"close box", {}, 1, -1}}) {
    SCOPED_TRACE(c.what);
    char focus[32] = "";
    LRESULT defId = 0;
    PostCall([&] {
      // The box of this thread (other test programs show boxes too), once it is active: on a
      // busy machine the activation may come a little after the box's first message.
      HWND box = nullptr;
      for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, nullptr, "Overwrite keys")) != nullptr;)
        if (GetWindowThreadProcessId(h, nullptr) == GetCurrentThreadId()) box = h;
      ASSERT_NE(box, nullptr);
      EXPECT_TRUE(ui::testing::PumpUntil([box] { return GetActiveWindow() == box && GetFocus() != nullptr; }));
      GetWindowTextA(GetFocus(), focus, sizeof focus);
      defId = SendMessageA(box, DM_GETDEFID, 0, 0);
      if (c.keys.empty())
        PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
      else
        PressKeys(c.keys);
      // Keys that answer nothing leave the box open: it is closed after them, not waited for.
      PostCall([box] { PostMessageA(box, WM_CLOSE, 0, 0); });
    });
    EXPECT_EQ(Dialogs().Question(nullptr, "Replace the file?", "Overwrite keys", MB_ICONQUESTION, buttons, 0,
                                 c.escapeButton),
              c.want);
    EXPECT_STREQ(focus, "&Yes") << "the default button has the focus when the box opens";
    EXPECT_EQ(HIWORD(defId), DC_HASDEFID);
  }
}

TEST(Modal, ShowModalRunsUntilTheWindowClosesAndDisablesTheOthers) {
  TSample main;
  main.Show(SW_SHOWNA);
  TForm dialog("Dialog", 200, 100, TBorder::Dialog, TPosition::MainFormCenter);
  int shows = 0;
  bool mainEnabledDuring = true;
  dialog.OnShow = [&] { ++shows; };
  PostCall([&] {
    mainEnabledDuring = IsWindowEnabled(main.Handle);
    dialog.Close();
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(shows, 1);
  EXPECT_FALSE(mainEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(main.Handle));
  EXPECT_FALSE(IsWindowVisible(dialog.Handle));
  ui::testing::CloseWhenModal(dialog);
  dialog.ShowModal();
  EXPECT_EQ(shows, 2);
  main.Hide();
}

TEST(Modal, CloseQueryDecidesAndTheMainWindowEndsTheLoop) {
  TSample main;
  bool allow = false;
  int asked = 0;
  main.OnCloseQuery = [&](bool& can) {
    ++asked;
    can = allow;
  };
  SendMessageA(main.Handle, WM_CLOSE, 0, 0);  // the close box
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(IsWindow(main.Handle));
  allow = true;
  main.Close();
  EXPECT_EQ(main.Handle, nullptr);
  MSG m;
  EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the loop would end";
}

// ---- the keyboard --------------------------------------------------------------------------------
// A wizard of three pages (one without controls, one with a field, one with a radio group) and
// the buttons beneath them.
class TKeyboardSample : public TForm {
public:
  TKeyboardSample() : TForm("Keys", 300, 220) {
    Book.GoOn = {&Next, &Done};
    for (TButton* b : {&Back, &Next, &Done}) b->OnClick = [this, b] { Pressed.push_back(b->Name); };
    A.OnClick = [this] { Pressed.push_back("A"); };
    B.OnClick = [this] { Pressed.push_back("B"); };
  }
  TNotebook Book{*this, "Book", {"Words", "Field", "Choice"}, 0, 0, 300, 180};
  TLabel Words{Book.Page(0), "Words", "Nothing to type here", 8, 8};
  TEdit Field{Book.Page(1), "Field", "typed", 8, 8, 200};
  TRadioButton A{Book.Page(2), "A", "A", 8, 8, 100, 17, true};
  TRadioButton B{Book.Page(2), "B", "B", 8, 30, 100, 17};
  TButton Later{Book.Page(2), "Later", "Later", 8, 60, 75, 22};  // after the group
  TButton Back{*this, "Back", "&Back", 60, 190, 75, 22};
  TButton Next{*this, "Next", "&Next", 140, 190, 75, 22};
  TButton Done{*this, "Done", "&Done", 220, 190, 75, 22};
  std::vector<std::string> Pressed;

  void Open() {
    Book.SetPageIndex(0);  // as the window is made
    Show();
    ASSERT_TRUE(ui::testing::PumpUntil([this] { return GetActiveWindow() == Handle; }));
    ui::testing::Pump();  // the first page's focus
  }
  std::string Focused() const {
    TControl* c = nullptr;
    for (TControl* k : Controls) if (k->Handle == GetFocus()) c = k;
    return c ? c->Name : "-";
  }
  std::vector<std::string> Framed() const {  // the buttons with the default frame
    std::vector<std::string> v;
    for (TControl* c : Controls)
      if (dynamic_cast<TButton*>(c) && (GetWindowLongA(c->Handle, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        v.push_back(c->Name);
    return v;
  }
};

void Key(WPARAM key) {
  PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
  PostMessageA(GetFocus(), WM_KEYUP, key, 0xC0000001);
  ui::testing::Pump();
}

using TNames = std::vector<std::string>;

TEST(Keyboard, EnterPressesTheFocusedButtonHoweverTheFocusCameAndTheDefaultFrameFollows) {
  TKeyboardSample f;
  f.Open();
  EXPECT_EQ(f.Focused(), "Next") << "a page without controls: the first button that goes on";
  struct Case { const char* how; std::function<void()> focus; const char* button; TNames pressed; };
  for (const Case& c : {Case{"the page change", [] {}, "Next", {"Next"}},
                        Case{"the program", [&] { f.Back.SetFocus(); }, "Back", {"Back"}},
                        Case{"Tab", [&] { f.Back.SetFocus(); Key(VK_TAB); }, "Next", {"Next"}},
                        Case{"a click", [&] { SendMessageA(f.Done.Handle, BM_CLICK, 0, 0); }, "Done", {"Done", "Done"}}}) {
    SCOPED_TRACE(c.how);
    f.Book.SetPageIndex(0);
    ui::testing::Pump();
    f.Pressed.clear();
    c.focus();
    EXPECT_EQ(f.Focused(), c.button);
    EXPECT_EQ(f.Framed(), TNames{c.button});
    Key(VK_RETURN);
    EXPECT_EQ(f.Pressed, c.pressed);
  }
  f.Field.SetFocus();  // no push button focused, and no default button: no frame, Enter presses nothing
  EXPECT_EQ(f.Framed(), TNames{});
  f.Pressed.clear();
  Key(VK_RETURN);
  EXPECT_EQ(f.Pressed, TNames{});
  f.Done.MakeDefault();  // a default button: framed while no other push button has the focus
  EXPECT_EQ(f.Framed(), TNames{"Done"});
  Key(VK_RETURN);
  EXPECT_EQ(f.Pressed, TNames{"Done"});
  f.Back.SetFocus();
  EXPECT_EQ(f.Framed(), TNames{"Back"});
  f.Hide();
}

TEST(Keyboard, APageChangeFocusesThePageOrTheButtonThatGoesOnOnceItsHandlerHasRun) {
  TKeyboardSample f;
  f.Open();
  f.Field.SetFocus();
  f.Book.SetPageIndex(0);
  EXPECT_EQ(f.Focused(), "Field") << "not before the handler that changes the page has returned";
  f.Next.SetEnabled(false);  // as a handler does after the page change
  ui::testing::Pump();
  EXPECT_EQ(f.Focused(), "Done") << "Next is disabled: the next button that goes on";
  f.Next.SetEnabled(true);
  f.Book.SetPageIndex(1);
  ui::testing::Pump();
  EXPECT_EQ(f.Focused(), "Field");
  DWORD from = 0, to = 0;
  SendMessageA(f.Field.Handle, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 5u) << "its text selected, to be typed over";
  f.Book.SetPageIndex(2);
  ui::testing::Pump();
  EXPECT_EQ(f.Focused(), "A") << "the checked button of the group";
  f.Hide();
}

TEST(Keyboard, AnArrowSelectsWithinTheRadioGroupAndRunsTheHandler) {
  TKeyboardSample f;
  f.Open();
  f.Book.SetPageIndex(2);
  ui::testing::Pump();
  struct Step { WPARAM key; const char* to; };
  for (Step s : {Step{VK_DOWN, "B"}, Step{VK_DOWN, "A"}, Step{VK_RIGHT, "B"}, Step{VK_UP, "A"}, Step{VK_LEFT, "B"}}) {
    f.Pressed.clear();
    Key(s.key);
    EXPECT_EQ(f.Focused(), s.to) << "the group ends before Later";
    EXPECT_EQ(f.A.Checked(), s.to == std::string("A"));
    EXPECT_EQ(f.B.Checked(), s.to == std::string("B"));
    EXPECT_EQ(f.Pressed, TNames{s.to});
  }
  f.Hide();
}

TEST(Keyboard, DisablingTheFocusedControlMovesTheFocusOn) {
  TKeyboardSample f;
  f.Open();
  ASSERT_EQ(f.Focused(), "Next");
  f.Next.SetEnabled(false);
  EXPECT_EQ(f.Focused(), "Done");
  f.Back.SetEnabled(false);  // not focused: the focus stays
  EXPECT_EQ(f.Focused(), "Done");
  f.Hide();
}

// ---- threads -----------------------------------------------------------------------------------
class TWorker : public TThread {
public:
  std::function<void()> Body;
  std::atomic<bool>* Freed = nullptr;
  ~TWorker() override {
    if (Freed) *Freed = true;
  }
protected:
  void Execute() override { Body(); }
};

TEST(Thread, SynchronizeRunsOnTheUserInterfaceThreadAndPassesErrorsBack) {
  ui::Init();
  DWORD ui = GetCurrentThreadId(), ranOn = 0;
  std::string caught;
  TWorker w;
  w.Body = [&] {
    TThread::Synchronize([&] { ranOn = GetCurrentThreadId(); });
    try {
      TThread::Synchronize([] { throw std::runtime_error("from the call"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
  };
  EXPECT_EQ(WaitForSingleObject(w.Handle, 50), WAIT_TIMEOUT) << "created suspended";
  w.Resume();
  w.WaitFor();  // serves the hand-overs while it waits
  EXPECT_TRUE(w.Finished);
  EXPECT_EQ(ranOn, ui);
  EXPECT_EQ(caught, "from the call");

  bool atOnce = false;  // on the user-interface thread the call runs at once
  TThread::Synchronize([&] { atOnce = true; });
  EXPECT_TRUE(atOnce);
  EXPECT_THROW(TThread::Synchronize([] { throw std::logic_error("x"); }), std::logic_error);
}

TEST(Thread, FreeOnTerminateDeletesTheThreadAndAnEscapingErrorIsSwallowed) {
  ui::Init();
  std::atomic<bool> freed = false;
  auto* w = new TWorker;
  w->Freed = &freed;
  w->FreeOnTerminate = true;
  w->SetPriority(THREAD_PRIORITY_BELOW_NORMAL);
  EXPECT_EQ(GetThreadPriority(w->Handle), THREAD_PRIORITY_BELOW_NORMAL);
  w->Body = [] { throw std::runtime_error("lost"); };
  w->Resume();
  EXPECT_TRUE(ui::testing::PumpUntil([&] { return freed.load(); }));
}

}  // namespace

namespace {
int TextWidth(const std::string& text, const TFontSpec& f) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FontHandle(f));
  SIZE s;
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return s.cx;
}
}  // namespace

// An auto-sized label is as wide as its text, also after a change of font, and never wraps
// its last word away when the text fits exactly.
TEST(Window, AnAutoSizedLabelFitsItsTextInEveryFont) {
  TForm f("Labels", 600, 100);
  TPanel page(f, "page", "", 0, 0, 600, 100);
  const std::string text = "required. The commands will be executed without further confirmation.";
  TLabel l(page, "l", text, 8, 8);
  EXPECT_GE(l.Width(), TextWidth(text, l.Font));
  TFontSpec t = f.Font;
  t.Name = "Tahoma";
  f.SetFont(t);
  EXPECT_EQ(l.Font.Name, "Tahoma");
  EXPECT_GE(l.Width(), TextWidth(text, t));
  l.SetText(text + " and more");
  EXPECT_GE(l.Width(), TextWidth(text + " and more", t));
  EXPECT_EQ(GetWindowLongA(l.Handle, GWL_STYLE) & SS_TYPEMASK, SS_LEFTNOWORDWRAP) << "no word wrap";
}

TEST(Application, TheTaskBarButtonCarriesTheTitleAndStandsForTheMainWindow) {
  ui::Init();
  Application.Title = "Task Bar Title";
  TSample main;
  ASSERT_EQ(Application.MainForm, &main);
  EXPECT_EQ(GetWindow(main.Handle, GW_OWNER), Application.Handle);
  bool during = false, minimisedTogether = false, restoredTogether = false;
  std::string title;
  PostCall([&] {
    char buf[64];
    GetWindowTextA(Application.Handle, buf, sizeof buf);
    title = buf;
    RECT r;
    GetWindowRect(Application.Handle, &r);
    during = IsWindowVisible(Application.Handle) && IsWindowVisible(main.Handle) && r.right == r.left;
    SendMessageA(main.Handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);  // the main window's minimise box
    minimisedTogether = IsIconic(Application.Handle) && !IsWindowVisible(main.Handle);
    ShowWindow(Application.Handle, SW_SHOWNOACTIVATE);  // back from the task bar
    ShowWindow(Application.Handle, SW_RESTORE);
    restoredTogether = !IsIconic(Application.Handle) && IsWindowVisible(main.Handle);
    main.Close();
  });
  Application.Run(SW_SHOWNA);
  EXPECT_EQ(title, "Task Bar Title");
  EXPECT_TRUE(during) << "a button without a window to be seen";
  EXPECT_TRUE(minimisedTogether);
  EXPECT_TRUE(restoredTogether);
  EXPECT_FALSE(IsWindowVisible(Application.Handle)) << "gone with the main window";
}

namespace {
// The ink of the label as the control draws it (WM_PRINTCLIENT) into a bitmap of its own: per
// pixel, row by row, its colour where it is neither the ground nor the control's background.
std::vector<COLORREF> Drawn(HWND label, int width, int height) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP b = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(dc, b);
  RECT all{0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SendMessageA(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      pixels.push_back(c == RGB(255, 255, 255) || c == GetSysColor(COLOR_BTNFACE) ? CLR_INVALID : c);
    }
  SelectObject(dc, old);
  DeleteObject(b);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// True when the control draws its whole text inside its size: given more room it draws the same.
bool DrawsWholly(HWND label) {
  RECT r;
  GetClientRect(label, &r);
  const int w = r.right, h = r.bottom, roomW = w + 40, roomH = h + 20;
  std::vector<COLORREF> inPlace = Drawn(label, roomW, roomH);
  SetWindowPos(label, nullptr, 0, 0, roomW, roomH, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  std::vector<COLORREF> withRoom = Drawn(label, roomW, roomH);
  SetWindowPos(label, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return inPlace == withRoom;
}
}  // namespace

// What an auto-sized label draws lies wholly inside it, whatever the text and the font: the
// last glyph and the last word are never cut.
TEST(Window, AnAutoSizedLabelDrawsAllOfItsText) {
  TForm f("Labels", 600, 100);
  TPanel page(f, "page", "", 0, 0, 600, 100);
  const char* texts[] = {"Select all files you want to be installed by the Setup.",
                         "You can set which registry values will be changed or created during the",
                         "Corvantaine", "Destination Folder:", "Tabs\tand &accelerators", "W", "."};
  const TFontSpec fonts[] = {{"MS Sans Serif", 8}, {"Tahoma", 8}, {"Tahoma", 8, true},
                             {"MS Sans Serif", 10, true}, {"MS Sans Serif", 8, false, CLR_INVALID, true}};
  for (const TFontSpec& font : fonts)
    for (const char* text : texts) {
      TLabel l(page, "l", text, 8, 8);
      l.SetFont(font);
      EXPECT_TRUE(DrawsWholly(l.Handle)) << font.Name << " " << font.Size << (font.Bold ? " bold" : "") << ": " << text;
      l.SetText(std::string(text) + " more");
      EXPECT_TRUE(DrawsWholly(l.Handle)) << "after a change of text: " << text;
    }
}

// A read-only memo shows the window background of the other fields, not the page's grey; a
// disabled one stays grey, as disabled fields are.
TEST(Window, AReadOnlyMemoHasTheBackgroundOfAField) {
  TForm f("Memo", 300, 200);
  TPanel page(f, "page", "", 0, 0, 300, 200);
  TMemo readOnly(page, "readOnly", 8, 8, 200, 60, true);
  TMemo disabled(page, "disabled", 8, 80, 200, 60, true);
  TEdit field(page, "field", "", 8, 150, 200);
  readOnly.SetText("Licence");
  disabled.SetEnabled(false);
  ASSERT_NE(GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_BTNFACE));
  struct Case { const TControl* c; int want; } cases[] = {
      {&readOnly, COLOR_WINDOW}, {&disabled, COLOR_BTNFACE}, {&field, COLOR_WINDOW}};
  for (const Case& c : cases) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP b = CreateCompatibleBitmap(screen, 200, 60);
    HGDIOBJ old = SelectObject(dc, b);
    SendMessageA(c.c->Handle, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    EXPECT_EQ(GetPixel(dc, 150, 10), GetSysColor(c.want)) << c.c->Name;  // right of the text
    SelectObject(dc, old);
    DeleteObject(b);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  }
}

// The text of the layer's question box is drawn whole, however its lines end.
TEST(RealDialogs, TheQuestionTextIsDrawnWhole) {
  ui::Init();
  const std::string text = "The File readme.txt already exists.\r\nDo you want this existing file to be replaced with\r\n"
                           "the one from this package?";
  bool whole = false, found = false;
  PostCall([&] {
    HWND box = GetActiveWindow();
    HWND label = FindChildByText(box, text.c_str());
    found = label != nullptr;
    if (label) whole = DrawsWholly(label);
    PostMessageA(box, WM_CLOSE, 0, 0);
  });
  Dialogs().Question(nullptr, text, "Confirm text", MB_ICONQUESTION, {"&Yes", "&No", "N&o to All", "Yes to &All"});
  EXPECT_TRUE(found);
  EXPECT_TRUE(whole);
}

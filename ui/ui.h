// The thin window-and-thread layer of both programs.
//
// A window is a class derived from TForm; its controls are public members, constructed in
// declaration order with their parent, name, caption and client rectangle, so the class reads
// like the window it makes. Each wrapper keeps its HWND public (Handle) and its methods are
// one-line calls of the Win32 function behind them. Handlers are bound in the form's
// constructor: `Button2.OnClick = [this] { Button2Click(); };`.
//
//   class TMyForm : public ui::TForm {
//   public:
//     TMyForm() : TForm("Caption", 300, 200) { Button1.OnClick = [this] { Button1Click(); }; }
//     ui::TButton Button1{*this, "Button1", "&OK", 10, 10, 75, 22};
//     void Button1Click() { Close(); }
//   };
//
// Rules built in once, here:
// - Tab order is the order of creation; containers (TPanel, TGroupBox, notebook pages) take
//   part in keyboard navigation. Control positions are relative to their parent container.
// - A check box whose state the program changes (SetChecked) runs its OnClick, as a user's
//   click does; a radio button runs its OnClick when it becomes checked, by the user (a click,
//   or an arrow key within its group) or by the program. Radio buttons created one after another
//   with the same parent form one group: checking one unchecks the others, and the arrow keys
//   move round it.
// - The keyboard as in a dialog: Tab and Shift+Tab walk the tab order (an edit reached so shows
//   its text selected); Enter presses the focused push button, however it got the focus, and
//   elsewhere the window's default button (MakeDefault), if any; the default frame follows the
//   focus. A notebook's page change puts the focus on the page's first control, or on the first
//   usable of the notebook's GoOn buttons when the page has none.
// - Controls take their form's font (ParentFont) unless given one of their own (SetFont).
// - Every message box, beep, file dialog, folder browser, input box and pop-up menu goes through
//   Dialogs(), the one seam that tests replace (ui/testing.h).
// - TThread::Synchronize hands a call to the user-interface thread and waits; an exception
//   raised by the call is raised again in the calling thread.
//
// Text is ANSI throughout. Everything but TThread::Synchronize belongs to the user-interface
// thread (the thread that created the first window).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace ui {

using TNotify = std::function<void()>;

// ---- fonts -------------------------------------------------------------------------------------
struct TFontSpec {
  std::string Name = "MS Sans Serif";
  int Size = 8;  // points
  bool Bold = false;
  COLORREF Color = CLR_INVALID;  // CLR_INVALID: the system's window-text colour
  bool Underline = false;
};
HFONT FontHandle(const TFontSpec& f);  // cached for the life of the process

// The Windows version as GetVersionExA reports it; false when the query fails.
bool WindowsVersion(DWORD& major, DWORD& minor);

// ---- base classes ------------------------------------------------------------------------------
class TForm;

// The text of a control handed to its constructor: a C string, or a std::string's for the moment
// of the call. A pointer alone to pass, so that a form's many constructions stay short.
struct TTextArg {
  TTextArg(const char* s) : Str(s ? s : "") {}
  TTextArg(const std::string& s) : Str(s.c_str()) {}
  const char* Str;
};

class TControl {
public:
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;
  virtual ~TControl();

  HWND Handle = nullptr;
  std::string Name;
  TForm* Form = nullptr;  // the window that owns this control
  TFontSpec Font;
  bool ParentFont = true;
  COLORREF Color = CLR_INVALID;  // background; CLR_INVALID: the parent's
  LPCSTR Cursor = nullptr;       // e.g. IDC_HAND; nullptr: the class cursor
  TControl* Parent = nullptr;
  std::string Hint;
  TNotify OnClick;
  std::function<void(char& key)> OnKeyPress;  // set key to 0 to swallow it

  std::string Text() const;
  void SetText(const std::string& s) { SetWindowTextA(Handle, s.c_str()); }
  bool Enabled() const { return IsWindowEnabled(Handle) != 0; }
  // Disabling the control that has the focus first moves the focus on in the tab order.
  void SetEnabled(bool on);
  // Visible means the control's own visibility flag, whether or not its parent is showing.
  bool Visible() const { return (GetWindowLongA(Handle, GWL_STYLE) & WS_VISIBLE) != 0; }
  void SetVisible(bool on) { ShowWindow(Handle, on ? SW_SHOWNA : SW_HIDE); }
  void SetFocus() { ::SetFocus(Handle); }
  void SetFont(const TFontSpec& f);  // a font of its own (ParentFont becomes false)
  virtual void ApplyFont();          // sends the current Font to the window
  void SetHint(const std::string& hint);
  RECT Bounds() const;  // position and size in the parent's client coordinates
  int Left() const { return Bounds().left; }
  int Top() const { return Bounds().top; }
  int Width() const { RECT r = Bounds(); return r.right - r.left; }
  int Height() const { RECT r = Bounds(); return r.bottom - r.top; }

  // Notifications from the platform, dispatched by the layer.
  virtual void Command(int code);
  virtual LRESULT Notify(NMHDR*) { return 0; }

protected:
  TControl() = default;
  // Creates the window as a child of parent; rect in the parent's client coordinates.
  void Create(TControl& parent, TTextArg name, const char* cls, TTextArg text,
              DWORD style, DWORD exStyle, int x, int y, int w, int h);
  friend LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK LayerProc(HWND, UINT, WPARAM, LPARAM);
  WNDPROC OldProc = nullptr;
};

// A plain container: a window of the layer's own class that forwards its children's
// notifications. TForm, TPanel, TGroupBox and the notebook's pages are containers.
class TContainer : public TControl {
protected:
  TContainer() = default;
};

// ---- controls ----------------------------------------------------------------------------------
class TLabel : public TControl {
public:
  TLabel(TControl& parent, TTextArg name, TTextArg caption, int x, int y,
         int w = 0, int h = 0);  // w == 0: sized to its text
  void SetText(const std::string& s);  // keeps an auto-sized label fitting its text
  void ApplyFont() override;
  // Draws only its text: what lies beneath it (the parent, or a label below it) shows through.
  void SetTransparent();
  bool Transparent() const { return GetWindowLongA(Handle, GWL_EXSTYLE) & WS_EX_TRANSPARENT; }
private:
  void Fit();
  bool AutoSize = false;
};

class TButton : public TControl {
public:
  TButton(TControl& parent, TTextArg name, TTextArg caption, int x, int y,
          int w, int h, bool flat = false);
  void Click() { if (OnClick) OnClick(); }  // as a press of the button
  // Enter (MakeDefault: while no other push button has the focus) or Escape (MakeCancel)
  // presses this button.
  void MakeDefault();
  void MakeCancel() { SetWindowLongPtrA(Handle, GWLP_ID, IDCANCEL); }
};

class TEdit : public TControl {
public:
  TEdit(TControl& parent, TTextArg name, TTextArg text, int x, int y, int w,
        int h = 21, int maxLength = 0);
  TNotify OnChange;
  void SetMaxLength(int n) { SendMessageA(Handle, EM_LIMITTEXT, n, 0); }
  int MaxLength() const { return (int)SendMessageA(Handle, EM_GETLIMITTEXT, 0, 0); }
  void SetReadOnly(bool on) { SendMessageA(Handle, EM_SETREADONLY, on, 0); }
  void Command(int code) override;
protected:
  TEdit() = default;
};

class TMemo : public TEdit {
public:
  TMemo(TControl& parent, TTextArg name, int x, int y, int w, int h, bool readOnly);
};

class TCheckBox : public TControl {
public:
  TCheckBox(TControl& parent, TTextArg name, TTextArg caption, int x, int y,
            int w, int h = 17, bool checked = false);
  bool Checked() const { return SendMessageA(Handle, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void SetChecked(bool on);  // runs OnClick when the state changes
  void Command(int code) override;
};

class TRadioButton : public TControl {
public:
  TRadioButton(TControl& parent, TTextArg name, TTextArg caption, int x, int y,
               int w, int h = 17, bool checked = false);
  bool Checked() const { return SendMessageA(Handle, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  // true: unchecks the rest of the group, then runs OnClick if it was unchecked before.
  // false: unchecks this one only; no handler runs.
  void SetChecked(bool on);
  void Command(int code) override;
private:
  void Select(bool was);
  bool Selected = false;  // as last set, so that a click can tell whether it changed the choice
};

class TGroupBox : public TContainer {
public:
  TGroupBox(TControl& parent, TTextArg name, TTextArg caption, int x, int y,
            int w, int h);
  HWND Frame = nullptr;  // the BS_GROUPBOX button that draws the frame and caption
  void ApplyFont() override;
};

class TPanel : public TContainer {
public:
  TPanel(TControl& parent, TTextArg name, TTextArg caption, int x, int y,
         int w, int h, DWORD textFormat = DT_CENTER);
  void SetText(const std::string& s);  // repaints
  DWORD TextFormat;                    // DT_LEFT, DT_CENTER, ... for the caption
};

enum class TBevelShape { Frame, HorizontalLine };
class TBevel : public TControl {
public:
  TBevel(TControl& parent, TTextArg name, TBevelShape shape, int x, int y, int w, int h);
};

class TImage : public TControl {
public:
  TImage(TControl& parent, TTextArg name, int x, int y, int w, int h);
  // A bitmap resource; transparent: the colour of its top-left pixel shows the background.
  void LoadBitmap(const char* resource, bool transparent);
  void SetBitmap(HBITMAP b);
  HBITMAP Bitmap() const { return (HBITMAP)SendMessageA(Handle, STM_GETIMAGE, IMAGE_BITMAP, 0); }
  void SetIcon(HICON icon);
};

class TListView : public TControl {
public:
  struct TColumn { const char* Caption; int Width; };
  TListView(TControl& parent, TTextArg name, std::vector<TColumn> columns, int x, int y,
            int w, int h, bool multiSelect = true);
  int Count() const { return ListView_GetItemCount(Handle); }
  // Appends a row: cells[0] is the caption, the rest the sub-items. Returns its index.
  int AddRow(const std::vector<std::string>& cells);
  std::string Cell(int row, int column) const;  // column 0: the caption
  std::vector<std::string> Row(int row) const;
  void SetCell(int row, int column, const std::string& s);
  void Delete(int row) { ListView_DeleteItem(Handle, row); }
  void Clear() { ListView_DeleteAllItems(Handle); }
  int SelCount() const { return (int)ListView_GetSelectedCount(Handle); }
  bool Selected(int row) const { return ListView_GetItemState(Handle, row, LVIS_SELECTED) != 0; }
  void SetSelected(int row, bool on) { ListView_SetItemState(Handle, row, on ? LVIS_SELECTED : 0, LVIS_SELECTED); }
  void BeginUpdate() { SendMessageA(Handle, WM_SETREDRAW, FALSE, 0); }
  void EndUpdate();
  int ColumnCount() const;
  std::string ColumnCaption(int column) const;
  int ColumnWidth(int column) const { return ListView_GetColumnWidth(Handle, column); }
};

// A list of items with check boxes (a list view with one column and no header).
class TCheckListBox : public TControl {
public:
  TCheckListBox(TControl& parent, TTextArg name, int x, int y, int w, int h,
                int itemHeight = 0);
  int Count() const { return ListView_GetItemCount(Handle); }
  int Add(const std::string& s);
  std::string Item(int i) const;
  bool Checked(int i) const { return ListView_GetCheckState(Handle, i) != 0; }
  void SetChecked(int i, bool on) { ListView_SetCheckState(Handle, i, on); }
  void Clear() { ListView_DeleteAllItems(Handle); }
};

class TListBox : public TControl {
public:
  TListBox(TControl& parent, TTextArg name, int x, int y, int w, int h);
  int Count() const { return (int)SendMessageA(Handle, LB_GETCOUNT, 0, 0); }
  int Add(const std::string& s) { return (int)SendMessageA(Handle, LB_ADDSTRING, 0, (LPARAM)s.c_str()); }
  std::string Item(int i) const;
  std::vector<std::string> Items() const;
  void Delete(int i) { SendMessageA(Handle, LB_DELETESTRING, i, 0); }
  void Clear() { SendMessageA(Handle, LB_RESETCONTENT, 0, 0); }
  int ItemIndex() const { return (int)SendMessageA(Handle, LB_GETCURSEL, 0, 0); }  // -1: none
  void SetItemIndex(int i) { SendMessageA(Handle, LB_SETCURSEL, i, 0); }
  void BeginUpdate() { SendMessageA(Handle, WM_SETREDRAW, FALSE, 0); }
  void EndUpdate();
};

enum class TComboStyle { DropDown, DropDownList };  // editable, or a choice only
class TComboBox : public TControl {
public:
  TComboBox(TControl& parent, TTextArg name, TComboStyle style, int x, int y, int w,
            int dropHeight = 150, int maxLength = 0);
  TNotify OnChange;  // the selection or the typed text changed
  int Count() const { return (int)SendMessageA(Handle, CB_GETCOUNT, 0, 0); }
  int Add(const std::string& s) { return (int)SendMessageA(Handle, CB_ADDSTRING, 0, (LPARAM)s.c_str()); }
  std::string Item(int i) const;
  std::vector<std::string> Items() const;
  void ClearItems() { SendMessageA(Handle, CB_RESETCONTENT, 0, 0); }  // an editable box keeps its text
  void Clear();                                                       // items and text
  int ItemIndex() const { return (int)SendMessageA(Handle, CB_GETCURSEL, 0, 0); }
  void SetItemIndex(int i) { SendMessageA(Handle, CB_SETCURSEL, i, 0); }
  void SetMaxLength(int n) { SendMessageA(Handle, CB_LIMITTEXT, n, 0); }
  // Editable: the edit's text. Drop-down list: selects the item of that text (none if absent).
  void SetText(const std::string& s);
  void Command(int code) override;
private:
  TComboStyle Style;
};

class TNotebook : public TControl {
public:
  TNotebook(TControl& parent, TTextArg name, std::initializer_list<const char*> pages, int x,
            int y, int w, int h);
  ~TNotebook() override;
  TPanel& Page(int i) { return *Pages[i]; }
  int PageCount() const { return (int)Pages.size(); }
  int PageIndex() const { return Index; }
  // Shows page i and hides the others. Once the handler that called it has returned (so that
  // the buttons it enables or disables are as they stay), the focus goes to the page's first
  // control of the tab order, or to the first visible, enabled GoOn control.
  void SetPageIndex(int i);
  std::vector<TControl*> GoOn;  // the buttons that go on from a page without controls: Next, ...
  void FocusPage();             // the focus as a page change leaves it
private:
  std::vector<TPanel*> Pages;
  int Index = 0;
  bool FocusPending = false;
};

class TProgressBar : public TControl {
public:
  TProgressBar(TControl& parent, TTextArg name, int x, int y, int w, int h,
               bool smooth = true, int maxValue = 100);
  int Position() const { return (int)SendMessageA(Handle, PBM_GETPOS, 0, 0); }
  void SetPosition(int p) { SendMessageA(Handle, PBM_SETPOS, p, 0); }
};

// An edit with up and down arrows; Value() reads a text that is no whole number as MinValue and
// pulls other values into MinValue..MaxValue; leaving the field writes the value back.
class TSpinEdit : public TControl {
public:
  TSpinEdit(TControl& parent, TTextArg name, int x, int y, int w, int h, int minValue,
            int maxValue, int value = 0);
  HWND UpDown = nullptr;
  int MinValue, MaxValue;
  int Value() const;
  void SetValue(int v) { SetText(std::to_string(v)); }
  void SetEnabled(bool on) { TControl::SetEnabled(on); EnableWindow(UpDown, on); }
  void Command(int code) override;
};

// A timer of the user-interface thread (SetTimer on its form's window).
class TTimer {
public:
  TTimer(TForm& form, UINT interval, bool enabled = false);
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;
  TNotify OnTimer;
  UINT Interval;
  bool Enabled() const { return On; }
  void SetEnabled(bool on);
  TForm& Form;
private:
  bool On = false;
};

class TMenuItem;
// A pop-up menu; Popup shows it (through the seam) and runs the chosen item's OnClick.
class TPopupMenu {
public:
  explicit TPopupMenu(TForm& form) : Form(form) {}
  TForm& Form;
  std::vector<TMenuItem*> Items;
  void Popup(int screenX, int screenY);
};
class TMenuItem {
public:
  TMenuItem(TPopupMenu& menu, const std::string& caption) : Caption(caption) { menu.Items.push_back(this); }
  std::string Caption;
  TNotify OnClick;
};

// ---- forms -------------------------------------------------------------------------------------
enum class TBorder { Single, Dialog };  // Single: system menu and minimise box; Dialog: close only
enum class TPosition { ScreenCenter, MainFormCenter };

enum TModalResult { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL };

class TForm : public TContainer {
public:
  TForm(const std::string& caption, int clientWidth, int clientHeight,
        TBorder border = TBorder::Single, TPosition position = TPosition::ScreenCenter,
        const TFontSpec& font = {});
  ~TForm() override;

  TNotify OnShow;                          // each time the window becomes visible
  std::function<void(bool&)> OnCloseQuery; // may set the flag to false to keep it open
  TControl* ActiveControl = nullptr;       // gets the focus when the window is shown

  void SetText(const std::string& s) { SetWindowTextA(Handle, s.c_str()); }
  void SetFont(const TFontSpec& f);  // the form's font; passed on to every ParentFont control
  // Shows the window (how: an SW_ value; SW_SHOWNA or SW_SHOWNOACTIVATE leave the active window
  // as it is, and the first control gets the focus when the window is activated later).
  void Show(int how = SW_SHOW);
  void Hide() { ShowWindow(Handle, SW_HIDE); }
  // Shows the window modally: the other windows are disabled until it closes. Returns ModalResult.
  int ShowModal();
  int ModalResult = mrNone;
  bool Modal() const { return InModal; }
  // A request to close (the close box, Alt+F4, or the program): OnCloseQuery decides. The main
  // window is then destroyed and the message loop ends; a modal window ends its modal loop with
  // mrCancel unless a result is already set; another window hides.
  void Close();
  bool CloseQuery();  // runs OnCloseQuery; true when the window may close

  TControl* FindControl(const std::string& name) const;  // by its Name, nullptr when none
  // Puts the focus on the control (an edit with its text selected); while the window is not
  // active, the control takes the focus when it is activated.
  void FocusControl(HWND control);
  HWND DefaultButton = nullptr;  // pressed by Enter while no push button has the focus
  // The default frame on the focused push button, else on DefaultButton (focus: the new focus).
  void MoveDefaultFrame(HWND focus);
  // The control with the focus or, while another window is active, the one that takes it when
  // this window is activated again.
  HWND FocusedControl() const {
    HWND focus = GetFocus();
    return focus && IsChild(Handle, focus) ? focus : LastFocus;
  }
  std::vector<TControl*> Controls;  // every control of the window, in creation order
  HWND Tooltip = nullptr;           // created on the first SetHint
  int NextId = 100;                 // control ids start here, clear of IDOK and IDCANCEL

private:
  friend LRESULT CALLBACK LayerProc(HWND, UINT, WPARAM, LPARAM);
  void Place();
  bool InModal = false;
  TPosition Position;
  HWND Framed = nullptr;  // the button with the default frame
  HWND LastFocus = nullptr;
};

// ---- application -------------------------------------------------------------------------------
struct TApplication {
  std::string Title;  // the task-bar button's text and the caption of the programs' message boxes
  // The program's own window: never seen, it carries the task-bar button and owns the main
  // window, so that the button reads Title whatever the main window's caption.
  HWND Handle = nullptr;
  TForm* MainForm = nullptr;  // the first form created
  DWORD ThreadId = 0;         // the user-interface thread
  HWND SyncWindow = nullptr;  // serves TThread::Synchronize
  bool Terminated = false;
  // Shows the main window (how: WinMain's nCmdShow) and runs the message loop until it closes.
  void Run(int how = SW_SHOW);
  void ProcessMessages();  // handles the waiting messages, then returns
};
extern TApplication Application;

// The hourglass over every window of the program while it lives.
class THourglass {
public:
  THourglass();
  ~THourglass();
  THourglass(const THourglass&) = delete;
  THourglass& operator=(const THourglass&) = delete;
private:
  HCURSOR Previous;
};

// ---- the seam: every question to the user and every beep ---------------------------------------
struct TFileDialog {
  std::string Title;
  std::string Filter;  // "Description|*.ext|Other|*.a;*.b"; the first pair is shown first
  std::string DefaultExt;
  std::string InitialDir;
  std::string FileName;            // the chosen path (the first one with MultiSelect)
  bool MultiSelect = false;
  std::vector<std::string> Files;  // every chosen path, in the dialog's order
};

class TUserDialogs {
public:
  virtual ~TUserDialogs() = default;
  virtual void Beep() = 0;  // MessageBeep(MB_OK)
  // MessageBoxA: flags are MB_ICON* and MB_OK, MB_YESNO, MB_YESNOCANCEL, ...; returns IDOK, IDYES, ...
  virtual int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;
  // A question with buttons of its own, e.g. {"&Yes", "Yes to &All", "&No", "N&o to All"};
  // icon is an MB_ICON* flag. Enter presses the button defaultButton (or the focused one), Escape
  // the button escapeButton (-1: Escape does nothing). Returns the index of the button pressed,
  // -1 when the box was closed by its title bar.
  virtual int Question(HWND owner, const std::string& text, const std::string& caption, UINT icon,
                       const std::vector<std::string>& buttons, int defaultButton = 0,
                       int escapeButton = -1) = 0;
  // Open and save dialogs: the read-only box hidden, resizable, any typed name accepted, no
  // overwrite confirmation. true with d.FileName/d.Files when the user confirms.
  virtual bool OpenFile(HWND owner, TFileDialog& d) = 0;
  virtual bool SaveFile(HWND owner, TFileDialog& d) = 0;
  // The shell's folder browser rooted at the desktop, file-system folders only; opens at folder
  // when it names an existing one. true with folder set when the user confirms.
  virtual bool BrowseFolder(HWND owner, const std::string& prompt, std::string& folder) = 0;
  // The same, rooted at folder when the shell can resolve that name (then only it and the folders
  // below it can be chosen), else at the desktop.
  virtual bool BrowseFolderFrom(HWND owner, const std::string& prompt, std::string& folder) {
    return BrowseFolder(owner, prompt, folder);
  }
  // A caption, a prompt, one edit (value in and out, at most maxLength characters when > 0), OK
  // and Cancel. true on OK.
  virtual bool InputBox(HWND owner, const std::string& caption, const std::string& prompt,
                        std::string& value, int maxLength) = 0;
  // A pop-up menu at a screen point; returns the index of the chosen item, -1 when dismissed.
  virtual int Popup(HWND owner, const std::vector<std::string>& items, POINT at) = 0;
};
TUserDialogs& Dialogs();
// Replaces the seam (nullptr: back to the real dialogs); returns the one it replaced.
TUserDialogs* SetDialogs(TUserDialogs* d);
// The real dialogs show beeps, message boxes, questions and the folder browser; their open and
// save dialogs, input box and pop-up menu answer as cancelled until the program calls this once
// (the creator does, first thing; setup never shows them and so links none of their code).
void UseFullDialogs();

// Shorthands through the seam, captioned with Application.Title.
void Beep();
int MsgBox(HWND owner, TTextArg text, UINT flags);
// beep, then MsgBox: the form of most of the programs' messages
int BeepMsgBox(HWND owner, TTextArg text, UINT flags);

// ---- threads -----------------------------------------------------------------------------------
// A worker thread, always created suspended: construct, set FreeOnTerminate and the priority,
// then Resume(). Execute runs once; an exception escaping it is swallowed, never passed on.
// With FreeOnTerminate the object deletes itself when Execute returns.
class TThread {
public:
  TThread();
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  HANDLE Handle = nullptr;
  DWORD ThreadID = 0;
  bool FreeOnTerminate = false;
  volatile bool Terminated = false;  // a stop request for Execute to test
  volatile bool Finished = false;

  void Resume() { ResumeThread(Handle); }
  void Terminate() { Terminated = true; }
  void SetPriority(int p) { SetThreadPriority(Handle, p); }  // THREAD_PRIORITY_*
  // Waits for the end of Execute while serving the messages and hand-overs of this thread; not
  // for FreeOnTerminate threads.
  void WaitFor();
  // Runs call on the user-interface thread and waits for it; at once when already there. An
  // exception raised by the call is raised again here.
  static void Synchronize(const std::function<void()>& call);

protected:
  virtual void Execute() = 0;

private:
  static DWORD WINAPI ThreadProc(LPVOID self);
};

// Makes the calling thread the user-interface thread and creates the program's windows of its
// own (the first TForm does it). Idempotent.
void Init();
// Queues call to run on the user-interface thread when its message loop next looks at its
// messages (also inside a modal loop); callable from any thread.
void PostCall(std::function<void()> call);

// Waits for a handle while serving the user-interface thread's messages and hand-overs.
void WaitServing(HANDLE h);

}  // namespace ui

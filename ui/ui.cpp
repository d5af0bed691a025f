// The window-and-thread layer: see ui.h.
#include "ui/ui.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>

#include "shared/systemdll.h"

namespace ui {

TApplication Application;
TControl* FromHandle(HWND h);

namespace {

const char kLayerClass[] = "CvWindow";
const char kFormProp[] = "CvForm";
const char kNameProp[] = "CvName";  // a global atom of the control's Name

// Gives back the atom of a window's name as the window goes.
void ForgetName(HWND h) {
  if (auto a = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(RemovePropA(h, kNameProp)))) GlobalDeleteAtom(a);
}

constexpr UINT WM_CV_SYNC = WM_APP + 0x100;    // lParam: SyncCall*, sent
constexpr UINT WM_CV_POSTED = WM_APP + 0x101;  // lParam: std::function<void()>*, posted, owned

struct SyncCall {
  const std::function<void()>* Call;
  std::exception_ptr Error;
};

HCURSOR g_overrideCursor = nullptr;
// The system's comctl32.dll, loaded by Init: its list views, progress bars, up-down and status
// controls. Loading it registers their window classes; InitCommonControlsEx, where its version
// has the function, makes sure.
HMODULE g_commonControls = nullptr;
std::vector<TTimer*> g_timers;
// Caches of the user-interface thread, kept for the life of the process. At namespace scope they
// are built before WinMain and need no guard of a first use. A program has a handful of brushes
// and fonts: a list looked through in order serves them, and keeps the tree maps out of it.
std::vector<std::pair<COLORREF, HBRUSH>> g_brushes;
std::vector<std::pair<std::string, HFONT>> g_fonts;

template <class K, class V> V& CacheSlot(std::vector<std::pair<K, V>>& cache, const K& key) {
  for (auto& e : cache)
    if (e.first == key) return e.second;
  return cache.emplace_back(key, V{}).second;
}
std::vector<HWND> g_hidden;  // the windows the minimised program put away

HBRUSH SolidBrush(COLORREF c) {
  HBRUSH& b = CacheSlot(g_brushes, c);
  if (!b) b = CreateSolidBrush(c);
  return b;
}


constexpr UINT WM_CV_FOCUSPAGE = WM_APP + 0x102;  // posted to a notebook by its page change

// Tab and Shift+Tab, walked by the layer: the dialog manager's own walk moves default frames
// about as it goes. True when the key was taken. (Enter, Escape and the mnemonics are the dialog
// manager's: Enter presses the focused button when it has the default frame, which follows the
// focus, and otherwise the default button that DM_GETDEFID names.)
bool TabKey(HWND root, MSG& m) {
  // Keys typed while no window has the focus arrive as system keys.
  if (m.wParam != VK_TAB || (m.message != WM_KEYDOWN && (m.message != WM_SYSKEYDOWN || (m.lParam & (1 << 29)))))
    return false;
  // A control that takes Tab keeps it. With no control focused (the form itself has the focus,
  // or the focused control was disabled), Tab enters the form's tab order.
  if (m.hwnd != root && (SendMessageA(m.hwnd, WM_GETDLGCODE, m.wParam, reinterpret_cast<LPARAM>(&m)) &
                         (DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)))
    return false;
  HWND focus = GetFocus();
  const bool back = GetKeyState(VK_SHIFT) < 0, inside = focus && focus != root && IsChild(root, focus);
  HWND next = GetNextDlgTabItem(root, inside ? focus : nullptr, back);
  auto* form = dynamic_cast<TForm*>(FromHandle(root));
  if (!next || !form) return false;
  form->FocusControl(next);
  return true;
}

void DispatchOne(MSG& m) {
  HWND root = m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
  if (root && GetPropA(root, kFormProp)) {
    if (TabKey(root, m)) return;
    if (IsDialogMessageA(root, &m)) return;
  }
  TranslateMessage(&m);
  DispatchMessageA(&m);
}

}  // namespace

// The control of a window of the layer, nullptr for any other (shared with controls.cpp).
TControl* FromHandle(HWND h) {
  return h ? reinterpret_cast<TControl*>(GetWindowLongPtrA(h, GWLP_USERDATA)) : nullptr;
}

// ---- window procedures -------------------------------------------------------------------------
// The program's own window: its task-bar button stands for the main window.
BOOL CALLBACK CollectShown(HWND h, LPARAM p) {
  auto* v = reinterpret_cast<std::vector<HWND>*>(p);
  if (h != Application.Handle && IsWindowVisible(h)) v->push_back(h);
  return TRUE;
}

LRESULT ApplicationProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      if (wp == SIZE_MINIMIZED && g_hidden.empty()) {
        EnumThreadWindows(GetCurrentThreadId(), CollectShown, reinterpret_cast<LPARAM>(&g_hidden));
        for (HWND w : g_hidden) ShowWindow(w, SW_HIDE);
      } else if (wp == SIZE_RESTORED && !g_hidden.empty()) {
        for (auto w = g_hidden.rbegin(); w != g_hidden.rend(); ++w)
          if (IsWindow(*w)) ShowWindow(*w, SW_SHOWNA);
        g_hidden.clear();
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) {  // a click on the button: the window the user works in
        HWND p = GetLastActivePopup(h);
        if (p && p != h && IsWindowEnabled(p)) SetActiveWindow(p);
        return 0;
      }
      break;
    case WM_CLOSE:
      if (Application.MainForm) Application.MainForm->Close();
      return 0;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

LRESULT CALLBACK LayerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (h == Application.Handle && h) return ApplicationProc(h, msg, wp, lp);
  TControl* self = FromHandle(h);
  switch (msg) {
    case WM_CV_SYNC: {
      auto* c = reinterpret_cast<SyncCall*>(lp);
      try {
        (*c->Call)();
      } catch (...) {
        c->Error = std::current_exception();
      }
      return 0;
    }
    case WM_CV_POSTED: {
      auto* f = reinterpret_cast<std::function<void()>*>(lp);
      try {
        (*f)();
      } catch (...) {
      }
      delete f;
      return 0;
    }
    case WM_COMMAND:
      if (TControl* c = FromHandle(reinterpret_cast<HWND>(lp)); c && c != self) {
        c->Command(HIWORD(wp));
        return 0;
      }
      break;
    case WM_NOTIFY:
      if (TControl* c = FromHandle(reinterpret_cast<NMHDR*>(lp)->hwndFrom); c && c != self)
        return c->Notify(reinterpret_cast<NMHDR*>(lp));
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      TControl* c = FromHandle(reinterpret_cast<HWND>(lp));
      if (!c || !self) break;
      if (dynamic_cast<TEdit*>(c)) {
        // A read-only field is still a field: the window background, not the face of the page.
        // A disabled one keeps the platform's grey.
        if (msg != WM_CTLCOLORSTATIC || !IsWindowEnabled(c->Handle) ||
            !(GetWindowLongA(c->Handle, GWL_STYLE) & ES_READONLY))
          break;
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      HDC dc = reinterpret_cast<HDC>(wp);
      if (c->Font.Color != CLR_INVALID) SetTextColor(dc, c->Font.Color);
      if (GetWindowLongA(c->Handle, GWL_EXSTYLE) & WS_EX_TRANSPARENT) {  // a label's text alone
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      }
      // A control that paints its ground covers what the transparent labels above it drew there:
      // they draw again after it.
      if (msg == WM_CTLCOLORSTATIC) {
        RECT own, above;
        GetWindowRect(c->Handle, &own);
        for (HWND s = c->Handle; (s = GetWindow(s, GW_HWNDPREV));)
          if ((GetWindowLongA(s, GWL_EXSTYLE) & WS_EX_TRANSPARENT) && GetWindowRect(s, &above) &&
              IntersectRect(&above, &own, &above))
            InvalidateRect(s, nullptr, FALSE);
      }
      COLORREF back = c->Color != CLR_INVALID ? c->Color : self->Color;
      if (back == CLR_INVALID) {
        if (c->Font.Color == CLR_INVALID) break;
        back = GetSysColor(COLOR_BTNFACE);
      }
      SetBkColor(dc, back);
      return reinterpret_cast<LRESULT>(SolidBrush(back));
    }
    case WM_ERASEBKGND:
      if (self) {
        RECT r;
        GetClientRect(h, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r,
                 self->Color != CLR_INVALID ? SolidBrush(self->Color) : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
      }
      break;
    case WM_PAINT:
      if (auto* p = dynamic_cast<TPanel*>(self)) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT r;
        GetClientRect(h, &r);
        InflateRect(&r, -4, 0);
        std::string text = p->Text();
        HGDIOBJ old = SelectObject(dc, FontHandle(p->Font));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, p->Font.Color != CLR_INVALID ? p->Font.Color : GetSysColor(COLOR_BTNTEXT));
        DrawTextA(dc, text.c_str(), -1, &r, p->TextFormat | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, old);
        EndPaint(h, &ps);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (g_overrideCursor) {
        SetCursor(g_overrideCursor);
        return TRUE;
      }
      break;
    case WM_TIMER:
      if (auto* t = reinterpret_cast<TTimer*>(wp); std::find(g_timers.begin(), g_timers.end(), t) != g_timers.end()) {
        if (t->OnTimer) t->OnTimer();
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (auto* f = dynamic_cast<TForm*>(self)) {
        if (LOWORD(wp) == WA_INACTIVE) {
          HWND focus = GetFocus();
          if (focus && IsChild(h, focus)) f->LastFocus = focus;
        } else if (f->LastFocus && IsWindow(f->LastFocus)) {
          SetFocus(f->LastFocus);
        }
        return 0;
      }
      break;
    case DM_GETDEFID:  // what Enter presses while no push button has the focus
      if (auto* f = dynamic_cast<TForm*>(self); f && f->DefaultButton)
        return MAKELONG(GetDlgCtrlID(f->DefaultButton), DC_HASDEFID);
      break;
    case WM_SETFOCUS:  // the form itself: no push button has the focus
      if (auto* f = dynamic_cast<TForm*>(self)) f->MoveDefaultFrame(h);
      break;
    case WM_CV_FOCUSPAGE:
      if (auto* n = dynamic_cast<TNotebook*>(self)) n->FocusPage();
      return 0;
    case WM_CLOSE:
      if (auto* f = dynamic_cast<TForm*>(self)) {
        f->Close();
        return 0;
      }
      break;
    case WM_SYSCOMMAND:  // the main window minimises with the program's own
      if ((wp & 0xFFF0) == SC_MINIMIZE && self && self == Application.MainForm && Application.Handle &&
          IsWindowVisible(Application.Handle)) {
        ShowWindow(Application.Handle, SW_MINIMIZE);
        return 0;
      }
      break;
    case WM_DESTROY:
      if (self && self == Application.MainForm) PostQuitMessage(0);
      break;
    case WM_NCDESTROY:
      RemovePropA(h, kFormProp);
      ForgetName(h);
      if (self) self->Handle = nullptr;
      SetWindowLongPtrA(h, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

LRESULT CALLBACK ControlProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  TControl* self = FromHandle(h);
  if (!self) return DefWindowProcA(h, msg, wp, lp);
  WNDPROC old = self->OldProc;
  switch (msg) {
    case WM_GETDLGCODE: {
      const MSG* key = lp ? reinterpret_cast<const MSG*>(lp) : nullptr;
      bool keyDown = key && key->message == WM_KEYDOWN;
      // A control with a key handler sees Enter too, as typed into it.
      if (self->OnKeyPress && keyDown && key->wParam == VK_RETURN)
        return CallWindowProcA(old, h, msg, wp, lp) | DLGC_WANTMESSAGE;
      // A memo takes no Tab: Tab moves on to the next control, as everywhere else in the form.
      if (keyDown && key->wParam == VK_TAB && dynamic_cast<TMemo*>(self))
        return CallWindowProcA(old, h, msg, wp, lp) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
      break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (self->Form && dynamic_cast<TButton*>(self)) {  // the default frame follows the focus
        LRESULT r = CallWindowProcA(old, h, msg, wp, lp);
        self->Form->MoveDefaultFrame(msg == WM_SETFOCUS ? h : reinterpret_cast<HWND>(wp));
        return r;
      }
      break;
    case WM_CHAR:
      if (self->OnKeyPress) {
        char c = static_cast<char>(wp);
        self->OnKeyPress(c);
        if (!c) return 0;
        wp = static_cast<unsigned char>(c);
      }
      break;
    case WM_SETCURSOR:
      if (g_overrideCursor) {
        SetCursor(g_overrideCursor);
        return TRUE;
      }
      if (self->Cursor) {
        SetCursor(LoadCursorA(nullptr, self->Cursor));
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      ForgetName(h);
      SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
      SetWindowLongPtrA(h, GWLP_USERDATA, 0);
      self->Handle = nullptr;
      break;
  }
  return CallWindowProcA(old, h, msg, wp, lp);
}

// ---- application -------------------------------------------------------------------------------
void Init() {
  if (Application.ThreadId) return;
  Application.ThreadId = GetCurrentThreadId();
  g_commonControls = LoadSystemLibrary("comctl32.dll");
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS |
                                           ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  if (auto init = SystemFunction<decltype(&InitCommonControlsEx)>(g_commonControls, "InitCommonControlsEx"))
    init(&icc);
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = LayerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(1));
  wc.lpszClassName = kLayerClass;
  RegisterClassA(&wc);
  Application.SyncWindow = CreateWindowExA(0, kLayerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           wc.hInstance, nullptr);
  Application.Handle = CreateWindowExA(0, kLayerClass, Application.Title.c_str(),
                                       WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                                       GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                                       nullptr, nullptr, wc.hInstance, nullptr);
}

void PostCall(std::function<void()> call) {
  auto* f = new std::function<void()>(std::move(call));
  if (!PostMessageA(Application.SyncWindow, WM_CV_POSTED, 0, reinterpret_cast<LPARAM>(f))) delete f;
}

void TApplication::Run(int how) {
  Terminated = false;
  if (Handle) {  // the task-bar button, without a window to be seen
    SetWindowTextA(Handle, Title.c_str());
    ShowWindow(Handle, SW_SHOWNA);
  }
  if (MainForm) MainForm->Show(how);
  MSG m;
  while (!Terminated && GetMessageA(&m, nullptr, 0, 0) > 0) DispatchOne(m);
  Terminated = true;
  if (Handle) ShowWindow(Handle, SW_HIDE);
}

void TApplication::ProcessMessages() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      Terminated = true;
      break;
    }
    DispatchOne(m);
  }
}

THourglass::THourglass() : Previous(g_overrideCursor) {
  g_overrideCursor = LoadCursorA(nullptr, IDC_WAIT);
  SetCursor(g_overrideCursor);
}

THourglass::~THourglass() {
  g_overrideCursor = Previous;
  SetCursor(Previous ? Previous : LoadCursorA(nullptr, IDC_ARROW));
}

// ---- fonts -------------------------------------------------------------------------------------
HFONT FontHandle(const TFontSpec& f) {
  std::string key = f.Name + '|' + std::to_string(f.Size) + (f.Bold ? "b" : "") + (f.Underline ? "u" : "");
  HFONT& font = CacheSlot(g_fonts, key);
  if (!font) {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(f.Size, dpi, 72);
    lf.lfWeight = f.Bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = f.Underline;
    lf.lfCharSet = ANSI_CHARSET;
    lstrcpynA(lf.lfFaceName, f.Name.c_str(), LF_FACESIZE);
    font = CreateFontIndirectA(&lf);
  }
  return font;
}

bool WindowsVersion(DWORD& major, DWORD& minor) {
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  if (!GetVersionExA(&vi)) return false;
  major = vi.dwMajorVersion;
  minor = vi.dwMinorVersion;
  return true;
}

// ---- TControl ----------------------------------------------------------------------------------
TControl::~TControl() {
  if (Handle) DestroyWindow(Handle);
}

void TControl::Create(TControl& parent, TTextArg name, const char* cls,
                      TTextArg text, DWORD style, DWORD exStyle, int x, int y, int w,
                      int h) {
  Parent = &parent;
  Form = parent.Form;
  Name = name.Str;
  if (!cls) exStyle |= WS_EX_CONTROLPARENT;
  Handle = CreateWindowExA(exStyle, cls ? cls : kLayerClass, text.Str, WS_CHILD | WS_VISIBLE | style,
                           x, y, w, h, parent.Handle, reinterpret_cast<HMENU>(INT_PTR(Form->NextId++)),
                           GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(Handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // The name, for tools outside the program that look at its windows (the real-display tests).
  if (ATOM a = GlobalAddAtomA(name.Str))
    SetPropA(Handle, kNameProp, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(a)));
  if (cls)
    OldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
  Font = parent.Font;
  Form->Controls.push_back(this);
  ApplyFont();
}

void TControl::SetEnabled(bool on) {
  if (!on && Form && Form->FocusedControl() == Handle) Form->FocusControl(GetNextDlgTabItem(Form->Handle, Handle, FALSE));
  EnableWindow(Handle, on);
}

std::string TControl::Text() const {
  std::string s(GetWindowTextLengthA(Handle) + 1, '\0');
  s.resize(GetWindowTextA(Handle, s.data(), static_cast<int>(s.size())));
  return s;
}

void TControl::ApplyFont() { SendMessageA(Handle, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(Font)), TRUE); }

void TControl::SetFont(const TFontSpec& f) {
  Font = f;
  ParentFont = false;
  ApplyFont();
  for (TControl* c : Form->Controls)  // creation order: a parent comes before its children
    if (c->ParentFont && c->Parent && c != this) {
      bool below = false;
      for (TControl* p = c->Parent; p; p = p->Parent) below = below || p == this;
      if (below) {
        c->Font = c->Parent->Font;
        c->ApplyFont();
      }
    }
}

RECT TControl::Bounds() const {
  RECT r;
  GetWindowRect(Handle, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(Handle), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void TControl::Command(int code) {
  if (code == BN_CLICKED && OnClick) OnClick();  // STN_CLICKED has the same value
}

// ---- controls ----------------------------------------------------------------------------------
TLabel::TLabel(TControl& parent, TTextArg name, TTextArg caption, int x, int y,
               int w, int h)
    : AutoSize(w == 0) {
  Create(parent, name, "STATIC", caption, (w ? SS_LEFT : SS_LEFTNOWORDWRAP) | SS_NOTIFY, 0, x, y, w ? w : 1,
         h ? h : 13);
  Fit();
}

void TLabel::SetText(const std::string& s) {
  // A transparent label clears nothing of its own: its old text goes with the ground beneath it.
  RECT before = Bounds();
  TControl::SetText(s);
  Fit();
  if (!Transparent()) return;
  RECT after = Bounds();
  UnionRect(&before, &before, &after);
  RedrawWindow(GetParent(Handle), &before, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TLabel::ApplyFont() {
  TControl::ApplyFont();
  Fit();
}

void TLabel::SetTransparent() {
  // Painted after the windows beneath it, which its own painting leaves as they are.
  SetWindowLongA(Handle, GWL_EXSTYLE, GetWindowLongA(Handle, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
}

void TLabel::Fit() {
  if (!AutoSize || !Handle) return;
  const std::string caption = Text();
  const char* text = caption.empty() ? " " : caption.c_str();
  // Measured as the control draws a label that does not wrap: DrawText with these flags, in its
  // font, on a DC like its own.
  const DWORD format = DT_LEFT | DT_EXPANDTABS | (GetWindowLongA(Handle, GWL_STYLE) & SS_NOPREFIX ? DT_NOPREFIX : 0);
  HDC own = GetDC(Handle);
  HDC dc = CreateCompatibleDC(own);
  HGDIOBJ oldFont = SelectObject(dc, FontHandle(Font));
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, text, -1, &r, format | DT_CALCRECT);
  // The ink of the last glyphs may reach past their advance widths: draw the text with room to
  // spare and take the rightmost column that it inks.
  int width = r.right;
  const int room = r.right + std::max<int>(8, r.bottom), height = std::max<int>(1, r.bottom);
  if (HBITMAP b = CreateCompatibleBitmap(own, room, height)) {
    HGDIOBJ oldBitmap = SelectObject(dc, b);
    RECT all{0, 0, room, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text, -1, &all, format);
    for (int x = room - 1; x >= width; --x) {
      bool ink = false;
      for (int y = 0; y < height && !ink; ++y) ink = GetPixel(dc, x, y) != RGB(255, 255, 255);
      if (ink) {
        width = x + 1;
        break;
      }
    }
    SelectObject(dc, oldBitmap);
    DeleteObject(b);
  }
  SelectObject(dc, oldFont);
  DeleteDC(dc);
  ReleaseDC(Handle, own);
  SetWindowPos(Handle, nullptr, 0, 0, width, r.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TButton::TButton(TControl& parent, TTextArg name, TTextArg caption, int x, int y,
                 int w, int h, bool flat) {
  Create(parent, name, "BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP | (flat ? BS_FLAT : 0), 0, x, y, w, h);
}

void TButton::MakeDefault() {
  SetWindowLongPtrA(Handle, GWLP_ID, IDOK);
  Form->DefaultButton = Handle;
  Form->MoveDefaultFrame(GetFocus());
}

TEdit::TEdit(TControl& parent, TTextArg name, TTextArg text, int x, int y, int w,
             int h, int maxLength) {
  Create(parent, name, "EDIT", text, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, x, y, w, h);
  if (maxLength) SetMaxLength(maxLength);
}

void TEdit::Command(int code) {
  if (code == EN_CHANGE && OnChange) OnChange();
}

TMemo::TMemo(TControl& parent, TTextArg name, int x, int y, int w, int h, bool readOnly) {
  Create(parent, name, "EDIT", "",
         ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | (readOnly ? ES_READONLY : 0),
         WS_EX_CLIENTEDGE, x, y, w, h);
  SendMessageA(Handle, EM_LIMITTEXT, 0, 0);  // as large as the platform allows
}

TCheckBox::TCheckBox(TControl& parent, TTextArg name, TTextArg caption, int x,
                     int y, int w, int h, bool checked) {
  Create(parent, name, "BUTTON", caption, BS_AUTOCHECKBOX | WS_TABSTOP, 0, x, y, w, h);
  SendMessageA(Handle, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::SetChecked(bool on) {
  if (Checked() == on) return;
  SendMessageA(Handle, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  if (OnClick) OnClick();
}

void TCheckBox::Command(int code) {
  if (code == BN_CLICKED && OnClick) OnClick();  // the box has already toggled itself
}

TGroupBox::TGroupBox(TControl& parent, TTextArg name, TTextArg caption, int x, int y,
                     int w, int h) {
  Create(parent, name, nullptr, caption, 0, 0, x, y, w, h);
  Frame = CreateWindowExA(0, "BUTTON", caption.Str, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, w, h,
                          Handle, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowPos(Frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ApplyFont();
}

void TGroupBox::ApplyFont() {
  TControl::ApplyFont();
  if (Frame) SendMessageA(Frame, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(Font)), TRUE);
}

TPanel::TPanel(TControl& parent, TTextArg name, TTextArg caption, int x, int y, int w,
               int h, DWORD textFormat)
    : TextFormat(textFormat) {
  Create(parent, name, nullptr, caption, WS_CLIPSIBLINGS, 0, x, y, w, h);
}

void TPanel::SetText(const std::string& s) {
  TControl::SetText(s);
  InvalidateRect(Handle, nullptr, TRUE);
}

TImage::TImage(TControl& parent, TTextArg name, int x, int y, int w, int h) {
  Create(parent, name, "STATIC", "", SS_BITMAP | SS_CENTERIMAGE, 0, x, y, w, h);
  SetWindowPos(Handle, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TImage::LoadBitmap(const char* resource, bool transparent) {
  auto b = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), resource, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  DIBSECTION ds;
  if (b && transparent && GetObjectA(b, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBitsPixel == 24) {
    // The top-left pixel's colour is the background: paint it in the parent's colour.
    auto* bits = static_cast<BYTE*>(ds.dsBm.bmBits);
    int rows = ds.dsBm.bmHeight, stride = ds.dsBm.bmWidthBytes;
    BYTE* key = bits + (ds.dsBmih.biHeight > 0 ? (rows - 1) * stride : 0);
    BYTE k0 = key[0], k1 = key[1], k2 = key[2];
    COLORREF bg = Parent->Color != CLR_INVALID ? Parent->Color : GetSysColor(COLOR_BTNFACE);
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < ds.dsBm.bmWidth; ++x) {
        BYTE* p = bits + y * stride + x * 3;
        if (p[0] == k0 && p[1] == k1 && p[2] == k2) {
          p[0] = GetBValue(bg);
          p[1] = GetGValue(bg);
          p[2] = GetRValue(bg);
        }
      }
  }
  if (b && transparent && GetObjectA(b, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBitsPixel <= 8) {
    // A palette bitmap: every colour-table entry of the top-left pixel's colour becomes the parent's.
    COLORREF bg = Parent->Color != CLR_INVALID ? Parent->Color : GetSysColor(COLOR_BTNFACE);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    RGBQUAD colors[256];
    const UINT n = GetDIBColorTable(dc, 0, 256, colors);
    const COLORREF key = GetPixel(dc, 0, 0);
    for (UINT i = 0; i < n; ++i)
      if (RGB(colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue) == key)
        colors[i] = RGBQUAD{GetBValue(bg), GetGValue(bg), GetRValue(bg), 0};
    SetDIBColorTable(dc, 0, n, colors);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  SetBitmap(b);
}

void TImage::SetBitmap(HBITMAP b) {
  RECT r = Bounds();
  SendMessageA(Handle, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(b));
  SetWindowPos(Handle, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TImage::SetIcon(HICON icon) {
  RECT r = Bounds();
  SetWindowLongA(Handle, GWL_STYLE, (GetWindowLongA(Handle, GWL_STYLE) & ~SS_TYPEMASK) | SS_ICON);
  SendMessageA(Handle, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  SetWindowPos(Handle, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The cell texts of list views, shared with TListView (controls.cpp).
std::string ListViewText(HWND h, int row, int column) {
  std::string s(256, '\0');
  for (;;) {
    LVITEMA it{};
    it.iSubItem = column;
    it.pszText = s.data();
    it.cchTextMax = static_cast<int>(s.size());
    int n = static_cast<int>(SendMessageA(h, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&it)));
    if (n < static_cast<int>(s.size()) - 1) {
      s.resize(n);
      return s;
    }
    s.assign(s.size() * 2, '\0');
  }
}

int ListViewInsert(HWND h, const std::string& caption) {
  LVITEMA it{};
  it.mask = LVIF_TEXT;
  it.iItem = ListView_GetItemCount(h);
  it.pszText = const_cast<char*>(caption.c_str());
  return static_cast<int>(SendMessageA(h, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
}

TCheckListBox::TCheckListBox(TControl& parent, TTextArg name, int x, int y, int w, int h,
                             int itemHeight) {
  Create(parent, name, WC_LISTVIEWA, "", LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | WS_TABSTOP,
         WS_EX_CLIENTEDGE, x, y, w, h);
  ListView_SetExtendedListViewStyle(Handle, LVS_EX_CHECKBOXES);
  LVCOLUMNA c{};
  c.mask = LVCF_WIDTH;
  c.cx = w - GetSystemMetrics(SM_CXVSCROLL) - 4;
  SendMessageA(Handle, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&c));
  auto imageList = SystemFunction<decltype(&ImageList_Create)>(g_commonControls, "ImageList_Create");
  if (itemHeight > 0 && imageList)  // a list view's rows are as high as its small images
    ListView_SetImageList(Handle, imageList(1, itemHeight, ILC_COLOR, 1, 1), LVSIL_SMALL);
}

int TCheckListBox::Add(const std::string& s) { return ListViewInsert(Handle, s); }

std::string TCheckListBox::Item(int i) const { return ListViewText(Handle, i, 0); }

TNotebook::TNotebook(TControl& parent, TTextArg name, std::initializer_list<const char*> pages, int x,
                     int y, int w, int h) {
  Create(parent, name, nullptr, "", 0, 0, x, y, w, h);
  for (const char* page : pages) {
    Pages.push_back(new TPanel(*this, page, "", 0, 0, w, h));
    Pages.back()->SetVisible(Pages.size() == 1);
  }
}

TNotebook::~TNotebook() {
  for (TPanel* p : Pages) delete p;
}

void TNotebook::SetPageIndex(int i) {
  if (i < 0 || i >= PageCount()) return;
  Index = i;
  for (int k = 0; k < PageCount(); ++k)
    if (k != i) Pages[k]->SetVisible(false);
  Pages[i]->SetVisible(true);
  // Posted, so that it comes after the rest of the handler, whatever it enables or disables.
  if (!FocusPending) FocusPending = PostMessageA(Handle, WM_CV_FOCUSPAGE, 0, 0) != 0;
}

void TNotebook::FocusPage() {
  FocusPending = false;
  // The page's first tab stop, or the first GoOn control shown and enabled as far as its own
  // flags go: also while the window is still to be shown.
  HWND page = Pages[Index]->Handle, target = GetNextDlgTabItem(page, nullptr, FALSE);
  if (target && !IsChild(page, target)) target = nullptr;
  for (TControl* c : GoOn)
    if (!target && (GetWindowLongA(c->Handle, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE)
      target = c->Handle;
  if (target) Form->FocusControl(target);
}

TProgressBar::TProgressBar(TControl& parent, TTextArg name, int x, int y, int w, int h, bool smooth,
                           int maxValue) {
  Create(parent, name, PROGRESS_CLASSA, "", smooth ? PBS_SMOOTH : 0, 0, x, y, w, h);
  SendMessageA(Handle, PBM_SETRANGE32, 0, maxValue);
}

TTimer::TTimer(TForm& form, UINT interval, bool enabled) : Interval(interval), Form(form) {
  g_timers.push_back(this);
  SetEnabled(enabled);
}

void TTimer::SetEnabled(bool on) {
  if (on == On) return;
  On = on;
  if (on)
    SetTimer(Form.Handle, reinterpret_cast<UINT_PTR>(this), Interval, nullptr);
  else
    KillTimer(Form.Handle, reinterpret_cast<UINT_PTR>(this));
}

TTimer::~TTimer() {
  SetEnabled(false);
  g_timers.erase(std::find(g_timers.begin(), g_timers.end(), this));
}

// ---- TForm -------------------------------------------------------------------------------------
TForm::TForm(const std::string& caption, int clientWidth, int clientHeight, TBorder border,
             TPosition position, const TFontSpec& font)
    : Position(position) {
  Init();
  Form = this;
  Name = "";
  Font = font;
  ParentFont = false;
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, ex = WS_EX_CONTROLPARENT;
  HWND owner = nullptr;
  if (border == TBorder::Single) {
    style |= WS_OVERLAPPED | WS_MINIMIZEBOX;
    owner = Application.Handle;
  } else {
    style |= WS_POPUP;
    ex |= WS_EX_DLGMODALFRAME;
    // A dialog over the main window, or the main window itself under the program's own window,
    // whose task-bar button stands for it.
    owner = Application.MainForm ? Application.MainForm->Handle : Application.Handle;
  }
  RECT r{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&r, style, FALSE, ex);
  Handle = CreateWindowExA(ex, kLayerClass, caption.c_str(), style, 0, 0, r.right - r.left, r.bottom - r.top,
                           owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(Handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetPropA(Handle, kFormProp, Handle);
  if (!Application.MainForm) Application.MainForm = this;
  ApplyFont();
  Place();
}

TForm::~TForm() {
  if (Application.MainForm == this) Application.MainForm = nullptr;  // no quit message from here
  if (Handle) {
    SetWindowLongPtrA(Handle, GWLP_USERDATA, 0);
    HWND h = Handle;
    Handle = nullptr;
    DestroyWindow(h);
  }
  if (Tooltip) DestroyWindow(Tooltip);
}

void TForm::SetFont(const TFontSpec& f) {
  Font = f;
  ApplyFont();
  for (TControl* c : Controls)
    if (c->ParentFont && c->Parent) {
      c->Font = c->Parent->Font;
      c->ApplyFont();
    }
}

void TForm::Place() {
  RECT w;
  GetWindowRect(Handle, &w);
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (Position == TPosition::MainFormCenter && Application.MainForm && Application.MainForm != this)
    GetWindowRect(Application.MainForm->Handle, &area);
  int x = (area.left + area.right - (w.right - w.left)) / 2;
  int y = (area.top + area.bottom - (w.bottom - w.top)) / 2;
  SetWindowPos(Handle, nullptr, std::max(0, x), std::max(0, y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Show(int how) {
  bool visible = IsWindowVisible(Handle);
  if (!visible) {
    Place();
    if (OnShow) OnShow();
  }
  if (!Handle) return;  // the show handler may have closed the program
  ShowWindow(Handle, how);
  if (!visible && ActiveControl && ActiveControl->Handle && IsWindowEnabled(ActiveControl->Handle)) {
    bool activates = how != SW_SHOWNA && how != SW_SHOWNOACTIVATE && how != SW_SHOWMINNOACTIVE &&
                     how != SW_MINIMIZE && how != SW_SHOWMINIMIZED;
    if (activates)
      ::SetFocus(ActiveControl->Handle);
    else
      LastFocus = ActiveControl->Handle;  // taken when the window is activated
  }
}

namespace {
struct TOthers {
  HWND Self;
  std::vector<HWND> Found;
};
BOOL CALLBACK CollectOthers(HWND h, LPARAM p) {
  auto* o = reinterpret_cast<TOthers*>(p);
  if (h != o->Self && IsWindowVisible(h) && IsWindowEnabled(h)) o->Found.push_back(h);
  return TRUE;
}
}  // namespace

int TForm::ShowModal() {
  TOthers others{Handle, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectOthers, reinterpret_cast<LPARAM>(&others));
  std::vector<HWND>& disabled = others.Found;
  HWND previous = GetActiveWindow();
  for (HWND h : disabled) EnableWindow(h, FALSE);
  ModalResult = mrNone;
  InModal = true;
  Show();
  MSG m;
  while (ModalResult == mrNone && Handle) {
    if (GetMessageA(&m, nullptr, 0, 0) <= 0) {
      PostQuitMessage(static_cast<int>(m.wParam));
      if (ModalResult == mrNone) ModalResult = mrCancel;
      break;
    }
    DispatchOne(m);
  }
  InModal = false;
  for (HWND h : disabled) EnableWindow(h, TRUE);
  if (Handle) Hide();
  if (previous && IsWindow(previous)) SetActiveWindow(previous);
  return ModalResult;
}

bool TForm::CloseQuery() {
  bool can = true;
  if (OnCloseQuery) OnCloseQuery(can);
  return can;
}

void TForm::Close() {
  if (!CloseQuery()) return;
  if (InModal) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
  } else if (this == Application.MainForm) {
    DestroyWindow(Handle);  // WM_DESTROY ends the message loop
  } else {
    Hide();
  }
}

void TForm::FocusControl(HWND control) {
  if (GetActiveWindow() != Handle || !IsWindowVisible(Handle)) {
    LastFocus = control;  // taken when the window is activated
    return;
  }
  ::SetFocus(control);
  if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(control, EM_SETSEL, 0, -1);
}

void TForm::MoveDefaultFrame(HWND focus) {
  // Windows, not the controls: a button on its way out may be losing the focus.
  const bool push = focus && IsChild(Handle, focus) &&
                    (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
  HWND framed = push ? focus : DefaultButton;
  if (framed == Framed) return;
  if (Framed) SendMessageA(Framed, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  if (framed) SendMessageA(framed, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  Framed = framed;
}

TControl* TForm::FindControl(const std::string& name) const {
  for (TControl* c : Controls)
    if (c->Name == name) return c;
  return nullptr;
}

// ---- threads -----------------------------------------------------------------------------------
TThread::TThread() { Handle = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &ThreadID); }

TThread::~TThread() {
  if (Handle) CloseHandle(Handle);
}

DWORD WINAPI TThread::ThreadProc(LPVOID p) {
  auto* self = static_cast<TThread*>(p);
  try {
    self->Execute();
  } catch (...) {
  }
  bool free = self->FreeOnTerminate;
  self->Finished = true;
  if (free) delete self;
  return 0;
}

void TThread::WaitFor() { WaitServing(Handle); }

void TThread::Synchronize(const std::function<void()>& call) {
  if (GetCurrentThreadId() == Application.ThreadId || !Application.SyncWindow) {
    call();
    return;
  }
  SyncCall c{&call, nullptr};
  SendMessageA(Application.SyncWindow, WM_CV_SYNC, 0, reinterpret_cast<LPARAM>(&c));
  if (c.Error) std::rethrow_exception(c.Error);
}

void WaitServing(HANDLE h) {
  if (GetCurrentThreadId() != Application.ThreadId) {
    WaitForSingleObject(h, INFINITE);
    return;
  }
  while (MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // serves the sent calls
  }
}

}  // namespace ui

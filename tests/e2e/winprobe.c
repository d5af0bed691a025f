/* Describes a top-level window as the screen shows it, one line per visible control, for the
   real-display tests to compare:

     window  TITLE  CLASS  x,y,w,h
     focus   NAME  CLASS  STATE
     control NAME  CLASS  TEXT  x,y,w,h  FLAGS

   NAME is the control's name as the program gave it (the window property "CvName"), else "#id".
   The focus line names the window that has the keyboard focus; STATE is "usable" when it is
   shown and enabled, else "hidden" or "disabled"; "none" (and NAME "-") when no window or the
   window itself has it.
   The rectangle is in screen pixels. FLAGS, separated by commas:
     focus     the control (or a child of it, as a combo box's edit) has the keyboard focus
     first     the first control of the tab order (visible, enabled, WS_TABSTOP, z-order)
     tabstop, disabled
     push, default   a push button; one with the default frame
     radio, checked   a radio button; a radio button or check box that is checked
     whole / scrolled   an edit with text: its first character shows / has scrolled out of sight
     hit       a click at the control's centre reaches the control itself; otherwise
               covered:NAME names the window that takes it
     fits / clipped:WxH   static text only: the ink the control draws, measured on the screen
               after giving it room to the edge of its parent, lies inside the control and
               keeps clear of its last column / needs W x H pixels
   The ink is measured by growing the control for a moment (text that wraps, downwards; a single
   line, to the right), repainting it and reading its pixels back from the screen; the control
   gets its size and place in the z-order back afterwards. The blinking caret of the focused
   field, which may lie in the grown rectangle, is not ink.

     winprobe [-q] [TITLE]   the window of that title, else the foreground window; -q: no ink
     winprobe -close [TITLE] asks the window to close as its title bar's close box does
                             (WM_SYSCOMMAND SC_CLOSE, refused while the box is greyed)
     winprobe -repaint NAME [TITLE]   repaints that control alone, as when only it is uncovered
   Exit code 1 when there is no such window. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static HWND g_root, g_focus, g_first;
static RECT g_caret; /* screen rectangle of the caret, empty when none */
static int g_ink = 1;

static void name_of(HWND h, char* out, size_t n) {
  ATOM a = (ATOM)(ULONG_PTR)GetPropA(h, "CvName");
  if (!a || !GlobalGetAtomNameA(a, out, (int)n)) snprintf(out, n, "#%d", GetDlgCtrlID(h));
}

/* The text on one line: CR, LF and TAB written as \r, \n and \t. Asked of the control itself
   (GetWindowText gives another process's controls only the text they were created with). */
static void text_of(HWND h, char* out, size_t n) {
  char raw[1024] = "";
  size_t k = 0;
  DWORD_PTR got;
  SendMessageTimeoutA(h, WM_GETTEXT, sizeof raw, (LPARAM)raw, SMTO_ABORTIFHUNG, 5000, &got);
  for (const char* p = raw; *p && k + 3 < n; ++p) {
    char c = *p == '\r' ? 'r' : *p == '\n' ? 'n' : *p == '\t' ? 't' : 0;
    if (c) { out[k++] = '\\'; out[k++] = c; } else out[k++] = *p;
  }
  out[k] = 0;
}

static int usable(HWND h) { return IsWindowVisible(h) && IsWindowEnabled(h); }

/* The first tab stop as the dialog manager finds it: children in z-order, containers
   (WS_EX_CONTROLPARENT) entered, only visible and enabled windows. */
static HWND first_tabstop(HWND parent) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!usable(c)) continue;
    if (GetWindowLongA(c, GWL_STYLE) & WS_TABSTOP) return c;
    if (GetWindowLongA(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
      HWND f = first_tabstop(c);
      if (f) return f;
    }
  }
  return NULL;
}

/* The window a click at pt reaches, below parent: the topmost visible child that contains the
   point and does not pass it on (WM_NCHITTEST gives HTTRANSPARENT for a group box's frame, for
   instance), and within it the same again; a disabled child leaves the click to its parent. */
static HWND window_at(HWND parent, POINT pt) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(c, &r);
    if (!IsWindowVisible(c) || !PtInRect(&r, pt)) continue;
    if (!IsWindowEnabled(c)) return parent;
    if (SendMessageA(c, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)) == HTTRANSPARENT) continue;
    return window_at(c, pt);
  }
  return parent;
}

/* Is this a static control that draws text (not a picture, icon or rule)? */
static int text_static(HWND h) {
  char cls[32] = "", text[4];
  GetClassNameA(h, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") || !GetWindowTextA(h, text, sizeof text)) return 0;
  DWORD type = GetWindowLongA(h, GWL_STYLE) & SS_TYPEMASK;
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
         type == SS_LEFTNOWORDWRAP;
}

/* The pixels of the screen rectangle r, row by row (free them). */
static DWORD* grab(RECT r) {
  int w = r.right - r.left, hgt = r.bottom - r.top;
  DWORD* copy = malloc(sizeof(DWORD) * (w > 0 && hgt > 0 ? w * hgt : 1));
  if (w <= 0 || hgt <= 0) return copy;
  HDC screen = GetDC(NULL), mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {{sizeof bi.bmiHeader, w, -hgt, 1, 32, BI_RGB}};
  DWORD* px = NULL;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, (void**)&px, NULL, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, hgt, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  memcpy(copy, px, sizeof(DWORD) * w * hgt);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(NULL, screen);
  return copy;
}

static int differs(DWORD p, DWORD q) {
  int d = abs((int)(p & 0xFF) - (int)(q & 0xFF)) + abs((int)((p >> 8) & 0xFF) - (int)((q >> 8) & 0xFF)) +
          abs((int)((p >> 16) & 0xFF) - (int)((q >> 16) & 0xFF));
  return d >= 48;
}

/* The box around every pixel of the screen rectangle r that differs from the ground: the same
   pixel of ground (the rectangle without the control), or with ground NULL the colour of its
   top-left pixel (an opaque control's own ground); right and bottom exclusive, relative to r. */
static RECT ink_box(RECT r, const DWORD* ground) {
  RECT box = {0, 0, 0, 0};
  int w = r.right - r.left, hgt = r.bottom - r.top;
  if (w <= 0 || hgt <= 0) return box;
  DWORD* px = grab(r);
  int found = 0;
  for (int y = 0; y < hgt; ++y)
    for (int x = 0; x < w; ++x) {
      POINT at = {r.left + x, r.top + y};
      if (PtInRect(&g_caret, at)) continue;
      if (!differs(px[y * w + x], ground ? ground[y * w + x] : px[0])) continue;
      if (!found || x < box.left) box.left = x;
      if (!found || y < box.top) box.top = y;
      if (!found || x + 1 > box.right) box.right = x + 1;
      if (!found || y + 1 > box.bottom) box.bottom = y + 1;
      found = 1;
    }
  free(px);
  return box;
}

static void repaint(HWND h) {
  RedrawWindow(h, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(60);  /* the other process paints; the X server shows it */
}

/* The ink that control h draws in the screen rectangle r, once repainted when it has just
   changed. A transparent label draws only its text: its ink is what it changes on the rectangle
   as it shows without it. */
static RECT ink_in(HWND h, RECT r, int changed) {
  DWORD* ground = NULL;
  if (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TRANSPARENT) {
    ShowWindow(h, SW_HIDE);
    repaint(GetParent(h));
    ground = grab(r);
    ShowWindow(h, SW_SHOWNA);
    changed = 1;
  }
  if (changed) repaint(h);
  RECT ink = ink_box(r, ground);
  free(ground);
  return ink;
}

/* The size the control's text needs, measured from its ink with room to grow. */
static SIZE needed(HWND h) {
  RECT w, pc;
  GetWindowRect(h, &w);
  HWND parent = GetParent(h);
  GetClientRect(parent, &pc);
  MapWindowPoints(parent, NULL, (POINT*)&pc, 2);
  int width = w.right - w.left, height = w.bottom - w.top;
  DWORD type = GetWindowLongA(h, GWL_STYLE) & SS_TYPEMASK;
  int wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
  int gw = wraps ? width : pc.right - w.left, gh = wraps ? pc.bottom - w.top : height;
  if (!wraps && gw < width + 40) gw = width + 40; /* a control at the parent's edge still shows */
  RECT drawn = ink_in(h, w, 0);
  HWND above = GetWindow(h, GW_HWNDPREV);
  RECT grown = {w.left, w.top, w.left + gw, w.top + gh};
  IntersectRect(&grown, &grown, &pc);
  SetWindowPos(h, HWND_TOP, 0, 0, gw, gh, SWP_NOMOVE | SWP_NOACTIVATE);
  RECT ink = ink_in(h, grown, 1);
  SetWindowPos(h, above ? above : HWND_TOP, 0, 0, width, height, SWP_NOMOVE | SWP_NOACTIVATE);
  repaint(parent);
  SIZE s = {ink.right, ink.bottom};
  /* Text that wraps grew downwards only: ink in its last column means a line runs on past the
     edge, cut there. (Single lines grew to the right and show their whole width.) */
  if (wraps && drawn.right >= width && s.cx <= width) s.cx = width + 1;
  return s;
}

static BOOL CALLBACK describe(HWND h, LPARAM unused) {
  (void)unused;
  if (!IsWindowVisible(h)) return TRUE;
  char name[128], cls[64] = "", text[1100], flags[256] = "";
  name_of(h, name, sizeof name);
  GetClassNameA(h, cls, sizeof cls);
  text_of(h, text, sizeof text);
  RECT r;
  GetWindowRect(h, &r);
  DWORD style = GetWindowLongA(h, GWL_STYLE);
  int len = 0;
#define FLAG(...) (len += snprintf(flags + len, sizeof flags - len, __VA_ARGS__))
  if (g_focus && (g_focus == h || IsChild(h, g_focus))) FLAG("focus,");
  if (h == g_first) FLAG("first,");
  if (style & WS_TABSTOP) FLAG("tabstop,");
  if (!IsWindowEnabled(h)) FLAG("disabled,");
  if (!lstrcmpiA(cls, "Button")) {
    DWORD type = style & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) FLAG("push,");
    if (type == BS_DEFPUSHBUTTON) FLAG("default,");
    if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) FLAG("radio,");
    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_GROUPBOX &&
        SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED)
      FLAG("checked,");
  }
  if (!lstrcmpiA(cls, "Edit") && text[0]) {
    RECT fr;
    SendMessageA(h, EM_GETRECT, 0, (LPARAM)&fr);
    LRESULT at = SendMessageA(h, EM_POSFROMCHAR, 0, 0);
    FLAG(at != -1 && (short)LOWORD(at) >= fr.left ? "whole," : "scrolled,");
  }
  POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  HWND at = window_at(g_root, centre);
  if (at == h) FLAG("hit,");
  else {
    char other[128] = "-";
    if (at == g_root) snprintf(other, sizeof other, "window");
    else if (at) name_of(at, other, sizeof other);
    FLAG("covered:%s,", other);
  }
  if (g_ink && text_static(h)) {
    SIZE need = needed(h);
    if (need.cx <= r.right - r.left && need.cy <= r.bottom - r.top) FLAG("fits,");
    else FLAG("clipped:%ldx%ld,", need.cx, need.cy);
  }
  if (len) flags[len - 1] = 0;
  printf("control\t%s\t%s\t%s\t%ld,%ld,%ld,%ld\t%s\n", name, cls, text, r.left, r.top, r.right - r.left,
         r.bottom - r.top, flags);
  return TRUE;
}

static const char* g_wanted;
static HWND g_named;
static BOOL CALLBACK find_named(HWND h, LPARAM unused) {
  char name[128];
  (void)unused;
  name_of(h, name, sizeof name);
  if (strcmp(name, g_wanted)) return TRUE;
  g_named = h;
  return FALSE;
}

int main(int argc, char** argv) {
  int close = 0, i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (!strcmp(argv[i], "-q")) g_ink = 0;
    else if (!strcmp(argv[i], "-close")) close = 1;
    else if (!strcmp(argv[i], "-repaint") && i + 1 < argc) g_wanted = argv[++i];
  }
  g_root = i < argc ? FindWindowA(NULL, argv[i]) : GetForegroundWindow();
  if (!g_root || !IsWindowVisible(g_root)) {
    printf("none\n");
    return 1;
  }
  if (g_wanted) {
    EnumChildWindows(g_root, find_named, 0);
    if (!g_named) {
      printf("no control %s\n", g_wanted);
      return 1;
    }
    RedrawWindow(g_named, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return 0;
  }
  if (close) {
    HMENU menu = GetSystemMenu(g_root, FALSE);
    UINT state = menu ? GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) : 0;
    if (!(GetWindowLongA(g_root, GWL_STYLE) & WS_SYSMENU) || state == (UINT)-1 || (state & (MF_DISABLED | MF_GRAYED))) {
      printf("no close box\n");
      return 0;
    }
    PostMessageA(g_root, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  GUITHREADINFO info = {sizeof info};
  if (GetGUIThreadInfo(GetWindowThreadProcessId(g_root, NULL), &info)) {
    g_focus = info.hwndFocus;
    if (info.hwndCaret && !IsRectEmpty(&info.rcCaret)) {
      g_caret = info.rcCaret;
      InflateRect(&g_caret, 1, 1);
      MapWindowPoints(info.hwndCaret, NULL, (POINT*)&g_caret, 2);
    }
  }
  g_first = first_tabstop(g_root);
  char title[256] = "", cls[64] = "";
  GetWindowTextA(g_root, title, sizeof title);
  GetClassNameA(g_root, cls, sizeof cls);
  RECT r;
  GetWindowRect(g_root, &r);
  printf("window\t%s\t%s\t%ld,%ld,%ld,%ld\n", title, cls, r.left, r.top, r.right - r.left, r.bottom - r.top);
  if (g_focus && g_focus != g_root && IsChild(g_root, g_focus)) {
    char name[128], fcls[64] = "";
    name_of(g_focus, name, sizeof name);
    GetClassNameA(g_focus, fcls, sizeof fcls);
    printf("focus\t%s\t%s\t%s\n", name, fcls,
           !IsWindowVisible(g_focus) ? "hidden" : !IsWindowEnabled(g_focus) ? "disabled" : "usable");
  } else {
    printf("focus\t-\t-\tnone\n");
  }
  EnumChildWindows(g_root, describe, 0);
  return 0;
}

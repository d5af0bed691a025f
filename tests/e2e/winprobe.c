/* Describes a top-level window as the screen shows it, one line per visible control, for the
   real-display tests to compare:

     window  TITLE  CLASS  x,y,w,h
     control NAME  CLASS  TEXT  x,y,w,h  FLAGS

   NAME is the control's name as the program gave it (the window property "CvName"), else "#id".
   The rectangle is in screen pixels. FLAGS, separated by commas:
     focus     the control (or a child of it, as a combo box's edit) has the keyboard focus
     first     the first control of the tab order (visible, enabled, WS_TABSTOP, z-order)
     tabstop, disabled
     hit       a click at the control's centre reaches the control itself; otherwise
               covered:NAME names the window that takes it
     fits / clipped:WxH   static text only: the ink the control draws, measured on the screen
               after giving it room to the edge of its parent, lies inside the control and
               keeps clear of its last column / needs W x H pixels
   The ink is measured by growing the control for a moment (text that wraps, downwards; a single
   line, to the right), repainting it and reading its pixels back from the screen; the control
   gets its size and place in the z-order back afterwards.

     winprobe [-q] [TITLE]   the window of that title, else the foreground window; -q: no ink
     winprobe -close [TITLE] asks the window to close as its title bar's close box does
                             (WM_SYSCOMMAND SC_CLOSE, refused while the box is greyed)
   Exit code 1 when there is no such window. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static HWND g_root, g_focus, g_first;
static int g_ink = 1;

static void name_of(HWND h, char* out, size_t n) {
  ATOM a = (ATOM)(ULONG_PTR)GetPropA(h, "CvName");
  if (!a || !GlobalGetAtomNameA(a, out, (int)n)) snprintf(out, n, "#%d", GetDlgCtrlID(h));
}

/* The text on one line: CR, LF and TAB written as \r, \n and \t. */
static void text_of(HWND h, char* out, size_t n) {
  char raw[1024] = "";
  size_t k = 0;
  GetWindowTextA(h, raw, sizeof raw);
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

/* The caret of the thread that owns h, in screen coordinates (empty when it has none): it blinks,
   and where a grown label reaches over the field that has it, it is no ink of the label's. */
static RECT caret_of(HWND h) {
  RECT caret = {0, 0, 0, 0};
  GUITHREADINFO gui = {sizeof gui};
  if (GetGUIThreadInfo(GetWindowThreadProcessId(h, NULL), &gui) && gui.hwndCaret) {
    caret = gui.rcCaret;
    InflateRect(&caret, 1, 1);
    MapWindowPoints(gui.hwndCaret, NULL, (POINT*)&caret, 2);
  }
  return caret;
}

/* The box around every pixel of the screen rectangle r that differs from the colour of its
   top-left pixel (the control's ground) and lies outside the screen rectangle skip; right and
   bottom exclusive, relative to r. */
static RECT ink_box(RECT r, RECT skip) {
  RECT box = {0, 0, 0, 0};
  int w = r.right - r.left, hgt = r.bottom - r.top;
  if (w <= 0 || hgt <= 0) return box;
  HDC screen = GetDC(NULL), mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {{sizeof bi.bmiHeader, w, -hgt, 1, 32, BI_RGB}};
  DWORD* px = NULL;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, (void**)&px, NULL, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, hgt, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  DWORD ground = px[0] & 0xFFFFFF;
  int found = 0;
  for (int y = 0; y < hgt; ++y)
    for (int x = 0; x < w; ++x) {
      DWORD p = px[y * w + x] & 0xFFFFFF;
      int d = abs((int)(p & 0xFF) - (int)(ground & 0xFF)) + abs((int)((p >> 8) & 0xFF) - (int)((ground >> 8) & 0xFF)) +
              abs((int)(p >> 16) - (int)(ground >> 16));
      if (d < 48) continue;
      POINT at = {r.left + x, r.top + y};
      if (PtInRect(&skip, at)) continue;
      if (!found || x < box.left) box.left = x;
      if (!found || y < box.top) box.top = y;
      if (!found || x + 1 > box.right) box.right = x + 1;
      if (!found || y + 1 > box.bottom) box.bottom = y + 1;
      found = 1;
    }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(NULL, screen);
  return box;
}

static void repaint(HWND h) {
  RedrawWindow(h, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(60);  /* the other process paints; the X server shows it */
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
  const RECT caret = caret_of(h);
  RECT drawn = ink_box(w, caret);
  HWND above = GetWindow(h, GW_HWNDPREV);
  SetWindowPos(h, HWND_TOP, 0, 0, gw, gh, SWP_NOMOVE | SWP_NOACTIVATE);
  repaint(h);
  RECT grown = {w.left, w.top, w.left + gw, w.top + gh};
  IntersectRect(&grown, &grown, &pc);
  RECT ink = ink_box(grown, caret);
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

int main(int argc, char** argv) {
  int close = 0, i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (!strcmp(argv[i], "-q")) g_ink = 0;
    else if (!strcmp(argv[i], "-close")) close = 1;
  }
  g_root = i < argc ? FindWindowA(NULL, argv[i]) : GetForegroundWindow();
  if (!g_root || !IsWindowVisible(g_root)) {
    printf("none\n");
    return 1;
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
  if (GetGUIThreadInfo(GetWindowThreadProcessId(g_root, NULL), &info)) g_focus = info.hwndFocus;
  g_first = first_tabstop(g_root);
  char title[256] = "", cls[64] = "";
  GetWindowTextA(g_root, title, sizeof title);
  GetClassNameA(g_root, cls, sizeof cls);
  RECT r;
  GetWindowRect(g_root, &r);
  printf("window\t%s\t%s\t%ld,%ld,%ld,%ld\n", title, cls, r.left, r.top, r.right - r.left, r.bottom - r.top);
  EnumChildWindows(g_root, describe, 0);
  return 0;
}

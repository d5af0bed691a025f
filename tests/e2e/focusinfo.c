/* Prints the control that has the keyboard focus in the foreground window, as
   "CLASS<TAB>TEXT", so that a keyboard-driven test can see where its Tab presses went. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  GUITHREADINFO info = {sizeof info};
  HWND fg = GetForegroundWindow();
  char cls[64] = "", text[256] = "";
  if (!fg || !GetGUIThreadInfo(GetWindowThreadProcessId(fg, NULL), &info) || !info.hwndFocus) {
    printf("none\t\n");
    return 1;
  }
  GetClassNameA(info.hwndFocus, cls, sizeof cls);
  GetWindowTextA(info.hwndFocus, text, sizeof text);
  printf("%s\t%s\n", cls, text);
  return 0;
}

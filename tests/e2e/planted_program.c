/* A program with a system tool's name (regsvr32.exe), as someone may leave it beside setup.exe
   or in the current directory. Started, it leaves "<its own path>.ran" beside itself. */
#include <windows.h>

int main(void) {
  char path[MAX_PATH + 8];
  DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  lstrcpyA(path + n, ".ran");
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  return 0;
}

// The system's DLLs by their full path, and the narrowed search: see systemdll.h.
#include "shared/systemdll.h"

void RestrictDllSearch() {
  // Looked up here, not imported: kernel32 of Windows 95 has neither, and a program that imported
  // them would not start there.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (auto setDefault = SystemFunction<BOOL(WINAPI*)(DWORD)>(kernel, "SetDefaultDllDirectories"))
    setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (auto setDirectory = SystemFunction<BOOL(WINAPI*)(LPCSTR)>(kernel, "SetDllDirectoryA")) setDirectory("");
}

bool SystemFilePath(const char* name, char (&path)[MAX_PATH + 16]) {
  UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || lstrlenA(name) > 14) return false;
  if (path[n - 1] != '\\') path[n++] = '\\';
  lstrcpyA(path + n, name);
  return true;
}

HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH + 16];
  return SystemFilePath(name, path) ? LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) : nullptr;
}

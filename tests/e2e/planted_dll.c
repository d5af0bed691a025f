// A DLL with a system's name, as someone may leave it beside a program or in the current
// directory. The test build makes it as planted_comctl32.dll and planted_version.dll (their
// exports in planted_*.def); the tests copy it under the system's names, the first under other
// names too. Loaded, it leaves
// "<its own path>.loaded" beside itself; a call of one of the functions that the programs use
// leaves "<its own path>.called" and fails. Wine's own user32 imports version.dll, and so loads
// this one wherever Wine takes that name from: the version functions it calls go on to the
// system's DLL.
#include <windows.h>

static HINSTANCE self;

static void Mark(const char* suffix) {
  char path[MAX_PATH + 16];
  DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  lstrcpyA(path + n, suffix);
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    self = instance;
    Mark(".loaded");
  }
  return TRUE;
}

#ifdef PLANTED_VERSION

static void* System(const char* name) {
  static HMODULE real;
  if (!real) {
    char path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    lstrcpyA(path + n, "\\version.dll");
    real = LoadLibraryA(path);
  }
  return (void*)GetProcAddress(real, name);
}

DWORD WINAPI PlantedSizeW(LPCWSTR file, DWORD* handle) {
  return ((DWORD(WINAPI*)(LPCWSTR, DWORD*))System("GetFileVersionInfoSizeW"))(file, handle);
}
BOOL WINAPI PlantedInfoW(LPCWSTR file, DWORD handle, DWORD size, void* data) {
  return ((BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, void*))System("GetFileVersionInfoW"))(file, handle, size, data);
}
BOOL WINAPI PlantedQueryW(const void* block, LPCWSTR sub, void** value, UINT* length) {
  return ((BOOL(WINAPI*)(const void*, LPCWSTR, void**, UINT*))System("VerQueryValueW"))(block, sub, value, length);
}

DWORD WINAPI PlantedSizeA(LPCSTR file, DWORD* handle) {
  (void)file;
  Mark(".called");
  if (handle) *handle = 0;
  SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return 0;
}
BOOL WINAPI PlantedInfoA(LPCSTR file, DWORD handle, DWORD size, void* data) {
  (void)file, (void)handle, (void)size, (void)data;
  Mark(".called");
  return FALSE;
}
BOOL WINAPI PlantedQueryA(const void* block, LPCSTR sub, void** value, UINT* length) {
  (void)block, (void)sub, (void)value, (void)length;
  Mark(".called");
  return FALSE;
}

#else

BOOL WINAPI PlantedInitCommonControlsEx(const void* init) {
  (void)init;
  Mark(".called");
  return FALSE;
}
void WINAPI PlantedInitCommonControls(void) { Mark(".called"); }
void* WINAPI PlantedImageListCreate(int cx, int cy, UINT flags, int initial, int grow) {
  (void)cx, (void)cy, (void)flags, (void)initial, (void)grow;
  Mark(".called");
  return NULL;
}

#endif

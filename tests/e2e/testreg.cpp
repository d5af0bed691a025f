// A DLL that can be registered: each call appends its name to the file that the environment
// variable CV_TEST_REG_MARKER names.
#include <windows.h>

namespace {

HRESULT Mark(const char* what) {
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("CV_TEST_REG_MARKER", path, sizeof path);
  if (n == 0 || n >= sizeof path) return E_FAIL;
  HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return E_FAIL;
  DWORD written;
  WriteFile(h, what, lstrlenA(what), &written, nullptr);
  CloseHandle(h);
  return S_OK;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() { return Mark("register\r\n"); }
extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() { return Mark("unregister\r\n"); }

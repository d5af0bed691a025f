// Runs a copy of the running test program as another Windows version. Wine reports the version
// set for a program's file name under HKCU\Software\Wine\AppDefaults, so the copy is made under a
// name of its own, runs only the tests of `filter`, and finds what it should see in the
// environment variable `var`.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

inline void RunAsWindowsVersion(const std::string& exe, const char* version, const char* filter,
                                const char* var, const char* value) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  ASSERT_TRUE(CopyFileA(self, exe.c_str(), FALSE));
  std::string key = "Software\\Wine\\AppDefaults\\" + exe.substr(exe.find_last_of('\\') + 1);
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr), 0);
  RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), lstrlenA(version) + 1);
  RegCloseKey(k);
  SetEnvironmentVariableA(var, value);
  std::string cmd = "\"" + exe + "\" --gtest_filter=" + filter;
  STARTUPINFOA si{sizeof si};
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u) << "the copy running as " << version << " found another font";
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  SetEnvironmentVariableA(var, nullptr);
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  DeleteFileA(exe.c_str());
}

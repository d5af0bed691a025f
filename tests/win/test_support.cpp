#include "tests/win/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace testsupport {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteAll(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &f);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = f.cFileName;
      if (name == "." || name == "..") continue;
      if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(dir + name + "\\");
      } else {
        SetFileAttributesA((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((dir + name).c_str());
      }
    } while (FindNextFileA(h, &f));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = f.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(h, &f));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ProgramDir() {
  char path[MAX_PATH];
  const std::string p(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return p.substr(0, p.rfind('\\') + 1);
}

std::string FreshTestDir(const std::string& tag) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "outside";
  std::replace(name.begin(), name.end(), '/', '_');  // parameterised tests: Prefix/Suite.Name/0
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string dir =
      std::string(temp) + "cv_" + tag + "_" + name + "_" + std::to_string(GetCurrentProcessId()) + "\\";
  RemoveTree(dir);
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

void WriteTools(const std::string& dir, const std::string& uninstaller, const std::string& extractor,
                const std::string& setup) {
  WriteAll(dir + "cv2uinst.exe", uninstaller);
  WriteAll(dir + "extractor.exe", extractor);
  WriteAll(dir + "setup.exe", setup);
}

void RunAsWindowsVersion(const std::string& exe, const char* version, const char* filter, const char* var,
                         const char* value) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  ASSERT_TRUE(CopyFileA(self, exe.c_str(), FALSE));
  const std::string key = "Software\\Wine\\AppDefaults\\" + exe.substr(exe.find_last_of('\\') + 1);
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr), 0);
  RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), lstrlenA(version) + 1);
  RegCloseKey(k);
  SetEnvironmentVariableA(var, value);
  std::string cmd = "\"" + exe + "\" --gtest_filter=" + filter;
  STARTUPINFOA si{sizeof si};
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0) << "the copy running as " << version;
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u) << "the copy running as " << version << " failed";
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  SetEnvironmentVariableA(var, nullptr);
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  DeleteFileA(exe.c_str());
}

namespace {
void SetSlot(void** slot, void* value) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
  *slot = value;
  VirtualProtect(slot, sizeof *slot, old, &old);
}
}  // namespace

TImportHook::TImportHook(const char* dll, const char* name, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      Slot = reinterpret_cast<void**>(&slots->u1.Function);
      Previous = *Slot;
      SetSlot(Slot, replacement);
      return;
    }
  }
}

TImportHook::~TImportHook() {
  if (Slot) SetSlot(Slot, Previous);
}

}  // namespace testsupport

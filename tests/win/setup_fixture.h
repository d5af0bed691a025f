// Fixture packages for the setup runtime's in-process tests: setup.dat written from the records
// of sharedtypes.h, data.pak headed by a fake uninstaller, in a private directory. Each test
// process also gets a private TEMP, so parallel tests never share a temporary directory name.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "shared/sharedtypes.h"
#include "tests/win/test_support.h"

namespace fixture {

using testsupport::RemoveTree;

// A fresh directory of this test process (process ids come again, so whatever an earlier process
// left there goes first), removed when the process ends.
inline std::string TestRoot() {
  static const std::string* root = [] {  // never destroyed: the exit handler still needs it
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string r = std::string(tmp) + "cvsetup_" + std::to_string(GetCurrentProcessId()) + "\\";
    RemoveTree(r);
    std::atexit([] { RemoveTree(TestRoot()); });
    CreateDirectoryA(r.c_str(), nullptr);
    const std::string t = r + "temp";
    CreateDirectoryA(t.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", t.c_str());
    SetEnvironmentVariableA("TEMP", t.c_str());
    return new std::string(r);
  }();
  return *root;
}

inline std::string PrivateTemp() { return TestRoot() + "temp\\"; }

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  if (!bytes.empty()) ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(h, nullptr));
  DWORD n = 0;
  if (!bytes.empty()) ::ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
  return bytes;
}

inline bool DirExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// A package description, written as setup.dat section by section.
struct Package {
  TAppInfoRec info{};
  std::vector<std::string> packages;
  std::vector<TRegValueRec> reg;
  std::vector<TShortcutRec> shortcuts;
  std::vector<std::string> dlls, post, pre;
  std::vector<TPackedFileRec> files;
  std::vector<uint8_t> uninstaller{'M', 'Z', 1, 2, 3};
  std::string license;  // written as license.rtf when not empty

  Package() {
    info.AppTitle.Set("Editor");
    info.AppVersion.Set("2.0");
    info.Company.Set("Acme");
    info.Homepage.Set("http://acme.example/");
    info.DefaultDestDir.Set("<ProgramFiles>\\<AppName>");
    std::memset(&info.OsWin95, 1, 8);
    packages = {"Required Files"};
  }

  std::vector<uint8_t> SetupDat() const {
    std::vector<uint8_t> b;
    auto put = [&b](const void* p, size_t n) {
      b.insert(b.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    auto strs = [&](const std::vector<std::string>& v, size_t width) {
      const uint32_t n = static_cast<uint32_t>(v.size());
      put(&n, width);
      for (const auto& s : v) {
        ShortString x;
        x.Set(s);
        put(&x, sizeof x);
      }
    };
    TAppInfoRec i = info;
    i.UninstallerSize = static_cast<int32_t>(uninstaller.size());
    put(&i, sizeof i);
    strs(packages, 1);
    uint16_t n16 = static_cast<uint16_t>(reg.size());
    put(&n16, 2);
    for (auto& r : reg) put(&r, sizeof r);
    uint8_t n8 = static_cast<uint8_t>(shortcuts.size());
    put(&n8, 1);
    for (auto& s : shortcuts) put(&s, sizeof s);
    strs(dlls, 2);
    strs(post, 1);
    strs(pre, 1);
    int32_t nf = static_cast<int32_t>(files.size());
    put(&nf, 4);
    for (auto& f : files) put(&f, sizeof f);
    return b;
  }

  // Writes the package into a new directory below the test root; answers it with its "\".
  std::string Write(const std::string& name) const {
    const std::string dir = TestRoot() + name + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    WriteFile(dir + "setup.dat", SetupDat());
    std::vector<uint8_t> pak = uninstaller;
    pak.insert(pak.end(), {'d', 'a', 't', 'a'});
    WriteFile(dir + "data.pak", pak);
    if (!license.empty()) WriteFile(dir + "license.rtf", {license.begin(), license.end()});
    return dir;
  }
};

}  // namespace fixture

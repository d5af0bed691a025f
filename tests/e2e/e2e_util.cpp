#include "tests/e2e/e2e_util.h"

#include <vector>

#include "tests/win/test_support.h"

namespace e2e {

std::string FreshDir(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string dir = std::string(temp) + "cvtools-e2e\\" + name;
  DeleteTree(dir);
  MakeDirs(dir);
  return dir;
}

void DeleteTree(const std::string& dir) { testsupport::RemoveTree(dir + "\\"); }

void MakeDirs(const std::string& dir) {
  for (size_t at = dir.find('\\', 3); at != std::string::npos; at = dir.find('\\', at + 1))
    CreateDirectoryA(dir.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(dir.c_str(), nullptr);
}

void WriteText(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(h);
}

std::string ReadText(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  std::string text(GetFileSize(h, nullptr), '\0');
  DWORD got = 0;
  ReadFile(h, text.data(), DWORD(text.size()), &got, nullptr);
  CloseHandle(h);
  text.resize(got);
  return text;
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
  HKEY h;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) != ERROR_SUCCESS) return;
  RegSetValueExA(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
  RegCloseKey(h);
}

bool RegKeyExists(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

bool RegValueExists(HKEY root, const std::string& key, const std::string& name) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  LONG rc = RegQueryValueExA(h, name.c_str(), nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

void DeleteRegTree(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
  std::vector<std::string> subkeys;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(h, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, len);
  }
  RegCloseKey(h);
  for (const std::string& sub : subkeys) DeleteRegTree(root, key + "\\" + sub);
  RegDeleteKeyA(root, key.c_str());
}

}  // namespace e2e

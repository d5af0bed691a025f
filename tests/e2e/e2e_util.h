// Small file and registry helpers of the whole-program tests.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// A fresh, empty folder for one test: <temp>\cvtools-e2e\<name>, no trailing backslash.
std::string FreshDir(const std::string& name);
void DeleteTree(const std::string& dir);
void MakeDirs(const std::string& dir);
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);  // "" when missing
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);

void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
bool RegKeyExists(HKEY root, const std::string& key);
bool RegValueExists(HKEY root, const std::string& key, const std::string& name);
void DeleteRegTree(HKEY root, const std::string& key);

}  // namespace e2e

// What the Wine tests set up again and again: files read and written whole, folder trees listed
// and removed, a fresh folder for each test, the tool files a build takes from the creator's
// folder, a build run to its end, and a copy of the running test program run as another Windows
// version.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TBuildHost;

namespace testsupport {

std::string ReadAll(const std::string& path);  // "" when missing
void WriteAll(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Removes dir (ending in a backslash) with everything below it, read-only files too.
void RemoveTree(const std::string& dir);
// The names in dir (ending in a backslash), sorted, without "." and "..".
std::vector<std::string> Entries(const std::string& dir);
// The directory of the running test program, with its trailing backslash.
std::string ProgramDir();

// A fresh, empty folder of the running test, "<temp>\cv_<tag>_<suite>.<test>_<process id>\":
// tests running side by side, or one test after another, never share it. Whatever an earlier
// process of the same id left there goes first; the caller removes it when the test ends.
std::string FreshTestDir(const std::string& tag);

// The tool files a build copies from the creator's folder (dir, ending in a backslash).
void WriteTools(const std::string& dir, const std::string& uninstaller, const std::string& extractor,
                const std::string& setup);

// An LZH block of a build's output, restored.
std::string Decompress(const std::string& block);

// Runs a build of host to its end, serving its hand-overs meanwhile; false when the build thread
// could not be waited for.
bool RunBuild(TBuildHost& host);

// Runs a copy of the running test program as another Windows version and expects it to exit 0.
// Wine reports the version set for a program's file name under HKCU\Software\Wine\AppDefaults,
// so the copy is made as exe, a name of its own, runs only the tests of filter, and finds what it
// should see in the environment variable var.
void RunAsWindowsVersion(const std::string& exe, const char* version, const char* filter, const char* var,
                         const char* value);

}  // namespace testsupport

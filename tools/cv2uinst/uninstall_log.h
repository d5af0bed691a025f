// What the uninstaller makes of an uninstall log (cv2uinst.dat): the lines, read back, and the
// plan of removals they call for. Portable: no system calls.
//
// The log holds one action per line, "Tag::text" then CR LF, in the order in which setup did
// them: CreateDir::, CreateFile::, CreateRegKey::, CreateRegValue::, RegisterDLL::, Exec::.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class TLogTag { CreateDir, CreateFile, CreateRegKey, CreateRegValue, RegisterDLL, Exec };

struct TLogLine {
  TLogTag Tag;
  std::string Text;
};

// The lines of a log's text, in order. Lines with no known tag, and empty texts, are left out;
// a line may end in CR LF or in LF alone.
std::vector<TLogLine> ParseUninstallLog(std::string_view text);

// A registry location of a log line: "HKEY_...\key path" or "HKEY_...\key path\value name".
struct TRegPath {
  std::string Root;  // the root key's name as written, e.g. "HKEY_LOCAL_MACHINE"
  std::string Key;   // without leading or trailing backslashes
  std::string Value;  // "CreateRegValue::" only; may be empty (the key's default value)
};
// False when the text names no root (nothing before the first backslash) or no key.
bool SplitRegKey(std::string_view text, TRegPath& out);
bool SplitRegValue(std::string_view text, TRegPath& out);

// The registration command line turned into its undoing: "/u" after the program.
// regsvr32.exe /s "C:\a b\x.dll"  ->  regsvr32.exe /u /s "C:\a b\x.dll"
std::string UnregisterCommand(std::string_view registerCommand);

// A full local or network path ("C:\..." or "\\server\share\..."): the only paths the
// uninstaller touches, since a relative one would depend on its current directory.
bool IsFullPath(std::string_view path);

// The path without its trailing backslashes (but "C:\" stays as it is).
std::string WithoutTrailingSlash(std::string_view path);

// The directory part of a path, without trailing backslash ("" when there is none).
std::string ParentDir(std::string_view path);

// True when path lies strictly below dir (with only A to Z folded; either may end in "\").
bool IsBelow(std::string_view path, std::string_view dir);

// The work an uninstall log calls for, in the order in which it is done.
struct TUninstallPlan {
  std::vector<std::string> Commands;     // Exec:: in log order
  std::vector<std::string> Unregister;   // RegisterDLL:: in reverse, "/u" added
  std::vector<std::string> Files;        // CreateFile:: in reverse, each once, the log left out
  std::vector<TRegPath> Values;          // CreateRegValue:: in reverse
  std::vector<TRegPath> Keys;            // CreateRegKey:: in reverse, each once
  std::vector<std::string> Dirs;         // CreateDir:: in reverse, each once, no trailing "\"
  std::string LogFile;                   // deleted after everything but the directories
  TRegPath UninstallKey;                 // the uninstall entry's key (Root empty when none)
};

// logFile is the log's own full path. Paths that are not full paths are left out of the plan.
TUninstallPlan PlanUninstall(const std::vector<TLogLine>& lines, std::string_view logFile);

// The splitting of a command line into arguments: blanks and tabs separate, double quotes
// group (and are dropped). The program's own name is the first argument.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The one message that lists what could not be removed (at most `limit` lines, then a count).
std::string FormatLeftovers(const std::vector<std::string>& items, size_t limit = 20);

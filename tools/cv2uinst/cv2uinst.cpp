// cv2uinst.exe: the uninstaller. Started with the quoted path of an installation's uninstall log
// (cv2uinst.dat), it undoes what the log records: it runs the pre-uninstall commands, unregisters
// the DLL/OCX files, deletes the files and shortcuts, the registry values and the keys it names,
// the uninstall entry, the log itself and the directories when they are empty. With "/u" it asks
// nothing and shows nothing; otherwise it asks first and reports at the end.
#include <windows.h>

#include <string>
#include <vector>

#include "shared/systemdll.h"
#include "tools/cv2uinst/uninstall_log.h"

namespace {

constexpr int ExitDone = 0;
constexpr int ExitLeftovers = 1;  // some items could not be removed
constexpr int ExitCancelled = 2;  // the user said No: nothing was touched
constexpr int ExitNoLog = 3;      // no log given, or it cannot be read

const char* const Caption = "Uninstall";

struct TRootName {
  const char* Name;
  HKEY Key;
};
const TRootName RootNames[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

HKEY RootKey(const std::string& name) {
  for (const TRootName& r : RootNames)
    if (lstrcmpiA(r.Name, name.c_str()) == 0) return r.Key;
  return nullptr;
}

std::string RegText(const TRegPath& p) { return p.Root + "\\" + p.Key + (p.Value.empty() ? "" : "\\" + p.Value); }

bool Exists(const std::string& path, bool* isDir = nullptr) {
  DWORD attr = GetFileAttributesA(path.c_str());
  if (isDir) *isDir = attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
  return attr != INVALID_FILE_ATTRIBUTES;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(h, nullptr), got = 0;
  bool ok = size != INVALID_FILE_SIZE && size <= (64u << 20);
  if (ok) {
    text.resize(size);
    ok = ReadFile(h, text.data(), size, &got, nullptr) && got == size;
  }
  CloseHandle(h);
  return ok;
}

// Runs a whole command line and waits for it. False when it could not be started; exitCode gets
// the process's exit code otherwise.
bool RunAndWait(const std::string& command, const char* dir, DWORD& exitCode) {
  std::string line = command;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS,
                      nullptr, dir, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  exitCode = 1;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hProcess);
  return true;
}

// Deletes a key with everything below it.
LONG DeleteKeyTree(HKEY root, const std::string& key) {
  HKEY h;
  LONG rc = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::string> subkeys;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(h, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, len);
  }
  RegCloseKey(h);
  for (const std::string& sub : subkeys) DeleteKeyTree(root, key + "\\" + sub);
  return RegDeleteKeyA(root, key.c_str());
}

class TUninstaller {
 public:
  int Run();

 private:
  bool ReadArguments();
  std::string ApplicationName() const;
  bool UninstallEntryIsOurs() const;
  void RunCommands();
  void UnregisterDlls();
  void DeleteFiles();
  void DeleteRegistry();
  void DeleteLogAndDirs();
  void Message(const std::string& text, UINT icon) const;

  bool FSilent = false;
  std::string FLogFile, FLogDir;
  TUninstallPlan FPlan;
  std::vector<std::string> FLeftovers;
};

void TUninstaller::Message(const std::string& text, UINT icon) const {
  if (FSilent) return;
  MessageBeep(icon);
  MessageBoxA(nullptr, text.c_str(), Caption, MB_OK | icon | MB_SETFOREGROUND);
}

bool TUninstaller::ReadArguments() {
  std::vector<std::string> args = SplitCommandLine(GetCommandLineA());
  for (size_t i = 1; i < args.size(); ++i) {
    if (lstrcmpiA(args[i].c_str(), "/u") == 0) FSilent = true;
    else if (FLogFile.empty()) FLogFile = args[i];
  }
  if (FLogFile.empty()) return false;
  char full[MAX_PATH + 1];
  DWORD n = GetFullPathNameA(FLogFile.c_str(), sizeof full, full, nullptr);
  if (n > 0 && n < sizeof full) FLogFile = full;
  FLogDir = ParentDir(FLogFile);
  return true;
}

// The display name of the uninstall entry, or else the directory the application was put in.
std::string TUninstaller::ApplicationName() const {
  if (!FPlan.UninstallKey.Key.empty()) {
    char name[1024];
    DWORD size = sizeof name - 1, type = 0;
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, FPlan.UninstallKey.Key.c_str(), 0, KEY_QUERY_VALUE, &h) == ERROR_SUCCESS) {
      LONG rc = RegQueryValueExA(h, "DisplayName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
      RegCloseKey(h);
      if (rc == ERROR_SUCCESS && type == REG_SZ && size > 1) {
        name[size] = 0;
        return name;
      }
    }
  }
  return "the application in " + FLogDir;
}

// A later installation under the same display name elsewhere takes the entry over; its entry
// then starts the uninstaller on another log and is not this installation's to remove.
bool TUninstaller::UninstallEntryIsOurs() const {
  HKEY h;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, FPlan.UninstallKey.Key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
    return true;
  char command[2048];
  DWORD size = sizeof command - 1, type = 0;
  LONG rc = RegQueryValueExA(h, "UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(command), &size);
  RegCloseKey(h);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return true;
  command[size] = 0;
  std::vector<std::string> args = SplitCommandLine(command);
  for (size_t i = 1; i < args.size(); ++i)
    if (lstrcmpiA(args[i].c_str(), FLogFile.c_str()) == 0) return true;
  return false;
}

void TUninstaller::RunCommands() {
  const char* dir = Exists(FLogDir) ? FLogDir.c_str() : nullptr;
  for (const std::string& command : FPlan.Commands) {
    DWORD code;
    if (!RunAndWait(command, dir, code)) FLeftovers.push_back("Command not run: " + command);
  }
}

void TUninstaller::UnregisterDlls() {
  for (const std::string& command : FPlan.Unregister) {
    DWORD code = 0;
    if (!RunAndWait(command, nullptr, code) || code != 0) FLeftovers.push_back("Not unregistered: " + command);
  }
}

void TUninstaller::DeleteFiles() {
  for (const std::string& file : FPlan.Files) {
    bool isDir;
    if (!Exists(file, &isDir) || isDir) continue;
    if (!DeleteFileA(file.c_str())) {
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);  // a file made read-only since
      if (!DeleteFileA(file.c_str()) && Exists(file)) FLeftovers.push_back(file);
    }
  }
}

void TUninstaller::DeleteRegistry() {
  const TRegPath& entry = FPlan.UninstallKey;
  bool hasEntry = !entry.Key.empty();
  bool entryOurs = hasEntry && UninstallEntryIsOurs();
  auto isEntry = [&](const TRegPath& p) { return hasEntry && lstrcmpiA(p.Root.c_str(), entry.Root.c_str()) == 0 &&
                                                 lstrcmpiA(p.Key.c_str(), entry.Key.c_str()) == 0; };

  for (const TRegPath& value : FPlan.Values) {
    HKEY root = RootKey(value.Root), h;
    if (!root || (isEntry(value) && !entryOurs)) continue;
    if (RegOpenKeyExA(root, value.Key.c_str(), 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) continue;  // gone already
    LONG rc = RegDeleteValueA(h, value.Value.c_str());
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) FLeftovers.push_back(RegText(value));
  }

  for (const TRegPath& key : FPlan.Keys) {
    HKEY root = RootKey(key.Root), h;
    if (!root) continue;
    LONG rc;
    if (isEntry(key)) {
      if (!entryOurs) continue;
      rc = DeleteKeyTree(root, key.Key);
    } else {
      if (RegOpenKeyExA(root, key.Key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) continue;
      DWORD subkeys = 1, values = 1;
      rc = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
      RegCloseKey(h);
      if (rc != ERROR_SUCCESS || subkeys != 0 || values != 0) continue;  // holds what others put there
      rc = RegDeleteKeyA(root, key.Key.c_str());
    }
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) FLeftovers.push_back(RegText(key));
  }
}

// Removes an empty directory. A process that has just ended (a command run in the directory, or
// the console host it came with) can hold the directory for a moment after it is gone, so a
// removal refused for sharing is tried again for a few seconds.
bool RemoveEmptyDir(const std::string& dir) {
  for (int tries = 0; tries < 60; ++tries) {
    if (RemoveDirectoryA(dir.c_str())) return true;
    if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
    Sleep(50);
  }
  return false;
}

void TUninstaller::DeleteLogAndDirs() {
  if (!FPlan.LogFile.empty() && Exists(FPlan.LogFile) && !DeleteFileA(FPlan.LogFile.c_str()))
    FLeftovers.push_back(FPlan.LogFile);
  for (const std::string& dir : FPlan.Dirs) {
    bool isDir;
    if (!Exists(dir, &isDir) || !isDir) continue;
    if (!RemoveEmptyDir(dir)) {
      FLeftovers.push_back(dir + "\\");
      continue;
    }
    // Only the deepest directory of a chain made at once is logged; the levels between it and a
    // logged directory above it were made by setup too.
    for (std::string up = ParentDir(dir); !up.empty(); up = ParentDir(up)) {
      bool inside = false;
      for (const std::string& logged : FPlan.Dirs) inside = inside || IsBelow(up, logged);
      if (!inside || !RemoveEmptyDir(up)) break;
    }
  }
}

int TUninstaller::Run() {
  if (!ReadArguments()) {
    Message("Usage: cv2uinst.exe \"<path of cv2uinst.dat>\" [/u]", MB_ICONERROR);
    return ExitNoLog;
  }
  std::string text;
  if (!ReadWholeFile(FLogFile, text)) {
    Message("The uninstall log\r\n" + FLogFile + "\r\ncannot be read. The application may have been removed already.",
            MB_ICONERROR);
    return ExitNoLog;
  }
  FPlan = PlanUninstall(ParseUninstallLog(text), FLogFile);
  std::string name = ApplicationName();
  if (!FSilent) {
    MessageBeep(MB_ICONQUESTION);
    if (MessageBoxA(nullptr, ("Are you sure you want to completely remove\r\n" + name + "\r\nand all of its components?").c_str(),
                    Caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
      return ExitCancelled;
  }
  // Out of the directories that are about to go.
  char system[MAX_PATH + 1];
  if (GetSystemDirectoryA(system, sizeof system)) SetCurrentDirectoryA(system);

  RunCommands();
  UnregisterDlls();
  DeleteFiles();
  DeleteRegistry();
  DeleteLogAndDirs();

  if (FLeftovers.empty()) {
    Message(name + " was successfully removed from your computer.", MB_ICONINFORMATION);
    return ExitDone;
  }
  Message(name + " was removed, but these items could not be removed:\r\n" + FormatLeftovers(FLeftovers) +
              "\r\n\r\nYou may remove them yourself.",
          MB_ICONWARNING);
  return ExitLeftovers;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Its own folder is the system folder, but it is started from anywhere, and the system's code
  // it runs (the message boxes, the registry) and the commands it starts load DLLs as they go.
  RestrictDllSearch();
  TUninstaller uninstaller;
  return uninstaller.Run();
}

// TInstaller: the installer engine of the setup runtime. One instance per run, created and freed
// by the wizard window (TMainForm). It loads the package beside the program (setup.dat, the
// uninstaller at the head of data.pak), owns the installation data and a private temporary
// directory, expands placeholders, answers the system checks, and carries the install steps that
// the worker TInstallThread runs.
//
// Threads: loading, the checks, StartInstall and the destructor run on the user-interface
// thread. The worker reads the containers and AppInfo (filled before it starts) and writes
// ThreadRunning and InstallStatus, single bytes that the window reads without a lock.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "setup/PointerList.h"
#include "setup/setup_core.h"
#include "setup/setup_installcore.h"
#include "setup/setup_uninstalllog.h"
#include "shared/sharedtypes.h"
#include "shared/win32files.h"

class TInstallThread;

// Where placeholder expansion takes the machine's values from (the environment, the registry,
// the shell's folders, CommonSC); tests put one that counts its queries in its place.
extern TPlaceholderSources* MachineSources;

class TInstaller {
 public:
  TInstaller() = default;  // an empty engine: every list absent, every text empty
  ~TInstaller();           // frees the records and lists, removes the temporary directory
  TInstaller(const TInstaller&) = delete;
  TInstaller& operator=(const TInstaller&) = delete;

  // ---- loading (user-interface thread) ----
  // Loads the package from SourceDir. False when it could not: its message has been shown
  // (missing files, a damaged setup.dat or data.pak, no temporary directory), LoadExitCode says
  // which, and the program is to end; no installation may be started then.
  bool LoadSetupData();
  TSetupExitCode LoadExitCode = ecCompleted;
  bool CreateTempDir();   // sets TempDir and creates it; false when that is impossible
  void FillPartsList();   // rebuilds the window's component list
  void StartInstall();    // creates and starts the worker, returns at once
  // A ticked PartsList item of this caption. While an installation runs, the ticks as it began.
  bool IsPackageSelected(const std::string& Name);

  // ---- placeholders ----
  std::string ExpandPlaceholders(const std::string& Template);
  std::string GetEnvVar(const std::string& Name);  // the whole value; empty when unset
  static std::string ReplaceAll(const std::string& Text, const std::string& OldPattern,
                                const std::string& NewPattern);

  // ---- system checks ----
  bool CheckOS();  // also disables CommonSC on 95/98/ME and sets Tahoma from 98 and 2000 on
  bool ValidateDestDir(const std::string& Path);
  int32_t GetFileVersionNumber(const std::string& FileName);  // 0 when it has none
  void OpenURL(const std::string& URL);

  // ---- install steps, run by the worker (setup_install.cpp) ----
  bool CheckFreeSpace();       // worker: more free space on the destination drive than needed
  void InstallFiles();         // worker: writes every selected file from data.pak
  void AskOverwrite();         // user-interface thread: the overwrite question -> OverwriteAnswer
  void WriteRegistry();        // worker: the registry values of RegValues
  void RegisterUninstaller();  // worker: the uninstaller copy and the uninstall entry
  void CreateShortcuts();      // user-interface thread: the shortcuts of the ticked kinds
  void CreateShellLink(const std::string& Location, const std::string& Target, uint16_t IconIndex,
                       const std::string& IconFile, bool HasIcon, const std::string& Caption,
                       const std::string& Parameters);  // user-interface thread: one .lnk
  void RegisterDlls();         // worker: regsvr32.exe /s for each DLL/OCX
  void RunPostInstall();       // worker: the post-installation commands, the "Exec::" lines

  // ---- the cancel question's hold on the worker (user-interface thread; with the worker) ----
  void HoldWorker();                // the worker waits at its next stop-request test
  bool ReleaseWorker(bool stop);    // lets it go on; with stop, its stop request is set first,
                                    // false when the worker had come to its result before
  void WaitForWorker();             // until the worker has ended, serving its hand-overs meanwhile

  // ---- fields ----
  std::unique_ptr<TStringList> Packages;  // package names, in setup.dat order
  std::unique_ptr<TStringList> DllFiles;
  std::unique_ptr<TStringList> PostInstallCommands;
  std::unique_ptr<TStringList> PreUninstallCommands;
  std::string TempDir;  // ends with "\"; empty until created
  std::unique_ptr<TLHPointerList> RegValues;  // owned TRegValueRec
  std::unique_ptr<TLHPointerList> Shortcuts;  // owned TShortcutRec
  std::unique_ptr<TLHPointerList> Files;      // owned TPackedFileRec
  TAppInfoRec AppInfo{};
  std::string SourceDir;    // the program's directory, ending with "\"
  std::string DestDir;      // the destination, no trailing "\"; the value of <InstallRoot>
  std::string DisplayName;  // the value of <AnnounceName>, the uninstall entry's name
  TInstallThread* InstallThread = nullptr;  // not owned: it frees itself
  volatile uint8_t InstallStatus = 0;       // 0 none yet, 2 completed, 3 failed
  TUninstallLog UninstallLog;               // cv2uinst.dat while the worker runs
  volatile uint8_t ThreadRunning = 0;
  std::string CurrentFile;  // destination of the file being installed
  int32_t OverwriteAnswer = 0;

 private:
  // What an installation reads again and again, taken once as it starts (BeginRun, on the
  // user-interface thread): the captions of the ticked components, and the placeholders'
  // sources, each value looked up the first time it is wanted. They serve while ThreadRunning,
  // when only the worker and the calls it hands to the user-interface thread expand placeholders.
  TStringList RunTicked;
  TCachedSources RunSources{*MachineSources};
  void BeginRun();
  void ShowLoadError(const char* text, TSetupExitCode code);
  void RemoveTempDir();
};

// A text value (REG_SZ or REG_EXPAND_SZ, not expanded) of a key opened without being created;
// empty when the key or value is missing or the value is not text. Root as its handle value.
std::string RegistryText(uint32_t root, const char* key, const char* value);

// How OpenURL hands an address to the shell ("open"); tests replace it.
extern void (*ShellOpen)(const std::string& url);

// The generator that names the temporary directory: every run tries the same names in order.
extern TRandom TempNameRandom;

// The error of a file that setup could not create or write whole (the result of TFileWriter or
// WriteWholeFile, its reason in GetLastError()). An incomplete file is removed first, and the text
// says whether it is gone; a full disk is ecDiskSpace, anything else ecInstallError.
EInstallError FileWriteError(const std::string& path, TWriteResult result);

// The texts that end a load.
extern const char* const kMissingFilesText;
extern const char* const kDamagedSetupText;
extern const char* const kNoTempDirText;

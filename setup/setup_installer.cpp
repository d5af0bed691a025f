// The installer engine: loading the package, placeholders over the machine's sources, and the
// system checks. The install steps are in setup_install.cpp.
#include "setup/setup_installer.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "setup/setup_installthread.h"
#include "setup/setup_main.h"
#include "shared/systemdll.h"

const char* const kMissingFilesText =
    "Could not find all required files!\r\nYour Setup Package seems to be corrupt or "
    "incomplete.\r\nPlease contact your software manufacturer.\r\n\r\nSetup cannot continue and "
    "will terminate now.";
const char* const kDamagedSetupText =
    "Setup Data File setup.dat invalid or damaged!\r\nSeems like the file setup.dat was created "
    "with an\r\ninappropriate version of Corvantaine.\r\nPlease contact your software "
    "manufacturer.\r\n\r\nSetup cannot continue and will terminate now.";
// How a message that ends the load ends.
const char* const kTerminateText = "\r\n\r\nSetup cannot continue and will terminate now.";
const char* const kNoTempDirText =
    "Could not create a temporary directory!\r\nPlease check the TEMP setting of your "
    "system.\r\n\r\nSetup cannot continue and will terminate now.";

// A whole file opened for reading; closed when it goes.
struct TReadFile {
  HANDLE h;
  explicit TReadFile(const std::string& path)
      : h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~TReadFile() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  bool Read(void* buf, DWORD n) {
    DWORD got = 0;
    return ReadFile(h, buf, n, &got, nullptr) && got == n;
  }
};

// The pointer lists' timers tick from the user-interface thread's message loop: a thread timer
// per running list timer (SetTimer without a window), found again by its id.
namespace {
struct TWin32ListTimers : TListTimerService {
  std::vector<std::pair<UINT_PTR, TListTimer*>> Running;
  void Start(TListTimer* timer, uint32_t periodMs) override {
    if (UINT_PTR id = SetTimer(nullptr, 0, periodMs, Tick)) Running.emplace_back(id, timer);
  }
  void Stop(TListTimer* timer) override {
    for (size_t i = 0; i < Running.size(); ++i)
      if (Running[i].second == timer) {
        KillTimer(nullptr, Running[i].first);
        Running.erase(Running.begin() + static_cast<ptrdiff_t>(i));
        return;
      }
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
} ListTimers;

void CALLBACK TWin32ListTimers::Tick(HWND, UINT, UINT_PTR id, DWORD) {
  for (auto& [timerId, timer] : ListTimers.Running)
    if (timerId == id) {
      timer->Tick();
      return;
    }
}

const bool ListTimersBound = (ListTimerService = &ListTimers, true);
}  // namespace

TInstaller::~TInstaller() {
  Packages.reset();
  FreeRecordList<TRegValueRec>(RegValues);
  FreeRecordList<TShortcutRec>(Shortcuts);
  FreeRecordList<TPackedFileRec>(Files);
  PostInstallCommands.reset();
  PreUninstallCommands.reset();
  DllFiles.reset();
  RemoveTempDir();
}

// The files of the directory go (subdirectories are not entered), then the directory.
void TInstaller::RemoveTempDir() {
  if (TempDir.empty()) return;
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((TempDir + "*.*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0)
        DeleteFileA((TempDir + fd.cFileName).c_str());
    } while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  RemoveDirectoryA(TempDir.c_str());
}

TRandom TempNameRandom;

bool TInstaller::CreateTempDir() {
  char buf[300];
  const DWORD n = GetTempPathA(sizeof buf - 1, buf);
  if (n == 0 || n >= sizeof buf - 1) return false;
  std::string path(buf, n);
  if (path.back() != '\\') path += '\\';
  std::string candidate;
  // A name taken by a file could never become the directory, so any entry counts as taken.
  do candidate = path + std::to_string(TempNameRandom.Next(2147483647));
  while (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES);
  TempDir = candidate + "\\";
  return ForceDirectories(candidate);
}

bool TInstaller::LoadSetupData() {
  TempDir.clear();
  Packages.reset();
  RegValues.reset();
  Shortcuts.reset();
  Files.reset();
  ThreadRunning = 0;

  const bool haveDat = FileExists(SourceDir + "setup.dat");
  const bool havePak = FileExists(SourceDir + "data.pak");
  if (!haveDat || !havePak) {
    ShowLoadError(kMissingFilesText, ecPackageDamaged);
    return false;
  }

  std::vector<uint8_t> bytes;
  {
    TReadFile dat(SourceDir + "setup.dat");
    LARGE_INTEGER size{};
    if (dat.h == INVALID_HANDLE_VALUE || !GetFileSizeEx(dat.h, &size) ||
        size.QuadPart < static_cast<LONGLONG>(sizeof(TAppInfoRec)) || size.QuadPart > 0x7FFFFFFF) {
      ShowLoadError(kDamagedSetupText, ecPackageDamaged);
      return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    if (!dat.Read(bytes.data(), static_cast<DWORD>(bytes.size()))) {
      ShowLoadError(kDamagedSetupText, ecPackageDamaged);
      return false;
    }
  }

  if (!CreateTempDir()) {
    ShowLoadError(kNoTempDirText, ecNoTempDir);
    return false;
  }

  TByteReader reader(bytes.data(), bytes.size());
  if (!ReadSetupSections(reader, {&AppInfo, &Packages, &RegValues, &Shortcuts, &DllFiles,
                                  &PostInstallCommands, &PreUninstallCommands, &Files})) {
    ShowLoadError(kDamagedSetupText, ecPackageDamaged);
    return false;
  }

  // The uninstaller heads data.pak: UninstallerSize bytes, copied in blocks of 2048. A copy that
  // cannot be written names the file and the reason, a full disk as such.
  {
    TReadFile pak(SourceDir + "data.pak");
    if (pak.h == INVALID_HANDLE_VALUE) {
      ShowLoadError(kMissingFilesText, ecPackageDamaged);
      return false;
    }
    const std::string copy = TempDir + "cv2uinst.exe";
    TFileWriter out(TInstallThread::WriteBytes);
    bool readOk = true;
    TWriteResult result = TWriteResult::NotCreated;
    if (out.Create(copy, CREATE_ALWAYS)) {
      char block[2048];
      for (uint32_t left = static_cast<uint32_t>(AppInfo.UninstallerSize); left > 0;) {
        const DWORD n = left < sizeof block ? left : sizeof block;
        readOk = pak.Read(block, n);
        if (!readOk || !out.Write(block, n)) break;
        left -= n;
      }
      result = out.Close();
    }
    if (!readOk) {
      ShowLoadError(kDamagedSetupText, ecPackageDamaged);
      return false;
    }
    if (result != TWriteResult::Written) {
      const EInstallError e = FileWriteError(copy, result);
      ShowLoadError((std::string(e.what()) + kTerminateText).c_str(), e.ExitCode());
      return false;
    }
  }

  DisplayName = BuildDisplayName(AppInfo);
  FillPartsList();
  return true;
}

// ---- placeholders ----

std::string TInstaller::ReplaceAll(const std::string& Text, const std::string& OldPattern,
                                   const std::string& NewPattern) {
  return ::ReplaceAll(Text, OldPattern, NewPattern);
}

static std::string EnvironmentValue(const std::string& Name) {
  std::vector<char> buf(251);
  for (;;) {
    const DWORD n = GetEnvironmentVariableA(Name.c_str(), buf.data(), 250);
    if (n == 0) return {};  // unset (or set to nothing)
    if (n < 250) return std::string(buf.data());
    // Too long for the buffer: n is the size it needs.
    buf.assign(n + 1, 0);
    const DWORD m = GetEnvironmentVariableA(Name.c_str(), buf.data(), n + 1);
    if (m <= n) return std::string(buf.data());
  }
}

std::string TInstaller::GetEnvVar(const std::string& Name) { return EnvironmentValue(Name); }

// Full access is asked first, as the sources are specified; a key that grants only reading (a
// user without administrator rights under HKEY_LOCAL_MACHINE) is still read.
std::string RegistryText(uint32_t rootKey, const char* key, const char* value) {
  const HKEY root = reinterpret_cast<HKEY>(static_cast<uintptr_t>(rootKey));
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS &&
      RegOpenKeyExA(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS)
    return {};
  std::string text;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(k, value, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::vector<char> buf(size + 1, 0);
    if (RegQueryValueExA(k, value, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) ==
        ERROR_SUCCESS)
      text = buf.data();
  }
  RegCloseKey(k);
  return text;
}

static std::string SpecialFolderPath(int csidl) {
  LPITEMIDLIST pidl = nullptr;
  char path[MAX_PATH] = "";
  if (SHGetSpecialFolderLocation(nullptr, csidl, &pidl) == S_OK && pidl) {
    if (!SHGetPathFromIDListA(pidl, path)) path[0] = 0;
    CoTaskMemFree(pidl);
  }
  return path;
}

bool CommonShortcutsChecked();  // the window's "Make Shortcuts Visible To All Users"

namespace {
struct TMachineSources : TPlaceholderSources {
  std::string EnvVar(const std::string& name) override { return EnvironmentValue(name); }
  std::string RegistryText(uint32_t root, const char* key, const char* value) override {
    return ::RegistryText(root, key, value);
  }
  std::string SpecialFolder(int csidl) override { return SpecialFolderPath(csidl); }
  bool CommonShortcuts() override { return CommonShortcutsChecked(); }
} Machine;
}  // namespace

TPlaceholderSources* MachineSources = &Machine;

// The worker would reach the window for every check mark and for CommonSC; they are read here,
// on the window's own thread, once.
void TInstaller::BeginRun() {
  RunTicked.clear();
  if (MainForm) {
    ui::TCheckListBox& parts = MainForm->PartsList;
    for (int i = 0, n = parts.Count(); i < n; ++i)
      if (parts.Checked(i)) RunTicked.push_back(parts.Item(i));
  }
  RunSources.Reset(*MachineSources);
  RunSources.CommonShortcuts();
}

std::string TInstaller::ExpandPlaceholders(const std::string& Template) {
  TPlaceholderSources& sources = ThreadRunning ? RunSources : *MachineSources;
  return ::ExpandPlaceholders(Template, {&AppInfo, DisplayName, DestDir}, sources);
}

// ---- system checks ----

static int64_t DriveFreeBytes(int drive) {
  const char root[] = {static_cast<char>('A' + drive - 1), ':', '\\', 0};
  ULARGE_INTEGER avail;
  const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
  const BOOL ok = GetDiskFreeSpaceExA(root, &avail, nullptr, nullptr);
  SetErrorMode(mode);
  return ok ? static_cast<int64_t>(avail.QuadPart) : -1;
}

bool TInstaller::ValidateDestDir(const std::string& Path) {
  return DestDirFormValid(Path, DriveFreeBytes);
}

int32_t TInstaller::GetFileVersionNumber(const std::string& FileName) {
  if (!FileExists(FileName)) return 0;
  // The version functions are the system folder's version.dll, loaded when first wanted
  // (systemdll.h); without them no file has a version.
  const HMODULE version = LoadSystemLibrary("version.dll");
  auto sizeOf = SystemFunction<decltype(&GetFileVersionInfoSizeA)>(version, "GetFileVersionInfoSizeA");
  auto read = SystemFunction<decltype(&GetFileVersionInfoA)>(version, "GetFileVersionInfoA");
  auto query = SystemFunction<decltype(&VerQueryValueA)>(version, "VerQueryValueA");
  if (!sizeOf || !read || !query) return 0;
  DWORD handle = 0;
  const DWORD size = sizeOf(FileName.c_str(), &handle);
  if (size == 0) return 0;
  std::vector<uint8_t> block(size);
  if (!read(FileName.c_str(), 0, size, block.data())) return 0;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!query(block.data(), "\\", reinterpret_cast<void**>(&info), &len) || !info || len < sizeof *info)
    return 0;
  return VersionNumber(info->dwFileVersionMS, info->dwFileVersionLS);
}

static void ShellExecuteOpen(const std::string& url) {
  ShellExecuteA(nullptr, "open", url.c_str(), "", "", SW_SHOW);
}
void (*ShellOpen)(const std::string& url) = ShellExecuteOpen;

void TInstaller::OpenURL(const std::string& URL) { ShellOpen(URL); }

// ---- the parts that reach the window ----

bool CommonShortcutsChecked() { return MainForm && MainForm->CommonSC.Checked(); }

void TInstaller::ShowLoadError(const char* text, TSetupExitCode code) {
  LoadExitCode = code;
  ui::BeepMsgBox(MainForm ? MainForm->Handle : nullptr, text, MB_OK | MB_ICONERROR);
}

void TInstaller::FillPartsList() {
  if (!MainForm) return;
  ui::TCheckListBox& parts = MainForm->PartsList;
  parts.Clear();
  if (AppInfo.HasStartMenuShortcut == 1) parts.Add("Add Shortcuts to Start Menu");
  if (AppInfo.HasDesktopShortcut == 1) parts.Add("Add Shortcuts to Desktop");
  if (AppInfo.HasQuickLaunchShortcut == 1) parts.Add("Add Shortcuts to Quick Launch Bar");
  if (Packages)
    for (const std::string& name : *Packages) parts.Add(name);
  for (int i = 0; i < parts.Count(); ++i) parts.SetChecked(i, true);
}

bool TInstaller::IsPackageSelected(const std::string& Name) {
  if (ThreadRunning) {
    for (const std::string& caption : RunTicked)
      if (caption == Name) return true;
    return false;
  }
  if (!MainForm) return false;
  ui::TCheckListBox& parts = MainForm->PartsList;
  for (int i = 0, n = parts.Count(); i < n; ++i)
    if (parts.Checked(i) && parts.Item(i) == Name) return true;
  return false;
}

bool TInstaller::CheckOS() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExA(&v)) return false;
  if (MainForm) {
    if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) MainForm->CommonSC.SetEnabled(false);
    if (v.dwMajorVersion > 4 || (v.dwMajorVersion == 4 && v.dwMinorVersion > 0)) {
      ui::TFontSpec f = MainForm->Font;
      f.Name = "Tahoma";
      MainForm->SetFont(f);
      for (ui::TLabel* l : {&MainForm->Label1, &MainForm->Label2, &MainForm->Label5, &MainForm->Label6,
                            &MainForm->Label30, &MainForm->LAppWebsite, &MainForm->Label3}) {
        ui::TFontSpec own = l->Font;
        own.Name = "Tahoma";
        l->SetFont(own);
      }
    }
  }
  return OsAllowed(AppInfo, v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion);
}

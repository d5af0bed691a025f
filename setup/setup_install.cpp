// The install steps of TInstaller: free space, files, registry values, the uninstall entry,
// shortcuts, registrations and commands. All but the overwrite question and the shortcut step
// run on the install worker; every step writes its lines into the open uninstall log.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "setup/setup_installcore.h"
#include "setup/setup_installer.h"
#include "setup/setup_installthread.h"
#include "setup/setup_main.h"
#include "shared/sharedtypes.h"
#include "shared/systemdll.h"
#include "shared/win32copy.h"

namespace {

[[noreturn]] void Fail(const std::string& what, DWORD code) {
  throw EInstallError(Concat({what, ": ", SystemReason(code)}));
}

// Removes the incomplete file that a failure left; the words for the message say whether it is
// gone.
std::string RemoveIncomplete(const std::string& path) {
  return DeleteFileA(path.c_str()) ? " (the incomplete file was removed)" : " (the incomplete file is left)";
}

HKEY RootHandle(uint32_t rootKey) {
  // The predefined handles are 32-bit values, sign-extended on 64-bit Windows.
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(rootKey)));
}

bool RegKeyExists(HKEY root, const std::string& key) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

void RegCreate(HKEY root, const std::string& key) {
  HKEY k;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
      ERROR_SUCCESS)
    RegCloseKey(k);
}

// One key opened for one value at a time, creating it when needed; the writes raise their
// failure with the value's log text.
class TRegKey {
 public:
  TRegKey(HKEY root, const std::string& key) {
    Status = RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Key,
                             nullptr);
    if (Status != ERROR_SUCCESS) Key = nullptr;
  }
  ~TRegKey() {
    if (Key) RegCloseKey(Key);
  }
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;

  void Write(const std::string& name, DWORD type, const void* data, size_t size,
             const std::string& item) {
    LONG r = Key ? RegSetValueExA(Key, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                  static_cast<DWORD>(size))
                 : Status;
    if (r != ERROR_SUCCESS) Fail(Concat({"The registry value ", item, " could not be written"}), r);
  }
  void WriteString(const std::string& name, const std::string& s, const std::string& item) {
    Write(name, REG_SZ, s.c_str(), s.size() + 1, item);
  }

 private:
  HKEY Key = nullptr;
  LONG Status = ERROR_SUCCESS;
};

// The decimal separator of the user's locale.
char DecimalSeparator() {
  char buf[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf) > 1 && buf[0])
    return buf[0];
  return '.';
}

// Starts a command line as the registrations and commands are started, and waits for its end.
// program, when given, is the file to run: the command line alone would have Windows look for it
// in setup.exe's own folder first.
void RunAndWait(std::string commandLine, const char* program = nullptr) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
    return;
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

template <class Rec> Rec* At(TLHPointerList& list) { return static_cast<Rec*>(list.Current()); }

// The folder of the last file written, once it exists: the files of a package come folder by
// folder, so the folder is asked of the system only when it changes (and, when it is missing,
// once more after it is made). Cleared as each file step begins.
std::string LastFileFolder;

bool FileFolderExists(const std::string& dir) {
  if (dir == LastFileFolder) return true;
  if (!DirectoryExists(dir)) return false;
  LastFileFolder = dir;
  return true;
}

// Moves a file of data.pak's, decompressing it when the package was built so, into the file dest,
// creating its directory when it is missing: a piece at a time, so that neither the stored bytes
// nor the file are ever held whole. A file that fails is removed again.
void WritePackedFile(HANDLE pak, int64_t pakSize, const std::string& pakName, const TPackedFileRec& rec,
                     const std::string& dest, bool compressed, TUninstallLog& log) {
  if (rec.DataOffset < 1 || rec.StoredSize < 0)
    throw EInstallError(Concat({"The data package ", pakName, " is damaged: the record of ", dest,
                                " names no valid place in it."}),
                        ecPackageDamaged);
  TFileWriter out(TInstallThread::WriteBytes);
  TFileCopy copy(pak, static_cast<uint32_t>(rec.StoredSize), out);
  // A block's count is its last 4 bytes; one of 4 bytes or less has none and gives an empty file.
  const int64_t at = static_cast<int64_t>(rec.DataOffset) - 1;
  int32_t count = 0;
  uint8_t trailer[4];
  if (at + rec.StoredSize > pakSize) {
    copy.ReadFailed = true;
  } else if (compressed && rec.StoredSize > 4 && copy.Seek(at + rec.StoredSize - 4) && copy.ReadExactly(trailer, 4)) {
    count = LzhTrailerCount(trailer);
  }
  std::string removed;  // what became of the file, when a read failed while it was written
  if (!copy.ReadFailed && copy.Seek(at)) {
    std::string dir = ExtractFilePath(dest);
    if (!FileFolderExists(dir)) {
      ForceDirectories(dir);
      log.Write(TagCreateDir, dir);
    }
    if (!out.Create(dest, CREATE_ALWAYS)) throw FileWriteError(dest, TWriteResult::NotCreated);
    try {
      if (compressed)
        LzhDecodePieces(count, copy);  // whatever the stored bits decode to is the file
      else
        copy.Copy();
    } catch (const std::exception&) {  // the decoder's tables or the copy's buffer could not be had
      out.Close();
      throw EInstallError(Concat({"There is not enough memory to install the file ", dest, RemoveIncomplete(dest), "."}));
    }
    const TWriteResult result = out.Close();
    if (!copy.ReadFailed) {
      if (result != TWriteResult::Written) throw FileWriteError(dest, result);
      return;
    }
    removed = RemoveIncomplete(dest);
  }
  if (copy.ReadError)
    throw EInstallError(Concat({"The data package ", pakName, " could not be read for ", dest, removed, ": ",
                                SystemReason(copy.ReadError)}),
                        ecPackageDamaged);
  throw EInstallError(Concat({"The data package ", pakName, " is shorter than the record of ", dest, " says (",
                              std::to_string(rec.StoredSize), " bytes at ", std::to_string(rec.DataOffset), ")",
                              removed, "."}),
                      ecPackageDamaged);
}

}  // namespace

// A full disk, also one that takes fewer bytes than it was given without a reason, is named as
// such.
EInstallError FileWriteError(const std::string& path, TWriteResult result) {
  const DWORD code = GetLastError();
  const std::string what =
      result == TWriteResult::NotCreated ? " could not be created" : " could not be written" + RemoveIncomplete(path);
  if (DiskFullCode(code))
    return EInstallError(Concat({DiskSpaceText, "\r\nThe disk is full: the file ", path, what, "."}),
                         ecDiskSpace);
  return EInstallError(Concat({"The file ", path, what, ": ", SystemReason(code)}));
}

// ---- the worker's start ---------------------------------------------------------------------------

void TInstaller::StartInstall() {
  BeginRun();
  // Running from here on, not only from the worker's first statement: a close question that
  // comes before the worker is scheduled must hold and stop it too.
  ThreadRunning = true;
  TInstallThread* worker = new TInstallThread();  // created suspended
  InstallThread = worker;
  worker->SetPriority(THREAD_PRIORITY_BELOW_NORMAL);
  worker->FreeOnTerminate = true;
  worker->Resume();
}

// The cancel question's hold on the worker: the state lives outside the worker object, so these
// are safe whether or not the worker still runs.
void TInstaller::HoldWorker() { TInstallThread::Hold(); }
bool TInstaller::ReleaseWorker(bool stop) { return TInstallThread::Release(stop); }
void TInstaller::WaitForWorker() { TInstallThread::WaitForEnd(); }

// ---- free space ---------------------------------------------------------------------------------

bool TInstaller::CheckFreeSpace() {
  ShowProgressLabel("Determining Free Disk Space...");
  // 64-bit, so that selections beyond 4 GiB cannot pass by wrapping.
  uint64_t sum = 0;
  TLHPointerList& files = *Files;
  int n = files.Count();
  if (n > 0) {
    files.First();
    for (int i = 1;; ++i) {
      const TPackedFileRec* rec = At<TPackedFileRec>(files);
      if (IsPackageSelected(rec->PackageName.Str())) {
        if (SameDrive(ExpandPlaceholders(rec->DestPath.Str()), DestDir))
          sum += static_cast<uint32_t>(rec->OriginalSize);
      }
      ShowProgress(ProgressPosition(i, n, 5, 0));
      if (!files.Next()) break;
      if (TInstallThread::StopRequested()) break;
    }
  }
  int drive = DriveNumber(DestDir);
  int64_t free = drive ? TInstallThread::DiskFree(drive) : -1;
  return FreeSpaceSufficient(free, sum);
}

// ---- files --------------------------------------------------------------------------------------

void TInstaller::InstallFiles() {
  ShowProgressLabel("Decompressing and Installing Files...");
  ShowProgress(5);
  std::string pakName = SourceDir + "data.pak";
  HANDLE pak = CreateFileA(pakName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (pak == INVALID_HANDLE_VALUE)
    throw EInstallError(Concat({"The data package ", pakName, " could not be opened: ", SystemReason(GetLastError())}),
                        ecPackageDamaged);
  struct TCloser {
    HANDLE h;
    ~TCloser() { CloseHandle(h); }
  } closer{pak};
  LARGE_INTEGER pakSize{};
  if (!GetFileSizeEx(pak, &pakSize))
    throw EInstallError(Concat({"The data package ", pakName, " could not be read: ", SystemReason(GetLastError())}),
                        ecPackageDamaged);

  bool replaceAll = false, keepAll = false;
  LastFileFolder.clear();
  TLHPointerList& files = *Files;
  int n = files.Count();
  if (n == 0) return;
  files.First();
  for (int i = 1;; ++i) {
    const TPackedFileRec* rec = At<TPackedFileRec>(files);
    bool replace = replaceAll;
    if (IsPackageSelected(rec->PackageName.Str())) {
      CurrentFile = ExpandPlaceholders(rec->DestPath.Str());
      const bool exists = FileExists(CurrentFile);
      if (!replaceAll && !keepAll && exists) {
        ui::TThread::Synchronize([this] { AskOverwrite(); });
        switch (OverwriteAnswer) {
          case IDYES: replace = true; break;
          case 10: replace = true; replaceAll = true; break;  // Yes to All
          case 9: replace = false; keepAll = true; break;     // No to All
          default: replace = false; break;                    // No, or the box closed
        }
      }
      if (replace || !exists) {
        WritePackedFile(pak, pakSize.QuadPart, pakName, *rec, CurrentFile, AppInfo.CompressData != 0,
                        UninstallLog);
        UninstallLog.Write(TagCreateFile, CurrentFile);
      }
      ShowProgress(ProgressPosition(i, n, 90, 5));
    }
    if (!files.Next()) break;
    if (TInstallThread::StopRequested()) break;
  }
}

void TInstaller::AskOverwrite() {
  std::string text = "The File " + ExtractFileName(CurrentFile) + " already exists.\r\n" +
                     "Do you want this existing file to be replaced with\r\n" +
                     "the one from this package?";
  static const int results[] = {IDYES, IDNO, 9, 10};
  int pressed = ui::Dialogs().Question(MainForm->Handle, text, "Confirm", MB_ICONQUESTION,
                                       {"&Yes", "&No", "N&o to All", "Yes to &All"}, 0, 1);
  OverwriteAnswer = pressed >= 0 && pressed < 4 ? results[pressed] : IDCANCEL;
}

// ---- registry -----------------------------------------------------------------------------------

void TInstaller::WriteRegistry() {
  TLHPointerList& values = *RegValues;
  int n = values.Count();
  if (n == 0) return;
  ShowProgressLabel("Updating Windows Registry...");
  ShowProgress(96);
  char separator = DecimalSeparator();
  // The key of the last value, which exists by then: the values of a key come one after the
  // other, so whether the key exists is asked only when it changes.
  uint32_t lastRoot = 0;
  std::string lastKey;
  values.First();
  for (int i = 1;; ++i) {
    const TRegValueRec* rec = At<TRegValueRec>(values);
    HKEY root = RootHandle(rec->RootKey);
    std::string key = ExpandPlaceholders(rec->KeyPath.Str());
    std::string name = ExpandPlaceholders(rec->ValueName.Str());
    if (i == 1 || rec->RootKey != lastRoot || key != lastKey) {
      if (!RegKeyExists(root, key)) {
        RegCreate(root, key);
        UninstallLog.Write(TagCreateRegKey, RegKeyText(rec->RootKey, key));
      }
      lastRoot = rec->RootKey;
      lastKey = key;
    }
    std::string item = RegValueText(rec->RootKey, key, name);
    {
      TRegKey k(root, key);
      std::string text = rec->ValueData.Str();
      if (rec->ValueType == 4) text = ExpandPlaceholders(text);
      TRegData d;
      try {
        d = ConvertRegValue(rec->ValueType, text, separator);
      } catch (const EInstallError& e) {
        throw EInstallError(Concat({"The registry value ", item, " could not be written: ", e.what()}));
      }
      switch (d.Kind) {
        case TRegData::DWord: k.Write(name, REG_DWORD, &d.Number, sizeof d.Number, item); break;
        case TRegData::Binary: k.Write(name, REG_BINARY, d.Bytes.data(), d.Bytes.size(), item); break;
        case TRegData::String: k.WriteString(name, d.Bytes, item); break;
        case TRegData::None: break;
      }
      UninstallLog.Write(TagCreateRegValue, item);
    }
    ShowProgress(ProgressPosition(i, n, 2, 96));
    if (!values.Next()) break;
    if (TInstallThread::StopRequested()) break;
  }
}

void TInstaller::RegisterUninstaller() {
  std::string systemCopy = GetEnvVar("WINDIR") + "\\system32\\cv2uinst.exe";
  std::string tempCopy = TempDir + "cv2uinst.exe";
  if (GetFileVersionNumber(systemCopy) < GetFileVersionNumber(tempCopy))
    CopyFileA(tempCopy.c_str(), systemCopy.c_str(), FALSE);

  const uint32_t hklm = 0x80000002u;
  std::string key = std::string(UninstallKeyPrefix) + DisplayName;
  RegCreate(HKEY_LOCAL_MACHINE, key);
  UninstallLog.Write(TagCreateRegKey, RegKeyText(hklm, key));
  TRegKey k(HKEY_LOCAL_MACHINE, key);
  std::string item = RegValueText(hklm, key, "DisplayName");
  k.WriteString("DisplayName", DisplayName, item);
  UninstallLog.Write(TagCreateRegValue, item);
  item = RegValueText(hklm, key, "UninstallString");
  k.WriteString("UninstallString", ExpandPlaceholders(UninstallCommandTemplate), item);
  UninstallLog.Write(TagCreateRegValue, item);
}

// ---- shortcuts ----------------------------------------------------------------------------------

bool PartsItemChecked(const char* caption) {
  ui::TCheckListBox& parts = MainForm->PartsList;
  for (int i = 0, n = parts.Count(); i < n; ++i)
    if (parts.Checked(i) && parts.Item(i) == caption) return true;
  return false;
}

bool ShortcutWanted(const std::string& Location) {
  return ShortcutWanted(Location, PartsItemChecked(ItemStartMenu), PartsItemChecked(ItemDesktop),
                        PartsItemChecked(ItemQuickLaunch));
}

void TInstaller::CreateShortcuts() {
  TLHPointerList& links = *Shortcuts;
  int n = links.Count();
  if (n == 0) return;
  ShowProgressLabel("Creating Shortcuts...");
  ShowProgress(98);
  links.First();
  for (int i = 1;; ++i) {
    TShortcutRec* rec = At<TShortcutRec>(links);
    if (ShortcutWanted(rec->Location.Str())) {
      rec->Target.Set(ExpandPlaceholders(rec->Target.Str()));
      if (FileExists(rec->Target.Str())) {
        rec->Location.Set(ExpandPlaceholders(rec->Location.Str()));
        rec->ShortcutCaption.Set(ExpandPlaceholders(rec->ShortcutCaption.Str()));
        rec->Parameters.Set(ExpandPlaceholders(rec->Parameters.Str()));
        std::string location = rec->Location.Str();
        if (location.empty() || location.back() != '\\') rec->Location.Set(location + "\\");
        location = rec->Location.Str();
        if (!DirectoryExists(location)) {
          ForceDirectories(location);
          UninstallLog.Write(TagCreateDir, location);
        }
        if (rec->HasIcon) {
          rec->IconFile.Set(ExpandPlaceholders(rec->IconFile.Str()));
          CreateShellLink(location, rec->Target.Str(), rec->IconIndex, rec->IconFile.Str(), true,
                          rec->ShortcutCaption.Str(), rec->Parameters.Str());
        } else {
          CreateShellLink(location, rec->Target.Str(), 0, "", false, rec->ShortcutCaption.Str(),
                          rec->Parameters.Str());
        }
      }
    }
    ShowProgress(ProgressPosition(i, n, 2, 98));
    if (!links.Next()) break;
    if (TInstallThread::StopRequested()) break;
  }
}

void TInstaller::CreateShellLink(const std::string& Location, const std::string& Target,
                                 uint16_t IconIndex, const std::string& IconFile, bool HasIcon,
                                 const std::string& Caption, const std::string& Parameters) {
  std::string linkName = Location + Caption + ".lnk";
  IShellLinkA* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  if (FAILED(hr)) Fail(Concat({"The shortcut ", linkName, " could not be created (no shell-link object)"}), hr);
  IPersistFile* file = nullptr;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(hr)) {
    link->Release();
    Fail(Concat({"The shortcut ", linkName, " could not be created (no shell-link file interface)"}), hr);
  }
  link->SetArguments(Parameters.c_str());
  link->SetPath(Target.c_str());
  link->SetWorkingDirectory(ExtractFilePath(Target).c_str());
  if (HasIcon) link->SetIconLocation(IconFile.c_str(), IconIndex);
  int wide = MultiByteToWideChar(CP_ACP, 0, linkName.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> w(wide > 0 ? wide : 1);
  MultiByteToWideChar(CP_ACP, 0, linkName.c_str(), -1, w.data(), static_cast<int>(w.size()));
  file->Save(w.data(), FALSE);
  file->Release();
  link->Release();
  UninstallLog.Write(TagCreateFile, linkName);
}

// ---- registrations and commands -----------------------------------------------------------------

void TInstaller::RegisterDlls() {
  ShowProgressLabel("Registering DLLs...");
  // The registration tool is the system's: a regsvr32.exe left beside setup.exe must not run.
  char tool[MAX_PATH + 16];
  const bool found = SystemFilePath("regsvr32.exe", tool);
  for (const std::string& dll : *DllFiles) {
    std::string command = RegisterCommand(ExpandPlaceholders(dll));
    RunAndWait(command, found ? tool : nullptr);
    UninstallLog.Write(TagRegisterDLL, ExpandPlaceholders(command));
  }
}

void TInstaller::RunPostInstall() {
  ShowProgressLabel("Finalizing Installation...");
  for (const std::string& command : *PostInstallCommands) RunAndWait(ExpandPlaceholders(command));
  for (const std::string& command : ExecLogOrder(*PreUninstallCommands))
    UninstallLog.Write(TagExec, ExpandPlaceholders(command));
}

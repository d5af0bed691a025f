// extractor.exe: the stub at the head of every self-extracting package. It finds the payload at
// the end of its own file, restores every entry into a fresh private folder under the temporary
// directory, runs setup.exe from there with its own arguments, waits for it, removes the folder
// and ends with setup's exit code.
#include <windows.h>

#include <string>
#include <vector>

#include "shared/systemdll.h"
#include "shared/win32copy.h"
#include "tools/extractor/sfx_reader.h"

namespace {

// Its own exit codes lie above setup.exe's (0 to 7), whose code it passes on, so that a script
// can tell every end apart.
constexpr int ExitDamaged = 10;   // the package is not whole: nothing was unpacked
constexpr int ExitNoUnpack = 11;  // the files could not be written or setup could not be started

const char* const Caption = "Setup";

void ShowError(const std::string& text) {
  MessageBeep(MB_ICONHAND);
  MessageBoxA(nullptr, text.c_str(), Caption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

const char* Reason(SfxError e) {
  switch (e) {
    case SfxError::NoTail:
    case SfxError::BadMagic: return "no package data found";
    case SfxError::BadLength: return "the package length does not fit the file";
    case SfxError::BadCount: return "the file count does not fit the package";
    case SfxError::BadEntry: return "a file does not fit the package";
    case SfxError::BadName: return "a file has an invalid name";
    case SfxError::NoSetup: return "setup.exe is missing";
    case SfxError::Unreadable:
    case SfxError::None: break;
  }
  return "unknown";
}

void ShowDamaged(const char* reason) {
  ShowError(std::string("This setup package is damaged or incomplete (") + reason +
            ").\r\nPlease download it again.");
}

// The arguments of this program's command line, with their leading blank, without the program.
const char* OwnArguments() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  return p;
}

// The package: the program's own file, read a piece at a time.
class TPackageFile : public TSfxBytes {
 public:
  explicit TPackageFile(const char* path) {
    FFile = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                        nullptr);
    LARGE_INTEGER size;
    if (FFile != INVALID_HANDLE_VALUE && GetFileSizeEx(FFile, &size)) {
      Size = uint64_t(size.QuadPart);
      Opened = true;
    }
  }
  ~TPackageFile() {
    if (FFile != INVALID_HANDLE_VALUE) CloseHandle(FFile);
  }
  TPackageFile(const TPackageFile&) = delete;
  TPackageFile& operator=(const TPackageFile&) = delete;

  bool Seek(uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    return SetFilePointerEx(FFile, at, nullptr, FILE_BEGIN) != 0;
  }
  // The next size bytes (less than 4 GiB), all of them or false.
  bool ReadNext(void* buffer, size_t size) {
    auto* p = static_cast<char*>(buffer);
    for (DWORD got; size > 0; p += got, size -= got)
      if (!ReadFile(FFile, p, DWORD(size), &got, nullptr) || got == 0) return false;
    return true;
  }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override { return Seek(offset) && ReadNext(buffer, size); }
  HANDLE Handle() const { return FFile; }

  bool Opened = false;
  uint64_t Size = 0;

 private:
  HANDLE FFile = INVALID_HANDLE_VALUE;
};

class TExtractor {
 public:
  ~TExtractor() { RemoveTempDir(); }
  int Run();

 private:
  bool CreateTempDir();
  int Unpack(TPackageFile& package, const std::vector<SfxEntry>& entries);  // 0 or an exit code
  int RunSetup();
  void RemoveTempDir();
  void ShowUnreadable() { ShowError(std::string("Setup cannot read its own file\r\n") + FSelf); }

  std::string FTempDir;  // with a trailing backslash; empty until made
  char FSelf[MAX_PATH + 1];
};

bool TExtractor::CreateTempDir() {
  char base[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof base, base);
  if (n == 0 || n >= sizeof base) return false;
  char name[64];
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    wsprintfA(name, "cvsfx%lx-%u", GetCurrentProcessId(), attempt);
    std::string dir = std::string(base) + name;
    if (CreateDirectoryA(dir.c_str(), nullptr)) {
      FTempDir = dir + "\\";
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

// The message of a file that could not be written: the system's reason, and for a full disk
// where to look.
void ShowWriteError(const std::string& path) {
  const DWORD code = GetLastError();
  std::string text = "Setup could not write the file\r\n" + path + "\r\n" + SystemReason(code);
  if (DiskFullCode(code))
    text += "\r\nPlease check the free space of your temporary folder.";
  ShowError(text);
}

// Each entry is read from the package and written into its file a piece at a time, so that
// neither is ever held whole: a stored one through a buffer of at most 1 MiB, a compressed one
// through the decoder's window.
int TExtractor::Unpack(TPackageFile& package, const std::vector<SfxEntry>& entries) {
  for (const SfxEntry& e : entries) {
    const std::string path = FTempDir + e.Name;
    TFileWriter out;
    if (!out.Create(path, CREATE_NEW)) {
      ShowWriteError(path);
      return ExitNoUnpack;
    }
    TFileCopy copy(package.Handle(), e.Size, out);
    const bool read = copy.Seek(static_cast<int64_t>(e.Offset));
    int64_t produced = 0;
    if (read) {
      try {
        if (e.Stored || e.Size == 0)
          copy.Copy();
        else
          LzhDecodePieces(e.Count, copy, &produced);
      } catch (...) {  // the copy's buffer or the decoder's memory could not be had
        out.Close();
        ShowError("There is not enough memory to unpack " + e.Name + ".");
        return ExitNoUnpack;
      }
    }
    const TWriteResult written = out.Close();
    if (!read || copy.ReadFailed) {
      ShowUnreadable();
      return ExitNoUnpack;
    }
    if (written != TWriteResult::Written) {
      ShowWriteError(path);
      return ExitNoUnpack;
    }
    if (!e.Stored && e.Size != 0 && produced != e.Count) {
      ShowDamaged("a file does not unpack to its length");
      return ExitDamaged;
    }
  }
  return 0;
}

int TExtractor::RunSetup() {
  std::string program = FTempDir + "setup.exe";
  std::string command = "\"" + program + "\"" + OwnArguments();
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ShowError("Setup could not be started.");
    return ExitNoUnpack;
  }
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return int(code);
}

// The folder is ours alone: everything in it goes. A file of a program that has just ended may
// stay locked for a moment, hence the retries.
void TExtractor::RemoveTempDir() {
  if (FTempDir.empty()) return;
  for (int attempt = 0; attempt < 40; ++attempt) {
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((FTempDir + "*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::string path = FTempDir + fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          if (fd.cFileName[0] != '.') RemoveDirectoryA(path.c_str());
        } else {
          if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(path.c_str());
        }
      } while (FindNextFileA(find, &fd));
      FindClose(find);
    }
    if (RemoveDirectoryA(FTempDir.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
        GetLastError() == ERROR_PATH_NOT_FOUND)
      break;
    Sleep(50);
  }
  FTempDir.clear();
}

int TExtractor::Run() {
  DWORD n = GetModuleFileNameA(nullptr, FSelf, sizeof FSelf);
  if (n == 0 || n >= sizeof FSelf) {
    ShowError("Setup cannot find its own file.");
    return ExitNoUnpack;
  }
  TPackageFile package(FSelf);
  if (!package.Opened) {
    ShowUnreadable();
    return ExitNoUnpack;
  }
  std::vector<SfxEntry> entries;
  SfxError error = ReadSfxDirectory(package, package.Size, entries);
  if (error == SfxError::Unreadable) {
    ShowUnreadable();
    return ExitNoUnpack;
  }
  if (error != SfxError::None) {
    ShowDamaged(Reason(error));
    return ExitDamaged;
  }
  if (!CreateTempDir()) {
    ShowError("Setup could not create a folder in your temporary folder.");
    return ExitNoUnpack;
  }
  if (int failed = Unpack(package, entries)) return failed;
  return RunSetup();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // It runs from a downloads folder, where anything may lie beside it (systemdll.h); setup.exe,
  // started from the fresh folder it made, narrows its own search too.
  RestrictDllSearch();
  TExtractor extractor;
  return extractor.Run();
}

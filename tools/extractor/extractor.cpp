// extractor.exe: the stub at the head of every self-extracting package. It finds the payload at
// the end of its own file, restores every entry into a fresh private folder under the temporary
// directory, runs setup.exe from there with its own arguments, waits for it, removes the folder
// and ends with setup's exit code.
#include <windows.h>

#include <string>
#include <vector>

#include "codec/lzh.h"
#include "shared/systemdll.h"
#include "shared/win32files.h"
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

// The package file, mapped read-only for the life of the object.
class TPackageFile {
 public:
  explicit TPackageFile(const char* path) {
    FFile = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (FFile == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(FFile, &size) || size.QuadPart == 0 || uint64_t(size.QuadPart) > SIZE_MAX) return;
    FMap = CreateFileMappingA(FFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!FMap) return;
    Bytes = static_cast<const uint8_t*>(MapViewOfFile(FMap, FILE_MAP_READ, 0, 0, 0));
    if (Bytes) Size = size_t(size.QuadPart);
  }
  ~TPackageFile() {
    if (Bytes) UnmapViewOfFile(Bytes);
    if (FMap) CloseHandle(FMap);
    if (FFile != INVALID_HANDLE_VALUE) CloseHandle(FFile);
  }
  TPackageFile(const TPackageFile&) = delete;
  TPackageFile& operator=(const TPackageFile&) = delete;

  const uint8_t* Bytes = nullptr;
  size_t Size = 0;

 private:
  HANDLE FFile = INVALID_HANDLE_VALUE;
  HANDLE FMap = nullptr;
};

class TExtractor {
 public:
  ~TExtractor() { RemoveTempDir(); }
  int Run();

 private:
  bool CreateTempDir();
  int Unpack(const std::vector<SfxEntry>& entries);  // 0 or an exit code
  int RunSetup();
  void RemoveTempDir();

  std::string FTempDir;  // with a trailing backslash; empty until made
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

int TExtractor::Unpack(const std::vector<SfxEntry>& entries) {
  for (const SfxEntry& e : entries) {
    std::string path = FTempDir + std::string(e.Name);
    bool written;
    if (e.Stored || e.Size == 0) {
      written = WriteWholeFile(path, e.Data, e.Size, CREATE_NEW) == TWriteResult::Written;
    } else {
      TMemoryStream out;
      try {
        TCustom_lzh lzh;
        lzh.InBuffer = e.Data;
        lzh.InSize = int32_t(e.Size);
        lzh.OutStream = &out;
        lzh.Decompress();
      } catch (...) {  // the output could not grow
        ShowError("There is not enough memory to unpack " + std::string(e.Name) + ".");
        return ExitNoUnpack;
      }
      if (out.size() != size_t(LzhBlockCount(e.Data, e.Size))) {
        ShowDamaged("a file does not unpack to its length");
        return ExitDamaged;
      }
      written = WriteWholeFile(path, out.data(), out.size(), CREATE_NEW) == TWriteResult::Written;
    }
    if (!written) {
      ShowError("Setup could not write the file\r\n" + path + "\r\nPlease check the free space of your temporary folder.");
      return ExitNoUnpack;
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
  char self[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) {
    ShowError("Setup cannot find its own file.");
    return ExitNoUnpack;
  }
  TPackageFile package(self);
  if (!package.Bytes) {
    ShowError(std::string("Setup cannot read its own file\r\n") + self);
    return ExitNoUnpack;
  }
  std::vector<SfxEntry> entries;
  SfxError error = ReadSfxDirectory(package.Bytes, package.Size, entries);
  if (error != SfxError::None) {
    ShowDamaged(Reason(error));
    return ExitDamaged;
  }
  if (!CreateTempDir()) {
    ShowError("Setup could not create a folder in your temporary folder.");
    return ExitNoUnpack;
  }
  if (int failed = Unpack(entries)) return failed;
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

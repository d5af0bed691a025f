#include "creator/creator_compiler.h"

#include "creator/creator_sfx.h"
#include "creator/datapak.h"
#include "shared/win32files.h"

#include <cstdint>
#include <memory>

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw EBuildError(what + ": " + SystemReason(GetLastError()));
}

// Creates dir (ending with "\") and every missing parent.
void ForceDirectoriesOrFail(const std::string& dir) {
  std::string failed;
  if (!ForceDirectories(dir, &failed)) Fail("The folder " + Quoted(failed) + " cannot be created");
}

// The names in dir (ending with "\") but "." and "..", in the order the file system gives them.
std::vector<std::string> ListEntries(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "*.*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return names;
}

void ClearReadOnly(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
}

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    Fail(Quoted(path) + " cannot be read");
  return static_cast<int64_t>((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
}

}  // namespace

// --- Files --------------------------------------------------------------------------------------

class TCompiler::TFile : public ByteReader, public ByteWriter {
 public:
  // Opens for reading (others may read it meanwhile, but not write it), or creates it afresh.
  static std::unique_ptr<TFile> Open(const std::string& path) {
    return std::unique_ptr<TFile>(new TFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  }
  static std::unique_ptr<TFile> Create(const std::string& path) {
    return std::unique_ptr<TFile>(new TFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
  }
  // Creates a new file in dir (ending with "\") under a name that no entry there has: "~" and four
  // hex digits. Five characters are no more than any package's name takes ("x.exe"), so a folder
  // with room for the package has room for it too.
  static std::unique_ptr<TFile> CreateUnique(const std::string& dir) {
    static constexpr char Hex[] = "0123456789abcdef";
    const DWORD first = GetCurrentProcessId() * 40503u + GetTickCount();
    for (DWORD i = 0; i < 0x10000; ++i) {
      const DWORD n = (first + i) & 0xFFFF;
      const std::string path = dir + '~' + Hex[n >> 12] + Hex[(n >> 8) & 15] + Hex[(n >> 4) & 15] + Hex[n & 15];
      const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      if (h != INVALID_HANDLE_VALUE) return std::unique_ptr<TFile>(new TFile(path, h));
      const DWORD error = GetLastError();
      // Taken: by a file, or by a folder or a file on its way out, which deny access.
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
          !(error == ERROR_ACCESS_DENIED && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)) {
        SetLastError(error);
        Fail(Quoted(path) + " cannot be created");
      }
    }
    SetLastError(ERROR_FILE_EXISTS);
    Fail("No temporary file can be created in " + Quoted(dir));
  }
  ~TFile() override { if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle); }

  int64_t Size() const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(FHandle, &size)) Fail(Quoted(FPath) + " cannot be read");
    return size.QuadPart;
  }
  size_t Read(void* buffer, size_t size) override {
    DWORD got = 0;
    if (!ReadFile(FHandle, buffer, static_cast<DWORD>(size), &got, nullptr))
      Fail(Quoted(FPath) + " cannot be read");
    return got;
  }
  void Write(const void* data, size_t size) override {
    // In pieces of at most 64 MiB; the whole piece must go, or the disk said why not.
    for (auto* p = static_cast<const uint8_t*>(data); size != 0;) {
      DWORD piece = static_cast<DWORD>(size < (64u << 20) ? size : (64u << 20)), put = 0;
      if (!WriteFile(FHandle, p, piece, &put, nullptr)) Fail(Quoted(FPath) + " cannot be written");
      if (put != piece) {
        SetLastError(ERROR_DISK_FULL);
        Fail(Quoted(FPath) + " cannot be written");
      }
      p += put, size -= put;
    }
  }
  // Where the next byte goes, and a write over bytes already written there, after which writing
  // goes on at the end.
  int64_t Position() const {
    LARGE_INTEGER zero{}, at;
    if (!SetFilePointerEx(FHandle, zero, &at, FILE_CURRENT)) Fail(Quoted(FPath) + " cannot be written");
    return at.QuadPart;
  }
  void WriteAt(int64_t position, const void* data, size_t size) {
    LARGE_INTEGER at, zero{};
    at.QuadPart = position;
    if (!SetFilePointerEx(FHandle, at, nullptr, FILE_BEGIN)) Fail(Quoted(FPath) + " cannot be written");
    Write(data, size);
    if (!SetFilePointerEx(FHandle, zero, nullptr, FILE_END)) Fail(Quoted(FPath) + " cannot be written");
  }
  // Closing flushes what the system still holds, so its failure is a write error too.
  void Close() {
    HANDLE h = FHandle;
    FHandle = INVALID_HANDLE_VALUE;
    if (h != INVALID_HANDLE_VALUE && !CloseHandle(h)) Fail(Quoted(FPath) + " cannot be written");
  }
  const std::string& Path() const { return FPath; }

 private:
  TFile(const std::string& path, DWORD access, DWORD share, DWORD disposition) : FPath(path) {
    FHandle = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE)
      Fail(Quoted(path) + (access == GENERIC_READ ? " cannot be opened" : " cannot be created"));
  }
  TFile(const std::string& path, HANDLE handle) : FPath(path), FHandle(handle) {}
  std::string FPath;
  HANDLE FHandle = INVALID_HANDLE_VALUE;
};

// --- The thread ---------------------------------------------------------------------------------

std::string TBuildHost::ProgramDir() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(DirectoryPart(std::string_view(path, n)));
}

TCompiler::TCompiler(TBuildHost& host) : FHost(host) { FreeOnTerminate = true; }

TCompiler::~TCompiler() = default;

void TCompiler::Sync(void (TCompiler::*call)()) {
  Synchronize([this, call] { (this->*call)(); });
}

void TCompiler::Report(const std::string& line) {
  FStatus = line;
  Sync(&TCompiler::ReportStatus);
}

void TCompiler::Execute() {
  try {
    FSyncIndex = 1;
    Sync(&TCompiler::FetchSettings);
    const std::string outputDir = FSyncText1;
    FTitle = FSyncText2;
    FBase = BaseDirectory(outputDir, FTitle);
    FProgramDir = WithBackslash(FHost.ProgramDir());
    Sync(&TCompiler::FetchProject);
    if (!VerifyFiles())
      FStatus = "ERROR: Files missing, cannot compile";
    else if (!CheckSettings(outputDir))
      FStatus = "ERROR: Project settings not valid, cannot compile";
    else if (!Compile())
      FStatus = FPackagesComplete ? "ERROR: The Setup Datasheet copy was not saved, but the packages are complete"
                                  : "ERROR: Compiling failed, the packages are not complete";
    else
      FStatus = "Compiling done, everything seems to be alright";
    Sync(&TCompiler::ReportStatus);
  } catch (const std::exception& e) {
    // A file that vanished after the checks, or the report itself; "&Finish" comes all the same.
    FStatus = std::string("ERROR: ") + e.what();
    try { Sync(&TCompiler::ReportStatus); } catch (...) {}
  } catch (...) {
    FStatus = "ERROR: The build stopped on an unknown error";
    try { Sync(&TCompiler::ReportStatus); } catch (...) {}
  }
  try { Sync(&TCompiler::ShowFinished); } catch (...) {}
}

bool TCompiler::VerifyFiles() {
  Report("Verifying File Existences...");
  std::vector<std::string> tools = {FProgramDir + "cv2uinst.exe", FProgramDir + "extractor.exe",
                                    FProgramDir + "setup.exe"};
  if (FProject.Info.LicenseMustAccept) tools.push_back(FProject.LicenseFile);
  auto missing = [&](const std::string& path) {
    Report("ERROR: '" + std::string(FileNamePart(path)) + "' in '" + std::string(DirectoryPart(path)) +
           "' not found");
  };
  bool result = true;
  for (const std::string& path : tools)
    if (!FileExists(path)) missing(path), result = false;
  for (size_t i = 0; result && i < FProject.Files.size(); ++i)
    if (!FileExists(FProject.Files[i].Source)) missing(FProject.Files[i].Source), result = false;
  return result;
}

// What would make the build fail half-way, refused before anything is written.
bool TCompiler::CheckSettings(const std::string& outputDir) {
  std::vector<std::string> problems;
  if (outputDir.find_first_not_of(' ') == std::string::npos)
    problems.push_back("No output directory is given for the packages");
  if (std::string why = TitleProblem(FTitle); !why.empty()) problems.push_back(why);
  for (std::string& p : CheckProject(FProject)) problems.push_back(std::move(p));

  // Each file must fit a 32-bit size; raw, all of them together too. Compressed, the package can
  // still pass 2 GiB, which shows while it is written.
  bool oneTooLarge = false;
  int64_t total = 0;
  auto count = [&](const std::string& path) {
    int64_t size = FileSize(path);
    if (size > MaxDataPakSize) {
      problems.push_back(Quoted(path) + " is larger than the 2 GiB a data package can address");
      oneTooLarge = true;
    }
    total += size;
  };
  count(FProgramDir + "cv2uinst.exe");
  for (const auto& row : FProject.Files) count(row.Source);
  if (!oneTooLarge && !FProject.Info.CompressData && total > MaxDataPakSize)
    problems.push_back("The files add up to " + std::to_string(total) +
                       " bytes, more than the 2 GiB a data package can address");
  for (const std::string& p : problems) Report("ERROR: " + p);
  return problems.empty();
}

bool TCompiler::Compile() {
  const std::string staging = FBase + "Temporary\\Final\\";
  auto failed = [this](const char* what) {
    FOutFile = nullptr;
    Report(std::string("ERROR: ") + what);
    FFailed = true;
  };
  try {
    ForceDirectoriesOrFail(staging);
    std::unique_ptr<TFile> setupDat = TFile::Create(staging + "setup.dat");
    FOutFile = setupDat.get();
    Sync(&TCompiler::WriteAppInfo);
    Sync(&TCompiler::WritePackageList);
    Sync(&TCompiler::WriteRegistryList);
    Sync(&TCompiler::WriteShortcutList);
    Sync(&TCompiler::WriteDllList);
    Sync(&TCompiler::WriteCommandLists);
    WriteDataPackage(staging + "data.pak");
    FOutFile = nullptr;
    setupDat->Close();

    FSyncIndex = 2;
    Sync(&TCompiler::FetchSettings);
    const bool cdRom = FSyncFlag1, web = FSyncFlag2;
    if (FAppInfo.LicenseMustAccept == 1) CopyStaged(FSyncText1, staging + "license.rtf");
    CopyStaged(FProgramDir + "setup.exe", staging + "setup.exe");
    if (cdRom) CopyToCdRom(staging, FBase + "CD-ROM\\");
    // The Web medium comes last, after the CD-ROM folder.
    if (web) BuildSelfExtractor(staging, FBase + "Web\\" + FTitle + ".exe");
  } catch (const std::exception& e) {
    failed(e.what());
  } catch (...) {
    failed("The build stopped on an unknown error");
  }
  DeleteStagedFiles();
  FPackagesComplete = !FFailed;
  if (!FFailed) {
    const std::string sheet = FBase + FTitle + ".sds";
    try {
      // The report line and the project come from the user-interface thread; the file is
      // written here, so that a large project does not hold the window.
      Sync(&TCompiler::FetchDatasheet);
      datasheet::SaveFile(sheet, FDatasheet);
      FDatasheet = {};
    } catch (const std::exception& e) {
      failed(e.what());
    } catch (...) {
      failed("The Setup Datasheet copy cannot be written");
    }
    if (FFailed) DeleteFileA(sheet.c_str());  // a half-written copy is no copy
  }
  RemoveStagingDirectories();
  return !FFailed;
}

// Nothing of the clean-up is reported: a file or directory that is not there, or a directory
// that is not empty, stays as it is.
void TCompiler::DeleteStagedFiles() {
  const std::string final = FBase + "Temporary\\Final\\", raw = FBase + "Temporary\\Raw\\";
  for (const char* name : {"data.pak", "setup.exe", "setup.dat", "license.rtf"})
    DeleteFileA((final + name).c_str());
  for (const std::string& name : ListEntries(raw)) DeleteFileA((raw + name).c_str());
}

void TCompiler::RemoveStagingDirectories() {
  for (const char* dir : {"Temporary\\Raw\\", "Temporary\\Final\\", "Temporary\\"})
    RemoveDirectoryA((FBase + dir).c_str());
}

// A copy takes its source's attributes along. Read-only tools or licence (from a CD, say) would
// make the staged copies undeletable and the CD-ROM folder's files irreplaceable, so the build's
// own copies never stay read-only.
void TCompiler::CopyStaged(const std::string& from, const std::string& to) {
  ClearReadOnly(to);
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
    Report("ERROR: " + Quoted(from) + " cannot be copied to " + Quoted(to) + ": " +
           SystemReason(GetLastError()));
    FFailed = true;
    return;
  }
  ClearReadOnly(to);
}

void TCompiler::CopyToCdRom(const std::string& staging, const std::string& target) {
  Report("Creating Data for Media: CD-ROM...");
  ForceDirectoriesOrFail(target);
  for (const std::string& name : ListEntries(staging)) CopyStaged(staging + name, target + name);
}

// The self-extracting package (creator_sfx.h): the stub's bytes, every staged file, the tail, each
// streamed from its file. It is written under a short temporary name beside the package and takes
// the package's place only when it is whole; one that cannot be finished is removed, and the
// package of an earlier build stays as it was.
void TCompiler::BuildSelfExtractor(const std::string& staging, const std::string& packagePath) {
  Report("Creating Data for Media: Self-Extracting Package...");
  const std::string folder(DirectoryPart(packagePath));
  ForceDirectoriesOrFail(folder);
  std::unique_ptr<TFile> package = TFile::CreateUnique(folder);
  const std::string partial = package->Path();
  class TPackageOutput : public TSfxOutput {
   public:
    explicit TPackageOutput(TFile& file) : FFile(file) {}
    void Write(const void* data, size_t size) override { FFile.Write(data, size); }
    int64_t Position() override { return FFile.Position(); }
    void WriteAt(int64_t position, const void* data, size_t size) override { FFile.WriteAt(position, data, size); }

   private:
    TFile& FFile;
  } out(*package);
  try {
    CopyExtractorStub(out, *TFile::Open(FProgramDir + "extractor.exe"));
    AppendPayload(out, ListEntries(staging), [&](const std::string& name) {
      std::unique_ptr<TFile> file = TFile::Open(staging + name);
      const int64_t size = file->Size();
      return TSfxSource{std::move(file), size};
    });
    WriteSfxMagic(out);
    package->Close();
    if (!MoveFileExA(partial.c_str(), packagePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      Fail(Quoted(packagePath) + " cannot be replaced");
  } catch (...) {
    package.reset();
    DeleteFileA(partial.c_str());
    throw;
  }
}

void TCompiler::WriteDataPackage(const std::string& path) {
  Report("Creating Data Package...");
  Sync(&TCompiler::FetchPackOptions);
  const int32_t count = FSyncIndex;
  FOutFile->Write(&count, sizeof count);
  std::unique_ptr<TFile> pak = TFile::Create(path);
  DataPackager packager(FSyncFlag1);
  {
    std::unique_ptr<TFile> uninstaller = TFile::Open(FProgramDir + "cv2uinst.exe");
    packager.AddUninstaller(*uninstaller, uninstaller->Size(), uninstaller->Path(), *pak);
  }
  Sync(&TCompiler::FetchPackOptions);
  const int32_t rows = FSyncIndex;
  for (int32_t i = 0; i < rows; ++i) {
    FSyncIndex = i;
    Sync(&TCompiler::FetchFileItem);
    const BuildProject::FileRow row{FSyncText1, FSyncText3, FSyncText2};
    Report("Packaging File: " + std::string(FileNamePart(row.Source)) + "...");
    std::unique_ptr<TFile> source = TFile::Open(row.Source);
    packager.AddFile(row, *source, source->Size(), *FOutFile, *pak);
  }
  pak->Close();
}

// --- On the user-interface thread -----------------------------------------------------------------

void TCompiler::FetchSettings() {
  if (FSyncIndex == 1) {
    FSyncText1 = FHost.OutputDir();
    FSyncText2 = FHost.AppTitle();
  } else if (FSyncIndex == 2) {
    FSyncText1 = FHost.LicenseFile();
    FSyncText2 = FHost.AppTitle();
    FSyncFlag1 = FHost.CdRom();
    FSyncFlag2 = FHost.Web();
  }
}

void TCompiler::FetchProject() {
  FProject.Info = FHost.AppInfo();
  FProject.LicenseFile = FHost.LicenseFile();
  FProject.Packages = FHost.Packages();
  FProject.Registry = FHost.Registry();
  FProject.Shortcuts = FHost.Shortcuts();
  FProject.DllList = FHost.DllList();
  FProject.PIList = FHost.PIList();
  FProject.PUIList = FHost.PUIList();
  FProject.Files.clear();
  for (int i = 0, n = FHost.FileCount(); i < n; ++i) FProject.Files.push_back(FHost.FileItem(i));
}

void TCompiler::FetchPackOptions() {
  FSyncFlag1 = FHost.Compress();
  FSyncIndex = FHost.FileCount();
}

void TCompiler::FetchFileItem() {
  BuildProject::FileRow row = FHost.FileItem(FSyncIndex);
  FSyncText1 = row.Destination;
  FSyncText2 = row.Package;
  FSyncText3 = row.Source;
}

void TCompiler::ReportStatus() { FHost.AddReportLine(FStatus); }

void TCompiler::ShowFinished() { FHost.ShowFinished(); }

void TCompiler::FetchDatasheet() {
  FStatus = "Saving Setup Datasheet...";
  ReportStatus();
  FDatasheet = FHost.Datasheet();
}

void TCompiler::WriteOut(const Bytes& bytes) { FOutFile->Write(bytes.data(), bytes.size()); }

void TCompiler::WriteAppInfo() {
  FStatus = "Gathering Application Information...";
  ReportStatus();
  const int64_t uninstallerSize = TFile::Open(FProgramDir + "cv2uinst.exe")->Size();
  FAppInfo = MakeAppInfo(FHost.AppInfo(), FHost.Shortcuts(), static_cast<int32_t>(uninstallerSize));
  FOutFile->Write(&FAppInfo, sizeof FAppInfo);
}

void TCompiler::WritePackageList() {
  FStatus = "Writing Packages List...";
  ReportStatus();
  Bytes out;
  AppendPackageList(out, FHost.Packages());
  WriteOut(out);
}

void TCompiler::WriteRegistryList() {
  FStatus = "Writing List of Registry Changes...";
  ReportStatus();
  Bytes out;
  AppendRegistryList(out, FHost.Registry());
  WriteOut(out);
}

void TCompiler::WriteShortcutList() {
  FStatus = "Writing Shotcut List...";
  ReportStatus();
  Bytes out;
  AppendShortcutList(out, FHost.Shortcuts());
  WriteOut(out);
}

void TCompiler::WriteDllList() {
  FStatus = "Writing DLL/OCX List...";
  ReportStatus();
  Bytes out;
  AppendDllList(out, FHost.DllList());
  WriteOut(out);
}

void TCompiler::WriteCommandLists() {
  FStatus = "Writing List of Additional Commands...";
  ReportStatus();
  Bytes out;
  AppendCommandLists(out, FHost.PIList(), FHost.PUIList());
  WriteOut(out);
}

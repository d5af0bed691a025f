// build_bench TOOLS SOURCES OUT [raw|compressed|both [cd|web|both]]: times the build of a package of
// every file in SOURCES, raw and then compressed (or the one method named), as a CD-ROM folder
// (or the media named), with cv2uinst.exe, extractor.exe and setup.exe taken from TOOLS and the
// packages written below OUT. Prints one line per method.
#include "creator/creator_compiler.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// A project of nothing but files; the report is counted, not shown.
struct BenchHost : TBuildHost {
  std::string Tools, Out;
  BuildProject Project;
  bool CdRomOn = true, WebOn = false;
  int Lines = 0;
  bool Failed = false;

  std::string ProgramDir() override { return Tools; }
  std::string OutputDir() override { return Out; }
  std::string AppTitle() override { return "Bench"; }
  std::string LicenseFile() override { return ""; }
  bool CdRom() override { return CdRomOn; }
  bool Web() override { return WebOn; }
  bool Compress() override { return Project.Info.CompressData; }
  BuildProject::AppInfo AppInfo() override { return Project.Info; }
  std::vector<std::string> Packages() override { return Project.Packages; }
  std::vector<BuildProject::RegistryRow> Registry() override { return {}; }
  std::vector<BuildProject::ShortcutRow> Shortcuts() override { return {}; }
  std::vector<std::string> DllList() override { return {}; }
  std::vector<std::string> PIList() override { return {}; }
  std::vector<std::string> PUIList() override { return {}; }
  int FileCount() override { return static_cast<int>(Project.Files.size()); }
  BuildProject::FileRow FileItem(int row) override { return Project.Files[row]; }
  void AddReportLine(const std::string& line) override {
    ++Lines;
    if (line.starts_with("ERROR: ")) Failed = true, std::fprintf(stderr, "%s\n", line.c_str());
  }
  void ShowFinished() override {}
  datasheet::TDatasheet Datasheet() override { return {}; }
};

long long SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
  const char* method = argc > 4 ? argv[4] : "both";
  const char* media = argc > 5 ? argv[5] : "cd";
  const auto oneOf = [](const char* s, const char* a, const char* b) {
    return !std::strcmp(s, a) || !std::strcmp(s, b) || !std::strcmp(s, "both");
  };
  if (argc < 4 || argc > 6 || !oneOf(method, "raw", "compressed") || !oneOf(media, "cd", "web"))
    return std::fprintf(stderr, "usage: build_bench TOOLS SOURCES OUT [raw|compressed|both [cd|web|both]]\n"), 2;
  ui::Init();
  BenchHost host;
  host.Tools = WithBackslash(argv[1]);
  host.Out = argv[3];
  host.CdRomOn = std::strcmp(media, "web") != 0;
  host.WebOn = std::strcmp(media, "cd") != 0;
  host.Project.Info.AppTitle = "Bench";
  host.Project.Packages = {"Required Files"};
  const std::string sources = WithBackslash(argv[2]);
  int64_t bytes = 0;
  WIN32_FIND_DATAA f;
  HANDLE find = FindFirstFileA((sources + "*").c_str(), &f);
  if (find == INVALID_HANDLE_VALUE) return std::fprintf(stderr, "build_bench: no files in %s\n", argv[2]), 1;
  do {
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    host.Project.Files.push_back({"<InstallRoot>\\" + std::string(f.cFileName), sources + f.cFileName, "Required Files"});
    bytes += (int64_t{f.nFileSizeHigh} << 32) | f.nFileSizeLow;
  } while (FindNextFileA(find, &f));
  FindClose(find);

  for (bool compress : {false, true}) {
    if (std::strcmp(method, "both") && compress != !std::strcmp(method, "compressed")) continue;
    host.Project.Info.CompressData = compress;
    auto start = std::chrono::steady_clock::now();
    auto* compiler = new TCompiler(host);
    HANDLE thread;
    DuplicateHandle(GetCurrentProcess(), compiler->Handle, GetCurrentProcess(), &thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    compiler->Resume();
    ui::WaitServing(thread);
    CloseHandle(thread);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string base = BaseDirectory(host.Out, "Bench");
    std::printf("%-10s %4zu files %11lld bytes", compress ? "compressed" : "raw", host.Project.Files.size(),
                static_cast<long long>(bytes));
    if (host.CdRomOn) std::printf("  data.pak %11lld bytes", SizeOf(base + "CD-ROM\\data.pak"));
    if (host.WebOn) std::printf("  Bench.exe %11lld bytes", SizeOf(base + "Web\\Bench.exe"));
    std::printf("  %7.2f s  %7.1f MB/s\n", seconds, static_cast<double>(bytes) / 1e6 / seconds);
    if (host.Failed) return 1;
  }
  return 0;
}

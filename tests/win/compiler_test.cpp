// The build thread in process: real files in a temporary folder, the wizard's reads answered by a
// plain host that checks every call comes on the user-interface thread.
#include "creator/creator_compiler.h"
#include "tests/native/sfx_reader.h"
#include "tests/win/test_support.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

using Lines = std::vector<std::string>;
using Row = BuildProject::RegistryRow;
using Link = BuildProject::ShortcutRow;

using testsupport::Decompress;
using testsupport::Entries;
using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::RemoveTree;
using testsupport::WriteAll;

std::string Pattern(size_t n, int seed) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i * 13 + (i >> 7));
  return s;
}
template <class T> T At(const std::string& bytes, size_t offset) {
  T v;
  std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}
std::string Short(const std::string& bytes, size_t offset) {
  return bytes.substr(offset + 1, static_cast<uint8_t>(bytes[offset]));
}

// The wizard's controls as plain values.
struct FakeHost : TBuildHost {
  std::string Dir, Out, Title = "Demo", License;
  bool CdRomOn = true, WebOn = false;
  BuildProject Project;
  Lines Report;
  int Finished = 0;
  std::string SaveError;  // when set, taking the project for the datasheet copy fails with it
  DWORD UiThread = GetCurrentThreadId();
  int OffThread = 0;

  void On() { if (GetCurrentThreadId() != UiThread) ++OffThread; }
  std::string ProgramDir() override { return Dir; }
  std::string OutputDir() override { return On(), Out; }
  std::string AppTitle() override { return On(), Title; }
  std::string LicenseFile() override { return On(), License; }
  bool CdRom() override { return On(), CdRomOn; }
  bool Web() override { return On(), WebOn; }
  bool Compress() override { return On(), Project.Info.CompressData; }
  BuildProject::AppInfo AppInfo() override {
    On();
    BuildProject::AppInfo info = Project.Info;
    info.AppTitle = Title;
    return info;
  }
  Lines Packages() override { return On(), Project.Packages; }
  std::vector<Row> Registry() override { return On(), Project.Registry; }
  std::vector<Link> Shortcuts() override { return On(), Project.Shortcuts; }
  Lines DllList() override { return On(), Project.DllList; }
  Lines PIList() override { return On(), Project.PIList; }
  Lines PUIList() override { return On(), Project.PUIList; }
  int FileCount() override { return On(), static_cast<int>(Project.Files.size()); }
  BuildProject::FileRow FileItem(int row) override { return On(), Project.Files.at(row); }
  void AddReportLine(const std::string& line) override {
    On();
    EXPECT_EQ(Finished, 0) << "a line after the end: " << line;
    Report.push_back(line);
  }
  void ShowFinished() override { On(), ++Finished; }
  datasheet::TDatasheet Datasheet() override {
    On();
    if (!SaveError.empty()) throw std::runtime_error(SaveError);
    datasheet::TDatasheet d;
    d.Name = Title;
    return d;
  }
};

class Build : public testing::Test {
 public:
  std::string Root, Tools, Src, Out;
  FakeHost Host;
  const std::string Uninstaller = Pattern(3001, 1), Extractor = Pattern(700, 2), SetupExe = Pattern(1500, 3);

  void SetUp() override {
    ui::Init();
    Root = testsupport::FreshTestDir("build");
    Tools = Root + "creator\\", Src = Root + "src\\", Out = Root + "My Setups";
    for (const std::string& d : {Tools, Src}) CreateDirectoryA(d.c_str(), nullptr);
    testsupport::WriteTools(Tools, Uninstaller, Extractor, SetupExe);
    Fresh();
  }
  // The host of a new project: the fixture's tools, one package, nothing else.
  void Fresh() {
    Host = FakeHost();
    Host.Dir = Tools;
    Host.Out = Out;
    Host.Project.Info.AppVersion = "1.0";
    Host.Project.Packages = {"Required Files"};
  }
  void TearDown() override { RemoveTree(Root); }

  std::string Base() const { return Out + "\\Demo\\"; }
  void AddFile(const std::string& name, const std::string& bytes, const std::string& package = "Required Files") {
    WriteAll(Src + name, bytes);
    Host.Project.Files.push_back({"<InstallRoot>\\" + name, Src + name, package});
  }
  // Runs one build to its end, serving its hand-overs meanwhile.
  void Run() {
    ASSERT_TRUE(testsupport::RunBuild(Host));
    EXPECT_EQ(Host.Finished, 1);
    EXPECT_EQ(Host.OffThread, 0);
  }
  Lines Verified(Lines errors) {
    errors.insert(errors.begin(), "Verifying File Existences...");
    return errors;
  }
  static Lines Written(const Lines& files) {
    Lines l = {"Verifying File Existences...", "Gathering Application Information...",
               "Writing Packages List...", "Writing List of Registry Changes...", "Writing Shotcut List...",
               "Writing DLL/OCX List...", "Writing List of Additional Commands...", "Creating Data Package..."};
    for (const auto& f : files) l.push_back("Packaging File: " + f + "...");
    return l;
  }
};

TEST_F(Build, CdRomFolderHoldsTheStagedFilesByteForByte) {
  for (bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "raw");
    RemoveTree(Out + "\\");
    Fresh();
    Host.License = Src + "licence.txt";
    Host.Project.Info.AppVersion = "2.5";
    Host.Project.Info.LicenseMustAccept = true;
    Host.Project.Info.CompressData = compress;
    Host.Project.Packages = {"Required Files", "Docs"};
    Host.Project.Registry = {Row{"HKEY_CURRENT_USER\\Software\\Demo", "Path", "<InstallRoot>", "String"}};
    Host.Project.Shortcuts = {Link{"<Desktop>", "Demo", "<InstallRoot>\\demo.exe", "", "<InstallRoot>\\demo.exe", "3"}};
    Host.Project.PIList = {"<InstallRoot>\\demo.exe /first"};
    WriteAll(Src + "licence.txt", "Plain text licence\r\n");
    const std::string big = Pattern(2049, 9);
    AddFile("demo.exe", big);
    AddFile("empty.txt", "");
    AddFile("readme.txt", std::string(2048, 'r'), "Docs");
    Host.Project.Files.push_back({"<InstallRoot>\\copy\\demo.exe", Src + "demo.exe", "Docs"});
    Run();

    Lines expected = Written({"demo.exe", "empty.txt", "readme.txt", "demo.exe"});
    expected.insert(expected.end(), {"Creating Data for Media: CD-ROM...", "Saving Setup Datasheet...",
                                     "Compiling done, everything seems to be alright"});
    EXPECT_EQ(Host.Report, expected);

    const std::string cd = Base() + "CD-ROM\\";
    EXPECT_EQ(Entries(Base()), (Lines{"CD-ROM", "Demo.sds"}));
    EXPECT_EQ(Entries(cd), (Lines{"data.pak", "license.rtf", "setup.dat", "setup.exe"}));
    EXPECT_NE(ReadAll(Base() + "Demo.sds").find("[APPINFO]\r\nName=\"Demo\"\r\n"), std::string::npos);
    EXPECT_EQ(ReadAll(cd + "setup.exe"), SetupExe);
    EXPECT_EQ(ReadAll(cd + "license.rtf"), "Plain text licence\r\n");

    const std::string dat = ReadAll(cd + "setup.dat"), pak = ReadAll(cd + "data.pak");
    ASSERT_EQ(dat.size(), 1320u + 256 * 2 + 776 + 1284 + 256 + 524 * 4);
    EXPECT_EQ(Short(dat, 0), "Demo");
    EXPECT_EQ(Short(dat, 256), "2.5");
    EXPECT_EQ(dat[1034], 1);  // desktop
    EXPECT_EQ(dat[1035], 0);
    EXPECT_EQ(dat[1036], 0);
    EXPECT_EQ(dat[1294], 1);
    EXPECT_EQ(dat[1295], compress ? 1 : 0);
    EXPECT_EQ(At<int32_t>(dat, 1300), 3001);
    size_t at = 1308;
    EXPECT_EQ(dat[at], 2); at += 1 + 2 * 256;                 // packages
    EXPECT_EQ(At<uint16_t>(dat, at), 1); at += 2;              // registry
    EXPECT_EQ(At<uint32_t>(dat, at), 0x80000001u);
    EXPECT_EQ(Short(dat, at + 4), "Software\\Demo");
    EXPECT_EQ(dat[at + 772], 4); at += 776;
    EXPECT_EQ(dat[at], 1); at += 1;                            // shortcuts
    EXPECT_EQ(Short(dat, at + 256), "<InstallRoot>\\demo.exe");
    EXPECT_EQ(dat[at + 1024], 1);
    EXPECT_EQ(At<uint16_t>(dat, at + 1282), 3); at += 1284;
    EXPECT_EQ(At<uint16_t>(dat, at), 0); at += 2;              // DLL/OCX
    EXPECT_EQ(dat[at], 1); at += 1 + 256;                      // post-installation
    EXPECT_EQ(dat[at], 0); at += 1;                            // pre-uninstallation
    EXPECT_EQ(At<int32_t>(dat, at), 4); at += 4;               // files

    EXPECT_EQ(pak.substr(0, 3001), Uninstaller);
    const std::string sources[] = {big, "", std::string(2048, 'r'), big};
    int64_t next = 3001 + 1;
    for (const std::string& source : sources) {
      EXPECT_EQ(At<int32_t>(dat, at + 512), next);
      int32_t stored = At<int32_t>(dat, at + 516);
      EXPECT_EQ(At<int32_t>(dat, at + 520), static_cast<int32_t>(source.size()));
      std::string bytes = pak.substr(static_cast<size_t>(next - 1), static_cast<size_t>(stored));
      EXPECT_EQ(compress ? Decompress(bytes) : bytes, source);
      next += stored;
      at += 524;
    }
    EXPECT_EQ(static_cast<int64_t>(pak.size()), next - 1);
  }
}

// A file of 64 MiB, built raw and compressed, as both media: the build moves it in pieces, so the
// process's peak memory grows by a small part of the file (held whole, the file alone would add
// 64 MiB). What the builds wrote is checked afterwards, when the peaks are taken.
TEST_F(Build, ALargeFileIsBuiltInMemoryThatDoesNotGrowWithIt) {
  const std::string big = Src + "big.bin";
  const size_t size = size_t{64} << 20, piece = size_t{1} << 20;
  {
    HANDLE h = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    for (size_t at = 0; at < size; at += piece) {
      const std::string bytes = Pattern(piece, static_cast<int>(at >> 20));
      DWORD put = 0;
      ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(piece), &put, nullptr) && put == piece);
    }
    CloseHandle(h);
  }
  for (bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "raw");
    Fresh();
    Host.Title = compress ? "Packed" : "Raw";
    Host.WebOn = true;
    Host.Project.Info.CompressData = compress;
    Host.Project.Files = {{"<InstallRoot>\\big.bin", big, "Required Files"}};
    PROCESS_MEMORY_COUNTERS before{}, after{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));
    Run();
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));
    EXPECT_EQ(Host.Report.back(), "Compiling done, everything seems to be alright");
    EXPECT_LT(after.PeakWorkingSetSize - before.PeakWorkingSetSize, SIZE_T(16) << 20)
        << (after.PeakWorkingSetSize - before.PeakWorkingSetSize) << " bytes more at the peak";
  }
  const std::string source = ReadAll(big);
  for (const char* title : {"Raw", "Packed"}) {
    SCOPED_TRACE(title);
    const std::string base = Out + "\\" + title + "\\", cd = base + "CD-ROM\\";
    const std::string pak = ReadAll(cd + "data.pak"), dat = ReadAll(cd + "setup.dat");
    ASSERT_GE(dat.size(), 524u);
    const size_t record = dat.size() - 524;
    ASSERT_EQ(At<int32_t>(dat, record + 512), 3001 + 1);
    ASSERT_EQ(At<int32_t>(dat, record + 516), static_cast<int32_t>(pak.size() - 3001));
    EXPECT_EQ(At<int32_t>(dat, record + 520), static_cast<int32_t>(size));
    EXPECT_EQ(pak.substr(0, 3001), Uninstaller);
    EXPECT_TRUE((title[0] == 'R' ? pak.substr(3001) : Decompress(pak.substr(3001))) == source);
    const std::string package = ReadAll(base + "Web\\" + title + ".exe");
    const SfxReader::TPackage p = SfxReader::ReadPackage(SfxReader::Bytes(package.begin(), package.end()));
    ASSERT_EQ(p.Entries.size(), 3u);
    for (const SfxReader::TEntry& e : p.Entries)
      EXPECT_TRUE(std::string(e.Data.begin(), e.Data.end()) == ReadAll(cd + e.Name)) << e.Name;
  }
}

TEST_F(Build, BothMediaReportEveryStageInOrder) {
  Host.WebOn = true;
  AddFile("a.exe", "abc");
  Run();
  Lines expected = Written({"a.exe"});
  expected.insert(expected.end(), {"Creating Data for Media: CD-ROM...",
                                   "Creating Data for Media: Self-Extracting Package...", "Saving Setup Datasheet...",
                                   "Compiling done, everything seems to be alright"});
  EXPECT_EQ(Host.Report, expected);
  EXPECT_TRUE(Exists(Base() + "CD-ROM\\setup.dat"));
  EXPECT_TRUE(Exists(Base() + "Web\\Demo.exe"));
  EXPECT_FALSE(Exists(Base() + "Temporary"));
}

TEST_F(Build, MissingFilesStopBeforeAnythingIsWritten) {
  struct Case {
    const char* what;
    std::function<void(Build&)> arrange;
    std::function<Lines(Build&)> lines;
  };
  const Case cases[] = {
      {"no extractor", [](Build& b) { DeleteFileA((b.Tools + "extractor.exe").c_str()); },
       [](Build& b) { return Lines{"ERROR: 'extractor.exe' in '" + b.Tools + "' not found"}; }},
      {"no uninstaller, no setup.exe",
       [](Build& b) { DeleteFileA((b.Tools + "cv2uinst.exe").c_str()), DeleteFileA((b.Tools + "setup.exe").c_str()); },
       [](Build& b) {
         return Lines{"ERROR: 'cv2uinst.exe' in '" + b.Tools + "' not found",
                      "ERROR: 'setup.exe' in '" + b.Tools + "' not found"};
       }},
      {"empty licence path", [](Build& b) { b.Host.Project.Info.LicenseMustAccept = true; },
       [](Build&) { return Lines{"ERROR: '' in '' not found"}; }},
      {"licence in no folder",
       [](Build& b) { b.Host.Project.Info.LicenseMustAccept = true, b.Host.License = "gone.rtf"; },
       [](Build&) { return Lines{"ERROR: 'gone.rtf' in '' not found"}; }},
      {"two missing sources",
       [](Build& b) {
         b.Host.Project.Files.push_back({"<InstallRoot>\\x", b.Src + "x.dll", "Required Files"});
         b.Host.Project.Files.push_back({"<InstallRoot>\\y", b.Src + "y.dll", "Required Files"});
       },
       [](Build& b) { return Lines{"ERROR: 'x.dll' in '" + b.Src + "' not found"}; }},
      {"missing tool and source",
       [](Build& b) {
         DeleteFileA((b.Tools + "extractor.exe").c_str());
         b.Host.Project.Files.push_back({"<InstallRoot>\\x", b.Src + "x.dll", "Required Files"});
       },
       [](Build& b) { return Lines{"ERROR: 'extractor.exe' in '" + b.Tools + "' not found"}; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    for (const char* name : {"cv2uinst.exe", "extractor.exe", "setup.exe"}) WriteAll(Tools + name, "tool");
    AddFile("a.exe", "abc");
    c.arrange(*this);
    Run();
    Lines expected = Verified(c.lines(*this));
    expected.push_back("ERROR: Files missing, cannot compile");
    EXPECT_EQ(Host.Report, expected);
    EXPECT_FALSE(Exists(Out));
  }
}

TEST_F(Build, RefusesAProjectItCannotBuildBeforeWritingAnything) {
  struct Case {
    const char* what;
    std::function<void(FakeHost&)> arrange;
    std::string says;  // in the first error line
  };
  const Case cases[] = {
      {"empty output directory", [](FakeHost& h) { h.Out = ""; }, "output directory"},
      {"title with a slash", [](FakeHost& h) { h.Title = "Demo 1/2"; }, "'/'"},
      {"title of a device", [](FakeHost& h) { h.Title = "con"; }, "device"},
      {"unknown root", [](FakeHost& h) { h.Project.Registry = {Row{"HKLM\\Software", "k", "v", "String"}}; }, "'HKLM'"},
      {"unknown type", [](FakeHost& h) { h.Project.Registry = {Row{"HKEY_USERS\\S", "k", "v", "REG_SZ"}}; }, "'REG_SZ'"},
      {"long hex", [](FakeHost& h) {
         h.Project.Registry = {Row{"HKEY_USERS\\S", "k", "hex:" + std::string(252, '0'), "Binary Data"}};
       }, "255"},
      {"icon index", [](FakeHost& h) { h.Project.Shortcuts = {Link{"<Desktop>", "Demo", "t", "", "i.ico", "seven"}}; },
       "'seven'"},
      {"256 packages", [](FakeHost& h) { h.Project.Packages.assign(256, "p"); }, "256 packages"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    AddFile("a.exe", "abc");
    c.arrange(Host);
    Run();
    ASSERT_EQ(Host.Report.size(), 3u) << testing::PrintToString(Host.Report);
    EXPECT_EQ(Host.Report[0], "Verifying File Existences...");
    EXPECT_EQ(Host.Report[1].rfind("ERROR: ", 0), 0u);
    EXPECT_NE(Host.Report[1].find(c.says), std::string::npos) << Host.Report[1];
    EXPECT_EQ(Host.Report[2], "ERROR: Project settings not valid, cannot compile");
    EXPECT_FALSE(Exists(Out));
    EXPECT_FALSE(Exists(Tools + "Demo"));  // an empty output directory is not the current one
  }
}

TEST_F(Build, RefusesAFileOrPackagePastTwoGibibytes) {
  // A sparse file: the size is real, the disk holds nothing.
  const std::string huge = Src + "huge.bin";
  HANDLE h = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = int64_t{1} << 31;
  ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h));
  CloseHandle(h);
  for (bool compress : {false, true}) {
    Fresh();
    Host.Project.Info.CompressData = compress;
    Host.Project.Files = {{"<InstallRoot>\\huge.bin", huge, "Required Files"}};
    Run();
    ASSERT_EQ(Host.Report.size(), 3u) << testing::PrintToString(Host.Report);
    EXPECT_NE(Host.Report[1].find("huge.bin"), std::string::npos) << Host.Report[1];
    EXPECT_NE(Host.Report[1].find("2 GiB"), std::string::npos) << Host.Report[1];
    EXPECT_FALSE(Exists(Out));
  }
  // Two files below the limit that pass it together, raw.
  size.QuadPart = (int64_t{1} << 30) + 1;
  for (const char* name : {"one.bin", "two.bin"}) {
    h = CreateFileA((Src + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);
  }
  Fresh();
  Host.Project.Files = {{"a", Src + "one.bin", "Required Files"}, {"b", Src + "two.bin", "Required Files"}};
  Run();
  ASSERT_EQ(Host.Report.size(), 3u) << testing::PrintToString(Host.Report);
  EXPECT_NE(Host.Report[1].find("2 GiB"), std::string::npos) << Host.Report[1];
  EXPECT_FALSE(Exists(Out));
}

TEST_F(Build, AnErrorOnTheWayIsReportedCleanedUpAndFinished) {
  struct Case {
    const char* what;
    std::function<void(Build&)> arrange;
    std::string says;  // in the error line before the closing line
    std::string closing = "ERROR: Compiling failed, the packages are not complete";
  };
  HANDLE locked = INVALID_HANDLE_VALUE;
  const Case cases[] = {
      {"output directory is a file", [](Build& b) { WriteAll(b.Out, "not a folder"); }, "cannot be created"},
      {"source locked by another program",
       [&locked](Build& b) {
         locked = CreateFileA((b.Src + "a.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
       },
       "a.exe' cannot be opened: "},
      {"datasheet copy cannot be written", [](Build& b) { b.Host.SaveError = "Unable to write to Demo.sds"; },
       "Unable to write to Demo.sds", "ERROR: The Setup Datasheet copy was not saved, but the packages are complete"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveTree(Out + "\\");
    DeleteFileA(Out.c_str());
    Fresh();
    AddFile("a.exe", "abc");
    c.arrange(*this);
    Run();
    if (locked != INVALID_HANDLE_VALUE) CloseHandle(locked), locked = INVALID_HANDLE_VALUE;
    ASSERT_GE(Host.Report.size(), 3u);
    const std::string& error = Host.Report[Host.Report.size() - 2];
    EXPECT_EQ(error.rfind("ERROR: ", 0), 0u) << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_EQ(Host.Report.back(), c.closing);
    EXPECT_FALSE(Exists(Base() + "Temporary"));
    EXPECT_FALSE(Exists(Base() + "Demo.sds"));
  }
}

TEST_F(Build, AFailedCopyIsReportedAndTheRestIsBuilt) {
  Host.Project.Info.LicenseMustAccept = true;
  Host.License = Src + "licence.rtf";
  WriteAll(Host.License, "{\\rtf1 x}");
  AddFile("a.exe", "abc");
  // Opened without sharing: it exists, but nothing can read it.
  HANDLE h = CreateFileA(Host.License.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Run();
  CloseHandle(h);
  Lines expected = Written({"a.exe"});
  ASSERT_GE(Host.Report.size(), expected.size() + 3);
  EXPECT_EQ(Lines(Host.Report.begin(), Host.Report.begin() + static_cast<ptrdiff_t>(expected.size())), expected);
  const std::string& error = Host.Report[expected.size()];
  EXPECT_EQ(error.rfind("ERROR: '" + Host.License + "' cannot be copied", 0), 0u) << error;
  EXPECT_EQ(Host.Report[expected.size() + 1], "Creating Data for Media: CD-ROM...");
  EXPECT_EQ(Host.Report.back(), "ERROR: Compiling failed, the packages are not complete");
  EXPECT_EQ(Entries(Base() + "CD-ROM\\"), (Lines{"data.pak", "setup.dat", "setup.exe"}));
  EXPECT_FALSE(Exists(Base() + "Temporary"));
}

TEST_F(Build, ReadOnlyToolsAndLicenceDoNotStickToTheOutput) {
  // Tools and licence taken from read-only media: their copies must still go from the staging
  // folder, and a second build must still replace them in CD-ROM\.
  Host.Project.Info.LicenseMustAccept = true;
  Host.License = Src + "licence.txt";
  WriteAll(Host.License, "licence");
  AddFile("a.exe", "abc");
  for (const std::string& path : {Tools + "setup.exe", Host.License})
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  for (int build = 0; build < 2; ++build) {
    Host.Report.clear(), Host.Finished = 0;
    Run();
    EXPECT_EQ(Host.Report.back(), "Compiling done, everything seems to be alright") << testing::PrintToString(Host.Report);
    EXPECT_FALSE(Exists(Base() + "Temporary"));
  }
  EXPECT_EQ(ReadAll(Base() + "CD-ROM\\setup.exe"), SetupExe);
  for (const std::string& path : {Tools + "setup.exe", Host.License})
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Build, OutputTreeAcrossBuildsAndMedia) {
  AddFile("a.exe", "first");
  // A trailing "\" gives the same base; leftovers in Temporary\Raw\ go, and so does Temporary\.
  Host.Out = Out + "\\";
  CreateDirectoryA(Out.c_str(), nullptr);
  CreateDirectoryA(Base().c_str(), nullptr);
  CreateDirectoryA((Base() + "Temporary").c_str(), nullptr);
  CreateDirectoryA((Base() + "Temporary\\Raw").c_str(), nullptr);
  WriteAll(Base() + "Temporary\\Raw\\left.tmp", "x");
  Run();
  EXPECT_EQ(Host.Report.back(), "Compiling done, everything seems to be alright");
  EXPECT_EQ(Entries(Base()), (Lines{"CD-ROM", "Demo.sds"}));

  // A second build replaces what it copies again and leaves the rest of CD-ROM\ alone; something
  // else in Temporary\ keeps that folder.
  WriteAll(Base() + "CD-ROM\\old.txt", "old");
  CreateDirectoryA((Base() + "Temporary").c_str(), nullptr);
  CreateDirectoryA((Base() + "Temporary\\keep").c_str(), nullptr);
  const std::string firstPak = ReadAll(Base() + "CD-ROM\\data.pak");
  WriteAll(Src + "a.exe", "second build");
  Host.Report.clear(), Host.Finished = 0;
  Run();
  EXPECT_EQ(Host.Report.back(), "Compiling done, everything seems to be alright");
  EXPECT_EQ(Entries(Base() + "CD-ROM\\"), (Lines{"data.pak", "old.txt", "setup.dat", "setup.exe"}));
  EXPECT_EQ(ReadAll(Base() + "CD-ROM\\data.pak"), Uninstaller + "second build");
  EXPECT_NE(ReadAll(Base() + "CD-ROM\\data.pak"), firstPak);
  EXPECT_EQ(Entries(Base() + "Temporary\\"), Lines{"keep"});

  // Web alone makes no CD-ROM folder.
  RemoveTree(Out + "\\");
  Fresh();
  Host.CdRomOn = false, Host.WebOn = true;
  AddFile("a.exe", "abc");
  Run();
  EXPECT_FALSE(Exists(Base() + "CD-ROM"));
  EXPECT_FALSE(Exists(Base() + "Temporary"));
}

}  // namespace

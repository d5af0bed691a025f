// The Web medium in process: the build writes Web\ + title + ".exe", which the tests' own reader
// takes apart from its end and compares with the CD-ROM folder of the same build.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "creator/creator_compiler.h"
#include "tests/native/sfx_reader.h"
#include "tests/win/test_support.h"

namespace {

using Lines = std::vector<std::string>;
using SfxReader::Bytes;

using testsupport::Entries;
using testsupport::Exists;
using testsupport::RemoveTree;
using testsupport::WriteAll;

Bytes ReadAll(const std::string& path) {
  const std::string bytes = testsupport::ReadAll(path);
  return Bytes(bytes.begin(), bytes.end());
}
std::string Pattern(size_t n, int seed) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i * 7 + (i >> 5) % 3);
  return s;
}

using Host = testsupport::TPlainBuildHost;

class WebBuild : public testing::Test {
 protected:
  std::string Root, Tools, Src, Out;
  Host H;
  const std::string Extractor = Pattern(4096, 5);

  void SetUp() override {
    ui::Init();
    Root = testsupport::FreshTestDir("web");
    Tools = Root + "creator\\", Src = Root + "src\\", Out = Root + "out\\nested";
    for (const std::string& d : {Tools, Src}) CreateDirectoryA(d.c_str(), nullptr);
    testsupport::WriteTools(Tools, Pattern(3000, 1), Extractor, Pattern(20000, 3));
    WriteAll(Src + "licence.rtf", "{\\rtf1 Licence}");
    H.Dir = Tools;
    H.Out = Out;
    H.Project.Info.AppVersion = "1.0";
    H.Project.Packages = {"Required Files"};
  }
  void TearDown() override { RemoveTree(Root); }
  std::string Base() const { return Out + "\\Demo\\"; }
  std::string Package() const { return Base() + "Web\\Demo.exe"; }
  void AddFile(const std::string& name, const std::string& bytes) {
    WriteAll(Src + name, bytes);
    H.Project.Files.push_back({"<InstallRoot>\\" + name, Src + name, "Required Files"});
  }
  void Run() {
    H.Report.clear();
    H.Finished = 0;
    ASSERT_TRUE(testsupport::RunBuild(H));
    ASSERT_EQ(H.Finished, 1);
  }
  Lines Tail(size_t n) const {
    return H.Report.size() < n ? H.Report : Lines(H.Report.end() - static_cast<ptrdiff_t>(n), H.Report.end());
  }
};

}  // namespace

TEST_F(WebBuild, ThePackageHoldsWhatTheCdRomFolderHolds) {
  AddFile("app.exe", Pattern(50000, 7));
  AddFile("empty.txt", "");
  for (bool licence : {true, false}) {
    for (bool compress : {false, true}) {
      SCOPED_TRACE(std::string(licence ? "licence" : "no licence") + (compress ? ", compressed" : ""));
      RemoveTree(Out + "\\");
      H.Project.Info.LicenseMustAccept = licence;
      H.Licence = licence ? Src + "licence.rtf" : "";
      H.Project.Info.CompressData = compress;
      Run();
      EXPECT_EQ(Tail(4), (Lines{"Creating Data for Media: CD-ROM...", "Creating Data for Media: Self-Extracting Package...",
                                "Saving Setup Datasheet...", "Compiling done, everything seems to be alright"}));
      const Bytes file = ReadAll(Package());
      const SfxReader::TPackage p = SfxReader::ReadPackage(file);
      EXPECT_EQ(p.StubSize, Extractor.size());
      EXPECT_EQ(std::string(file.begin(), file.begin() + static_cast<ptrdiff_t>(Extractor.size())), Extractor);
      Lines names, want = {"data.pak", "setup.dat", "setup.exe"};
      if (licence) want.insert(want.begin() + 1, "license.rtf");
      for (const SfxReader::TEntry& e : p.Entries) {
        names.push_back(e.Name);
        EXPECT_EQ(e.Data, ReadAll(Base() + "CD-ROM\\" + e.Name)) << e.Name;
        EXPECT_EQ(e.Raw, e.Name == "data.pak");
        if (e.Raw) {
          EXPECT_EQ(e.Stored, e.Data.size());
        }
      }
      std::sort(names.begin(), names.end());
      EXPECT_EQ(names, want);
      EXPECT_FALSE(Exists(Base() + "Temporary"));
    }
  }
}

TEST_F(WebBuild, ASecondBuildReplacesThePackage) {
  H.CdRomOn = false;
  AddFile("big.bin", Pattern(300000, 9));
  Run();
  const size_t first = ReadAll(Package()).size();
  EXPECT_FALSE(Exists(Base() + "CD-ROM"));
  H.Project.Files.clear();
  AddFile("small.txt", "small");
  Run();
  const Bytes second = ReadAll(Package());
  EXPECT_LT(second.size(), first / 2);
  const SfxReader::TPackage p = SfxReader::ReadPackage(second);
  ASSERT_EQ(p.Entries.size(), 3u);
  for (const SfxReader::TEntry& e : p.Entries)
    if (e.Name == "data.pak") {
      EXPECT_EQ(std::string(e.Data.end() - 5, e.Data.end()), "small");
    }
}

// A stub that cannot be read once the package is begun (held open by another program): the
// build says so, no half-written package is left, and the earlier build's package stays as it was.
TEST_F(WebBuild, APackageThatCannotBeFinishedIsReportedAndRemoved) {
  AddFile("a.txt", "abc");
  Run();
  ASSERT_TRUE(Exists(Package()));
  const Bytes good = ReadAll(Package());
  HANDLE held = CreateFileA((Tools + "extractor.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Run();
  CloseHandle(held);
  const Lines tail = Tail(2);
  ASSERT_EQ(tail.size(), 2u);
  EXPECT_EQ(tail[0].rfind("ERROR: '" + Tools + "extractor.exe' cannot be opened: ", 0), 0u) << tail[0];
  EXPECT_EQ(tail[1].rfind("ERROR: ", 0), 0u) << tail[1];
  EXPECT_EQ(ReadAll(Package()), good);
  EXPECT_EQ(Entries(Base() + "Web\\"), Lines{"Demo.exe"});
  EXPECT_TRUE(Exists(Base() + "CD-ROM\\setup.dat"));
  EXPECT_FALSE(Exists(Base() + "Temporary"));
}

// A rebuild that fails after the new package is begun, or that cannot put it in the old one's
// place: the package of the good build before it is left byte for byte, with nothing beside it.
TEST_F(WebBuild, AFailedRebuildKeepsThePreviousPackage) {
  H.CdRomOn = false;
  AddFile("a.txt", Pattern(20000, 4));
  Run();
  ASSERT_EQ(H.Report.back(), "Compiling done, everything seems to be alright");
  const Bytes good = ReadAll(Package());
  ASSERT_FALSE(good.empty());
  const std::string base = Base(), package = Package();
  struct Case {
    const char* what;
    std::function<HANDLE()> arrange;  // what it holds open for the build's length
    const char* says;
  };
  const Case cases[] = {
      // A folder in the staging directory is listed with the staged files and cannot be read as
      // one: the stub and the first entries are written when the package stops.
      {"an entry of the staging folder cannot be read",
       [&] {
         CreateDirectoryA((base + "Temporary").c_str(), nullptr);
         CreateDirectoryA((base + "Temporary\\Final").c_str(), nullptr);
         CreateDirectoryA((base + "Temporary\\Final\\zz").c_str(), nullptr);
         return INVALID_HANDLE_VALUE;
       },
       "zz' cannot be opened: "},
      // The old package open in another program: the new one is whole but cannot take its place.
      {"the package is held open",
       [&] {
         return CreateFileA(package.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
       },
       "Demo.exe' cannot be replaced: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(Src + "a.txt", Pattern(30000, 8));  // the new build would differ
    HANDLE held = c.arrange();
    Run();
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    const Lines tail = Tail(3);
    ASSERT_EQ(tail.size(), 3u);
    EXPECT_EQ(tail[0], "Creating Data for Media: Self-Extracting Package...");
    EXPECT_EQ(tail[1].rfind("ERROR: ", 0), 0u) << tail[1];
    EXPECT_NE(tail[1].find(c.says), std::string::npos) << tail[1];
    EXPECT_EQ(tail[2], "ERROR: Compiling failed, the packages are not complete");
    EXPECT_EQ(ReadAll(Package()), good);
    RemoveTree(Base() + "Temporary\\");
    EXPECT_EQ(Entries(Base() + "Web\\"), Lines{"Demo.exe"});
  }
}

// A package path may be as long as the system allows, 259 characters: the package is written under
// a temporary name no longer than its own, and nothing but the package is left in its folder. (The
// title is long enough that the staging paths stay shorter than the package's.)
TEST_F(WebBuild, APackagePathAsLongAsTheSystemAllowsBuilds) {
  AddFile("a.txt", "abc");
  H.Title = std::string(30, 'T');
  for (size_t length : {257u, 258u, 259u}) {
    SCOPED_TRACE(length);
    const size_t rest = 1 + H.Title.size() + 5 + H.Title.size() + 4;  // "\" title "\Web\" title ".exe"
    H.Out = Root + std::string(length - Root.size() - rest, 'o');
    const std::string folder = H.Out + "\\" + H.Title + "\\Web\\", package = folder + H.Title + ".exe";
    ASSERT_EQ(package.size(), length);
    Run();
    EXPECT_EQ(H.Report.back(), "Compiling done, everything seems to be alright");
    EXPECT_EQ(Entries(folder), Lines{H.Title + ".exe"});
    EXPECT_EQ(SfxReader::ReadPackage(ReadAll(package)).Entries.size(), 3u);
  }
}

// extractor.exe at the head of a package laid out by the creator's package writer: it restores
// the entries, runs setup.exe with its own arguments and cleans up; a damaged package is refused.
#include <gtest/gtest.h>

#include <map>

#include "creator/creator_sfx.h"
#include "shared/win32files.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/e2e_util.h"

using namespace e2e;

namespace {

std::string Dist() { return ProgramDir() + "..\\..\\dist\\"; }

TMemoryStream Load(const std::string& path) {
  std::string text = ReadText(path);
  return TMemoryStream(text.begin(), text.end());
}

void Save(const std::string& path, const TMemoryStream& bytes) { WriteText(path, std::string(bytes.begin(), bytes.end())); }

TMemoryStream Noise(size_t size, uint32_t seed) {
  TMemoryStream b(size);
  for (uint8_t& c : b) c = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
  return b;
}

using TFiles = std::vector<std::pair<std::string, TMemoryStream>>;

// The package as the build writes it: extractor.exe, the payload, the tail.
TMemoryStream Package(const TFiles& files) {
  TMemoryStream package;
  TSfxMemoryOutput out(package);
  CopyExtractorStub(out, Load(Dist() + "extractor.exe"));
  std::vector<std::string> names;
  std::map<std::string, TMemoryStream> byName;
  for (auto& [name, bytes] : files) {
    names.push_back(name);
    byName[name] = bytes;
  }
  AppendPayload(out, names, [&](const std::string& name) { return byName.at(name); });
  WriteSfxMagic(out);
  return package;
}

// The staged files of a web package, with the reporting stand-in for setup.exe.
TFiles StagedFiles() {
  return {{"setup.dat", Noise(5000, 1)},
          {"DATA.pak", Noise(3000, 2)},  // stored: its bytes must arrive untouched
          {"setup.exe", Load(ProgramDir() + "fake_setup.exe")},
          {"license.rtf", {}}};
}

// The private folders that the extractor with this process id may have made.
bool LeftTempFolders(DWORD pid) {
  char temp[MAX_PATH], pattern[MAX_PATH + 32];
  GetTempPathA(sizeof temp, temp);
  wsprintfA(pattern, "%scvsfx%lx-*", temp, pid);
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA(pattern, &fd);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

TEST(Extractor, RunsSetupFromAPrivateFolderWithItsOwnArguments) {
  std::string dir = FreshDir(TestName()), report = dir + "\\report";
  MakeDirs(report);
  TFiles files = StagedFiles();
  Save(dir + "\\My App.exe", Package(files));

  std::string args = " /u \"/d:C:\\Program Files\\My App\" /p:Main|Help /r:" + report + " /x:7";
  TChildRun run = RunChild("\"" + dir + "\\My App.exe\"" + args);
  ASSERT_TRUE(run.Started);
  EXPECT_FALSE(run.TimedOut);
  EXPECT_TRUE(run.Boxes.empty());
  EXPECT_EQ(run.ExitCode, 7u);  // setup's own

  for (auto& [name, bytes] : files) EXPECT_EQ(Load(report + "\\" + name), bytes) << name;
  std::string self = ReadText(report + "\\self.txt");
  std::string folder = self.substr(0, self.rfind('\\'));
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  EXPECT_EQ(folder.rfind(std::string(temp) + "cvsfx", 0), 0u) << folder;
  EXPECT_EQ(ReadText(report + "\\cmdline.txt"), "\"" + self + "\"" + args);
  EXPECT_FALSE(DirExists(folder));
  EXPECT_FALSE(LeftTempFolders(run.Pid));
  DeleteTree(dir);
}

// The real setup.exe inside: whatever code it ends with is the package's.
TEST(Extractor, EndsWithTheExitCodeOfTheRealSetup) {
  std::string dir = FreshDir(TestName());
  TMemoryStream setup = Load(Dist() + "setup.exe");
  struct TCase {
    const char* What;
    TFiles Files;
    DWORD Code;
    const char* Box;
  };
  const TCase cases[] = {
      {"no setup.dat or data.pak", {{"setup.exe", setup}}, 1, "Could not find all required files!"},
      {"setup.dat too short", {{"setup.exe", setup}, {"setup.dat", Noise(1000, 7)}, {"data.pak", Noise(10, 8)}}, 1,
       "Setup Data File setup.dat invalid or damaged!"},
  };
  for (const TCase& c : cases) {
    Save(dir + "\\package.exe", Package(c.Files));
    TChildRun run = RunChild("\"" + dir + "\\package.exe\" /u");
    EXPECT_FALSE(run.TimedOut) << c.What;
    EXPECT_EQ(run.ExitCode, c.Code) << c.What;
    ASSERT_EQ(run.Boxes.size(), 1u) << c.What;
    EXPECT_EQ(run.Boxes[0].Text.rfind(c.Box, 0), 0u) << run.Boxes[0].Text;
    EXPECT_FALSE(LeftTempFolders(run.Pid)) << c.What;
  }
  DeleteTree(dir);
}

TEST(Extractor, RefusesADamagedPackageAndLeavesNothing) {
  std::string dir = FreshDir(TestName()), report = dir + "\\report";
  MakeDirs(report);
  const TMemoryStream good = Package(StagedFiles());
  const size_t tail = good.size() - 8;
  auto with = [&](auto change) { TMemoryStream b = good; change(b); return b; };
  auto put = [](TMemoryStream& b, size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> 8 * i); };
  auto get = [&](size_t at) { return uint32_t(good[at]) | good[at + 1] << 8 | good[at + 2] << 16 | uint32_t(good[at + 3]) << 24; };
  const size_t payload = tail - get(tail);
  struct TCase {
    const char* What;
    TMemoryStream Package;
  };
  const TCase cases[] = {
      {"download cut short", TMemoryStream(good.begin(), good.end() - 1000)},
      {"last byte missing", TMemoryStream(good.begin(), good.end() - 1)},
      {"the bare stub", Load(Dist() + "extractor.exe")},
      {"magic damaged", with([&](TMemoryStream& b) { b[tail + 5] ^= 0x40; })},
      {"payload length off by one", with([&](TMemoryStream& b) { put(b, tail, get(tail) + 1); })},
      {"one file more counted", with([&](TMemoryStream& b) { put(b, payload, get(payload) + 1); })},
      {"a name that leaves the folder",
       Package({{"setup.exe", Load(ProgramDir() + "fake_setup.exe")}, {"..\\evil.txt", Noise(10, 3)}})},
      {"no setup.exe", Package({{"data.pak", Noise(10, 4)}})},
  };
  for (const TCase& c : cases) {
    Save(dir + "\\package.exe", c.Package);
    TChildRun run = RunChild("\"" + dir + "\\package.exe\" /u /r:" + report);
    EXPECT_FALSE(run.TimedOut) << c.What;
    EXPECT_EQ(run.ExitCode, 10u) << c.What;
    ASSERT_EQ(run.Boxes.size(), 1u) << c.What;
    EXPECT_EQ(run.Boxes[0].Caption, "Setup");
    EXPECT_NE(run.Boxes[0].Text.find("damaged or incomplete"), std::string::npos) << run.Boxes[0].Text;
    EXPECT_FALSE(e2e::FileExists(report + "\\cmdline.txt")) << c.What;
    EXPECT_FALSE(LeftTempFolders(run.Pid)) << c.What;
  }
  DeleteTree(dir);
}

// The files cannot be unpacked, or setup.exe cannot start: the message says why (for a file, with
// the system's reason), the run ends with 11 and leaves no folder behind.
TEST(Extractor, SaysWhyItCouldNotUnpackOrStartAndCleansUp) {
  std::string dir = FreshDir(TestName());
  const std::string longName = std::string(240, 'n') + ".txt";  // a plain name, too long below the temporary folder
  struct TCase {
    const char* What;
    TFiles Files;
    std::vector<std::string> Texts;  // each part of the message
  };
  const TCase cases[] = {
      {"setup.exe cannot start", {{"setup.exe", Noise(100, 5)}, {"data.pak", Noise(10, 6)}}, {"could not be started"}},
      {"a name too long for the temporary folder",
       {{"setup.exe", Load(ProgramDir() + "fake_setup.exe")}, {longName, Noise(10, 7)}},
       {"Setup could not write the file\r\n", longName + "\r\n" + SystemReason(ERROR_FILENAME_EXCED_RANGE)}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    Save(dir + "\\package.exe", Package(c.Files));
    TChildRun run = RunChild("\"" + dir + "\\package.exe\"");
    EXPECT_EQ(run.ExitCode, 11u);
    ASSERT_EQ(run.Boxes.size(), 1u);
    for (const std::string& part : c.Texts) EXPECT_NE(run.Boxes[0].Text.find(part), std::string::npos) << run.Boxes[0].Text;
    EXPECT_EQ(run.Boxes[0].Text.find("free space"), std::string::npos) << run.Boxes[0].Text;
    EXPECT_FALSE(LeftTempFolders(run.Pid));
  }
  DeleteTree(dir);
}

}  // namespace

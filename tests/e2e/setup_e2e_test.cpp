// setup.exe as a whole program beside fixture packages: it starts, reads its package and ends as
// the user's answers lead it, and leaves no temporary directory behind.
#include <gtest/gtest.h>

#include "shared/win32files.h"
#include "tests/e2e/child_process.h"
#include "tests/win/setup_fixture.h"

using fixture::Package;

namespace {

// Copies the program beside the package in dir and runs it there.
TChildRun RunSetup(const std::string& dir, const std::string& args, const std::vector<int>& answers = {},
                   const std::vector<TFormAnswer>& forms = {}) {
  CopyFileA((ProgramDir() + "..\\..\\dist\\setup.exe").c_str(), (dir + "setup.exe").c_str(), FALSE);
  return RunChild("\"" + dir + "setup.exe\" " + args, answers, 30000, forms);
}

size_t TempEntries() {
  size_t n = 0;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((fixture::PrivateTemp() + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do n += strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0;
  while (FindNextFileA(h, &fd));
  FindClose(h);
  return n;
}

// A file record of the fixture package, its bytes at the head of the "data" that follows the
// uninstaller in data.pak.
TPackedFileRec FileRec(const std::string& dest, int32_t storedSize = 4, int32_t originalSize = 4) {
  TPackedFileRec r{};
  r.DestPath.Set(dest);
  r.PackageName.Set("Required Files");
  r.DataOffset = 5 + 1;  // after the five bytes of the fixture's uninstaller
  r.StoredSize = storedSize;
  r.OriginalSize = originalSize;
  return r;
}

// Every way a run ends gives its own exit code, attended or unattended, after its one message.
TEST(SetupProgram, EveryEndHasItsExitCodeAndLeavesNoTemporaryDirectory) {
  const std::string root = fixture::TestRoot();
  const std::string empty = root + "empty\\";
  CreateDirectoryA(empty.c_str(), nullptr);
  Package unsupported;
  std::memset(&unsupported.info.OsWin95, 0, 8);
  const std::string shortDat = Package().Write("shortdat");
  {
    std::vector<uint8_t> dat = fixture::ReadFile(shortDat + "setup.dat");
    dat.resize(1307);
    fixture::WriteFile(shortDat + "setup.dat", dat);
  }
  Package noSpace;  // 300 files of 4 GiB each: more than any disk here holds
  noSpace.files.assign(300, FileRec("<InstallRoot>\\big.bin", 4, -1));
  Package damagedSize;
  damagedSize.files = {FileRec("<InstallRoot>\\a.txt"), FileRec("<InstallRoot>\\b.txt", 0x7FFFFFFF)};
  Package blocked;  // a directory stands where the file goes
  blocked.files = {FileRec("<InstallRoot>\\taken")};
  CreateDirectoryA((root + "blocked_dest").c_str(), nullptr);
  CreateDirectoryA((root + "blocked_dest\\taken").c_str(), nullptr);
  Package good;
  good.files = {FileRec("<InstallRoot>\\a.txt")};
  const std::string wizard = "Acme Editor 2.0 - Corvantaine Wizard";
  auto dest = [&root](const char* name) { return " \"/d:" + root + name + "\""; };

  struct Case {
    const char* what;
    std::string dir, args;
    DWORD code;
    std::vector<std::string> boxes;  // the beginning of each box's text, or the wizard's caption
    std::vector<int> answers;
    std::vector<TFormAnswer> forms;
    std::string tmp;  // TMP for the run, when not empty
  };
  // A temporary path below a file can never be made. Below a path of 250 characters the directory
  // "0" can, but no file in it: its path would pass MAX_PATH.
  const std::string aFile = root + "afile";
  fixture::WriteFile(aFile, {1});
  std::string longTemp = root + "long";
  longTemp += std::string(250 - longTemp.size(), 't');
  const std::string copy = longTemp + "\\0\\cv2uinst.exe";
  const Case cases[] = {
      {"completed", good.Write("good"), "/u" + dest("good_dest"), 0, {}},
      {"files missing", empty, "/u", 1, {"Could not find all required files!"}},
      {"setup.dat too short", shortDat, "/u", 1, {"Setup Data File setup.dat invalid or damaged!"}},
      {"a stored size beyond data.pak", damagedSize.Write("damagedsize"), "/u" + dest("damagedsize_dest"), 1,
       {"Unattended Setup failed!\r\nThe data package "}},
      {"cancelled", Package().Write("cancel"), "", 2, {wizard, "Are you sure you want to cancel installation?"},
       {IDYES}, {{wizard, "&Cancel"}}},
      {"unsupported Windows", unsupported.Write("unsupported"), "/u", 3,
       {"Unattended Setup failed!\r\nThis Version of Windows is not supported."}},
      {"unsupported Windows, attended", unsupported.Write("unsupported_attended"), "", 3, {wizard}, {},
       {{wizard, "&Close"}}},
      {"invalid destination", Package().Write("baddest"), "/U \"/d:Q:\\No Drive\"", 4,
       {"Unattended Setup failed!\r\nInvalid Destination Directory."}},
      {"too little disk space", noSpace.Write("nospace"), "/u" + dest("nospace_dest"), 5,
       {"Unattended Setup failed!\r\nInsufficient free disk space to perform the installation."}},
      {"an installation error", blocked.Write("blocked"), "/u" + dest("blocked_dest"), 6,
       {"Unattended Setup failed!\r\nThe file " + root + "blocked_dest\\taken could not be created"}},
      {"no temporary directory", Package().Write("notemp"), "/u", 7, {"Could not create a temporary directory!"}, {},
       {}, aFile + "\\sub"},
      {"the uninstaller copy cannot be created", Package().Write("nocopy"), "/u", 6,
       {"The file " + copy + " could not be created: " + SystemReason(ERROR_FILENAME_EXCED_RANGE) +
        "\r\n\r\nSetup cannot continue and will terminate now."},
       {}, {}, longTemp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char saved[MAX_PATH] = "";
    if (!c.tmp.empty()) {
      GetEnvironmentVariableA("TMP", saved, MAX_PATH);
      SetEnvironmentVariableA("TMP", c.tmp.c_str());
    }
    TChildRun run = RunSetup(c.dir, c.args, c.answers, c.forms);
    if (!c.tmp.empty()) SetEnvironmentVariableA("TMP", saved);
    ASSERT_TRUE(run.Started);
    EXPECT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, c.code);
    ASSERT_EQ(run.Boxes.size(), c.boxes.size());
    for (size_t i = 0; i < c.boxes.size(); ++i) {
      if (c.boxes[i] == wizard) {  // the wizard's own window, its button pressed
        EXPECT_EQ(run.Boxes[i].Caption, wizard);
        continue;
      }
      EXPECT_EQ(run.Boxes[i].Caption, "Setup");
      EXPECT_EQ(run.Boxes[i].Text.substr(0, c.boxes[i].size()), c.boxes[i]) << i;
    }
    EXPECT_EQ(TempEntries(), 0u);
  }
  EXPECT_FALSE(fixture::DirExists(longTemp + "\\0")) << "the temporary directory went";
  EXPECT_EQ(fixture::ReadFile(root + "good_dest\\a.txt"), (std::vector<uint8_t>{'d', 'a', 't', 'a'}));
  EXPECT_EQ(fixture::ReadFile(root + "damagedsize_dest\\a.txt"), (std::vector<uint8_t>{'d', 'a', 't', 'a'}));
  EXPECT_FALSE(fixture::FileExists(root + "damagedsize_dest\\b.txt"));
  // The uninstall entries that the runs which reached it wrote.
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
                                     "Acme Editor 2.0").c_str());
}

}  // namespace

// setup.exe as a whole program beside fixture packages: it starts, reads its package and ends as
// the user's answers lead it, and leaves no temporary directory behind.
#include <gtest/gtest.h>

#include "tests/e2e/child_process.h"
#include "tests/win/setup_fixture.h"

using fixture::Package;

namespace {

// Copies the program beside the package in dir and runs it there.
TChildRun RunSetup(const std::string& dir, const std::string& args) {
  CopyFileA((ProgramDir() + "..\\..\\dist\\setup.exe").c_str(), (dir + "setup.exe").c_str(), FALSE);
  return RunChild("\"" + dir + "setup.exe\" " + args, {}, 30000);
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

TEST(SetupProgram, EndsWithItsMessageAndCleansUp) {
  Package unsupported;
  std::memset(&unsupported.info.OsWin95, 0, 8);
  const std::string empty = fixture::TestRoot() + "empty\\";
  CreateDirectoryA(empty.c_str(), nullptr);
  struct Case { std::string dir, args, text; };
  const Case cases[] = {
      {empty, "", "Could not find all required files!"},
      {unsupported.Write("unsupported"), "/u", "Unattended Setup failed!\r\nThis Version of Windows is not supported."},
      {Package().Write("baddest"), "/U \"/d:Q:\\No Drive\"", "Unattended Setup failed!\r\nInvalid Destination Directory."},
  };
  for (const Case& c : cases) {
    TChildRun run = RunSetup(c.dir, c.args);
    ASSERT_TRUE(run.Started) << c.args;
    EXPECT_FALSE(run.TimedOut) << c.args;
    EXPECT_EQ(run.ExitCode, 0u) << c.args;
    ASSERT_EQ(run.Boxes.size(), 1u) << c.args;
    EXPECT_EQ(run.Boxes[0].Caption, "Setup");
    EXPECT_EQ(run.Boxes[0].Text.substr(0, c.text.size()), c.text);
    EXPECT_EQ(TempEntries(), 0u) << c.args;
  }
}

}  // namespace

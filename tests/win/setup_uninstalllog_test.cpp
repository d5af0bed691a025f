// The uninstall log on real files under Wine: lines written exactly and at once, a log created
// anew, failures that name the file, and a full disk, also one that takes a line only in part.
#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <string>

#include "setup/setup_installcore.h"
#include "setup/setup_uninstalllog.h"
#include "tests/win/test_support.h"

using testsupport::ReadAll;

namespace {

std::string TempPath(const std::string& name) { return ::testing::TempDir() + name; }

TEST(UninstallLog, LinesAreWrittenExactlyAndEmptiedOnOpen) {
  const std::string path = TempPath("cv2uinst_test.dat");
  {
    TUninstallLog log;
    log.Open(path);
    log.Write(TagCreateFile, "old");
    log.Close();
  }
  TUninstallLog log;
  log.Open(path);
  EXPECT_TRUE(log.IsOpen());
  log.Write(TagCreateDir, "C:\\Apps");
  log.Write(TagCreateFile, "C:\\Apps\\cv2uinst.dat");
  log.Write(TagExec, "");
  log.Close();
  EXPECT_FALSE(log.IsOpen());
  log.Close();  // twice is harmless
  EXPECT_EQ(ReadAll(path), "CreateDir::C:\\Apps\r\nCreateFile::C:\\Apps\\cv2uinst.dat\r\nExec::\r\n");
  DeleteFileA(path.c_str());
}

// A run that fails later (a full disk, a file that cannot be written) must find every line
// logged so far in the file, not in a buffer that the failure keeps from reaching it.
TEST(UninstallLog, EachLineIsInTheFileAsSoonAsItIsWritten) {
  const std::string path = TempPath("cv2uinst_through.dat");
  TUninstallLog log;
  log.Open(path);
  std::string want;
  for (int i = 0; i < 3; ++i) {
    log.Write(TagCreateFile, "C:\\Apps\\f" + std::to_string(i));
    want += "CreateFile::C:\\Apps\\f" + std::to_string(i) + "\r\n";
    EXPECT_EQ(ReadAll(path), want) << "after line " << i;
  }
  log.Close();
  DeleteFileA(path.c_str());
}

TEST(UninstallLog, AFullDiskIsReportedAsSuch) {
  const char* full = "Z:\\dev\\full";  // every write fails with "no space left"
  TUninstallLog log;
  try {
    log.Open(full);
  } catch (const EInstallError& e) {
    GTEST_SKIP() << "no /dev/full: " << e.what();
  }
  try {
    log.Write(TagCreateFile, "C:\\Apps\\a.txt");
    ADD_FAILURE() << "written";
  } catch (const EInstallError& e) {
    EXPECT_EQ(e.ExitCode(), ecDiskSpace);
    EXPECT_EQ(std::string(e.what()), std::string(DiskSpaceText) +
                                         "\r\nThe disk is full: the uninstall log Z:\\dev\\full could not be written.");
  }
  log.Close();
  EXPECT_FALSE(log.IsOpen());
}

TEST(UninstallLog, FailuresNameTheFile) {
  TUninstallLog log;
  const std::string path = TempPath("no\\such\\dir\\cv2uinst.dat");
  try {
    log.Open(path);
    ADD_FAILURE() << "opened";
  } catch (const EInstallError& e) {
    EXPECT_EQ(e.ExitCode(), ecInstallError);
    EXPECT_EQ(std::string(e.what()).rfind("The uninstall log " + path + " could not be created: ", 0), 0u) << e.what();
  }
  EXPECT_FALSE(log.IsOpen());
  EXPECT_THROW(log.Write(TagCreateFile, "x"), EInstallError);
}

// A disk that fills up during a line, played through the write seam: the system takes the first
// Taken bytes of the third line and answers as Result and Error say; the C runtime would have left
// EINVAL behind, which says nothing about the disk.
namespace partial {
size_t Calls, Taken;
BOOL Result;
DWORD Error;
BOOL Writer(HANDLE file, const void* data, DWORD size, DWORD* written) {
  if (++Calls < 3) return WriteFile(file, data, size, written, nullptr);
  *written = 0;
  if (Taken && !WriteFile(file, data, static_cast<DWORD>(Taken), written, nullptr)) return FALSE;
  errno = EINVAL;
  SetLastError(Error);
  return Result;
}
}  // namespace partial

TEST(UninstallLog, ALineIsWrittenWholeOrTheLogEndsWithTheLastWholeLine) {
  struct Case {
    const char* what;
    size_t taken;
    BOOL result;
    DWORD error;
    TSetupExitCode code;
    const char* reason;  // after "could not be written"
  } cases[] = {
      {"a short count, no reason", 9, TRUE, ERROR_SUCCESS, ecDiskSpace, "."},
      {"a part, then disk full", 9, FALSE, ERROR_DISK_FULL, ecDiskSpace, "."},
      {"nothing, handle disk full", 0, FALSE, ERROR_HANDLE_DISK_FULL, ecDiskSpace, "."},
      {"a part, then another error", 9, FALSE, ERROR_ACCESS_DENIED, ecInstallError, ": "},
  };
  const std::string path = TempPath("cv2uinst_partial.dat");
  const std::string whole = "CreateDir::C:\\Apps\r\nCreateFile::C:\\Apps\\cv2uinst.dat\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    partial::Calls = 0;
    partial::Taken = c.taken;
    partial::Result = c.result;
    partial::Error = c.error;
    TUninstallLog log;
    log.Open(path, partial::Writer);
    log.Write(TagCreateDir, "C:\\Apps");
    log.Write(TagCreateFile, "C:\\Apps\\cv2uinst.dat");
    try {
      log.Write(TagCreateFile, "C:\\Apps\\a.txt");
      ADD_FAILURE() << "written";
    } catch (const EInstallError& e) {
      EXPECT_EQ(e.ExitCode(), c.code);
      const std::string text = e.what();
      const std::string said = "The uninstall log " + path + " could not be written" + c.reason;
      if (c.code == ecDiskSpace) {
        EXPECT_EQ(text, std::string(DiskSpaceText) + "\r\nThe disk is full: t" + said.substr(1));
      } else {
        EXPECT_EQ(text.rfind(said, 0), 0u) << text;
      }
      EXPECT_EQ(text.find("Invalid argument"), std::string::npos) << text;
    }
    log.Close();
    EXPECT_EQ(ReadAll(path), whole);
  }
  DeleteFileA(path.c_str());
}

}  // namespace

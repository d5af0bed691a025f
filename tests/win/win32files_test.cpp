// The Win32 helpers both programs share: files and folders, whole-file writes, error texts.
#include <gtest/gtest.h>

#include "shared/win32files.h"
#include "tests/win/setup_fixture.h"

namespace {

class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    Base = fixture::TestRoot() + "files\\";
    fixture::RemoveTree(Base);
    ASSERT_TRUE(CreateDirectoryA(Base.c_str(), nullptr));
  }
  void TearDown() override { fixture::RemoveTree(Base); }

  static std::string Read(const std::string& path) {
    const std::vector<uint8_t> bytes = fixture::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
  }

  std::string Base;  // a fresh folder, with a backslash at the end
};

TEST_F(Win32Files, ExistenceTellsFilesFromFolders) {
  ASSERT_EQ(WriteWholeFile(Base + "f.txt", "x", 1, CREATE_NEW), TWriteResult::Written);
  EXPECT_TRUE(FileExists(Base + "f.txt"));
  EXPECT_FALSE(DirectoryExists(Base + "f.txt"));
  EXPECT_TRUE(DirectoryExists(Base));
  EXPECT_FALSE(FileExists(Base));
  EXPECT_FALSE(FileExists(Base + "missing"));
  EXPECT_FALSE(DirectoryExists(Base + "missing"));
}

TEST_F(Win32Files, ForceDirectoriesCreatesEveryMissingParent) {
  ASSERT_EQ(WriteWholeFile(Base + "file", "x", 1, CREATE_NEW), TWriteResult::Written);
  ASSERT_TRUE(CreateDirectoryA((Base + "there").c_str(), nullptr));
  struct Case {
    std::string dir;
    bool ok;
    std::string failed;  // the folder named when not
  } cases[] = {
      {Base + "a\\b\\c\\", true, ""},
      {Base + "d\\e", true, ""},
      {Base + "there\\", true, ""},
      {Base + "there", true, ""},
      {Base + "f\\\\g\\\\", true, ""},  // doubled separators
      {"C:\\", true, ""},
      {"C:", true, ""},
      {Base + "file\\sub\\", false, Base + "file\\sub"},  // a file where a folder should be
      {Base + "file", false, Base + "file"},
      {"Q:\\nowhere\\deep\\", false, "Q:\\nowhere"},  // a drive that is not there
      {"", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    std::string failed = "unchanged";
    SetLastError(0);
    ASSERT_EQ(ForceDirectories(c.dir, &failed), c.ok);
    if (c.ok) {
      EXPECT_TRUE(DirectoryExists(c.dir.size() == 2 ? c.dir + "\\" : c.dir));
      EXPECT_EQ(failed, "unchanged");
    } else {
      EXPECT_EQ(failed, c.failed);
      EXPECT_NE(GetLastError(), 0u);
    }
  }
  EXPECT_TRUE(DirectoryExists(Base + "a\\b"));
  EXPECT_TRUE(ForceDirectories(Base + "a\\b\\c\\"));  // again: already there
}

TEST_F(Win32Files, WholeFileWritesAndTheirFailures) {
  const std::string bytes("a\0b\r\n", 5);
  EXPECT_EQ(WriteWholeFile(Base + "w", bytes.data(), bytes.size(), CREATE_ALWAYS), TWriteResult::Written);
  EXPECT_EQ(Read(Base + "w"), bytes);
  // Replaced whole, also by a shorter text; nothing at all gives an empty file.
  EXPECT_EQ(WriteWholeFile(Base + "w", "xy", 2, CREATE_ALWAYS), TWriteResult::Written);
  EXPECT_EQ(Read(Base + "w"), "xy");
  EXPECT_EQ(WriteWholeFile(Base + "e", nullptr, 0, CREATE_NEW), TWriteResult::Written);
  EXPECT_TRUE(FileExists(Base + "e"));
  EXPECT_EQ(Read(Base + "e"), "");

  // An existing file is kept by CREATE_NEW; a missing folder creates nothing.
  EXPECT_EQ(WriteWholeFile(Base + "w", "zzz", 3, CREATE_NEW), TWriteResult::NotCreated);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(Read(Base + "w"), "xy");
  EXPECT_EQ(WriteWholeFile(Base + "none\\w", "x", 1, CREATE_ALWAYS), TWriteResult::NotCreated);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(DirectoryExists(Base + "none"));
}

TEST(SystemMessage, TheSystemsTextWithoutItsLineBreak) {
  const std::string text = SystemMessage(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(text.empty());
  const char last = text.back();
  EXPECT_TRUE(last != '\r' && last != '\n' && last != ' ') << text;
  EXPECT_EQ(SystemMessage(0x2000BEEF), "");  // a code of an application's own: no text
}

}  // namespace

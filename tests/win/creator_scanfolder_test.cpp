#include "creator/creator_addfile.h"

#include <windows.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "tests/win/test_support.h"

namespace {

// A small tree in the temporary folder, removed again at the end:
//   a.txt  hidden.txt (hidden)  system.dat (system, read-only)  .dot
//   sub1\ b.txt  sub1\deep\ c.txt  sub1\deep\a.txt
//   sub2\ (empty)
//   z.bin
class ScanFolderTest : public ::testing::Test {
 protected:
  std::string root;
  std::vector<std::string> made;  // in creation order, removed in reverse

  void SetUp() override {
    root = testsupport::FreshTestDir("scan") + "tree";
    Dir("");
    File("a.txt");
    File("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    File("system.dat", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    File(".dot");
    Dir("\\sub1");
    File("sub1\\b.txt");
    Dir("\\sub1\\deep");
    File("sub1\\deep\\c.txt");
    File("sub1\\deep\\a.txt");
    Dir("\\sub2");
    File("z.bin");
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
      SetFileAttributesA(it->c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileA(it->c_str())) RemoveDirectoryA(it->c_str());
    }
  }
  void Dir(const std::string& rel) {
    ASSERT_TRUE(CreateDirectoryA((root + rel).c_str(), nullptr)) << rel;
    made.push_back(root + rel);
  }
  void File(const std::string& rel, DWORD attrs = 0) {
    std::string p = root + "\\" + rel;
    HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << p;
    CloseHandle(h);
    made.push_back(p);
    if (attrs) {
      ASSERT_TRUE(SetFileAttributesA(p.c_str(), attrs)) << p;
      ASSERT_EQ(GetFileAttributesA(p.c_str()) & attrs, attrs) << p;  // really marked
    }
  }
  std::vector<std::string> Scan(const std::string& folder, bool subfolders, int* pumps = nullptr) {
    std::vector<std::string> out;
    ScanFolder(folder, subfolders, [&](const std::string& p) { out.push_back(p); },
               [&] {
                 if (pumps) ++*pumps;
               });
    return out;
  }
  // The names of one folder in the order the file system lists them, "." and ".." left out.
  static std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA e;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &e);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      std::string n = e.cFileName;
      if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(h, &e));
    FindClose(h);
    return names;
  }
  // What a pre-order walk in listing order yields, built from the listings alone.
  static void PreOrder(const std::string& folder, std::vector<std::string>& out) {
    for (const std::string& n : Listing(folder)) {
      std::string p = folder + "\\" + n;
      if (GetFileAttributesA(p.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
        PreOrder(p, out);
      else
        out.push_back(p);
    }
  }
};

TEST_F(ScanFolderTest, WithSubfoldersDepthFirstPreOrder) {
  int pumps = 0;
  std::vector<std::string> got = Scan(root, true, &pumps);
  std::vector<std::string> want;
  PreOrder(root, want);
  EXPECT_EQ(got, want);
  const std::set<std::string> files{root + "\\a.txt", root + "\\hidden.txt", root + "\\system.dat",
                                    root + "\\.dot", root + "\\sub1\\b.txt",
                                    root + "\\sub1\\deep\\c.txt", root + "\\sub1\\deep\\a.txt",
                                    root + "\\z.bin"};
  EXPECT_EQ(std::set<std::string>(got.begin(), got.end()), files);
  EXPECT_EQ(got.size(), files.size());
  EXPECT_EQ(pumps, 4);  // root, sub1, deep, sub2
  // A subfolder's files stand together: deep's two files follow each other.
  auto c = std::find(got.begin(), got.end(), root + "\\sub1\\deep\\c.txt");
  auto a = std::find(got.begin(), got.end(), root + "\\sub1\\deep\\a.txt");
  EXPECT_EQ(std::abs(c - a), 1);
}

TEST_F(ScanFolderTest, WithoutSubfoldersOnlyTheFolderOwnFiles) {
  int pumps = 0;
  std::vector<std::string> got = Scan(root + "\\", false, &pumps);  // trailing backslash kept single
  std::vector<std::string> want;
  for (const std::string& n : Listing(root))
    if (n.rfind("sub", 0) != 0) want.push_back(root + "\\" + n);
  EXPECT_EQ(got, want);
  EXPECT_EQ(got.size(), 5u);
  EXPECT_EQ(pumps, 1);
  EXPECT_TRUE(std::any_of(got.begin(), got.end(),
                          [&](const std::string& p) { return p == root + "\\hidden.txt"; }));
}

TEST_F(ScanFolderTest, MissingOrEmptyFolderAddsNothing) {
  EXPECT_TRUE(Scan(root + "\\nothere", true).empty());
  EXPECT_TRUE(Scan(root + "\\sub2", true).empty());
  EXPECT_TRUE(Scan(root + "\\a.txt", true).empty());  // a file is no folder
}

// A stop request (the dialog closed meanwhile) ends the walk before the next entry: what was
// taken is the head of the whole walk, and nothing after it.
TEST_F(ScanFolderTest, StopEndsTheWalkAtOnce) {
  std::vector<std::string> all;
  PreOrder(root, all);
  for (size_t stopAfter : {size_t{0}, size_t{1}, size_t{3}}) {
    std::vector<std::string> got;
    int pumps = 0;
    ScanFolder(root, true, [&](const std::string& p) { got.push_back(p); }, [&] { ++pumps; },
               [&] { return got.size() >= stopAfter; });
    EXPECT_EQ(got, std::vector<std::string>(all.begin(), all.begin() + stopAfter)) << stopAfter;
    EXPECT_GE(pumps, 1);
    EXPECT_LE(pumps, 3) << "no folder is visited after the stop";
  }
}

TEST(ScanFolder, DriveRootGetsNoSecondBackslash) {
  // The folder browser hands back a drive root with its backslash: "C:\".
  std::string mine = "C:\\cv_scan_" + std::to_string(GetCurrentProcessId()) + ".tmp";
  HANDLE h = CreateFileA(mine.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  std::vector<std::string> got;
  ScanFolder("C:\\", false, [&](const std::string& p) { got.push_back(p); });
  DeleteFileA(mine.c_str());
  EXPECT_NE(std::find(got.begin(), got.end(), mine), got.end());
  for (const std::string& p : got) {
    EXPECT_EQ(p.rfind("C:\\", 0), 0u) << p;
    EXPECT_EQ(p.find("\\\\"), std::string::npos) << p;
  }
}

}  // namespace

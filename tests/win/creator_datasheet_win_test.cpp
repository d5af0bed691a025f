// The Setup Datasheet at size and against the profile service: the wizard's save holds to the bytes
// that the profile service wrote one key at a time, a large project makes the round trip whole,
// a section read at once answers as the profile service answers key by key, and a load and a save
// ask the profile service the same few times whatever the number of rows.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/native/datasheet_projects.h"
#include "tests/win/test_support.h"

#include "creator/creator_main.h"
#include "ui/testing.h"

using testsupport::ReadAll;
using testsupport::WriteAll;

namespace {

class Sheet : public ::testing::Test {
protected:
  void SetUp() override {
    ui::Application.Title = "Corvantaine 2 Setup Creator";
    new TForm1;  // the datasheet needs none of the dialogs
    if (Dir.empty()) Dir = testsupport::FreshTestDir("sheet");
  }
  void TearDown() override {
    delete Form1;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_EQ(D.Unscripted, 0) << "a question nobody answered";
  }
  ~Sheet() override {
    if (!Dir.empty()) testsupport::RemoveTree(Dir);
  }
  // A new wizard, as a new run of the program would have.
  void Restart() {
    TearDown();
    SetUp();
  }
  TForm1& F() { return *Form1; }
  ui::testing::TScriptedDialogs D;
  std::string Dir;
};

std::string Fixture(const char* name) { return ReadAll(std::string(CV_TEST_DATA "/") + name); }

std::string Folded(std::string s) {  // names compare with the letters A to Z folded
  for (char& c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return s;
}

// Where two texts part; empty when they are the same.
std::string Difference(const std::string& got, const std::string& want) {
  if (got == want) return "";
  const size_t n = std::min(got.size(), want.size());
  const size_t i = std::mismatch(got.begin(), got.begin() + static_cast<ptrdiff_t>(n), want.begin()).first - got.begin();
  return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size()) + ", apart from byte " +
         std::to_string(i) + ": \"" + got.substr(i, 40) + "\" against \"" + want.substr(i, 40) + "\"";
}

// ---- the save ---------------------------------------------------------------------------------

TEST_F(Sheet, TheSaveHoldsToTheBytesThatTheProfileServiceWroteKeyByKey) {
  struct Case { const char* fixture; datasheet::TDatasheet project; };
  for (const Case& c : {Case{"datasheet-large.sds", testprojects::Large()},
                        Case{"datasheet-awkward.sds", testprojects::Awkward()}}) {
    SCOPED_TRACE(c.fixture);
    Restart();
    F().SetProject(c.project);
    ASSERT_EQ(F().Project(), c.project) << "the controls hold the project as it was given";
    const std::string file = Dir + "saved.sds";
    WriteAll(file, "an older file of that name\r\n");
    F().SaveDatasheet(file);
    EXPECT_EQ(Difference(ReadAll(file), Fixture(c.fixture)), "");
  }
}

// The file's own writer against the profile service writing the same keys one at a time.
TEST_F(Sheet, TheFileIsWhatTheProfileServiceMakesOfTheSameKeys) {
  const std::vector<datasheet::TEntry> cases[] = {
      datasheet::Entries(testprojects::Awkward()),
      {{"One", "a", "\"1\""}, {"Two", "b", "2"}, {"ONE", "c", "3"}, {"one", "A", "\"again\""}, {"two", "B", ""}},
  };
  for (const auto& entries : cases) {
    const std::string file = Dir + "keys.sds";
    DeleteFileA(file.c_str());
    for (const datasheet::TEntry& e : entries)
      ASSERT_TRUE(WritePrivateProfileStringA(e.Section.c_str(), e.Key.c_str(), e.Value.c_str(), file.c_str()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    EXPECT_EQ(Difference(datasheet::FileText(entries), ReadAll(file)), "") << entries.size() << " keys";
  }
}

TEST_F(Sheet, TwoThousandRowsMakeTheRoundTripByteForByte) {
  const datasheet::TDatasheet project = testprojects::Large(2000);
  const std::string today = Fixture("datasheet-large.sds"), file = Dir + "large.sds";
  F().SetProject(project);
  F().SaveDatasheet(file);
  ASSERT_EQ(Difference(ReadAll(file), today), "");
  Restart();
  F().DatasheetArgument = file;
  F().Show(SW_SHOWNA);  // opened as the program opens its first argument
  ASSERT_EQ(F().Notebook1.PageIndex(), 1);
  EXPECT_EQ(F().FileList.Count(), 2000);
  EXPECT_EQ(F().Project(), project);
  F().SaveDatasheet(file);
  EXPECT_EQ(Difference(ReadAll(file), today), "");
  EXPECT_TRUE(D.Asked.empty());
}

// The file of that name goes first, so that a hidden or read-only one does not stand in the way.
TEST_F(Sheet, AnOlderFileOfTheNameGivesWayHiddenOrNot) {
  const std::string file = Dir + "hidden.sds";
  WriteAll(file, "[APPINFO]\r\nName=\"old\"\r\n");
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
  F().EAppTitle.SetText("new");
  F().SaveDatasheet(file);
  EXPECT_NE(ReadAll(file).find("Name=\"new\""), std::string::npos);
}

// ---- loading: a section read whole against the answers key by key ----------------------------

const char* const kSections[] = {"APPINFO", "ANNOUNCEMENT", "BUILD", "FILELIST", "REGISTRY", "COMPATIBILITY",
                                 "SHORTCUTS", "DLLOCX", "POSTINSTALL", "PREUNINSTALL", "PACKAGES"};

// Every name that loading asks for, entries 0 to 5 of each list.
std::vector<std::string> AskedNames() {
  std::vector<std::string> names = {"Name", "Version", "Company", "Homepage", "ShowLicense", "LicenseFile", "Reboot",
                                    "Destination", "PackageDest", "CAV", "CA", "A", "AV", "Web", "CDDVD",
                                    "Compression", "All", "Custom"};
  for (const char* s : datasheet::kSystemKeys) names.push_back(s);
  for (const char* k : {"Destination", "Source", "Package", "Path", "Key", "Value", "Type", "Location", "Caption",
                        "Target", "Parameters", "Icon", "IconIndex", "Item"})
    for (int n = 0; n < 6; ++n) names.push_back(k + std::to_string(n));
  return names;
}

// Datasheets as people and older programs wrote them.
struct THandWritten {
  const char* what;
  std::string bytes;
};
const THandWritten kHandWritten[] = {
    {"order, blanks, case, duplicates, bare names and comments",
     "; written by hand\r\n"
     "Name=\"before any section\"\r\n"
     "[appinfo]\r\n"
     "  Version =  \"2.0\"  \r\n"
     "name=\"Hand\"\r\n"
     "Company\r\n"
     "Company=  'Single Co'\r\n"
     "ShowLicense = 1 \r\n"
     "Homepage=\"http://x/?a=1\"\r\n"
     "\r\n"
     "[ FILELIST ]\r\n"
     "Source1=\"b.src\"\r\n"
     "destination1 = \"b\"\r\n"
     "DESTINATION0=\"a\"\r\n"
     "Destination0=\"a2\"\r\n"
     ";Destination2=\"commented\"\r\n"
     "Destination2\r\n"
     "destination2=\"\"\r\n"
     "Package0 = \"p\" \r\n"
     "Destination3='''\r\n"
     "Destination4=\"\r\n"
     "[Registry]\r\n"
     "Path0=\"HKEY_USERS\\x\\\"\r\n"
     "Key0=\"k\r\n"
     "Value0=\"v\"extra\"\r\n"
     "Type0=String\r\n"
     "=orphan\r\n"
     "[NOSECTION\r\n"
     "[FILELIST]\r\n"
     "Destination5=\"in the second FILELIST\"\r\n"
     "[dllocx]\r\n"
     "Item0=\"x\"\r\n"
     "Item1 = \r\n"
     "Item2==\"y\"\r\n"
     "[packages]\r\n"
     "Package0=\"A\"\r\n"
     "PACKAGE0=\"B\"\r\n"
     "Package1\t=\t\"C\"\r\n"},
    {"LF and CR line ends, a DOS end of file, tabs",
     "[SHORTCUTS]\nLocation0=<Desktop>\nIconIndex0= $1F\nLocation1 =\"''\"\x1a\n"
     "[BUILD]\rWeb=1\rCDDVD=0\r\r"
     "[COMPATIBILITY]\n\tAll\t=\t0\t\nCustom = 1\nWin95=0\n\x1a"},
    {"a UTF-8 file with its mark", "\xEF\xBB\xBF[APPINFO]\r\nName=\"Caf\xC3\xA9\"\r\nVersion='\xC3\xA9'\r\n"},
    {"a UTF-16 file with its mark",
     std::string("\xFF\xFE[\0A\0P\0P\0I\0N\0F\0O\0]\0\r\0\n\0N\0a\0m\0e\0=\0\"\0\xE9\0\"\0\r\0\n\0", 44)},
};

TEST_F(Sheet, ASectionReadWholeAnswersAsTheProfileServiceDoesKeyByKey) {
  const std::vector<std::string> names = AskedNames();
  const char kMissing[] = "\x01missing\x01";
  std::string buf(1 << 16, '\0');
  for (const THandWritten& h : kHandWritten) {
    SCOPED_TRACE(h.what);
    const std::string file = Dir + "hand.sds";
    WriteAll(file, h.bytes);
    for (const char* section : kSections) {
      DWORD n = GetPrivateProfileSectionA(section, buf.data(), static_cast<DWORD>(buf.size()), file.c_str());
      const datasheet::TSection whole(buf.substr(0, n));
      n = GetPrivateProfileStringA(section, nullptr, "", buf.data(), static_cast<DWORD>(buf.size()), file.c_str());
      std::vector<std::string> listed;  // the key list
      for (size_t p = 0; p < n; p += listed.back().size() + 1) listed.push_back(Folded(buf.data() + p));
      for (const std::string& name : names) {
        std::string upper = name;
        for (char& c : upper) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        for (const std::string& asked : {name, upper}) {
          n = GetPrivateProfileStringA(section, asked.c_str(), kMissing, buf.data(), static_cast<DWORD>(buf.size()),
                                       file.c_str());
          const std::string one(buf.data(), n);
          const std::optional<std::string> keyByKey = one == kMissing ? std::nullopt : std::optional(one);
          EXPECT_EQ(whole.Value(asked), keyByKey) << section << " " << asked;
          EXPECT_EQ(whole.Has(asked), std::find(listed.begin(), listed.end(), Folded(asked)) != listed.end())
              << section << " " << asked;
        }
      }
    }
  }
}

// The same datasheets, loaded by the wizard: what the keys above give.
TEST_F(Sheet, HandWrittenDatasheetsLoadAsTheirKeysRead) {
  WriteAll(Dir + "hand.sds", kHandWritten[0].bytes);
  F().LoadDatasheet(Dir + "hand.sds");
  EXPECT_EQ(F().EAppTitle.Text(), "Hand");
  EXPECT_EQ(F().EVersion.Text(), "2.0");
  EXPECT_EQ(F().ECompany.Text(), "") << "the first Company line has no value";
  EXPECT_TRUE(F().CheckBox14.Checked());
  ASSERT_EQ(F().FileList.Count(), 5) << "entries 0 to 4 of the first FILELIST";
  EXPECT_EQ(F().FileList.Row(0), (std::vector<std::string>{"a", "", "p"}));
  EXPECT_EQ(F().FileList.Row(1), (std::vector<std::string>{"b", "b.src", ""}));
  EXPECT_EQ(F().FileList.Cell(2, 0), "") << "a bare name first, then an empty value";
  EXPECT_EQ(F().FileList.Cell(3, 0), "'");
  EXPECT_EQ(F().FileList.Cell(4, 0), "\"");
  EXPECT_EQ(F().Registry.Row(0), (std::vector<std::string>{"HKEY_USERS\\x\\", "\"k", "v\"extra", "String"}));
  EXPECT_EQ(F().DLLList.Items(), (std::vector<std::string>{"x", "", "=\"y\""}));
  EXPECT_EQ(F().PackageList, (std::vector<std::string>{"A", "C"}));

  Restart();
  WriteAll(Dir + "hand.sds", kHandWritten[1].bytes);
  F().LoadDatasheet(Dir + "hand.sds");
  ASSERT_EQ(F().ShortCuts.Count(), 2);
  EXPECT_EQ(F().ShortCuts.Row(0), (std::vector<std::string>{"<Desktop>", "", "", "", "", "31"}));
  EXPECT_EQ(F().ShortCuts.Cell(1, 0), "''");
  EXPECT_TRUE(F().CheckBox10.Checked());
  EXPECT_FALSE(F().CheckBox11.Checked());
  EXPECT_TRUE(F().RadioButton8.Checked());
  EXPECT_FALSE(F().CheckBox1.Checked());
}

// ---- cost: the profile service asked as often whatever the rows ----------------------------

// Every call of the profile service and every write of a file that the program makes.
struct TCalls {
  int KeyReads = 0, SectionReads = 0, OtherReads = 0, ProfileWrites = 0, FileWrites = 0;
  size_t Returned = 0, Written = 0;
};
TCalls Calls;

decltype(&GetPrivateProfileStringA) RealGetString;
decltype(&GetPrivateProfileSectionA) RealGetSection;
decltype(&GetPrivateProfileIntA) RealGetInt;
decltype(&GetPrivateProfileSectionNamesA) RealGetNames;
decltype(&WritePrivateProfileStringA) RealWriteString;
decltype(&WritePrivateProfileSectionA) RealWriteSection;
decltype(&WriteFile) RealWriteFile;

DWORD WINAPI CountGetString(LPCSTR s, LPCSTR k, LPCSTR d, LPSTR b, DWORD n, LPCSTR f) {
  ++(k ? Calls.KeyReads : Calls.SectionReads);
  DWORD r = RealGetString(s, k, d, b, n, f);
  Calls.Returned += r;
  return r;
}
DWORD WINAPI CountGetSection(LPCSTR s, LPSTR b, DWORD n, LPCSTR f) {
  ++Calls.SectionReads;
  DWORD r = RealGetSection(s, b, n, f);
  Calls.Returned += r;
  return r;
}
UINT WINAPI CountGetInt(LPCSTR s, LPCSTR k, INT d, LPCSTR f) { return ++Calls.KeyReads, RealGetInt(s, k, d, f); }
DWORD WINAPI CountGetNames(LPSTR b, DWORD n, LPCSTR f) { return ++Calls.OtherReads, RealGetNames(b, n, f); }
BOOL WINAPI CountWriteString(LPCSTR s, LPCSTR k, LPCSTR v, LPCSTR f) {
  return ++Calls.ProfileWrites, RealWriteString(s, k, v, f);
}
BOOL WINAPI CountWriteSection(LPCSTR s, LPCSTR v, LPCSTR f) { return ++Calls.ProfileWrites, RealWriteSection(s, v, f); }
BOOL WINAPI CountWriteFile(HANDLE h, LPCVOID p, DWORD n, LPDWORD done, LPOVERLAPPED o) {
  ++Calls.FileWrites;
  Calls.Written += n;
  return RealWriteFile(h, p, n, done, o);
}

// While it lives, Calls counts what the program asks of the system.
class TCounting {
public:
  TCounting() {
    Calls = {};
    RealGetString = reinterpret_cast<decltype(RealGetString)>(GetString.Original());
    RealGetSection = reinterpret_cast<decltype(RealGetSection)>(GetSection.Original());
    RealGetInt = reinterpret_cast<decltype(RealGetInt)>(GetInt.Original());
    RealGetNames = reinterpret_cast<decltype(RealGetNames)>(GetNames.Original());
    RealWriteString = reinterpret_cast<decltype(RealWriteString)>(WriteString.Original());
    RealWriteSection = reinterpret_cast<decltype(RealWriteSection)>(WriteSection.Original());
    RealWriteFile = reinterpret_cast<decltype(RealWriteFile)>(Write.Original());
  }
  // The program reaches the profile service and writes files through its import table.
  bool Installed() const { return (GetString.Installed() || GetSection.Installed()) && Write.Installed(); }

private:
  testsupport::TImportHook GetString{"KERNEL32.dll", "GetPrivateProfileStringA", reinterpret_cast<void*>(CountGetString)};
  testsupport::TImportHook GetSection{"KERNEL32.dll", "GetPrivateProfileSectionA", reinterpret_cast<void*>(CountGetSection)};
  testsupport::TImportHook GetInt{"KERNEL32.dll", "GetPrivateProfileIntA", reinterpret_cast<void*>(CountGetInt)};
  testsupport::TImportHook GetNames{"KERNEL32.dll", "GetPrivateProfileSectionNamesA", reinterpret_cast<void*>(CountGetNames)};
  testsupport::TImportHook WriteString{"KERNEL32.dll", "WritePrivateProfileStringA", reinterpret_cast<void*>(CountWriteString)};
  testsupport::TImportHook WriteSection{"KERNEL32.dll", "WritePrivateProfileSectionA", reinterpret_cast<void*>(CountWriteSection)};
  testsupport::TImportHook Write{"KERNEL32.dll", "WriteFile", reinterpret_cast<void*>(CountWriteFile)};
};

TEST_F(Sheet, ALoadAndASaveAskTheProfileServiceAsOftenWhateverTheRows) {
  for (int files : {1000, 2000}) {
    SCOPED_TRACE(std::to_string(files) + " file rows");
    Restart();
    const std::string file = Dir + "rows.sds";
    const std::string text = datasheet::FileText(datasheet::Entries(testprojects::Large(files)));
    WriteAll(file, text);
    {
      TCounting counting;
      ASSERT_TRUE(counting.Installed());
      F().LoadDatasheet(file);
      EXPECT_EQ(Calls.SectionReads, 11) << "each section once";
      EXPECT_EQ(Calls.KeyReads + Calls.OtherReads + Calls.ProfileWrites, 0);
      EXPECT_LE(Calls.Returned, text.size()) << "each key once";
    }
    ASSERT_EQ(F().FileList.Count(), files);
    {
      TCounting counting;
      F().SaveDatasheet(file);
      EXPECT_EQ(Calls.KeyReads + Calls.SectionReads + Calls.OtherReads + Calls.ProfileWrites, 0);
      EXPECT_EQ(Calls.FileWrites, 1) << "the file in one write";
      EXPECT_EQ(Calls.Written, text.size());
    }
    EXPECT_EQ(Difference(ReadAll(file), text), "");
  }
}

}  // namespace

// The datasheet's value forms, key order, file and loading rules, without the profile service.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "creator/creator_datasheet.h"
#include "tests/native/datasheet_projects.h"

using namespace datasheet;

TEST(DatasheetInteger, DecimalAndTheThreeHexadecimalForms) {
  struct Case { const char* text; bool ok; int32_t value; };
  for (Case c : {Case{"0", true, 0}, Case{"1", true, 1}, Case{"2", true, 2}, Case{"-1", true, -1}, Case{"+7", true, 7},
                 Case{"$1", true, 1}, Case{"0x1", true, 1}, Case{"0X1F", true, 31}, Case{"$ff", true, 255},
                 Case{"$FFFFFFFF", true, -1}, Case{"2147483647", true, 2147483647},
                 Case{"-2147483648", true, INT32_MIN}, Case{"2147483648", false, 0}, Case{"$100000000", false, 0},
                 Case{"", false, 0}, Case{"$", false, 0}, Case{"0x", false, 0}, Case{"-", false, 0},
                 Case{"yes", false, 0}, Case{"1a", false, 0}, Case{"12 ", false, 0}, Case{"0x1g", false, 0},
                 Case{"1.0", false, 0}}) {
    int32_t v = 12345;
    EXPECT_EQ(ParseInteger(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(DatasheetEntries, ListsWriteTheirEntriesInOrderEachEntryWhole) {
  TDatasheet d;
  d.Files = {{"d0", "s0", "p0"}, {"d1", "s1", "p1"}};
  d.Shortcuts = {{"l", "c", "t", "", "", "7"}, {"l", "c", "t", "p", "i", "word"}};
  d.PostInstall = {"", "\"q\""};
  std::vector<TEntry> e = Entries(d);
  std::vector<std::string> keys;
  for (const TEntry& x : e) keys.push_back(x.Section + "." + x.Key + "=" + x.Value);
  auto at = [&](const std::string& k) { return std::find(keys.begin(), keys.end(), k) - keys.begin(); };
  EXPECT_LT(at("FILELIST.Package0=\"p0\""), at("FILELIST.Destination1=\"d1\""));
  EXPECT_EQ(at("FILELIST.Source1=\"s1\""), at("FILELIST.Destination1=\"d1\"") + 1);
  EXPECT_LT(at("BUILD.Compression=0"), at("FILELIST.Destination0=\"d0\""));
  EXPECT_LT(at("FILELIST.Package1=\"p1\""), at("COMPATIBILITY.All=1"));
  EXPECT_LT(at("COMPATIBILITY.WinNET2003=1"), at("SHORTCUTS.Location0=\"l\""));
  EXPECT_EQ(at("SHORTCUTS.IconIndex0=7"), at("SHORTCUTS.Icon0=\"\"") + 1);
  EXPECT_NE(at("SHORTCUTS.IconIndex1=0"), static_cast<long>(keys.size())) << "a # that is no number writes 0";
  EXPECT_NE(at("POSTINSTALL.Item0=\"\""), static_cast<long>(keys.size()));
  EXPECT_NE(at("POSTINSTALL.Item1=\"\"q\"\""), static_cast<long>(keys.size()));
  for (const char* absent : {"REGISTRY", "DLLOCX", "PREUNINSTALL", "PACKAGES"})
    for (const TEntry& x : e) EXPECT_NE(x.Section, absent);
}

namespace {
// Sections as the profile service returns them whole: "key=value" lines, each ended by a NUL.
class TFakeReader : public TReader {
public:
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> Sections;
  std::map<std::string, int> Asked;  // how often each section was asked for
  std::string Section(const std::string& name) override {
    ++Asked[name];
    std::string lines;
    for (auto& [k, v] : Sections[name]) lines += k + "=" + v + '\0';
    return lines;
  }
};
}  // namespace

TEST(DatasheetRead, DefaultsOfAnEmptyFile) {
  TFakeReader r;
  TDatasheet d = Read(r);
  TDatasheet want;
  want.All = want.Custom = true;  // both default to checked
  EXPECT_EQ(d, want);
  EXPECT_TRUE(d.Packages.empty());
  EXPECT_FALSE(d.CAV || d.CA || d.A || d.AV || d.CDDVD);
}

TEST(DatasheetRead, EntriesEndAtTheFirstGapAndKeyNamesFoldCase) {
  TFakeReader r;
  r.Sections["SHORTCUTS"] = {{"location0", "a"}, {"IconIndex0", "$10"}, {"LOCATION1", "b"}, {"Location3", "d"}};
  r.Sections["PACKAGES"] = {{"Package0", "x"}, {"Package2", "z"}};
  TDatasheet d = Read(r);
  ASSERT_EQ(d.Shortcuts.size(), 2u);
  EXPECT_EQ(d.Shortcuts[0][5], "16");
  EXPECT_EQ(d.Shortcuts[1][5], "0");
  EXPECT_EQ(d.Packages, std::vector<std::string>{"x"});
}

TEST(DatasheetRoundTrip, EntriesReadBackAsTheyWereWritten) {
  TDatasheet d;
  d.Name = "App";
  d.Company = "\"Q\"";
  d.ShowLicense = d.Web = d.AV = true;
  d.All = false;
  d.Systems[2] = false;
  d.Registry = {{"HKEY_USERS\\k\\", "n", "v", "String"}};
  d.Shortcuts = {{"<Desktop>", "c", "t", "p", "", "3"}};
  d.Dlls = {"a.dll"};
  d.PreUninstall = {"x"};
  d.Packages = {"Required Files", "Extras"};
  TFakeReader r;
  for (const TEntry& e : Entries(d)) r.Sections[e.Section].push_back({e.Key, e.Value});
  EXPECT_EQ(Read(r), d);
}

// ---- the file ---------------------------------------------------------------------------------

namespace {
std::string Fixture(const char* name) {
  std::ifstream f(std::string(CV_TEST_DATA) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// Where two texts part, with a little of each from there; empty when they are the same.
std::string Difference(const std::string& got, const std::string& want) {
  if (got == want) return "";
  size_t i = std::mismatch(got.begin(), got.begin() + std::min(got.size(), want.size()), want.begin()).first - got.begin();
  return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size()) + ", apart from byte " +
         std::to_string(i) + ": \"" + got.substr(i, 40) + "\" against \"" + want.substr(i, 40) + "\"";
}
}  // namespace

TEST(DatasheetFile, HoldsTheBytesThatTheProfileServiceWroteKeyByKey) {
  const std::string large = Fixture("datasheet-large.sds"), awkward = Fixture("datasheet-awkward.sds");
  ASSERT_GT(large.size(), 200000u);
  ASSERT_GT(awkward.size(), 5000u);
  EXPECT_EQ(Difference(FileText(Entries(testprojects::Large())), large), "");
  EXPECT_EQ(Difference(FileText(Entries(testprojects::Awkward())), awkward), "");
}

TEST(DatasheetFile, SectionsGatherTheirKeysAndAKeyWrittenAgainKeepsItsPlace) {
  EXPECT_EQ(FileText({}), "");
  EXPECT_EQ(FileText({{"A", "one", "1"}, {"B", "x", "\"b\""}, {"a", "Two", "2"}, {"A", "ONE", "3"}, {"b", "y", ""}}),
            "[A]\r\none=3\r\nTwo=2\r\n[B]\r\nx=\"b\"\r\ny=\r\n");
}

// ---- a section as loading reads it ------------------------------------------------------------

TEST(DatasheetSection, AnswersAsTheProfileServiceDoesKeyByKey) {
  const std::string lines[] = {
      "  Spaced \t=  \"a b\"  ", "Single='q'", "Lone=\"", "Mixed=\"a'", "Pair=\"\"", "Inner=\"a\"b\"", "Twice=\"\"x\"\"",
      ";Comment=1", "Bare", "Dup=first", "DUP=second", "Late", "late=1", "Eq= a=b", "", " \t ", "Empty=",
      "Dos=x\x1a", "Cr=x\r", "Case=1"};
  std::string block;
  for (const std::string& l : lines) block += l + '\0';
  TSection s(block);
  struct Case { const char* key; bool listed; std::optional<std::string> value; };
  for (const Case& c : {Case{"spaced", true, "a b"}, Case{"single", true, "q"}, Case{"lone", true, "\""},
                        Case{"mixed", true, "\"a'"}, Case{"pair", true, ""}, Case{"inner", true, "a\"b"},
                        Case{"twice", true, "\"x\""}, Case{";Comment", false, std::nullopt},
                        Case{"Comment", false, std::nullopt}, Case{"Bare", false, std::nullopt},
                        Case{"dup", true, "first"}, Case{"late", true, std::nullopt}, Case{"Eq", true, "a=b"},
                        Case{"empty", true, ""}, Case{"Dos", true, "x"}, Case{"Cr", true, "x"},
                        Case{"CASE", true, "1"}, Case{"Absent", false, std::nullopt}}) {
    EXPECT_EQ(s.Has(c.key), c.listed) << c.key;
    EXPECT_EQ(s.Value(c.key), c.value) << c.key;
  }
  EXPECT_FALSE(TSection("").Has("x"));
}

TEST(DatasheetRead, AsksForEachSectionOnceWhateverTheRows) {
  for (int files : {20, 2000}) {
    const TDatasheet d = testprojects::Large(files);
    TFakeReader r;
    for (const TEntry& e : Entries(d)) r.Sections[e.Section].push_back({e.Key, e.Value});
    EXPECT_EQ(Read(r), d) << files;
    EXPECT_EQ(r.Asked, (std::map<std::string, int>{{"ANNOUNCEMENT", 1}, {"APPINFO", 1}, {"BUILD", 1},
                                                  {"COMPATIBILITY", 1}, {"DLLOCX", 1}, {"FILELIST", 1},
                                                  {"PACKAGES", 1}, {"POSTINSTALL", 1}, {"PREUNINSTALL", 1},
                                                  {"REGISTRY", 1}, {"SHORTCUTS", 1}}))
        << files;
  }
}

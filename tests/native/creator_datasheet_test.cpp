// The datasheet's value forms, key order and loading rules, without the profile service.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "creator/creator_datasheet.h"

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
class TFakeReader : public TReader {
public:
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> Sections;
  std::optional<std::string> Value(const std::string& section, const std::string& key) override {
    for (auto& [k, v] : Sections[section])
      if (k == key) return v;
    return std::nullopt;
  }
  std::vector<std::string> Keys(const std::string& section) override {
    std::vector<std::string> keys;
    for (auto& kv : Sections[section]) keys.push_back(kv.first);
    return keys;
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
  for (const TEntry& e : Entries(d)) {
    std::string v = e.Value;  // the service removes one pair of enclosing quotes
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    r.Sections[e.Section].push_back({e.Key, v});
  }
  EXPECT_EQ(Read(r), d);
}

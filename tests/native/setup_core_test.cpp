#include "setup/setup_core.h"
#include "setup/setup_installcore.h"  // ParseInteger

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "tests/native/list_rules.h"

namespace {

// ---- lists ----

TEST(SetupLists, NormalizeCountAndGet) {
  struct Case { const char* s; const char* normal; int32_t count; };
  for (Case c : {Case{"a||b", "a|b|", 2}, Case{"a|||b", "a|b|", 2}, Case{"|a|b|", "a|b|", 2},
                 Case{"a\r\nb", "a|b|", 2}, Case{"a||b||c", "a|b|c|", 3}, Case{"", "|", 1},
                 Case{"|||", "|", 1}, Case{"a|b", "a|b|", 2}, Case{"a|b|", "a|b|", 2},
                 Case{"a\rb\n", "a\rb\n|", 1}, Case{"\r\n\r\n", "|", 1},
                 Case{"\r\r\n\n", "\r|\n|", 2}, Case{" a | b ", " a | b |", 2}}) {
    EXPECT_EQ(NormalizeList(c.s, '|'), c.normal) << c.s;
    EXPECT_EQ(CountListItems(c.s, '|'), c.count) << c.s;
  }
  EXPECT_EQ(NormalizeList("x;;y", ';'), "x;y;");
  struct Item { const char* s; int32_t index; const char* item; };
  for (Item c : {Item{"a|b", 1, "a"}, Item{"a|b", 2, "b"}, Item{"a|b", 3, ""}, Item{"a|b", 0, ""},
                 Item{"a|b", -1, ""}, Item{"", 1, ""}, Item{"||x||yz|", 2, "yz"},
                 Item{"one\r\ntwo", 2, "two"}})
    EXPECT_EQ(GetListItem(c.s, c.index, '|'), c.item) << c.s << " " << c.index;
}

TEST(SetupLists, PairsMadeBySeparatorsThatAreCrOrLf) {
  // A pair's separator may complete another pair, which is replaced in turn.
  struct Case { const char* s; char sep; const char* normal; };
  for (Case c : {Case{"a\r\r\nb", '\n', "a\nb\n"}, Case{"x\r\r\r\n\ny", '\n', "x\ny\n"},
                 Case{"a\r\n\nb", '\r', "a\rb\r"}, Case{"\r\n\n\n", '\r', "\r"},
                 Case{"\n\r\n\r", '\r', "\n\r"}, Case{"a\r\nb", '\n', "a\nb\n"}})
    EXPECT_EQ(NormalizeList(c.s, c.sep), c.normal) << c.s;
}

TEST(SetupLists, AsTheRulesAreWritten) {
  std::mt19937 random(7);
  const char alphabet[] = {'a', 'b', '\r', '\n', '|', ' '};
  for (int round = 0; round < 20000; ++round) {
    std::string s(random() % 24, 'a');
    for (char& c : s) c = alphabet[random() % sizeof alphabet];
    for (char sep : {'|', '\r', '\n', 'a'}) {
      const std::string n = rules::NormalizeList(s, sep);
      ASSERT_EQ(NormalizeList(s, sep), n) << testing::PrintToString(s) << " " << int(sep);
      int32_t count = 0;
      for (char c : n) count += c == sep;
      ASSERT_EQ(CountListItems(s, sep), count);
    }
    ASSERT_EQ(ParseSetupArgs({"/p:" + s}).Parts, rules::ListNames(s)) << testing::PrintToString(s);
  }
}

// The lists of a command line at its longest, and far longer: the work of normalising a list and
// taking its names grows with its length, not with the number of its separators or items.
TEST(SetupLists, WorkInProportionToTheLength) {
  auto repeat = [](const std::string& piece, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += piece;
    return s;
  };
  struct Case { std::string list; char sep; size_t items; };
  const Case cases[] = {
      {repeat("x\r\n", 10800), '|', 10800},
      {repeat("x|", 16300), '|', 16300},
      {repeat("name\r\n||", 100000), '|', 100000},
      {repeat("\r", 300000) + "\n", '\n', 1},  // one pair that each new separator completes again
      {repeat("\r\n", 300000), '|', 1},
  };
  for (const Case& c : cases) {
    ListCharsScanned = 0;
    const std::string n = NormalizeList(c.list, c.sep);
    ASSERT_LE(ListCharsScanned, 2 * c.list.size()) << c.items;
    if (c.sep != '|') continue;
    ListCharsScanned = 0;
    const TSetupCommandLine cl = ParseSetupArgs({"/p:" + c.list});
    EXPECT_EQ(cl.Parts.size(), c.items);
    ASSERT_LE(ListCharsScanned, 3 * c.list.size() + 1) << c.items;
    ListCharsScanned = 0;
    EXPECT_EQ(GetListItem(c.list, static_cast<int32_t>(c.items), '|'), cl.Parts.back());
    ASSERT_LE(ListCharsScanned, 2 * c.list.size()) << c.items;
  }
}

// ---- command line ----

TEST(SetupCommandLine, SplitsLikeTheRuntime) {
  struct Case { const char* line; TStringList args; };
  const Case cases[] = {
      {"setup.exe", {}},
      {"\"C:\\My Setup\\setup.exe\" /u", {"/u"}},
      {"setup.exe   /d:C:\\Apps\t/p:a|b", {"/d:C:\\Apps", "/p:a|b"}},
      {"setup.exe \"/d:C:\\My Apps\"", {"/d:C:\\My Apps"}},
      {"setup.exe /d:\"C:\\My Apps\"\\x y", {"/d:C:\\My Apps\\x", "y"}},
      {"setup.exe \"unterminated arg", {"unterminated arg"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(SetupCommandLine, Switches) {
  struct Case { TStringList args; bool unattended; bool hasDest; const char* dest; bool hasParts; TStringList parts; };
  const Case cases[] = {
      {{"/u"}, true, false, "", false, {}},
      {{"/U"}, true, false, "", false, {}},
      {{"/unattended", "/u:", "-u", "u"}, false, false, "", false, {}},
      {{"/D:C:\\Apps"}, false, false, "", false, {}},
      {{"/d:"}, false, true, "", false, {}},
      {{"/d:C:\\A", "/d:D:\\B "}, false, true, "D:\\B ", false, {}},
      {{"/p:docs|SAMPLES", "/P:x", "/p:||more"}, false, false, "", true, {"docs", "SAMPLES", "more"}},
      {{"/p:"}, false, false, "", true, {""}},
  };
  for (const Case& c : cases) {
    TSetupCommandLine cl = ParseSetupArgs(c.args);
    EXPECT_EQ(cl.Unattended, c.unattended) << c.args[0];
    EXPECT_EQ(cl.HasDest, c.hasDest) << c.args[0];
    EXPECT_EQ(cl.Dest, c.dest) << c.args[0];
    EXPECT_EQ(cl.HasParts, c.hasParts) << c.args[0];
    EXPECT_EQ(cl.Parts, c.parts) << c.args[0];
  }
  TSetupCommandLine cl = ParseSetupArgs({"/p:docs|SAMPLES|\xc4pfel"});
  EXPECT_TRUE(PartNamed(cl, "Docs"));
  EXPECT_TRUE(PartNamed(cl, "samples"));
  EXPECT_TRUE(PartNamed(cl, "\xc4PFEL"));
  EXPECT_FALSE(PartNamed(cl, "\xe4pfel"));  // only A to Z are folded
  EXPECT_FALSE(PartNamed(cl, "Doc"));
  EXPECT_FALSE(PartNamed(cl, ""));
  EXPECT_TRUE(PartNamed(ParseSetupArgs({"/p:"}), ""));
}

// ---- placeholders ----

struct FakeSources : TPlaceholderSources {
  std::map<std::string, std::string> env, reg;
  std::map<int, std::string> folders;
  bool common = false;
  int lookups = 0, commonAsked = 0;
  std::string EnvVar(const std::string& name) override {
    ++lookups;
    auto it = env.find(name);
    return it == env.end() ? "" : it->second;
  }
  std::string RegistryText(uint32_t root, const char* key, const char* value) override {
    ++lookups;
    auto it = reg.find(std::to_string(root) + "|" + key + "|" + value);
    return it == reg.end() ? "" : it->second;
  }
  std::string SpecialFolder(int csidl) override {
    ++lookups;
    auto it = folders.find(csidl);
    return it == folders.end() ? "" : it->second;
  }
  bool CommonShortcuts() override {
    ++commonAsked;
    return common;
  }
};

const std::string kCV = "Software\\Microsoft\\Windows\\CurrentVersion";
const std::string kSF = kCV + "\\Explorer\\Shell Folders";
std::string Key(uint32_t root, const std::string& key, const std::string& value) {
  return std::to_string(root) + "|" + key + "|" + value;
}

struct Expansion : ::testing::Test {
  TAppInfoRec info{};
  FakeSources src;
  TPlaceholderValues values{&info, "Acme Editor 2.0", "D:\\Apps\\Editor"};
  void SetUp() override {
    info.AppTitle.Set("Editor");
    info.AppVersion.Set("2.0");
    info.Company.Set("Acme");
    info.Homepage.Set("http://acme.example/");
    src.env = {{"WINDIR", "C:\\windows"}, {"TEMP", "C:\\temp"}, {"SELF", "<%SELF%>"},
               {"TWICE", "<%TWICE%><%TWICE%>"}, {"NEXT", "<%TEMP%>"}, {"BS", "x\\\\y"}};
    src.reg = {{Key(kHKEY_LOCAL_MACHINE, kCV, "ProgramFilesDir"), "C:\\Program Files"},
               {Key(kHKEY_LOCAL_MACHINE, kCV, "CommonFilesDir"), "C:\\Program Files\\Common Files\\"},
               {Key(kHKEY_CURRENT_USER, kSF, "AppData"), "C:\\Users\\u\\AppData\\Roaming"},
               {Key(kHKEY_LOCAL_MACHINE, kSF, "Common AppData"), "C:\\ProgramData\\"}};
    src.folders = {{0, "C:\\Users\\u\\Desktop"}, {2, "C:\\SM\\Programs\\"}, {7, "C:\\SM\\Programs\\StartUp"},
                   {11, "C:\\SM"}, {22, "C:\\All\\SM"}, {23, "C:\\All\\SM\\Programs"},
                   {24, "C:\\All\\SM\\Programs\\StartUp"}, {25, "C:\\Users\\Public\\Desktop"}};
  }
  std::string X(const std::string& t) { return ExpandPlaceholders(t, values, src); }
};

TEST_F(Expansion, TokensAndTheirSources) {
  struct Case { const char* in; const char* out; };
  for (Case c : {
           Case{"<ProgramFiles>\\<AppName>", "C:\\Program Files\\Editor"},
           Case{"<AppName> <Version> <Company> <Website>", "Editor 2.0 Acme http://acme.example/"},
           Case{"<AnnounceName>", "Acme Editor 2.0"},
           Case{"<InstallRoot>\\bin\\x.exe", "D:\\Apps\\Editor\\bin\\x.exe"},
           Case{"<UninstallFile>", "D:\\Apps\\Editor\\cv2uinst.dat"},
           Case{"<Uninstall> \"<UninstallFile>\"",
                "C:\\windows\\system32\\cv2uinst.exe \"D:\\Apps\\Editor\\cv2uinst.dat\""},
           Case{"<SystemRoot>\\fonts", "C:\\windows\\fonts"},
           Case{"<SharedFiles>\\Acme", "C:\\Program Files\\Common Files\\Acme"},
           Case{"<StartMenu>|<Programs>|<Startup>|<Desktop>",
                "C:\\SM|C:\\SM\\Programs|C:\\SM\\Programs\\StartUp|C:\\Users\\u\\Desktop"},
           Case{"<QuickLaunch>", "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch"},
           Case{"<Desktop>\\a;<Desktop>\\b", "C:\\Users\\u\\Desktop\\a;C:\\Users\\u\\Desktop\\b"},
           Case{"<appname> <APPNAME> <Other> <AppName", "<appname> <APPNAME> <Other> <AppName"},
           Case{"\\\\server\\share", "\\server\\share"},
           Case{"a\\\\\\b", "a\\\\b"},
           Case{"a\\\\\\\\b", "a\\\\b"},
           Case{"<%TEMP%>\\x.txt", "C:\\temp\\x.txt"},
           Case{"[<%UNSET%>]", "[]"},
           Case{"[<%>]", "[]"},
           Case{"[<%%>]", "[]"},
           Case{"%> <%TEMP%>", "%> <%TEMP%>"},
           Case{"50%> done", "50%> done"},
           Case{"<%TEMP%> %> <%TEMP%>", "C:\\temp %> C:\\temp"},
           Case{"<%TEMP%", "<%TEMP%"},
       })
    EXPECT_EQ(X(c.in), c.out) << c.in;
}

TEST_F(Expansion, LaterStepsSearchEarlierValuesButNotTheOtherWayRound) {
  info.AppTitle.Set("Ed <Version> <%TEMP%> a\\\\b");
  info.Company.Set("<AppName>");
  EXPECT_EQ(X("<AppName>"), "Ed 2.0 C:\\temp a\\b");
  EXPECT_EQ(X("<Company>"), "<AppName>");
  info.AppTitle.Set("<UninstallFile>");
  EXPECT_EQ(X("<AppName>|<Uninstall>"), "D:\\Apps\\Editor\\cv2uinst.dat|C:\\windows\\system32\\cv2uinst.exe");
}

// The step searches the whole text after each replacement, the values put in included, so a "<%"
// or "%>" that forms where a reference vanished counts, and so does one that a value brings.
TEST_F(Expansion, EnvironmentReferencesAreSoughtInTheWholeText) {
  src.env["EMPTY"] = "";
  src.env["B"] = "bee";
  src.env["OPEN"] = "<%";
  struct Case { const char* in; const char* out; };
  for (Case c : {
           Case{"x%<%EMPTY%>><%B%>", "x%><%B%>"},  // the "%>" left behind ends the step
           Case{"x%<%UNSET%>><%B%>", "x%><%B%>"},
           Case{"<<%>%<%B%>", ""},                 // "<%<%B%>" is then the reference, of "<%B"
           Case{"<<%EMPTY%>%B%>", "bee"},
           Case{"<%EMPTY%>%><%B%>", "%><%B%>"},
           Case{"<%NEXT%>+<%TEMP%>", "C:\\temp+C:\\temp"},  // a value's reference
           Case{"<%OPEN%>TEMP%>", "C:\\temp"},             // one that a value begins
           Case{"<%BS%>", "x\\y"},                        // the backslash step still sees it
       })
    EXPECT_EQ(X(c.in), c.out) << c.in;
}

// A value that holds its own reference, or one that leads back to it, would never finish. The step
// ends at once on a value that is its own reference; else when the values put in add up to
// kMaxExpanded characters, or the text has grown to that size, or its rounds have walked 16 times
// that many characters. The lookups count its rounds.
TEST_F(Expansion, EnvironmentValuesThatReferToThemselvesEnd) {
  src.env["A"] = "<%Z%>";
  src.env["Z"] = "<%A%>";
  src.env["GROW"] = "g<%GROW%>";
  std::string r;
  auto rounds = [&](const std::string& t) {
    src.lookups = 0;
    r = X(t);
    return src.lookups;
  };
  EXPECT_EQ(rounds("<%SELF%>"), 1);
  EXPECT_EQ(r, "<%SELF%>");
  EXPECT_LE(rounds("<%A%>"), int(kMaxExpanded / 5) + 1);
  EXPECT_TRUE(r == "<%A%>" || r == "<%Z%>") << r;
  EXPECT_LE(rounds("<%TWICE%>"), 16);  // doubles each time
  EXPECT_GE(r.size(), kMaxExpanded / 2);
  EXPECT_LE(r.size(), kMaxExpanded);
  rounds("<%GROW%>");
  EXPECT_EQ(r, std::string(r.size() - 8, 'g') + "<%GROW%>");
  EXPECT_LT(r.size(), kMaxExpanded);
  // Over a long text the walks end it sooner.
  const std::string text = std::string(16384, '<') + "<%A%>";
  EXPECT_LE(rounds(text), 32);
  EXPECT_TRUE(r == text || r == std::string(16384, '<') + "<%Z%>");
}

TEST_F(Expansion, NestedTokensGrowNoFurtherThanTheLimit) {
  auto times = [](const std::string& s, size_t n) {
    std::string out;
    while (n--) out += s;
    return out;
  };
  // The result is head, then fill up to size characters.
  auto expect = [&](const std::string& templ, size_t size, const std::string& head, char fill) {
    const std::string r = X(templ);
    EXPECT_EQ(r.size(), size);
    EXPECT_EQ(r.substr(0, head.size()), head);
    EXPECT_EQ(r.find_first_not_of(fill, head.size()), std::string::npos);
  };
  // Each level multiplies the length by 28: 5.6 million characters without a bound.
  info.AppTitle.Set(times("<Version>", 28));
  info.AppVersion.Set(times("<Company>", 28));
  info.Company.Set(std::string(255, 'x'));
  expect(times("<AppName>", 28), kMaxExpanded, "", 'x');
  // Environment values are not bound by the 255 characters of setup.dat.
  src.env["BIG"] = std::string(32767, 'e');
  info.AppTitle.Set(times("<%BIG%>", 36));
  expect(times("<AppName>", 28), kMaxExpanded, "", 'e');
  // The cut comes before the backslash pairs are collapsed.
  values.DestDir = times("<%BIG%>", 1000);
  expect("a\\\\<InstallRoot>", kMaxExpanded - 1, "a\\", 'e');
}

TEST_F(Expansion, MissingSourcesAndTheCommonFolders) {
  EXPECT_EQ(X("<QuickLaunch>"), "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch");
  src.common = true;
  EXPECT_EQ(X("<StartMenu>|<Programs>|<Startup>|<Desktop>"),
            "C:\\All\\SM|C:\\All\\SM\\Programs|C:\\All\\SM\\Programs\\StartUp|C:\\Users\\Public\\Desktop");
  EXPECT_EQ(X("<QuickLaunch>"), "C:\\ProgramData\\Microsoft\\Internet Explorer\\Quick Launch");
  src.reg.clear();
  src.folders.clear();
  src.env.clear();
  EXPECT_EQ(X("<QuickLaunch>"), "\\Microsoft\\Internet Explorer\\Quick Launch");
  EXPECT_EQ(X("<ProgramFiles>\\<AppName>"), "\\Editor");
  EXPECT_EQ(X("<Desktop>|<SystemRoot>|<Uninstall>"), "||\\system32\\cv2uinst.exe");
  values.DestDir = "C:";
  EXPECT_EQ(X("<InstallRoot>\\x"), "C:\\x");
}

TEST_F(Expansion, AskSourcesOnlyForTokensPresent) {
  EXPECT_EQ(X("plain <AppName>"), "plain Editor");
  EXPECT_EQ(src.lookups, 0);
  X("<Desktop><Desktop>");
  EXPECT_EQ(src.lookups, 1);
}

TEST_F(Expansion, AnInstallationAsksForEachValueOnce) {
  FakeSources machine = src;
  TCachedSources run(machine);
  const char* const templates[] = {"<ProgramFiles>\\<AppName>",  "<StartMenu>|<Programs>|<Startup>|<Desktop>",
                                   "<QuickLaunch>",              "<SharedFiles>\\x",
                                   "<SystemRoot>|<Uninstall>",   "<%TEMP%>\\x|<%UNSET%>|<%TEMP%>",
                                   "<InstallRoot>\\<AppName>"};
  for (int record = 0; record < 50; ++record)
    for (const char* t : templates) EXPECT_EQ(ExpandPlaceholders(t, values, run), X(t)) << t;
  // ProgramFilesDir, four folders, AppData, CommonFilesDir, WINDIR, TEMP and UNSET
  EXPECT_EQ(machine.lookups, 10);
  EXPECT_EQ(machine.commonAsked, 1);
  // The folders of all users or of this one, as they were the first time.
  machine.common = true;
  EXPECT_EQ(ExpandPlaceholders("<Desktop>", values, run), "C:\\Users\\u\\Desktop");
  EXPECT_EQ(machine.lookups, 10);
}

TEST(ReplaceAllTest, LeftToRightWithoutOverlap) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("abab", "ab", "abab"), "abababab");
  EXPECT_EQ(ReplaceAll("AbAB", "ab", "x"), "AbAB");
}

// ---- numbers and checks ----

TEST(SetupNumbers, IntegerParse) {
  struct Case { const char* s; bool ok; int32_t v; };
  for (Case c : {Case{"0", true, 0}, Case{"42", true, 42}, Case{"-42", true, -42}, Case{"+7", true, 7},
                 Case{"007", true, 7}, Case{"2147483647", true, 2147483647},
                 Case{"-2147483648", true, INT32_MIN}, Case{"2147483648", false, 0},
                 Case{"-2147483649", false, 0}, Case{"99999999999999999999", false, 0},
                 Case{"$0", true, 0}, Case{"$ff", true, 255}, Case{"$7FFFFFFF", true, 2147483647},
                 Case{"$FFFFFFFF", true, -1}, Case{"$80000000", true, INT32_MIN},
                 Case{"$100000000", false, 0}, Case{"$", false, 0}, Case{"$g", false, 0},
                 Case{"-$1", false, 0}, Case{"", false, 0}, Case{"-", false, 0}, Case{"+", false, 0},
                 Case{" 1", false, 0}, Case{"1 ", false, 0}, Case{"1.0", false, 0},
                 Case{"0x10", false, 0}, Case{"1e3", false, 0}, Case{"--1", false, 0}}) {
    int32_t v = 12345;
    EXPECT_EQ(ParseInteger(c.s, v), c.ok) << c.s;
    if (c.ok) { EXPECT_EQ(v, c.v) << c.s; }
  }
}

TEST(SetupNumbers, VersionNumberJoinsTheDecimalParts) {
  struct Case { uint32_t ms, ls; int32_t n; };
  for (Case c : {Case{0x00050001, 0x0A280000, 5126000}, Case{0x00010000, 0, 1000},
                 Case{0x0001000A, 0, 11000}, Case{0x00020000, 0, 2000}, Case{0x00010002, 0x00030004, 1234},
                 Case{0x00020008, 0, 2800}, Case{0, 0, 0},
                 Case{0x00060003, 0x25804407, 2147483647},  // 6.3.9600.17415
                 Case{0x00020001, 0x00040007, 2147},        // 2.1.4.7 (not 2147483647)
                 Case{0x00150004, 0x00070036, 214754}, Case{0xFFFFFFFF, 0xFFFFFFFF, 2147483647},
                 Case{0x00020001, 0x00B5000C, 2118112}})
    EXPECT_EQ(VersionNumber(c.ms, c.ls), c.n) << std::hex << c.ms << "." << c.ls;
  EXPECT_EQ(VersionNumber(0x00000002, 0x00B50BB7), 21812999);  // 0.2.181.2999: "021812999"
}

TEST(SetupChecks, WindowsVersionTable) {
  struct Win { const char* name; uint32_t platform, major, minor; uint8_t TAppInfoRec::*flag; };
  const Win wins[] = {{"95", 1, 4, 0, &TAppInfoRec::OsWin95},     {"98", 1, 4, 10, &TAppInfoRec::OsWin98},
                      {"ME", 1, 4, 90, &TAppInfoRec::OsWinME},    {"NT4", 2, 4, 0, &TAppInfoRec::OsWinNT4},
                      {"2000", 2, 5, 0, &TAppInfoRec::OsWin2000}, {"XP", 2, 5, 1, &TAppInfoRec::OsWinXP},
                      {"2003", 2, 5, 2, &TAppInfoRec::OsWin2003}, {"7", 2, 6, 1, nullptr}};
  for (const Win& w : wins) {
    for (const Win& flagOf : wins) {
      for (uint8_t newer : {0, 1}) {
        TAppInfoRec info{};
        if (flagOf.flag) info.*flagOf.flag = 2;  // any non-zero byte counts
        info.OsNewer = newer;
        const bool own = w.flag && w.flag == flagOf.flag;
        EXPECT_EQ(OsAllowed(info, w.platform, w.major, w.minor), own || newer)
            << w.name << " flag of " << flagOf.name << " newer " << int(newer);
      }
    }
  }
  TAppInfoRec all{};
  std::memset(&all.OsWin95, 1, 8);
  EXPECT_FALSE(OsAllowed(all, 0, 4, 0));  // another platform
  EXPECT_FALSE(OsAllowed(all, 3, 5, 1));
  EXPECT_TRUE(OsAllowed(all, 2, 10, 0));
}

int64_t FreeOnC(int drive) { return drive == 3 ? 1 : drive == 4 ? 0 : -1; }

TEST(SetupChecks, DestinationForm) {
  struct Case { const char* path; bool ok; };
  for (Case c : {Case{"C:", true}, Case{"C:\\Apps", true}, Case{"c:\\apps", true}, Case{"C:\\", true},
                 Case{"C:Apps", false}, Case{"1:\\Apps", false}, Case{"Q:\\Apps", false},
                 Case{"D:\\Apps", false}, Case{"C", false}, Case{"", false}, Case{"C;\\x", false},
                 Case{"\\\\srv\\share", false}, Case{"C:/x", false}, Case{"C:\\\xff<>|", true}})
    EXPECT_EQ(DestDirFormValid(c.path, FreeOnC), c.ok) << c.path;
}

TEST(SetupChecks, RandomNamesStartAtZero) {
  TRandom r;
  EXPECT_EQ(r.Next(2147483647), 0u);
  EXPECT_EQ(r.FSeed, 1u);
  const uint32_t seed2 = 134775813u + 1u;
  EXPECT_EQ(r.Next(2147483647), static_cast<uint32_t>((uint64_t{seed2} * 2147483647u) >> 32));
  EXPECT_EQ(r.Next(2147483647), 1849087502u);  // the third name tried on every machine
}

// ---- setup.dat ----

struct SetupDat {
  std::vector<uint8_t> bytes;
  template <class T> void Put(const T& v) {
    auto* p = reinterpret_cast<const uint8_t*>(&v);
    bytes.insert(bytes.end(), p, p + sizeof v);
  }
  void Str(const char* s) { ShortString x; x.Set(s); Put(x); }
};

struct Loaded {
  TAppInfoRec info;
  std::unique_ptr<TStringList> packages, dlls, post, pre;
  std::unique_ptr<TLHPointerList> reg, shortcuts, files;
  bool ok;
  explicit Loaded(const std::vector<uint8_t>& b) {
    TByteReader r(b.data(), b.size());
    ok = ReadSetupSections(r, {&info, &packages, &reg, &shortcuts, &dlls, &post, &pre, &files});
  }
  ~Loaded() {
    FreeRecordList<TRegValueRec>(reg);
    FreeRecordList<TShortcutRec>(shortcuts);
    FreeRecordList<TPackedFileRec>(files);
  }
};

TEST(SetupDatReading, AFullPackageReadsEverySection) {
  SetupDat d;
  TAppInfoRec info{};
  info.AppTitle.Set("Editor");
  info.UninstallerSize = 5000;
  d.Put(info);
  d.Put(uint8_t{2}); d.Str("Required Files"); d.Str("Docs");
  d.Put(uint16_t{1});
  TRegValueRec rv{}; rv.RootKey = 0x80000001; rv.KeyPath.Set("Software\\Acme"); rv.ValueType = 4;
  d.Put(rv);
  d.Put(uint8_t{1});
  TShortcutRec sc{}; sc.Location.Set("<Desktop>"); sc.IconIndex = 65535;
  d.Put(sc);
  d.Put(uint16_t{1}); d.Str("<InstallRoot>\\a.ocx");
  d.Put(uint8_t{1}); d.Str("post");
  d.Put(uint8_t{2}); d.Str("pre1"); d.Str("pre2");
  d.Put(int32_t{2});
  TPackedFileRec f{}; f.DestPath.Set("<InstallRoot>\\a.txt"); f.DataOffset = 5001; f.StoredSize = 3;
  d.Put(f);
  f.DestPath.Set("<InstallRoot>\\b.txt");
  d.Put(f);
  EXPECT_EQ(d.bytes.size(), 1320u + 2 * 256 + 776 + 1284 + 256 + 256 + 2 * 256 + 2 * 524);
  d.bytes.push_back(0xEE);  // trailing bytes are ignored
  Loaded l(d.bytes);
  ASSERT_TRUE(l.ok);
  EXPECT_EQ(l.info.AppTitle.Str(), "Editor");
  EXPECT_EQ(l.info.UninstallerSize, 5000);
  EXPECT_EQ(*l.packages, (TStringList{"Required Files", "Docs"}));
  ASSERT_EQ(l.reg->Count(), 1);
  EXPECT_EQ(std::memcmp(l.reg->GetItem(1), &rv, sizeof rv), 0);
  ASSERT_EQ(l.shortcuts->Count(), 1);
  EXPECT_EQ(static_cast<TShortcutRec*>(l.shortcuts->GetItem(1))->IconIndex, 65535);
  EXPECT_EQ(*l.dlls, TStringList{"<InstallRoot>\\a.ocx"});
  EXPECT_EQ(*l.post, TStringList{"post"});
  EXPECT_EQ(*l.pre, (TStringList{"pre1", "pre2"}));
  ASSERT_EQ(l.files->Count(), 2);
  EXPECT_EQ(static_cast<TPackedFileRec*>(l.files->GetItem(2))->DestPath.Str(), "<InstallRoot>\\b.txt");
  EXPECT_FALSE(l.files->FTimer.Enabled());
}

TEST(SetupDatReading, AllCountsZero) {
  SetupDat d;
  d.Put(TAppInfoRec{});
  d.bytes.resize(1320, 0);
  Loaded l(d.bytes);
  ASSERT_TRUE(l.ok);
  for (auto* s : {l.packages.get(), l.dlls.get(), l.post.get(), l.pre.get()}) {
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->empty());
  }
  for (auto* p : {l.reg.get(), l.shortcuts.get(), l.files.get()}) {
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Count(), 0);
  }
}

TEST(SetupDatReading, ShortFilesFailWhereTheirBytesEnd) {
  // 1307 bytes fail in the header, 1308 at the package count, 1319 at the file count.
  for (size_t size : {0u, 1307u, 1308u, 1319u}) {
    Loaded l(std::vector<uint8_t>(size, 0));
    EXPECT_FALSE(l.ok) << size;
    EXPECT_EQ(l.files, nullptr) << size;
  }
  Loaded l(std::vector<uint8_t>(1319, 0));
  EXPECT_NE(l.pre, nullptr);  // the containers read so far are kept
  EXPECT_NE(l.reg, nullptr);
}

TEST(SetupDatReading, CountsPastTheEndFailAndAllocateOnlyWhatIsThere) {
  struct Case { size_t at; std::vector<uint8_t> count; size_t records; };
  // A count field set high in an otherwise empty file; the file then holds `records` records.
  const Case cases[] = {
      {1308, {255}, 1},                       // packages
      {1309, {0xFF, 0xFF}, 2},                // registry values
      {1311, {200}, 1},                       // shortcuts
      {1312, {0xFF, 0xFF}, 0},                // DLL/OCX
      {1314, {3}, 2},                         // post-installation
      {1315, {3}, 0},                         // pre-uninstallation
      {1316, {0xFF, 0xFF, 0xFF, 0x7F}, 3},    // files: 2147483647 in a file of three
  };
  const size_t recSize[] = {256, 776, 1284, 256, 256, 256, 524};
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::vector<uint8_t> b(1320, 0);
    std::copy(cases[i].count.begin(), cases[i].count.end(), b.begin() + static_cast<ptrdiff_t>(cases[i].at));
    b.insert(b.begin() + static_cast<ptrdiff_t>(cases[i].at + cases[i].count.size()),
             cases[i].records * recSize[i] + (i == 6 ? 100 : 0), 0);
    if (i != 6) b.resize(cases[i].at + cases[i].count.size() + cases[i].records * recSize[i]);
    Loaded l(b);
    EXPECT_FALSE(l.ok) << i;
    if (i == 1) { EXPECT_EQ(l.reg->Count(), 2); }
    if (i == 2) { EXPECT_EQ(l.shortcuts->Count(), 1); }
    if (i == 6) { EXPECT_EQ(l.files->Count(), 3); }
  }
  std::vector<uint8_t> b(1320, 0);
  b[1316] = 0xFF; b[1317] = 0xFF; b[1318] = 0xFF; b[1319] = 0xFF;  // -1 files: none read
  Loaded neg(b);
  EXPECT_TRUE(neg.ok);
  EXPECT_EQ(neg.files->Count(), 0);
}

TEST(SetupDatReading, DisplayNameByAnnounceMode) {
  TAppInfoRec info{};
  info.AppTitle.Set("Editor");
  info.AppVersion.Set("2.0");
  struct Case { uint8_t mode; const char* company; const char* name; };
  for (Case c : {Case{0, "Acme", "Acme Editor 2.0"}, Case{0, "", " Editor 2.0"}, Case{1, "Acme", "Acme Editor"},
                 Case{2, "Acme", "Editor"}, Case{3, "Acme", "Editor 2.0"}, Case{4, "Acme", ""},
                 Case{255, "Acme", ""}}) {
    info.AnnounceMode = c.mode;
    info.Company.Set(c.company);
    EXPECT_EQ(BuildDisplayName(info), c.name) << int(c.mode);
  }
}

}  // namespace

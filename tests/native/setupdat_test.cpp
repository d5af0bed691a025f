// setup.dat's sections against an expectation written field by field from the file's layout, and
// the rules that fill and refuse them.
#include "creator/datapak.h"
#include "creator/setupdat.h"
#include "tests/native/pack_support.h"

#include <gtest/gtest.h>

namespace {

using Row = BuildProject::RegistryRow;
using Link = BuildProject::ShortcutRow;

// The expected file, written one field at a time: little-endian integers, 256-byte texts with
// their length in front and zeros behind, padding spelled out.
struct Expect {
  Bytes b;
  void U8(uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) { U8(v & 0xFF), U8(v >> 8); }
  void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
  void Zero(size_t n) { b.insert(b.end(), n, 0); }
  void Text(const std::string& s) {
    size_t n = std::min<size_t>(s.size(), 255);
    U8(static_cast<uint32_t>(n));
    b.insert(b.end(), s.begin(), s.begin() + static_cast<ptrdiff_t>(n));
    Zero(255 - n);
  }
};

// setup.dat as the build assembles it: the six sections, then the file section.
Bytes Encode(const BuildProject& p, const std::vector<Bytes>& sources, int32_t uninstallerSize) {
  Bytes out;
  AppendRecord(out, MakeAppInfo(p.Info, p.Shortcuts, uninstallerSize));
  AppendPackageList(out, p.Packages);
  AppendRegistryList(out, p.Registry);
  AppendShortcutList(out, p.Shortcuts);
  AppendDllList(out, p.DllList);
  AppendCommandLists(out, p.PIList, p.PUIList);
  int32_t count = static_cast<int32_t>(p.Files.size());
  out.insert(out.end(), reinterpret_cast<const uint8_t*>(&count), reinterpret_cast<const uint8_t*>(&count) + 4);
  const packsupport::Packed packed =
      packsupport::Pack(p.Info.CompressData, Bytes(static_cast<size_t>(uninstallerSize), 0xEE), p.Files, sources);
  out.insert(out.end(), packed.dat.begin(), packed.dat.end());
  return out;
}

BuildProject Sample() {
  BuildProject p;
  p.Info.AppTitle = std::string(300, 'T');  // stored as its first 255 characters
  p.Info.AppVersion = "1.0";
  p.Info.Company = "";
  p.Info.Homepage = "http://example.org";
  p.Info.RadioButton3 = false;
  p.Info.RadioButton6 = true;  // mode 2
  p.Info.NeedsReboot = true;
  bool os[8] = {true, false, true, false, false, true, false, true};
  std::copy(os, os + 8, p.Info.Os);
  p.Info.DefaultDestDir = "<ProgramFiles>\\<AppName>";
  p.Info.LicenseMustAccept = true;
  p.Info.Unattended = true;
  p.Packages = {"Required Files", std::string(255, 'P')};
  p.Registry = {Row{"hkey_local_machine\\Software\\Vendor", "Name", "Value", "String"},
                Row{"HKEY_USERS\\.DEFAULT\\Software", "Flag", "1", "Boolean"},
                Row{"HKEY_CLASSES_ROOT\\.x", "", "hex:01,ff", "Binary Data"}};
  p.Shortcuts = {Link{"<QuickLaunch>", "Run", "<InstallRoot>\\a.exe", "-x", "<InstallRoot>\\a.ico", "7"},
                 Link{"<Programs>\\Tools", "Help", "<InstallRoot>\\h.txt", "", "", "0"},
                 Link{"<Startup>", "Big", "t", "", "i.dll", "65537"}};
  p.DllList = {"<SystemRoot>\\x.ocx"};
  p.PIList = {"<InstallRoot>\\post.exe"};
  p.PUIList = {"a", ""};
  p.Files = {{"<InstallRoot>\\a.exe", "C:\\src\\a.exe", "Required Files"},
             {"<InstallRoot>\\empty.txt", "C:\\src\\empty.txt", "Extras"},
             {"<InstallRoot>\\b\\a.exe", "C:\\src\\a.exe", "Extras"}};
  return p;
}

TEST(SetupDat, MatchesTheLayoutByteForByte) {
  BuildProject p = Sample();
  std::vector<Bytes> sources = {Bytes(5, 'a'), Bytes(), Bytes(5, 'a')};
  const int32_t U = 1000;

  Expect e;
  // Header.
  e.Text(std::string(255, 'T'));
  e.Text("1.0");
  e.Text("");
  e.Text("http://example.org");
  e.U8(2);                                   // AnnounceMode
  e.U8(1);                                   // NeedsReboot
  for (int f : {1, 0, 1, 0, 0, 1, 0, 1}) e.U8(f);  // 95 98 ME NT4 2000 XP 2003 newer
  e.U8(0), e.U8(1), e.U8(1);                 // desktop, start menu, Quick Launch
  e.Text("<ProgramFiles>\\<AppName>");
  e.U8(0);                                   // Reserved1
  e.U8(1), e.U8(0);                          // licence, compress
  e.U32(0);                                  // Reserved2
  e.U32(U);                                  // UninstallerSize
  e.U8(1);                                   // Unattended
  e.Zero(3);
  ASSERT_EQ(e.b.size(), 1308u);
  // Packages.
  e.U8(2), e.Text("Required Files"), e.Text(std::string(255, 'P'));
  // Registry values.
  e.U16(3);
  e.U32(0x80000002), e.Text("Software\\Vendor"), e.Text("Name"), e.Text("Value"), e.U8(4), e.Zero(3);
  e.U32(0x80000003), e.Text(".DEFAULT\\Software"), e.Text("Flag"), e.Text("1"), e.U8(1), e.Zero(3);
  e.U32(0x80000000), e.Text(".x"), e.Text(""), e.Text("hex:01,ff"), e.U8(0), e.Zero(3);
  // Shortcuts: target before caption; no icon means all zero behind HasIcon.
  e.U8(3);
  e.Text("<QuickLaunch>"), e.Text("<InstallRoot>\\a.exe"), e.Text("Run"), e.Text("-x");
  e.U8(1), e.Text("<InstallRoot>\\a.ico"), e.U8(0), e.U16(7);
  e.Text("<Programs>\\Tools"), e.Text("<InstallRoot>\\h.txt"), e.Text("Help"), e.Text("");
  e.U8(0), e.Zero(256), e.U8(0), e.U16(0);
  e.Text("<Startup>"), e.Text("t"), e.Text("Big"), e.Text("");
  e.U8(1), e.Text("i.dll"), e.U8(0), e.U16(1);  // 65537 keeps its low 16 bits
  // DLL/OCX files, then both command lists.
  e.U16(1), e.Text("<SystemRoot>\\x.ocx");
  e.U8(1), e.Text("<InstallRoot>\\post.exe");
  e.U8(2), e.Text("a"), e.Text("");
  // Files: 1-based offsets after the uninstaller; the empty file takes no room; a source listed
  // twice is stored twice.
  e.U32(3);
  e.Text("<InstallRoot>\\a.exe"), e.Text("Required Files"), e.U32(U + 1), e.U32(5), e.U32(5);
  e.Text("<InstallRoot>\\empty.txt"), e.Text("Extras"), e.U32(U + 6), e.U32(0), e.U32(0);
  e.Text("<InstallRoot>\\b\\a.exe"), e.Text("Extras"), e.U32(U + 6), e.U32(5), e.U32(5);

  Bytes got = Encode(p, sources, U);
  EXPECT_EQ(got.size(), 1320u + 256 * 2 + 776 * 3 + 1284 * 3 + 256 * 1 + 256 * 1 + 256 * 2 + 524 * 3);
  ASSERT_EQ(got.size(), e.b.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], e.b[i]) << "at byte " << i;
  // The shortcut flags at their absolute places.
  EXPECT_EQ(got[1034], 0);
  EXPECT_EQ(got[1035], 1);
  EXPECT_EQ(got[1036], 1);
}

TEST(SetupDat, OneFileAndNothingElseIs1844Bytes) {
  BuildProject p;
  p.Info.AppTitle = "Demo";
  p.Files = {{"<InstallRoot>\\a", "a", "Required Files"}};
  Bytes got = Encode(p, {Bytes(3, 1)}, 10);
  ASSERT_EQ(got.size(), 1844u);
  for (size_t at : {1308u, 1309u, 1310u, 1311u, 1312u, 1313u, 1314u, 1315u}) EXPECT_EQ(got[at], 0) << at;
  EXPECT_EQ(got[1316], 1);  // the 32-bit file count
}

TEST(SetupDat, AnnounceModeFollowsTheCheckedButton) {
  struct Case { bool b3, b4, b6, b5; uint8_t mode; };
  for (Case c : {Case{true, false, false, false, 0}, Case{false, true, false, false, 1},
                 Case{false, false, true, false, 2}, Case{false, false, false, true, 3},
                 Case{false, false, false, false, 0}}) {
    BuildProject::AppInfo info;
    info.RadioButton3 = c.b3, info.RadioButton4 = c.b4, info.RadioButton6 = c.b6, info.RadioButton5 = c.b5;
    EXPECT_EQ(MakeAppInfo(info, {}, 0).AnnounceMode, c.mode);
  }
}

TEST(SetupDat, ShortcutKindsAreFoundByTagWithCase) {
  struct Case { std::vector<std::string> locations; bool startMenu, quickLaunch, desktop; };
  const Case cases[] = {
      {{}, false, false, false},
      {{"<Programs>\\Tools"}, true, false, false},
      {{"<programs>\\Tools"}, false, false, false},
      {{"<StartMenu>"}, true, false, false},
      {{"<Desktop>\\Games"}, false, false, true},
      {{"<QuickLaunch>", "<Startup>"}, true, true, false},
      {{"x<Desktop>"}, false, false, true},
  };
  for (const Case& c : cases) {
    std::vector<Link> rows;
    for (const auto& l : c.locations) rows.push_back(Link{l, "c", "t", "", "", "0"});
    EXPECT_EQ(HasShortcutKind(rows, 1), c.startMenu) << testing::PrintToString(c.locations);
    EXPECT_EQ(HasShortcutKind(rows, 2), c.quickLaunch) << testing::PrintToString(c.locations);
    EXPECT_EQ(HasShortcutKind(rows, 3), c.desktop) << testing::PrintToString(c.locations);
    EXPECT_FALSE(HasShortcutKind(rows, 0));
    EXPECT_FALSE(HasShortcutKind(rows, 4));
    TAppInfoRec rec = MakeAppInfo({}, rows, 0);
    EXPECT_EQ(rec.HasStartMenuShortcut, c.startMenu);
    EXPECT_EQ(rec.HasQuickLaunchShortcut, c.quickLaunch);
    EXPECT_EQ(rec.HasDesktopShortcut, c.desktop);
  }
}

TEST(SetupDat, RegistryPathsRootsAndTypes) {
  struct Case { std::string path, type; uint32_t root; std::string keyPath; uint8_t code; };
  const Case cases[] = {
      {"hkey_local_machine\\Software\\Vendor", "String", 0x80000002, "Software\\Vendor", 4},
      {"HKEY_CURRENT_USER\\A", "Integer", 0x80000001, "A", 3},
      {"Hkey_Current_Config\\", "Float", 0x80000005, "", 2},
      {"HKEY_CLASSES_ROOT\\x\\y\\", "Boolean", 0x80000000, "x\\y\\", 1},
      {"HKEY_USERS\\.DEFAULT\\Software", "Binary Data", 0x80000003, ".DEFAULT\\Software", 0},
  };
  for (const Case& c : cases) {
    TRegValueRec rec = MakeRegValue(Row{c.path, "k", "v", c.type});
    EXPECT_EQ(rec.RootKey, c.root) << c.path;
    EXPECT_EQ(rec.KeyPath.Str(), c.keyPath) << c.path;
    EXPECT_EQ(rec.ValueType, c.code) << c.path;
  }
  EXPECT_FALSE(ValueTypeOf("string"));
  EXPECT_FALSE(ValueTypeOf("Binary data"));
  EXPECT_FALSE(RootKeyOf("HKLM"));
  EXPECT_FALSE(RootKeyOf(""));
  // A Path without "\" keeps the whole text as its key path.
  EXPECT_EQ(MakeRegValue(Row{"Software", "k", "v", "String"}).KeyPath.Str(), "Software");
}

TEST(SetupDat, IconIndexIsAnIntegerCutTo16Bits) {
  struct Case { std::string text; std::optional<int> stored; };
  const Case cases[] = {{"0", 0},          {"7", 7},       {"65535", 65535}, {"65536", 0},
                        {"70000", 4464},   {"-1", 65535},  {"+3", 3},        {"$10", 16},
                        {"0x1f", 31},      {"007", 7},     {"", {}},         {"abc", {}},
                        {"1.5", {}},       {" 7", {}},     {"7 ", {}},       {"--1", {}},
                        {"-", {}},         {"$", {}},      {"4294967296", {}}, {"2147483648", {}}};
  for (const Case& c : cases) {
    Link row{"<Desktop>", "Run", "a.exe", "", "a.ico", c.text};
    if (c.stored) {
      EXPECT_EQ(MakeShortcut(row).IconIndex, *c.stored) << c.text;
      EXPECT_TRUE(CheckProject(BuildProject{.Shortcuts = {row}}).empty()) << c.text;
    } else {
      EXPECT_THROW(MakeShortcut(row), EBuildError) << c.text;
      EXPECT_EQ(CheckProject(BuildProject{.Shortcuts = {row}}).size(), 1u) << c.text;
    }
  }
  // Without an icon the index is not looked at, and nothing of the icon is stored.
  TShortcutRec rec = MakeShortcut(Link{"<Desktop>", "Run", "a.exe", "", "", "junk"});
  EXPECT_EQ(rec.HasIcon, 0);
  EXPECT_EQ(rec.IconIndex, 0);
  for (uint8_t byte : std::string_view(reinterpret_cast<const char*>(&rec.IconFile), 256)) EXPECT_EQ(byte, 0);
}

TEST(SetupDat, RefusesWhatTheFileCannotCarry) {
  const std::string longText(256, 'x'), fullText(255, 'x');
  struct Case { const char* what; BuildProject project; size_t problems; };
  std::vector<Case> cases;
  cases.push_back({"valid", Sample(), 0});
  cases.push_back({"256 packages", BuildProject{.Packages = std::vector<std::string>(256, "p")}, 1});
  cases.push_back({"255 packages", BuildProject{.Packages = std::vector<std::string>(255, "p")}, 0});
  cases.push_back({"65536 registry values",
                   BuildProject{.Registry = std::vector<Row>(65536, Row{"HKEY_USERS\\a", "k", "v", "String"})}, 1});
  cases.push_back({"256 shortcuts", BuildProject{.Shortcuts = std::vector<Link>(256, Link{"<Desktop>"})}, 1});
  cases.push_back({"65536 DLLs", BuildProject{.DllList = std::vector<std::string>(65536, "d")}, 1});
  cases.push_back({"65535 DLLs", BuildProject{.DllList = std::vector<std::string>(65535, "d")}, 0});
  cases.push_back({"256 commands each", BuildProject{.PIList = std::vector<std::string>(256, "c"),
                                                     .PUIList = std::vector<std::string>(256, "c")}, 2});
  cases.push_back({"unknown root", BuildProject{.Registry = {Row{"HKLM\\Software", "k", "v", "String"}}}, 1});
  cases.push_back({"no root", BuildProject{.Registry = {Row{"Software", "k", "v", "String"}}}, 1});
  cases.push_back({"unknown type", BuildProject{.Registry = {Row{"HKEY_USERS\\a", "k", "v", "string"}}}, 1});
  cases.push_back({"both unknown", BuildProject{.Registry = {Row{"X\\a", "k", "v", "DWORD"}}}, 2});
  cases.push_back({"long hex value",
                   BuildProject{.Registry = {Row{"HKEY_USERS\\a", "k", "hex:" + longText, "Binary Data"}}}, 1});
  cases.push_back({"long key of hex row",
                   BuildProject{.Registry = {Row{"HKEY_USERS\\a", longText, "hex:00", "Binary Data"}}}, 1});
  cases.push_back({"long path of hex row",
                   BuildProject{.Registry = {Row{"HKEY_USERS\\" + longText, "k", "hex:00", "Binary Data"}}}, 1});
  cases.push_back({"255-character path of hex row",
                   BuildProject{.Registry = {Row{"HKEY_USERS\\" + fullText, fullText, "hex:" + fullText.substr(4),
                                                 "Binary Data"}}}, 0});
  cases.push_back({"long plain binary is cut",
                   BuildProject{.Registry = {Row{"HKEY_USERS\\a", "k", longText, "Binary Data"}}}, 0});
  cases.push_back({"long hex string is cut",
                   BuildProject{.Registry = {Row{"HKEY_USERS\\a", "k", "hex:" + longText, "String"}}}, 0});
  cases.push_back({"long HEX: is cut",
                   BuildProject{.Registry = {Row{"HKEY_USERS\\a", "k", "HEX:" + longText, "Binary Data"}}}, 0});
  cases.push_back({"icon index", BuildProject{.Shortcuts = {Link{"<Desktop>", "c", "t", "", "i.ico", "x"}}}, 1});
  for (const Case& c : cases) {
    std::vector<std::string> problems = CheckProject(c.project);
    EXPECT_EQ(problems.size(), c.problems) << c.what << ": " << testing::PrintToString(problems);
  }
  // The lines name what they refuse.
  auto problems = CheckProject(BuildProject{.Registry = {Row{"HKLM\\Software", "Name", "v", "DWORD"}}});
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("'HKLM'"), std::string::npos) << problems[0];
  EXPECT_NE(problems[0].find("'Name'"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("'DWORD'"), std::string::npos) << problems[1];
}

TEST(BuildPaths, BaseDirectoryAndFileNames) {
  EXPECT_EQ(BaseDirectory("C:\\My Setups", "Demo"), "C:\\My Setups\\Demo\\");
  EXPECT_EQ(BaseDirectory("C:\\My Setups\\", "Demo"), "C:\\My Setups\\Demo\\");
  EXPECT_EQ(BaseDirectory("C:\\", "Demo"), "C:\\Demo\\");
  struct Case { std::string path, dir, name; };
  for (const Case& c : {Case{"C:\\src\\a.exe", "C:\\src\\", "a.exe"}, Case{"a.exe", "", "a.exe"},
                        Case{"C:a.exe", "C:", "a.exe"}, Case{"", "", ""},
                        Case{"\\\\srv\\share\\x\\", "\\\\srv\\share\\x\\", ""}}) {
    EXPECT_EQ(DirectoryPart(c.path), c.dir) << c.path;
    EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
  }
}

TEST(BuildPaths, TitlesThatCannotNameAFile) {
  for (const std::string& ok : std::vector<std::string>{"Demo", "My App 2.0", "a.b", "CONSOLE", "COM0", "LPT10", "Über",
                         std::string(251, 'x')})
    EXPECT_EQ(TitleProblem(ok), "") << ok;
  for (const std::string& bad : std::vector<std::string>{"", "   ", "a/b", "a\\b", "a:b", "a*", "what?", "\"q\"", "<x>", "a|b", "a.",
                          "a ", ".", "..", "CON", "con", "Nul.txt", "COM1", "lpt9", "AUX .x",
                          std::string("a\tb"), std::string(252, 'x')})
    EXPECT_NE(TitleProblem(bad), "") << bad;
}

}  // namespace

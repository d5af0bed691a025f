#include "creator/creator_aboutpicture.h"
#include "creator/creator_itemrules.h"

#include <gtest/gtest.h>

using namespace items;

TEST(FileEntryRow, DestinationFolderAndFileNamePart) {
  struct Case { const char* folder; const char* source; const char* dest; };
  for (Case c : {
           Case{"<InstallRoot>\\", "C:\\src\\app.exe", "<InstallRoot>\\app.exe"},
           Case{"<InstallRoot>\\bin", "C:\\src\\app.exe", "<InstallRoot>\\bin\\app.exe"},
           Case{"", "C:\\src\\app.exe", "\\app.exe"},
           Case{"<SystemRoot>\\", "C:app.exe", "<SystemRoot>\\app.exe"},     // after the colon
           Case{"<SystemRoot>\\", "D:\\a.b\\noext", "<SystemRoot>\\noext"},
           Case{"x\\\\", "C:\\src\\y", "x\\\\y"},                            // kept as typed
       }) {
    std::string folder = DestinationFolder(c.folder);
    Row row = FileEntryRow(folder, c.source, "My Package ");
    EXPECT_EQ(row, (Row{c.dest, c.source, "My Package "})) << c.folder << " | " << c.source;
  }
}

TEST(IsNewPackage, FoldsOnlyAToZ) {
  const std::vector<std::string> packages{"Required Files", "Extras", "\xC9quipe"};  // Équipe
  struct Case { const char* name; bool isNew; };
  for (Case c : {
           Case{"Required Files", false},
           Case{"rEQUIRED fILES", false},
           Case{"Required Files ", true},
           Case{"EXTRAS", false},
           Case{"\xC9QUIPE", false},   // É itself unchanged, the rest folded
           Case{"\xE9quipe", true},    // é is not the same letter as É here
           Case{"", true},
       }) {
    EXPECT_EQ(IsNewPackage(packages, c.name), c.isNew) << c.name;
  }
  EXPECT_TRUE(IsNewPackage({}, kRequiredFiles));  // a datasheet without packages
  EXPECT_EQ(LowerAZ("AZaz@[`{\xC4\xDF"), "azaz@[`{\xC4\xDF");
}

TEST(RegistryPath, Normalisation) {
  struct Case { const char* typed; const char* normal; };
  for (Case c : {
           Case{"Software\\Firm", "Software\\Firm\\"},
           Case{"\\Software\\Firm", "Software\\Firm\\"},
           Case{"\\Software\\Firm\\", "Software\\Firm\\"},
           Case{"Software\\Firm\\", "Software\\Firm\\"},
           Case{"\\\\Software", "\\Software\\"},  // only one leading backslash is cut
           Case{"\\", "\\"},
           Case{"\\\\", "\\"},
           Case{"x", "x\\"},
       }) {
    EXPECT_EQ(NormaliseRegistryPath(c.typed), c.normal) << c.typed;
  }
  EXPECT_EQ(RegistryEntryRow("HKEY_CURRENT_USER", "\\", "", "1", "String"),
            (Row{"HKEY_CURRENT_USER\\\\", "", "1", "String"}));
}

TEST(Refusals, WhichFormsAreComplete) {
  EXPECT_TRUE(RegistryFormComplete("p", "v"));
  EXPECT_FALSE(RegistryFormComplete("", "v"));
  EXPECT_FALSE(RegistryFormComplete("p", ""));
  EXPECT_TRUE(ShortcutEntriesValid(true, "<Desktop>", "App"));
  EXPECT_FALSE(ShortcutEntriesValid(false, "<Desktop>", "App"));
  EXPECT_FALSE(ShortcutEntriesValid(true, "", "App"));
  EXPECT_FALSE(ShortcutEntriesValid(true, "<Desktop>", ""));
}

TEST(Choices, ExtensionRules) {
  struct Case { const char* dest; const char* ext; bool icon; bool dll; };
  const Case cases[] = {
      {"<InstallRoot>\\app.exe", ".exe", true, false},
      {"<InstallRoot>\\APP.EXE", ".exe", true, false},
      {"<InstallRoot>\\lib.Dll", ".dll", true, true},
      {"<InstallRoot>\\pic.ICO", ".ico", true, false},
      {"<SystemRoot>\\ctl.oCx", ".ocx", false, true},
      {"<InstallRoot>\\read.me.txt", ".txt", false, false},
      {"<InstallRoot>\\app.exe\\readme", "", false, false},   // the dot is in a folder name
      {"<InstallRoot>\\v1.dll\\x", "", false, false},
      {"C:x.dll:stream", "", false, false},                    // a colon after the dot
      {"<InstallRoot>\\noext", "", false, false},
      {"<InstallRoot>\\trail.", ".", false, false},
      {"<InstallRoot>\\a.exe ", ".exe ", false, false},
      {"<InstallRoot>\\a.\xC9XE", ".\xC9xe", false, false},   // É is not folded
  };
  std::vector<std::string> all, icons, dlls;
  for (const Case& c : cases) {
    EXPECT_EQ(ExtensionOf(c.dest), c.ext) << c.dest;
    all.push_back(c.dest);
    if (c.icon) icons.push_back(c.dest);
    if (c.dll) dlls.push_back(c.dest);
  }
  all.push_back(cases[0].dest);  // listed twice, offered twice
  icons.push_back(cases[0].dest);
  EXPECT_EQ(ShortcutIcons(all), icons);
  EXPECT_EQ(DllChoices(all), dlls);
  std::vector<std::string> targets = ShortcutTargets(all);
  ASSERT_EQ(targets.size(), all.size() + 1);
  EXPECT_EQ(targets.back(), "<Uninstall>");
  EXPECT_TRUE(std::equal(all.begin(), all.end(), targets.begin()));
  EXPECT_EQ(ShortcutTargets({}), (std::vector<std::string>{"<Uninstall>"}));
  EXPECT_TRUE(ShortcutIcons({}).empty());
  EXPECT_TRUE(DllChoices({}).empty());
}

TEST(ShortcutEntryRow, IconColumnsFollowTheBox) {
  EXPECT_EQ(ShortcutEntryRow("<Desktop>", "App", "<InstallRoot>\\a.exe", "", true, "", 3),
            (Row{"<Desktop>", "App", "<InstallRoot>\\a.exe", "", "", "3"}));
  EXPECT_EQ(ShortcutEntryRow("Mine", "U", "<Uninstall>", "<UninstallFile>", false,
                             "<InstallRoot>\\a.ico", 9),
            (Row{"Mine", "U", "<Uninstall>", "<UninstallFile>", "", "0"}));
  EXPECT_EQ(ShortcutEntryRow("L", "C", "T", "-x", true, "<InstallRoot>\\a.ico", 65535),
            (Row{"L", "C", "T", "-x", "<InstallRoot>\\a.ico", "65535"}));
}

TEST(UsesTahoma, FromWindows98On) {
  struct Case { unsigned major, minor; bool tahoma; };
  for (Case c : {Case{4, 0, false}, Case{4, 10, true}, Case{4, 90, true}, Case{4, 1, true},
                 Case{3, 51, false}, Case{5, 0, true}, Case{5, 1, true}, Case{6, 1, true},
                 Case{10, 0, true}}) {
    EXPECT_EQ(UsesTahoma(c.major, c.minor), c.tahoma) << c.major << "." << c.minor;
  }
}

TEST(AboutPicture, ComputerAndDiscOnATransparentGround) {
  const about::Picture p = about::AboutPicture();
  auto at = [&](int x, int y) { return p[y * about::kPictureSize + x]; };
  int opaque = 0;
  for (uint32_t px : p) opaque += px != about::kTransparent;
  EXPECT_GT(opaque, 1000);   // a picture, not a speck
  EXPECT_LT(opaque, 2500);   // with ground showing through
  EXPECT_EQ(at(49, 0), about::kTransparent);  // the corner beside the monitor
  EXPECT_EQ(at(0, 49), about::kTransparent);  // under the case
  EXPECT_EQ(at(36, 36), about::kTransparent); // the disc's hole
  for (uint32_t px : p) ASSERT_EQ(px >> 24, 0u);  // 0x00RRGGBB only
}

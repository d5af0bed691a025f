// The portable rules of the installation: progress, value texts, free space, shortcut kinds, log.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "setup/setup_installcore.h"

TEST(Progress, PositionsOfEachStepRoundHalfToEven) {
  struct Case {
    int span, base;
    std::vector<int> records;  // the 1-based places that set a position
    int n;
    std::vector<int> want;
  } cases[] = {
      {5, 0, {1, 2, 3, 4}, 4, {1, 2, 4, 5}},        // 1.25, 2.5, 3.75, 5
      {90, 5, {1, 3}, 4, {28, 72}},                // 27.5, 72.5 (first and third selected)
      {90, 5, {1, 2, 3, 4}, 4, {28, 50, 72, 95}},  // 27.5, 50, 72.5, 95
      {2, 96, {1, 2, 3, 4}, 4, {96, 97, 98, 98}},  // 96.5, 97, 97.5, 98
      {2, 98, {1, 2, 3, 4}, 4, {98, 99, 100, 100}},
      {90, 5, {1, 2, 3}, 3, {35, 65, 95}},
      {5, 0, {1}, 1, {5}},
      {90, 5, {1, 2}, 2, {50, 95}},
  };
  for (const Case& c : cases) {
    for (size_t k = 0; k < c.records.size(); ++k)
      EXPECT_EQ(ProgressPosition(c.records[k], c.n, c.span, c.base), c.want[k])
          << c.records[k] << "/" << c.n << " x " << c.span << " + " << c.base;
  }
  EXPECT_EQ(ProgressPosition(1, 0, 90, 5), 5);
}

TEST(RegistryText, IntegerParse) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"0", true, 0},          {"1", true, 1},
      {"-1", true, -1},        {"+42", true, 42},
      {"007", true, 7},        {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0}, {"-2147483649", false, 0},
      {"99999999999999999999", false, 0},
      {"$0", true, 0},         {"$ff", true, 255},
      {"$7FFFFFFF", true, 2147483647}, {"$80000000", true, INT32_MIN},
      {"$FFFFFFFF", true, -1}, {"$100000000", false, 0},
      {"$", false, 0},         {"$G", false, 0},
      {"", false, 0},          {"-", false, 0},
      {"+", false, 0},         {" 1", false, 0},
      {"1 ", false, 0},        {"1.0", false, 0},
      {"0x10", false, 0},      {"abc", false, 0},
      {"--1", false, 0},       {"$-1", false, 0},
  };
  for (const Case& c : cases) {
    int32_t v = 12345;
    EXPECT_EQ(ParseInteger(c.text, v), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(v, c.value) << '"' << c.text << '"';
    }
  }
}

TEST(RegistryText, FloatParseUsesTheLocaleSeparator) {
  struct Case {
    const char* text;
    char sep;
    bool ok;
    double value;
  } cases[] = {
      {"1.5", '.', true, 1.5},   {"1,5", ',', true, 1.5},
      {"1.5", ',', false, 0},    {"1,5", '.', false, 0},
      {"-0.25", '.', true, -0.25}, {"+3", '.', true, 3},
      {".5", '.', true, 0.5},    {"5.", '.', true, 5},
      {"1e3", '.', true, 1000},  {"2.5E-1", '.', true, 0.25},
      {" 7 ", '.', true, 7},     {"1e", '.', false, 0},
      {".", '.', false, 0},      {"", '.', false, 0},
      {"1.2.3", '.', false, 0},  {"abc", '.', false, 0},
      {"1e999", '.', false, 0},  {"inf", '.', false, 0},
      {"nan", '.', false, 0},    {"0x10", '.', false, 0},
      {"1 000", '.', false, 0},
  };
  for (const Case& c : cases) {
    double v = 0;
    EXPECT_EQ(ParseFloat(c.text, c.sep, v), c.ok) << '"' << c.text << "\" sep " << c.sep;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << '"' << c.text << '"';
    }
  }
}

TEST(RegistryText, BinaryDataTextOrHexNotation) {
  struct Case {
    const char* text;
    bool ok;
    std::string bytes;
  } cases[] = {
      {"abc", true, "abc"},
      {"", true, ""},
      {"hex:", true, ""},
      {"hex:01,ab,FF", true, std::string("\x01\xab\xff", 3)},
      {"hex:00", true, std::string(1, '\0')},
      {"hex:7f,00,10", true, std::string("\x7f\x00\x10", 3)},
      {"HEX:01", true, "HEX:01"},  // only the export's own spelling is the notation
      {"hex", true, "hex"},
      {"hex:1", false, ""},
      {"hex:001", false, ""},
      {"hex:01,", false, ""},
      {"hex:,01", false, ""},
      {"hex:01,,02", false, ""},
      {"hex:0g", false, ""},
      {"hex:01 02", false, ""},
      {"hex: 01", false, ""},
  };
  for (const Case& c : cases) {
    std::string b = "junk";
    EXPECT_EQ(BinaryValueBytes(c.text, b), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(b, c.bytes) << '"' << c.text << '"';
    }
  }
}

TEST(RegistryText, ConvertByType) {
  TRegData d = ConvertRegValue(1, "1", '.');
  EXPECT_EQ(d.Kind, TRegData::DWord);
  EXPECT_EQ(d.Number, 1u);
  d = ConvertRegValue(1, "0", '.');
  EXPECT_EQ(d.Kind, TRegData::DWord);
  EXPECT_EQ(d.Number, 0u);
  EXPECT_EQ(ConvertRegValue(1, "2", '.').Kind, TRegData::None);  // writes nothing
  EXPECT_EQ(ConvertRegValue(1, "-1", '.').Kind, TRegData::None);
  EXPECT_THROW(ConvertRegValue(1, "yes", '.'), EInstallError);

  d = ConvertRegValue(3, "$FFFFFFFF", '.');
  EXPECT_EQ(d.Kind, TRegData::DWord);
  EXPECT_EQ(d.Number, 0xFFFFFFFFu);
  EXPECT_THROW(ConvertRegValue(3, "<InstallRoot>", '.'), EInstallError);

  d = ConvertRegValue(2, "1,5", ',');
  EXPECT_EQ(d.Kind, TRegData::Binary);
  ASSERT_EQ(d.Bytes.size(), 8u);
  EXPECT_EQ(d.Bytes, std::string("\x00\x00\x00\x00\x00\x00\xf8\x3f", 8));  // 1.5, little-endian
  EXPECT_THROW(ConvertRegValue(2, "1.5", ','), EInstallError);

  d = ConvertRegValue(0, "abc", '.');
  EXPECT_EQ(d.Kind, TRegData::Binary);
  EXPECT_EQ(d.Bytes, "abc");
  try {
    ConvertRegValue(0, "hex:zz", '.');
    ADD_FAILURE() << "no error";
  } catch (const EInstallError& e) {
    EXPECT_NE(std::strstr(e.what(), "hex:zz"), nullptr) << e.what();
  }

  d = ConvertRegValue(4, "C:\\Apps", '.');
  EXPECT_EQ(d.Kind, TRegData::String);
  EXPECT_EQ(d.Bytes, "C:\\Apps");
  EXPECT_EQ(ConvertRegValue(5, "1", '.').Kind, TRegData::None);
  EXPECT_EQ(ConvertRegValue(255, "x", '.').Kind, TRegData::None);
}

TEST(RegistryText, RootNamesAndLogTexts) {
  struct Case {
    uint32_t root;
    const char* name;
  } cases[] = {
      {0x80000000u, "HKEY_CLASSES_ROOT"}, {0x80000001u, "HKEY_CURRENT_USER"},
      {0x80000002u, "HKEY_LOCAL_MACHINE"}, {0x80000003u, "HKEY_USERS"},
      {0x80000005u, "HKEY_CURRENT_CONFIG"}, {0x80000004u, ""},
      {0x80000006u, ""}, {0u, ""}, {2u, ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(RootKeyName(c.root), c.name) << std::hex << c.root;

  // A key path stored with its trailing backslash keeps it, and the value line then has two.
  EXPECT_EQ(RegKeyText(0x80000001u, "Software\\Editor\\"), "HKEY_CURRENT_USER\\Software\\Editor\\");
  EXPECT_EQ(RegValueText(0x80000001u, "Software\\Editor\\", "Path"),
            "HKEY_CURRENT_USER\\Software\\Editor\\\\Path");
  EXPECT_EQ(RegValueText(0x80000004u, "K", "V"), "\\K\\V");
  EXPECT_EQ(RegValueText(0x80000002u, "K", ""), "HKEY_LOCAL_MACHINE\\K\\");
}

TEST(FreeSpace, StrictComparisonIn64Bits) {
  EXPECT_FALSE(FreeSpaceSufficient(1000, 1000));
  EXPECT_TRUE(FreeSpaceSufficient(1001, 1000));
  EXPECT_TRUE(FreeSpaceSufficient(1, 0));
  EXPECT_FALSE(FreeSpaceSufficient(0, 0));
  EXPECT_FALSE(FreeSpaceSufficient(-1, 0));  // no such drive
  // Sizes beyond 4 GiB do not wrap.
  const uint64_t five = 5ull << 30;
  EXPECT_FALSE(FreeSpaceSufficient(int64_t(1) << 31, five));
  EXPECT_TRUE(FreeSpaceSufficient(int64_t(five) + 1, five));
}

TEST(FreeSpace, DriveLetters) {
  EXPECT_TRUE(SameDrive("c:\\Apps\\a.exe", "C:\\Apps"));
  EXPECT_TRUE(SameDrive("C:\\x", "c:"));
  EXPECT_TRUE(SameDrive("Cxyz", "C:\\Apps"));  // the first character only
  EXPECT_FALSE(SameDrive("D:\\x", "C:\\Apps"));
  EXPECT_FALSE(SameDrive("", "C:\\Apps"));
  EXPECT_FALSE(SameDrive("C:\\x", ""));
  EXPECT_EQ(DriveNumber("a:"), 1);
  EXPECT_EQ(DriveNumber("C:\\Apps"), 3);
  EXPECT_EQ(DriveNumber("z"), 26);
  EXPECT_EQ(DriveNumber("1:\\"), 0);
  EXPECT_EQ(DriveNumber("\xc4:\\"), 0);  // only A..Z fold
  EXPECT_EQ(DriveNumber(""), 0);
}

TEST(Shortcuts, KindsByToken) {
  struct Case {
    const char* location;
    bool start, desktop, quick;
    bool want;
  } cases[] = {
      {"<Programs>\\<AppName>", true, false, false, true},
      {"<Programs>\\<AppName>", false, true, true, false},
      {"<StartMenu>", true, false, false, true},
      {"<Startup>", true, false, false, true},
      {"<Desktop>", false, true, false, true},
      {"<Desktop>", true, false, true, false},
      {"<QuickLaunch>", false, false, true, true},
      {"<QuickLaunch>", true, true, false, false},
      {"<Desktop>\\<Programs>", false, true, false, true},  // either kind
      {"<Desktop>\\<Programs>", true, false, false, true},
      {"<Desktop>\\<Programs>", false, false, true, false},
      {"<InstallRoot>\\Links", true, true, true, false},  // no kind token: never
      {"<desktop>", true, true, true, false},            // tokens are case-sensitive
      {"C:\\x<Desktop>y", false, true, false, true},      // anywhere in the text
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShortcutWanted(c.location, c.start, c.desktop, c.quick), c.want)
        << c.location << " " << c.start << c.desktop << c.quick;
}

TEST(Paths, DirectoryAndNameParts) {
  EXPECT_EQ(ExtractFilePath("C:\\Apps\\sub\\a.txt"), "C:\\Apps\\sub\\");
  EXPECT_EQ(ExtractFileName("C:\\Apps\\sub\\a.txt"), "a.txt");
  EXPECT_EQ(ExtractFilePath("C:a.txt"), "C:");
  EXPECT_EQ(ExtractFileName("a.txt"), "a.txt");
  EXPECT_EQ(ExtractFilePath("a.txt"), "");
  EXPECT_EQ(WithTrailingBackslash("C:\\x"), "C:\\x\\");
  EXPECT_EQ(WithTrailingBackslash("C:\\x\\"), "C:\\x\\");
  EXPECT_EQ(WithTrailingBackslash(""), "\\");
  EXPECT_EQ(RegisterCommand("C:\\Program Files\\App\\x.dll"),
            "regsvr32.exe /s \"C:\\Program Files\\App\\x.dll\"");
}

TEST(UninstallLog, LinesAreWrittenExactlyAndEmptiedOnOpen) {
  std::string path = ::testing::TempDir() + "cv2uinst_test.dat";
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
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, "CreateDir::C:\\Apps\r\nCreateFile::C:\\Apps\\cv2uinst.dat\r\nExec::\r\n");
  std::remove(path.c_str());

  EXPECT_EQ(ExecLogOrder({"A", "B", "C"}), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_TRUE(ExecLogOrder({}).empty());
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A run that fails later (a full disk, a file that cannot be written) must find every line
// logged so far in the file, not in a buffer that the failure keeps from reaching it.
TEST(UninstallLog, EachLineIsInTheFileAsSoonAsItIsWritten) {
  std::string path = ::testing::TempDir() + "cv2uinst_through.dat";
  TUninstallLog log;
  log.Open(path);
  std::string want;
  for (int i = 0; i < 3; ++i) {
    log.Write(TagCreateFile, "C:\\Apps\\f" + std::to_string(i));
    want += "CreateFile::C:\\Apps\\f" + std::to_string(i) + "\r\n";
    EXPECT_EQ(FileBytes(path), want) << "after line " << i;
  }
  log.Close();
  std::remove(path.c_str());
}

TEST(UninstallLog, AFullDiskIsReportedAsSuch) {
  if (!std::ifstream("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TUninstallLog log;
  log.Open("/dev/full");  // every write fails with "no space left" (under Wine too, through Z:)
  try {
    log.Write(TagCreateFile, "C:\\Apps\\a.txt");
    ADD_FAILURE() << "written";
  } catch (const EInstallError& e) {
    EXPECT_EQ(e.ExitCode(), ecDiskSpace);
    std::string text = e.what();
    EXPECT_EQ(text.rfind(DiskSpaceText, 0), 0u) << text;
    EXPECT_NE(text.find("The disk is full: the uninstall log /dev/full"), std::string::npos) << text;
  }
  // The C library may still hold the line and fail again on closing; the log is closed all the same.
  try {
    log.Close();
  } catch (const EInstallError& e) {
    EXPECT_EQ(e.ExitCode(), ecDiskSpace);
  }
  EXPECT_FALSE(log.IsOpen());
}

TEST(UninstallLog, FailuresNameTheFile) {
  TUninstallLog log;
  std::string path = ::testing::TempDir() + "no/such/dir/cv2uinst.dat";
  try {
    log.Open(path);
    ADD_FAILURE() << "opened";
  } catch (const EInstallError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_FALSE(log.IsOpen());
  EXPECT_THROW(log.Write(TagCreateFile, "x"), EInstallError);
}

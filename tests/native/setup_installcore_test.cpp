// The portable rules of the installation: progress, value texts, free space, shortcut kinds, log
// lines.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

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

static uint64_t Bits(double d) {
  uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

// The conversion rounds exactly where the doubles meet: at the ends of the range, between
// subnormals, on ties and past any number of digits.
TEST(RegistryText, FloatParseRoundsToTheNearestDouble) {
  const std::string zeros(900, '0');
  struct Case {
    std::string text;
    bool ok;
    uint64_t bits;
  } cases[] = {
      {"0.1", true, 0x3FB999999999999Au},
      {"-0", true, 0x8000000000000000u},
      {"0.000", true, 0},
      {"-1e-400", true, 0x8000000000000000u},
      {"1.7976931348623157e308", true, 0x7FEFFFFFFFFFFFFFu},   // the largest
      {"1.7976931348623158e308", true, 0x7FEFFFFFFFFFFFFFu},
      {"1.7976931348623159e308", false, 0},
      {"179769313486231580793728971405303e276", true, 0x7FEFFFFFFFFFFFFFu},  // just below the
      {"179769313486231580793728971405304e276", false, 0},  // half-way point to 2^1024; above it
      {"2.2250738585072014e-308", true, 0x0010000000000000u},  // the smallest normal
      {"2.2250738585072011e-308", true, 0x000FFFFFFFFFFFFFu},  // the largest subnormal
      {"4.9406564584124654e-324", true, 1},                    // the smallest subnormal
      {"2.4703282292062327e-324", true, 0},                    // just below half of it
      {"2.4703282292062328e-324", true, 1},                    // just above
      {"1e-324", true, 0},
      {"9007199254740993", true, 0x4340000000000000u},         // 2^53 + 1: a tie, to even
      {"9007199254740995", true, 0x4340000000000002u},         // 2^53 + 3: a tie, to even
      {"9007199254740993." + zeros, true, 0x4340000000000000u},
      {"9007199254740993." + zeros + "1", true, 0x4340000000000001u},  // past the tie, 900 digits on
      {"9007199254740992" + zeros + "e-900", true, 0x4340000000000000u},
      {"0." + zeros + "1e901", true, 0x3FF0000000000000u},
      {"1" + zeros + "e-1200", true, 0x01A56E1FC2F8F359u},  // 1e-300
      {"1e99999999999", false, 0},
      {"1e-99999999999", true, 0},
      {"0e99999999999", true, 0},
      {"123456789012345678901234567890", true, 0x45F8EE90FF6C373Eu},
      {"+.5E+1", true, 0x4014000000000000u},
  };
  for (const Case& c : cases) {
    double v = 0;
    ASSERT_EQ(ParseFloat(c.text, '.', v), c.ok) << c.text.substr(0, 60);
    if (c.ok) {
      EXPECT_EQ(Bits(v), c.bits) << c.text.substr(0, 60) << " gave " << v;
    }
  }
}

// Every text the value may hold converts as the C library's conversion does: the same double, and
// no value where that overflows (an underflow gives its result).
TEST(RegistryText, FloatParseMatchesTheLibraryConversion) {
  std::mt19937_64 random(20260405);
  auto check = [](std::string text) {
    errno = 0;
    char* end = nullptr;
    const double want = std::strtod(text.c_str(), &end);
    ASSERT_EQ(*end, '\0') << text;
    const bool overflow = std::isinf(want);
    double got = 0;
    ASSERT_EQ(ParseFloat(text, '.', got), !overflow) << text;
    if (!overflow) {
      ASSERT_EQ(Bits(got), Bits(want)) << text;
    }
    // The same number with a comma for a separator.
    for (char& ch : text)
      if (ch == '.') ch = ',';
    double comma = 0;
    ASSERT_EQ(ParseFloat(text, ',', comma), !overflow) << text;
    if (!overflow) {
      ASSERT_EQ(Bits(comma), Bits(want)) << text;
    }
  };
  char buf[64];
  for (int n = 0; n < 20000; ++n) {
    // A double of any size, printed shortest-exact, rounded, and with more digits than it holds.
    uint64_t bits = random() & 0x7FFFFFFFFFFFFFFFu;
    if ((bits >> 52) == 0x7FF) continue;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    for (int precision : {17, 16, 15, 1 + static_cast<int>(random() % 40)}) {
      std::snprintf(buf, sizeof buf, "%.*e", precision - 1, d);
      check(buf);
    }
    // Digits at random with the point anywhere and an exponent reaching past both ends.
    std::string text;
    const int digitCount = 1 + static_cast<int>(random() % 30);
    const int point = static_cast<int>(random() % (digitCount + 1));
    if (random() % 2) text += '-';
    for (int k = 0; k < digitCount; ++k) {
      if (k == point) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    text += 'e' + std::to_string(static_cast<int>(random() % 700) - 350);
    check(text);
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

TEST(UninstallLog, ExecLinesRunFromTheLastCommandToTheFirst) {
  EXPECT_EQ(ExecLogOrder({"A", "B", "C"}), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_TRUE(ExecLogOrder({}).empty());
}

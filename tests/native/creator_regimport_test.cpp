// The registry export reader: line handling, the value kinds, continuation, what carries nothing,
// and the values a setup cannot carry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "creator/creator_regimport.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// The same text as a UTF-16 little-endian export with its byte-order mark.
std::vector<uint8_t> Utf16(const std::u16string& s) {
  std::vector<uint8_t> b = {0xFF, 0xFE};
  for (char16_t c : s) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
  return b;
}
std::u16string Widen(const std::string& s) { return {s.begin(), s.end()}; }

TRegImportResult Parse(const std::string& body) {
  return ParseRegExport(Bytes("REGEDIT4\r\n" + body));
}

struct Row {
  std::string Path, Key, Value, Type;
  bool operator==(const Row&) const = default;
};
std::vector<Row> Rows(const TRegImportResult& r) {
  std::vector<Row> rows;
  for (const auto& x : r.Rows) rows.push_back({x.Path, x.Key, x.Value, x.Type});
  return rows;
}
void PrintTo(const Row& r, std::ostream* os) {
  *os << "{" << r.Path << " | " << r.Key << " | " << r.Value << " | " << r.Type << "}";
}

const std::string Key = "HKEY_CURRENT_USER\\Software\\Test";

}  // namespace

TEST(RegImport, StringValueUnderItsKey) {
  EXPECT_EQ(Rows(Parse("\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Name\"=\"Data\"\r\n")),
            (std::vector<Row>{{Key, "Name", "Data", "String"}}));
}

// One value line under the key: the row it gives; or no row, and then either why the notice
// names it or nothing at all (what carries nothing by its kind).
TEST(RegImport, ValueLines) {
  struct Case {
    const char* line;
    const char* key;    // nullptr: no row
    const char* value;
    const char* type;
    const char* why;    // without a row: what the notice says after the value's name; nullptr: silent
  };
  const Case cases[] = {
      {R"("S"="Data")", "S", "Data", "String", nullptr},
      // Strings keep the export's doubled backslashes, which the runtime collapses again; only the
      // escaped quote is undone.
      {R"("S"="C:\\Program Files\\App\\")", "S", R"(C:\\Program Files\\App\\)", "String", nullptr},
      {R"("S"="\\\\server\\share\\dir")", "S", R"(\\\\server\\share\\dir)", "String", nullptr},
      {R"("S"="say \"hi\" = ok")", "S", R"(say "hi" = ok)", "String", nullptr},
      {R"("S"="\\\"q\\\"")", "S", R"(\\"q\\")", "String", nullptr},
      {R"("S"="a\tb")", "S", R"(a\tb)", "String", nullptr},  // no other escapes: kept as written
      {R"("S"="\\\tb\t\\")", "S", R"(\\\tb\t\\)", "String", nullptr},
      {R"("S"="<InstallRoot>\\x.exe")", "S", R"(<InstallRoot>\\x.exe)", "String", nullptr},
      {R"("S"="two\nlines")", nullptr, "", "", "string with a line break, which a datasheet cannot hold"},
      {R"("S"="a\rb")", nullptr, "", "", "string with a line break, which a datasheet cannot hold"},
      {R"("S"="")", nullptr, "", "", nullptr},
      {R"("S"="unterminated)", nullptr, "", "", "string without a closing quote"},
      {R"("S"="ends in \")", nullptr, "", "", "string without a closing quote"},
      {R"("S"="two" "parts")", nullptr, "", "", "text after the closing quote of the string"},
      {R"("S"="x"y)", nullptr, "", "", "text after the closing quote of the string"},
      {R"("S"="ends in \)", nullptr, "", "", "string ending in a backslash"},
      {R"("S"="C:\\"\)", nullptr, "", "", "string ending in a backslash"},
      {R"("D"=dword:0000002a)", "D", "$0000002a", "Integer", nullptr},
      {R"("D"=dword:FFFFFFFF)", "D", "$FFFFFFFF", "Integer", nullptr},
      {R"("D"=DWORD:00000001)", "D", "$00000001", "Integer", nullptr},
      {R"("D"=dword:2a)", "D", "$2a", "Integer", nullptr},
      {R"("D"=dword:)", nullptr, "", "", "dword data without digits"},
      {R"("D"=dword:0000000g)", nullptr, "", "", "dword data that is not hexadecimal"},
      {R"("D"=dword:-1)", nullptr, "", "", "dword data that is not hexadecimal"},
      {R"("D"=dword:000000001)", nullptr, "", "", "dword data of more than 8 digits"},
      {R"("B"=hex:01,AB,ff)", "B", "hex:01,ab,ff", "Binary Data", nullptr},
      {R"("B"=Hex:00)", "B", "hex:00", "Binary Data", nullptr},
      {R"("B"=hex:)", nullptr, "", "", nullptr},
      {R"("B"=hex:01,,02)", nullptr, "", "", "binary data with an empty byte"},
      {R"("B"=hex:01,02,)", nullptr, "", "", "binary data with an empty byte"},
      {R"("B"=hex:0g,1)", nullptr, "", "", "binary data with a byte that is not two hexadecimal digits"},
      {R"("B"=hex:1g)", nullptr, "", "", "binary data with a byte that is not two hexadecimal digits"},
      {R"("B"=hex:001)", nullptr, "", "", "binary data with a byte that is not two hexadecimal digits"},
      {R"("E"=hex(2):25,00,00,00)", nullptr, "", "", nullptr},
      {R"("M"=hex(7):61,00,00,00,00,00)", nullptr, "", "", nullptr},
      {R"("Q"=hex(b):01,00,00,00,00,00,00,00)", nullptr, "", "", nullptr},
      {R"("X"=-)", nullptr, "", "", nullptr},
      {R"("X"=)", nullptr, "", "", "no data after the equals sign"},
      {R"("X"=word)", nullptr, "", "", "data that is no string, hex: or dword:"},
      {R"("X"=qword:01)", nullptr, "", "", "data that is no string, hex: or dword:"},
      {R"("X"~"a")", nullptr, "", "", "no equals sign after the name"},
      {R"("no closing quote)", nullptr, "", "", "name without a closing quote"},
      {R"("a\"b"="x")", "a\"b", "x", "String", nullptr},
      {R"("a\\b"="x")", "a\\b", "x", "String", nullptr},
      {R"("\\\\a\\\\\\b\\"="x")", R"(\\\\a\\\\\\b\)", "x", "String", nullptr},  // runs of 2 and 3 doubled
      {R"("a\tb"="x")", "atb", "x", "String", nullptr},
      {R"("a\nb"="x")", nullptr, "", "", "name with a line break, which a datasheet cannot hold"},
      {R"("a=b"="x")", "a=b", "x", "String", nullptr},
      {R"(@="default")", nullptr, "", "", nullptr},
      {R"(; "C"="comment")", nullptr, "", "", nullptr},
      {R"(  "I"="indented")", nullptr, "", "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    // A value after it still comes through: nothing of a malformed line spills over.
    const auto r = Parse("[" + Key + "]\r\n" + c.line + "\r\n\"Next\"=\"n\"\r\n");
    std::vector<Row> want;
    if (c.key) want.push_back({Key, c.key, c.value, c.type});
    // The line that a string ending in a backslash continues into is its own continuation.
    if (std::string_view(c.line).back() != '\\') want.push_back({Key, "Next", "n", "String"});
    EXPECT_EQ(Rows(r), want);
    const std::string name = c.line[0] == '"' ? std::string(c.line + 1, std::strcspn(c.line + 1, "\"")) : "";
    EXPECT_EQ(r.NotImported, c.why ? std::vector<std::string>{Key + "\\" + name + ": " + c.why} : std::vector<std::string>{});
  }
}

TEST(RegImport, KeysAndPaths) {
  // The first line is the header whatever it holds, so a key there is lost; a key path is the
  // text between the brackets as written, with no backslash added.
  const auto r = Parse(
      "\"Before\"=\"1\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Vendor]\r\n\"A\"=\"2\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Vendor\\Sub Key]\r\n\"B\"=\"3\"\r\n\"C\"=\"4\"\r\n");
  EXPECT_EQ(Rows(r), (std::vector<Row>{{"", "Before", "1", "String"},
                                       {"HKEY_LOCAL_MACHINE\\Software\\Vendor", "A", "2", "String"},
                                       {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Sub Key", "B", "3", "String"},
                                       {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Sub Key", "C", "4", "String"}}));
  EXPECT_EQ(Rows(ParseRegExport(Bytes("[HKEY_CURRENT_USER\\Lost]\r\n\"V\"=\"x\"\r\n"))),
            (std::vector<Row>{{"", "V", "x", "String"}}));
}

TEST(RegImport, ContinuedBinaryOverThreeLines) {
  const std::string first = "[" + Key + "]\r\n\"Bin\"=hex:01,02,03,\\\r\n  04,05,\\\r\n";
  // Still continued when the file ends: no row, but the value is named.
  const auto cut = Parse(first);
  EXPECT_TRUE(cut.Rows.empty());
  EXPECT_EQ(cut.NotImported, std::vector<std::string>{Key + "\\Bin: the file ends before its last line"});
  const auto r = Parse(first + "  06\r\n\"After\"=dword:00000007\r\n");
  EXPECT_EQ(Rows(r), (std::vector<Row>{{Key, "Bin", "hex:01,02,03,04,05,06", "Binary Data"},
                                       {Key, "After", "$00000007", "Integer"}}));
  EXPECT_TRUE(r.NotImported.empty());
}

// A continuation line loses its first two characters, whatever they are: the indent of the
// registry editor, two other characters, or the start of the data when it has no indent.
TEST(RegImport, ContinuationLinesLoseTheirFirstTwoCharacters) {
  struct Case {
    const char* lines;  // the lines after the one of "B", which ends in "01," and a backslash
    const char* value;  // nullptr: no row
    const char* why;    // what the notice says then
  };
  const Case cases[] = {
      {"  02", "hex:01,02", nullptr},
      {"XX02", "hex:01,02", nullptr},
      {"\t 02", "hex:01,02", nullptr},
      {"  02,\\\r\n\r\n--03", "hex:01,02,03", nullptr},  // an empty line in between is passed over
      {"  02,\\\r\n\\\r\n  03", "hex:01,02,03", nullptr},  // so is a line of only the backslash
      {"0b,\\\r\n\t0c", nullptr, "binary data with an empty byte"},  // 01, + "," + "c"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    const auto r = Parse("[" + Key + "]\r\n\"B\"=hex:01,\\\r\n" + c.lines + "\r\n\"After\"=\"x\"\r\n");
    std::vector<Row> want;
    if (c.value) want.push_back({Key, "B", c.value, "Binary Data"});
    want.push_back({Key, "After", "x", "String"});
    EXPECT_EQ(Rows(r), want);
    EXPECT_EQ(r.NotImported, c.why ? std::vector<std::string>{Key + "\\B: " + c.why} : std::vector<std::string>{});
  }
}

TEST(RegImport, DroppedValuesTakeTheirContinuationLinesAlong) {
  const auto r = Parse("[" + Key + "]\r\n"
                       "\"Exp\"=hex(2):25,00,53,00,\\\r\n  00,00\r\n"
                       "\"Multi\"=hex(7):61,00,\\\r\n  00,00,\\\r\n  \"Fake\"=\"x\"\r\n"
                       "@=hex:01,\\\r\n  02\r\n"
                       "; \"Comment\"=\"y\"\r\n"
                       "\"Real\"=\"z\"\r\n");
  EXPECT_EQ(Rows(r), (std::vector<Row>{{Key, "Real", "z", "String"}}));
}

TEST(RegImport, LineEnds) {
  const std::vector<Row> want = {{Key, "A", "1", "String"}, {Key, "B", "$00000002", "Integer"}};
  for (const char* nl : {"\r\n", "\n"}) {
    SCOPED_TRACE(nl == std::string("\n") ? "LF" : "CR LF");
    const std::string body = std::string("[") + Key + "]" + nl + "\"A\"=\"1\"" + nl + "\"B\"=dword:00000002";
    EXPECT_EQ(Rows(Parse(body)), want);  // the last line needs no line end
  }
  // A CR that no LF follows is dropped from the line; so is a NUL.
  using namespace std::string_literals;
  EXPECT_EQ(Rows(Parse("[" + Key + "]\r\n\"A\"=\"\r1\"\r\n\"B\"=dword:0000\0"s + "0002\r\n")), want);
}

TEST(RegImport, Utf16ExportGivesTheSameRowsAsTheEightBitOne) {
  const std::string body =
      "\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Name\"=\"Data\"\r\n\"Bin\"=hex:de,ad,\\\r\n"
      "  be,ef\r\n\"D\"=dword:deadbeef\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test\\Sub]\r\n\"E\"=\"\"\r\n"
      "\"Q\"=\"a \\\"b\\\" c:\\\\d\"\r\n";
  const auto eight = ParseRegExport(Bytes("REGEDIT4\r\n" + body));
  const auto wide = ParseRegExport(Utf16(Widen("Windows Registry Editor Version 5.00\r\n" + body)));
  ASSERT_EQ(Rows(eight).size(), 4u);
  EXPECT_EQ(Rows(wide), Rows(eight));
  // Without its byte-order mark a UTF-16 file reads the same, its NULs dropped.
  std::vector<uint8_t> noMark = Utf16(Widen("Windows Registry Editor Version 5.00\r\n" + body));
  noMark.erase(noMark.begin(), noMark.begin() + 2);
  EXPECT_EQ(Rows(ParseRegExport(noMark)), Rows(eight));
}

TEST(RegImport, Utf16CharactersBeyondTheCodePage) {
  // U+00E9 has a form in the code page and comes through; U+4E2D has none: its value, and every
  // value under a key whose name holds it, is left out and named. A code unit whose low byte is a
  // line feed (U+0A0D) neither ends a line nor turns into one.
  const std::u16string body = u"\r\n[HKEY_CURRENT_USER\\Caf\u00e9]\r\n\"N\u00e9\"=\"\u00e9t\u00e9\"\r\n"
                              u"\"Han\"=\"\u4e2d\"\r\n\"Cut\"=\"a\u0a0db\"\r\n"
                              u"[HKEY_CURRENT_USER\\\u4e2d]\r\n\"Under\"=\"x\"\r\n";
  const auto r = ParseRegExport(Utf16(u"Windows Registry Editor Version 5.00" + body));
  EXPECT_EQ(Rows(r), (std::vector<Row>{{"HKEY_CURRENT_USER\\Caf\xe9", "N\xe9", "\xe9t\xe9", "String"}}));
  ASSERT_EQ(r.NotImported.size(), 3u);
  EXPECT_NE(r.NotImported[0].find("HKEY_CURRENT_USER\\Caf\xe9\\Han"), std::string::npos);
  EXPECT_NE(r.NotImported[0].find("code page"), std::string::npos);
  EXPECT_NE(r.NotImported[1].find("\\Cut"), std::string::npos);
  EXPECT_NE(r.NotImported[2].find("\\Under"), std::string::npos);
}

TEST(RegImport, ValuesTooLongForTheSetupDataAreNamedNotCut) {
  auto hexBytes = [](int n, int first) {
    std::string s;
    for (int i = 0; i < n; ++i) {
      char b[4];
      snprintf(b, sizeof b, "%s%02X", i ? "," : "", (first + i) & 0xFF);
      s += b;
    }
    return s;
  };
  const std::string longName(256, 'n'), longText(256, 't');
  const auto r = Parse("[" + Key + "]\r\n"
                       "\"Fits\"=hex:" + hexBytes(84, 0) + "\r\n"
                       "\"Big\"=hex:" + hexBytes(85, 0) + "\r\n"
                       "\"Text255\"=\"" + std::string(255, 't') + "\"\r\n"
                       "\"Text\"=\"" + longText + "\"\r\n"
                       "\"" + longName + "\"=\"x\"\r\n"
                       "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\r\n\"Deep\"=\"x\"\r\n"
                       "[HKEY_CURRENT_USER\\" + std::string(255, 'k') + "]\r\n\"Deep255\"=\"x\"\r\n");
  ASSERT_EQ(r.Rows.size(), 3u);
  EXPECT_EQ(r.Rows[0].Key, "Fits");
  EXPECT_EQ(r.Rows[0].Value.size(), 255u);
  EXPECT_EQ(r.Rows[0].Value.substr(0, 16), "hex:00,01,02,03,");
  EXPECT_EQ(r.Rows[1].Key, "Text255");
  EXPECT_EQ(r.Rows[2].Key, "Deep255");
  ASSERT_EQ(r.NotImported.size(), 4u);
  EXPECT_EQ(r.NotImported[0], Key + "\\Big: binary data of 85 bytes, more than the 84 that fit");
  EXPECT_EQ(r.NotImported[1], Key + "\\Text: text of 256 characters, more than the 255 that fit");
  EXPECT_EQ(r.NotImported[2], Key + "\\" + longName + ": name longer than 255 characters");
  EXPECT_NE(r.NotImported[3].find("\\Deep: key path longer than 255 characters"), std::string::npos);
}

TEST(RegImport, EveryByteValueInChunksThatFit) {
  // 00..FF as four values of at most 84 bytes; the Value text is the bytes, two lower-case digits
  // each, in the export's order.
  std::string body = "[" + Key + "]\r\n";
  for (int start = 0; start < 256; start += 84) {
    body += "\"Chunk" + std::to_string(start) + "\"=hex:";
    for (int b = start; b < std::min(start + 84, 256); ++b) {
      char x[4];
      snprintf(x, sizeof x, "%02X%s", b, b + 1 < std::min(start + 84, 256) ? "," : "");
      body += x;
      if ((b - start) % 25 == 24) body += "\\\r\n  ";
    }
    body += "\r\n";
  }
  const auto r = Parse(body);
  ASSERT_EQ(r.Rows.size(), 4u);
  EXPECT_TRUE(r.NotImported.empty());
  std::vector<int> bytes;
  for (const auto& row : r.Rows) {
    ASSERT_EQ(row.Value.substr(0, 4), "hex:");
    for (size_t i = 4; i < row.Value.size(); i += 3) {
      if (i + 2 < row.Value.size()) {
        EXPECT_EQ(row.Value[i + 2], ',');
      }
      bytes.push_back(std::stoi(row.Value.substr(i, 2), nullptr, 16));
      EXPECT_EQ(row.Value.substr(i, 2), [&] {
        char x[3];
        snprintf(x, sizeof x, "%02x", bytes.back());
        return std::string(x);
      }());
    }
  }
  ASSERT_EQ(bytes.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(bytes[i], i);
}

TEST(RegImport, NoticeNamesWhatWasLeftOut) {
  EXPECT_EQ(RegImportNotice(Parse("[" + Key + "]\r\n\"A\"=\"1\"\r\n")), "");
  std::string body = "[" + Key + "]\r\n\"A\"=\"1\"\r\n";
  for (int i = 0; i < 12; ++i) body += "\"Big" + std::to_string(i) + "\"=\"" + std::string(300, 'x') + "\"\r\n";
  const std::string notice = RegImportNotice(Parse(body));
  EXPECT_EQ(notice.find("12 values were not imported"), 0u) << notice;
  EXPECT_NE(notice.find(Key + "\\Big0: "), std::string::npos);
  EXPECT_NE(notice.find(Key + "\\Big9: "), std::string::npos);
  EXPECT_EQ(notice.find("\\Big10: "), std::string::npos);
  EXPECT_NE(notice.find("... and 2 more"), std::string::npos);
  const std::string one = RegImportNotice(Parse("[" + Key + "]\r\n\"Big\"=\"" + std::string(300, 'x') + "\"\r\n"));
  EXPECT_EQ(one.find("One value was not imported"), 0u) << one;
}

// Malformed values and values too large for a setup are named in the one notice, in the file's
// order, each with its reason.
TEST(RegImport, NoticeNamesMalformedValuesAmongTheOthers) {
  const std::string notice = RegImportNotice(Parse("[" + Key + "]\r\n\"A\"=\"1\"\r\n"
                                                   "\"S\"=\"unterminated\r\n"
                                                   "\"Big\"=\"" + std::string(300, 'x') + "\"\r\n"
                                                   "\"D\"=dword:0000000g\r\n"));
  EXPECT_EQ(notice, "3 values were not imported:\r\n\r\n" + Key + "\\S: string without a closing quote\r\n" + Key +
                        "\\Big: text of 300 characters, more than the 255 that fit\r\n" + Key +
                        "\\D: dword data that is not hexadecimal\r\n\r\nAll other values were imported.");
  EXPECT_EQ(RegImportNotice(Parse("[" + Key + "]\r\n\"B\"=hex:01,,02\r\n")),
            "One value was not imported:\r\n\r\n" + Key + "\\B: binary data with an empty byte");
}

TEST(RegImport, EmptyAndHeaderOnlyFiles) {
  for (const std::string& s : {std::string(), std::string("REGEDIT4"), std::string("\xFF\xFE"),
                              std::string("\xFF\xFEW\0\r\0\n\0", 8)})
    EXPECT_TRUE(ParseRegExport(Bytes(s)).Rows.empty());
}

namespace {

std::vector<uint8_t> Fixture(const char* name) {
  std::vector<uint8_t> b;
  if (FILE* f = fopen((std::string(CV_TEST_DATA "/") + name).c_str(), "rb")) {
    int c;
    while ((c = fgetc(f)) != EOF) b.push_back(static_cast<uint8_t>(c));
    fclose(f);
  }
  return b;
}

}  // namespace

// An export written by the platform's registry editor (UTF-16), and the same text saved in 8-bit
// characters: the same rows, in the file's order.
TEST(RegImport, RegistryEditorExports) {
  const std::string k = "HKEY_CURRENT_USER\\Software\\CvImport";
  std::string bin84 = "hex:";
  for (int i = 0; i < 84; ++i) {
    char x[4];
    snprintf(x, sizeof x, "%s%02x", i ? "," : "", i * 3 & 0xFF);
    bin84 += x;
  }
  const std::vector<Row> want = {
      {k, "a\"b", "quote in name", "String"},
      {k, "All", "$ffffffff", "Integer"},
      {k, "Answer", "$0000002a", "Integer"},
      {k, "Bin", "hex:01,ab,00,ff,10", "Binary Data"},
      {k, "Bin84", bin84, "Binary Data"},
      {k, "c\\d", "backslash in name", "String"},
      {k, "Name", "Data", "String"},
      {k, "Path", "C:\\\\Program Files\\\\App\\\\", "String"},
      {k, "Quote", "say \"hi\"", "String"},
      {k + "\\Sub Key", "Inner", "x", "String"},
  };
  for (const char* name : {"regedit-utf16.reg", "regedit-ansi.reg"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> file = Fixture(name);
    ASSERT_FALSE(file.empty());
    const auto r = ParseRegExport(file);
    EXPECT_EQ(Rows(r), want);
    EXPECT_EQ(r.NotImported,
              std::vector<std::string>{k + "\\Bin100: binary data of 100 bytes, more than the 84 that fit"});
  }
}

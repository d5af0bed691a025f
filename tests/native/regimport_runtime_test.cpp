// The rows the import makes, read as the setup runtime reads them: the bytes, numbers and strings
// of the export come back, every byte value, the whole 32-bit range and every string the export's
// escapes can write included.
#include <gtest/gtest.h>

#include <string>

#include "creator/creator_regimport.h"
#include "setup/setup_core.h"
#include "setup/setup_installcore.h"

namespace {

// A machine without values: only what the texts themselves hold changes.
struct NoSources : TPlaceholderSources {
  std::string EnvVar(const std::string&) override { return {}; }
  std::string RegistryText(uint32_t, const char*, const char*) override { return {}; }
  std::string SpecialFolder(int) override { return {}; }
  bool CommonShortcuts() override { return false; }
};

// What the runtime makes of a name or of string data: its expansion.
std::string Installed(const std::string& text) {
  TAppInfoRec info{};
  NoSources src;
  return ExpandPlaceholders(text, {&info, "", ""}, src);
}

// As the registry editor writes a name or a string between its quotes.
std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

}  // namespace

TEST(RegImportAndRuntime, ValuesInstallAsExported) {
  std::string body = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n";
  std::string all;
  for (int start = 0; start < 256; start += 84) {
    body += "\"B" + std::to_string(start) + "\"=hex:";
    for (int b = start; b < 256 && b < start + 84; ++b) {
      char x[4];
      snprintf(x, sizeof x, "%s%02X", b > start ? "," : "", b);
      body += x;
      all.push_back(static_cast<char>(b));
    }
    body += "\r\n";
  }
  body += "\"Path\"=\"C:\\\\App\\\\<x>\"\r\n";  // <x> is no placeholder
  body += "\"Max\"=dword:ffffffff\r\n\"Min\"=dword:80000000\r\n\"Zero\"=dword:00000000\r\n\"Mid\"=dword:7FFFFFFF\r\n";
  const TRegImportResult r = ParseRegExport(std::vector<uint8_t>(body.begin(), body.end()));
  ASSERT_EQ(r.Rows.size(), 9u);
  std::string bytes;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(r.Rows[i].Type, "Binary Data");
    const TRegData d = ConvertRegValue(0, r.Rows[i].Value, '.');
    ASSERT_EQ(d.Kind, TRegData::Binary) << r.Rows[i].Value;
    bytes += d.Bytes;
  }
  EXPECT_EQ(bytes, all);
  const TRegData text = ConvertRegValue(4, Installed(r.Rows[4].Value), '.');
  EXPECT_EQ(text.Kind, TRegData::String);
  EXPECT_EQ(text.Bytes, "C:\\App\\<x>");
  const uint32_t want[] = {0xFFFFFFFFu, 0x80000000u, 0u, 0x7FFFFFFFu};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(r.Rows[5 + i].Type, "Integer");
    const TRegData d = ConvertRegValue(3, r.Rows[5 + i].Value, '.');
    ASSERT_EQ(d.Kind, TRegData::DWord) << r.Rows[5 + i].Value;
    EXPECT_EQ(d.Number, want[i]) << r.Rows[5 + i].Value;
  }
}

// Names and strings whatever their backslashes and quotes, each as name and as data of one value,
// in an 8-bit export and in a UTF-16 one.
TEST(RegImportAndRuntime, StringsAndNamesInstallAsExported) {
  const char* const strings[] = {
      "a\\b", "a\\\\b", "a\\\\\\b", "a\\\\\\\\b",             // runs of one to four
      "\\", "\\\\", "\\\\\\", "\\\\\\\\", "C:\\dir\\", "C:\\dir\\\\",  // alone, and at the end
      "\\\\server\\share\\dir", "\\\\?\\C:\\x",                  // network and long paths
      "say \"hi\"", "\"", "\"\"", "\\\"", "\"\\", "a\\\\\"b\\\\\"",    // quotes, beside backslashes too
      "50%", "%TEMP%\\x", "a\\tb", "<x>\\\\y",                       // what looks like escapes and tokens
  };
  for (const char* s : strings) {
    SCOPED_TRACE(s);
    const std::string body = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n\"" + Escaped(s) + "\"=\"" +
                             Escaped(s) + "\"\r\n";
    std::vector<uint8_t> utf16 = {0xFF, 0xFE};
    for (char c : body) utf16.insert(utf16.end(), {static_cast<uint8_t>(c), 0});
    for (const std::vector<uint8_t>& file : {std::vector<uint8_t>(body.begin(), body.end()), utf16}) {
      const TRegImportResult r = ParseRegExport(file);
      ASSERT_EQ(r.Rows.size(), 1u);
      EXPECT_EQ(Installed(r.Rows[0].Key), s);
      EXPECT_EQ(Installed(r.Rows[0].Value), s);
    }
  }
}

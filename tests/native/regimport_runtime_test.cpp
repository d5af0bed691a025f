// The rows the import makes, read as the setup runtime reads them: the bytes and numbers of the
// export come back, every byte value and the whole 32-bit range included.
#include <gtest/gtest.h>

#include <string>

#include "creator/creator_regimport.h"
#include "setup/setup_installcore.h"

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
  body += "\"Path\"=\"C:\\\\App\\\\<x>\"\r\n";
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
  const TRegData text = ConvertRegValue(4, r.Rows[4].Value, '.');
  EXPECT_EQ(text.Kind, TRegData::String);
  EXPECT_EQ(text.Bytes, "C:\\App\\<x>");  // the export's escapes undone
  const uint32_t want[] = {0xFFFFFFFFu, 0x80000000u, 0u, 0x7FFFFFFFu};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(r.Rows[5 + i].Type, "Integer");
    const TRegData d = ConvertRegValue(3, r.Rows[5 + i].Value, '.');
    ASSERT_EQ(d.Kind, TRegData::DWord) << r.Rows[5 + i].Value;
    EXPECT_EQ(d.Number, want[i]) << r.Rows[5 + i].Value;
  }
}

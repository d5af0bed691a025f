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
  body += "\"Max\"=dword:ffffffff\r\n\"Min\"=dword:80000000\r\n\"Zero\"=dword:00000000\r\n\"Mid\"=dword:7FFFFFFF\r\n";
  const TRegImportResult r = ParseRegExport(std::vector<uint8_t>(body.begin(), body.end()));
  ASSERT_EQ(r.Rows.size(), 8u);
  std::string bytes;
  for (int i = 0; i < 4; ++i) {
    std::string chunk;
    ASSERT_TRUE(BinaryValueBytes(r.Rows[i].Value, chunk)) << r.Rows[i].Value;
    bytes += chunk;
  }
  EXPECT_EQ(bytes, all);
  const uint32_t want[] = {0xFFFFFFFFu, 0x80000000u, 0u, 0x7FFFFFFFu};
  for (int i = 0; i < 4; ++i) {
    int32_t v = 0;
    ASSERT_TRUE(ParseInteger(r.Rows[4 + i].Value, v)) << r.Rows[4 + i].Value;
    EXPECT_EQ(static_cast<uint32_t>(v), want[i]) << r.Rows[4 + i].Value;
  }
}

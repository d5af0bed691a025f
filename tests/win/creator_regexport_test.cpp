// Exports written by the platform's own registry editor, read back: values set through the
// registry functions come out as the rows that install them again, every byte value included.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "creator/creator_regimport.h"

namespace {

const char* const TestKey = "Software\\CvRegExportTest";

std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

// Runs the registry editor's export of the test key into path; true when it wrote the file.
bool Export(const std::string& path) {
  DeleteFileA(path.c_str());
  std::string cmd = "regedit.exe /e \"" + path + "\" \"HKEY_CURRENT_USER\\" + TestKey + "\"";
  STARTUPINFOA si{sizeof si};
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<uint8_t> FromHexValue(const std::string& value) {
  std::vector<uint8_t> b;
  for (size_t i = 4; i + 1 < value.size(); i += 3) b.push_back(static_cast<uint8_t>(std::stoul(value.substr(i, 2), nullptr, 16)));
  return b;
}

class RegistryEditorExport : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, TestKey);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, TestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Key, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(Key);
    RegDeleteKeyA(HKEY_CURRENT_USER, TestKey);
  }
  void SetBinary(const char* name, const std::vector<uint8_t>& b) {
    ASSERT_EQ(RegSetValueExA(Key, name, 0, REG_BINARY, b.data(), static_cast<DWORD>(b.size())), ERROR_SUCCESS);
  }
  void SetString(const char* name, const std::string& s, DWORD type = REG_SZ) {
    ASSERT_EQ(RegSetValueExA(Key, name, 0, type, reinterpret_cast<const BYTE*>(s.c_str()),
                             static_cast<DWORD>(s.size() + 1)),
              ERROR_SUCCESS);
  }
  void SetDword(const char* name, DWORD v) {
    ASSERT_EQ(RegSetValueExA(Key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4), ERROR_SUCCESS);
  }
  HKEY Key = nullptr;
};

}  // namespace

TEST_F(RegistryEditorExport, ValuesComeBackAsTheyWereSet) {
  // Every byte value in chunks that fit, and one chunk too many for a field.
  std::vector<std::vector<uint8_t>> chunks;
  for (int start = 0; start < 256; start += 84) {
    std::vector<uint8_t> c;
    for (int b = start; b < 256 && b < start + 84; ++b) c.push_back(static_cast<uint8_t>(b));
    chunks.push_back(c);
    char name[16];
    snprintf(name, sizeof name, "Bytes%03d", start);  // the editor lists values by name
    SetBinary(name, c);
  }
  SetBinary("TooBig", std::vector<uint8_t>(85, 0x5A));
  SetDword("Max", 0xFFFFFFFF);
  SetDword("Small", 42);
  SetString("Path", "C:\\Program Files\\App\\");
  SetString("Said \"so\"", "a \"quoted\" word");
  SetString("Caf\xE9", "\xE9t\xE9");
  SetString("Expand", "%SystemRoot%\\some\\rather\\long\\folder\\path\\to\\wrap\\over\\lines", REG_EXPAND_SZ);
  SetString("Last", "x");

  const std::string file = TempPath("cv-regexport.reg");
  ASSERT_TRUE(Export(file));
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadRegExportFile(file, bytes, error)) << error;
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);  // the editor writes UTF-16
  EXPECT_EQ(bytes[1], 0xFE);
  const TRegImportResult r = ParseRegExport(bytes, AnsiFromWide);

  const std::string path = std::string("HKEY_CURRENT_USER\\") + TestKey;
  std::vector<std::vector<uint8_t>> gotChunks;
  std::vector<std::string> got;
  for (const TRegImportRow& row : r.Rows) {
    EXPECT_EQ(row.Path, path);
    if (row.Key.rfind("Bytes", 0) == 0) {
      EXPECT_EQ(row.Type, "Binary Data");
      gotChunks.push_back(FromHexValue(row.Value));
    } else {
      got.push_back(row.Key + "|" + row.Value + "|" + row.Type);
    }
  }
  EXPECT_EQ(gotChunks, chunks);
  EXPECT_EQ(got, (std::vector<std::string>{"Caf\xE9|\xE9t\xE9|String", "Last|x|String", "Max|$ffffffff|Integer",
                                           "Path|C:\\\\Program Files\\\\App\\\\|String",
                                           "Said \"so\"|a \"quoted\" word|String", "Small|$0000002a|Integer"}));
  EXPECT_EQ(r.NotImported,
            std::vector<std::string>{path + "\\TooBig: binary data of 85 bytes, more than the 84 that fit"});

  // The same export saved as 8-bit text gives the same rows.
  std::u16string wide;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) wide.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
  std::string ansi;
  ASSERT_TRUE(AnsiFromWide(wide, ansi));
  const TRegImportResult r8 = ParseRegExport(std::vector<uint8_t>(ansi.begin(), ansi.end()), AnsiFromWide);
  ASSERT_EQ(r8.Rows.size(), r.Rows.size());
  for (size_t i = 0; i < r.Rows.size(); ++i) {
    EXPECT_EQ(r8.Rows[i].Key, r.Rows[i].Key);
    EXPECT_EQ(r8.Rows[i].Value, r.Rows[i].Value);
  }
  DeleteFileA(file.c_str());
}

TEST(RegExportFile, AFileThatCannotBeReadGivesTheSystemsReason) {
  std::vector<uint8_t> bytes{1};
  std::string error;
  EXPECT_FALSE(ReadRegExportFile(TempPath("no such folder\\x.reg"), bytes, error));
  EXPECT_TRUE(bytes.empty());
  EXPECT_NE(error.find("no such folder\\x.reg"), std::string::npos) << error;
  EXPECT_GT(error.size(), TempPath("no such folder\\x.reg").size() + 20) << error;
}

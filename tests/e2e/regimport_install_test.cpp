// The road of a registry export: values exported by the registry editor, imported into rows,
// built by the creator into a package, and installed by setup.exe unattended. The registry then
// holds the exported values, byte for byte.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "creator/creator_compiler.h"
#include "creator/creator_regimport.h"
#include "tests/e2e/child_process.h"
#include "tests/win/test_support.h"

namespace {

const char* const Source = "Software\\CvRoadSource";
const char* const Installed = "Software\\CvRoadInstalled";

struct TValue {
  std::string Name;
  DWORD Type;
  std::string Bytes;
};

std::vector<TValue> Values(const char* key) {
  std::vector<TValue> values;
  HKEY k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return values;
  for (DWORD i = 0;; ++i) {
    char name[256];
    BYTE data[1024];
    DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
    if (RegEnumValueA(k, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
    values.push_back({name, type, std::string(reinterpret_cast<char*>(data), dataSize)});
  }
  RegCloseKey(k);
  std::sort(values.begin(), values.end(), [](const TValue& a, const TValue& b) { return a.Name < b.Name; });
  return values;
}

using testsupport::RemoveTree;

// The uninstall entries whose key names hold the title.
void RemoveUninstallEntries(const std::string& title) {
  const std::string base = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, base.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
  std::vector<std::string> names;
  char name[256];
  for (DWORD i = 0; RegEnumKeyA(k, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    if (std::string(name).find(title) != std::string::npos) names.push_back(name);
  RegCloseKey(k);
  for (const std::string& n : names) RegDeleteKeyA(HKEY_LOCAL_MACHINE, (base + n).c_str());
}

// The creator's side: the wizard as plain values, the creator's directory the programs' own.
struct Host : testsupport::TPlainBuildHost {
  Host() {
    Title = "CvRoad";
    WebOn = false;
  }
};

}  // namespace

TEST(ImportedValues, InstallAsTheyWereExported) {
  const std::string root = testsupport::FreshTestDir("road");
  RegDeleteKeyA(HKEY_CURRENT_USER, Source);
  RegDeleteKeyA(HKEY_CURRENT_USER, Installed);

  // Every byte value, in chunks that fit; the whole double-word range; strings with the characters
  // the export escapes.
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Source, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  for (int start = 0; start < 256; start += 84) {
    std::string chunk;
    for (int b = start; b < 256 && b < start + 84; ++b) chunk.push_back(static_cast<char>(b));
    const std::string name = "Bytes" + std::to_string(1000 + start);
    RegSetValueExA(k, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(chunk.data()),
                   static_cast<DWORD>(chunk.size()));
  }
  for (DWORD v : {0xFFFFFFFFu, 0x80000000u, 42u}) {
    const std::string name = "Number" + std::to_string(v);
    RegSetValueExA(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
  }
  for (const char* s : {"C:\\Program Files\\App\\", "say \"hi\"", "caf\xE9"}) {
    const std::string name = std::string("Text ") + s;
    RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(s), static_cast<DWORD>(strlen(s) + 1));
  }
  RegCloseKey(k);
  const std::vector<TValue> exported = Values(Source);
  ASSERT_EQ(exported.size(), 10u);

  // The registry editor's export, imported.
  const std::string reg = root + "source.reg";
  std::string cmd = "regedit.exe /e \"" + reg + "\" \"HKEY_CURRENT_USER\\" + Source + "\"";
  TChildRun edit = RunChild(cmd);
  ASSERT_TRUE(edit.Started);
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadRegExportFile(reg, bytes, error)) << error;
  const TRegImportResult imported = ParseRegExport(bytes, AnsiFromWide);
  EXPECT_TRUE(imported.NotImported.empty());
  ASSERT_EQ(imported.Rows.size(), exported.size());

  // Built into a package, under another key.
  ui::Init();
  Host host;
  host.Dir = ProgramDir() + "..\\..\\dist\\";
  host.Out = root + "out";
  host.Project.Info.AppTitle = "CvRoad";
  host.Project.Info.AppVersion = "1.0";
  host.Project.Packages = {"Required Files"};
  const std::string file = root + "readme.txt";
  HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(f);
  host.Project.Files.push_back({"<InstallRoot>\\readme.txt", file, "Required Files"});
  const std::string from = std::string("HKEY_CURRENT_USER\\") + Source;
  for (const TRegImportRow& row : imported.Rows) {
    ASSERT_EQ(row.Path, from);
    host.Project.Registry.push_back({std::string("HKEY_CURRENT_USER\\") + Installed, row.Key, row.Value, row.Type});
  }
  ASSERT_TRUE(testsupport::RunBuild(host));
  ASSERT_EQ(host.Report.back(), "Compiling done, everything seems to be alright") << host.Report.back();

  // Installed unattended.
  const std::string cd = root + "out\\CvRoad\\CD-ROM\\";
  TChildRun setup = RunChild("\"" + cd + "setup.exe\" /u \"/d:" + root + "installed\"", {}, 30000);
  ASSERT_TRUE(setup.Started);
  EXPECT_FALSE(setup.TimedOut);
  EXPECT_TRUE(setup.Boxes.empty()) << setup.Boxes[0].Text;
  const std::vector<TValue> installed = Values(Installed);
  ASSERT_EQ(installed.size(), exported.size());
  for (size_t i = 0; i < exported.size(); ++i) {
    SCOPED_TRACE(exported[i].Name);
    EXPECT_EQ(installed[i].Name, exported[i].Name);
    EXPECT_EQ(installed[i].Type, exported[i].Type);
    EXPECT_EQ(installed[i].Bytes, exported[i].Bytes);
  }

  RegDeleteKeyA(HKEY_CURRENT_USER, Source);
  RegDeleteKeyA(HKEY_CURRENT_USER, Installed);
  RemoveUninstallEntries("CvRoad");
  RemoveTree(root);
}

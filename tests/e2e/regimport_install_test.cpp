// The road of a registry export: values set with the platform's reg tool, exported by its registry
// editor (UTF-16, and the same export in 8-bit characters), imported into rows, built by the creator
// into a package, and installed by setup.exe unattended. The registry then holds the exported
// values, as reg query shows them and byte for byte.
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
  bool operator==(const TValue&) const = default;
};

void PrintTo(const TValue& v, std::ostream* os) { *os << "{" << v.Name << " | " << v.Type << " | " << v.Bytes << "}"; }

std::vector<TValue> Values(const std::string& key) {
  std::vector<TValue> values;
  HKEY k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return values;
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

// One argument of a command line, as the runtime library's parser takes it apart again.
std::string Arg(const std::string& s) {
  std::string out = "\"";
  size_t slashes = 0;
  for (char c : s) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    out.push_back(c);
  }
  return out.append(slashes * 2, '\\') + "\"";
}

// Runs commandLine with its standard output into a file; its exit code, -1 when it did not start.
int RunTool(const std::string& commandLine, const std::string& outputFile, std::string* output = nullptr) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return -1;
  STARTUPINFOA si{sizeof si};
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = INVALID_HANDLE_VALUE;
  si.hStdOutput = si.hStdError = out;
  PROCESS_INFORMATION pi{};
  std::string cmd = commandLine;
  const bool started = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(out);
  if (!started) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = ~0u;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (output) *output = testsupport::ReadAll(outputFile);
  return static_cast<int>(code);
}

// The value lines of reg query's listing of a key: name, type and data as the tool shows them.
std::vector<std::string> Query(const std::string& key, const std::string& outputFile) {
  std::string text;
  EXPECT_EQ(RunTool("reg.exe query " + Arg("HKEY_CURRENT_USER\\" + key), outputFile, &text), 0) << text;
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("    ", 0) == 0) lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

void DeleteKey(const std::string& key) {
  RegDeleteKeyA(HKEY_CURRENT_USER, (key + "\\utf16").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, (key + "\\8-bit").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

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

// The registry editor's 8-bit form of a UTF-16 export: the same lines in the ANSI code page under
// its own header, as the editor writes them when asked for that form (its command line only
// writes UTF-16).
std::vector<uint8_t> EightBit(const std::vector<uint8_t>& utf16) {
  std::u16string wide;
  for (size_t i = 2; i + 1 < utf16.size(); i += 2) wide.push_back(static_cast<char16_t>(utf16[i] | utf16[i + 1] << 8));
  std::string ansi;
  EXPECT_TRUE(AnsiFromWide(wide, ansi));
  const std::string header = "Windows Registry Editor Version 5.00";
  EXPECT_EQ(ansi.rfind(header, 0), 0u);
  ansi.replace(0, header.size(), "REGEDIT4");
  return {ansi.begin(), ansi.end()};
}

}  // namespace

TEST(ImportedValues, InstallAsTheyWereExported) {
  const std::string root = testsupport::FreshTestDir("road");
  const std::string out = root + "reg-output.txt";
  DeleteKey(Source);
  DeleteKey(Installed);

  // Strings with every run of backslashes and the quotes the export escapes, as data and as names;
  // every byte value, in chunks that fit; the whole double-word range.
  const std::string strings[] = {
      "\\\\server\\share\\dir", "a\\\\b", "one\\two", "two\\\\x", "three\\\\\\x", "four\\\\\\\\x",
      "C:\\Program Files\\App\\", "C:\\dir\\\\", "\\", "say \"hi\"", "\"", "\\\"\\\\\"",
      "caf\xE9", "50% <x> %TEMP%",
  };
  std::vector<TValue> wanted;
  const std::string source = std::string("HKEY_CURRENT_USER\\") + Source;
  auto add = [&](const std::string& name, const char* type, const std::string& data) {
    SCOPED_TRACE(name);
    std::string text;
    EXPECT_EQ(RunTool("reg.exe add " + Arg(source) + " /v " + Arg(name) + " /t " + type + " /d " + Arg(data) + " /f", out,
                  &text),
              0)
        << text;
  };
  int n = 0;
  for (const std::string& s : strings) {
    const std::string name = "S" + std::to_string(10 + n++) + " " + s;
    add(name, "REG_SZ", s);
    wanted.push_back({name, REG_SZ, s + '\0'});
  }
  for (int start = 0; start < 256; start += 84) {
    std::string hex, bytes;
    for (int b = start; b < 256 && b < start + 84; ++b) {
      char x[3];
      snprintf(x, sizeof x, "%02X", b);
      hex += x;
      bytes.push_back(static_cast<char>(b));
    }
    const std::string name = "Bytes" + std::to_string(1000 + start);
    add(name, "REG_BINARY", hex);
    wanted.push_back({name, REG_BINARY, bytes});
  }
  for (DWORD v : {0xFFFFFFFFu, 0x80000000u, 42u}) {
    const std::string name = "Number" + std::to_string(v);
    add(name, "REG_DWORD", std::to_string(v));
    wanted.push_back({name, REG_DWORD, std::string(reinterpret_cast<const char*>(&v), 4)});
  }
  std::sort(wanted.begin(), wanted.end(), [](const TValue& a, const TValue& b) { return a.Name < b.Name; });
  ASSERT_EQ(Values(Source), wanted);  // the reg tool took them as meant

  // The registry editor's export, and its 8-bit form, imported.
  const std::string reg = root + "source.reg";
  ASSERT_EQ(RunTool("regedit.exe /e " + Arg(reg) + " " + Arg(source), out), 0);
  std::vector<uint8_t> utf16;
  std::string error;
  ASSERT_TRUE(ReadRegExportFile(reg, utf16, error)) << error;
  ASSERT_GE(utf16.size(), 2u);
  ASSERT_EQ(utf16[0], 0xFF);

  // Built into one package, each form under a key of its own.
  ui::Init();
  Host host;
  host.Dir = ProgramDir() + "..\\..\\dist\\";
  host.Out = root + "out";
  host.Project.Info.AppTitle = "CvRoad";
  host.Project.Info.AppVersion = "1.0";
  host.Project.Packages = {"Required Files"};
  const std::string file = root + "readme.txt";
  testsupport::WriteAll(file, "");
  host.Project.Files.push_back({"<InstallRoot>\\readme.txt", file, "Required Files"});
  const std::string forms[] = {"utf16", "8-bit"};
  for (const std::string& form : forms) {
    SCOPED_TRACE(form);
    const TRegImportResult imported = ParseRegExport(form == "utf16" ? utf16 : EightBit(utf16), AnsiFromWide);
    EXPECT_TRUE(imported.NotImported.empty()) << RegImportNotice(imported);
    ASSERT_EQ(imported.Rows.size(), wanted.size());
    for (const TRegImportRow& row : imported.Rows) {
      ASSERT_EQ(row.Path, source);
      host.Project.Registry.push_back(
          {std::string("HKEY_CURRENT_USER\\") + Installed + "\\" + form, row.Key, row.Value, row.Type});
    }
  }
  ASSERT_TRUE(testsupport::RunBuild(host));
  ASSERT_EQ(host.Report.back(), "Compiling done, everything seems to be alright") << host.Report.back();

  // Installed unattended; then each form's key holds what the source key holds.
  const std::string cd = root + "out\\CvRoad\\CD-ROM\\";
  TChildRun setup = RunChild("\"" + cd + "setup.exe\" /u \"/d:" + root + "installed\"", {}, 30000);
  ASSERT_TRUE(setup.Started);
  EXPECT_FALSE(setup.TimedOut);
  EXPECT_EQ(setup.ExitCode, 0u);
  EXPECT_TRUE(setup.Boxes.empty()) << setup.Boxes[0].Text;
  const std::vector<std::string> shown = Query(Source, out);
  ASSERT_EQ(shown.size(), wanted.size());
  for (const std::string& form : forms) {
    SCOPED_TRACE(form);
    const std::string key = std::string(Installed) + "\\" + form;
    EXPECT_EQ(Query(key, out), shown);
    EXPECT_EQ(Values(key), wanted);
  }

  DeleteKey(Source);
  DeleteKey(Installed);
  RemoveUninstallEntries("CvRoad");
  testsupport::RemoveTree(root);
}

// Two projects whose datasheets the tests hold to the bytes that the profile service wrote for
// them, one key at a time (data/large.sds, data/awkward.sds): a large one, and one of awkward
// texts. Both come back from the wizard's controls as they went in.
#pragma once
#include <string>

#include "creator/creator_datasheet.h"

namespace testprojects {

// files file rows in two packages, one registry row per 40 files, one shortcut per 100, and a few
// DLLs, commands and packages.
inline datasheet::TDatasheet Large(int files = 2000) {
  datasheet::TDatasheet d;
  d.Name = "Large Project";
  d.Version = "3.1.4";
  d.Company = "Scale Works";
  d.Homepage = "http://example.org/large/";
  d.Destination = "<ProgramFiles>\\<AppName>";
  d.PackageDest = "C:\\My Setups";
  d.CAV = true;
  d.CDDVD = d.Compression = true;
  d.All = true;
  d.Custom = false;
  for (int n = 0; n < files; ++n) {
    const std::string path = "dir" + std::to_string(n / 250) + "\\file" + std::to_string(n) + ".dat";
    d.Files.push_back({"<InstallRoot>\\" + path, "C:\\Projects\\Large\\" + path, n % 3 ? "Required Files" : "Extras"});
  }
  for (int n = 0; n < files / 40; ++n)
    d.Registry.push_back({"HKEY_CURRENT_USER\\Software\\Large\\Key" + std::to_string(n / 10) + "\\",
                          "Value" + std::to_string(n), "<InstallRoot>\\data" + std::to_string(n),
                          n % 2 ? "String" : "Integer"});
  for (int n = 0; n < files / 100; ++n)
    d.Shortcuts.push_back({"<StartMenu>\\<AppName>", "Tool " + std::to_string(n),
                           "<InstallRoot>\\tool" + std::to_string(n) + ".exe", n % 2 ? "/run" : "",
                           n % 2 ? "<InstallRoot>\\tool" + std::to_string(n) + ".exe" : "", std::to_string(n % 4)});
  d.Dlls = {"<SystemRoot>\\large1.dll", "<InstallRoot>\\large2.ocx"};
  d.PostInstall = {"<InstallRoot>\\first-run.exe /q"};
  d.PreUninstall = {"<InstallRoot>\\cleanup.exe"};
  d.Packages = {"Required Files", "Extras"};
  return d;
}

// Quotes of both kinds at either end or alone, "=", ";" and "[...]" in values, blanks at the ends,
// a tab, characters above 127, a line break inside a value, a value of 5,000 characters, empty
// texts, the icon index in every form the "#" column can hold, and a custom system choice.
inline datasheet::TDatasheet Awkward() {
  datasheet::TDatasheet d;
  d.Name = "\"Quoted Title\"";
  d.Version = "'1.0'";
  d.Company = "\"";
  d.Homepage = "http://example.org/?a=1&b=\"2\"";
  d.ShowLicense = true;
  d.LicenseFile = "  C:\\Licence Files\\licence.rtf  ";
  d.Reboot = true;
  d.Destination = "; not a comment";
  d.PackageDest = std::string(5000, 'p') + "\\end";
  d.A = true;
  d.Web = true;
  d.All = false;
  d.Custom = true;
  d.Systems = {true, false, true, false, false, true, true, false};
  d.Files = {{"[FILELIST]", "C:\\src\\caf\xe9 \x81\x8d\x8f\x90\x9d\xff.txt", "Extras"},
             {"", "", ""},
             {"<InstallRoot>\\key=value.txt", "\t C:\\src\\tab.txt", "\"Required Files\""}};
  d.Registry = {{"HKEY_LOCAL_MACHINE\\Software\\Odd\\", "=", "line one\r\nline two", "String"},
                {"HKEY_USERS\\.DEFAULT\\", "'", "''", "Binary Data"}};
  d.Shortcuts = {{"<Desktop>", "Hex", "t", "", "", "$10"},   {"<Desktop>", "Word", "t", "", "", "word"},
                 {"<Startup>", "Minus", "t", "", "", "-3"},  {"<Startup>", "Empty", "t", "", "", ""},
                 {"<Programs>", "Big", "t", "", "", "2147483648"}, {"<Programs>", "0x", "t", "p", "i", "0X1f"}};
  d.Dlls = {"<SystemRoot>\\with blanks.dll "};
  d.PostInstall = {"", "\"\"", "cmd /c \"echo ;x=y\""};
  d.PreUninstall = {" "};
  d.Packages = {"Required Files", "", "Extras", "Required Files"};
  return d;
}

}  // namespace testprojects

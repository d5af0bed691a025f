// make_install_package DIR TITLE raw|compressed [bench]: writes a package (setup.dat, data.pak)
// into DIR. The end-to-end run's package: three files (two in subdirectories), registry values of
// four kinds, a desktop and a programs shortcut, a post-installation command and two
// pre-uninstallation commands. With bench: 200 files of 500,000 bytes of text-like data and
// nothing else, and beside the package bench_raw.bin, the files' bytes one after the other.
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/win/install_fixture.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: make_install_package DIR TITLE raw|compressed [bench]\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '\\') dir += '\\';
  fixture::TPackage p(argv[2]);
  p.AppInfo.CompressData = std::strcmp(argv[3], "compressed") == 0;
  if (argc == 5 && std::strcmp(argv[4], "bench") == 0) {
    static const char* const words[] = {"setup", "file", "the", "install", "registry", "value",
                                         "of", "a", "package", "window", "data", "and", "log"};
    uint32_t seed = 1;
    std::string all;
    for (int i = 0; i < 200; ++i) {
      std::string bytes;
      while (bytes.size() < 500000) {
        seed = seed * 134775813u + 1u;
        bytes += words[(seed >> 16) % 13];
        bytes += (seed >> 8) % 11 == 0 ? "\r\n" : " ";
        if ((seed >> 4) % 7 == 0) bytes += std::to_string(seed % 100000);
      }
      bytes.resize(500000);
      all += bytes;
      p.Files.push_back({"<InstallRoot>\\part" + std::to_string(i / 50) + "\\file" + std::to_string(i) + ".dat",
                         "Required Files", std::move(bytes)});
    }
    p.Write(dir);
    fixture::WriteFile(dir + "bench_raw.bin", all);
    return 0;
  }
  p.AppInfo.HasDesktopShortcut = 1;
  p.AppInfo.HasStartMenuShortcut = 1;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i) + " of the read-me\r\n";
  p.Files = {{"<InstallRoot>\\readme.txt", "Required Files", text},
             {"<InstallRoot>\\bin\\tool.exe", "Required Files", "MZ not really a program"},
             {"<InstallRoot>\\bin\\data\\table.bin", "Required Files", std::string("\0\1\2\3\xfe\xff", 6)}};
  const uint32_t hkcu = 0x80000001u;
  std::string key = "Software\\<AppName>";
  p.RegValues = {fixture::Reg(hkcu, key, "Path", "<InstallRoot>", 4),
                 fixture::Reg(hkcu, key, "Count", "42", 3),
                 fixture::Reg(hkcu, key, "Enabled", "1", 1),
                 fixture::Reg(hkcu, key, "Blob", "hex:de,ad,BE,ef", 0)};
  p.Shortcuts = {fixture::Link("<Desktop>", "<InstallRoot>\\bin\\tool.exe", "<AppName> Tool", "/quiet"),
                 fixture::Link("<Programs>\\<AppName>", "<InstallRoot>\\readme.txt", "Read Me", "", true,
                               "<InstallRoot>\\bin\\tool.exe", 2)};
  p.PostInstall = {"cmd.exe /c echo done> \"<InstallRoot>\\post.txt\""};
  p.PreUninstall = {"first <AppName>", "second"};
  p.Write(dir);
  return 0;
}

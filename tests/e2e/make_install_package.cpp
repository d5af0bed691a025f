// make_install_package DIR TITLE raw|compressed [bench|scale|hold|fill:BYTES]: writes a package
// (setup.dat, data.pak) into DIR with the creator's own writers, from a project as the wizard holds
// it. The end-to-end run's package: three files (two in subdirectories), registry values of four
// kinds, a desktop and a programs shortcut, a post-installation command and two
// pre-uninstallation commands.
//   bench: 200 files of 500,000 bytes of text-like data and nothing else, and beside the package
//          bench_raw.bin, the files' bytes one after the other.
//   scale: 3,000 files of 1 to 4 KiB of text-like data in 30 folders and nothing else, and beside
//          the package the same files as a tree in the folder tree, for a plain copy to set beside
//          the installation.
//   hold:  the same package, whose post-installation commands first run waitfor.exe (beside
//          setup.exe) with "<InstallRoot>\waiting" and "<InstallRoot>\go", so the installation's
//          last step stays open until the test lets it go.
//   fill:  big.bin of BYTES bytes, then 40 empty files whose names are 186 characters long, and
//          nothing else: installed into a drive with BYTES + 4096 bytes free, big.bin leaves the
//          uninstall log its first 4 KiB, and the log lines of the empty files run past them.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "creator/datapak.h"
#include "creator/setupdat.h"

namespace {

class TMemReader : public ByteReader {
 public:
  explicit TMemReader(const std::string& bytes) : Bytes(bytes) {}
  size_t Read(void* buffer, size_t size) override {
    size_t n = std::min(size, Bytes.size() - At);
    std::memcpy(buffer, Bytes.data() + At, n);
    At += n;
    return n;
  }

 private:
  const std::string& Bytes;
  size_t At = 0;
};

class TMemWriter : public ByteWriter {
 public:
  explicit TMemWriter(::Bytes& out) : Out(out) {}
  void Write(const void* data, size_t size) override {
    const auto* p = static_cast<const uint8_t*>(data);
    Out.insert(Out.end(), p, p + size);
  }

 private:
  ::Bytes& Out;
};

bool Save(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// Text-like bytes that compress about four to one.
std::string BenchBytes(uint32_t& seed, size_t size = 500000) {
  static const char* const words[] = {"setup", "file", "the", "install", "registry", "value", "of",
                                      "a", "package", "window", "data", "and", "log"};
  std::string bytes;
  while (bytes.size() < size) {
    seed = seed * 134775813u + 1u;
    bytes += words[(seed >> 16) % 13];
    bytes += (seed >> 8) % 11 == 0 ? "\r\n" : " ";
    if ((seed >> 4) % 7 == 0) bytes += std::to_string(seed % 100000);
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: make_install_package DIR TITLE raw|compressed [bench|scale|hold|fill:BYTES]\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '\\') dir += '\\';
  const std::string mode = argc == 5 ? argv[4] : "";
  const bool bench = mode == "bench";
  const bool scale = mode == "scale";

  BuildProject project;
  project.Info.AppTitle = argv[2];
  project.Info.AppVersion = "1.0";
  project.Info.Company = "Fixture Works";
  project.Info.RadioButton3 = false;  // announced by its title alone
  project.Info.RadioButton6 = true;
  project.Info.CompressData = std::strcmp(argv[3], "compressed") == 0;
  project.Packages = {"Required Files"};
  std::vector<std::string> contents;
  std::vector<std::string> tree;  // scale: each file's path in the tree
  if (bench) {
    uint32_t seed = 1;
    for (int i = 0; i < 200; ++i) {
      contents.push_back(BenchBytes(seed));
      project.Files.push_back({"<InstallRoot>\\part" + std::to_string(i / 50) + "\\file" + std::to_string(i) + ".dat",
                               "file" + std::to_string(i) + ".dat", "Required Files"});
    }
  } else if (mode.starts_with("fill:")) {
    contents = {std::string(std::stoul(mode.substr(5)), 'f')};
    project.Files = {{"<InstallRoot>\\big.bin", "big.bin", "Required Files"}};
    for (int i = 10; i < 50; ++i) {
      contents.push_back("");
      const std::string name = std::string(180, 'n') + std::to_string(i) + ".txt";
      project.Files.push_back({"<InstallRoot>\\" + name, name, "Required Files"});
    }
  } else if (scale) {
    uint32_t seed = 1;
    for (int i = 0; i < 3000; ++i) {
      seed = seed * 134775813u + 1u;
      contents.push_back(BenchBytes(seed, 1024 + (seed >> 8) % 3073));
      const std::string name = "file" + std::to_string(i) + ".txt";
      tree.push_back("folder" + std::to_string(i / 100) + "\\" + name);
      project.Files.push_back({"<InstallRoot>\\" + tree.back(), name, "Required Files"});
    }
  } else {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i) + " of the read-me\r\n";
    contents = {text, "MZ not really a program", std::string("\0\1\2\3\xfe\xff", 6)};
    project.Files = {{"<InstallRoot>\\readme.txt", "readme.txt", "Required Files"},
                     {"<InstallRoot>\\bin\\tool.exe", "tool.exe", "Required Files"},
                     {"<InstallRoot>\\bin\\data\\table.bin", "table.bin", "Required Files"}};
    const std::string key = "HKEY_CURRENT_USER\\Software\\<AppName>";
    project.Registry = {{key, "Path", "<InstallRoot>", "String"},
                        {key, "Count", "42", "Integer"},
                        {key, "Enabled", "1", "Boolean"},
                        {key, "Blob", "hex:de,ad,BE,ef", "Binary Data"}};
    project.Shortcuts = {{"<Desktop>", "<AppName> Tool", "<InstallRoot>\\bin\\tool.exe", "/quiet", "", ""},
                         {"<Programs>\\<AppName>", "Read Me", "<InstallRoot>\\readme.txt", "",
                          "<InstallRoot>\\bin\\tool.exe", "2"}};
    project.PIList = {"cmd.exe /c echo done> \"<InstallRoot>\\post.txt\""};
    if (mode == "hold")
      project.PIList.insert(project.PIList.begin(), "waitfor.exe \"<InstallRoot>\\waiting\" \"<InstallRoot>\\go\"");
    project.PUIList = {"first <AppName>", "second"};
  }
  for (const std::string& problem : CheckProject(project)) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }

  try {
    const std::string uninstaller = "MZ uninstaller stand-in";
    Bytes dat, pak;
    AppendRecord(dat, MakeAppInfo(project.Info, project.Shortcuts, static_cast<int32_t>(uninstaller.size())));
    AppendPackageList(dat, project.Packages);
    AppendRegistryList(dat, project.Registry);
    AppendShortcutList(dat, project.Shortcuts);
    AppendDllList(dat, project.DllList);
    AppendCommandLists(dat, project.PIList, project.PUIList);
    const int32_t count = static_cast<int32_t>(project.Files.size());
    AppendRecord(dat, count);

    TMemWriter datOut(dat), pakOut(pak);
    DataPackager packager(project.Info.CompressData);
    TMemReader head(uninstaller);
    packager.AddUninstaller(head, static_cast<int64_t>(uninstaller.size()), "cv2uinst.exe", pakOut);
    for (size_t i = 0; i < project.Files.size(); ++i) {
      TMemReader source(contents[i]);
      packager.AddFile(project.Files[i], source, static_cast<int64_t>(contents[i].size()), datOut, pakOut);
    }
    if (!Save(dir + "setup.dat", dat.data(), dat.size()) || !Save(dir + "data.pak", pak.data(), pak.size()))
      return 1;
    for (size_t i = 0; i < tree.size(); ++i) {
      const std::string path = dir + "tree\\" + tree[i];
      CreateDirectoryA((dir + "tree").c_str(), nullptr);
      CreateDirectoryA(path.substr(0, path.rfind('\\')).c_str(), nullptr);
      if (!Save(path, contents[i].data(), contents[i].size())) return 1;
    }
    if (bench) {
      std::string all;
      for (const std::string& c : contents) all += c;
      if (!Save(dir + "bench_raw.bin", all.data(), all.size())) return 1;
    }
  } catch (const EBuildError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

// make_install_package DIR TITLE raw|compressed [bench|scale|hold|fill:BYTES|big MIB]: writes a
// package (setup.dat, data.pak) into DIR with the creator's own writers, from a project as the
// wizard holds it. The end-to-end run's package: three files (two in subdirectories), registry
// values of four kinds, a desktop and a programs shortcut, a post-installation command and two
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
//   big:   one file of MIB MiB, <InstallRoot>\big.bin, and beside the package big.bin, its bytes;
//          neither it nor data.pak is ever held whole.
// make_install_package web PACKAGE STUB FILE...: writes the self-extracting package PACKAGE from
// the stub and the files as the layout has it (data.pak stored, every other file as an LZH
// block), data.pak a piece at a time.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "creator/creator_sfx.h"
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

// The bytes of the big file, text-like and a little random, that compress about three to one;
// each piece read is also written into copy.
class TBigSource : public ByteReader {
 public:
  TBigSource(int64_t size, FILE* copy) : Left(size), Copy(copy) {}
  size_t Read(void* buffer, size_t size) override {
    static const char* const words[] = {"setup ", "file ", "the ", "install ", "registry ", "value ", "of ",
                                        "a ", "package ", "window ", "data ", "and ", "log\r\n"};
    auto* out = static_cast<uint8_t*>(buffer);
    size_t n = 0;
    while (n < size && Left > 0) {
      if (Word.empty()) {
        Seed = Seed * 134775813u + 1u;
        Word = words[(Seed >> 16) % 13];
        if ((Seed >> 4) % 5 == 0) Word += std::to_string(Seed % 1000003);
      }
      const size_t k = std::min({size - n, Word.size(), static_cast<size_t>(Left)});
      std::memcpy(out + n, Word.data(), k);
      Word.erase(0, k);
      n += k;
      Left -= static_cast<int64_t>(k);
    }
    if (std::fwrite(out, 1, n, Copy) != n) throw EBuildError("big.bin cannot be written");
    return n;
  }

 private:
  int64_t Left;
  FILE* Copy;
  uint32_t Seed = 7;
  std::string Word;
};

// A file read or written a piece at a time, for the creator's writers.
class TFileIn : public ByteReader {
 public:
  explicit TFileIn(const std::string& path) : F(std::fopen(path.c_str(), "rb")) {
    if (!F) throw EBuildError(path + " cannot be opened");
  }
  ~TFileIn() override { std::fclose(F); }
  size_t Read(void* buffer, size_t size) override { return std::fread(buffer, 1, size, F); }
  int64_t Size() {
    _fseeki64(F, 0, SEEK_END);
    const int64_t size = _ftelli64(F);
    _fseeki64(F, 0, SEEK_SET);
    return size;
  }

 private:
  FILE* F;
};

class TFileOut : public TSfxOutput {
 public:
  explicit TFileOut(const std::string& path) : F(std::fopen(path.c_str(), "wb")) {
    if (!F) throw EBuildError(path + " cannot be created");
  }
  ~TFileOut() override {
    if (F) std::fclose(F);
  }
  void Write(const void* data, size_t size) override {
    if (std::fwrite(data, 1, size, F) != size) throw EBuildError("a file cannot be written");
  }
  int64_t Position() override { return _ftelli64(F); }
  void WriteAt(int64_t position, const void* data, size_t size) override {
    const int64_t end = Position();
    _fseeki64(F, position, SEEK_SET);
    Write(data, size);
    _fseeki64(F, end, SEEK_SET);
  }
  void Close() {
    const bool ok = std::fclose(F) == 0;
    F = nullptr;
    if (!ok) throw EBuildError("a file cannot be closed");
  }

 private:
  FILE* F;
};

// The big package: setup.dat in memory, data.pak and big.bin a piece at a time through the
// creator's packager.
void MakeBig(const std::string& dir, const BuildProject& project, Bytes dat, int64_t size) {
  const std::string uninstaller = "MZ uninstaller stand-in";
  TFileOut pak(dir + "data.pak");
  FILE* copy = std::fopen((dir + "big.bin").c_str(), "wb");
  if (!copy) throw EBuildError("big.bin cannot be created");
  DataPackager packager(project.Info.CompressData);
  TMemReader head(uninstaller);
  packager.AddUninstaller(head, static_cast<int64_t>(uninstaller.size()), "cv2uinst.exe", pak);
  TBigSource source(size, copy);
  TMemWriter datOut(dat);
  packager.AddFile(project.Files[0], source, size, datOut, pak);
  pak.Close();
  if (std::fclose(copy) != 0 || !Save(dir + "setup.dat", dat.data(), dat.size()))
    throw EBuildError("the package cannot be saved");
}

// The web package through the creator's writer, every file streamed from its place.
void MakeWeb(const std::string& package, const std::string& stub, const std::vector<std::string>& files) {
  TFileOut out(package);
  {
    TFileIn stubIn(stub);
    CopyExtractorStub(out, stubIn);
  }
  std::vector<std::string> names;
  for (const std::string& path : files) names.push_back(path.substr(path.find_last_of("\\/") + 1));
  AppendPayload(out, names, [&](const std::string& name) {
    for (const std::string& path : files)
      if (path.ends_with(name)) {
        auto file = std::make_unique<TFileIn>(path);
        const int64_t size = file->Size();
        return TSfxSource{std::move(file), size};
      }
    throw EBuildError(name + " is not among the files");
  });
  WriteSfxMagic(out);
  out.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::strcmp(argv[1], "web") == 0) {
    try {
      MakeWeb(argv[2], argv[3], std::vector<std::string>(argv + 4, argv + argc));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    return 0;
  }
  const bool big = argc == 6 && std::strcmp(argv[4], "big") == 0;
  if (argc != 4 && argc != 5 && !big) {
    std::fprintf(stderr,
                 "usage: make_install_package DIR TITLE raw|compressed [bench|scale|hold|fill:BYTES|big MIB]\n"
                 "       make_install_package web PACKAGE STUB FILE...\n");
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
  if (big) {
    project.Files = {{"<InstallRoot>\\big.bin", "big.bin", "Required Files"}};
  } else if (bench) {
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
    if (big) {
      MakeBig(dir, project, dat, static_cast<int64_t>(std::atoi(argv[5])) << 20);
      return 0;
    }

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

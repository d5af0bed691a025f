// make_install_package DIR TITLE raw|compressed [bench | big MIB]: writes a package (setup.dat,
// data.pak) into DIR with the creator's own writers, from a project as the wizard holds it. The
// end-to-end run's package: three files (two in subdirectories), registry values of four kinds, a
// desktop and a programs shortcut, a post-installation command and two pre-uninstallation
// commands. With bench: 200 files of 500,000 bytes of text-like data and nothing else, and beside
// the package bench_raw.bin, the files' bytes one after the other. With big: one file of MIB MiB,
// <InstallRoot>\big.bin, and beside the package big.bin, its bytes; it is never held whole, nor
// is data.pak.
// make_install_package web PACKAGE STUB FILE...: writes the self-extracting package PACKAGE from
// the stub and the files as the layout has it (data.pak stored, every other file as an LZH
// block), data.pak a piece at a time.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/lzh_pieces.h"
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
std::string BenchBytes(uint32_t& seed) {
  static const char* const words[] = {"setup", "file", "the", "install", "registry", "value", "of",
                                      "a", "package", "window", "data", "and", "log"};
  std::string bytes;
  while (bytes.size() < 500000) {
    seed = seed * 134775813u + 1u;
    bytes += words[(seed >> 16) % 13];
    bytes += (seed >> 8) % 11 == 0 ? "\r\n" : " ";
    if ((seed >> 4) % 7 == 0) bytes += std::to_string(seed % 100000);
  }
  bytes.resize(500000);
  return bytes;
}

// The bytes of the big file, text-like and a little random, that compress about three to one.
class TBigSource {
 public:
  explicit TBigSource(int64_t size) : Left(size) {}
  size_t Read(uint8_t* buffer, size_t size) {
    static const char* const words[] = {"setup ", "file ", "the ", "install ", "registry ", "value ", "of ",
                                        "a ", "package ", "window ", "data ", "and ", "log\r\n"};
    size_t n = 0;
    while (n < size && Left > 0) {
      if (Word.empty()) {
        Seed = Seed * 134775813u + 1u;
        Word = words[(Seed >> 16) % 13];
        if ((Seed >> 4) % 5 == 0) Word += std::to_string(Seed % 1000003);
      }
      const size_t k = std::min({size - n, Word.size(), static_cast<size_t>(Left)});
      std::memcpy(buffer + n, Word.data(), k);
      Word.erase(0, k);
      n += k;
      Left -= static_cast<int64_t>(k);
    }
    return n;
  }

 private:
  int64_t Left;
  uint32_t Seed = 7;
  std::string Word;
};

// The big file from its source into data.pak, raw or as one LZH block, and into big.bin beside
// it; answers the stored size.
struct TBigPieces : TLzhPieces {
  TBigSource& Source;
  FILE* Pak;
  FILE* Copy;
  TBigPieces(TBigSource& source, FILE* pak, FILE* copy) : Source(source), Pak(pak), Copy(copy) {}
  bool Read(uint8_t* buffer, size_t size, size_t& got) override {
    got = Source.Read(buffer, size);
    return std::fwrite(buffer, 1, got, Copy) == got;
  }
  bool Write(const uint8_t* data, size_t size) override { return std::fwrite(data, 1, size, Pak) == size; }
};

int64_t WriteBig(TBigPieces& pieces, bool compress) {
  if (compress) return LzhEncodePieces(pieces) < 0 ? -1 : std::ftell(pieces.Pak);
  std::vector<uint8_t> buffer(1 << 20);
  for (size_t got; pieces.Read(buffer.data(), buffer.size(), got) && got > 0;)
    if (!pieces.Write(buffer.data(), got)) return -1;
  return std::ftell(pieces.Pak);
}

// The big package: its setup.dat in memory, data.pak and big.bin a piece at a time.
int MakeBig(const std::string& dir, const BuildProject& project, const Bytes& head, int64_t size) {
  const std::string uninstaller = "MZ uninstaller stand-in";
  FILE* pak = std::fopen((dir + "data.pak").c_str(), "wb");
  FILE* copy = std::fopen((dir + "big.bin").c_str(), "wb");
  if (!pak || !copy) return 1;
  std::fwrite(uninstaller.data(), 1, uninstaller.size(), pak);
  TBigSource source(size);
  TBigPieces pieces(source, pak, copy);
  const int64_t end = WriteBig(pieces, project.Info.CompressData);
  const bool ok = std::fclose(pak) == 0 && std::fclose(copy) == 0 && end > 0;
  if (!ok || end > 0x7FFFFFFF) return 1;
  TPackedFileRec rec;
  ClearRec(rec);
  rec.DestPath.Set(project.Files[0].Destination);
  rec.PackageName.Set(project.Files[0].Package);
  rec.DataOffset = static_cast<int32_t>(uninstaller.size()) + 1;
  rec.StoredSize = static_cast<int32_t>(end - static_cast<int64_t>(uninstaller.size()));
  rec.OriginalSize = static_cast<int32_t>(size);
  Bytes dat = head;
  AppendRecord(dat, rec);
  return Save(dir + "setup.dat", dat.data(), dat.size()) ? 0 : 1;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

void Put32(FILE* f, int64_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  const uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
  std::fwrite(b, 1, 4, f);
}

// Copies the file at path into out a piece at a time; answers its size, or -1.
int64_t CopyInto(FILE* out, const std::string& path) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return -1;
  std::vector<uint8_t> buffer(1 << 20);
  int64_t total = 0;
  for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0; total += static_cast<int64_t>(n))
    std::fwrite(buffer.data(), 1, n, out);
  std::fclose(in);
  return total;
}

int MakeWeb(const std::string& package, const std::string& stub, const std::vector<std::string>& files) {
  FILE* out = std::fopen(package.c_str(), "wb");
  if (!out) return 1;
  const int64_t stubSize = CopyInto(out, stub);
  if (stubSize < 0) return 1;
  Put32(out, static_cast<int64_t>(files.size()));
  for (const std::string& path : files) {
    const std::string name = BaseName(path);
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower == "data.pak") {
      FILE* in = std::fopen(path.c_str(), "rb");
      if (!in || std::fseek(in, 0, SEEK_END) != 0) return 1;
      Put32(out, std::ftell(in));
      std::fclose(in);
      Put32(out, static_cast<int64_t>(name.size()));
      std::fwrite(name.data(), 1, name.size(), out);
      if (CopyInto(out, path) < 0) return 1;
    } else {
      Bytes bytes, block;
      FILE* in = std::fopen(path.c_str(), "rb");
      if (!in) return 1;
      uint8_t buffer[65536];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
      std::fclose(in);
      if (!CompressBlock(bytes.data(), bytes.size(), block)) return 1;
      Put32(out, static_cast<int64_t>(block.size()));
      Put32(out, static_cast<int64_t>(name.size()));
      std::fwrite(name.data(), 1, name.size(), out);
      std::fwrite(block.data(), 1, block.size(), out);
    }
  }
  Put32(out, std::ftell(out) - stubSize);
  const uint8_t magic[4] = {0x2E, 0x22, 0x6B, 0x3D};
  std::fwrite(magic, 1, 4, out);
  return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::strcmp(argv[1], "web") == 0)
    return MakeWeb(argv[2], argv[3], std::vector<std::string>(argv + 4, argv + argc));
  const bool bench = argc == 5 && std::strcmp(argv[4], "bench") == 0;
  const bool big = argc == 6 && std::strcmp(argv[4], "big") == 0;
  if (argc != 4 && !bench && !big) {
    std::fprintf(stderr,
                 "usage: make_install_package DIR TITLE raw|compressed [bench | big MIB]\n"
                 "       make_install_package web PACKAGE STUB FILE...\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '\\') dir += '\\';

  BuildProject project;
  project.Info.AppTitle = argv[2];
  project.Info.AppVersion = "1.0";
  project.Info.Company = "Fixture Works";
  project.Info.RadioButton3 = false;  // announced by its title alone
  project.Info.RadioButton6 = true;
  project.Info.CompressData = std::strcmp(argv[3], "compressed") == 0;
  project.Packages = {"Required Files"};
  std::vector<std::string> contents;
  if (big) {
    project.Files = {{"<InstallRoot>\\big.bin", "big.bin", "Required Files"}};
  } else if (bench) {
    uint32_t seed = 1;
    for (int i = 0; i < 200; ++i) {
      contents.push_back(BenchBytes(seed));
      project.Files.push_back({"<InstallRoot>\\part" + std::to_string(i / 50) + "\\file" + std::to_string(i) + ".dat",
                               "file" + std::to_string(i) + ".dat", "Required Files"});
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
    if (big) return MakeBig(dir, project, dat, static_cast<int64_t>(std::atoi(argv[5])) << 20);

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

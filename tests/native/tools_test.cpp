// The portable parts of extractor.exe (reading a package) and cv2uinst.exe (reading a log).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/lzh.h"
#include "creator/creator_sfx.h"
#include "tools/cv2uinst/uninstall_log.h"
#include "tools/extractor/sfx_reader.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutInt(Bytes& b, int32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}
void PutInt(Bytes& b, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(uint32_t(v) >> (8 * i));
}

// A stand-in for an LZH block: some bits and the trailer with the uncompressed length.
Bytes Block(int32_t count, size_t bits = 3) {
  Bytes b(bits, 0xA5);
  PutInt(b, count);
  return b;
}

struct TEntry {
  std::string Name;
  Bytes Data;
};

// stub | N | entries | P | magic, as the creator writes it.
Bytes Package(const std::vector<TEntry>& entries, size_t stubSize = 37) {
  Bytes p(stubSize, 'M');
  PutInt(p, int32_t(entries.size()));
  for (const TEntry& e : entries) {
    PutInt(p, int32_t(e.Data.size()));
    PutInt(p, int32_t(e.Name.size()));
    p.insert(p.end(), e.Name.begin(), e.Name.end());
    p.insert(p.end(), e.Data.begin(), e.Data.end());
  }
  PutInt(p, int32_t(p.size() - stubSize));
  for (uint8_t m : {0x2E, 0x22, 0x6B, 0x3D}) p.push_back(m);
  return p;
}

std::vector<TEntry> ThreeEntries() {
  return {{"setup.dat", Block(1308, 40)}, {"Data.PAK", Bytes{1, 2, 3, 4, 5, 6, 7}}, {"setup.exe", Block(1000, 20)}};
}

// The package in memory, watched: every read must lie inside the file, and the reader reads
// only the tail, lengths, names and trailers, never the data.
struct TWatchedPackage : TSfxBytes {
  const Bytes& File;
  uint64_t BytesRead = 0;
  explicit TWatchedPackage(const Bytes& file) : File(file) {}
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    EXPECT_TRUE(offset <= File.size() && size <= File.size() - offset) << offset << " + " << size;
    BytesRead += size;
    return TSfxMemory(File.data(), File.size()).ReadAt(offset, buffer, size);
  }
};

SfxError Read(const Bytes& p, std::vector<SfxEntry>* out = nullptr) {
  std::vector<SfxEntry> entries;
  TWatchedPackage file(p);
  SfxError e = ReadSfxDirectory(file, p.size(), entries);
  if (e != SfxError::None) {
    EXPECT_TRUE(entries.empty());
  }
  if (out) *out = entries;
  return e;
}

Bytes DataOf(const Bytes& p, const SfxEntry& e) { return Bytes(p.begin() + ptrdiff_t(e.Offset), p.begin() + ptrdiff_t(e.Offset + e.Size)); }

TEST(SfxReader, ListsEveryEntryInPackageOrder) {
  Bytes p = Package(ThreeEntries());
  std::vector<SfxEntry> entries;
  ASSERT_EQ(Read(p, &entries), SfxError::None);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].Name, "setup.dat");
  EXPECT_FALSE(entries[0].Stored);
  EXPECT_EQ(entries[0].Size, 44u);
  EXPECT_EQ(entries[0].Offset, 37u + 4 + 8 + 9);  // the payload starts where the stub ends
  EXPECT_EQ(entries[0].Count, 1308);               // from the block's trailer
  EXPECT_EQ(entries[1].Name, "Data.PAK");  // the name as written, stored whatever its case
  EXPECT_TRUE(entries[1].Stored);
  EXPECT_EQ(entries[1].Count, 0);
  EXPECT_EQ(DataOf(p, entries[1]), (Bytes{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(entries[2].Name, "setup.exe");
  EXPECT_EQ(entries[2].Offset + entries[2].Size, p.size() - 8);
  EXPECT_EQ(entries[2].Count, 1000);
}

// However large the package and its stored data, the directory costs the reader a few reads.
TEST(SfxReader, ReadsOnlyTheDirectory) {
  const Bytes p = Package({{"setup.exe", Block(9)}, {"data.pak", Bytes(1 << 20, 7)}, {"setup.dat", Block(5000, 900)}});
  TWatchedPackage file(p);
  std::vector<SfxEntry> entries;
  ASSERT_EQ(ReadSfxDirectory(file, p.size(), entries), SfxError::None);
  EXPECT_LT(file.BytesRead, 100u);
}

// A source that fails gives no entries and says so.
TEST(SfxReader, AnUnreadableFileIsNoDamagedOne) {
  struct TFailing : TSfxBytes {
    bool ReadAt(uint64_t, void*, size_t) override { return false; }
  } failing;
  std::vector<SfxEntry> entries;
  EXPECT_EQ(ReadSfxDirectory(failing, 5000, entries), SfxError::Unreadable);
  EXPECT_TRUE(entries.empty());
}

TEST(SfxReader, AcceptsEmptyEntriesAndAnEmptyStub) {
  // An empty data.pak, an empty file's block (5 bytes), and no block at all (the coder failed).
  Bytes p = Package({{"data.pak", {}}, {"license.rtf", Block(0, 1)}, {"readme.txt", {}}, {"SETUP.EXE", Block(9)}}, 0);
  std::vector<SfxEntry> entries;
  ASSERT_EQ(Read(p, &entries), SfxError::None);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].Size, 0u);
  EXPECT_EQ(entries[1].Size, 5u);
  EXPECT_EQ(entries[2].Size, 0u);
}

TEST(SfxReader, RefusesWhatDoesNotFit) {
  const Bytes good = Package(ThreeEntries());
  const size_t tail = good.size() - 8, count = 37, first = count + 4;
  struct TCase {
    const char* What;
    Bytes Package;
    SfxError Want;
  };
  auto with = [&](auto change) { Bytes b = good; change(b); return b; };
  std::vector<TCase> cases = {
      {"empty file", {}, SfxError::NoTail},
      {"7 bytes", Bytes(good.end() - 7, good.end()), SfxError::NoTail},
      {"no package at all", Bytes(5000, 'M'), SfxError::BadMagic},
      {"magic changed", with([](Bytes& b) { b.back() ^= 1; }), SfxError::BadMagic},
      {"last byte cut off", Bytes(good.begin(), good.end() - 1), SfxError::BadMagic},
      {"front cut into the payload", Bytes(good.begin() + 40, good.end()), SfxError::BadLength},
      {"payload longer than the file", with([&](Bytes& b) { PutInt(b, tail, int32_t(tail + 1)); }), SfxError::BadLength},
      {"payload length negative", with([&](Bytes& b) { PutInt(b, tail, -4); }), SfxError::BadLength},
      {"payload too short for a count", with([&](Bytes& b) { PutInt(b, tail, 3); }), SfxError::BadLength},
      {"count negative", with([&](Bytes& b) { PutInt(b, count, -1); }), SfxError::BadCount},
      {"count beyond the payload", with([&](Bytes& b) { PutInt(b, count, 0x10000000); }), SfxError::BadCount},
      {"one entry more than written", with([&](Bytes& b) { PutInt(b, count, 4); }), SfxError::BadEntry},
      {"one entry fewer than written", with([&](Bytes& b) { PutInt(b, count, 2); }), SfxError::BadEntry},
      {"data length past the end", with([&](Bytes& b) { PutInt(b, first, 0x7FFFFFFF); }), SfxError::BadEntry},
      {"data length negative", with([&](Bytes& b) { PutInt(b, first, -1); }), SfxError::BadEntry},
      {"name length negative", with([&](Bytes& b) { PutInt(b, first + 4, -9); }), SfxError::BadEntry},
      {"data one byte short", with([&](Bytes& b) { PutInt(b, first, 43); }), SfxError::BadEntry},
      {"trailer asks for gigabytes",
       Package({{"setup.exe", Block(0x7FFFFFF0)}, {"data.pak", {}}}), SfxError::BadEntry},
      {"trailer negative", Package({{"setup.exe", Block(-1)}}), SfxError::BadEntry},
      {"block of 4 bytes", Package({{"setup.exe", Bytes{0, 0, 0, 0}}}), SfxError::BadEntry},
      {"name climbs out", Package({{"setup.exe", Block(1)}, {"..\\evil.exe", Block(1)}}), SfxError::BadName},
      {"name with a drive", Package({{"setup.exe", Block(1)}, {"C:evil.exe", Block(1)}}), SfxError::BadName},
      {"name twice", Package({{"setup.exe", Block(1)}, {"SETUP.exe", Block(1)}}), SfxError::BadName},
      {"name empty", Package({{"setup.exe", Block(1)}, {"", Block(1)}}), SfxError::BadName},
      {"name of 256 characters", Package({{"setup.exe", Block(1)}, {std::string(256, 'n'), Block(1)}}), SfxError::BadName},
      {"no setup.exe", Package({{"setup.dat", Block(1)}, {"data.pak", {}}}), SfxError::NoSetup},
      {"no entries", Package({}), SfxError::NoSetup},
  };
  for (const TCase& c : cases) EXPECT_EQ(Read(c.Package), c.Want) << c.What;
  // Whatever the payload length says, no byte outside the file is read (the sanitizers watch).
  for (size_t cut = 0; cut < good.size(); ++cut) {
    Bytes b(good.begin() + cut, good.end());
    SfxError e = Read(b);
    EXPECT_TRUE(cut <= 37 ? e == SfxError::None : e != SfxError::None) << cut;
  }
  for (int32_t p = -70; p < int32_t(tail) + 70; ++p) Read(with([&](Bytes& b) { PutInt(b, tail, p); }));
}

TEST(SfxReader, PlainFileNames) {
  for (const char* ok : {"setup.exe", "data.pak", "License Agreement.rtf", "a", "icon.txt", "COM10", "lpt.txt", ".profile"})
    EXPECT_TRUE(IsPlainFileName(ok)) << ok;
  for (const char* bad : {"", ".", "..", "a\\b", "a/b", "c:x", "x*", "x?", "a\"b", "a<b", "a|b", "tab\there", "name.",
                          "name ", "CON", "con.txt", "con.txt.x", "Nul", "aux.dat", "PRN.", "COM1", "lpt9.log", "conout$"})
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
}

TEST(SfxReader, LzhCountBounds) {
  EXPECT_TRUE(LzhCountPlausible(0, 0));
  EXPECT_FALSE(LzhCountPlausible(4, 0));
  EXPECT_TRUE(LzhCountPlausible(5, 0));
  EXPECT_TRUE(LzhCountPlausible(5, 480));
  EXPECT_FALSE(LzhCountPlausible(5, 481));
  EXPECT_FALSE(LzhCountPlausible(100, -1));
  EXPECT_TRUE(LzhCountPlausible(0x7FFFFFFF, 0x7FFFFFFF));
}

// The creator's writer and the extractor's reader agree, with the real codec in between; the
// most compressible input stays within the reader's bound for a block's length.
TEST(SfxReader, ReadsWhatTheWriterWrites) {
  std::vector<std::pair<std::string, Bytes>> files = {
      {"setup.exe", Bytes(1 << 20, 0)},  // a megabyte of zeros: the highest ratio there is
      {"license.rtf", {}},
      {"data.PAK", Bytes{9, 8, 7}},
      {"setup.dat", Bytes(5000, 'x')},
  };
  for (int i = 0; i < 3000; ++i) files[3].second[size_t(i) * 7 % 5000] = uint8_t(i * 31);
  Bytes package;
  TSfxMemoryOutput out(package);
  CopyExtractorStub(out, Bytes(100, 'M'));
  std::vector<std::string> names;
  for (auto& f : files) names.push_back(f.first);
  AppendPayload(out, names, [&](const std::string& name) {
    for (auto& f : files)
      if (f.first == name) return f.second;
    return Bytes();
  });
  WriteSfxMagic(out);

  std::vector<SfxEntry> entries;
  ASSERT_EQ(Read(package, &entries), SfxError::None);
  ASSERT_EQ(entries.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const SfxEntry& e = entries[i];
    EXPECT_EQ(e.Name, files[i].first);
    Bytes restored = DataOf(package, e);
    if (!e.Stored) {
      Bytes decoded;
      TCustom_lzh lzh;
      lzh.InBuffer = restored.data();
      lzh.InSize = int32_t(restored.size());
      lzh.OutStream = &decoded;
      lzh.Decompress();
      EXPECT_EQ(int32_t(decoded.size()), e.Count);
      restored = decoded;
    }
    EXPECT_EQ(restored, files[i].second) << e.Name;
  }
  EXPECT_TRUE(entries[2].Stored);
  EXPECT_LT(entries[0].Size, 100000u);
}

// ---- the uninstall log

const char* const EntryKey = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Tool 1.0";

// A log as setup writes it, in its order of steps.
std::string SampleLog() {
  std::string e = EntryKey;
  return "CreateDir::C:\\Apps\\Tool\r\n"
         "CreateFile::C:\\Apps\\Tool\\cv2uinst.dat\r\n"
         "CreateFile::C:\\Apps\\Tool\\tool.exe\r\n"
         "CreateDir::C:\\Apps\\Tool\\doc\\en\\\r\n"
         "CreateFile::C:\\Apps\\Tool\\doc\\en\\read me.txt\r\n"
         "CreateFile::C:\\Apps\\Tool\\tool.exe\r\n"
         "CreateRegKey::HKEY_CURRENT_USER\\Software\\Acme\\Tool\\\r\n"
         "CreateRegValue::HKEY_CURRENT_USER\\Software\\Acme\\Tool\\\\Path\r\n"
         "CreateRegValue::HKEY_CURRENT_USER\\Software\\Acme\\Tool\\\\\r\n"
         "CreateRegKey::" + e + "\r\n"
         "CreateRegValue::" + e + "\\DisplayName\r\n"
         "CreateRegValue::" + e + "\\UninstallString\r\n"
         "CreateDir::C:\\Users\\u\\Start Menu\\Programs\\Acme Tool\\\r\n"
         "CreateFile::C:\\Users\\u\\Start Menu\\Programs\\Acme Tool\\Tool.lnk\r\n"
         "RegisterDLL::regsvr32.exe /s \"C:\\Apps\\Tool\\a.ocx\"\r\n"
         "RegisterDLL::regsvr32.exe /s \"C:\\Apps\\Tool\\b.dll\"\r\n"
         "Exec::C:\\Apps\\Tool\\tool.exe /stop\r\n"
         "Exec::cmd /c del C:\\Apps\\Tool\\cache.bin\r\n";
}

TEST(UninstallLog, ReadsTaggedLines) {
  auto lines = ParseUninstallLog("CreateFile::C:\\a\r\nCreateDir::C:\\b\\\nbogus line\r\ncreatefile::C:\\c\r\n"
                                 "Exec::\r\n\r\nCreateRegKey::HKEY_USERS\\x\r\nExec::last without end");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].Tag, TLogTag::CreateFile);
  EXPECT_EQ(lines[0].Text, "C:\\a");
  EXPECT_EQ(lines[1].Tag, TLogTag::CreateDir);
  EXPECT_EQ(lines[1].Text, "C:\\b\\");
  EXPECT_EQ(lines[2].Tag, TLogTag::CreateRegKey);
  EXPECT_EQ(lines[3].Tag, TLogTag::Exec);
  EXPECT_EQ(lines[3].Text, "last without end");
  EXPECT_TRUE(ParseUninstallLog("").empty());
}

TEST(UninstallLog, PlansTheUndoingInReverse) {
  TUninstallPlan plan = PlanUninstall(ParseUninstallLog(SampleLog()), "c:\\apps\\TOOL\\cv2uinst.dat");
  EXPECT_EQ(plan.Commands, (std::vector<std::string>{"C:\\Apps\\Tool\\tool.exe /stop", "cmd /c del C:\\Apps\\Tool\\cache.bin"}));
  EXPECT_EQ(plan.Unregister, (std::vector<std::string>{"regsvr32.exe /u /s \"C:\\Apps\\Tool\\b.dll\"",
                                                      "regsvr32.exe /u /s \"C:\\Apps\\Tool\\a.ocx\""}));
  EXPECT_EQ(plan.Files, (std::vector<std::string>{"C:\\Users\\u\\Start Menu\\Programs\\Acme Tool\\Tool.lnk",
                                                 "C:\\Apps\\Tool\\tool.exe", "C:\\Apps\\Tool\\doc\\en\\read me.txt"}));
  EXPECT_EQ(plan.LogFile, "C:\\Apps\\Tool\\cv2uinst.dat");
  EXPECT_EQ(plan.Dirs, (std::vector<std::string>{"C:\\Users\\u\\Start Menu\\Programs\\Acme Tool", "C:\\Apps\\Tool\\doc\\en",
                                                "C:\\Apps\\Tool"}));
  ASSERT_EQ(plan.Values.size(), 4u);
  EXPECT_EQ(plan.Values[0].Value, "UninstallString");
  EXPECT_EQ(plan.Values[1].Value, "DisplayName");
  EXPECT_EQ(plan.Values[2].Root, "HKEY_CURRENT_USER");
  EXPECT_EQ(plan.Values[2].Key, "Software\\Acme\\Tool");
  EXPECT_EQ(plan.Values[2].Value, "");  // the key's default value
  EXPECT_EQ(plan.Values[3].Value, "Path");
  ASSERT_EQ(plan.Keys.size(), 2u);
  EXPECT_EQ(plan.Keys[0].Key, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Tool 1.0");
  EXPECT_EQ(plan.Keys[1].Key, "Software\\Acme\\Tool");
  EXPECT_EQ(plan.UninstallKey.Root, "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(plan.UninstallKey.Key, plan.Keys[0].Key);
}

TEST(UninstallLog, TouchesOnlyWhatTheLogNamesAsFullPaths) {
  std::string log = "CreateFile::tool.exe\r\nCreateFile::\\tool.exe\r\nCreateFile::C:tool.exe\r\nCreateDir::C:\\\r\n"
                    "CreateDir::D:\r\nCreateDir::relative\\dir\\\r\nCreateFile::\\\\server\\share\\x.txt\r\n"
                    "CreateRegValue::\\Software\\X\\v\r\nCreateRegKey::\\Software\\X\r\nCreateRegKey::HKEY_USERS\\\r\n"
                    "CreateRegValue::Software\r\n";
  // An uninstall entry under another root, or a value under it that is not the command, is no entry.
  log += "CreateRegValue::HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\X\\UninstallString\r\n";
  log += "CreateRegValue::" + std::string(EntryKey) + "\\DisplayName\r\n";
  TUninstallPlan plan = PlanUninstall(ParseUninstallLog(log), "C:\\Apps\\Tool\\cv2uinst.dat");
  EXPECT_EQ(plan.Files, std::vector<std::string>{"\\\\server\\share\\x.txt"});
  EXPECT_TRUE(plan.Dirs.empty());
  EXPECT_TRUE(plan.Keys.empty());
  EXPECT_EQ(plan.Values.size(), 2u);
  EXPECT_TRUE(plan.LogFile.empty());  // the log never named itself: it stays
  EXPECT_TRUE(plan.UninstallKey.Key.empty());
}

TEST(UninstallLog, RegistryPaths) {
  struct TCase {
    const char* Text;
    bool IsValue, Ok;
    const char *Root, *Key, *Value;
  };
  const TCase cases[] = {
      {"HKEY_CURRENT_USER\\Software\\X\\\\Name", true, true, "HKEY_CURRENT_USER", "Software\\X", "Name"},
      {"HKEY_CURRENT_USER\\Software\\X\\Name", true, true, "HKEY_CURRENT_USER", "Software\\X", "Name"},
      {"HKEY_CLASSES_ROOT\\.ext\\", true, true, "HKEY_CLASSES_ROOT", ".ext", ""},
      {"HKEY_USERS\\Name", true, false, "", "", ""},
      {"\\Software\\X\\Name", true, false, "", "", ""},
      {"HKEY_CURRENT_USER\\Software\\X\\", false, true, "HKEY_CURRENT_USER", "Software\\X", ""},
      {"HKEY_LOCAL_MACHINE\\\\Software\\\\", false, true, "HKEY_LOCAL_MACHINE", "Software", ""},
      {"HKEY_CURRENT_USER", false, false, "", "", ""},
  };
  for (const TCase& c : cases) {
    TRegPath p;
    bool ok = c.IsValue ? SplitRegValue(c.Text, p) : SplitRegKey(c.Text, p);
    EXPECT_EQ(ok, c.Ok) << c.Text;
    if (!ok || !c.Ok) continue;
    EXPECT_EQ(p.Root, c.Root) << c.Text;
    EXPECT_EQ(p.Key, c.Key) << c.Text;
    EXPECT_EQ(p.Value, c.Value) << c.Text;
  }
}

TEST(UninstallLog, UnregisterCommand) {
  const char* const cases[][2] = {
      {"regsvr32.exe /s \"C:\\a b\\x.dll\"", "regsvr32.exe /u /s \"C:\\a b\\x.dll\""},
      {"\"C:\\Win dir\\regsvr32.exe\" /s x.ocx", "\"C:\\Win dir\\regsvr32.exe\" /u /s x.ocx"},
      {"regsvr32.exe", "regsvr32.exe /u"},
      {"", " /u"},
  };
  for (auto& c : cases) EXPECT_EQ(UnregisterCommand(c[0]), c[1]) << c[0];
}

TEST(UninstallLog, Paths) {
  for (const char* full : {"C:\\", "c:\\x", "Z:\\a b\\c", "\\\\srv\\share\\f"}) EXPECT_TRUE(IsFullPath(full)) << full;
  for (const char* rel : {"", "C:", "C:x", "\\x", "\\\\", "\\\\\\x", "x\\y", "1:\\x"}) EXPECT_FALSE(IsFullPath(rel)) << rel;

  EXPECT_EQ(ParentDir("C:\\a\\b\\"), "C:\\a");
  EXPECT_EQ(ParentDir("C:\\a\\b.txt"), "C:\\a");
  EXPECT_EQ(ParentDir("C:\\a"), "C:\\");
  EXPECT_EQ(ParentDir("C:\\"), "");
  EXPECT_EQ(WithoutTrailingSlash("C:\\a\\\\"), "C:\\a");
  EXPECT_EQ(WithoutTrailingSlash("C:\\"), "C:\\");

  EXPECT_TRUE(IsBelow("C:\\App\\a", "c:\\app"));
  EXPECT_TRUE(IsBelow("C:\\App\\a\\b\\", "C:\\App\\"));
  EXPECT_FALSE(IsBelow("C:\\App", "C:\\App\\"));
  EXPECT_FALSE(IsBelow("C:\\Apple", "C:\\App"));
  EXPECT_TRUE(IsBelow("C:\\x", "C:\\"));
}

TEST(UninstallLog, CommandLineArguments) {
  EXPECT_EQ(SplitCommandLine("C:\\WINDOWS\\system32\\cv2uinst.exe \"C:\\Program Files\\Tool\\cv2uinst.dat\" /u"),
            (std::vector<std::string>{"C:\\WINDOWS\\system32\\cv2uinst.exe", "C:\\Program Files\\Tool\\cv2uinst.dat", "/u"}));
  EXPECT_EQ(SplitCommandLine("  \"a b\"\t c\"d e\"f  "), (std::vector<std::string>{"a b", "cd ef"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(UninstallLog, LeftoversInOneMessage) {
  EXPECT_EQ(FormatLeftovers({"a", "b"}), "\r\na\r\nb");
  std::vector<std::string> many(25, "x");
  std::string text = FormatLeftovers(many, 20);
  EXPECT_EQ(text.substr(text.size() - 14), "\r\n(and 5 more)");
}

}  // namespace

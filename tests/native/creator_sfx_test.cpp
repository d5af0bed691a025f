// The self-extracting package writer, checked by the tests' own reader of the layout.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "creator/creator_sfx.h"
#include "tests/native/sfx_reader.h"

namespace {

using SfxReader::Bytes;
using SfxReader::ReadPackage;
using SfxReader::TEntry;
using SfxReader::TPackage;

Bytes Random(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(gen() % 7 == 0 ? gen() : gen() % 4);  // compressible
  return b;
}

// Builds a package the way the build does: stub, payload, magic.
Bytes Build(const Bytes& stub, const std::vector<std::pair<std::string, Bytes>>& files,
            int32_t* payload = nullptr) {
  Bytes out;
  TSfxMemoryOutput o(out);
  std::map<std::string, Bytes> staged(files.begin(), files.end());
  std::vector<std::string> names;
  for (const auto& f : files) names.push_back(f.first);
  EXPECT_EQ(CopyExtractorStub(o, stub), static_cast<int64_t>(stub.size()));
  const int32_t p = AppendPayload(o, names, [&](const std::string& name) { return staged.at(name); });
  WriteSfxMagic(o);
  if (payload) *payload = p;
  return out;
}

}  // namespace

TEST(SfxPackage, RestoresEveryStagedFile) {
  const Bytes stub = Random(3000, 1);
  Bytes pak;  // every byte value, and a stretch that compresses
  for (int i = 0; i < 4096; ++i) pak.push_back(static_cast<uint8_t>(i * 7 + (i >> 8)));
  const std::string licence = "{\\rtf1 Licence text.}";
  const std::vector<std::pair<std::string, Bytes>> withLicence = {
      {"setup.dat", Random(1844, 2)},
      {"data.pak", pak},
      {"license.rtf", Bytes(licence.begin(), licence.end())},
      {"setup.exe", Random(20000, 3)}};
  const std::vector<std::pair<std::string, Bytes>> withoutLicence = {
      withLicence[3], withLicence[0], withLicence[1]};
  for (const auto* files : {&withLicence, &withoutLicence}) {
    SCOPED_TRACE(files->size());
    int32_t payload = 0;
    const Bytes f = Build(stub, *files, &payload);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + stub.size()), stub);
    const TPackage p = ReadPackage(f);
    EXPECT_EQ(p.StubSize, stub.size());
    EXPECT_EQ(p.Payload, static_cast<uint32_t>(payload));
    ASSERT_EQ(p.Entries.size(), files->size());
    uint64_t sum = 4;
    for (size_t i = 0; i < files->size(); ++i) {
      const auto& [name, bytes] = (*files)[i];
      const TEntry& e = p.Entries[i];
      EXPECT_EQ(e.Name, name);
      EXPECT_EQ(e.Data, bytes) << name;
      if (name == "data.pak") {
        EXPECT_EQ(e.Stored, bytes.size());
      } else {
        EXPECT_NE(e.Stored, bytes.size()) << name << " is not an LZH block";
      }
      sum += 8 + name.size() + e.Stored;
    }
    EXPECT_EQ(p.Payload, sum);
  }
}

TEST(SfxPackage, EmptyFilesAndNoStub) {
  const Bytes f = Build({}, {{"setup.dat", {}}, {"data.pak", {}}});
  const TPackage p = ReadPackage(f);
  EXPECT_EQ(p.StubSize, 0u);
  ASSERT_EQ(p.Entries.size(), 2u);
  EXPECT_GE(p.Entries[0].Stored, 5u);  // an empty block is the coder's end and the length 0
  EXPECT_LE(p.Entries[0].Stored, 6u);
  EXPECT_TRUE(p.Entries[0].Data.empty());
  EXPECT_EQ(p.Entries[1].Stored, 0u);
  EXPECT_TRUE(p.Entries[1].Data.empty());
  // No entries at all: the payload is the count alone.
  const Bytes none = Build({0x4D, 0x5A}, {});
  EXPECT_EQ(none, (Bytes{0x4D, 0x5A, 0, 0, 0, 0, 4, 0, 0, 0, 0x2E, 0x22, 0x6B, 0x3D}));
}

TEST(SfxPackage, OnlyDataPakIsStoredWhateverItsCase) {
  const struct {
    const char* name;
    bool stored;
  } cases[] = {{"data.pak", true},      {"DATA.PAK", true},      {"Data.Pak", true},
               {"data.pak.old", false}, {"data.pa", false},      {"xdata.pak", false},
               {"dat\xC1.pak", false},  {"data\xAEpak", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsStoredSfxEntry(c.name), c.stored);
    const Bytes content = Random(500, 4);
    const TPackage p = ReadPackage(Build({1, 2, 3}, {{c.name, content}}));
    ASSERT_EQ(p.Entries.size(), 1u);
    EXPECT_EQ(p.Entries[0].Name, c.name);  // written as listed
    EXPECT_EQ(p.Entries[0].Data, content);
    EXPECT_EQ(p.Entries[0].Stored == content.size(), c.stored);
  }
}

TEST(SfxPackage, AFileThatCannotBeCompressedStopsThePackage) {
  // A block the coder did not write would unpack to nothing: the writer refuses it.
  Bytes out;
  TSfxMemoryOutput o(out);
  const auto load = [](const std::string&) { return Bytes{1, 2, 3}; };
  const auto fails = [](const Bytes&, Bytes&) { return false; };
  try {
    AppendPayload(o, {"data.pak", "setup.exe"}, load, fails);
    FAIL() << "no error";
  } catch (const ESfxError& e) {
    EXPECT_NE(std::string(e.what()).find("'setup.exe'"), std::string::npos) << e.what();
  }
  // data.pak is never compressed, so it passes whatever the coder does.
  out.clear();
  EXPECT_EQ(AppendPayload(o, {"data.pak"}, load, fails), 4 + 8 + 8 + 3);
}

// The reader is only a check if it fails on a package that is not right.
TEST(SfxPackage, TheReaderRefusesADamagedPackage) {
  const Bytes good = Build({9, 9}, {{"data.pak", {1, 2, 3}}, {"setup.dat", Random(100, 5)}});
  Bytes magic = good, length = good, count = good;
  magic.back() ^= 1;
  length[length.size() - 8] += 1;    // P one too many: the payload would begin inside the stub
  count[2] = 3;                      // N says 3 entries
  EXPECT_NONFATAL_FAILURE(ReadPackage(magic), "");
  EXPECT_NONFATAL_FAILURE(ReadPackage(length), "");
  EXPECT_NONFATAL_FAILURE(ReadPackage(count), "");
}

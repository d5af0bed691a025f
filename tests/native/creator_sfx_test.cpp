// The self-extracting package writer, checked by the tests' own reader of the layout.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "creator/creator_sfx.h"
#include "tests/native/pack_support.h"
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

using packsupport::Noise;

constexpr int64_t MaxLength = INT32_MAX;

// Opens the files of a table: each a reader, of the size the file system would give.
struct TOpener {
  std::map<std::string, std::function<TSfxSource()>> Files;
  TSfxSource operator()(const std::string& name) const { return Files.at(name)(); }
};

TSfxSource InMemory(const Bytes& bytes, int64_t size) { return {std::make_unique<TMemoryReader>(bytes), size}; }

// A package output that keeps nothing: it counts, and keeps the last length written back.
struct TCountingOutput : TSfxOutput {
  int64_t Count = 0;
  int64_t LastAt = -1;
  uint32_t Last = 0;
  void Write(const void*, size_t size) override { Count += static_cast<int64_t>(size); }
  int64_t Position() override { return Count; }
  void WriteAt(int64_t position, const void* data, size_t size) override {
    EXPECT_LE(position + static_cast<int64_t>(size), Count);
    ASSERT_EQ(size, 4u);
    LastAt = position;
    std::memcpy(&Last, data, 4);
  }
};

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
  const auto open = [](const std::string&) { return TSfxSource{std::make_unique<TMemoryReader>(Bytes{1, 2, 3}), 3}; };
  const auto fails = [](ByteReader&, ByteWriter&) { return false; };
  try {
    AppendPayload(o, {"data.pak", "setup.exe"}, open, fails);
    FAIL() << "no error";
  } catch (const ESfxError& e) {
    EXPECT_NE(std::string(e.what()).find("'setup.exe'"), std::string::npos) << e.what();
  }
  // data.pak is never compressed, so it passes whatever the coder does.
  out.clear();
  EXPECT_EQ(AppendPayload(o, {"data.pak"}, open, fails), 4 + 8 + 8 + 3);
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

// Staged files many pieces long go through without a read or a write that grows with them; each
// block's length is written into its place once the block is written, and the package reads back.
TEST(SfxPackage, FilesGoThroughInPieces) {
  struct TPieceOutput : TSfxMemoryOutput {
    size_t Largest = 0;
    using TSfxMemoryOutput::TSfxMemoryOutput;
    void Write(const void* data, size_t size) override {
      Largest = std::max(Largest, size);
      TSfxMemoryOutput::Write(data, size);
    }
  };
  struct TWatched : ByteReader {  // the largest piece asked of any file
    std::unique_ptr<ByteReader> Inner;
    size_t& Largest;
    TWatched(std::unique_ptr<ByteReader> inner, size_t& largest) : Inner(std::move(inner)), Largest(largest) {}
    size_t Read(void* buffer, size_t size) override {
      Largest = std::max(Largest, size);
      return Inner->Read(buffer, size);
    }
  };
  using packsupport::GeneratedReader;
  const int64_t pakSize = (int64_t{4} << 20) + 3, datSize = 300000;
  const Bytes exe = Noise(200000);
  size_t largestAsk = 0;
  const auto watched = [&](std::unique_ptr<ByteReader> r, int64_t size) {
    return TSfxSource{std::make_unique<TWatched>(std::move(r), largestAsk), size};
  };
  const TOpener open{{
      {"data.pak", [&] { return watched(std::make_unique<GeneratedReader>(pakSize, 1), pakSize); }},
      {"setup.dat", [&] { return watched(std::make_unique<GeneratedReader>(datSize, 2), datSize); }},
      {"setup.exe", [&] { return watched(std::make_unique<TMemoryReader>(exe), 200000); }},
  }};
  Bytes package;
  TPieceOutput out(package);
  AppendPayload(out, {"setup.dat", "data.pak", "setup.exe"}, open);
  WriteSfxMagic(out);
  EXPECT_LE(largestAsk, StreamPiece);
  EXPECT_LE(out.Largest, StreamPiece);
  const TPackage p = ReadPackage(package);
  ASSERT_EQ(p.Entries.size(), 3u);
  EXPECT_EQ(p.Entries[0].Data, GeneratedReader::Whole(datSize, 2));
  EXPECT_EQ(p.Entries[1].Data, GeneratedReader::Whole(static_cast<size_t>(pakSize), 1));
  EXPECT_EQ(p.Entries[2].Data, exe);
  EXPECT_GT(p.Entries[2].Stored, exe.size());
}

// A staged file that holds more or fewer bytes than its size said when it was opened would give
// an entry that lies about its length: the package stops, naming it.
TEST(SfxPackage, AFileThatChangesSizeStopsThePackage) {
  for (const char* name : {"data.pak", "setup.dat"})
    for (size_t held : {0u, 10u, 12u, 70000u}) {
      SCOPED_TRACE(testing::Message() << name << " " << held);
      Bytes out;
      TSfxMemoryOutput o(out);
      const TOpener open{{{name, [&] { return InMemory(Random(held, 3), 11); }}}};
      try {
        AppendPayload(o, {name}, open);
        ADD_FAILURE() << "no error";
      } catch (const ESfxError& e) {
        EXPECT_NE(std::string(e.what()).find(std::string("'") + name + "' changed its size"), std::string::npos)
            << e.what();
      }
    }
}

// The payload's lengths are 32-bit: a stored entry that would take it past 2 GiB is refused before
// its data is read, a block as soon as it would pass; a block that fits behind the same entries
// is written, with its length.
TEST(SfxPackage, ThePayloadStopsAtTwoGibibytes) {
  struct TUnread : ByteReader {
    size_t Read(void*, size_t) override { ADD_FAILURE() << "read a file that cannot fit"; return 0; }
  };
  const auto refused = [](const std::function<void()>& build, const std::string& name) {
    try {
      build();
      ADD_FAILURE() << "no error";
    } catch (const ESfxError& e) {
      EXPECT_NE(std::string(e.what()).find("would pass 2 GiB at '" + name + "'"), std::string::npos) << e.what();
    }
  };
  const int64_t pakRoom = MaxLength - 4 - (8 + 8);  // for data.pak's bytes as the first entry
  TCountingOutput o;
  refused([&] { AppendPayload(o, {"data.pak"}, TOpener{{{"data.pak", [&] {
                                return TSfxSource{std::make_unique<TUnread>(), pakRoom + 1};
                              }}}}); },
          "data.pak");
  EXPECT_EQ(o.Count, 4);

  // data.pak leaves 1,000 bytes of room after it for setup.exe's data (17 bytes: its S, L, name).
  const int64_t pakSize = pakRoom - 17 - 1000;
  const auto afterPak = [&](const Bytes& exe) {
    TCountingOutput out;
    const TOpener open{{{"data.pak",
                         [&] {
                           auto r = std::make_unique<packsupport::GeneratedReader>(pakSize, 1);
                           r->fill = false;
                           return TSfxSource{std::move(r), pakSize};
                         }},
                        {"setup.exe", [&] { return InMemory(exe, static_cast<int64_t>(exe.size())); }}}};
    const int32_t p = AppendPayload(out, {"data.pak", "setup.exe"}, open);
    EXPECT_EQ(out.Count, int64_t{p} + 4);
    EXPECT_EQ(out.LastAt, 4 + 16 + pakSize);  // setup.exe's S, behind data.pak
    EXPECT_EQ(int64_t{p}, 4 + 16 + pakSize + 17 + out.Last);
    return out;
  };
  refused([&] { afterPak(Noise(4000)); }, "setup.exe");
  const TCountingOutput fits = afterPak(Bytes(4000, 0));
  EXPECT_LE(fits.Last, 1000u);
}

// data.pak and the file records, raw and compressed.
#include "codec/lzh.h"
#include "creator/datapak.h"
#include "tests/native/pack_support.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using packsupport::GeneratedReader;
using packsupport::MemoryReader;
using packsupport::MemoryWriter;
using packsupport::Packed;

// A source that claims a size without holding the bytes.
struct HugeReader : ByteReader {
  size_t Read(void*, size_t) override { ADD_FAILURE() << "read a source that is too large"; return 0; }
};

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 5));
  return b;
}

Bytes Slice(const Bytes& b, int64_t from1, int64_t size) {  // from a 1-based position
  return Bytes(b.begin() + (from1 - 1), b.begin() + (from1 - 1 + size));
}

Bytes Decompress(const Bytes& block) { return packsupport::Lzh(false, block); }

Packed Pack(bool compress, const Bytes& uninstaller, const std::vector<Bytes>& sources) {
  std::vector<BuildProject::FileRow> rows;
  for (size_t i = 0; i < sources.size(); ++i)
    rows.push_back({"<InstallRoot>\\f" + std::to_string(i), "C:\\src\\f" + std::to_string(i), "Required Files"});
  return packsupport::Pack(compress, uninstaller, rows, sources);
}

TEST(DataPak, RawStoresEveryFileAsItIsAfterTheUninstaller) {
  const Bytes uninstaller = Pattern(3001, 9);
  const Bytes twice = Pattern(100, 1);
  const std::vector<Bytes> sources = {twice, Bytes(), Pattern(2048, 2), Pattern(2049, 3), twice, Bytes(1, 0x5A)};
  Packed p = Pack(false, uninstaller, sources);

  Bytes expected = uninstaller;
  for (const Bytes& s : sources) expected.insert(expected.end(), s.begin(), s.end());
  EXPECT_EQ(p.pak, expected);

  int64_t at = 3001 + 1;
  for (size_t i = 0; i < sources.size(); ++i) {
    const TPackedFileRec& r = p.recs[i];
    EXPECT_EQ(r.DataOffset, at) << i;
    EXPECT_EQ(r.StoredSize, static_cast<int32_t>(sources[i].size())) << i;
    EXPECT_EQ(r.OriginalSize, r.StoredSize) << i;
    EXPECT_EQ(Slice(p.pak, r.DataOffset, r.StoredSize), sources[i]) << i;
    EXPECT_EQ(r.DestPath.Str(), "<InstallRoot>\\f" + std::to_string(i));
    EXPECT_EQ(r.PackageName.Str(), "Required Files");
    at += r.StoredSize;
  }
  // The empty file takes no room: the next one starts where it does.
  EXPECT_EQ(p.recs[1].DataOffset, p.recs[2].DataOffset);
  // A source listed twice is stored twice, at two places.
  EXPECT_NE(p.recs[0].DataOffset, p.recs[4].DataOffset);
  // Streamed through one 2048-byte block.
  EXPECT_EQ(p.sourceWrites[1], 0);
  EXPECT_EQ(p.sourceWrites[2], 1);
  EXPECT_EQ(p.sourceWrites[3], 2);
  // The records went to setup.dat one after the other, as they were returned.
  ASSERT_EQ(p.dat.size(), sources.size() * sizeof(TPackedFileRec));
  EXPECT_EQ(std::memcmp(p.dat.data() + 3 * 524, &p.recs[3], 524), 0);
}

TEST(DataPak, CompressedStoresOneBlockPerFileAndTheUninstallerAsItIs) {
  const Bytes uninstaller = Pattern(5000, 4);
  const Bytes text = [] {
    std::string s;
    for (int i = 0; i < 300; ++i) s += "line " + std::to_string(i % 17) + " of a text that repeats\r\n";
    return Bytes(s.begin(), s.end());
  }();
  const std::vector<Bytes> sources = {text, Bytes(), Pattern(2049, 5), text};
  Packed p = Pack(true, uninstaller, sources);

  EXPECT_EQ(Slice(p.pak, 1, 5000), uninstaller);
  int64_t at = 5001;
  for (size_t i = 0; i < sources.size(); ++i) {
    const TPackedFileRec& r = p.recs[i];
    EXPECT_EQ(r.DataOffset, at) << i;
    EXPECT_EQ(r.OriginalSize, static_cast<int32_t>(sources[i].size())) << i;
    Bytes block = Slice(p.pak, r.DataOffset, r.StoredSize);
    EXPECT_EQ(Decompress(block), sources[i]) << i;
    // The block ends with the uncompressed length.
    ASSERT_GE(block.size(), 4u);
    int32_t trailer;
    std::memcpy(&trailer, block.data() + block.size() - 4, 4);
    EXPECT_EQ(trailer, r.OriginalSize) << i;
    at += r.StoredSize;
  }
  EXPECT_EQ(static_cast<int64_t>(p.pak.size()), at - 1);
  EXPECT_LT(p.recs[0].StoredSize, p.recs[0].OriginalSize);
  EXPECT_GT(p.recs[1].StoredSize, 4);  // an empty file still has its block
  EXPECT_EQ(p.recs[1].OriginalSize, 0);
}

TEST(DataPak, RefusesPastTwoGibibytesBeforeWritingAnything) {
  struct Case { int64_t uninstaller, file; bool fits; };
  for (Case c : {Case{100, int64_t{1} << 31, false}, Case{100, INT32_MAX, false},
                 Case{100, MaxDataPakSize - 50, false}}) {
    MemoryWriter pak, dat;
    DataPackager packager(false);
    MemoryReader u(Bytes(static_cast<size_t>(c.uninstaller), 1));
    packager.AddUninstaller(u, c.uninstaller, "cv2uinst.exe", pak);
    HugeReader huge;
    BuildProject::FileRow row{"<InstallRoot>\\big", "C:\\src\\big.bin", "Required Files"};
    try {
      packager.AddFile(row, huge, c.file, dat, pak);
      ADD_FAILURE() << "accepted " << c.file;
    } catch (const EBuildError& e) {
      EXPECT_NE(std::string(e.what()).find("'C:\\src\\big.bin'"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(dat.bytes.empty());
    EXPECT_EQ(pak.bytes.size(), static_cast<size_t>(c.uninstaller));
  }
}

TEST(DataPak, ASourceThatChangesSizeWhileReadIsAnError) {
  for (bool compress : {false, true})
    for (size_t held : {0u, 10u, 2047u, 2049u, 4097u}) {
      MemoryWriter pak, dat;
      DataPackager packager(compress);
      MemoryReader src(Pattern(held, 1));
      BuildProject::FileRow row{"d", "C:\\src\\moving.log", "p"};
      EXPECT_THROW(packager.AddFile(row, src, 2048, dat, pak), EBuildError) << held << compress;
    }
}

// A file many pieces long goes through without a read or a write that grows with it: raw in
// blocks of 2048 bytes, compressed in the streams' pieces, the block as it is written.
TEST(DataPak, NoPieceGrowsWithTheFile) {
  const int64_t size = (int64_t{4} << 20) + 1;
  for (bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "raw");
    MemoryWriter pak, dat;
    pak.keep = !compress;  // raw, for a look at the bytes
    DataPackager packager(compress);
    MemoryReader u(Pattern(3000, 1));
    packager.AddUninstaller(u, 3000, "cv2uinst.exe", pak);
    GeneratedReader source(size, 7);
    const BuildProject::FileRow row{"<InstallRoot>\\big.bin", "C:\\src\\big.bin", "Required Files"};
    const TPackedFileRec rec = packager.AddFile(row, source, size, dat, pak);
    const size_t piece = compress ? StreamPiece : DataPackager::CopyBlock;
    EXPECT_LE(source.largestAsk, piece);
    EXPECT_LE(pak.largest, piece);
    EXPECT_EQ(rec.OriginalSize, size);
    EXPECT_EQ(rec.StoredSize, pak.count - 3000);
    EXPECT_EQ(packager.Position(), pak.count + 1);
    ASSERT_EQ(dat.bytes.size(), sizeof rec);
    EXPECT_EQ(std::memcmp(dat.bytes.data(), &rec, sizeof rec), 0);
    if (compress) {
      EXPECT_LT(rec.StoredSize, size / 2);
    } else {
      EXPECT_EQ(Slice(pak.bytes, 3001, size), GeneratedReader::Whole(static_cast<size_t>(size), 7));
    }
  }
}

// A block that grows past what data.pak can still address stops as soon as it would: no record,
// and no byte beyond the room is written. One that fits behind the same head is stored.
TEST(DataPak, ABlockStopsWhereThePackagePassesTwoGibibytes) {
  const int64_t room = 1000, head = MaxDataPakSize - room;
  struct Case { const char* what; Bytes file; bool fits; };
  for (const Case& c : {Case{"noise", packsupport::Noise(4000), false}, Case{"zeros", Bytes(4000, 0), true}}) {
    SCOPED_TRACE(c.what);
    MemoryWriter pak, dat;
    pak.keep = false;
    DataPackager packager(true);
    GeneratedReader uninstaller(head, 1);
    uninstaller.fill = false;
    packager.AddUninstaller(uninstaller, head, "cv2uinst.exe", pak);
    MemoryReader source(c.file);
    const BuildProject::FileRow row{"<InstallRoot>\\f", "C:\\src\\f.bin", "Required Files"};
    if (c.fits) {
      const TPackedFileRec rec = packager.AddFile(row, source, 4000, dat, pak);
      EXPECT_EQ(pak.count, head + rec.StoredSize);
      EXPECT_EQ(dat.count, 524);
      continue;
    }
    try {
      packager.AddFile(row, source, 4000, dat, pak);
      ADD_FAILURE() << "no error";
    } catch (const EBuildError& e) {
      EXPECT_NE(std::string(e.what()).find("'C:\\src\\f.bin'"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("2 GiB"), std::string::npos) << e.what();
    }
    EXPECT_LE(pak.count, head + room);
    EXPECT_EQ(dat.count, 0);
  }
}

}  // namespace

// The build's writers over memory, and the package maker of the native build tests: data.pak and
// the file records as the build makes them, the uninstaller first, then each file. The readers and
// writers record the largest piece asked for and written, which must not grow with the files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "codec/lzh.h"
#include "creator/datapak.h"

namespace packsupport {

// Keeps what it is given, or with keep false only counts it.
struct MemoryWriter : ByteWriter {
  Bytes bytes;
  int writes = 0;
  int64_t count = 0;
  size_t largest = 0;
  bool keep = true;
  void Write(const void* data, size_t size) override {
    ++writes;
    count += static_cast<int64_t>(size);
    largest = std::max(largest, size);
    if (keep) bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  }
};

using MemoryReader = TMemoryReader;

// A whole block in memory through TCustom_lzh: the LZH block of input, or what a block restores.
inline Bytes Lzh(bool compress, const Bytes& input) {
  Bytes out;
  TCustom_lzh lzh;
  lzh.InBuffer = input.data();
  lzh.InSize = static_cast<int32_t>(input.size());
  lzh.OutStream = &out;
  EXPECT_TRUE(compress ? lzh.Compress() : lzh.Decompress());
  return out;
}

// Bytes that do not compress: their block is larger than they are.
inline Bytes Noise(size_t n, unsigned seed = 1) {
  std::mt19937 gen(seed);
  Bytes b(n);
  for (uint8_t& c : b) c = static_cast<uint8_t>(gen());
  return b;
}

// size bytes made as they are read, none held; Whole gives the bytes of the same seed in memory.
// Without fill the bytes are whatever the buffer held, for sizes whose content does not matter.
struct GeneratedReader : ByteReader {
  int64_t left;
  uint32_t state;
  bool fill = true;
  size_t largestAsk = 0;
  GeneratedReader(int64_t size, uint32_t seed) : left(size), state(seed) {}
  static uint8_t Next(uint32_t& state) {  // text-like: runs of few letters, now and then any byte
    state = state * 1103515245u + 12345u;
    const uint32_t r = state >> 16;
    return static_cast<uint8_t>(r % 13 == 0 ? r >> 5 : 'a' + r % 5);
  }
  size_t Read(void* buffer, size_t size) override {
    largestAsk = std::max(largestAsk, size);
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), left));
    if (fill)
      for (size_t i = 0; i < n; ++i) static_cast<uint8_t*>(buffer)[i] = Next(state);
    left -= static_cast<int64_t>(n);
    return n;
  }
  static Bytes Whole(size_t size, uint32_t seed) {
    Bytes b(size);
    for (uint8_t& c : b) c = Next(seed);
    return b;
  }
};

struct Packed {
  Bytes pak, dat;  // dat: the file records alone
  std::vector<TPackedFileRec> recs;
  std::vector<int> sourceWrites;  // writes to data.pak per file
};

// Packs sources[i] as rows[i] behind the uninstaller.
inline Packed Pack(bool compress, const Bytes& uninstaller, const std::vector<BuildProject::FileRow>& rows,
                   const std::vector<Bytes>& sources) {
  Packed out;
  MemoryWriter pak, dat;
  DataPackager packager(compress);
  MemoryReader u(uninstaller);
  packager.AddUninstaller(u, static_cast<int64_t>(uninstaller.size()), "cv2uinst.exe", pak);
  EXPECT_EQ(packager.Position(), static_cast<int64_t>(uninstaller.size()) + 1);
  for (size_t i = 0; i < sources.size(); ++i) {
    MemoryReader src(sources[i]);
    int before = pak.writes;
    out.recs.push_back(packager.AddFile(rows.at(i), src, static_cast<int64_t>(sources[i].size()), dat, pak));
    out.sourceWrites.push_back(pak.writes - before);
  }
  out.pak = pak.bytes;
  out.dat = dat.bytes;
  return out;
}

}  // namespace packsupport

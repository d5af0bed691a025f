// A reader of self-extracting packages for the tests, written from the layout alone: it finds the
// payload from the end of the file (the magic, then the payload length before it), walks the
// entries and restores each one: data.pak as stored, every other entry from its LZH block. Any
// inconsistency fails the calling test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codec/lzh.h"

namespace SfxReader {

using Bytes = std::vector<uint8_t>;

struct TEntry {
  std::string Name;
  uint32_t Stored = 0;  // S
  Bytes Data;           // restored
  bool Raw = false;     // stored as it is
};

struct TPackage {
  size_t StubSize = 0;  // where the payload begins
  uint32_t Payload = 0; // P
  std::vector<TEntry> Entries;
};

inline uint32_t Le32(const Bytes& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}

inline TPackage ReadPackage(const Bytes& f) {
  TPackage p;
  if (f.size() < 12) ADD_FAILURE() << "file of " << f.size() << " bytes has no tail";
  if (f.size() < 12) return p;
  EXPECT_EQ(Bytes(f.end() - 4, f.end()), (Bytes{0x2E, 0x22, 0x6B, 0x3D}));
  p.Payload = Le32(f, f.size() - 8);
  if (p.Payload < 4 || p.Payload > f.size() - 8) ADD_FAILURE() << "payload length " << p.Payload;
  if (p.Payload < 4 || p.Payload > f.size() - 8) return p;
  p.StubSize = f.size() - 8 - p.Payload;
  const size_t end = f.size() - 8;
  size_t at = p.StubSize;
  const uint32_t n = Le32(f, at);
  at += 4;
  for (uint32_t i = 0; i < n; ++i) {
    if (end - at < 8) ADD_FAILURE() << "entry " << i << " runs past the payload";
    if (end - at < 8) return p;
    TEntry e;
    e.Stored = Le32(f, at);
    const uint32_t l = Le32(f, at + 4);
    at += 8;
    if (end - at < static_cast<uint64_t>(l) + e.Stored) ADD_FAILURE() << "entry " << i << " runs past the payload";
    if (end - at < static_cast<uint64_t>(l) + e.Stored) return p;
    e.Name.assign(reinterpret_cast<const char*>(&f[at]), l);
    at += l;
    const Bytes data(f.begin() + at, f.begin() + at + e.Stored);
    at += e.Stored;
    std::string lower = e.Name;
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    e.Raw = lower == "data.pak";
    if (e.Raw) {
      e.Data = data;
    } else {
      TCustom_lzh lzh;
      lzh.InBuffer = data.data();
      lzh.InSize = static_cast<int32_t>(data.size());
      lzh.OutStream = &e.Data;
      EXPECT_TRUE(lzh.Decompress()) << e.Name;
    }
    p.Entries.push_back(std::move(e));
  }
  EXPECT_EQ(at, end) << "bytes left between the last entry and the tail";
  return p;
}

}  // namespace SfxReader

// The build's writers over memory, and the package maker of the native build tests: data.pak and
// the file records as the build makes them, the uninstaller first, then each file.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "creator/datapak.h"

namespace packsupport {

struct MemoryWriter : ByteWriter {
  Bytes bytes;
  int writes = 0;
  void Write(const void* data, size_t size) override {
    ++writes;
    bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  }
};

struct MemoryReader : ByteReader {
  Bytes bytes;
  size_t at = 0;
  explicit MemoryReader(Bytes b) : bytes(std::move(b)) {}
  size_t Read(void* buffer, size_t size) override {
    size_t n = std::min(size, bytes.size() - at);
    if (n) std::memcpy(buffer, bytes.data() + at, n);
    at += n;
    return n;
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

// data.pak as the build writes it, together with the file records that close setup.dat: the
// uninstaller's bytes first, then each file's bytes, raw or as one LZH block, addressed by 1-based
// positions. Portable: the build thread gives it its files as readers and writers.
#pragma once

#include "creator/setupdat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Where bytes come from and go to. Both throw EBuildError, naming the file and the reason.
class ByteReader {
 public:
  virtual ~ByteReader() = default;
  virtual size_t Read(void* buffer, size_t size) = 0;  // 0 at the end
};
class ByteWriter {
 public:
  virtual ~ByteWriter() = default;
  virtual void Write(const void* data, size_t size) = 0;
};

class DataPackager {
 public:
  static constexpr size_t CopyBlock = 2048;  // raw copies stream through one block of this size

  explicit DataPackager(bool compress) : FCompress(compress) {}

  // The uninstaller at the head of data.pak, stored as it is in either method.
  void AddUninstaller(ByteReader& source, int64_t size, std::string_view name, ByteWriter& pak);

  // One row of the file list: its record goes to setup.dat, then its stored bytes to data.pak.
  // size is the source's size as the file system gives it; name names it in errors. Throws
  // EBuildError when the file or the package would pass 2 GiB, or when the source does not hold
  // size bytes while it is read.
  TPackedFileRec AddFile(const BuildProject::FileRow& row, ByteReader& source, int64_t size,
                         ByteWriter& setupDat, ByteWriter& pak);

  int64_t Position() const { return FPosition; }  // 1-based position of the next stored byte

 private:
  void Copy(ByteReader& source, int64_t size, std::string_view name, ByteWriter& pak);
  void CheckRoom(int64_t stored, std::string_view name) const;

  bool FCompress;
  int64_t FPosition = 1;
};

// The LZH block of a whole memory block (its bit stream and the 4-byte length after it) into out;
// false when the codec fails.
bool CompressBlock(const uint8_t* data, size_t size, Bytes& out);

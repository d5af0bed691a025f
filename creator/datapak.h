// data.pak as the build writes it, together with the file records that close setup.dat: the
// uninstaller's bytes first, then each file's bytes, raw or as one LZH block, addressed by 1-based
// positions. Portable: the build thread gives it its files as readers and writers, and every byte
// goes through in pieces (bytestreams.h), compressed ones too.
#pragma once

#include "creator/bytestreams.h"
#include "creator/setupdat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class DataPackager {
 public:
  static constexpr size_t CopyBlock = 2048;  // raw copies stream through one block of this size

  explicit DataPackager(bool compress) : FCompress(compress) {}

  // The uninstaller at the head of data.pak, stored as it is in either method.
  void AddUninstaller(ByteReader& source, int64_t size, std::string_view name, ByteWriter& pak);

  // One row of the file list: its stored bytes go to data.pak and its record to setup.dat (raw,
  // the record first; compressed, after the block, whose length it holds). size is the source's
  // size as the file system gives it. Throws EBuildError, naming the row's source: when the file
  // passes 2 GiB; when the package would (raw, before anything is written; compressed, as soon as
  // the block would, with what was written of it left in data.pak); when the source does not hold
  // size bytes while it is read; when the coder cannot run.
  TPackedFileRec AddFile(const BuildProject::FileRow& row, ByteReader& source, int64_t size,
                         ByteWriter& setupDat, ByteWriter& pak);

  int64_t Position() const { return FPosition; }  // 1-based position of the next stored byte

 private:
  void Copy(ByteReader& source, int64_t size, std::string_view name, ByteWriter& pak);
  void Compress(ByteReader& source, int64_t size, std::string_view name, ByteWriter& pak, TPackedFileRec& rec);
  void CheckRoom(int64_t stored, std::string_view name) const;

  bool FCompress;
  int64_t FPosition = 1;
};

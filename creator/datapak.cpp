#include "creator/datapak.h"

#include "codec/lzh.h"

#include <new>

namespace {

std::string Quoted(std::string_view text) {
  std::string s;
  s.reserve(text.size() + 2);
  s.append(1, '\'').append(text).append(1, '\'');
  return s;
}

// Reads exactly size bytes: a source that ends early or goes on longer has changed since its size
// was taken, and its record would lie about it.
Bytes ReadWhole(ByteReader& source, int64_t size, std::string_view name) {
  Bytes data(static_cast<size_t>(size));
  size_t got = 0;
  while (got < data.size()) {
    size_t n = source.Read(data.data() + got, data.size() - got);
    if (n == 0) break;
    got += n;
  }
  uint8_t extra;
  if (got != data.size() || source.Read(&extra, 1) != 0)
    throw EBuildError(Quoted(name) + " changed its size while it was being packaged");
  return data;
}

}  // namespace

bool CompressBlock(const uint8_t* data, size_t size, Bytes& out) {
  out.clear();
  TCustom_lzh lzh;
  lzh.InBuffer = data;
  lzh.InSize = static_cast<int32_t>(size);
  lzh.OutStream = &out;
  return lzh.Compress();
}

void DataPackager::CheckRoom(int64_t stored, std::string_view name) const {
  if (stored > MaxDataPakSize)
    throw EBuildError(Quoted(name) + " is larger than the 2 GiB a data package can address");
  if (FPosition - 1 + stored > MaxDataPakSize)
    throw EBuildError("With " + Quoted(name) +
                      " the data package would pass the 2 GiB its positions can address");
}

void DataPackager::Copy(ByteReader& source, int64_t size, std::string_view name, ByteWriter& pak) {
  uint8_t block[CopyBlock];
  int64_t copied = 0;
  while (size_t n = source.Read(block, sizeof block)) {
    copied += static_cast<int64_t>(n);
    if (copied > size) break;
    pak.Write(block, n);
  }
  if (copied != size) throw EBuildError(Quoted(name) + " changed its size while it was being packaged");
}

void DataPackager::AddUninstaller(ByteReader& source, int64_t size, std::string_view name,
                                  ByteWriter& pak) {
  CheckRoom(size, name);
  if (FCompress) {
    Bytes whole = ReadWhole(source, size, name);
    pak.Write(whole.data(), whole.size());
  } else {
    Copy(source, size, name, pak);
  }
  FPosition += size;
}

TPackedFileRec DataPackager::AddFile(const BuildProject::FileRow& row, ByteReader& source,
                                     int64_t size, ByteWriter& setupDat, ByteWriter& pak) {
  const std::string_view name = row.Source;
  TPackedFileRec rec;
  ClearRec(rec);
  rec.DestPath.Set(row.Destination);
  rec.PackageName.Set(row.Package);
  rec.DataOffset = static_cast<int32_t>(FPosition);
  CheckRoom(size, name);
  rec.OriginalSize = static_cast<int32_t>(size);
  if (FCompress) {
    Bytes block;
    try {
      Bytes whole = ReadWhole(source, size, name);
      if (!CompressBlock(whole.data(), whole.size(), block))
        throw EBuildError(Quoted(name) + " could not be compressed: the codec found no memory");
    } catch (const std::bad_alloc&) {
      // The file and its block are held in memory together.
      throw EBuildError(Quoted(name) + " is too large to be compressed in the memory available");
    }
    CheckRoom(static_cast<int64_t>(block.size()), name);
    rec.StoredSize = static_cast<int32_t>(block.size());
    setupDat.Write(&rec, sizeof rec);
    pak.Write(block.data(), block.size());
  } else {
    rec.StoredSize = rec.OriginalSize;
    setupDat.Write(&rec, sizeof rec);
    Copy(source, size, name, pak);
  }
  FPosition += rec.StoredSize;
  return rec;
}

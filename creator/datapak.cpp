#include "creator/datapak.h"

namespace {

[[noreturn]] void ChangedSize(std::string_view name) {
  // A source that ends early or goes on longer has changed since its size was taken, and its
  // record would lie about it.
  throw EBuildError(Quoted(name) + " changed its size while it was being packaged");
}

[[noreturn]] void TooLarge(std::string_view name) {
  throw EBuildError(Quoted(name) + " is larger than the 2 GiB a data package can address");
}

}  // namespace

void DataPackager::CheckRoom(int64_t stored, std::string_view name) const {
  if (stored > MaxDataPakSize) TooLarge(name);
  if (FPosition - 1 + stored > MaxDataPakSize)
    throw EBuildError("With " + Quoted(name) +
                      " the data package would pass the 2 GiB its positions can address");
}

void DataPackager::Copy(ByteReader& source, int64_t size, std::string_view name, ByteWriter& pak) {
  TLimitedReader exact(source, size);
  CopyStream(exact, pak, CopyBlock);
  if (!exact.Exact()) ChangedSize(name);
}

// The block goes to data.pak as the coder writes it; its length is known when it ends.
void DataPackager::Compress(ByteReader& source, int64_t size, std::string_view name, ByteWriter& pak,
                            TPackedFileRec& rec) {
  TLimitedReader exact(source, size);
  TCountingWriter block(pak, MaxDataPakSize - (FPosition - 1), [&](int64_t stored) { CheckRoom(stored, name); });
  if (!LzhCompressStream(exact, block))
    throw EBuildError(Quoted(name) + " could not be compressed: the codec found no memory");
  if (!exact.Exact()) ChangedSize(name);
  rec.StoredSize = static_cast<int32_t>(block.Count());
}

void DataPackager::AddUninstaller(ByteReader& source, int64_t size, std::string_view name,
                                  ByteWriter& pak) {
  CheckRoom(size, name);
  Copy(source, size, name, pak);
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
  // Compressed, what must fit is the block, which is measured as it is written; the file itself
  // must only fit the block's 32-bit count.
  if (!FCompress)
    CheckRoom(size, name);
  else if (size > MaxDataPakSize)
    TooLarge(name);
  rec.OriginalSize = static_cast<int32_t>(size);
  if (FCompress) {
    Compress(source, size, name, pak, rec);
    setupDat.Write(&rec, sizeof rec);
  } else {
    rec.StoredSize = rec.OriginalSize;
    setupDat.Write(&rec, sizeof rec);
    Copy(source, size, name, pak);
  }
  FPosition += rec.StoredSize;
  return rec;
}

#include "creator/bytestreams.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "codec/lzh_U1.h"
#include "codec/lzh_pieces.h"

size_t TMemoryReader::Read(void* buffer, size_t size) {
  const size_t n = std::min(size, FBytes.size() - FAt);
  if (n != 0) std::memcpy(buffer, FBytes.data() + FAt, n);
  FAt += n;
  return n;
}

size_t TLimitedReader::Read(void* buffer, size_t size) {
  const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), FLeft));
  if (n == 0) return 0;
  const size_t got = FSource.Read(buffer, n);
  FLeft -= static_cast<int64_t>(got);
  return got;
}

bool TLimitedReader::Exact() {
  uint8_t extra;
  return FLeft == 0 && FSource.Read(&extra, 1) == 0;
}

void TCountingWriter::Write(const void* data, size_t size) {
  if (static_cast<int64_t>(size) > FLimit - FCount) {
    FRefuse(FCount + static_cast<int64_t>(size));
    throw std::logic_error("a refused piece was not refused");
  }
  FOut.Write(data, size);
  FCount += static_cast<int64_t>(size);
}

int64_t CopyStream(ByteReader& source, ByteWriter& out, size_t piece) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[piece]);
  int64_t copied = 0;
  while (const size_t n = source.Read(buffer.get(), piece)) {
    out.Write(buffer.get(), n);
    copied += static_cast<int64_t>(n);
  }
  return copied;
}

bool LzhCompressStream(ByteReader& source, ByteWriter& block) {
  // The coder's run in pieces reads and writes pieces of the same size as StreamPiece; what the
  // reader or the writer throws passes through it.
  struct TEnds : TLzhPieces {
    ByteReader& Source;
    ByteWriter& Block;
    TEnds(ByteReader& s, ByteWriter& b) : Source(s), Block(b) {}
    bool Read(uint8_t* buffer, size_t size, size_t& got) override {
      got = Source.Read(buffer, size < StreamPiece ? size : StreamPiece);
      return true;
    }
    bool Write(const uint8_t* data, size_t size) override {
      Block.Write(data, size);
      return true;
    }
  } ends(source, block);
  try {
    return LzhEncodePieces(ends) >= 0;
  } catch (const ElzhException&) {
    return false;  // its memory and the tables come first: nothing was read or written
  }
}

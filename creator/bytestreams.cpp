#include "creator/bytestreams.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "codec/lzh_U1.h"

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

namespace {

// The coder's side of the two pieces. Each callback moves one byte as TCustom_lzh's do over a
// block in memory (a load or a store and a compare with the piece's end); only at the end of a
// piece does a call go out to the reader or the writer.
struct TReadAhead {
  ByteReader& Source;
  uint8_t* const Buffer;
  const uint8_t* At = Buffer;
  const uint8_t* End = Buffer;
  bool Ended = false;

  // Refills the piece when it is used up, then copies up to count bytes; none once the source has
  // ended, as often as asked.
  void ReadSlow(uint8_t* buffer, uint16_t count, uint16_t& done) {
    done = 0;
    while (done < count) {
      if (At == End) {
        if (Ended) return;
        const size_t n = Source.Read(Buffer, StreamPiece);
        At = Buffer;
        End = Buffer + n;
        if (n == 0) {
          Ended = true;
          return;
        }
      }
      const size_t n = std::min<size_t>(size_t(count - done), size_t(End - At));
      std::memcpy(buffer + done, At, n);
      At += n;
      done = uint16_t(done + n);
    }
  }
};

struct TWriteBehind {
  ByteWriter& Out;
  uint8_t* const Buffer;
  uint8_t* At = Buffer;
  uint8_t* const Limit = Buffer + StreamPiece;

  void Put(const uint8_t* buffer, size_t n) {
    if (size_t(Limit - At) < n) [[unlikely]] Flush();
    if (n == 1)
      *At++ = *buffer;
    else
      At = std::copy_n(buffer, n, At);
  }
  void Flush() {
    if (At != Buffer) Out.Write(Buffer, size_t(At - Buffer));
    At = Buffer;
  }
};

static_assert(StreamPiece >= 65535, "a piece holds any write of the coder");

}  // namespace

bool LzhCompressStream(ByteReader& source, ByteWriter& block) {
  std::unique_ptr<uint8_t[]> pieces(new uint8_t[2 * StreamPiece]);
  TReadAhead in{source, pieces.get()};
  TWriteBehind out{block, pieces.get() + StreamPiece};
  int32_t bytesIn;
  try {
    bytesIn = LzhEncodeStream(
        [&in](uint8_t* buffer, uint16_t count, uint16_t& done) {
          const uint8_t* at = in.At;
          if (count == 1 && at != in.End) [[likely]] {
            in.At = at + 1;
            *buffer = *at;
            done = 1;
            return;
          }
          in.ReadSlow(buffer, count, done);
        },
        [&out](const uint8_t* buffer, uint16_t n, uint16_t& done) {
          out.Put(buffer, n);
          done = n;
        });
  } catch (const ElzhException&) {
    return false;  // the tables come first: nothing was read or written
  }
  const uint32_t n = uint32_t(bytesIn);
  const uint8_t trailer[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  out.Put(trailer, sizeof trailer);
  out.Flush();
  return true;
}

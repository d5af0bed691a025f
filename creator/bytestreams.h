// How the build moves bytes: from readers to writers in pieces of a fixed size, so that what a
// build holds in memory never grows with the files it packs. Raw bytes are copied piece by piece;
// compressed ones go through the LZH coder's byte callbacks, fed from one piece read ahead and
// collected in one piece written behind. Portable: the build thread gives it its files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// Where bytes come from and go to. The build's files throw EBuildError, naming the file and the
// reason.
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

// The largest piece read or written at once when bytes are streamed. It holds every write of the
// coder (up to 65,535 bytes) whole.
inline constexpr size_t StreamPiece = size_t{64} << 10;

// Bytes held in memory, read from the front.
class TMemoryReader : public ByteReader {
 public:
  explicit TMemoryReader(std::vector<uint8_t> bytes) : FBytes(std::move(bytes)) {}
  size_t Read(void* buffer, size_t size) override;

 private:
  std::vector<uint8_t> FBytes;
  size_t FAt = 0;
};

// The first size bytes of source, or fewer when it ends before them.
class TLimitedReader : public ByteReader {
 public:
  TLimitedReader(ByteReader& source, int64_t size) : FSource(source), FLeft(size) {}
  size_t Read(void* buffer, size_t size) override;
  // True when the source held exactly those bytes: all were read and it has no more. A source
  // that has grown or shrunk since its size was taken answers false.
  bool Exact();

 private:
  ByteReader& FSource;
  int64_t FLeft;
};

// Passes every piece on to out and counts the bytes. A piece that would take the count past limit
// is not passed on: refuse is called with the count it would reach, and must throw.
class TCountingWriter : public ByteWriter {
 public:
  using TRefuse = std::function<void(int64_t count)>;
  TCountingWriter(ByteWriter& out, int64_t limit, TRefuse refuse)
      : FOut(out), FLimit(limit), FRefuse(std::move(refuse)) {}
  void Write(const void* data, size_t size) override;
  int64_t Count() const { return FCount; }

 private:
  ByteWriter& FOut;
  int64_t FLimit;
  TRefuse FRefuse;
  int64_t FCount = 0;
};

// Copies everything source yields to out, each read of up to piece bytes written as it was read;
// answers the number of bytes.
int64_t CopyStream(ByteReader& source, ByteWriter& out, size_t piece = StreamPiece);

// The LZH block of everything source yields (at most 2^31 - 1 bytes): the coder's bit stream, then
// the number of bytes read as 4 bytes little-endian; the same bytes as TCustom_lzh::Compress of
// the whole input in memory. Reads and writes pieces of at most StreamPiece bytes. False, with
// nothing written, when the coder cannot get its tables.
bool LzhCompressStream(ByteReader& source, ByteWriter& block);

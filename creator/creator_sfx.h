// The self-extracting package: the stub's bytes, then the payload, then an 8-byte tail by which the
// stub finds the payload from the end of its own file.
//
//   stub            E bytes of extractor.exe, unchanged
//   entry count     N                                        (all integers 32-bit little-endian)
//   N times         S, L, the L bytes of the name, the S bytes of the data
//   payload length  P = 4 + sum of (8 + L + S)
//   magic           2E 22 6B 3D
//
// An entry named data.pak (letters A to Z in any case) is stored as it is; every other entry is the
// file compressed whole into one LZH block. The three steps below are what the build's
// TCompiler.BuildSelfExtractor runs, in this order, over one open output. Every file goes through
// in pieces (bytestreams.h): a compressed entry is written as the coder writes it, and its S, known
// only at its end, is written into the place kept for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/lzh.h"
#include "creator/bytestreams.h"

inline constexpr uint32_t SfxMagic = 0x3D6B222E;  // stored as the bytes 2E 22 6B 3D

// A failure while writing a package (the message names the file or the limit).
class ESfxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the package goes: its bytes one after the other, and, into bytes already written, an
// entry's length once it is known. Both raise on failure.
class TSfxOutput : public ByteWriter {
 public:
  virtual int64_t Position() = 0;  // where the next byte goes, as WriteAt counts
  virtual void WriteAt(int64_t position, const void* data, size_t size) = 0;
};

// An output into memory (positions count from the start of the target).
class TSfxMemoryOutput : public TSfxOutput {
 public:
  explicit TSfxMemoryOutput(TMemoryStream& target) : FTarget(target) {}
  void Write(const void* data, size_t size) override;
  int64_t Position() override { return static_cast<int64_t>(FTarget.size()); }
  void WriteAt(int64_t position, const void* data, size_t size) override;

 private:
  TMemoryStream& FTarget;
};

// A staged file opened for the package: its bytes, and their number as the file system gives it.
struct TSfxSource {
  std::unique_ptr<ByteReader> Reader;
  int64_t Size = 0;
};
// Opens the staged file of that name (raises on failure).
using TSfxOpenFile = std::function<TSfxSource(const std::string& name)>;
// Gives the whole content of the staged file of that name, for packages made in memory.
using TSfxLoadFile = std::function<TMemoryStream(const std::string& name)>;
// Compresses what source yields into one LZH block; false when it could not.
using TSfxCompress = bool (*)(ByteReader& source, ByteWriter& block);

// True for the one name whose data is stored unchanged: "data.pak" with only A to Z folded.
bool IsStoredSfxEntry(const std::string& name);

// Writes the stub's bytes; returns their number, E.
int64_t CopyExtractorStub(TSfxOutput& out, ByteReader& stub);
int64_t CopyExtractorStub(TSfxOutput& out, const TMemoryStream& stub);

// Writes N, the entries of the staged files in the order given (names without directory, as the
// directory listing gives them), then P; returns P. One file is open at a time. Raises ESfxError
// when a file cannot be compressed, when it does not hold the bytes it had when it was opened, or
// when the payload would pass 2 GiB, the most its 32-bit lengths can describe (a compressed entry
// as soon as its block would).
int32_t AppendPayload(TSfxOutput& out, const std::vector<std::string>& names, const TSfxOpenFile& open,
                      TSfxCompress compress = LzhCompressStream);
int32_t AppendPayload(TSfxOutput& out, const std::vector<std::string>& names, const TSfxLoadFile& load);

// Writes the four bytes of the magic.
void WriteSfxMagic(TSfxOutput& out);

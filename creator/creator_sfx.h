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
// TCompiler.BuildSelfExtractor runs, in this order, over one open output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/lzh.h"

inline constexpr uint32_t SfxMagic = 0x3D6B222E;  // stored as the bytes 2E 22 6B 3D

// A failure while writing a package (the message names the file or the limit).
class ESfxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the package goes. Write raises on failure.
class TSfxOutput {
 public:
  virtual ~TSfxOutput() = default;
  virtual void Write(const void* data, size_t size) = 0;
};

// An output into memory.
class TSfxMemoryOutput : public TSfxOutput {
 public:
  explicit TSfxMemoryOutput(TMemoryStream& target) : FTarget(target) {}
  void Write(const void* data, size_t size) override;

 private:
  TMemoryStream& FTarget;
};

// Gives the whole content of the staged file of that name (raises on failure).
using TSfxLoadFile = std::function<TMemoryStream(const std::string& name)>;
// Compresses a file into one LZH block; false when it could not.
using TSfxCompress = bool (*)(const TMemoryStream& bytes, TMemoryStream& block);

// True for the one name whose data is stored unchanged: "data.pak" with only A to Z folded.
bool IsStoredSfxEntry(const std::string& name);

// The codec run the package uses: a TCustom_lzh over the bytes into the block.
bool LzhCompressBlock(const TMemoryStream& bytes, TMemoryStream& block);

// Writes the stub's bytes; returns their number, E.
int64_t CopyExtractorStub(TSfxOutput& out, const TMemoryStream& stub);

// Writes N, the entries of the staged files in the order given (names without directory, as the
// directory listing gives them), then P; returns P. Each file is loaded, and compressed, one at a
// time. Raises ESfxError when a file cannot be compressed or the payload would pass 2 GiB, the
// most its 32-bit lengths can describe.
int32_t AppendPayload(TSfxOutput& out, const std::vector<std::string>& names, const TSfxLoadFile& load,
                      TSfxCompress compress = LzhCompressBlock);

// Writes the four bytes of the magic.
void WriteSfxMagic(TSfxOutput& out);

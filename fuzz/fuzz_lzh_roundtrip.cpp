// Arbitrary inputs through TCustom_lzh::Compress and back through Decompress; the block is the
// plain reference coder's, byte for byte, and LzhEncodePieces writes it too.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codec/lzh.h"
#include "codec/lzh_pieces.h"
#include "bench/lzh_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Past 4096 bytes the match tree drops the oldest positions; little more shows anything new.
  if (size > 4608) return -1;
  TMemoryStream block, back;
  TCustom_lzh enc;
  enc.InBuffer = data;
  enc.InSize = int32_t(size);
  enc.OutStream = &block;
  if (!enc.Compress() || block.size() < 5) std::abort();
  if (RefLzhCompress(data, int32_t(size)) != block) std::abort();
  uint32_t count;
  std::memcpy(&count, block.data() + block.size() - 4, 4);
  if (count != size) std::abort();
  TCustom_lzh dec;
  dec.InBuffer = block.data();
  dec.InSize = int32_t(block.size());
  dec.OutStream = &back;
  if (!dec.Decompress() || back.size() != size || (size && std::memcmp(back.data(), data, size) != 0)) std::abort();
  struct TPieces : TLzhPieces {
    const uint8_t* Data;
    size_t Size, At = 0;
    TMemoryStream Out;
    bool Read(uint8_t* buffer, size_t n, size_t& got) override {
      got = std::min(n, Size - At);
      if (got) std::memcpy(buffer, Data + At, got);
      At += got;
      return true;
    }
    bool Write(const uint8_t* d, size_t n) override {
      Out.insert(Out.end(), d, d + n);
      return true;
    }
  } pieces;
  pieces.Data = data;
  pieces.Size = size;
  if (LzhEncodePieces(pieces) != int64_t(size) || pieces.Out != block) std::abort();
  return 0;
}

// Arbitrary inputs through TCustom_lzh::Compress and back through Decompress.
#include <cstdlib>
#include <cstring>

#include "codec/lzh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Past 4096 bytes the match tree drops the oldest positions; little more shows anything new.
  if (size > 4608) return -1;
  TMemoryStream block, back;
  TCustom_lzh enc;
  enc.InBuffer = data;
  enc.InSize = int32_t(size);
  enc.OutStream = &block;
  if (!enc.Compress() || block.size() < 5) std::abort();
  uint32_t count;
  std::memcpy(&count, block.data() + block.size() - 4, 4);
  if (count != size) std::abort();
  TCustom_lzh dec;
  dec.InBuffer = block.data();
  dec.InSize = int32_t(block.size());
  dec.OutStream = &back;
  if (!dec.Decompress() || back.size() != size || (size && std::memcmp(back.data(), data, size) != 0)) std::abort();
  return 0;
}

// Arbitrary blocks into TCustom_lzh::Decompress: no crash, no access out of bounds, and at most
// 59 bytes beyond the count that the trailer announces. LzhDecodePieces, given the block in
// pieces of sizes taken from its own bytes, writes the same bytes.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codec/lzh.h"
#include "codec/lzh_pieces.h"

// The decoder writes the announced count whatever the input holds, reading zero bits past its end,
// so the count alone sets the time an input takes. No sound block expands more than 48 times; a
// few kilobytes more let short inputs reach the ring's wrap, and 40 KiB the model's rebuild after
// 32768 symbols.
static size_t CountLimit(size_t size) {
  const size_t limit = 48 * size + 4096;
  return limit < 40960 ? limit : 40960;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  int32_t count = 0;
  if (size > 4) {
    uint32_t u;
    std::memcpy(&u, data + size - 4, 4);  // little-endian hosts only, like the fuzzer's
    count = int32_t(u);
    if (count > 0 && size_t(count) > CountLimit(size)) return -1;  // such blocks are not kept
  }
  TMemoryStream out;
  TCustom_lzh lzh;
  lzh.InBuffer = data;
  lzh.InSize = int32_t(size);
  lzh.OutStream = &out;
  bool ok = lzh.Decompress();
  if (size <= 4) {
    if (ok || !out.empty()) std::abort();
  } else {
    size_t want = count > 0 ? size_t(count) : 0;
    if (!ok || out.size() < want || out.size() > want + (count > 0 ? 59 : 0)) std::abort();
  }
  struct TPieces : TLzhPieces {
    const uint8_t* Data;
    size_t Size, At = 0;
    const TMemoryStream& Want;
    size_t Written = 0;
    TPieces(const uint8_t* data, size_t size, const TMemoryStream& want) : Data(data), Size(size), Want(want) {}
    bool Read(uint8_t* buffer, size_t n, size_t& got) override {
      got = std::min(std::min(n, size_t(1 + (At < Size ? Data[At] % 23 : 0))), Size - At);
      std::memcpy(buffer, Data + At, got);
      At += got;
      return true;
    }
    bool Write(const uint8_t* data, size_t n) override {
      if (Written + n > Want.size() || std::memcmp(data, Want.data() + Written, n) != 0) std::abort();
      Written += n;
      return true;
    }
  } pieces(data, size, out);
  int64_t produced = -1;
  if (!LzhDecodePieces(count, pieces, &produced) || pieces.Written != out.size() || produced != int64_t(out.size()))
    std::abort();
  return 0;
}

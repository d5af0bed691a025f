// LzhDecodePieces: the decoder run of lzh_pieces.h.
//
// The block comes in through an input buffer that is topped up from Read whenever fewer than 8
// bytes are left in it. The output is decoded into a window that the run reuses: 4,096 bytes of
// history, which every match copies from, and a piece behind them. When the piece is full it is
// written, its last 4,096 bytes move to the front as the new history, and decoding goes on. The
// window stays in the cache, no memory is zeroed ahead of the writes, and none grows with the
// output. The history starts as the ring starts, so that matches need no case of their own for
// the first bytes: the blank fill at ring positions 0..4,035 and the zeros of 4,036..4,095 that
// no byte has reached yet (as TCustom_lzh::Decompress reads them).
#include "codec/lzh_pieces.h"

#include <algorithm>
#include <memory>
#include <new>

#include "codec/lzh_decode.h"

namespace {

using namespace lzh_decode;

constexpr size_t kInSize = 64 * 1024;
constexpr size_t kHistory = kLzhRingSize;
constexpr size_t kPiece = 256 * 1024;
constexpr size_t kWindowSize = kHistory + kPiece + kMatchRoom;

struct TPieceBits : TLzhBits {
  uint8_t* const Buffer;
  TLzhPieces& Ends;
  bool Ended = false;
  bool Failed = false;

  TPieceBits(uint8_t* buffer, TLzhPieces& ends) : TLzhBits{buffer, buffer}, Buffer(buffer), Ends(ends) {}
  void Fill() {
    if (End - Next >= 8) [[likely]]
      FillFrom8();
    else
      TopUp();
  }
  // The bytes not yet taken move to the front and Read adds to them, until there are 8 or the
  // block has ended (after a failed Read too: the run stops at the end of its piece).
  [[gnu::noinline]] void TopUp() {
    while (!Ended && End - Next < 8) {
      const size_t kept = size_t(End - Next);
      std::memmove(Buffer, Next, kept);
      size_t got = 0;
      if (!Ends.Read(Buffer + kept, kInSize - kept, got)) {
        Failed = true;
        got = 0;
      }
      Ended = got == 0;
      Next = Buffer;
      End = Buffer + kept + std::min(got, kInSize - kept);
    }
    if (End - Next >= 8)
      FillFrom8();
    else
      FillTail();
  }
};

}  // namespace

bool LzhDecodePieces(int32_t count, TLzhPieces& ends, int64_t* produced) {
  if (produced) *produced = 0;
  if (count <= 0) return true;
  TLzhTables tables = LzhAllocTables();
  std::unique_ptr<uint8_t[]> memory(new (std::nothrow) uint8_t[kInSize + kWindowSize]);
  if (!memory) throw ElzhException(kLzhNoMemory);
  TLzhState& st = *tables;
  st.KeepGrand = true;
  LzhHuffInit(st);
  TPieceBits in(memory.get(), ends);
  uint8_t* const window = memory.get() + kInSize;
  std::memset(window, 0, kHistory - kLzhStart);
  std::memset(window + kHistory - kLzhStart, ' ', kLzhStart);

  uint64_t due = uint64_t(count);
  for (;;) {
    const size_t stop = kHistory + size_t(std::min<uint64_t>(due, kPiece));
    size_t pos = kHistory;
    while (pos < stop) {
      int c = DecodeSymbol(st, in);
      if (c < 256) {
        window[pos++] = uint8_t(c);
      } else {
        const int j = c - (255 - kLzhThreshold);
        CopyBack(window + pos, DecodeOffset(in) + 1u, j);
        pos += size_t(j);
      }
    }
    const size_t n = pos - kHistory;
    if (in.Failed || !ends.Write(window + kHistory, n)) return false;
    if (produced) *produced += int64_t(n);
    if (n >= due) return true;
    due -= n;
    // n is at least a piece, more than the history: the two do not overlap.
    std::memcpy(window, window + n, kHistory);
  }
}

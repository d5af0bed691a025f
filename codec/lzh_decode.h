// The decoder's symbol step, which both of its runs share: TCustom_lzh::Decompress (a block in
// memory into a memory stream, lzh_decompress.cpp) and LzhDecodePieces (pieces in, pieces out
// through a window, lzh_pieces_decode.cpp). Each gives it a bit reader of its own, a TLzhBits with
// a Fill() that leaves at least 56 bits in Buf (zeros past the end of the stream).
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>

#include "codec/lzh_U1.h"

namespace lzh_decode {

inline uint64_t BigEndian64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

// The bits of a stream, most significant first; Next..End are the bytes not yet taken in.
struct TLzhBits {
  const uint8_t* Next;
  const uint8_t* End;
  uint64_t Buf = 0;  // left-aligned; below Count only bits of the stream or zeros
  unsigned Count = 0;

  // With 8 bytes at hand: at least 56 bits. With more than 56 bits the read takes no byte and
  // only ORs in bits that are there already: cheaper than a jump that goes either way.
  void FillFrom8() {
    Buf |= BigEndian64(Next) >> Count;
    Next += (63 - Count) >> 3;
    Count |= 56;
  }
  // The last bytes one at a time, then zeros.
  void FillTail() {
    for (; Count <= 56; Count += 8)
      if (Next < End) Buf |= uint64_t(*Next++) << (56 - Count);
  }
  unsigned Take(unsigned n) {  // n = 1..56 bits, Fill done
    unsigned v = unsigned(Buf >> (64 - n));
    Buf <<= n;
    Count -= n;
    return v;
  }
};

// Top from the tree as it is now.
inline void RebuildTop(TLzhState& st) {
  std::memset(st.InTop, 0, sizeof st.InTop);
  for (unsigned bits = 0; bits < 16; bits++) {
    TLzhState::TLzhTop& t = st.Top[bits];
    int s = st.NodeChild[kLzhRoot];
    unsigned len = 0;
    while (len < 4) {
      int slot = s + int((bits >> (3 - len)) & 1);
      t.Slot[len++] = &st.NodeFreq[slot];
      st.InTop[slot] = true;
      s = st.NodeChild[slot];
      if (s >= kLzhNodes) break;
    }
    t.Next = int16_t(s);
    t.Len = uint8_t(len);
  }
  st.TopStale = false;
}

// The symbol at the reader; as LzhDecodeSymbol. The path holds the counts of the slots passed:
// the update's way back up is the one loop of every symbol, and a pointer there costs no
// address arithmetic.
template <class TBits>
[[gnu::always_inline]] inline int DecodeSymbol(TLzhState& st, TBits& in) {
  const int16_t* child = st.NodeChild;
  const int16_t* grand = st.NodeGrand;
  uint16_t* freq = st.NodeFreq;
  in.Fill();
  uint64_t buf = in.Buf;
  uint16_t* path[kLzhSymbols + 1];
  if (st.TopStale) [[unlikely]] RebuildTop(st);
  const TLzhState::TLzhTop& top = st.Top[buf >> 60];
  std::memcpy(path, top.Slot, sizeof top.Slot);
  int depth = top.Len;
  buf <<= depth;
  int s = top.Next;
  while (s < kLzhNodes) {  // two levels per step
    int slot = s + int(buf >> 63);
    unsigned b2 = unsigned(buf >> 62) & 1;
    int g = grand[2 * slot + int(b2)];
    path[depth++] = &freq[slot];
    if (g >= kLzhGrandLeaf) {
      s = g - kLzhGrandLeaf + kLzhNodes;
      buf <<= 1;
      break;
    }
    path[depth++] = &freq[child[slot] + int(b2)];
    buf <<= 2;
    s = g;
  }
  if (unsigned(depth) <= in.Count) [[likely]] {  // no leaf lies deeper than 22
    in.Buf = buf;
    in.Count -= unsigned(depth);
  } else {
    depth = 0;
    s = child[kLzhRoot];
    do {
      in.Fill();
      int slot = s + int(in.Take(1));
      path[depth++] = &freq[slot];
      s = child[slot];
    } while (s < kLzhNodes);
  }
  int c = s - kLzhNodes;
  if (freq[kLzhRoot] != kLzhMaxFreq) [[likely]] {
    uint16_t* const* p = path + depth;
    do {  // up the path just walked
      uint16_t* f = *--p;
      unsigned k = ++*f;
      if (k > f[1]) {
        lzh_detail::HuffMoveUp<true>(st, int(f - freq), k);
        return c;
      }
    } while (p != path);
    freq[kLzhRoot]++;
  } else {
    LzhHuffUpdate(st, c);
  }
  return c;
}

template <class TBits>
inline unsigned DecodeOffset(TBits& in) {
  in.Fill();
  unsigned i = unsigned(in.Buf >> 56);
  unsigned len = lzh_detail::kOffsetCodes.DecLen[i];
  unsigned high = lzh_detail::kOffsetCodes.DecValue[i];
  return (high << 6) | (in.Take(len + 6) & 0x3F);
}

// Room a match needs behind the end of the output: its 60 bytes and the overshoot of its
// 16-byte pieces.
inline constexpr size_t kMatchRoom = kLzhLookAhead + 16;

// Copies the j bytes that lie distance bytes back (all of them written) to `to`.
inline void CopyBack(uint8_t* to, size_t distance, int j) {
  if (distance >= 16) {  // 16-byte pieces, each read wholly from bytes already there
    const uint8_t* from = to - distance;
    for (int k = 0; k < j; k += 16) std::memcpy(to + k, from + k, 16);
  } else if (distance == 1) {
    std::memset(to, to[-1], size_t(j));
  } else {
    const uint8_t* from = to - distance;
    for (int k = 0; k < j; k++) to[k] = from[k];
  }
}

}  // namespace lzh_decode

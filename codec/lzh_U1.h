// The LZH coder: LZSS over a ring of 4,096 bytes with binary search trees as match finder, an
// adaptive Huffman code for one alphabet of literals (0..255) and match lengths 3..60 (256..313),
// and a fixed prefix code for the upper 6 bits of a match offset.
//
// The stream is a bare bit sequence, most significant bit first, its last byte padded with zeros:
// no header, no end marker. The decoder is told how many bytes to produce.
//
// The coder reads and writes through two callbacks, each call moving one byte:
//   read(uint8_t* buffer, uint16_t count, uint16_t& done)        done = bytes copied, 0 at the end
//                                                                 (and for every later call)
//   write(const uint8_t* buffer, uint16_t count, uint16_t& done)
// They are template parameters so that a call costs no more than the byte it moves.
//
// Every run obtains its own tables (TLzhState) and gives them back when it ends, also when a
// callback throws, so two runs never share state.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

// Its messages are the fixed texts below. It holds no string of its own: a std::string member
// would bring the library's whole string and exception-class code into the self-extractor stub,
// which links this coder and must stay small.
class ElzhException : public std::exception {
 public:
  explicit ElzhException(const char* message) noexcept : FMessage(message) {}
  const char* what() const noexcept override { return FMessage; }

 private:
  const char* FMessage;
};

inline constexpr const char* kLzhNoMemory = "LZH : Cannot get memory for dictionary tables";
inline constexpr const char* kLzhFreeError = "LZH : Error freeing memory for dictionary tables";

// Every one of these fixes the stream format.
inline constexpr int kLzhRingSize = 4096;
inline constexpr int kLzhRingMask = kLzhRingSize - 1;
inline constexpr int kLzhLookAhead = 60;   // longest match
inline constexpr int kLzhThreshold = 2;    // a match must be longer than this
inline constexpr int kLzhNil = kLzhRingSize;
inline constexpr int kLzhStart = kLzhRingSize - kLzhLookAhead;  // 4,036: where the input begins
inline constexpr int kLzhSymbols = 256 + kLzhLookAhead - kLzhThreshold;  // 314
inline constexpr int kLzhNodes = 2 * kLzhSymbols - 1;                     // 627; also the leaf mark
inline constexpr int kLzhRoot = kLzhNodes - 1;                            // 626
inline constexpr unsigned kLzhMaxFreq = 0x8000;
inline constexpr int kLzhGrandLeaf = 2048;  // NodeGrand's mark of a leaf one level down

// The tables and the state of one run. Allocated zeroed: ring positions that neither the blank
// fill nor the input has reached read as 0, which keeps the encoder's output reproducible.
struct TLzhState {
  uint64_t InBitBuf;     // bits read but not yet used, left-aligned (at most 64)
  uint32_t InBitCount;
  uint64_t OutBitBuf;    // bits produced but not yet written, the newest in the low bits
  uint32_t OutBitCount;  // 0..7 between codes
  int32_t BytesIn;
  int32_t MatchOffset;   // distance - 1 of the best match of the last insertion
  int32_t MatchLength;   // its length, 0 if none longer than the threshold

  // Match tree: one binary search tree of ring positions per first byte. Links[4,097 + b] holds
  // the root of byte b's tree in its RightLink; entry 4,096 (NIL) takes the harmless writes made
  // for absent nodes. The two links of a node sit side by side: the search reads both at once.
  struct TLzhLinks {
    uint16_t LeftLink, RightLink;
  };
  TLzhLinks Links[kLzhRingSize + 1 + 256];
  uint16_t ParentLink[kLzhRingSize + 1];
  uint16_t LastFull;  // the node the last insertion replaced by a full match, or NIL
  // The ring; 4,096..4,154 repeat 0..58 so that 60 bytes read from any position need no wrap.
  uint8_t Ring[kLzhRingSize + kLzhLookAhead - 1];

  // Huffman tree in slots 0..626 ordered by frequency (slot 627: a sentinel of 0xFFFF).
  // NodeChild: first child of an internal node (the second is the next slot), or 627 + symbol.
  // NodeParent[627 + c]: the slot holding symbol c's leaf.
  uint16_t NodeFreq[kLzhNodes + 4];  // 628..630: more sentinels, for reads of 4 slots at once
  int16_t NodeParent[kLzhNodes + kLzhSymbols + 1];  // the last: the target of writes for no node
  int16_t NodeChild[kLzhNodes];
  // For the decoder, two levels in one load: NodeGrand[2 * x + b] = NodeChild[NodeChild[x] + b]
  // for a slot x of an internal node; for a leaf's slot x both are NodeChild[x] - 627 + 2,048.
  int16_t NodeGrand[2 * kLzhNodes];
  bool KeepGrand;  // NodeGrand is kept only for the decoder
  // For the decoder, the first 4 levels in one load: Top[bits] is where the next 4 bits lead,
  // the slots on the way (their counts, which the update goes back up through) and how many
  // bits that took (fewer at a leaf); Next is the slot of the first child there (or 627 +
  // symbol at a leaf). Rebuilt before the next symbol once a move has touched one of the slots
  // on those ways (InTop), which is rare: they hold the heaviest subtrees.
  struct TLzhTop {
    int16_t Next;
    uint8_t Len;
    uint16_t* Slot[4];
  };
  TLzhTop Top[16];
  bool InTop[kLzhNodes];
  bool TopStale;
};

using TLzhTables = std::unique_ptr<TLzhState>;

TLzhTables LzhAllocTables();           // throws ElzhException(kLzhNoMemory)
void LzhFreeTables(TLzhTables& st);
void LzhTreeInit(TLzhState& st);
// Inserts ring position r and, with findMatch, sets MatchLength and MatchOffset to its best match.
// Both in lzh_U1_tree.h.
inline void LzhTreeInsert(TLzhState& st, int r, bool findMatch = true);
inline void LzhTreeDelete(TLzhState& st, int p);
// Inserts a and b, in two different trees, side by side; with findMatchB it sets MatchLength and
// MatchOffset to b's best match.
inline void LzhTreeInsertPair(TLzhState& st, int a, int b, bool findMatchB);
// Inserts a and then b = a + 1 into one tree, b's walk one step behind; findMatchB as above.
inline void LzhTreeInsertTrailing(TLzhState& st, int a, int b, bool findMatchB);
void LzhHuffInit(TLzhState& st);
void LzhHuffUpdate(TLzhState& st, int c);
// The rest of an update at slot s, just counted up to k and now above its right neighbour.
void LzhHuffMoveUp(TLzhState& st, int s, unsigned k);
void LzhHuffRebuild(TLzhState& st);

namespace lzh_detail {

// Upper 6 bits of an offset: a canonical prefix code of 3 to 8 bits.
struct TOffsetCodes {
  uint8_t Len[64];
  uint8_t Code[64];       // right-aligned
  uint8_t DecValue[256];  // value whose code prefixes an 8-bit pattern
  uint8_t DecLen[256];    // that code's length
};

constexpr TOffsetCodes MakeOffsetCodes() {
  TOffsetCodes t{};
  unsigned code = 0, prev = 3;
  for (unsigned v = 0; v < 64; v++) {
    unsigned len = v < 1 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
    code <<= len - prev;
    prev = len;
    t.Len[v] = uint8_t(len);
    t.Code[v] = uint8_t(code);
    unsigned first = code << (8 - len);
    for (unsigned b = first; b < first + (1u << (8 - len)); b++) {
      t.DecValue[b] = uint8_t(v);
      t.DecLen[b] = uint8_t(len);
    }
    code++;
  }
  return t;
}

inline constexpr TOffsetCodes kOffsetCodes = MakeOffsetCodes();

// Slot s has just grown to k, beyond its right neighbour: it trades places with the highest
// slot l still below k (the sentinel stops the scan), which keeps the slots ordered. Answers l.
// With kGrand, NodeGrand follows.
template <bool kGrand>
inline int HuffSwapUp(TLzhState& st, int s, unsigned k) {
  uint16_t* freq = st.NodeFreq;
  int16_t* child = st.NodeChild;
  int16_t* parent = st.NodeParent;
  // The slots from s + 1 up to l all hold k - 1; their run is measured 4 slots at a time (the
  // sentinels end it), without a jump per slot.
  int l = s + 1;
  for (;;) {
    uint64_t four;
    std::memcpy(&four, &freq[l + 1], 8);
    four ^= 0x0001000100010001ull * (k - 1);  // 0 in each slot still below k
    if (four != 0) {
      l += (std::endian::native == std::endian::little ? std::countr_zero(four) : std::countl_zero(four)) / 16;
      break;
    }
    l += 4;
  }
  freq[s] = freq[l];
  freq[l] = uint16_t(k);
  // The second child's link is written without a jump: a leaf has none, and its write goes to
  // the spare entry at the end.
  constexpr int kNone = kLzhNodes + kLzhSymbols;
  int i = child[s];
  parent[i] = int16_t(l);
  parent[i < kLzhNodes ? i + 1 : kNone] = int16_t(l);
  int j = child[l];
  child[l] = int16_t(i);
  parent[j] = int16_t(s);
  parent[j < kLzhNodes ? j + 1 : kNone] = int16_t(s);
  child[s] = int16_t(j);
  if constexpr (kGrand) {
    // The rows of s and l trade places with their subtrees; the parents of s and l (neither is
    // the root) see a new child value below them.
    int16_t* grand = st.NodeGrand;
    st.TopStale |= st.InTop[s] | st.InTop[l];
    std::swap(grand[2 * s], grand[2 * l]);
    std::swap(grand[2 * s + 1], grand[2 * l + 1]);
    int ps = parent[s], pl = parent[l];
    grand[2 * ps + (s - child[ps])] = int16_t(j);
    grand[2 * pl + (l - child[pl])] = int16_t(i);
  }
  return l;
}

// Counts one more on the way up from slot s to the root.
template <bool kGrand>
inline void HuffCountUp(TLzhState& st, int s) {
  uint16_t* freq = st.NodeFreq;
  do {
    unsigned k = ++freq[s];
    if (k > freq[s + 1]) s = HuffSwapUp<kGrand>(st, s, k);
    s = st.NodeParent[s];
  } while (s != 0);
}

// The rest of an update at slot s, just counted up to k and now above its right neighbour.
template <bool kGrand>
inline void HuffMoveUp(TLzhState& st, int s, unsigned k) {
  HuffCountUp<kGrand>(st, st.NodeParent[HuffSwapUp<kGrand>(st, s, k)]);
}

}  // namespace lzh_detail

// Appends the n low bits of code, first bit first (n <= 57), passing each completed byte on.
template <class TWrite>
inline void LzhWriteBits(TLzhState& st, TWrite& write, unsigned n, uint64_t code) {
  uint64_t buf = (st.OutBitBuf << n) | code;
  unsigned count = st.OutBitCount + n;
  while (count >= 8) {
    count -= 8;
    uint8_t byte = uint8_t(buf >> count);
    uint16_t done = 0;
    write(&byte, 1, done);
  }
  st.OutBitBuf = buf;
  st.OutBitCount = count;
}

template <class TWrite>
inline void LzhFlushBits(TLzhState& st, TWrite& write) {
  if (st.OutBitCount != 0) {
    uint8_t byte = uint8_t(st.OutBitBuf << (8 - st.OutBitCount));
    uint16_t done = 0;
    write(&byte, 1, done);
    st.OutBitCount = 0;
  }
}

// Fills the reader to at least 57 bits, one byte per call and in stream order; past the end of
// the input it reads zeros. Reading ahead of the bits in use changes no result.
template <class TRead>
inline void LzhFillBits(TLzhState& st, TRead& read) {
  while (st.InBitCount <= 56) {
    uint8_t byte = 0;
    uint16_t done = 0;
    read(&byte, 1, done);
    if (done != 1) byte = 0;
    st.InBitBuf |= uint64_t(byte) << (56 - st.InBitCount);
    st.InBitCount += 8;
  }
}

template <class TRead>
inline unsigned LzhReadBit(TLzhState& st, TRead& read) {
  if (st.InBitCount == 0) LzhFillBits(st, read);
  unsigned bit = unsigned(st.InBitBuf >> 63);
  st.InBitBuf <<= 1;
  st.InBitCount--;
  return bit;
}

template <class TRead>
inline unsigned LzhReadByte(TLzhState& st, TRead& read) {
  if (st.InBitCount < 8) LzhFillBits(st, read);
  unsigned byte = unsigned(st.InBitBuf >> 56);
  st.InBitBuf <<= 8;
  st.InBitCount -= 8;
  return byte;
}

// Sends the code of symbol c whole, whatever its length. Frequencies stay within 1..0x8000, so
// no leaf lies deeper than 22 (a deeper one would need a root frequency of a Fibonacci number
// beyond 0x8000): the code fits the 57 bits that LzhWriteBits takes.
template <class TWrite>
inline void LzhEncodeSymbol(TLzhState& st, TWrite& write, int c) {
  const int16_t* parent = st.NodeParent;
  uint16_t* freq = st.NodeFreq;
  uint64_t code = 0;
  unsigned len = 0;
  int k = parent[kLzhNodes + c];
  if (freq[kLzhRoot] == kLzhMaxFreq) [[unlikely]] {  // the model is rebuilt first
    do {
      code |= uint64_t(k & 1) << len;
      len++;
      k = parent[k];
    } while (k != kLzhRoot);
    LzhWriteBits(st, write, len, code);
    LzhHuffUpdate(st, c);
    return;
  }
  // One walk up both reads the code and counts (LzhHuffUpdate's common case): counting changes
  // no link until a slot has to move, and there the rest of the code is read before it moves.
  // The slot is a full-width index, so that the load of its parent, the walk's chain, needs no
  // step to widen it.
  for (intptr_t s = k;;) {
    const intptr_t up = parent[s];
    code |= uint64_t(s & 1) << len;
    len++;
    unsigned f = ++freq[s];
    if (f > freq[s + 1]) [[unlikely]] {
      for (intptr_t u = up; u != kLzhRoot; u = parent[u]) {
        code |= uint64_t(u & 1) << len;
        len++;
      }
      LzhWriteBits(st, write, len, code);
      LzhHuffMoveUp(st, int(s), f);
      return;
    }
    if (up == kLzhRoot) break;
    s = up;
  }
  freq[kLzhRoot]++;
  LzhWriteBits(st, write, len, code);
}

template <class TRead>
inline int LzhDecodeSymbol(TLzhState& st, TRead& read) {
  // With the reader filled to 57 bits or more, the walk checks for no refill: no leaf lies
  // deeper than 22 (see LzhEncodeSymbol). Should a walk ever run out of bits, it is done again
  // with a refill before every bit.
  // Two levels per step: the load of NodeGrand is all that the next step waits for.
  const int16_t* child = st.NodeChild;
  const int16_t* grand = st.NodeGrand;
  LzhFillBits(st, read);
  uint64_t buf = st.InBitBuf;
  int16_t path[kLzhSymbols + 1];  // no leaf lies deeper than 313
  int depth = 0;
  int s = child[kLzhRoot];
  do {
    int slot = s + int(buf >> 63);
    unsigned b2 = unsigned(buf >> 62) & 1;
    int g = grand[2 * slot + int(b2)];
    path[depth++] = int16_t(slot);
    if (g >= kLzhGrandLeaf) {  // slot is a leaf
      s = g - kLzhGrandLeaf + kLzhNodes;
      buf <<= 1;
      break;
    }
    path[depth++] = int16_t(child[slot] + int(b2));
    buf <<= 2;
    s = g;
  } while (s < kLzhNodes);
  if (unsigned(depth) <= st.InBitCount) [[likely]] {
    st.InBitBuf = buf;
    st.InBitCount -= unsigned(depth);
  } else {
    depth = 0;
    s = child[kLzhRoot];
    do {
      int slot = s + int(LzhReadBit(st, read));
      path[depth++] = int16_t(slot);
      s = child[slot];
    } while (s < kLzhNodes);
  }
  int c = s - kLzhNodes;
  // LzhHuffUpdate(c), its common case inline: until a slot has to move, the way up is the path
  // just walked, read backwards, instead of parent links loaded one after the other.
  uint16_t* freq = st.NodeFreq;
  if (freq[kLzhRoot] != kLzhMaxFreq) [[likely]] {
    for (int j = depth - 1; j >= 0; j--) {
      int slot = path[j];
      unsigned k = ++freq[slot];
      if (k > freq[slot + 1]) {
        LzhHuffMoveUp(st, slot, k);
        return c;
      }
    }
    freq[kLzhRoot]++;
  } else {
    LzhHuffUpdate(st, c);
  }
  return c;
}

template <class TWrite>
inline void LzhEncodeOffset(TLzhState& st, TWrite& write, unsigned offset) {
  unsigned high = offset >> 6;
  unsigned len = lzh_detail::kOffsetCodes.Len[high];
  LzhWriteBits(st, write, len + 6, (uint64_t(lzh_detail::kOffsetCodes.Code[high]) << 6) | (offset & 0x3F));
}

template <class TRead>
inline unsigned LzhDecodeOffset(TLzhState& st, TRead& read) {
  unsigned i = LzhReadByte(st, read);
  unsigned high = lzh_detail::kOffsetCodes.DecValue[i];
  for (unsigned j = lzh_detail::kOffsetCodes.DecLen[i] - 2u; j != 0; j--) i = (i << 1) | LzhReadBit(st, read);
  return (high << 6) | (i & 0x3F);
}

// Encodes every byte that read yields and writes the stream; answers the number of bytes read.
template <class TRead, class TWrite>
int32_t LzhEncodeStream(TRead&& read, TWrite&& write) {
  TLzhTables tables = LzhAllocTables();
  TLzhState& st = *tables;
  uint8_t* ring = st.Ring;
  auto next = [&read](uint8_t& byte) {
    uint16_t done = 0;
    read(&byte, 1, done);
    return done != 0;
  };

  LzhHuffInit(st);
  LzhTreeInit(st);
  int s = 0, r = kLzhStart;
  std::memset(ring, ' ', kLzhStart);
  int len = 0;
  for (uint8_t byte; len < kLzhLookAhead && next(byte); len++) ring[r + len] = byte;
  st.BytesIn = len;
  for (int i = 1; i <= kLzhLookAhead; i++) LzhTreeInsert(st, r - i);
  LzhTreeInsert(st, r);

  do {
    if (st.MatchLength > len) st.MatchLength = len;
    if (st.MatchLength <= kLzhThreshold) {
      st.MatchLength = 1;
      LzhEncodeSymbol(st, write, ring[r]);
    } else {
      LzhEncodeSymbol(st, write, st.MatchLength + 255 - kLzhThreshold);
      LzhEncodeOffset(st, write, unsigned(st.MatchOffset));
    }
    int last = st.MatchLength;
    int i = 0;
    for (uint8_t byte; i < last && next(byte); i++) {
      LzhTreeDelete(st, s);
      ring[s] = byte;
      if (s < kLzhLookAhead - 1) ring[s + kLzhRingSize] = byte;
      s = (s + 1) & kLzhRingMask;
      r = (r + 1) & kLzhRingMask;
      // Two insertions, the first without a match to find, walk side by side where no full
      // match is to be continued. The byte read for the second takes the place of the oldest
      // position s: it is the last of the second one's key, beyond the first one's, and the
      // first byte of s, which no walk reads (it is the tree's). s leaves the tree before the
      // second insertion, and also before the first unless it is in the first one's tree:
      // - s is not in the first one's tree: it leaves first.
      //   - The two trees differ: the two walks go side by side.
      //   - In one tree, the second walk trails the first by a step.
      // - s is in the first one's tree, and the second goes into another: the walks go side by
      //   side, and s leaves after them.
      const int r2 = (r + 1) & kLzhRingMask;
      const bool sFirst = ring[s] != ring[r];
      if (i + 1 < last && st.LastFull == kLzhNil && (sFirst || ring[r] != ring[r2])) {
        if (!next(byte)) [[unlikely]] {  // the input has ended after r, which has no match to find
          LzhTreeInsert(st, r, false);
          i++;
          break;
        }
        if (sFirst) LzhTreeDelete(st, s);
        ring[s] = byte;
        if (s < kLzhLookAhead - 1) ring[s + kLzhRingSize] = byte;
        if (ring[r] != ring[r2])
          LzhTreeInsertPair(st, r, r2, i + 1 == last - 1);
        else
          LzhTreeInsertTrailing(st, r, r2, i + 1 == last - 1);
        if (!sFirst) LzhTreeDelete(st, s);
        s = (s + 1) & kLzhRingMask;
        r = r2;
        i++;
        continue;
      }
      LzhTreeInsert(st, r, i == last - 1);  // only the last insertion's match is used
    }
    st.BytesIn += i;
    while (i++ < last) {  // the input has ended
      LzhTreeDelete(st, s);
      s = (s + 1) & kLzhRingMask;
      r = (r + 1) & kLzhRingMask;
      if (--len != 0) LzhTreeInsert(st, r);
    }
  } while (len > 0);

  LzhFlushBits(st, write);
  int32_t bytesIn = st.BytesIn;
  LzhFreeTables(tables);
  return bytesIn;
}

// Decodes the stream that read yields until at least count bytes are written (a match is always
// copied whole, so a stream that ends in one may give up to 59 more). Never checks its input:
// past the end of the stream it decodes zero bits.
template <class TRead, class TWrite>
void LzhDecodeStream(int32_t count, TRead&& read, TWrite&& write) {
  TLzhTables tables = LzhAllocTables();
  TLzhState& st = *tables;
  uint8_t* ring = st.Ring;
  st.KeepGrand = true;
  auto put = [&write](uint8_t byte) {
    uint16_t done = 0;
    write(&byte, 1, done);
  };

  LzhHuffInit(st);
  std::memset(ring, ' ', kLzhStart);
  int r = kLzhStart;
  for (int64_t produced = 0; produced < count;) {
    int c = LzhDecodeSymbol(st, read);
    if (c < 256) {
      put(uint8_t(c));
      ring[r] = uint8_t(c);
      r = (r + 1) & kLzhRingMask;
      produced++;
    } else {
      int i = (r - int(LzhDecodeOffset(st, read)) - 1) & kLzhRingMask;
      int j = c - (255 - kLzhThreshold);
      if (i + j <= kLzhRingSize && r + j <= kLzhRingSize) {  // neither end wraps
        for (int k = 0; k < j; k++) {
          uint8_t byte = ring[i + k];
          put(byte);
          ring[r + k] = byte;
        }
        r = (r + j) & kLzhRingMask;
      } else {
        for (int k = 0; k < j; k++) {
          uint8_t byte = ring[(i + k) & kLzhRingMask];
          put(byte);
          ring[r] = byte;
          r = (r + 1) & kLzhRingMask;
        }
      }
      produced += j;
    }
  }
  LzhFreeTables(tables);
}

#include "codec/lzh_U1_tree.h"  // the match tree, for LzhEncodeStream

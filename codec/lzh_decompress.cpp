// TCustom_lzh::Decompress: one decoder run from an LZH block in memory into a memory stream.
//
// The run reads the block and writes the stream's memory directly instead of through the
// one-byte callbacks: the bits come in 8 bytes at a time, and the decoded bytes go straight into
// the output, which also serves as the history that matches copy from (the ring's blank fill is
// read only by matches that reach back before the first byte). What it reads, decodes and
// reports is what the callbacks would give.
#include "codec/lzh.h"

#include <algorithm>
#include <cstring>

#include "codec/lzh_decode.h"

namespace {

using namespace lzh_decode;

// The bits of the block, at least 56 of them after Fill; past the end of the block, zeros. Every
// byte taken in is counted in the codec object, with its progress call.
struct TBlockBits : TLzhBits {
  TCustom_lzh& Lzh;

  explicit TBlockBits(TCustom_lzh& lzh) : TLzhBits{lzh.InBuffer, lzh.InBuffer + lzh.InSize}, Lzh(lzh) {}
  void Fill() {
    if (End - Next >= 8) [[likely]] {
      const uint8_t* from = Next;
      FillFrom8();
      if (Lzh.OnProgress) [[unlikely]]
        for (const uint8_t* p = from; p != Next; p++) Progress(p + 1);
      return;
    }
    for (; Count <= 56; Count += 8) {  // the last bytes, then zeros
      if (Next < End) Buf |= uint64_t(*Next++) << (56 - Count);
      if (Lzh.OnProgress) Progress(Next);
    }
  }
  // A read of the callbacks' kind has ended at p.
  void Progress(const uint8_t* p) {
    Lzh.InPos = int32_t(p - Lzh.InBuffer);
    Lzh.BytesLeft = Lzh.InSize - Lzh.InPos;
    Lzh.OnProgress(Lzh.BytesLeft, Lzh.ProgressTag);
  }
};

// The output: bytes [0, Pos) are decoded; the stream's memory reaches Limit. Room for a whole
// match and the overshoot of its 16-byte pieces is kept behind Pos.
//
// A sound stream cannot expand more than 48 times (a 60-byte match costs at least 10 bits), so
// a count that the block can hold is taken as the size at once, and the run ends with one
// allocation. A damaged trailer may claim more (up to 2 GiB from a 10-byte block); the claim is
// then believed only as it is produced: the memory starts at the sound bound (at most an eighth
// of the claim), doubles until the claim is within 8 times of it and then grows to the claim
// itself, never beyond. So the peak, the old memory beside the new while it is moved, stays
// below 1.25 times the output.
struct TOutput {
  static constexpr size_t kRoom = kMatchRoom;
  // The memory is reserved as above but zeroed (resized into) a piece at a time just ahead of
  // the output, so that the decoder writes into lines the zeroing has just brought into the
  // cache instead of zeroing the whole output first and then writing it again from memory.
  static constexpr size_t kPiece = 256 * 1024;

  TMemoryStream& Out;
  size_t Full;  // the claim and its room: the most the run ever needs
  size_t Reserved = 0;
  uint8_t* Data = nullptr;
  size_t Pos = 0;
  size_t Limit = 0;

  TOutput(TMemoryStream& out, int32_t count, int32_t inSize)
      : Out(out), Full(count > 0 ? size_t(count) + kRoom : 0) {
    size_t sound = size_t(inSize) * 48 + kRoom;
    Reserve(Full <= sound ? Full : std::min(sound, Full / 8));
  }
  void Reserve(size_t size) {
    Out.reserve(size);  // exactly this: resize alone might double
    Reserved = size;
    ZeroAhead();
  }
  // Lets the output grow into the reserved memory by another piece.
  void ZeroAhead() {
    Out.resize(std::min(Reserved, Pos + kPiece));
    Data = Out.data();
    Limit = Out.size();
  }
  void MakeRoom() {
    if (Limit - Pos >= kRoom) [[likely]] return;
    if (Reserved - Pos < kRoom)
      Reserve(Full <= 8 * Reserved ? Full : 2 * Reserved);
    else
      ZeroAhead();
  }
  void Finish() { Out.resize(Pos); }
};

// The ring before the first output byte: the blank fill at positions 0..4,035 and the zeros of
// 4,036..4,095 that no byte has reached yet; x < 0 is the position x bytes before the first byte.
inline uint8_t Before(const TOutput& out, ptrdiff_t x) {
  return x >= 0 ? out.Data[x] : x >= -kLzhStart ? uint8_t(' ') : uint8_t(0);
}

// Copies the j bytes that lie distance bytes back to the end of the output.
inline void CopyMatch(TOutput& out, size_t distance, int j) {
  uint8_t* to = out.Data + out.Pos;
  if (distance > out.Pos) [[unlikely]] {  // reaches back into the blank fill
    ptrdiff_t from = ptrdiff_t(out.Pos) - ptrdiff_t(distance);
    for (int k = 0; k < j; k++) to[k] = Before(out, from + k);
  } else {
    CopyBack(to, distance, j);
  }
  out.Pos += size_t(j);
}

void DecodeBlock(TCustom_lzh& lzh, int32_t count, TOutput& out) {
  TLzhTables tables = LzhAllocTables();
  TLzhState& st = *tables;
  st.KeepGrand = true;
  LzhHuffInit(st);
  TBlockBits in(lzh);
  const size_t want = count > 0 ? size_t(count) : 0;
  try {
    while (out.Pos < want) {
      out.MakeRoom();
      int c = DecodeSymbol(st, in);
      if (c < 256)
        out.Data[out.Pos++] = uint8_t(c);
      else
        CopyMatch(out, DecodeOffset(in) + 1u, c - (255 - kLzhThreshold));
    }
  } catch (...) {
    lzh.InPos = int32_t(in.Next - lzh.InBuffer);
    lzh.BytesLeft = lzh.InSize - lzh.InPos;
    throw;
  }
  lzh.InPos = int32_t(in.Next - lzh.InBuffer);
  lzh.BytesLeft = lzh.InSize - lzh.InPos;
  LzhFreeTables(tables);
}

}  // namespace

bool TCustom_lzh::Decompress() {
  if (!OutStream) return false;
  OutStream->clear();
  InPos = 0;
  BytesLeft = 0;
  if (InSize <= 4) return false;
  const uint8_t* t = InBuffer + InSize - 4;
  int32_t count = int32_t(uint32_t(t[0]) | uint32_t(t[1]) << 8 | uint32_t(t[2]) << 16 | uint32_t(t[3]) << 24);
  TOutput out{*OutStream, count, InSize};
  try {
    DecodeBlock(*this, count, out);
  } catch (const ElzhException&) {
    out.Finish();  // what was decoded stays
    return false;
  } catch (...) {
    out.Finish();
    throw;
  }
  out.Finish();
  return true;
}

// TCustom_lzh: one run of the LZH coder over an input block in memory, into a memory stream.
// The LZH block it writes and reads is the coder's bit stream followed by the uncompressed length
// as a 4-byte little-endian signed integer.
//
//   TCustom_lzh lzh;
//   lzh.InBuffer = bytes; lzh.InSize = size; lzh.OutStream = &out;
//   lzh.Compress();   // or Decompress()
//
// One run at a time per process is all the programs need; each run owns its tables.
#pragma once

#include <cstdint>
#include <vector>

using TMemoryStream = std::vector<uint8_t>;

class TCustom_lzh {
 public:
  using TProgress = void (*)(int32_t bytesLeft, int32_t tag);

  TProgress OnProgress = nullptr;  // called after every read of input with (BytesLeft, ProgressTag)
  int32_t ProgressTag = 0;
  int32_t BytesLeft = 0;             // InSize - InPos
  int32_t InPos = 0;                 // input bytes read so far
  const uint8_t* InBuffer = nullptr;  // not owned
  TMemoryStream* OutStream = nullptr;  // not owned
  int32_t InSize = 0;

  // Both answer false when there is no output stream or the coder's tables cannot be had (the
  // stream then keeps what was written); Decompress also for a block of 4 bytes or less. They
  // are not virtual: the object's table would pull both halves of the codec into every program,
  // where each links only the half it runs (lzh_compress.cpp for the creator, lzh_decompress.cpp
  // for setup and the extractor).
  bool Compress();
  bool Decompress();

  // The coder's callbacks; each call of the coder moves one byte. Decompress reads the block and
  // writes the stream itself, with the same effect.
  // ReadInput copies up to count bytes of the input block (none at its end, as often as asked).
  void ReadInput(uint8_t* buffer, uint16_t count, uint16_t& done);
  // WriteOutput appends count bytes to OutStream.
  void WriteOutput(const uint8_t* buffer, uint16_t count, uint16_t& done);
};

// The callbacks run once per byte of every run: here, so that the coder inlines them.
inline void TCustom_lzh::ReadInput(uint8_t* buffer, uint16_t count, uint16_t& done) {
  if (count == 1 && InPos < InSize) [[likely]] {  // the coder's call: one byte
    *buffer = InBuffer[InPos++];
    done = 1;
    BytesLeft = InSize - InPos;
    if (OnProgress) OnProgress(BytesLeft, ProgressTag);
    return;
  }
  int32_t n = InSize - InPos;
  if (n > count) n = count;
  if (n < 0) n = 0;
  for (int32_t i = 0; i < n; i++) buffer[i] = InBuffer[InPos + i];
  done = uint16_t(n);
  InPos += n;
  BytesLeft = InSize - InPos;
  if (OnProgress) OnProgress(BytesLeft, ProgressTag);
}

inline void TCustom_lzh::WriteOutput(const uint8_t* buffer, uint16_t count, uint16_t& done) {
  if (count == 1)
    OutStream->push_back(*buffer);
  else
    OutStream->insert(OutStream->end(), buffer, buffer + count);
  done = count;
}

// The codec object: one coder run from an input block in memory into a memory stream.
#include "codec/lzh.h"

#include <algorithm>

#include "codec/lzh_U1.h"

void TCustom_lzh::ReadInput(uint8_t* buffer, uint16_t count, uint16_t& done) {
  int32_t n = std::min<int32_t>(count, InSize - InPos);
  if (n < 0) n = 0;
  if (n == 1)
    *buffer = InBuffer[InPos];
  else if (n > 1)
    std::copy_n(InBuffer + InPos, n, buffer);
  done = uint16_t(n);
  InPos += n;
  BytesLeft = InSize - InPos;
  if (OnProgress) OnProgress(BytesLeft, ProgressTag);
}

void TCustom_lzh::WriteOutput(const uint8_t* buffer, uint16_t count, uint16_t& done) {
  if (count == 1)
    OutStream->push_back(*buffer);
  else
    OutStream->insert(OutStream->end(), buffer, buffer + count);
  done = count;
}

bool TCustom_lzh::Compress() {
  if (!OutStream) return false;
  OutStream->clear();
  InPos = 0;
  BytesLeft = 0;
  int32_t bytesIn;
  try {
    bytesIn = LzhEncodeStream(
        [this](uint8_t* buffer, uint16_t count, uint16_t& done) { ReadInput(buffer, count, done); },
        [this](const uint8_t* buffer, uint16_t count, uint16_t& done) { WriteOutput(buffer, count, done); });
  } catch (const ElzhException&) {
    return false;
  }
  uint32_t n = uint32_t(bytesIn);
  const uint8_t trailer[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  OutStream->insert(OutStream->end(), trailer, trailer + 4);
  return true;
}

bool TCustom_lzh::Decompress() {
  if (!OutStream) return false;
  OutStream->clear();
  InPos = 0;
  BytesLeft = 0;
  if (InSize <= 4) return false;
  const uint8_t* t = InBuffer + InSize - 4;
  int32_t count = int32_t(uint32_t(t[0]) | uint32_t(t[1]) << 8 | uint32_t(t[2]) << 16 | uint32_t(t[3]) << 24);
  // No stream expands more than 48 times (a 60-byte match costs at least 10 bits), so a trailer
  // beyond that is not trusted for the reservation; the output still grows to whatever it decodes.
  if (count > 0) OutStream->reserve(size_t(std::min<int64_t>(count, int64_t(InSize) * 64)));
  try {
    LzhDecodeStream(
        count,
        [this](uint8_t* buffer, uint16_t n, uint16_t& done) { ReadInput(buffer, n, done); },
        [this](const uint8_t* buffer, uint16_t n, uint16_t& done) { WriteOutput(buffer, n, done); });
  } catch (const ElzhException&) {
    return false;
  }
  return true;
}

// The codec object: one coder run from an input block in memory into a memory stream.
#include "codec/lzh.h"

#include <algorithm>

#include "codec/lzh_U1.h"

bool TCustom_lzh::Compress() {
  if (!OutStream) return false;
  OutStream->clear();
  InPos = 0;
  BytesLeft = 0;
  int32_t bytesIn;
  // As in Decompress, the stream's bytes go through a cursor in a register rather than through
  // WriteOutput's push_back; the stream is cut to the bytes written at the end.
  TMemoryStream& out = *OutStream;
  uint8_t* cursor = nullptr;
  try {
    out.resize(size_t(std::max<int32_t>(InSize, 0)) / 2 + 256);
    cursor = out.data();
    uint8_t* limit = cursor + out.size();
    bytesIn = LzhEncodeStream(
        [this](uint8_t* buffer, uint16_t count, uint16_t& done) { ReadInput(buffer, count, done); },
        [&](const uint8_t* buffer, uint16_t n, uint16_t& done) {
          if (size_t(limit - cursor) < n) [[unlikely]] {
            size_t written = size_t(cursor - out.data());
            out.resize(std::max<size_t>(2 * out.size(), written + n));
            cursor = out.data() + written;
            limit = out.data() + out.size();
          }
          if (n == 1)
            *cursor++ = *buffer;
          else
            cursor = std::copy_n(buffer, n, cursor);
          done = n;
        });
  } catch (const ElzhException&) {
    out.clear();
    return false;
  } catch (...) {
    out.resize(cursor ? size_t(cursor - out.data()) : 0);
    throw;
  }
  out.resize(size_t(cursor - out.data()));
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
  // The decoded bytes go straight into OutStream's memory through a cursor that stays in a
  // register: WriteOutput's push_back would reload the stream's end after every ring store.
  // No sound stream expands more than 48 times (a 60-byte match costs at least 10 bits), so a
  // larger count is not trusted for the first size; the stream grows as the bytes come.
  TMemoryStream& out = *OutStream;
  uint8_t* cursor = nullptr;
  try {
    out.resize(count > 0 ? size_t(std::min<int64_t>(count, int64_t(InSize) * 64)) + kLzhLookAhead : 0);
    cursor = out.data();
    uint8_t* limit = cursor + out.size();
    LzhDecodeStream(
        count, [this](uint8_t* buffer, uint16_t n, uint16_t& done) { ReadInput(buffer, n, done); },
        [&](const uint8_t* buffer, uint16_t n, uint16_t& done) {
          if (size_t(limit - cursor) < n) [[unlikely]] {
            size_t written = size_t(cursor - out.data());
            out.resize(std::max<size_t>(2 * out.size(), written + n));
            cursor = out.data() + written;
            limit = out.data() + out.size();
          }
          if (n == 1)
            *cursor++ = *buffer;
          else
            cursor = std::copy_n(buffer, n, cursor);
          done = n;
        });
  } catch (const ElzhException&) {
    out.clear();
    return false;
  } catch (...) {
    out.resize(cursor ? size_t(cursor - out.data()) : 0);
    throw;
  }
  out.resize(size_t(cursor - out.data()));
  return true;
}

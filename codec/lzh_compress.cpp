// TCustom_lzh::Compress: one encoder run from an input block in memory into a memory stream.
#include "codec/lzh.h"

#include <algorithm>

#include "codec/lzh_U1.h"

namespace {
// The coder's output goes straight into the stream's memory through a cursor that stays in a
// register (a push_back per byte would reload the stream's end after every store). The stream
// grows when the cursor reaches its end; Finish cuts it to the bytes written.
struct TStreamCursor {
  TMemoryStream& Out;
  uint8_t* Cursor = nullptr;
  uint8_t* Limit = nullptr;

  void Start(size_t size) {
    Out.resize(size);
    Cursor = Out.data();
    Limit = Cursor + Out.size();
  }
  void Write(const uint8_t* buffer, uint16_t n, uint16_t& done) {
    if (size_t(Limit - Cursor) < n) [[unlikely]] {
      size_t written = size_t(Cursor - Out.data());
      Out.resize(std::max<size_t>(2 * Out.size(), written + n));
      Cursor = Out.data() + written;
      Limit = Out.data() + Out.size();
    }
    if (n == 1)
      *Cursor++ = *buffer;
    else
      Cursor = std::copy_n(buffer, n, Cursor);
    done = n;
  }
  void Finish() { Out.resize(Cursor ? size_t(Cursor - Out.data()) : 0); }
};
}  // namespace

bool TCustom_lzh::Compress() {
  if (!OutStream) return false;
  OutStream->clear();
  InPos = 0;
  BytesLeft = 0;
  int32_t bytesIn;
  TStreamCursor out{*OutStream};
  try {
    out.Start(size_t(std::max<int32_t>(InSize, 0)) / 2 + 256);
    bytesIn = LzhEncodeStream(
        [this](uint8_t* buffer, uint16_t count, uint16_t& done) { ReadInput(buffer, count, done); },
        [&out](const uint8_t* buffer, uint16_t n, uint16_t& done) { out.Write(buffer, n, done); });
  } catch (const ElzhException&) {
    out.Finish();  // what the coder wrote stays: nothing, or the stream without its trailer
    return false;
  } catch (...) {
    out.Finish();
    throw;
  }
  out.Finish();
  uint32_t n = uint32_t(bytesIn);
  const uint8_t trailer[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  OutStream->insert(OutStream->end(), trailer, trailer + 4);
  return true;
}

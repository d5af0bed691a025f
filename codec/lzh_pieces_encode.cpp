// LzhEncodePieces: the encoder run of lzh_pieces.h. The coder's one-byte callbacks take from an
// input buffer that Read fills and put into an output buffer that Write empties when it is full.
#include <algorithm>
#include <memory>
#include <new>

#include "codec/lzh_U1.h"
#include "codec/lzh_pieces.h"

namespace {

constexpr size_t kInSize = 64 * 1024;
constexpr size_t kOutSize = 64 * 1024;

struct TEncodeBuffers {
  TLzhPieces& Ends;
  const uint8_t* Next;  // the input not yet taken: Next..End
  const uint8_t* End;
  uint8_t* Out;  // where the next output byte goes
  bool Ended = false;
  bool Stopped = false;  // a callback answered false: the input counts as ended, output goes nowhere
  uint8_t In[kInSize];
  uint8_t Pending[kOutSize];

  explicit TEncodeBuffers(TLzhPieces& ends) : Ends(ends), Next(In), End(In), Out(Pending) {}

  // Whether there is input again.
  [[gnu::noinline]] bool Refill() {
    size_t got = 0;
    if (!Ended && !Ends.Read(In, kInSize, got)) Stopped = true;
    Ended = Ended || Stopped || got == 0;
    if (Ended) return false;
    Next = In;
    End = In + std::min(got, kInSize);
    return true;
  }
  [[gnu::noinline]] void Flush() {
    if (!Stopped && Out != Pending && !Ends.Write(Pending, size_t(Out - Pending))) {
      Stopped = Ended = true;
      Next = End;  // the coder ends after the bytes it holds
    }
    Out = Pending;
  }
};

}  // namespace

int64_t LzhEncodePieces(TLzhPieces& ends) {
  std::unique_ptr<TEncodeBuffers> b(new (std::nothrow) TEncodeBuffers(ends));
  if (!b) throw ElzhException(kLzhNoMemory);
  TEncodeBuffers& io = *b;
  const int32_t count = LzhEncodeStream(
      [&io](uint8_t* byte, uint16_t, uint16_t& done) {
        if (io.Next == io.End && !io.Refill()) [[unlikely]] {
          done = 0;
          return;
        }
        *byte = *io.Next++;
        done = 1;
      },
      [&io](const uint8_t* byte, uint16_t, uint16_t& done) {
        *io.Out++ = *byte;
        if (io.Out == io.Pending + kOutSize) [[unlikely]] io.Flush();
        done = 1;
      });
  const uint32_t n = uint32_t(count);
  for (int i = 0; i < 4; i++) {
    *io.Out++ = uint8_t(n >> (8 * i));
    if (io.Out == io.Pending + kOutSize) io.Flush();
  }
  io.Flush();
  return io.Stopped ? -1 : count;
}

// The LZH block in pieces: a coder run that reads its input and hands over its output a piece at
// a time, so that neither is ever held whole. Memory stays the same whatever the length: the
// coder's tables and buffers of some hundred kilobytes. The bytes are those of TCustom_lzh.
//
//   struct TFiles : TLzhPieces {
//     bool Read(uint8_t* buffer, size_t size, size_t& got) override;  // up to size bytes
//     bool Write(const uint8_t* data, size_t size) override;          // the next size bytes
//   } files;
//   int64_t count = LzhEncodePieces(files);      // writes the whole LZH block, trailer included
//
//   uint8_t trailer[4];  ... the block's last 4 bytes, read by the caller ...
//   LzhDecodePieces(LzhTrailerCount(trailer), files);  // reads the whole block, trailer included
//
// Either callback stops the run by answering false; the run then returns at once (the encoder
// with -1, the decoder with false) and calls neither again. A run throws ElzhException when its
// memory cannot be had, before either callback is called; whatever a callback throws passes
// through, the run's memory given back.
#pragma once

#include <cstddef>
#include <cstdint>

class TLzhPieces {
 public:
  // Copies up to size bytes of the input into buffer and sets got: 0 when the input has ended,
  // after which Read is not called again.
  virtual bool Read(uint8_t* buffer, size_t size, size_t& got) = 0;
  // Takes the next size bytes of the output (size > 0).
  virtual bool Write(const uint8_t* data, size_t size) = 0;

 protected:
  ~TLzhPieces() = default;
};

// Encodes everything Read yields (less than 2 GiB: the trailer's count is a signed 32-bit
// number) into an LZH block, written through Write: the stream, then the number of bytes read as
// the 4-byte little-endian trailer. Answers that number, or -1 when a callback stopped the run.
int64_t LzhEncodePieces(TLzhPieces& ends);

// Decodes an LZH block that Read yields whole (its trailer included, as TCustom_lzh::Decompress
// reads it; past its end the reader takes zero bits) until at least count bytes are written: a
// match is always copied whole, so a stream that ends in one gives up to 59 bytes more, and a
// count of 0 or less gives none and reads nothing. Answers false when a callback stopped the run;
// produced, when given, is the number of bytes written either way.
bool LzhDecodePieces(int32_t count, TLzhPieces& ends, int64_t* produced = nullptr);

// The count that an LZH block's trailer (its last 4 bytes) names.
inline int32_t LzhTrailerCount(const uint8_t* trailer) {
  return int32_t(uint32_t(trailer[0]) | uint32_t(trailer[1]) << 8 | uint32_t(trailer[2]) << 16 |
                 uint32_t(trailer[3]) << 24);
}

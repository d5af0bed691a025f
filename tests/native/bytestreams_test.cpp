// The streams that carry the build's bytes: the coder fed piece by piece writes the very block
// that TCustom_lzh::Compress makes of the whole input in memory, through pieces of a fixed size.
#include "creator/bytestreams.h"
#include "tests/native/pack_support.h"

#include <gtest/gtest.h>

namespace {

using packsupport::GeneratedReader;
using packsupport::MemoryWriter;

// Gives at most the next of its piece sizes at each read, as a file or a pipe may.
struct ShortReads : ByteReader {
  TMemoryReader source;
  std::vector<size_t> pieces;
  size_t next = 0;
  ShortReads(Bytes bytes, std::vector<size_t> sizes) : source(std::move(bytes)), pieces(std::move(sizes)) {}
  size_t Read(void* buffer, size_t size) override {
    const size_t n = std::min(size, pieces[next++ % pieces.size()]);
    return source.Read(buffer, n);
  }
};

TEST(Streams, TheStreamedBlockIsTheBlockOfTheWholeInput) {
  constexpr size_t P = StreamPiece;
  for (size_t size : {size_t{0}, size_t{1}, size_t{3}, size_t{60}, size_t{61}, size_t{4097}, P - 1, P, P + 1,
                      3 * P + 17}) {
    for (bool noise : {false, true}) {  // noise: the block is larger than its input
      const Bytes input = noise ? packsupport::Noise(size) : GeneratedReader::Whole(size, static_cast<uint32_t>(size));
      const Bytes expected = packsupport::Lzh(true, input);
      for (const std::vector<size_t>& pieces : {std::vector<size_t>{P}, std::vector<size_t>{1, 7, 4093, P}}) {
        SCOPED_TRACE(testing::Message() << size << (noise ? " noise" : " text") << ", reads of " << pieces.size());
        ShortReads source(input, pieces);
        MemoryWriter block;
        ASSERT_TRUE(LzhCompressStream(source, block));
        EXPECT_EQ(block.bytes, expected);
        EXPECT_LE(block.largest, P);
      }
    }
  }
}

}  // namespace

#include "codec/lzh.h"
#include "codec/lzh_U1.h"
#include "codec/lzh_pieces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

// Every allocation of the test program passes here, so that a test can watch the memory a run
// holds (live bytes and their peak) and make one size of allocation fail.
namespace alloc_watch {
size_t live = 0, peak = 0;
size_t failSize = 0;  // an allocation of exactly this many bytes fails; 0: none
}  // namespace alloc_watch

void* operator new(size_t n) {
  if (n == alloc_watch::failSize && n != 0) throw std::bad_alloc();
  auto* p = static_cast<size_t*>(std::malloc(n + 16));
  if (!p) throw std::bad_alloc();
  *p = n;
  alloc_watch::live += n;
  alloc_watch::peak = std::max(alloc_watch::peak, alloc_watch::live);
  return reinterpret_cast<char*>(p) + 16;
}
// The coder's tables come from the non-throwing form; with the sanitizers it is theirs unless
// replaced too, and its blocks would then reach the delete below without their header.
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return operator new(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* q) noexcept {
  if (!q) return;
  auto* p = reinterpret_cast<size_t*>(static_cast<char*>(q) - 16);
  alloc_watch::live -= *p;
  std::free(p);
}
void operator delete(void* q, size_t) noexcept { operator delete(q); }
// The other forms too: a sanitizer's own would not know the header above.
void* operator new[](size_t n) { return operator new(n); }
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete[](void* q) noexcept { operator delete(q); }
void operator delete[](void* q, size_t) noexcept { operator delete(q); }
void operator delete(void* q, const std::nothrow_t&) noexcept { operator delete(q); }
void operator delete[](void* q, const std::nothrow_t&) noexcept { operator delete(q); }

namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Compress(const Bytes& in) {
  Bytes out;
  TCustom_lzh lzh;
  lzh.InBuffer = in.data();
  lzh.InSize = int32_t(in.size());
  lzh.OutStream = &out;
  EXPECT_TRUE(lzh.Compress());
  return out;
}

bool Decompress(const Bytes& in, Bytes& out) {
  TCustom_lzh lzh;
  lzh.InBuffer = in.data();
  lzh.InSize = int32_t(in.size());
  lzh.OutStream = &out;
  return lzh.Decompress();
}

Bytes WithTrailer(Bytes stream, int32_t count) {
  for (int i = 0; i < 4; i++) stream.push_back(uint8_t(uint32_t(count) >> (8 * i)));
  return stream;
}

// A deliberately plain second encoder, written straight from the description of the format: byte
// by byte comparisons, linear scans, one bit at a time. The fast coder must produce its stream
// exactly. It also records what it sent, so tests can look at matches and code lengths.
class ReferenceEncoder {
 public:
  struct Token {
    int length;  // 1: a literal
    int offset;  // distance - 1 of a match
  };
  std::vector<Token> tokens;
  size_t longestCode = 0;

  Bytes Encode(const Bytes& input) {
    in_ = &input;
    pos_ = 0;
    for (int c = 0; c < 314; c++) freq_[c] = 1, child_[c] = 627 + c, up_[627 + c] = c;
    for (int s = 314, i = 0; s < 627; s++, i += 2) {
      freq_[s] = freq_[i] + freq_[i + 1];
      child_[s] = i;
      up_[i] = up_[i + 1] = s;
    }
    freq_[627] = 0xFFFF;
    up_[626] = 0;
    for (int b = 0; b < 256; b++) right_[4097 + b] = kNil;
    for (int i = 0; i <= 4096; i++) parent_[i] = kNil;
    std::fill(ring_, ring_ + 4036, ' ');

    int s = 0, r = 4036, len = 0, c;
    while (len < 60 && (c = Next()) >= 0) ring_[r + len++] = uint8_t(c);
    for (int i = 1; i <= 60; i++) Insert(r - i);
    Insert(r);
    do {
      matchLength_ = std::min(matchLength_, len);
      if (matchLength_ <= 2) {
        matchLength_ = 1;
        tokens.push_back({1, ring_[r]});
        SendSymbol(ring_[r]);
      } else {
        tokens.push_back({matchLength_, matchOffset_});
        SendSymbol(matchLength_ + 253);
        SendOffset(matchOffset_);
      }
      int last = matchLength_, i = 0;
      while (i < last && (c = Next()) >= 0) {
        Delete(s);
        ring_[s] = uint8_t(c);
        if (s < 59) ring_[s + 4096] = uint8_t(c);
        s = (s + 1) % 4096;
        r = (r + 1) % 4096;
        Insert(r);
        i++;
      }
      while (i < last) {
        i++;
        Delete(s);
        s = (s + 1) % 4096;
        r = (r + 1) % 4096;
        if (--len != 0) Insert(r);
      }
    } while (len > 0);

    Bytes out((bits_.size() + 7) / 8);
    for (size_t i = 0; i < bits_.size(); i++)
      if (bits_[i]) out[i / 8] |= uint8_t(0x80 >> (i % 8));
    return out;
  }

 private:
  static constexpr int kNil = 4096;
  const Bytes* in_ = nullptr;
  size_t pos_ = 0;
  std::vector<bool> bits_;
  uint8_t ring_[4155] = {};
  int left_[4097] = {}, right_[4353] = {}, parent_[4097] = {};
  int matchLength_ = 0, matchOffset_ = 0;
  unsigned freq_[628] = {};
  int child_[627] = {}, up_[941] = {};

  int Next() { return pos_ < in_->size() ? (*in_)[pos_++] : -1; }

  void Insert(int r) {
    left_[r] = right_[r] = kNil;
    matchLength_ = 0;
    int p = 4097 + ring_[r];
    bool goRight = true;
    for (;;) {
      int& link = goRight ? right_[p] : left_[p];
      if (link == kNil) {
        link = r;
        parent_[r] = p;
        return;
      }
      p = link;
      int i = 1;
      while (i < 60 && ring_[r + i] == ring_[p + i]) i++;
      goRight = i == 60 || ring_[r + i] > ring_[p + i];
      if (i > 2) {
        int d = ((r - p) & 0xFFF) - 1;
        if (i > matchLength_) {
          matchOffset_ = d;
          matchLength_ = i;
        } else if (matchLength_ < 60 && i == matchLength_ && d < matchOffset_) {
          matchOffset_ = d;
        }
      }
      if (matchLength_ == 60) {
        Replace(p, r);
        parent_[p] = kNil;
        return;
      }
    }
  }

  // Puts q where p is: q takes p's parent, and p's parent's link to p.
  void Relink(int p, int q) {
    parent_[q] = parent_[p];
    if (right_[parent_[p]] == p)
      right_[parent_[p]] = q;
    else
      left_[parent_[p]] = q;
  }

  void Replace(int p, int r) {
    left_[r] = left_[p];
    right_[r] = right_[p];
    parent_[left_[p]] = r;
    parent_[right_[p]] = r;
    Relink(p, r);
  }

  void Delete(int p) {
    if (parent_[p] == kNil) return;
    int q;
    if (right_[p] == kNil) {
      q = left_[p];
    } else if (left_[p] == kNil) {
      q = right_[p];
    } else {
      q = left_[p];
      if (right_[q] != kNil) {
        while (right_[q] != kNil) q = right_[q];
        right_[parent_[q]] = left_[q];
        parent_[left_[q]] = parent_[q];
        left_[q] = left_[p];
        parent_[left_[p]] = q;
      }
      right_[q] = right_[p];
      parent_[right_[p]] = q;
    }
    Relink(p, q);
    parent_[p] = kNil;
  }

  void SendSymbol(int c) {
    std::vector<bool> code;  // leaf to root
    for (int s = up_[627 + c]; s != 626; s = up_[s]) code.push_back(s & 1);
    longestCode = std::max(longestCode, code.size());
    bits_.insert(bits_.end(), code.rbegin(), code.rend());
    Update(c);
  }

  void SendOffset(int offset) {
    int code = 0, len = 3;
    for (int v = 0; v < (offset >> 6); v++) {
      int next = v + 1 < 1 ? 3 : v + 1 < 4 ? 4 : v + 1 < 12 ? 5 : v + 1 < 24 ? 6 : v + 1 < 48 ? 7 : 8;
      code = (code + 1) << (next - len);
      len = next;
    }
    for (int b = len - 1; b >= 0; b--) bits_.push_back((code >> b) & 1);
    for (int b = 5; b >= 0; b--) bits_.push_back((offset >> b) & 1);
  }

  void Update(int c) {
    if (freq_[626] == 0x8000) Rebuild();
    int s = up_[627 + c];
    do {
      unsigned k = ++freq_[s];
      if (k > freq_[s + 1]) {
        int l = s + 1;
        while (freq_[l + 1] < k) l++;
        std::swap(freq_[s], freq_[l]);
        std::swap(child_[s], child_[l]);
        for (int slot : {s, l}) {
          up_[child_[slot]] = slot;
          if (child_[slot] < 627) up_[child_[slot] + 1] = slot;
        }
        s = l;
      }
      s = up_[s];
    } while (s != 0);
  }

  void Rebuild() {
    int j = 0;
    for (int s = 0; s < 627; s++)
      if (child_[s] >= 627) freq_[j] = (freq_[s] + 1) / 2, child_[j] = child_[s], j++;
    for (int s = 314, i = 0; s < 627; s++, i += 2) {
      unsigned f = freq_[i] + freq_[i + 1];
      int at = 0;
      while (at < s && freq_[at] <= f) at++;
      for (int k = s; k > at; k--) freq_[k] = freq_[k - 1], child_[k] = child_[k - 1];
      freq_[at] = f;
      child_[at] = i;
    }
    for (int s = 0; s < 627; s++) {
      up_[child_[s]] = s;
      if (child_[s] < 627) up_[child_[s] + 1] = s;
    }
  }
};

Bytes ReferenceBlock(const Bytes& in) { return WithTrailer(ReferenceEncoder().Encode(in), int32_t(in.size())); }

Bytes Random(size_t n, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = uint8_t(rng() % unsigned(alphabet));
  return b;
}

// Like a program file: runs of zeros, stretches of a few byte values, and copies of earlier
// stretches, a byte changed now and then. Insertion after insertion falls into one tree, the
// oldest position often into the tree of the next, and full matches come and go.
Bytes Binary(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < n) {
    switch (rng() % 4) {
      case 0:
        b.insert(b.end(), rng() % 80, uint8_t(0));
        break;
      case 1:
        for (unsigned i = rng() % 16; i-- > 0;) b.push_back(uint8_t(rng() % 8));
        break;
      default:
        if (b.size() > 100) {
          const size_t length = 3 + rng() % 100, from = b.size() - 1 - rng() % std::min<size_t>(b.size() - 1, 4000);
          for (size_t i = 0; i < length; i++) b.push_back(b[from + i]);
          if (rng() % 3 == 0) b.back() ^= 1;
        }
    }
  }
  b.resize(n);
  return b;
}

// Words drawn with skewed frequencies from a small vocabulary: long and short matches, literals.
Bytes Text(size_t n, uint32_t seed) {
  static const char* const words[] = {"the ", "codec ", "setup ", "of ", "and ", "install ", "\r\n",
                                      "file", "s ", "registry ", "value ", "0x", "{", "}", "int ",
                                      "return ", "    ", "shortcut ", "package ", "data.pak "};
  std::mt19937 rng(seed);
  std::geometric_distribution<int> pick(0.18);
  Bytes b;
  while (b.size() < n) {
    int w = pick(rng) % int(std::size(words));
    b.insert(b.end(), words[w], words[w] + std::strlen(words[w]));
    if (rng() % 7 == 0) b.push_back(uint8_t('A' + rng() % 26));
  }
  b.resize(n);
  return b;
}

// A run in pieces over memory: the input handed over in pieces of the sizes given, one after the
// other and again from the first (or as much as asked), every write kept.
struct TMemoryPieces : TLzhPieces {
  const Bytes& In;
  std::vector<size_t> Sizes;
  size_t At = 0, Reads = 0;
  Bytes Out;
  size_t Writes = 0, LargestWrite = 0;
  TMemoryPieces(const Bytes& in, std::vector<size_t> sizes) : In(in), Sizes(std::move(sizes)) {}
  bool Read(uint8_t* buffer, size_t size, size_t& got) override {
    size_t want = Sizes.empty() ? size : std::min(size, Sizes[Reads % Sizes.size()]);
    Reads++;
    got = std::min(want, In.size() - At);
    std::copy_n(In.begin() + ptrdiff_t(At), got, buffer);
    At += got;
    return true;
  }
  bool Write(const uint8_t* data, size_t size) override {
    EXPECT_GT(size, 0u);
    Out.insert(Out.end(), data, data + size);
    Writes++;
    LargestWrite = std::max(LargestWrite, size);
    return true;
  }
};

Bytes EncodeInPieces(const Bytes& in, std::vector<size_t> sizes = {}) {
  TMemoryPieces ends(in, std::move(sizes));
  EXPECT_EQ(LzhEncodePieces(ends), int64_t(in.size()));
  return ends.Out;
}

// The count from the trailer, or none for a block of 4 bytes or less, as Decompress takes it.
int32_t CountOf(const Bytes& block) { return block.size() > 4 ? LzhTrailerCount(&block[block.size() - 4]) : 0; }

Bytes DecodeInPieces(const Bytes& block, std::vector<size_t> sizes = {}) {
  TMemoryPieces ends(block, std::move(sizes));
  int64_t produced = -1;
  EXPECT_TRUE(LzhDecodePieces(CountOf(block), ends, &produced));
  EXPECT_EQ(produced, int64_t(ends.Out.size()));
  return ends.Out;
}

std::string Hex(const Bytes& b) {
  std::string s;
  char buf[4];
  for (uint8_t x : b) std::snprintf(buf, sizeof buf, "%02X ", x), s += buf;
  return s;
}

TEST(Lzh, CompressesTheKnownVectors) {
  struct Case {
    const char* name;
    Bytes input;
    Bytes block;  // whole block, or its first bytes when prefixOnly
    bool prefixOnly;
  };
  const Case cases[] = {
      {"abc: three 9-bit literals", B("abc"), {0xF6, 0xFB, 0xBD, 0xE0, 3, 0, 0, 0}, false},
      {"a single byte", B("a"), {0xF6, 0x80, 1, 0, 0, 0}, false},
      {"empty: one literal of the zero fill", {}, {0xC6, 0x00, 0, 0, 0, 0}, false},
      {"60 blanks match the blank fill", Bytes(70, ' '), {0xC5, 0x1D}, true},
      {"60 blanks, then more", WithTrailer(Bytes(60, ' '), 0x12345678), {0xC5, 0x1D}, true},
  };
  for (const Case& c : cases) {
    Bytes block = Compress(c.input);
    Bytes got = c.prefixOnly ? Bytes(block.begin(), block.begin() + std::min(block.size(), c.block.size())) : block;
    EXPECT_EQ(Hex(got), Hex(c.block)) << c.name;
    EXPECT_EQ(block, ReferenceBlock(c.input)) << c.name;
    Bytes back;
    EXPECT_TRUE(Decompress(block, back));
    EXPECT_EQ(back, c.input) << c.name;
  }
}

// A stream the encoder never writes: matches from the far end of the ring before any byte has
// reached it. Positions 4,036..4,095 read as zeros, 0..4,035 as the blank fill, in both decoders.
TEST(Lzh, MatchesIntoTheUnreachedRingReadZerosAndBlanks) {
  Bytes stream;
  {
    TLzhTables tables = LzhAllocTables();
    TLzhState& st = *tables;
    LzhHuffInit(st);
    auto write = [&stream](const uint8_t* b, uint16_t, uint16_t& done) { stream.push_back(*b), done = 1; };
    LzhEncodeSymbol(st, write, 60 + 253);  // 60 bytes from 4,096 back: ring positions 4,036..4,095
    LzhEncodeOffset(st, write, 4095);
    LzhEncodeSymbol(st, write, 10 + 253);  // 10 bytes from 4,096 back: the first 10 bytes of the blank fill
    LzhEncodeOffset(st, write, 4095);
    LzhFlushBits(st, write);
  }
  const Bytes block = WithTrailer(stream, 70);
  Bytes want(70, ' ');
  std::fill_n(want.begin(), 60, uint8_t(0));
  Bytes whole;
  ASSERT_TRUE(Decompress(block, whole));
  EXPECT_EQ(whole, want);
  EXPECT_EQ(DecodeInPieces(block), want);
  EXPECT_EQ(DecodeInPieces(block, {1}), want);
}

TEST(Lzh, DecompressesShortAndOddBlocks) {
  const Bytes abc = {0xF6, 0xFB, 0xBD, 0xE0};
  struct Case {
    const char* name;
    Bytes block;
    bool result;
    size_t minSize, maxSize;  // a stream that ends in a match may give up to 59 bytes more
  };
  const Case cases[] = {
      {"1 byte", {0x00}, false, 0, 0},
      {"2 bytes", {0xC6, 0x00}, false, 0, 0},
      {"3 bytes", {0xC6, 0x00, 0x00}, false, 0, 0},
      {"4 bytes", {0x03, 0x00, 0x00, 0x00}, false, 0, 0},
      {"5 bytes: the count comes from bytes 1..4", {0xF6, 1, 0, 0, 0}, true, 1, 1},
      {"count 0", WithTrailer(abc, 0), true, 0, 0},
      {"negative count", WithTrailer(abc, -1), true, 0, 0},
      {"most negative count", WithTrailer(abc, INT32_MIN), true, 0, 0},
      {"count beyond the stream: zero bits fill it up", WithTrailer(abc, 1000), true, 1000, 1059},
      {"a stream of nothing but zero bits", WithTrailer({0}, 70000), true, 70000, 70059},
  };
  for (const Case& c : cases) {
    Bytes out = {1, 2, 3};  // a stale stream is cleared
    EXPECT_EQ(Decompress(c.block, out), c.result) << c.name;
    EXPECT_GE(out.size(), c.minSize) << c.name;
    EXPECT_LE(out.size(), c.maxSize) << c.name;
    // In pieces, the block handed over a byte at a time too: the same bytes.
    EXPECT_EQ(DecodeInPieces(c.block), out) << c.name;
    EXPECT_EQ(DecodeInPieces(c.block, {1}), out) << c.name;
  }
  Bytes out;
  ASSERT_TRUE(Decompress(WithTrailer(abc, 1000), out));
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), B("abc"));
}

// A block whose trailer claims far more than its stream holds still decodes to the claim, but the
// memory follows what is produced: no growth past the claim, and a peak (old and new memory side
// by side while the stream grows) well below twice the output. A sound block takes one allocation.
TEST(Lzh, DecodingHoldsMemoryNearTheOutputsSize) {
  struct Case {
    const char* name;
    Bytes block;
    size_t minSize;
  };
  const Bytes text = Text(300000, 12);
  const Case cases[] = {
      {"a 10-byte block claiming 8,000,000 bytes", WithTrailer({0xF6, 0xFB, 0xBD, 0xE0, 0, 0}, 8000000), 8000000},
      {"a 10-byte block claiming 200,000 bytes", WithTrailer({0xF6, 0xFB, 0xBD, 0xE0, 0, 0}, 200000), 200000},
      {"a sound block", Compress(text), text.size()},
  };
  for (const Case& c : cases) {
    Bytes out;
    size_t before = alloc_watch::live;
    alloc_watch::peak = before;
    ASSERT_TRUE(Decompress(c.block, out)) << c.name;
    size_t peak = alloc_watch::peak - before;
    ASSERT_GE(out.size(), c.minSize) << c.name;
    EXPECT_LE(out.capacity(), c.minSize + 128) << c.name;
    EXPECT_LE(peak, out.size() + out.size() / 4 + 65536) << c.name;
  }
}

// The coder's own failures answer false and keep what was written until then: nothing when its
// tables cannot be had, the bytes so far when the run stops with an ElzhException (here raised by
// the progress call, the one callback a user can set).
TEST(Lzh, ItsOwnFailuresKeepWhatWasWritten) {
  const Bytes input = Text(20000, 13);
  const Bytes block = Compress(input);
  for (bool compress : {true, false}) {
    const Bytes& in = compress ? input : block;
    const Bytes& whole = compress ? block : input;
    const char* name = compress ? "compress" : "decompress";
    TCustom_lzh lzh;
    Bytes out = {1, 2, 3};
    lzh.InBuffer = in.data();
    lzh.InSize = int32_t(in.size());
    lzh.OutStream = &out;

    alloc_watch::failSize = sizeof(TLzhState);
    bool ok = compress ? lzh.Compress() : lzh.Decompress();
    alloc_watch::failSize = 0;
    EXPECT_FALSE(ok) << name;
    EXPECT_TRUE(out.empty()) << name;

    static int32_t stopAt;
    stopAt = lzh.InSize / 2;
    lzh.OnProgress = [](int32_t left, int32_t) {
      if (left == stopAt) throw ElzhException(kLzhFreeError);
    };
    EXPECT_FALSE(compress ? lzh.Compress() : lzh.Decompress()) << name;
    ASSERT_GT(out.size(), whole.size() / 4) << name;
    EXPECT_LT(out.size(), whole.size()) << name;
    EXPECT_TRUE(std::equal(out.begin(), out.end(), whole.begin())) << name;
  }
}

TEST(Lzh, AnswersFalseWithoutAnOutputStream) {
  const Bytes block = {0xF6, 0x80, 1, 0, 0, 0};
  TCustom_lzh lzh;
  lzh.InBuffer = block.data();
  lzh.InSize = int32_t(block.size());
  EXPECT_FALSE(lzh.Compress());
  EXPECT_FALSE(lzh.Decompress());
  EXPECT_EQ(lzh.InPos, 0);
}

// Inputs of many lengths and kinds: the fast coder writes the reference stream, and it decodes.
TEST(Lzh, MatchesTheReferenceAndRoundTrips) {
  std::vector<std::pair<std::string, Bytes>> inputs;
  for (size_t n : {0, 1, 2, 3, 4, 5, 58, 59, 60, 61, 62, 118, 119, 120, 121, 4035, 4036, 4037, 4096, 4097, 9000}) {
    inputs.push_back({"random " + std::to_string(n), Random(n, uint32_t(n))});
    inputs.push_back({"text " + std::to_string(n), Text(n, uint32_t(n) + 1)});
    inputs.push_back({"zeros " + std::to_string(n), Bytes(n, 0)});
    inputs.push_back({"blanks " + std::to_string(n), Bytes(n, ' ')});
    inputs.push_back({"two letters " + std::to_string(n), Random(n, uint32_t(n) + 2, 2)});
  }
  // Long enough for several rebuilds of the Huffman tree (one each ~16,000 symbols).
  inputs.push_back({"random 150000", Random(150000, 7)});
  inputs.push_back({"text 400000", Text(400000, 8)});
  inputs.push_back({"four letters 200000", Random(200000, 9, 4)});
  Bytes mixed = Text(30000, 10);
  for (uint32_t i = 0; i < 6; i++) {
    Bytes r = Random(20000, 11 + i, 16 << i % 5), t = Text(20000, 20 + i), z(3000 + 500 * i, uint8_t(i));
    mixed.insert(mixed.end(), r.begin(), r.end());
    mixed.insert(mixed.end(), t.begin(), t.end());
    mixed.insert(mixed.end(), z.begin(), z.end());
  }
  inputs.push_back({"mixed", mixed});
  for (uint32_t seed = 1; seed <= 6; seed++) inputs.push_back({"binary " + std::to_string(seed), Binary(20000, seed)});
  // A block repeated over and over: long runs of full matches, each a byte further on from the
  // last, whose source at a period beyond the window (4,036) has left the tree, and runs broken
  // by a changed byte now and then.
  for (size_t period : {1, 2, 7, 59, 60, 61, 4035, 4036, 4037, 4100}) {
    Bytes block = Random(period, uint32_t(period) + 30, 4), b;
    for (size_t i = 0; b.size() < 3 * period + 12000; i++) {
      b.push_back(block[i % period]);
      if (i % 997 == 0) b.back() ^= 0x80;
    }
    inputs.push_back({"period " + std::to_string(period), b});
  }

  for (const auto& [name, input] : inputs) {
    Bytes block = Compress(input);
    ASSERT_EQ(block, ReferenceBlock(input)) << name;
    Bytes back;
    ASSERT_TRUE(Decompress(block, back)) << name;
    ASSERT_EQ(back, input) << name;
    // The coder's own decoder, through its one-byte callbacks, restores the stream alike.
    Bytes viaCallbacks;
    size_t at = 0;
    LzhDecodeStream(
        int32_t(input.size()),
        [&](uint8_t* b, uint16_t, uint16_t& done) { done = at < block.size() ? (*b = block[at++], 1) : 0; },
        [&](const uint8_t* b, uint16_t n, uint16_t& done) { viaCallbacks.insert(viaCallbacks.end(), b, b + n), done = n; });
    ASSERT_EQ(viaCallbacks, input) << name;
    // In pieces: the same block, and the input back, whatever the pieces the input comes in.
    ASSERT_EQ(EncodeInPieces(input), block) << name;
    ASSERT_EQ(EncodeInPieces(input, {1, 7, 4096}), block) << name;
    ASSERT_EQ(DecodeInPieces(block), input) << name;
    ASSERT_EQ(DecodeInPieces(block, {3, 1, 8, 9, 65536}), input) << name;
  }
}

// Outputs of several of the decoder's pieces: matches that reach back across a piece's end into
// the history kept from the one before, and a stream that ends in a match longer than the bytes
// still due (the surplus written as the block decoder writes it). Its memory, window and buffers,
// stays the same whatever the output, also for a trailer that claims far more than the block holds.
TEST(Lzh, DecodesInPiecesThroughAWindowOfItsOwn) {
  Bytes input = Text(700000, 40);
  for (uint32_t i = 0; i < 40; i++) {
    Bytes r = Random(9000 + 1000 * i, 41 + i, 4 << (i % 6));
    input.insert(input.end(), r.begin(), r.end());
    const size_t from = input.size() - 4000 - i * 3;
    for (size_t k = 0; k < 1000; k++) input.push_back(input[from + k]);  // a copy from 4,000 bytes back
  }
  const Bytes blanks = Compress(Bytes(700, ' '));  // eleven matches of 60 end at 660: past 650
  struct Case {
    const char* name;
    Bytes block;
    size_t minSize;
  };
  const Case cases[] = {
      {"a sound block of 1.3 MB", Compress(input), input.size()},
      {"a match beyond the count", WithTrailer(Bytes(blanks.begin(), blanks.end() - 4), 650), 660},
      {"a 10-byte block claiming 8,000,000 bytes", WithTrailer({0xF6, 0xFB, 0xBD, 0xE0, 0, 0}, 8000000), 8000000},
  };
  // Compares what it is given with the block decoder's output, holding none of it.
  struct TCompare : TLzhPieces {
    const Bytes &Block, &Want;
    size_t At = 0, Written = 0, Largest = 0;
    bool Same = true;
    TCompare(const Bytes& block, const Bytes& want) : Block(block), Want(want) {}
    bool Read(uint8_t* buffer, size_t size, size_t& got) override {
      got = std::min(size, Block.size() - At);
      std::copy_n(Block.begin() + ptrdiff_t(At), got, buffer);
      At += got;
      return true;
    }
    bool Write(const uint8_t* data, size_t size) override {
      Same = Same && Written + size <= Want.size() && std::equal(data, data + size, Want.begin() + ptrdiff_t(Written));
      Written += size;
      Largest = std::max(Largest, size);
      return true;
    }
  };
  for (const Case& c : cases) {
    Bytes whole;
    ASSERT_TRUE(Decompress(c.block, whole)) << c.name;
    ASSERT_GE(whole.size(), c.minSize) << c.name;
    TCompare ends(c.block, whole);
    const size_t before = alloc_watch::live;
    alloc_watch::peak = before;
    int64_t produced = 0;
    ASSERT_TRUE(LzhDecodePieces(CountOf(c.block), ends, &produced)) << c.name;
    EXPECT_TRUE(ends.Same) << c.name;
    EXPECT_EQ(ends.Written, whole.size()) << c.name;
    EXPECT_EQ(produced, int64_t(whole.size())) << c.name;
    EXPECT_LE(ends.Largest, size_t(256 * 1024 + 59)) << c.name;
    EXPECT_LE(alloc_watch::peak - before, size_t(512 * 1024)) << c.name;
  }
  EXPECT_EQ(DecodeInPieces(Compress(input), {1, 4093, 65535}), input);
}

// Either callback stops a run by answering false: the run ends at once and calls neither again.
// What a callback throws passes through, and the run's memory is given back.
TEST(Lzh, RunsInPiecesStopWhenACallbackSaysSo) {
  const Bytes input = Text(900000, 50);
  const Bytes block = Compress(input);
  struct TStopping : TLzhPieces {
    const Bytes& In;
    size_t At = 0;
    int ReadsLeft, WritesLeft;  // the call that answers false (or throws), counted down
    bool Throw = false;
    int CallsAfterStop = 0;
    bool Stopped = false;
    TStopping(const Bytes& in, int reads, int writes) : In(in), ReadsLeft(reads), WritesLeft(writes) {}
    bool Read(uint8_t* buffer, size_t size, size_t& got) override {
      CallsAfterStop += Stopped;
      if (--ReadsLeft == 0) return Stop();
      got = std::min(size, In.size() - At);
      std::copy_n(In.begin() + ptrdiff_t(At), got, buffer);
      At += got;
      return true;
    }
    bool Write(const uint8_t*, size_t) override {
      CallsAfterStop += Stopped;
      return --WritesLeft != 0 || Stop();
    }
    bool Stop() {
      if (Throw) throw std::runtime_error("stop");
      Stopped = true;
      return false;
    }
  };
  for (bool encode : {true, false}) {
    for (bool byRead : {true, false}) {
      for (bool doThrow : {false, true}) {
        SCOPED_TRACE(std::string(encode ? "encode" : "decode") + (byRead ? ", read" : ", write") +
                     (doThrow ? ", throws" : ""));
        TStopping ends(encode ? input : block, byRead ? 3 : 1000, byRead ? 1000 : 2);
        ends.Throw = doThrow;
        const size_t live = alloc_watch::live;
        if (doThrow) {
          EXPECT_THROW(encode ? void(LzhEncodePieces(ends)) : void(LzhDecodePieces(int32_t(input.size()), ends)),
                       std::runtime_error);
        } else if (encode) {
          EXPECT_EQ(LzhEncodePieces(ends), -1);
        } else {
          int64_t produced = -1;
          EXPECT_FALSE(LzhDecodePieces(int32_t(input.size()), ends, &produced));
          // The pieces before the stop are out; the write that failed counts for nothing.
          EXPECT_LT(produced, int64_t(input.size()));
          if (!byRead) {  // one piece of 256 KiB, and the end of the match that filled it
            EXPECT_GE(produced, 256 * 1024);
            EXPECT_LT(produced, 256 * 1024 + 60);
          }
        }
        EXPECT_EQ(ends.CallsAfterStop, 0);
        EXPECT_EQ(alloc_watch::live, live);
      }
    }
  }
  // No memory for the tables: nothing is read or written.
  TStopping ends(input, 1000, 1000);
  alloc_watch::failSize = sizeof(TLzhState);
  EXPECT_THROW(LzhEncodePieces(ends), ElzhException);
  EXPECT_THROW(LzhDecodePieces(100, ends), ElzhException);
  alloc_watch::failSize = 0;
  EXPECT_EQ(ends.ReadsLeft, 1000);
  EXPECT_EQ(ends.WritesLeft, 1000);
}

TEST(Lzh, FindsMatchesUpTo4036BytesBack) {
  for (int distance : {4035, 4036, 4037, 4038}) {
    Bytes input = Random(size_t(distance), 99);
    input.insert(input.end(), input.begin(), input.begin() + 60);
    ReferenceEncoder ref;
    Bytes stream = ref.Encode(input);
    bool found = false;
    for (const auto& t : ref.tokens) found |= t.length == 60 && t.offset == distance - 1;
    EXPECT_EQ(found, distance <= 4036) << distance;
    EXPECT_EQ(Compress(input), WithTrailer(stream, int32_t(input.size()))) << distance;
    Bytes back;
    ASSERT_TRUE(Decompress(Compress(input), back));
    EXPECT_EQ(back, input) << distance;
  }
}

// Match lengths 5..13 in proportions that make the Huffman tree a chain of nine heavy leaves above
// a block of about 300 symbols that stay at frequency 1 (each heavy at least 1.3 times what the
// chain below it needs to stay a chain), each match copied from a random place of the window; a
// stray literal now and then. After the initial literals have faded through some rebuilds, rare
// symbols sit 17 and more levels deep.
Bytes DeepCodes() {
  std::mt19937 rng(1);
  Bytes b = Random(4036, 1);
  std::vector<double> weight(9);  // of lengths 5..13, lightest last
  double below = 306, prev = 153 * 1.3;
  weight[8] = prev;
  for (int i = 7; i >= 0; i--) {
    double next = std::max(below, prev) * 1.3;
    below += prev;
    weight[size_t(i)] = prev = next;
  }
  double total = 0;
  for (double w : weight) total += w;
  std::vector<double> due(9, 0);
  size_t follow = b.size();  // where the last copy's source goes on: the next copy must differ there
  for (int k = 0; k < 130000; k++) {
    size_t pick = 0;
    for (size_t i = 0; i < 9; i++) {
      due[i] += weight[i] / total;
      if (due[i] > due[pick]) pick = i;
    }
    due[pick] -= 1;
    size_t from;
    do from = b.size() - 100 - rng() % 3900;
    while (follow < b.size() && b[from] == b[follow]);
    follow = from + 5 + pick;
    for (size_t i = 0; i < 5 + pick; i++) b.push_back(b[from + i]);
    if (k >= 100000 && k % 100 == 0) b.push_back(uint8_t(rng())), follow = b.size();
  }
  return b;
}

TEST(Lzh, SendsCodesLongerThan16BitsWhole) {
  const Bytes input = DeepCodes();
  ReferenceEncoder ref;
  Bytes block = WithTrailer(ref.Encode(input), int32_t(input.size()));
  EXPECT_GE(ref.longestCode, 17u);
  ASSERT_EQ(Compress(input), block);
  Bytes back;
  ASSERT_TRUE(Decompress(block, back));
  ASSERT_EQ(back, input);
}

// The callbacks' contract: one byte per call, progress after every read, reads past the end
// answered with nothing; decompressing reads the block (trailer included) with the same calls.
TEST(Lzh, ReportsProgressAfterEveryRead) {
  static std::vector<std::pair<int32_t, int32_t>> calls;
  const Bytes input = Text(500, 3);
  const Bytes block = Compress(input);
  for (bool compress : {true, false}) {
    const Bytes& in = compress ? input : block;
    calls.clear();
    Bytes out;
    TCustom_lzh lzh;
    lzh.InBuffer = in.data();
    lzh.InSize = int32_t(in.size());
    lzh.OutStream = &out;
    lzh.ProgressTag = 42;
    lzh.OnProgress = [](int32_t left, int32_t tag) { calls.push_back({left, tag}); };
    ASSERT_TRUE(compress ? lzh.Compress() : lzh.Decompress());
    EXPECT_EQ(out, compress ? block : input);
    ASSERT_GE(calls.size(), compress ? in.size() + 1 : in.size());
    for (size_t i = 0; i < calls.size(); i++) {
      EXPECT_EQ(calls[i].first, i < in.size() ? int32_t(in.size() - i - 1) : 0) << i;
      EXPECT_EQ(calls[i].second, 42);
    }
    EXPECT_EQ(lzh.InPos, lzh.InSize);
    EXPECT_EQ(lzh.BytesLeft, 0);
  }
}

TEST(Lzh, ExceptionsOfACallbackPassThrough) {
  struct Stop {};
  auto read = [](uint8_t* b, uint16_t, uint16_t& done) { *b = 'x', done = 1; };
  int writes = 0;
  auto write = [&writes](const uint8_t*, uint16_t, uint16_t& done) {
    if (++writes == 100) throw Stop{};
    done = 1;
  };
  EXPECT_THROW(LzhEncodeStream(read, write), Stop);  // the input never ends; the write stops it
  int reads = 0;
  auto failingRead = [&reads](uint8_t* b, uint16_t, uint16_t& done) {
    if (++reads == 10) throw Stop{};
    *b = 0, done = 1;
  };
  auto sink = [](const uint8_t*, uint16_t, uint16_t& done) { done = 1; };
  EXPECT_THROW(LzhDecodeStream(1000000, failingRead, sink), Stop);
}

// Every run has its own tables: a run started inside another's callback leaves it undisturbed.
TEST(Lzh, RunsInsideARunKeepTheirOwnTables) {
  const Bytes outerIn = Text(20000, 4), innerIn = Random(3000, 5, 8);
  Bytes inner;
  size_t at = 0;
  Bytes outer;
  LzhEncodeStream(
      [&](uint8_t* b, uint16_t, uint16_t& done) {
        if (at == 5000) inner = Compress(innerIn);
        done = at < outerIn.size() ? (*b = outerIn[at++], 1) : 0;
      },
      [&](const uint8_t* b, uint16_t, uint16_t& done) { outer.push_back(*b), done = 1; });
  EXPECT_EQ(WithTrailer(outer, int32_t(outerIn.size())), Compress(outerIn));
  EXPECT_EQ(inner, Compress(innerIn));
}

}  // namespace

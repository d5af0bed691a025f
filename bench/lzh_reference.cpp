// The textbook LZSS + adaptive Huffman coder, written plainly: global tables, a bit buffer of 16
// bits filled one byte at a time, one tree step per bit, one output byte per call.
#include "bench/lzh_reference.h"

#include <cstring>

namespace {

constexpr int N = 4096;       // ring size
constexpr int F = 60;         // look-ahead
constexpr int THRESHOLD = 2;  // longest match still sent as literals
constexpr int NIL = N;
constexpr int N_CHAR = 256 - THRESHOLD + F;  // 314 symbols
constexpr int T = N_CHAR * 2 - 1;            // 627 tree slots
constexpr int R = T - 1;                     // root
constexpr unsigned MAX_FREQ = 0x8000;

uint8_t text_buf[N + F - 1];
int match_position, match_length;
int lson[N + 1], rson[N + 257], dad[N + 1];
unsigned freq[T + 1];
int prnt[T + N_CHAR];
int son[T];

// Byte-at-a-time I/O over memory, the way getc and putc would serve it from a file.
const uint8_t* in_ptr;
const uint8_t* in_end;
std::vector<uint8_t>* out_vec;

int GetC() { return in_ptr < in_end ? *in_ptr++ : -1; }
void PutC(int c) { out_vec->push_back(uint8_t(c)); }

unsigned getbuf, getlen, putlen;
uint64_t putbuf;  // left-aligned

// Offset prefix code: the upper 6 bits of an offset, 3 to 8 bits long.
uint8_t p_len[64], p_code[64], d_code[256], d_len[256];

void MakeOffsetTables() {
  unsigned code = 0, len = 3;
  for (int v = 0; v < 64; v++) {
    unsigned l = v < 1 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
    code <<= l - len;
    len = l;
    p_len[v] = uint8_t(l);
    p_code[v] = uint8_t(code << (8 - l));  // left-aligned
    for (unsigned b = code << (8 - l); b < (code + 1) << (8 - l); b++) d_code[b] = uint8_t(v), d_len[b] = uint8_t(l);
    code++;
  }
}

void InitTree() {
  for (int i = N + 1; i <= N + 256; i++) rson[i] = NIL;
  for (int i = 0; i < N + 1; i++) dad[i] = NIL;
}

void InsertNode(int r) {
  int i, p, cmp = 1;
  const uint8_t* key = &text_buf[r];
  p = N + 1 + key[0];
  rson[r] = lson[r] = NIL;
  match_length = 0;
  for (;;) {
    if (cmp >= 0) {
      if (rson[p] != NIL) {
        p = rson[p];
      } else {
        rson[p] = r;
        dad[r] = p;
        return;
      }
    } else {
      if (lson[p] != NIL) {
        p = lson[p];
      } else {
        lson[p] = r;
        dad[r] = p;
        return;
      }
    }
    for (i = 1; i < F; i++)
      if ((cmp = key[i] - text_buf[p + i]) != 0) break;
    if (i > THRESHOLD) {
      int c = ((r - p) & (N - 1)) - 1;
      if (i > match_length) {
        match_position = c;
        if ((match_length = i) >= F) break;
      } else if (i == match_length && c < match_position) {
        match_position = c;
      }
    }
  }
  dad[r] = dad[p];
  lson[r] = lson[p];
  rson[r] = rson[p];
  dad[lson[p]] = r;
  dad[rson[p]] = r;
  if (rson[dad[p]] == p)
    rson[dad[p]] = r;
  else
    lson[dad[p]] = r;
  dad[p] = NIL;
}

void DeleteNode(int p) {
  int q;
  if (dad[p] == NIL) return;
  if (rson[p] == NIL) {
    q = lson[p];
  } else if (lson[p] == NIL) {
    q = rson[p];
  } else {
    q = lson[p];
    if (rson[q] != NIL) {
      do q = rson[q]; while (rson[q] != NIL);
      rson[dad[q]] = lson[q];
      dad[lson[q]] = dad[q];
      lson[q] = lson[p];
      dad[lson[p]] = q;
    }
    rson[q] = rson[p];
    dad[rson[p]] = q;
  }
  dad[q] = dad[p];
  if (rson[dad[p]] == p)
    rson[dad[p]] = q;
  else
    lson[dad[p]] = q;
  dad[p] = NIL;
}

int GetBit() {
  while (getlen <= 8) {
    int c = GetC();
    getbuf |= unsigned(c < 0 ? 0 : c) << (8 - getlen);
    getlen += 8;
  }
  int bit = (getbuf >> 15) & 1;
  getbuf = (getbuf << 1) & 0xFFFF;
  getlen--;
  return bit;
}

int GetByte() {
  while (getlen <= 8) {
    int c = GetC();
    getbuf |= unsigned(c < 0 ? 0 : c) << (8 - getlen);
    getlen += 8;
  }
  int byte = (getbuf >> 8) & 0xFF;
  getbuf = (getbuf << 8) & 0xFFFF;
  getlen -= 8;
  return byte;
}

// Appends the l bits of code (left-aligned in 32 bits) behind the putlen bits held.
void Putcode(int l, uint32_t c) {
  putbuf |= uint64_t(c) << 32 >> putlen;
  putlen += unsigned(l);
  while (putlen >= 8) {
    PutC(int(putbuf >> 56));
    putbuf <<= 8;
    putlen -= 8;
  }
}

void StartHuff() {
  int i, j;
  for (i = 0; i < N_CHAR; i++) {
    freq[i] = 1;
    son[i] = i + T;
    prnt[i + T] = i;
  }
  i = 0;
  j = N_CHAR;
  while (j <= R) {
    freq[j] = freq[i] + freq[i + 1];
    son[j] = i;
    prnt[i] = prnt[i + 1] = j;
    i += 2;
    j++;
  }
  freq[T] = 0xFFFF;
  prnt[R] = 0;
}

void reconst() {
  int i, j, k;
  unsigned f, l;
  j = 0;
  for (i = 0; i < T; i++) {
    if (son[i] >= T) {
      freq[j] = (freq[i] + 1) / 2;
      son[j] = son[i];
      j++;
    }
  }
  for (i = 0, j = N_CHAR; j < T; i += 2, j++) {
    k = i + 1;
    f = freq[j] = freq[i] + freq[k];
    for (k = j - 1; f < freq[k]; k--) {
    }
    k++;
    l = unsigned(j - k);
    std::memmove(&freq[k + 1], &freq[k], l * sizeof freq[0]);
    freq[k] = f;
    std::memmove(&son[k + 1], &son[k], l * sizeof son[0]);
    son[k] = i;
  }
  for (i = 0; i < T; i++) {
    if ((k = son[i]) >= T) {
      prnt[k] = i;
    } else {
      prnt[k] = prnt[k + 1] = i;
    }
  }
}

void update(int c) {
  int i, j, l;
  unsigned k;
  if (freq[R] == MAX_FREQ) reconst();
  c = prnt[c + T];
  do {
    k = ++freq[c];
    if (k > freq[l = c + 1]) {
      while (k > freq[++l]) {
      }
      l--;
      freq[c] = freq[l];
      freq[l] = k;
      i = son[c];
      prnt[i] = l;
      if (i < T) prnt[i + 1] = l;
      j = son[l];
      son[l] = i;
      prnt[j] = c;
      if (j < T) prnt[j + 1] = c;
      son[c] = j;
      c = l;
    }
  } while ((c = prnt[c]) != 0);
}

void EncodeChar(unsigned c) {
  uint32_t code = 0;
  int len = 0;
  int k = prnt[c + T];
  do {
    code >>= 1;
    if (k & 1) code += 0x80000000u;
    len++;
  } while ((k = prnt[k]) != R);
  Putcode(len, code);
  update(int(c));
}

void EncodePosition(unsigned c) {
  unsigned i = c >> 6;
  Putcode(p_len[i], uint32_t(p_code[i]) << 24);
  Putcode(6, uint32_t(c & 0x3F) << 26);
}

int DecodeChar() {
  unsigned c = unsigned(son[R]);
  while (c < unsigned(T)) {
    c += unsigned(GetBit());
    c = unsigned(son[c]);
  }
  c -= T;
  update(int(c));
  return int(c);
}

int DecodePosition() {
  unsigned i = unsigned(GetByte());
  unsigned c = unsigned(d_code[i]) << 6;
  unsigned j = d_len[i];
  j -= 2;
  while (j--) i = (i << 1) + unsigned(GetBit());
  return int(c | (i & 0x3F));
}

void Reset() {
  std::memset(text_buf, 0, sizeof text_buf);
  getbuf = getlen = putbuf = putlen = 0;
  match_position = match_length = 0;
  MakeOffsetTables();
}

}  // namespace

std::vector<uint8_t> RefLzhCompress(const uint8_t* in, int32_t size) {
  std::vector<uint8_t> out;
  Reset();
  in_ptr = in;
  in_end = in + size;
  out_vec = &out;
  int i, c, len, r, s, last_match_length;
  int32_t textsize = 0;
  StartHuff();
  InitTree();
  s = 0;
  r = N - F;
  for (i = s; i < r; i++) text_buf[i] = ' ';
  for (len = 0; len < F && (c = GetC()) >= 0; len++) text_buf[r + len] = uint8_t(c);
  textsize = len;
  for (i = 1; i <= F; i++) InsertNode(r - i);
  InsertNode(r);
  do {
    if (match_length > len) match_length = len;
    if (match_length <= THRESHOLD) {
      match_length = 1;
      EncodeChar(text_buf[r]);
    } else {
      EncodeChar(unsigned(255 - THRESHOLD + match_length));
      EncodePosition(unsigned(match_position));
    }
    last_match_length = match_length;
    for (i = 0; i < last_match_length && (c = GetC()) >= 0; i++) {
      DeleteNode(s);
      text_buf[s] = uint8_t(c);
      if (s < F - 1) text_buf[s + N] = uint8_t(c);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      InsertNode(r);
    }
    textsize += i;
    while (i++ < last_match_length) {
      DeleteNode(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len) InsertNode(r);
    }
  } while (len > 0);
  if (putlen) PutC(int(putbuf >> 56));
  for (i = 0; i < 4; i++) PutC(int(uint32_t(textsize) >> (8 * i)) & 0xFF);
  return out;
}

bool RefLzhDecompress(const uint8_t* in, int32_t size, std::vector<uint8_t>& out) {
  out.clear();
  if (size <= 4) return false;
  Reset();
  const uint8_t* t = in + size - 4;
  int32_t textsize = int32_t(uint32_t(t[0]) | uint32_t(t[1]) << 8 | uint32_t(t[2]) << 16 | uint32_t(t[3]) << 24);
  in_ptr = in;
  in_end = in + size;
  out_vec = &out;
  int i, j, k, r, c;
  int32_t count;
  StartHuff();
  for (i = 0; i < N - F; i++) text_buf[i] = ' ';
  r = N - F;
  for (count = 0; count < textsize;) {
    c = DecodeChar();
    if (c < 256) {
      PutC(c);
      text_buf[r++] = uint8_t(c);
      r &= (N - 1);
      count++;
    } else {
      i = (r - DecodePosition() - 1) & (N - 1);
      j = c - 255 + THRESHOLD;
      for (k = 0; k < j; k++) {
        c = text_buf[(i + k) & (N - 1)];
        PutC(c);
        text_buf[r++] = uint8_t(c);
        r &= (N - 1);
        count++;
      }
    }
  }
  return true;
}

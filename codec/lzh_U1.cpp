// The LZH coder: tables, match tree and Huffman model. The parts that touch the callbacks are
// templates in lzh_U1.h.
#include "codec/lzh_U1.h"

#include <bit>
#include <new>

TLzhTables LzhAllocTables() {
  TLzhTables st(new (std::nothrow) TLzhState());  // value-initialised: run state and tables zero
  if (!st) throw ElzhException(kLzhNoMemory);
  return st;
}

// Giving memory back cannot fail here, so kLzhFreeError is never raised.
void LzhFreeTables(TLzhTables& st) { st.reset(); }

// ---- Match tree ----

void LzhTreeInit(TLzhState& st) {
  for (int i = kLzhRingSize + 1; i <= kLzhRingSize + 256; i++) st.RightLink[i] = kLzhNil;
  for (int i = 0; i <= kLzhRingSize; i++) st.ParentLink[i] = kLzhNil;
}

namespace {

// Compares bytes 1..59 of the strings at key and p. Answers how many leading bytes are equal,
// counting byte 0 (which the tree guarantees): 1..60; cmp < 0 when key sorts below p.
inline int MatchLength(const uint8_t* key, const uint8_t* p, int& cmp) {
  if constexpr (std::endian::native == std::endian::little) {
    for (int i = 1; i < kLzhLookAhead; i += 8) {
      uint64_t a, b;
      std::memcpy(&a, key + i, 8);
      std::memcpy(&b, p + i, 8);
      if (uint64_t x = a ^ b) {
        int at = i + std::countr_zero(x) / 8;
        if (at >= kLzhLookAhead) break;
        cmp = int(key[at]) - int(p[at]);
        return at;
      }
    }
  } else {
    for (int i = 1; i < kLzhLookAhead; i++) {
      if (key[i] != p[i]) {
        cmp = int(key[i]) - int(p[i]);
        return i;
      }
    }
  }
  cmp = 0;
  return kLzhLookAhead;
}

}  // namespace

void LzhTreeInsert(TLzhState& st, int r) {
  const uint8_t* key = &st.Ring[r];
  int16_t* left = st.LeftLink;
  int16_t* right = st.RightLink;
  int16_t* parent = st.ParentLink;
  int p = kLzhRingSize + 1 + key[0];
  int cmp = 1;
  left[r] = right[r] = kLzhNil;
  int matchLength = 0, matchOffset = st.MatchOffset;
  for (;;) {
    int16_t* link = cmp >= 0 ? &right[p] : &left[p];
    if (*link == kLzhNil) {
      *link = int16_t(r);
      parent[r] = int16_t(p);
      st.MatchLength = matchLength;
      st.MatchOffset = matchOffset;
      return;
    }
    p = *link;
    int i = MatchLength(key, &st.Ring[p], cmp);
    if (i > kLzhThreshold) {
      int d = ((r - p) & kLzhRingMask) - 1;
      if (i > matchLength) {
        matchOffset = d;
        matchLength = i;
        if (i >= kLzhLookAhead) break;
      } else if (i == matchLength && d < matchOffset) {
        matchOffset = d;
      }
    }
  }
  st.MatchLength = matchLength;
  st.MatchOffset = matchOffset;
  // A full match: r takes p's place and p leaves the tree.
  parent[r] = parent[p];
  left[r] = left[p];
  right[r] = right[p];
  parent[left[p]] = int16_t(r);
  parent[right[p]] = int16_t(r);
  if (right[parent[p]] == p)
    right[parent[p]] = int16_t(r);
  else
    left[parent[p]] = int16_t(r);
  parent[p] = kLzhNil;
}

void LzhTreeDelete(TLzhState& st, int p) {
  int16_t* left = st.LeftLink;
  int16_t* right = st.RightLink;
  int16_t* parent = st.ParentLink;
  if (parent[p] == kLzhNil) return;
  int q;
  if (right[p] == kLzhNil) {
    q = left[p];
  } else if (left[p] == kLzhNil) {
    q = right[p];
  } else {
    q = left[p];
    if (right[q] != kLzhNil) {
      do q = right[q]; while (right[q] != kLzhNil);
      right[parent[q]] = left[q];
      parent[left[q]] = parent[q];
      left[q] = left[p];
      parent[left[p]] = int16_t(q);
    }
    right[q] = right[p];
    parent[right[p]] = int16_t(q);
  }
  parent[q] = parent[p];
  if (right[parent[p]] == p)
    right[parent[p]] = int16_t(q);
  else
    left[parent[p]] = int16_t(q);
  parent[p] = kLzhNil;
}

// ---- Adaptive Huffman model ----

void LzhHuffInit(TLzhState& st) {
  for (int c = 0; c < kLzhSymbols; c++) {
    st.NodeFreq[c] = 1;
    st.NodeChild[c] = int16_t(kLzhNodes + c);
    st.NodeParent[kLzhNodes + c] = int16_t(c);
  }
  for (int i = 0, s = kLzhSymbols; s < kLzhNodes; i += 2, s++) {
    st.NodeFreq[s] = uint16_t(st.NodeFreq[i] + st.NodeFreq[i + 1]);
    st.NodeChild[s] = int16_t(i);
    st.NodeParent[i] = st.NodeParent[i + 1] = int16_t(s);
  }
  st.NodeFreq[kLzhNodes] = 0xFFFF;
  st.NodeParent[kLzhRoot] = 0;
}

// Halves every frequency and rebuilds the tree from the leaves in their present order.
void LzhHuffRebuild(TLzhState& st) {
  uint16_t* freq = st.NodeFreq;
  int16_t* child = st.NodeChild;
  int j = 0;
  for (int i = 0; i < kLzhNodes; i++) {
    if (child[i] >= kLzhNodes) {
      freq[j] = uint16_t((freq[i] + 1) / 2);
      child[j] = child[i];
      j++;
    }
  }
  for (int i = 0, s = kLzhSymbols; s < kLzhNodes; i += 2, s++) {
    unsigned f = unsigned(freq[i]) + freq[i + 1];
    int k = s;
    while (k > 0 && f < freq[k - 1]) k--;
    std::memmove(&freq[k + 1], &freq[k], size_t(s - k) * sizeof freq[0]);
    std::memmove(&child[k + 1], &child[k], size_t(s - k) * sizeof child[0]);
    freq[k] = uint16_t(f);
    child[k] = int16_t(i);
  }
  for (int s = 0; s < kLzhNodes; s++) {
    int k = child[s];
    if (k >= kLzhNodes)
      st.NodeParent[k] = int16_t(s);
    else
      st.NodeParent[k] = st.NodeParent[k + 1] = int16_t(s);
  }
}

// Counts one more c and restores the ordering of the slots by frequency.
void LzhHuffUpdate(TLzhState& st, int c) {
  uint16_t* freq = st.NodeFreq;
  int16_t* child = st.NodeChild;
  int16_t* parent = st.NodeParent;
  if (freq[kLzhRoot] == kLzhMaxFreq) LzhHuffRebuild(st);
  int s = parent[kLzhNodes + c];
  do {
    unsigned k = ++freq[s];
    if (k > freq[s + 1]) {
      // The highest slot l above s still below k; the sentinel stops the scan.
      int l = s + 1;
      while (k > freq[l + 1]) l++;
      freq[s] = freq[l];
      freq[l] = uint16_t(k);
      int i = child[s];
      parent[i] = int16_t(l);
      if (i < kLzhNodes) parent[i + 1] = int16_t(l);
      int j = child[l];
      child[l] = int16_t(i);
      parent[j] = int16_t(s);
      if (j < kLzhNodes) parent[j + 1] = int16_t(s);
      child[s] = int16_t(j);
      s = l;
    }
    s = parent[s];
  } while (s != 0);
}

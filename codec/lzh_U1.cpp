// The LZH coder's tables and its adaptive Huffman model, which both directions share. The match
// tree (lzh_U1_tree.cpp) serves only the encoder; the parts that touch the callbacks are
// templates in lzh_U1.h.
#include "codec/lzh_U1.h"

#include <new>
#include <utility>

TLzhTables LzhAllocTables() {
  TLzhTables st(new (std::nothrow) TLzhState());  // value-initialised: run state and tables zero
  if (!st) throw ElzhException(kLzhNoMemory);
  return st;
}

// Giving memory back cannot fail here, so kLzhFreeError is never raised.
void LzhFreeTables(TLzhTables& st) { st.reset(); }

// ---- Adaptive Huffman model ----

namespace {

// NodeGrand's row of slot x, from NodeChild.
inline void HuffGrandRow(TLzhState& st, int x) {
  int c = st.NodeChild[x];
  if (c >= kLzhNodes) {
    st.NodeGrand[2 * x] = st.NodeGrand[2 * x + 1] = int16_t(c - kLzhNodes + kLzhGrandLeaf);
  } else {
    st.NodeGrand[2 * x] = st.NodeChild[c];
    st.NodeGrand[2 * x + 1] = st.NodeChild[c + 1];
  }
}

void HuffGrandAll(TLzhState& st) {
  for (int x = 0; x < kLzhNodes; x++) HuffGrandRow(st, x);
}

}  // namespace

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
  for (int i = kLzhNodes; i < kLzhNodes + 4; i++) st.NodeFreq[i] = 0xFFFF;
  st.NodeParent[kLzhRoot] = 0;
  if (st.KeepGrand) HuffGrandAll(st), st.TopStale = true;
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
  if (st.KeepGrand) HuffGrandAll(st), st.TopStale = true;
}

// Counts one more c and restores the ordering of the slots by frequency.
void LzhHuffUpdate(TLzhState& st, int c) {
  if (st.NodeFreq[kLzhRoot] == kLzhMaxFreq) LzhHuffRebuild(st);
  if (st.KeepGrand)
    lzh_detail::HuffCountUp<true>(st, st.NodeParent[kLzhNodes + c]);
  else
    lzh_detail::HuffCountUp<false>(st, st.NodeParent[kLzhNodes + c]);
}

void LzhHuffMoveUp(TLzhState& st, int s, unsigned k) {
  if (st.KeepGrand)
    lzh_detail::HuffMoveUp<true>(st, s, k);
  else
    lzh_detail::HuffMoveUp<false>(st, s, k);
}

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

// Halves every frequency and rebuilds the tree from the leaves in their present order: each new
// node joins the two lowest slots not yet joined and takes its place after every slot of its
// weight or less. The leaves stay in order and the new nodes come in order of weight, so the
// slots fill from the front as a merge of the two runs, a leaf before a node of the same weight.
// Node m joins slots 2m and 2m + 1, so it is there to be placed from slot 2m + 2 on.
void LzhHuffRebuild(TLzhState& st) {
  uint16_t* freq = st.NodeFreq;
  int16_t* child = st.NodeChild;
  uint16_t leafFreq[kLzhSymbols];
  int16_t leafChild[kLzhSymbols];
  int leaves = 0;
  for (int i = 0; i < kLzhNodes; i++) {
    if (child[i] >= kLzhNodes) {
      leafFreq[leaves] = uint16_t((freq[i] + 1) / 2);
      leafChild[leaves] = child[i];
      leaves++;
    }
  }
  for (int s = 0, a = 0, m = 0; s < kLzhNodes; s++) {
    unsigned node = 2 * m + 2 <= s ? unsigned(freq[2 * m]) + freq[2 * m + 1] : 0;
    if (node != 0 && (a == leaves || node < leafFreq[a])) {
      freq[s] = uint16_t(node);
      child[s] = int16_t(2 * m);
      m++;
    } else {
      freq[s] = leafFreq[a];
      child[s] = leafChild[a];
      a++;
    }
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

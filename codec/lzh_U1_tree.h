// The LZH coder's match tree: binary search trees of ring positions, one per first byte. Only
// the encoder uses it. Its insertion and deletion run once per byte of every run: they are here,
// so that the encoder's loop inlines them.
#pragma once

#include <algorithm>
#include <bit>
#include <climits>

#include "codec/lzh_U1.h"

namespace lzh_tree {

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

inline uint64_t BigEndian64(uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(v);
  return v;
}

// Both links of a node in one load.
struct TBothLinks {
  uint32_t v;
  unsigned Left() const { return uint16_t(std::endian::native == std::endian::little ? v : v >> 16); }
  unsigned Right() const { return uint16_t(std::endian::native == std::endian::little ? v >> 16 : v); }
};

inline TBothLinks LoadLinks(const TLzhState::TLzhLinks* links, unsigned p) {
  TBothLinks b;
  std::memcpy(&b.v, &links[p], 4);
  return b;
}

// Bytes from..59 of key and p, the bytes before being equal: how many leading bytes are equal
// (from..60), and whether key sorts after p or equals it. A word at a time, the last one ending
// at byte 59.
inline int CompareFrom(const uint8_t* key, const uint8_t* p, int from, bool& ge) {
  for (int i = from;; i += 8) {
    if (i > kLzhLookAhead - 8) i = kLzhLookAhead - 8;
    uint64_t a = BigEndian64(Load64(key + i)), b = BigEndian64(Load64(p + i));
    if (a != b) {
      ge = a > b;
      return i + std::countl_zero(a ^ b) / 8;
    }
    if (i == kLzhLookAhead - 8) break;
  }
  ge = true;
  return kLzhLookAhead;
}

// pick ? a : b without a jump: the compiler would make the choice of the walk's way down a
// jump, mispredicted half of the time; a conditional move costs one instruction.
template <class T>
inline T Pick(bool pick, T a, T b) {
#if defined(__x86_64__)
  __asm__("test %1, %1\n\tcmovne %2, %0" : "+r"(b) : "r"(pick), "r"(a) : "cc");
  return b;
#else
  return pick ? a : b;
#endif
}

// The link of q's parent that points to q now points to r.
// Which side q hangs on is as likely one as the other: the link is chosen by address.
inline void Relink(TLzhState& st, int q, int r) {
  TLzhState::TLzhLinks& up = st.Links[st.ParentLink[q]];
  uint16_t* link = Pick(up.RightLink == q, &up.RightLink, &up.LeftLink);
  *link = uint16_t(r);
}

// Whether the 60 bytes at a and b are equal.
inline bool Equal60(const uint8_t* a, const uint8_t* b) {
  uint64_t diff = Load64(a + kLzhLookAhead - 8) ^ Load64(b + kLzhLookAhead - 8);
  for (int i = 0; i < kLzhLookAhead - 8; i += 8) diff |= Load64(a + i) ^ Load64(b + i);
  return diff == 0;
}

// A full match at p: r takes p's place and p leaves the tree.
inline void TreeReplace(TLzhState& st, int p, int r) {
  TLzhState::TLzhLinks* links = st.Links;
  uint16_t* parent = st.ParentLink;
  parent[r] = parent[p];
  links[r] = links[p];
  parent[links[p].LeftLink] = uint16_t(r);
  parent[links[p].RightLink] = uint16_t(r);
  Relink(st, p, r);
  parent[p] = kLzhNil;
}

// The match of a walk's least cost, (8 - length) * 4,096 + distance: a length of 2 or less is none.
inline void SetMatch(TLzhState& st, int best) {
  const int length = 8 - (best >> 12);
  if (length > kLzhThreshold) {
    st.MatchLength = length;
    st.MatchOffset = (best & kLzhRingMask) - 1;
  } else {
    st.MatchLength = 0;
  }
}

// Inserts ring position r; with kFindMatch also finds the longest match for the 60 bytes there:
// a longer match wins, among equally long ones below 60 the nearest, and the first full match
// ends the search. The walk down the tree is a chain of dependent loads, so while a node is
// compared, the first word and the links of both its children are already on their way (for
// an absent child they are read at index NIL: in range, and never used). Most nodes differ
// from the key within bytes 1..8, compared as one big-endian word.
template <bool kFindMatch>
void TreeInsert(TLzhState& st, int r) {
  const uint8_t* ring = st.Ring;
  const uint8_t* ring1 = ring + 1;  // a node's bytes 1..8 start here, at no cost in the address
  const uint8_t* key = ring + r;
  TLzhState::TLzhLinks* links = st.Links;
  links[r].LeftLink = links[r].RightLink = kLzhNil;
  // Inside a long match the walk would end, insertion after insertion, at the node after the one
  // it replaced last time: when that node is still in the tree and its 60 bytes are the key's, it
  // is the one node that holds them (a node with the key of a new one is always replaced), so
  // the walk would reach it, and it is the full match.
  if (st.LastFull != kLzhNil) {
    const int c = (st.LastFull + 1) & kLzhRingMask;
    if (st.ParentLink[c] != kLzhNil && Equal60(ring + c, key)) {
      TreeReplace(st, c, r);
      st.LastFull = uint16_t(c);
      if (kFindMatch) st.MatchLength = kLzhLookAhead, st.MatchOffset = (r - c - 1) & kLzhRingMask;
      return;
    }
    st.LastFull = kLzhNil;
  }
  int p = kLzhRingSize + 1 + key[0];
  int q = links[p].RightLink;
  bool ge = true;
  // With kFindMatch, the best node so far as (8 - length) * 4,096 + distance, the least the best:
  // longer wins, then nearer; a length of 2 or less is no match.
  int best = INT_MAX;
  if (q != kLzhNil) {
    const uint64_t k1 = BigEndian64(Load64(key + 1));
    uint64_t n1 = BigEndian64(Load64(ring1 + q));
    TBothLinks n = LoadLinks(links, q);
    for (;;) {
      p = q;
      unsigned l = n.Left(), g = n.Right();
      uint64_t l1 = Load64(ring1 + l), g1 = Load64(ring1 + g);  // in memory order
      TBothLinks ln = LoadLinks(links, l), gn = LoadLinks(links, g);
      int cost = 0;  // with kFindMatch: p's (8 - length) * 4,096
      if (k1 != n1) [[likely]] {
        ge = k1 > n1;
        // 1 + the equal bytes of the word is the length: (7 - those bytes) * 8 is the highest
        // differing bit's position, rounded down to a byte.
        if constexpr (kFindMatch) cost = ((63 ^ std::countl_zero(k1 ^ n1)) & 56) << 9;
      } else {
        const int i = CompareFrom(key, ring + p, 9, ge);
        if (i == kLzhLookAhead) [[unlikely]] {
          // The first full match: no earlier node can have scored as high.
          if (kFindMatch) best = (8 - i) * 4096 + ((r - p) & kLzhRingMask);
          TreeReplace(st, p, r);
          st.LastFull = uint16_t(p);
          break;
        }
        cost = (8 - i) * 4096;
      }
      // The least cost, without a branch.
      if constexpr (kFindMatch) best = std::min(best, cost + ((r - p) & kLzhRingMask));
      // The way down is as likely left as right.
      q = int(Pick(ge, g, l));
      if (q == kLzhNil) {
        *Pick(ge, &links[p].RightLink, &links[p].LeftLink) = uint16_t(r);
        st.ParentLink[r] = uint16_t(p);
        break;
      }
      n1 = BigEndian64(Pick(ge, g1, l1));
      n.v = Pick(ge, gn.v, ln.v);
    }
  } else {
    links[p].RightLink = uint16_t(r);
    st.ParentLink[r] = uint16_t(p);
  }
  if constexpr (kFindMatch) SetMatch(st, best);
}


// One walk of an insertion, for two of them side by side: each walk is a chain of loads, one node
// after the other, and two chains keep the processor busy in the time one waits.
struct TWalk {
  const uint8_t* Key;
  uint64_t K1;     // the key's bytes 1..8, big-endian
  int R;           // the position inserted
  int P;           // the node to compare next
  uint64_t N1;     // its bytes 1..8, big-endian
  TBothLinks N;    // its links
  int Best = INT_MAX;  // with a match to find: the least cost so far, as in TreeInsert
};

// Starts the walk of r: answers false when its tree was empty and r is its root now.
inline bool WalkStart(TLzhState& st, TWalk& w, int r) {
  TLzhState::TLzhLinks* links = st.Links;
  w.Key = st.Ring + r;
  w.R = r;
  links[r].LeftLink = links[r].RightLink = kLzhNil;
  const int root = kLzhRingSize + 1 + w.Key[0];
  w.P = links[root].RightLink;
  if (w.P == kLzhNil) {
    links[root].RightLink = uint16_t(r);
    st.ParentLink[r] = uint16_t(root);
    return false;
  }
  w.K1 = BigEndian64(Load64(w.Key + 1));
  w.N1 = BigEndian64(Load64(st.Ring + 1 + w.P));
  w.N = LoadLinks(links, unsigned(w.P));
  return true;
}

// Compares the walk's node and goes on below it, as TreeInsert does: answers false when the
// position is in the tree.
template <bool kFindMatch>
inline bool WalkStep(TLzhState& st, TWalk& w) {
  const uint8_t* ring1 = st.Ring + 1;
  TLzhState::TLzhLinks* links = st.Links;
  const int p = w.P;
  const unsigned l = w.N.Left(), g = w.N.Right();
  const uint64_t l1 = Load64(ring1 + l), g1 = Load64(ring1 + g);
  const TBothLinks ln = LoadLinks(links, l), gn = LoadLinks(links, g);
  bool ge;
  int cost = 0;
  if (w.K1 != w.N1) [[likely]] {
    ge = w.K1 > w.N1;
    if constexpr (kFindMatch) cost = ((63 ^ std::countl_zero(w.K1 ^ w.N1)) & 56) << 9;
  } else {
    const int i = CompareFrom(w.Key, st.Ring + p, 9, ge);
    if (i == kLzhLookAhead) [[unlikely]] {
      if (kFindMatch) w.Best = (8 - i) * 4096 + ((w.R - p) & kLzhRingMask);
      TreeReplace(st, p, w.R);
      st.LastFull = uint16_t(p);
      return false;
    }
    cost = (8 - i) * 4096;
  }
  if constexpr (kFindMatch) w.Best = std::min(w.Best, cost + ((w.R - p) & kLzhRingMask));
  const unsigned q = Pick(ge, g, l);
  if (q == kLzhNil) {
    *Pick(ge, &links[p].RightLink, &links[p].LeftLink) = uint16_t(w.R);
    st.ParentLink[w.R] = uint16_t(p);
    return false;
  }
  w.P = int(q);
  w.N1 = BigEndian64(Pick(ge, g1, l1));
  w.N.v = Pick(ge, gn.v, ln.v);
  return true;
}

// Inserts a and b, in two different trees, side by side: one step of each in turn, then the rest
// of the longer walk; with kFindMatchB also finds b's match.
template <bool kFindMatchB>
void TreeInsertPair(TLzhState& st, int a, int b) {
  TWalk wa{}, wb{};
  bool ga = WalkStart(st, wa, a), gb = WalkStart(st, wb, b);
  while (ga & gb) {
    ga = WalkStep<false>(st, wa);
    gb = WalkStep<kFindMatchB>(st, wb);
  }
  while (ga) ga = WalkStep<false>(st, wa);
  while (gb) gb = WalkStep<kFindMatchB>(st, wb);
  if constexpr (kFindMatchB) SetMatch(st, wb.Best);
}

// Inserts a and then b = a + 1 into the same tree, b's walk one step behind a's, so that it
// overlaps a's as the walks of TreeInsertPair do. A link that a's walk writes, at its end, is
// one level below b's node: b loads it after the write, and meets a where it would have met it
// walking alone. One thing b may have seen before the write is a node that a's full match takes
// out of the tree: its parent's link was loaded when it still led there. That node is then b's
// next one, and a takes its place there, with the same 60 bytes and the same links.
template <bool kFindMatchB>
void TreeInsertTrailing(TLzhState& st, int a, int b) {
  TWalk wa{}, wb{};
  bool ga = WalkStart(st, wa, a) && WalkStep<false>(st, wa);
  bool gb = WalkStart(st, wb, b);
  while (ga & gb) {
    ga = WalkStep<false>(st, wa);
    gb = WalkStep<kFindMatchB>(st, wb);
  }
  if (gb && wb.P == wa.P && st.ParentLink[wa.P] == kLzhNil) wb.P = a;  // a took wa.P's place
  while (ga) ga = WalkStep<false>(st, wa);
  while (gb) gb = WalkStep<kFindMatchB>(st, wb);
  if constexpr (kFindMatchB) SetMatch(st, wb.Best);
}

}  // namespace lzh_tree

inline void LzhTreeInsertTrailing(TLzhState& st, int a, int b, bool findMatchB) {
  if (findMatchB)
    lzh_tree::TreeInsertTrailing<true>(st, a, b);
  else
    lzh_tree::TreeInsertTrailing<false>(st, a, b);
}

inline void LzhTreeInsertPair(TLzhState& st, int a, int b, bool findMatchB) {
  if (findMatchB)
    lzh_tree::TreeInsertPair<true>(st, a, b);
  else
    lzh_tree::TreeInsertPair<false>(st, a, b);
}

inline void LzhTreeInsert(TLzhState& st, int r, bool findMatch) {
  if (findMatch)
    lzh_tree::TreeInsert<true>(st, r);
  else
    lzh_tree::TreeInsert<false>(st, r);
}

inline void LzhTreeDelete(TLzhState& st, int p) {
  using lzh_tree::Pick, lzh_tree::Relink;
  TLzhState::TLzhLinks* links = st.Links;
  uint16_t* parent = st.ParentLink;
  if (parent[p] == kLzhNil) return;
  const unsigned left = links[p].LeftLink, right = links[p].RightLink;
  unsigned q;
  const bool both = (left != kLzhNil) & (right != kLzhNil);
  if (both & (links[left].RightLink != kLzhNil)) {  // links[NIL] is in range
    // The rightmost node of the left subtree takes p's place.
    q = links[left].RightLink;
    while (links[q].RightLink != kLzhNil) q = links[q].RightLink;
    links[parent[q]].RightLink = links[q].LeftLink;
    parent[links[q].LeftLink] = parent[q];
    links[q].LeftLink = uint16_t(left);
    parent[left] = uint16_t(q);
    links[q].RightLink = uint16_t(right);
    parent[right] = uint16_t(q);
  } else {
    // One child, none, or a left child without a right one: that child takes p's place, with
    // p's right subtree where it has both. The three cases are equally common, so they run as
    // one, without jumps; the writes a case does not need go to the NIL entries.
    q = Pick(left != kLzhNil, left, right);
    links[Pick(both, q, unsigned(kLzhNil))].RightLink = uint16_t(right);
    parent[right] = uint16_t(q);  // set again below when q is right itself
  }
  parent[q] = parent[p];
  Relink(st, p, int(q));
  parent[p] = kLzhNil;
}


// The LZH coder's match tree (lzh_U1_tree.h): the start of a run.
#include "codec/lzh_U1_tree.h"

void LzhTreeInit(TLzhState& st) {
  for (int i = kLzhRingSize + 1; i <= kLzhRingSize + 256; i++) st.Links[i].RightLink = kLzhNil;
  for (int i = 0; i <= kLzhRingSize; i++) st.ParentLink[i] = kLzhNil;
  st.LastFull = kLzhNil;
}

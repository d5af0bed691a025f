#include "creator/creator_addshort.h"

TAddShortFrm* AddShortFrm = nullptr;

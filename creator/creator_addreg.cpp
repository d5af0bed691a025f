#include "creator/creator_addreg.h"

TAddRegFrm* AddRegFrm = nullptr;

#include "creator/creator_adddll.h"

TAddDLLFrm* AddDLLFrm = nullptr;

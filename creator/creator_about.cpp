#include "creator/creator_about.h"

TAboutFrm* AboutFrm = nullptr;

#include "data/kpglobal.h"

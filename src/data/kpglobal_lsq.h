// Module-level state of KPGLOBAL (lsq).
#pragma once

#include "data/kpglobal_base.h"

namespace KPGLOBAL {}  // namespace KPGLOBAL

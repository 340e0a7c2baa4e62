// Module-level state of KPGLOBAL (run).
#pragma once

#include "data/kpglobal_base.h"

namespace KPGLOBAL {}  // namespace KPGLOBAL

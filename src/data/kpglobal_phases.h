// Module-level state of KPGLOBAL: phase-model records of the a-x file.
#pragma once

#include <memory>

#include "data/kpglobal_base.h"

namespace KPGLOBAL {

struct ptype0 {};  // pure phase record
struct ptype1 {};  // solution phase record

// Heap tables, allocated once by KPUTE1::SETUP.
inline std::unique_ptr<Arr<ptype0, purephmax>> PREC0;
inline std::unique_ptr<Arr<ptype1, solphmax>> PREC1;

}  // namespace KPGLOBAL

// KPREAD1 (phase diagrams): the fluid of the run, the end-member or component
// of a log a or mu axis, and the projection of the system from phases in excess.
#pragma once

#include "data/kpglobal.h"

namespace KPREAD1 {

// Settles FLUIDTYPE, the axis end-member (LNAPOS, LNANAME, NLNA, KEEPLNAS) or
// component (MUNAME, NMU, MUPOS, with its pseudo end-member) and the phases in
// excess; projects the system from them, so that end-members NNE+1..NCV are the
// excess ones and components NU+1..NUV those they remove. Every per-end-member
// array and end-member position moves with its end-member.
void INEXCESS();

}  // namespace KPREAD1

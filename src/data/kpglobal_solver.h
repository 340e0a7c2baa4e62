// Module-level state of KPGLOBAL written by the nonlinear solver and the
// equilibrium equations: the Newton matrix's near-singularity, the copy of the
// last Jacobian for the uncertainties, and ln K of the independent reactions.
#pragma once

#include "data/kpglobal_base.h"

namespace KPGLOBAL {

// The line search dropped small singular values at the start of its last step.
inline bool NEARSING = false;

// The Jacobian of the last evaluation of the equilibrium equations: reaction
// rows unscaled (kJ per unit of the plain unknown), mass-balance rows as the
// solver sees them; JROW x JCOL entries are in use.
inline eqmatrix JACOBIANG;
inline smallint JROW = 0, JCOL = 0;

// ln K of each independent reaction at the last evaluation.
inline Arr<extended, reactmax> ALNK;

}  // namespace KPGLOBAL

// Module-level state of KPGLOBAL for the equilibrium solver and activities:
// the site counts, ln K and texts of the reactions in R, the variances of
// ln a, the table of activity derivatives and the weight of the default
// activity uncertainties; the Newton matrix's near-singularity and the copy
// of the last Jacobian for the uncertainties.
#pragma once

#include <string>

#include "data/kpglobal_base.h"

namespace KPGLOBAL {

using irvector = Arr<smallint, reactmax>;   // 16-bit value per reaction
using rvector = Arr<extended, reactmax>;    // real value per reaction
// d(RT ln a_i)/dx_v: end-member position i by solver unknown v.
using dRTlnadxtype = Mat<extended, emmax, eqmax>;

inline irvector RNSITE;                 // site count per reaction, at least 1
inline rvector ALNK;                    // ln K per reaction
inline emvector VARLNA;                 // variance of ln a per end-member
inline Arr<std::string, reactmax> RLINES;  // text of each reaction
inline extended LSDWP = 0;              // weight of the ideal-mixing term of default sd(a)

// The line search dropped small singular values at the start of its last step.
inline bool NEARSING = false;

// The Jacobian of the last evaluation of the equilibrium equations: reaction
// rows unscaled (kJ per unit of the plain unknown), mass-balance rows as the
// solver sees them; JROW x JCOL entries are in use.
inline eqmatrix JACOBIANG;
inline smallint JROW = 0, JCOL = 0;

}  // namespace KPGLOBAL

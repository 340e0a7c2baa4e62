// End-member and phase compositions over the system components: the
// composition matrix in phase order, formula sizes, and the composition of a
// solution phase at the solver's current variables.
#pragma once

#include "data/kpglobal.h"

namespace KPNLE3 {

// Integer composition of every solution end-member and pure phase (made
// ones as combinations of dataset end-members); rebuilds KPGLOBAL::C in
// phase order, drops empty components and rescales rows to integers.
void MAKEEMC();

// Formula size of every solution end-member (natom) and pure phase
// (formsize): atoms per formula, or oxides with oxidebasis.
void COUNTCOMP();

// Composition per formula unit of the solution phase whose block starts at
// end-member position e, at the current values of KPGLOBAL::X.
void MAKEPHASE(smallint e, KPGLOBAL::emvector& comp);

}  // namespace KPNLE3

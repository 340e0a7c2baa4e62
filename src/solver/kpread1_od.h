// KPREAD1 (solver part): the equilibrium state of order of a solution phase
// with order variables, solved with the system's nonlinear solver from legal
// (random when need be) starting states.
#pragma once

#include "data/kpglobal.h"

namespace KPREAD1 {

// Solves the internal reactions of solution phase iph for its order
// variables at P (kbar) and T (K), the other variables fixed at their
// guesses. True when the solver converged: the guesses then hold the
// solution. The system (end-members, compositions, reactions with their site
// counts, data rows, activities, site counts, counts and settings) is as
// before the call; the solver layout is left as set here.
bool CALCQ(smallint iph, extended P, extended T);

// Finds legal guesses (docalc false) or the equilibrium state of order
// (docalc true) of phase iph, starting from its guesses when they are legal
// and else, and after each failure, from random legal order variables (at
// most 201 attempts). wasillegal tells whether the guesses were illegal on
// entry.
bool FINDLEGALQ(smallint iph, bool docalc, extended P, extended T, bool& wasillegal);

// Attempts of FINDLEGALQ.
inline constexpr int legalqtrials = 201;

}  // namespace KPREAD1

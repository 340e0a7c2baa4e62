// KPCALC2: the equilibrium equations of the solver. One residual per
// independent reaction, (dG0 + RT ln K) / RNSITE, and with the phase modes
// among the unknowns one per independent bulk constraint; with the analytic
// Jacobian with respect to the free scaled unknowns.
#pragma once

#include "data/kpglobal.h"

namespace KPCALC2 {

// Residuals f and Jacobian jac at the scaled unknowns x (layout of
// KPGLOBAL::X). False when the point cannot be evaluated: a free unknown
// outside its scaled range, a non-positive site fraction (Monte Carlo and
// Gibbs-energy minimisation runs; otherwise the run stops), or a
// non-positive activity. Keeps ALNK, JACOBIANG, JROW and JCOL of the last
// evaluation, and the fluid composition of aqueous phases in their TD rows.
// A system whose equations and free unknowns differ in number stops the run.
bool NLEFUNC(KPGLOBAL::eqvector x, KPGLOBAL::eqmatrix& jac, KPGLOBAL::eqvector& f);

}  // namespace KPCALC2

// KPCALC2: end-member activities from the a-x models of the solution phases
// of the current system, with the analytic derivatives of RT ln a.
//
// Units: P in kbar, T in K, energies in kJ, R = 0.0083144 kJ/K/mol.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace KPCALC2 {

// Stops the run (where : "van Laar size of <em> in <phase> is <alpha> (must
// be > 0) at P = ..., T = ...") unless the size alpha of end-member j of ph,
// evaluated at P and T, is positive: volume fractions and the scaled
// interaction energies divide by sizes and by sums of sizes.
void checksize(const KPGLOBAL::ptype1& ph, int j, extended alpha, extended P, extended T, const std::string& where);

// Partial derivative of an a-x term (site fraction or proportion) with
// respect to the phase's variable k, the phase's variables being x[e],
// x[e + 1], ...: the full product rule over the forms of each sx-term.
extended SUBSDIFFTERM(const KPGLOBAL::termtype& term, smallint k, const KPGLOBAL::eqvector& x,
                      smallint e);

// Activities of every end-member of the current system at the unscaled
// solver vector x (x[1] = P, x[2] = T, then the compositional variables).
// KPGLOBAL::ACTIVITY[1..NCV] is set to 1 and then overwritten for the
// end-members of each solution-phase block (STARTSS, EM2SS, EM2X); the
// proportions, ideal activities, activity coefficients and activities of
// block k go to KPGLOBAL::SU.ph[k]. With derivpt, d(RT ln a)/dP and /dT of
// the solution-phase end-members go to dRTlnadp and dRTlnadt; with derivx,
// d(RT ln a_i)/dx_v for the phase's own variables to dRTlnadx. Other entries
// of the three arrays are left as they were. P and T are the values used in
// every P- or T-dependent formula (the caller passes x[1] and x[2]).
// A non-positive site fraction in an ideal-activity factor stops the run with
// a report ("calca" : "negative sf term"); a van Laar size that evaluates to
// 0 or less at P and T stops it through checksize.
void CALCA(KPGLOBAL::eqvector x, bool derivpt, bool derivx, KPGLOBAL::emvector& dRTlnadp,
           KPGLOBAL::emvector& dRTlnadt, KPGLOBAL::dRTlnadxtype& dRTlnadx, extended P, extended T);

}  // namespace KPCALC2

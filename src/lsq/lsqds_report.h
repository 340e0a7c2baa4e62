// LSQDS (report): the experiment half of the results report of a
// least-squares run (the calculated T and P of each bracket with their
// uncertainties, and one result block per experiment) and the LaTeX tables
// of the refitted end-member data.
#pragma once

#include "data/kpglobal.h"

namespace LSQDS {

// Temperature (K) at which the reaction of experiment i is at equilibrium at
// the pressure, x(CO2) and activities of its bracket k, by Newton steps on
// the bracket's T (at most 13 evaluations, |step| < 0.01 K, inside
// 300..3000 K); dgdp, dgdt are dG/dP and dG/dT there. A failure (no
// convergence, out of range, a zero or non-finite derivative) gives 150 with
// both derivatives 0. The bracket's T is restored.
extended CALCT(smallint i, smallint k, extended& dgdp, extended& dgdt);
// The same for the pressure (kbar) at the bracket's T: |step| < 0.001 kbar
// inside 0.01..1500 kbar; failure 0.005.
extended CALCP(smallint i, smallint k, extended& dgdp, extended& dgdt);

// Calculated T and P of every bracket of explicit-reaction experiment i with
// their sd: sd(P) from the pressure solve's dG/dP, sd(T) from the
// temperature solve's dG/dT, each sdch over the derivative (0 when that
// solve failed).
void CALCBRACKETPOSITIONS(smallint i);

// Line flags of the result table of experiment i: a lower and an upper
// bracket in a row share a line when P (samepx), T (sametx) or P and T
// (ditto) agree with x(CO2) (and lna for samepx and sametx).
void SAMEPTXW(smallint i);

// The result block of experiment i (results file and log).
void WRITEFULL(smallint i);

// The experiments of the report: heading "Experimental results", then per
// experiment ch, sdch, the calculated positions and its block.
void EXPERIMENTRESULTS();

// The LaTeX tables of the end-member data in the log: formulae, properties,
// Landau, Bragg-Williams, melt and aqueous parameters.
void LATEXOUTPUT();

}  // namespace LSQDS

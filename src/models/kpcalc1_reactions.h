// Reaction thermodynamics: the Gibbs energy of an end-member as the solver
// sees it (made end-members expanded through their recipes), the standard
// Gibbs energy change of a reaction with its P and T derivatives, ln K and
// the chemical-potential difference of a reaction.
#pragma once

#include "data/kpglobal.h"

namespace KPCALC1 {

// Gibbs energy (kJ) of end-member i at P (kbar) and T (K); a made end-member
// (slot makeem of its TD row not 0, newer dataset) is its own increment
// h - T s + P v plus its recipe's constituents evaluated by GEM.
void GEMDRIVER(smallint i, extended& G, extended P, extended T);

// dG of reaction r (row r of KPGLOBAL::R) and its forward-difference
// derivatives (steps 1e-5 kbar and 0.001 K).
void CALCDG0(smallint r, extended& dgdp, extended& dgdt, extended& dg, extended P, extended T);

// ln K of reaction r from KPGLOBAL::ACTIVITY and the fluid composition.
void CALCLNK(smallint r, extended& lnk, extended P, extended T, extended xco2, extended xh2o);

// Gives H2O and CO2 (KPGLOBAL::H2OPOS, CO2POS) activity 1 and sd 0 wherever
// CALCLNK adds the mole fraction of a fixed fluid (0 < x < 1) and they are
// end-members of a solution phase, so that the activity an H2O-CO2 a-x model
// gave them is not counted a second time. As pure phases they keep the
// activity and sd given for them, and the mole fraction comes on top.
void UNITFLUIDACTIVITIES(extended xco2, extended xh2o);

// dmu = dG + RT ln K of reaction r and its derivatives; stores the fluid
// composition in slots xco2/xh2o of the reaction's end-members, and of the
// dependent rows of its made end-members, first.
void CALCDMU(smallint r, extended& dgdp, extended& dmudt, extended& dmu, extended P, extended T,
             extended xco2, extended xh2o);

}  // namespace KPCALC1

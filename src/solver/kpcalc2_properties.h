// KPCALC2 (phase properties): chemical potentials of all present end-members,
// and G, S, V, H and density of every phase and of the system at a solved
// point, by forward differences in P and T.
#pragma once

#include "data/kpglobal.h"

namespace KPCALC2 {

// G[n] and mu[n] = G + RT ln a of the present end-members n = 1, 2, ...
// (solution-phase blocks in position order, then the pure phases flagged in
// phases at NPSS + j) at P (kbar) and T (K), with the fluid slots of their
// data rows set to xCO2 and xH2O; x holds the plain values of the unknowns.
void CALCALLG(KPGLOBAL::bemvector phases, KPGLOBAL::eqvector x, KPGLOBAL::emvector& G,
              KPGLOBAL::emvector& mu, extended P, extended T, extended xCO2, extended xH2O);

// map[k] := the oxide (row of OXNAME and MOLWT) of the k-th component that
// counts in the bulk composition.
void MAKEMW2C(KPGLOBAL::icvector& map);

// The properties of the phase entries of SU (g kJ, s kJ/K, v kJ/kbar, h kJ,
// rho g/cm3, and per end-member p, mu0 and rtlna) and, with modes, of the
// system for each bulk composition. S and V by forward differences of 0.02 K
// and 0.002 kbar. Activities, the activity lists of SU and rtlna are those
// at P and T themselves.
void CALCGPHASE(KPGLOBAL::bemvector phases, KPGLOBAL::eqvector x, extended P, extended T,
                extended xCO2, extended xH2O);

}  // namespace KPCALC2

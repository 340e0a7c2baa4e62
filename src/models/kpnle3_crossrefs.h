// Solver unknowns and cross-references for one assemblage: the layout of
// KPGLOBAL::X, the maps from end-member positions and mode unknowns to
// phases, the end-member tables of the assemblage, the loops of a
// calculation and the P-T grid of a Gibbs-energy minimisation.
#pragma once

#include "data/kpglobal.h"

namespace KPNLE3 {

// Lays out the unknowns and rebuilds NAME, C, TD, NSITE (and COV with
// calcsdnle) for the phases flagged in phases: entry iss for solution phase
// iss, entry NPSS + p for pure phase p.
void MAKECROSSREFS(const KPGLOBAL::bemvector& phases);

// Number of values of each loop of the calculation, in a fixed order; P
// and/or T are taken out of the unknowns when they are looped.
void SETUPLOOPS(KPGLOBAL::iemvector& counts, smallint& nloops);

// The P-T grid of a Gibbs-energy minimisation run.
void SETUPGMIN();

}  // namespace KPNLE3

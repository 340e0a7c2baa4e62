// LSQDS (groups): experiments whose end-members include solution phases.
// FILLPREC sets up an experiment's phases the way the equilibrium solver
// expects them, CALCA gives the activities of its end-members at a bracket
// (with the equilibrium state of order of ordered phases), CALCASS finds
// where the current data put the experiment's equilibrium at each bracket
// (T at the bracket's P, P at its T, or the compositions at both) and
// PRINTASS prints one row of that table.
#pragma once

#include "data/kpglobal.h"

namespace LSQDS {

// The phases of experiment i from its end-member list: solution phases
// (their stored models copied into the working slots PREC1[1..4]), plain
// and dependent end-members as pure phases (a dependent one with activity 0),
// the system end-members NAME[1..nem] with their compositions and data rows
// from TDA ("###" and no composition for an entry without a record); then
// the components, the composition matrix and the made end-members. NP0,
// NPSS, NP, NCV are the experiment's; ACTIVITY is 1 throughout. On the
// first run of the invocation the working slots' models are listed
// (KPNLE3::WRITEAX, the intermediate-results file in this mode).
void FILLPREC(smallint i);

// Activities of the list entries of experiment i at bracket k (after
// FILLPREC): the state of order of each ordered phase is solved at the
// bracket's P and T and written back into its xyz; a solution phase's
// entries from its model at xyz; a dependent entry as the made end-member's
// activity raised to makeden / makecoef (which must lie in 0 < a <= 1).
// The activities go to bracket k of every record of the group.
void CALCA(smallint i, smallint k);

// Calculated position of experiment i (after FILLPREC). mode 2: T at each
// bracket's P, or P at its T for the first bracket of a same-T pair, the
// compositions solved with it when the reactions fix them (as many
// reactions as T or P and compositions together) or for unknowncomps, and
// held at the bracket's values otherwise; mode 3: P and T held, the
// compositions solved; mode 1 stops. Writes pcalc, tcalc (0 kbar, 273.15 K
// when not calculated) into every record of the group, and the solved
// compositions when unknowncomps.
// With print the reactions, a header and one row per solve (mask 12).
void CALCASS(smallint i, smallint mode, bool print);

// One row of the table of CALCASS for bracket k, KPGLOBAL::X holding the
// unscaled solution.
void PRINTASS(smallint i, smallint k, smallint mode);

}  // namespace LSQDS

// KPPTX: phase diagrams of the reactions among end-members (calculation mode
// 3): the run's driver, the diagram variables and calculation window, and the
// reaction-line tables.
#pragma once

#include "data/kpglobal.h"

namespace KPPTX {

// The lines of every reaction at each x-point: the first and second root of
// the calculated variable (kbar or K), or the markers of the root search.
// Filled by PTXTABLE, read by the invariant-point search.
inline constexpr int linemax = KPGLOBAL::listmax;
using linetable = Mat<extended, KPGLOBAL::reactmax, linemax>;
inline linetable LINE1, LINE2;

// One phase-diagram run: title, window, unit activities of the axis species,
// the activity report, the Schreinemakers choice, the reactions in the
// window, their line tables and (with pruning) the invariant points.
void PHASEDIAGRAMCALCS();

// Widens the window of the calculated variable while lines are traced
// (P by 5 kbar each side within ABSPLOW..1500; T by 300 K below and 400 K
// above within 283..3000 K), and puts the saved ends back.
void ENLARGEWINDOW(KPGLOBAL::calcvariabletype cv);
void RESTOREWINDOW(KPGLOBAL::calcvariabletype cv);

// The conditions of a reaction calculation at the diagram point (x, y).
void SETIPTX(extended x, extended y, extended& p, extended& t, extended& xco2, extended& xh2o, extended& lna,
             extended& mu);
// The x and y tolerances of the refinement of an invariant point.
void SETLIM(extended& xtol, extended& ytol);

// In an x(CO2) diagram, when reaction i holds H2O or CO2 and the fluid has
// none of it (x = 0), that species' coefficient (else 0): its activity is 0,
// ln K is infinite and the reaction has no equilibrium, so its line gets no
// value there.
smallint NOFLUIDSPECIES(smallint i, extended xco2, extended xh2o);

// How far inside the x(CO2) window a reaction is taken at a window end
// x = 0 or 1 where the fluid lacks one of its species.
inline constexpr extended xco2inside = 1e-4L;

// The x(CO2) at which reaction i stands for the window end x: x itself,
// unless the fluid there lacks a species of the reaction (NOFLUIDSPECIES);
// then x moved xco2inside into the window (at most half the window's
// width), where delta mu is finite and belongs to the window.
extended INSIDEXCO2(smallint i, extended x);

// The reaction list, the linearised thermodynamics of each reaction and the
// table of its line along the diagram's x-list with uncertainties.
void PTXTABLE();

// Whether an uncertainty sd can be given where limit bounds it: a number
// below limit in size. One that cannot, too large to give, prints "+": NOSD
// (a result with no uncertainty), an infinity or a NaN, or a size at or
// beyond the limit. The limits differ with what prints the uncertainty:
// - the line table's T uncertainty: below 32767 K, far beyond any T window
//   (one that large says only that the line is not located);
// - the line table's uncertainties derived from the calculated one through
//   the line's slope (which has no bound where the line runs along the
//   calculated axis): below 100 kbar for P and 1000 K for T;
// - a P-T point's uncertainties, which its coordinates line prints at any
//   size: below 1e20, so that only NOSD and what is no number (an infinity,
//   a NaN) are not given; a point whose lines cross at a narrow angle keeps
//   its large uncertainty.
// The line table's P uncertainty (P calculated) is printed as it comes.
inline constexpr extended SDLIMITTABLET = 32767, SDLIMITDERIVEDP = 100, SDLIMITDERIVEDT = 1000,
                          SDLIMITPOINT = 1e20L;
bool SDGIVEN(extended sd, extended limit);

// The activities that are not 1 (H2O, CO2 and the axis end-member aside):
// "Unit activities", a column of up to three, or blocks of eight end-member
// numbers that list every end-member except H2O and CO2; fills VARLNA.
void ACTIVITYREPORT();

// The invariant points of the diagram, their stability and reports, and the
// stability of the other lines (kpptx_intersections.cpp).
void INTERSECTIONS();

}  // namespace KPPTX

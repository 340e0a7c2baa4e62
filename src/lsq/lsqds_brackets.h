// LSQDS (brackets): the reaction enthalpy implied by each bracket of an
// experiment, the interval of the reaction enthalpy that all its brackets
// allow (the rule that turns brackets into one observation row), and the
// activities of a solution phase at a bracket's composition.
//
// An experiment is a record XPW[i] (a reaction over the end-members em[1..n]
// with coefficients coef[1..n]) and its brackets br[1..nbr]: points
// (P, T, x(CO2)) where the reactants (a lower bracket) or the products (an
// upper bracket, high set) were seen to grow.
#pragma once

#include "data/kpglobal.h"

namespace LSQDS {

// Pair flags of experiment i: bracket k (k >= 2) is the second member of a
// pair when bracket k-1 is not itself one, the two lie on opposite sides and
// share P (samepx) or T (sametx), and x(CO2). ditto is cleared.
void SAMEPTX(smallint i);

// Standard Gibbs energy of reaction of experiment i at P (kbar), T (K) and
// fluid x(CO2), enthalpies included, activities not; the end-members' xco2
// fields take the given value.
extended CALC(smallint i, extended P, extended T, extended xco2);

// Gibbs energy of reaction at bracket k with its activity term R T lna, and
// its P and T derivatives by forward differences (0.001 kbar, 0.1 K).
void DMU(smallint i, smallint k, extended& dGdP, extended& dGdT, extended& dG);

// Enthalpy of reaction that puts the equilibrium on bracket k: ch - dG, and
// its P and T derivatives.
void CALCH(smallint i, smallint k, extended& h, extended& dhdP, extended& dhdT);

// h and two standard deviations of h of every bracket of experiment i (sd(T)
// 2.5 K, sd(P) 1 % of P, sd(a) 1 % of a for each reaction end-member below
// unit activity other than O2 and S2). Recomputes the pair flags first.
void CALCHBR(smallint i);

// The multiple-reversal rule of an experiment of a group: when more than
// half of its pairs have their enthalpies in decreasing order, the members
// of every pair change places, every bracket changes side, the pair flags
// are recomputed and opt2 is set. Returns whether it reversed.
bool REVERSEBRACKETS(smallint i);

// The result of the bracket-to-interval rule (see CALCHLIMS).
struct hcaseresult {
  smallint hcase = 0;   // 1..6
  extended mid = 0;     // mid-point of the interval
  extended dfinal = 0;  // normalised half-gap the interval is widened to
};

// The case table of the rule, on the enthalpies of the lower brackets
// lo[1..nlo] and of the upper ones hi[1..nhi] (both lists are sorted here),
// their extremes hmaxlo (largest lower) and hminhi (smallest upper), the
// mean sd sbar of the two extreme brackets and the least normalised gap
// dmin. Needs at least one bracket on each side and sbar > 0.
hcaseresult HCASE(KPGLOBAL::sortvector& lo, smallint nlo, KPGLOBAL::sortvector& hi, smallint nhi,
                  extended hmaxlo, extended hminhi, extended sbar, extended dmin);

// The interval [hlow, hhigh] of the reaction enthalpy of experiment i, with
// hcase, sbar, dinit, ds, dfinal, dmin and wsum; counts the case of a used
// experiment in NC1..NC6. An experiment whose brackets all lie on one side
// has no interval: hcase 0, everything else 0, nothing counted.
void CALCHLIMS(smallint i);

// Activities a[1..nem] of the end-members of solution phase ip (a stored
// model, record 5 or later of PREC1) at compositional variables x, P (kbar)
// and T (K); x also becomes the phase's starting guesses.
void OCALCA(smallint ip, const KPGLOBAL::eqvector& x, extended P, extended T, KPGLOBAL::eqvector& a);

// The half-width polynomial of the rule: f(d) = 0.887 + d (0.194 + 0.0973 d).
extended HALFWIDTH(extended d);

}  // namespace LSQDS

// KPCALC2: services on the reactions of KPGLOBAL::R: ln K, the variance of
// ln a, orientation for phase diagrams and the reaction text; and the
// location of one reaction in T at given P or in P at given T, with up to
// two roots, their uncertainties and the slopes of the reaction line.
//
// Result codes of the location (they bind the callers): a root inside the
// window is a located value; window low - 1 means the crossing lies below
// the window, window high + 1 above it; 1e21 (first root) and -1e21 (second
// root) mean no value; a standard deviation of NOSD (1e+31) means no result.
#pragma once

#include "data/kpglobal.h"

namespace KPCALC2 {

// The first root's "no value" (the second root's is its negative).
inline constexpr extended NOVALUE = 1e21L;
// Whether v is a value: not the "no value" marker of either root, nor a
// value that is not finite. The marker is no number to compute with.
inline bool ISVALUE(extended v) { return v > -NOVALUE && v < NOVALUE; }
// The standard deviation of a result that has none: a root where the
// derivative that carries the data's uncertainties to it is 0 (or a root
// outside the window), or a point of two lines of the same slope. Above
// every limit of an uncertainty that can be given (KPPTX::SDGIVEN), so that
// it prints "+".
inline constexpr extended NOSD = 1e31L;

// ALNK[1..NR]: sum of R[i,k] ln ACTIVITY[k] over the end-members of each
// reaction. A non-positive activity in a reaction stops the run naming the
// end-member ("calclnk").
void CALCLNK();

// VARLNA[1..NCV] := (SDACTIVITY/ACTIVITY)^2 for 0 < ACTIVITY < 1, else 0; all
// 0 in calcmode 1.
void CALCVARLNA();

// Calcmode 3: reverses reaction i (row of R and ALNK[i]) when dmu > 0 at the
// offset point of the diagram kind, so that its right-hand side is the
// stable side on the high-T (or high-P) side of the line. lna or mu is the
// value of the diagram's activity or potential axis (end-member row NCV).
// The text RLINES[i] is not rebuilt: it keeps the sense the search gave it.
void TURNREACTION(smallint i, extended P, extended T, extended xco2, extended xh2o, extended lna,
                  extended mu);

// RLINES[i] := "i)  a + 2b = c" from row i of R; raises INDENTR.
void MAKERLINE(smallint i);

// True when a <= 0 and b <= 0, or a >= 0 and b >= 0; false for a NaN.
bool SAMESIGN(extended a, extended b);

// The working state of FIND shared by its nested routines (one object per
// search). CALC and DERIVS evaluate dmu through KPCALC1::CALCDMU; the tests
// replace them to run the search on functions with known roots.
class Find {
 public:
  Find(smallint r, KPGLOBAL::findtype kind, extended P, extended T, extended xco2, extended xh2o);
  virtual ~Find() = default;

  // dmu at x on the search axis and its slope along that axis.
  virtual void CALC(extended x, extended& slope, extended& dmu);
  // d(dmu)/dP and d(dmu)/dT at x on the search axis.
  virtual void DERIVS(extended x, extended& dGdP, extended& dmudT);
  // The convergence step for a value near x.
  void SETLIMIT(extended x);
  // Newton from x; ok when it converged inside the window. Otherwise x is
  // 1e21 (budget spent, left the window, or a zero or non-finite step), or
  // hi + 1 / lo - 1 for a run that stopped above / below the window.
  void ITERATE(extended& x, bool& ok);
  // n halvings of the bracket [a, b], whose ends differ in sign.
  void INTERVALHALVING(extended& a, extended& b, int n);
  // Newton from x inside [a, b], with bisection when Newton fails.
  void FINDCROSSOVER(extended& x, extended a, extended b);
  // The whole search (see FIND).
  void run(bool guess, extended& root1, extended& root2, extended& dGdP1, extended& dGdP2,
           extended& dmudT1, extended& dmudT2);

  smallint mode = 2;     // 0 started at lo, 1 started at hi, 2 either side
  extended lo = 0, hi = 0, tol = 0, delta = 0;
  int m = 0;             // precision offset: the Newton budget is 3m + 9
  int evaluations = 0;   // calls of CALC, for the tests of the search's economy

 private:
  smallint r_;
  KPGLOBAL::findtype kind_;
  extended P_, T_, xco2_, xh2o_;
  extended value(extended x);
};

// The search for reaction r along T (findt, at pressure P) or P (findp, at
// temperature T) at the fluid composition x(CO2), x(H2O). With guess, root1
// holds the start on entry. dGdPk = d(dmu)/dP and dmudTk = d(dmu)/dT at root
// k (0 for a root outside the window).
void FIND(smallint r, KPGLOBAL::findtype kind, bool guess, extended& root1, extended& root2,
          extended& dGdP1, extended P, extended T, extended xco2, extended xh2o, extended& dGdP2,
          extended& dmudT1, extended& dmudT2);

// FIND in T at pressure P; with guess, T1 holds the start.
void TCALC(smallint r, bool guess, extended& T1, extended& T2, extended& dGdP1, extended& dGdP2,
           extended P, extended xco2, extended xh2o, extended& dmudT1, extended& dmudT2);
// FIND in P at temperature T; with guess, P1 holds the start.
void PCALC(smallint r, bool guess, extended& P1, extended& P2, extended& dGdP1, extended& dGdP2,
           extended T, extended xco2, extended xh2o, extended& dmudT1, extended& dmudT2);

// Roots in T at pressure P (resp. in P at temperature T) without a guess,
// with standard deviations from the enthalpy covariance and the ln a
// variances, and the slopes dT/dP of the reaction line at the roots.
void TFIXEDP(smallint r, extended& T1, extended& T2, extended& sd1, extended& sd2, extended& slope1,
             extended P, extended xco2, extended xh2o, extended& slope2);
void PFIXEDT(smallint r, extended& P1, extended& P2, extended& sd1, extended& sd2, extended& slope1,
             extended T, extended xco2, extended xh2o, extended& slope2);

}  // namespace KPCALC2

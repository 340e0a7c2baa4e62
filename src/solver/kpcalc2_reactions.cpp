// Reactions of KPGLOBAL::R: ln K, ln a variances, orientation and text, and
// the location of one reaction in T or P with its uncertainty.
#include "solver/kpcalc2_reactions.h"

#include <cmath>
#include <utility>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "frame/kpute1.h"
#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"

namespace KPCALC2 {

using namespace KPGLOBAL;

namespace {
constexpr extended RGAS = 0.0083144L;       // kJ/K/mol
constexpr extended RLN10 = 0.019144654296L;  // R ln 10 of the orientation
}  // namespace

// ---------------------------------------------------------------------------
// ln K, variances, orientation and text.

void CALCLNK() {
  for (int i = 1; i <= NR; ++i) {
    extended s = 0;
    for (int k = 1; k <= NCV; ++k) {
      const smallint nu = (*R)(i, k);
      if (nu == 0) continue;
      // ln a of a non-positive activity is undefined: bad input, named.
      if (!(ACTIVITY[k] > 0))
        IO::ERROREXIT("calclnk",
                      "activity of " + std::string(KPCALC1::trimname(NAME[k])) + " is not positive (" +
                          IO::REAL2STR(ACTIVITY[k], 4, false) + "), so no ln a",
                      faulttype::yourfault);
      s += nu * std::log(ACTIVITY[k]);
    }
    ALNK[i] = s;
  }
}

void CALCVARLNA() {
  for (int k = 1; k <= NCV; ++k) VARLNA[k] = 0;
  if (CALCMODE == calcmodetype::nlecalc) return;
  for (int k = 1; k <= NCV; ++k) {
    const extended a = ACTIVITY[k];
    if (a > 0 && a < 1) {
      const extended rel = SDACTIVITY[k] / a;
      VARLNA[k] = rel * rel;
    }
  }
}

void TURNREACTION(smallint i, extended P, extended T, extended xco2, extended xh2o, extended lna,
                  extended mu) {
  if (CALCMODE != calcmodetype::phasecalc) {
    IO::PUTSTR(1, "call of turnreaction unexpected", 1, 9);
    return;
  }
  const extended c = VOVUVUVED.setloga == controlboolean::yes ? RLN10 : RGAS;
  const extended dP = 0.2L, dT = 5.0L;
  extended Po = P, To = T;
  // The axis end-member is the one the set-up recorded (LNAPOS, MUPOS),
  // wherever it stands in the list.
  const auto axis = [](smallint pos) -> tdvector& {
    if (pos < 1 || pos > NCV) IO::ERROREXIT("turnreaction", "no end-member for the diagram axis", faulttype::myfault);
    return (*TD)[pos];
  };
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
    case diagramtype::txcalc: To = T + dT; break;
    case diagramtype::pxcalc: Po = P + dP; break;
    case diagramtype::plnacalc:
      axis(LNAPOS).s = KEEPLNAS[1] - c * lna;
      Po = P + dP;
      break;
    case diagramtype::tlnacalc:
      axis(LNAPOS).s = KEEPLNAS[1] - c * lna;
      To = T + dT;
      break;
    case diagramtype::pmucalc:
      axis(MUPOS).h = mu;
      Po = P + dP;
      break;
    case diagramtype::tmucalc:
      axis(MUPOS).h = mu;
      To = T + dT;
      break;
    default: IO::ERROREXIT("turnreaction", "unknown diagrammode", faulttype::myfault);
  }
  extended dgdp = 0, dmudt = 0, dmu = 0;
  KPCALC1::CALCDMU(i, dgdp, dmudt, dmu, Po, To, xco2, xh2o);
  if (dmu > 0) {
    for (int k = 1; k <= NCV; ++k) (*R)(i, k) = static_cast<smallint>(-(*R)(i, k));
    ALNK[i] = -ALNK[i];
    // Only the row and its ln K turn: the text RLINES[i] stays as the
    // reaction search built it, so that every listing prints a reaction in
    // one sense.
  }
}

void MAKERLINE(smallint i) {
  strings names;
  for (int k = 1; k <= NCV; ++k) names[k] = NAME[k];
  for (int j = 1; j <= NLNA; ++j) {
    smallint pos = 0;
    if (IO::MATCHSTRING(LNANAME[j], names, NCV, pos)) names[pos] = LNANAMEP[j];
  }
  std::string line;
  IO::ADDINT(i, 0, line);
  IO::ADDSTR(")  ", 0, line);
  // One side: the terms with coefficients of the sign given, in order.
  const auto side = [&](int sign) {
    bool first = true;
    for (int k = 1; k <= NCV; ++k) {
      const int nu = (*R)(i, k) * sign;
      if (nu <= 0) continue;
      if (!first) IO::ADDSTR(" + ", 0, line);
      first = false;
      if (nu != 1) IO::ADDINT(nu, 0, line);
      IO::ADDSTR(names[k], 0, line);
    }
  };
  side(-1);
  IO::ADDSTR(" = ", 0, line);
  side(1);
  if (static_cast<int>(line.size()) > INDENTR) INDENTR = static_cast<smallint>(line.size() + 1);
  RLINES[i] = line;
}

bool SAMESIGN(extended a, extended b) {
  if (std::isnan(a) || std::isnan(b)) return false;
  return (a <= 0 && b <= 0) || (a >= 0 && b >= 0);
}

// ---------------------------------------------------------------------------
// Reaction location.

Find::Find(smallint r, findtype kind, extended P, extended T, extended xco2, extended xh2o)
    : r_(r), kind_(kind), P_(P), T_(T), xco2_(xco2), xh2o_(xh2o) {
  switch (kind) {
    case findtype::findt:
      lo = TLOW, hi = THIGH;
      tol = KPMATH1::TENTOPOWER(static_cast<smallint>(-1 - TPRECISION));
      m = TPRECISION - 2;
      break;
    case findtype::findp:
      lo = PLOW, hi = PHIGH;
      tol = KPMATH1::TENTOPOWER(static_cast<smallint>(-1 - PPRECISION));
      m = PPRECISION - 3;
      break;
    default: IO::ERROREXIT("find", "unimplemented", faulttype::myfault);
  }
  delta = tol;
}

void Find::CALC(extended x, extended& slope, extended& dmu) {
  extended dgdp = 0, dmudt = 0;
  if (kind_ == findtype::findt) {
    KPCALC1::CALCDMU(r_, dgdp, dmudt, dmu, P_, x, xco2_, xh2o_);
    slope = dmudt;
  } else {
    KPCALC1::CALCDMU(r_, dgdp, dmudt, dmu, x, T_, xco2_, xh2o_);
    slope = dgdp;
  }
}

void Find::DERIVS(extended x, extended& dGdP, extended& dmudT) {
  extended dmu = 0;
  if (kind_ == findtype::findt)
    KPCALC1::CALCDMU(r_, dGdP, dmudT, dmu, P_, x, xco2_, xh2o_);
  else
    KPCALC1::CALCDMU(r_, dGdP, dmudT, dmu, x, T_, xco2_, xh2o_);
}

extended Find::value(extended x) {
  extended slope = 0, dmu = 0;
  ++evaluations;
  CALC(x, slope, dmu);
  return dmu;
}

// The step test follows the printing precision: absolute in T, and in P
// absolute above 1 kbar, relative at or below it.
void Find::SETLIMIT(extended x) {
  if (kind_ == findtype::findp && !(x > 1))
    delta = std::fabs(x) * tol;
  else
    delta = tol;
}

// Newton on dmu from x. The start mode says on which side the run may be
// put back onto the window edge once; a second exit, or an exit on the side
// it started from, ends the run. A zero slope (or a step that is not a
// finite number) ends it as a failed run, so that a caller with a bracket
// goes on by bisection rather than taking the non-number for a position.
void Find::ITERATE(extended& x, bool& ok) {
  const int maxit = 3 * m + 9;
  bool out = false, clamped = false, stalled = false;
  int count = 0;
  extended dx = 0;
  do {
    ++count;
    extended slope = 0, f = 0;
    ++evaluations;
    CALC(x, slope, f);
    dx = -f / slope;
    if (slope == 0 || !std::isfinite(dx)) {
      stalled = true;
      break;
    }
    x += dx;
    SETLIMIT(x);
    if (x < lo || x > hi) {
      if (clamped) {
        out = true;
      } else if (x < lo && mode != 0) {
        x = lo;
        clamped = true;
      } else if (x > hi && mode != 1) {
        x = hi;
        clamped = true;
      } else {
        out = true;
      }
    }
  } while (std::fabs(dx) >= delta && count <= maxit && !out);
  ok = !stalled && std::fabs(dx) < delta && x >= lo && x <= hi;
  if (!ok) {
    if (stalled || count > maxit || out)
      x = NOVALUE;
    else
      x = x >= lo ? hi + 1 : lo - 1;
  }
}

void Find::INTERVALHALVING(extended& a, extended& b, int n) {
  const extended fa = value(a), fb = value(b);
  if (SAMESIGN(fa, fb)) IO::ERROREXIT("interval halving", "same sign", faulttype::myfault);
  int count = 0;
  do {
    ++count;
    const extended c = (a + b) / 2;
    const extended fc = value(c);
    SETLIMIT(c);
    if (SAMESIGN(fa, fc))
      a = c;
    else
      b = c;
  } while (!(b - a < delta || count == n));
}

namespace {
// Number of halvings that bring a bracket of the given width to about
// width/factor: log2(width/(factor delta)) + 1 rounded, at least 2.
int halvings(extended width, extended factor, extended delta) {
  const extended n = std::log2(width / (factor * delta)) + 1;
  if (!std::isfinite(n) || n < 2) return 2;
  if (n > 200) return 200;  // beyond any bracket of the windows; keeps the count finite
  return static_cast<int>(std::lround(n));
}
}  // namespace

void Find::FINDCROSSOVER(extended& x, extended a, extended b) {
  bool ok = false;
  ITERATE(x, ok);
  if (ok && x >= a && x <= b) return;
  // Newton failed or left the bracket: narrow the bracket to about 1/100 of
  // the step, then Newton again from its middle.
  SETLIMIT(a);
  INTERVALHALVING(a, b, halvings(b - a, 100, delta));
  x = (a + b) / 2;
  ITERATE(x, ok);
  if (ok) return;
  // Still no convergence: halve down to the step itself and take the middle.
  SETLIMIT(a);
  INTERVALHALVING(a, b, halvings(b - a, 2, delta));
  x = (a + b) / 2;
}

void Find::run(bool guess, extended& root1, extended& root2, extended& dGdP1, extended& dGdP2,
               extended& dmudT1, extended& dmudT2) {
  if (guess) {
    if (!KPUTE1::INRANGE(root1, kind_)) {
      root1 = NOVALUE;
      root2 = -NOVALUE;
      return;
    }
    mode = 2;
    bool ok = false;
    ITERATE(root1, ok);
    root2 = -NOVALUE;
  } else {
    extended slo = 0, flo = 0, shi = 0, fhi = 0;
    evaluations += 2;
    CALC(lo, slo, flo);
    CALC(hi, shi, fhi);
    if (!SAMESIGN(flo, fhi)) {
      // One crossing inside the window.
      if (SAMESIGN(slo, shi)) {
        mode = 2;
        root1 = (lo + hi) / 2;
        FINDCROSSOVER(root1, lo, hi);
        root2 = -NOVALUE;
      } else if (SAMESIGN(flo, slo)) {
        mode = 1;
        root1 = hi;
        FINDCROSSOVER(root1, lo, hi);
        root2 = lo - 1;
      } else {
        mode = 0;
        root1 = lo;
        FINDCROSSOVER(root1, lo, hi);
        root2 = hi + 1;
      }
    } else if ((slo > 0 && shi > 0) || (slo < 0 && shi < 0)) {
      // Monotone without a crossing: the side of the window it lies on.
      const bool above = slo > 0 ? flo < 0 : flo > 0;
      root1 = above ? hi + 1 : lo - 1;
      root2 = -NOVALUE;
    } else if (SAMESIGN(flo, slo)) {
      // An extremum in the window, turned away from zero.
      root1 = lo - 1;
      root2 = hi + 1;
    } else {
      // An extremum turned towards zero: up to two crossings, one searched
      // from each end.
      bool ok1 = false, ok2 = false;
      mode = 0;
      root1 = lo;
      ITERATE(root1, ok1);
      mode = 1;
      root2 = hi;
      ITERATE(root2, ok2);
      bool close = false;
      if (ok1 && ok2) {
        close = std::fabs(root1 - root2) < 4 * delta;
      } else if (ok1) {
        close = true;
        root2 = root1;
      } else if (ok2) {
        close = true;
      } else {
        root1 = NOVALUE;
        root2 = -NOVALUE;
      }
      if (close) {
        // Only one distinct root: look for the other one beside it.
        extended c = root2 + 4 * delta;
        if (c < hi && !SAMESIGN(value(c), fhi)) {
          mode = 2;
          root1 = (c + hi) / 2;
          FINDCROSSOVER(root1, c, hi);
        } else {
          c = std::max(root2 - 4 * delta, lo);
          if (!SAMESIGN(value(c), flo)) {
            mode = 2;
            root1 = (lo + c) / 2;
            FINDCROSSOVER(root1, lo, c);
          } else {
            root1 = root2;
          }
        }
      }
      if (root2 > root1) std::swap(root1, root2);
    }
  }
  dGdP1 = dmudT1 = dGdP2 = dmudT2 = 0;
  if (KPUTE1::INRANGE(root1, kind_)) {
    DERIVS(root1, dGdP1, dmudT1);
    if (KPUTE1::INRANGE(root2, kind_)) DERIVS(root2, dGdP2, dmudT2);
  }
}

void FIND(smallint r, findtype kind, bool guess, extended& root1, extended& root2, extended& dGdP1, extended P,
          extended T, extended xco2, extended xh2o, extended& dGdP2, extended& dmudT1, extended& dmudT2) {
  Find f(r, kind, P, T, xco2, xh2o);
  f.run(guess, root1, root2, dGdP1, dGdP2, dmudT1, dmudT2);
}

void TCALC(smallint r, bool guess, extended& T1, extended& T2, extended& dGdP1, extended& dGdP2, extended P,
           extended xco2, extended xh2o, extended& dmudT1, extended& dmudT2) {
  FIND(r, findtype::findt, guess, T1, T2, dGdP1, P, T1, xco2, xh2o, dGdP2, dmudT1, dmudT2);
}

void PCALC(smallint r, bool guess, extended& P1, extended& P2, extended& dGdP1, extended& dGdP2, extended T,
           extended xco2, extended xh2o, extended& dmudT1, extended& dmudT2) {
  FIND(r, findtype::findp, guess, P1, P2, dGdP1, P1, T, xco2, xh2o, dGdP2, dmudT1, dmudT2);
}

namespace {

// varH = nu^T COV nu over the enthalpy covariance and varlna = sum nu^2
// VARLNA of reaction r.
void reactionvariances(smallint r, extended& varH, extended& varlna) {
  CALCVARLNA();
  varH = 0, varlna = 0;
  for (int k = 1; k <= NCV; ++k) {
    const extended nk = (*R)(r, k);
    if (nk == 0) continue;
    for (int l = 1; l <= NCV; ++l) {
      const extended nl = (*R)(r, l);
      if (nl != 0) varH += nk * (*COV)(k, l) * nl;
    }
    varlna += nk * nk * VARLNA[k];
  }
}

// sd and slope at one root: the variance of dmu over the square of its
// derivative along the axis. A zero derivative gives no result (NOSD) and
// leaves the slope as it was; so does a zero d(dmu)/dT for the slope.
void rootsd(bool inwindow, extended RT, extended varH, extended varlna, extended axisslope, extended dGdP,
            extended dmudT, extended& sd, extended& slope) {
  if (!inwindow || axisslope == 0) {
    sd = NOSD;
    return;
  }
  sd = std::sqrt((RT * RT * varlna + varH) / (axisslope * axisslope));
  if (dmudT != 0) slope = -dGdP / dmudT;
}

}  // namespace

void TFIXEDP(smallint r, extended& T1, extended& T2, extended& sd1, extended& sd2, extended& slope1, extended P,
             extended xco2, extended xh2o, extended& slope2) {
  extended dGdP1 = 0, dGdP2 = 0, dmudT1 = 0, dmudT2 = 0;
  TCALC(r, false, T1, T2, dGdP1, dGdP2, P, xco2, xh2o, dmudT1, dmudT2);
  const bool in1 = KPUTE1::INRANGE(T1, findtype::findt), in2 = KPUTE1::INRANGE(T2, findtype::findt);
  extended varH = 0, varlna = 0;
  if (in1 || in2) reactionvariances(r, varH, varlna);
  rootsd(in1, RGAS * T1, varH, varlna, dmudT1, dGdP1, dmudT1, sd1, slope1);
  rootsd(in2, RGAS * T2, varH, varlna, dmudT2, dGdP2, dmudT2, sd2, slope2);
}

void PFIXEDT(smallint r, extended& P1, extended& P2, extended& sd1, extended& sd2, extended& slope1, extended T,
             extended xco2, extended xh2o, extended& slope2) {
  extended dGdP1 = 0, dGdP2 = 0, dmudT1 = 0, dmudT2 = 0;
  PCALC(r, false, P1, P2, dGdP1, dGdP2, T, xco2, xh2o, dmudT1, dmudT2);
  const bool in1 = KPUTE1::INRANGE(P1, findtype::findp), in2 = KPUTE1::INRANGE(P2, findtype::findp);
  extended varH = 0, varlna = 0;
  if (in1 || in2) reactionvariances(r, varH, varlna);
  rootsd(in1, RGAS * T, varH, varlna, dGdP1, dGdP1, dmudT1, sd1, slope1);
  rootsd(in2, RGAS * T, varH, varlna, dGdP2, dGdP2, dmudT2, sd2, slope2);
}

}  // namespace KPCALC2

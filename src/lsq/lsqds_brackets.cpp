// LSQDS (brackets): bracket enthalpies, the interval rule and the activities
// of a solution phase at a bracket.
#include "lsq/lsqds_brackets.h"

#include <algorithm>
#include <cmath>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "models/kpcalc1.h"
#include "solver/kpread1_activities.h"

namespace LSQDS {

using namespace KPGLOBAL;

namespace {

constexpr extended R = 0.0083144L;      // kJ/K/mol
constexpr extended dT = 0.1L;           // K, forward difference in T
constexpr extended dP = 0.001L;         // kbar, forward difference in P
constexpr extended sdT = 2.5L;          // K, uncertainty of a bracket's T
constexpr extended gaplow = 1, gaphigh = 1.5L;  // limits of the least pair gap

bool pairmember(const brrec& b) { return b.samepx || b.sametx; }

}  // namespace

extended HALFWIDTH(extended d) { return 0.887L + d * (0.194L + 0.0973L * d); }

void SAMEPTX(smallint i) {
  xprec& x = (*XPW)[i];
  if (x.nbr < 1) return;
  brrec& b1 = x.br[1];
  b1.samepx = b1.sametx = b1.ditto = false;
  for (int k = 2; k <= x.nbr; ++k) {
    const brrec& p = x.br[k - 1];
    brrec& b = x.br[k];
    b.ditto = false;
    if (pairmember(p) || p.high == b.high) {
      b.samepx = b.sametx = false;
    } else {
      b.samepx = p.p == b.p && p.xco2 == b.xco2;
      b.sametx = p.t == b.t && p.xco2 == b.xco2;
    }
  }
}

extended CALC(smallint i, extended P, extended T, extended xco2) {
  const xprec& x = (*XPW)[i];
  extended g = 0;
  for (int j = 1; j <= x.n; ++j) {
    (*TDA)[x.em[j]].xco2 = xco2;
    extended gj = 0;
    KPCALC1::GEM(x.em[j], P, T, gj);
    g += x.coef[j] * gj;
  }
  return g;
}

void DMU(smallint i, smallint k, extended& dGdP, extended& dGdT, extended& dG) {
  const brrec& b = (*XPW)[i].br[k];
  const extended P = b.p, T = b.t, xc = b.xco2;
  const extended g0 = CALC(i, P, T, xc);
  dGdT = (CALC(i, P, T + dT, xc) - g0) / dT + R * b.lna;
  dGdP = (CALC(i, P + dP, T, xc) - g0) / dP;
  dG = g0 + R * T * b.lna;
}

void CALCH(smallint i, smallint k, extended& h, extended& dhdP, extended& dhdT) {
  extended dGdP = 0, dGdT = 0, dG = 0;
  DMU(i, k, dGdP, dGdT, dG);
  h = (*XPW)[i].ch - dG;
  dhdP = -dGdP;
  dhdT = -dGdT;
}

void CALCHBR(smallint i) {
  SAMEPTX(i);
  xprec& x = (*XPW)[i];
  for (int k = 1; k <= x.nbr; ++k) {
    extended h = 0, dhdP = 0, dhdT = 0;
    CALCH(i, static_cast<smallint>(k), h, dhdP, dhdT);
    brrec& b = x.br[k];
    b.h = h;
    const extended sdP = 0.01L * b.p;
    extended var = (sdT * dhdT) * (sdT * dhdT) + (sdP * dhdP) * (sdP * dhdP);
    // An activity known to 1 %: d(RT ln a) = RT/a * 0.01 a per unit of the
    // coefficient. Unit activities, O2 and S2 carry no such uncertainty.
    for (int j = 1; j <= x.n; ++j) {
      const smallint ap = x.apos[j];
      if (ap == IO2 || ap == IS2) continue;
      if (ap >= 1 && b.a[ap] < 1) {
        const extended t = 0.01L * R * b.t * x.coef[j];
        var += t * t;
      }
    }
    b.sdh = 2 * std::sqrt(var);
  }
}

bool REVERSEBRACKETS(smallint i) {
  xprec& x = (*XPW)[i];
  int pairs = 0, decreasing = 0;
  for (int k = 2; k <= x.nbr; ++k)
    if (pairmember(x.br[k])) {
      ++pairs;
      if (x.br[k].h < x.br[k - 1].h) ++decreasing;
    }
  if (!(decreasing > 0.5L * pairs)) return false;
  x.opt2 = true;
  // The flags are read from the records as they stand while walking upwards:
  // a record moved down by an exchange carries its flag with it.
  for (int k = 2; k <= x.nbr; ++k)
    if (pairmember(x.br[k])) std::swap(x.br[k - 1], x.br[k]);
  for (int k = 1; k <= x.nbr; ++k) x.br[k].high = !x.br[k].high;
  SAMEPTX(i);
  return true;
}

hcaseresult HCASE(sortvector& lo, smallint nlo, sortvector& hi, smallint nhi, extended hmaxlo, extended hminhi,
                  extended sbar, extended dmin) {
  hcaseresult r;
  const extended d = (hminhi - hmaxlo) / (2 * sbar);
  // 1. The extremes are far enough apart: the interval between them.
  if (d >= dmin) {
    r.hcase = 1;
    r.mid = (hmaxlo + hminhi) / 2;
    r.dfinal = d;
    return r;
  }
  // 2. Few brackets: nothing to summarise; the extremes widened to dmin.
  if (nlo <= 2 && nhi <= 2) {
    r.hcase = 2;
    r.mid = (hmaxlo + hminhi) / 2;
    r.dfinal = dmin;
    return r;
  }
  // A side of more than two brackets is summarised by its median.
  extended L = hmaxlo, U = hminhi;
  if (nlo > 2) {
    KPMATH1::SORT(lo, nlo);
    L = KPMATH1::QUANTILE(lo, nlo, 0.5L);
  }
  if (nhi > 2) {
    KPMATH1::SORT(hi, nhi);
    U = KPMATH1::QUANTILE(hi, nhi, 0.5L);
  }
  const extended d2 = (U - L) / (2 * sbar);
  r.mid = (L + U) / 2;
  if (d > 0 || (L <= hminhi && hmaxlo <= U)) {
    // 3. The widening to a gap of 2 dmin sbar is shared between the sides in
    // proportion to how far each median lies inside its extreme. With both
    // medians on their extremes (a + b = 0) the share is undefined: the
    // unshifted middle of the extremes.
    r.hcase = 3;
    const extended a = hmaxlo - L, b = U - hminhi;
    if (a + b == 0)
      r.mid = (hmaxlo + hminhi) / 2;
    else
      r.mid = 0.5L * (hmaxlo + hminhi + (b - a) * (hmaxlo + 2 * dmin * sbar - hminhi) / (a + b));
    r.dfinal = dmin;
  } else if (hminhi < L && U < hmaxlo) {
    r.hcase = 4;  // inconsistent brackets: each median beyond the other side
    r.dfinal = 2;
  } else if (d2 > dmin) {
    r.hcase = 5;
    r.dfinal = d2;
  } else {
    r.hcase = 6;
    r.dfinal = dmin;
  }
  return r;
}

void CALCHLIMS(smallint i) {
  xprec& x = (*XPW)[i];
  x.opt2 = false;
  if (x.multi) REVERSEBRACKETS(i);

  // Pair statistics: the normalised gap of each pair and the sum of the
  // weights of the pairs' half-widths.
  sortvector gaps{};
  int ngap = 0;
  x.wsum = 0;
  for (int k = 2; k <= x.nbr; ++k) {
    if (!pairmember(x.br[k])) continue;
    const extended s = x.br[k - 1].sdh + x.br[k].sdh;
    const extended g = (x.br[k].h - x.br[k - 1].h) / s;
    const extended w = 0.5L * s * HALFWIDTH(g);
    x.wsum += 1 / (w * w);
    gaps[++ngap] = g;
  }
  if (ngap == 0) {
    x.dmin = gaphigh;
  } else {
    x.wsum = std::sqrt(x.wsum);
    if (ngap > 1) KPMATH1::SORT(gaps, static_cast<smallint>(ngap));
    x.dmin = std::min(std::max(gaps[1], gaplow), gaphigh);
  }

  // The two sides and their extremes (the first of equal values kept).
  sortvector lo{}, hi{};
  smallint nlo = 0, nhi = 0;
  extended hmaxlo = -1e10L, hminhi = 1e10L;
  int klo = 0, khi = 0;
  for (int k = 1; k <= x.nbr; ++k) {
    const brrec& b = x.br[k];
    if (!b.high) {
      lo[++nlo] = b.h;
      if (b.h > hmaxlo) {
        hmaxlo = b.h;
        klo = k;
      }
    } else {
      hi[++nhi] = b.h;
      if (b.h < hminhi) {
        hminhi = b.h;
        khi = k;
      }
    }
  }
  if (klo == 0 || khi == 0) {
    // Brackets on one side only bound the enthalpy on that side: there is
    // no interval (the assembly leaves such an experiment out).
    x.hcase = 0;
    x.sbar = x.dinit = x.ds = x.dfinal = x.hlow = x.hhigh = 0;
    return;
  }
  x.sbar = 0.5L * (x.br[klo].sdh + x.br[khi].sdh);
  const extended d = (hminhi - hmaxlo) / (2 * x.sbar);
  x.ds = x.dinit = d;
  const hcaseresult r = HCASE(lo, nlo, hi, nhi, hmaxlo, hminhi, x.sbar, x.dmin);
  x.hcase = r.hcase;
  if (x.used) {
    smallint* counters[] = {&NC1, &NC2, &NC3, &NC4, &NC5, &NC6};
    ++*counters[r.hcase - 1];
  }
  x.dfinal = r.dfinal;
  const extended F = HALFWIDTH(r.dfinal);
  x.hlow = r.mid - F * x.sbar;
  x.hhigh = r.mid + F * x.sbar;
}

void OCALCA(smallint ip, const eqvector& x, extended P, extended T, eqvector& a) {
  ptype1& ph = (*PREC1)[ip];
  for (int v = 1; v <= ph.nem - 1; ++v) ph.xyz[v].guess = x[v];
  // The activity service addresses phases 1..NPSS; the stored models of
  // this run lie above the four working slots (NPDS of them in all, while
  // an experiment's set-up may have made NPSS and NP its own counts).
  const smallint npss = NPSS;
  NPSS = std::max({NPSS, NP, NPDS});
  eqvector sda{};
  KPREAD1::CALCACTIVITIES(ip, x, P, T, a, sda);
  NPSS = npss;
}

}  // namespace LSQDS

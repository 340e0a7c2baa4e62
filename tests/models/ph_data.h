// Dataset rows of q, ky, sill and and (published values as in the reference
// dataset vt-ds3x.txt) for tests that need real end-members.
#pragma once

#include <cmath>

#include "data/kpglobal.h"

namespace phtest {

inline void setrow(int k, const char* name, extended h, extended s, extended v, extended a,
                   extended b, extended c, extended d, extended alpha0, extended kappa0,
                   extended kappa0p, extended kappa0pp, int atoms) {
  using namespace KPGLOBAL;
  NAME[k] = sstring(name);
  tdvector& r = (*TD)[k];
  r = tdvector{};
  r.h = h, r.s = s, r.v = v, r.cpa = a, r.cpb = b, r.cpc = c, r.cpd = d;
  r.alpha0 = alpha0, r.kappa0 = kappa0, r.kappa0p = kappa0p, r.kappa0pp = kappa0pp;
  r.theta = 10636 / (s * 1000 / atoms + 6.44L);  // Einstein temperature
  r.smax = r.vmax = -1;
  r.sffac = 1;
  NOOX[k] = atoms;
}

// Rows 1..4: q (Landau), ky, sill (Bragg-Williams), and; NCV = 4.
inline void aluminosilicates() {
  using namespace KPGLOBAL;
  setrow(1, "q", -910.72L, 0.04143L, 2.2690L, 0.0929L, -0.000000642L, -714.9L, -0.7161L, 0, 730,
         6, -0.0082L, 3);
  (*TD)[1].landaut = 847, (*TD)[1].smax = 0.00495L, (*TD)[1].vmax = 0.1188L;
  setrow(2, "ky", -2592.97L, 0.08350L, 4.4140L, 0.2794L, -0.000007124L, -2055.6L, -2.2894L,
         0.0000192L, 1601, 4.05L, -0.0025L, 8);
  setrow(3, "sill", -2585.79L, 0.09540L, 4.9860L, 0.2802L, -0.0000069L, -1375.7L, -2.3994L,
         0.0000112L, 1640, 5.06L, -0.0031L, 8);
  tdvector& s = (*TD)[3];
  s.sfdh = 4.75L, s.sfdhv = 0.01L, s.sfw = 4.75L, s.sfwv = 0.01L, s.sfn = 1, s.sffac = 0.25L;
  setrow(4, "and", -2588.67L, 0.09270L, 5.1530L, 0.2773L, -0.000006588L, -1914.1L, -2.2656L,
         0.0000181L, 1442, 6.89L, -0.0048L, 8);
  NCV = 4;
}

}  // namespace phtest

// The unknowns of a small equilibrium system laid out as the tests and the
// benchmarks solve it: P and T first, then the compositional variables of
// each solution phase read, in order. Free of the test framework, so that
// the benchmarks share it.
#pragma once

#include "data/kpglobal.h"

namespace vtest {

// P over 0.001..40 kbar and T over 400..1200 K (scaled, at the window
// limits), then each solution phase's variables from its a-x model, free and
// at their starting guesses; the first end-member of each solution phase
// points to its phase and its first variable.
inline void nleunknowns() {
  using namespace KPGLOBAL;
  STARTSS.fill(false);
  NX = 2;
  int e = 0;
  for (int iss = 1; iss <= NPSS; ++iss) {
    const ptype1& ph = (*PREC1)[iss];
    STARTSS[e + 1] = true;
    EM2SS[e + 1] = static_cast<smallint>(iss);
    EM2X[e + 1] = static_cast<smallint>(NX + 1);
    e += ph.nem;
    for (int v = 1; v <= ph.nvars; ++v) {
      ++NX;
      const xyzrec& xv = ph.xyz[v];
      XNAME[NX] = xv.name;
      XFACA[NX] = xv.faca;
      XFACB[NX] = xv.facb;
      TYPX[NX] = xv.typx;
      INACC1[NX] = xv.acclo;
      INACC2[NX] = xv.acchi;
      X[NX] = xv.faca * xv.guess + xv.facb;
      BX[NX] = true;
    }
  }
  XNAME[1] = "P(kbar)";
  XNAME[2] = "T(C)";
  XFACA[1] = 1 / (40 - 0.001L);
  XFACB[1] = -0.001L * XFACA[1];
  XFACA[2] = 1 / 800.0L;
  XFACB[2] = -400 * XFACA[2];
  TYPX[1] = TYPX[2] = 1e-4L;
  INACC1[1] = INACC2[1] = INACC1[2] = INACC2[2] = acctype::windowlimit;
}

}  // namespace vtest

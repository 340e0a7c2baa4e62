// Order-disorder equilibrium of a solution phase.
#include "solver/kpread1_od.h"

#include <memory>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "models/kpute1_models.h"
#include "solver/kpcalc2_equations.h"
#include "solver/kpmath2.h"
#include "solver/kpre_independent.h"

namespace KPREAD1 {

using namespace KPGLOBAL;

namespace {

// Everything the solve replaces, kept for the restore.
struct savedsystem {
  smallint debuglevel = DEBUGLEVEL;
  calcmodetype calcmode = CALCMODE;
  bool modesbynle = MODESBYNLE, pseudosection = PSEUDOSECTION;
  smallint nu = NU, nuv = NUV, ncv = NCV, nne = NNE;
  extended fixedp = FIXEDP, fixedt = FIXEDT;
  std::unique_ptr<icmatrix> c = std::make_unique<icmatrix>(*C);
  smallint nr = NR;
  std::unique_ptr<rmatrix> r = std::make_unique<rmatrix>(*R);
  // The site counts of the reactions belong with R, and the site counts of
  // the end-members with NAME: both are overwritten by the solve.
  irvector rnsite = RNSITE;
  iemvector nsite = NSITE;
  Arr<sstring, emmax> name = NAME;
  emvector activity = ACTIVITY, sdactivity = SDACTIVITY;
  std::unique_ptr<tdtable> td = std::make_unique<tdtable>(*TD);
  Arr<makeitype, phemmax> makedep;

  explicit savedsystem(const ptype1& ph) {
    for (int j = 1; j <= ph.nem; ++j) makedep[j] = ph.em[j].makedep;
  }
  void restore(ptype1& ph) const {
    *C = *c;
    NR = nr;
    *R = *r;
    RNSITE = rnsite;
    NSITE = nsite;
    NAME = name;
    ACTIVITY = activity;
    SDACTIVITY = sdactivity;
    *TD = *td;
    for (int j = 1; j <= ph.nem; ++j) ph.em[j].makedep = makedep[j];
    NU = nu;
    NUV = nuv;
    NCV = ncv;
    NNE = nne;
    FIXEDP = fixedp;
    FIXEDT = fixedt;
    DEBUGLEVEL = debuglevel;
    CALCMODE = calcmode;
    MODESBYNLE = modesbynle;
    PSEUDOSECTION = pseudosection;
  }
};

// Random values of the order variables between their limits.
void randomtrial(ptype1& ph) {
  for (int v = 1; v <= ph.nvars; ++v) {
    xyzrec& xv = ph.xyz[v];
    if (xv.isq) xv.guess = xv.lo + (xv.hi - xv.lo) * KPMATH1::RANDOM();
  }
}

}  // namespace

bool CALCQ(smallint iph, extended P, extended T) {
  ptype1& ph = (*PREC1)[iph];
  // 1. Save, and run the solve as a plain equilibrium calculation.
  const auto saved = std::make_unique<savedsystem>(ph);
  DEBUGLEVEL = DEBUGLEVELQ;
  CALCMODE = calcmodetype::nlecalc;
  MODESBYNLE = false;
  PSEUDOSECTION = false;

  // 2. A system of the phase alone.
  STARTSS.fill(false);
  EM2SS.fill(0);
  EM2X.fill(0);
  NAME.fill("");
  FIXEDP = P;
  FIXEDT = T;
  NU = KNU;
  NUV = KNUV;
  if (!ph.hasq) IO::ERROREXIT("calcq", "not an OD phase", faulttype::yourfault);

  // 4, 5. Its end-members and their independent internal reactions.
  for (int j = 1; j <= ph.nem; ++j) {
    NAME[j] = ph.em[j].name;
    for (int u = 1; u <= NUV; ++u) (*C)(u, j) = ph.em[j].comp[u];
  }
  NCV = NNE = ph.nem;
  bool any = false;
  KPRE::CALCRE2(any);

  // 6. P and T fixed; one phase block from position 3.
  X[1] = P;
  X[2] = T;
  BX[1] = BX[2] = false;
  XNAME[1] = "P(kbar)";
  XNAME[2] = "T(" + IO::DEGREE + "C)";
  STARTSS[1] = true;
  EM2SS[1] = iph;
  EM2X[1] = 3;

  // 7. Data rows: a made end-member is formed from its recipe.
  for (int j = 1; j <= ph.nem; ++j) {
    const axemrec& em = ph.em[j];
    tdvector& row = (*TD)[j];
    if (WITHDS35 || em.nmake == 0) {
      for (int s = 1; s <= 25; ++s) row[s] = em.td[s];
      for (int s = 26; s <= tdslots; ++s) row[s] = 0;
    } else {
      for (int s = 1; s <= 3; ++s) row[s] = em.td[s];
      for (int s = 4; s <= 28; ++s) row[s] = 0;
      row.makephase = iph;
      row.makeem = j;
    }
    NSITE[j] = em.maxpow;
  }

  // 8. The variables: only the order variables are free.
  int nq = 0;
  for (int v = 1; v <= ph.nvars; ++v) {
    const int k = v + 2;
    const xyzrec& xv = ph.xyz[v];
    XGUESS[k] = xv.guess;
    XNAME[k] = xv.name;
    XFACA[k] = xv.faca;
    XFACB[k] = xv.facb;
    TYPX[k] = xv.typx;
    INACC1[k] = xv.acclo;
    INACC2[k] = xv.acchi;
    BX[k] = xv.isq;
    PXSET[k] = 0;
    if (xv.isq) ++nq;
  }
  NX = static_cast<smallint>(ph.nvars + 2);
  for (int k = NX + 1; k <= NX + NP && k <= eqmax; ++k) BX[k] = false;

  // 9. One internal reaction per order variable.
  if (NR != nq)
    IO::ERROREXIT("calcq", "no of reactions not equal to no of Qs", faulttype::yourfault);

  // 10. The phase's linear limits over the unknowns (constant in column NX + 1).
  NXVARLIM = 0;
  for (int r = 1; r <= ph.nvarlim; ++r) {
    if (NXVARLIM + 1 > xvarlimmax) IO::ERROREXIT("calcq", "too many varlims", faulttype::yourfault);
    const int n = ++NXVARLIM;
    for (int c = 1; c <= NX + 1; ++c) {
      XVARLIMN(n, c) = 0;
      XVARLIMD(n, c) = 1;
    }
    for (int v = 1; v <= ph.nvars; ++v) {
      XVARLIMN(n, v + 2) = ph.varlimn(r, v);
      XVARLIMD(n, v + 2) = ph.varlimd(r, v);
    }
    XVARLIMN(n, NX + 1) = ph.varlimn(r, ph.nem);
    XVARLIMD(n, NX + 1) = ph.varlimd(r, ph.nem);
  }

  // 11. Site fractions that no bound keeps positive.
  NSFNH = 0;
  if (!ph.allsfhandled)
    for (int s = 1; s <= ph.nsf; ++s) {
      if (ph.sfhandled[s]) continue;
      if (NSFNH + 1 > sfnhmax)
        IO::ERROREXIT("calcq", "no site fractions not handled too big", faulttype::myfault);
      ++NSFNH;
      SFNHIP[NSFNH] = iph;
      SFNHK[NSFNH] = static_cast<smallint>(s);
      SFNHIX[NSFNH] = 3;
    }

  // 12. No modes; the free unknowns scaled.
  NXP = 0;
  NXPSS = 0;
  for (int k = 3; k <= NX; ++k) X[k] = BX[k] ? XFACB[k] + XGUESS[k] * XFACA[k] : XGUESS[k];

  // 13, 14. The solve; the solution into the guesses.
  smallint code = 0;
  KPMATH2::NLE solve(KPCALC2::NLEFUNC);
  const bool ok = solve(code);
  if (ok) {
    for (int k = 3; k <= NX; ++k)
      if (BX[k]) X[k] = (X[k] - XFACB[k]) / XFACA[k];
    for (int v = 1; v <= ph.nvars; ++v) ph.xyz[v].guess = X[v + 2];
  }

  // 15. The system as it was.
  saved->restore(ph);
  return ok;
}

bool FINDLEGALQ(smallint iph, bool docalc, extended P, extended T, bool& wasillegal) {
  wasillegal = false;
  ptype1& ph = (*PREC1)[iph];
  if (!ph.hasq) IO::ERROREXIT("findlegalq", "not an odd phase", faulttype::yourfault);
  bool legal = KPUTE1::XYZLEGAL(iph);
  wasillegal = !legal;
  if (!docalc) {
    // Legal guesses only: random order variables until they are legal.
    for (int trial = 1; !legal && trial <= legalqtrials; ++trial) {
      randomtrial(ph);
      legal = KPUTE1::XYZLEGAL(iph);
    }
    return legal;
  }
  // The entry guesses first when legal, then a fresh random legal start
  // after each failure.
  bool ok = legal;
  for (int attempt = 1; attempt <= legalqtrials; ++attempt) {
    if (!ok) {
      randomtrial(ph);
      ok = KPUTE1::XYZLEGAL(iph) && CALCQ(iph, P, T);
    } else {
      ok = CALCQ(iph, P, T);
    }
    if (ok) break;
  }
  return ok;
}

}  // namespace KPREAD1

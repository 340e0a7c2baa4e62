// LSQDS (groups): phases, activities and calculated positions of the
// experiments whose end-members include solution phases.
#include "lsq/lsqds_groups.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "frame/io.h"
#include "frame/kpute2.h"
#include "models/kpnle3.h"
#include "models/kpnle3_compositions.h"
#include "models/kpnle3_crossrefs.h"
#include "models/kpnle3_make.h"
#include "models/kpread1.h"
#include "solver/kpcalc2_equations.h"
#include "solver/kpmath2.h"
#include "solver/kpre_independent.h"
#include "solver/kpread1_activities.h"
#include "solver/kpread1_od.h"

namespace LSQDS {

using namespace KPGLOBAL;

namespace {

constexpr longint RESLOG = 12;  // results file and log

// Composition and data row m of the system from an end-member record.
void fromtdrec(int m, const tdrec& r) {
  NOX[m] = r.ncomp;
  extended sum = 0;
  for (int c = 1; c <= r.ncomp; ++c) {
    OXCODE(m, c) = r.comp[c].code;
    OXNO(m, c) = r.comp[c].amount;
    sum += r.comp[c].amount;
  }
  NOOX[m] = sum;
  tdvector& td = (*TD)[m];
  td.h = r.h;
  td.s = r.s;
  td.v = r.v;
  td.cpa = r.cpa;
  td.cpb = r.cpb;
  td.cpc = r.cpc;
  td.cpd = r.cpd;
  td.alpha0 = r.alpha0;
  td.kappa0 = r.kappa0;
  td.kappa0p = r.kappa0p;
  td.kappa0pp = r.kappa0pp;
  td.theta = r.theta;
  td.dkappa0dt = r.dkappa0dt;
  td.landaut = r.landaut;
  td.smax = r.smax;
  td.vmax = r.vmax;
  td.aqcp = r.aqcp;
  td.sfdh = r.sfdh;
  td.sfdhv = r.sfdhv;
  td.sfw = r.sfw;
  td.sfwv = r.sfwv;
  td.sfn = r.sfn;
  td.sffac = r.sffac;
}

// Activities a[1..nem] of the stored model ph at compositional variables v.
void activities(smallint ph, const eqvector& v, extended P, extended T, eqvector& a) {
  // The activity service addresses phases 1..NPSS; the stored models lie
  // above the experiment's working slots.
  const smallint npss = NPSS;
  NPSS = std::max({NPSS, NP, NPDS});
  eqvector sda{};
  KPREAD1::CALCACTIVITIES(ph, v, P, T, a, sda);
  NPSS = npss;
}

// The list entry called name (first match), or a stop naming the word.
int listentry(const xprec& x, const sstring& name, int i) {
  for (int m = 1; m <= x.nem; ++m)
    if (IO::SAMESTRING(x.emname[m], name)) return m;
  IO::ERROREXIT("calca", "\"" + name + "\" is not in the end-member list of experiment " + IO::INT2STR(i),
                faulttype::yourfault);
}

// The window of the calculated position, kept for the not-converged lines.
struct window {
  extended pmin = 0, pmax = 0, tmin = 0, tmax = 0;
};
window W;

}  // namespace

// ---------------------------------------------------------------------------
// FILLPREC

void FILLPREC(smallint i) {
  const xprec& x = (*XPW)[i];
  const calcmodetype mode = CALCMODE;
  CALCMODE = calcmodetype::nlecalc;
  ACTIVITY.fill(1);
  int m = 0, p0 = 0, s = 0;
  for (int e = 1; e <= x.nem; ++e) {
    const extended ac = x.acode[e];
    if (ac == acodeotherss) continue;
    if (ac <= 0) {
      // The first end-member of a solution phase: its stored model into the
      // next working slot (the reader allows at most four of them).
      if (++s > workslots)
        IO::ERROREXIT("fillprec", "more than " + IO::INT2STR(workslots) + " solution phases",
                      faulttype::myfault);
      ptype1& ph = (*PREC1)[s];
      ph = (*PREC1)[x.ssidx[e]];
      for (int v = 1; v <= ph.nem; ++v) {
        ++m;
        const int entry = std::min(e + v - 1, ilmax);
        if (x.emidx[entry] == 0) {
          NAME[m] = "###";
          NOX[m] = 0;
        } else {
          NAME[m] = ph.em[v].name;
          fromtdrec(m, (*TDA)[x.emidx[entry]]);
        }
        ph.em[v].cov.fill(0);
      }
      continue;
    }
    ++m;
    ++p0;
    ptype0& pp = (*PREC0)[p0];
    pp = ptype0{};
    if (x.emidx[e] != 0) {
      const tdrec& r = (*TDA)[x.emidx[e]];
      pp.name = pp.emname = NAME[m] = r.name;
      fromtdrec(m, r);
    }
    pp.act = ac == acodemade ? 0 : 1;
  }
  NP0 = static_cast<smallint>(p0);
  NPSS = static_cast<smallint>(s);
  NP = static_cast<smallint>(p0 + s);
  NCV = x.nem;
  KPREAD1::MAKEOXIDES();
  KPNLE3::MAKEEMC();
  // MAKEEMTD lists the solution phases on the first run of the invocation;
  // under the equilibrium mode held here the listing goes to the
  // initial-tables channel, which the least-squares run does not open, so
  // the experiments' phase set-ups list nothing. The models are listed to
  // the intermediate-results file when they are read (READAX, READXY).
  KPNLE3::MAKEEMTD();
  CALCMODE = mode;
}

// ---------------------------------------------------------------------------
// CALCA

void CALCA(smallint i, smallint k) {
  xprec& x = (*XPW)[i];
  brrec& b = x.br[k];
  const calcmodetype mode = CALCMODE;
  CALCMODE = calcmodetype::nlecalc;
  FIXEDT = b.t;
  FIXEDP = b.p;

  // 1. The equilibrium state of order of the ordered phases.
  int c = 0;
  for (int iss = 1; iss <= NPSS; ++iss) {
    ptype1& ph = (*PREC1)[iss];
    if (ph.hasq) {
      for (int v = 1; v <= ph.nvars && c + v <= ilmax; ++v) ph.xyz[v].guess = b.xyz[c + v];
      bool wasillegal = false;
      if (!KPREAD1::FINDLEGALQ(static_cast<smallint>(iss), true, b.p, b.t, wasillegal)) {
        std::string s = "xp = ";
        IO::ADDINT(i, 4, s);
        s += ", br = ";
        IO::ADDINT(k, 3, s);
        s += ", ";
        IO::ADDSTR(ph.name, 5, s);
        *IO::SCREEN << s << '\n';
        IO::ERROREXIT("calca", "couldn't solve for state of order for " + ph.name, faulttype::yourfault);
      }
      for (int v = 1; v <= ph.nvars && c + v <= ilmax; ++v) b.xyz[c + v] = ph.xyz[v].guess;
    }
    c += ph.nvars;
  }

  // 2. Activities.
  int c2 = 0;
  for (int e = 1; e <= x.nem; ++e) {
    const extended ac = x.acode[e];
    if (ac == acodefirstss) {
      const smallint ph = x.ssidx[e];
      const int nem = (*PREC1)[ph].nem;
      eqvector v{}, a{};
      for (int j = 1; j <= nem - 1 && c2 + j <= ilmax; ++j) v[j] = b.xyz[c2 + j];
      c2 += nem - 1;
      activities(ph, v, b.p, b.t, a);
      for (int j = 0; j < nem && e + j <= x.nem; ++j) b.a[e + j] = a[j + 1];
    } else if (ac == acodemade) {
      const ptype1& ph = (*PREC1)[x.ssidx[e]];
      const axemrec& E = ph.em[x.ssem[e]];
      int j = 0;
      for (int q = 1; q <= E.nmake && j == 0; ++q)
        if (IO::SAMESTRING(E.makename[q], x.emname[e])) j = q;
      if (j == 0 || E.makecoef[j] == 0)
        IO::ERROREXIT("calca",
                      "\"" + x.emname[e] + "\" is not a constituent of the made end-member " + E.name + " of " +
                          ph.name,
                      faulttype::yourfault);
      const int m = listentry(x, E.name, i);
      const extended am = b.a[m];
      const extended power = static_cast<extended>(E.makeden) / E.makecoef[j];
      const extended derived = am > 0 ? std::exp(power * std::log(am)) : 0;
      if (am > 0 && am <= 1) {
        b.a[e] = derived;
      } else {
        std::string s;
        IO::ADDSTR(x.emname[e], 6, s);
        IO::ADDSTR(ph.name, 6, s);
        IO::ADDSTR(E.name, 6, s);
        IO::ADDSTR(E.makename[j], 6, s);
        s += "; mult = ";
        IO::ADDREAL(static_cast<extended>(E.makecoef[j]) / E.makeden, 8, true, 2, s);
        s += "; a(" + x.emname[m] + ") = ";
        IO::ADDREAL(am, 10, true, 4, s);
        if (am > 0) {
          s += "; giving a(" + x.emname[e] + ") = ";
          IO::ADDREAL(derived, 10, true, 4, s);
        }
        *IO::SCREEN << '\n' << "dependent end-member activity not between 0 and 1" << '\n' << s << '\n';
        IO::ERROREXIT("calca", "messed up make a", faulttype::yourfault);
      }
    }
  }

  // 3. The other records of the group share the bracket's activities.
  for (int r = i + 1; r <= i + x.nreac - 1; ++r) {
    brrec& o = (*XPW)[r].br[k];
    for (int e = 1; e <= x.nem; ++e) o.a[e] = b.a[e];
  }
  CALCMODE = mode;
}

// ---------------------------------------------------------------------------
// CALCASS

void CALCASS(smallint i, smallint mode, bool print) {
  xprec& x = (*XPW)[i];
  const calcmodetype calcmode = CALCMODE;
  const bool modesbynle = MODESBYNLE, pseudosection = PSEUDOSECTION;
  CALCMODE = calcmodetype::nlecalc;
  MODESBYNLE = false;
  PSEUDOSECTION = false;
  auto restore = [&] {
    CALCMODE = calcmode;
    MODESBYNLE = modesbynle;
    PSEUDOSECTION = pseudosection;
  };
  if (mode == 1) {
    restore();
    IO::ERROREXIT("calcass", "not currently implemented", faulttype::yourfault);
  }
  const int nbr = x.nbr;
  // "Not calculated" in every record of the group.
  auto notcalculated = [&](int k) {
    for (int r = i; r <= i + x.nreac - 1; ++r) {
      (*XPW)[r].br[k].pcalc = 0;
      (*XPW)[r].br[k].tcalc = 273.15L;
    }
  };

  // 1. The phases present.
  bemvector present{};
  for (int p = 1; p <= NPSS; ++p) present[p] = true;
  for (int p = 1; p <= NP0; ++p) present[NPSS + p] = (*PREC0)[p].act > 0;

  // 2. The window of P and T around the brackets.
  constexpr extended inf = std::numeric_limits<extended>::infinity();
  W = window{inf, -inf, inf, -inf};
  for (int k = 1; k <= nbr; ++k) {
    const brrec& b = x.br[k];
    W.pmin = std::min(W.pmin, b.p);
    W.pmax = std::max(W.pmax, b.p);
    W.tmin = std::min(W.tmin, b.t);
    W.tmax = std::max(W.tmax, b.t);
  }
  if (nbr < 1) {
    restore();
    return;
  }
  const extended dp = 11 + 0.05L * (W.pmin + W.pmax);
  W.pmin -= dp;
  if (W.pmin < 0) W.pmin = 1e-16L;
  W.pmax += dp;
  W.tmin = std::max(W.tmin - 600, 373.0L);
  W.tmax += 600;
  PFACA = 1 / (W.pmax - W.pmin);
  PFACB = -W.pmin * PFACA;
  TYPP = 0.01L / (W.pmax - W.pmin);
  TFACA = 1 / (W.tmax - W.tmin);
  TFACB = -W.tmin * TFACA;
  TYPT = 0.1L / (W.tmax - W.tmin);

  // 3. Unknowns and independent reactions.
  KPNLE3::MAKECROSSREFS(present);
  KPUTE2::POSITIONS();
  bool any = false;
  KPRE::CALCRE2(any);
  std::string& w = IO::WSTR;
  if (print) {
    w.clear();
    IO::ADDSTR("  ", 0, w);
    IO::ADDINT(NR, 2, w);
    IO::ADDSTR(" reactions:", 0, w);
    IO::PUTSTR(1, w, 1, RESLOG);
    w = "   ";
    for (int j = 1; j <= NCV; ++j) IO::ADDSTR(NAME[j], 6, w);
    IO::PUTSTR(0, w, 1, RESLOG);
    for (int r = 1; r <= NR; ++r) {
      w = "   ";
      for (int j = 1; j <= NCV; ++j) IO::ADDINT((*R)(r, j), 6, w);
      IO::PUTSTR(0, w, 1, RESLOG);
    }
  }

  // 4. The end marker after the last bracket.
  {
    const brrec last = x.br[nbr];
    brrec& marker = x.br[nbr + 1];
    marker.samepx = marker.sametx = false;
    marker.p = last.p;
    marker.t = last.t;
  }
  if (print) {
    w.clear();
    IO::ADDSTR("P(kbar)", 9, w);
    IO::ADDSTR(" ", 0, w);
    IO::ADDSTR("T(C)", 9, w);
    IO::ADDSTR("  ", 0, w);
    IO::ADDSTR("calc", 10, w);
    for (int j = 3; j <= NX; ++j) IO::ADDSTR(XNAME[j], 10, w);
    if (mode == 2) IO::ADDSTR("miss", 8, w);
    IO::PUTSTR(1, w, 1, RESLOG);
  }

  // Mode 2 solves T (or P) together with the compositions wherever the
  // independent reactions fix them: one reaction per free unknown. Where
  // they do not (freeing the compositions would leave more unknowns than
  // reactions, as for a single reaction among several solution phases), the
  // equilibrium is looked for at the measured compositions instead, unless
  // the experiment asks for its compositions to be solved.
  int nfreex = 0;
  for (int j = 3; j <= NX; ++j)
    if (BX[j]) ++nfreex;
  const bool holdx = mode == 2 && !x.unknowncomps && 1 + nfreex != NR;

  // 5. One solve per bracket, or per pair.
  for (int k = 1; k <= nbr; ++k) {
    const brrec& b = x.br[k];
    const brrec& next = x.br[k + 1];
    const bool second = mode == 2 ? (b.samepx || b.sametx) : (b.samepx && b.sametx);
    if (second) {
      notcalculated(k);
      continue;
    }
    for (int j = 3; j <= NX; ++j) XGUESS[j] = j - 2 <= ilmax ? b.xyz[j - 2] : 0;
    const bool calcT = k == nbr || next.samepx || !next.sametx;
    FIXEDP = X[1] = b.p;
    FIXEDT = X[2] = b.t;
    BX[1] = BX[2] = false;
    for (int j = 3; j <= NX; ++j) {
      if (holdx) BX[j] = false;
      X[j] = BX[j] ? XFACB[j] + XGUESS[j] * XFACA[j] : XGUESS[j];
    }
    if (mode == 2) {
      if (calcT) {
        BX[2] = true;
        X[2] = TFACB + b.t * TFACA;
      } else {
        BX[1] = true;
        X[1] = PFACB + b.p * PFACA;
      }
    }
    // The equations must match the free unknowns: a system that does not
    // (its reactions do not fix the unknowns) is not solved.
    int nfree = 0;
    for (int j = 1; j <= NX; ++j)
      if (BX[j]) ++nfree;
    smallint code = 0;
    bool ok = nfree == NR && NR > 0;
    if (ok) {
      KPMATH2::NLE solve(KPCALC2::NLEFUNC);
      ok = solve(code);
    }
    if (!ok) {
      notcalculated(k);
      if (print) {
        w.clear();
        const extended tc = b.t - 273.15L;
        if (mode == 3) {
          IO::ADDREAL(b.p, 10, true, 2, w);
          IO::ADDINT(std::nearbyint(tc), 10, w);
          IO::ADDSTR("  not converged", 0, w);
        } else if (calcT) {
          IO::ADDREAL(b.p, 10, true, 2, w);
          IO::ADDSTR("      --  ", 0, w);
          IO::ADDSTR("  not converged", 0, w);
          IO::ADDSTR("  (?not in T window: " + IO::INT2STR(std::nearbyint(W.tmin - 273.15L)) + " - " +
                         IO::INT2STR(std::nearbyint(W.tmax - 273.15L)) + ")",
                     0, w);
        } else {
          IO::ADDSTR("      --  ", 0, w);
          IO::ADDINT(std::nearbyint(tc), 10, w);
          IO::ADDSTR("  not converged", 0, w);
          IO::ADDSTR("  (?not in P window " + IO::REAL2STR(W.pmin, 1, true) + " - " +
                         IO::REAL2STR(W.pmax, 1, true) + ")",
                     0, w);
        }
        IO::PUTSTR(0, w, 1, RESLOG);
      }
      continue;
    }
    for (int j = 1; j <= NX; ++j)
      if (BX[j]) X[j] = (X[j] - XFACB[j]) / XFACA[j];
    for (int r = i; r <= i + x.nreac - 1; ++r) {
      brrec& o = (*XPW)[r].br[k];
      o.pcalc = X[1];
      o.tcalc = X[2];
      if (x.unknowncomps)
        for (int j = 3; j <= NX && j - 2 <= ilmax; ++j) o.xyz[j - 2] = X[j];
    }
    if (print) PRINTASS(i, static_cast<smallint>(k), mode);
  }
  restore();
}

// ---------------------------------------------------------------------------
// PRINTASS

void PRINTASS(smallint i, smallint k, smallint mode) {
  const xprec& x = (*XPW)[i];
  const brrec& b = x.br[k];
  const brrec& next = x.br[k + 1];
  const bool both = next.samepx && next.sametx;
  const bool pairT = mode == 2 && next.sametx && !next.samepx;
  const bool pairP = next.samepx && (mode == 2 || both);
  const bool low = !b.high;
  const extended tk = b.t - 273.15L, tn = next.t - 273.15L;
  const extended X1 = X[1], X2 = X[2];
  std::string& w = IO::WSTR;
  w.clear();
  auto real = [&](extended v, int width, int places) {
    IO::ADDREAL(v, static_cast<smallint>(width), true, static_cast<smallint>(places), w);
  };
  auto blanks = [&](int n) { IO::ADDSTR("", static_cast<smallint>(n), w); };

  // P.
  if (pairT) {
    real(x.opt2 ? next.p : b.p, 5, 1);
    real(x.opt2 ? b.p : next.p, 5, 1);
  } else if (mode == 3 && (b.sametx || next.sametx) && !both) {
    if (low) {
      real(b.p, 5, 1);
      blanks(5);
    } else {
      blanks(5);
      real(b.p, 5, 1);
    }
  } else {
    real(b.p, 8, 1);
    blanks(3);
  }
  // T.
  if (pairT || both || (mode == 3 && (b.sametx || next.sametx))) {
    real(tk, 8, 0);
    blanks(both ? 2 : 3);
  } else if (!x.opt2) {
    if (low) {
      real(tk, 5, 0);
      if (pairP)
        real(tn, 5, 0);
      else
        blanks(5);
    } else {
      blanks(5);
      real(tk, 5, 0);
    }
  } else if (low) {
    blanks(5);
    real(tk, 5, 0);
  } else if (pairP) {
    real(tn, 5, 0);
    real(tk, 5, 0);
  } else {
    real(tk, 5, 0);
    blanks(5);
  }
  // calc.
  if (mode == 3)
    IO::ADDSTR("-", 10, w);
  else if (pairT)
    real(X1, 10, 1);
  else
    IO::ADDINT(std::nearbyint(X2 - 273.15L), 10, w);
  // Compositions.
  for (int j = 3; j <= NX; ++j) real(X[j], 10, 4);
  // miss.
  if (both) {
    blanks(8);
  } else if (pairT) {
    const extended lo = std::min(b.p, next.p), hi = std::max(b.p, next.p);
    if (X1 < lo)
      real(X1 - lo, 8, 1);
    else if (X1 > hi)
      real(X1 - hi, 8, 1);
  } else if (pairP) {
    const extended lo = std::min(b.t, next.t), hi = std::max(b.t, next.t);
    if (X2 < lo)
      IO::ADDINT(std::nearbyint(X2 - lo), 8, w);
    else if (X2 > hi)
      IO::ADDINT(std::nearbyint(X2 - hi), 8, w);
  } else if (!x.opt2) {
    if ((low && X2 < b.t) || (!low && X2 > b.t)) real(X2 - b.t, 8, 0);
  } else {
    if (low && X2 > b.t)
      real(b.t - X2, 8, 0);
    else if (!low && X2 < b.t)
      real(X2 - b.t, 8, 0);
  }
  IO::PUTSTR(0, w, 1, RESLOG);
}

}  // namespace LSQDS

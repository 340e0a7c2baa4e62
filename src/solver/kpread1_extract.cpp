// Extraction of end-members with activities for calculation modes 0, 2 and 3.
#include "solver/kpread1_extract.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "frame/io.h"
#include "frame/kpute2.h"
#include "models/kpnle3_compositions.h"
#include "models/kpnle3_make.h"
#include "models/kpread1.h"
#include "solver/kpread1_activities.h"
#include "solver/kpread1_od.h"

namespace KPREAD1 {

using namespace KPGLOBAL;

namespace {

// The phases of the run: every phase unless a list of two or more words names
// them (or, after "omit", names those left out).
bemvector choosephases(const strings& list, int nph) {
  strings words;
  smallint nw = 0;
  if (NWHSTRINGS > 0) {
    words = WHSTRINGS;
    nw = NWHSTRINGS;
  } else {
    const bool endmembers = CALCMODE == calcmodetype::rockcalc && NPSS == 0;
    IO::PROMPTSTRINGS(endmembers ? "which end-members" : "which phases", words, nw);
  }
  bemvector chosen{};
  if (nw < 2) {
    for (int i = 1; i <= nph; ++i) chosen[i] = true;
    return chosen;
  }
  const bool omit = words[1] == "omit" || words[1] == "0mit";
  for (int i = 1; i <= nph; ++i) chosen[i] = omit;
  for (int w = omit ? 2 : 1; w <= nw; ++w) {
    sstring name = words[w];
    smallint pos = 0;
    if (KPUTE2::NAMEINLIST(name, list, false, pos) && pos >= 1 && pos <= nph) chosen[pos] = !omit;
  }
  return chosen;
}

// Significant digits that show a pressure as given, to one decimal.
smallint ptdigits(extended P) {
  const extended a = std::fabs(P);
  int digits = a >= 1 ? static_cast<int>(std::floor(std::log10(a))) + 1 : 1;
  if (a != std::floor(a)) ++digits;
  return static_cast<smallint>(std::clamp(digits, 1, 18));
}

// P (kbar) and T (K) for the activities, asked or from the script.
void ptforaxe(extended& P, extended& T) {
  if (VOVUVUVED.ptforaxe == controlboolean::yes) {
    P = VOVUVUVED.ptforaxep;
    T = VOVUVUVED.ptforaxet;
    std::string line = " at PT: ";
    // One significant digit would show 12 kbar as 10: take the digits of the
    // whole kbar, and one decimal where there is a fraction.
    IO::ADDREAL(P, 0, false, ptdigits(P), line);
    line += " kbar, ";
    IO::ADDINT(T, 0, line);
    line += IO::DEGREE + "C (from script)";
    IO::PUTSTR(0, line, 1, 9);
  } else {
    IO::PROMPTREAL("P for a-x in kbar", P);
    IO::PROMPTREAL("T for a-x in " + IO::DEGREE + "C", T);
  }
  // Activities at or below absolute zero, or at no pressure, are not defined.
  if (!std::isfinite(P) || !std::isfinite(T) || !(P > 0) || !(T > -273.15L))
    IO::ERROREXIT("extractem",
                  "P for a-x must be above 0 kbar and T above -273.15" + IO::DEGREE + "C",
                  faulttype::yourfault);
  T += 273.15L;
}

// The report line of solution phase i: its name, the order variables, and
// the end-members left out.
void reportphase(const ptype1& ph) {
  std::string line;
  IO::ADDSTR(ph.name, -6, line);
  IO::ADDSTR("      ", 0, line);
  bool anyq = false;
  for (int v = 1; v <= ph.nvars; ++v) {
    if (!ph.xyz[v].isq) continue;
    if (anyq) IO::ADDSTR(", ", 0, line);
    IO::ADDSTR(ph.xyz[v].name + " = ", 0, line);
    IO::ADDREAL(ph.xyz[v].guess, 0, true, 4, line);
    anyq = true;
  }
  bool anyex = false;
  for (int j = 1; j <= ph.nem; ++j) {
    if (!ph.em[j].exclude) continue;
    if (!anyex) IO::ADDSTR(anyq ? "; left out: " : "left out: ", 0, line);
    IO::ADDSTR(ph.em[j].name + " ", 0, line);
    anyex = true;
  }
  IO::PUTSTR(1, line, 1, 9);
}

// Activities of every solution phase's end-members at P and T, reported and
// copied into ACTIVITY and SDACTIVITY from position 1 on.
void solutionactivities(extended P, extended T, int& k) {
  for (int i = 1; i <= NPSS; ++i) {
    ptype1& ph = (*PREC1)[i];
    bool wasillegal = false;
    if (ph.hasq && !FINDLEGALQ(static_cast<smallint>(i), true, P, T, wasillegal))
      IO::ERROREXIT("extractem", "couldn't solve for state of order for " + ph.name,
                    faulttype::yourfault);
    eqvector x, a, sda;
    for (int v = 1; v <= ph.nvars; ++v) x[v] = ph.xyz[v].guess;
    CALCACTIVITIES(static_cast<smallint>(i), x, P, T, a, sda);
    reportphase(ph);
    for (int j = 1; j <= ph.nem; ++j) {
      const axemrec& em = ph.em[j];
      if (em.exclude) continue;
      const extended old = a[j];
      if (!std::isfinite(old) || !std::isfinite(sda[j]))
        IO::ERROREXIT("extractem", "activity not a finite number for " + em.name + ", in " + ph.name,
                      faulttype::yourfault);
      if (old <= 0)
        IO::ERROREXIT("extractem", "activity negative for " + em.name + ", in " + ph.name,
                      faulttype::yourfault);
      const bool reset = old > 1;
      if (reset) a[j] = 0.999L;
      std::string line = "      ";
      IO::ADDSTR(em.name, 7, line);
      IO::ADDSTR(": a = ", 0, line);
      IO::ADDREAL(a[j], 8, true, 4, line);
      IO::ADDSTR(", sd(a) = ", 0, line);
      IO::ADDREAL(sda[j], 8, true, 4, line);
      if (reset) {
        IO::ADDSTR(" ## reset, was ", 0, line);
        IO::ADDREAL(old, 8, true, 4, line);
      }
      IO::PUTSTR(0, line, 1, 9);
      ++k;
      ACTIVITY[k] = a[j];
      SDACTIVITY[k] = sda[j];
    }
  }
}

// The per-end-member dataset arrays (site count, dataset composition) in the
// order of the extracted end-members. They are read per dataset end-member,
// so each extracted end-member takes the values of its dataset name; a made
// one has none: a made solution end-member counts the sites of its a-x model
// (maxpow, as the state-of-order solve does), a made pure phase one site.
void movedatasetarrays() {
  const auto name = NAME;
  const auto nsite = NSITE;
  const auto nox = NOX;
  const auto noox = NOOX;
  const auto oxcode = OXCODE;
  const auto oxno = OXNO;
  auto lookup = [&name](const sstring& w) {
    for (int k = 1; k <= emmax; ++k)
      if (!w.empty() && name[k] == w) return k;
    return 0;
  };
  int k = 0;
  auto put = [&](const sstring& w, smallint nmake, smallint sites) {
    ++k;
    const int old = nmake == 0 ? lookup(w) : 0;
    NSITE[k] = old > 0 ? nsite[old] : sites;
    NOX[k] = old > 0 ? nox[old] : 0;
    NOOX[k] = old > 0 ? noox[old] : 0;
    for (int p = 1; p <= oxcap; ++p) {
      OXCODE(k, p) = old > 0 ? oxcode(old, p) : 0;
      OXNO(k, p) = old > 0 ? oxno(old, p) : 0;
    }
  };
  for (int i = 1; i <= NPSS; ++i) {
    const ptype1& ph = (*PREC1)[i];
    for (int j = 1; j <= ph.nem; ++j)
      if (!ph.em[j].exclude) put(ph.em[j].name, ph.em[j].nmake, ph.em[j].maxpow);
  }
  for (int i = 1; i <= NP0; ++i) {
    const ptype0& ph = (*PREC0)[i];
    put(ph.emname, ph.nmake, 1);
  }
}

// The system rebuilt from the phases: composition columns, names, data rows
// and covariance of the extracted end-members; ndataset names were listed.
void rebuild(int ndataset) {
  icmatrix& c = *C;
  covmatrix& cov = *COV;
  // Positions (in the order of the made end-members' set-up) of the
  // end-members that stay.
  iemvector keep;
  int nkeep = 0, npos = 0;
  for (int i = 1; i <= NPSS; ++i)
    for (int j = 1; j <= (*PREC1)[i].nem; ++j) {
      ++npos;
      if (!(*PREC1)[i].em[j].exclude) keep[++nkeep] = static_cast<smallint>(npos);
    }
  for (int i = 1; i <= NP0; ++i) keep[++nkeep] = static_cast<smallint>(++npos);

  int k = 0;
  auto put = [&](const sstring& name, const icvector& comp, const tdvector& td, const emvector& covrow,
                 bool made, extended makephase, extended makeem) {
    ++k;
    for (int u = 1; u <= NUV; ++u) c(u, k) = comp[u];
    NAME[k] = name;
    tdvector& row = (*TD)[k];
    for (int s = 1; s <= 25; ++s) row[s] = td[s];
    for (int s = 26; s <= 28; ++s) row[s] = 0;
    row.makephase = made && WITHDS4X ? makephase : 0;
    row.makeem = made && WITHDS4X ? makeem : 0;
    for (int l = 1; l <= emmax; ++l) cov(k, l) = l <= nkeep ? covrow[keep[l]] : 0;
  };
  for (int i = 1; i <= NPSS; ++i) {
    const ptype1& ph = (*PREC1)[i];
    for (int j = 1; j <= ph.nem; ++j) {
      const axemrec& em = ph.em[j];
      if (!em.exclude) put(em.name, em.comp, em.td, em.cov, em.nmake != 0, i, j);
    }
  }
  for (int i = 1; i <= NP0; ++i) {
    const ptype0& ph = (*PREC0)[i];
    put(CALCMODE == calcmodetype::tablecalc ? ph.name : ph.emname, ph.comp, ph.td, ph.cov,
        ph.nmake != 0, 0, i);
  }
  // Nothing of the dataset list or of the left-out positions stays behind the
  // new list (the dependent rows of made end-members lie above both).
  const int top = std::max<int>(NCV, ndataset);
  for (int l = k + 1; l <= top; ++l) {
    NAME[l].clear();
    for (int u = 1; u <= compmax; ++u) c(u, l) = 0;
    for (int m = 1; m <= emmax; ++m) cov(l, m) = 0;
  }
  NCV = NNE = static_cast<smallint>(k);
}

}  // namespace

void EXTRACTEM() {
  // 1, 2. The phases and their end-members.
  if (NPSS > 0) IO::PUTSTR(1, "solutions will be taken apart into their end-members", 1, 9);
  MAKENAME(bemvector{});
  const int nph = NPSS + NP0;
  strings list;
  for (int i = 1; i <= NPSS; ++i) list[i] = (*PREC1)[i].name;
  for (int i = 1; i <= NP0; ++i) list[NPSS + i] = (*PREC0)[i].name;

  // 3, 4. The chosen phases, their compositions, data and covariance.
  const bemvector chosen = choosephases(list, nph);
  bemvector drop{};
  for (int i = 1; i <= nph; ++i) drop[i] = !chosen[i];
  MAKENAME(drop);
  const int ndataset = NCV;
  READTHERMO(2);
  KPNLE3::MAKEEMC();
  READTHERMO(3);
  KPNLE3::MAKEEMTD();

  // 5. Activities 1 with no uncertainty, unless computed below.
  ACTIVITY.fill(1);
  SDACTIVITY.fill(0);

  if (CALCMODE != calcmodetype::tablecalc) {
    // 6. Activities of the solution end-members at one P and T.
    int k = 0;
    if (NPSS > 0) {
      IO::PUTSTR(1, "activities of end-members in solid solutions are calculated with", 1, 9);
      const bool asked = VOVUVUVED.ptforaxe != controlboolean::yes;
      IO::PUTSTR(0, "input values of compositional variables", asked ? 1 : 0, 9);
      extended P = 0, T = 0;
      ptforaxe(P, T);
      FIXEDT = T;
      FIXEDP = P;
      solutionactivities(P, T, k);
    }
    for (int i = 1; i <= NP0; ++i) {
      ++k;
      ACTIVITY[k] = (*PREC0)[i].act;
      SDACTIVITY[k] = (*PREC0)[i].sdact;
    }
    // 7. Default uncertainties of the pure phases' activities, with the site
    // counts already in the order of the activities.
    if (NPSS == 0) {
      movedatasetarrays();
      IO::PROMPTCONTROL("standard default uncertainties on activities", VOVUVUVED.defsdaparams);
      SETSDAPARAMS(VOVUVUVED.defsdaparams == controlboolean::yes);
      CHECKSDA();
      rebuild(ndataset);
      return;
    }
  }
  // 8. The system of the extracted end-members.
  movedatasetarrays();
  rebuild(ndataset);
}

}  // namespace KPREAD1

// Calculation mode 5: set-up, the fitting iterations and the observation
// system of the calorimetry.
#include "lsq/lsqds.h"

#include <cmath>

#include "frame/io.h"
#include "frame/kpscript.h"
#include "lsq/lsqds_brackets.h"
#include "lsq/lsqds_dataset.h"
#include "lsq/lsqds_experiments.h"
#include "lsq/lsqds_groups.h"
#include "lsq/lsqds_solvers.h"
#include "lsq/lsqds_writer.h"

namespace LSQDS {

using namespace KPGLOBAL;

namespace {

template <typename T>
void allocate(std::unique_ptr<T>& p, const std::string& label) {
  p = std::make_unique<T>();  // value-initialised: all false, 0 and 0.0
  IO::HEAPINC(label, static_cast<std::int64_t>(sizeof(T)));
}

}  // namespace

void INTRO() {
  allocate(TDA, "tda");
  allocate(OXCAL, "oxcal");
  allocate(XPW, "xp");
  allocate(Y, "y");
  allocate(YY, "yy");
  allocate(THETA, "theta");
  allocate(XX, "xx");
  allocate(HAT, "hat");
  allocate(LHS, "x");
  allocate(B, "b");
  TBAR.fill(0);
  // The counts go with the cleared tables (a second run in one process
  // starts from nothing).
  NTOT = NOXCAL = NXPW = NEXP = NEC = NED = NEO = NEXPT = 0;
  KPSCRIPT::READCONTROLDS();
}

void DSCLEANUP() {}

// ---------------------------------------------------------------------------
// ASSEMBLY

namespace {

constexpr longint LOG = 8;

// "  1)  " style numbers and fixed reals of the listing.
void real(std::string& w, extended x, int width, int places) {
  IO::ADDREAL(x, static_cast<smallint>(width), true, static_cast<smallint>(places), w);
}

// The phase and end-member names of an experiment's list as the activity
// table heads them: a solution phase by its name, a plain entry by its own.
std::string listnames(const xprec& x) {
  std::string s;
  for (int m = 1; m <= x.nem; ++m) {
    if (x.acode[m] == acodefirstss)
      s += (*PREC1)[x.ssidx[m]].name + " ";
    else if (x.acode[m] > 0)
      s += x.emname[m] + " ";
  }
  return s;
}

// The activity table of record e (infolevel other than 1).
void ACTIVITYTABLE(int e) {
  const xprec& x = (*XPW)[e];
  std::string& w = IO::WSTR;
  w.clear();
  IO::ADDSTR(IO::INT2STR(e), 2, w);
  IO::ADDSTR(")  activities for " + listnames(x) + "for the given brackets  (" + x.ref + ")", 0, w);
  IO::PUTSTR(0, w, 1, LOG);
  w = "      P      T";
  for (int m = 1; m <= x.nem; ++m) IO::ADDSTR(x.emname[m], 10, w);
  IO::PUTSTR(0, w, 1, LOG);
  for (int k = 1; k <= x.nbr; ++k) {
    const brrec& b = x.br[k];
    w.clear();
    real(w, b.p, 7, 1);
    IO::ADDINT(std::nearbyint(b.t - 273.15L), 7, w);
    for (int m = 1; m <= x.nem; ++m) real(w, b.a[m], 10, 5);
    IO::PUTSTR(0, w, 1, LOG);
  }
}

// Activities of the solution-phase entries of an explicit reaction at each
// bracket, from the compositions the bracket lines give.
void EXPLICITACTIVITIES(int e) {
  xprec& x = (*XPW)[e];
  for (int k = 1; k <= x.nbr; ++k) {
    brrec& b = x.br[k];
    int c = 0;
    for (int m = 1; m <= x.nem; ++m) {
      if (x.acode[m] != acodefirstss) continue;
      const smallint ph = x.ssidx[m];
      const int nem = (*PREC1)[ph].nem;
      eqvector v{}, a{};
      for (int j = 1; j <= nem - 1; ++j) v[j] = b.xyz[c + j];
      c += nem - 1;
      OCALCA(ph, v, b.p, b.t, a);
      for (int j = 0; j < nem && m + j <= x.nem; ++j) b.a[m + j] = a[j + 1];
    }
  }
}

// The listing of the system in the log (infolevel > 1); rowexp[r] is the
// experiment record of row r.
void LISTSYSTEM(smallint iter, const inexpvector& rowexp) {
  IO::PUTSTR(1, "LSQ input:", 1, LOG);
  IO::PUTSTR(0, "simple calorimetry", 1, LOG);
  int r = 0;
  std::string& w = IO::WSTR;
  for (int j = 1; j <= NTOT; ++j) {
    const tdrec& t = (*TDA)[j];
    if (!(t.sdhorig < 99)) continue;
    ++r;
    w.clear();
    IO::ADDINT(r, 3, w);
    IO::ADDSTR(") ", 0, w);
    real(w, (*Y)[r], 10, 2);
    real(w, SDYBR[r], 8, 2);
    IO::ADDSTR(t.name, 6, w);
    if (iter > 1) {
      real(w, t.horig, 10, 2);
      real(w, t.sdhorig, 10, 2);
    }
    IO::PUTSTR(0, w, 1, LOG);
  }
  IO::PUTSTR(0, "", 1, LOG);

  // Oxide calorimetry: the rows follow the used entries in file order, so
  // each row is matched with its entry by counting the used ones (an entry
  // kept out of the fit has no row).
  IO::PUTSTR(1, "oxide calorimetry", 1, LOG);
  r = NEC;
  for (int m = 1; m <= NOXCAL; ++m) {
    const oxcalrec& e = (*OXCAL)[m];
    if (!e.used) continue;
    ++r;
    w.clear();
    IO::ADDINT(r, 3, w);
    IO::ADDSTR(") ", 0, w);
    real(w, (*Y)[r], 10, 2);
    real(w, SDYBR[r], 8, 2);
    for (int i = 1; i <= e.n; ++i) IO::ADDSTR(PHNAMES[e.em[i]], 6, w);
    IO::PUTSTR(0, w, 1, LOG);
  }
  IO::PUTSTR(0, "", 1, LOG);

  IO::PUTSTR(1, "experimental brackets", 1, LOG);
  for (r = NEO + 1; r <= NEXP; ++r) {
    const xprec& x = (*XPW)[rowexp[r]];
    if (!x.multi && CONTROLDS.infolevel <= 2) continue;
    w.clear();
    IO::ADDINT(r, 3, w);
    IO::ADDSTR(") ", 0, w);
    real(w, (*Y)[r], 10, 4);
    real(w, SDYBR[r], 10, 4);
    IO::ADDSTR("    ", 0, w);
    int width = 0;
    for (int side : {-1, 1}) {
      if (side == 1) {
        IO::ADDSTR("=  ", 0, w);
        width += 3;
      }
      for (int j = 1; j <= NTP; ++j) {
        const smallint c = (*LHS)(r, j);
        if (!(*B)(r, j) || c == 0 || (c > 0) != (side > 0)) continue;
        const std::string n = IO::TRIMSTRING(PHNAMES[j]);
        IO::ADDSTR(n + "  ", 0, w);
        width += static_cast<int>(n.size()) + 2;
      }
    }
    IO::ADDSTR("", static_cast<smallint>(std::max(1, 35 - width)), w);
    if (!x.multi)
      IO::ADDSTR("  (" + x.ref + ")", 0, w);
    else if (x.ireac == 1)
      IO::ADDSTR("  in:  " + listnames(x) + "  (" + x.ref + ")", 0, w);
    else
      IO::ADDSTR("        -- ditto --", 0, w);
    IO::PUTSTR(0, w, 1, LOG);
  }
  IO::PUTSTR(0, "", 1, LOG);
}

}  // namespace

void ASSEMBLY(smallint iter) {
  // 1. Direct calorimetry: the reader's rows stand in the first iteration;
  // later ones take the current H and sd(H) of the held end-members.
  if (iter > 1) {
    int r = 0;
    for (int j = 1; j <= NTP; ++j) {
      const tdrec& t = (*TDA)[j];
      if (!(t.sdhorig < 99)) continue;
      ++r;
      (*Y)[r] = t.h;
      SDYBR[r] = t.sdh;
    }
  }
  // 2. The experiment rows follow the calorimetry.
  FLUIDTYPE = ftype::ih2oco2;
  int r = NEO;
  inexpvector rowexp{};
  const int info = CONTROLDS.infolevel;
  for (int e = 1; e <= NEXPT - NEO; ++e) {
    xprec& x = (*XPW)[e];
    // a. The record's fluid and special end-members.
    GIXPW = static_cast<smallint>(e);
    FINDPOSI(x.emidx, x.nem);
    x.nofluid = H2OPOS == 0 && CO2POS == 0;
    MAKECDHYDROUS = x.hydrouscd;
    // b. Headers.
    if (info > 1) {
      if (e == 1) IO::PUTSTR(1, "ASSEMBLING experimental work", 1, LOG);
      if (x.multi && x.ireac == 1) {
        const std::string t = x.nreac == 1 ? "), involving next reaction:"
                                           : "), involving next " + IO::INT2STR(x.nreac) + " reactions:";
        IO::PUTSTR(1, "equilibrium  (" + x.ref + t, 1, LOG);
        for (int g = e; g < e + x.nreac; ++g) {
          xprec& xg = (*XPW)[g];
          xg.retext = MAKERELINE(xg.coef, xg.em, xg.n);
          IO::PUTSTR(0, "    " + IO::INT2STR(g) + ":  " + xg.retext, 1, LOG);
        }
        IO::PUTSTR(0, "", 1, LOG);
      }
    }
    // c. Activities: of a single reaction's solution-phase entries, or of a
    // group's phases (once, for its first record; the others share them).
    if (!x.multi) {
      EXPLICITACTIVITIES(e);
    } else if (x.ireac < 2) {
      FILLPREC(static_cast<smallint>(e));
      if (x.unknowncomps && (x.xyzguess || iter > 1)) CALCASS(static_cast<smallint>(e), 2, info > 2);
      for (int k = 1; k <= x.nbr; ++k) CALCA(static_cast<smallint>(e), static_cast<smallint>(k));
    }
    // d. The activity table.
    if (info != 1) ACTIVITYTABLE(e);
    // e. The bracket enthalpies, the interval and the row.
    if (x.nbr <= 0) continue;
    x.ch = 0;
    for (int j = 1; j <= x.n; ++j) x.ch += x.coef[j] * (*TDA)[x.em[j]].h;
    for (int k = 1; k <= x.nbr; ++k) {
      brrec& b = x.br[k];
      b.lna = 0;
      for (int j = 1; j <= x.n; ++j) {
        const extended a = b.a[x.apos[j]];
        if (!(a > 0))
          IO::ERROREXIT("assembly",
                        "activity of " + IO::TRIMSTRING(PHNAMES[x.em[j]]) + " is " + IO::REAL2STR(a, 5, true) +
                            " at bracket " + IO::INT2STR(k) + " of experiment " + IO::INT2STR(e) +
                            ": it must be positive",
                        faulttype::yourfault);
        b.lna += x.coef[j] * std::log(a);
      }
    }
    CALCHBR(static_cast<smallint>(e));
    CALCHLIMS(static_cast<smallint>(e));
    if (!x.used) continue;
    if (x.hcase == 0) {
      // Brackets on one side only give no interval: the experiment is left
      // out of the fit (and reported as not used).
      x.used = false;
      IO::PUTSTR(1,
                 "experiment " + IO::INT2STR(e) + ": " + MAKERELINE(x.coef, x.em, x.n) + "  (" +
                     IO::TRIMSTRING(x.ref) + "): all brackets on one side; left out of the fit",
                 1, 13);
      continue;
    }
    ++r;
    if (r > maxnexp) IO::ERROREXIT("readxy", "too many experiments (increase maxnexp)", faulttype::yourfault);
    extended tsum = 0;
    for (int k = 1; k <= x.nbr; ++k) tsum += x.br[k].t;
    TBAR[r] = static_cast<smallint>(std::nearbyint(tsum / x.nbr));
    const extended sd = x.wsum <= 0 ? 0.5L * x.factor * (x.hhigh - x.hlow) : x.factor / x.wsum;
    // A row weighs 1/sd: brackets that leave no uncertainty (a reaction
    // without entropy, volume or activity terms) cannot be fitted.
    if (!(sd > 0) || !std::isfinite(sd) || !std::isfinite(x.hlow + x.hhigh))
      IO::ERROREXIT("assembly",
                    "experiment " + IO::INT2STR(e) + " (" + MAKERELINE(x.coef, x.em, x.n) +
                        "): its brackets give the row the sd " + IO::REAL2STR(sd, 6, false) +
                        "; it must be positive",
                    faulttype::yourfault);
    x.sdrow = sd;
    for (int j = 1; j <= x.n; ++j) {
      (*B)(r, x.em[j]) = true;
      (*LHS)(r, x.em[j]) = x.coef[j];
    }
    (*Y)[r] = (x.hlow + x.hhigh) / 2;
    SDYBR[r] = sd;
    rowexp[r] = static_cast<smallint>(e);
    x.row = static_cast<smallint>(r - NEO);
  }
  NEXP = static_cast<smallint>(r);
  if (info > 1) LISTSYSTEM(iter, rowexp);
}

// ---------------------------------------------------------------------------
// DOLSQDS

void DOLSQDS() {
  // 1. The run's settings.
  DSMODE = 3;
  USESP = true;
  FROMLSQDS = true;

  // 2. Options still open are asked once.
  IO::PROMPTCONTROL("QR or Choleski to do LSQ: use QR", CONTROLDS.useqr);
  IO::PROMPTCONTROL("bullet \"pathological\" experiments", CONTROLDS.mark456);
  IO::PROMPTCONTROL("print omitted experiments", CONTROLDS.printomit);
  IO::PROMPTCONTROL("use \"rfac\"", CONTROLDS.userfac);
  if (CONTROLDS.userfac == controlboolean::yes)
    IO::PROMPTCONTROL("effectively fix \"good\" equilibria", CONTROLDS.tighten);

  // 3.-5. Script, inputs.
  KPSCRIPT::READCONTROLTC();
  WITHDS4X = true;
  IO::CONTROLIO.checkaxnames = false;
  READXY();

  // 6.-7. Number of iterations, clamped to 1..10.
  IO::PUTSTR(0, std::string(47, '+'), 2, 8);
  smallint n = 1;
  IO::PROMPTINTEGER("number of iterations ", n);
  if (n < 1) n = 1;
  if (n > 10) n = 10;

  // 8. Iterations: assemble, solve, update.
  for (smallint it = 1; it <= n; ++it) {
    ASSEMBLY(it);
    if (CONTROLDS.useqr == controlboolean::yes)
      QR();
    else
      CHOLESKI();
    std::string& w = IO::WSTR;
    w.clear();
    IO::ADDINT(it, 0, w);
    IO::ADDSTR(": ", 0, w);
    IO::ADDREAL(std::sqrt(SIG2), 0, true, 3, w);
    IO::PUTSTR(it == 1 ? 1 : 0, w, 1, 13);
    const bool last = it == n;
    for (int j = 1; j <= NTP; ++j) {
      tdrec& t = (*TDA)[j];
      t.hprev = t.h;
      t.sdhprev = t.sdh;
      // Between iterations only the free end-members move; the last
      // iteration adopts every fitted value.
      t.h = (last || !(t.sdhorig < 99)) ? (*THETA)[j] : t.horig;
      if (last)
        t.sdh = std::sqrt((*XX)(j, j) * COVSCALE());
      else if (t.sdhorig < 0.0001L)
        t.sdh = 0.0001L;
      else if (t.sdhorig < 99)
        t.sdh = t.sdhorig;
      else
        t.sdh = std::sqrt((*XX)(j, j));
    }
  }

  // 9. Write-back for a further run, then the report and the refitted dataset.
  WRITEEMDATA();
  OUTXY();
}

}  // namespace LSQDS

// The equilibrium equations: residuals of the independent reactions and of
// the projected bulk composition, and their analytic Jacobian by the chain
// rule through the activity derivatives and the phase-composition
// derivatives; with the finite-difference checks and prints of high debug
// levels.
#include "solver/kpcalc2_equations.h"

#include <cmath>
#include <memory>

#include "frame/io.h"
#include "models/kpcalc1_reactions.h"
#include "models/kpute1_models.h"
#include "solver/kpcalc2.h"

namespace KPCALC2 {

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;  // kJ/K/mol

using compmatrix = Mat<extended, eqmax, compmax>;

// The working data of one evaluation; the large derivative table is kept
// from call to call so that no evaluation allocates.
class equations {
 public:
  explicit equations(const eqvector& x) : x_(x) {}
  bool run(eqmatrix& jac, eqvector& f);

  // Nested routines.
  bool CHECKSF();
  void CALCP();
  void FDCHECK1();
  void FDCHECK2();
  void DEBUGPRINT1();
  void DEBUGPRINT2(const eqmatrix& jac, const eqvector& f);

 private:
  void rangereport();
  [[noreturn]] void nonsquare(int ncol, int nfreemodes, const eqmatrix& jac, const eqvector& f);

  eqvector x_, xs;
  extended P = 0, T = 0;
  emvector dp, dt;
  compmatrix comp;
};

dRTlnadxtype& dxtable() {
  static const std::unique_ptr<dRTlnadxtype> table = std::make_unique<dRTlnadxtype>();
  return *table;
}

// Number of end-members of the solution-phase block that starts at i.
int blocksize(int i) { return (*PREC1)[EM2SS[i]].nem; }

bool equations::CHECKSF() {
  bool ok = true;
  for (int i = 1; i <= NCV; ++i) {
    if (!STARTSS[i]) continue;
    const ptype1& ph = (*PREC1)[EM2SS[i]];
    const int e = EM2X[i];
    Arr<extended, maxnsf> sf;
    bool bad = false;
    for (int m = 1; m <= ph.nsf; ++m) {
      sf[m] = KPUTE1::SUBSTERM(ph.sfterm[m], xs, static_cast<smallint>(e));
      if (sf[m] <= 0) bad = true;
    }
    if (!bad) continue;
    ok = false;
    if (DOINGMC || (DOGMIN && DOGLEVEL < 2)) continue;
    std::string& w = IO::WSTR;
    w = std::string(6, ' ');
    for (int v = 3; v <= NX; ++v) IO::ADDSTR(XNAME[v], 12, w);
    IO::PUTSTR(1, w, 1, 13);
    w = "x =  ";
    for (int v = 3; v <= NX; ++v) IO::ADDREAL(xs[v], 12, true, 5, w);
    IO::PUTSTR(0, w, 1, 13);
    w = std::string(5, ' ');
    for (int m = 1; m <= ph.nsf; ++m) IO::ADDSTR(ph.sfname[m], 12, w);
    IO::PUTSTR(1, w, 1, 13);
    w = "sf = ";
    for (int m = 1; m <= ph.nsf; ++m) IO::ADDREAL(sf[m], 12, true, 6, w);
    IO::PUTSTR(0, w, 1, 13);
    if (DOGMIN) {
      IO::PUTSTR(1, "checksf, negative sf term - change starting guesses", 1, 13);
    } else {
      IO::PUTSTR(0, "sorry - try changing starting guesses!", 1, 13);
      IO::ERROREXIT("calcsf", "negative sf term", faulttype::yourfault);
    }
  }
  if (!ok) *IO::SCREEN << "*";
  return ok;
}

void equations::CALCP() {
  // Phase compositions per atom in the bulk components, and for solution
  // phases their derivatives by the phase's variables.
  for (int m = 1; m <= NXP; ++m) {
    if (m <= NXPSS) {
      const ptype1& ph = (*PREC1)[MP2SS[m]];
      const int e = MP2X[m];
      Arr<extended, phemmax> p;
      Mat<extended, phemmax, phemmax> dpdv;
      extended N = 0;
      for (int j = 1; j <= ph.nem; ++j) {
        p[j] = KPUTE1::SUBSTERM(ph.pterm[j], xs, static_cast<smallint>(e));
        N += ph.em[j].natom * p[j];
        for (int k = 1; k <= ph.nvars; ++k)
          dpdv(j, k) = SUBSDIFFTERM(ph.pterm[j], static_cast<smallint>(k), xs, static_cast<smallint>(e));
      }
      int q = 0;
      for (int c = 1; c <= NUV; ++c) {
        if (!BCOMPS[c]) continue;
        ++q;
        extended s = 0;
        for (int j = 1; j <= ph.nem; ++j)
          s += p[j] * static_cast<extended>(static_cast<double>(ph.em[j].comp[c]) / static_cast<double>(COMPDIV[c]));
        comp(m, q) = s / N;
      }
      for (int k = 1; k <= ph.nvars; ++k) {
        extended dn = 0;
        for (int j = 1; j <= ph.nem; ++j) dn += ph.em[j].natom * dpdv(j, k);
        int qq = 0;
        for (int c = 1; c <= NUV; ++c) {
          if (!BCOMPS[c]) continue;
          ++qq;
          extended s = 0;
          for (int j = 1; j <= ph.nem; ++j)
            s += static_cast<extended>(static_cast<double>(ph.em[j].comp[c]) / static_cast<double>(COMPDIV[c])) *
                 dpdv(j, k);
          (*DCOMPDX)[m](qq, k) = (s - comp(m, qq) * dn) / N;
        }
      }
    } else {
      const ptype0& ph = (*PREC0)[MP2SS[m]];
      int q = 0;
      for (int c = 1; c <= NUV; ++c) {
        if (!BCOMPS[c]) continue;
        ++q;
        comp(m, q) = static_cast<extended>(static_cast<double>(ph.comp[c]) / static_cast<double>(COMPDIV[c])) /
                     ph.formsize;
      }
    }
  }
}

void equations::rangereport() {
  std::string& w = IO::WSTR;
  IO::PUTSTR(2, "FAILED in nlefunc, at which stage x was:", 1, 13);
  w.clear();
  for (int i = 1; i <= NX + NXP; ++i) IO::ADDSTR(XNAME[i], 10, w);
  IO::PUTSTR(0, w, 1, 13);
  w.clear();
  IO::ADDREAL(xs[1], 10, true, 2, w);
  IO::ADDREAL(xs[2] - 273.15L, 10, true, 1, w);
  for (int i = 3; i <= NX + NXP; ++i) IO::ADDREAL(xs[i], 10, false, 4, w);
  IO::PUTSTR(0, w, 1, 13);
}

void equations::nonsquare(int ncol, int nfreemodes, const eqmatrix& jac, const eqvector& f) {
  std::ostream& out = *IO::SCREEN;
  std::string line = "row ";
  IO::ADDINT(JROW, 0, line);
  line += " (";
  IO::ADDINT(NR, 3, line);
  IO::ADDINT(MODESBYNLE ? NUVLEFT : 0, 3, line);
  IO::ADDINT(MODESBYNLE ? RANKDEFICIT : 0, 3, line);
  line += ")";
  out << "\n" << line << "\n";
  line = "col ";
  IO::ADDINT(JCOL, 0, line);
  line += " (";
  IO::ADDINT(ncol, 3, line);
  IO::ADDINT(nfreemodes, 3, line);
  line += ")";
  out << line << "\n\n";
  DEBUGLEVEL = 4;
  DEBUGPRINT2(jac, f);
  IO::ERROREXIT("nlefunc", "non-square jacobian", faulttype::myfault);
}

bool equations::run(eqmatrix& jac, eqvector& f) {
  // 1. Range test on the scaled free unknowns: an inaccessible bound must
  // not be reached, an accessible one may be.
  bool ok = true;
  for (int i = 1; i <= NX + NXP && ok; ++i) {
    if (!BX[i]) continue;
    ok = INACC1[i] == acctype::inaccessible ? x_[i] > 0 : x_[i] >= 0;
    if (ok) ok = INACC2[i] == acctype::inaccessible ? x_[i] < 1 : x_[i] <= 1;
  }
  // 2. Plain values.
  xs = x_;
  for (int i = 1; i <= NX + NXP; ++i)
    if (BX[i]) xs[i] = (x_[i] - XFACB[i]) / XFACA[i];
  P = xs[1];
  T = xs[2];
  if (!ok) {
    rangereport();
    return false;
  }

  // 4, 5. Site fractions, then the activities with their derivatives.
  dRTlnadxtype& dx = dxtable();
  dp.fill(0);
  dt.fill(0);
  dx.fill(0);
  ok = CHECKSF();
  if (!ok) *IO::SCREEN << "** NOT OK\n";
  if (ok) {
    CALCA(xs, true, true, dp, dt, dx, P, T);
    if (DEBUGLEVEL > 3) FDCHECK1();
    if (DEBUGLEVEL == 4) DEBUGPRINT1();
    for (int i = 1; i <= NCV && ok; ++i) ok = ACTIVITY[i] > 0;
  }
  if (!ok) {
    DEBUGPRINT2(jac, f);
    return false;
  }

  // 6. The fluid composition of aqueous phases, read by the end-members'
  // Gibbs energies.
  jac.fill(0);
  JACOBIANG.fill(0);
  for (int i = 1; i <= NCV; ++i) {
    if (!STARTSS[i]) continue;
    const ptype1& ph = (*PREC1)[EM2SS[i]];
    const smallint e = EM2X[i];
    extended xc = 0, xh = 0;
    if (ph.isaq && !ph.isfluid) {
      if (ph.ico2 > 0) xc = KPUTE1::SUBSTERM(ph.pterm[ph.ico2], xs, e);
      if (ph.ih2o > 0) xh = KPUTE1::SUBSTERM(ph.pterm[ph.ih2o], xs, e);
    }
    for (int k = i; k <= i + blocksize(i) - 1; ++k) {
      (*TD)[k].xco2 = xc;
      (*TD)[k].xh2o = xh;
    }
  }

  // 7. Reaction rows: (dG0 + RT ln K) / RNSITE and their derivatives by the
  // free P, T and compositional unknowns.
  int ncol = 0;
  for (int r = 1; r <= NR; ++r) {
    ALNK[r] = 0;
    extended G0 = 0, GP = 0, GT = 0;
    KPCALC1::CALCDG0(static_cast<smallint>(r), GP, GT, G0, P, T);
    extended lnk = 0;
    for (int j = 1; j <= NCV; ++j)
      if ((*R)(r, j) != 0) lnk += (*R)(r, j) * std::log(ACTIVITY[j]);
    const extended rn = RNSITE[r];
    f[r] = (RGAS * T * lnk + G0) / rn;
    ALNK[r] = lnk;
    int col = 0;
    auto put = [&](int v, extended s) {
      ++col;
      JACOBIANG(r, col) = s;
      jac(r, col) = s / (rn * XFACA[v]);
    };
    if (BX[1]) {
      extended s = GP;
      for (int j = 1; j <= NCV; ++j)
        if ((*R)(r, j) != 0) s += (*R)(r, j) * dp[j];
      put(1, s);
    }
    if (BX[2]) {
      extended s = GT;
      for (int j = 1; j <= NCV; ++j)
        if ((*R)(r, j) != 0) s += (*R)(r, j) * dt[j];
      put(2, s);
    }
    for (int v = 3; v <= NX; ++v) {
      if (!BX[v]) continue;
      extended s = 0;
      for (int j = 1; j <= NCV; ++j)
        if ((*R)(r, j) != 0) s += (*R)(r, j) * dx(j, v);
      put(v, s);
    }
    ncol = col;
  }
  if (NR == 0)
    for (int v = 1; v <= NX; ++v)
      if (BX[v]) ++ncol;

  int nfreemodes = 0;
  for (int m = 1; m <= NXP; ++m)
    if (BX[NX + m]) ++nfreemodes;

  if (!MODESBYNLE) {
    // 8. The reactions alone must match the free unknowns in number.
    JROW = NR;
    JCOL = static_cast<smallint>(ncol);
    if (JROW != JCOL) nonsquare(ncol, 0, jac, f);
    JROW = JCOL = static_cast<smallint>(ncol);
    DEBUGPRINT2(jac, f);
    return true;
  }

  // 9. Bulk rows: M sum_m y_m B_q(m) - the projected bulk composition.
  CALCP();
  if (DEBUGLEVEL > 3) FDCHECK2();
  Arr<extended, eqmax> y;
  extended M = 0;
  for (int m = 1; m <= NXP; ++m) {
    y[m] = xs[NX + m];
    M += y[m];
  }
  Mat<extended, compmax, eqmax> B;  // B(q, m)
  for (int q = 1; q <= NUVLEFT; ++q)
    for (int m = 1; m <= NXP; ++m) {
      extended s = 0;
      for (int c = 1; c <= NUVLEFT; ++c)
        if (PROJC(q, c) != 0) s += PROJC(q, c) * comp(m, c);
      B(q, m) = s;
    }
  const int nbulk = NUVLEFT - RANKDEFICIT;
  for (int q = 1; q <= NUVLEFT; ++q) {
    extended s = 0;
    for (int m = 1; m <= NXP; ++m) s += y[m] * B(q, m);
    s *= M;
    for (int c = 1; c <= NUVLEFT; ++c)
      if (PROJC(q, c) != 0) s -= PROJC(q, c) * COMPK[c];
    if (q <= nbulk) {
      f[NR + q] = s;
    } else if (std::fabs(s) >= 1e-05L) {
      // The rank-deficient rows are no equations but must vanish.
      if (!DOGMIN || DOGLEVEL >= 2) {
        std::string line = "residual (";
        IO::ADDSTR(IO::FLOATSTR(s, 6), 12, line);
        *IO::SCREEN << line << ") should be zero in rank-deficient case\n";
      }
      if (!DOGMIN) IO::ERROREXIT("nlefunc", "residuals not in reduced system", faulttype::yourfault);
      if (DOGLEVEL >= 2) {
        *IO::SCREEN << "residuals not in reduced system - shouldn't have happened?\n";
        ok = false;
      }
    }
  }

  // 10. Bulk-row Jacobian. Columns of the compositional unknowns are those
  // of the reaction rows; the free modes follow.
  Arr<int, eqmax> colof;
  {
    int col = 0;
    for (int v = 1; v <= NX; ++v) colof[v] = BX[v] ? ++col : 0;
  }
  extended sumyb = 0;
  for (int q = 1; q <= nbulk; ++q) {
    const int row = NR + q;
    for (int m = 1; m <= NXPSS; ++m) {
      const ptype1& ph = (*PREC1)[MP2SS[m]];
      const int e = MP2X[m];
      for (int k = 1; k <= ph.nvars; ++k) {
        const int v = e + k - 1;
        if (ph.xyz[k].isoset || !BX[v]) continue;
        extended s = 0;
        for (int c = 1; c <= NUVLEFT; ++c)
          if (PROJC(q, c) != 0) s += PROJC(q, c) * (*DCOMPDX)[m](c, k);
        const extended val = M * y[m] * s / XFACA[v];
        jac(row, colof[v]) = val;
        JACOBIANG(row, colof[v]) = val;
      }
    }
    sumyb = 0;
    for (int m = 1; m <= NXP; ++m) sumyb += y[m] * B(q, m);
    int col = ncol;
    for (int m = 1; m <= NXP; ++m) {
      if (!BX[NX + m]) continue;
      // d/dy_m of M sum y B = M B(m) + sum y B, per scaled unit of y_m.
      const extended val = (M * B(q, m) + sumyb) / XFACA[NX + m];
      ++col;
      jac(row, col) = val;
      JACOBIANG(row, col) = val;
    }
  }

  // 11. Square?
  JROW = static_cast<smallint>(NR + nbulk);
  JCOL = static_cast<smallint>(ncol + nfreemodes);
  if (JROW != JCOL) nonsquare(ncol, nfreemodes, jac, f);
  DEBUGPRINT2(jac, f);
  return ok;
}

// ---------------------------------------------------------------------------
// Debug checks and prints.

void equations::FDCHECK1() {
  std::string& w = IO::WSTR;
  auto header = [&](const std::string& label) {
    w = label;
    for (int i = 1; i <= NCV; ++i) IO::ADDSTR(NAME[i], 10, w);
    IO::PUTSTR(0, w, 1, 13);
  };
  auto label = [](int v) { return v == 1 ? "dP " : v == 2 ? "dT " : v == 3 ? "dx " : "   "; };
  const dRTlnadxtype& dx = dxtable();
  auto analytic = [&](int v, int i) { return v == 1 ? dp[i] : v == 2 ? dt[i] : dx(i, v); };
  IO::PUTSTR(0, "", 1, 13);
  header("   ");
  for (int v = 1; v <= NX; ++v) {
    w = label(v);
    for (int i = 1; i <= NCV; ++i) IO::ADDREAL(analytic(v, i), 10, false, 4, w);
    IO::PUTSTR(0, w, 1, 13);
  }
  IO::PUTSTR(0, "", 1, 13);
  const eqvector x0 = xs;
  const emvector a0 = ACTIVITY;
  const extended P0 = P, T0 = T;
  auto estimates = [&](int v, emvector& d) {
    xs = x0;
    const extended h = v == 1 ? 0.001L : v == 2 ? 0.01L : 1e-07L;
    xs[v] += h;
    P = xs[1];
    T = xs[2];
    emvector d1, d2;
    CALCA(xs, false, false, d1, d2, dxtable(), P, T);
    for (int i = 1; i <= NCV; ++i) {
      d[i] = (ACTIVITY[i] / a0[i] - 1) * RGAS * T / h;
      if (v == 2) {
        if (a0[i] <= 0) IO::ERROREXIT("fdcheck1", "ln<=0", faulttype::myfault);
        d[i] += RGAS * std::log(a0[i]);
      }
    }
  };
  // The perturbed activities must not overwrite the analytical derivatives:
  // CALCA without derivatives leaves the tables alone.
  header("fd ");
  for (int v = 1; v <= NX; ++v) {
    emvector d;
    estimates(v, d);
    w = label(v);
    for (int i = 1; i <= NCV; ++i) IO::ADDREAL(d[i], 10, false, 4, w);
    IO::PUTSTR(0, w, 1, 13);
  }
  IO::PUTSTR(0, "", 1, 13);
  IO::PUTSTR(0, "difference with fd ", 1, 13);
  header("   ");
  for (int v = 1; v <= NX; ++v) {
    emvector d;
    estimates(v, d);
    w = label(v);
    for (int i = 1; i <= NCV; ++i) {
      const extended a = analytic(v, i);
      if (std::fabs(a) < 1e-08L)
        IO::ADDSTR("-", 10, w);
      else
        IO::ADDREAL(1 - d[i] / a, 10, false, 4, w);
    }
    IO::PUTSTR(0, w, 1, 13);
  }
  xs = x0;
  P = P0;
  T = T0;
  ACTIVITY = a0;
}

void equations::FDCHECK2() {
  std::string& w = IO::WSTR;
  auto header = [&]() {
    w = std::string(7, ' ');
    for (int c = 1; c <= NUV; ++c)
      if (BCOMPS[c]) IO::ADDSTR(COMPNAME[c], 9, w);
    IO::PUTSTR(0, w, 1, 13);
  };
  auto phasename = [](int m) { return m <= NXPSS ? (*PREC1)[MP2SS[m]].name : (*PREC0)[MP2SS[m]].name; };
  IO::PUTSTR(1, "compcalc", 1, 13);
  header();
  for (int m = 1; m <= NXP; ++m) {
    w.clear();
    IO::ADDSTR(phasename(m), 7, w);
    for (int q = 1; q <= NUVLEFT; ++q) IO::ADDREAL(comp(m, q), 9, false, 3, w);
    IO::PUTSTR(0, w, 1, 13);
  }
  // The finite differences, per solution phase and variable.
  Arr<Mat<extended, compmax, phemmax>, solphmax> fd;
  const eqvector x0 = xs;
  const compmatrix c0 = comp;
  const auto saved = std::make_unique<dcompdxtype>(*DCOMPDX);
  for (int m = 1; m <= NXPSS; ++m) {
    const ptype1& ph = (*PREC1)[MP2SS[m]];
    for (int k = 1; k <= ph.nvars; ++k) {
      xs = x0;
      xs[MP2X[m] + k - 1] += 1e-05L;
      CALCP();
      for (int q = 1; q <= NUVLEFT; ++q) fd[m](q, k) = (comp(m, q) - c0(m, q)) / 1e-05L;
    }
  }
  xs = x0;
  comp = c0;
  *DCOMPDX = *saved;
  auto block = [&](const char* title, auto entry) {
    IO::PUTSTR(1, title, 1, 13);
    header();
    for (int m = 1; m <= NXPSS; ++m) {
      const ptype1& ph = (*PREC1)[MP2SS[m]];
      for (int k = 1; k <= ph.nvars; ++k) {
        w.clear();
        IO::ADDSTR(k == 1 ? ph.name : "", 7, w);
        for (int q = 1; q <= NUVLEFT; ++q) entry(m, q, k);
        IO::PUTSTR(0, w, 1, 13);
      }
    }
  };
  block("dcompdx", [&](int m, int q, int k) { IO::ADDREAL((*DCOMPDX)[m](q, k), 9, false, 3, w); });
  block("fd", [&](int m, int q, int k) { IO::ADDREAL(fd[m](q, k), 9, false, 3, w); });
  block("difference with fd", [&](int m, int q, int k) {
    const extended a = (*DCOMPDX)[m](q, k);
    if (std::fabs(a) < 1e-08L)
      IO::ADDSTR("-", 9, w);
    else
      IO::ADDREAL(1 - fd[m](q, k) / a, 9, false, 3, w);
  });
  w = "projc  (rankdeficit = ";
  IO::ADDINT(RANKDEFICIT, 0, w);
  w += ")";
  IO::PUTSTR(1, w, 1, 13);
  w.clear();
  for (int c = 1; c <= NUV; ++c)
    if (BCOMPS[c]) IO::ADDSTR(COMPNAME[c], 7, w);
  IO::PUTSTR(0, w, 1, 13);
  for (int q = 1; q <= NUVLEFT; ++q) {
    w.clear();
    for (int c = 1; c <= NUVLEFT; ++c) IO::ADDINT(PROJC(q, c), 7, w);
    IO::PUTSTR(0, w, 1, 13);
  }
}

void equations::DEBUGPRINT1() {
  std::string& w = IO::WSTR;
  w = "a";
  for (int i = 1; i <= NCV; ++i) IO::ADDSTR(NAME[i], 10, w);
  IO::PUTSTR(1, w, 1, 13);
  w = " ";
  for (int i = 1; i <= NCV; ++i) IO::ADDREAL(ACTIVITY[i], 10, false, 4, w);
  IO::PUTSTR(0, w, 2, 13);
  w = "ln k";
  for (int r = 1; r <= NR; ++r) IO::ADDREAL(ALNK[r], 10, true, 4, w);
  IO::PUTSTR(0, w, 1, 13);
}

void equations::DEBUGPRINT2(const eqmatrix& jac, const eqvector& f) {
  if (DEBUGLEVEL != 4) return;
  std::string& w = IO::WSTR;
  w = "x ";
  IO::ADDSTR(XNAME[1], 8, w);
  IO::ADDSTR(XNAME[2], 8, w);
  for (int v = 3; v <= NX; ++v) IO::ADDSTR(XNAME[v], 12, w);
  IO::PUTSTR(1, w, 1, 13);
  w = "  ";
  IO::ADDREAL(P, 8, true, 3, w);
  IO::ADDREAL(T - 273.15L, 8, true, 2, w);
  for (int v = 3; v <= NX; ++v) IO::ADDREAL(xs[v], 12, false, 6, w);
  IO::PUTSTR(0, w, 1, 13);
  if (NXP > 0) {
    w = "  ";
    for (int i = NX + 1; i <= NX + NXP; ++i) IO::ADDSTR(XNAME[i], 12, w);
    IO::PUTSTR(1, w, 1, 13);
    w = "  ";
    for (int i = NX + 1; i <= NX + NXP; ++i) IO::ADDREAL(xs[i], 12, false, 6, w);
    IO::PUTSTR(0, w, 1, 13);
  }
  w = "e ";
  for (int r = 1; r <= NR; ++r) IO::ADDINT(r, 10, w);
  IO::PUTSTR(1, w, 1, 13);
  w = "  ";
  for (int r = 1; r <= NR; ++r) IO::ADDREAL(RNSITE[r] * f[r], 10, false, 4, w);
  IO::PUTSTR(0, w, 1, 13);
  if (NXP > 0) {
    w = "  ";
    for (int c = 1; c <= NUV; ++c)
      if (BCOMPS[c]) IO::ADDSTR(COMPNAME[c], 10, w);
    IO::PUTSTR(0, w, 1, 13);
    w = "  ";
    for (int q = NR + 1; q <= JROW; ++q) IO::ADDREAL(f[q], 10, false, 4, w);
    IO::PUTSTR(0, w, 1, 13);
  }
  extended ff = 0;
  for (int r = 1; r <= JROW; ++r) ff += f[r] * f[r];
  w = "f ";
  IO::ADDREAL(0.5L * ff, 10, false, 4, w);
  IO::PUTSTR(1, w, 2, 13);
  w = std::string(12, ' ');
  for (int i = 1; i <= NX + NXP; ++i)
    if (BX[i]) IO::ADDSTR(XNAME[i], 10, w);
  IO::PUTSTR(0, w, 1, 13);
  for (int q = 1; q <= JROW; ++q) {
    w.clear();
    IO::ADDSTR(q == 1 ? "jac" : "", -5, w);
    if (q <= NR) {
      IO::ADDINT(RNSITE[q], 7, w);
    } else {
      int c = 0, k = 0;
      while (k < q - NR && c < NUV)
        if (BCOMPS[++c]) ++k;
      IO::ADDSTR(COMPNAME[c], 7, w);
    }
    for (int k = 1; k <= JCOL; ++k) IO::ADDREAL(jac(q, k), 10, false, 4, w);
    IO::PUTSTR(0, w, 1, 13);
  }
  IO::PUTSTR(0, "", 1, 13);
}

}  // namespace

bool NLEFUNC(eqvector x, eqmatrix& jac, eqvector& f) {
  equations eq(x);
  return eq.run(jac, f);
}

}  // namespace KPCALC2

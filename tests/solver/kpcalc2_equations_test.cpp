// The equilibrium equations on the example dataset, solved by the solver:
// the kyanite = sillimanite boundary against a bisection root, an ideal and a
// symmetric binary against a pure phase (closed form and bisection), the
// analytic Jacobian against central differences (ideal, symmetric, van
// Laar, fluid and mass-balance rows), and the faults the equations catch.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "models/kpcalc1_reactions.h"
#include "models/kpread2.h"
#include "solver/kpcalc2_equations.h"
#include "solver/kpmath2.h"
#include "solver/kpre_independent.h"
#include "solver_support.h"

namespace {

using namespace KPGLOBAL;

constexpr extended RGAS = 0.0083144L;

// A binary Al2SiO5-SiO2 solution with one variable x = x(q).
std::string binary(const std::string& mixing) {
  return "ss 2 1\n"
         "verbatim\nbinary: sillimanite and quartz\nverbatim\n"
         "x(ss) 0.3\n"
         "p(sill) 1 1 1 1 -1 x\n"
         "p(q)    1 1 0 1  1 x\n" +
         mixing +
         "2\n"
         "xAl 1 1 1 1 -1 x\n"
         "xSi 1 1 0 1  1 x\n"
         "sill 1 1 xAl 1 check 0\n"
         "q    1 1 xSi 1 check 1\n\n";
}
const std::string IDEAL = "ideal\n";
const std::string SYMMETRIC = "sf\nW(sill,q) 5 0 0\n";
const std::string VANLAAR = "asf\nW(sill,q) 5 0.01 0.02\na(sill) 1 0 0\na(q) 2.5 0 0\n";
const std::string FLUID =
    "fluid 2 1\nverbatim\nfluid: H2O-CO2\nverbatim\nx(fluid) 0.3\np(H2O) 1 1 1 1 -1 x\np(CO2) 1 1 0 1  1 x\nsf\nW(H2O,CO2) 0 0 0\n2\n"
    "xH2O 1 1 1 1 -1 x\nxCO2 1 1 0 1  1 x\nH2O 1 1 xH2O 1 check 0\nCO2 1 1 xCO2 1 check 1\n\n";

class Equations : public solvertest::SolverTest {
 protected:
  // The dataset end-members in system order (solution-phase blocks first),
  // the a-x text of the solution phases and pure phases, and the reactions.
  void system(const std::vector<std::string>& names, const std::string& ax) {
    readdataset(names);
    CALCMODE = calcmodetype::nlecalc;
    KPREAD2::RESETPHASES();
    IO::DATA.opentext(ax + "*\n", "vt-test.txt");
    IO::DATAOPEN = true;
    const IO::RunEnded end = vtest::endof([] {
      KPREAD2::SetupPhases r;
      r.starttokens();
      r.readphases();
      r.setupafterreading();
    });
    ASSERT_EQ(end.message, "") << screen.str();
    // P, T, then the variables of each solution phase in order.
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
    // P over 0.001..40 kbar, T over 400..1200 K, both fixed to start with.
    XNAME[1] = "P(kbar)";
    XNAME[2] = "T(C)";
    XFACA[1] = 1 / (40 - 0.001L);
    XFACB[1] = -0.001L * XFACA[1];
    XFACA[2] = 1 / 800.0L;
    XFACB[2] = -400 * XFACA[2];
    TYPX[1] = TYPX[2] = 1e-4L;
    INACC1[1] = INACC2[1] = INACC1[2] = INACC2[2] = acctype::windowlimit;
    bool ok = false;
    KPRE::CALCRE2(ok);
    ASSERT_TRUE(ok);
  }
  // Fixes P and T (plain values in X), or frees them (scaled).
  void setpt(extended P, extended T, bool pfree, bool tfree) {
    BX[1] = pfree;
    BX[2] = tfree;
    X[1] = pfree ? XFACA[1] * P + XFACB[1] : P;
    X[2] = tfree ? XFACA[2] * T + XFACB[2] : T;
  }
  extended plain(int i) const { return BX[i] ? (X[i] - XFACB[i]) / XFACA[i] : X[i]; }
  extended G(const std::string& name, extended P, extended T) {
    for (int k = 1; k <= NCV; ++k)
      if (NAME[k] == name) {
        extended g = 0;
        KPCALC1::GEMDRIVER(static_cast<smallint>(k), g, P, T);
        return g;
      }
    ADD_FAILURE() << name;
    return 0;
  }
  static extended bisect(const std::function<extended(extended)>& h, extended a, extended b) {
    extended ha = h(a);
    for (int i = 0; i < 200 && b - a > 1e-15L * std::fabs(b); ++i) {
      const extended m = 0.5L * (a + b), hm = h(m);
      if ((hm < 0) == (ha < 0)) {
        a = m;
        ha = hm;
      } else {
        b = m;
      }
    }
    return 0.5L * (a + b);
  }
  smallint solve(bool linesearch = true) {
    VOVUVUVED.linesearch = linesearch;
    KPMATH2::NLE s;
    smallint code = -1;
    s(code);
    return code;
  }
  // Every Jacobian entry against central differences in the scaled unknowns.
  void checkjacobian(extended step, extended tol, const std::string& what) {
    eqmatrix jac;
    eqvector f;
    ASSERT_TRUE(KPCALC2::NLEFUNC(X, jac, f)) << what;
    const int n = JROW;
    int col = 0;
    for (int i = 1; i <= NX + NXP; ++i) {
      if (!BX[i]) continue;
      ++col;
      eqvector up = X, dn = X;
      up[i] += step;
      dn[i] -= step;
      eqmatrix j2;
      eqvector fu, fd;
      ASSERT_TRUE(KPCALC2::NLEFUNC(up, j2, fu));
      ASSERT_TRUE(KPCALC2::NLEFUNC(dn, j2, fd));
      for (int r = 1; r <= n; ++r) {
        const extended c = (fu[r] - fd[r]) / (2 * step);
        EXPECT_NEAR(static_cast<double>(jac(r, col)), static_cast<double>(c),
                    static_cast<double>(tol * (1e-6L + std::fabs(c))))
            << what << " row " << r << " column " << XNAME[i];
      }
    }
    KPCALC2::NLEFUNC(X, jac, f);  // leave the state of the point itself
  }
};

TEST_F(Equations, KyaniteSillimaniteBoundaryMatchesBisection) {
  system({"ky", "sill"}, "ky\nsill\n");
  ASSERT_EQ(NR, 1);
  const extended T = 973.15L;
  const extended root = bisect([&](extended P) { return G("sill", P, T) - G("ky", P, T); }, 1, 30);
  for (bool ls : {true, false}) {
    setpt(5, T, true, false);
    EXPECT_EQ(solve(ls), 0) << ls;
    EXPECT_NEAR(static_cast<double>(plain(1)), static_cast<double>(root), 1e-6) << ls;
  }
  // The three aluminosilicates meet at one P and T: both reactions vanish.
  system({"ky", "sill", "and"}, "ky\nsill\nand\n");
  ASSERT_EQ(NR, 2);
  setpt(5, 900, true, true);
  EXPECT_EQ(solve(), 0);
  const extended P = plain(1), TT = plain(2);
  EXPECT_NEAR(static_cast<double>(G("sill", P, TT) - G("ky", P, TT)), 0, 1e-7);
  EXPECT_NEAR(static_cast<double>(G("and", P, TT) - G("ky", P, TT)), 0, 1e-7);
}

TEST_F(Equations, IdealBinaryAgainstPurePhaseHasTheClosedForm) {
  // sill in the solution with kyanite: G_sill + RT ln(1 - x) = G_ky, so
  // 1 - x = exp(-(G_sill - G_ky)/RT), kyanite being the stable polymorph.
  system({"sill", "q", "ky"}, binary(IDEAL) + "ky\n");
  ASSERT_EQ(NR, 1);
  const extended P = 12, T = 973.15L;
  const extended x = 1 - std::exp(-(G("sill", P, T) - G("ky", P, T)) / (RGAS * T));
  ASSERT_GT(x, 0.01L);
  for (bool ls : {true, false}) {
    setpt(P, T, false, false);
    X[3] = XFACA[3] * 0.3L + XFACB[3];
    EXPECT_EQ(solve(ls), 0);
    EXPECT_NEAR(static_cast<double>(plain(3)), static_cast<double>(x), 1e-8) << ls;
  }
}

TEST_F(Equations, SymmetricBinaryMatchesBisection) {
  system({"sill", "q", "ky"}, binary(SYMMETRIC) + "ky\n");
  const extended P = 12, T = 973.15L, W = 5;
  const extended dg = G("sill", P, T) - G("ky", P, T);
  const extended x = bisect(
      [&](extended v) { return dg + RGAS * T * std::log(1 - v) + W * v * v; }, 0, 1 - 1e-12L);
  for (bool ls : {true, false}) {
    setpt(P, T, false, false);
    X[3] = XFACA[3] * 0.3L + XFACB[3];
    EXPECT_EQ(solve(ls), 0);
    EXPECT_NEAR(static_cast<double>(plain(3)), static_cast<double>(x), 1e-8) << ls;
  }
  // The residual is (dG0 + RT ln K) / RNSITE and ALNK keeps ln K.
  eqmatrix jac;
  eqvector f;
  ASSERT_TRUE(KPCALC2::NLEFUNC(X, jac, f));
  EXPECT_NEAR(static_cast<double>(ALNK[1]), static_cast<double>((*R)(1, 1) * (std::log(1 - plain(3)) + W * plain(3) * plain(3) / (RGAS * T))), 1e-12);
}

TEST_F(Equations, JacobianMatchesCentralDifferences) {
  // One reaction, so one free unknown at a time: x, P or T. The P and T
  // columns rest on the forward-difference dG0/dP and dG0/dT of the reaction
  // energies, good to about 1e-6 relative.
  struct model {
    std::vector<std::string> names;
    std::string ax, what;
  };
  const std::vector<model> models = {
      {{"sill", "q", "ky"}, binary(IDEAL) + "ky\n", "ideal"},
      {{"sill", "q", "ky"}, binary(SYMMETRIC) + "ky\n", "symmetric"},
      {{"sill", "q", "ky"}, binary(VANLAAR) + "ky\n", "van Laar"},
      {{"H2O", "CO2", "br", "per"}, FLUID + "br\nper\n", "fluid"},
  };
  for (const model& m : models) {
    system(m.names, m.ax);
    ASSERT_EQ(NR, 1) << m.what;
    for (int freeone = 1; freeone <= 3; ++freeone) {
      setpt(8, 873.15L, freeone == 1, freeone == 2);
      BX[3] = freeone == 3;
      X[3] = BX[3] ? XFACA[3] * 0.3L + XFACB[3] : 0.3L;
      checkjacobian(freeone == 3 ? 1e-6L : 1e-5L, freeone == 3 ? 1e-8L : 1e-5L,
                    m.what + " by " + XNAME[freeone]);
    }
  }
}

TEST_F(Equations, MassBalanceRowsAndTheirJacobian) {
  // The binary and kyanite with their modes: one reaction and two bulk rows
  // (Al2O3, SiO2) for x and the two modes.
  system({"sill", "q", "ky"}, binary(SYMMETRIC) + "ky\n");
  setpt(12, 973.15L, false, false);
  ptype1& ss = (*PREC1)[1];
  ptype0& ky = (*PREC0)[1];
  ASSERT_EQ(NUV, 2);
  for (int c = 1; c <= NUV; ++c) {
    BCOMPS[c] = true;
    ss.em[1].comp[c] = (*C)(c, 1);
    ss.em[2].comp[c] = (*C)(c, 2);
    ky.comp[c] = (*C)(c, 3);
  }
  ss.em[1].natom = 8;
  ss.em[2].natom = 3;
  ky.formsize = 8;
  MODESBYNLE = true;
  NUVLEFT = 2;
  RANKDEFICIT = 0;
  PROJC.fill(0);
  PROJC(1, 1) = PROJC(2, 2) = 1;
  COMPK[1] = 0.3L;
  COMPK[2] = 0.5L;
  NXP = 2;
  NXPSS = 1;
  MP2SS[1] = 1;
  MP2X[1] = 3;
  MP2SS[2] = 1;
  for (int m = 1; m <= 2; ++m) {
    const int p = NX + m;
    BX[p] = true;
    XFACA[p] = m == 1 ? 0.6666667L : 0.5L;  // different scales on purpose
    XFACB[p] = 0.1666667L;
    X[p] = XFACA[p] * 0.4L + XFACB[p];
    INACC1[p] = INACC2[p] = acctype::paccessible;
    XNAME[p] = m == 1 ? "ss" : "ky";
  }
  X[3] = XFACA[3] * 0.3L + XFACB[3];
  eqmatrix jac;
  eqvector f;
  ASSERT_TRUE(KPCALC2::NLEFUNC(X, jac, f));
  EXPECT_EQ(JROW, 3);
  EXPECT_EQ(JCOL, 3);
  // Bulk row of component 1: M (y1 comp1(ss) + y2 comp1(ky)) - bulk, with
  // compositions per atom: ss = (0.7 sill + 0.3 q) over 0.7 x 8 + 0.3 x 3.
  const extended y = 0.4L, M = 0.8L;
  auto percomp = [&](int c, int k) { return static_cast<extended>((*C)(c, k)) / COMPDIV[c]; };
  const extended nss = 0.7L * 8 + 0.3L * 3;
  for (int c = 1; c <= 2; ++c) {
    const extended css = (0.7L * percomp(c, 1) + 0.3L * percomp(c, 2)) / nss;
    const extended cky = percomp(c, 3) / 8;
    EXPECT_NEAR(static_cast<double>(f[1 + c]), static_cast<double>(M * (y * css + y * cky) - COMPK[c]), 1e-15);
  }
  checkjacobian(1e-6L, 1e-8L, "mass balance");
  // A fixed rank-deficient row must vanish: here it does not.
  RANKDEFICIT = 1;
  NXP = 2;
  BX[NX + 2] = false;
  const IO::RunEnded end = vtest::runends([&] { KPCALC2::NLEFUNC(X, jac, f); });
  EXPECT_EQ(end.message, "residuals not in reduced system");
}

TEST_F(Equations, BadlyPosedAndUnevaluablePoints) {
  system({"sill", "q", "ky"}, binary(IDEAL) + "ky\n");
  eqmatrix jac;
  eqvector f;
  // One reaction, two free unknowns: the system is not square.
  setpt(12, 973.15L, true, false);
  IO::RunEnded end = vtest::runends([&] { KPCALC2::NLEFUNC(X, jac, f); });
  EXPECT_EQ(end.where, "nlefunc");
  EXPECT_EQ(end.message, "non-square jacobian");
  EXPECT_NE(screen.str().find("\nrow 1 (  1  0  0)\ncol 2 (  2  0)\n\n"), std::string::npos);
  EXPECT_EQ(DEBUGLEVEL, 4);  // the full print came before the stop
  DEBUGLEVEL = 1;
  // A scaled value outside 0..1 is reported and not evaluated; an
  // accessible bound may be reached, an inaccessible one not.
  screen.str("");
  setpt(12, 973.15L, false, false);
  X[3] = 1.5L;
  EXPECT_FALSE(KPCALC2::NLEFUNC(X, jac, f));
  EXPECT_NE(screen.str().find("\nFAILED in nlefunc, at which stage x was:\n"), std::string::npos);
  X[3] = 0.3L;
  BX[3] = false;
  setpt(12, 400, false, true);  // T free at its lower window limit
  EXPECT_EQ(X[2], 0);
  EXPECT_TRUE(KPCALC2::NLEFUNC(X, jac, f));
  INACC1[2] = acctype::inaccessible;
  EXPECT_FALSE(KPCALC2::NLEFUNC(X, jac, f));
  setpt(12, 973.15L, false, false);
  BX[3] = true;
  // A site fraction of 0 outside Monte Carlo ends the run; in Monte Carlo
  // it is only a failed point.
  INACC2[3] = acctype::xaccessible;
  X[3] = 1;
  end = vtest::runends([&] { KPCALC2::NLEFUNC(X, jac, f); });
  EXPECT_EQ(end.message, "negative sf term");
  DOINGMC = true;
  screen.str("");
  EXPECT_FALSE(KPCALC2::NLEFUNC(X, jac, f));
  EXPECT_EQ(screen.str(), "*** NOT OK\n");
  DOINGMC = false;
}

}  // namespace

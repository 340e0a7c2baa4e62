// Properties of phases and of the system, and the uncertainties of solved
// unknowns, on small systems of the example dataset solved by the solver.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "models/kpcalc1_reactions.h"
#include "models/kpread2.h"
#include "solver/kpcalc2_equations.h"
#include "solver/kpcalc2_properties.h"
#include "solver/kpmath2.h"
#include "solver/kpnle4.h"
#include "solver/kpre_independent.h"
#include "solver_support.h"

namespace {

using namespace KPGLOBAL;

constexpr extended RGAS = 0.0083144L;

class Solved : public solvertest::SolverTest {
 protected:
  // The dataset end-members in system order, the a-x text of the phases, the
  // unknowns P, T and the compositional variables, and the reactions.
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
        const xyzrec& xv = ph.xyz[v];
        ++NX;
        XFACA[NX] = xv.faca;
        XFACB[NX] = xv.facb;
        TYPX[NX] = xv.typx;
        INACC1[NX] = xv.acclo;
        INACC2[NX] = xv.acchi;
        X[NX] = xv.faca * xv.guess + xv.facb;
        BX[NX] = true;
      }
    }
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
  void setpt(extended P, extended T, bool pfree, bool tfree) {
    BX[1] = pfree;
    BX[2] = tfree;
    X[1] = pfree ? XFACA[1] * P + XFACB[1] : P;
    X[2] = tfree ? XFACA[2] * T + XFACB[2] : T;
  }
  extended plain(int i) const { return BX[i] ? (X[i] - XFACB[i]) / XFACA[i] : X[i]; }
  // Solves, and evaluates the equations once more at the solution, as the
  // driver leaves them for the uncertainties.
  void solve() {
    KPMATH2::NLE s;
    smallint code = -1;
    s(code);
    ASSERT_EQ(code, 0);
    eqmatrix jac;
    eqvector f;
    ASSERT_TRUE(KPCALC2::NLEFUNC(X, jac, f));
  }
  extended G(int k, extended P, extended T) {
    extended g = 0;
    KPCALC1::GEMDRIVER(static_cast<smallint>(k), g, P, T);
    return g;
  }
};

// A symmetric sill-q solution (W = 5 kJ) at equilibrium with kyanite at a
// fixed activity of 0.5. Its G, S, V, H against -dG/dT and dG/dP of the
// closed form at the solved composition, RT ln a at T itself, density from
// the oxide masses; the pure phase's activity enters g only; system totals
// only with modes.
TEST_F(Solved, PhasePropertiesAgainstDerivatives) {
  system({"sill", "q", "ky"},
         "ss 2 1\nverbatim\nbinary\nverbatim\nx(ss) 0.3\np(sill) 1 1 1 1 -1 x\np(q) 1 1 0 1 1 x\n"
         "sf\nW(sill,q) 5 0 0\n2\nxAl 1 1 1 1 -1 x\nxSi 1 1 0 1 1 x\n"
         "sill 1 1 xAl 1 check 0\nq 1 1 xSi 1 check 1\n\nky\n");
  (*PREC0)[1].act = 0.5L;
  const extended P = 12, T = 973.15L;
  setpt(P, T, false, false);
  solve();
  const extended x = plain(3);
  ASSERT_GT(x, 0.01L);
  eqvector xp = X;
  xp[3] = x;
  bemvector phases{};
  phases[NPSS + 1] = true;
  NUVLEFT = NUV;
  for (int u = 1; u <= NUV; ++u) {
    BCOMPS[u] = true;
    SU.ph[1].comp[u] = ((1 - x) * (*C)(u, 1) + x * (*C)(u, 2)) / COMPDIV[u];
    SU.ph[2].comp[u] = static_cast<extended>((*C)(u, 3)) / COMPDIV[u];
  }
  KPCALC2::CALCGPHASE(phases, xp, P, T, 0, 0);

  // The phase's G at fixed composition, from the closed form.
  auto gss = [&](extended p, extended t) {
    const extended rt = RGAS * t;
    return (1 - x) * (G(1, p, t) + rt * std::log(1 - x) + 5 * x * x) +
           x * (G(2, p, t) + rt * std::log(x) + 5 * (1 - x) * (1 - x));
  };
  const suphasetype& ss = SU.ph[1];
  EXPECT_NEAR(ss.g, gss(P, T), 1e-9);
  const extended dsdt = -(gss(P, T + 0.01L) - gss(P, T - 0.01L)) / 0.02L;
  const extended dvdp = (gss(P + 0.001L, T) - gss(P - 0.001L, T)) / 0.002L;
  // The forward differences carry their own truncation error (half the step
  // times the second derivative): about 1e-6 kJ/K in S and 4e-6 kJ/kbar in V.
  EXPECT_NEAR(ss.s, dsdt, 5e-6);
  EXPECT_NEAR(ss.v, dvdp, 1e-5);
  EXPECT_GT(std::fabs(ss.v - dvdp), 1e-7);  // one-sided, as the steps say
  EXPECT_NEAR(ss.h, ss.g + T * ss.s, 1e-9);
  EXPECT_EQ(ss.p[1], 1 - x);
  EXPECT_EQ(ss.mu0[2], G(2, P, T));
  EXPECT_NEAR(ss.rtlna[1], RGAS * T * std::log((1 - x) * std::exp(5 * x * x / (RGAS * T))), 1e-12);
  EXPECT_NEAR(ACTIVITY[2], x * std::exp(5 * (1 - x) * (1 - x) / (RGAS * T)), 1e-15);
  extended M = 0;
  for (int u = 1; u <= NUV; ++u) M += ss.comp[u] * MOLWT[u == 1 ? 1 : 3];
  ASSERT_EQ(COMPNAME[1], "SiO2");
  ASSERT_EQ(COMPNAME[2], "Al2O3");
  EXPECT_NEAR(ss.rho, M / (10 * ss.v), 1e-12);
  EXPECT_NEAR(ss.rho, 3.0, 0.5);  // an aluminosilicate-quartz mix, g/cm3

  const suphasetype& ky = SU.ph[2];
  const extended gky = G(3, P, T);
  const extended sky = -(G(3, P, T + 0.01L) - G(3, P, T - 0.01L)) / 0.02L;
  EXPECT_EQ(ky.mu0[1], gky);
  EXPECT_NEAR(ky.rtlna[1], RGAS * T * std::log(0.5L), 1e-15);
  EXPECT_NEAR(ky.g, gky + RGAS * T * std::log(0.5L), 1e-9);
  EXPECT_NEAR(ky.s, sky, 5e-6);
  EXPECT_NEAR(ky.h, gky + T * ky.s, 1e-9);
  for (int m = 1; m <= bulkmax; ++m) EXPECT_EQ(SU.gsys[m], 0);

  // With modes: 0.4 of the solution and 0.6 of kyanite.
  MODESBYNLE = true;
  SU.nstep = 1;
  SU.ph[1].mode[1] = 0.4L;
  SU.ph[2].mode[1] = 0.6L;
  SU.ph[1].factor[1] = SU.ph[2].factor[1] = 1;
  for (int u = 1; u <= NUV; ++u) SU.bulk(1, u) = 0.4L * ss.comp[u] + 0.6L * ky.comp[u];
  KPCALC2::CALCGPHASE(phases, xp, P, T, 0, 0);
  EXPECT_NEAR(SU.gsys[1], 0.4L * ss.g + 0.6L * ky.g, 1e-9);
  EXPECT_NEAR(SU.vsys[1], 0.4L * ss.v + 0.6L * ky.v, 1e-12);
  EXPECT_NEAR(SU.rhosys[1], (0.4L * ss.rho * ss.v + 0.6L * ky.rho * ky.v) / SU.vsys[1], 1e-12);
  EXPECT_EQ(SU.gsys[2], 0);

  // The oxide map skips components that do not count; an unknown name stops.
  icvector map;
  BCOMPS[1] = false;
  KPCALC2::MAKEMW2C(map);
  EXPECT_EQ(map[1], 3);
  BCOMPS[1] = true;
  COMPNAME[2] = "Al2O4";
  vtest::runends([&] { KPCALC2::MAKEMW2C(map); });
  EXPECT_NE(screen.str().find("-- run bombed in makemw2c : Al2O4 not found??"), std::string::npos);
}

// The aluminosilicate triple point: the uncertainties of P and T match
// re-solves after changing one enthalpy at a time (central differences).
TEST_F(Solved, UncertaintiesMatchResolves) {
  system({"ky", "sill", "and"}, "ky\nsill\nand\n");
  ASSERT_EQ(NR, 2);
  auto solvefrom = [&](extended& P, extended& T) {
    setpt(5, 900, true, true);
    solve();
    P = plain(1);
    T = plain(2);
  };
  extended P0 = 0, T0 = 0;
  solvefrom(P0, T0);
  KPNLE4::CALCSD();
  const eqmatrix covx = COVX;
  const eqvector sdx = SDX;
  const extended corpt = CORPT;
  extended fd[3][4];
  const extended dh = 0.01L;
  for (int j = 1; j <= 3; ++j) {
    const extended h = (*TD)[j].h;
    extended p1, t1, p2, t2;
    (*TD)[j].h = h + dh;
    solvefrom(p1, t1);
    (*TD)[j].h = h - dh;
    solvefrom(p2, t2);
    (*TD)[j].h = h;
    fd[1][j] = (p1 - p2) / (2 * dh);
    fd[2][j] = (t1 - t2) / (2 * dh);
  }
  for (int a = 1; a <= 2; ++a)
    for (int b = 1; b <= 2; ++b) {
      extended c = 0;
      for (int j = 1; j <= 3; ++j)
        for (int k = 1; k <= 3; ++k) c += fd[a][j] * (*COV)(j, k) * fd[b][k];
      EXPECT_NEAR(covx(a, b), c, 1e-5 * std::fabs(c)) << a << b;
    }
  EXPECT_GT(sdx[1], 0);
  EXPECT_GT(sdx[2], 0);
  EXPECT_NEAR(corpt, covx(1, 2) / (sdx[1] * sdx[2]), 1e-15);
  EXPECT_LE(std::fabs(corpt), 1);
}

}  // namespace

// Activities from the a-x models: hand-worked values of ideal, symmetric and
// van Laar models, the fluid and aqueous branches, the analytic derivatives
// of RT ln a against central differences, the term derivative, and the
// negative site-fraction stop with its report.
#include <cmath>
#include <memory>

#include "models/ax_support.h"
#include "models/kpcalc1.h"
#include "solver/kpcalc2.h"

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;

class Activities : public AxTest {
 protected:
  std::unique_ptr<dRTlnadxtype> dx = std::make_unique<dRTlnadxtype>();
  emvector dp, dt;
  eqvector x;

  void SetUp() override {
    AxTest::SetUp();
    CALCMODE = calcmodetype::rockcalc;  // aqueous phases are read outside calcmode 1
    for (const char* n : {"ms", "pa", "cel", "san", "sill", "and", "NaCl", "KCl"}) PHNAMES[++NTP] = n;
    STARTSS.fill(false);
    EM2SS.fill(0);
    EM2X.fill(0);
  }
  // The end-members of every phase read, in phase order, then the pure
  // phase q; the variables at their guesses after P and T.
  void layout(extended P, extended T) {
    NCV = 0;
    NX = 2;
    x = eqvector{};
    x[1] = P, x[2] = T;
    XNAME[1] = "P", XNAME[2] = "T";
    for (int iss = 1; iss <= NPSS; ++iss) {
      const ptype1& ph = ss(iss);
      STARTSS[NCV + 1] = true;
      EM2SS[NCV + 1] = static_cast<smallint>(iss);
      EM2X[NCV + 1] = static_cast<smallint>(NX + 1);
      for (int j = 1; j <= ph.nem; ++j) NAME[++NCV] = ph.em[j].name;
      for (int v = 1; v <= ph.nvars; ++v) {
        x[++NX] = ph.xyz[v].guess;
        XNAME[NX] = ph.xyz[v].name;
      }
    }
    NAME[++NCV] = "q";
  }
  // The run end of f, with what it wrote, as a test failure.
  template <typename F>
  void noend(F&& f) {
    const IO::RunEnded e = vtest::endof(f);
    ASSERT_EQ(e.where, "") << e.message << "\n" << screen.str();
  }
  void calc(bool deriv = true) { KPCALC2::CALCA(x, deriv, deriv, dp, dt, *dx, x[1], x[2]); }
  // RT ln a of every end-member at the point y.
  emvector rtlna(const eqvector& y) {
    emvector d1, d2;
    KPCALC2::CALCA(y, false, false, d1, d2, *dx, y[1], y[2]);
    emvector r;
    for (int n = 1; n <= NCV; ++n) r[n] = RGAS * y[2] * std::log(ACTIVITY[n]);
    return r;
  }
  // Every analytic derivative against central differences in long double:
  // steps 1e-6 in the compositional variables, 1e-4 K and 1e-5 kbar.
  // The P and T derivatives of fluid and aqueous end-members rest on sizes
  // and energies linearised by forward differences of 0.01 K and 0.001 kbar:
  // they match to the relative tolerance tolpt; all others to 1e-9.
  void checkderivatives(extended tolpt) {
    calc();
    const emvector adp = dp, adt = dt;
    const auto central = [&](int v, extended h) {
      eqvector up = x, dn = x;
      up[v] += h, dn[v] -= h;
      const emvector fu = rtlna(up), fd = rtlna(dn);
      emvector d;
      for (int n = 1; n <= NCV; ++n) d[n] = (fu[n] - fd[n]) / (2 * h);
      return d;
    };
    const emvector fdp = central(1, 1e-5L), fdt = central(2, 1e-4L);
    for (int n = 1; n < NCV; ++n) {
      int first = n;
      while (!STARTSS[first]) --first;
      const ptype1& ph = ss(EM2SS[first]);
      const extended tol = ph.isfluid || ph.isaq ? tolpt : 1e-9L;
      EXPECT_NEAR(static_cast<double>(adt[n]), static_cast<double>(fdt[n]),
                  static_cast<double>(tol * (1e-3L + std::fabs(fdt[n]))))
          << "d/dT of " << NAME[n];
      EXPECT_NEAR(static_cast<double>(adp[n]), static_cast<double>(fdp[n]),
                  static_cast<double>(tol * (1e-3L + std::fabs(fdp[n]))))
          << "d/dP of " << NAME[n];
    }
    for (int v = 3; v <= NX; ++v) {
      const emvector fdx = central(v, 1e-6L);
      for (int n = 1; n < NCV; ++n) {
        // Only the phase's own variables are written.
        int first = n;
        while (!STARTSS[first]) --first;
        const int e = EM2X[first], nv = ss(EM2SS[first]).nvars;
        if (v < e || v >= e + nv) continue;
        EXPECT_NEAR(static_cast<double>((*dx)(n, v)), static_cast<double>(fdx[n]), 1e-7)
            << "d/d" << XNAME[v] << " of " << NAME[n];
      }
    }
  }
};

}  // namespace

TEST_F(Activities, TermDerivativeIsTheFullProductRule) {
  // (1/2 + x_k)(x_k) differentiates to 1/2 + 2 x_k; a term without x_k to 0.
  termtype t;
  t.nsx = 1;
  sxtermtype& s = t.sx[1];
  s.factor = 1;
  s.nx = 2;
  s.x[1].cnum = 1, s.x[1].cden = 2, s.x[1].nt = 1, s.x[1].num[1] = 1, s.x[1].den[1] = 1, s.x[1].ix[1] = 2;
  s.x[2].cnum = 0, s.x[2].cden = 1, s.x[2].nt = 1, s.x[2].num[1] = 1, s.x[2].den[1] = 1, s.x[2].ix[1] = 2;
  eqvector y;
  y[5] = 0.3L, y[6] = 0.7L;  // variables 1 and 2 of a phase starting at 5
  EXPECT_NEAR(static_cast<double>(KPCALC2::SUBSDIFFTERM(t, 2, y, 5)), 0.5 + 2 * 0.7, 1e-15);
  EXPECT_EQ(KPCALC2::SUBSDIFFTERM(t, 1, y, 5), 0);
  // A variable in two parts of one form counts twice: (1 - x - 1/3 x) -> -4/3.
  s.nx = 1;
  s.x[1].cnum = 1, s.x[1].cden = 1, s.x[1].nt = 2;
  s.x[1].num[1] = -1, s.x[1].ix[1] = 1, s.x[1].num[2] = -1, s.x[1].den[2] = 3, s.x[1].ix[2] = 1;
  s.factor = 3;
  EXPECT_NEAR(static_cast<double>(KPCALC2::SUBSDIFFTERM(t, 1, y, 5)), -4.0, 1e-15);
}

TEST_F(Activities, ExampleModelsMatchHandWorkedValues) {
  // Ideal garnet, symmetric plagioclase and the H2O-CO2 fluid of the example
  // a-x file at 5 kbar, 600 C.
  noend([&] { readfile("../../examples/ax/vt-simple.txt"); });
  ASSERT_EQ(NPSS, 3);
  const extended P = 5, T = 873.15L, RT = RGAS * T;
  layout(P, T);
  calc();
  // Garnet x = 0.8, z = 0.1: xMg = 0.18, xFe = 0.72, xCa = 0.1, cubed.
  EXPECT_NEAR(static_cast<double>(ACTIVITY[1]), 0.005832, 1e-15);
  EXPECT_NEAR(static_cast<double>(ACTIVITY[2]), 0.373248, 1e-15);
  EXPECT_NEAR(static_cast<double>(ACTIVITY[3]), 0.001, 1e-15);
  EXPECT_EQ(SU.ph[1].gamma[1], 0);  // ideal: gamma listed as 0
  EXPECT_NEAR(static_cast<double>(SU.ph[1].p[1]), 0.18, 1e-15);
  EXPECT_NEAR(static_cast<double>(dt[2]), static_cast<double>(RGAS * std::log(0.373248L)), 1e-15);
  EXPECT_EQ(dp[2], 0);
  // Plagioclase x = 0.6: RT ln gamma(an) = p(ab)^2 W, RT ln gamma(ab) = p(an)^2 W.
  EXPECT_NEAR(static_cast<double>(ACTIVITY[4]), static_cast<double>(0.4L * std::exp(0.36L * 3.1L / RT)), 1e-15);
  EXPECT_NEAR(static_cast<double>(ACTIVITY[5]), static_cast<double>(0.6L * std::exp(0.16L * 3.1L / RT)), 1e-15);
  EXPECT_NEAR(static_cast<double>(SU.ph[2].gamma[1]), static_cast<double>(std::exp(0.36L * 3.1L / RT)), 1e-15);
  // Fluid x(CO2) = 0.1: W = (1/V(H2O) + 1/V(CO2)) 10.5 at P and T.
  extended V1, V2, g;
  KPCALC1::H2OPROPS(P, T, V1, g);
  KPCALC1::CO2PROPS(P, T, V2, g);
  const extended W = (1 / V1 + 1 / V2) * 10.5L;
  EXPECT_NEAR(static_cast<double>(ACTIVITY[6]), static_cast<double>(0.9L * std::exp(0.01L * W / RT)), 1e-14);
  EXPECT_NEAR(static_cast<double>(ACTIVITY[7]), static_cast<double>(0.1L * std::exp(0.81L * W / RT)), 1e-14);
  // The pure phase after the blocks keeps activity 1.
  EXPECT_EQ(ACTIVITY[8], 1);
  checkderivatives(5e-4L);
}

TEST_F(Activities, TestModelsMatchHandWorkedValues) {
  noend([&] { readfile("ax-activities.txt"); });
  ASSERT_EQ(NPSS, 4);
  const extended P = 8, T = 923.15L, RT = RGAS * T;
  layout(P, T);
  calc();
  // Mica y = 0.2, c = 0.3: xK 0.8, xNa 0.2, xAl(M) 0.7, xMg 0.3, xSi(T) 0.65,
  // xAl(T) 0.35; ideal a = 4 xK xAl xSi xAl, 4 xNa xAl xSi xAl, xK xMg xSi^2.
  const extended aid[3] = {0.5096L, 0.1274L, 0.1014L};
  const extended p[3] = {0.5L, 0.2L, 0.3L};
  const extended W12 = 12 + 0.0004L * T + 0.3L * P, W13 = 0.2L * P, W23 = 14 + 0.2L * P;
  for (int j = 0; j < 3; ++j) {
    // RT ln gamma_j = -sum over pairs of q_u q_v W, q = [j = u] - p_u.
    const auto q = [&](int u) { return (u == j ? 1 : 0) - p[u]; };
    const extended rtlng = -(q(0) * q(1) * W12 + q(0) * q(2) * W13 + q(1) * q(2) * W23);
    EXPECT_NEAR(static_cast<double>(SU.ph[1].aideal[j + 1]), static_cast<double>(aid[j]), 1e-15);
    EXPECT_NEAR(static_cast<double>(ACTIVITY[j + 1]), static_cast<double>(aid[j] * std::exp(rtlng / RT)), 1e-15);
  }
  // Feldspar ca = 0.3, k = 0.1: volume fractions from the sizes at T and P.
  const extended pf[3] = {0.6L, 0.3L, 0.1L};
  const extended al[3] = {0.674L, 0.55L, 1 + 0.0001L * T - 0.002L * P};
  const extended Wf[3] = {14.6L - 0.00935L * T - 0.04L * P, 24.1L - 0.00957L * T + 0.338L * P, 48.5L - 0.13L * P};
  const int pu[3] = {0, 0, 1}, pv[3] = {1, 2, 2};
  extended Phi = 0;
  for (int j = 0; j < 3; ++j) Phi += pf[j] * al[j];
  for (int j = 0; j < 3; ++j) {
    extended rtlng = 0;
    for (int g = 0; g < 3; ++g) {
      const int u = pu[g], v = pv[g];
      const extended qu = (j == u ? 1 : 0) - pf[u] * al[u] / Phi, qv = (j == v ? 1 : 0) - pf[v] * al[v] / Phi;
      rtlng -= qu * qv * Wf[g] * 2 * al[j] / (al[u] + al[v]);
    }
    EXPECT_NEAR(static_cast<double>(ACTIVITY[4 + j]), static_cast<double>(pf[j] * std::exp(rtlng / RT)), 1e-15);
  }
  // Rational powers: (1 - 0.35)^(3/2) and 0.35^(1/2).
  EXPECT_NEAR(static_cast<double>(ACTIVITY[7]), std::pow(0.65, 1.5), 1e-15);
  EXPECT_NEAR(static_cast<double>(ACTIVITY[8]), std::sqrt(0.35), 1e-15);
  // Ternary fluid: sizes V_j/V(H2O), pair energies (1/V_i + 1/V_j) AIJ.
  Arr<extended, 3> V;
  extended g;
  KPCALC1::H2OPROPS(P, T, V[1], g);
  KPCALC1::CO2PROPS(P, T, V[2], g);
  KPCALC1::CORRSTATE(P, T, CSP[3], CST[3], V[3], g);
  const extended pfl[3] = {0.7L, 0.2L, 0.1L};
  const extended aij[3] = {10.5L, 17.5L, 0.6L};
  extended Phf = 0;
  for (int j = 0; j < 3; ++j) Phf += pfl[j] * V[j + 1] / V[1];
  for (int j = 0; j < 3; ++j) {
    extended rtlng = 0;
    for (int k = 0; k < 3; ++k) {
      const int u = pu[k], v = pv[k];
      const extended au = V[u + 1] / V[1], av = V[v + 1] / V[1], aj = V[j + 1] / V[1];
      const extended Wuv = (1 / V[u + 1] + 1 / V[v + 1]) * aij[k] * 2 * aj / (au + av);
      const extended qu = (j == u ? 1 : 0) - pfl[u] * au / Phf, qv = (j == v ? 1 : 0) - pfl[v] * av / Phf;
      rtlng -= qu * qv * Wuv;
    }
    EXPECT_NEAR(static_cast<double>(ACTIVITY[9 + j]), static_cast<double>(pfl[j] * std::exp(rtlng / RT)), 1e-13)
        << NAME[9 + j];
  }
  checkderivatives(5e-4L);
}

TEST_F(Activities, AqueousSolutesCarryTheExtraTermWithWater) {
  noend([&] { readfile("ax-aqueous.txt"); });
  ASSERT_EQ(NPSS, 1);
  ss(1).em[3].td.aqcp = 1;  // NaCl and KCl are solutes
  ss(1).em[4].td.aqcp = 1;
  EXPECT_EQ(ss(1).mixtype, axtype::vanlaar);
  const extended P = 3, T = 773.15L;
  layout(P, T);
  calc();
  const extended first = ACTIVITY[3];
  // Without the solute flag NaCl loses exactly -W(H2O,Na+) scaled by its size.
  ss(1).em[3].td.aqcp = 0;
  calc();
  extended Vw, Vc, g;
  KPCALC1::H2OPROPS(P, T, Vw, g);
  KPCALC1::CO2PROPS(P, T, Vc, g);
  const extended aw = 1, ana = (0.5L + 0.0002L * T + 0.003L * P) / Vw;
  const extended W = (2 + 0.001L * T + 0.01L * P) * 2 * ana / (aw + ana);
  EXPECT_NEAR(static_cast<double>(RGAS * T * std::log(first / ACTIVITY[3])), static_cast<double>(-W), 1e-12);
  ss(1).em[3].td.aqcp = 1;
  checkderivatives(5e-4L);
}

TEST_F(Activities, DerivativesOnlyWhenAskedAndOnlyForOwnVariables) {
  noend([&] { readfile("ax-activities.txt"); });
  layout(8, 923.15L);
  dp.fill(-7), dt.fill(-7);
  dx->fill(-7);
  calc(false);
  EXPECT_EQ(dp[1], -7);
  EXPECT_EQ(dt[1], -7);
  EXPECT_EQ((*dx)(1, 3), -7);
  calc(true);
  // Mica end-member 1 gets columns 3 and 4 (its own variables) only.
  EXPECT_NE((*dx)(1, 3), -7);
  EXPECT_NE((*dx)(1, 4), -7);
  EXPECT_EQ((*dx)(1, 5), -7);
  EXPECT_EQ(dp[NCV], -7);  // the pure phase is not written
}

TEST_F(Activities, ZeroSiteFractionStopsWithTheReport) {
  noend([&] { readfile("../../examples/ax/vt-simple.txt"); });
  layout(5, 873.15L);
  // z(g) = 0: xCaX = 0 in the factor of gr. The number formatter writes a
  // value below 1e-12 in size as "0".
  x[4] = 0;
  const IO::RunEnded e = vtest::runends([&] { calc(); });
  EXPECT_EQ(e.where, "calca");
  EXPECT_EQ(e.message, "negative sf term");
  const std::string s = screen.str();
  EXPECT_NE(s.find("\n\n            x(g)        z(g)       x(pl)    x(fluid)\n"
                   "x =       0.80000           0     0.60000     0.10000\n"
                   "\n             xMgX        xFeX        xCaX\n"
                   "sf =      0.20000     0.80000           0\n"
                   "phase = g, end-member = gr, tmf term no = 1, sf term no = 3, sf = 0\n"
                   "\nsorry - try changing starting guesses!\n"),
            std::string::npos)
      << s;
}

TEST_F(Activities, ASizeAtOrBelowZeroStopsNamingTheEndMemberAndThePoint) {
  // san's size is 1 + 0.0001 T - 0.002 P; with c = -0.2 it is
  // 1 + 0.092315 - 1.6 = -0.507685 at 8 kbar and 923.15 K.
  noend([&] { readfile("ax-activities.txt"); });
  layout(8, 923.15L);
  const auto refused = [&](const std::string& message) {
    screen.str("");
    const IO::RunEnded e = vtest::runends([&] { calc(); });
    EXPECT_EQ(e.where, "calca");
    EXPECT_EQ(e.message, message);
    EXPECT_EQ(screen.str().find("This shouldn't have happened"), std::string::npos);
  };
  ss(2).alphac[3] = -0.2L;
  refused("van Laar size of san in fsp is -0.5077 (must be > 0) at P = 8.000 kbar, T = 650.00 \xA1" "C");
  // A size of exactly 0 (a = 0, b = c = 0) is refused too.
  ss(2).alphaa[3] = 0, ss(2).alphab[3] = 0, ss(2).alphac[3] = 0;
  refused("van Laar size of san in fsp is 0 (must be > 0) at P = 8.000 kbar, T = 650.00 \xA1" "C");
  // Small but positive passes.
  ss(2).alphaa[3] = 1e-6L;
  noend([&] { calc(); });
}

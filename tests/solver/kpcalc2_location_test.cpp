// Reaction location: closed forms for a reaction with H, S and V only,
// ky = sill and a decarbonation reaction on the example dataset against a
// bisection done here, the uncertainty from the dataset covariance, every
// result code of the search, and its Newton budget and step tests on
// functions with known roots.
#include <cmath>
#include <functional>

#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "solver/kpcalc2_reactions.h"
#include "solver/solver_support.h"
#include "support/vt_numeric.h"

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;

class Location : public solvertest::SolverTest {
 protected:
  void SetUp() override {
    SolverTest::SetUp();
    TLOW = 500, THIGH = 1500;
    PLOW = 1, PHIGH = 30;
  }
  void row(int k, const char* name, extended h, extended s, extended v) {
    NAME[k] = name;
    (*TD)[k] = tdvector{};
    (*TD)[k].h = h, (*TD)[k].s = s, (*TD)[k].v = v;
  }
  // a = b with dH = 10 kJ, dS = 0.01 kJ/K, dV = -0.1 kJ/kbar:
  // dmu = 10 - 0.01 T - 0.1 (P - 0.001).
  void linear() {
    NCV = 2, NR = 1;
    row(1, "a", 0, 0.01L, 1);
    row(2, "b", 10, 0.02L, 0.9L);
    (*R)(1, 1) = -1, (*R)(1, 2) = 1;
  }
  // Position of end-member name in NAME.
  static int pos(const char* name) {
    for (int k = 1; k <= NCV; ++k)
      if (KPCALC1::trimname(NAME[k]) == name) return k;
    return 0;
  }
};

// The search on a function given here: dmu(x) and its slope.
class Analytic : public KPCALC2::Find {
 public:
  std::function<extended(extended)> f, df;
  Analytic(findtype kind, std::function<extended(extended)> f_, std::function<extended(extended)> df_)
      : Find(1, kind, 0, 0, 0, 1), f(std::move(f_)), df(std::move(df_)) {}
  void CALC(extended x, extended& slope, extended& dmu) override {
    slope = df(x);
    dmu = f(x);
  }
  void DERIVS(extended x, extended& dGdP, extended& dmudT) override {
    dGdP = df(x);
    dmudT = -1;
  }
  // The whole search without a guess: the two roots.
  std::pair<extended, extended> roots() {
    extended r1 = 0, r2 = 0, a, b, c, d;
    run(false, r1, r2, a, b, c, d);
    return {r1, r2};
  }
};

}  // namespace

TEST_F(Location, LinearReactionAtItsClosedForms) {
  linear();
  extended T1 = 0, T2, dGdP1, dGdP2, dmudT1, dmudT2;
  // T(P) = (dH + dV (P - 0.001)) / dS = 1000 - 10 (P - 0.001).
  KPCALC2::TCALC(1, false, T1, T2, dGdP1, dGdP2, 5, 0, 1, dmudT1, dmudT2);
  EXPECT_NEAR(static_cast<double>(T1), 950.01, 1e-3);
  EXPECT_EQ(T2, -1e21L);  // one root
  EXPECT_NEAR(static_cast<double>(dGdP1), -0.1, 1e-9);
  EXPECT_NEAR(static_cast<double>(dmudT1), -0.01, 1e-9);
  EXPECT_EQ(dGdP2, 0);
  // From a guess inside the window.
  T1 = 700;
  KPCALC2::TCALC(1, true, T1, T2, dGdP1, dGdP2, 5, 0, 1, dmudT1, dmudT2);
  EXPECT_NEAR(static_cast<double>(T1), 950.01, 1e-3);
  // P(T) = 0.001 + (dS T - dH) / dV = 10.001 at 900 K.
  extended P1 = 0, P2;
  KPCALC2::PCALC(1, false, P1, P2, dGdP1, dGdP2, 900, 0, 1, dmudT1, dmudT2);
  EXPECT_NEAR(static_cast<double>(P1), 10.001, 1e-4);
  // Crossings outside the window: the window edge beyond them, by one.
  TLOW = 1000;
  KPCALC2::TCALC(1, false, T1, T2, dGdP1, dGdP2, 5, 0, 1, dmudT1, dmudT2);
  EXPECT_EQ(T1, 999);
  EXPECT_EQ(T2, -1e21L);
  EXPECT_EQ(dGdP1, 0);
  TLOW = 500, THIGH = 900;
  KPCALC2::TCALC(1, false, T1, T2, dGdP1, dGdP2, 5, 0, 1, dmudT1, dmudT2);
  EXPECT_EQ(T1, 901);
  // A guess outside the window: no value at once.
  T1 = 950;
  KPCALC2::TCALC(1, true, T1, T2, dGdP1, dGdP2, 5, 0, 1, dmudT1, dmudT2);
  EXPECT_EQ(T1, 1e21L);
  EXPECT_EQ(T2, -1e21L);
  // Standard deviations: outside the window 1e+31, the slope untouched.
  extended sd1 = 0, sd2 = 0, s1 = 77, s2 = 77;
  KPCALC2::TFIXEDP(1, T1, T2, sd1, sd2, s1, 5, 0, 1, s2);
  EXPECT_EQ(sd1, 1e+31L);
  EXPECT_EQ(sd2, 1e+31L);
  EXPECT_EQ(s1, 77);
}

TEST_F(Location, ZeroSlopeIsAFailedNewtonRunNotAPosition) {
  // Two rows without entropy are their enthalpies alone: dmu has slope 0 in
  // T and P. With equal enthalpies dmu is 0 everywhere, and the Newton step
  // 0/0 must not pass for "below the window".
  NCV = 2, NR = 1;
  row(1, "a", 5, 0, 1);
  row(2, "b", 5, 0, 1);
  (*R)(1, 1) = -1, (*R)(1, 2) = 1;
  extended T1 = 800, T2, dGdP1, dGdP2, dmudT1, dmudT2;
  KPCALC2::TCALC(1, true, T1, T2, dGdP1, dGdP2, 5, 0, 1, dmudT1, dmudT2);
  EXPECT_EQ(T1, 1e21L);
  (*TD)[2].h = 6;  // dmu = 1 everywhere: no value either
  T1 = 800;
  KPCALC2::TCALC(1, true, T1, T2, dGdP1, dGdP2, 5, 0, 1, dmudT1, dmudT2);
  EXPECT_EQ(T1, 1e21L);
  // Inside a bracket the search goes on by bisection: dmu = (x - 3)^3 + 1
  // has slope 0 at 3, the Newton start in the middle of [1, 5].
  Analytic a(findtype::findp, [](extended x) { return (x - 3) * (x - 3) * (x - 3) + 1; },
             [](extended x) { return 3 * (x - 3) * (x - 3); });
  a.lo = 1, a.hi = 5;
  a.mode = 2;
  extended x = 3;
  a.FINDCROSSOVER(x, 1, 5);
  EXPECT_NEAR(static_cast<double>(x), 2, 1e-4);
  // A zero derivative at a root gives no standard deviation.
  linear();
  (*TD)[2].v = 1;  // dV = 0: dmu/dP = 0 at every root in P
  (*TD)[2].h = 10;
  extended P1, P2, sd1, sd2, s1 = 5, s2 = 5;
  PLOW = 1, PHIGH = 30;
  KPCALC2::PFIXEDT(1, P1, P2, sd1, sd2, s1, 1000, 0, 1, s2);
  EXPECT_EQ(sd1, 1e+31L);
}

TEST_F(Location, KyaniteSillimaniteMatchesBisectionAndCovariance) {
  readdataset({"ky", "sill"});
  NR = 1;
  (*R)(1, 1) = -1, (*R)(1, 2) = 1;
  TLOW = 673.15L, THIGH = 1473.15L;
  PLOW = 1, PHIGH = 20;
  const auto dg = [](extended P, extended T) {
    extended gk, gs;
    KPCALC1::GEM(1, P, T, gk);
    KPCALC1::GEM(2, P, T, gs);
    return gs - gk;
  };
  const extended P = 7;
  extended T1, T2, sd1, sd2, s1, s2;
  KPCALC2::TFIXEDP(1, T1, T2, sd1, sd2, s1, P, 0, 1, s2);
  const extended Tb = vtest::bisect([&](extended T) { return dg(P, T); }, TLOW, THIGH, 1e-10L);
  EXPECT_NEAR(static_cast<double>(T1), static_cast<double>(Tb), 1e-3);
  EXPECT_EQ(sd2, 1e+31L);
  // sd = sqrt(nu^T COV nu) / |d dG/dT|, the derivative by central difference;
  // slope dT/dP = -(d dG/dP)/(d dG/dT).
  const extended varH = (*COV)(1, 1) + (*COV)(2, 2) - (*COV)(1, 2) - (*COV)(2, 1);
  ASSERT_GT(varH, 0);
  const extended dgdt = (dg(P, Tb + 0.01L) - dg(P, Tb - 0.01L)) / 0.02L;
  const extended dgdp = (dg(P + 0.001L, Tb) - dg(P - 0.001L, Tb)) / 0.002L;
  EXPECT_NEAR(static_cast<double>(sd1), static_cast<double>(std::sqrt(varH) / std::fabs(dgdt)),
              static_cast<double>(1e-4L * sd1));
  EXPECT_NEAR(static_cast<double>(s1), static_cast<double>(-dgdp / dgdt), static_cast<double>(1e-4L * std::fabs(s1)));
  // In P at fixed T, with an activity uncertainty added: (RT)^2 varlna.
  CALCMODE = calcmodetype::rockcalc;
  ACTIVITY[2] = 0.9L, SDACTIVITY[2] = 0.045L;
  const extended T = 973.15L;
  extended P1, P2;
  KPCALC2::PFIXEDT(1, P1, P2, sd1, sd2, s1, T, 0, 1, s2);
  const extended RT = RGAS * T;
  const extended Pb = vtest::bisect([&](extended p) { return dg(p, T) + RT * std::log(0.9L); }, PLOW, PHIGH, 1e-10L);
  EXPECT_NEAR(static_cast<double>(P1), static_cast<double>(Pb), 1e-4);
  const extended dgdp2 = (dg(Pb + 0.001L, T) - dg(Pb - 0.001L, T)) / 0.002L;
  const extended var = varH + RT * RT * 0.05L * 0.05L;
  EXPECT_NEAR(static_cast<double>(sd1), static_cast<double>(std::sqrt(var) / std::fabs(dgdp2)),
              static_cast<double>(1e-4L * sd1));
}

TEST_F(Location, DecarbonationAtGivenFluidComposition) {
  // cc + q = wo + CO2 along T at 2 kbar for several x(CO2): each root is a
  // zero of dmu with that fluid composition (bisection here) and the line
  // rises with x(CO2).
  readdataset({"cc", "q", "wo", "CO2"});
  CO2POS = static_cast<smallint>(pos("CO2"));
  NR = 1;
  (*R)(1, pos("cc")) = -1, (*R)(1, pos("q")) = -1, (*R)(1, pos("wo")) = 1, (*R)(1, CO2POS) = 1;
  TLOW = 673.15L, THIGH = 1273.15L;
  const extended P = 2;
  extended last = 0;
  for (const extended xco2 : {0.1L, 0.5L, 0.9L}) {
    const auto dmu = [&](extended T) {
      extended a, b, d;
      KPCALC1::CALCDMU(1, a, b, d, P, T, xco2, 1 - xco2);
      return d;
    };
    extended T1, T2, dGdP1, dGdP2, dmudT1, dmudT2;
    KPCALC2::TCALC(1, false, T1, T2, dGdP1, dGdP2, P, xco2, 1 - xco2, dmudT1, dmudT2);
    ASSERT_TRUE(T1 >= TLOW && T1 <= THIGH) << static_cast<double>(xco2);
    EXPECT_NEAR(static_cast<double>(T1), static_cast<double>(vtest::bisect(dmu, TLOW, THIGH, 1e-10L)), 1e-3);
    EXPECT_LT(std::fabs(dmu(T1)), 1e-3 * std::fabs(static_cast<double>(dmudT1)) + 1e-9);
    EXPECT_GT(T1, last);
    last = T1;
  }
}

TEST_F(Location, EveryResultCodeOfTheSearch) {
  using P2 = std::pair<extended, extended>;
  const auto search = [](std::function<extended(extended)> f, std::function<extended(extended)> df) {
    Analytic a(findtype::findt, std::move(f), std::move(df));
    return a.roots();
  };
  TLOW = 500, THIGH = 1500;
  // A parabola with both crossings inside: both found, the larger first.
  P2 r = search([](extended T) { return (T - 700) * (T - 1200) / 1000; },
                [](extended T) { return (2 * T - 1900) / 1000; });
  EXPECT_NEAR(static_cast<double>(r.first), 1200, 1e-3);
  EXPECT_NEAR(static_cast<double>(r.second), 700, 1e-3);
  // A maximum above zero, turned away from it at both ends: no root
  // inside, the codes below and above.
  r = search([](extended T) { return -(T - 1000) * (T - 1000) / 1000 + 300; },
             [](extended T) { return -(2 * T - 2000) / 1000; });
  EXPECT_EQ(r.first, 499);
  EXPECT_EQ(r.second, 1501);
  // A minimum above zero, turned towards it but not reaching it: no value.
  r = search([](extended T) { return (T - 1000) * (T - 1000) / 1000 + 5; },
             [](extended T) { return (2 * T - 2000) / 1000; });
  EXPECT_EQ(r.first, 1e21L);
  EXPECT_EQ(r.second, -1e21L);
  // One crossing with slopes of different sign at the ends: searched from
  // lo, the second root marked above the window.
  r = search([](extended T) { return (T - 700) * (T - 1600) / 1000; },
             [](extended T) { return (2 * T - 2300) / 1000; });
  EXPECT_NEAR(static_cast<double>(r.first), 700, 1e-3);
  EXPECT_EQ(r.second, 1501);
  // The same from the other end: searched from hi, marked below.
  r = search([](extended T) { return -(T - 400) * (T - 1300) / 1000; },
             [](extended T) { return -(2 * T - 1700) / 1000; });
  EXPECT_NEAR(static_cast<double>(r.first), 1300, 1e-3);
  EXPECT_EQ(r.second, 499);
  // A zero exactly at the window edge counts as no crossing.
  r = search([](extended T) { return T - 500; }, [](extended) { return 1; });
  EXPECT_EQ(r.first, 499);
}

TEST_F(Location, NewtonBudgetAndStepFollowThePrecision) {
  // Newton with a slope 100 times too steep closes 1 % of the gap a step:
  // with the default precision it gives up after 10 evaluations.
  const auto slow = [](findtype k) {
    return Analytic(k, [](extended x) { return x - 700; }, [](extended) { return 100; });
  };
  Analytic a = slow(findtype::findt);
  a.mode = 2;
  extended x = 900;
  bool ok = true;
  a.ITERATE(x, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(x, 1e21L);
  EXPECT_EQ(a.evaluations, 10);
  EXPECT_EQ(a.tol, 1e-3L);
  TPRECISION = 3;  // one more printed digit: three more steps, tolerance / 10
  Analytic b = slow(findtype::findt);
  b.mode = 2;
  x = 900;
  b.ITERATE(x, ok);
  EXPECT_EQ(b.evaluations, 13);
  EXPECT_EQ(b.tol, 1e-4L);
  TPRECISION = 2;
  // In P the step test is relative at or below 1 kbar, absolute above.
  Analytic p = slow(findtype::findp);
  EXPECT_EQ(p.tol, 1e-4L);
  p.SETLIMIT(0.5L);
  EXPECT_EQ(p.delta, 0.5L * 1e-4L);
  p.SETLIMIT(2);
  EXPECT_EQ(p.delta, 1e-4L);
  // A kind without a search stops the run.
  const IO::RunEnded e = vtest::runends([] { KPCALC2::Find(1, findtype::findxco2, 1, 1, 0, 1); });
  EXPECT_EQ(e.where + " : " + e.message, "find : unimplemented");
}

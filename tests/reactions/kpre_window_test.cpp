// Window tests of phase diagrams on reactions whose delta mu is known in
// closed form: end-members with constant H, S and V (straight lines), one
// with a heat capacity (a curved line with a temperature maximum), and fluid
// species whose mole fractions enter through R T ln x. Every expectation is
// worked from the closed form in the comment beside it.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "frame/io.h"
#include "reactions/kpre.h"
#include "reactions/kpre_window.h"
#include "solver/solver_support.h"

using namespace KPGLOBAL;

namespace {

constexpr extended Rgas = 0.0083144L;

class Window : public solvertest::SolverTest {
 protected:
  KPRE::g4vector g4{};
  void SetUp() override {
    SolverTest::SetUp();
    CALCMODE = calcmodetype::phasecalc;
    FIXEDXCO2 = 0, FIXEDXH2O = 1;
  }
  void row(int k, const char* name, extended h, extended s, extended v, extended cpa = 0) {
    NAME[k] = name;
    (*TD)[k] = tdvector{};
    (*TD)[k].h = h, (*TD)[k].s = s, (*TD)[k].v = v, (*TD)[k].cpa = cpa;
  }
  // Reaction 1 over the NCV end-members.
  void reaction(std::initializer_list<int> nu) {
    NR = 1;
    int k = 0;
    for (int c : nu) (*R)(1, ++k) = static_cast<smallint>(c);
    NCV = NNE = static_cast<smallint>(k);
  }
  bool test(diagramtype d) {
    DIAGRAMMODE = d;
    return KPRE::INPTXWINDOW(1, g4);
  }
  std::string signs() const {
    std::string s;
    for (int k = 1; k <= 4; ++k) s += g4[k] ? '-' : '+';
    return s;
  }
};

}  // namespace

// P-T: a = b with dmu = 10 - 0.01 T - 0.1 (P - 0.001). In a window of
// 500-1500 K and 1-30 kbar the corner signs are (+, +, -, -): inside with no
// search. At 400-600 K every corner is positive and a straight line cannot
// come back through an edge: outside, g4 still filled.
TEST_F(Window, PTCornersOfAStraightLine) {
  row(1, "a", 0, 0.01L, 1);
  row(2, "b", 10, 0.02L, 0.9L);
  reaction({-1, 1});
  TLOW = 500, THIGH = 1500, PLOW = 1, PHIGH = 30;
  EXPECT_TRUE(test(diagramtype::ptcalc));
  EXPECT_EQ(signs(), "++--");
  TLOW = 400, THIGH = 600;
  g4.fill(true);
  EXPECT_FALSE(test(diagramtype::ptcalc));
  EXPECT_EQ(signs(), "++++");
  // The line P = 0.001 + (10 - 0.01 T) / 0.1 passes 1..30 kbar between
  // 700 and 990 K: a window of 650-1000 K at 1-30 kbar cuts it.
  TLOW = 650, THIGH = 1000;
  EXPECT_TRUE(test(diagramtype::ptcalc));
  EXPECT_EQ(signs(), "++--");
}

// A curved line: b has Cp = 0.1 more than a, so at any P
// dmu(T) = dH - T dS0 + 0.1 ((T - 298.15) - T ln(T / 298.15)) with a maximum
// at T* = 298.15 exp(-dS0 / 0.1) = 1000 K, and dV = 0. With dH chosen so
// that dmu(T*) > 0 while dmu < 0 at 500 and 1500 K, all four corners are
// negative, the low-P edge has d(dmu)/dT of both signs, and the search along
// it finds the line. A lower dH leaves dmu < 0 everywhere: outside.
TEST_F(Window, PTEdgeSearchFindsALineThatReturnsThroughOneEdge) {
  const extended dS0 = -0.1L * std::log(1000 / 298.15L);
  const auto dmu = [&](extended dH, extended T) {
    return dH - T * dS0 + 0.1L * ((T - 298.15L) - T * std::log(T / 298.15L));
  };
  TLOW = 500, THIGH = 1500, PLOW = 1, PHIGH = 30;
  for (extended dH : {-65.0L, -75.0L}) {
    row(1, "a", 0, 0.05L, 1);
    row(2, "b", dH, 0.05L + dS0, 1, 0.1L);
    reaction({-1, 1});
    const bool crosses = dmu(dH, 1000) > 0;
    ASSERT_LT(dmu(dH, 500), 0);
    ASSERT_LT(dmu(dH, 1500), 0);
    EXPECT_EQ(test(diagramtype::ptcalc), crosses) << static_cast<double>(dH);
    EXPECT_EQ(signs(), "----");
  }
}

// T-x(CO2) and P-x(CO2): cc + q = wo + CO2 with dH = 80, dS = 0.1, dV = 0 and
// CO2 an ideal species: dmu = 80 - 0.1 T + R T ln x, so T(x) = 80 / (0.1 -
// R ln x): 800 K at x = 1, 669.7 K at x = 0.1.
TEST_F(Window, XCO2CornersOfADecarbonation) {
  row(1, "cc", 0, 0.1L, 3);
  row(2, "q", 0, 0.05L, 2);
  row(3, "wo", 40, 0.15L, 4);
  row(4, "c", 40, 0.1L, 1);
  reaction({-1, -1, 1, 1});
  CO2POS = 4;
  XCO2LOW = 0.1L, XCO2HIGH = 1, FIXEDP = 2;
  TLOW = 500, THIGH = 1000;
  EXPECT_TRUE(test(diagramtype::txcalc));
  EXPECT_EQ(signs(), "++--");
  TLOW = 300, THIGH = 600;  // below 669.7 K everywhere
  EXPECT_FALSE(test(diagramtype::txcalc));
  EXPECT_EQ(signs(), "++++");
  TLOW = 700, THIGH = 750;  // the line crosses x = 0.1..1 between 669.7 and 800 K
  EXPECT_TRUE(test(diagramtype::txcalc));
  EXPECT_EQ(signs(), "-++-");
  // P-x(CO2) at 700 K: dmu = 10 + R 700 ln x + 0 (P - 0.001): no P dependence
  // when dV = 0, so every P has the sign of x alone: negative for
  // x < exp(-10 / (700 R)) = 0.179.
  FIXEDT = 700, PLOW = 1, PHIGH = 10;
  EXPECT_TRUE(test(diagramtype::pxcalc));
  EXPECT_EQ(signs(), "-++-");
  XCO2LOW = 0.2L;
  EXPECT_FALSE(test(diagramtype::pxcalc));
  // From x = 0 the line T(x) runs down to 0 K, so it crosses 300-600 K near
  // x = 0.018. The corners at x = 0, where the fluid has no CO2, are taken
  // at x = 1e-4, where the line lies at 80 / (0.1 - R ln 1e-4) = 452.9 K:
  // positive at 300 K, negative at 600 K (a pure fluid would put them at
  // 800 K, all positive, and lose the line).
  XCO2LOW = 0, TLOW = 300, THIGH = 600;
  EXPECT_TRUE(test(diagramtype::txcalc));
  EXPECT_EQ(signs(), "+++-");
  // At 460-600 K both corners at x = 1e-4 lie above the line (452.9 K).
  TLOW = 460;
  EXPECT_TRUE(test(diagramtype::txcalc));
  EXPECT_EQ(signs(), "-++-");
  // The line reaches 440-450 K only at x < 1e-4, nearer the end than the
  // corners are taken: all positive, outside.
  TLOW = 440, THIGH = 450;
  EXPECT_FALSE(test(diagramtype::txcalc));
  EXPECT_EQ(signs(), "++++");
}

// Both fluid species on one side, x(CO2) 0..1: cc + tr = dol + wo + CO2 +
// H2O in miniature, a = b + w + c with dmu = 40 - 0.01 T + R T ln(x (1 - x)).
// The corners, taken at x = 1e-4 and 1 - 1e-4, are positive at 300 K
// (37 + 300 R ln(1e-4) = +14.0) and negative at 600 K (-11.9), so the line is
// in the window (the limits of R T ln x at x = 0 and 1 would make every
// corner negative).
TEST_F(Window, XCO2EndsWithBothFluidSpeciesOnOneSide) {
  row(1, "a", 0, 0.01L, 1);
  row(2, "b", 40, 0.02L, 1);
  row(3, "w", 0, 0, 0);
  row(4, "c", 0, 0, 0);
  reaction({-1, 1, 1, 1});
  H2OPOS = 3, CO2POS = 4;
  XCO2LOW = 0, XCO2HIGH = 1, FIXEDP = 2;
  TLOW = 300, THIGH = 600;
  const auto dmu = [](extended x, extended T) { return 40 - 0.01L * T + Rgas * T * std::log(x * (1 - x)); };
  ASSERT_GT(dmu(1e-4L, 300), 0);
  ASSERT_LT(dmu(1e-4L, 600), 0);
  EXPECT_TRUE(test(diagramtype::txcalc));
  EXPECT_EQ(signs(), "++--");
  // At 300-400 K dmu > 0 everywhere in the window (dmu(1e-4, 400) = +5.37):
  // outside, all corners positive, so the products are the unstable side.
  THIGH = 400;
  ASSERT_GT(dmu(1e-4L, 400), 0);
  EXPECT_FALSE(test(diagramtype::txcalc));
  EXPECT_EQ(signs(), "++++");
}

// The fluid extremum: a = b + H2O + CO2 with dH = -1.2, dS = -0.0135, dV = 0:
// dmu = -1.2 + T s(x), s(x) = 0.0135 + R ln(x (1 - x)). In x 0.3..0.95 and
// T 500..1000 K all corners are negative (s(0.3) = 0.000525, s(0.95) < 0),
// d(dmu)/dT = s differs in sign between the low-T corners, and at the
// extremum x* = 1/2 the sign changes between 500 K (-0.213) and 1000 K
// (+0.774): inside. With dH = -2.5 dmu(x*) stays negative: outside.
TEST_F(Window, FluidExtremumOfADehydrationDecarbonation) {
  TLOW = 500, THIGH = 1000, FIXEDP = 1;
  XCO2LOW = 0.3L, XCO2HIGH = 0.95L;
  H2OPOS = 3, CO2POS = 4;
  for (extended dH : {-1.2L, -2.5L}) {
    row(1, "a", 0, 0.3L, 1);
    row(2, "b", dH, 0.3L - 0.0135L, 1);
    row(3, "w", 0, 0, 0);
    row(4, "c", 0, 0, 0);
    reaction({-1, 1, 1, 1});
    const extended sstar = 0.0135L + Rgas * std::log(0.25L);
    const bool crosses = dH + 1000 * sstar > 0;
    EXPECT_EQ(test(diagramtype::txcalc), crosses) << static_cast<double>(dH);
    EXPECT_EQ(signs(), "----");
  }
  // Over x = 0..1 the ends are taken at 1e-4 and 1 - 1e-4, where s = 0.0135
  // + R ln(1e-4) < 0: all corners negative, and so are d(dmu)/dT at the two
  // low-T corners; the extremum decides all the same, as worked above. So
  // it does in x 0.05..0.95 (s(0.05) = -0.0118, the corners' derivatives of
  // one sign), where a line reaching the window only near its maximum used
  // to be lost.
  for (const auto& [lo, hi] : {std::pair{0.0L, 1.0L}, std::pair{0.05L, 0.95L}}) {
    XCO2LOW = lo, XCO2HIGH = hi;
    for (extended dH : {-1.2L, -2.5L}) {
      row(2, "b", dH, 0.3L - 0.0135L, 1);
      EXPECT_EQ(test(diagramtype::txcalc), dH > -2) << static_cast<double>(dH) << " " << static_cast<double>(lo);
      EXPECT_EQ(signs(), "----");
    }
  }
  // At 800-1000 K dmu(x*) is positive at both ends (+0.379, +0.774) while
  // the corners at x = 0.05 and 0.95 stay negative: the line crosses the
  // T = 800 K edge twice and is in the window.
  TLOW = 800;
  row(2, "b", -1.2L, 0.3L - 0.0135L, 1);
  EXPECT_TRUE(test(diagramtype::txcalc));
  EXPECT_EQ(signs(), "----");
  TLOW = 500;
  XCO2LOW = 0.3L, XCO2HIGH = 0.95L;
  // With only one fluid species released there is no extremum to test.
  (*R)(1, 3) = 0;
  row(2, "b", -1.2L, 0.3L - 0.0135L, 1);
  EXPECT_FALSE(test(diagramtype::txcalc));
}

// Activity axes: a = b with b carrying the axis. dmu = 10 - 0.01 T + R T v
// (ln a) or + R ln 10 T v (log a), dV = 0: at v = 0 the line is at 1000 K.
// The axis end-member is the recorded one (here the first, not the last), its
// entropy ends at the last value set, and the other rows are untouched.
TEST_F(Window, ActivityAxisOnTheRecordedEndMember) {
  row(1, "b", 10, 0.02L, 1);
  row(2, "a", 0, 0.01L, 1);
  row(3, "z", 0, 0, 0);
  reaction({1, -1, 0});
  LNAPOS = 1, KEEPLNAS[1] = 0.02L;
  FIXEDP = 1, FIXEDT = 900;
  LNALOW = -2, LNAHIGH = 0;
  TLOW = 500, THIGH = 1500;
  EXPECT_TRUE(test(diagramtype::tlnacalc));
  EXPECT_EQ(signs(), "-+--");  // at ln a = -2 the line is at 10 / (0.01 + 2 R) = 376 K
  EXPECT_EQ((*TD)[1].s, 0.02L - 0);  // last set: LNAHIGH = 0
  EXPECT_EQ((*TD)[3].s, 0);
  // log a: the line T = 10 / (0.01 - R ln 10 v) reaches 500 K only at
  // v = -0.5223: a log a window of -0.4..0 at 500-1500 K has it inside, a
  // window of 1100-1500 K only at v > 0.047, so -0.4..0 is outside there.
  VOVUVUVED.setloga = controlboolean::yes;
  LNALOW = -0.4L;
  EXPECT_TRUE(test(diagramtype::tlnacalc));
  TLOW = 1100;
  EXPECT_FALSE(test(diagramtype::tlnacalc));
  EXPECT_EQ(signs(), "----");
  // P-log a at 900 K with dV = -0.1: dmu = 1 - 0.1 (P - 0.001) + R ln10 900 v.
  row(1, "b", 10, 0.02L, 0.9L);
  TLOW = 500, THIGH = 1500, PLOW = 1, PHIGH = 30;
  EXPECT_TRUE(test(diagramtype::plnacalc));  // v = 0: P = 10.001
  EXPECT_EQ(signs(), "-+--");
  // No recorded axis end-member is an internal fault, not a write elsewhere.
  LNAPOS = 0;
  const IO::RunEnded e = vtest::runends([&] { test(diagramtype::plnacalc); });
  EXPECT_EQ(e.where, "inPTXwindow");
}

// Schreinemakers pruning: a reaction whose unstable side holds only phases in
// excess gives no exclusion (the empty set would exclude every candidate).
// With 60 excluded assemblages held, a new one that removes none takes the
// place of the 60th; one that removes some is appended after them.
TEST_F(Window, PruningNeverRecordsTheEmptySetAndReplacesTheSixtieth) {
  NCV = 2, NNE = 1;
  NAME[1] = "a", NAME[2] = "H2O";
  bemvector compsel{}, ph{}, cand{};
  KPRE::CALCR r(1, compsel, ph, cand);
  NR = 1, NRBIT = 1;
  NEX = 0;
  r.nu[1] = -1, r.nu[2] = 1;  // delta mu > 0 at the first corner: the positive side, H2O alone, is unstable
  r.g4first = false;
  r.BUILDEXA();
  EXPECT_EQ(NEX, 0);
  EXPECT_EQ(NEX1, 0);
  EXPECT_EQ(NR, 0);
  // The list full: 60 assemblages {m, 89, 90} among 1..90.
  NCV = NNE = 90;
  const auto set = [](std::initializer_list<int> members) {
    longint3 s;
    IO::BCLEAR2(s);
    for (int j : members) IO::BSET2(s, static_cast<smallint>(j));
    return s;
  };
  NEX = 60;
  for (int m = 1; m <= 60; ++m) EXA[m] = set({m, 89, 90});
  for (int j = 1; j <= 90; ++j) r.nu[j] = 0;
  r.nu[61] = 1, r.nu[62] = 1, r.nu[63] = -2;  // unstable side {61, 62}
  NR = 1, NRBIT = 1;
  screen.str("");
  r.BUILDEXA();
  EXPECT_EQ(NEX, 60);
  EXPECT_EQ(EXA[60], set({61, 62}));
  EXPECT_EQ(EXA[59], set({59, 89, 90}));
  EXPECT_EQ(EXA[1], set({1, 89, 90}));
  EXPECT_EQ(screen.str(), "+");
  // {5, 90} holds none of those held and lies in {5, 89, 90} only: that one
  // goes, the others move up, and the new one is appended as the 60th.
  for (int j = 1; j <= 90; ++j) r.nu[j] = 0;
  r.nu[5] = 1, r.nu[90] = 1, r.nu[64] = -2;
  NR = 1, NRBIT = 1;
  r.BUILDEXA();
  EXPECT_EQ(NEX, 60);
  EXPECT_EQ(EXA[5], set({6, 89, 90}));
  EXPECT_EQ(EXA[59], set({61, 62}));
  EXPECT_EQ(EXA[60], set({5, 90}));
}

// ln K, ln a variances, orientation and text of the reactions in R.
#include <cmath>

#include "solver/kpcalc2_reactions.h"
#include "solver/solver_support.h"

using namespace KPGLOBAL;

namespace {

class Reactions : public solvertest::SolverTest {
 protected:
  // End-members with h, s, v only (kJ, kJ/K, kJ/kbar) and names.
  void row(int k, const char* name, extended h, extended s, extended v) {
    NAME[k] = name;
    (*TD)[k] = tdvector{};
    (*TD)[k].h = h, (*TD)[k].s = s, (*TD)[k].v = v;
  }
  void reaction(int r, std::initializer_list<int> nu) {
    int k = 0;
    for (int v : nu) (*R)(r, ++k) = static_cast<smallint>(v);
  }
};

}  // namespace

TEST_F(Reactions, LnKAndItsBadInput) {
  NCV = 3, NR = 2;
  reaction(1, {-1, -2, 1});
  reaction(2, {1, 0, -3});
  NAME[1] = "a", NAME[2] = "b", NAME[3] = "c";
  ACTIVITY[1] = 0.5L, ACTIVITY[2] = 0.25L, ACTIVITY[3] = 0.8L;
  KPCALC2::CALCLNK();
  EXPECT_NEAR(static_cast<double>(ALNK[1]), -std::log(0.5) - 2 * std::log(0.25) + std::log(0.8), 1e-15);
  EXPECT_NEAR(static_cast<double>(ALNK[2]), std::log(0.5) - 3 * std::log(0.8), 1e-15);
  // A zero activity outside every reaction is not read; inside one it stops
  // the run as bad input naming the end-member.
  NR = 1;
  (*R)(1, 2) = 0;
  ACTIVITY[2] = 0;
  KPCALC2::CALCLNK();
  (*R)(1, 2) = -2;
  const IO::RunEnded e = vtest::runends([] { KPCALC2::CALCLNK(); });
  EXPECT_EQ(e.where, "calclnk");
  EXPECT_NE(e.message.find("activity of b is not positive"), std::string::npos) << e.message;
  EXPECT_EQ(screen.str().find("===This shouldn't have happened"), std::string::npos);
}

TEST_F(Reactions, LnAVariances) {
  NCV = 3;
  ACTIVITY[1] = 0.5L, SDACTIVITY[1] = 0.05L;
  ACTIVITY[2] = 1, SDACTIVITY[2] = 0.1L;  // activity 1: no variance
  ACTIVITY[3] = 0.2L, SDACTIVITY[3] = 0;
  CALCMODE = calcmodetype::rockcalc;
  KPCALC2::CALCVARLNA();
  EXPECT_NEAR(static_cast<double>(VARLNA[1]), 0.01, 1e-18);
  EXPECT_EQ(VARLNA[2], 0);
  EXPECT_EQ(VARLNA[3], 0);
  CALCMODE = calcmodetype::nlecalc;  // calcmode 1: all 0
  KPCALC2::CALCVARLNA();
  EXPECT_EQ(VARLNA[1], 0);
}

TEST_F(Reactions, ReactionText) {
  NCV = 4, NR = 3;
  NAME[1] = "a", NAME[2] = "b", NAME[3] = "c", NAME[4] = "H2O";
  reaction(3, {-1, -1, 1, 0});
  INDENTR = 5;
  KPCALC2::MAKERLINE(3);
  EXPECT_EQ(RLINES[3], "3)  a + b = c");
  EXPECT_EQ(INDENTR, 14);
  // Coefficients stand right in front of the name; a fixed-activity
  // end-member is shown under its phase name.
  reaction(2, {2, 0, -3, -1});
  NLNA = 1, LNANAME[1] = "H2O", LNANAMEP[1] = "fluid";
  KPCALC2::MAKERLINE(2);
  EXPECT_EQ(RLINES[2], "2)  3c + fluid = 2a");
  EXPECT_EQ(INDENTR, 20);
  KPCALC2::MAKERLINE(3);
  EXPECT_EQ(INDENTR, 20);  // a shorter line leaves the mark
}

TEST_F(Reactions, OrientationForPhaseDiagrams) {
  // a = b has dmu = G(b) - G(a) = 10 - 0.01 T: on the line at 1000 K, b
  // stable above it. Written the other way round (b = a) it must be turned.
  NCV = 2, NR = 1;
  row(1, "a", 0, 0.01L, 1);
  row(2, "b", 10, 0.02L, 1);
  reaction(1, {1, -1});
  ALNK[1] = 0.3L;
  // Outside calcmode 3 only the message.
  KPCALC2::TURNREACTION(1, 5, 1000, 0, 1, 0, 0);
  EXPECT_EQ(screen.str(), "\ncall of turnreaction unexpected\n");
  EXPECT_EQ((*R)(1, 1), 1);
  CALCMODE = calcmodetype::phasecalc;
  DIAGRAMMODE = diagramtype::ptcalc;
  // At 1000 K + 5 K dmu(b = a) = 0.05 > 0: turned, ln K too, so that the
  // right-hand side b is the high-T side. Turning again changes nothing. The
  // text keeps the sense it was built in.
  KPCALC2::MAKERLINE(1);
  for (int pass = 0; pass < 2; ++pass) {
    KPCALC2::TURNREACTION(1, 5, 1000, 0, 1, 0, 0);
    EXPECT_EQ((*R)(1, 1), -1);
    EXPECT_EQ((*R)(1, 2), 1);
    EXPECT_EQ(ALNK[1], -0.3L);
    EXPECT_EQ(RLINES[1], "1)  b = a");
  }
  // dmu exactly 0 at the offset point: not turned (two rows without entropy
  // are their enthalpies alone).
  reaction(1, {1, -1});
  row(1, "a", 7, 0, 1);
  row(2, "b", 7, 0, 1);
  KPCALC2::TURNREACTION(1, 5, 1000, 0, 1, 0, 0);
  EXPECT_EQ((*R)(1, 1), 1);
  // An activity axis: the entropy of the last row becomes S - R ln a (or
  // S - R ln 10 log a with setloga) before the offset in P.
  row(2, "b", 7, 0.5L, 1);
  KEEPLNAS[1] = 0.5L;
  LNAPOS = 2, MUPOS = 2;
  DIAGRAMMODE = diagramtype::plnacalc;
  KPCALC2::TURNREACTION(1, 5, 1000, 0, 1, -2, 0);
  EXPECT_NEAR(static_cast<double>((*TD)[2].s), static_cast<double>(0.5L + 2 * 0.0083144L), 1e-18);
  VOVUVUVED.setloga = controlboolean::yes;
  KPCALC2::TURNREACTION(1, 5, 1000, 0, 1, -2, 0);
  EXPECT_NEAR(static_cast<double>((*TD)[2].s), static_cast<double>(0.5L + 2 * 0.019144654296L), 1e-18);
  DIAGRAMMODE = diagramtype::tmucalc;
  KPCALC2::TURNREACTION(1, 5, 1000, 0, 1, 0, -123.5L);
  EXPECT_EQ((*TD)[2].h, -123.5L);
  // The axis end-member is the recorded one, also when it is not the last.
  LNAPOS = 1;
  DIAGRAMMODE = diagramtype::tlnacalc;
  KPCALC2::TURNREACTION(1, 5, 1000, 0, 1, 1, 0);
  EXPECT_NEAR(static_cast<double>((*TD)[1].s), static_cast<double>(0.5L - 0.019144654296L), 1e-18);
  EXPECT_EQ((*TD)[2].h, -123.5L);
}

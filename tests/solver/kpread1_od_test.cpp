// The equilibrium state of order of a two-site phase, solved by the
// system's solver from legal starts, through the extraction of end-members.
#include <cmath>
#include <filesystem>

#include "frame/kpmath1.h"
#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "models/kpread2.h"
#include "solver/kpread1_extract.h"
#include "solver/kpread1_od.h"
#include "solver/solver_support.h"

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;

class OrderTest : public solvertest::SolverTest {
 protected:
  void SetUp() override {
    SolverTest::SetUp();
    namespace fs = std::filesystem;
    fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "lists" / "vt-ds3x.txt", *dir / "vt-ds3x.txt");
    fs::copy_file(vtest::datapath("ax-order.txt"), *dir / "vt-order.txt");
    fs::copy_file(vtest::datapath("ax-order-bw.txt"), *dir / "vt-orderbw.txt");
    CALCMODE = calcmodetype::rockcalc;
    IO::CONTROLIO.dsfile = "3x";
    IO::CONTROLIO.axfile = axfile();
    IO::SCRIPTFILENAME = "vt-script.txt";
    KPREAD1::READTHERMO(1);
    const IO::RunEnded e = vtest::endof([] { KPREAD2::SETUPPHASES(); });
    ASSERT_EQ(e.where, "") << screen.str();
    screen.str("");
  }
  virtual std::string axfile() const { return "order"; }
  ptype1& od() { return (*PREC1)[1]; }
};

class OrderBWTest : public OrderTest {
 protected:
  std::string axfile() const override { return "orderbw"; }
};

}  // namespace

// The two-site model: ky = X1 Y2 and and = Y1 X2 with a = ((1 +- Q)/2)^2, so
// the internal reaction ky = and is at equilibrium where
// 2 RT ln((1 + Q)/(1 - Q)) = G(and) - G(ky), that is Q = tanh(dG / 4RT).
TEST_F(OrderTest, TwoSiteModelSolvesToTanh) {
  VOVUVUVED.ptforaxe = controlboolean::yes;
  VOVUVUVED.ptforaxep = 12;
  VOVUVUVED.ptforaxet = 500;
  answers("od q\n");
  KPREAD1::EXTRACTEM();
  const extended P = 12, T = 773.15L;
  ASSERT_EQ(NAME[1], "ky");
  ASSERT_EQ(NAME[2], "and");
  extended gky = 0, gand = 0;
  KPCALC1::GEMDRIVER(1, gky, P, T);
  KPCALC1::GEMDRIVER(2, gand, P, T);
  const extended dG = gand - gky;
  const extended q = std::tanh(dG / (4 * RGAS * T));
  ASSERT_GT(std::fabs(q), 0.05);  // a real test: well away from the start
  EXPECT_NEAR(od().xyz[1].guess, q, 1e-7);  // the solver's own tolerance
  EXPECT_NEAR(ACTIVITY[1], std::pow((1 + q) / 2, 2), 1e-7);
  EXPECT_NEAR(ACTIVITY[2], std::pow((1 - q) / 2, 2), 1e-7);
  EXPECT_NE(screen.str().find("\nod          Q(od) = " + IO::REAL2STR(od().xyz[1].guess, 4, true) + "\n"),
            std::string::npos)
      << screen.str();
  EXPECT_NE(screen.str().find(" at PT: 12 kbar, 500\xA1" "C (from script)\n"), std::string::npos);
}

// After the solve the system is as it was: names, compositions, reactions
// with their site counts, data rows, activities, site counts and mode; a
// phase whose guesses are illegal gets legal random order variables from the
// frame's generator, or none after 201 trials.
TEST_F(OrderTest, SolveRestoresSystemAndRandomStarts) {
  answers("od q\n4\n500\n");
  KPREAD1::EXTRACTEM();
  const auto name = NAME;
  const auto c = std::make_unique<icmatrix>(*C);
  const auto td = std::make_unique<tdtable>(*TD);
  NSITE[1] = 9;  // the solve sets it to the model's site count (1)
  const auto nsite = NSITE;
  const auto act = ACTIVITY;
  NR = 1;
  (*R)(1, 1) = 7;
  RNSITE[1] = 5;
  od().xyz[1].guess = 0.3L;
  ASSERT_TRUE(KPREAD1::CALCQ(1, 4, 773.15L));
  EXPECT_EQ(NAME, name);
  EXPECT_EQ(*C, *c);
  EXPECT_EQ(*TD, *td);
  EXPECT_EQ(NSITE, nsite);
  EXPECT_EQ(ACTIVITY, act);
  EXPECT_EQ(NR, 1);
  EXPECT_EQ((*R)(1, 1), 7);
  EXPECT_EQ(RNSITE[1], 5);
  EXPECT_EQ(CALCMODE, calcmodetype::rockcalc);
  EXPECT_EQ(NCV, 3);

  // Illegal guesses (a site fraction below 0): the first legal random trial.
  bool wasillegal = false;
  od().xyz[1].guess = 1.5L;
  KPMATH1::SETSEEDS(11, 22, 33);
  ASSERT_TRUE(KPREAD1::FINDLEGALQ(1, false, 4, 773.15L, wasillegal));
  EXPECT_TRUE(wasillegal);
  KPMATH1::SETSEEDS(11, 22, 33);
  extended u = KPMATH1::RANDOM();
  EXPECT_EQ(od().xyz[1].guess, -1 + 2 * u);
  // Legal guesses are kept as they are.
  od().xyz[1].guess = 0.25L;
  ASSERT_TRUE(KPREAD1::FINDLEGALQ(1, false, 4, 773.15L, wasillegal));
  EXPECT_FALSE(wasillegal);
  EXPECT_EQ(od().xyz[1].guess, 0.25L);
  // A range with no legal value: 201 trials, false, the last trial kept.
  od().xyz[1].lo = 2;
  od().xyz[1].hi = 3;
  od().xyz[1].guess = 2.5L;
  EXPECT_FALSE(KPREAD1::FINDLEGALQ(1, true, 4, 773.15L, wasillegal));
  EXPECT_GE(od().xyz[1].guess, 2);
  EXPECT_LE(od().xyz[1].guess, 3);
  // Two internal reactions (a third arrangement of the same composition)
  // for one order variable.
  od().xyz[1].lo = -1;
  od().xyz[1].hi = 1;
  od().xyz[1].guess = 0.2L;
  od().nem = 3;
  od().em[3] = od().em[1];
  od().em[3].name = "sill";
  vtest::runends([] { KPREAD1::CALCQ(1, 4, 773.15L); });
  EXPECT_NE(screen.str().find("-- run bombed in calcq : no of reactions not equal to no of Qs"),
            std::string::npos);
  od().nem = 2;
  // Phases without order variables stop the run.
  vtest::runends([] { KPREAD1::CALCQ(2, 4, 773.15L); });
  EXPECT_NE(screen.str().find("-- run bombed in calcq : not an OD phase"), std::string::npos);
}

// The dataset's Bragg-Williams term of sill and the two-site a-x model that
// describes the same ordering reach the same Q: the solved a-x Q zeroes the
// residual of the Bragg-Williams model (written out here), and the dataset's
// root finder lands on it within its tolerance of 0.001 kJ on the residual.
TEST_F(OrderBWTest, AxModelMatchesDatasetOrdering) {
  VOVUVUVED.ptforaxe = controlboolean::yes;
  VOVUVUVED.ptforaxep = 6;
  VOVUVUVED.ptforaxet = 700;
  answers("od sill\n");
  KPREAD1::EXTRACTEM();
  ASSERT_EQ(NAME[3], "sill");
  const tdvector& bw = (*TD)[3];
  // The model of the a-x file: n = 1, f = 1/4, dH = W, W(o,a) = 4 W.
  ASSERT_EQ(bw.sfn, 1);
  ASSERT_EQ(bw.sffac, 0.25L);
  ASSERT_EQ(bw.sfdh, bw.sfw);
  ASSERT_EQ(bw.sfdhv, bw.sfwv);
  ASSERT_EQ(4 * bw.sfw, 19);
  ASSERT_EQ(4 * bw.sfwv, 0.04L);
  const extended P = 6, T = 973.15L;
  const extended dH = bw.sfdh + bw.sfdhv * P, W = bw.sfw + bw.sfwv * P;
  // The two arrangements differ only by their order: equal data rows.
  od().em[2].td = od().em[1].td;
  // The equations hold at every stationary point, the disordered maximum
  // Q = 0 as well: start on the ordered side.
  od().xyz[1].guess = 0.9L;
  ASSERT_TRUE(KPREAD1::CALCQ(1, P, T));
  const extended q = od().xyz[1].guess;
  auto F = [&](extended Q) {
    return dH + W * (2 * Q - 1) + 0.5L * 0.25L * RGAS * T * std::log((1 - Q) * (1 - Q) / ((1 + Q) * (1 + Q)));
  };
  EXPECT_GT(q, 0.5L);
  EXPECT_NEAR(F(q), 0, 1e-7);
  EXPECT_NEAR(KPCALC1::IHQ(T, dH, W, 1, 0.25L), q, 5e-4);
}

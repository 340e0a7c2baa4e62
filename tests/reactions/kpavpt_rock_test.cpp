// The rock-calculation run's activity refresh of an ordering phase: the
// state of order is solved again at each new P-T before the activities.
#include <cmath>
#include <filesystem>

#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "models/kpread2.h"
#include "reactions/kpavpt.h"
#include "solver/kpread1_extract.h"
#include "solver/solver_support.h"

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;

class AvptOrder : public solvertest::SolverTest {
 protected:
  void SetUp() override {
    SolverTest::SetUp();
    std::filesystem::copy_file(vtest::datapath("ax-order.txt"), *dir / "vt-order.txt");
    ASSERT_NO_FATAL_FAILURE(readaxfile(calcmodetype::rockcalc, "order"));
    extractat(12, 500, "od q\n");
    NR = 0;
  }
};

}  // namespace

// Two-site order: at equilibrium Q = tanh((G(and) - G(ky)) / 4RT) and
// a(ky), a(and) = ((1 +- Q)/2)^2; the refresh at a new P-T reaches the new
// Q, not the one of the extraction.
TEST_F(AvptOrder, UpdateActivitySolvesTheStateOfOrderAtTheNewPoint) {
  ASSERT_EQ(NAME[1], "ky");
  ASSERT_EQ(NAME[2], "and");
  const extended q0 = (*PREC1)[1].xyz[1].guess;
  const extended P = 4, T = 1073.15L;
  KPAVPT::UPDATEACTIVITY(P, T);
  extended gky = 0, gand = 0;
  KPCALC1::GEMDRIVER(1, gky, P, T);
  KPCALC1::GEMDRIVER(2, gand, P, T);
  const extended q = std::tanh((gand - gky) / (4 * RGAS * T));
  ASSERT_GT(std::fabs(q - q0), 0.01);  // the new point has its own Q
  EXPECT_NEAR((*PREC1)[1].xyz[1].guess, q, 1e-7);
  EXPECT_NEAR(ACTIVITY[1], std::pow((1 + q) / 2, 2), 1e-7);
  EXPECT_NEAR(ACTIVITY[2], std::pow((1 - q) / 2, 2), 1e-7);
  EXPECT_EQ(ACTIVITY[3], 1);  // the pure phase keeps its activity
}

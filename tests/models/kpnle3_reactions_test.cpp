// Balanced reactions among phases and their text.
#include <gtest/gtest.h>

#include <cmath>

#include <sstream>

#include "frame/io.h"
#include "models/kpnle3_reactions.h"
#include "ph_state.h"

using namespace KPGLOBAL;

namespace {

std::string text(std::initializer_list<extended> c, std::initializer_list<const char*> n) {
  emvector coef{};
  strings names;
  int j = 0;
  for (extended v : c) coef[++j] = v;
  j = 0;
  for (const char* s : n) names[++j] = s;
  std::string t;
  KPNLE3::REACTION2STRING(coef, names, static_cast<smallint>(j), t);
  return t;
}

// Residual of sum coef[j] x column j in row i.
extended residual(const cmatrix& c, const emvector& coef, int i, int m) {
  extended s = 0;
  for (int j = 1; j <= m; ++j) s += coef[j] * c(i, j);
  return s;
}

}  // namespace

TEST(ReactionText, WholeTenthsAndTraceCoefficients) {
  phtest::phreset();
  // Worked examples: whole coefficients reduce to the smallest one, others
  // stay in tenths, a trace amount prints as 0.
  EXPECT_EQ(text({-1, -2, 1}, {"a", "b", "c"}), "a + 2b = c");
  EXPECT_EQ(text({-1, -1.5, 2.5}, {"a", "b", "c"}), "10a + 15b = 25c");
  // (the trace coefficient is not whole, so the others stay in tenths)
  EXPECT_EQ(text({-1, 0.0005, 1}, {"a", "b", "c"}), "10a = 0b + 10c");
  EXPECT_EQ(text({-1, 1.3}, {"a", "b"}), "10a = 13b");
  EXPECT_EQ(text({-1, 2}, {"a", "b"}), "a = 2b");
  // A smallest coefficient of 0.5 still prints as 1 (omitted).
  EXPECT_EQ(text({-0.5, 1.5}, {"ky", "q"}), "ky = 3q");
  // A column that takes no part is left out.
  EXPECT_EQ(text({1, 0, -1}, {"sill", "q", "ky"}), "ky = sill");
}

TEST(RealReaction, ForsteriteQuartzEnstatiteBalancesEveryComponent) {
  phtest::phreset();
  NCV = 3;
  // Rows SiO2, MgO; columns fo (Mg2SiO4), q (SiO2), en (Mg2Si2O6).
  cmatrix c{};
  c(1, 1) = 1, c(2, 1) = 2;
  c(1, 2) = 1;
  c(1, 3) = 2, c(2, 3) = 2;
  emvector coef{};
  KPNLE3::REALREACTION(c, 2, 3, coef);
  EXPECT_NEAR(static_cast<double>(coef[1]), 1, 1e-15);
  EXPECT_NEAR(static_cast<double>(coef[2]), 1, 1e-15);
  EXPECT_EQ(coef[3], -1);
  for (int i = 1; i <= 2; ++i) EXPECT_NEAR(static_cast<double>(residual(c, coef, i, 3)), 0, 1e-15);
  strings names;
  names[1] = sstring("fo"), names[2] = sstring("q"), names[3] = sstring("en");
  std::string t;
  KPNLE3::REACTION2STRING(coef, names, 3, t);
  EXPECT_EQ(t, "en = fo + q");
}

TEST(RealReaction, ManyPhasesOverFewComponentsStayWithinTheRows) {
  phtest::phreset();
  NCV = 30;
  // 30 phases of one component: more columns than the 19 component rows.
  // The phases beyond the first and last get 0; the result still balances.
  cmatrix c{};
  for (int j = 1; j <= 30; ++j) c(1, j) = 2;
  emvector coef{};
  KPNLE3::REALREACTION(c, 1, 30, coef);
  EXPECT_EQ(coef[1], 1);
  EXPECT_EQ(coef[30], -1);
  for (int j = 2; j <= 29; ++j) EXPECT_EQ(coef[j], 0) << j;
  EXPECT_EQ(residual(c, coef, 1, 30), 0);
}

TEST(RealReaction, NearlyDependentBalancesIndependentRefused) {
  phtest::phreset();
  NCV = 3;
  // Column 3 = column 1 + column 2 up to 1e-7: the tiny remainder is taken
  // as an exact zero.
  cmatrix c{};
  c(1, 1) = 1, c(2, 1) = 0, c(3, 1) = 1;
  c(1, 2) = 0, c(2, 2) = 1, c(3, 2) = 1;
  c(1, 3) = 1, c(2, 3) = 1, c(3, 3) = 2.0000001L;
  emvector coef{};
  KPNLE3::REALREACTION(c, 3, 3, coef);
  EXPECT_NEAR(static_cast<double>(coef[1]), 1, 1e-12);
  EXPECT_NEAR(static_cast<double>(coef[2]), 1, 1e-12);
  EXPECT_EQ(coef[3], -1);

  c(3, 3) = 3;  // now independent
  const IO::RunEnded e = vtest::endof([&] { KPNLE3::REALREACTION(c, 3, 3, coef); });
  EXPECT_EQ(e.where, "realreaction");
  EXPECT_EQ(e.message, "no reaction - WHY");
}

// Independent reactions: balance and count on a real system of the example
// dataset (rank found independently here), the site-count rounding, the
// listings of an empty set, the reaction dump, and the capacity stops.
#include <cmath>
#include <vector>

#include "frame/kpmath1.h"
#include "solver/kpre_independent.h"
#include "solver/solver_support.h"

using namespace KPGLOBAL;

namespace {

class Independent : public solvertest::SolverTest {
 protected:
  // A hand-made system: end-member j has composition comps[j-1] over the
  // components named.
  void system(const std::vector<std::string>& comps, const std::vector<std::string>& names,
              const std::vector<std::vector<int>>& c) {
    NUV = static_cast<smallint>(comps.size());
    for (int i = 1; i <= NUV; ++i) COMPNAME[i] = comps[static_cast<std::size_t>(i - 1)], COMPDIV[i] = 1;
    NCV = static_cast<smallint>(names.size());
    for (int j = 1; j <= NCV; ++j) {
      NAME[j] = names[static_cast<std::size_t>(j - 1)];
      for (int i = 1; i <= NUV; ++i) (*C)(i, j) = static_cast<smallint>(c[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(i - 1)]);
    }
  }
  bool calc() {
    bool ok = false;
    KPRE::CALCRE2(ok);
    return ok;
  }
};

// Rank of the real matrix m (rows of equal length) by Gaussian elimination
// with partial pivoting.
int realrank(std::vector<std::vector<long double>> m) {
  int rank = 0;
  const std::size_t cols = m.empty() ? 0 : m[0].size();
  for (std::size_t c = 0; c < cols && static_cast<std::size_t>(rank) < m.size(); ++c) {
    std::size_t best = static_cast<std::size_t>(rank);
    for (std::size_t r = best; r < m.size(); ++r)
      if (std::fabs(m[r][c]) > std::fabs(m[best][c])) best = r;
    if (std::fabs(m[best][c]) < 1e-9L) continue;
    std::swap(m[best], m[static_cast<std::size_t>(rank)]);
    for (std::size_t r = 0; r < m.size(); ++r) {
      if (r == static_cast<std::size_t>(rank)) continue;
      const long double f = m[r][c] / m[static_cast<std::size_t>(rank)][c];
      for (std::size_t k = 0; k < cols; ++k) m[r][k] -= f * m[static_cast<std::size_t>(rank)][k];
    }
    ++rank;
  }
  return rank;
}

}  // namespace

TEST_F(Independent, RealSystemBalancesAndCountsNcvMinusRank) {
  readdataset({"q", "ky", "sill", "and", "cor", "H2O", "py", "alm", "gr", "an", "fo", "en", "di", "tr", "mu",
               "phl", "ann", "east", "cz", "zo", "cc", "dol", "CO2", "wo", "san"});
  ASSERT_TRUE(calc());
  std::vector<std::vector<long double>> cm(static_cast<std::size_t>(NUV));
  for (int i = 1; i <= NUV; ++i)
    for (int j = 1; j <= NCV; ++j) cm[static_cast<std::size_t>(i - 1)].push_back((*C)(i, j));
  const int rank = realrank(cm);
  EXPECT_EQ(NR, NCV - rank);
  std::vector<std::vector<long double>> rm;
  for (int r = 1; r <= NR; ++r) {
    long double sites = 0;
    std::vector<long double> row;
    for (int j = 1; j <= NCV; ++j) {
      row.push_back((*R)(r, j));
      sites += std::fabs(static_cast<long double>((*R)(r, j))) * NSITE[j];
    }
    rm.push_back(row);
    // R C^T = 0 exactly, in every component.
    for (int i = 1; i <= NUV; ++i) {
      long long s = 0;
      for (int j = 1; j <= NCV; ++j) s += static_cast<long long>((*R)(r, j)) * (*C)(i, j);
      EXPECT_EQ(s, 0) << "reaction " << r << ", component " << COMPNAME[i];
    }
    EXPECT_EQ(RNSITE[r], std::max(1.0L, std::nearbyint(sites / 2)));
  }
  EXPECT_EQ(realrank(rm), NR);  // the reactions are independent
  // Reaction 1 belongs to the last end-member, which is never a pivot here.
  EXPECT_NE((*R)(1, NCV), 0);
}

TEST_F(Independent, SiteCountsRoundHalvesToEven) {
  // Polymorph pair: one reaction a = b of opposite unit coefficients.
  system({"SiO2", "Al2O3"}, {"a", "b"}, {{1, 0}, {1, 0}});
  ASSERT_TRUE(calc());
  ASSERT_EQ(NR, 1);
  EXPECT_EQ((*R)(1, 1), -(*R)(1, 2));
  EXPECT_EQ(std::abs((*R)(1, 1)), 1);
  EXPECT_EQ(RNSITE[1], 1);
  const struct {
    smallint n1, n2, rnsite;
  } cases[] = {{2, 3, 2}, {3, 4, 4}, {0, 1, 1}, {3, 3, 3}};
  for (const auto& c : cases) {
    NSITE[1] = c.n1, NSITE[2] = c.n2;
    calc();
    EXPECT_EQ(RNSITE[1], c.rnsite) << c.n1 << " + " << c.n2;
  }
  // a + b = c with unit site numbers: half of 3 rounds to 2.
  NSITE.fill(1);
  system({"SiO2", "Al2O3"}, {"a", "b", "c"}, {{1, 0}, {0, 1}, {1, 1}});
  ASSERT_TRUE(calc());
  ASSERT_EQ(NR, 1);
  EXPECT_EQ((*R)(1, 1), (*R)(1, 2));
  EXPECT_EQ((*R)(1, 3), -(*R)(1, 1));
  EXPECT_EQ(RNSITE[1], 2);
}

TEST_F(Independent, NoReactionsListingAndComposition) {
  openoutputs();
  system({"SiO2", "Al2O3"}, {"q", "cor"}, {{1, 0}, {0, 1}});
  EXPECT_FALSE(calc());
  EXPECT_EQ(NR, 0);
  const std::string listing = "\n** no reactions\n\nq        1   0\ncor      0   1\n\n   1   1\n";
  EXPECT_EQ(screen.str(), listing);
  const std::string ic = output(4);
  EXPECT_EQ(ic,
            "\n        SiO2 Al2O3\n"
            "q          1     0\n"
            "cor        0     1\n"
            "div        1     1\n\n"
            "c =   {{  1,   0},\n"
            "       {  0,   1}};\n\n");
  EXPECT_EQ(vtest::readfile(*dir / "out2.txt"), listing);
  EXPECT_EQ(vtest::readfile(*dir / "out3.txt").find(listing) != std::string::npos, true);
  // With dogmin on nothing is written.
  screen.str("");
  DOGMIN = true;
  EXPECT_FALSE(calc());
  EXPECT_EQ(screen.str(), "");
  DOGMIN = false;
}

TEST_F(Independent, ReactionDumpOnlyWithIncnler) {
  openoutputs();
  system({"SiO2", "Al2O3"}, {"q", "ky", "cor"}, {{1, 0}, {1, 1}, {0, 1}});
  ASSERT_TRUE(calc());
  ASSERT_EQ(NR, 1);
  // cor is the free end-member: cor + q = ky, up to the sign.
  const int s = (*R)(1, 3);
  ASSERT_EQ(std::abs(s), 1);
  EXPECT_EQ((*R)(1, 1), s);
  EXPECT_EQ((*R)(1, 2), -s);
  VOVUVUVED.incnler = controlboolean::yes;
  ASSERT_TRUE(calc());
  const std::string r = IO::INT2STR(s), m = IO::INT2STR(-s);
  const auto w3 = [](const std::string& v) { return std::string(3 - v.size(), ' ') + v; };
  EXPECT_EQ(output(6),
            "\n\n"
            "name = {\"q\",\"ky\",\"cor\"};\n\n"
            "c =   {{  1,   0},\n"
            "       {  1,   1},\n"
            "       {  0,   1}};\n\n"
            "div =  {  1,   1};\n\n"
            "(*    q   ky  cor   *)\n\n"
            "re = {{" + w3(r) + ", " + w3(m) + ", " + w3(r) + "}};\n\n");
}

TEST_F(Independent, CapacityAndCoefficientLimitsStopCleanly) {
  // 152 end-members of one composition: 151 reactions, one past the table.
  std::vector<std::string> names;
  std::vector<std::vector<int>> c;
  for (int j = 1; j <= 152; ++j) names.push_back('e' + std::to_string(j)), c.push_back({1});
  system({"SiO2"}, names, c);
  IO::RunEnded e = vtest::runends([&] { calc(); });
  EXPECT_EQ(e.status, 1);
  EXPECT_NE(e.message.find("(max = 150)"), std::string::npos) << e.message;
  EXPECT_LE(NR, reactmax);
  // 77 C = 360426 A + 229355 B: coefficients beyond 16 bits.
  system({"SiO2", "Al2O3"}, {"A", "B", "C"}, {{7, 0}, {0, 11}, {32766, 32765}});
  e = vtest::runends([&] { calc(); });
  EXPECT_EQ(e.status, 1);
  EXPECT_NE(e.message.find("too large"), std::string::npos) << e.message;
  // A = 2 B with 32767 sites each: half of 98301 is 49150, beyond 16 bits.
  system({"SiO2"}, {"A", "B"}, {{2}, {1}});
  NSITE[1] = NSITE[2] = 32767;
  e = vtest::runends([&] { calc(); });
  EXPECT_EQ(e.where + " : " + e.message, "calcre2 : site count of reaction 1 too large (max = 32767) ");
}

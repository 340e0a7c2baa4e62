#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "support/vt_state.h"

namespace {

// The state reset (a fresh reaction table among the heap tables, NR = 0),
// the screen captured; ERROREXIT does not wait.
class Kpmath1Test : public vtest::StateTest {
 protected:
  // Builds an integer matrix from rows.
  static KPGLOBAL::liemmatrix matrix(std::initializer_list<std::initializer_list<longint>> rows) {
    KPGLOBAL::liemmatrix a;
    int i = 0;
    for (const auto& r : rows) {
      ++i;
      int j = 0;
      for (longint v : r) a(i, ++j) = v;
    }
    return a;
  }
  std::vector<int> reaction(int r, int n) {
    std::vector<int> v;
    for (int j = 1; j <= n; ++j) v.push_back((*KPGLOBAL::R)(r, j));
    return v;
  }
  bool bombed(const std::string& line) { return screen.str().find("-- run bombed in " + line) != std::string::npos; }
};

}  // namespace

TEST_F(Kpmath1Test, DivisorsAndMultiples) {
  using KPMATH1::GCD;
  EXPECT_EQ(GCD(12, -18), 6);
  EXPECT_EQ(GCD(0, -5), 5);
  EXPECT_EQ(GCD(7, 0), 7);
  EXPECT_EQ(GCD(0, 0), 0);

  KPGLOBAL::liemvector v;
  v[1] = -4;
  EXPECT_EQ(KPMATH1::VECTORGCD(v, 1), -4);  // a single entry keeps its sign
  EXPECT_EQ(KPMATH1::VECTORGCD(v, 0), 0);
  EXPECT_EQ(KPMATH1::VECTORGCD(v, 401), 0);
  v[1] = 12; v[2] = -18; v[3] = 30;
  EXPECT_EQ(KPMATH1::VECTORGCD(v, 2), 6);
  EXPECT_EQ(KPMATH1::VECTORGCD(v, 3), 6);
  v[1] = 4; v[2] = 6; v[3] = 10;
  EXPECT_EQ(KPMATH1::VECTORLCM(v, 3), 60);
  EXPECT_EQ(KPMATH1::VECTORLCM(v, 1), 4);
  EXPECT_EQ(KPMATH1::VECTORLCM(v, 0), 0);
  v[2] = 0;
  EXPECT_EQ(KPMATH1::VECTORLCM(v, 3), 0);
  // 30000 x 29999 needs 32 bits; a 16-bit running value would wrap.
  v[1] = 30000; v[2] = 29999;
  EXPECT_EQ(KPMATH1::VECTORLCM(v, 2), 899970000);
  v[1] = 65536; v[2] = 65537;  // beyond 32 bits: stopped, not wrapped
  EXPECT_THROW(KPMATH1::VECTORLCM(v, 2), IO::RunEnded);
  EXPECT_TRUE(bombed("vectorlcm : least common multiple too large"));

  // 1/2, 1/3, 2/1 over the common divisor 6.
  KPGLOBAL::emvector x;
  x[1] = 0.5L; x[2] = 0.3333L; x[3] = 2;
  longint m = 0;
  KPMATH1::REALS2INTEGERS(x, 3, m);
  EXPECT_EQ(m, 6);
  EXPECT_EQ(x[1], 3);
  EXPECT_EQ(x[2], 2);
  EXPECT_EQ(x[3], 12);
}

TEST_F(Kpmath1Test, PowersAndTable) {
  EXPECT_EQ(KPMATH1::TOPOWER(2, 3, 1), 8);
  EXPECT_EQ(KPMATH1::TOPOWER(5, 0, 1), 1);
  EXPECT_EQ(KPMATH1::TOPOWER(4, 1, 2), 2);
  EXPECT_EQ(KPMATH1::TOPOWER(1.7L, 1, 1), 1.7L);
  EXPECT_NEAR(KPMATH1::TOPOWER(8, 2, 3), 4, 1e-15);
  EXPECT_NEAR(KPMATH1::TOPOWER(2, 9, 1), 512, 1e-13);
  EXPECT_EQ(KPMATH1::TENTOPOWER(-3), 1e-3L);
  EXPECT_EQ(KPMATH1::TENTOPOWER(10), 1e10L);
  EXPECT_THROW(KPMATH1::TENTOPOWER(11), IO::RunEnded);
  EXPECT_TRUE(bombed("tentopower : stuffed"));
}

TEST_F(Kpmath1Test, WichmannHillSequence) {
  // By hand from seeds 1, 2, 3: s1 = 171, s2 = 344, s3 = 510, then
  // 29241, 28861, 26054, then 5826, 24051, 2022; u = frac(sum s_i/m_i).
  KPMATH1::SETSEEDS(1, 2, 3);
  EXPECT_NEAR(KPMATH1::RANDOM(), 0.033818773630474L, 1e-14);
  EXPECT_NEAR(KPMATH1::RANDOM(), 0.777541887559666L, 1e-14);
  EXPECT_NEAR(KPMATH1::RANDOM(), 0.052735246139090L, 1e-14);
  EXPECT_EQ(KPGLOBAL::SEED1, 5826);
  EXPECT_EQ(KPGLOBAL::SEED2, 24051);
  EXPECT_EQ(KPGLOBAL::SEED3, 2022);
  KPMATH1::SEEDRANDOM();
  for (int i = 0; i < 1000; ++i) {
    const extended u = KPMATH1::RANDOM();
    ASSERT_GE(u, 0);
    ASSERT_LT(u, 1);
  }
}

TEST_F(Kpmath1Test, RankOfIntegerMatrices) {
  const auto a = matrix({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}});
  EXPECT_EQ(KPMATH1::CALCRANK(a, 3, 3), 2);
  EXPECT_EQ(a(2, 3), 6);  // the argument is not changed
  EXPECT_EQ(KPMATH1::CALCRANK(matrix({{0, 0}, {0, 0}}), 2, 2), 0);
  EXPECT_EQ(KPMATH1::CALCRANK(matrix({{0, 3, 1}, {0, 6, 2}, {5, 0, 0}}), 3, 3), 2);
  EXPECT_EQ(KPMATH1::CALCRANK(matrix({{3, 1, 1, 0, 0}, {1, 1, 0, 0, 1}, {3, 2, 1, 1, 1}}), 3, 5), 3);
}

TEST_F(Kpmath1Test, NullSpaceOfHandWorkedSystems) {
  // Polymorphs: one component, two end-members: -ky + sill.
  EXPECT_EQ(KPMATH1::NULLSPACE(matrix({{1, 1}}), 1, 2), 1);
  ASSERT_EQ(KPGLOBAL::NR, 1);
  EXPECT_EQ(reaction(1, 2), (std::vector<int>{-1, 1}));

  // MgO-SiO2: fo [2,1], q [0,1], en [1,1]: fo + q = 2 en (pivots 2, 2: L = 2).
  KPGLOBAL::NR = 0;
  EXPECT_EQ(KPMATH1::NULLSPACE(matrix({{2, 0, 1}, {1, 1, 1}}), 2, 3), 2);
  ASSERT_EQ(KPGLOBAL::NR, 1);
  EXPECT_EQ(reaction(1, 3), (std::vector<int>{-1, -1, 2}));

  // CaO-Al2O3-SiO2: gr, an, wo, q, ky. Worked by hand through the
  // elimination: reduced rows [1 0 0 -1 0], [0 1 0 1 1], [0 0 1 2 -1];
  // column 5 first (an = wo + ky), then column 4 (gr + q = an + 2 wo).
  KPGLOBAL::NR = 0;
  const auto cas = matrix({{3, 1, 1, 0, 0}, {1, 1, 0, 0, 1}, {3, 2, 1, 1, 1}});
  EXPECT_EQ(KPMATH1::NULLSPACE(cas, 3, 5), 3);
  ASSERT_EQ(KPGLOBAL::NR, 2);
  EXPECT_EQ(reaction(1, 5), (std::vector<int>{0, -1, 1, 0, 1}));
  EXPECT_EQ(reaction(2, 5), (std::vector<int>{1, -1, -2, 1, 0}));

  // Reactions are appended after those already in R; an end-member that no
  // component touches is a reaction on its own.
  EXPECT_EQ(KPMATH1::NULLSPACE(matrix({{1, 0, 1}}), 1, 3), 1);
  ASSERT_EQ(KPGLOBAL::NR, 4);
  EXPECT_EQ(reaction(3, 3), (std::vector<int>{-1, 0, 1}));
  EXPECT_EQ(reaction(4, 3), (std::vector<int>{0, 1, 0}));
}

TEST_F(Kpmath1Test, SvdReconstructsWithAscendingValues) {
  // 2 x 2 by hand: A^T A = [[25, 20], [20, 25]] has eigenvalues 45 and 5.
  KPGLOBAL::USVD(1, 1) = 3; KPGLOBAL::USVD(1, 2) = 0;
  KPGLOBAL::USVD(2, 1) = 4; KPGLOBAL::USVD(2, 2) = 5;
  KPMATH1::CALCSVD(2, 2);
  EXPECT_NEAR(KPGLOBAL::SSVD[1], std::sqrt(5.0L), 1e-15);
  EXPECT_NEAR(KPGLOBAL::SSVD[2], 3 * std::sqrt(5.0L), 1e-15);

  auto check = [](const std::vector<std::vector<extended>>& a) {
    const int m = static_cast<int>(a.size()), n = static_cast<int>(a[0].size());
    for (int i = 1; i <= m; ++i)
      for (int j = 1; j <= n; ++j) KPGLOBAL::USVD(i, j) = a[i - 1][j - 1];
    KPMATH1::CALCSVD(static_cast<smallint>(m), static_cast<smallint>(n));
    for (int k = 1; k < n; ++k) EXPECT_LE(KPGLOBAL::SSVD[k], KPGLOBAL::SSVD[k + 1]);
    for (int k = 1; k <= n; ++k) EXPECT_GE(KPGLOBAL::SSVD[k], 0);
    extended frob = 0, s2 = 0;
    for (int i = 1; i <= m; ++i)
      for (int j = 1; j <= n; ++j) {
        extended r = 0;
        for (int k = 1; k <= n; ++k) r += KPGLOBAL::USVD(i, k) * KPGLOBAL::SSVD[k] * KPGLOBAL::VSVD(j, k);
        EXPECT_NEAR(r, a[i - 1][j - 1], 1e-15) << i << "," << j;
        frob += a[i - 1][j - 1] * a[i - 1][j - 1];
      }
    for (int k = 1; k <= n; ++k) s2 += KPGLOBAL::SSVD[k] * KPGLOBAL::SSVD[k];
    EXPECT_NEAR(s2, frob, 1e-14);  // sum of s^2 is the squared Frobenius norm
    for (int p = 1; p <= n; ++p)   // V orthogonal
      for (int q = 1; q <= n; ++q) {
        extended d = 0;
        for (int j = 1; j <= n; ++j) d += KPGLOBAL::VSVD(j, p) * KPGLOBAL::VSVD(j, q);
        EXPECT_NEAR(d, p == q ? 1 : 0, 1e-15);
      }
  };
  check({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}, {-1, 0.5, 2}});
  check({{2, -1, 0, 0}, {-1, 2, -1, 0}, {0, -1, 2, -1}, {0, 0, -1, 2}});
  // Rank-deficient: the zero singular value comes first.
  check({{1, 2}, {2, 4}, {3, 6}});
  EXPECT_NEAR(KPGLOBAL::SSVD[1], 0, 1e-15);
  EXPECT_NEAR(KPGLOBAL::SSVD[2], std::sqrt(70.0L), 1e-15);
}

TEST_F(Kpmath1Test, SortQuantileMedian) {
  KPGLOBAL::sortvector v;
  const extended raw[] = {5, -1, 3, 3, 10, 0, -7, 2.5};
  for (int i = 0; i < 8; ++i) v[i + 1] = raw[i];
  KPMATH1::SORT(v, 8);
  const extended want[] = {-7, -1, 0, 2.5, 3, 3, 5, 10};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(v[i + 1], want[i]);

  for (int i = 1; i <= 4; ++i) v[i] = i;  // 1 2 3 4
  EXPECT_EQ(KPMATH1::QUANTILE(v, 4, 0.5L), 2.5L);   // qn = 2: mean of 2nd and 3rd
  EXPECT_EQ(KPMATH1::QUANTILE(v, 4, 0.25L), 1.5L);  // qn = 1
  EXPECT_EQ(KPMATH1::QUANTILE(v, 4, 0.3L), 2);      // qn = 1.2: the 2nd
  EXPECT_EQ(KPMATH1::QUANTILE(v, 4, 0), 1);
  EXPECT_EQ(KPMATH1::QUANTILE(v, 4, 1), 4);
  EXPECT_EQ(KPMATH1::QUANTILE(v, 1, 0.7L), 1);
  EXPECT_EQ(KPMATH1::QUANTILE(v, 0, 0.5L), 0);
  v[5] = 5;
  EXPECT_EQ(KPMATH1::QUANTILE(v, 5, 0.5L), 3);  // qn = 2.5: the 3rd

  // 7 1 3 100 5: median 5; deviations 2 4 2 95 0 have median 2.
  const extended m5[] = {7, 1, 3, 100, 5};
  for (int i = 0; i < 5; ++i) v[i + 1] = m5[i];
  extended median = 0, spread = 0;
  KPMATH1::FINDMEDIAN(v, 5, median, spread);
  EXPECT_EQ(median, 5);
  EXPECT_NEAR(spread, 2 / 0.6745L, 1e-15);
  EXPECT_EQ(v[1], 7);  // the argument is not sorted
}

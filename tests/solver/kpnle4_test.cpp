#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "frame/io.h"
#include "solver/kpnle4.h"
#include "support/vt_state.h"

namespace {

using KPGLOBAL::eqmatrix;
using KPGLOBAL::ieqvector;

eqmatrix matrix(std::initializer_list<std::initializer_list<extended>> rows) {
  eqmatrix a;
  int i = 0;
  for (const auto& r : rows) {
    ++i;
    int j = 0;
    for (extended v : r) a(i, ++j) = v;
  }
  return a;
}

// A small linear system of end-member reactions: G_j = H_j - T S_j + P V_j,
// residual of reaction r = sum_j R[r, j] G_j, unknowns P and T (both plain).
// The test solves it by Cramer's rule, independently of the LU routines.
struct linearsystem {
  static constexpr int ncv = 4;
  extended h[ncv + 1] = {0, -100, -95, -40, -30};
  extended s[ncv + 1] = {0, 0.05, 0.06, 0.02, 0.035};
  extended v[ncv + 1] = {0, 2.0, 2.2, 1.0, 0.9};
  int r[3][ncv + 1] = {{0}, {0, 1, -1, 0, 0}, {0, 0, 1, 1, -2}};
  extended ds(int k) const {
    extended t = 0;
    for (int j = 1; j <= ncv; ++j) t += r[k][j] * s[j];
    return t;
  }
  extended dv(int k) const {
    extended t = 0;
    for (int j = 1; j <= ncv; ++j) t += r[k][j] * v[j];
    return t;
  }
  extended dh(int k) const {
    extended t = 0;
    for (int j = 1; j <= ncv; ++j) t += r[k][j] * h[j];
    return t;
  }
  // dh + P dv - T ds = 0 for both reactions.
  void solve(extended& p, extended& t) const {
    extended a11 = dv(1), a12 = -ds(1), a21 = dv(2), a22 = -ds(2);
    extended det = a11 * a22 - a12 * a21;
    p = (-dh(1) * a22 + dh(2) * a12) / det;
    t = (-a11 * dh(2) + a21 * dh(1)) / det;
  }
  // Puts R, NCV and the Jacobian into the global state.
  void install() const {
    using namespace KPGLOBAL;
    NCV = ncv;
    NR = 2;
    for (int k = 1; k <= 2; ++k)
      for (int j = 1; j <= ncv; ++j) (*R)(k, j) = static_cast<smallint>(r[k][j]);
    JROW = JCOL = 2;
    for (int k = 1; k <= 2; ++k) {
      JACOBIANG(k, 1) = dv(k);
      JACOBIANG(k, 2) = -ds(k);
    }
  }
};

class Kpnle4Test : public vtest::StateTest {};

}  // namespace

// L x U rebuilds the row-permuted matrix, and the determinant of known
// matrices comes out of logdet.
TEST_F(Kpnle4Test, DecompositionRebuildsMatrixAndDeterminant) {
  const eqmatrix a0 = matrix({{2, -1, 0, 3, 1},
                              {4, 1, -2, 0, 5},
                              {-3, 7, 1, 2, 0},
                              {0, 2, 6, -1, 1},
                              {1, 0, 2, 5, -4}});
  eqmatrix a = a0;
  ieqvector indx;
  extended logdet = 0;
  ASSERT_TRUE(KPNLE4::MAKELU(a, indx, logdet, 5));
  // Apply the recorded interchanges to a copy of the original.
  eqmatrix p = a0;
  for (int j = 1; j <= 5; ++j)
    for (int k = 1; k <= 5; ++k) std::swap(p(j, k), p(indx[j], k));
  for (int i = 1; i <= 5; ++i)
    for (int j = 1; j <= 5; ++j) {
      extended sum = 0;
      for (int k = 1; k <= 5; ++k) {
        extended l = k <= i ? a(i, k) : 0;
        extended u = k < j ? a(k, j) : (k == j ? 1 : 0);
        if (k <= i && k <= j) sum += l * u;
      }
      EXPECT_NEAR(sum, p(i, j), 1e-15) << i << "," << j;
    }
  // Determinant by cofactor expansion, done in the test.
  auto det = [](const eqmatrix& m, int n, auto& self) -> extended {
    if (n == 1) return m(1, 1);
    extended d = 0;
    for (int c = 1; c <= n; ++c) {
      eqmatrix s;
      for (int i = 2; i <= n; ++i)
        for (int j = 1, jj = 0; j <= n; ++j)
          if (j != c) s(i - 1, ++jj) = m(i, j);
      d += ((c % 2) ? 1 : -1) * m(1, c) * self(s, n - 1, self);
    }
    return d;
  };
  extended d = det(a0, 5, det);
  EXPECT_EQ(d, 2687);
  // 0.693147 stands for ln 2 in the exponent: the error is up to e x 2e-7.
  EXPECT_NEAR(logdet, std::log(d), 1e-5);
  // A negative determinant gives a negative logdet: swap two rows.
  a = a0;
  for (int k = 1; k <= 5; ++k) std::swap(a(1, k), a(2, k));
  ASSERT_TRUE(KPNLE4::MAKELU(a, indx, logdet, 5));
  EXPECT_NEAR(logdet, -std::log(d), 1e-5);

  // The 4 x 4 Hilbert matrix: det = 1/6048000.
  eqmatrix h;
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) h(i, j) = 1.0L / (i + j - 1);
  ASSERT_TRUE(KPNLE4::MAKELU(h, indx, logdet, 4));
  EXPECT_NEAR(logdet, -std::log(6048000.0L), 1e-5);
}

// The listed edge cases: the interchange matrix, a determinant of 3, a row of
// zeros, and a non-finite entry (which must not hang the range loop).
TEST_F(Kpnle4Test, DecompositionEdgeCases) {
  eqmatrix a = matrix({{0, 1}, {1, 0}});
  ieqvector indx;
  extended logdet = 0;
  ASSERT_TRUE(KPNLE4::MAKELU(a, indx, logdet, 2));
  EXPECT_EQ(indx[1], 2);
  EXPECT_EQ(indx[2], 2);
  EXPECT_EQ(logdet, -(std::log(0.0625L) + 4 * 0.693147L));
  EXPECT_NEAR(logdet, 0, 1e-5);

  a = matrix({{3, 0}, {0, 1}});
  ASSERT_TRUE(KPNLE4::MAKELU(a, indx, logdet, 2));
  EXPECT_EQ(logdet, std::log(0.1875L) + 4 * 0.693147L);
  EXPECT_NEAR(logdet, std::log(3.0L), 1e-5);

  a = matrix({{1, 2, 3}, {0, 0, 0}, {4, 5, 6}});
  EXPECT_FALSE(KPNLE4::MAKELU(a, indx, logdet, 3));
  EXPECT_EQ(logdet, 1000);

  a = matrix({{1, 2}, {2, 4}});  // rank 1
  EXPECT_FALSE(KPNLE4::MAKELU(a, indx, logdet, 2));

  a = matrix({{INFINITY, 1}, {1, 1}});
  EXPECT_FALSE(KPNLE4::MAKELU(a, indx, logdet, 2));
}

// The sensitivities and the propagated covariance match re-solves of the
// system after a small change of one enthalpy (central differences).
TEST_F(Kpnle4Test, UncertaintiesMatchResolves) {
  using namespace KPGLOBAL;
  linearsystem sys;
  sys.install();
  NX = 3;  // P, T and a fixed third unknown
  NXP = 0;
  BX[1] = BX[2] = true;
  BX[3] = false;
  covmatrix& cov = *COV;
  const extended sd[5] = {0, 0.8, 0.9, 0.5, 1.2};
  for (int a = 1; a <= 4; ++a)
    for (int b = 1; b <= 4; ++b) cov(a, b) = sd[a] * sd[b] * (a == b ? 1 : 0.3L);
  auto x = std::make_unique<jactype>();
  ASSERT_TRUE(KPNLE4::MLE(JACOBIANG, *x, 2));
  extended fd[3][5];
  for (int j = 1; j <= 4; ++j) {
    linearsystem up = sys, dn = sys;
    up.h[j] += 0.01L;
    dn.h[j] -= 0.01L;
    extended p1, t1, p2, t2;
    up.solve(p1, t1);
    dn.solve(p2, t2);
    fd[1][j] = (p1 - p2) / 0.02L;
    fd[2][j] = (t1 - t2) / 0.02L;
    EXPECT_NEAR((*x)(1, j), fd[1][j], 1e-9 * std::fabs(fd[1][j]) + 1e-12);
    EXPECT_NEAR((*x)(2, j), fd[2][j], 1e-9 * std::fabs(fd[2][j]) + 1e-12);
  }
  KPNLE4::CALCSD();
  for (int i = 1; i <= 2; ++i)
    for (int k = 1; k <= 2; ++k) {
      extended c = 0;
      for (int a = 1; a <= 4; ++a)
        for (int b = 1; b <= 4; ++b) c += fd[i][a] * cov(a, b) * fd[k][b];
      EXPECT_NEAR(COVX(i, k), c, 1e-8 * std::fabs(c));
    }
  EXPECT_NEAR(SDX[1], std::sqrt(COVX(1, 1)), 1e-15);
  EXPECT_GT(SDX[2], 0);
  EXPECT_EQ(SDX[3], 0);
  EXPECT_EQ(COVX(3, 1), 0);
  EXPECT_EQ(COVX(2, 3), 0);
  EXPECT_NEAR(CORPT, COVX(1, 2) / (SDX[1] * SDX[2]), 1e-15);
  EXPECT_LE(std::fabs(CORPT), 1);
  EXPECT_EQ(screen.str(), "");

  // More reactions than Jacobian rows: the third one does not enter.
  const eqmatrix keepcov = COVX;
  NR = 3;
  for (int j = 1; j <= 4; ++j) (*R)(3, j) = static_cast<smallint>(j);
  KPNLE4::CALCSD();
  EXPECT_EQ(COVX, keepcov);
}

// Variances too small for a root, a fixed T, and a singular Jacobian: the
// correlation is never formed from the no-value marker, and a singular
// Jacobian says so and leaves the free unknowns without a value.
TEST_F(Kpnle4Test, NoValueCases) {
  using namespace KPGLOBAL;
  NCV = 2;
  NR = 2;
  (*R)(1, 1) = 1;
  (*R)(2, 2) = 1;
  JROW = JCOL = 2;
  JACOBIANG = matrix({{1, 0}, {0, 1}});
  NX = 2;
  BX[1] = BX[2] = true;
  (*COV)(1, 1) = 1e-20L;
  (*COV)(2, 2) = 4;
  (*COV)(1, 2) = (*COV)(2, 1) = 1e-11L;
  KPNLE4::CALCSD();
  EXPECT_EQ(SDX[1], sdnovalue);
  EXPECT_NEAR(SDX[2], 2, 1e-15);
  EXPECT_EQ(CORPT, 0);

  // T fixed: one reaction, P alone free.
  (*COV)(1, 1) = 0.25;
  BX[2] = false;
  NR = 1;
  JROW = JCOL = 1;
  KPNLE4::CALCSD();
  EXPECT_NEAR(SDX[1], 0.5, 1e-15);
  EXPECT_EQ(SDX[2], 0);
  EXPECT_EQ(CORPT, 0);

  // Singular: a message, -1 for the free unknowns, 0 for the fixed, no
  // stale covariance.
  BX[2] = true;
  NX = 3;
  BX[3] = false;
  NR = 2;
  JROW = JCOL = 2;
  COVX(1, 2) = 7;
  JACOBIANG = matrix({{1, 2}, {2, 4}});
  KPNLE4::CALCSD();
  EXPECT_EQ(SDX[1], sdnovalue);
  EXPECT_EQ(SDX[2], sdnovalue);
  EXPECT_EQ(SDX[3], 0);
  EXPECT_EQ(COVX(1, 2), 0);
  EXPECT_EQ(CORPT, 0);
  EXPECT_EQ(screen.str(), std::string(KPNLE4::SINGULARMESSAGE) + "\n");

  // A Jacobian that does not fit the free unknowns is an internal fault.
  JCOL = 3;
  IO::RunEnded e = vtest::runends([] { KPNLE4::CALCSD(); });
  EXPECT_NE(screen.str().find("-- run bombed in calcsd : Jacobian 2 x 3 for 2 free unknowns"),
            std::string::npos);
}

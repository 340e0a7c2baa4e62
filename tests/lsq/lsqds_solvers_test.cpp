#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "lsq/lsqds_solvers.h"
#include "support/vt_state.h"

namespace {

using namespace KPGLOBAL;

// One observation row: coefficients by unknown (0 = absent), value, sd.
struct row {
  std::vector<int> coef;
  extended y, sd;
};

// The state reset (fresh least-squares blocks), the screen captured.
class LsqSolversTest : public vtest::StateTest {
 protected:
  std::vector<row> rows;
  int ntp = 0;

  void load() {
    NTP = static_cast<smallint>(ntp);
    NEXP = static_cast<smallint>(rows.size());
    B->fill(false);
    LHS->fill(0);
    for (int i = 1; i <= NEXP; ++i) {
      const row& r = rows[i - 1];
      for (int j = 1; j <= ntp; ++j)
        if (r.coef[j - 1] != 0) {
          (*B)(i, j) = true;
          (*LHS)(i, j) = static_cast<smallint>(r.coef[j - 1]);
        }
      (*Y)[i] = r.y;
      SDYBR[i] = r.sd;
    }
  }
  // Results of one solver.
  struct fit {
    std::vector<extended> theta, hat;
    std::vector<std::vector<extended>> cov;
    extended sig2 = 0;
  };
  fit solve(bool qr) {
    load();
    if (qr)
      LSQDS::QR();
    else
      LSQDS::CHOLESKI();
    fit f;
    for (int j = 1; j <= ntp; ++j) f.theta.push_back((*THETA)[j]);
    for (int i = 1; i <= NEXP; ++i) f.hat.push_back((*HAT)[i]);
    f.cov.assign(ntp, std::vector<extended>(ntp));
    for (int j = 1; j <= ntp; ++j)
      for (int k = 1; k <= ntp; ++k) f.cov[j - 1][k - 1] = (*XX)(j, k);
    f.sig2 = SIG2;
    return f;
  }
  // The independent answer: the normal equations N theta = X^T W y and N^-1
  // by Gauss-Jordan elimination with partial pivoting in long double, the
  // residual variance and hat values from them.
  fit reference() const {
    const int n = ntp;
    std::vector<std::vector<extended>> a(n, std::vector<extended>(2 * n + 1, 0));
    for (const row& r : rows) {
      const extended w = 1 / (r.sd * r.sd);
      for (int j = 0; j < n; ++j) {
        for (int k = 0; k < n; ++k) a[j][k] += r.coef[j] * r.coef[k] * w;
        a[j][2 * n] += r.coef[j] * r.y * w;
      }
    }
    for (int j = 0; j < n; ++j) a[j][n + j] = 1;
    for (int c = 0; c < n; ++c) {
      int p = c;
      for (int i = c + 1; i < n; ++i)
        if (std::fabs(a[i][c]) > std::fabs(a[p][c])) p = i;
      std::swap(a[c], a[p]);
      const extended d = a[c][c];
      for (auto& x : a[c]) x /= d;
      for (int i = 0; i < n; ++i)
        if (i != c) {
          const extended m = a[i][c];
          for (int k = 0; k <= 2 * n; ++k) a[i][k] -= m * a[c][k];
        }
    }
    fit f;
    f.cov.assign(n, std::vector<extended>(n));
    for (int j = 0; j < n; ++j) {
      f.theta.push_back(a[j][2 * n]);
      for (int k = 0; k < n; ++k) f.cov[j][k] = a[j][n + k];
    }
    for (const row& r : rows) {
      extended res = r.y, h = 0;
      for (int j = 0; j < n; ++j) {
        res -= r.coef[j] * f.theta[j];
        for (int k = 0; k < n; ++k) h += r.coef[j] * f.cov[j][k] * r.coef[k];
      }
      f.sig2 += (res / r.sd) * (res / r.sd);
      f.hat.push_back(h / (r.sd * r.sd));
    }
    if (rows.size() > static_cast<std::size_t>(n)) f.sig2 /= static_cast<extended>(rows.size() - n);
    return f;
  }
  static extended maxabs(const std::vector<extended>& v) {
    extended m = 0;
    for (extended x : v) m = std::max(m, std::fabs(x));
    return m;
  }
  // Every number of a agrees with b to rel relative to the largest of its kind.
  static void agree(const fit& a, const fit& b, extended rel, const std::string& what) {
    const extended st = maxabs(b.theta), sh = std::max<extended>(maxabs(b.hat), 1);
    for (std::size_t j = 0; j < a.theta.size(); ++j) EXPECT_NEAR(a.theta[j], b.theta[j], rel * st) << what << " theta " << j;
    for (std::size_t i = 0; i < a.hat.size(); ++i) EXPECT_NEAR(a.hat[i], b.hat[i], rel * sh) << what << " hat " << i;
    extended sc = 0;
    for (const auto& r : b.cov) sc = std::max(sc, maxabs(r));
    for (std::size_t j = 0; j < a.cov.size(); ++j)
      for (std::size_t k = 0; k < a.cov.size(); ++k)
        EXPECT_NEAR(a.cov[j][k], b.cov[j][k], rel * sc) << what << " cov " << j << "," << k;
    EXPECT_NEAR(a.sig2, b.sig2, rel * std::max<extended>(b.sig2, 1)) << what << " sig2";
  }
  std::string bomb() {
    const std::string s = screen.str();
    const auto at = s.find("-- run bombed in ");
    return at == std::string::npos ? "" : s.substr(at, s.find('\n', at) - at);
  }
};

}  // namespace

// Rows H1 = -100 (sd 1), H2 = -200 (sd 2), -H1 + H2 = -97 (sd 1), by hand:
// N = [[2, -1], [-1, 5/4]], N^-1 = [[5/6, 2/3], [2/3, 4/3]], X^T W y = (-3, -147),
// H = (-100.5, -198); weighted residuals 0.5, -1, 0.5 give SIG2 = 1.5 (1 df);
// hat values 5/6, (4/3)/4 = 1/3, 5/6 - 4/3 + 4/3 = 5/6; sd = sqrt(C_jj SIG2).
TEST_F(LsqSolversTest, HandWorkedCase) {
  ntp = 2;
  rows = {{{1, 0}, -100, 1}, {{0, 1}, -200, 2}, {{-1, 1}, -97, 1}};
  for (bool qr : {true, false}) {
    const fit f = solve(qr);
    const char* name = qr ? "qr" : "choleski";
    EXPECT_NEAR(f.theta[0], -100.5L, 1e-15L) << name;
    EXPECT_NEAR(f.theta[1], -198.0L, 1e-15L) << name;
    EXPECT_NEAR(f.sig2, 1.5L, 1e-15L) << name;
    EXPECT_NEAR(f.hat[0], 5.0L / 6, 1e-15L) << name;
    EXPECT_NEAR(f.hat[1], 1.0L / 3, 1e-15L) << name;
    EXPECT_NEAR(f.hat[2], 5.0L / 6, 1e-15L) << name;
    EXPECT_NEAR(f.cov[0][1], 2.0L / 3, 1e-15L) << name;
    EXPECT_EQ(f.cov[0][1], f.cov[1][0]) << name;
    EXPECT_EQ(IO::REAL2STR(std::sqrt(f.cov[0][0] * LSQDS::COVSCALE()), 4, true), "1.1180") << name;
    EXPECT_EQ(IO::REAL2STR(std::sqrt(f.cov[1][1] * LSQDS::COVSCALE()), 4, true), "1.4142") << name;
  }
  // The Cholesky solver's own lines (screen; the log is not open here).
  EXPECT_NE(screen.str().find("\nconstructing LSQ for choleski...\n"), std::string::npos);
  EXPECT_NE(screen.str().find("\nlsq (choleski) gives sigfit = 1.225     (ndf = 1)\n"), std::string::npos);
  EXPECT_EQ(screen.str().find("no degrees of freedom"), std::string::npos);
}

// Random weighted systems: both solvers agree with each other and with the
// normal equations solved in the test; the hat values sum to the number of
// unknowns; scaling every sd by k leaves H unchanged and scales the
// covariance by k^2.
TEST_F(LsqSolversTest, RandomSystemsAgreeWithNormalEquations) {
  std::mt19937 gen(20261207);
  std::uniform_int_distribution<int> coef(-3, 3), extra(0, 12), size(1, 14);
  std::uniform_real_distribution<double> value(-5000, 500), sdv(0.05, 20);
  for (int trial = 0; trial < 40; ++trial) {
    ntp = size(gen);
    rows.clear();
    // One row per unknown with a leading coefficient makes the system full
    // rank; the extra rows mix the unknowns.
    for (int j = 0; j < ntp; ++j) {
      std::vector<int> c(ntp, 0);
      c[j] = 1 + (trial % 3);
      for (int k = j + 1; k < ntp; ++k) c[k] = coef(gen) * (extra(gen) < 4);
      rows.push_back({c, value(gen), sdv(gen)});
    }
    const int more = extra(gen);
    for (int e = 0; e < more; ++e) {
      std::vector<int> c(ntp);
      for (int& x : c) x = coef(gen);
      rows.push_back({c, value(gen), sdv(gen)});
    }
    std::shuffle(rows.begin(), rows.end(), gen);
    const fit ref = reference();
    const fit q = solve(true), ch = solve(false);
    const std::string what = "trial " + std::to_string(trial);
    agree(q, ref, 1e-12L, what + " qr");
    agree(ch, ref, 1e-12L, what + " choleski");
    extended hsum = 0;
    for (extended h : q.hat) hsum += h;
    EXPECT_NEAR(hsum, ntp, 1e-12L * ntp) << what;

    const extended k = 7.5L;
    for (row& r : rows) r.sd *= k;
    for (bool qr : {true, false}) {
      const fit s = solve(qr);
      for (int j = 0; j < ntp; ++j) {
        EXPECT_NEAR(s.theta[j], q.theta[j], 1e-12L * maxabs(q.theta)) << what;
        EXPECT_NEAR(s.cov[j][j], k * k * q.cov[j][j], 1e-12L * k * k * q.cov[j][j]) << what;
      }
      EXPECT_NEAR(s.sig2 * k * k, q.sig2, 1e-12L * std::max<extended>(q.sig2, 1)) << what;
    }
  }
}

// As many rows as unknowns: SIG2 is 0, both solvers say so, and COVSCALE
// keeps the unscaled covariance (here diag(4, 9) of two direct rows with sd
// 2 and 3), so the uncertainties are the rows' own.
TEST_F(LsqSolversTest, NoDegreesOfFreedomKeepsUnscaledCovariance) {
  ntp = 2;
  rows = {{{1, 0}, -10, 2}, {{1, 1}, -30, 3}};
  for (bool qr : {true, false}) {
    screen.str("");
    const fit f = solve(qr);
    EXPECT_NEAR(f.theta[0], -10, 1e-15L);
    EXPECT_NEAR(f.theta[1], -20, 1e-15L);
    EXPECT_NEAR(f.sig2, 0, 1e-25L);
    EXPECT_NEAR(f.cov[0][0], 4, 1e-15L);
    EXPECT_NEAR(f.cov[1][1], 13, 1e-15L);
    EXPECT_EQ(LSQDS::COVSCALE(), 1.0L);
    EXPECT_NE(screen.str().find("no degrees of freedom (as many observations as unknowns): sigfit is 0 and the "
                                "uncertainties come from the unscaled covariance\n"),
              std::string::npos);
  }
  EXPECT_NE(screen.str().find("(ndf = 0)"), std::string::npos);
  // One more row: the ordinary scaling by SIG2.
  rows.push_back({{0, 1}, -21, 1});
  solve(true);
  EXPECT_EQ(LSQDS::COVSCALE(), SIG2);
  EXPECT_GT(SIG2, 0);
}

// Unknowns that the rows do not determine stop the run: an unknown in no
// row, fewer rows than unknowns, and two unknowns that occur only in the
// ratio 1:3 in rows whose weights are not exact in binary, where rounding
// leaves a small positive pivot (about 1e-17) rather than 0.
TEST_F(LsqSolversTest, SingularSystemsStop) {
  const std::string qrstop = "-- run bombed in qr : matrix is singular";
  const std::string chstop = "-- run bombed in choleski : sqrt";
  auto stops = [&](bool qr) {
    screen.str("");
    const IO::RunEnded e = vtest::runends([&] { solve(qr); });
    EXPECT_EQ(e.status, 1);
    return bomb();
  };
  ntp = 3;
  rows = {{{1, 0, 0}, -1, 1}, {{0, 0, 1}, -2, 1}, {{1, 0, 1}, -3, 1}};
  EXPECT_EQ(stops(true), qrstop);
  EXPECT_EQ(stops(false), chstop);
  ntp = 2;
  rows = {{{1, -1}, 5, 1}};
  EXPECT_EQ(stops(true), qrstop);
  EXPECT_EQ(stops(false), chstop);
  ntp = 3;
  rows = {{{1, 0, 0}, -1, 1}, {{0, -3, -9}, 0, 0.8L}, {{0, -4, -12}, 1, 1.2L}, {{0, -3, -9}, 2, 1.2L},
          {{0, -1, -3}, 3, 2.1L}};
  EXPECT_EQ(stops(true), qrstop);
  EXPECT_EQ(stops(false), chstop);
}

// Average P, T and PT of a rock: the inverse of the reaction covariance, the
// covariance matrices, average P against a generalised least squares done
// here (bisection for each reaction's pressure, finite differences for its
// slope, Gauss-Jordan for the inverse), the diagnostics against their closed
// forms, average PT on straight reaction lines against the 2 x 2 normal
// equations, the window test, the reports, the runs and the script set of
// reactions.
#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

#include "frame/io.h"
#include "models/kpcalc1_reactions.h"
#include "models/kpread2.h"
#include "reactions/kpavpt.h"
#include "reactions/kpre.h"
#include "solver/kpcalc2_reactions.h"
#include "solver/kpread1_activities.h"
#include "solver/solver_support.h"
#include "support/vt_numeric.h"

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;
using vtest::bisect;
using vtest::dmat;
using vtest::inverse;
using vtest::lineof;
using vtest::words;

// A metapelite of the example dataset: garnet, biotite, muscovite,
// plagioclase, kyanite and quartz end-members, four independent reactions
// that all cross a 1-20 kbar window at 600 C, and a covariance with
// correlated enthalpies.
class Avpt : public solvertest::SolverTest {
 protected:
  static constexpr int ncv = 10;
  void SetUp() override {
    SolverTest::SetUp();
    CALCMODE = calcmodetype::rockcalc;
    AVMODE = avtype::avpmode;
    INCOMPLETE = JUSTCHECKONE = false;
    NLT = NLP = NLX = 0;
    LT.fill(0), LP.fill(0);
    VARLNA.fill(0);
    FIXEDXCO2 = FIXEDXH2O = 0;
    PPRECISION = 3;
    DEBUGLEVEL = 1;
  }
  void rock() {
    readdataset({"py", "alm", "gr", "phl", "ann", "mu", "cel", "an", "ky", "q"});
    const extended a[ncv] = {0.012L, 0.39L, 0.0075L, 0.088L, 0.04L, 0.74L, 0.05L, 0.46L, 1, 1};
    for (int k = 1; k <= ncv; ++k) ACTIVITY[k] = a[k - 1], SDACTIVITY[k] = 0;
    KPREAD1::SETSDAPARAMS(true);
    KPREAD1::CHECKSDA();
    const int rr[4][ncv] = {{0, 0, 1, 0, 0, 0, 0, -3, 2, 1},
                            {-1, 0, -1, 1, 0, -1, 0, 3, 0, 0},
                            {-1, 0, 0, 2, 0, 1, -3, 0, 0, 6},
                            {0, -1, -1, 0, 1, -1, 0, 3, 0, 0}};
    NR = 4;
    for (int i = 1; i <= NR; ++i)
      for (int k = 1; k <= ncv; ++k) (*R)(i, k) = static_cast<smallint>(rr[i - 1][k - 1]);
    // Correlated enthalpies: gr-an and phl-ann at +0.4, py-alm at -0.3.
    const auto corr = [](int i, int j, extended c) {
      (*COV)(i, j) = (*COV)(j, i) = c * std::sqrt((*COV)(i, i) * (*COV)(j, j));
    };
    corr(3, 8, 0.4L), corr(4, 5, 0.4L), corr(1, 2, -0.3L);
    TLOW = 673, THIGH = 1273, PLOW = 1, PHIGH = 20;
    FIXEDT = 873, FIXEDP = 10;
    NLT = 1, LT[1] = 873;
  }

  // The generalised least squares of the single-reaction pressures at T,
  // done here: av, sd, sigfit, and the pieces for the diagnostics.
  struct gls {
    std::vector<long double> x, e, f;
    dmat W;
    long double av = 0, sd = 0, sigfit = 0, S = 0;
  };
  gls independent(extended T) {
    gls g;
    CALCMODE = calcmodetype::rockcalc;
    KPCALC2::CALCVARLNA();
    for (int i = 1; i <= NR; ++i) {
      const auto dmu = [&](extended P) {
        extended a = 0, b = 0, d = 0;
        KPCALC1::CALCDMU(static_cast<smallint>(i), a, b, d, P, T, 0, 0);
        return d;
      };
      const extended p = bisect(dmu, PLOW, PHIGH, 1e-11L);
      const extended slope = (dmu(p + 1e-4L) - dmu(p - 1e-4L)) / 2e-4L;
      g.x.push_back(p);
      g.e.push_back(-1 / slope);
      g.f.push_back(-1 / slope * RGAS * T);
    }
    const int n = NR;
    dmat V(n, std::vector<long double>(n, 0));
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        long double h = 0, l = 0;
        for (int k = 1; k <= NCV; ++k) {
          l += (*R)(i + 1, k) * VARLNA[k] * (*R)(j + 1, k);
          for (int m = 1; m <= NCV; ++m) h += (*R)(i + 1, k) * (*COV)(k, m) * (*R)(j + 1, m);
        }
        V[i][j] = g.e[i] * h * g.e[j] + g.f[i] * l * g.f[j];
      }
    g.W = inverse(V);
    long double Sx = 0;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) g.S += g.W[i][j], Sx += g.W[i][j] * g.x[j];
    g.av = Sx / g.S;
    long double chi2 = 0;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) chi2 += (g.x[i] - g.av) * g.W[i][j] * (g.x[j] - g.av);
    g.sigfit = std::sqrt(chi2 / (n - 1));
    g.sd = 1 / std::sqrt(g.S) * (g.sigfit > 1 ? g.sigfit : 1);
    return g;
  }
};

}  // namespace

TEST_F(Avpt, PosDefInvertAndItsStop) {
  // A = B B^T + I of order 5, upper triangle spoiled: only the lower is read.
  KPAVPT::invmatrix A{}, Ainv{};
  const int n = 5;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) {
      extended s = i == j ? 1 : 0;
      for (int k = 1; k <= n; ++k) s += std::sin(i * 1.3L + k) * std::sin(j * 1.3L + k);
      A(i, j) = s;
      if (i != j) A(j, i) = 99;
    }
  KPAVPT::POSDEFINVERT(A, Ainv, n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      extended s = 0;
      for (int k = 1; k <= n; ++k) s += (k <= i ? A(i, k) : A(k, i)) * Ainv(k, j);
      EXPECT_NEAR(s, i == j ? 1 : 0, 1e-14L) << i << "," << j;
      EXPECT_EQ(Ainv(i, j), Ainv(j, i));
    }
  // [[1, 2], [2, 1]] is not positive definite.
  A(1, 1) = 1, A(2, 1) = 2, A(2, 2) = 1;
  const IO::RunEnded e = vtest::runends([&] { KPAVPT::POSDEFINVERT(A, Ainv, 2); });
  EXPECT_EQ(e.where, "posdefinvert");
  EXPECT_EQ(e.message, "sqrt negative");
}

TEST_F(Avpt, CovarianceOfTheReactionsWithAndWithoutJustrelu) {
  rock();
  KPCALC2::CALCVARLNA();
  KPAVPT::covmatrix covh{}, covlnk{};
  KPAVPT::CALCCOV(covh, covlnk);
  for (int i = 1; i <= NR; ++i)
    for (int j = 1; j <= NR; ++j) {
      extended h = 0, l = 0;
      for (int k = 1; k <= NCV; ++k) {
        l += (*R)(i, k) * (*R)(j, k) * VARLNA[k];
        for (int m = 1; m <= NCV; ++m) h += (*R)(i, k) * (*R)(j, m) * (*COV)(k, m);
      }
      EXPECT_NEAR(covh(i, j), h, 1e-12L * std::fabs(h) + 1e-15L);
      EXPECT_NEAR(covlnk(i, j), l, 1e-15L);
    }
  // GASP alone: var = var(gr) + 4 var(ky) + var(q) + 9 var(an) - 6 cov(gr, an).
  const extended gasp = (*COV)(3, 3) + 4 * (*COV)(9, 9) + (*COV)(10, 10) + 9 * (*COV)(8, 8) - 6 * (*COV)(3, 8);
  EXPECT_NEAR(covh(1, 1), gasp, 1e-12L);
  VOVUVUVED.justrelu = controlboolean::yes;
  KPAVPT::CALCCOV(covh, covlnk);
  for (int i = 1; i <= NR; ++i)
    for (int j = 1; j <= NR; ++j) EXPECT_EQ(covh(i, j), 0.001L);
  EXPECT_GT(covlnk(2, 2), 0);
}

TEST_F(Avpt, CutOffTableAndTheOneMiddle) {
  const extended expect[] = {1.34L, 1.96L, 1.73L, 1.61L, 1.54L, 1.49L, 1.45L, 1.42L, 1.39L, 1.37L, 1.35L, 1.34L};
  for (int nu = 0; nu <= 11; ++nu) EXPECT_EQ(KPAVPT::CUTOFF(nu), expect[nu]) << nu;
  EXPECT_EQ(KPAVPT::CUTOFF(-1), 1.34L);
  // One definition of the middle entry for every list length.
  EXPECT_EQ(KPAVPT::MIDDLE(1), 1);
  EXPECT_EQ(KPAVPT::MIDDLE(2), 1);
  EXPECT_EQ(KPAVPT::MIDDLE(4), 2);
  EXPECT_EQ(KPAVPT::MIDDLE(5), 3);
}

TEST_F(Avpt, AverageMatchesAnIndependentGeneralisedLeastSquares) {
  rock();
  const gls g = independent(873);
  extended av = 0, sd = 0, sigfit = 0;
  KPAVPT::AVV(av, sd, sigfit, 873, 0, 0, true);
  EXPECT_NEAR(av, g.av, 1e-6L);
  EXPECT_NEAR(sd, g.sd, 1e-6L);
  EXPECT_NEAR(sigfit, g.sigfit, 1e-6L);
  // The printed digits agree.
  EXPECT_EQ(IO::REAL2STR(av, 3, true), IO::REAL2STR(g.av, 3, true));
  EXPECT_EQ(IO::REAL2STR(sd, 2, true), IO::REAL2STR(g.sd, 2, true));
  // The diagnostic route (the middle entry) gives the same numbers.
  extended av2 = 0, sd2 = 0, sig2 = 0;
  KPAVPT::AVV(av2, sd2, sig2, 873, 0, 0, false);
  EXPECT_NEAR(av2, av, 1e-10L);
  EXPECT_NEAR(sd2, sd, 1e-10L);
  EXPECT_NEAR(sig2, sigfit, 1e-10L);
  // With justrelu the plain route weighs by ln K alone (and a constant), the
  // diagnostic route still by the dataset: they differ.
  VOVUVUVED.justrelu = controlboolean::yes;
  KPAVPT::AVV(av2, sd2, sig2, 873, 0, 0, true);
  EXPECT_GT(std::fabs(av2 - av), 1e-3L);
  // A reaction without a root in the window: no result.
  PHIGH = 9;
  KPAVPT::AVV(av, sd, sigfit, 873, 0, 0, true);
  EXPECT_EQ(av, 0);
  EXPECT_EQ(sd, 0);
  EXPECT_EQ(sigfit, 100);
}

TEST_F(Avpt, DiagnosticsAgainstTheirClosedForms) {
  rock();
  const gls g = independent(873);
  extended av = 0, sd = 0, sigfit = 0;
  KPAVPT::AVV(av, sd, sigfit, 873, 0, 0, false);
  const std::string out = screen.str();
  EXPECT_NE(out.find("average P at T = 600" + IO::DEGREE + "C "), std::string::npos);
  EXPECT_NE(out.find("for 95% confidence, fit (= sd(fit) = sqrt(MSWD)) < 1.61 (but larger may be OK)"),
            std::string::npos);
  EXPECT_NE(out.find("|e*| >2.5 suspect?  hat >0.40 influential?"), std::string::npos);  // 4 reactions, 10 used
  // For the ln a source of end-member k (row a_k of the error matrix,
  // a_k[i] = f_i R[i,k] sd(ln a_k)): e* = -(a_k W r) with r = x - av,
  // hat = (a_k W 1)^2 / (1 W 1); a(calc) = a exp(sd(ln a) e*). Doubling its
  // sd(ln a) and redoing the least squares gives the columns 1-3.
  const int n = NR;
  for (int k = 1; k <= NCV; ++k) {
    const std::vector<std::string> w = words(lineof(out, IO::TRIMSTRING(NAME[k]) + " "));
    ASSERT_EQ(w.size(), 10u) << NAME[k];
    long double er = 0, eh = 0;
    for (int i = 0; i < n; ++i) {
      long double Wr = 0, W1 = 0;
      for (int j = 0; j < n; ++j) Wr += g.W[i][j] * (g.x[j] - g.av), W1 += g.W[i][j];
      const long double aki = g.f[i] * (*R)(i + 1, k) * std::sqrt(VARLNA[k]);
      er -= aki * Wr;
      eh += aki * W1;
    }
    const long double hat = eh * eh / g.S;
    EXPECT_NEAR(std::stold(w[4]), er, 0.0006L) << NAME[k];
    EXPECT_NEAR(std::stold(w[5]), hat, 0.0006L) << NAME[k];
    EXPECT_NEAR(std::stold(w[7]), ACTIVITY[k] * std::exp(std::sqrt(VARLNA[k]) * er),
                0.0006L * ACTIVITY[k] * 10) << NAME[k];
    if (VARLNA[k] == 0) continue;
    const extended keep = SDACTIVITY[k];
    SDACTIVITY[k] = 2 * keep;
    const gls d = independent(873);
    SDACTIVITY[k] = keep;
    KPCALC2::CALCVARLNA();
    EXPECT_NEAR(std::stold(w[1]), d.av, 0.006L) << NAME[k];
    EXPECT_NEAR(std::stold(w[3]), d.sigfit, 0.0006L) << NAME[k];
  }
}

TEST_F(Avpt, AveragePTOnStraightLinesAgainstTheNormalEquations) {
  // Three reactions among end-members with H, S and V only (straight lines
  // P = x0 + m T), activities 1: the joint fit is the 2 x 2 generalised
  // least squares of the lines.
  NCV = 5;
  const extended h[] = {0, 10, 25, -12, 4}, s[] = {0.01L, 0.02L, 0.045L, 0.005L, 0.02L},
                 v[] = {1, 0.9L, 0.7L, 1.05L, 1.1L};
  for (int k = 1; k <= NCV; ++k) {
    NAME[k] = std::string(1, static_cast<char>('a' + k - 1));
    (*TD)[k] = tdvector{};
    (*TD)[k].h = h[k - 1], (*TD)[k].s = s[k - 1], (*TD)[k].v = v[k - 1];
    (*COV)(k, k) = 0.25L * k;
    ACTIVITY[k] = 1;
  }
  NR = 3;
  const int rr[3][5] = {{-1, 1, 0, 0, 0}, {-1, 0, 1, 0, 0}, {0, -1, 0, 1, 1}};
  for (int i = 1; i <= 3; ++i)
    for (int k = 1; k <= 5; ++k) (*R)(i, k) = static_cast<smallint>(rr[i - 1][k - 1]);
  TLOW = 400, THIGH = 1500, PLOW = 0.01L, PHIGH = 40;
  FIXEDP = 10, FIXEDT = 900;
  extended P = 0, T = 0, sdP = 0, sdT = 0, cor = 0, fit = 0;
  KPAVPT::AVPT(P, T, sdP, sdT, cor, fit, 0, 0);
  // Lines: dmu = dH - T dS + (P - 0.001) dV = 0.
  std::vector<long double> x0, m, e;
  dmat V(3, std::vector<long double>(3, 0));
  for (int i = 1; i <= 3; ++i) {
    long double dH = 0, dS = 0, dV = 0;
    for (int k = 1; k <= 5; ++k) dH += (*R)(i, k) * h[k - 1], dS += (*R)(i, k) * s[k - 1], dV += (*R)(i, k) * v[k - 1];
    x0.push_back(0.001L - dH / dV);
    m.push_back(dS / dV);
    e.push_back(-1 / dV);
  }
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      long double c = 0;
      for (int k = 1; k <= 5; ++k) c += (*R)(i + 1, k) * (*R)(j + 1, k) * (*COV)(k, k);
      V[i][j] = e[i] * c * e[j];
    }
  const dmat W = inverse(V);
  // Normal equations of x0_j = P - m_j T: [S, -Sm'; -Sm', Smm] (P, T) = (W x0 sums).
  long double S = 0, Sm = 0, Smm = 0, b1 = 0, b2 = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      S += W[i][j], Sm += W[i][j] * m[j], Smm += m[i] * W[i][j] * m[j];
      b1 += W[i][j] * x0[j], b2 += m[i] * W[i][j] * x0[j];
    }
  const long double D = S * Smm - Sm * Sm;
  const long double Pe = (Smm * b1 - Sm * b2) / D, Te = (Sm * b1 - S * b2) / D;
  long double chi2 = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) chi2 += (x0[i] + m[i] * Te - Pe) * W[i][j] * (x0[j] + m[j] * Te - Pe);
  const long double fite = std::sqrt(chi2 / 1), F = fite > 1 ? fite : 1;
  EXPECT_NEAR(P, Pe, 1e-9L);
  EXPECT_NEAR(T, Te, 1e-7L);
  EXPECT_NEAR(fit, fite, 1e-9L);
  EXPECT_NEAR(sdP, std::sqrt(Smm / D) * F, 1e-9L);
  EXPECT_NEAR(sdT, std::sqrt(S / D) * F, 1e-7L);
  EXPECT_NEAR(cor, Sm / std::sqrt(S * Smm), 1e-9L);
  EXPECT_NE(screen.str().find("For 95% confidence, fit (= sd(fit)) < 1.96"), std::string::npos);
  std::string lsq;
  IO::ADDSTR("lsq", 8, lsq);
  IO::ADDREAL(P, 7, true, 1, lsq);
  IO::ADDREAL(sdP, 6, true, 1, lsq);
  IO::ADDINT(T - 273.15L, 7, lsq);
  IO::ADDINT(sdT, 6, lsq);
  IO::ADDREAL(cor, 7, true, 3, lsq);
  IO::ADDREAL(fit, 6, true, 2, lsq);
  EXPECT_NE(screen.str().find("\n" + lsq + "\n\n"), std::string::npos);
  // The run's result lines.
  screen.str("");
  KPAVPT::AVERAGEPT();
  EXPECT_NE(screen.str().find("\nAverage PT \n"), std::string::npos);
  EXPECT_NE(screen.str().find("\n\nT = " + IO::INT2STR(T - 273.15L) + IO::DEGREE + "C, sd = " + IO::INT2STR(sdT) +
                              ", \nP = " + IO::REAL2STR(P, 1, true) + " kbars, sd = " + IO::REAL2STR(sdP, 1, true) +
                              ", cor = " + IO::REAL2STR(cor, 3, true) + ", sigfit = " + IO::REAL2STR(fit, 2, true) + "\n"),
            std::string::npos);
  // A start and a window from which the point leaves: P = T = 0.
  PHIGH = Pe - 1;
  KPAVPT::AVPT(P, T, sdP, sdT, cor, fit, 0, 0);
  EXPECT_EQ(P, 0);
  EXPECT_EQ(T, 0);
  screen.str("");
  KPAVPT::AVERAGEPT();
  EXPECT_NE(screen.str().find("\n\nAverage PT outside window - use average P and/or T\n"), std::string::npos);
}

TEST_F(Avpt, WindowTestOfTheReactionSearch) {
  // a = b, dmu = 10 - 0.01 T - 0.1 (P - 0.001): P = 100.001 - 0.1 T.
  NCV = 2, NR = 1;
  (*TD)[1] = tdvector{}, (*TD)[2] = tdvector{};
  (*TD)[1].s = 0.01L, (*TD)[1].v = 1;
  (*TD)[2].h = 10, (*TD)[2].s = 0.02L, (*TD)[2].v = 0.9L;
  (*COV)(1, 1) = (*COV)(2, 2) = 1;
  ACTIVITY[1] = ACTIVITY[2] = 1;
  (*R)(1, 1) = -1, (*R)(1, 2) = 1;
  NAME[1] = "a", NAME[2] = "b";
  // Crosses both T edges (P 40 at 600 K, 20 at 800 K) of a 10-50 kbar window.
  TLOW = 600, THIGH = 800, PLOW = 10, PHIGH = 50;
  FIXEDT = 700, FIXEDP = 30;
  extended sd = 0;
  EXPECT_TRUE(KPRE::INAVWINDOW(sd));
  // sd of P = sqrt(var dH) / |dV| = sqrt(2) / 0.1.
  EXPECT_NEAR(sd, std::sqrt(2.0L) / 0.1L, 1e-6L);
  // Entering through the PHIGH edge: fails for average P.
  PHIGH = 30;
  EXPECT_FALSE(KPRE::INAVWINDOW(sd));
  EXPECT_EQ(sd, 1000);
  // Average T needs the line to cut the low-P and the high-P edges: at P 25
  // and 30 the line has T 751 and 701, inside 600-800.
  AVMODE = avtype::avtmode;
  PLOW = 25, PHIGH = 30, FIXEDP = 28;
  EXPECT_TRUE(KPRE::INAVWINDOW(sd));
  EXPECT_NEAR(sd, std::sqrt(2.0L) / 0.01L, 1e-4L);
  // The window collapsed onto the fixed T: only the sign change between
  // PLOW and PHIGH at FIXEDT counts.
  AVMODE = avtype::avpmode;
  JUSTCHECKONE = true;
  PLOW = 10, PHIGH = 50, FIXEDT = 700;
  EXPECT_TRUE(KPRE::INAVWINDOW(sd));
  FIXEDT = 950;  // P -> 5, below the window
  EXPECT_FALSE(KPRE::INAVWINDOW(sd));
}

TEST_F(Avpt, DataTablesAndBlankCellsOffTheWindow) {
  rock();
  VOVUVUVED.rockname = "pel1";
  openoutputs();
  KPAVPT::TABLE();
  KPAVPT::SPECIALTABLES();
  const std::string out = output(2), draw = vtest::readfile(*dir / "out6.txt");
  EXPECT_NE(out.find("Activities and uncertainties for pel1 at 10.00 kbar and T = 600 " + IO::DEGREE + "C"),
            std::string::npos);
  const std::vector<std::string> a = words(lineof(out, "a "));
  ASSERT_EQ(a.size(), 11u);
  EXPECT_EQ(a[1], IO::REAL2STR(0.012L, 4, false));
  EXPECT_EQ(lineof(out, "Correlation matrix"), "");  // no printcor, debug level 1
  EXPECT_NE(out.find("Calculations for the set of reactions at T = 600" + IO::DEGREE + "C \n"), std::string::npos);
  // Row of GASP: P and its sd from the location routine.
  extended p1 = 0, p2 = 0, s1 = 0, s2 = 0, l1 = 0, l2 = 0;
  KPCALC2::PFIXEDT(1, p1, p2, s1, s2, l1, 873, 0, 0, l2);
  const std::vector<std::string> row1 = words(lineof(out, "1   "));
  ASSERT_EQ(row1.size(), 9u);
  EXPECT_EQ(row1[1], IO::REAL2STR(p1, 2, true));
  EXPECT_EQ(row1[2], IO::REAL2STR(s1, 2, true));
  EXPECT_EQ(draw.substr(0, 2), "\n\n");
  EXPECT_NE(draw.find("{name, lna, sdlna} = Transpose[{\n  {    py, "), std::string::npos);
  EXPECT_NE(draw.find("}}];\n\nr = {\n  {  0,   0,   1,   0,   0,   0,   0,  -3,   2,   1},\n"), std::string::npos);
  EXPECT_NE(draw.find("\n{a, b, c, lnK, sdlnK} = Transpose[{\n"), std::string::npos);
  EXPECT_NE(draw.find("}}];\n\ncovh = {\n"), std::string::npos);

  // A reaction whose root lies outside the window: P, sd and the derived a,
  // b, c cells blank; sd(a), ln K and sd(ln K) stand; no infinite anywhere.
  PHIGH = 9.6L;  // GASP at 9.57 stays, the others leave
  INCOMPLETE = true;
  VOVUVUVED.printcor = controlboolean::yes;
  screen.str("");
  KPAVPT::TABLE();
  const std::string t = screen.str();
  EXPECT_NE(t.find(IO::BULLET + IO::BULLET + "INCOMPLETE" + IO::BULLET + IO::BULLET + " independent set of reactions"),
            std::string::npos);
  const std::string row2 = lineof(t, "2   ");
  EXPECT_EQ(row2.substr(0, 4 + 18 + 11), std::string(33, ' ').replace(0, 1, "2"));
  EXPECT_EQ(words(row2).size(), 4u);
  EXPECT_EQ(t.find("inf"), std::string::npos);
  EXPECT_EQ(t.find("NaN"), std::string::npos);
  EXPECT_NE(t.find("Correlation matrix:  calculated pressures"), std::string::npos);
}

TEST_F(Avpt, AveragePRunSummariesAndAPointOffTheWindow) {
  rock();
  // One T: the single summary line.
  KPAVPT::AVERAGEP();
  const gls g = independent(873);
  std::string out = screen.str();
  EXPECT_NE(out.find("Average pressures  at T = 600" + IO::DEGREE + "C \n"), std::string::npos);
  EXPECT_NE(out.find("For T = 600 " + IO::DEGREE + "C, av P = " + IO::REAL2STR(g.av, 3, true) + " kbar, sd = " +
                     IO::REAL2STR(g.sd, 2, true) + ", sigfit = " + IO::REAL2STR(g.sigfit, 1, true) + "\n"),
            std::string::npos);
  // Four temperatures, the last with a reaction off the window: "?" and
  // blank cells there, the others stand.
  screen.str("");
  NLT = 4;
  LT[1] = 823, LT[2] = 873, LT[3] = 923, LT[4] = 1273;
  VOVUVUVED.rockname = "pel1";
  PHIGH = 16;  // at 1000 C GASP lies near 17 kbar
  KPAVPT::AVERAGEP();
  out = screen.str();
  EXPECT_NE(out.find("Average pressures for pel1\n"), std::string::npos);
  const std::string avrow = lineof(out, "av P");
  ASSERT_EQ(avrow.size(), 7u + 4 * 8);
  EXPECT_EQ(avrow.substr(7 + 8, 8), "    " + IO::REAL2STR(g.av, 2, true));
  EXPECT_EQ(avrow.substr(7 + 24), "       ?");
  EXPECT_EQ(lineof(out, "sd").size(), 7u + 4 * 8);
  EXPECT_EQ(lineof(out, "sd").substr(7 + 24), std::string(8, ' '));
  EXPECT_EQ(lineof(out, "T" + IO::DEGREE + "C"), "T" + IO::DEGREE + "C         550     600     650    1000");
  // No diagnostics and no iteration without solution phases.
  EXPECT_EQ(out.find("avP iteration"), std::string::npos);
  EXPECT_EQ(out.find("Single end-member"), std::string::npos);
  // The incomplete set stops the run.
  INCOMPLETE = true;
  const IO::RunEnded e = vtest::runends([] { KPAVPT::AVERAGEP(); });
  EXPECT_EQ(e.where, "avP");
  EXPECT_EQ(e.message, "incomplete set");
}

TEST_F(Avpt, ScriptSetOfReactionsChecks) {
  rock();
  VOVUVUVED.nisrem = ncv;
  for (int k = 1; k <= ncv; ++k) VOVUVUVED.isrnames[k] = NAME[k];
  VOVUVUVED.nisr = 3;
  for (int i = 1; i <= 3; ++i)
    for (int k = 1; k <= ncv; ++k) VOVUVUVED.isrcoef(i, k) = (*R)(i, k);
  NR = 0;
  openoutputs();
  KPAVPT::SETISRREACTIONS();
  EXPECT_EQ(NR, 3);
  EXPECT_EQ(VOVUVUVED.dataok, controlboolean::yes);
  EXPECT_NEAR(ALNK[1], std::log(0.0075L) - 3 * std::log(0.46L), 1e-15L);
  // The block written for rereading parses back as the same isr lines.
  KPAVPT::WRITEISR();
  const std::string log = output(3);
  EXPECT_NE(log.find("\n\nisr        py  alm   gr  phl  ann   mu  cel   an   ky    q\n"
                     "isr         0    0    1    0    0    0    0   -3    2    1\n"),
            std::string::npos);
  const auto fails = [&](const char* message) {
    const IO::RunEnded e = vtest::runends([] { KPAVPT::SETISRREACTIONS(); });
    EXPECT_EQ(e.where, "rockcalcs");
    EXPECT_EQ(e.message.substr(0, std::string(message).size()), message);
  };
  // A dependent set: reaction 3 = 3 (reaction 1 + reaction 2) replaced in.
  for (int k = 1; k <= ncv; ++k) VOVUVUVED.isrcoef(3, k) = static_cast<smallint>(3 * ((*R)(1, k) + (*R)(2, k)));
  fails("setisr reactions are not independent: reaction 3");
  for (int k = 1; k <= ncv; ++k) VOVUVUVED.isrcoef(3, k) = (*R)(3, k);
  VOVUVUVED.isrcoef(3, 10) = 5;
  fails("setisr reaction doesn't balance");
  VOVUVUVED.isrcoef(3, 10) = 6;
  VOVUVUVED.isrnames[2] = "fs";
  fails("setisr phases do not match");
  VOVUVUVED.isrnames[2] = "alm";
  VOVUVUVED.nisrem = 9;
  fails("isr matrix has wrong shape");
  VOVUVUVED.nisrem = ncv;
  VOVUVUVED.nisr = 21;
  fails("setisr gives 21 reactions, an average takes at most 20");
}

TEST_F(Avpt, LargestSdOfAReactionTypedClampedOrFromTheScript) {
  AVMODE = avtype::avtmode;
  VOVUVUVED.setmaxsdt = controlboolean::no;
  answers("10\n");
  KPAVPT::SETSDAVVMAX();
  EXPECT_EQ(SDAVVMAX, 20);
  EXPECT_NE(screen.str().find("max sd(T) reset to 20" + IO::DEGREE + "C"), std::string::npos);
  answers("900\n");
  KPAVPT::SETSDAVVMAX();
  EXPECT_EQ(SDAVVMAX, 500);
  VOVUVUVED.setmaxsdt = controlboolean::yes;
  VOVUVUVED.maxsdt = 10;
  screen.str("");
  KPAVPT::SETSDAVVMAX();
  // A script value stands, even outside the typed limits.
  EXPECT_EQ(SDAVVMAX, 10);
  EXPECT_EQ(screen.str(), "max allowed sd(T): 10" + IO::DEGREE + "C (from script)\n");
  VOVUVUVED.maxsdt = 150;
  KPAVPT::SETSDAVVMAX();
  EXPECT_EQ(SDAVVMAX, 150);
  AVMODE = avtype::avpmode;
  VOVUVUVED.setmaxsdp = controlboolean::no;
  answers("0.01\n");
  KPAVPT::SETSDAVVMAX();
  EXPECT_EQ(SDAVVMAX, 0.05L);
  answers("30\n");
  KPAVPT::SETSDAVVMAX();
  EXPECT_EQ(SDAVVMAX, 20);
  EXPECT_NE(screen.str().find("max sd(P) reset to 20 kbar"), std::string::npos);
  VOVUVUVED.setmaxsdp = controlboolean::yes;
  VOVUVUVED.maxsdp = 100;
  screen.str("");
  KPAVPT::SETSDAVVMAX();
  EXPECT_EQ(SDAVVMAX, 100);
  VOVUVUVED.maxsdp = 0.01L;
  KPAVPT::SETSDAVVMAX();
  EXPECT_EQ(SDAVVMAX, 0.01L);
  EXPECT_EQ(screen.str().find("reset"), std::string::npos) << screen.str();
}

namespace {

// The metapelite with garnet (py, alm, gr) and plagioclase (an; ab is not in
// the system) as ideal solution phases of an a-x text, the micas, kyanite
// and quartz as pure phases: py alm gr an phl ann mu cel ky q.
class AvptSolutions : public Avpt {
 protected:
  void solutions() {
    readdataset({"py", "alm", "gr", "an", "phl", "ann", "mu", "cel", "ky", "q"});
    const std::string ax =
        "g 3 1\nverbatim\ngarnet\nverbatim\nx(g) 0.7\nz(g) 0.1\np(py) 1 2 1 1 -1 x 1 1 -1 z\np(alm) 1 2 0 1 1 x 1 1 -1 z\np(gr) 1 1 0 1 1 z\n"
        "ideal\n3\nxMgX 1 2 1 1 -1 x 1 1 -1 z\nxFeX 1 2 0 1 1 x 1 1 -1 z\nxCaX 1 1 0 1 1 z\n"
        "py 1 1 xMgX 3\nalm 1 1 xFeX 3\ngr 1 1 xCaX 3\n\n"
        "pl 2 1\nverbatim\nplagioclase\nverbatim\nx(pl) 0.5 range 0 1\np(an) 1 1 1 1 -1 x\np(ab) 1 1 0 1 1 x\nideal\n2\n"
        "xCaA 1 1 1 1 -1 x\nxNaA 1 1 0 1 1 x\nan 1 1 xCaA 1\nab 1 1 xNaA 1\n";
    ASSERT_NO_FATAL_FAILURE(readaxtext(ax));
    CALCMODE = calcmodetype::rockcalc;
    ASSERT_EQ(NPSS, 2);
    NP0 = 6;
    const extended pure[] = {0.088L, 0.04L, 0.74L, 0.05L, 1, 1};
    for (int k = 5; k <= 10; ++k) ACTIVITY[k] = pure[k - 5], SDACTIVITY[k] = 0;
    KPAVPT::UPDATEACTIVITY(10, 873);
    KPREAD1::SETSDAPARAMS(true);
    KPREAD1::CHECKSDA();
    const int rr[4][10] = {{0, 0, 1, -3, 0, 0, 0, 0, 2, 1},
                           {-1, 0, -1, 3, 1, 0, -1, 0, 0, 0},
                           {-1, 0, 0, 0, 2, 0, 1, -3, 0, 6},
                           {0, -1, -1, 3, 0, 1, -1, 0, 0, 0}};
    NR = 4;
    for (int i = 1; i <= NR; ++i)
      for (int k = 1; k <= 10; ++k) (*R)(i, k) = static_cast<smallint>(rr[i - 1][k - 1]);
    TLOW = 673, THIGH = 1273, PLOW = 1, PHIGH = 20;
    FIXEDT = 873, FIXEDP = 10;
  }
};

}  // namespace

TEST_F(AvptSolutions, UpdateActivityOfThePhasesAndItsStops) {
  solutions();
  // Ideal garnet at x = 0.7, z = 0.1: a(py) = (0.3 x 0.9)^3, a(alm) =
  // (0.7 x 0.9)^3, a(gr) = 0.1^3; plagioclase x = 0.5: a(an) = 0.5; ab
  // passed over.
  KPAVPT::UPDATEACTIVITY(12, 900);
  EXPECT_NEAR(ACTIVITY[1], 0.019683L, 1e-15L);
  EXPECT_NEAR(ACTIVITY[2], 0.250047L, 1e-15L);
  EXPECT_NEAR(ACTIVITY[3], 0.001L, 1e-15L);
  EXPECT_NEAR(ACTIVITY[4], 0.5L, 1e-15L);
  EXPECT_EQ(ACTIVITY[5], 0.088L);  // pure phases untouched
  EXPECT_NEAR(ALNK[1], std::log(0.001L) - 3 * std::log(0.5L), 1e-14L);
  // Solution end-members out of the phases' order: py is passed over, alm
  // matched, and no later one meets its place; the count check stops the run.
  std::swap(NAME[1], NAME[2]);
  IO::RunEnded e = vtest::runends([] { KPAVPT::UPDATEACTIVITY(10, 873); });
  EXPECT_EQ(e.where, "updateactivity");
  EXPECT_EQ(e.message, "does not add up");
  EXPECT_NE(screen.str().find("\nk =   1, ncv =  10\n"), std::string::npos);
  std::swap(NAME[1], NAME[2]);
  // A zero activity is not made up: the run stops naming its site fraction.
  (*PREC1)[1].xyz[2].guess = 0;
  e = vtest::runends([] { KPAVPT::UPDATEACTIVITY(10, 873); });
  EXPECT_EQ(e.message.substr(0, 22), "site fraction xCaX not");
}

TEST_F(AvptSolutions, AveragePIteratesAndMarksAPointOffTheWindow) {
  solutions();
  NLT = 3;
  LT[1] = 873, LT[2] = 973, LT[3] = 673;
  PHIGH = 17;  // at 400 C reaction 3 lies above the window
  KPAVPT::AVERAGEP();
  const std::string out = screen.str();
  // The refreshed activities carry the phases' own sds from here on.
  const gls g = independent(973);
  // The middle entry (the second) lists its passes and prints the
  // diagnostics; the lost point is said and the run goes on.
  EXPECT_NE(out.find("avP iteration at T = 700" + IO::DEGREE + "C \n"), std::string::npos);
  EXPECT_NE(lineof(out, "avP  ").find("sd(avP)  sigfit"), std::string::npos);
  EXPECT_NE(out.find("average P at T = 700" + IO::DEGREE + "C "), std::string::npos);
  EXPECT_NE(out.find("avP at T = 400" + IO::DEGREE + "C: a reaction lies outside the P window, no result at this T"),
            std::string::npos);
  const std::vector<std::string> av = words(lineof(out, "av P"));
  ASSERT_EQ(av.size(), 5u);
  EXPECT_EQ(av[3], IO::REAL2STR(g.av, 2, true));
  EXPECT_EQ(av[4], "?");
  EXPECT_EQ(out.find("did NOT converge"), std::string::npos);
}

TEST_F(AvptSolutions, AverageTSettlesWhereItsActivitiesAreTaken) {
  solutions();
  AVMODE = avtype::avtmode;
  NR = 3;  // GASP and the two garnet-mica-plagioclase reactions
  (*R)(3, 2) = -1, (*R)(3, 6) = 1, (*R)(3, 1) = 0, (*R)(3, 5) = 0, (*R)(3, 8) = 0, (*R)(3, 10) = 0;
  (*R)(3, 3) = -1, (*R)(3, 4) = 3, (*R)(3, 7) = -1;
  NLP = 1, LP[1] = 10;
  KPAVPT::UPDATEACTIVITY(10, FIXEDT);
  extended av0 = 0, sd0 = 0, sig0 = 0;
  KPAVPT::AVV(av0, sd0, sig0, 10, 0, 0, true);
  ASSERT_GT(av0, 0);
  KPAVPT::AVERAGET();
  const std::string out = screen.str();
  // The first trial is the average from the activities at FIXEDT.
  const std::vector<std::string> t1 = words(lineof(out, "1 "));
  ASSERT_GE(t1.size(), 3u);
  EXPECT_EQ(t1[1], IO::REAL2STR(av0 - 273.15L, 1, true));
  // The result is the average from the activities at the last trial, which
  // agrees with it: recompute it independently at that trial.
  const std::vector<std::string> w = words(lineof(out, "For P = "));
  ASSERT_GE(w.size(), 9u);
  const extended avT = std::stold(w[8]) + 273.15L;
  KPAVPT::UPDATEACTIVITY(10, avT);
  extended a = 0, s = 0, g = 0;
  KPAVPT::AVV(a, s, g, 10, 0, 0, true);
  EXPECT_NEAR(a, avT, 0.06L);
  EXPECT_EQ(out.find("did NOT converge"), std::string::npos);
}

TEST_F(AvptSolutions, AverageTPointThatCannotStartIsMarked) {
  solutions();
  AVMODE = avtype::avtmode;
  NR = 3;
  for (int k = 1; k <= 10; ++k) (*R)(3, k) = (*R)(4, k);
  NLP = 2, LP[1] = 10, LP[2] = 15;  // at 15 kbar two reactions leave the T window
  KPAVPT::AVERAGET();
  const std::string out = screen.str();
  EXPECT_NE(out.find("avT at P = 15.0 kbar: can't start"), std::string::npos);
  const std::vector<std::string> av = words(lineof(out, "av T"));
  ASSERT_EQ(av.size(), 4u);
  EXPECT_EQ(av[3], "?");
}

TEST_F(Avpt, ReactionSearchKeepsIndependentReactionsInTheWindow) {
  rock();
  NNE = NCV;
  if (NU == 0) NU = NUV;
  TLOW = THIGH = FIXEDT = 873;  // the window collapsed onto the fixed T
  SDAVVMAX = 5;
  NR = 0;
  openoutputs();
  bool done = false;
  KPRE::CALCRE(done);
  const std::string out = screen.str();
  EXPECT_TRUE(JUSTCHECKONE);
  EXPECT_EQ(ONIR, NCV - 6) << "rank 6: SiO2 Al2O3 FeO MgO CaO K2O";
  EXPECT_EQ(INCOMPLETE, NR < ONIR);
  ASSERT_GE(NR, 2);
  // Each reaction kept crosses the window at 600 C within the largest sd,
  // its ln K is in ALNK, and the progress line carries one X per reaction.
  for (int i = 1; i <= NR; ++i) {
    extended p1 = 0, p2 = 0, s1 = 0, s2 = 0, l1 = 0, l2 = 0;
    KPCALC2::PFIXEDT(static_cast<smallint>(i), p1, p2, s1, s2, l1, 873, 0, 0, l2);
    EXPECT_TRUE(p1 >= PLOW && p1 <= PHIGH) << i;
    EXPECT_LE(s1, SDAVVMAX) << i;
    extended lnk = 0;
    for (int k = 1; k <= NCV; ++k)
      if ((*R)(i, k) != 0) lnk += (*R)(i, k) * std::log(ACTIVITY[k]);
    EXPECT_NEAR(ALNK[i], lnk, 1e-14L) << i;
  }
  int x = 0;
  for (char ch : out) x += ch == 'X';
  EXPECT_EQ(x, NR);
  // Independent: the script-set check accepts them.
  VOVUVUVED.nisrem = NCV, VOVUVUVED.nisr = NR;
  for (int k = 1; k <= NCV; ++k) VOVUVUVED.isrnames[k] = NAME[k];
  for (int i = 1; i <= NR; ++i)
    for (int k = 1; k <= NCV; ++k) VOVUVUVED.isrcoef(i, k) = (*R)(i, k);
  EXPECT_EQ(vtest::endof([] { KPAVPT::SETISRREACTIONS(); }).where, "");
}

TEST_F(Avpt, SubsystemBudgetCountsAcceptedReactionsOnly) {
  // Four end-members; reaction 1 (kept) among 1 and 2, a rejected set {3, 4}
  // recorded before it. The subsystem {3, 4} holds no kept reaction.
  NCV = NNE = 4, NU = 2, NR = 1;
  (*R)(1, 1) = 1, (*R)(1, 2) = -1;
  NRBIT = 2;
  IO::BCLEAR2(RBIT[1]), IO::BCLEAR2(RBIT[2]);
  IO::BSET2(RBIT[1], 3), IO::BSET2(RBIT[1], 4);
  IO::BSET2(RBIT[2], 1), IO::BSET2(RBIT[2], 2);
  KPRE::NEMSUB = 2, RANKC = 1, ONIR = 3;
  bemvector ph{};
  ph[3] = ph[4] = true;
  EXPECT_TRUE(KPRE::CALCLNIR(ph, 2));
  EXPECT_EQ(KPRE::NRSUBOLD, 0);
  ph[1] = ph[2] = true;
  KPRE::NEMSUB = 4, RANKC = 2;
  EXPECT_TRUE(KPRE::CALCLNIR(ph, 2));
  EXPECT_EQ(KPRE::NRSUBOLD, 1);
  EXPECT_EQ(KPRE::NRSUBMAX, 2);
}

TEST_F(Avpt, DriverTypeCodeTableAndDataEdits) {
  // A script code of 3 is not taken: the menu, and a typed 5 runs average P.
  VOVUVUVED.calctypeval = 3;
  answers("5\n");
  KPAVPT::ROCKCALCS rc0;
  rc0.TYPECODE();
  EXPECT_EQ(AVMODE, avtype::avpmode);
  EXPECT_NE(screen.str().find("type of rock calculation: \n       1 : average P\n       2 : average T\n"),
            std::string::npos);
  VOVUVUVED.calctypeval = 2;
  rc0.TYPECODE();
  EXPECT_EQ(AVMODE, avtype::avtmode);

  // Fifteen end-members: two blocks, the second holding the 15th only.
  readdataset({"py", "alm", "gr", "phl", "ann", "mu", "cel", "an", "ky", "q", "ab", "pa", "sill", "and", "ilm"});
  for (int k = 1; k <= NCV; ++k) ACTIVITY[k] = 1, SDACTIVITY[k] = 0;
  ACTIVITY[15] = 0.9L, SDACTIVITY[15] = 0.05L;
  VOVUVUVED.rockname = "pel1";
  KPAVPT::ROCKCALCS rc;
  screen.str("");
  rc.ACTIVITYTABLE();
  std::string t = screen.str();
  EXPECT_EQ(t.substr(0, 1 + 6 + 9), "\n  pel1       py");
  EXPECT_NE(t.find("\n\n            ilm\n     a    0.900\n sd(a)   0.0500\n\n"), std::string::npos);
  EXPECT_NE(t.find("\n sd(a)        0        0"), std::string::npos);

  // Data edits: one bad name asked again and dropped, alm excluded, two
  // activity edits (the second changes nothing and must not clear the
  // change), then the end-member left alone with FeO (ann) excluded.
  readdataset({"py", "alm", "gr", "phl", "ann", "mu", "cel", "an", "ky", "q"});
  for (int k = 1; k <= NCV; ++k) ACTIVITY[k] = 0.5L, SDACTIVITY[k] = 0.01L;
  KPAVPT::ROCKCALCS ed;
  answers("no\nxyz alm *\nqq\nno\npy\n1.5\n0.02\n0.001\ngr\n0.5\n0.01\n*\n");
  screen.str("");
  ed.EDITDATA();
  EXPECT_NE(screen.str().find("forget it!  (check the name\xC9)"), std::string::npos);
  EXPECT_EQ(NEX1, 2);
  EXPECT_EQ(EXEM[1], 2);
  EXPECT_EQ(EXEM[2], 5);
  EXPECT_TRUE(ed.changed);
  EXPECT_EQ(ACTIVITY[1], 0.02L);
  EXPECT_EQ(SDACTIVITY[1], 0.001L);
  // "these data ok": nothing edited, nothing excluded.
  NEX1 = 0;
  KPAVPT::ROCKCALCS ok;
  answers("yes\n");
  ok.EDITDATA();
  EXPECT_EQ(NEX1, 0);
  // The next run asks whether to keep the changes; no drops them.
  answers("no\n");
  ed.STARTRUN();
  EXPECT_FALSE(ed.changed);
  EXPECT_EQ(NEX1, 0);
  EXPECT_EQ(ACTIVITY[1], 0.5L);
}

TEST_F(Avpt, DriverFluidAndTheCalculationItLeadsTo) {
  rock();
  KPAVPT::ROCKCALCS rc;
  rc.FLUID();
  EXPECT_EQ(FLUIDTYPE, ftype::absent);  // no H2O, no CO2
  openoutputs();
  VOVUVUVED.oisr = controlboolean::yes;
  NR = 1;
  rc.CALCULATE();
  NR = 0;
  rc.CALCULATE();
  const std::string out = output(2), log = vtest::readfile(*dir / "out3.txt");
  EXPECT_NE(out.find("\n** insufficient reactions for average P/T calculations\n"), std::string::npos);
  EXPECT_NE(out.find("\n** no reactions\n"), std::string::npos);
  EXPECT_NE(log.find("isr         0    0    1    0    0    0    0   -3    2    1\n\n"), std::string::npos);
  EXPECT_EQ(out.find("isr "), std::string::npos);  // the block goes to the log only
}

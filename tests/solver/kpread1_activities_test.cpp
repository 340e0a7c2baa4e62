// Activities of extracted end-members with their uncertainties, and the
// default activity uncertainties in single precision.
#include <cmath>
#include <iostream>

#include "models/ax_support.h"
#include "solver/kpread1_activities.h"

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;

class ExtractActivities : public AxTest {
 protected:
  eqvector x, a, sda;
  void SetUp() override {
    AxTest::SetUp();
    for (const char* n : {"ms", "pa", "cel", "san", "sill", "and"}) PHNAMES[++NTP] = n;
  }
  void load(const std::string& file) {
    const IO::RunEnded e = vtest::endof([&] { readfile(file); });
    ASSERT_EQ(e.where, "") << e.message;
  }
  void guesses(int iph) {
    x = eqvector{};
    for (int v = 1; v <= ss(iph).nvars; ++v) x[v] = ss(iph).xyz[v].guess;
  }
  void calc(int iph, extended P, extended T) { KPREAD1::CALCACTIVITIES(static_cast<smallint>(iph), x, P, T, a, sda); }
};

// The default per-site rule of CHECKSDA written out in single precision.
class Defaults : public vtest::StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    NSITE.fill(1);
    KPREAD1::SETSDAPARAMS(true);
  }
  extended checked(extended act, extended sd, smallint n = 1) {
    NCV = 1;
    ACTIVITY[1] = act, SDACTIVITY[1] = sd, NSITE[1] = n;
    KPREAD1::CHECKSDA();
    return SDACTIVITY[1];
  }
};

}  // namespace

TEST_F(Defaults, WorkedNumbersInSinglePrecision) {
  EXPECT_EQ(LSDWP, 0.3L);
  EXPECT_EQ(SDWP, 0.3L);
  EXPECT_EQ(ARB, 0.01L);
  EXPECT_EQ(MINSDLNA, 0.05L);
  // a = 0.5: y = 0.5, sy = 0.3 x 0.25 x 0.5 = 0.0375, held as a float.
  EXPECT_EQ(checked(0.5L, 0), static_cast<extended>(0.0375f));
  // a = 0.02: y below ARB/SDWP = 0.0333, sy = ARB = 0.01, sa = 0.01.
  EXPECT_FLOAT_EQ(static_cast<float>(checked(0.02L, 0)), 0.01f);
  // Two sites: a = 0.25 is 0.5 per site, sa = 2 x 0.25 x 0.0375 / 0.5.
  EXPECT_FLOAT_EQ(static_cast<float>(checked(0.25L, 0, 2)), 0.0375f);
  // NSITE 0 counts as 1.
  EXPECT_FLOAT_EQ(static_cast<float>(checked(0.5L, 0, 0)), 0.0375f);
  // Activity 1: sd 0, whatever was given; a larger sd stays (as a float); a
  // negative one becomes the default.
  EXPECT_EQ(checked(1, 0.2L), 0);
  EXPECT_EQ(checked(0.5L, 0.1L), static_cast<extended>(0.1f));
  EXPECT_EQ(checked(0.5L, -0.1L), static_cast<extended>(0.0375f));
  // An activity 1 - 1e-9 is 1 in single precision: sd 0.
  EXPECT_EQ(checked(1 - 1e-9L, 0.01L), 0);
  // With "justrelu" SDWP = 0: sy = ARB, raised to MINSDLNA y = 0.025.
  VOVUVUVED.justrelu = controlboolean::yes;
  KPREAD1::SETSDAPARAMS(true);
  EXPECT_EQ(LSDWP, 0);
  EXPECT_FLOAT_EQ(static_cast<float>(checked(0.5L, 0)), 0.025f);
  // usedefsda no: the given sd is kept.
  VOVUVUVED.usedefsda = controlboolean::no;
  EXPECT_EQ(checked(0.5L, 0.001L), static_cast<extended>(0.001f));
}

TEST_F(Defaults, NoisyResetSaysItIsNotAvailable) {
  KPREAD1::SETSDAPARAMS(false);
  EXPECT_EQ(screen.str(), "**resetting default uncertainty parameters not currently available\n");
}

TEST_F(ExtractActivities, IdealSymmetricAndVanLaarWithUncertainties) {
  load("../../examples/ax/vt-simple.txt");
  const extended P = 5, T = 873.15L, RT = RGAS * T;
  // Garnet x = 0.8, z = 0.1, sd 0.01 each: forward differences of 0.001.
  guesses(1);
  calc(1, P, T);
  const auto py = [](extended x, extended z) { return std::pow((1 - x) * (1 - z), 3.0L); };
  EXPECT_NEAR(static_cast<double>(a[1]), 0.005832, 1e-15);
  const extended dx = 0.01L * (py(0.801L, 0.1L) - py(0.8L, 0.1L)) / 0.001L;
  const extended dz = 0.01L * (py(0.8L, 0.101L) - py(0.8L, 0.1L)) / 0.001L;
  EXPECT_NEAR(static_cast<double>(sda[1]), static_cast<double>(std::sqrt(dx * dx + dz * dz)), 1e-15);
  // Plagioclase x = 0.6, W = 3.1 with its default sd: relative uncertainty
  // from the variable and from W.
  guesses(2);
  calc(2, P, T);
  const extended W = 3.1L, sdw = ss(2).sdw[1];
  ASSERT_GT(sdw, 0);
  const extended q = 0.6L * 0.6L;  // q_u q_v for an: (1 - 0.4)(0 - 0.6) with the minus of G
  EXPECT_NEAR(static_cast<double>(a[1]), static_cast<double>(0.4L * std::exp(q * W / RT)), 1e-15);
  const extended rel = std::sqrt(std::pow(0.01L * -1 / 0.4L, 2) + std::pow(q * sdw / RT, 2));
  EXPECT_NEAR(static_cast<double>(sda[1]), static_cast<double>(a[1] * rel), 1e-12);
  // justrelu: the W uncertainty no longer counts.
  VOVUVUVED.justrelu = controlboolean::yes;
  calc(2, P, T);
  EXPECT_NEAR(static_cast<double>(sda[1]), static_cast<double>(a[1] * 0.01L / 0.4L), 1e-12);
  VOVUVUVED.justrelu = controlboolean::no;

  // Van Laar feldspar of the test file: the sizes enter through the volume
  // fractions and 2 alpha_i / (alpha_u + alpha_v).
  load("ax-activities.txt");
  guesses(2);
  const extended P2 = 8, T2 = 923.15L, RT2 = RGAS * T2;
  calc(2, P2, T2);
  const extended pf[3] = {0.6L, 0.3L, 0.1L};
  const extended al[3] = {0.674L, 0.55L, 1 + 0.0001L * T2 - 0.002L * P2};
  const ptype1& f = ss(2);
  extended Phi = 0;
  for (int j = 0; j < 3; ++j) Phi += pf[j] * al[j];
  for (int i = 0; i < 3; ++i) {
    extended G = 0, VW = 0;
    for (int g = 1; g <= f.ngterm; ++g) {
      const int u = f.gterm[g].iem - 1, v = f.gterm[g].jem - 1, w = f.gterm[g].iw;
      const extended qq = al[i] * 2 * ((i == v) - pf[v] * al[v] / Phi) * ((i == u) - pf[u] * al[u] / Phi) / (al[u] + al[v]);
      G -= qq * (f.wa[w] + f.wb[w] * T2 + f.wc[w] * P2);
      VW += std::pow(qq * f.sdw[w], 2);
    }
    const extended act = pf[i] * std::exp(G / RT2);
    EXPECT_NEAR(static_cast<double>(a[i + 1]), static_cast<double>(act), 1e-15);
    // One site fraction per end-member, linear in the variables: the
    // compositional part of the relative uncertainty is sd / p per variable.
    const extended V = i == 0 ? 2 * std::pow(0.01L, 2) : std::pow(0.01L, 2);
    EXPECT_NEAR(static_cast<double>(sda[i + 1]),
                static_cast<double>(act * std::sqrt(V / (pf[i] * pf[i]) + VW / (RT2 * RT2))), 1e-12);
  }
  // An excluded end-member: 0 and 0.
  ss(2).em[3].exclude = true;
  calc(2, P2, T2);
  EXPECT_EQ(a[3], 0);
  EXPECT_EQ(sda[3], 0);
}

TEST_F(ExtractActivities, PerturbedSiteFractionStaysLegal) {
  // x(h) = 0.9995: the forward step makes s1 = 1 - x negative. The
  // uncertainty comes from the backward difference instead of a product
  // with the factor dropped.
  load("ax-activities.txt");
  x = eqvector{};
  x[1] = 0.9995L;
  calc(3, 5, 873.15L);
  const extended s1 = 0.0005L;
  EXPECT_NEAR(static_cast<double>(a[1]), static_cast<double>(std::pow(s1, 1.5L)), 1e-18);
  const extended back = (std::pow(s1, 1.5L) - std::pow(s1 + 0.001L, 1.5L)) / 0.001L;
  EXPECT_NEAR(static_cast<double>(sda[1]), static_cast<double>(0.01L * std::fabs(back)), 1e-15);
  EXPECT_LT(sda[1], 1e-3L);  // the dropped factor would have given about 10
  // A site fraction at or below 0 at x itself is bad input.
  x[1] = 1;
  const IO::RunEnded e = vtest::runends([&] { calc(3, 5, 873.15L); });
  EXPECT_EQ(e.where, "calcactivities");
  EXPECT_EQ(e.message, "site fraction s1 not positive for py in h");
}

TEST_F(ExtractActivities, ASizeAtOrBelowZeroStopsNamingTheEndMemberAndThePoint) {
  // The feldspar's an size set to -1: refused where the sizes are evaluated,
  // at the P and T of the call (5 kbar, 600 °C).
  load("ax-activities.txt");
  guesses(2);
  ss(2).alphaa[2] = -1;
  const IO::RunEnded e = vtest::runends([&] { calc(2, 5, 873.15L); });
  EXPECT_EQ(e.where, "calcactivities");
  EXPECT_EQ(e.message, "van Laar size of an in fsp is -1.000 (must be > 0) at P = 5.000 kbar, T = 600.00 \xA1" "C");
}

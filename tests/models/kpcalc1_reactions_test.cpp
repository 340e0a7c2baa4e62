// Reaction thermodynamics: made end-members through their recipes, dG of a
// reaction with its P and T derivatives, ln K and dmu.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "frame/io.h"
#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "ph_data.h"
#include "ph_state.h"

using namespace KPGLOBAL;

namespace {

void setup() {
  phtest::phreset();
  phtest::aluminosilicates();
  NR = 1;
}

extended gem(int i, extended P, extended T) {
  extended g = 0;
  KPCALC1::GEM(static_cast<smallint>(i), P, T, g);
  return g;
}

double d(extended x) { return static_cast<double>(x); }

}  // namespace

TEST(ReactionThermo, PolymorphReactionsAgainstGemAndCentralDifferences) {
  setup();
  // ky = sill and and = ky: dG is the difference of the two Gibbs energies;
  // the forward-difference derivatives match central differences of it.
  const struct {
    int from, to;
  } reactions[] = {{2, 3}, {4, 2}};
  for (const auto& r : reactions) {
    for (int k = 1; k <= NCV; ++k) (*R)(1, k) = 0;
    (*R)(1, r.from) = -1;
    (*R)(1, r.to) = 1;
    for (extended P : {1.0L, 8.0L}) {
      for (extended T : {700.0L, 1000.0L}) {
        extended dgdp = 0, dgdt = 0, dg = 0;
        KPCALC1::CALCDG0(1, dgdp, dgdt, dg, P, T);
        auto diff = [&](extended p, extended t) { return gem(r.to, p, t) - gem(r.from, p, t); };
        EXPECT_NEAR(d(dg), d(diff(P, T)), 1e-9);
        const extended hp = 0.01L, ht = 0.1L;
        EXPECT_NEAR(d(dgdp), d((diff(P + hp, T) - diff(P - hp, T)) / (2 * hp)), 1e-6);
        EXPECT_NEAR(d(dgdt), d((diff(P, T + ht) - diff(P, T - ht)) / (2 * ht)), 1e-6);
      }
    }
  }
  // At 1 bar and 298.15 K the volume change of ky = sill is about the
  // difference of the tabulated volumes.
  for (int k = 1; k <= NCV; ++k) (*R)(1, k) = 0;
  (*R)(1, 2) = -1, (*R)(1, 3) = 1;
  extended dgdp = 0, dgdt = 0, dg = 0;
  KPCALC1::CALCDG0(1, dgdp, dgdt, dg, 0.001L, 298.15L);
  EXPECT_NEAR(d(dgdp), 4.986 - 4.414, 0.01);
}

TEST(ReactionThermo, EmptyReactionAndBadTemperature) {
  setup();
  for (int k = 1; k <= NCV; ++k) (*R)(1, k) = 0;
  extended dgdp = 1, dgdt = 1, dg = 1;
  KPCALC1::CALCDG0(1, dgdp, dgdt, dg, 5, 800);
  EXPECT_EQ(dg, 0);
  EXPECT_EQ(dgdp, 0);
  EXPECT_EQ(dgdt, 0);
  const IO::RunEnded e = vtest::endof([&] { KPCALC1::CALCDG0(1, dgdp, dgdt, dg, 5, 0); });
  EXPECT_EQ(e.where, "calcdg0");
  EXPECT_EQ(e.message, "T <= 0 !");
}

TEST(ReactionThermo, MadeEndMemberIsItsRecipePlusItsIncrement) {
  setup();
  // Row 5 is a made end-member of solution phase 1 (end-member 2):
  // 1/2 ky + 1/2 and over the dependent rows 2 and 4, with a DQF held in
  // its own h, s, v.
  NCV = 5;
  axemrec& em = (*PREC1)[1].em[2];
  em.nmake = 2, em.makeden = 2;
  em.makecoef[1] = 1, em.makecoef[2] = 1;
  em.makedep[1] = 2, em.makedep[2] = 4;
  tdvector& row = (*TD)[5];
  row.h = 1.5L, row.s = -0.002L, row.v = 0.03L;  // DQF a = 1.5, b = 0.002, c = 0.03
  row.makephase = 1, row.makeem = 2;
  const extended P = 6, T = 900;
  extended G = 0;
  KPCALC1::GEMDRIVER(5, G, P, T);
  const extended expect = (gem(2, P, T) + gem(4, P, T)) / 2 + 1.5L + 0.002L * T + 0.03L * P;
  EXPECT_NEAR(d(G), d(expect), 1e-9);
  // A made pure phase (makephase 0) takes its recipe from PREC0.
  ptype0& ph = (*PREC0)[3];
  ph.nmake = 1, ph.makeden = 1, ph.makecoef[1] = 2, ph.makepos[1] = 3;
  row.makephase = 0, row.makeem = 3;
  KPCALC1::GEMDRIVER(5, G, P, T);
  EXPECT_NEAR(d(G), d(2 * gem(3, P, T) + 1.5L + 0.002L * T + 0.03L * P), 1e-9);
  // With the older layout the make reference is ignored.
  WITHDS4X = false;
  KPCALC1::GEMDRIVER(5, G, P, T);
  EXPECT_EQ(G, gem(5, P, T));
}

TEST(ReactionThermo, LnKAndDmuWithFluidMoleFractions) {
  setup();
  // Reaction -2 ky + 1 sill + 1 and (not balanced: only the sums matter);
  // ky at a = 0.5, sill at 0.8, and at 1.
  for (int k = 1; k <= NCV; ++k) (*R)(1, k) = 0;
  (*R)(1, 2) = -2, (*R)(1, 3) = 1, (*R)(1, 4) = 1;
  ACTIVITY[2] = 0.5L, ACTIVITY[3] = 0.8L;
  extended lnk = 0;
  KPCALC1::CALCLNK(1, lnk, 5, 800, 0.3L, 0.7L);
  EXPECT_NEAR(d(lnk), d(-2 * std::log(0.5L) + std::log(0.8L)), 1e-15);
  // Treat and as CO2 and q as H2O: strict bounds, so x = 0 or 1 adds nothing.
  CO2POS = 4;
  H2OPOS = 1;
  (*R)(1, 1) = 3;
  KPCALC1::CALCLNK(1, lnk, 5, 800, 0.3L, 0.7L);
  const extended base = -2 * std::log(0.5L) + std::log(0.8L);
  EXPECT_NEAR(d(lnk), d(base + std::log(0.3L) + 3 * std::log(0.7L)), 1e-15);
  KPCALC1::CALCLNK(1, lnk, 5, 800, 1, 0);
  EXPECT_NEAR(d(lnk), d(base), 1e-15);
  KPCALC1::CALCLNK(1, lnk, 5, 800, 0, 1);
  EXPECT_NEAR(d(lnk), d(base), 1e-15);

  // dmu = dG + RT ln K; dmu/dT = dG/dT + R ln K; the fluid composition is
  // stored only in the rows of the reaction's end-members.
  (*R)(1, 1) = 0;
  CO2POS = H2OPOS = 0;
  (*TD)[1].xco2 = 0.9L;
  extended dgdp = 0, dmudt = 0, dmu = 0, gdp = 0, gdt = 0, dg = 0;
  KPCALC1::CALCDMU(1, dgdp, dmudt, dmu, 5, 800, 0.25L, 0.75L);
  KPCALC1::CALCDG0(1, gdp, gdt, dg, 5, 800);
  const extended RT = 0.0083144L * 800;
  EXPECT_NEAR(d(dmu), d(dg + RT * base), 1e-9);
  EXPECT_NEAR(d(dmudt), d(gdt + 0.0083144L * base), 1e-9);
  EXPECT_NEAR(d(dgdp), d(gdp), 1e-12);
  for (int k : {2, 3, 4}) {
    EXPECT_EQ((*TD)[k].xco2, 0.25L);
    EXPECT_EQ((*TD)[k].xh2o, 0.75L);
  }
  EXPECT_EQ((*TD)[1].xco2, 0.9L);

  ACTIVITY[3] = 0;
  const IO::RunEnded e = vtest::endof([&] { KPCALC1::CALCLNK(1, lnk, 5, 800, 0.3L, 0.7L); });
  EXPECT_EQ(e.where, "calclnk");
  EXPECT_EQ(e.message, "ln<=0");
}

// Bracket enthalpies and the interval rule of a least-squares experiment:
// the case table, the pair flags and pair statistics, the multiple-reversal
// rule, the bracket enthalpy and its sd against closed forms, and the
// calculated T and P of a bracket.
//
// End-members without heat capacity, expansion or compressibility have
// G = H - T S + V (P - 0.001), so a reaction's Delta G and every number
// derived from it have closed forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "lsq/lsqds.h"
#include "lsq/lsqds_brackets.h"
#include "lsq/lsqds_report.h"
#include "support/vt_state.h"

namespace {

using namespace KPGLOBAL;

constexpr extended R = 0.0083144L;
constexpr extended P0 = 0.001L;

extended f(extended d) { return 0.887L + d * (0.194L + 0.0973L * d); }

class LsqBracketsTest : public vtest::StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    CALCMODE = calcmodetype::lsqdscalc;
  }
  void add(const std::string& name, extended h, extended s, extended v) {
    ++NTOT;
    NTP = NTOT;
    tdrec& t = (*TDA)[NTOT];
    t.name = name;
    PHNAMES[NTOT] = name;
    t.h = h, t.s = s, t.v = v;
    t.smax = -1, t.vmax = -1, t.sffac = 1;
  }
  // Experiment 1: the reaction over end-members 1..n with the given
  // coefficients, each its own list entry.
  xprec& reaction(std::initializer_list<smallint> coefs) {
    xprec& x = (*XPW)[1];
    x = xprec{};
    x.used = true;
    x.factor = 1;
    for (smallint c : coefs) {
      ++x.n;
      x.em[x.n] = x.n;
      x.coef[x.n] = c;
      x.apos[x.n] = x.n;
      x.emidx[x.n] = x.n;
      x.emname[x.n] = PHNAMES[x.n];
      x.acode[x.n] = 1;
    }
    x.nem = x.n;
    NXPW = 1;
    return x;
  }
  // A bracket: side, P (kbar), T (K), x(CO2); unit activities.
  brrec& bracket(xprec& x, bool high, extended p, extended t, extended xco2 = 0) {
    brrec& b = x.br[++x.nbr];
    b = brrec{};
    b.high = high, b.p = p, b.t = t, b.xco2 = xco2;
    for (int j = 1; j <= x.nem; ++j) b.a[j] = 1;
    return b;
  }
  // A bracket with its enthalpy and sd given (for the interval rule).
  brrec& hbracket(xprec& x, bool high, extended h, extended sdh, extended p = 5, extended t = 900) {
    brrec& b = bracket(x, high, p, t);
    b.h = h, b.sdh = sdh;
    return b;
  }
};

// The case table, each case on lists worked out by hand (sbar 1 unless
// said): the gap d = (hminhi - hmaxlo) / (2 sbar), the medians L and U of
// sides with more than two brackets.
TEST_F(LsqBracketsTest, CaseTable) {
  auto run = [](std::vector<extended> lo, std::vector<extended> hi, extended dmin, extended sbar = 1) {
    sortvector l{}, h{};
    for (std::size_t i = 0; i < lo.size(); ++i) l[static_cast<int>(i) + 1] = lo[i];
    for (std::size_t i = 0; i < hi.size(); ++i) h[static_cast<int>(i) + 1] = hi[i];
    const extended hmaxlo = *std::max_element(lo.begin(), lo.end());
    const extended hminhi = *std::min_element(hi.begin(), hi.end());
    return LSQDS::HCASE(l, static_cast<smallint>(lo.size()), h, static_cast<smallint>(hi.size()), hmaxlo, hminhi,
                        sbar, dmin);
  };
  // 1: d = (6 - 3) / 2 = 1.5 >= dmin 1.5, whatever the counts.
  auto r = run({1, 2, 3}, {6, 7, 8}, 1.5L);
  EXPECT_EQ(r.hcase, 1);
  EXPECT_EQ(r.mid, 4.5L);
  EXPECT_EQ(r.dfinal, 1.5L);
  // 2: overlapping extremes, two brackets a side: the middle, dfinal dmin.
  r = run({2, 3}, {2.5L}, 1.2L);
  EXPECT_EQ(r.hcase, 2);
  EXPECT_EQ(r.mid, 2.75L);
  EXPECT_EQ(r.dfinal, 1.2L);
  // 3: lows 1 2 3 (L = 2, a = 1), high 3.5 (b = 0), d = 0.25: the whole
  // widening on the low side: mid = (3 + 3.5 - (3 + 3 - 3.5)) / 2 = 2.
  r = run({1, 3, 2}, {3.5L}, 1.5L);
  EXPECT_EQ(r.hcase, 3);
  EXPECT_NEAR(r.mid, 2, 1e-15L);
  EXPECT_EQ(r.dfinal, 1.5L);
  // 3 with a + b = 0 (both medians on their extremes): the unshifted middle
  // of the extremes, not a division by zero.
  r = run({1, 2, 2}, {2.5L}, 1.5L);
  EXPECT_EQ(r.hcase, 3);
  EXPECT_EQ(r.mid, 2.25L);
  EXPECT_TRUE(std::isfinite(r.mid));
  // 4: lows 1 5 6 (L = 5), highs 0 2 7 (U = 2): each median beyond the
  // other side's extreme: dfinal 2 about (L + U) / 2.
  r = run({6, 1, 5}, {7, 0, 2}, 1);
  EXPECT_EQ(r.hcase, 4);
  EXPECT_EQ(r.mid, 3.5L);
  EXPECT_EQ(r.dfinal, 2);
  // 5: lows 0 1 6 (L = 1), high 5: d2 = (5 - 1) / 2 = 2 > 1.5.
  r = run({0, 1, 6}, {5}, 1.5L);
  EXPECT_EQ(r.hcase, 5);
  EXPECT_EQ(r.mid, 3);
  EXPECT_EQ(r.dfinal, 2);
  // 6: lows 0 4 6 (L = 4), high 5: d2 = 0.5.
  r = run({0, 4, 6}, {5}, 1.5L);
  EXPECT_EQ(r.hcase, 6);
  EXPECT_EQ(r.mid, 4.5L);
  EXPECT_EQ(r.dfinal, 1.5L);
  // An even side takes the mean of its two middle values: lows 0 1 2 6
  // (L = 1.5), high 5 (U = 5), d = -0.5, d2 = 1.75 > 1.5: case 5.
  r = run({6, 0, 2, 1}, {5}, 1.5L);
  EXPECT_EQ(r.hcase, 5);
  EXPECT_EQ(r.mid, 3.25L);
  EXPECT_EQ(r.dfinal, 1.75L);
}

// Pairs: two consecutive brackets on opposite sides at the same P (or T)
// and x(CO2); the flags sit on the second member; pairs never overlap.
TEST_F(LsqBracketsTest, PairFlags) {
  add("aa", 0, 0.1L, 2);
  add("bb", 0, 0.11L, 1.9L);
  xprec& x = reaction({-1, 1});
  bracket(x, false, 5, 600);       // 1
  bracket(x, true, 5, 650);        // 2: same P as 1
  bracket(x, false, 5, 700);       // 3: 2 is a pair member already
  bracket(x, true, 6, 700);        // 4: same T as 3
  bracket(x, true, 6, 800);        // 5: 4 is a pair member
  bracket(x, true, 6, 900);        // 6: same side as 5
  bracket(x, false, 6, 900, 0.5L);  // 7: same P and T, another x(CO2)
  x.br[1].samepx = true;           // stale flags are cleared
  LSQDS::SAMEPTX(1);
  const bool px[] = {false, true, false, false, false, false, false};
  const bool tx[] = {false, false, false, true, false, false, false};
  for (int k = 1; k <= 7; ++k) {
    EXPECT_EQ(x.br[k].samepx, px[k - 1]) << k;
    EXPECT_EQ(x.br[k].sametx, tx[k - 1]) << k;
  }
}

// Pair statistics and the interval: gaps x = (h(k) - h(k-1)) / (sdh(k-1) +
// sdh(k)), weights w = s f(x) / 2, wsum = sqrt(sum 1/w^2), dmin = the least
// gap clamped to 1..1.5; sbar from the extreme brackets (the first of equal
// values); the used experiment's case counted.
TEST_F(LsqBracketsTest, PairStatisticsAndInterval) {
  xprec& x = reaction({});
  hbracket(x, false, 1.0L, 0.2L, 5);
  hbracket(x, true, 2.0L, 0.3L, 5);   // pair, gap 2
  hbracket(x, false, 1.5L, 0.1L, 6, 700);
  hbracket(x, true, 1.6L, 0.1L, 7, 700);  // pair at the same T, gap 0.5
  LSQDS::SAMEPTX(1);
  LSQDS::CALCHLIMS(1);
  const extended w1 = 0.5L * 0.5L * f(2), w2 = 0.5L * 0.2L * f(0.5L);
  EXPECT_NEAR(x.wsum, std::sqrt(1 / (w1 * w1) + 1 / (w2 * w2)), 1e-12L);
  EXPECT_EQ(x.dmin, 1);  // 0.5 raised to 1
  // Extremes 1.5 (bracket 3) and 1.6 (bracket 4): sbar 0.1, d = 0.5 < 1,
  // two brackets a side: case 2 about 1.55 with dfinal 1.
  EXPECT_NEAR(x.sbar, 0.1L, 1e-18L);
  EXPECT_NEAR(x.dinit, 0.5L, 1e-15L);
  EXPECT_EQ(x.ds, x.dinit);
  EXPECT_EQ(x.hcase, 2);
  EXPECT_EQ(x.dfinal, 1);
  EXPECT_NEAR(x.hlow, 1.55L - f(1) * 0.1L, 1e-15L);
  EXPECT_NEAR(x.hhigh, 1.55L + f(1) * 0.1L, 1e-15L);
  EXPECT_EQ(NC2, 1);

  // No pair: dmin 1.5, wsum 0; of two equal lower values the first one's sd
  // counts. d = (3 - 1.5) / (2 * 0.1) = 7.5: case 1, half-width f(7.5) sbar.
  x = reaction({});
  x.used = false;
  hbracket(x, false, 1.5L, 0.1L, 5);
  hbracket(x, false, 1.5L, 0.3L, 6, 800);
  hbracket(x, true, 3.0L, 0.1L, 7);
  LSQDS::SAMEPTX(1);
  LSQDS::CALCHLIMS(1);
  EXPECT_EQ(x.wsum, 0);
  EXPECT_EQ(x.dmin, 1.5L);
  EXPECT_NEAR(x.sbar, 0.1L, 1e-18L);
  EXPECT_EQ(x.hcase, 1);
  EXPECT_NEAR(x.hlow, 2.25L - f(7.5L) * 0.1L, 1e-14L);
  EXPECT_EQ(NC1, 0);  // not used: not counted

  // One bracket and 3 sbar to the other (d = 1.5): case 1 even with the
  // largest dmin; half-width 1.396925 sbar.
  x = reaction({});
  hbracket(x, false, 1, 0.5L, 5);
  hbracket(x, true, 2.5L, 0.5L, 6);
  LSQDS::SAMEPTX(1);
  LSQDS::CALCHLIMS(1);
  EXPECT_EQ(x.hcase, 1);
  EXPECT_NEAR(x.hhigh - x.hlow, 2 * 1.396925L * 0.5L, 1e-15L);

  // All brackets on one side: no interval, nothing counted.
  x = reaction({});
  hbracket(x, false, 1, 0.1L, 5);
  hbracket(x, false, 2, 0.1L, 6);
  LSQDS::SAMEPTX(1);
  LSQDS::CALCHLIMS(1);
  EXPECT_EQ(x.hcase, 0);
  EXPECT_EQ(x.hlow, 0);
  EXPECT_EQ(x.hhigh, 0);
  EXPECT_EQ(NC1 + NC2 + NC3 + NC4 + NC5 + NC6, 2);
}

// The multiple-reversal rule (experiments of a group): more than half of the
// pairs decreasing reverses the pairs and the sides; exactly half does not.
TEST_F(LsqBracketsTest, MultipleReversal) {
  xprec& x = reaction({});
  x.multi = true;
  hbracket(x, false, 2, 0.1L, 5);
  hbracket(x, true, 1, 0.1L, 5);  // decreasing
  hbracket(x, false, 3, 0.1L, 6);
  hbracket(x, true, 4, 0.1L, 6);  // increasing
  LSQDS::SAMEPTX(1);
  EXPECT_FALSE(LSQDS::REVERSEBRACKETS(1));
  EXPECT_FALSE(x.br[1].high);
  EXPECT_EQ(x.br[1].h, 2);

  hbracket(x, false, 5, 0.1L, 7);
  hbracket(x, true, 4.5L, 0.1L, 7);  // decreasing: 2 of 3
  LSQDS::SAMEPTX(1);
  LSQDS::CALCHLIMS(1);  // calls the rule for a group record
  EXPECT_TRUE(x.opt2);
  // Every pair changes places, the increasing one too.
  const extended h[] = {1, 2, 4, 3, 4.5L, 5};
  for (int k = 1; k <= 6; ++k) {
    EXPECT_EQ(x.br[k].h, h[k - 1]) << k;
    EXPECT_EQ(x.br[k].high, k % 2 == 0) << k;  // former upper brackets now lower
    EXPECT_EQ(x.br[k].samepx, k % 2 == 0) << k;
  }
  // An explicit reaction is never reversed; opt2 is cleared on every call.
  x.multi = false;
  LSQDS::CALCHLIMS(1);
  EXPECT_FALSE(x.opt2);
}

// h and its sd against the closed form: aa = bb + O2 side products with
// a(bb) = 0.8 and a(O2) = 0.5 at 10 kbar and 1000 K. h = T dS - dV (P - P0)
// - RT ln K; dh/dT = dS - R ln K, dh/dP = -dV; sd(P) = 0.1 kbar at 10
// kbar; bb adds (0.01 R T)^2, aa (unit activity) and O2 nothing.
TEST_F(LsqBracketsTest, BracketEnthalpyAndItsUncertainty) {
  add("aa", -1000, 0.1L, 2);
  add("bb", -990, 0.11L, 1.9L);
  add("O2", 0, 0, 0);  // G = H
  xprec& x = reaction({-1, 1, 1});
  IO2 = 3;
  brrec& b = bracket(x, true, 10, 1000);
  b.a[2] = 0.8L, b.a[3] = 0.5L;
  b.lna = std::log(0.8L) + std::log(0.5L);
  x.ch = 10;
  LSQDS::CALCHBR(1);
  const extended dS = 0.01L, dV = -0.1L;
  EXPECT_NEAR(b.h, 1000 * dS - dV * (10 - P0) - R * 1000 * b.lna, 1e-10L);
  const extended dhdT = dS - R * b.lna, dhdP = -dV, sdP = 0.1L;
  const extended var = std::pow(2.5L * dhdT, 2) + std::pow(sdP * dhdP, 2) + std::pow(0.01L * R * 1000, 2);
  EXPECT_NEAR(b.sdh, 2 * std::sqrt(var), 1e-9L);
  // All at unit activity: T and P alone.
  b.a[2] = b.a[3] = 1;
  b.lna = 0;
  LSQDS::CALCHBR(1);
  EXPECT_NEAR(b.sdh, 2 * std::sqrt(std::pow(2.5L * dS, 2) + std::pow(sdP * dhdP, 2)), 1e-9L);
}

// The calculated T and P of a bracket of aa = bb (dS 0.01, dV -0.1, dH 10):
// T = (dH + dV (P - P0)) / dS at 5 kbar, P = P0 + (T dS - dH) / dV at 900 K.
// Failures: a zero dG/dT (dS 0) and a T beyond 3000 K give 150 with zero
// derivatives. Both sds of a bracket come from the temperature solve's
// derivatives (sd(T) = sdch / |dS|, sd(P) = sdch / |dV|), so a failed
// temperature leaves the solved pressure without an sd.
TEST_F(LsqBracketsTest, CalculatedTemperatureAndPressure) {
  add("aa", -1000, 0.1L, 2);
  add("bb", -990, 0.11L, 1.9L);
  xprec& x = reaction({-1, 1});
  bracket(x, false, 5, 900);
  extended dgdp = 0, dgdt = 0;
  EXPECT_NEAR(LSQDS::CALCT(1, 1, dgdp, dgdt), (10 - 0.1L * (5 - P0)) / 0.01L, 1e-6L);
  EXPECT_NEAR(dgdt, -0.01L, 1e-9L);
  EXPECT_NEAR(dgdp, -0.1L, 1e-9L);
  EXPECT_EQ(x.br[1].t, 900);  // restored
  EXPECT_NEAR(LSQDS::CALCP(1, 1, dgdp, dgdt), P0 + (9 - 10) / -0.1L, 1e-7L);
  EXPECT_EQ(x.br[1].p, 5);

  x.sdch = 0.3L;
  LSQDS::CALCBRACKETPOSITIONS(1);
  const brrec& b = x.br[1];
  EXPECT_NEAR(b.tcalc, (10 - 0.1L * (5 - P0)) / 0.01L, 1e-6L);
  EXPECT_NEAR(b.sdtcalc, 0.3L / 0.01L, 1e-6L);
  EXPECT_NEAR(b.pcalc, P0 + (9 - 10) / -0.1L, 1e-7L);
  EXPECT_NEAR(b.sdpcalc, 0.3L / 0.1L, 1e-8L);
  (*TDA)[2].s = 0.1L;  // dS = 0: no temperature, a pressure still
  LSQDS::CALCBRACKETPOSITIONS(1);
  EXPECT_EQ(b.tcalc, 150);
  EXPECT_EQ(b.sdtcalc, 0);
  EXPECT_NEAR(b.pcalc, P0 + 10 / 0.1L, 1e-7L);
  EXPECT_EQ(b.sdpcalc, 0);
  EXPECT_EQ(LSQDS::CALCT(1, 1, dgdp, dgdt), 150);
  EXPECT_EQ(dgdp, 0);
  EXPECT_EQ(dgdt, 0);

  (*TDA)[2].s = 0.11L;
  (*TDA)[2].h = -960;  // dH 40: T = 3950 K, beyond 3000
  EXPECT_EQ(LSQDS::CALCT(1, 1, dgdp, dgdt), 150);
  EXPECT_EQ(dgdt, 0);
}

// A reaction between two end-members of equal entropy and volume at unit
// activities: every bracket has the same enthalpy and an sd of 0, so the
// row would weigh 1/0: the assembly stops naming the experiment.
TEST_F(LsqBracketsTest, RowWithoutUncertaintyStops) {
  add("aa", -1000, 0.1L, 2);
  add("bb", -990, 0.1L, 2);
  xprec& x = reaction({-1, 1});
  bracket(x, false, 5, 900);
  bracket(x, true, 6, 950);
  NEO = 0;
  NEXPT = 1;
  const IO::RunEnded e = vtest::endof([] { LSQDS::ASSEMBLY(1); });
  EXPECT_EQ(e.status, 1);
  EXPECT_NE(screen.str().find("-- run bombed in assembly : experiment 1 (aa = bb): its brackets give the row the sd 0; "
                              "it must be positive"),
            std::string::npos)
      << screen.str();
}

}  // namespace

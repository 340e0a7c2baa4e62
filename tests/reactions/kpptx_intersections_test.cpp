// The invariant-point search on hand-made tables and on end-members of
// constant h, s and v, where delta mu = dh - T ds + dv (P - 0.001) and every
// line is straight: a, b, c meet at T = 750 K, P = 10.001 kbar (a = b has
// dP/dT = -0.1, a = c +0.04, b = c -0.008/0.15).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "frame/io.h"
#include "reactions/kpptx_intersections.h"
#include "reactions/kpre_window.h"
#include "solver/kpcalc2_reactions.h"
#include "solver/solver_support.h"

using namespace KPGLOBAL;
using KPPTX::INTERSECTIONSEARCH;

namespace {

class Intersections : public solvertest::SolverTest {
 protected:
  std::unique_ptr<INTERSECTIONSEARCH> s = std::make_unique<INTERSECTIONSEARCH>();

  void SetUp() override {
    SolverTest::SetUp();
    CALCMODE = calcmodetype::phasecalc;
    DIAGRAMMODE = diagramtype::ptcalc;
    CALCVARIABLE = calcvariabletype::calcpressure;
    OTHERVARIABLE = othervariabletype::fixedtemperature;
    PTMODE = findtype::findp;
    PLOW = 1, PHIGH = 30, TLOW = 600, THIGH = 900;
    NLT = 4;
    for (int k = 1; k <= NLT; ++k) LT[k] = 600 + 100 * (k - 1);
    KPPTX::LINE1 = KPPTX::linetable{};
    KPPTX::LINE2 = KPPTX::linetable{};
    NNE = NCV = 4, NE = 0;
    row(1, "a", 0, 0, 1);
    row(2, "b", 8.5L, 0.01L, 0.9L);
    row(3, "c", 1.0L, 0.002L, 1.05L);
    row(4, "d", 0, 0, 1);  // a copy of a: delta mu of a = d is exactly 0
    reaction(1, {-1, 1, 0, 0});
    reaction(2, {-1, 0, 1, 0});
    reaction(3, {0, -1, 1, 0});
    NR = 3;
    NINT = 1, NIR[1] = 3;
    for (int r = 1; r <= 3; ++r) IR(1, r) = static_cast<smallint>(r);
    IBIT[1] = set({1, 2, 3});
  }
  void row(int k, const char* name, extended h, extended sv, extended v) {
    NAME[k] = name;
    (*TD)[k] = tdvector{};
    // Every entropy raised by 0.05: an end-member without entropy would be
    // its enthalpy alone. The reactions compared are balanced one to one.
    (*TD)[k].h = h, (*TD)[k].s = sv + 0.05L, (*TD)[k].v = v;
  }
  void reaction(int i, std::initializer_list<int> nu) {
    int k = 0;
    longint3 b{};
    for (int c : nu) {
      (*R)(i, ++k) = static_cast<smallint>(c);
      if (c != 0 && k <= NNE) IO::BSET2(b, static_cast<smallint>(k));
    }
    RBIT[i] = b;
    KPCALC2::MAKERLINE(static_cast<smallint>(i));
  }
  static longint3 set(std::initializer_list<int> m) {
    longint3 b{};
    for (int k : m) IO::BSET2(b, static_cast<smallint>(k));
    return b;
  }
  // The exact line of reaction i (P at T) from its constant dh, ds, dv.
  static extended pline(int i, extended T) {
    extended dh = 0, ds = 0, dv = 0;
    for (int k = 1; k <= NCV; ++k) {
      dh += (*R)(i, k) * (*TD)[k].h, ds += (*R)(i, k) * (*TD)[k].s, dv += (*R)(i, k) * (*TD)[k].v;
    }
    return dv == 0 ? 1e21L : 0.001L + (T * ds - dh) / dv;
  }
  void exactlines() {
    for (int i = 1; i <= NR; ++i)
      for (int k = 1; k <= NLT; ++k) KPPTX::LINE1(i, k) = pline(i, LT[k]), KPPTX::LINE2(i, k) = -1e21L;
  }
};

}  // namespace

// COMPARE restarts where a line leaves the window and counts equal values as
// not below; CROSS is strict; CROSSOVER flags the point after a change of
// order and, after a crossing, only restarts; CROSSPTX intersects the two
// bracket segments and refuses parallel or empty ones.
TEST_F(Intersections, CompareCrossAndStraightLines) {
  s->nir = 2, s->npts = 6;
  const extended y1[7] = {0, 5, 5, 5, 5, 5, 5};
  const extended y2[7] = {0, 4, 6, 4, 40, 4, 5};  // crosses at 2 and 3; leaves the window at 4; equal at 6
  for (smallint k = 1; k <= 6; ++k) s->L1(1, k) = y1[k], s->L1(2, k) = y2[k], s->L2(1, k) = s->L2(2, k) = -1e21L;
  bool found = false;
  s->CROSSOVER(found);
  EXPECT_TRUE(found);
  // 2 is flagged; 3 only restarts; 4 is outside; 5 restarts; 6 equal: 5 < 4 was
  // false, 5 < 5 is false too, so no change of order.
  for (smallint k = 1; k <= 6; ++k) {
    EXPECT_EQ(s->C1(1, k), k == 2) << k;
    EXPECT_EQ(s->C1(2, k), k == 2) << k;
    EXPECT_FALSE(s->C2(1, k) || s->C2(2, k));
  }
  bool above = true, restart = false, crossed = false;
  s->COMPARE(6, 2, 1, 1, 1, above, restart, crossed);  // y1 = y2: not below, so above turns false
  EXPECT_TRUE(crossed);
  EXPECT_FALSE(above);
  EXPECT_TRUE(s->CROSS(1, 2, 1, 1, 2));
  EXPECT_TRUE(s->CROSS(1, 2, 1, 1, 3));
  EXPECT_FALSE(s->CROSS(1, 2, 1, 1, 6));  // touching at 6 is no crossing
  s->L1(2, 5) = 5;
  EXPECT_FALSE(s->CROSS(1, 2, 1, 1, 6));

  // Segments (0, 1)-(2, 5) and (0, 4)-(2, 2) meet at x = 1, y = 3.
  s->x0 = 0, s->x1 = 2, s->ya0 = 1, s->ya1 = 5, s->yb0 = 4, s->yb1 = 2;
  extended x = 7, y = 7;
  bool ok = false;
  s->CROSSPTX(x, y, ok);
  EXPECT_TRUE(ok);
  EXPECT_NEAR(x, 1, 1e-15);
  EXPECT_NEAR(y, 3, 1e-15);
  s->x0 = -2, s->x1 = 0;  // an end at x = 0 is no division fault
  s->CROSSPTX(x, y, ok);
  EXPECT_TRUE(ok);
  EXPECT_NEAR(x, -1, 1e-15);
  s->yb0 = 0, s->yb1 = 4;  // parallel: unchanged
  x = y = 7;
  s->CROSSPTX(x, y, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(x, 7);
  s->x0 = s->x1 = 0;
  s->CROSSPTX(x, y, ok);
  EXPECT_FALSE(ok);
}

// The crossing list: without r*, each flagged line once, its flag used up;
// with r* (both branches flagged), the lines crossing r*'s first branch, r*'s
// second branch kept for a later call; a list of one falls back to the pair
// (r*, r); a list of none skips the crossing with a message.
TEST_F(Intersections, CrossingListRules) {
  exactlines();
  s->xlist(), s->load(1);
  s->C1(1, 3) = true, s->C2(3, 3) = true;
  extended x = 0, y = 0;
  bool found = false, conv = false;
  s->CALCPTX(x, y, found, conv);
  ASSERT_TRUE(found);
  ASSERT_EQ(s->nlist, 2);
  EXPECT_EQ(s->list[1].r, 1);
  EXPECT_EQ(s->list[1].b, 1);
  EXPECT_EQ(s->list[2].r, 3);
  EXPECT_EQ(s->list[2].b, 2);
  EXPECT_FALSE(s->C1(1, 3) || s->C2(3, 3));

  // r* = 2 (both flags); its branch 2 is the line of reaction 1 moved up by
  // 20, crossing nothing. Line 1 crosses r*'s branch 1 (-0.1 against +0.04);
  // line 3 has both flags.
  s = std::make_unique<INTERSECTIONSEARCH>();
  for (int k = 1; k <= NLT; ++k) KPPTX::LINE2(2, k) = pline(1, LT[k]) + 20;
  s->xlist(), s->load(1);
  s->C1(1, 3) = true;
  s->C1(2, 3) = s->C2(2, 3) = true;
  s->C1(3, 3) = s->C2(3, 3) = true;
  s->CALCPTX(x, y, found, conv);
  ASSERT_EQ(s->nlist, 2);
  EXPECT_EQ(s->list[1].r, 1);
  EXPECT_EQ(s->list[1].b, 1);
  EXPECT_EQ(s->list[2].r, 3);  // CROSS(2, 3, 1, 1) holds: branch 1, that flag used up
  EXPECT_EQ(s->list[2].b, 1);
  EXPECT_FALSE(s->C1(1, 3));   // set to CROSS(r*, 1, 2, 1): branch 2 of r* does not cross
  EXPECT_FALSE(s->C1(2, 3));
  EXPECT_TRUE(s->C2(2, 3));    // r*'s second branch stays
  EXPECT_FALSE(s->C1(3, 3));
  EXPECT_TRUE(s->C2(3, 3));
  EXPECT_TRUE(conv);
  EXPECT_NEAR(x, 750, 1e-9);
  EXPECT_NEAR(y, 10.001L, 1e-9);

  // r* = 1 with the one partner 2: the pair (r*, 2) is searched.
  s = std::make_unique<INTERSECTIONSEARCH>();
  s->xlist(), s->load(1);
  s->C1(1, 3) = s->C2(1, 3) = true, s->C1(2, 3) = true;
  s->CALCPTX(x, y, found, conv);
  ASSERT_EQ(s->nlist, 2);
  EXPECT_EQ(s->list[1].r, 1);
  EXPECT_EQ(s->list[1].b, 1);
  EXPECT_EQ(s->list[2].r, 2);
  EXPECT_EQ(s->list[2].b, 1);
  EXPECT_TRUE(conv);
  EXPECT_NEAR(x, 750, 1e-9);

  // r* = 3, the last position, alone: skipped with a message, flag used up.
  s = std::make_unique<INTERSECTIONSEARCH>();
  s->xlist(), s->load(1);
  s->C1(3, 3) = s->C2(3, 3) = true;
  screen.str("");
  s->CALCPTX(x, y, found, conv);
  EXPECT_TRUE(found);
  EXPECT_FALSE(conv);
  EXPECT_EQ(x, 1e21L);
  EXPECT_EQ(screen.str(), "\nfinding the intersection : too few crossing lines ( involving reactions: 1 2 3 )\n");
  EXPECT_FALSE(s->C1(3, 3));
}

// A table that is off at one end gives a first estimate away from the point;
// the refinement on the real lines reaches the analytic point. A bracket
// whose estimate leaves it is reported and not converged.
TEST_F(Intersections, RefinementReachesTheAnalyticPoint) {
  exactlines();
  KPPTX::LINE1(1, 3) += 2;  // a = b at 800 K: 7.001 instead of 5.001
  s->xlist(), s->load(1);
  s->SETUPPTX(1, 2, 1, 1, 3);
  extended x = 0, y = 0;
  bool ok = false, found = false, conv = false;
  s->CROSSPTX(x, y, ok);
  EXPECT_GT(std::fabs(x - 750), 5);
  s->C1(1, 3) = s->C1(2, 3) = true;
  s->CALCPTX(x, y, found, conv);
  EXPECT_TRUE(conv);
  EXPECT_NEAR(x, 750, 1e-9);
  EXPECT_NEAR(y, 10.001L, 1e-9);

  // Lines that cross beyond the bracket 700..800: the estimate leaves it.
  exactlines();
  for (int k = 1; k <= NLT; ++k) KPPTX::LINE1(2, k) = pline(1, LT[k]) + (k == 3 ? 1 : 2);
  s = std::make_unique<INTERSECTIONSEARCH>();
  s->xlist(), s->load(1);
  s->C1(1, 3) = s->C1(2, 3) = true;
  screen.str("");
  s->CALCPTX(x, y, found, conv);
  EXPECT_FALSE(conv);
  EXPECT_EQ(y, 1e21L);
  EXPECT_EQ(screen.str(),
            "\nfinding the intersection : iteration went outside bracket - it shouldn't !! ( involving reactions: 1 2 "
            "3 )\n");
}

// A point that one of its lines misses wherever its other lines place it
// is not reported: the search ends as one that did not converge, with its
// message, and the point at 1e21 outside every window. With d moved, b = d
// runs at P = 95.001 - 0.1 T, 10 kbar above the crossing of a = b and a = c
// at 750 K (which the search reaches with lines that all meet there, above).
TEST_F(Intersections, PointOffOneOfItsLinesIsNotReported) {
  row(4, "d", -1, 0, 1);
  reaction(4, {0, -1, 0, 1});
  NR = 4;
  IR(1, 3) = 4;
  exactlines();
  s->xlist(), s->load(1);
  s->C1(1, 3) = s->C1(2, 3) = true;
  extended x = 0, y = 0;
  bool found = false, conv = true;
  s->CALCPTX(x, y, found, conv);
  EXPECT_TRUE(found);
  EXPECT_FALSE(conv);
  EXPECT_EQ(x, 1e21L);
  EXPECT_EQ(y, 1e21L);
  EXPECT_EQ(screen.str(),
            "\nfinding the intersection : point not on all its reactions ( involving reactions: 1 2 4 )\n");
}

// ISTABLE: the point's own reactions and those sharing nothing are skipped; a
// reaction is a witness when its unstable side lies in the point's set, an
// empty side counting; at delta mu = 0 the products are the unstable side.
TEST_F(Intersections, StabilityWitnessRules) {
  NNE = 4, NCV = 5, NE = 1;
  row(5, "e", 100, 0, 1);  // in excess, far less stable than a
  reaction(4, {-1, 0, 0, 1, 0});  // a = d, delta mu = 0: unstable products {d}
  NR = 4;
  EXPECT_TRUE(KPPTX::ISTABLE(1, 750, 10.001L));
  reaction(4, {1, 0, 0, -1, 0});  // d = a, delta mu = 0: unstable products {a}
  EXPECT_FALSE(KPPTX::ISTABLE(1, 750, 10.001L));
  reaction(4, {1, 0, 0, 1, -1});  // e = a + d: the unstable side {e} has no end-member of 1..NNE
  EXPECT_FALSE(KPPTX::ISTABLE(1, 750, 10.001L));
  reaction(4, {0, 0, 0, 1, -1});  // e = d shares nothing with the point
  EXPECT_TRUE(KPPTX::ISTABLE(1, 750, 10.001L));

  // RSTABLE: every reaction involved writes nothing; otherwise the first
  // point of a line in the window, "*not known*" for a line outside it
  // (left unturned).
  exactlines();
  KPPTX::brvector inv{};
  inv.fill(true);
  screen.str("");
  KPPTX::RSTABLE(inv);
  EXPECT_EQ(screen.str(), "");
  inv[1] = inv[4] = false;
  for (int k = 1; k <= NLT; ++k) KPPTX::LINE1(4, k) = 1e21L, KPPTX::LINE2(4, k) = -1e21L;
  reaction(1, {1, -1, 0, 0, 0});  // b = a: turned at 605 K, its text kept
  KPPTX::RSTABLE(inv);
  EXPECT_EQ(screen.str(),
            "\n----------------------------------------------------\n"
            "Stability of reactions not involved in intersections :\n\n"
            "<= stable => 1)  b = a\n"
            "*not known*  4)  e = d\n");
  EXPECT_EQ((*R)(1, 1), -1);
  EXPECT_EQ((*R)(1, 2), 1);
}

// On an activity axis the tests take delta mu with the axis end-member set
// to the point's activity, whatever an earlier calculation left there.
TEST_F(Intersections, StabilityOnAnActivityAxis) {
  DIAGRAMMODE = diagramtype::tlnacalc;
  CALCVARIABLE = calcvariabletype::calctemperature;
  OTHERVARIABLE = othervariabletype::fixedlnactivity;
  FIXEDP = 10.001L;
  LNAPOS = 4, KEEPLNAS[1] = 0.05L, LNANAMEP[1] = "d";
  // d = a: at ln a(d) = x, delta mu = -R T x; for x > 0 its unstable side
  // is d (no witness), for x < 0 it is a, a phase of the point.
  reaction(4, {1, 0, 0, -1});
  NR = 4;
  for (extended stale : {-3.0L, 3.0L}) {
    KPRE::INPTXWINDOWTESTS::SETLNAAXIS(stale);
    EXPECT_TRUE(KPPTX::ISTABLE(1, 0.5L, 750)) << stale;
    KPRE::INPTXWINDOWTESTS::SETLNAAXIS(stale);
    EXPECT_FALSE(KPPTX::ISTABLE(1, -0.5L, 750)) << stale;
  }
  // RSTABLE on a = b alone, its test point at 750 K and log a(d) = x: d = a
  // is the only reaction sharing a phase, a witness for x < 0 only.
  PTMODE = findtype::findt;
  for (int r = 2; r <= 3; ++r) {
    for (int k = 1; k <= NCV; ++k) (*R)(r, k) = 0;
    RBIT[r] = longint3{};
  }
  KPPTX::LINE1(1, 1) = 750;
  NLLNA[1] = 1;
  KPPTX::brvector inv{};
  inv.fill(true);
  inv[1] = false;
  for (extended x : {0.5L, -0.5L}) {
    LLNA(1, 1) = x;
    KPRE::INPTXWINDOWTESTS::SETLNAAXIS(-x);
    reaction(1, {-1, 1, 0, 0});
    screen.str("");
    KPPTX::RSTABLE(inv);
    EXPECT_NE(screen.str().find(x > 0 ? "\n<= stable => 1)  " : "\nmetastable   1)  "), std::string::npos)
        << x << screen.str();
  }
}

// The slopes table: rows in order of slope with their absent phases, each
// reaction turned but printed as built, the stable side from the neighbour
// in slope order (worked by hand: a = b is stable below 750 K, where c lies
// above it in G, c = b above, a = c below); then a tie, a flat and a vertical
// line.
TEST_F(Intersections, HeaderAndSlopesTable) {
  row(4, "d", 0, 0, 1.1L);
  s->xlist(), s->load(1);
  s->x = 750, s->y = 10.001L, s->stable = true;
  s->PRINTHEADER();
  const auto pad = [](const std::string& t, std::size_t w, bool left) {
    const std::string b(t.size() < w ? w - t.size() : 0, ' ');
    return left ? t + b : b + t;
  };
  const auto tablerow = [&](const char* r, const char* label, const char* lo, const char* hi, const char* slope) {
    return pad(r, 50, true) + pad(label, 16, false) + pad(lo, 10, false) + pad(hi, 10, false) + pad(slope, 10, false) +
           "\n";
  };
  EXPECT_EQ(screen.str(), std::string(58, '-') + "\n# stable intersection 1 involving a b c  or [d]\n" +
                              std::string(66, ' ') + "     low T    high T     dp/dt\n" +
                              tablerow("1)  a = b", "[c]", "stable", "", "-0.100") +
                              tablerow("3)  b = c", "[a]", "", "stable", "-0.0533") +
                              tablerow("2)  a = c", "[b]", "stable", "", "0.0400") + "\n");
  // Turned, b being the stable side at higher T; the text stays as built.
  EXPECT_EQ((*R)(3, 2), 1);
  EXPECT_EQ((*R)(3, 3), -1);
  EXPECT_EQ(RLINES[3], "3)  b = c");

  screen.str("");
  s->stable = false;
  s->PRINTHEADER();
  EXPECT_EQ(screen.str(), std::string(58, '-') + "\nmetastable intersection 1 involving a b c  or [d]\n");

  // a = f ties with a = c; a = d (ds = 0) is flat; b = g (dv = 0) vertical.
  row(5, "f", 1.0L, 0.002L, 1.05L);
  row(6, "g", 9.5L, 0.011L, 0.9L);
  NNE = NCV = 6;
  reaction(4, {-1, 0, 0, 0, 1, 0});
  reaction(5, {-1, 0, 0, 1, 0, 0});
  reaction(6, {0, -1, 0, 0, 0, 1});
  NR = 6, NIR[1] = 4;
  IR(1, 1) = 2, IR(1, 2) = 4, IR(1, 3) = 5, IR(1, 4) = 6;
  s = std::make_unique<INTERSECTIONSEARCH>();
  s->xlist(), s->load(1);
  s->x = 750, s->y = 10.001L, s->stable = true;
  screen.str("");
  s->PRINTHEADER();
  std::string out = screen.str();
  std::vector<std::string> rows;
  for (std::size_t p = out.find("dp/dt\n") + 6, e; (e = out.find('\n', p)) != std::string::npos && e > p; p = e + 1)
    rows.push_back(out.substr(p, e - p));
  ASSERT_EQ(rows.size(), 4u) << out;
  EXPECT_EQ(rows[0].substr(0, 9), "5)  a = d");  // turned, printed as built
  EXPECT_EQ(rows[0].substr(86), pad("0", 10, false));
  EXPECT_EQ(rows[1].substr(0, 9), "2)  a = c");  // equal slopes: the lower position first
  EXPECT_EQ(rows[2].substr(0, 9), "4)  a = f");
  EXPECT_EQ(rows[3].substr(86), pad(IO::DEGREE, 10, false));

  // A log a diagram whose axis end-member lies beyond the list ends the run
  // at the table's first row, inside the window widened for the slopes: the
  // window and the end-member's own name are put back.
  DIAGRAMMODE = diagramtype::tlnacalc;
  OTHERVARIABLE = othervariabletype::fixedlnactivity;
  LNAPOS = 7, NAME[7] = "h", LNANAMEP[1] = "a(h)";
  EXPECT_EQ(vtest::endof([&] { s->PRINTHEADER(); }).where, "turnreaction");
  EXPECT_EQ(NAME[7], "h");
  EXPECT_EQ(PLOW, 1);
  EXPECT_EQ(PHIGH, 30);
}

// On a P-x(CO2) diagram the slope is dx/dP over the step 0.01, half of
// x(CO2) below 0.02 and minus half of 1 - x(CO2) above 0.98: a = b + CO2 with
// dv = 0.4 has P(x) = P0 - R T ln x / dv; a = b, without fluid, has none.
TEST_F(Intersections, SlopeStepsOnAnXco2Axis) {
  DIAGRAMMODE = diagramtype::pxcalc;
  OTHERVARIABLE = othervariabletype::fixedmolefractionCO2;
  FIXEDT = 750;
  NLX = 2, LXCO2[1] = 0, LXCO2[2] = 1;
  NNE = NCV = 5, CO2POS = 5;
  NR = 4, NIR[1] = 2, IR(1, 2) = 4;
  const double rt = 0.0083144 * 750;
  for (const auto& [x, dx] : {std::pair{0.01, 0.005}, std::pair{0.5, 0.01}, std::pair{0.99, -0.005}}) {
    // The CO2 end-member (named so that no fluid equation of state applies)
    // puts the line through P = 10.001 at x.
    row(5, "cx", 32.5L - rt * std::log(x), 0, 0.5L);
    reaction(4, {-1, 1, 0, 0, 1});
    s = std::make_unique<INTERSECTIONSEARCH>();
    s->xlist(), s->load(1);
    s->x = x, s->y = 10.001L, s->stable = true;
    screen.str("");
    s->PRINTHEADER();
    const std::string out = screen.str();
    const auto r4 = out.find("4)  a = b + cx ");
    ASSERT_NE(r4, std::string::npos) << out;
    const double slope = std::stod(out.substr(out.find('\n', r4) - 10, 10));
    const double want = dx / (-rt * std::log((x + dx) / x) / 0.4);
    EXPECT_NEAR(slope, want, 0.006 * std::fabs(want)) << x << "\n" << out;
    EXPECT_NE(out.find(std::string(9, ' ') + IO::DEGREE + "\n"), std::string::npos) << out;  // a = b
    EXPECT_NE(out.find("     dx/dp\n"), std::string::npos);
  }
}

// STRIPN takes off coefficients only: the digits of names stay.
TEST_F(Intersections, StripCoefficients) {
  const auto f = KPPTX::INTERSECTIONSEARCH::STRIPN;
  EXPECT_EQ(f("12)  2prl = 2ky + 6q + 2H2O"), "12)  prl = ky + q + H2O");
  EXPECT_EQ(f("3)  2S2 + py = S2 + 10CO2"), "3)  S2 + py = S2 + CO2");
  EXPECT_EQ(f("1)  "), "1)  ");
  EXPECT_EQ(f("1) 2"), "1) 2");
  EXPECT_EQ(f("1)"), "1)");
}

// The uncertainty of a P-T point against the 2 x 2 algebra: (dP, dT) =
// -J^-1 (d mu_i, d mu_j) with J = [[dv_i, R ln K_i - ds_i], [dv_j, R ln K_j - ds_j]],
// the derivatives of delta mu = delta G + R T ln K, and the
// covariance of (d mu_i, d mu_j) = nu COV nu + (R T)^2 nu VARLNA nu.
TEST_F(Intersections, PointUncertaintyAgainstTwoByTwoAlgebra) {
  (*COV)(1, 1) = 0.3L, (*COV)(2, 2) = 0.5L, (*COV)(3, 3) = 0.2L;
  (*COV)(1, 2) = (*COV)(2, 1) = 0.1L, (*COV)(2, 3) = (*COV)(3, 2) = -0.05L;
  ACTIVITY[2] = 0.8L, SDACTIVITY[2] = 0.08L;
  extended sdP = 0, sdT = 0, cor = 0;
  KPPTX::INTERSECTIONPTX(1, 2, 750, 10.001L, sdP, sdT, cor);
  const double T = 750, RT = 0.0083144 * T;
  const double nu[2][4] = {{-1, 1, 0, 0}, {-1, 0, 1, 0}};
  double dv[2] = {}, ds[2] = {}, C[2][2] = {};
  const double cov[3][3] = {{0.3, 0.1, 0}, {0.1, 0.5, -0.05}, {0, -0.05, 0.2}};
  const double varlna[3] = {0, 0.01, 0};
  for (int i = 0; i < 2; ++i) {
    for (int k = 0; k < 3; ++k) {
      dv[i] += nu[i][k] * static_cast<double>((*TD)[k + 1].v);
      ds[i] += nu[i][k] * static_cast<double>((*TD)[k + 1].s);
      ds[i] -= 0.0083144 * nu[i][k] * std::log(static_cast<double>(ACTIVITY[k + 1]));
    }
    for (int j = 0; j < 2; ++j)
      for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l)
          C[i][j] += nu[i][k] * (cov[k][l] + (k == l ? RT * RT * varlna[k] : 0)) * nu[j][l];
  }
  const double det = dv[0] * -ds[1] - -ds[0] * dv[1];
  const double Ji[2][2] = {{-ds[1] / det, ds[0] / det}, {-dv[1] / det, dv[0] / det}};
  double S[2][2] = {};
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b)
      for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) S[a][b] += Ji[a][i] * C[i][j] * Ji[b][j];
  EXPECT_NEAR(sdP, std::sqrt(S[0][0]), 1e-9);
  EXPECT_NEAR(sdT, std::sqrt(S[1][1]), 1e-7);
  EXPECT_NEAR(cor, S[0][1] / std::sqrt(S[0][0] * S[1][1]), 1e-9);

  (*COV) = covmatrix{};
  ACTIVITY[2] = 1;
  KPPTX::INTERSECTIONPTX(1, 2, 750, 10.001L, sdP, sdT, cor);
  EXPECT_EQ(sdP, 0);
  EXPECT_EQ(cor, 0);
  DIAGRAMMODE = diagramtype::txcalc;  // only P-T points carry uncertainties
  sdP = 7;
  KPPTX::INTERSECTIONPTX(1, 2, 0.5L, 750, sdP, sdT, cor);
  EXPECT_EQ(sdP, 7);
}

// Two lines of the same slope at a point (a = b and 2a = 2b) give its
// uncertainty no bound: the marker 1e31, printed, as any uncertainty of 1e20
// or more, as the line table's "+" for one too large to give.
TEST_F(Intersections, PointWithoutAnUncertainty) {
  (*COV)(1, 1) = 0.3L, (*COV)(2, 2) = 0.5L;
  reaction(4, {-2, 2, 0, 0});
  NR = 4;
  extended sdP = 0, sdT = 0, cor = 0.5L;
  KPPTX::INTERSECTIONPTX(1, 4, 750, 10.001L, sdP, sdT, cor);
  EXPECT_EQ(sdP, 1e31L);
  EXPECT_EQ(sdT, 1e31L);
  EXPECT_EQ(cor, 0);
  s->x = 750, s->y = 10.001L;
  const std::string deg = IO::DEGREE + "C";
  s->coordinates(sdP, sdT, cor);
  s->coordinates(0.04L, 1e20L, 0.25L);
  s->coordinates(0.04L, 99999, 0.25L);
  EXPECT_EQ(screen.str(), "P = 10.001 kbar (sd = +), T = 476.85 " + deg + " (sd = +), (cor = 0)\n"
                          "P = 10.001 kbar (sd = 0.0), T = 476.85 " + deg + " (sd = +), (cor = 0.250)\n"
                          "P = 10.001 kbar (sd = 0.0), T = 476.85 " + deg + " (sd = 99999), (cor = 0.250)\n");
}

// A point with more reactions than the search holds stops the run.
TEST_F(Intersections, TooManyReactionsAtAPoint) {
  NIR[1] = 22;
  try {
    KPPTX::INTERSECTIONS();
    FAIL() << "no stop";
  } catch (const IO::RunEnded&) {
  }
  EXPECT_NE(screen.str().find("-- run bombed in intersections : too many reactions in intersection (max = 21) "),
            std::string::npos)
      << screen.str();
}

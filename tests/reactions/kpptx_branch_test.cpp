// The continuation of a line's branch on analytic lines u = x(y), delta mu =
// x(y) - u, from (0, y0) to u = 1, whose value there is known in closed form.
// delta mu's y derivative is a one-sided difference over 1e-5, as the
// program's own delta mu gives it, so that beside a term like (y - m)^(1/4)
// it is as far off as there.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "reactions/kpptx_branch.h"
#include "solver/kpcalc2_reactions.h"

namespace {

using KPCALC2::NOVALUE;
using line = std::function<extended(extended)>;

// The value at u = 1 of the branch of u = x(y) through (0, y0), in the
// window 0.001-1000, with the switches given.
extended valueof(const line& x, extended y0, const std::vector<extended>& switches = {}, extended hi = 1000) {
  const KPPTX::dmufunction dmu = [&](extended u, extended y, extended& slope) {
    slope = (x(y + 1e-5L) - x(y)) / 1e-5L;
    return x(y) - u;
  };
  return KPPTX::alongbranch(dmu, 0, y0, 1, 0.001L, hi, switches);
}

// A line that bends back in u over a short run about C: in Y = (y - 2.49) /
// 0.025 (0.025 is what the line moves in y over dx at the point, so Y is the
// branch's own scale), x = Y - k w (sqrt(pi) / 2) (erf((Y - C) / w) -
// erf(-C / w)), whose slope 1 - k exp(-((Y - C) / w)^2) is negative where
// k > 1: it folds back in u and comes forward again.
line fold(extended C, extended w, extended k) {
  return [=](extended y) {
    const extended Y = (y - 2.49L) / 0.025L;
    return Y - k * w * std::sqrt(M_PIl) / 2 * (std::erf((Y - C) / w) - std::erf(-C / w));
  };
}

// The y at which line x reaches u = 1, by bisection between a and b.
extended reaches(const line& x, extended a, extended b) {
  return KPPTX::bisect([&](extended y) { return x(y) - 1; }, a, b, 100);
}

constexpr extended ontheline = 1e-9L;

}  // namespace

// A straight line, steep or flat (y scaled by what it moves over du), and
// one with a kink (its slope four times steeper past y = 2.5), listed as a
// switch or not: each reaches u = 1 where the line does.
TEST(Branch, StraightAndKinkedLines) {
  for (const extended slope : {0.5L, 100.0L, 0.01L}) {
    const line x = [=](extended y) { return slope * (y - 2); };
    EXPECT_NEAR(valueof(x, 2), 2 + 1 / slope, ontheline * (2 + 1 / slope)) << slope;
  }
  const line kink = [](extended y) { return y < 2.5L ? 0.5L * (y - 2) : 0.25L + 2 * (y - 2.5L); };
  EXPECT_NEAR(valueof(kink, 2, {2.5L}), 2.875L, ontheline);
  EXPECT_NEAR(valueof(kink, 2), 2.875L, ontheline);
}

// A jog at a switch (the line resumes J further on in u) is crossed where J
// is within dx / 100 (0.008), forward or back, and ends the branch beyond
// that (0.012); a
// line that jogs across u = 1 along the switch takes the switch's value.
// Past the jog a term like (y - m)^(1/4), whose y derivative has no bound at
// the switch, bends the line back along it by 0.011 dx within its band:
// crossed, and followed to where it reaches u = 1.
TEST(Branch, JogsAtASwitch) {
  const auto jogged = [](extended m, extended J) {
    return [=](extended y) { return 0.5L * (y - 2) + (y > m ? J : 0); };
  };
  EXPECT_NEAR(valueof(jogged(2.5L, 0.008L), 2, {2.5L}), 3.984L, ontheline);
  EXPECT_NEAR(valueof(jogged(2.5L, -0.008L), 2, {2.5L}), 4.016L, ontheline);
  EXPECT_EQ(valueof(jogged(2.5L, 0.012L), 2, {2.5L}), NOVALUE);
  EXPECT_EQ(valueof(jogged(3.996L, 0.005L), 2, {3.996L}), 3.996L);
  // Unlisted, the same jog is crossed where the steps stall at it; so is a
  // band of jumps that no switch lists, 0.002 wide in y, where the line
  // jogs back and forth by 0.004 dx every 1e-6.
  EXPECT_NEAR(valueof(jogged(2.5L, 0.005L), 2), 3.99L, ontheline);
  const line comb = [](extended y) {
    const bool in = y > 2.5L && y < 2.502L;
    return 0.5L * (y - 2) + (in && std::fmod(y - 2.5L, 2e-6L) < 1e-6L ? 0.004L : 0);
  };
  EXPECT_NEAR(valueof(comb, 2), 4, ontheline);

  // Where the term is 0.5 (y - m)^(1/4), the line leaves the switch along
  // it: 0.027 dx on within 8e-6 of it, past where the branch takes it up.
  const line leaves = [](extended y) { return 0.5L * (y - 2) + (y > 2.5L ? 0.5L * std::pow(y - 2.5L, 0.25L) : 0); };
  EXPECT_NEAR(valueof(leaves, 2, {2.5L}), reaches(leaves, 2.5L, 4), ontheline);
  const line root = [](extended y) { return 0.5L * (y - 2) - (y > 2.5L ? 0.05L * std::pow(y - 2.5L, 0.25L) : 0); };
  EXPECT_LT(root(2.5L + std::pow(0.025L, 4.0L / 3)), 0.25L - 0.01L);
  EXPECT_NEAR(valueof(root, 2, {2.5L}), reaches(root, 3.5L, 5), ontheline);
}

// A line that meets a switch and resumes beyond it J = 0.1 dx behind where
// it met it (it runs back along the switch) goes on where it comes forward
// past where it met it within the switch's band (2 % of 2.5), and ends
// where it comes forward outside it.
TEST(Branch, JumpBackAlongASwitch) {
  const auto back = [](extended k) {
    return [=](extended y) { return y < 2.5L ? 0.5L * (y - 2) : 0.15L + k * (y - 2.5L); };
  };
  EXPECT_NEAR(valueof(back(5), 2, {2.5L}), 2.67L, ontheline);
  EXPECT_EQ(valueof(back(1), 2, {2.5L}), NOVALUE);
}

// Coming down to a switch at 2.5, a line that rises in u past 1 on a bump
// just above it (at 2.522) and falls back to 0.99 at the switch: its value
// is where it first reaches u = 1, not where it reaches it again below the
// switch. A line that folds back by 0.14 dx 0.0066 above the switch runs
// back along it a hair from it, (y - 2.5)^(1/8), meets it at u = 0.075 and
// goes on below it, coming forward past where it turned within the band.
TEST(Branch, FoldsThatMeetASwitch) {
  const line bump = [](extended y) {
    return 9.5L * (2.6L - y) + 0.4L * std::exp(-std::pow((y - 2.515L) / 0.01L, 2));
  };
  EXPECT_NEAR(valueof(bump, 2.6L, {2.5L}), reaches(bump, 2.515L, 2.53L), ontheline);
  // A line that curves up to u = 1 at 2.3904, 0.0006 short of a switch at
  // 2.391 that the last step's tangent passes first (the step is cut where
  // the line meets the switch, beyond u = 1), and jogs on beyond it: its
  // value is where it reaches u = 1 on this side, not the switch's.
  const line curved = [](extended y) { return (y - 2) + 4 * (y - 2) * (y - 2) + (y > 2.391L ? 0.005L : 0); };
  EXPECT_NEAR(valueof(curved, 2, {2.391L}), 2 + (std::sqrt(17.0L) - 1) / 8, ontheline);
  const line along = [](extended y) {
    return y > 2.5L ? 0.075L + 0.3L * std::pow(y - 2.5L, 0.125L) - 3 * (y - 2.5L) : 0.075L + 10 * (2.5L - y);
  };
  EXPECT_NEAR(valueof(along, 2.6L, {2.5L}), 2.4075L, ontheline);
}

// A smooth fold back in u by 0.25 dx that turns at y = 2.4986, within the
// band of a switch at 2.5 (2 % of it), and comes forward within it: crossed.
// A wider one, back by 2.5 dx, that turns there at 2.494 and comes forward
// outside the band, ends the branch; so does the first where no switch
// lies near (a turn). Anywhere, a fold back of less than dx / 100 is
// crossed and a larger one ends the branch: k = 1.1 over w = 0.196 and
// 0.294 folds back by 0.008 and 0.012 dx (w times the integral of
// k exp(-z^2) - 1 where it is positive, 0.04077), slowly enough that the
// steps follow it.
TEST(Branch, FoldsAndTurns) {
  const line narrow = fold(0.45L, 0.1L, 3), wide = fold(1.2L, 1, 3);
  EXPECT_NEAR(valueof(narrow, 2.49L, {2.5L}), reaches(narrow, 2.5L, 3), ontheline);
  EXPECT_EQ(valueof(wide, 2.49L, {2.5L}), NOVALUE);
  EXPECT_EQ(valueof(narrow, 2.49L), NOVALUE);
  const line small = fold(0.45L, 0.196L, 1.1L), large = fold(0.45L, 0.294L, 1.1L);
  EXPECT_NEAR(valueof(small, 2.49L), reaches(small, 2.5L, 3), ontheline);
  EXPECT_EQ(valueof(large, 2.49L), NOVALUE);
  // A sharp one, 0.031 dx back within 0.06 of the y scale (k = 2, w = 0.03):
  // seen by steps held to an offset of a tenth of their length (at a fifth
  // a step passes over it). A bump of 0.4 dx on x = y - 2, 0.4 exp(-((y -
  // 2.46) / 0.03)^2), folds back by 0.333 dx (0.861 at 2.4611 to 0.527 at
  // 2.5198): seen by steps held to a turn of the tangent of 0.1 rad (at 0.2
  // rad, or none, a step lands on its far side and the branch goes on to
  // u = 1 at y = 3).
  EXPECT_EQ(valueof(fold(0.45L, 0.03L, 2), 2.49L), NOVALUE);
  EXPECT_EQ(valueof([](extended y) { return y - 2 + 0.4L * std::exp(-std::pow((y - 2.46L) / 0.03L, 2)); }, 2),
            NOVALUE);
}

// A branch that leaves the window before u = 1 has no value; one that
// crosses three switches (kinks) has its value; one that runs along a
// switch, crossing it back and forth more than 8 times, has none.
TEST(Branch, WindowAndSwitchesOnOneBranch) {
  const line flat = [](extended y) { return 0.1L * (y - 2); };
  EXPECT_EQ(valueof(flat, 2, {}, 10), NOVALUE);
  EXPECT_NEAR(valueof(flat, 2, {}, 13), 12, ontheline);
  // One that falls to y = 0 at u = 0.8 ends there, and delta mu is never
  // asked for below the window (the fluid's equations have no value at P <= 0).
  int below = 0;
  const KPPTX::dmufunction falling = [&](extended u, extended y, extended& slope) {
    below += y <= 0;
    slope = 1;
    return y - 2 + 2.5L * u;
  };
  EXPECT_EQ(KPPTX::alongbranch(falling, 0, 2, 1, 0.001L, 100, {}), NOVALUE);
  EXPECT_EQ(below, 0);
  const line kinks = [](extended y) {
    return 0.5L * (y - 2) + 0.2L * (std::fmax(y - 2.4L, 0) + std::fmax(y - 2.8L, 0) + std::fmax(y - 3.2L, 0));
  };
  EXPECT_NEAR(valueof(kinks, 2, {2.4L, 2.8L, 3.2L}), reaches(kinks, 3, 4), ontheline);
  // y = 2.5 + 0.05 sin(10 pi u) crosses y = 2.5 ten times over du.
  const KPPTX::dmufunction wavy = [](extended u, extended y, extended& slope) {
    slope = 1;
    return y - 2.5L - 0.05L * std::sin(10 * M_PIl * u);
  };
  EXPECT_EQ(KPPTX::alongbranch(wavy, 0.05L, 2.55L, 1, 0.001L, 100, {2.5L}), NOVALUE);
  EXPECT_NEAR(KPPTX::alongbranch(wavy, 0.05L, 2.55L, 1, 0.001L, 100, {}), 2.55L, ontheline);
}

// Where the branch first reaches u = 1 is its value, whichever way it gets
// there. On 0.5 (y - 2) + 0.5 (y - m)^(1/4) above a listed switch m the
// line leaves the switch along it and reaches u = 1 within 1e-5 of it,
// while the branch is taken up there (m = 3.95-3.99); at 3.945 it reaches
// it on a step beyond. A jog of 0.005 dx across u = 1 at 3.996 is crossed
// there, listed (on the switch) or not (where the steps stall at it); so is
// one at 3.995 that the last step passes (its Newton polish does not settle
// at the jump: the root bracketed by the step is bisected).
TEST(Branch, ValueWhereTheBranchFirstReachesTheEnd) {
  for (const extended m : {3.945L, 3.95L, 3.96L, 3.98L, 3.99L}) {
    const line leaves = [=](extended y) { return 0.5L * (y - 2) + (y > m ? 0.5L * std::pow(y - m, 0.25L) : 0); };
    EXPECT_NEAR(valueof(leaves, 2, {m}), reaches(leaves, m, 4.1L), ontheline) << m;
  }
  const auto jogged = [](extended m) { return [=](extended y) { return 0.5L * (y - 2) + (y > m ? 0.005L : 0); }; };
  EXPECT_NEAR(valueof(jogged(3.996L), 2), 3.996L, ontheline);
  EXPECT_NEAR(valueof(jogged(3.995L), 2), 3.995L, ontheline);
  EXPECT_NEAR(valueof(jogged(3.995L), 2, {3.995L}), 3.995L, ontheline);
}

// A point on a fold back at a switch, between the switch and where the line
// turns: x = -0.05 + 0.3 (y - 2.5)^(1/4) - 3 (y - 2.5) above the switch at
// 2.5, -0.05 + 2 (2.5 - y) below it. Towards u = 1 the line turns 0.016 dx
// on and goes back for good; the other way it runs back 0.05 dx to the
// switch and comes forward within its band, to u = 1 at 1.975.
TEST(Branch, PointOnAFoldAtASwitch) {
  const line x = [](extended y) {
    return y > 2.5L ? -0.05L + 0.3L * std::pow(y - 2.5L, 0.25L) - 3 * (y - 2.5L) : -0.05L + 2 * (2.5L - y);
  };
  const extended y0 = KPPTX::bisect([&](extended y) { return x(y); }, 2.5L + 1e-7L, 2.507L, 100);
  EXPECT_NEAR(valueof(x, y0, {2.5L}), 1.975L, ontheline);
  EXPECT_EQ(valueof(x, y0), NOVALUE);
}


// A line that meets a switch at 2.5 and goes on 0.25 dx behind it, behind
// the point itself, comes forward within the switch's band: the line is
// sought that far back (as far as dx behind the point). One that runs back
// along the switch, a gap from it, to 0.18 dx behind the point before it
// meets it (0.5 (y - 2.5)^(1/8) above it), is sought along it as far back.
TEST(Branch, TheLineSoughtBehindThePoint) {
  const line back = [](extended y) { return y < 2.5L ? 0.5L * (y - 2.4L) : -0.2L + 5 * (y - 2.5L); };
  EXPECT_NEAR(valueof(back, 2.4L, {2.5L}), 2.74L, ontheline);
  const line along = [](extended y) {
    return y > 2.5L ? -0.2L + 0.5L * std::pow(y - 2.5L, 0.125L) - 3 * (y - 2.5L) : -0.2L + 10 * (2.5L - y);
  };
  const extended y0 = KPPTX::bisect([&](extended y) { return along(y); }, 2.52L, 2.549L, 100);
  EXPECT_NEAR(valueof(along, y0, {2.5L}), 2.38L, ontheline);
}

// A line with a kink at each of five switches crosses them all (at most 8
// on one branch).
TEST(Branch, FiveSwitchesOnOneBranch) {
  const std::vector<extended> at = {2.2L, 2.4L, 2.6L, 2.8L, 3.0L};
  const line kinks = [&](extended y) {
    extended x = 0.5L * (y - 2);
    for (const extended m : at) x += 0.1L * std::fmax(y - m, 0);
    return x;
  };
  EXPECT_NEAR(valueof(kinks, 2, at), reaches(kinks, 3, 4), ontheline);
}

// A switch listed at y = 0 (a window that reaches below it): crossed like
// any other, with a gap of a part in 1e12 of the y scale about it.
TEST(Branch, ASwitchAtZero) {
  const KPPTX::dmufunction dmu = [](extended u, extended y, extended& slope) {
    slope = 0.5L;
    return 0.5L * (y + 1) + (y > 0 ? 0.002L : 0) - u;
  };
  EXPECT_NEAR(KPPTX::alongbranch(dmu, 0, -1, 1, -10, 10, {0}), 0.996L, ontheline);
}

// delta mu's gradient: its u derivative by central differences, its y
// derivative delta mu's own, but within a thousandth of a switch's value
// (not a hundredth) by central differences. delta mu here hands on a y
// derivative of 0, so that the two are told apart.
TEST(Branch, DeltaMuGradient) {
  const KPPTX::dmufunction dmu = [](extended u, extended y, extended& slope) {
    slope = 0;
    return u * u + std::exp(y);
  };
  const std::vector<extended> switches = {2};
  for (const extended y : {2.001L, 1.9985L, 2.01L, 1.985L}) {
    extended gu = 0, gy = 0;
    EXPECT_NEAR(KPPTX::dmugradient(dmu, 0.3L, y, 1e-6L, 1e-6L, switches, gu, gy), 0.09L + std::exp(y), 1e-15L);
    EXPECT_NEAR(gu, 0.6L, 1e-9L) << y;
    EXPECT_NEAR(gy, std::fabs(y - 2) <= 0.002L ? std::exp(y) : 0, 1e-8L) << y;
  }
}

// The line sought back behind a switch is met in cells of dx / 100: where
// the line jumps back by 0.012 dx at a switch at 2.5 and, just beyond it
// (up to 2.52), delta mu = sin(pi (x(y) - u) / 0.024) has a line every
// 0.024 dx, halfway between two of them, the nearer one behind is found (in
// cells of 0.05 dx every cell would hold two and none be seen).
TEST(Branch, LinesCloseTogetherBehindASwitch) {
  const line x = [](extended y) { return 0.5L * (y - 2) - (y > 2.5L ? 0.012L : 0); };
  const KPPTX::dmufunction dmu = [&](extended u, extended y, extended& slope) {
    const extended k = M_PIl / 0.024L;
    const bool comb = y > 2.5L && y < 2.52L;
    slope = comb ? std::cos(k * (x(y) - u)) * k * 0.5L : 0.5L;
    return comb ? std::sin(k * (x(y) - u)) : x(y) - u;
  };
  EXPECT_NEAR(KPPTX::alongbranch(dmu, 0, 2, 1, 0.001L, 1000, {2.5L}), 4.024L, ontheline);
}

// The line is met and taken up a part in 1e12 of the switch's value either
// side of it: past a switch at 2.5, 0.24 (y - 2.5)^(1/8) moves the line
// 0.0085 dx within that gap, a jog within dx / 100 (within a part in 1e11
// it would be 0.0113 dx, and end the branch).
TEST(Branch, TheGapAboutASwitch) {
  const line x = [](extended y) { return 40 * (y - 2.49L) + (y > 2.5L ? 0.24L * std::pow(y - 2.5L, 0.125L) : 0); };
  EXPECT_NEAR(valueof(x, 2.49L, {2.5L}), reaches(x, 2.5L, 2.52L), ontheline);
}
// A line through a point just above its nose (where it turns in u, at y =
// 4.3), x = 0.7 ((y - 4.3)^2 - 0.002^2), rising steeply to a switch at
// 5.01, above which it folds back by 0.016 dx (-0.08 (y - 5.01)^(1/4)) and
// comes forward within the band. Just past the switch it runs back almost
// along it, and a long step back that way would be brought by the
// corrector onto the nose's lower arm below the switch, ending the branch:
// the steps follow the fold instead, to u = 1 above it.
TEST(Branch, StepBackFromAFoldAboveASwitch) {
  const extended xm = 0.7L * (0.71L * 0.71L - 0.002L * 0.002L);
  const line x = [=](extended y) {
    return y > 5.01L ? xm - 0.08L * std::pow(y - 5.01L, 0.25L) + 1.1L * (y - 5.01L)
                     : 0.7L * ((y - 4.3L) * (y - 4.3L) - 0.002L * 0.002L);
  };
  EXPECT_NEAR(valueof(x, 4.302L, {5.01L}), reaches(x, 5.06L, 6), ontheline);
}

// Two lines' crossing by Newton's method in (u, y): y = e^u and y = 3 - u
// cross at u = 0.79206 (solved to a part in 1e10 from a start 0.8 away);
// from a start further than the box allows, or on parallel lines, there is
// none. On u = 0 and y^3 - 2y + 2 = 0 Newton's steps from y = 0 cycle
// between 0 and 1 and never settle (from -1.5 they reach -1.76929).
TEST(Branch, CrossingOfTwoLines) {
  const auto linef = [](std::function<extended(extended, extended)> f, std::function<extended(extended)> dy) {
    return KPPTX::dmufunction([=](extended u, extended y, extended& slope) {
      slope = dy(y);
      return f(u, y);
    });
  };
  const auto one = [](extended) { return 1.0L; };
  const KPPTX::dmufunction expline = linef([](extended u, extended y) { return y - std::exp(u); }, one);
  const KPPTX::dmufunction straight = linef([](extended u, extended y) { return y - 3 + u; }, one);
  const extended root = KPPTX::bisect([](extended u) { return std::exp(u) - 3 + u; }, 0, 1, 100);
  extended u = 0, y = 1;
  ASSERT_TRUE(KPPTX::crossing(expline, straight, u, y, 1e-6L, 1e-6L, {}, 1, 2));
  EXPECT_NEAR(u, root, 1e-10L);
  EXPECT_NEAR(y, 3 - root, 1e-10L);
  u = 0, y = 1;
  EXPECT_FALSE(KPPTX::crossing(expline, straight, u, y, 1e-6L, 1e-6L, {}, 0.5L, 2));
  const KPPTX::dmufunction parallel = linef([](extended u, extended y) { return y - 4 + u; }, one);
  u = 0, y = 1;
  EXPECT_FALSE(KPPTX::crossing(parallel, straight, u, y, 1e-6L, 1e-6L, {}, 10, 10));
  const KPPTX::dmufunction vertical = linef([](extended u, extended) { return u; }, [](extended) { return 0.0L; });
  const KPPTX::dmufunction cubic =
      linef([](extended, extended y) { return y * y * y - 2 * y + 2; }, [](extended y) { return 3 * y * y - 2; });
  u = 0, y = 0;
  EXPECT_FALSE(KPPTX::crossing(vertical, cubic, u, y, 1e-6L, 1e-6L, {}, 1, 2));
  u = 0, y = -1.5L;
  ASSERT_TRUE(KPPTX::crossing(vertical, cubic, u, y, 1e-6L, 1e-6L, {}, 1, 2));
  EXPECT_NEAR(y, -1.7692923542386314L, 1e-10L);
}

// The nonlinear solver on analytic systems: one-step linear solves, quadratic
// systems with known roots, every result code, the accessible step limit and
// the trace, with the line search and with the hook step.
#include <cmath>
#include <utility>
#include <vector>

#include "solver/kpmath2.h"
#include "support/vt_state.h"

namespace {

using namespace KPGLOBAL;
using KPMATH2::NLE;

class NleTest : public vtest::StateTest {
 protected:
  int calls = 0;

  // n free unknowns, scaled = plain, typical size typ, bounds of kind k.
  void layout(std::vector<long double> x0, long double typ = 1e-20L,
              acctype k = acctype::inaccessible) {
    NX = static_cast<smallint>(x0.size());
    for (int i = 1; i <= NX; ++i) {
      X[i] = x0[static_cast<std::size_t>(i - 1)];
      BX[i] = true;
      XFACA[i] = 1;
      XFACB[i] = 0;
      TYPX[i] = typ;
      INACC1[i] = INACC2[i] = k;
      XNAME[i] = 'x' + std::to_string(i);
    }
  }
  // Runs the solver with the line search or the hook step.
  smallint solve(const KPMATH2::residualfunction& f, bool linesearch = true) {
    VOVUVUVED.linesearch = linesearch;
    NLE s([&](const eqvector& x, eqmatrix& j, eqvector& e) {
      ++calls;
      return f(x, j, e);
    });
    smallint code = -1;
    const bool ok = s(code);
    EXPECT_EQ(ok, code == 0);
    steps = s.it;
    return code;
  }
  int steps = 0;
};

// e = A x - b with the root (0.3, 0.4).
bool linear2(const eqvector& x, eqmatrix& j, eqvector& e) {
  e[1] = 2 * x[1] + x[2] - 1.0L;
  e[2] = x[1] + 3 * x[2] - 1.5L;
  j(1, 1) = 2;
  j(1, 2) = 1;
  j(2, 1) = 1;
  j(2, 2) = 3;
  return true;
}

// x1^2 + x2^2 = 0.5 and x1 = x2: root (0.5, 0.5).
bool circle(const eqvector& x, eqmatrix& j, eqvector& e) {
  e[1] = x[1] * x[1] + x[2] * x[2] - 0.5L;
  e[2] = x[1] - x[2];
  j(1, 1) = 2 * x[1];
  j(1, 2) = 2 * x[2];
  j(2, 1) = 1;
  j(2, 2) = -1;
  return true;
}

TEST_F(NleTest, LinearSystemInOneStep) {
  for (bool ls : {true, false}) {
    layout({0.9L, 0.1L});
    calls = 0;
    EXPECT_EQ(solve(linear2, ls), 0) << ls;
    EXPECT_EQ(steps, 1) << ls;
    EXPECT_NEAR(X[1], 0.3L, 1e-15L);
    EXPECT_NEAR(X[2], 0.4L, 1e-15L);
    // Line search: start, step start, one trial; hook: start, one trial.
    EXPECT_EQ(calls, ls ? 3 : 2);
  }
}

TEST_F(NleTest, QuadraticSystemsReachTheirKnownRoots) {
  for (bool ls : {true, false}) {
    layout({0.9L, 0.2L});
    EXPECT_EQ(solve(circle, ls), 0) << ls;
    // Converged by 1/2 sum e^2 < 1e-12 at the latest, so |e| < 1.5e-6.
    EXPECT_NEAR(X[1], 0.5L, 1e-6L);
    EXPECT_NEAR(X[2], 0.5L, 1e-6L);
    // x^2 = 0.25 from either side of the root 0.5.
    for (long double x0 : {0.95L, 0.1L}) {
      layout({x0});
      EXPECT_EQ(solve([](const eqvector& x, eqmatrix& j, eqvector& e) {
                  e[1] = x[1] * x[1] - 0.25L;
                  j(1, 1) = 2 * x[1];
                  return true;
                }, ls), 0);
      EXPECT_NEAR(X[1], 0.5L, 1e-8L) << x0 << " " << ls;
    }
  }
}

TEST_F(NleTest, StronglyNonlinearSystemsNeedDampedSteps) {
  // atan(20 (x - 0.5)): the Newton step from far away leaves the box, so the
  // line search cuts it and the hook step shortens it along its curve; from
  // 0.57 the Gauss-Newton step overshoots and the hook step shrinks it.
  auto steep = [](const eqvector& x, eqmatrix& j, eqvector& e) {
    const long double u = 20 * (x[1] - 0.5L);
    e[1] = std::atan(u);
    j(1, 1) = 20 / (1 + u * u);
    return true;
  };
  // 10 (x2 - x1^2) = 0 and 0.5 - x1 = 0: root (0.5, 0.25) in a curved valley.
  auto valley = [](const eqvector& x, eqmatrix& j, eqvector& e) {
    e[1] = 10 * (x[2] - x[1] * x[1]);
    e[2] = 0.5L - x[1];
    j(1, 1) = -20 * x[1];
    j(1, 2) = 10;
    j(2, 1) = -1;
    j(2, 2) = 0;
    return true;
  };
  for (bool ls : {true, false}) {
    for (long double x0 : {0.95L, 0.02L, 0.57L}) {
      layout({x0});
      EXPECT_EQ(solve(steep, ls), 0) << x0 << " " << ls;
      EXPECT_NEAR(X[1], 0.5L, 1e-7L) << x0 << " " << ls;
    }
    layout({0.05L, 0.9L});
    EXPECT_EQ(solve(valley, ls), 0) << ls;
    EXPECT_NEAR(X[1], 0.5L, 1e-7L) << ls;
    EXPECT_NEAR(X[2], 0.25L, 1e-7L) << ls;
  }
}

TEST_F(NleTest, StartTestReturnsAtOnceWithoutMessage) {
  DEBUGLEVEL = 2;
  layout({0.3L, 0.4L});
  EXPECT_EQ(solve(linear2), 0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(steps, 0);
  EXPECT_EQ(X[1], 0.3L);
  EXPECT_EQ(screen.str().find("esize"), std::string::npos);
  // No free unknowns: f = 0, converged at the start.
  DEBUGLEVEL = 1;
  layout({});
  EXPECT_EQ(solve([](const eqvector&, eqmatrix&, eqvector&) { return true; }), 0);
}

TEST_F(NleTest, SmallStepsEndAsSolutionOrFailureByTheResidual) {
  // The Jacobian is reported 1000 times too large, so every step is tiny.
  auto lazy = [](const eqvector& x, eqmatrix& j, eqvector& e) {
    e[1] = x[1] - 0.5L;
    j(1, 1) = 1000;
    return true;
  };
  DEBUGLEVEL = 2;
  layout({0.501L}, 1);
  EXPECT_EQ(solve(lazy), 1);
  EXPECT_NE(screen.str().find("\nNo solution (1):\n   step too small distant from solution (dxstop)\n"),
            std::string::npos);
  screen.str("");
  layout({0.50001L}, 1);
  EXPECT_EQ(solve(lazy), 0);
  EXPECT_NE(screen.str().find("\nstep too small near solution (dxconverge)\n"), std::string::npos);
}

// e = 1e4 (x - 0.5) with the Jacobian reported c times too large: each step
// keeps 1 - 1/c of the residual.
KPMATH2::residualfunction slow(long double c) {
  return [c](const eqvector& x, eqmatrix& j, eqvector& e) {
    e[1] = 1e4L * (x[1] - 0.5L);
    j(1, 1) = 1e4L * c;
    return true;
  };
}

TEST_F(NleTest, IterationLimitGivesCode2) {
  // Line search: 25 + 1 steps of two evaluations each.
  layout({0.9L});
  EXPECT_EQ(solve(slow(1 / (1 - 0.499L))), 2);
  EXPECT_EQ(steps, 26);
  EXPECT_EQ(calls, 1 + 26 * 2);
  // Hook step: 100 + 1 Gauss-Newton steps, each keeping 0.865 of the
  // residual (a reduction ratio of 1 - 0.865^2 > 0.25 accepts them).
  layout({0.9L});
  calls = 0;
  EXPECT_EQ(solve(slow(1 / (1 - 0.865L)), false), 2);
  EXPECT_EQ(steps, 101);
}

TEST_F(NleTest, SingularJacobianGivesCode3) {
  for (bool ls : {true, false}) {
    DEBUGLEVEL = 2;
    screen.str("");
    layout({0.4L});
    EXPECT_EQ(solve([](const eqvector&, eqmatrix& j, eqvector& e) {
                e[1] = 0.3L;
                j(1, 1) = 0;
                return true;
              }, ls), 3);
    EXPECT_EQ(X[1], 0.4L);
    EXPECT_NE(screen.str().find("   jacobian singular in steplength\n"), std::string::npos);
  }
  // An exactly singular, non-zero Jacobian in the hook step: no division by
  // its zero singular value.
  layout({0.4L, 0.6L});
  EXPECT_EQ(solve([](const eqvector& x, eqmatrix& j, eqvector& e) {
              e[1] = e[2] = x[1] + x[2] - 0.5L;
              j(1, 1) = j(1, 2) = j(2, 1) = j(2, 2) = 1;
              return true;
            }, false), 3);
}

// A residual function that plays a script along the line search's direction:
// e0, j0 at the start and at each step start (d = e0 / j0), then for each
// trial the value f and slope given (n = 1).
struct script {
  long double e0, j0;
  std::vector<std::pair<long double, long double>> trials;  // per step, in order
  int pertstep;  // trials per step
  int call = 0, trial = 0;
  bool operator()(const eqvector&, eqmatrix& j, eqvector& e) {
    ++call;
    const bool start = call == 1 || (call - 2) % (pertstep + 1) == 0;
    if (start || trial >= static_cast<int>(trials.size())) {
      e[1] = e0;
      j(1, 1) = j0;
      return true;
    }
    const auto [f, slope] = trials[static_cast<std::size_t>(trial++)];
    e[1] = std::sqrt(2 * f);
    j(1, 1) = -slope / (e[1] * (e0 / j0));
    return true;
  }
};

TEST_F(NleTest, LineSearchFailuresGiveCodes4To7) {
  // Code 4: ten extension trials falling too slowly, the tenth rising.
  {
    layout({0.5L});  // d = 1/80 limits the step to 40, an inaccessible bound
    script s{1, 80, {}, 11};
    s.trials.push_back({0.49L, -0.9L});
    for (int k = 1; k <= 9; ++k) s.trials.push_back({0.49L - 0.001L * k, -0.9L});
    s.trials.push_back({0.6L, 0.5L});
    EXPECT_EQ(solve(std::ref(s)), 4);
    EXPECT_EQ(s.trial, 11);
    EXPECT_EQ(X[1], 0.5L);
  }
  // Code 5: ten interval trials that never pass.
  {
    layout({0.5L});
    script s{1, 80, std::vector<std::pair<long double, long double>>(11, {0.6L, 0.5L}), 11};
    EXPECT_EQ(solve(std::ref(s)), 5);
    EXPECT_EQ(s.trial, 11);
  }
  // Code 6: three steps in a row taken at the boundary (slim 5000 cut to 50)
  // while f still falls; the third is not applied.
  {
    layout({0.5L});
    script s{1, 1e4L, {}, 2};
    for (int k = 1; k <= 3; ++k) {
      s.trials.push_back({0.49L, -0.9L});
      s.trials.push_back({0.45L, -0.5L});
    }
    EXPECT_EQ(solve(std::ref(s)), 6);
    EXPECT_NEAR(X[1], 0.5L - 2 * 0.9999999999L * 50 * 1e-4L, 1e-15L);
  }
  // Code 7: at the lower bound with the step pointing out: no trial at all.
  {
    layout({1e-10L});
    calls = 0;
    EXPECT_EQ(solve([](const eqvector& x, eqmatrix& j, eqvector& e) {
                e[1] = x[1] + 0.5L;
                j(1, 1) = 1;
                return true;
              }), 7);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(X[1], 1e-10L);
  }
}

TEST_F(NleTest, HookStepWithoutAccessibleStepGivesCode4) {
  layout({1e-10L});
  EXPECT_EQ(solve([](const eqvector& x, eqmatrix& j, eqvector& e) {
              e[1] = x[1] + 0.5L;
              j(1, 1) = 1;
              return true;
            }, false), 4);
  EXPECT_EQ(X[1], 1e-10L);
}

TEST_F(NleTest, IllegalStartGivesCode9ThenEndsTheRun) {
  auto never = [](const eqvector&, eqmatrix&, eqvector&) { return false; };
  DEBUGLEVEL = 0;
  layout({5.25L, 873.4L, 0.123456L});
  XNAME[1] = "P(kbar)";
  XNAME[2] = "T(C)";
  EXPECT_EQ(solve(never), 9);
  EXPECT_EQ(DEBUGLEVEL, 1);
  // P with 1 decimal, T in degrees C as a whole number, others 4 decimals.
  EXPECT_EQ(screen.str(),
            "\nillegal start   0  0\n   P(kbar)      T(C)        x3\n       5.2       600    0.1235\n");
  const IO::RunEnded end = vtest::runends([&] { solve(never); });
  EXPECT_EQ(end.message, "illegal start");
  // Gibbs-energy minimisation never stops the run.
  DOGMIN = true;
  DOGLEVEL = 1;
  screen.str("");
  EXPECT_EQ(solve(never), 9);
  EXPECT_EQ(screen.str(), "solver could not start\n");
}

TEST_F(NleTest, UnevaluablePointIsNeverTakenAsAStep) {
  // A tolerant run (debug level 0): the first trial cannot be evaluated; the
  // solve stops with code 10 and x stays where it was evaluable.
  DEBUGLEVEL = 0;
  for (bool ls : {true, false}) {
    layout({0.9L, 0.1L});
    EXPECT_EQ(solve([](const eqvector& x, eqmatrix& j, eqvector& e) {
                if (x[1] < 0.5L) return false;
                return linear2(x, j, e);
              }, ls), 10);
    EXPECT_EQ(X[1], 0.9L);
    EXPECT_EQ(X[2], 0.1L);
  }
  // At debug level 1 such a point ends the run, naming the trial.
  DEBUGLEVEL = 1;
  layout({0.9L, 0.1L});
  const IO::RunEnded end = vtest::runends([&] {
    solve([](const eqvector& x, eqmatrix& j, eqvector& e) {
      if (x[1] < 0.5L) return false;
      return linear2(x, j, e);
    });
  });
  EXPECT_EQ(end.message, "not ok (1)");
}

TEST_F(NleTest, CubicStationaryPoints) {
  // f = (t - 0.25)^2 through t = 0 and t = 1: the minimum 0.25 exactly.
  long double r1 = 0, r2 = 0;
  NLE::CUBIC(0, 0.0625L, -0.5L, 1, 0.5625L, 1.5L, r1, r2);
  EXPECT_EQ(r1, 0.25L);
  EXPECT_EQ(r2, 0.25L);
  // f = t^3 - 3t on [0, 2]: stationary points -1 and 1.
  NLE::CUBIC(0, 0, -3, 2, 2, 9, r1, r2);
  EXPECT_NEAR(std::min(r1, r2), -1, 1e-15L);
  EXPECT_NEAR(std::max(r1, r2), 1, 1e-15L);
  NLE::HCUBIC(r1, r2, 2, 2, 9, 0, 0, -3);
  EXPECT_NEAR(std::min(r1, r2), -1, 1e-15L);
  EXPECT_NEAR(std::max(r1, r2), 1, 1e-15L);
  // A straight line has none: -a.
  NLE::CUBIC(0.5L, 1, 1, 1, 1.5L, 1, r1, r2);
  EXPECT_EQ(r1, -0.5L);
}

TEST_F(NleTest, TrialStepsFollowTheLimitAndItsClass) {
  // Records where the equations are evaluated: start, step start, trials.
  std::vector<long double> at;
  auto recorder = [&](long double jval) {
    return [&at, jval](const eqvector& x, eqmatrix& j, eqvector& e) {
      at.push_back(x[1]);
      e[1] = x[1] + 0.25L;  // no root inside the box: every step falls
      j(1, 1) = jval;
      return true;
    };
  };
  const long double eps = IO::MACHEPS;
  // slim = 0.5: the first trial is 0.45 of the way.
  layout({0.25L});
  solve(recorder(1));
  ASSERT_GE(at.size(), 3u);
  EXPECT_NEAR(at[2], 0.25L - 0.45L * 0.5L, 1e-15L);
  // A first trial still falling goes on to the bound: 0.99999 of the limit
  // for an xaccessible one, 0.9999999999 for a window limit.
  for (acctype k : {acctype::xaccessible, acctype::windowlimit}) {
    at.clear();
    layout({0.25L}, 1e-20L, k);
    solve(recorder(10));  // d = e / 10 = 0.05: the bound lies 5 steps away
    ASSERT_GE(at.size(), 4u);
    EXPECT_NEAR(at[2], 0.2L, 1e-15L);
    const long double frac = k == acctype::xaccessible ? 0.99999L : 0.9999999999L;
    EXPECT_NEAR(at[3], 0.25L - frac * (0.25L - 2 * eps), 1e-15L);
  }
}

TEST_F(NleTest, NearSingularDirectionDropsTheSmallSingularValue) {
  for (long double tiny : {1e-14L, 1e-6L}) {
    layout({0.5L, 0.5L});
    NLE s([tiny](const eqvector& x, eqmatrix& j, eqvector& e) {
      e[1] = x[1] + x[2] - 0.9L;
      e[2] = x[1] + (1 + tiny) * x[2] - 0.9L;
      j(1, 1) = j(1, 2) = j(2, 1) = 1;
      j(2, 2) = 1 + tiny;
      return true;
    });
    ASSERT_TRUE(s.INITIALISE());
    long double f0 = 0, slope0 = 0, slim = 0;
    s.STARTUP(f0, slope0, slim);
    EXPECT_EQ(NEARSING, tiny < 1e-12L) << tiny;
    // The dropped direction leaves d along (1, 1): equal entries.
    if (NEARSING) {
      EXPECT_NEAR(s.d[1], s.d[2], 1e-15L);
    }
  }
}

TEST_F(NleTest, TraceAtLevelThreeAndHookTrace) {
  DEBUGLEVEL = 3;
  layout({0.9L}, 1);
  auto square = [](const eqvector& x, eqmatrix& j, eqvector& e) {
    e[1] = x[1] * x[1] - 0.25L;
    j(1, 1) = 2 * x[1];
    return true;
  };
  solve(square);
  const std::string out = screen.str();
  // Per step: a line of 58 "-", the heading (with the names in the first
  // step), the "0" and "s" lines, and after the step the values indented
  // by 59 blanks.
  EXPECT_EQ(out.substr(0, 59), std::string(58, '-') + "\n");
  EXPECT_NE(out.find("\n 0  0.004684 -0.009368             0      0.09679          \n"
                     " s  2.281e-5-0.0005625             1 i   0.006754   0.08218\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(std::string(59, ' ') + "    0.588889\n"), std::string::npos);
  EXPECT_NE(out.find("\xA5   2      f     slope          step         maxe     maxdx\n"), std::string::npos);
  // The hook step at level 2: its own heading and one "*" line per step.
  DEBUGLEVEL = 2;
  screen.str("");
  layout({0.9L}, 1);
  solve(square, false);
  // f, then the length and mu (blank and "G-N" for a Gauss-Newton step), the
  // ratio r, max |e| and the largest scaled move.
  EXPECT_EQ(screen.str(),
            "\n \xA5       f         h         v            r      maxe      maxd\n"
            "   0.004684                 G-N       0.9701   0.09679    0.3111\n"
            "   2.281e-5                 G-N       0.9951  0.006754   0.08218\n"
            "  9.862e-10                 G-N        1.000  4.441e-5  0.006664\n"
            "\nstep too small near solution (dxconverge)\n");
}

TEST_F(NleTest, TraceLinesWrapAfterFifteenValues) {
  // 20 unknowns, e_i = x_i - 0.5: at level 2 the iteration line holds the
  // first 15 values, a second line indented by 54 blanks the other 5.
  DEBUGLEVEL = 2;
  layout(std::vector<long double>(20, 0.9L), 1);
  solve([](const eqvector& x, eqmatrix& j, eqvector& e) {
    for (int i = 1; i <= 20; ++i) {
      e[i] = x[i] - 0.5L;
      j(i, i) = 1;
    }
    return true;
  });
  // (unknown 2 is shown as a temperature in degrees C)
  std::string values = "    0.900000    -272.250";
  for (int i = 0; i < 13; ++i) values += "    0.900000";
  std::string rest = std::string(54, ' ');
  for (int i = 0; i < 5; ++i) rest += "    0.900000";
  EXPECT_NE(screen.str().find(values + "\n" + rest + "\n"), std::string::npos) << screen.str();
}

// ---- The accessible step limit ---------------------------------------------

class StepLimitTest : public NleTest {
 protected:
  NLE s{[](const eqvector&, eqmatrix&, eqvector&) { return true; }};
  void prepare() {
    s.n = 0;
    for (int i = 1; i <= NX + NXP; ++i)
      if (BX[i]) s.freeix[++s.n] = i;
  }
};

TEST_F(StepLimitTest, BoxOfTheFreeUnknowns) {
  const long double eps = IO::MACHEPS;
  layout({0.25L, 0.75L}, 1, acctype::inaccessible);
  INACC1[1] = acctype::xaccessible;
  INACC2[2] = acctype::windowlimit;
  prepare();
  long double slim = 0;
  acctype acc = acctype::mulimit;
  s.d[1] = 0;
  s.d[2] = 0;
  s.FINDLIMIT(slim, acc);
  EXPECT_EQ(slim, 1e20L);
  EXPECT_EQ(acc, acctype::mulimit);
  s.d[1] = 0.5L;
  s.FINDLIMIT(slim, acc);
  EXPECT_EQ(slim, (0.25L - 2 * eps) / 0.5L);
  EXPECT_EQ(acc, acctype::xaccessible);
  s.d[1] = 0;
  s.d[2] = -0.5L;
  s.FINDLIMIT(slim, acc);
  EXPECT_EQ(slim, (0.25L - 2 * eps) / 0.5L);
  EXPECT_EQ(acc, acctype::windowlimit);
  // The smaller ratio binds and names its class.
  s.d[1] = 0.2L;
  s.FINDLIMIT(slim, acc);
  EXPECT_EQ(acc, acctype::windowlimit);
}

TEST_F(StepLimitTest, LinearLimits) {
  const long double eps = IO::MACHEPS;
  // 0.5 - x1 - x2 >= 0 with x = (0.1, 0.1): g = 0.3.
  layout({0.1L, 0.1L}, 1, acctype::windowlimit);
  NXVARLIM = 1;
  XVARLIMN(1, 1) = -1;
  XVARLIMN(1, 2) = -1;
  XVARLIMN(1, 3) = 1;
  XVARLIMD(1, 1) = XVARLIMD(1, 2) = 1;
  XVARLIMD(1, 3) = 2;
  prepare();
  long double slim = 0;
  acctype acc = acctype::mulimit;
  s.d[1] = -0.1L;
  s.d[2] = -0.2L;  // h = 0.3 per unit step
  s.FINDLIMIT(slim, acc);
  EXPECT_NEAR(slim, (0.3L - 2 * eps) / 0.3L, 1e-15L);
  EXPECT_EQ(acc, acctype::inaccessible);
  // Moving away (h = -1) never limits, even when already violated.
  X[1] = X[2] = 0.3L;
  s.d[1] = 0.5L;
  s.d[2] = 0.5L;
  acc = acctype::mulimit;
  s.FINDLIMIT(slim, acc);
  EXPECT_EQ(slim, (0.3L - 2 * eps) / 0.5L);  // the box binds, not the limit
  EXPECT_EQ(acc, acctype::windowlimit);
  // A step parallel to the limit (d = (0.1, -0.1): h = 0, free variables
  // with nonzero coefficients in it) is stopped, slim 0, whether the limit
  // holds (x = (0.1, 0.1): g = 0.3; the box alone would give (0.1 - 2 eps) /
  // 0.1), is violated (x = (0.3, 0.3): g = -0.1) or holds only within the
  // margin (x = (0.25, 0.25 - eps/2): g = eps/2 < 2 eps); the class the box
  // gave stays.
  s.d[1] = 0.1L;
  s.d[2] = -0.1L;
  for (const auto& [x1, x2] :
       {std::pair{0.1L, 0.1L}, std::pair{0.3L, 0.3L}, std::pair{0.25L, 0.25L - eps / 2}}) {
    X[1] = x1;
    X[2] = x2;
    acc = acctype::mulimit;
    s.FINDLIMIT(slim, acc);
    EXPECT_EQ(slim, 0) << static_cast<double>(x1);
    EXPECT_EQ(acc, acctype::windowlimit);
  }
  // A row in which no free variable has a nonzero coefficient does not count:
  // the same step is limited by the box alone.
  XVARLIMN(1, 1) = XVARLIMN(1, 2) = 0;
  X[1] = X[2] = 0.1L;
  s.FINDLIMIT(slim, acc);
  EXPECT_NEAR(slim, (0.1L - 2 * eps) / 0.1L, 1e-15L);
}

TEST_F(StepLimitTest, SiteFractionsStayNonNegative) {
  // A phase with variables x3, x4 (positions 3 and 4) and the watched site
  // fraction 1 - x - y.
  layout({0.5L, 0.5L, 0.3L, 0.3L}, 1, acctype::windowlimit);
  ptype1& ph = (*PREC1)[1];
  ph.name = "ph";
  termtype& t = ph.sfterm[1];
  t.nsx = 1;
  t.sx[1].factor = 1;
  t.sx[1].nx = 1;
  xtermtype& xt = t.sx[1].x[1];
  xt.cnum = 1;
  xt.nt = 2;
  xt.num[1] = xt.num[2] = -1;
  xt.den[1] = xt.den[2] = 1;
  xt.ix[1] = 1;
  xt.ix[2] = 2;
  NSFNH = 1;
  SFNHIP[1] = 1;
  SFNHK[1] = 1;
  SFNHIX[1] = 3;
  prepare();
  long double slim = 0;
  acctype acc = acctype::mulimit;
  // Growing both by 0.5 per unit: the box allows 1.4, the site fraction
  // 0.4; the result keeps it non-negative and close to the limit.
  s.d[3] = s.d[4] = -0.5L;
  s.FINDLIMIT(slim, acc);
  EXPECT_EQ(acc, acctype::inaccessible);
  const long double sf = 1 - 2 * (0.3L + 0.999999999L * slim * 0.5L);
  EXPECT_GT(sf, 0);
  EXPECT_GT(slim, 0.3L);
  EXPECT_LT(slim, 0.4L);
  // A step that keeps the site fraction positive: the box limit, but class
  // inaccessible all the same.
  s.d[3] = s.d[4] = 0.1L;
  s.FINDLIMIT(slim, acc);
  EXPECT_NEAR(slim, 3, 1e-15L);
  EXPECT_EQ(acc, acctype::inaccessible);
  // A factor that is 0 at the trial point: reported, and the step ends.
  t.sx[1].nx = 2;
  t.nsx = 2;
  xtermtype& f2 = t.sx[1].x[2];
  f2.cnum = 0;
  f2.nt = 1;
  f2.num[1] = f2.den[1] = 1;
  f2.ix[1] = 2;
  t.sx[2].factor = -0.1L;
  t.sx[2].nx = 1;
  t.sx[2].x[1].cnum = 1;
  BX[4] = false;
  X[4] = 0;
  prepare();
  s.d[3] = -0.1L;
  s.FINDLIMIT(slim, acc);
  EXPECT_EQ(slim, 0);
  EXPECT_NE(screen.str().find("crasher with         ph, sf term =     1\n"), std::string::npos);
  // Every number of the block in a field of 20, slim and slim0 too: the
  // fixed y = 0 of the vanishing factor, then slim = slim0 = (1 - 0.3)/0.1.
  EXPECT_NE(screen.str().find("\nx  " + std::string(19, ' ') + "0, slim = " + std::string(10, ' ') +
                              "7.00000e-0  " + std::string(10, ' ') + "7.00000e-0\n"),
            std::string::npos)
      << screen.str();
}

// ---- Trace ------------------------------------------------------------------

TEST_F(NleTest, TraceAtLevelTwo) {
  DEBUGLEVEL = 1;
  layout({0.9L, 0.1L});
  solve(linear2);
  EXPECT_EQ(screen.str(), "");
  DEBUGLEVEL = 2;
  layout({0.9L}, 1);
  solve([](const eqvector& x, eqmatrix& j, eqvector& e) {
    e[1] = x[1] * x[1] - 0.25L;
    j(1, 1) = 2 * x[1];
    return true;
  });
  // An empty line, the starting guesses, the heading with the names, one
  // line per iteration (bullet, iteration left in 2, f, slope, step "1" when
  // exactly 1, flag, maxe, maxdx, then the values at the step's start) and
  // the reason.
  EXPECT_EQ(screen.str(),
            "\nstarting guesses:          x1\n                     0.900000\n\n"
            "\xA5            f     slope      step         maxe     maxdx          x1\n"
            " 1    0.004684  -0.03547         1      0.09679    0.3111    0.900000\n"
            " 2    2.281e-5-0.0005625         1     0.006754   0.08218    0.588889\n"
            " 3   9.862e-10 -2.960e-7         1     4.441e-5  0.006664    0.506709\n"
            "\nstep too small near solution (dxconverge)\n");
}

}  // namespace

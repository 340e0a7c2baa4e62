// T-x(CO2) diagrams whose window reaches x(CO2) = 0 or 1, by the real
// program (calculation mode 3) on the example dataset: cc dol q tr di fo wo
// with H2O and CO2 in excess at 2 kbar. The stable invariant points are
// solved here from delta G + R T ln K = 0 of two reactions of each point
// (end-member Gibbs energies of the same dataset, Newton's method with
// central differences); the exclusions and the stability list are stored
// after reading them by hand.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "models/kpcalc1.h"
#include "solver/solver_support.h"
#include "support/vt_program.h"

namespace fs = std::filesystem;
using namespace KPGLOBAL;

namespace {

constexpr double Rgas = 0.0083144;
using reaction = std::vector<std::pair<int, std::string>>;  // coefficient, name

class DiagramXco2Edges : public solvertest::SolverTest {
 protected:
  // The results file of a T-x(CO2) run at 2 kbar on the phases given, with
  // the T and x(CO2) window typed.
  std::string run(const std::string& phases, const std::string& window, bool allreactions) {
    const fs::path ex = fs::path(VT_SOURCE_DIR) / "examples" / "diagram";
    fs::copy_file(ex / "vt-ds3x.txt", *dir / "vt-ds3x.txt", fs::copy_options::overwrite_existing);
    std::string list;
    for (char c : phases + " CO2 H2O") list += c == ' ' ? '\n' : c;
    std::ofstream(*dir / "vt-pure.txt") << list << "\n*\n";
    std::ofstream(*dir / "vt-prefs.txt") << "calcmode 3\ndsfile 3x\nscriptfile tx\n";
    std::ofstream(*dir / "vt-tx.txt") << "axfile pure\nwith " << phases
                                      << " CO2 H2O\ncalctype 2\ndiagramPT 0.1 10 300 1000\nfluidexcess yes\n"
                                         "inexcess yes\n"
                                      << (allreactions ? "doallr yes\n" : "doschreinemakers yes\n") << "autoexit\n";
    std::ofstream(*dir / "answers.txt") << window << "\n2\n";
    const int rc = vtest::runprogram(dir->path());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << vtest::readfile(*dir / "screen.txt");
    return vtest::readfile(*dir / "vt-tx-o.txt");
  }
  int pos(const std::string& name) const {
    for (int k = 1; k <= NCV; ++k)
      if (NAME[k] == name) return k;
    ADD_FAILURE() << "no end-member " << name;
    return 1;
  }
  // delta G + R T ln K of r at 2 kbar, T and x(CO2): the end-members' G with
  // the fluid's composition, and the mole fractions of H2O and CO2.
  double dmu(const reaction& r, double T, double x) {
    double g = 0;
    for (const auto& [nu, name] : r) {
      const int k = pos(name);
      (*TD)[k].xco2 = x;
      (*TD)[k].xh2o = 1 - x;
      extended gk = 0;
      KPCALC1::GEM(static_cast<smallint>(k), 2, T, gk);
      g += nu * static_cast<double>(gk);
      if (name == "CO2") g += nu * Rgas * T * std::log(x);
      if (name == "H2O") g += nu * Rgas * T * std::log(1 - x);
    }
    return g;
  }
  // The point (T in C, x) where both reactions are at equilibrium, from a
  // start near it.
  std::pair<double, double> solve(const reaction& r1, const reaction& r2, double T, double x) {
    T += 273.15;
    for (int it = 0; it < 40; ++it) {
      const double f1 = dmu(r1, T, x), f2 = dmu(r2, T, x);
      const double dx = 1e-7 * std::fmin(x, 1 - x);
      const double a = (dmu(r1, T + 1e-3, x) - dmu(r1, T - 1e-3, x)) / 2e-3;
      const double b = (dmu(r1, T, x + dx) - dmu(r1, T, x - dx)) / (2 * dx);
      const double c = (dmu(r2, T + 1e-3, x) - dmu(r2, T - 1e-3, x)) / 2e-3;
      const double d = (dmu(r2, T, x + dx) - dmu(r2, T, x - dx)) / (2 * dx);
      const double det = a * d - b * c;
      T -= (d * f1 - b * f2) / det;
      x -= (a * f2 - c * f1) / det;
      x = std::fmin(std::fmax(x, 1e-9), 1 - 1e-9);
    }
    return {T - 273.15, x};
  }
  // T (C) of r at x(CO2) by bisection in 300..1000 C (one crossing there).
  double tline(const reaction& r, double x) {
    double a = 573.15, b = 1273.15;
    for (int k = 0; k < 200; ++k) {
      const double m = (a + b) / 2;
      ((dmu(r, a, x) <= 0) == (dmu(r, m, x) <= 0) ? a : b) = m;
    }
    return (a + b) / 2 - 273.15;
  }
  // The stable points of the report: the end-member set after "involving"
  // and the printed T (C) and x(CO2).
  struct point {
    std::string set;
    double T, x;
  };
  static std::vector<point> stablepoints(const std::string& out) {
    std::vector<point> v;
    for (auto a = out.find("# stable intersection "); a != std::string::npos;
         a = out.find("# stable intersection ", a + 1)) {
      const auto s = out.find("involving ", a) + 10;
      const auto t = out.find("\nT = ", a) + 5;
      v.push_back({out.substr(s, out.find(" + (", s) - s), std::stod(out.substr(t)),
                   std::stod(out.substr(out.find("x(CO2) = ", t) + 9))});
    }
    return v;
  }
};

const reaction dolq{{-1, "dol"}, {-2, "q"}, {1, "di"}, {2, "CO2"}};                         // dol + 2q = di + 2CO2
const reaction cctr{{-3, "cc"}, {-1, "tr"}, {1, "dol"}, {4, "di"}, {1, "CO2"}, {1, "H2O"}};  // 3cc + tr = dol + 4di ...
const reaction doldi{{-3, "dol"}, {-1, "di"}, {4, "cc"}, {2, "fo"}, {2, "CO2"}};             // 3dol + di = 4cc + 2fo ...
const reaction trq{{-2, "tr"}, {5, "q"}, {4, "di"}, {3, "fo"}, {2, "H2O"}};                  // 2tr = 5q + 4di + 3fo ...

}  // namespace

// x(CO2) 0 to 1, 350-850 C: the corners at x = 0 and 1 are taken just
// inside the window, so 11cc + tr = 5dol + 8wo + CO2 + H2O (positive there)
// excludes dol + wo, not cc + tr, and the reactions of cc + tr stay; a
// crossing in the last step before x = 1 is bracketed with the lines just
// inside. The three stable points, each where two of its reactions are at
// equilibrium, solved here; the refinement stops when a step moves T by
// less than 0.5 K and x(CO2) by less than 0.001, and lands within 0.05 K.
TEST_F(DiagramXco2Edges, WholeWindowKeepsItsStablePoints) {
  const std::string out = run("cc dol q tr di fo wo", "350 850 0 1", false);
  EXPECT_NE(out.find("\nexcluded assemblages | dol wo | tr wo | q fo wo |\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nno of reactions = 15, no of intersections = 6\n"), std::string::npos);
  EXPECT_NE(out.find(")  3cc + tr = dol + 4di + CO2 + H2O\n"), std::string::npos);
  EXPECT_EQ(out.find("sorry, none in the window"), std::string::npos);
  const auto st = out.find("\n----------------------------------------------------\nStability of reactions");
  ASSERT_NE(st, std::string::npos) << out;
  EXPECT_EQ(out.substr(st),
            "\n----------------------------------------------------\n"
            "Stability of reactions not involved in intersections :\n\n"
            "<= stable => 1)  cc + q = wo + CO2\n"
            "*not known*  12)  cc + 2di = fo + 3wo + CO2\n");
  readdataset({"cc", "dol", "q", "tr", "di", "fo", "wo", "CO2", "H2O"});
  FLUIDTYPE = ftype::ih2oco2;  // the diagram's non-ideal H2O-CO2 fluid
  const std::vector<point> p = stablepoints(out);
  ASSERT_EQ(p.size(), 3u) << out;
  const std::vector<std::pair<std::string, std::pair<double, double>>> want{
      {"cc dol q tr di", solve(dolq, cctr, 515, 0.93)},
      {"cc dol tr di fo", solve(doldi, cctr, 549, 0.12)},
      {"dol q tr di fo", solve(dolq, trq, 520, 0.996)}};
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(p[k].set, want[k].first);
    const auto [T, x] = want[k].second;
    EXPECT_NEAR(p[k].T, T, 0.05) << want[k].first;
    // x(CO2) printed with 3 significant digits, refined until a step moves
    // it by less than 0.001.
    EXPECT_NEAR(p[k].x, x, 0.001) << want[k].first;
  }
  // The solved points themselves: 515.70 C at 0.934, 549.37 C at 0.122 and
  // 520.52 C at 0.9966, the last one 0.0034 from the window's end. In that
  // end step the refinement measures its steps in ln(x / (1 - x)), so the
  // point prints as the solved one rounds, to the last digit.
  EXPECT_NEAR(want[2].second.first, 520.52, 0.01);
  EXPECT_NEAR(want[2].second.second, 0.9966, 0.0001);
  EXPECT_NE(out.find("\nT = 520.52 \xA1" "C , x(CO2) = 0.997\n"), std::string::npos) << out;
}

// The same system in x(CO2) 0.01-0.99: the same two points inside, as
// before the change, and no third.
TEST_F(DiagramXco2Edges, InnerWindowUnchanged) {
  const std::string out = run("cc dol q tr di fo wo", "350 850 0.01 0.99", false);
  const std::vector<point> p = stablepoints(out);
  ASSERT_EQ(p.size(), 2u) << out;
  EXPECT_NE(out.find("\nT = 515.70 \xA1" "C , x(CO2) = 0.934\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nT = 549.36 \xA1" "C , x(CO2) = 0.122\n"), std::string::npos) << out;
}

// cc dol tr di at 520-850 C: 3cc + tr = dol + 4di + CO2 + H2O has its line
// below 520 C at both window ends and its T maximum (574 C) near x = 1/2,
// where both fluids' mole fractions balance: all four corners and the
// T derivatives at the two low-T corners agree, and the extremum test finds
// it (in x 0.01-0.99 and 0-1); at 580-850 C it lies wholly below.
TEST_F(DiagramXco2Edges, DehydrationDecarbonationFoundNearItsMaximum) {
  readdataset({"cc", "dol", "tr", "di", "CO2", "H2O"});
  FLUIDTYPE = ftype::ih2oco2;
  const double tmax = tline(cctr, 0.5);
  EXPECT_LT(tline(cctr, 0.01), 520);
  EXPECT_LT(tline(cctr, 0.99), 520);
  EXPECT_GT(tmax, 570);
  EXPECT_LT(tmax, 580);
  for (const char* window : {"520 850 0.01 0.99", "520 850 0 1"}) {
    const std::string out = run("cc dol tr di", window, true);
    EXPECT_NE(out.find("\nno of reactions = 1\n\n1)  3cc + tr = dol + 4di + CO2 + H2O\n"), std::string::npos)
        << window << "\n" << out;
  }
  EXPECT_NE(run("cc dol tr di", "580 850 0.01 0.99", true).find("\nno of reactions = 0\n"), std::string::npos);
}

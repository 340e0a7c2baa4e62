// The check of an invariant point against all its lines, by the real program
// (calculation mode 3) on the example dataset. Each point is solved here
// from delta G + R T ln K = 0 of two of its reactions (end-member Gibbs
// energies of the same dataset, the non-ideal H2O-CO2 fluid, Newton's
// method with central differences).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>
#include <functional>
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

class DiagramPointCheck : public solvertest::SolverTest {
 protected:
  // The results file of a diagram run (calctype 1 to 5) on the phases given,
  // with the script's extra lines (the overall window first) and the
  // answers typed; rc its exit status.
  std::string run(const std::string& phases, int calctype, const std::string& extra, const std::string& answers,
                  int& rc) {
    const fs::path ex = fs::path(VT_SOURCE_DIR) / "examples" / "diagram";
    fs::copy_file(ex / "vt-ds3x.txt", *dir / "vt-ds3x.txt", fs::copy_options::overwrite_existing);
    std::string list;
    for (char c : phases + " CO2 H2O") list += c == ' ' ? '\n' : c;
    std::ofstream(*dir / "vt-pure.txt") << list << "\n*\n";
    std::ofstream(*dir / "vt-prefs.txt") << "calcmode 3\ndsfile 3x\nscriptfile d\n";
    std::ofstream(*dir / "vt-d.txt") << "axfile pure\nwith " << phases << " CO2 H2O\ncalctype " << calctype << "\n"
                                     << extra << "fluidexcess yes\ninexcess yes\ndoschreinemakers yes\nautoexit\n";
    std::ofstream(*dir / "answers.txt") << answers;
    const int status = vtest::runprogram(dir->path());
    rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return vtest::readfile(*dir / "vt-d-o.txt");
  }
  int pos(const std::string& name) const {
    for (int k = 1; k <= NCV; ++k)
      if (NAME[k] == name) return k;
    ADD_FAILURE() << "no end-member " << name;
    return 1;
  }
  // delta G + R T ln K of r at P (kbar), T (K) and x(CO2).
  double dmu(const reaction& r, double P, double T, double x) {
    double g = 0;
    for (const auto& [nu, name] : r) {
      const int k = pos(name);
      (*TD)[k].xco2 = x;
      (*TD)[k].xh2o = 1 - x;
      extended gk = 0;
      KPCALC1::GEM(static_cast<smallint>(k), P, T, gk);
      g += nu * static_cast<double>(gk);
      if (name == "CO2") g += nu * Rgas * T * std::log(x);
      if (name == "H2O") g += nu * Rgas * T * std::log(1 - x);
    }
    return g;
  }
  // The root (a, b) of f(1, a, b) = f(2, a, b) = 0 by Newton's method from
  // (a, b), with central differences of steps ha and hb.
  static std::pair<double, double> solve(const std::function<double(int, double, double)>& f, double a, double b,
                                         double ha, double hb) {
    for (int it = 0; it < 50; ++it) {
      const double f1 = f(1, a, b), f2 = f(2, a, b);
      const double p = (f(1, a + ha, b) - f(1, a - ha, b)) / (2 * ha), q = (f(1, a, b + hb) - f(1, a, b - hb)) / (2 * hb);
      const double r = (f(2, a + ha, b) - f(2, a - ha, b)) / (2 * ha), s = (f(2, a, b + hb) - f(2, a, b - hb)) / (2 * hb);
      const double det = p * s - q * r;
      a -= (s * f1 - q * f2) / det;
      b -= (p * f2 - r * f1) / det;
    }
    return {a, b};
  }
  // The coordinates lines ("P = ...") of the stable points of set.
  static std::vector<std::string> coordinates(const std::string& out, const std::string& set) {
    std::vector<std::string> v;
    for (auto a = out.find("# stable intersection "); a != std::string::npos;
         a = out.find("# stable intersection ", a + 1)) {
      if (out.compare(out.find("involving ", a) + 10, set.size() + 4, set + " + (") != 0) continue;
      const auto c = out.find("\nP = ", a) + 1;
      v.push_back(out.substr(c, out.find('\n', c) - c));
    }
    return v;
  }
};

}  // namespace

// A point closer to P = 0 than the check's box is tall (twice the search's
// tolerance of 0.01 kbar): P-x(CO2) at 300 C, cc q wo an gr zo ky, P
// 0.001-15 kbar, x 0.001-0.999, the point cc q an gr zo at 0.017 kbar, x
// 0.290. The box's lower side is kept above P = 0 (half-way to it), where
// the fluid's equations hold: at P = -0.003 kbar they end the run ("run
// bombed in co2props"). The run ends normally with the point printed as
// the one solved here from 2cc + q + an = gr + 2CO2 and q + 4zo = 5an +
// gr + 2H2O rounds (0.01737 kbar, x 0.2902).
TEST_F(DiagramPointCheck, BoxKeptAbovePZero) {
  int rc = -1;
  const std::string out =
      run("cc q wo an gr zo ky", 3, "diagramPT 0.001 20 250 1100\n", "0.001 15 0.001 0.999\n300\n", rc);
  EXPECT_EQ(rc, 0) << vtest::readfile(*dir / "screen.txt");
  EXPECT_EQ(out.find("run bombed"), std::string::npos) << out;
  const std::vector<std::string> c = coordinates(out, "cc q an gr zo");
  ASSERT_EQ(c.size(), 1u) << out;
  EXPECT_EQ(c[0], "P = 0.017 kbar, x(CO2) = 0.290");
  readdataset({"cc", "q", "wo", "an", "gr", "zo", "ky", "CO2", "H2O"});
  FLUIDTYPE = ftype::ih2oco2;
  const reaction ccgr{{-2, "cc"}, {-1, "q"}, {-1, "an"}, {1, "gr"}, {2, "CO2"}};
  const reaction zogr{{-1, "q"}, {-4, "zo"}, {5, "an"}, {1, "gr"}, {2, "H2O"}};
  const auto [P, x] = solve([&](int i, double p, double xx) { return dmu(i == 1 ? ccgr : zogr, p, 573.15, xx); },
                            0.017, 0.29, 1e-6, 1e-7);
  EXPECT_NEAR(dmu(ccgr, P, 573.15, x), 0, 1e-9);
  EXPECT_NEAR(dmu(zogr, P, 573.15, x), 0, 1e-9);
  EXPECT_NEAR(std::stod(c[0].substr(4)), P, 0.0005);
  EXPECT_NEAR(std::stod(c[0].substr(c[0].find("x(CO2) = ") + 9)), x, 0.0005);
}

// A line that crosses the check's box without changing sign between its
// corners and centre: P-T with T calculated at P, x(CO2) = 0.22, mu q cc san
// an sill zo, P 0.01-15 kbar, T 150-900 C. The search places the point mu q
// cc san an zo at 0.0899 kbar, 318.59 C; its box (P +- 0.02 kbar, T +- 1 K)
// reaches past the H2O saturation pressure (0.1065 kbar at that T), where
// delta mu of 2zo + CO2 = cc + 3an + H2O jumps back to the sign it has at
// the box's low-P corners, although the line crosses the box at 0.093
// kbar. Newton's method along T at the point's P finds the line within the
// box, and the point is reported; without it the point was lost ("point
// not on all its reactions"). The point solved here from 3mu + 6q + 4cc =
// 3san + 2zo + 4CO2 + 2H2O and mu + 2q + 2zo = san + 4an + 2H2O lies at
// 0.09070 kbar, 318.936 C, with all four reactions at equilibrium; the
// point printed lies within the search's tolerances (0.01 kbar, 0.5 K).
TEST_F(DiagramPointCheck, LineFoundInTheBoxByNewton) {
  int rc = -1;
  const std::string out = run("mu q cc san an sill zo", 1,
                              "diagramPT 0.01 15 150 900\ncalcT yes 150 900\ncalcP yes 0.01 15 0.1495\n"
                              "calctatp yes\nfluidpresent yes\nsetfluid yes 0.22 0.78\n",
                              "", rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out.find("point not on all its reactions"), std::string::npos) << out;
  readdataset({"mu", "q", "cc", "san", "an", "sill", "zo", "CO2", "H2O"});
  FLUIDTYPE = ftype::ih2oco2;
  const std::vector<reaction> rows{
      {{-3, "mu"}, {-6, "q"}, {-4, "cc"}, {3, "san"}, {2, "zo"}, {4, "CO2"}, {2, "H2O"}},
      {{-1, "mu"}, {-2, "q"}, {-2, "zo"}, {1, "san"}, {4, "an"}, {2, "H2O"}},
      {{-2, "zo"}, {-1, "CO2"}, {1, "cc"}, {3, "an"}, {1, "H2O"}},
      {{-1, "mu"}, {-2, "q"}, {-1, "cc"}, {1, "san"}, {1, "an"}, {1, "CO2"}, {1, "H2O"}}};
  const auto [P, T] =
      solve([&](int i, double p, double t) { return dmu(rows[i - 1], p, t, 0.22); }, 0.0906, 592, 1e-6, 1e-4);
  EXPECT_NEAR(P, 0.09070, 0.00001);
  EXPECT_NEAR(T - 273.15, 318.936, 0.001);
  for (const reaction& r : rows) EXPECT_NEAR(dmu(r, P, T, 0.22), 0, 1e-9);
  // The set's other point lies at 5.8 kbar.
  const std::vector<std::string> c = coordinates(out, "mu q cc san an zo");
  ASSERT_EQ(c.size(), 2u) << out;
  const std::string& low = std::stod(c[0].substr(4)) < 1 ? c[0] : c[1];
  EXPECT_NEAR(std::stod(low.substr(4)), P, 0.01) << low;
  EXPECT_NEAR(std::stod(low.substr(low.find("T = ") + 4)), T - 273.15, 0.5) << low;
}

// The check of an invariant point against all its lines, by the real program
// (calculation mode 3) on the example dataset, with the diagram's overall
// window down to P = 0.001 kbar. Each point is solved here from
// delta G + R T ln K = 0 of two of its reactions (end-member Gibbs energies
// of the same dataset, the non-ideal H2O-CO2 fluid, Newton's method with
// central differences).
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

class DiagramPointCheck : public solvertest::SolverTest {
 protected:
  // The results file of a P-x(CO2) run at T (C) on the phases given, with
  // the P and x(CO2) window typed; rc its exit status.
  std::string run(const std::string& phases, const std::string& window, const std::string& T, int& rc) {
    const fs::path ex = fs::path(VT_SOURCE_DIR) / "examples" / "diagram";
    fs::copy_file(ex / "vt-ds3x.txt", *dir / "vt-ds3x.txt", fs::copy_options::overwrite_existing);
    std::string list;
    for (char c : phases + " CO2 H2O") list += c == ' ' ? '\n' : c;
    std::ofstream(*dir / "vt-pure.txt") << list << "\n*\n";
    std::ofstream(*dir / "vt-prefs.txt") << "calcmode 3\ndsfile 3x\nscriptfile d\n";
    std::ofstream(*dir / "vt-d.txt") << "axfile pure\nwith " << phases
                                     << " CO2 H2O\ncalctype 3\ndiagramPT 0.001 20 250 1100\nfluidexcess yes\n"
                                        "inexcess yes\ndoschreinemakers yes\nautoexit\n";
    std::ofstream(*dir / "answers.txt") << window << "\n" << T << "\n";
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
  // The point (P, x) at T (K) where both reactions are at equilibrium, by
  // Newton's method from (P, x).
  std::pair<double, double> solve(const reaction& r1, const reaction& r2, double T, double P, double x) {
    for (int it = 0; it < 40; ++it) {
      const double hp = 1e-3 * P, hx = 1e-7 * std::fmin(x, 1 - x);
      const double f1 = dmu(r1, P, T, x), f2 = dmu(r2, P, T, x);
      const double a = (dmu(r1, P + hp, T, x) - dmu(r1, P - hp, T, x)) / (2 * hp);
      const double b = (dmu(r1, P, T, x + hx) - dmu(r1, P, T, x - hx)) / (2 * hx);
      const double c = (dmu(r2, P + hp, T, x) - dmu(r2, P - hp, T, x)) / (2 * hp);
      const double d = (dmu(r2, P, T, x + hx) - dmu(r2, P, T, x - hx)) / (2 * hx);
      const double det = a * d - b * c;
      P -= (d * f1 - b * f2) / det;
      x -= (a * f2 - c * f1) / det;
    }
    return {P, x};
  }
  // The P and x(CO2) printed for the stable point of set (NAN where none).
  static std::pair<double, double> stablepoint(const std::string& out, const std::string& set) {
    const auto a = out.find("# stable intersection ");
    for (auto at = a; at != std::string::npos; at = out.find("# stable intersection ", at + 1)) {
      if (out.compare(out.find("involving ", at) + 10, set.size() + 4, set + " + (") != 0) continue;
      const auto p = out.find("\nP = ", at) + 5;
      return {std::stod(out.substr(p)), std::stod(out.substr(out.find("x(CO2) = ", p) + 9))};
    }
    return {NAN, NAN};
  }
};

const reaction ccgr{{-2, "cc"}, {-1, "q"}, {-1, "an"}, {1, "gr"}, {2, "CO2"}};  // 2cc + q + an = gr + 2CO2
const reaction zogr{{-1, "q"}, {-4, "zo"}, {5, "an"}, {1, "gr"}, {2, "H2O"}};   // q + 4zo = 5an + gr + 2H2O

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
  const std::string out = run("cc q wo an gr zo ky", "0.001 15 0.001 0.999", "300", rc);
  EXPECT_EQ(rc, 0) << vtest::readfile(*dir / "screen.txt");
  EXPECT_EQ(out.find("run bombed"), std::string::npos) << out;
  EXPECT_NE(out.find("\nP = 0.017 kbar, x(CO2) = 0.290\n"), std::string::npos) << out;
  readdataset({"cc", "q", "wo", "an", "gr", "zo", "ky", "CO2", "H2O"});
  FLUIDTYPE = ftype::ih2oco2;
  const auto [P, x] = solve(ccgr, zogr, 573.15, 0.017, 0.29);
  EXPECT_NEAR(dmu(ccgr, P, 573.15, x), 0, 1e-9);
  EXPECT_NEAR(dmu(zogr, P, 573.15, x), 0, 1e-9);
  const auto [Pr, xr] = stablepoint(out, "cc q an gr zo");
  EXPECT_NEAR(Pr, P, 0.0005);
  EXPECT_NEAR(xr, x, 0.0005);
}

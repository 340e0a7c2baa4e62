// A P-x(CO2) diagram at 600 C on a dataset whose name selects the
// Pitzer-Sterner fluid equations, by the real program: the linearised
// thermodynamics a, b, c of every reaction and its sdP at the uncertainty
// point, against values worked here with exact fluid volumes. The test
// solves the Pitzer-Sterner volumes itself, by bisection to the limit of the
// arithmetic, builds G of H2O and CO2 in the mixed fluid from them (RT ln f
// and the H2O-CO2 mixing term, which is linear in the volumes) and takes
// central differences. Volumes found only to 0.001 cm3/mol made G of the
// mixed fluid jump between neighbouring points, and the program's forward
// differences turned the jumps into errors of whole percents in b and c.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "models/kpcalc1.h"
#include "models/kpcalc1_support.h"
#include "solver/solver_support.h"
#include "support/vt_numeric.h"
#include "support/vt_program.h"

namespace fs = std::filesystem;
using namespace KPGLOBAL;

namespace {

using ld = long double;
constexpr ld Rgas = 0.0083144L;

using gemtest::sppressure;

// ln f at V (cm3/mol), written out from the equation of state.
ld lnf(const KPCALC1::spcoeffs& c, ld T, ld P, ld V) {
  const ld r = 1 / V;
  const ld D = c[2] + c[3] * r + c[4] * r * r + c[5] * r * r * r + c[6] * r * r * r * r;
  return std::log(r) + c[1] * r + (1 / D - 1 / c[2]) - (c[7] / c[8]) * (std::exp(-c[8] * r) - 1) -
         (c[9] / c[10]) * (std::exp(-c[10] * r) - 1) + P / (83.144L * T * r) + std::log(83.144L * T) - 1;
}

// Volume (kJ/kbar) and RT ln f (kJ) at P (kbar) and T (K) where the
// equation has one root (600 C is above both critical temperatures):
// bisection on [3, V0] until the interval cannot shrink.
struct fluid {
  ld V, RTlnf;
};
fluid solve(const KPCALC1::sptable& tab, ld P, ld T, ld V0) {
  const KPCALC1::spcoeffs c = KPCALC1::SPCOEFFS(tab, T);
  ld lo = 3, hi = V0;
  EXPECT_GT(sppressure(c, T, lo) - 1000 * P, 0);
  EXPECT_LT(sppressure(c, T, hi) - 1000 * P, 0);
  for (int k = 0; k < 300; ++k) {
    const ld mid = (lo + hi) / 2;
    if (mid <= lo || mid >= hi) break;
    (sppressure(c, T, mid) > 1000 * P ? lo : hi) = mid;
  }
  const ld V = (lo + hi) / 2;
  return {V / 10, Rgas * T * lnf(c, T, 1000 * P, V)};
}

class FluidPitzerE2E : public solvertest::SolverTest {
 protected:
  std::map<std::string, int> pos;

  // G (kJ) of an end-member at P, T in a fluid of x(CO2) = x: GEM for the
  // solids; for H2O and CO2 their data-row part from GEM under a name with
  // no fluid term, plus RT ln f and the mixing term from exact volumes.
  ld G(const std::string& name, ld P, ld T, ld x) {
    const int k = pos.at(name);
    extended g = 0;
    if (name != "H2O" && name != "CO2") {
      KPCALC1::GEM(static_cast<smallint>(k), P, T, g);
      return g;
    }
    const sstring keep = NAME[k];
    NAME[k] = "fluidrow";
    KPCALC1::GEM(static_cast<smallint>(k), P, T, g);
    NAME[k] = keep;
    const fluid w = solve(KPCALC1::SPH2O, P, T, 20 + 8.3144L * T / P);
    const fluid c = solve(KPCALC1::SPCO2, P, T, 60 + 8.3144L * T / P);
    const ld V1 = w.V, V2 = c.V;
    const ld W = 10.5L * (V1 + V2) / (V1 * V2);
    const ld den = V2 * x + V1 * (1 - x);
    if (name == "H2O") return g + w.RTlnf + 2 * W * x * x * V2 * V2 * V1 / (den * den * (V1 + V2));
    return g + c.RTlnf + 2 * W * (1 - x) * (1 - x) * V2 * V1 * V1 / (den * den * (V1 + V2));
  }
  // Delta G of a reaction (coefficient, name) and its ln K in the fluid.
  ld dG(const std::vector<std::pair<int, std::string>>& r, ld P, ld T, ld x) {
    ld s = 0;
    for (const auto& [nu, name] : r) s += nu * G(name, P, T, x);
    return s;
  }
  static ld lnK(const std::vector<std::pair<int, std::string>>& r, ld x) {
    ld s = 0;
    for (const auto& [nu, name] : r) {
      if (name == "CO2") s += nu * std::log(x);
      if (name == "H2O") s += nu * std::log(1 - x);
    }
    return s;
  }
};

}  // namespace

TEST_F(FluidPitzerE2E, MixedFluidThermodynamicsAndUncertainties) {
  fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "diagram" / "vt-ds3x.txt", *dir / "vt-ds4x.txt",
                fs::copy_options::overwrite_existing);
  std::ofstream(*dir / "vt-prefs.txt") << "calcmode 3\ndsfile 4x\nscriptfile px\n";
  std::ofstream(*dir / "vt-pure.txt") << "cc\ndol\nq\nwo\ntr\ndi\nCO2\nH2O\n*\n";
  std::ofstream(*dir / "vt-px.txt") << "axfile pure\nwith cc dol q wo tr di CO2 H2O\ncalctype 3\n"
                                       "diagramPT 0.1 12 300 900\nfluidexcess yes\ninexcess yes\ndoallr yes\nautoexit\n";
  std::ofstream(*dir / "answers.txt") << "0.1 10 0.1 0.9\n600\n";
  const int rc = vtest::runprogram(dir->path());
  ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << vtest::readfile(*dir / "screen.txt");
  const std::string out = vtest::readfile(*dir / "vt-px-o.txt");
  ASSERT_NE(out.find("\nlinearised at T = 600, P = 5.1, x(CO2) = 0.500\n"), std::string::npos) << out;

  // The reactions, their thermodynamics rows and their table rows.
  std::vector<std::vector<std::pair<int, std::string>>> reactions;
  std::vector<std::vector<std::string>> thermo, rows;
  std::vector<ld> xs;
  {
    std::istringstream in(out);
    int stage = 0;
    for (std::string l; std::getline(in, l);) {
      const std::vector<std::string> w = vtest::words(l);
      if (w.empty()) continue;
      if (l.find(")  ") != std::string::npos && l.find(" = ") != std::string::npos && stage == 0) {
        std::vector<std::pair<int, std::string>> r;
        int sign = -1;
        for (std::size_t i = 1; i < w.size(); ++i) {
          if (w[i] == "=") sign = 1;
          if (w[i] == "=" || w[i] == "+") continue;
          std::size_t k = 0;
          while (std::isdigit(static_cast<unsigned char>(w[i][k]))) ++k;
          r.push_back({sign * (k > 0 ? std::stoi(w[i].substr(0, k)) : 1), w[i].substr(k)});
        }
        reactions.push_back(r);
      } else if (w.back() == "sd(ln_K)") {
        stage = 1;
      } else if (stage == 1 && w.size() == 7 && std::isdigit(static_cast<unsigned char>(l[0]))) {
        thermo.push_back(w);
      } else if (w[0] == "x(CO2)") {
        stage = 2;
        for (std::size_t i = 1; i + 1 < w.size(); ++i) xs.push_back(std::stold(w[i]));
      } else if (stage == 2 && std::isdigit(static_cast<unsigned char>(l[0]))) {
        rows.push_back(w);
      }
    }
  }
  ASSERT_EQ(reactions.size(), 6u);
  ASSERT_EQ(thermo.size(), 6u);
  ASSERT_EQ(rows.size(), 6u);
  ASSERT_EQ(xs.size(), 11u);
  EXPECT_NE(out.find("\n6)  5dol + 11q + H2O = 3wo + tr + 10CO2\n"), std::string::npos);

  const std::vector<std::string> names = {"cc", "dol", "q", "wo", "tr", "di", "CO2", "H2O"};
  IO::CONTROLIO.dsfile = "4x";
  KPREAD1::READTHERMO(1);
  NCV = static_cast<smallint>(names.size());
  for (int k = 1; k <= NCV; ++k) NAME[k] = names[static_cast<std::size_t>(k - 1)], pos[names[k - 1]] = k;
  KPREAD1::READTHERMO(2);
  KPREAD1::READTHERMO(3);
  ASSERT_TRUE(USESP);

  // a, b, c at the linearisation point (P = 5.05, the middle of the
  // window, 600 C, x(CO2) = 0.5), with the program's forward steps of
  // 1e-5 kbar and 0.001 K; central differences of the exact G agree with
  // them to the steps' truncation (below 2e-5 in c, 2e-6 in b).
  const ld P0 = 5.05L, T0 = 873.15L, x0 = 0.5L;
  for (std::size_t i = 0; i < 6; ++i) {
    const auto& r = reactions[i];
    const ld g = dG(r, P0, T0, x0);
    const ld b = (dG(r, P0, T0 + 1e-3L, x0) - g) / 1e-3L;
    const ld c = (dG(r, P0 + 1e-5L, T0, x0) - g) / 1e-5L;
    const ld a = g - T0 * b - P0 * c;
    EXPECT_NEAR(b, (dG(r, P0, T0 + 0.01L, x0) - dG(r, P0, T0 - 0.01L, x0)) / 0.02L, 2e-6L);
    EXPECT_NEAR(c, (dG(r, P0 + 1e-3L, T0, x0) - dG(r, P0 - 1e-3L, T0, x0)) / 2e-3L, 2e-5L);
    EXPECT_NEAR(std::stold(thermo[i][1]), a, 0.0005L + 1e-6L) << "a of reaction " << i + 1;
    EXPECT_NEAR(std::stold(thermo[i][3]), b, 5e-7L + 1e-9L) << "b of reaction " << i + 1;
    EXPECT_NEAR(std::stold(thermo[i][4]), c, 5e-6L + 1e-8L) << "c of reaction " << i + 1;
    EXPECT_NEAR(std::stold(thermo[i][5]), lnK(r, x0), 0.0005L) << "ln K of reaction " << i + 1;
  }

  // sdP at the uncertainty point, the x(CO2) the table names (a list point
  // between the fifth and sixth printed columns): the pressure where
  // delta G + R T ln K = 0, bisected between those columns' cells, and
  // sdP = sqrt(nu COV nu) / |d(delta G)/dP| (ln K has no uncertainty).
  const std::string near = vtest::lineof(out, "uncertainties at or near x(CO2) = ");
  ASSERT_FALSE(near.empty());
  const ld x = std::stold(near.substr(near.rfind(' ') + 1));
  ASSERT_GT(x, xs[4]);
  ASSERT_LT(x, xs[5]);
  for (std::size_t i = 0; i < 6; ++i) {
    const auto& r = reactions[i];
    ASSERT_EQ(rows[i].size(), xs.size() + 2) << "reaction " << i + 1;
    const auto mu = [&](ld P) { return dG(r, P, T0, x) + Rgas * T0 * lnK(r, x); };
    const ld c1 = std::stold(rows[i][5]), c2 = std::stold(rows[i][6]);
    ld lo = std::fmin(c1, c2) - 0.01L, hi = std::fmax(c1, c2) + 0.01L;
    ASSERT_LT(mu(lo) * mu(hi), 0) << "reaction " << i + 1;
    for (int k = 0; k < 60; ++k) {
      const ld m = (lo + hi) / 2;
      ((mu(lo) < 0) == (mu(m) < 0) ? lo : hi) = m;
    }
    const ld P = (lo + hi) / 2;
    const ld dV = (mu(P + 1e-5L) - mu(P)) / 1e-5L;
    ld var = 0;
    for (const auto& [n1, a1] : r)
      for (const auto& [n2, a2] : r) var += n1 * n2 * (*COV)(pos.at(a1), pos.at(a2));
    EXPECT_NEAR(std::stold(rows[i].back()), std::sqrt(var) / std::fabs(dV), 0.005L + 1e-6L)
        << "sdP of reaction " << i + 1;
  }
}

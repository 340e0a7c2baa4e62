// The fixture of the x(CO2) diagram tests: a run of the real program on
// the example dataset, delta mu of a reaction from the same dataset's
// end-members, the invariant point solved from two reactions, and a line
// followed independently of the program (by bisection, step by step).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
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
  // The results file of a T-x(CO2) run at 2 kbar (or, with calctype 3, a
  // P-x(CO2) run at fixed C) on the phases given, with the T (or P) and
  // x(CO2) window typed.
  std::string run(const std::string& phases, const std::string& window, bool allreactions,
                  const std::string& fixed = "2", int calctype = 2) {
    const fs::path ex = fs::path(VT_SOURCE_DIR) / "examples" / "diagram";
    fs::copy_file(ex / "vt-ds3x.txt", *dir / "vt-ds3x.txt", fs::copy_options::overwrite_existing);
    std::string list;
    for (char c : phases + " CO2 H2O") list += c == ' ' ? '\n' : c;
    std::ofstream(*dir / "vt-pure.txt") << list << "\n*\n";
    std::ofstream(*dir / "vt-prefs.txt") << "calcmode 3\ndsfile 3x\nscriptfile tx\n";
    std::ofstream(*dir / "vt-tx.txt") << "axfile pure\nwith " << phases
                                      << " CO2 H2O\ncalctype " << calctype
                                      << "\ndiagramPT 0.1 10 300 1000\nfluidexcess yes\n"
                                         "inexcess yes\n"
                                      << (allreactions ? "doallr yes\n" : "doschreinemakers yes\n") << "autoexit\n";
    std::ofstream(*dir / "answers.txt") << window << "\n" << fixed << "\n";
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
  // delta G + R T ln K of r at P (kbar), T and x(CO2): the end-members' G
  // with the fluid's composition, and the mole fractions of H2O and CO2.
  double P = 2;
  double dmu(const reaction& r, double T, double x) {
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
  // The point (T in C, x) where both reactions are at equilibrium, from a
  // start near it. With a fixed T (C) given, the point is (P in kbar, x).
  std::pair<double, double> solve(const reaction& r1, const reaction& r2, double v, double x,
                                  double fixedT = 0) {
    const bool pvar = fixedT != 0;
    const auto f = [&](const reaction& r, double u, double xx) {
      if (!pvar) return dmu(r, u, xx);
      P = u;
      return dmu(r, fixedT + 273.15, xx);
    };
    if (!pvar) v += 273.15;
    const double h = pvar ? 1e-5 : 1e-3;
    for (int it = 0; it < 40; ++it) {
      const double f1 = f(r1, v, x), f2 = f(r2, v, x);
      const double dx = 1e-7 * std::fmin(x, 1 - x);
      const double a = (f(r1, v + h, x) - f(r1, v - h, x)) / (2 * h);
      const double b = (f(r1, v, x + dx) - f(r1, v, x - dx)) / (2 * dx);
      const double c = (f(r2, v + h, x) - f(r2, v - h, x)) / (2 * h);
      const double d = (f(r2, v, x + dx) - f(r2, v, x - dx)) / (2 * dx);
      const double det = a * d - b * c;
      v -= (d * f1 - b * f2) / det;
      x -= (a * f2 - c * f1) / det;
      x = std::fmin(std::fmax(x, 1e-9), 1 - 1e-9);
    }
    return {pvar ? v : v - 273.15, x};
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
  // P (kbar) of r at x(CO2) and T (K) by bisection in lo..hi (one crossing there).
  double pline(const reaction& r, double T, double x, double lo, double hi) {
    return bisect(
        [&](double p) {
          P = p;
          return dmu(r, T, x);
        },
        lo, hi);
  }
  // dx / (T(x + dx) - T(x)) of r: the slope a table row prints.
  double secant(const reaction& r, double x, double dx) { return dx / (tline(r, x + dx) - tline(r, x)); }
  // The root of f between a and b, where f changes sign, by n halvings.
  template <class F>
  static double bisect(F f, double a, double b, int n = 50) {
    const bool fa = f(a) > 0;
    for (int k = 0; k < n; ++k) ((f((a + b) / 2) > 0) == fa ? a : b) = (a + b) / 2;
    return (a + b) / 2;
  }
  // The line of r followed along its branch from y0 at x0 to x0 + dx in 400
  // small steps in x: y is T (K) at the fixture's P, or with a fixed T (K)
  // given, P (kbar). At each step the root nearest the value straight on
  // from the last two, bracketed by a search outwards from it and bisected,
  // so that a kink of delta mu (H2O at 673 K) does not throw it off. NaN
  // where no root lies within 50 K (0.5 kbar) of it.
  double along(const reaction& r, double x0, double y0, double dx, double fixedT = 0) {
    const auto f = [&](double y, double x) {
      if (fixedT == 0) return dmu(r, y, x);
      P = y;
      return dmu(r, fixedT, x);
    };
    const double w0 = fixedT == 0 ? 0.01 : 0.0001;
    double y = y0, yprev = y0;
    int gap = 0;
    const IO::RunEnded end = vtest::endof([&] {
      for (int i = 1; i <= 400 && !std::isnan(y); ++i) {
        const double x = x0 + dx * i / 400, g = 2 * y - yprev;
        // A bracket about a jump of delta mu (as at the H2O saturation
        // pressure) bisects to no root: the search goes on outwards.
        double root = NAN;
        for (double w = w0, last = 0; w < 5000 * w0 && std::isnan(root); last = w, w *= 1.3)
          for (const double sgn : {-1.0, 1.0}) {
            const double a = g + sgn * last, b = g + sgn * w;
            if (!std::isnan(root) || b <= 0) continue;  // P and T above 0
            const auto fx = [&](double yy) { return f(yy, x); };
            if ((fx(a) > 0) == (fx(b) > 0)) continue;
            const double c = bisect(fx, a, b);
            if (std::fabs(fx(c)) < 1e-7) root = c;
          }
        // No root at all where the line jogs across such a jump: on as
        // straight, for at most 4 steps (dx / 100).
        if (std::isnan(root) && ++gap <= 4) root = g;
        if (!std::isnan(root) && root != g) gap = 0;
        yprev = y;
        y = root;
      }
    });
    return end.message.empty() ? y : NAN;
  }
  // Whether slope, printed to 3 digits, lies between the secants dx /
  // (y(x + dx) - y(x)) of r along its branch from the solved point (x0, y0)
  // and from the ends of the rounding interval of the run's point's x,
  // printed xp, where the line has a value there (y and fixedT as for
  // along).
  bool betweensecants(double slope, const reaction& r, double x0, double y0, double xp, double dx,
                      double fixedT = 0) {
    double lo = 1e300, hi = -1e300;
    for (double xs : {x0, xp - halfunit(xp), xp + halfunit(xp)}) {
      const double y = xs == x0 ? y0 : along(r, x0, y0, xs - x0, fixedT), v = dx / (along(r, xs, y, dx, fixedT) - y);
      if (!std::isnan(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
    const double half = halfunit(std::fabs(slope));
    return lo - half <= slope && slope <= hi + half;
  }
  // The columns after the reaction (its label, sides and slope) of the row
  // of table t that holds row.
  static std::string columns(const std::string& t, const std::string& row) {
    const auto at = t.find(row);
    if (at == std::string::npos) {
      ADD_FAILURE() << row << "\n" << t;
      return std::string(46, ' ') + "0";
    }
    const auto a = t.rfind('\n', at) + 1;
    return t.substr(a + 50, t.find('\n', at) - a - 50);
  }
  static double rowslope(const std::string& t, const std::string& row) {
    return std::stod(columns(t, row).substr(36));
  }
  // The rows of the table of the stable point of set, from the header line
  // to the coordinates line.
  static std::string table(const std::string& out, const std::string& set) {
    for (auto a = out.find("# stable intersection "); a != std::string::npos;
         a = out.find("# stable intersection ", a + 1)) {
      const auto b = out.find("\n", a) + 1;
      if (out.substr(a, b - a).find(" involving " + set + " + (") != std::string::npos)
        return out.substr(b, out.find("\n\n", b) - b);
    }
    return "";
  }
  // Half a unit of the last digit of x(CO2) printed with 3 significant digits.
  static double halfunit(double x) { return 0.5 * std::pow(10.0, std::floor(std::log10(x)) - 2); }
  // The stable points of the report: the end-member set after "involving"
  // and the printed T (C) or P (kbar) and x(CO2).
  struct point {
    std::string set;
    double T, x;
  };
  static std::vector<point> stablepoints(const std::string& out) {
    std::vector<point> v;
    for (auto a = out.find("# stable intersection "); a != std::string::npos;
         a = out.find("# stable intersection ", a + 1)) {
      const auto s = out.find("involving ", a) + 10;
      const auto t = std::min(out.find("\nT = ", a), out.find("\nP = ", a)) + 5;
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
const reaction ccgr{{-2, "cc"}, {-1, "q"}, {-1, "an"}, {1, "gr"}, {2, "CO2"}};               // 2cc + q + an = gr + 2CO2
const reaction zogr{{-1, "q"}, {-4, "zo"}, {5, "an"}, {1, "gr"}, {2, "H2O"}};                // q + 4zo = 5an + gr + 2H2O
const reaction ccq{{-1, "cc"}, {-1, "q"}, {1, "wo"}, {1, "CO2"}};                           // cc + q = wo + CO2
const reaction ccwo{{-1, "cc"}, {-1, "wo"}, {-1, "an"}, {1, "gr"}, {1, "CO2"}};              // cc + wo + an = gr + CO2
const reaction zoan{{-2, "zo"}, {-1, "CO2"}, {1, "cc"}, {3, "an"}, {1, "H2O"}};              // 2zo + CO2 = cc + 3an + H2O

}  // namespace

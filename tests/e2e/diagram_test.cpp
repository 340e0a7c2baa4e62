// Phase diagrams (calculation mode 3) by the real program on the example in
// examples/diagram and on a T-x(CO2) system, answers on stdin. At every
// tabulated point of every reaction line delta G is recomputed here from the
// end-member Gibbs energies of the same dataset and must vanish to the
// printed digits; the printed uncertainties are checked against
// sqrt(nu COV nu) / |d delta G / dX| at the uncertainty point.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "models/kpcalc1.h"
#include "solver/solver_support.h"
#include "support/vt_program.h"

namespace fs = std::filesystem;
using namespace KPGLOBAL;

namespace {

constexpr double Rgas = 0.0083144;

struct reaction {
  std::vector<std::pair<int, std::string>> terms;  // coefficient, name
};

// One printed table: the x values of its columns and, per reaction, the
// first row's cells and the row's uncertainty cells.
struct table {
  std::vector<double> x;
  std::vector<std::vector<std::string>> cells, sd;
  std::vector<reaction> reactions;
};

std::string trim(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, s.find_last_not_of(' ') - a + 1);
}

class DiagramE2E : public solvertest::SolverTest {
 protected:
  int run(const std::string& folder, const std::string& answers,
          const std::vector<std::pair<std::string, std::string>>& files = {}) {
    if (!folder.empty()) vtest::copyexample(folder, dir->path());
    for (const auto& [name, text] : files) std::ofstream(*dir / name) << text;
    std::ofstream(*dir / "answers.txt") << answers;
    const int rc = vtest::runprogram(dir->path());
    EXPECT_TRUE(WIFEXITED(rc));
    return WEXITSTATUS(rc);
  }
  // The reaction list and the line table of a results file; label is the
  // first word of the column header, w the column width.
  static table parse(const std::string& out, const std::string& label, int w, double xshift) {
    table t;
    std::istringstream in(out);
    std::string l;
    bool head = false;
    while (std::getline(in, l)) {
      if (l.size() > 4 && std::isdigit(static_cast<unsigned char>(l[0])) && l.find(")  ") != std::string::npos &&
          l.find(" = ") != std::string::npos) {
        reaction r;
        std::istringstream ws(l.substr(l.find(")  ") + 3));
        std::string word;
        int sign = -1;
        while (ws >> word) {
          if (word == "=") sign = 1;
          if (word == "=" || word == "+") continue;
          std::size_t k = 0;
          while (k < word.size() && std::isdigit(static_cast<unsigned char>(word[k]))) ++k;
          r.terms.push_back({sign * (k > 0 ? std::stoi(word.substr(0, k)) : 1), word.substr(k)});
        }
        t.reactions.push_back(r);
      } else if (l.rfind(label, 0) == 0) {
        // The label may be wider than its field of 6 ("P(kbar)"), so the
        // header is read by words.
        head = true;
        std::istringstream ws(l.substr(label.size()));
        std::string c;
        while (ws >> c && c.rfind("sd", 0) != 0) t.x.push_back(std::stod(c) + xshift);
      } else if (head && !l.empty() && std::isdigit(static_cast<unsigned char>(l[0]))) {
        std::vector<std::string> c, s;
        for (std::size_t k = 0; k < t.x.size(); ++k) c.push_back(trim(l.substr(6 + k * w, w)));
        for (std::size_t p = 6 + t.x.size() * w; p + w <= l.size(); p += w) s.push_back(trim(l.substr(p, w)));
        t.cells.push_back(c);
        t.sd.push_back(s);
      }
    }
    return t;
  }
  int pos(const std::string& name) const {
    for (int k = 1; k <= NCV; ++k)
      if (trim(NAME[k]) == name) return k;
    ADD_FAILURE() << "no end-member " << name;
    return 1;
  }
  // delta G + R T ln K of a reaction at P, T and x(CO2), from the Gibbs
  // energies of its end-members.
  double dG(const reaction& r, double P, double T, double xco2 = 0) {
    double g = 0;
    for (const auto& [nu, name] : r.terms) {
      const int k = pos(name);
      (*TD)[k].xco2 = xco2;
      (*TD)[k].xh2o = 1 - xco2;
      extended gk = 0;
      KPCALC1::GEM(static_cast<smallint>(k), P, T, gk);
      g += nu * static_cast<double>(gk);
      if (name == "CO2" && xco2 > 0 && xco2 < 1) g += nu * Rgas * T * std::log(xco2);
    }
    return g;
  }
  double varH(const reaction& r) {
    double v = 0;
    for (const auto& [a, na] : r.terms)
      for (const auto& [b, nb] : r.terms) v += a * b * static_cast<double>((*COV)(pos(na), pos(nb)));
    return v;
  }
  static int places(const std::string& c) {
    const auto d = c.find('.');
    return d == std::string::npos ? 0 : static_cast<int>(c.size() - d - 1);
  }
};

}  // namespace

// The example: every reaction among ky, sill, and, q, prl and H2O in the
// window, P at T; at every numeric cell delta G = 0 within the printed
// rounding plus the search tolerance (1e-4 kbar); at 600 C the uncertainties
// are sd(P) = sqrt(nu COV nu) / |dV| and sd(T) = sd(P) |dV / dS|.
TEST_F(DiagramE2E, ExampleLinesHaveZeroDeltaGAndTheirUncertainties) {
  ASSERT_EQ(run("diagram", ""), 0) << vtest::readfile(*dir / "screen.txt");
  const std::string out = vtest::readfile(*dir / "vt-diagram-o.txt");
  EXPECT_NE(out.find("\npressure-temperature calculations (from script)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nno of reactions = 6\n"), std::string::npos);
  EXPECT_NE(out.find("\nPressures for ASH in the range 0.1 <-> 12.0kbar;  (for x(H2O) = 1.0)\n"), std::string::npos);
  readdataset({"ky", "sill", "and", "q", "prl", "H2O"});
  const table t = parse(out, "P(kbar)", 8, 273.15);
  ASSERT_EQ(t.reactions.size(), 6u);
  ASSERT_EQ(t.cells.size(), 6u);
  ASSERT_EQ(t.x.size(), 13u);  // 300, 350, ..., 900 C of 25 values
  int checked = 0;
  for (std::size_t i = 0; i < 6; ++i) {
    const reaction& r = t.reactions[i];
    for (std::size_t j = 0; j < t.x.size(); ++j) {
      const std::string& c = t.cells[i][j];
      if (c == "+" || c == "-" || c.empty()) continue;
      const double P = std::stod(c), T = t.x[j];
      const double dV = (dG(r, P + 1e-4, T) - dG(r, P - 1e-4, T)) / 2e-4;
      EXPECT_LE(std::fabs(dG(r, P, T)), std::fabs(dV) * (0.5 * std::pow(10, -places(c)) + 1e-4))
          << "reaction " << i + 1 << " at " << T << " K: " << c;
      ++checked;
    }
    // The uncertainty point: 600 C, when the line is in the window there.
    const std::string& c = t.cells[i][6];
    ASSERT_NEAR(t.x[6], 873.15, 1e-9);
    if (c == "+" || c == "-") continue;
    // P at 600 C by bisection on delta G, then the derivatives there.
    double a = 0.01, b = 20;
    const double T = 873.15;
    for (int k = 0; k < 100; ++k) {
      const double m = (a + b) / 2;
      ((dG(r, a, T) <= 0) == (dG(r, m, T) <= 0) ? a : b) = m;
    }
    const double P = (a + b) / 2;
    const double dV = (dG(r, P + 1e-4, T) - dG(r, P - 1e-4, T)) / 2e-4;
    const double dS = (dG(r, P, T + 1e-3) - dG(r, P, T - 1e-3)) / 2e-3;
    const double sdP = std::sqrt(varH(r)) / std::fabs(dV);
    ASSERT_EQ(t.sd[i].size(), 2u) << "reaction " << i + 1;
    EXPECT_NEAR(std::stod(t.sd[i][1]), sdP, 0.005 + 1e-6) << "reaction " << i + 1;
    EXPECT_NEAR(std::stod(t.sd[i][0]), sdP * std::fabs(dV / dS), 0.5 + 1e-6) << "reaction " << i + 1;
  }
  EXPECT_GT(checked, 40);
}

// T at P and Schreinemakers mode on the same system: the T cells have
// delta G = 0 to their two decimals; the exclusion line and the count of
// candidate invariant points are printed, and the invariant points follow.
TEST_F(DiagramE2E, TemperatureAtPressureWithPruning) {
  std::string script = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "diagram" / "vt-diagram.txt");
  script.replace(script.find("calctatp no"), 11, "calctatp yes");
  script.replace(script.find("doallr yes"), 10, "doallr no");
  script.replace(script.find("calcP yes 0.1 12"), 16, "calcP yes 0.5 12 0.5");
  ASSERT_EQ(run("diagram", "", {{"vt-diagram.txt", script}}), 0) << vtest::readfile(*dir / "screen.txt");
  const std::string out = vtest::readfile(*dir / "vt-diagram-o.txt");
  EXPECT_NE(out.find("\nno excluded assemblages\n"), std::string::npos) << out;
  EXPECT_NE(out.find(", no of intersections = "), std::string::npos);
  EXPECT_NE(out.find("\n# stable intersection 1 involving ky sill and + (H2O)  or [q,prl]\n"), std::string::npos);
  readdataset({"ky", "sill", "and", "q", "prl", "H2O"});
  const table t = parse(out, "T\xA1" "C", 8, 0);
  ASSERT_FALSE(t.cells.empty());
  int checked = 0;
  for (std::size_t i = 0; i < t.cells.size(); ++i)
    for (std::size_t j = 0; j < t.x.size(); ++j) {
      const std::string& c = t.cells[i][j];
      if (c == "+" || c == "-" || c.empty()) continue;
      const double T = std::stod(c) + 273.15, P = t.x[j];
      const double dS = (dG(t.reactions[i], P, T + 1e-3) - dG(t.reactions[i], P, T - 1e-3)) / 2e-3;
      EXPECT_LE(std::fabs(dG(t.reactions[i], P, T)), std::fabs(dS) * (0.005 + 1e-3)) << c;
      ++checked;
    }
  EXPECT_GT(checked, 20);
}

// T-x(CO2) at 2 kbar on cc, q, wo and a H2O-CO2 fluid: cc + q = wo + CO2 is
// the one reaction, and along its line delta G + R T ln x(CO2) = 0 at every
// tabulated x(CO2) to the printed temperature digits.
TEST_F(DiagramE2E, TxDecarbonationLine) {
  const std::string ds = (fs::path(VT_SOURCE_DIR) / "examples" / "diagram" / "vt-ds3x.txt").string();
  fs::copy_file(ds, *dir / "vt-ds3x.txt", fs::copy_options::overwrite_existing);
  ASSERT_EQ(run("", "400 900 0.05 1\n2\n",
                {{"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile tx\n"},
                 {"vt-pure.txt", "cc\nq\nwo\nCO2\nH2O\n*\n"},
                 {"vt-tx.txt", "axfile pure\nwith cc q wo CO2 H2O\ncalctype 2\ndiagramPT 0.1 10 400 1000\n"
                               "fluidexcess yes\ninexcess yes\ndoallr yes\nautoexit\n"}}),
            0)
      << vtest::readfile(*dir / "screen.txt");
  const std::string out = vtest::readfile(*dir / "vt-tx-o.txt");
  EXPECT_NE(out.find("\n1)  cc + q = wo + CO2\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nTemperatures in the range 400 <-> 900\xA1" "C;  for P = 2.0 kbar\n"), std::string::npos);
  readdataset({"cc", "q", "wo", "CO2"});
  FLUIDTYPE = ftype::ih2oco2;  // the diagram's non-ideal H2O-CO2 fluid
  const table t = parse(out, "x(CO2)", 8, 0);
  ASSERT_EQ(t.cells.size(), 1u);
  ASSERT_EQ(t.x.size(), 11u);
  for (std::size_t j = 0; j < t.x.size(); ++j) {
    const double T = std::stod(t.cells[0][j]) + 273.15, x = t.x[j];
    const reaction& r = t.reactions[0];
    const double dS = (dG(r, 2, T + 1e-3, x) - dG(r, 2, T - 1e-3, x)) / 2e-3;
    EXPECT_LE(std::fabs(dG(r, 2, T, x)), std::fabs(dS) * (0.005 + 1e-3)) << "x(CO2) = " << x;
  }
}

// The other diagram types on the example system, Schreinemakers mode, window
// and fixed condition typed: P-x(CO2) at 500 C, T-log a(H2O) at 5 kbar and
// P-log a(H2O) at 500 C, the base of the logs asked although the script says
// "setloga yes". Each prints its title and table; along the T-log a
// lines delta G + nu(H2O) R T ln 10 log a = 0 to the printed digits.
TEST_F(DiagramE2E, OtherDiagramTypes) {
  std::string base = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "diagram" / "vt-diagram.txt");
  base.replace(base.find("doallr yes"), 10, "doallr no");
  base += "setloga yes\n";
  struct kind {
    const char* code;
    const char* answers;
    const char* title;
    const char* label;
  };
  for (const kind& k : {kind{"3", "1 10 0.1 0.9\n500\n", "pressure-x(CO2) calculations (from script)", "x(CO2)"},
                        kind{"4", "H2O\ny\n300 900 -2 0\n5\n", "temperature-log a calculations (from script)", "log a"},
                        kind{"5", "H2O\ny\n1 10 -2 0\n500\n", "pressure-log a calculations (from script)", "log a"}}) {
    std::string script = base;
    script.replace(script.find("calctype 1"), 10, std::string("calctype ") + k.code);
    ASSERT_EQ(run("diagram", k.answers, {{"vt-diagram.txt", script}}), 0) << vtest::readfile(*dir / "screen.txt");
    const std::string out = vtest::readfile(*dir / "vt-diagram-o.txt");
    EXPECT_NE(out.find(std::string("\n") + k.title + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find(std::string("\n") + k.label + " "), std::string::npos) << out;
    // "setloga yes" in the script does not answer the question of the base.
    const bool asked =
        vtest::readfile(*dir / "screen.txt").find("-log a, are logs to be to the base 10 ? ") != std::string::npos;
    EXPECT_EQ(asked, std::string(k.code) != "3");
    if (std::string(k.code) != "4") continue;
    EXPECT_EQ(out.find("Thermodynamics of reactions"), std::string::npos);
    readdataset({"ky", "sill", "and", "q", "prl", "H2O"});
    const table t = parse(out, "log a", 10, 0);
    int checked = 0;
    for (std::size_t i = 0; i < t.cells.size(); ++i) {
      int nuw = 0;
      for (const auto& [nu, name] : t.reactions[i].terms)
        if (name == "H2O") nuw = nu;
      for (std::size_t j = 0; j < t.x.size(); ++j) {
        const std::string& c = t.cells[i][j];
        if (c == "+" || c == "-" || c.empty()) continue;
        const double T = std::stod(c) + 273.15;
        const auto g = [&](double TT) { return dG(t.reactions[i], 5, TT) + nuw * Rgas * std::log(10.0) * TT * t.x[j]; };
        const double dS = (g(T + 1e-3) - g(T - 1e-3)) / 2e-3;
        EXPECT_LE(std::fabs(g(T)), std::fabs(dS) * (0.005 + 1e-3)) << "reaction " << i + 1 << ": " << c;
        ++checked;
      }
    }
    EXPECT_GT(checked, 30);
  }
}

// A typed session: the script names only the a-x file and the phases; the
// diagram type, fluid, excess phases, windows, interval, fluid composition
// and the all-reactions choice are answered at the prompts, then no more
// runs. The table is the example's, P at T every 50 C.
TEST_F(DiagramE2E, TypedSession) {
  ASSERT_EQ(run("diagram", "1\ny\ny\n\nn\n1 12 300 900\nn\n300 900 50\n1 12\ny\n1\nn\n",
                {{"vt-diagram.txt", "axfile pure\nwith ky sill and q prl H2O\n"}}),
            0)
      << vtest::readfile(*dir / "screen.txt");
  const std::string screen = vtest::readfile(*dir / "screen.txt");
  for (const char* prompt : {"code for type of phase diagram :", "stop, and put info in the scriptfile ? ",
                             "overall PT window: P low,high T low,high (in kbar, \xA1" "C) : ",
                             "calculate T at P (rather than P at T) ? ",
                             "T calcs: between T(low) and T(high), with T increment : ", "P low,high (kbar) : ",
                             "fluid just H2O ? ", "required action:", "more phase diagram calculations ? "})
    EXPECT_NE(screen.find(prompt), std::string::npos) << prompt << "\n" << screen;
  EXPECT_EQ(screen.find("(from script)"), std::string::npos);
  const std::string out = vtest::readfile(*dir / "vt-diagram-o.txt");
  EXPECT_NE(out.find("\npressure-temperature calculations\n"), std::string::npos);
  readdataset({"ky", "sill", "and", "q", "prl", "H2O"});
  const table t = parse(out, "P(kbar)", 8, 273.15);
  ASSERT_EQ(t.x.size(), 13u);
  ASSERT_EQ(t.cells.size(), 6u);
  const double P = std::stod(t.cells[0][6]);  // and = ky at 600 C
  EXPECT_LE(std::fabs(dG(t.reactions[0], P, 873.15)), 0.74 * 6e-4);
}

// Solution phases of the example a-x file taken apart at 8 kbar and 650 C:
// garnet and plagioclase end-members enter with activities below 1 (reported
// in the short table), and along the GASP lines delta G + R T ln K = 0 with
// the printed ln K (3 decimals) at every tabulated point.
TEST_F(DiagramE2E, SolutionEndMembersWithActivities) {
  fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "ax" / "vt-simple.txt", *dir / "vt-simple.txt",
                fs::copy_options::overwrite_existing);
  ASSERT_EQ(run("diagram", "",
                {{"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile gasp\n"},
                 {"vt-gasp.txt", "axfile simple\nwith g pl q ky sill and\ncalctype 1\ndiagramPT 1 15 400 900\n"
                                 "calcT yes 400 900 50\ncalcP yes 1 15\ncalctatp no\nptforaxe yes 8 650\n"
                                 "fluidpresent no\ninexcess yes\ndoallr yes\nautoexit\n"}}),
            0)
      << vtest::readfile(*dir / "screen.txt");
  const std::string out = vtest::readfile(*dir / "vt-gasp-o.txt");
  EXPECT_NE(out.find("\nUnit activities except :\n     name        a sd(ln a)\n       gr  0.00100"), std::string::npos)
      << out;
  EXPECT_NE(out.find("\n4)  gr + q + 2ky = 3an\n"), std::string::npos);
  readdataset({"gr", "an", "q", "ky", "sill", "and"});
  const table t = parse(out, "P(kbar)", 8, 273.15);
  ASSERT_EQ(t.cells.size(), 6u);
  int checked = 0;
  for (std::size_t i = 3; i < 6; ++i) {
    // ln K of the reaction from its thermodynamics row.
    const std::string row = "\n" + std::to_string(i + 1) + "   ";
    std::istringstream in(out.substr(out.find(row) + 1));
    double n, a, sda, b, c, lnk;
    in >> n >> a >> sda >> b >> c >> lnk;
    for (std::size_t j = 0; j < t.x.size(); ++j) {
      const std::string& cc = t.cells[i][j];
      if (cc == "+" || cc == "-" || cc.empty()) continue;
      const double P = std::stod(cc), T = t.x[j];
      const auto g = [&](double PP) { return dG(t.reactions[i], PP, T) + Rgas * T * lnk; };
      const double dV = (g(P + 1e-4) - g(P - 1e-4)) / 2e-4;
      EXPECT_LE(std::fabs(g(P)), std::fabs(dV) * (0.5 * std::pow(10, -places(cc)) + 1e-4) + Rgas * T * 5e-4)
          << "reaction " << i + 1 << " at " << T << " K: " << cc;
      ++checked;
    }
  }
  EXPECT_GT(checked, 10);
}

// One session of two runs on one script, the diagram type asked each time:
// a T-log a(q) run, "more", then a P-T run. The P-T run is the same as in a
// session of its own, line by line apart from the time stamp: q is not put
// in excess, the reaction thermodynamics are printed and the reactions keep
// their numbers. With H2O as the earlier axis the fluid is still asked.
TEST_F(DiagramE2E, SecondRunOfASessionIsAFreshRun) {
  const std::string script = vtest::droplines(
      vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "diagram" / "vt-diagram.txt"), {"calctype", "autoexit"});
  const std::string pt = "1\nn\n";
  ASSERT_EQ(run("diagram", pt, {{"vt-diagram.txt", script}}), 0) << vtest::readfile(*dir / "screen.txt");
  const auto fresh = vtest::runsof(vtest::readfile(*dir / "vt-diagram-o.txt"));
  ASSERT_EQ(fresh.size(), 1u);
  ASSERT_EQ(run("diagram", "4\nq\ny\n300 900 -2 0\n5\n\ny\n" + pt, {{"vt-diagram.txt", script}}), 0)
      << vtest::readfile(*dir / "screen.txt");
  const std::string out = vtest::readfile(*dir / "vt-diagram-o.txt");
  const auto runs = vtest::runsof(out);
  ASSERT_EQ(runs.size(), 2u) << out;
  EXPECT_NE(out.find("\ntemperature-log a calculations\n"), std::string::npos) << out;
  EXPECT_EQ(runs[1], fresh[0]) << out;

  // An H2O axis first: the P-T run without a script fluid asks "fluid just H2O".
  const std::string nofluid = vtest::droplines(script, {"setfluid"});
  ASSERT_EQ(run("diagram", "5\nH2O\ny\n1 10 -2 0\n500\ny\n1\ny\nn\n", {{"vt-diagram.txt", nofluid}}), 0)
      << vtest::readfile(*dir / "screen.txt");
  const std::string screen = vtest::readfile(*dir / "screen.txt");
  EXPECT_NE(screen.find("pressure-temperature calculations"), std::string::npos) << screen;
  EXPECT_NE(screen.find("fluid just H2O ? "), std::string::npos) << screen;
}

// Two identical P-T runs with Schreinemakers pruning in one session. The
// first run excludes coe, which after H2O is put in excess has the number
// that H2O has before it (a-x order q H2O coe ...): the second run must still
// find H2O, put it in excess and give the first run's output line by line
// (the time stamp apart), as a session of its own does.
TEST_F(DiagramE2E, SecondRunAfterSchreinemakersPruningIsAFreshRun) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"vt-pure.txt", "q\nH2O\ncoe\nky\nsill\nand\nprl\n*\n"},
      {"vt-diagram.txt",
       "axfile pure\nwith q H2O coe ky sill and prl\ncalctype 1\ndiagramPT 0.1 12 300 900\n"
       "calcT yes 300 900 25\ncalcP yes 0.1 12\ncalctatp no\nfluidpresent yes\nfluidexcess yes\n"
       "inexcess yes\nsetfluid yes 0 1\ndoschreinemakers yes\n"}};
  ASSERT_EQ(run("diagram", "n\n", files), 0) << vtest::readfile(*dir / "screen.txt");
  const auto fresh = vtest::runsof(vtest::readfile(*dir / "vt-diagram-o.txt"));
  ASSERT_EQ(fresh.size(), 1u);
  const std::string one = vtest::readfile(*dir / "vt-diagram-o.txt");
  EXPECT_NE(one.find("excluded assemblages | coe |"), std::string::npos) << one;
  EXPECT_NE(one.find("\nin excess : H2O \n"), std::string::npos) << one;
  ASSERT_EQ(run("diagram", "y\nn\n", files), 0) << vtest::readfile(*dir / "screen.txt");
  const std::string out = vtest::readfile(*dir / "vt-diagram-o.txt");
  const auto runs = vtest::runsof(out);
  ASSERT_EQ(runs.size(), 2u) << out;
  EXPECT_EQ(runs[0], fresh[0]) << out;
  EXPECT_EQ(runs[1], fresh[0]) << out;
}

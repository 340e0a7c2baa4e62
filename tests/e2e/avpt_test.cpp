// Average P and T of a rock (calculation mode 2) by the real program, answers
// on stdin: a rock given by end-member activities alone, whose average P at
// each T of a list is checked against a generalised least squares done here
// from the end-member Gibbs energies, the dataset covariance and the printed
// activity uncertainties; average T over a P list; the example run of
// examples/avpt (garnet and plagioclase from their a-x models) from its
// script and as a typed session; and the isr block of the log pasted back
// under "setisr".
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "models/kpcalc1_reactions.h"
#include "solver/solver_support.h"
#include "support/vt_program.h"
#include "support/vt_numeric.h"

namespace fs = std::filesystem;
using namespace KPGLOBAL;

namespace {

using dvec = std::vector<long double>;
using vtest::dmat;
using vtest::inverse;
using vtest::lineof;
using vtest::words;

constexpr long double Rgas = 0.0083144L;

// The lines of text from the first one that starts with start to the end.
std::string from(const std::string& text, const std::string& start) {
  const auto a = text.find(start);
  return a == std::string::npos ? "" : text.substr(a);
}

// The rock of the least-squares check: a metapelite's end-members with
// fixed activities and their uncertainties, no solution phase.
const char* PUREROCK =
    "py   0.012  0.003\nalm  0.39   0.03\ngr   0.0075 0.002\nan   0.46   0.04\nphl  0.088  0.02\n"
    "ann  0.04   0.01\nmu   0.74   0.05\ncel  0.05   0.02\nky\nq\n*\n";

class AvptE2E : public solvertest::SolverTest {
 protected:
  // Runs the program in the test folder with the files of an example
  // folder, extra files and the answers; returns the exit status.
  int run(const std::string& folder, const std::string& answers,
          const std::vector<std::pair<std::string, std::string>>& files = {}) {
    fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "lists" / "vt-ds3x.txt", *dir / "vt-ds3x.txt",
                  fs::copy_options::overwrite_existing);
    if (!folder.empty()) vtest::copyexample(folder, dir->path());
    for (const auto& [name, text] : files) std::ofstream(*dir / name) << text;
    std::ofstream(*dir / "answers.txt") << answers;
    for (const char* f : {"vt-log.txt", "vt-rock-o.txt", "vt-avpt-o.txt"}) fs::remove(*dir / f);
    const int rc = vtest::runprogram(dir->path());
    EXPECT_TRUE(WIFEXITED(rc));
    return WEXITSTATUS(rc);
  }
  std::string file(const std::string& name) { return vtest::readfile(*dir / name); }

  // The isr block of a log: names, then one coefficient row per reaction.
  static std::vector<std::vector<std::string>> isr(const std::string& log) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(log);
    std::string l;
    while (std::getline(in, l))
      if (l.rfind("isr ", 0) == 0) {
        std::vector<std::string> w = words(l);
        w.erase(w.begin());
        rows.push_back(w);
      }
    return rows;
  }

  // Generalised least squares of the single-reaction pressures at T (or
  // temperatures at P when findt): each reaction's root of
  // sum nu G + R T sum nu ln a = 0 by bisection, its slope by central
  // differences, the ln K term at one temperature, the covariance of the roots from the enthalpy covariance
  // and the ln a variances, and the weighted mean with its sd and sigfit.
  struct gls {
    long double av = 0, sd = 0, sigfit = 0;
  };
  gls independent(const std::vector<std::vector<int>>& nu, const dvec& lna, const dvec& varlna, long double x,
                  bool findt, long double lo, long double hi) {
    const std::size_t n = nu.size(), m = lna.size();
    dvec root(n), e(n), f(n);
    for (std::size_t i = 0; i < n; ++i) {
      const auto g = [&](long double y) {
        const long double P = findt ? x : y, T = findt ? y : x;
        long double s = 0;
        for (std::size_t j = 0; j < m; ++j) {
          if (nu[i][j] == 0) continue;
          extended G = 0;
          KPCALC1::GEMDRIVER(static_cast<smallint>(j + 1), G, P, T);
          s += nu[i][j] * (G + Rgas * T * lna[j]);
        }
        return s;
      };
      long double a = lo, b = hi;
      EXPECT_LT(g(a) * g(b), 0) << "reaction " << i + 1 << " has no root in the window";
      for (int k = 0; k < 200 && b - a > 1e-12L; ++k) {
        const long double c = 0.5L * (a + b);
        (g(a) * g(c) <= 0 ? b : a) = c;
      }
      root[i] = 0.5L * (a + b);
      const long double h = findt ? 1e-3L : 1e-4L;
      const long double slope = (g(root[i] + h) - g(root[i] - h)) / (2 * h);
      e[i] = -1 / slope;
    }
    // The ln K term is taken at the fixed T, or for average T at the
    // temperature of the last reaction.
    const long double Tf = findt ? root[n - 1] : x;
    for (std::size_t i = 0; i < n; ++i) f[i] = e[i] * Rgas * Tf;
    dmat V(n, dvec(n, 0));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t k = 0; k < n; ++k) {
        long double h = 0, l = 0;
        for (std::size_t j = 0; j < m; ++j) {
          l += nu[i][j] * varlna[j] * nu[k][j];
          for (std::size_t q = 0; q < m; ++q) h += nu[i][j] * (*COV)(j + 1, q + 1) * nu[k][q];
        }
        V[i][k] = e[i] * h * e[k] + f[i] * l * f[k];
      }
    const dmat W = inverse(V);
    long double S = 0, Sx = 0;
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t k = 0; k < n; ++k) S += W[i][k], Sx += W[i][k] * root[k];
    gls r;
    r.av = Sx / S;
    long double chi2 = 0;
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t k = 0; k < n; ++k) chi2 += (root[i] - r.av) * W[i][k] * (root[k] - r.av);
    r.sigfit = std::sqrt(chi2 / static_cast<long double>(n - 1));
    r.sd = 1 / std::sqrt(S) * (r.sigfit > 1 ? r.sigfit : 1);
    return r;
  }

  // The reaction set of a run (from its isr block) and the activities and
  // sd(a)/a of its data table, with the dataset read here for the same
  // end-members.
  void rockdata(const std::string& out, const std::string& log, std::vector<std::vector<int>>& nu, dvec& lna,
                dvec& varlna) {
    const auto rows = isr(log);
    ASSERT_GE(rows.size(), 3u) << log;
    const std::vector<std::string>& names = rows[0];
    for (std::size_t i = 1; i < rows.size(); ++i) {
      std::vector<int> r;
      for (const auto& c : rows[i]) r.push_back(std::stoi(c));
      nu.push_back(r);
    }
    const auto a = words(lineof(out, "a "));
    const auto s = words(lineof(out, "sd(a)/a"));
    ASSERT_EQ(a.size(), names.size() + 1);
    ASSERT_EQ(s.size(), names.size() + 1);
    for (std::size_t j = 0; j < names.size(); ++j) {
      lna.push_back(std::log(std::stold(a[j + 1])));
      const long double r = std::stold(s[j + 1]);
      varlna.push_back(r * r);
    }
    readdataset(names);
  }

  // Runs the pure rock under the rock script given, reads the reaction set
  // and the activities of the run (rockdata), and returns the results file
  // from the summary that starts with heading.
  void purerock(const std::string& script, const std::string& heading, std::vector<std::vector<int>>& nu, dvec& lna,
                dvec& varlna, std::string& summary) {
    ASSERT_EQ(run("", "",
                  {{"vt-prefs.txt", "calcmode 2\ndsfile 3x\nscriptfile rock\n"},
                   {"vt-pure.txt", PUREROCK},
                   {"vt-rock.txt", script}}),
              0)
        << file("screen.txt");
    const std::string out = file("vt-rock-o.txt");
    ASSERT_NO_FATAL_FAILURE(rockdata(out, file("vt-log.txt"), nu, lna, varlna));
    ASSERT_FALSE(HasFailure());
    summary = from(out, heading);
    ASSERT_FALSE(summary.empty()) << out;
  }
};

}  // namespace

// Average P of the pure rock at 500, 600 and 700 C: every printed av P, sd
// and sigfit equals the generalised least squares done here to the printed
// digits; the reactions are those of the isr block.
TEST_F(AvptE2E, AveragePMatchesAnIndependentLeastSquares) {
  std::vector<std::vector<int>> nu;
  dvec lna, varlna;
  std::string summary;
  ASSERT_NO_FATAL_FAILURE(purerock("axfile pure\nwith py alm gr an phl ann mu cel ky q\ncalctype 1\ndataok yes\n"
                                   "diagramPT 1 20 400 900\ncalcP yes 1 20\ncalcT yes 500 700 100\nsetmaxsdp yes 5\n"
                                   "oisr yes\nsetisr no\nautoexit\n",
                                   "Average pressures", nu, lna, varlna, summary));
  const auto T = words(lineof(summary, "T"));
  const auto av = words(lineof(summary, "av P"));
  const auto sd = words(lineof(summary, "sd"));
  const auto fit = words(lineof(summary, "sigfit"));
  ASSERT_EQ(T.size(), 4u) << summary;
  ASSERT_EQ(av.size(), 5u);
  ASSERT_EQ(sd.size(), 4u);
  ASSERT_EQ(fit.size(), 4u);
  for (std::size_t j = 1; j <= 3; ++j) {
    const gls g = independent(nu, lna, varlna, std::stold(T[j]) + 273.15L, false, 1, 20);
    EXPECT_EQ(av[j + 1], IO::REAL2STR(g.av, 2, true)) << "T = " << T[j];
    EXPECT_EQ(sd[j], IO::REAL2STR(g.sd, 3, true)) << "T = " << T[j];
    EXPECT_EQ(fit[j], IO::REAL2STR(g.sigfit, 3, true)) << "T = " << T[j];
  }
}

// Average T of the pure rock at 8, 10 and 12 kbar against the same least
// squares in T; a one-value list gives the one-line summary.
TEST_F(AvptE2E, AverageTOverAPList) {
  const std::string script =
      "axfile pure\nwith py alm gr an phl ann mu cel ky q\ncalctype 2\ndataok yes\ndiagramPT 1 20 400 900\n"
      "calcT yes 400 900\nsetmaxsdt yes 150\noisr yes\nautoexit\nrockname pelite\n";
  std::vector<std::vector<int>> nu;
  dvec lna, varlna;
  std::string summary;
  ASSERT_NO_FATAL_FAILURE(
      purerock(script + "calcP yes 8 12 2\n", "Average temperatures for pelite", nu, lna, varlna, summary));
  const auto P = words(lineof(summary, "P "));
  const auto av = words(lineof(summary, "av T"));
  const auto sd = words(lineof(summary, "sd"));
  ASSERT_EQ(P.size(), 4u) << summary;
  ASSERT_EQ(av.size(), 5u);
  ASSERT_EQ(sd.size(), 4u);
  for (std::size_t j = 1; j <= 3; ++j) {
    const gls g = independent(nu, lna, varlna, std::stold(P[j]), true, 400 + 273.15L, 900 + 273.15L);
    EXPECT_EQ(av[j + 1], IO::REAL2STR(g.av - 273.15L, 1, true)) << "P = " << P[j];
    EXPECT_EQ(sd[j], IO::REAL2STR(g.sd, 1, true)) << "P = " << P[j];
  }
  // One pressure: the single summary line.
  ASSERT_EQ(run("", "", {{"vt-rock.txt", script + "calcP yes 10 10\n"}}), 0) << file("screen.txt");
  const std::string one = file("vt-rock-o.txt");
  EXPECT_NE(one.find("Average temperatures for pelite at P = 10.0 kbar\nFor P = 10.0 kbar, av T = "), std::string::npos)
      << one;
}

// The example run from its script: average P of the metapelite with garnet
// and plagioclase refreshed at each trial pressure, the iteration listing of
// the middle temperature, the diagnostics and the summary; its isr block
// pasted back under "setisr" gives the same averages.
TEST_F(AvptE2E, ExampleScriptAndTheIsrBlockPastedBack) {
  const std::string answers = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "avpt" / "answers.txt");
  ASSERT_EQ(run("avpt", answers), 0)
      << file("screen.txt");
  const std::string out = file("vt-avpt-o.txt");
  EXPECT_NE(out.find("avP iteration at T = 600" + IO::DEGREE + "C \n"), std::string::npos) << out;
  EXPECT_NE(out.find("\naverage P at T = 600" + IO::DEGREE + "C \n"), std::string::npos);
  EXPECT_NE(out.find("|e*| >2.5 suspect?  hat >0.40 influential?"), std::string::npos);
  EXPECT_EQ(out.find("did NOT converge"), std::string::npos);
  const std::string summary = from(out, "Average pressures for pelite\n");
  ASSERT_FALSE(summary.empty()) << out;
  const auto av = words(lineof(summary, "av P"));
  ASSERT_EQ(av.size(), 6u) << summary;  // 550, 600, 650, 700 C
  for (std::size_t j = 2; j < 6; ++j) {
    const double p = std::stod(av[j]);
    EXPECT_GT(p, 4);
    EXPECT_LT(p, 12);
    if (j > 2) {
      EXPECT_GT(p, std::stod(av[j - 1]));  // P rises with T
    }
  }
  const std::string log = file("vt-log.txt");
  const auto rows = isr(log);
  ASSERT_GE(rows.size(), 3u) << log;
  // Paste the block back: the same reactions give the same averages.
  std::string block;
  std::istringstream in(log);
  for (std::string l; std::getline(in, l);)
    if (l.rfind("isr ", 0) == 0) block += l + "\n";
  std::string script = file("vt-avpt.txt");
  script.replace(script.find("setisr no"), 9, "setisr yes\n" + block);
  ASSERT_EQ(run("", answers, {{"vt-avpt.txt", script}}), 0) << file("screen.txt");
  const std::string again = file("vt-avpt-o.txt");
  EXPECT_EQ(from(again, "Average pressures for pelite\n"), summary);
  EXPECT_NE(file("screen.txt").find("using independent set of reactions (from script)"), std::string::npos);
  EXPECT_EQ(isr(file("vt-log.txt")), rows);
}

// Average T of the example with its isr block: the answer is where the
// activities were taken (the last trial of the listing agrees with the
// average to the printed digit), and a start far from it does not lose the
// point.
TEST_F(AvptE2E, AverageTOfTheExampleSettlesAtItsOwnResult) {
  const std::string answers = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "avpt" / "answers.txt");
  ASSERT_EQ(run("avpt", answers), 0) << file("screen.txt");
  std::string block;
  std::istringstream in(file("vt-log.txt"));
  for (std::string l; std::getline(in, l);)
    if (l.rfind("isr ", 0) == 0) block += l + "\n";
  std::string script = file("vt-avpt.txt");
  script.replace(script.find("calctype 1"), 10, "calctype 2");
  script.replace(script.find("calcP yes 1 20"), 14, "calcT yes 400 900");
  script.replace(script.find("setisr no"), 9, "setisr yes\n" + block);
  ASSERT_EQ(run("", "8\n500\n", {{"vt-avpt.txt", script}}), 0) << file("screen.txt");
  const std::string out = file("vt-avpt-o.txt");
  const std::string listing = from(out, "avT iteration at P = 8.0 kbar");
  std::string last;
  std::istringstream lines(listing.substr(0, listing.find("\n\n")));
  for (std::string l; std::getline(lines, l);) last = l;
  const auto trial = words(last);
  ASSERT_GE(trial.size(), 3u) << listing;
  const auto one = words(lineof(out, "For P = 8.0 kbar, av T ="));
  ASSERT_GE(one.size(), 9u) << out;
  EXPECT_NEAR(std::stod(one[8]), std::stod(trial[1]), 0.051) << listing;
  EXPECT_NEAR(std::stod(one[8]), std::stod(trial[2]), 0.051) << listing;
}

// Average T of the example over 4 to 10 kbar: no set of reactions crosses
// the T window at both ends of that range, so the run stops after the data
// reports, with the complete set's message and exit status 1; each end of
// the range alone has a complete set and runs.
TEST_F(AvptE2E, AverageTOverAPListWithoutACommonSet) {
  std::string script = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "avpt" / "vt-avpt.txt");
  script.replace(script.find("calctype 1"), 10, "calctype 2");
  script.replace(script.find("calcP yes 1 20"), 14, "calcT yes 400 900");
  ASSERT_EQ(run("avpt", "4 10 2\n500\n", {{"vt-avpt.txt", script}}), 1) << file("screen.txt");
  const std::string out = file("vt-avpt-o.txt");
  EXPECT_NE(out.find("\nan incomplete set of independent reactions has been generated;\n"
                     "vary the run conditions to try and get a complete set...\n\n"
                     "-- run bombed in avT : incomplete set\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Average temperatures"), std::string::npos) << out;
  for (const char* p : {"4", "10"}) {
    ASSERT_EQ(run("avpt", std::string(p) + " " + p + "\n500\n", {{"vt-avpt.txt", script}}), 0) << file("screen.txt");
    EXPECT_NE(file("vt-avpt-o.txt").find("For P = "), std::string::npos) << "P = " << p;
  }
}

// The same rock typed at every prompt: the phases, the P-T of the
// activities, the overall window, average P over a T list; then, with the
// same data, average T over a P list with annite excluded.
TEST_F(AvptE2E, TypedSessionAveragePThenAverageT) {
  const std::string answers =
      "g pl q ky mu cel phl ann\n8\n600\nn\n1 20 400 900\n"  // phases, P-T of a-x, window
      "1\ny\n550 700 50\n1 20\n5\n"                          // average P: T list, P window, max sd(P)
      "y\n"                                                  // more calculations with these data
      "2\nn\nann\n"                                            // average T; data not ok: exclude ann
      "6 10 2\n450 800\n150\n"                               // P list, T window, max sd(T)
      "n\nn\n";                                              // no more
  ASSERT_EQ(run("avpt", answers, {{"vt-avpt.txt", "axfile rock\n"}}), 0) << file("screen.txt");
  const std::string screen = file("screen.txt");
  for (const char* prompt :
       {"which phases : ", "type of rock calculation: \n       1 : average P\n       2 : average T\ncode : ",
        "these data ok ? ", "names of end-members to be excluded", "T at which average P to be calculated", "P window within which average P expected to lie",
        "max allowed sd(P) : ", "max allowed sd(T) : ", "more calculations with these data ? ",
        "more rock calculations ? "})
    EXPECT_NE(screen.find(prompt), std::string::npos) << prompt;
  const std::string out = file("vt-avpt-o.txt");
  EXPECT_EQ(words(lineof(from(out, "Average pressures"), "av P")).size(), 6u) << out;
  EXPECT_NE(out.find("\n**************************************\n"), std::string::npos);
  const std::string second = from(out, "**************************************");
  EXPECT_EQ(second.find("ann"), std::string::npos) << "annite excluded from the second run";
  const auto avT = words(lineof(from(second, "Average temperatures"), "av T"));
  ASSERT_EQ(avT.size(), 5u) << second;
  EXPECT_NE(avT[3], "?");  // 8 kbar
}

// Two calculations with the same data from the example's script: the second
// shows the activity table, asks "same PT window" (the script's type code
// again) and starts from the rock's own activities, so it repeats the first.
TEST_F(AvptE2E, SecondCalculationStartsFromTheRocksActivities) {
  std::string script = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "avpt" / "vt-avpt.txt");
  script.replace(script.find("autoexit\n"), 9, "");
  ASSERT_EQ(run("avpt", "550 700 50\n5\ny\ny\ny\n5\nn\nn\n", {{"vt-avpt.txt", script}}), 0) << file("screen.txt");
  const std::string screen = file("screen.txt");
  EXPECT_NE(screen.find("same PT window ? "), std::string::npos) << screen;
  EXPECT_EQ(screen.find("type of rock calculation"), std::string::npos);
  const std::string out = file("vt-avpt-o.txt");
  const auto stars = out.find("**************************************");
  ASSERT_NE(stars, std::string::npos) << out;
  const std::string first = from(out.substr(0, stars), "Average pressures for pelite\n");
  const std::string second = from(out.substr(stars), "Average pressures for pelite\n");
  ASSERT_FALSE(first.empty());
  for (const char* row : {"av P", "sd", "sigfit"}) EXPECT_EQ(lineof(second, row), lineof(first, row)) << row;
}

// One session of two rock calculations on the example: the first excludes
// cel ("these data ok" no), the second, after "more rock calculations",
// changes nothing. The second is the same as a calculation of its own, line
// by line apart from the time stamp: cel is back in its activities and
// reactions.
TEST_F(AvptE2E, SecondCalculationOfASessionIsAFreshOne) {
  const std::string script = vtest::droplines(
      vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "avpt" / "vt-avpt.txt"), {"autoexit", "dataok"});
  const std::string plain = "y\n550 700 50\n5\nn\nn\n";
  ASSERT_EQ(run("avpt", plain, {{"vt-avpt.txt", script}}), 0) << file("screen.txt");
  const auto fresh = vtest::runsof(file("vt-avpt-o.txt"));
  ASSERT_EQ(fresh.size(), 1u);
  ASSERT_EQ(run("avpt", "n\ncel\n550 700 50\n5\nn\ny\n" + plain, {{"vt-avpt.txt", script}}), 0)
      << file("screen.txt");
  const std::string out = file("vt-avpt-o.txt");
  const auto runs = vtest::runsof(out);
  ASSERT_EQ(runs.size(), 2u) << out;
  const auto hascel = [](const std::vector<std::string>& lines) {
    for (const auto& l : lines)
      if (l.find("cel") != std::string::npos) return true;
    return false;
  };
  EXPECT_FALSE(hascel(runs[0])) << out;  // the first calculation did exclude it
  EXPECT_EQ(runs[1], fresh[0]) << out;
}

// A fluid-absent answer in one calculation of a session does not carry into
// the next: answered fluid-bearing there, the fluid questions are the mole
// fraction's ("fluid just H2O"), not the activity's, and the average is the
// one a session answered fluid-bearing from the start gives.
TEST_F(AvptE2E, FluidAbsentAnswerDoesNotCarryIntoTheNextCalculation) {
  const std::string rock = std::string(PUREROCK).substr(0, std::string(PUREROCK).size() - 2) + "san 0.8 0.05\nH2O\n*\n";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"vt-prefs.txt", "calcmode 2\ndsfile 3x\nscriptfile avpt\n"},
      {"vt-rock.txt", rock},
      {"vt-avpt.txt",
       "axfile rock\nwith py alm gr an phl ann mu cel san ky q H2O\ncalctype 1\ndiagramPT 1 20 400 900\n"
       "calcP yes 1 20\ncalcT yes 500 700 100\ndataok yes\nmaxsdp 5\n"}};
  ASSERT_EQ(run("", "y\ny\nn\nn\n", files), 0) << file("screen.txt");
  const std::string fresh = from(file("vt-avpt-o.txt"), "av P");
  ASSERT_FALSE(fresh.empty()) << file("vt-avpt-o.txt");
  // Fluid-absent with a(H2O) 0.5 first; then fluid-bearing, pure H2O.
  ASSERT_EQ(run("", "n\n0.5\ny\ny\ny\ny\ny\nn\nn\n", files), 0) << file("screen.txt");
  const std::string out = file("vt-avpt-o.txt"), screen = file("screen.txt");
  const std::string second = from(out, "**************************************");
  EXPECT_EQ(from(second, "av P"), fresh) << out;
  const std::string asked = from(screen, "more calculations with these data");
  EXPECT_NE(asked.find("fluid just H2O"), std::string::npos) << screen;
  EXPECT_EQ(asked.find("fixed a(H2O)"), std::string::npos) << screen;
}

// The least-squares refit (calculation mode 5) run by the real program on
// examples/lsq: the fit gives back the example dataset's enthalpies within
// their fitted uncertainties, with the residual variance worked out by hand;
// the refitted dataset is read by calculation mode 4; the written annotated
// dataset, read again, gives the same fit.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/vt_program.h"
#include "support/vt_state.h"

namespace fs = std::filesystem;

namespace {

struct entry {
  std::string name;
  double h = 0;
  double sd = 0;  // sqrt of the covariance diagonal
};

// Entries of a dataset file in the compact layout: names, H and the square
// roots of the covariance diagonal, in file order.
std::vector<entry> readcompact(const fs::path& p) {
  std::ifstream in(p);
  std::string line;
  std::getline(in, line);
  const int n = std::stoi(line);
  std::getline(in, line);
  std::getline(in, line);
  std::vector<entry> out;
  for (int k = 0; k < n; ++k) {
    entry e;
    std::getline(in, line);
    std::istringstream(line) >> e.name;
    std::getline(in, line);
    std::istringstream(line) >> e.h;
    std::getline(in, line);
    std::getline(in, line);
    out.push_back(e);
  }
  double check = 0;
  in >> check;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      double x = 0;
      in >> x;
      if (i == j) out[static_cast<std::size_t>(i)].sd = std::sqrt(x);
    }
  return out;
}

// Copies the example into dir and runs the program there with answers.txt.
int runexample(const fs::path& dir) {
  vtest::copyexample("lsq", dir);
  return vtest::runprogram(dir);
}

// The lines of a file without its last (trailer) line.
std::string withouttrailer(const std::string& s) {
  const std::size_t end = s.rfind('\n', s.size() - 2);
  return s.substr(0, end);
}

}  // namespace

TEST(LsqdsE2E, FitGivesBackTheExampleDatasetEnthalpies) {
  const vtest::tempfolder dir("vt-e2e-lsqds-");
  const int rc = runexample(dir.path());
  ASSERT_TRUE(WIFEXITED(rc));
  ASSERT_EQ(WEXITSTATUS(rc), 0) << vtest::readfile(dir / "screen.txt");
  for (const char* f : {"vt-ds4lsq.txt", "ds-emex-i.txt", "ds-o4lsq.txt", "ds-4lsq.csv", "vt-log.txt"})
    EXPECT_TRUE(fs::exists(dir / f)) << f;

  // Every entry's fitted H against the example dataset's own value. The
  // oxide rows come in pairs with errors +0.2 and -0.2 kJ about the
  // dataset's values, and the brackets lie 10 degrees either side of the
  // dataset's equilibria: the fit gives back every value within its
  // fitted uncertainty.
  std::map<std::string, double> original;
  for (const entry& e : readcompact(fs::path(VT_SOURCE_DIR) / "examples" / "lists" / "vt-ds3x.txt"))
    original[e.name] = e.h;
  const std::vector<entry> fitted = readcompact(dir / "vt-ds4lsq.txt");
  ASSERT_EQ(fitted.size(), 28u);
  for (const entry& e : fitted) {
    ASSERT_TRUE(original.count(e.name)) << e.name;
    EXPECT_LE(std::fabs(e.h - original[e.name]), std::max(e.sd, 0.005)) << e.name;
  }
  const std::string ds = vtest::readfile(dir / "vt-ds4lsq.txt");
  EXPECT_NE(ds.find("vt-ds4lsq.txt produced at "), std::string::npos);
  // The sigfit of the trailer is that of the iterations on the screen.
  const std::size_t sp = ds.find("(sigfit = ");
  ASSERT_NE(sp, std::string::npos);
  std::string sigfit = ds.substr(sp + 10, 6);
  sigfit.erase(0, sigfit.find_first_not_of(' '));
  const std::string screen = vtest::readfile(dir / "screen.txt");
  EXPECT_NE(screen.find("number of iterations  : \n1: " + sigfit + "\n2: " + sigfit + "\n"), std::string::npos)
      << screen;

  // The report: every experiment's fitted reaction enthalpy lies within its
  // bracket interval, and its calculated T lies between its brackets.
  const std::string report = vtest::readfile(dir / "ds-o4lsq.txt");
  std::size_t at = 0;
  int within = 0;
  while ((at = report.find("within bracket", at)) != std::string::npos) ++within, ++at;
  EXPECT_EQ(within, 8) << report;
  EXPECT_EQ(report.find("too "), std::string::npos);
  // Experiment 7, mag = per + CO2 at x(CO2) 0.5: the lower and upper
  // bracket on one line (same P), ln K = ln 0.5, calculated T 779 C.
  EXPECT_NE(report.find("7)  mag = per + CO2   (example)\n\n"
                        "     ln_K     x(CO2)    P(kbar)      T(C)     H(low) H(high)  miss   calc   2sd        "
                        "summary\n"
                        "    -0.69     0.50       2.0      769  789 "),
            std::string::npos)
      << report;

  // The listing of the system: the oxide rows after the entry kept out of
  // the fit (the second entry) show their own entries.
  const std::string log = vtest::readfile(dir / "vt-log.txt");
  EXPECT_NE(log.find(" 10)      -3.92    0.40   coe     q\n 11)       7.18    0.40    ky     q   cor\n"),
            std::string::npos)
      << log;
  // The group of garnet, plagioclase, kyanite and quartz: its frame, its
  // reaction and phases, the calculated position at the bracket's P with
  // the measured compositions held (562 C, between the brackets: no miss),
  // its result block, and in the listing its row with the phases.
  EXPECT_NE(report.find("\n--begin" + std::string(65, '-') + "\n\nunivariant involving gt pl ky q  (example group)\n\n"
                        "   1 reactions:\n"
                        "       py    gr    an    ab    ky     q\n"
                        "        0     1    -3     0     2     1\n\n"
                        "  P(kbar)      T(C)        calc     x(gt)    ca(pl)    miss\n"
                        "    10.0     552  572       562    0.3000    0.5000\n\n"
                        "    8)  gr + 2ky + q = 3an   (example group)\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("uH = 1.49, d/s = 0.9, h = 0.25\n--end" + std::string(67, '-') + "\n"), std::string::npos);
  EXPECT_NE(log.find("    q  ky  gr  =  an                     in:  gt pl ky q   (example group)\n"),
            std::string::npos);
  // The csv: a header row, 28 rows and the closing line.
  std::istringstream csv(vtest::readfile(dir / "ds-4lsq.csv"));
  std::string line;
  int rows = 0;
  std::string last;
  while (std::getline(csv, line)) {
    rows += line.find(", ") != std::string::npos;
    if (!line.empty()) last = line;
  }
  EXPECT_EQ(rows, 29);
  EXPECT_EQ(last.rfind("VESTRAMOND running at ", 0), 0u) << last;

  // The refitted dataset read by calculation mode 4: the entries of
  // SiO2-Al2O3-H2O in file order.
  std::ofstream(dir / "vt-prefs.txt") << "calcmode 4\ndsfile 4lsq\nscriptfile lists\n";
  std::ofstream(dir / "vt-lists.txt") << "autoexit\n";
  std::ofstream(dir / "lists.txt") << "SiO2 Al2O3 H2O\n";
  const int rc4 = vtest::runprogram(dir.path(), "lists.txt", "lists-screen.txt");
  ASSERT_TRUE(WIFEXITED(rc4));
  EXPECT_EQ(WEXITSTATUS(rc4), 0) << vtest::readfile(dir / "lists-screen.txt");
  std::istringstream list(vtest::readfile(dir / "vt-lists-o.txt"));
  std::string names;
  std::getline(list, line);
  std::getline(list, line);
  while (std::getline(list, line)) names += line.substr(0, line.find(' ')) + " ";
  EXPECT_EQ(names, "q cor H2O coe ky sill and dsp prl kao qL ");
}

TEST(LsqdsE2E, WrittenAnnotatedDatasetGivesTheSameFit) {
  const vtest::tempfolder first("vt-e2e-lsqds1-");
  const vtest::tempfolder second("vt-e2e-lsqds2-");
  ASSERT_EQ(WEXITSTATUS(runexample(first.path())), 0);
  fs::copy_file(first / "ds-emex-i.txt", second / "ds-emex.txt");
  // The second run reads the first one's write-back in place of the example's file.
  const fs::path ex = fs::path(VT_SOURCE_DIR) / "examples" / "lsq";
  for (const auto& e : fs::directory_iterator(ex))
    if (e.path().filename() != "ds-emex.txt") fs::copy_file(e.path(), second / e.path().filename());
  const int rc = vtest::runprogram(second.path());
  ASSERT_TRUE(WIFEXITED(rc));
  ASSERT_EQ(WEXITSTATUS(rc), 0) << vtest::readfile(second / "screen.txt");
  // The same refitted dataset (all but the time-stamped trailer) and the
  // same report.
  EXPECT_EQ(withouttrailer(vtest::readfile(second / "vt-ds4lsq.txt")),
            withouttrailer(vtest::readfile(first / "vt-ds4lsq.txt")));
  EXPECT_EQ(vtest::readfile(second / "ds-o4lsq.txt"), vtest::readfile(first / "ds-o4lsq.txt"));
}

namespace {

// Fixed-point text of x with d decimals right-aligned in w characters.
std::string fx(double x, int w, int d) {
  char b[64];
  std::snprintf(b, sizeof b, "%*.*f", w, d, x);
  return b;
}
std::string rj(const std::string& s, std::size_t w) { return s.size() >= w ? s : std::string(w - s.size(), ' ') + s; }

const char* const aabbdataset =
    "5\n% two end-members without heat capacity, expansion or compressibility\n"
    "aa phase a\n  1  1.00   10  2.00   0\n   1   3\n  -1000.00   1.00   1   % calorimetry\n"
    "  0.10000  0.00000   % S\n  2.0000    % V\n  0 0 0 0   % Cp\n  0   % alpha\n  0 0 0   % kappa\n\n"
    "bb phase b\n  1  1.00   10  2.00   0\n   1   3\n  0   100   1   % free\n"
    "  0.11000  0.00000   % S\n  1.9000    % V\n  0 0 0 0   % Cp\n  0   % alpha\n  0 0 0   % kappa\n\n*\n";
const char* const aabbexperiments =
    "% -aa + bb = 10.30 (sd 0.5)\n1 aa bb\n  1 -1   10.30  0.5  298.15\n0\n"
    "1 aa bb\n  -1 1  1\n1  1   test\n0  5.0  650  0\n1  5.0  700  0\n-1\n"
    "1 aa bb\n  -1 1  1\n1  1   one-sided\n0  5.0  650  0\n0  5.0  700  0\n-1\n0\n";
// An ideal two-end-member model (the run reads one a-x file).
const char* const aabbmodel =
    "ab 2\nverbatim\n% ideal mixing of aa and bb\nverbatim\nx(ab)  0.1\np(aa)  1 1  1 1 -1 x\np(bb)  1 1  0 1  1 x\nideal\n2\n"
    "xA 1 1  1 1 -1 x\nxB 1 1  0 1  1 x\naa   1 1 xA 3   check 0\nbb   1 1 xB 3   check 1\n\n*\n";

}  // namespace

// aa (H -1000, sd 1, S 0.1, V 2) and bb (H free, S 0.11, V 1.9), the oxide
// calorimetry -aa + bb = 10.30 (sd 0.5), and aa = bb bracketed at 5 kbar:
// aa stable at 650 C (lower bracket), bb grown at 700 C (upper). Every
// number below is worked out here from the bracket rules and a direct
// weighted least squares, then compared with the report as printed.
TEST(LsqdsE2E, SmallBracketScenarioWorkedByHand) {
  const vtest::tempfolder dir("vt-e2e-aabb-");
  std::ofstream(dir / "ds-prefs.txt") << "calcmode 9\nscriptfile 4ab\nautoexit\nemsuffix ab\nxpsuffix ab\n"
                                         "axsuffix ab\ninfolevel 1\n*\n";
  std::ofstream(dir / "ds-scr4ab.txt") << "*\n";
  std::ofstream(dir / "ds-emab.txt") << aabbdataset;
  std::ofstream(dir / "ds-xpab.txt") << aabbexperiments;
  std::ofstream(dir / "ds-axab.txt") << aabbmodel;
  const std::string cmd = "cd '" + dir.path().string() + "' && echo 1 | '" + VT_BINARY + "' > screen.txt 2>&1";
  const int rc = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  ASSERT_EQ(WEXITSTATUS(rc), 0) << vtest::readfile(dir / "screen.txt");

  // Bracket enthalpies: G = H - T S + V (P - 0.001), so h = T dS - dV (P - 0.001)
  // with dS = 0.01, dV = -0.1; dh/dT = 0.01, dh/dP = 0.1, sd(T) 2.5, sd(P) 0.05.
  const double dS = 0.01, dV = -0.1, P = 5, T1 = 923.15, T2 = 973.15;
  const double h1 = T1 * dS - dV * (P - 0.001), h2 = T2 * dS - dV * (P - 0.001);
  const double sdh = 2 * std::sqrt(std::pow(2.5 * 0.01, 2) + std::pow(0.05 * 0.1, 2));
  auto f = [](double d) { return 0.887 + d * (0.194 + 0.0973 * d); };
  // One pair (same P): gap x, weight w, wsum = 1/w; dmin = min(x, 1.5).
  const double gap = (h2 - h1) / (2 * sdh), w = 0.5 * 2 * sdh * f(gap), wsum = 1 / w;
  // Extremes h1, h2; sbar = sdh; d = gap >= 1.5: case 1 about the middle.
  const double sbar = sdh, d = (h2 - h1) / (2 * sbar), mid = (h1 + h2) / 2;
  const double hlow = mid - f(d) * sbar, hhigh = mid + f(d) * sbar, rowsd = 1 / wsum;
  // Weighted least squares on H(aa), H(bb): rows H(aa) = -1000 (sd 1),
  // H(bb) - H(aa) = 10.30 (sd 0.5), H(bb) - H(aa) = mid (sd rowsd). H(aa)
  // enters only the first row: -1000; the difference is the weighted mean.
  const double q = 1 / (rowsd * rowsd);
  const double diff = (10.30 * 4 + mid * q) / (4 + q);
  const double sig2 = std::pow((diff - 10.30) / 0.5, 2) + std::pow((diff - mid) / rowsd, 2);  // 1 dof
  // (X^T W X)^-1 = [[1, 1], [1, (5 + q)/(4 + q)]]; var(diff) = 1/(4 + q).
  const double sdbb = std::sqrt(sig2 * (5 + q) / (4 + q)), sdch = std::sqrt(sig2 / (4 + q));
  const double hatoxide = 4 / (4 + q), hatexp = q / (4 + q);
  // Calculated T at 5 kbar: dH + dV (P - 0.001) - T dS = 0; sd(T) = sdch / dS.
  const double tcalc = (diff + dV * (P - 0.001)) / dS, sdt = sdch / dS;

  const std::string screen = vtest::readfile(dir / "screen.txt");
  EXPECT_NE(screen.find("\n1: " + fx(std::sqrt(sig2), 0, 3) + "\n"), std::string::npos) << screen;
  EXPECT_NE(screen.find("experiment 2: aa = bb  (one-sided): all brackets on one side; left out of the fit"),
            std::string::npos);
  const std::string o = vtest::readfile(dir / "ds-o4ab.txt");
  EXPECT_NE(o.find("\nbb      " + fx(-1000 + diff, 10, 2) + fx(sdbb, 7, 2) + "  110.00   1.900"), std::string::npos)
      << o;
  EXPECT_NE(o.find("\naa       25     10.3   0.5     10.3" + fx((10.30 - diff) / 0.5, 7, 1) + fx(hatoxide, 7, 2) +
                   "\n"),
            std::string::npos)
      << o;
  // The result block: the pair on one line (lower bracket first: both T and
  // both H), no miss, calc and 2sd (twice the rounded sd), the summary items
  // beside the line and below it.
  const std::string pad(82, ' ');
  const std::string block =
      "\n1)  aa = bb   (test)\n\n"
      "     ln_K     x(CO2)    P(kbar)      T(C)     H(low) H(high)  miss   calc   2sd        summary\n"
      "        0        -       5.0      650  700" + fx(h1, 9, 2) + fx(h2, 8, 2) + std::string(7, ' ') +
      rj(std::to_string(std::lround(tcalc - 273.15)), 7) + rj(std::to_string(2 * std::lround(sdt)), 6) +
      "   1 (" + fx(hlow, 0, 2) + " <-> " + fx(hhigh, 0, 2) + ")  (" + fx(mid, 0, 2) + ", " + fx(1 / wsum, 0, 2) +
      ", " + fx(0.5 * (hhigh - hlow) * wsum, 0, 2) + ")\n" +
      pad + "cH = " + fx(diff, 0, 2) + " (sd  " + fx(sdch, 0, 2) + ") \n" +
      pad + "within bracket\n" +
      pad + "uH = " + fx(sbar, 0, 2) + ", d/s = " + fx(d, 0, 1) + ", h = " + fx(hatexp, 0, 2) + "\n\n"
      "*  aa = bb   (one-sided)\n";
  EXPECT_NE(o.find(block), std::string::npos) << o << "\n---- expected:\n" << block;
  // The numbers of that block, for the record: 680 C with 2sd 22.
  EXPECT_EQ(std::lround(tcalc - 273.15), 680);
  EXPECT_EQ(2 * std::lround(sdt), 22);
  // The refitted dataset: H(bb) and the covariance scaled by sigfit^2.
  const std::vector<entry> fitted = readcompact(dir / "vt-ds4ab.txt");
  ASSERT_EQ(fitted.size(), 2u);
  EXPECT_NEAR(fitted[1].h, -1000 + diff, 0.005);
  EXPECT_NEAR(fitted[1].sd, sdbb, 0.001);
}

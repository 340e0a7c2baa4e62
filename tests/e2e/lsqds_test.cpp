// The least-squares refit (calculation mode 5) run by the real program on
// examples/lsq: the fit gives back the example dataset's enthalpies within
// their fitted uncertainties, with the residual variance worked out by hand;
// the refitted dataset is read by calculation mode 4; the written annotated
// dataset, read again, gives the same fit.
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
  const fs::path ex = fs::path(VT_SOURCE_DIR) / "examples" / "lsq";
  for (const auto& e : fs::directory_iterator(ex)) fs::copy_file(e.path(), dir / e.path().filename());
  const std::string cmd =
      "cd '" + dir.string() + "' && '" + VT_BINARY + "' < answers.txt > screen.txt 2>&1";
  return std::system(cmd.c_str());
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
  ASSERT_EQ(fitted.size(), 27u);
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
  EXPECT_EQ(within, 7) << report;
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
  EXPECT_NE(log.find("  9)      -3.92    0.40   coe     q\n 10)       7.18    0.40    ky     q   cor\n"),
            std::string::npos)
      << log;
  // The csv: a header row, 27 rows and the closing line.
  std::istringstream csv(vtest::readfile(dir / "ds-4lsq.csv"));
  std::string line;
  int rows = 0;
  std::string last;
  while (std::getline(csv, line)) {
    rows += line.find(", ") != std::string::npos;
    if (!line.empty()) last = line;
  }
  EXPECT_EQ(rows, 28);
  EXPECT_EQ(last.rfind("VESTRAMOND running at ", 0), 0u) << last;

  // The refitted dataset read by calculation mode 4: the entries of
  // SiO2-Al2O3-H2O in file order.
  std::ofstream(dir / "vt-prefs.txt") << "calcmode 4\ndsfile 4lsq\nscriptfile lists\n";
  std::ofstream(dir / "vt-lists.txt") << "autoexit\n";
  std::ofstream(dir / "lists.txt") << "SiO2 Al2O3 H2O\n";
  const std::string cmd = "cd '" + dir.path().string() + "' && '" + VT_BINARY + "' < lists.txt > lists-screen.txt 2>&1";
  const int rc4 = std::system(cmd.c_str());
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
  const std::string cmd =
      "cd '" + second.path().string() + "' && '" + VT_BINARY + "' < answers.txt > screen.txt 2>&1";
  const int rc = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  ASSERT_EQ(WEXITSTATUS(rc), 0) << vtest::readfile(second / "screen.txt");
  // The same refitted dataset (all but the time-stamped trailer) and the
  // same report.
  EXPECT_EQ(withouttrailer(vtest::readfile(second / "vt-ds4lsq.txt")),
            withouttrailer(vtest::readfile(first / "vt-ds4lsq.txt")));
  EXPECT_EQ(vtest::readfile(second / "ds-o4lsq.txt"), vtest::readfile(first / "ds-o4lsq.txt"));
}

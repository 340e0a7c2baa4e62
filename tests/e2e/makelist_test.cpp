// The end-member lists (calculation mode 4) run by the real program on the example
// files: the entries listed for SiO2-Al2O3-H2O are exactly those of the dataset whose
// compositions lie in that system, worked out here from the dataset file itself.
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

#include "support/vt_program.h"
#include "support/vt_state.h"

namespace fs = std::filesystem;

namespace {

// One amount as the list shows it: an integer when within 0.01 of one, else one decimal.
std::string amount(double v) {
  char buf[32];
  if (std::fabs(v - std::round(v)) < 0.01)
    std::snprintf(buf, sizeof buf, "%7d", static_cast<int>(std::round(v)));
  else
    std::snprintf(buf, sizeof buf, "%7.1f", v);
  return buf;
}

// The expected list lines: every entry of the four-line dataset whose elements are
// only Si (1), Al (3), H (11) and O (10), with oxygen exactly what SiO2, Al2O3 and
// H2O take (no excess oxygen); amounts SiO2 = Si, Al2O3 = Al/2, H2O = H/2.
std::vector<std::string> expectedlines(const fs::path& dataset) {
  std::ifstream in(dataset);
  std::string line;
  std::getline(in, line);
  int ntp = std::stoi(line);
  std::getline(in, line);
  std::getline(in, line);
  std::vector<std::string> out;
  for (int i = 0; i < ntp; ++i) {
    std::getline(in, line);
    std::istringstream w(line);
    std::string name;
    int nsite = 0, code = 0;
    w >> name >> nsite;
    std::map<int, double> el;
    double x = 0;
    while (w >> code && code != 0) {
      w >> x;
      el[code] += x;
    }
    for (int k = 0; k < 3; ++k) std::getline(in, line);
    bool inside = true;
    for (auto& [c, v] : el) inside = inside && (c == 1 || c == 3 || c == 10 || c == 11);
    double excess = el[10] - 2 * el[1] - 1.5 * el[3] - 0.5 * el[11];
    if (!inside || std::fabs(excess) > 0.001) continue;
    name.resize(std::max<std::size_t>(name.size(), 8), ' ');
    out.push_back(name + amount(el[1]) + amount(el[3] / 2) + amount(el[11] / 2));
  }
  return out;
}

}  // namespace

TEST(MakeListE2E, ListsExactlyTheDatasetEntriesOfTheSystem) {
  const vtest::tempfolder dir("vt-e2e-makelist-");
  const fs::path ex = fs::path(VT_SOURCE_DIR) / "examples" / "lists";
  vtest::copyexample("lists", dir.path());

  const int rc = vtest::runprogram(dir.path());
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(WEXITSTATUS(rc), 0);

  std::string expected = "\n           SiO2  Al2O3    H2O\n";
  std::vector<std::string> lines = expectedlines(ex / "vt-ds3x.txt");
  ASSERT_EQ(lines.size(), 13u);  // q coe ky sill and cor dsp prl kao H2O qL silL h2oL
  for (const std::string& l : lines) expected += l + "\n";
  EXPECT_EQ(vtest::readfile(dir / "vt-lists-o.txt"), expected);

  const std::string screen = vtest::readfile(dir / "screen.txt");
  EXPECT_NE(screen.find("which system? : " + expected), std::string::npos) << screen;
  EXPECT_EQ(screen.find("more lists"), std::string::npos);  // autoexit
  const std::string log = vtest::readfile(dir / "vt-log.txt");
  EXPECT_NE(log.find("which system? : SiO2 Al2O3 H2O\n" + expected), std::string::npos) << log;
  for (const char* name : {"vt-lists-ic.txt", "vt-lists-it.txt", "vt-lists-sk.txt", "vt-lists.csv",
                           "vt-lists2.csv"})
    EXPECT_FALSE(fs::exists(dir / name)) << name;
}

TEST(MakeListE2E, AmountsWithoutACommonSmallDivisorAreListed) {
  // a holds 1/6 SiO2 written with four decimals, b 4 SiO2: a common divisor of the two
  // (10000) does not fit 16-bit integers, yet both lie in SiO2. per lies outside it;
  // c holds 0.0004 MgO, which counts as none.
  const vtest::tempfolder dir("vt-e2e-makelist-");
  auto write = [&](const char* name, const std::string& text) { std::ofstream(dir / name) << text; };
  write("vt-prefs.txt", "calcmode 4\ndsfile 3t\nscriptfile t\n");
  write("vt-t.txt", "autoexit\n");
  write("vt-ds3t.txt",
        "   4\n  \n5\n"
        "       a   1  1   0.1667 10   0.3334  0\n -1 0.01 1\n 0 0 0 0\n 0 0 0 0 0\n"
        "       b   1  1   4.0000 10   8.0000  0\n -1 0.01 1\n 0 0 0 0\n 0 0 0 0 0\n"
        "     per   1  5   1.0000 10   1.0000  0\n -1 0.01 1\n 0 0 0 0\n 0 0 0 0 0\n"
        "       c   1  1   1.0000  5   0.0004 10   2.0004  0\n -1 0.01 1\n 0 0 0 0\n 0 0 0 0 0\n"
        "\n 0 0 0 0 0 0 0 0 0 0 0\n\ndate line of this test (sigfit =  1.000)\n");
  write("answers.txt", "SiO2\n");
  const int rc = vtest::runprogram(dir.path());
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(WEXITSTATUS(rc), 0) << vtest::readfile(dir / "screen.txt");
  EXPECT_EQ(vtest::readfile(dir / "vt-t-o.txt"),
            "\n"
            "           SiO2\n"
            "a           0.2\n"
            "b             4\n"
            "c             1\n");
}

TEST(MakeListE2E, WordsThatNameNoComponentAreSaidAndIgnored) {
  // mgo and "MgO," are not names of the table (case and punctuation count), 20 is no
  // row: the list is the one for SiO2 alone, and the three words are named on the
  // screen and in the log.
  const vtest::tempfolder dir("vt-e2e-makelist-");
  auto write = [&](const char* name, const std::string& text) { std::ofstream(dir / name) << text; };
  write("vt-prefs.txt", "calcmode 4\ndsfile 3t\nscriptfile t\n");
  write("vt-t.txt", "autoexit\n");
  write("vt-ds3t.txt",
        "   2\n  \n5\n"
        "       a   1  1   1.0000 10   2.0000  0\n -1 0.01 1\n 0 0 0 0\n 0 0 0 0 0\n"
        "     per   1  5   1.0000 10   1.0000  0\n -1 0.01 1\n 0 0 0 0\n 0 0 0 0 0\n"
        "\n 0 0 0 0 0 0 0 0 0 0 0\n\ndate line of this test (sigfit =  1.000)\n");
  write("answers.txt", "SiO2 mgo MgO, 20\n");
  const int rc = vtest::runprogram(dir.path());
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(WEXITSTATUS(rc), 0) << vtest::readfile(dir / "screen.txt");
  const std::string said = "ignored (not a component name or number): \"mgo\" \"MgO,\" \"20\"\n";
  EXPECT_NE(vtest::readfile(dir / "screen.txt").find("which system? : " + said + "\n           SiO2\na  "),
            std::string::npos)
      << vtest::readfile(dir / "screen.txt");
  EXPECT_NE(vtest::readfile(dir / "vt-log.txt").find(said), std::string::npos);
  EXPECT_EQ(vtest::readfile(dir / "vt-t-o.txt"), "\n           SiO2\na             1\n");
}

// The table run (calculation mode 0) by the real program on the example files
// in examples/tables, answers on stdin: the output files, the csv table read
// by Python's csv module, solution phases taken apart into end-members of
// activity 1, and the fugacity tables against the fluid equations computed
// here.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "models/kpcalc1.h"
#include "support/vt_program.h"
#include "support/vt_state.h"

namespace fs = std::filesystem;

namespace {

// Copies the example into dir, replaces files given, runs the program with
// the answers file and returns its exit status.
int runexample(const vtest::tempfolder& dir, const std::string& answers,
               const std::vector<std::pair<std::string, std::string>>& files = {}) {
  vtest::copyexample("tables", dir.path());
  for (const auto& [name, text] : files) std::ofstream(dir / name) << text;
  if (!answers.empty()) std::ofstream(dir / "answers.txt") << answers;
  const int rc = vtest::runprogram(dir.path());
  EXPECT_TRUE(WIFEXITED(rc));
  return WEXITSTATUS(rc);
}

}  // namespace

TEST(TablesE2E, ExampleRunWritesEveryOutput) {
  const vtest::tempfolder dir("vt-e2e-tables-");
  EXPECT_EQ(runexample(dir, ""), 0);
  const std::string out = vtest::readfile(dir / "vt-tables-o.txt");
  EXPECT_NE(out.find("\n\nThermodynamic properties (units : kJ, K, kbar)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nky         -2592.97   83.50   4.414  0.2794  -0.7124   -2055.6  -2.2894   1.92    630   1601   "
                     "4.05  -0.0025         \n"),
            std::string::npos);
  EXPECT_NE(out.find("\nG(H2O)\n\n   kbar \xA1" "C       400       500"), std::string::npos);
  EXPECT_NE(out.find("\nno of reactions = 6\n"), std::string::npos);
  EXPECT_NE(out.find("(a, b and c includes fluid fugacities, at P = 8.0 kbar and T = 600\xA1" "C)"), std::string::npos);
  const std::string sk = vtest::readfile(dir / "vt-tables-sk.txt");
  EXPECT_EQ(sk.rfind("\nendmembers = {py, alm, gr, an, ab, H2O, CO2, q, ky, sill, and};\n\n", 0), 0u)
      << sk.substr(0, 80);
  EXPECT_NE(sk.find("(* reaction thermo linearised at P = 8.0 kbar and T = 600\xA1" "C *)\n\n{{   1,"), std::string::npos);
  EXPECT_NE(sk.find("\n\n\n(* reaction thermo for (1) *)\n\n{    6.00,    8.00,   10.00};\n"), std::string::npos);
  const std::string log = vtest::readfile(dir / "vt-log.txt");
  EXPECT_NE(log.find("error matrix for linearisation\nwhich reaction : 1\n"), std::string::npos);

  // The csv table through Python's csv module: a header, one row per
  // end-member whose cells after the name are all numbers, then the trailer.
  if (std::system("python3 -c 'import csv' > /dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  std::ofstream(dir / "check.py") << R"(import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding='mac_roman'), skipinitialspace=True))
head = [c.strip() for c in rows[0]][:-1]
assert head[:4] == ['name', 'nd', 'coeff', 'action'] and len(head) == 27, head
body = []
for r in rows[1:]:
    if not r:
        break
    cells = [c.strip() for c in r]
    assert cells[-1] == '', cells
    cells = cells[:-1]
    assert len(cells) == 27, cells
    [float(c) for c in cells[1:]]
    body.append(cells[0])
print(' '.join(body))
assert rows[-1][0].startswith('VESTRAMOND running at ')
)";
  const std::string cmd = "cd '" + dir.path().string() + "' && python3 check.py vt-tables.csv > csv.txt 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << vtest::readfile(dir / "csv.txt");
  EXPECT_EQ(vtest::readfile(dir / "csv.txt"), "py alm gr an ab H2O CO2 q ky sill and\n");
}

// A typed session: the phases asked for ("omit" one), no to the reactions,
// yes to the fugacity tables: every species on the one grid until a "same PT
// grid" is denied; only H2O reaches the drawing file.
TEST(TablesE2E, TypedSessionWithFugacityTables) {
  const vtest::tempfolder dir("vt-e2e-fug-");
  EXPECT_EQ(runexample(dir, "omit and\n1\n400\nn\ny\n1 5\n500 600\ny\ny\ny\nn\n2\n700\ny\n",
                       {{"vt-tables.txt", "axfile pure\nautoexit\n"}}),
            0);
  const std::string out = vtest::readfile(dir / "vt-tables-o.txt");
  EXPECT_NE(vtest::readfile(dir / "vt-log.txt").find("which phases : omit and\n"), std::string::npos);
  EXPECT_NE(out.find("\nsill  "), std::string::npos);
  EXPECT_EQ(out.find("\nand  "), std::string::npos);
  const std::string h2o = "\nRT ln f(H2O)\n\n   kbar \xA1" "C     500     600\n";
  const std::size_t at = out.find(h2o);
  ASSERT_NE(at, std::string::npos) << out;
  std::istringstream rows(out.substr(at + h2o.size()));
  for (double p : {1.0, 5.0}) {
    std::string line;
    std::getline(rows, line);
    std::istringstream in(line);
    double pp = 0, f1 = 0, f2 = 0;
    in >> pp >> f1 >> f2;
    EXPECT_EQ(pp, p);
    const double T[] = {773.15, 873.15};
    const double f[] = {f1, f2};
    for (int j = 0; j < 2; ++j) {
      extended V = 0, rtlnf = 0;
      KPCALC1::H2OPROPS(p, T[j], V, rtlnf);  // the dataset's '3': CORK
      EXPECT_NEAR(f[j], static_cast<double>(rtlnf), 0.0005 + 1e-9) << p << " " << T[j];
    }
  }
  EXPECT_EQ(out.find("linearised"), std::string::npos);
  EXPECT_NE(out.find("\nRT ln f(H2)\n\n   kbar \xA1" "C     500     600\n"), std::string::npos);
  EXPECT_NE(out.find("\nRT ln f(H2S)\n\n   kbar \xA1" "C     700\n    2.0   "), std::string::npos);
  EXPECT_NE(out.find("\nRT ln f(S2)\n\n   kbar \xA1" "C     700\n    2.0   "), std::string::npos);
  const std::string sk = vtest::readfile(dir / "vt-tables-sk.txt");
  EXPECT_NE(sk.find("\nflp = {   1.000,   5.000};\n\nflt = {   773.2,   873.2};\n\nrtlnfh2o = {{"), std::string::npos)
      << sk;
  EXPECT_EQ(sk.find("CO2"), std::string::npos);
}


namespace {

// The number after the text "name =" on a line of the one-point G table.
double onepointg(const std::string& out, const std::string& name) {
  const std::string head = '\n' + std::string(6 - name.size(), ' ') + name + " =";
  const std::size_t at = out.find(head);
  EXPECT_NE(at, std::string::npos) << name;
  return at == std::string::npos ? 0 : std::stod(out.substr(at + head.size(), 17));
}

}  // namespace

// A typed session on the example a-x file: the phases asked for (garnet and
// plagioclase taken apart, the fluid and rutile left out), G at one point, the
// grossular + 2 kyanite + quartz = 3 anorthite reaction linearised there and
// its error matrix at the same point. The extracted end-members enter with
// activity 1: the reaction's dG equals the sum of the printed end-member G's,
// with nothing of the ideal-mixing activity of gr in garnet (z^3 from the
// starting z = 0.1 of the a-x file) in it.
TEST(TablesE2E, TypedSessionTakesSolutionPhasesApart) {
  const vtest::tempfolder dir("vt-e2e-tabless-");
  fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "ax" / "vt-simple.txt", dir / "vt-simple.txt",
                fs::copy_options::overwrite_existing);
  EXPECT_EQ(runexample(dir, "omit ru fluid\n5\n600\ny\n5\n600\n4\n5\n600\n0\n",
                       {{"vt-tables.txt", "axfile simple\nautoexit\n"}}),
            0);
  const std::string screen = vtest::readfile(dir / "screen.txt");
  EXPECT_NE(screen.find("\nsolutions will be taken apart into their end-members\n"), std::string::npos) << screen;
  EXPECT_NE(vtest::readfile(dir / "vt-log.txt").find("which phases : omit ru fluid\n"), std::string::npos);
  const std::string sk = vtest::readfile(dir / "vt-tables-sk.txt");
  EXPECT_EQ(sk.rfind("\nendmembers = {py, alm, gr, an, ab, q, ky, sill, and};\n\n", 0), 0u) << sk.substr(0, 80);

  const std::string out = vtest::readfile(dir / "vt-tables-o.txt");
  ASSERT_NE(out.find("\nG at 5.000 kbar and 600.00 \xA1" "C\n"), std::string::npos) << out;
  const double sum = 3 * onepointg(out, "an") - onepointg(out, "gr") - onepointg(out, "q") - 2 * onepointg(out, "ky");
  const std::string row = "\n    4    .    .   -1    3    .   -1   -2    .    .";
  const std::size_t at = out.find(row);
  ASSERT_NE(at, std::string::npos) << out;
  std::istringstream abc(out.substr(at + row.size()));
  double a = 0, b = 0, c = 0;
  abc >> a >> b >> c;
  // a with 4 significant digits, b with 5 decimals, c with 3.
  EXPECT_NEAR(a + b * 873.15 + c * 5, sum, 0.005 + 0.5e-5 * 873.15 + 0.5e-3 * 5);

  // The error matrix at the point of linearisation (exactly 0, which the
  // number writer shows as "0"), and dG itself.
  EXPECT_NE(out.find("\n          600.00\n    5.00       0\n"), std::string::npos);
  const std::string head = "(* reaction thermo for (4) *)\n\n{    5.00};\n{  873.15};\n\n{{";
  const std::size_t dg = sk.find(head);
  ASSERT_NE(dg, std::string::npos) << sk;
  const double dG = std::stod(sk.substr(dg + head.size(), 10));
  EXPECT_NEAR(dG, sum, 0.5e-4 + 6 * 0.5e-8);
  // The activity product the table implies is 1; ideal mixing in garnet
  // (a(gr) = z^3, to the power -1 in the reaction) would have moved dG by
  // -RT ln z^3, some 50 kJ.
  const double R = 0.0083144, T = 873.15, z = 0.1;
  EXPECT_NEAR(std::exp(-(dG - sum) / (R * T)), 1.0, 1e-4);
  EXPECT_GT(std::fabs(dG - (sum - R * T * std::log(z * z * z))), 50.0);
}

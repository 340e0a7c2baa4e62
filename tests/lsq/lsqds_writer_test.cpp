// The refitted dataset file and the report tables of a least-squares run:
// the file layout with the covariance widths and line breaks, numbers wider
// than their field, refused names, the round trip through the dataset reader
// and the end-member Gibbs energy, and the calorimetry tables.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>

#include "lsq/lsqds_dataset.h"
#include "lsq/lsqds_writer.h"
#include "models/kpcalc1.h"
#include "models/kpread1.h"
#include "support/vt_state.h"

namespace {

using namespace KPGLOBAL;
namespace fs = std::filesystem;

class LsqWriterTest : public vtest::StateTest {
 protected:
  std::unique_ptr<vtest::tempfolder> dir;
  void SetUp() override {
    StateTest::SetUp();
    dir = std::make_unique<vtest::tempfolder>("lsqwr-", true);
    IO::WHENSTRING = "12:00 on Mon 07 Dec 2026";
    IO::DATAFILENAMESUFFIX = "4wr";
  }
  void TearDown() override {
    StateTest::TearDown();
    dir.reset();
  }
  tdrec& add(const std::string& name, extended theta) {
    ++NTOT;
    tdrec& t = (*TDA)[NTOT];
    t.name = name;
    PHNAMES[NTOT] = name;
    (*THETA)[NTOT] = theta;
    t.smax = -1;
    t.vmax = -1;
    t.sffac = 1;
    t.nsite = 1;
    t.ncomp = 2;
    t.comp[1] = {1, 1};
    t.comp[2] = {10, 2};
    return t;
  }
  // Reads the example's annotated dataset into TDA.
  void readexample() {
    IO::DATA.opentext(vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "lsq" / "ds-emex.txt"), "ds-emex.txt");
    LSQDS::READTH();
    IO::DATA.close();
  }
};

TEST_F(LsqWriterTest, DatasetFileLayout) {
  tdrec& q = add("q", -910.7);
  q.s = 0.04143L, q.v = 2.269L, q.cpa = 0.0929L, q.cpb = -0.000000642L, q.cpc = -714.9L, q.cpd = -0.7161L;
  q.kappa0 = 730, q.kappa0p = 6, q.kappa0pp = -0.0082L;
  q.landaut = 847, q.smax = 0.00495L, q.vmax = 0.1188L;
  tdrec& bw = add("bw", -2585.79L);  // Bragg-Williams with a dH too wide for its field
  bw.s = 0.0954L, bw.v = 4.986L;
  bw.sfdh = 1234.5L, bw.sfdhv = 0.01L, bw.sfw = 4.75L, bw.sfwv = 0.01L, bw.sfn = 1, bw.sffac = 0.25L;
  tdrec& ql = add("qL", -921.07L);  // a liquid keeps its dK/dT field, even when 0
  ql.s = 0.0163L, ql.v = 2.73L;
  add("Na+", -240.34L);  // charged: aqueous code with aqcp 0
  DSMODE = 5;
  NEXP = 10, NTP = 4;  // degrees of freedom: the covariance is XX * SIG2
  SIG2 = 0.25L;
  const extended cov[4][4] = {{0.00004L, -0.5L, 0.99996L, 12.3456L},
                              {0, -123456.7L, 2.5L, 0},
                              {0, 0, 1e-3L, 7},
                              {0, 0, 0, 0.0004L}};
  for (int i = 1; i <= 4; ++i)
    for (int j = i; j <= 4; ++j) (*XX)(i, j) = cov[i - 1][j - 1] / SIG2;
  LSQDS::WRITETHERMODATA();
  EXPECT_FALSE(ATEXT1OPEN);
  EXPECT_EQ(NTP, 4);
  EXPECT_EQ(IO::FILENAME, "vt-ds4wr.txt");
  // Read against the layout: count i4 and the warning; "  "; the mode;
  // name:8 nsite i4 (code i3 amount 9:4)... "  0"; H 17:2 S 10:5 V 9:4;
  // 4 blanks Cp 11:4 15:9 10:1 10:4; alpha 18:7 K 9:2 9:2 11:5 [dK/dT
  // 11:5], then "    1" Tc i7 Smax 10:5 Vmax 10:4, "   -1" aqcp 8:4, "    2"
  // 7:2 7:4 7:2 7:4 i6 7:2 or "    0"; an empty line; the check number
  // ((1000 S - H - 5 V) / 10000 averaged: 0.47611 / 4 = 0.1190 in 8:4),
  // the covariance widths 7 (a < 1), 8 (< 10), 9 (< 100), 16 (>= 100000),
  // one more when x <= 0, " 0" below 5e-5; then the trailer with sigfit 6:3.
  const std::string expected =
      "   4    don't fiddle with the numbers: you'll BREAK the dataset...\n"
      "  \n"
      "5\n"
      "       q   1  1   1.0000 10   2.0000  0\n"
      "          -910.70   0.04143   2.2690\n"
      "         0.0929   -0.000000642    -714.9   -0.7161\n"
      "         0.0000000   730.00     6.00   -0.00820    1    847   0.00495    0.1188\n"
      "      bw   1  1   1.0000 10   2.0000  0\n"
      "         -2585.79   0.09540   4.9860\n"
      "         0.0000    0.000000000       0.0    0.0000\n"
      "         0.0000000     0.00     0.00    0.00000    2 1234.50 0.0100   4.75 0.0100     1   0.25\n"
      "      qL   1  1   1.0000 10   2.0000  0\n"
      "          -921.07   0.01630   2.7300\n"
      "         0.0000    0.000000000       0.0    0.0000\n"
      "         0.0000000     0.00     0.00    0.00000    0.00000    0\n"
      "     Na+   1  1   1.0000 10   2.0000  0\n"
      "          -240.34   0.00000   0.0000\n"
      "         0.0000    0.000000000       0.0    0.0000\n"
      "         0.0000000     0.00     0.00    0.00000   -1  0.0000\n"
      "\n"
      "  0.1190 0 -0.5000  1.0000  12.3456     -123456.7000  2.5000 0 0.0010  7.0000 0.0004\n"
      "\n"
      "vt-ds4wr.txt produced at 12:00 on Mon 07 Dec 2026 (sigfit =  0.500)\n";
  EXPECT_EQ(vtest::readfile("vt-ds4wr.txt"), expected);
}

TEST_F(LsqWriterTest, CovarianceLinesBreakAfter120Characters) {
  for (int k = 1; k <= 20; ++k) add(std::string(1, 'e').append(std::to_string(k)), -100).s = 0.01L;
  NEXP = 30, NTP = 20;
  SIG2 = 1;
  for (int i = 1; i <= 20; ++i)
    for (int j = 1; j <= 20; ++j) (*XX)(i, j) = 1.5L;  // width 8 each
  LSQDS::WRITETHERMODATA();
  std::istringstream in(vtest::readfile("vt-ds4wr.txt"));
  std::string line;
  for (int i = 0; i < 3 + 4 * 20 + 1; ++i) std::getline(in, line);
  int values = 0, lines = 0;
  while (std::getline(in, line) && !line.empty()) {
    ++lines;
    // 16 values of 8 characters make 128 > 120: the 17th starts a new line;
    // the check number's 8 characters do not count.
    const std::size_t want = lines == 1 ? 8 + 16 * 8 : 16 * 8;
    if (values + 16 < 210) {
      EXPECT_EQ(line.size(), want) << "line " << lines;
    }
    values += static_cast<int>((line.size() - (lines == 1 ? 8 : 0)) / 8);
  }
  EXPECT_EQ(values, 20 * 21 / 2);
  EXPECT_EQ(lines, 14);  // 13 full lines and the last 2 values
}

TEST_F(LsqWriterTest, NamesTheReaderCannotTakeBackAreRefused) {
  add("toolongname", -1).s = 0.01L;
  const IO::RunEnded e = vtest::runends([] { LSQDS::WRITETHERMODATA(); });
  EXPECT_EQ(e.where, "writethermodata");
  EXPECT_EQ(e.message,
            "end-member name \"toolongname\" (entry 1) must have 1 to 8 characters to be read back from the "
            "dataset file");
  EXPECT_FALSE(fs::exists("vt-ds4wr.txt"));
}

// The fit uses the Pitzer-Sterner fluid equations; a file name whose digit
// after "ds" is 3 makes the other modes read it with CORK: the screen and
// the log say so and name a suffix that begins with 4. A suffix beginning
// with neither 3 nor 4 (or empty) names a file that those modes refuse
// ("bad dsfile name"): warned as well, with the suffix to use. The file
// keeps its name; a suffix beginning with 4 gets no warning.
TEST_F(LsqWriterTest, CorkSuffixOfTheRefittedDatasetIsWarned) {
  IO::OPENOUTPUT(IO::chlog, "log.txt");
  add("q", -910).s = 0.04L;
  NEXP = NTP = 1;
  IO::DATAFILENAMESUFFIX = "3lsq";
  LSQDS::WRITETHERMODATA();
  const std::string warning =
      "\nwriting data to \"vt-ds3lsq.txt\"\n"
      "warning: the 3 after \"ds\" in \"vt-ds3lsq.txt\" makes calculation modes 0-4 read it with the CORK fluid "
      "equations,\n"
      "but this fit used the Pitzer-Sterner equations: for the fitted values use a suffix beginning with 4 "
      "(ds-scr4lsq.txt gives vt-ds4lsq.txt)\n";
  EXPECT_EQ(screen.str(), warning);
  EXPECT_TRUE(fs::exists("vt-ds3lsq.txt"));
  IO::DATAFILENAMESUFFIX = "4lsq";
  LSQDS::WRITETHERMODATA();
  EXPECT_EQ(screen.str(), warning + "\nwriting data to \"vt-ds4lsq.txt\"\n");
  IO::FLUSHALL();
  EXPECT_NE(vtest::readfile("log.txt").find(warning), std::string::npos);

  screen.str("");
  IO::DATAFILENAMESUFFIX = "lsq";
  LSQDS::WRITETHERMODATA();
  const std::string unread =
      "\nwriting data to \"vt-dslsq.txt\"\n"
      "warning: \"vt-dslsq.txt\" has neither 4 nor 3 after \"ds\": calculation modes 0-4 stop on it (bad dsfile "
      "name);\n"
      "for the fitted values use a suffix beginning with 4 (ds-scr4lsq.txt gives vt-ds4lsq.txt)\n";
  EXPECT_EQ(screen.str(), unread);
  EXPECT_TRUE(fs::exists("vt-dslsq.txt"));
  IO::DATAFILENAMESUFFIX = "";
  LSQDS::WRITETHERMODATA();
  EXPECT_EQ(screen.str(), unread +
                              "\nwriting data to \"vt-ds.txt\"\n"
                              "warning: \"vt-ds.txt\" has neither 4 nor 3 after \"ds\": calculation modes 0-4 stop on "
                              "it (bad dsfile name);\n"
                              "for the fitted values use a suffix beginning with 4 (ds-scr4.txt gives vt-ds4.txt)\n");
  IO::FLUSHALL();
  EXPECT_NE(vtest::readfile("log.txt").find(unread), std::string::npos);
}

// The file written from the example's table is read by the dataset reader,
// and the end-member Gibbs energy from it equals the one from the
// least-squares table with the fitted enthalpies, entry by entry, at four
// P-T points (ordering, liquids and fluids included); the covariance comes
// back as XX * SIG2 to its 4 written decimals.
TEST_F(LsqWriterTest, RefittedDatasetReadBackGivesTheFittedEnthalpies) {
  readexample();
  ASSERT_EQ(NTOT, 28);
  KPREAD1::SETUPCOMPONENTTABLE();
  NEXP = 50, NTP = NTOT;
  SIG2 = 0.5L;
  for (int k = 1; k <= NTOT; ++k) {
    (*THETA)[k] = (*TDA)[k].h + 0.25L * k;
    for (int j = 1; j <= NTOT; ++j) (*XX)(k, j) = (k == j ? 0.2L : 0.01L * ((k + j) % 3));
  }
  LSQDS::WRITETHERMODATA();

  IO::CONTROLIO.dsfile = "4wr";
  KPREAD1::READTHERMO(1);
  ASSERT_EQ(NTP, NTOT);
  NCV = NTP;
  for (int k = 1; k <= NTP; ++k) NAME[k] = PHNAMES[k];
  KPREAD1::READTHERMO(2);
  KPREAD1::READTHERMO(3);
  const std::pair<extended, extended> grid[] = {{0.001L, 298.15L}, {1, 673.15L}, {10, 873.15L}, {30, 1473.15L}};
  for (int k = 1; k <= NTP; ++k) {
    EXPECT_NEAR((*TD)[k].h, (*THETA)[k], 1e-9L) << NAME[k];
    for (int j = 1; j <= NTP; ++j)
      EXPECT_NEAR((*COV)(k, j), (*XX)(k, j) * SIG2, 5e-5L) << NAME[k] << " " << NAME[j];
  }
  extended G[29][4];  // rows 1..NTP
  for (int k = 1; k <= NTP; ++k)
    for (int p = 0; p < 4; ++p) KPCALC1::GEM(static_cast<smallint>(k), grid[p].first, grid[p].second, G[k][p]);
  CALCMODE = calcmodetype::lsqdscalc;
  for (int k = 1; k <= NTP; ++k) {
    (*TDA)[k].h = (*THETA)[k];
    PHNAMES[k] = (*TDA)[k].name;
    for (int p = 0; p < 4; ++p) {
      extended g = 0;
      KPCALC1::GEM(static_cast<smallint>(k), grid[p].first, grid[p].second, g);
      EXPECT_NEAR(g, G[k][p], 1e-9L) << (*TDA)[k].name << " at " << static_cast<double>(grid[p].second);
    }
  }
}

// The report's calorimetry tables: "<0>" for an sd(H) below 1e-5, "***"
// for an oxide entry of sd 0, and the hat values of the rows after an entry
// kept out of the fit stay with their rows.
TEST_F(LsqWriterTest, CalorimetryTablesFollowTheRowsOfTheFit) {
  IO::OPENOUTPUT(IO::chresults, "o.txt");
  tdrec& a = add("a", -100.5);
  a.h = -100.5L, a.horig = -100, a.sdhorig = 1, a.sdh = 1;
  tdrec& b = add("b", -198);
  b.h = -198, b.horig = -198, b.sdhorig = 0, b.sdh = 0.0001L;
  add("c", -50).sdhorig = 100;
  NTP = 3;
  NOXCAL = 3;
  oxcalrec e1{true, 2, {}, {}, 97, 1, 298.15L};
  e1.coef[1] = 1, e1.coef[2] = -1, e1.em[1] = 2, e1.em[2] = 1;
  e1.h298 = 97;
  oxcalrec e2 = e1;  // kept out: no row
  e2.used = false;
  oxcalrec e3 = e1;
  e3.em[1] = 3, e3.sd = 0, e3.t = 773.15L, e3.h298 = 40;
  (*OXCAL)[1] = e1, (*OXCAL)[2] = e2, (*OXCAL)[3] = e3;
  for (int r = 1; r <= 4; ++r) (*HAT)[r] = 0.1L * r;
  NEXP = 4;
  LSQDS::OUTXY();
  IO::CLOSEOUTPUT();
  const std::string o = vtest::readfile("o.txt");
  // e* of a: (-100 - -100.5) / 1; of the first oxide row: (97 + (-198 + 100.5)) / 1.
  EXPECT_NE(o.find("\n\nDirect calorimetry\n\n"
                   "           value     sd     e*    hat\n"
                   "a        -100.00   1.00   0.50   0.10\n"
                   "b        -198.00      0    <0>   0.20\n"),
            std::string::npos)
      << o;
  EXPECT_NE(o.find("\n\nOxide calorimetry\n\n"
                   "          T   H(cal)    sd   H(298)     e*    hat\n"
                   "b        25     97.0   1.0     97.0   -0.5   0.30\n"
                   "c       500     97.0     0     40.0    ***   0.40\n"),
            std::string::npos)
      << o;
  EXPECT_EQ((*OXCAL)[1].hcalc, -97.5L);
}

}  // namespace

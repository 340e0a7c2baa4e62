// Boil-down of phases started at zero, batch copies, and the mended faults of
// the reader (signed charges, repeated excess names, phase counts).
#include "models/ax_support.h"
#include "models/kpnle3.h"
#include "models/kpute1_models.h"

using namespace KPGLOBAL;

TEST_F(AxTest, BoilDownRemovesAZeroVariable) {
  NMC = 1;  // a Monte Carlo value of W(py,alm), pair 1 both before and after
  MCINFO[1].phname[1] = "t";
  MCINFO[1].nph = 1;
  MCINFO[1].varcode = 1;
  MCINFO[1].varname = "W(py,alm)";
  MCINFO[1].abc = 1;
  MCINFO[1].orig = 1.5L;
  readfile("ax-boil.txt");
  const ptype1& t = ss(1);
  EXPECT_TRUE(t.boiled);
  EXPECT_EQ(t.nem0, 3);
  EXPECT_EQ(t.nvars0, 2);
  EXPECT_EQ(t.nem, 2);
  EXPECT_EQ(t.nvars, 1);
  EXPECT_EQ(t.xyz[1].name, "x(t)");
  EXPECT_TRUE(t.emkept[1] && t.emkept[2] && !t.emkept[3]);
  EXPECT_TRUE(t.xyzkept[1] && !t.xyzkept[2]);
  EXPECT_EQ(t.nzero, 1);
  EXPECT_EQ(t.zeroname[1], "y(t)");
  EXPECT_EQ(t.em[2].name, "alm");
  // Only W(py,alm) stays, with the Monte Carlo value; the gterm is renumbered.
  EXPECT_EQ(t.nw, 1);
  EXPECT_EQ(t.wname[1], "W(py,alm)");
  EXPECT_EQ(t.wa[1], 1.5L);
  ASSERT_EQ(t.ngterm, 1);
  EXPECT_EQ(t.gterm[1], (gtermrec{1, 1, 2}));
  EXPECT_EQ(MCINFO[1].ivar, 1);
  // Site fraction s3 = y vanished; s1 lost its y part; tmf indices valid.
  ASSERT_EQ(t.nsf, 2);
  EXPECT_EQ(t.sfname[2], "s2");
  EXPECT_EQ(t.sfterm[1].sx[1].x[1].nt, 1);
  for (int k = 1; k <= t.nem; ++k) {
    EXPECT_GE(t.em[k].tmf[1].isf, 1);
    EXPECT_LE(t.em[k].tmf[1].isf, t.nsf);
    EXPECT_EQ(t.em[k].checkden, 0);
  }
  // The contracted model evaluates as the two end-member one.
  eqvector x;
  x[1] = 0.3L;
  EXPECT_NEAR(static_cast<double>(KPUTE1::SUBSTERM(t.pterm[1], x, 1)), 0.7, 1e-15);
  EXPECT_EQ(t.xyz[1].lo, 0);
  EXPECT_EQ(t.xyz[1].hi, 1);
}

TEST_F(AxTest, BoilDownRefusesAKeptEndMemberOnAVanishedSiteFraction) {
  std::string text = vtest::datatext("ax-boil.txt");
  text.replace(text.find("alm 1 1 s2 1"), 11, "alm 1 2 s2 1 s3 1");
  const IO::RunEnded e = vtest::runends([&] { read(text); });
  EXPECT_EQ(e.message, "boil-down of t removes site fraction s3 of alm");
  // The vanished site fraction stands between kept ones: the message names it,
  // not the one that moved into its place.
  text = vtest::datatext("ax-boil.txt");
  const std::string sfs = "s2 1 1 0 1 1 x\ns3 1 1 0 1 1 y\n";
  text.replace(text.find(sfs), sfs.size(), "s3 1 1 0 1 1 y\ns2 1 1 0 1 1 x\n");
  text.replace(text.find("alm 1 1 s2 1"), 11, "alm 1 2 s2 1 s3 1");
  EXPECT_EQ(vtest::runends([&] { read(text); }).message, "boil-down of t removes site fraction s3 of alm");
}

TEST_F(AxTest, BoilDownWrongSizeIsReported) {
  // Proportions x and 1 - x - y of a model where y alone carries gr and py:
  // with y = 0 both py and gr keep terms, so 3 end-members stay on 1 variable.
  std::string text = vtest::datatext("ax-boil.txt");
  text.replace(text.find("p(gr) 1 1 0 1 1 y"), 17, "p(gr) 1 1 1 1 -1 x");
  const IO::RunEnded e = vtest::runends([&] { read(text); });
  EXPECT_EQ(e.message, "contraction wrong size");
  EXPECT_NE(screen.str().find("\n\nproblem in      t  3  1\npy  alm  gr  \nx(t)  \n"), std::string::npos) << screen.str();
}

TEST_F(AxTest, BatchCopiesShareOrSplitByZeroPattern) {
  VOVUVUVED.batch = controlboolean::yes;
  NWHSTRINGS = 2;
  WHSTRINGS[1] = "t";
  WHSTRINGS[2] = "q";
  // Three blocks: two with y = 0, one with x = 0.
  NBATCHXYZ = 3;
  const extended vals[3][2] = {{0.2L, 0}, {0.4L, 0}, {0, 0.3L}};
  for (int k = 1; k <= 3; ++k) {
    BATCHXYZ[k].n = 2;
    BATCHXYZ[k].name[1] = "x(t)";
    BATCHXYZ[k].name[2] = "y(t)";
    BATCHXYZ[k].val[1] = vals[k - 1][0];
    BATCHXYZ[k].val[2] = vals[k - 1][1];
  }
  NBATCH = 3;
  for (int b = 1; b <= 3; ++b) {
    BATCHINFO[b].kxyz = static_cast<smallint>(b);
    BATCHINFO[b].nzeroxyz = 1;
    BATCHINFO[b].inbatch[1] = BATCHINFO[b].inbatch[2] = true;
  }
  BATCHINFO[3].bulk = true;
  BATCHINFO[3].nmodeset = 1;
  BATCHINFO[3].modeph1 = 1;
  std::string text = vtest::datatext("ax-boil.txt");
  text.replace(text.find("y(t) 0\n"), 7, "y(t) 0.2\n");
  read("q\n" + text);
  // Batches 1 and 2 share t-1 (x kept), batch 3 gets t-2 (y kept).
  EXPECT_EQ(NPSS, 3);
  EXPECT_EQ(NP, 4);  // copies count as phases of the run
  EXPECT_EQ(NP0 + NPSS, NP);
  EXPECT_EQ(ss(2).name, "t-1");
  EXPECT_EQ(ss(2).xyz[1].name, "x(t)");
  EXPECT_EQ(ss(3).name, "t-2");
  EXPECT_EQ(ss(3).xyz[1].name, "y(t)");
  EXPECT_FALSE(ss(1).boiled);
  EXPECT_EQ(NWHSTRINGS0, 2);
  ASSERT_EQ(NWHSTRINGS, 4);
  EXPECT_EQ(WHSTRINGS[3], "t-1");
  EXPECT_EQ(WHSTRINGS[4], "t-2");
  EXPECT_TRUE(BATCHINFO[1].inbatch[3] && BATCHINFO[2].inbatch[3] && !BATCHINFO[3].inbatch[3]);
  EXPECT_TRUE(BATCHINFO[3].inbatch[4] && !BATCHINFO[1].inbatch[4]);
  for (int b = 1; b <= 3; ++b) EXPECT_FALSE(BATCHINFO[b].inbatch[1]);
  EXPECT_EQ(BATCHINFO[3].modeph1, 4);
  // Blocks keep only their non-zero entries.
  EXPECT_EQ(BATCHXYZ[1].n, 1);
  EXPECT_EQ(BATCHXYZ[3].name[1], "y(t)");
}

TEST_F(AxTest, ChargedCompoundsBalanceBySignedCharges) {
  // Anion first is a valid compound: 1/2 CO3-- with 1/2 Ca++.
  read("cc 1 cco3 make 2 CO3-- 1/2 Ca++ 1/2\nq\n");
  EXPECT_EQ(pure(1).td.z1, 2);
  EXPECT_EQ(pure(1).td.z2, 2);
  // 1/2 ++ with 1/2 -- passes; two cations do not.
  read("cc 1 cco3 make 2 Ca++ 1/2 CO3-- 1/2\n");
  EXPECT_EQ(pure(1).td.z1, 2);
  SetUp();
  const IO::RunEnded e = vtest::runends([&] { read("nn 1 nana make 2 Na+ 1/2 H+ 1/2\n"); });
  EXPECT_EQ(e.message, "compound not charged-balanced");
}

TEST_F(AxTest, RepeatedExcessNamesCountOnce) {
  NEXCESSSTRINGS = 4;
  EXCESSSTRINGS[1] = "q";
  EXCESSSTRINGS[2] = "ru";
  EXCESSSTRINGS[3] = "q";
  EXCESSSTRINGS[4] = "ru";
  read("q\nru\n");
  ASSERT_EQ(NEXCESSSTRINGS, 2);
  EXPECT_EQ(EXCESSSTRINGS[1], "q");
  EXPECT_EQ(EXCESSSTRINGS[2], "ru");
}

TEST_F(AxTest, AmbiguousOneAfterADatasetName) {
  // Answer no: the 1 is the end-member count and sp the end-member.
  answers("n\n");
  read("ky 1 sp\n");
  EXPECT_EQ(pure(1).emname, "sp");
  EXPECT_EQ(pure(1).act, 1);
  EXPECT_NE(screen.str().find("\ndatafile appears to be ambiguous: a 1 immediately follows ky;\n"
                              "this means either an activity of 1, or it's a 1 end-member phase.\n"),
            std::string::npos);
  // Answer yes: an activity of 1, and sp is the next phase.
  SetUp();
  answers("y\n");
  read("ky 1 sp\n");
  EXPECT_EQ(NP0, 2);
  EXPECT_EQ(pure(1).emname, "ky");
  EXPECT_EQ(pure(2).name, "sp");
}

TEST_F(AxTest, OptionWords) {
  KPREAD2::SetupPhases r;
  smallint sub = 9;
  EXPECT_EQ(r.GETOPTION("\xC6G(od)", sub), 3);
  EXPECT_EQ(sub, 3);
  EXPECT_EQ(r.GETOPTION("deltaG(rcal)", sub), 3);
  EXPECT_EQ(sub, 5);
  EXPECT_EQ(r.GETOPTION("dqf", sub), 3);
  EXPECT_EQ(sub, 0);
  EXPECT_EQ(r.GETOPTION("delG", sub), 0);
  EXPECT_EQ(r.GETOPTION("Make", sub), 0);
  EXPECT_EQ(r.GETOPTION("check", sub), 5);
  EXPECT_EQ(r.GETOPTION("exclude", sub), 7);
}

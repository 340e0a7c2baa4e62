// The phase set-up driven by a script: Monte Carlo parameters, samecoding
// copies, starting guesses, colours, mode guesses, boil-down of phases the
// script starts at zero, and the batch copies. Each test reads a small script
// with the script reader, then tests/data/ax-script.txt (a pure phase q and
// a van Laar phase t with end-members py, alm, grm on variables x(t), y(t)).
#include <vector>

#include "models/ax_support.h"

using namespace KPGLOBAL;

namespace {

class AxScriptTest : public AxTest {
 protected:
  void TearDown() override {
    KPSCRIPT::SCRIPTFILE.close();
    AxTest::TearDown();
  }
  void script(const std::string& text) {
    KPSCRIPT::SCRIPTFILE.opentext(text, "vt-script.txt");
    KPSCRIPT::READCONTROLTC();
  }
  // The script, then the a-x text (the test file unless given).
  void run(const std::string& scripttext, const std::string& axtext = "") {
    script(scripttext);
    read(axtext.empty() ? vtest::datatext("ax-script.txt") : axtext);
  }
  // Runs script and a-x file, which must stop with where : message.
  void refused(const std::string& scripttext, const std::string& where, const std::string& message,
               const std::string& axtext = "") {
    SetUp();
    screen.str("");
    const IO::RunEnded e = vtest::runends([&] { run(scripttext, axtext); });
    EXPECT_EQ(e.status, 1) << message;
    EXPECT_EQ(e.where, where) << scripttext;
    EXPECT_EQ(e.message, message) << scripttext;
    EXPECT_NE(screen.str().find("-- run bombed in " + where + " : " + message), std::string::npos);
    TearDown();
  }
  static std::string axwith(const std::string& from, const std::string& to) {
    std::string text = vtest::datatext("ax-script.txt");
    text.replace(text.find(from), from.size(), to);
    return text;
  }
};

}  // namespace

TEST_F(AxScriptTest, MonteCarloEntriesFindAndSetTheirParameters) {
  run("mc t W(alm,grm) b 0.02\n"
      "mc t a(alm) c 0.5\n"
      "mc t DQF(grm) a 1.5 0.1\n"
      "mccorr t W(py,grm) a t DQF(grm) c 0.5\n");
  const ptype1& t = ss(1);
  // W by its name in the file (pair 3), size by a(end-member), DQF by DQF(end-member).
  EXPECT_EQ(MCINFO[1].ivar, 3);
  EXPECT_EQ(MCINFO[2].ivar, 2);
  EXPECT_EQ(MCINFO[3].ivar, 3);
  EXPECT_EQ(t.wb[3], MCINFO[1].orig);
  EXPECT_NEAR(static_cast<double>(t.wb[3]), 0.02, 1e-15);
  EXPECT_EQ(t.wa[3], 3);  // only the chosen part changes
  EXPECT_NEAR(static_cast<double>(t.wc[3]), 0.1, 1e-15);
  EXPECT_EQ(t.alphac[2], 0.5L);
  EXPECT_EQ(t.alphaa[2], 2);
  EXPECT_EQ(t.em[3].dqfa, 1.5L);
  EXPECT_NEAR(static_cast<double>(t.em[3].dqfb), 0.002, 1e-15);
  EXPECT_TRUE(t.em[3].dqfmc[1]);
  EXPECT_FALSE(t.em[3].dqfmc[2] || t.em[3].dqfmc[3] || t.em[1].dqfmc[1]);
  // Correlations store positions and change no value.
  EXPECT_EQ(MCCORRINFO[1].ivar1, 2);
  EXPECT_EQ(MCCORRINFO[1].ivar2, 3);
  EXPECT_EQ(t.wa[2], 2);
  EXPECT_NEAR(static_cast<double>(t.em[3].dqfc), 0.03, 1e-15);
}

TEST_F(AxScriptTest, MonteCarloLookupFailures) {
  refused("mc q W(py,alm) a 1\n", "read", "finding kp in mc (1)");
  refused("mc t W(py,xx) a 1\n", "read", "finding kp in mc (3)");
  // Sizes and DQFs are named after the end-member: gr is only grm's constituent.
  refused("mc t DQF(gr) a 1\n", "read", "finding kp in mc (3)");
  refused("mccorr zz W(py,alm) a t W(py,grm) a 0.1\n", "read", "finding kp1 in mccorr (1)");
  refused("mccorr t W(py,zz) a t W(py,grm) a 0.1\n", "read", "finding kp1 in mccorr (3)");
  refused("mccorr t W(py,alm) a zz W(py,grm) a 0.1\n", "read", "finding kp1 in mccorr (1)");
  refused("mccorr t W(py,alm) a t a(zz) a 0.1\n", "read", "finding kp2 in mccorr (3)");
  // Codes the script reader refuses, set by hand after it.
  const auto edited = [&](const std::string& text, auto edit, const std::string& message) {
    SetUp();
    script(text);
    edit();
    const IO::RunEnded e = vtest::runends([&] { readfile("ax-script.txt"); });
    EXPECT_EQ(e.where, "read");
    EXPECT_EQ(e.message, message);
    TearDown();
  };
  edited("mc t W(py,alm) a 1\n", [] { MCINFO[1].varcode = 4; }, "finding kp in mc (2a)");
  edited("mc t W(py,alm) a 1\n", [] { MCINFO[1].abc = 0; }, "finding kp in mc: bad abc code (1)");
  edited("mc t a(py) a 1\n", [] { MCINFO[1].abc = 4; }, "finding kp in mc: bad abc code (2)");
  edited("mc t DQF(grm) a 1\n", [] { MCINFO[1].abc = 0; }, "finding kp in mc: bad abc code (3)");
  edited("mccorr t W(py,alm) a t W(py,grm) a 0.1\n", [] { MCCORRINFO[1].varcode1 = 0; },
         "finding kp1 in mccorr (2)");
  edited("mccorr t W(py,alm) a t W(py,grm) a 0.1\n", [] { MCCORRINFO[1].varcode2 = 9; },
         "finding kp2 in mccorr (2)");
}

TEST_F(AxScriptTest, SamecodingCopiesFollowTheirModel) {
  run("samecoding t u v\n"
      "samecoding zz t\n"
      "xyzguess x(u) 0.1\n"
      "xyzguess y(u) 0.3\n"
      "xyzguess x(v) 0.2\n"
      "xyzguess y(v) 0.4\n"
      "mc t W(py,grm) a 7\n");
  // Each copy goes right after the model: t, v, u.
  ASSERT_EQ(NPSS, 3);
  EXPECT_EQ(NP, 4);
  EXPECT_EQ(ss(1).name, "t");
  EXPECT_EQ(ss(2).name, "v");
  EXPECT_EQ(ss(3).name, "u");
  EXPECT_EQ(ss(2).xyz[1].name, "x(v)");
  EXPECT_EQ(ss(2).xyz[2].name, "y(v)");
  EXPECT_EQ(ss(3).xyz[2].name, "y(u)");
  // The copies take their own script guesses, the model keeps the file's.
  EXPECT_NEAR(static_cast<double>(ss(2).xyz[1].guess), 0.2, 1e-15);
  EXPECT_NEAR(static_cast<double>(ss(3).xyz[2].guess), 0.3, 1e-15);
  EXPECT_TRUE(ss(3).xyzscript);
  EXPECT_FALSE(ss(1).xyzscript);
  EXPECT_NEAR(static_cast<double>(ss(1).xyz[1].guess), 0.3, 1e-15);
  // A copy carries the model's coding, its Monte Carlo value and its range.
  EXPECT_EQ(ss(3).wa[2], 7);
  EXPECT_EQ(ss(3).em[3].name, "grm");
  EXPECT_NEAR(static_cast<double>(ss(2).xyz[2].hi), 0.9, 1e-15);
  // Group numbers are solution-phase numbers; an absent model keeps the rest.
  ASSERT_EQ(ISC[1], 3);
  EXPECT_EQ(SC(1, 1), 1);
  EXPECT_EQ(SC(1, 2), 3);
  EXPECT_EQ(SC(1, 3), 2);
  ASSERT_EQ(ISC[2], 1);
  EXPECT_EQ(SC(2, 1), 1);
}

TEST_F(AxScriptTest, SamecodingNeedsGuessesOnlyForPhasesInUse) {
  // Without starting guesses a copy is not made; that is fatal only for a
  // phase of the "with" list.
  run("samecoding t w\n");
  EXPECT_EQ(NPSS, 1);
  EXPECT_EQ(ISC[1], 1);
  refused("with t w q\nsamecoding t w\n", "setup phases", "no xyzguess for samecoding phase w");
  // Copies are made only with the current dataset generation; the numbers still are.
  SetUp();
  WITHDS4X = false;
  run("samecoding t u\nxyzguess x(u) 0.1\nxyzguess y(u) 0.3\n", axwith("t 3 1", "t 3 0"));
  EXPECT_EQ(NPSS, 1);
  EXPECT_EQ(ISC[1], 1);
  EXPECT_EQ(SC(1, 1), 1);
}

TEST_F(AxScriptTest, StartingGuessesFromTheScript) {
  run("xyzguess x(t) 0.25 sd 0.05 range 0.1 0.6\n"
      "xyzguess y(t) 0.15\n");
  const ptype1& t = ss(1);
  EXPECT_TRUE(t.xyzscript);
  EXPECT_EQ(t.xyz[1].guess, 0.25L);
  EXPECT_NEAR(static_cast<double>(t.xyz[1].sd), 0.05, 1e-15);
  EXPECT_NEAR(static_cast<double>(t.xyz[1].lo), 0.1, 1e-15);
  EXPECT_NEAR(static_cast<double>(t.xyz[1].hi), 0.6, 1e-15);
  // Scaling onto [0, 1]: faca = 1/(0.6 - 0.1), facb = -0.1 faca, typx = 0.0001 faca.
  EXPECT_NEAR(static_cast<double>(t.xyz[1].faca), 2, 1e-14);
  EXPECT_NEAR(static_cast<double>(t.xyz[1].facb), -0.2, 1e-14);
  EXPECT_NEAR(static_cast<double>(t.xyz[1].typx), 0.0002, 1e-17);
  // No sd and the default range 0..1: the file's sd 0.01 and range 0..0.9 stay.
  EXPECT_EQ(t.xyz[2].guess, 0.15L);
  EXPECT_NEAR(static_cast<double>(t.xyz[2].sd), 0.01, 1e-15);
  EXPECT_EQ(t.xyz[2].lo, 0);
  EXPECT_NEAR(static_cast<double>(t.xyz[2].hi), 0.9, 1e-15);

  // A block starts only at the phase's first variable. What no phase takes is
  // named (screen and log) and the file's guesses stand.
  SetUp();
  screen.str("");
  run("xyzguess y(t) 0.1\nxyzguess x(mA) 0.9\n");
  EXPECT_FALSE(ss(1).xyzscript);
  EXPECT_NEAR(static_cast<double>(ss(1).xyz[1].guess), 0.3, 1e-15);
  EXPECT_NEAR(static_cast<double>(ss(1).xyz[2].guess), 0.2, 1e-15);
  EXPECT_NE(screen.str().find("\n\nxyzguess y(t) ignored: a block for t starts at its 1st variable, x(t); t keeps "
                              "the guesses of vt-test.txt\n"
                              "xyzguess x(mA) ignored: not a variable of any phase in vt-test.txt\n"),
            std::string::npos)
      << screen.str();
  // A second block for the same phase: the first one counts.
  SetUp();
  screen.str("");
  run("xyzguess x(t) 0.25\nxyzguess y(t) 0.15\nxyzguess x(t) 0.5\nxyzguess y(t) 0.1\n");
  EXPECT_EQ(ss(1).xyz[1].guess, 0.25L);
  EXPECT_EQ(ss(1).xyz[2].guess, 0.15L);
  EXPECT_NE(screen.str().find("\nxyzguess x(t) ignored: t takes the first block that starts at x(t)\n"
                              "xyzguess y(t) ignored: t takes the first block that starts at x(t)\n"),
            std::string::npos)
      << screen.str();
  // Every guess taken: nothing said.
  SetUp();
  screen.str("");
  run("xyzguess x(t) 0.25\nxyzguess y(t) 0.15\n");
  EXPECT_EQ(screen.str().find("ignored"), std::string::npos) << screen.str();

  // Script guesses replace a zero of the file before boil-down.
  SetUp();
  run("xyzguess x(t) 0.25\nxyzguess y(t) 0.15\n", axwith("x(t) 0.3", "x(t) 0"));
  EXPECT_FALSE(ss(1).zeroguess);
  EXPECT_FALSE(ss(1).boiled);
  EXPECT_EQ(ss(1).nvars, 2);

  // Both stops are preceded by the lines the phase needs and the script's name; a
  // guess for y before x starts no block at x and so is short of lines too.
  const std::string needs = "\nphase t needs xyzguess lines for x(t) y(t), in this order, in vt-script.txt\n";
  refused("xyzguess x(t) 0.25\n", "setupphases", "xyzguess: wrong no of vars");
  EXPECT_NE(screen.str().find(needs + "-- run bombed in setupphases : xyzguess: wrong no of vars"), std::string::npos)
      << screen.str();
  refused("xyzguess y(t) 0.1\nxyzguess x(t) 0.25\n", "setupphases", "xyzguess: wrong no of vars");
  EXPECT_NE(screen.str().find(needs), std::string::npos);
  refused("xyzguess x(t) 0.25\nxyzguess z(t) 0.1\n", "setupphases", "xyzguess names don't match: \"y(t)\" \"z(t)\"");
  EXPECT_NE(screen.str().find(needs + "-- run bombed in setupphases : xyzguess names don't match"), std::string::npos);
  // A script guess outside the limits is caught by the limit checks.
  refused("xyzguess x(t) 0.7\nxyzguess y(t) 0.15 range 0.2 0.8\n", "setupphases", "guess too small for y(t)");
}

TEST_F(AxScriptTest, ZeroScriptGuessBoilsDownAndRenumbersMonteCarlo) {
  run("xyzguess x(t) 0\n"
      "xyzguess y(t) 0.2\n"
      "mc t W(py,grm) a 7\n"
      "mc t W(alm,grm) b 0.5\n"
      "mc t a(grm) a 4\n"
      "mc t DQF(grm) c 0.3\n"
      "mc t a(py) b 0.1\n");
  const ptype1& t = ss(1);
  // x = 0 removes alm (proportion x) and the site fraction s2 = x.
  EXPECT_TRUE(t.boiled);
  EXPECT_EQ(t.nem, 2);
  EXPECT_EQ(t.nvars, 1);
  EXPECT_EQ(t.xyz[1].name, "y(t)");
  EXPECT_EQ(t.em[2].name, "grm");
  EXPECT_EQ(t.nzero, 1);
  EXPECT_EQ(t.zeroname[1], "x(t)");
  EXPECT_TRUE(!t.xyzkept[1] && t.xyzkept[2]);
  EXPECT_EQ(t.nsf, 2);
  EXPECT_EQ(t.sfname[2], "s3");
  // The values set before the contraction moved with their parameters.
  ASSERT_EQ(t.nw, 1);
  EXPECT_EQ(t.wname[1], "W(py,grm)");
  EXPECT_EQ(t.wa[1], 7);
  EXPECT_EQ(t.alphaa[2], 4);
  EXPECT_NEAR(static_cast<double>(t.em[2].dqfc), 0.3, 1e-15);
  EXPECT_TRUE(t.em[2].dqfmc[3]);
  // Positions in the contracted model; W(alm,grm) went with alm (0).
  EXPECT_EQ(MCINFO[1].ivar, 1);
  EXPECT_EQ(MCINFO[2].ivar, 0);
  EXPECT_EQ(MCINFO[3].ivar, 2);
  EXPECT_EQ(MCINFO[4].ivar, 2);
  EXPECT_EQ(MCINFO[5].ivar, 1);
  ASSERT_EQ(t.ngterm, 1);
  EXPECT_EQ(t.gterm[1], (gtermrec{1, 1, 2}));

  // In a batch run the model is contracted the same way but not marked boiled.
  SetUp();
  run("batch yes\nxyzguess x(t) 0\nxyzguess y(t) 0.2\nmc t a(grm) a 4\n");
  EXPECT_EQ(ss(1).nvars, 1);
  EXPECT_FALSE(ss(1).boiled);
  EXPECT_EQ(MCINFO[1].ivar, 2);
}

TEST_F(AxScriptTest, ColoursAndModeGuesses) {
  run("rgb t 10 20 30\n"
      "rgb t 1 2 3\n"
      "rgb q 200 0 0\n"
      "modeguess t 0 t 0.4 q 0.1\n",
      "ru\n" + vtest::datatext("ax-script.txt"));
  // The first entry for a phase counts.
  EXPECT_TRUE(ss(1).rgbset);
  EXPECT_EQ(ss(1).rgb[1], 10);
  EXPECT_EQ(ss(1).rgb[3], 30);
  EXPECT_TRUE(pure(2).hasrgb);
  EXPECT_EQ(pure(2).rgb[1], 200);
  EXPECT_FALSE(pure(1).hasrgb);
  // Mode guesses: the first entry above 0; none leaves -1.
  EXPECT_NEAR(static_cast<double>(ss(1).modeguess), 0.4, 1e-15);
  EXPECT_NEAR(static_cast<double>(pure(2).modeguess), 0.1, 1e-15);
  EXPECT_EQ(pure(1).modeguess, -1);
  EXPECT_EQ(ss(1).modefaca, 0.6666667L);
  EXPECT_EQ(ss(1).modefacb, 0.1666667L);
  EXPECT_EQ(pure(2).modefaca, 0.6666667L);
}

namespace {
// Three blocks: y = 0 twice (one copy shared), x = 0 once (a second copy).
const char* batchscript =
    "with t q\n"
    "batchxyzguess x(t) 0.3\n"
    "batchxyzguess y(t) 0\n"
    "batchxyzguess\n"
    "batchxyzguess x(t) 0.4\n"
    "batchxyzguess y(t) 0\n"
    "batchxyzguess\n"
    "batchxyzguess x(t) 0 range 0 0.5\n"
    "batchxyzguess y(t) 0.3\n"
    "batch yes t q xyz 1 iso t\n"
    "batch t q xyz 2 zeromode t\n"
    "batch t q xyz 3 zeromode q t\n"
    "mc t W(py,alm) a 1.2 0.1 range 1 1.5\n"
    "mccorr t W(py,alm) a t a(py) a 0.1\n"
    "batchdebug yes\n";
}  // namespace

TEST_F(AxScriptTest, BatchCopiesFromTheScript) {
  run(batchscript);
  // Batches 1 and 2 share t-1 (x kept), batch 3 gets t-2 (y kept).
  ASSERT_EQ(NPSS, 3);
  EXPECT_EQ(NP, 4);
  EXPECT_EQ(ss(2).name, "t-1");
  EXPECT_EQ(ss(2).nvars, 1);
  EXPECT_EQ(ss(2).xyz[1].name, "x(t)");
  EXPECT_NEAR(static_cast<double>(ss(2).xyz[1].guess), 0.3, 1e-15);
  EXPECT_TRUE(ss(2).boiled);
  EXPECT_EQ(ss(3).name, "t-2");
  EXPECT_EQ(ss(3).xyz[1].name, "y(t)");
  EXPECT_EQ(ss(3).em[2].name, "grm");
  EXPECT_FALSE(ss(1).boiled);
  EXPECT_EQ(ss(1).nvars, 2);
  ASSERT_EQ(NWHSTRINGS, 4);
  EXPECT_EQ(NWHSTRINGS0, 2);
  EXPECT_EQ(WHSTRINGS[3], "t-1");
  EXPECT_EQ(WHSTRINGS[4], "t-2");
  // inbatch: the model leaves every batch, each copy joins its own.
  for (int b = 1; b <= 3; ++b) {
    EXPECT_FALSE(BATCHINFO[b].inbatch[1]) << b;
    EXPECT_TRUE(BATCHINFO[b].inbatch[2]) << b;
  }
  EXPECT_TRUE(BATCHINFO[1].inbatch[3] && BATCHINFO[2].inbatch[3] && !BATCHINFO[3].inbatch[3]);
  EXPECT_TRUE(BATCHINFO[3].inbatch[4] && !BATCHINFO[1].inbatch[4] && !BATCHINFO[2].inbatch[4]);
  // Mode and isopleth references follow the copy, also a shared one.
  EXPECT_EQ(BATCHINFO[1].isoph[1], 3);
  EXPECT_EQ(BATCHINFO[2].modeph1, 3);
  EXPECT_EQ(BATCHINFO[3].modeph1, 2);
  EXPECT_EQ(BATCHINFO[3].modeph2, 4);
  // Monte Carlo phase lists name the copies once each.
  ASSERT_EQ(MCINFO[1].nph, 3);
  EXPECT_EQ(MCINFO[1].phname[2], "t-1");
  EXPECT_EQ(MCINFO[1].phname[3], "t-2");
  EXPECT_EQ(MCCORRINFO[1].nph1, 3);
  EXPECT_EQ(MCCORRINFO[1].nph2, 3);
  // The blocks keep their non-zero entries, range ends with them.
  EXPECT_EQ(BATCHXYZ[1].n, 1);
  EXPECT_EQ(BATCHXYZ[2].name[1], "x(t)");
  ASSERT_EQ(BATCHXYZ[3].n, 1);
  EXPECT_EQ(BATCHXYZ[3].name[1], "y(t)");
  EXPECT_EQ(BATCHXYZ[3].high[1], 1);
  EXPECT_NE(screen.str().find("summary of mc info\n     value     range\n"
                              "t W(py,alm) a 1.200 by 0.1000 in mcrange 1.000 1.500;  also t-1 t-2\n"),
            std::string::npos)
      << screen.str();
  EXPECT_NE(screen.str().find("summary of batches\n1 : q t-1(copy)    isopleth\n2 : q t-1(copy)    pseudo\n"
                              "3 : q t-2(copy)    pseudo\n"),
            std::string::npos);
}

TEST_F(AxScriptTest, BatchCopyFailures) {
  refused("with t zz\nbatchxyzguess x(t) 0\nbatchxyzguess y(t) 0.2\nbatch yes t xyz 1\n", "read", "name fubar with zz");
  refused("with t q\nbatchxyzguess y(t) 0\nbatch yes t xyz 1\n", "read", "can't find first var x(t)");
  EXPECT_NE(screen.str().find("\n\n problem in starting guess block 1 - missing phase t for batch 1?\n"),
            std::string::npos);
  refused("with t q\nbatchxyzguess x(t) 0\nbatch yes q xyz 1\nbatch yes t xyz 1\n", "read", "no last var for t");
  EXPECT_NE(screen.str().find("batch 2\n"), std::string::npos);
}

TEST_F(AxScriptTest, BatchLeavesAPhaseWithoutVariables) {
  // x = y = 0 leaves t as py alone, with no variable for a block to start.
  run("with t q\nbatchxyzguess x(t) 0\nbatchxyzguess y(t) 0.3\nbatch yes t q xyz 1\n",
      axwith("x(t) 0.3\ny(t) 0.2", "x(t) 0\ny(t) 0"));
  EXPECT_EQ(ss(1).nvars, 0);
  EXPECT_EQ(ss(1).nem, 1);
  EXPECT_EQ(NPSS, 1);
  EXPECT_TRUE(BATCHINFO[1].inbatch[1]);
}

TEST_F(AxScriptTest, CopyNamesNeverCollide) {
  // Two zero patterns give two copies. Of a model named with 21 or 22
  // characters the name is cut so that "-1" and "-2" fit: a cut suffix would
  // give the model's own name, or one name for both copies.
  const std::string blocks = "batchxyzguess x(t) 0.3\nbatchxyzguess y(t) 0\nbatchxyzguess\n"
                             "batchxyzguess x(t) 0\nbatchxyzguess y(t) 0.3\n";
  for (const std::string name : {"t23456789012345678901", "t234567890123456789012"}) {
    SetUp();
    run("with " + name + " q\n" + blocks + "batch yes " + name + " q xyz 1\nbatch " + name + " q xyz 2\n",
        axwith("t 3 1", name + " 3 1"));
    ASSERT_EQ(NPSS, 3) << name;
    EXPECT_EQ(ss(1).name, name);
    EXPECT_EQ(ss(2).name, "t2345678901234567890-1");
    EXPECT_EQ(ss(3).name, "t2345678901234567890-2");
    EXPECT_EQ(WHSTRINGS[3], ss(2).name);
    EXPECT_TRUE(BATCHINFO[1].inbatch[3] && BATCHINFO[2].inbatch[4]);
    TearDown();
  }
  // A name that a phase of the file already has is passed over.
  SetUp();
  run("with t q\nbatchxyzguess x(t) 0.3\nbatchxyzguess y(t) 0\nbatch yes t q xyz 1\n",
      "t-1 1 q\n" + vtest::datatext("ax-script.txt"));
  ASSERT_EQ(NPSS, 2);
  EXPECT_EQ(ss(2).name, "t-2");
}

TEST_F(AxScriptTest, SamecodingCopiesCountOnce) {
  // The same line twice, and a name repeated on a line, make one copy.
  run("samecoding t u\nsamecoding t u u\nxyzguess x(u) 0.1\nxyzguess y(u) 0.3\n");
  ASSERT_EQ(NPSS, 2);
  EXPECT_EQ(NP, 3);
  EXPECT_EQ(ss(2).name, "u");
  // A copy may not take the name of a phase of the file.
  refused("samecoding t q\nxyzguess x(q) 0.1\nxyzguess y(q) 0.3\n", "setup phases",
          "samecoding name q already names a phase");
}

TEST_F(AxScriptTest, RawTermListing) {
  readfile("ax-script.txt");
  KPREAD2::SetupPhases r;
  screen.str("");
  r.WRITERAWTERM("p(py)", ss(1).pterm[1]);
  EXPECT_EQ(screen.str(), "p(py):  nsxterms = 1\n  1st sxterm: nxterms = 1\n    1st xterm: 1  -1 x1  -1 x2\n");
  // Rational constants and coefficients, a pure constant, two sx-terms.
  termtype t;
  t.nsx = 2;
  t.sx[1].factor = t.sx[2].factor = 1;
  t.sx[1].nx = 2;
  t.sx[1].x[1] = xtermtype{};
  t.sx[1].x[1].cnum = 1;
  t.sx[1].x[1].cden = 2;
  t.sx[1].x[1].nt = 1;
  t.sx[1].x[1].num[1] = 1;
  t.sx[1].x[1].den[1] = 2;
  t.sx[1].x[1].ix[1] = 1;
  xtermtype& b = t.sx[1].x[2];
  b.cnum = 0;
  b.cden = 1;
  b.nt = 2;
  b.num[1] = -1;
  b.den[1] = 3;
  b.ix[1] = 2;
  b.num[2] = 1;
  b.den[2] = 1;
  b.ix[2] = 1;
  t.sx[2].nx = 1;
  t.sx[2].x[1].cnum = 3;
  t.sx[2].x[1].cden = 1;
  t.sx[2].x[1].nt = 0;
  screen.str("");
  r.WRITERAWTERM("s9", t);
  EXPECT_EQ(screen.str(),
            "s9:  nsxterms = 2\n"
            "  1st sxterm: nxterms = 2\n"
            "    1st xterm: 1/2  1/2 x1\n"
            "    2nd xterm: 0  -1/3 x2  1 x1\n"
            "  2nd sxterm: nxterms = 1\n"
            "    1st xterm: 3\n");
}

TEST_F(AxScriptTest, CapacityLimitsReachedThroughTheScript) {
  // Samecoding copies of t named c1, c2, ... with their starting guesses, in
  // groups of up to 20 names (the model and 19 copies).
  const auto copies = [](int n) {
    std::string text, group;
    for (int i = 1; i <= n; ++i) {
      const std::string c = 'c' + std::to_string(i);
      group += " " + c;
      text += "xyzguess x(" + c + ") 0.3\nxyzguess y(" + c + ") 0.2\n";
      if (i % 19 == 0 || i == n) {
        text += "samecoding t" + group + "\n";
        group.clear();
      }
    }
    return text;
  };
  // 79 copies fill the 80 solution phases; one more is refused.
  run(copies(79));
  EXPECT_EQ(NPSS, 80);
  EXPECT_EQ(NP, 81);
  refused(copies(80), "setup phases", "too many ss phases (in making samecoding phases)");
  // With all 80 in use a batch has no room for its boiled copy.
  refused(copies(79) + "with t q\nbatchxyzguess x(t) 0.3\nbatchxyzguess y(t) 0\nbatch yes t q xyz 1\n", "read",
          "numbers of phases in boil down");

  // Monte Carlo positions are renumbered for at most 49 entries of a boiled phase.
  std::string mc;
  for (int i = 1; i <= 49; ++i) mc += "mc t W(py,alm) a 1\n";
  SetUp();
  run(mc + "xyzguess x(t) 0.3\nxyzguess y(t) 0\n");
  EXPECT_EQ(MCINFO[49].ivar, 1);
  refused(mc + "mc t W(py,alm) a 1\nxyzguess x(t) 0.3\nxyzguess y(t) 0\n", "read", "boilover in kp decrease");
}

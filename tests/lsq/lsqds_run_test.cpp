// The least-squares run through the run frame on the example files: the
// number of iterations clamped to 1..10, the update of H and sd(H) between
// iterations and after the last, the mode's tables allocated before its
// files, and the example's brackets either side of the dataset's equilibria.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frame/io.h"
#include "app/vestramond.h"
#include "lsq/lsqds_experiments.h"
#include "models/kpcalc1.h"
#include "support/vt_state.h"

namespace {

using namespace KPGLOBAL;
namespace fs = std::filesystem;

class LsqRunTest : public vtest::StateTest {
 protected:
  std::unique_ptr<vtest::tempfolder> dir;
  void SetUp() override {
    vtest::resetstate(screen, keyboard, vtest::tables::none);
    dir = std::make_unique<vtest::tempfolder>("lsqrun-", true);
    for (const auto& e : fs::directory_iterator(fs::path(VT_SOURCE_DIR) / "examples" / "lsq"))
      fs::copy_file(e.path(), e.path().filename());
  }
  void TearDown() override {
    StateTest::TearDown();
    dir.reset();
  }
  // The whole invocation with the given answer to "number of iterations".
  int run(const std::string& iterations) {
    answers(iterations + "\n");
    return VESTRAMOND::RUN();
  }
};

TEST_F(LsqRunTest, IterationsClampedAndTheUpdateRules) {
  // q held with sd(H) 0: its row and its sd between iterations take 0.0001.
  std::string em = vtest::readfile("ds-emex.txt");
  const std::string q = "   -910.72    0.07";
  ASSERT_NE(em.find(q), std::string::npos);
  em.replace(em.find(q), q.size(), "   -910.72    0.00");
  std::ofstream("ds-emex.txt") << em;

  ASSERT_EQ(run("0"), 0) << screen.str();  // 0 iterations run one
  EXPECT_NE(screen.str().find("\n1: "), std::string::npos);
  EXPECT_EQ(screen.str().find("\n2: "), std::string::npos);
  // One iteration is also the last: every H is the fitted one, every sd
  // the scaled one.
  const extended sig2 = SIG2;
  ASSERT_GT(sig2, 0);
  for (int j = 1; j <= NTP; ++j) {
    const tdrec& t = (*TDA)[j];
    EXPECT_EQ(t.h, (*THETA)[j]) << t.name;
    EXPECT_EQ(t.sdh, std::sqrt((*XX)(j, j) * sig2)) << t.name;
  }
  EXPECT_EQ(SDYBR[1], 0.0001L);  // q's direct-calorimetry row

  const smallint noxcal = NOXCAL;
  screen.str("");
  ASSERT_EQ(run("25"), 0);  // clamped to 10
  EXPECT_EQ(NOXCAL, noxcal);  // the second run starts from empty tables
  const std::string s = screen.str();
  const std::string sigfit = IO::REAL2STR(std::sqrt(SIG2), 3, true);
  EXPECT_NE(s.find("\n9: " + sigfit + "\n10: " + sigfit + "\n"), std::string::npos) << s;
  EXPECT_EQ(s.find("\n11: "), std::string::npos);
  // The iteration before the last left the held end-members at their input
  // H and sd(H) (0 becoming 0.0001) and the free ones at their fitted H
  // with the unscaled sd; the system is the same in every iteration.
  for (int j = 1; j <= NTP; ++j) {
    const tdrec& t = (*TDA)[j];
    if (t.sdhorig < 99) {
      EXPECT_EQ(t.hprev, t.horig) << t.name;
      EXPECT_EQ(t.sdhprev, t.sdhorig < 0.0001L ? 0.0001L : t.sdhorig) << t.name;
    } else {
      EXPECT_NEAR(t.hprev, (*THETA)[j], 1e-9L) << t.name;
      EXPECT_NEAR(t.sdhprev, std::sqrt((*XX)(j, j)), 1e-12L) << t.name;
    }
  }
  EXPECT_EQ((*TDA)[1].sdhorig, 0);
}

TEST_F(LsqRunTest, TablesBeforeFilesAndTheHeapReport) {
  std::string prefs = vtest::readfile("ds-prefs.txt");
  std::ofstream("ds-prefs.txt") << "monitorheap\n" << prefs;
  ASSERT_EQ(run("1"), 0);
  const std::string s = screen.str();
  std::size_t at = 0;
  for (const char* label : {"tda", "oxcal", "xp", "y", "yy", "theta", "xx", "hat", "x", "b"}) {
    const std::size_t p = s.find(std::string("space allocated for ") + label + " is ", at);
    EXPECT_NE(p, std::string::npos) << label;
    at = p;
  }
  EXPECT_TRUE(FROMLSQDS);
  EXPECT_TRUE(USESP);
  EXPECT_EQ(DSMODE, 5);  // the annotated file's first number
  EXPECT_TRUE(fs::exists("ds-o4lsq.txt"));
  EXPECT_FALSE(fs::exists("vt-4lsq-o.txt"));
  // The intermediate-results file holds the listing of each a-x model twice:
  // once when the models are read and once at the end of the input stage.
  // The phase set-ups of the experiments list them to the initial-tables
  // file, which this mode does not open. Blocks read against the listing's
  // layout: the verbatim lines (their end lines "#"), the sections with one
  // line end before each heading, 5-digit guesses, three blanks before a
  // term, two before an activity, an empty line to close.
  const std::string ic = vtest::readfile("ds-ic4lsq.txt");
  const std::string garnet =
      "#\n ---------------------------------------------\ngarnet: ideal Mg-Ca mixing on the X site (3 atoms)\n"
      "x = Ca/(Ca + Mg)\n#\n\n starting guesses\n  x(gt) = 0.10000\n\n site fractions\n   xMgX = 1 - x\n"
      "   xCaX = x\n\n proportions\n   py = 1 - x\n   gr = x\n\n activities\n  py = xMgX^3\n  gr = xCaX^3\n\n";
  const std::string plagioclase =
      "#\n ---------------------------------------------\nplagioclase: ideal Ca-Na mixing on one site\n"
      "ca = Ca/(Ca + Na)\n#\n\n starting guesses\n  ca(pl) = 0.50000\n\n site fractions\n   xCaA = ca\n"
      "   xNaA = 1 - ca\n\n proportions\n   an = ca\n   ab = 1 - ca\n\n activities\n  an = xCaA\n  ab = xNaA\n\n";
  EXPECT_EQ(ic, garnet + plagioclase + garnet + plagioclase);
}

// Each explicit reaction of the example has its lower bracket on one side
// of the dataset's equilibrium and its upper bracket on the other: Delta G
// + RT ln K from the end-member Gibbs energies of the table (at the
// bracket's fluid x(CO2)) changes sign between them. After the fit the
// report's calculated T and P of every bracket put the reaction at
// equilibrium with the fitted enthalpies, within the solves' tolerances.
TEST_F(LsqRunTest, ExampleBracketsLieEitherSideOfTheEquilibria) {
  ASSERT_EQ(run("1"), 0);
  ASSERT_EQ(NXPW, 8);
  CALCMODE = calcmodetype::lsqdscalc;
  constexpr extended R = 0.0083144L;
  auto deltag = [](const xprec& x, const brrec& b, extended P, extended T) {
    extended dg = 0;
    for (int i = 1; i <= x.n; ++i) {
      (*TDA)[x.em[i]].xco2 = b.xco2;
      extended g = 0;
      KPCALC1::GEM(x.em[i], P, T, g);
      dg += x.coef[i] * g;
    }
    return dg + R * T * b.lna;
  };
  const std::vector<extended> fitted = [] {
    std::vector<extended> h;
    for (int k = 1; k <= NTP; ++k) h.push_back((*TDA)[k].h);
    return h;
  }();
  for (int e = 1; e <= 7; ++e) {
    const xprec& x = (*XPW)[e];
    ASSERT_FALSE(x.multi);
    ASSERT_EQ(x.nbr, 2);
    EXPECT_EQ(x.br[2].t - x.br[1].t, 20);
    for (int k = 1; k <= NTP; ++k) (*TDA)[k].h = fitted[static_cast<std::size_t>(k - 1)];
    for (int b = 1; b <= 2; ++b) {
      const brrec& br = x.br[b];
      // ln K from the bracket's activities (a fluid end-member at 1 - x(CO2) or x(CO2)).
      extended lnk = 0;
      for (int i = 1; i <= x.n; ++i) {
        const std::string n = PHNAMES[x.em[i]];
        const extended a = n == "H2O" ? 1 - br.xco2 : n == "CO2" ? br.xco2 : 1;
        lnk += x.coef[i] * std::log(a);
      }
      EXPECT_NEAR(br.lna, lnk, 1e-15L) << x.retext;
      ASSERT_GT(br.tcalc, 300) << x.retext;
      ASSERT_GT(br.pcalc, 0.01L) << x.retext;
      // Newton stops once a step is below 0.01 K (0.001 kbar): the residual
      // left is below that step times the slope.
      EXPECT_LT(std::fabs(deltag(x, br, br.p, br.tcalc)), 0.01L * 0.2L) << x.retext;
      EXPECT_LT(std::fabs(deltag(x, br, br.pcalc, br.t)), 0.001L * 0.2L) << x.retext;
    }
    for (int k = 1; k <= NTP; ++k) (*TDA)[k].h = (*TDA)[k].horig;
    const extended dg1 = deltag(x, x.br[1], x.br[1].p, x.br[1].t);
    const extended dg2 = deltag(x, x.br[2], x.br[2].p, x.br[2].t);
    EXPECT_GT(dg1, 0) << x.retext;  // reactants stable at the lower bracket
    EXPECT_LT(dg2, 0) << x.retext;
  }
  // The group gr + 2ky + q = 3an of the example's garnet and plagioclase:
  // ln K from the ideal models at x(gt) = 0.3, ca(pl) = 0.5 (a(gr) = 0.3^3,
  // a(an) = 0.5); the calculated T of its same-P pair puts the reaction at
  // equilibrium with the fitted data, and the dataset's equilibrium lies
  // between the brackets.
  const xprec& g = (*XPW)[8];
  ASSERT_TRUE(g.multi);
  ASSERT_EQ(g.nbr, 2);
  for (int k = 1; k <= NTP; ++k) (*TDA)[k].h = fitted[static_cast<std::size_t>(k - 1)];
  for (int b = 1; b <= 2; ++b) EXPECT_NEAR(g.br[b].lna, 3 * std::log(0.5L) - 3 * std::log(0.3L), 1e-15L);
  ASSERT_GT(g.br[1].tcalc, 300);
  EXPECT_LT(std::fabs(deltag(g, g.br[1], g.br[1].p, g.br[1].tcalc)), 1e-6L);
  EXPECT_EQ(g.br[2].tcalc, 273.15L);
  for (int k = 1; k <= NTP; ++k) (*TDA)[k].h = (*TDA)[k].horig;
  EXPECT_GT(deltag(g, g.br[1], g.br[1].p, g.br[1].t), 0);
  EXPECT_LT(deltag(g, g.br[2], g.br[2].p, g.br[2].t), 0);
}

TEST_F(LsqRunTest, OptionsLeftOpenAreAskedInOrder) {
  std::string prefs = vtest::readfile("ds-prefs.txt");
  for (const char* k : {"useqr yes", "mark456 no", "printomit yes", "userfac yes", "tighten no"}) {
    const std::size_t p = prefs.find(k);
    ASSERT_NE(p, std::string::npos) << k;
    prefs.erase(p, std::string(k).size());
  }
  prefs.insert(prefs.rfind("*\n"), "useqr ask\nmark456 ask\nprintomit ask\nuserfac no\ntighten ask\n");
  std::ofstream("ds-prefs.txt") << prefs;
  // No QR: the Cholesky solver, which reports its own fit line.
  ASSERT_EQ(run("n\ny\ny\n1"), 0);
  const std::string s = screen.str();
  const std::size_t a = s.find("QR or Choleski to do LSQ: use QR ? ");
  const std::size_t b = s.find("bullet \"pathological\" experiments ? ");
  const std::size_t c = s.find("print omitted experiments ? ");
  ASSERT_NE(a, std::string::npos) << s;
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_NE(c, std::string::npos);
  EXPECT_EQ(s.find("use \"rfac\""), std::string::npos);  // given in the file
  EXPECT_EQ(s.find("effectively fix"), std::string::npos);  // not asked without rfac
  EXPECT_EQ(CONTROLDS.useqr, controlboolean::no);
  EXPECT_EQ(CONTROLDS.mark456, controlboolean::yes);
  EXPECT_EQ(CONTROLDS.tighten, controlboolean::ask);
  const std::string sigfit = IO::REAL2STR(std::sqrt(SIG2), 3, true);
  EXPECT_NE(s.find("lsq (choleski) gives sigfit = " + sigfit + "     (ndf = 28)"), std::string::npos) << s;
  EXPECT_NE(s.find("\n1: " + sigfit + "\n"), std::string::npos);
}

}  // namespace

namespace {

using namespace KPGLOBAL;

// An explicit reaction, py + 3cc = gr + 3mag, whose activity line names the
// example's garnet for both garnet end-members: each bracket gives one
// composition per phase entry, the activities come from the ideal model
// (a(py) = (1 - x)^3, a(gr) = x^3) and ln K = ln a(gr) - ln a(py) takes them
// at the reaction's own entries (cc and mag at 1); the log shows the
// activity table.
TEST_F(LsqRunTest, ActivitiesOfSolutionPhaseEntries) {
  std::string xp = vtest::readfile("ds-xpex.txt");
  const std::size_t end = xp.rfind("0\n");
  ASSERT_NE(end, std::string::npos);
  xp.insert(end,
            "1 py cc gr mag\n  -1 -3 1 3  1\ngt 1 gt 1  phase\n0  5.0  600  0  0.2  0.2\n1  5.0  700  0  0.3  0.3\n-1\n"
            "1 ky sill\n  -1 1  1\n0.7 0  fixed\n0  6.0  600  0  0.6\n1  6.0  640  0  0.5\n-1\n");
  std::ofstream("ds-xpex.txt") << xp;
  std::string prefs = vtest::readfile("ds-prefs.txt");
  prefs.replace(prefs.find("infolevel 2"), 11, "infolevel 3");
  std::ofstream("ds-prefs.txt") << prefs;
  ASSERT_EQ(run("1"), 0) << screen.str();
  ASSERT_EQ(NXPW, 10);
  const xprec& x = (*XPW)[9];
  ASSERT_EQ(x.nem, 6);
  EXPECT_EQ(x.apos[1], 1);
  EXPECT_EQ(x.apos[2], 3);
  EXPECT_EQ(x.apos[3], 5);
  const double xs[] = {0.2, 0.3};
  for (int k = 1; k <= 2; ++k) {
    const brrec& b = x.br[k];
    EXPECT_NEAR(b.a[1], std::pow(1 - xs[k - 1], 3), 1e-15) << k;
    EXPECT_NEAR(b.a[5], std::pow(xs[k - 1], 3), 1e-15) << k;
    EXPECT_NEAR(b.lna, 3 * std::log(xs[k - 1] / (1 - xs[k - 1])), 1e-14) << k;
  }
  // A fixed activity (0.7 for ky) and one read on each bracket line (sill).
  const xprec& y = (*XPW)[10];
  EXPECT_NEAR(y.br[1].lna, std::log(0.6L / 0.7L), 1e-15L);
  EXPECT_NEAR(y.br[2].lna, std::log(0.5L / 0.7L), 1e-15L);
  IO::FLUSHALL();
  const std::string log = vtest::readfile("vt-log.txt");
  EXPECT_NE(log.find(" 9)  activities for gt cc gt mag for the given brackets  (phase )\n"
                     "      P      T        py        gr        cc        py        gr       mag\n"
                     "    5.0    600   0.51200   0.00800   1.00000   0.51200   0.00800   1.00000\n"
                     "    5.0    700   0.34300   0.02700   1.00000   0.34300   0.02700   1.00000\n"),
            std::string::npos)
      << log;
  // At infolevel 3 the listing shows every experiment row: reactants, "=  ",
  // products (each name and two blanks, in table order), blanks up to 35
  // characters, the reference.
  EXPECT_NE(log.find("    ky  =  sill  " + std::string(22, ' ') + "  (example )\n"), std::string::npos) << log;
  EXPECT_NE(log.find("    cc  py  =  mag  gr  " + std::string(15, ' ') + "  (phase )\n"), std::string::npos);
}

}  // namespace

namespace {

// A phase with order variables is taken by the run (a legal starting state
// of order exists), and the activities of a group that names it come from
// its equilibrium state of order at each bracket: the two-site model of ky
// and and, Q = tanh((G(and) - G(ky)) / 4RT), written back into the bracket's
// compositional variables in place of the starting value.
TEST_F(LsqRunTest, OrderedPhaseOfAGroupSolvedAtEachBracket) {
  std::string ax = vtest::readfile("ds-axex.txt");
  std::string od = vtest::datatext("ax-order.txt");
  od = "od 2" + od.substr(od.find("od 2 1") + 6);  // no generation flag in this mode
  ax.replace(ax.rfind('*'), std::string::npos, od);
  std::ofstream("ds-axex.txt") << ax;
  std::string xp = vtest::readfile("ds-xpex.txt");
  xp.insert(xp.rfind("0\n"), "1 od sill divariant\n1  1   order\nky sill\n  -1 1\n0  12.0  500  0  0.6\n"
                             "1  6.0  700  0  0.6\n-1\n");
  std::ofstream("ds-xpex.txt") << xp;
  ASSERT_EQ(run("1"), 0) << screen.str();
  ASSERT_EQ(NXPW, 9);
  const xprec& x = (*XPW)[9];
  ASSERT_TRUE(x.multi);
  CALCMODE = calcmodetype::lsqdscalc;
  smallint ky = 0, an = 0;
  for (int k = 1; k <= NTP; ++k) {
    (*TDA)[k].h = (*TDA)[k].horig;
    if (PHNAMES[k] == "ky") ky = static_cast<smallint>(k);
    if (PHNAMES[k] == "and") an = static_cast<smallint>(k);
  }
  for (int k = 1; k <= 2; ++k) {
    const brrec& b = x.br[k];
    extended gky = 0, gand = 0;
    KPCALC1::GEM(ky, b.p, b.t, gky);
    KPCALC1::GEM(an, b.p, b.t, gand);
    const extended q = std::tanh((gand - gky) / (4 * 0.0083144L * b.t));
    ASSERT_GT(std::fabs(q - 0.6L), 0.05L) << k;
    EXPECT_NEAR(b.xyz[1], q, 1e-7L) << k;
    EXPECT_NEAR(b.a[1], std::pow((1 + q) / 2, 2), 1e-7L) << k;
    EXPECT_NEAR(b.a[2], std::pow((1 - q) / 2, 2), 1e-7L) << k;
  }
}

}  // namespace

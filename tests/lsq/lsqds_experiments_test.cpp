#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "lsq/lsqds_dataset.h"
#include "lsq/lsqds_experiments.h"
#include "models/kpread1.h"
#include "support/vt_state.h"

namespace {

using namespace KPGLOBAL;

// The state reset, an end-member table and two solution phases as the
// set-up leaves them (records 1..4 "blah"), the log open in a temporary folder.
class LsqExperimentsTest : public vtest::StateTest {
 protected:
  std::unique_ptr<vtest::tempfolder> dir;

  void SetUp() override {
    StateTest::SetUp();
    dir = std::make_unique<vtest::tempfolder>("lsqxp-");
    IO::OPENOUTPUT(IO::chlog, (*dir / "log.txt").string());
    for (const char* n : {"q", "ky", "sill", "and", "H2O", "CO2", "crd", "py", "alm", "gr", "O2", "per"})
      add(n, -1000, 100);
    NTP = NTOT;
    // Phase 5 "g": py, alm, gr with two variables; phase 6 "mix": py and a
    // made end-member fpy (from py and alm) that has no table entry.
    NP = 6;
    for (int i = 1; i <= 4; ++i) (*PREC1)[i].name = "blah";
    ptype1& g = (*PREC1)[5];
    g.name = "g";
    g.nem = 3;
    g.em[1].name = "py";
    g.em[2].name = "alm";
    g.em[3].name = "gr";
    g.xyz[1].guess = 0.3L;
    g.xyz[2].guess = 0.2L;
    ptype1& m = (*PREC1)[6];
    m.name = "mix";
    m.nem = 2;
    m.em[1].name = "py";
    m.em[2].name = "fpy";
    m.em[2].nmake = 2;
    m.em[2].makename[1] = "py";
    m.em[2].makename[2] = "alm";
    for (int i = 1; i <= NP; ++i) SSNAME[i] = (*PREC1)[i].name;
  }
  tdrec& add(const std::string& name, extended h, extended sdh) {
    ++NTOT;
    tdrec& e = (*TDA)[NTOT];
    e.name = name;
    e.h = e.horig = h;
    e.sdh = e.sdhorig = sdh;
    e.smax = -1;
    PHNAMES[NTOT] = name;
    return e;
  }
  void file(const std::string& text) { IO::DATA.opentext(text, "ds-xptest.txt"); }
  void readall() {
    LSQDS::DIRECTCALORIMETRY();
    LSQDS::READOXCAL();
    LSQDS::READEXPERIMENTS();
  }
  std::string log() {
    IO::FLUSHALL();
    return vtest::readfile(*dir / "log.txt");
  }
  // The line of the fatal stop on the screen.
  std::string bomb() {
    const std::string s = screen.str();
    const auto a = s.find("-- run bombed in ");
    return a == std::string::npos ? "" : s.substr(a, s.find('\n', a) - a);
  }
};

}  // namespace

TEST_F(LsqExperimentsTest, LookupsAndReactionText) {
  using LSQDS::MAKERELINE;
  ilvector c, e;
  PHNAMES[1] = "a";
  PHNAMES[2] = "b";
  PHNAMES[3] = "c";
  c[1] = -1, c[2] = -2, c[3] = 1, e[1] = 1, e[2] = 2, e[3] = 3;
  EXPECT_EQ(MAKERELINE(c, e, 3), "a + 2b = c");
  c[1] = 1, c[2] = -1, c[3] = 0;
  EXPECT_EQ(MAKERELINE(c, e, 3), "b = a");

  smallint pos = 9;
  PHNAMES[5] = "a";  // a second "a": the first wins
  EXPECT_TRUE(LSQDS::POSINPHNAME(" a ", pos, false));
  EXPECT_EQ(pos, 1);
  EXPECT_FALSE(LSQDS::POSINPHNAME("A", pos, false));
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(screen.str(), "");
  vtest::runends([] {
    smallint p = 0;
    LSQDS::POSINPHNAME("zz", p, true);
  });
  EXPECT_EQ(bomb(), "-- run bombed in posinphname : zz is not an end-member name");

  PHNAMES[5] = "H2O";
  ilvector list;  // H2O twice: the later position; 0 and negative entries skipped
  list[1] = 5, list[2] = -3, list[3] = 0, list[4] = 5, list[5] = 6, list[6] = 11, list[7] = 7;
  LSQDS::FINDPOSI(list, 7);
  EXPECT_EQ(H2OPOS, 4);
  EXPECT_EQ(CO2POS, 5);
  EXPECT_EQ(IO2, 6);
  EXPECT_EQ(CRDPOS, 7);
  EXPECT_EQ(FCRDPOS, 0);
  EXPECT_EQ(IS2, 0);
}

// Direct calorimetry: a row per end-member with sd(H) below 99, sd floored
// at 0.0001; oxide calorimetry: rows of the used entries only, reduced to
// 298.15 K above 298.2 K.
TEST_F(LsqExperimentsTest, CalorimetryRows) {
  (*TDA)[2].sdh = 0.00001L;  // ky
  (*TDA)[3].sdh = 99;        // sill: free
  (*TDA)[4].sdh = 1.5L;      // and
  (*TDA)[4].h = -2590;
  tdrec& q = (*TDA)[1];
  q.cpa = 0.0979L, q.cpb = -3.35e-6L, q.cpc = -636.2L, q.cpd = -0.7740L;
  file("% oxide calorimetry\n"
       "1 q ky       % first\n"
       "2 -1\n  -10.5 0.5 298.2\n"
       "2 sill ky\n 1 -1 -3 0 298.15   % unused: an sd of 0 is no matter\n"
       "\n"
       "1  q\n 1\n -20 2 975.0\n"
       "0\n0\n");
  readall();
  EXPECT_EQ(NEC, 2);
  EXPECT_EQ(SDYBR[1], 0.0001L);
  EXPECT_EQ((*Y)[2], -2590);
  EXPECT_TRUE((*B)(2, 4));
  EXPECT_EQ((*LHS)(2, 4), 1);
  EXPECT_EQ(NOXCAL, 3);
  EXPECT_EQ(NED, 4);
  EXPECT_EQ(NEXP, 4);
  EXPECT_EQ(NEXPT, 4);
  // Row 3: the first entry, at 298.2 K not reduced; coefficients negated.
  EXPECT_EQ((*Y)[3], -10.5L);
  EXPECT_EQ(SDYBR[3], 0.5L);
  EXPECT_EQ((*LHS)(3, 1), -2);
  EXPECT_EQ((*LHS)(3, 2), 1);
  EXPECT_EQ(NIR[3], 2);
  // Row 4: -20 + the integral of Cp from 298.15 to 975 K (Simpson, 2000 steps).
  auto cp = [&](extended t) { return q.cpa + q.cpb * t + q.cpc / (t * t) + q.cpd / std::sqrt(t); };
  const int n = 2000;
  const extended a = 298.15L, b = 975.0L, hstep = (b - a) / n;
  extended integral = cp(a) + cp(b);
  for (int i = 1; i < n; ++i) integral += (i % 2 ? 4 : 2) * cp(a + i * hstep);
  integral *= hstep / 3;
  EXPECT_NEAR((*Y)[4], -20 + integral, 1e-9L);
  EXPECT_NEAR((*OXCAL)[3].h298, (*Y)[4], 0);
  EXPECT_FALSE((*OXCAL)[2].used);
  const std::string l = log();
  EXPECT_NE(l.find("\nreading direct calorimetry\n  1)  ky\n  2)  and\n"), std::string::npos) << l;
  EXPECT_NE(l.find("\nreading oxide calorimetry\n  3)  ky = 2q\n  4)  ky = sill\n  4)   = q\n"), std::string::npos) << l;
}

// The Landau term of the reduction is the ordering enthalpy of the Gibbs
// energy routine, Tc Smax ((q0 - q) - (q0^3 - q^3)/3), q = 0 above Tc: the
// reduced value is continuous at Tc and constant above it.
TEST_F(LsqExperimentsTest, LandauReductionContinuousAtTc) {
  tdrec& q = (*TDA)[1];
  q.landaut = 847;
  q.smax = 0.00495L;
  file("1 q\n1 0 1 846.9999999\n1 q\n1 0 1 847.001\n1 q\n1 0 1 1200\n0\n0\n");
  readall();
  const extended q0 = std::sqrt(1 - 298.15L / 847);
  const extended above = 847 * 0.00495L * (q0 - q0 * q0 * q0 / 3);
  EXPECT_NEAR((*OXCAL)[1].h298, above, 1e-4L);
  EXPECT_NEAR((*OXCAL)[2].h298, above, 1e-15L);
  EXPECT_NEAR((*OXCAL)[3].h298, above, 1e-15L);
}

// Every record kind of the experiments section: an explicit reaction with
// fixed activities, one whose activities come from a phase and a bracket
// value, a group of two reactions with compositions and starting guesses,
// a group with a made end-member; keywords, weights, brackets and reports.
TEST_F(LsqExperimentsTest, ExperimentRecords) {
  CONTROLDS.infolevel = 3;
  CONTROLDS.tighten = controlboolean::yes;
  file("0\n"
       "% explicit, fixed activities\n"
       "1 ky sill univariant show\n"
       "-1 1 2.5\n"
       "1 1 Holdaway 1971\n"
       "1  7.0  800  0\n"
       "0  6.0  800  0   % a lower bracket\n"
       "2  6.5  800  0\n"
       "-1\n"
       "3 py ky H2O CO2\n"
       " -1 1 2 1\n 0\n"
       "g 1 1 0 Smith\n"
       "1 5.0 600 0.2 0.4 0.3 0.15\n"
       "-1\n"
       "1 g ky univariant unknowncomps\n"
       "2 -1 group ref text \n"
       "py ky\n-1 1\n"
       "alm ky\n-1 1\n"
       "0 10 700 0 0.5 0.25\n"
       "1 11 700 0\n"
       "-1\n"
       "1 mix\n 1 1 made\n py alm\n 1 -1\n 1 1 500 0 0.6\n-1\n"
       "0\n");
  readall();
  ASSERT_EQ(NXPW, 5);
  EXPECT_EQ(NEO, 0);
  EXPECT_EQ(NEXP, 5);
  EXPECT_EQ(FLUIDTYPE, ftype::ih2oco2);

  const xprec& a = (*XPW)[1];
  EXPECT_TRUE(a.used);
  EXPECT_TRUE(a.show);
  EXPECT_EQ(a.variance, 1);
  EXPECT_EQ(a.n, 2);
  EXPECT_EQ(a.coef[1], -1);
  EXPECT_EQ(a.factor, 2.5L);
  EXPECT_EQ(a.nem, 2);
  EXPECT_EQ(a.apos[2], 2);
  EXPECT_EQ(a.ref, "Holdaway 1971 ");
  EXPECT_EQ(a.retext, "ky = sill");
  EXPECT_TRUE(a.nofluid);
  EXPECT_EQ(a.nbr, 2);  // the code-2 bracket is dropped
  EXPECT_TRUE(a.br[1].high);
  EXPECT_FALSE(a.br[2].high);
  EXPECT_EQ(a.br[2].p, 6.0L);
  EXPECT_EQ(a.br[2].t, 1073.15L);
  EXPECT_EQ(a.br[2].a[1], 1);

  const xprec& b = (*XPW)[2];
  EXPECT_FALSE(b.used);
  EXPECT_EQ(b.variance, -1);
  EXPECT_EQ(b.factor, 0.5L);  // 0 with tighten
  EXPECT_EQ(b.nem, 6);        // py alm gr (phase g), ky, H2O, CO2
  EXPECT_EQ(b.acode[1], -1);
  EXPECT_EQ(b.acode[3], -2);
  EXPECT_EQ(b.ssidx[2], 5);
  EXPECT_EQ(b.emidx[2], 9);
  EXPECT_EQ(b.acode[6], 0);
  EXPECT_EQ(b.apos[1], 1);
  EXPECT_EQ(b.apos[3], 5);
  EXPECT_FALSE(b.nofluid);
  EXPECT_EQ(b.ref, "Smith ");
  const brrec& bb = b.br[1];
  EXPECT_EQ(bb.xyz[1], 0.4L);
  EXPECT_EQ(bb.xyz[2], 0.3L);
  EXPECT_EQ(bb.a[1], -1);
  EXPECT_EQ(bb.a[2], -2);
  EXPECT_EQ(bb.a[4], 1);
  EXPECT_NEAR(bb.a[5], 0.8L, 1e-18L);  // H2O: 1 - x(CO2)
  EXPECT_EQ(bb.a[6], 0.15L);           // CO2: read, below 1, kept

  const xprec& g1 = (*XPW)[3];
  const xprec& g2 = (*XPW)[4];
  EXPECT_TRUE(g1.hasss && g1.unknowncomps && g1.multi);
  EXPECT_EQ(g1.nreac, 2);
  EXPECT_EQ(g2.ireac, 2);
  EXPECT_EQ(g2.nreac, 2);
  EXPECT_FALSE(g2.hasss);
  EXPECT_EQ(g1.factor, 0.5L);
  EXPECT_EQ(g2.ref, "group ref text");
  EXPECT_EQ(g2.nem, 4);
  EXPECT_EQ(g2.em[1], 9);  // alm
  EXPECT_EQ(g2.apos[1], 2);
  EXPECT_EQ(g2.retext, "alm = ky");
  EXPECT_EQ(g1.nbr, 2);
  EXPECT_EQ(g2.nbr, 2);
  EXPECT_EQ(g1.br[1].xyz[2], 0.25L);
  EXPECT_TRUE(g1.xyzguess);
  EXPECT_EQ(g1.br[2].xyz[1], 0.3L);  // starting guesses
  EXPECT_EQ(g2.br[2].p, 11);
  EXPECT_TRUE(g2.br[2].high);

  const xprec& m = (*XPW)[5];
  EXPECT_EQ(m.nem, 4);  // py, fpy (no entry), then the constituents py, alm
  EXPECT_EQ(m.emidx[2], 0);
  EXPECT_EQ(m.acode[3], 0.5L);
  EXPECT_EQ(m.emidx[4], 9);
  EXPECT_EQ(m.retext, "alm = py");

  EXPECT_NE(screen.str().find(" 1)  ky = sill  (Holdaway 1971 )\n 2)  py = ky + 2H2O + CO2  (Smith )\n"),
            std::string::npos);
  const std::string l = log();
  EXPECT_NE(l.find("\n\nREADING experimental work\n  1)  ky = sill  (Holdaway 1971 )\n"), std::string::npos) << l;
  EXPECT_NE(l.find("equilibrium: g ky   (group ref text), involving next 2 reactions:\n 1)  py = ky\n 2)  alm = "
                   "ky\n  3)  equil: g ky   (group ref text)\n"),
            std::string::npos)
      << l;
  EXPECT_NE(l.find("involving next reaction:\n 1)  alm = py\n  5)  equil: mix   (made)\n"), std::string::npos) << l;
}

// Weights without "rfac": every factor 1.
TEST_F(LsqExperimentsTest, WeightsWithoutRfac) {
  CONTROLDS.userfac = controlboolean::no;
  file("0\n1 ky sill\n-1 1 2.5\n1 1\n1 7 800 0\n-1\n1 ky sill\n-1 1 -3\n1 1\n-1\n0\n");
  readall();
  EXPECT_EQ((*XPW)[1].factor, 1);
  EXPECT_EQ((*XPW)[2].factor, 1);
}

// crd (or fcrd) given a negative activity is hydrous cordierite at activity
// 1, also where the header names it twice: neither entry keeps the negative
// value, which is the code of a solution-phase entry.
TEST_F(LsqExperimentsTest, HydrousCordieriteNamedTwice) {
  file("0\n1 crd crd ky\n-1 -1 2 1\n-1 -2 1\n1 7 800 0\n-1\n0\n");
  readall();
  ASSERT_EQ(NXPW, 1);
  const xprec& x = (*XPW)[1];
  EXPECT_TRUE(x.hydrouscd);
  ASSERT_EQ(x.nem, 3);
  EXPECT_EQ(x.acode[1], 1);
  EXPECT_EQ(x.acode[2], 1);
  ASSERT_EQ(x.nbr, 1);
  EXPECT_EQ(x.br[1].a[1], 1);
  EXPECT_EQ(x.br[1].a[2], 1);
  EXPECT_EQ(x.br[1].a[3], 1);
}

// A reaction must balance in every element (the charge included), to the
// rounding of the two-decimal amounts of the annotated dataset; explicit
// reactions and the reactions of a group alike. Compositions: ky and sill
// Al2SiO5, q SiO2, cor Al2O3 (0.333 x 3 = 0.999 stands for 1).
TEST_F(LsqExperimentsTest, UnbalancedReactionsAreRefused) {
  KPREAD1::SETUPCOMPONENTTABLE();
  auto comp = [](int k, std::initializer_list<tdcomprec> c) {
    for (const tdcomprec& p : c) (*TDA)[k].comp[++(*TDA)[k].ncomp] = p;
  };
  comp(1, {{1, 1}, {10, 2}});
  comp(2, {{3, 2}, {1, 1}, {10, 5}});
  comp(3, {{3, 2}, {1, 1}, {10, 5}});
  comp(12, {{3, 0.667L}, {10, 1}});  // "per" here: a third of Al2O3
  const std::string f = " in file \"ds-xptest.txt\" (line ";
  // Balanced: ky = sill, ky = q + 3 per (Si 1, Al 2.001, O 5).
  file("0\n1 ky sill\n-1 1 1\n1 1\n1 7 800 0\n-1\n1 ky q per\n-1 1 3 1\n1 1 1\n1 7 800 0\n-1\n0\n");
  readall();
  EXPECT_EQ(NXPW, 2);
  const std::pair<std::string, std::string> cases[] = {
      {"0\n1 ky sill\n-1 2 1\n", "reaction ky = 2sill of experiment 1 doesn't balance (Si: 1)" + f + "3)"},
      {"0\n1 ky sill\n-1 1 1\n1 1\n1 7 800 0\n-1\n1 ky q per\n-1 1 2 1\n",
       "reaction ky = q + 2per of experiment 2 doesn't balance (Al: -0.666)" + f + "8)"},
      {"0\n1 g ky q\n1 1 r\npy ky q\n0 -1 2\n", "reaction ky = 2q of experiment 1 doesn't balance (Si: 1)" + f + "4)"},
  };
  for (const auto& [text, message] : cases) {
    screen.str("");
    NXPW = 0;
    file(text);
    const IO::RunEnded e = vtest::runends([this] { readall(); });
    EXPECT_EQ(e.where, "readxy");
    EXPECT_EQ(e.message, message);
  }
}

// The annotated dataset written back by a run is read by a further run: its
// amounts, rounded to two decimals, still balance the reactions that the
// first run took. aA holds Si 0.125 and O 0.25, bB three times as much, so
// 3 aA = bB balances; written back as 0.12 and 0.38 (0.125 and 0.375 are
// exact in binary and round to even), Si leaves 0.38 - 3 x 0.12 = 0.02, the
// rounding bound 0.005 x (3 + 1) itself. One hundredth more is refused.
TEST_F(LsqExperimentsTest, WrittenBackAmountsStillBalance) {
  KPREAD1::SETUPCOMPONENTTABLE();
  const vtest::tempfolder here("lsqxp-rt-", true);
  auto entry = [](const std::string& name, const std::string& comp) {
    return name + "\n" + comp + "\n 1 1\n -10 1 1\n 0.01 0\n 1\n 0 0 0 0\n 0\n 1 0 0\n\n";
  };
  const std::string xp = "0\n1 aA bB\n-3 1 1\n1 1\n1 7 800 0\n-1\n0\n";
  auto readboth = [&](const std::string& em, const std::string& name) {
    IO::DATA.opentext(em, name);
    LSQDS::READTH();
    IO::DATA.close();
    NXPW = 0;
    file(xp);
    readall();
    IO::DATA.close();
  };
  readboth("5\n\n" + entry("aA", " 1 0.125 10 0.25 0") + entry("bB", " 1 0.375 10 0.75 0") + "*\n", "ds-emrt.txt");
  EXPECT_EQ(NXPW, 1);
  CONTROLDS.emsuffix = "rt";
  LSQDS::WRITEEMDATA();
  const std::string back = vtest::readfile("ds-emrt-i.txt");
  ASSERT_NE(back.find("\naA      \n   1    0.12   10    0.25     0\n"), std::string::npos) << back;
  ASSERT_NE(back.find("\nbB      \n   1    0.38   10    0.75     0\n"), std::string::npos) << back;
  readboth(back, "ds-emrt-i.txt");
  EXPECT_EQ(NXPW, 1);
  EXPECT_EQ((*TDA)[2].comp[1].amount, 0.38L);

  const IO::RunEnded e = vtest::runends([&] {
    readboth("5\n\n" + entry("aA", " 1 0.12 10 0.25 0") + entry("bB", " 1 0.39 10 0.75 0") + "*\n", "ds-emrt.txt");
  });
  EXPECT_EQ(e.message, "reaction 3aA = bB of experiment 1 doesn't balance (Si: 0.03) in file \"ds-xptest.txt\" (line 3)");
}

// Bad input ends in a clean stop that names the file, the line and the limit.
TEST_F(LsqExperimentsTest, BadInputStopsCleanly) {
  const std::string f = " in file \"ds-xptest.txt\" (line ";
  std::string many;
  for (int i = 0; i < 201; ++i) many += "1 ky\n1 -1 1 298\n";
  std::string names16 = "0\n1";
  for (int i = 0; i < 16; ++i) names16 += " ky";
  std::string brackets = "0\n1 ky sill\n-1 1 1\n1 1\n";
  for (int i = 0; i < 271; ++i) brackets += "1 7 800 0\n";
  const std::pair<std::string, std::string> cases[] = {
      {"x\n", "getinteger : expecting an integer (1); got: x - reading oxcal code" + f + "1)"},
      {"1 ky zz\n", "posinphname : zz is not an end-member name" + f + "1)"},
      {"1 ky\n 1\n -1 0 298\n", "readxy : oxide calorimetry entry 1 ( = ky) has sd 0: it must be positive" + f + "3)"},
      {"3 ky\n 1\n -1 -0.1 298\n0\n0\n", ""},
      // So hot that the heat content overflows: no finite value at 298.15 K.
      {"1 ky\n 1\n -1 0.5\n 1e3000\n",
       "readxy : oxide calorimetry entry 1 ( = ky) at T = 1.00000e+3000 K: no finite enthalpy at 298.15 K (the heat content "
       "overflows)" + f + "4)"},
      {"1 ky\n 70000 -1 1 298\n",
       "readxy : coefficient of oxide calorimetry entry 1: 70000 outside -32767..32767" + f + "2)"},
      // The row takes the coefficient negated: -32768 would come back as itself.
      {"1 q ky\n 1\n -32768 -1 1 298\n",
       "readxy : coefficient of oxide calorimetry entry 1: -32768 outside -32767..32767" + f + "3)"},
      {"1 ky\n 1 -1 \n", "reading : expecting a number for sd of oxide calorimetry entry 1" + f + "3)"},
      {many, "readxy : too many oxide calorimetry entries (max = 200) " + f + "401)"},
      {"2" + names16.substr(3) + "\n", "readxy : too many names in oxide calorimetry entry 1 (max = 15) " + f + "1)"},
      {names16 + "\n", "readxy : too many names in the header of experiment 1 (max = 15) " + f + "2)"},
      {"0\n1 ky sill show\n", "readrc : not recognised \"show\"" + f + "2)"},
      {"0\n1 ky sill unknowncomps\n", "readxy : need univariant keyword" + f + "2)"},
      {"0\n1 ky sill\n-1 1 1\n1 -1\n", "readxy : activity of sill in experiment 1 is negative (-1)" + f + "4)"},
      {"0\n1 ky sill\n-1 1 1\n1 gt\n", "reading activity : name, gt, not recognised 1" + f + "4)"},
      {"0\n1 g ky\n0 1 r\n", "readxy : experiment 1 needs at least one reaction, got 0" + f + "3)"},
      {"0\n1 g ky\n1 1 r\npy q\n", "readrc : not recognised \"q\" 1" + f + "4)"},
      {"0\n1 g ky\n1 1 r\npy ky\n-1 1\n1 7 800 0 0.5\n", "readxy : not enough info 1" + f + "6)"},
      // A made end-member has no enthalpy to fit; the working slots hold four phases.
      {"0\n1 mix ky\n1 1 r\nfpy ky\n-1 1\n",
       "readrc : \"fpy\" is a made end-member without a dataset record: write the reaction with its constituents" + f +
           "4)"},
      {"0\n1 g mix g mix g\n", "readxy : experiment 1 names more than 4 solution phases" + f + "2)"},
      {"0\n1 ky sill\n-1 1 1\n0 1\n1 7 800 0\n", "readxy : not enough info 2" + f + "5)"},
      {"0\n1 ky sill\n-1 1 1\n1 1\n1 7 800 1.5\n", "readxy : bracket x(CO2) outside 0..1" + f + "5)"},
      {"0\n1 ky sill\n-1 1 1\n1 1\n1 7\n", "reading : expecting a single (1); got:  - reading T" + f + "5)"},
      {brackets, "readxy : need to increase maxnb (max = 270) " + f + "275)"},
      // ln a of the bracket: activities read on bracket lines must be
      // positive, and the fluid end-members must keep some of the fluid.
      {"0\n1 ky sill\n-1 1 1\n0 1\n1 7 800 0 0\n", "readxy : activity of ky is 0: it must be positive" + f + "5)"},
      {"0\n1 ky sill\n-1 1 1\n0 1\n1 7 800 0 -0.3\n",
       "readxy : activity of ky is -0.3: it must be positive" + f + "5)"},
      {"0\n1 per H2O ky\n-1 1 1 1\n1 1 1\n1 7 800 1\n",
       "readxy : x(CO2) = 1 leaves H2O no activity (ln 0)" + f + "5)"},
      {"0\n1 per CO2 ky\n-1 1 1 1\n1 1 1\n0 7 800 0\n",
       "readxy : x(CO2) = 0 leaves CO2 no activity (ln 0)" + f + "5)"},
      {"0\n1 ky sill\n-1 1 1\n1 1\n1 7 800 0\n", "readxy : end of file while reading the brackets of experiment 1 in file \"ds-xptest.txt\""},
  };
  for (const auto& [text, message] : cases) {
    screen.str("");
    NOXCAL = NXPW = 0;
    file(text);
    const IO::RunEnded e = vtest::endof([this] { readall(); });
    if (message.empty()) {
      EXPECT_EQ(e.status, 0) << text;
      continue;
    }
    EXPECT_EQ(e.status, 1) << text;
    EXPECT_EQ(bomb(), "-- run bombed in " + message) << text.substr(0, 60);
  }
}

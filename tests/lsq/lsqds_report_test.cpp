// The experiment result table and the LaTeX tables of a least-squares
// report, compared with stored expected text. Each expected line was built
// by hand from the layout rules (field by field, as the comments say) before
// it was stored.
#include <gtest/gtest.h>

#include <string>

#include "frame/io.h"
#include "lsq/lsqds_report.h"
#include "support/vt_state.h"

namespace {

using namespace KPGLOBAL;

class LsqReportTest : public vtest::StateTest {
 protected:
  std::unique_ptr<vtest::tempfolder> dir;
  void SetUp() override {
    StateTest::SetUp();
    dir = std::make_unique<vtest::tempfolder>("lsqrep-", true);
  }
  void TearDown() override {
    StateTest::TearDown();
    dir.reset();
  }
  static brrec& br(xprec& x, bool high, extended p, extended tc, extended h) {
    brrec& b = x.br[++x.nbr];
    b.high = high, b.p = p, b.t = tc + 273.15L, b.h = h;
    return b;
  }
  tdrec& em(const std::string& name, const std::string& descr, std::initializer_list<tdcomprec> comp) {
    ++NTOT;
    NTP = NTOT;
    tdrec& t = (*TDA)[NTOT];
    t.name = name;
    t.descr = descr;
    PHNAMES[NTOT] = name;
    for (const tdcomprec& c : comp) t.comp[++t.ncomp] = c;
    t.smax = -1, t.vmax = -1, t.sffac = 1, t.code = 1;
    return t;
  }
  static void setelnames() {
    const char* el[] = {"Si", "Ti", "Al", "Fe", "Mg", "Mn", "Ca", "Na", "K", "O",
                        "H",  "C",  "Cl", "e",  "Ni", "Zr", "S",  "Cu", "Cr"};
    for (int i = 1; i <= 19; ++i) ELNAME[i] = el[i - 1];
  }
};

const std::string pad(82, ' ');

// Layout of the result blocks: a same-P pair (lower first) with its summary
// items below; a lone upper bracket with calc "*" (299 K) and a miss; a
// same-T pair (both pressures, calc P and 2sd); a same-P-T pair with
// different activity terms (both ln K, interpolated L); a lower bracket whose
// temperature solve failed ("*" as miss); a fifth line with no summary item;
// the summation signs of mark456 and tighten; an unused experiment with its
// factor on an own line; a decreasing pair ("<>") with factor 1.005 (not
// printed), sd 0 (no "but OK") and the 2sd of 3.5 rounded half to even;
// a used experiment without brackets (no summary items at all).
TEST_F(LsqReportTest, ExperimentResultTable) {
  IO::OPENOUTPUT(IO::chresults, "o.txt");
  CONTROLDS.mark456 = controlboolean::yes;
  CONTROLDS.tighten = controlboolean::yes;
  NEO = 0;
  (*HAT)[1] = 0.4L, (*HAT)[2] = 0.7L, (*HAT)[3] = 0.25L;

  xprec& a = (*XPW)[1];
  a.used = true, a.row = 1, a.variance = -1, a.retext = "aa = bb", a.ref = "ref A ", a.factor = 1;
  a.ch = 5, a.sdch = 0.5L, a.hcase = 1, a.hlow = 4, a.hhigh = 6, a.sbar = 0.25L, a.ds = 2, a.wsum = 2;
  brrec& a1 = br(a, false, 5, 600, 4);
  a1.tcalc = 900.15L, a1.sdtcalc = 7.6L;
  br(a, true, 5, 650, 6);

  xprec& b = (*XPW)[2];
  b.used = true, b.row = 2, b.variance = -1, b.nofluid = true, b.retext = "cc = dd", b.ref = "ref B";
  b.factor = 0.5L, b.ch = 3.5L, b.sdch = 0.25L, b.hcase = 4, b.hlow = 3.6L, b.hhigh = 4, b.sbar = 0.3L;
  b.ds = -0.5L, b.wsum = 0;
  br(b, true, 2, 500, 3).tcalc = 299;
  brrec& b2 = br(b, false, 3, 400, 1);
  b2.pcalc = 3.55L, b2.sdpcalc = 0.1L;
  br(b, true, 4, 400, 4);
  br(b, false, 6, 526.85L, 5).lna = -0.2L;
  br(b, true, 6, 526.85L, 4.5L).lna = 0.3L;
  br(b, false, 7, 626.85L, 4).tcalc = 150;
  brrec& b7 = br(b, true, 8, 726.85L, 9);
  b7.tcalc = 1001.15L, b7.sdtcalc = 2.4L;

  xprec& c = (*XPW)[3];
  c.used = false, c.variance = -1, c.retext = "ee = ff", c.ref = "ref C", c.factor = 2.004L, c.ch = 10, c.sdch = 1;
  brrec& c1 = br(c, false, 1.5L, 300, 1);
  c1.xco2 = 0.25L, c1.tcalc = 1000;

  xprec& d = (*XPW)[4];
  d.used = true, d.row = 3, d.variance = -1, d.retext = "gg = hh", d.ref = "ref D", d.factor = 1.005L;
  d.ch = 5, d.sdch = 0, d.hcase = 2, d.hlow = 3, d.hhigh = 4, d.sbar = 0.1L, d.ds = 1.2L, d.wsum = 0;
  brrec& d1 = br(d, false, 5, 600, 6);
  d1.tcalc = 900.15L, d1.sdtcalc = 3.5L;
  br(d, true, 5, 650, 4);

  // A used experiment whose first bracket line ends its brackets: heading
  // and column line only.
  xprec& e = (*XPW)[5];
  e.used = true, e.row = 4, e.variance = -1, e.retext = "ii = jj", e.ref = "ref E", e.factor = 1, e.ch = 2;

  for (smallint i = 1; i <= 5; ++i) LSQDS::WRITEFULL(i);
  CONTROLDS.printomit = controlboolean::no;
  LSQDS::WRITEFULL(3);  // not printed
  IO::CLOSEOUTPUT();

  const std::string head =
      "     ln_K     x(CO2)    P(kbar)      T(C)     H(low) H(high)  miss   calc   2sd        summary\n";
  const std::string sum = "\xE2\x88\x91";
  // Fields: ln_K 9 + 3 | x(CO2) 6 + 1 | P 9 + 4 (pair at one T: 6 + 6) |
  // T 5 5 (or 8 + 3) | H 9 8 | miss 7 | calc 7 | 2sd 6 | 3 blanks, summary.
  const std::string expected =
      "\n1)  aa = bb   (ref A)\n\n" + head +
      "        0        0       5.0      600  650     4.00    6.00           627    16   "
      "1 (4.00 <-> 6.00)  (5.00, 0.50, 2.00)\n" +
      pad + "cH = 5.00 (sd  0.50) \n" + pad + "within bracket\n" + pad + "uH = 0.25, d/s = 2.0, h = 0.40\n" +
      "\n2)  cc = dd   (ref B)\n\n" + head +
      // upper alone: 5 blanks, T, 9 blanks, H; miss 299 - 773.15 = -474; calc "*" below 300 K
      "        0        -       2.0           500             3.00   -474      *     *   " + sum +
      "4 (3.60 <-> 4.00)  (3.80, 0.10)@\n"
      // same T: both P (6 each), T in 8, 3 blanks, both H; calc P and 2 sd(P)
      "        0        -    3.0   4.0     400        1.00    4.00          3.55  0.20   "
      "cH = 3.50 (sd  0.25) " + sum + "0.50\n"
      // same P and T, ln K -0.2 and 0.3 (6 each, no blanks after): L = -0.2 + (3.5 - 5)(0.5)/(-0.5) = 1.3;
      // ch below both: ln K(n) - L = -1.00; 2sd = 2 * 0.25 * |0.5 / -0.5|
      " -0.20  0.30     -       6.0         527        5.00    4.50  -1.00   1.30  0.50   "
      "too low but OK\n"
      // lower alone: T 5, 5 blanks, H 9, 8 blanks; the temperature solve
      // failed: "*" as miss and calc
      "        0        -       7.0      627          4.00              *      *     *   "
      "uH = 0.30, d/s = -0.5, h = 0.70\n"
      // fifth line: no summary item left
      "        0        -       8.0           727             9.00           728     4   \n"
      "\n*  ee = ff   (ref C)\n\n" + head +
      "        0     0.25       1.5      300          1.00                   727     *    ** NOT USED **\n" +
      pad + "cH = 10.00 (sd  1.00) 2\n" +
      "\n3)  gg = hh   (ref D)\n\n" + head +
      "        0        0       5.0      600  650     6.00    4.00     <>    627     8   "
      "2 (3.00 <-> 4.00)  (3.50, 0.50)@\n" +
      pad + "cH = 5.00 (sd  0) \n" + pad + "too high \n" + pad + "uH = 0.10, d/s = 1.2, h = 0.25\n" +
      "\n4)  ii = jj   (ref E)\n\n" + head;
  EXPECT_EQ(vtest::readfile("o.txt"), expected);
}

// Formulae: the formula order of the elements, amounts (1 gives an empty
// subscript, 2.005 is 2, 1.5 stays), the hydroxyl form (with and without
// oxygen beyond the OH groups, never for H2O), the charge form (1-, 2-, +).
TEST_F(LsqReportTest, LatexFormulae) {
  setelnames();
  IO::OPENOUTPUT(IO::chlog, "log.txt");
  em("br", "brucite", {{10, 2}, {5, 1}, {11, 2}});
  em("prl", "pyrophyllite", {{1, 4}, {3, 2}, {10, 12}, {11, 2}});
  em("H2O", "water", {{11, 2}, {10, 1}});
  em("fo", "forsterite", {{10, 4}, {1, 1.5L}, {5, 2.005L}});
  em("hco3-", "bicarbonate", {{12, 1}, {11, 1}, {10, 3}, {14, 1}});
  em("so4-2", "sulphate", {{17, 1}, {10, 4}, {14, 2}});
  em("na+", "sodium", {{8, 1}, {14, -1}});
  LSQDS::LATEXOUTPUT();
  IO::CLOSEOUTPUT();
  const std::string log = vtest::readfile("log.txt");
  for (const char* row : {"\nbr & brucite  & Mg$_{}$(OH)$_{2}$ \\\\\n",
                          "\nprl & pyrophyllite  & Al$_{2}$Si$_{4}$O$_{10}$(OH)$_{2}$ \\\\\n",
                          "\nH2O & water  & H$_{2}$O$_{}$ \\\\\n",
                          "\nfo & forsterite  & Mg$_{2}$Si$_{1.5}$O$_{4}$ \\\\\n",
                          "\nhco3- & bicarbonate  & C$_{}$H$_{}$O$_{3}^{-}$ \\\\\n",
                          "\nso4-2 & sulphate  & S$_{}$O$_{4}^{2-}$ \\\\\n", "\nna+ & sodium  & Na$^{+}$ \\\\\n"})
    EXPECT_NE(log.find(row), std::string::npos) << row << "\n" << log;

  // A composition without any of the 19 elements stops the run.
  vtest::resetstate(screen, keyboard);
  em("x", "nothing", {{20, 1}});
  EXPECT_THROW(LSQDS::LATEXOUTPUT(), IO::RunEnded);
  EXPECT_NE(screen.str().find("-- run bombed in latex : no ox"), std::string::npos);
}

// The whole LaTeX output for four end-members: a Landau mineral, a
// Bragg-Williams one, a liquid and an aqueous species.
TEST_F(LsqReportTest, LatexTables) {
  setelnames();
  IO::OPENOUTPUT(IO::chlog, "log.txt");
  tdrec& q = em("q", "quartz", {{1, 1}, {10, 2}});
  q.h = -910.72L, q.sdh = 0.04L, q.s = 0.04143L, q.v = 2.269L, q.cpa = 0.0929L, q.cpb = -6.42e-7L;
  q.cpc = -714.9L, q.cpd = -0.7161L, q.kappa0 = 730, q.kappa0p = 6, q.kappa0pp = -0.0082L;
  q.smax = 0.00495L, q.landaut = 847, q.vmax = 0.1188L, q.code = 2;
  tdrec& fo = em("fo", "forsterite", {{5, 2}, {1, 1}, {10, 4}});
  fo.h = -2172.2L, fo.sdh = 0.5L, fo.s = 0.0951L, fo.v = 4.366L, fo.cpa = 0.2333L, fo.cpb = 1.494e-6L;
  fo.cpc = -603.8L, fo.cpd = -1.8697L, fo.alpha0 = 2.85e-5L, fo.kappa0 = 1285, fo.kappa0p = 3.84L;
  fo.kappa0pp = -0.003L, fo.sfn = 1, fo.sfdh = 3.5L, fo.sfdhv = 0.01L, fo.sfw = 2.5L, fo.sfwv = 0.02L, fo.code = 4;
  tdrec& ql = em("qL", "silica liquid", {{1, 1}, {10, 2}});
  ql.h = -921.07L, ql.sdh = 0.99L, ql.s = 0.0165L, ql.v = 2.73L, ql.cpa = 0.0826L, ql.kappa0 = 220;
  ql.kappa0p = 9.46L, ql.kappa0pp = -0.043L, ql.dkappa0dt = -0.001L;
  tdrec& hc = em("hco3-", "bicarbonate", {{12, 1}, {11, 1}, {10, 3}, {14, 1}});
  hc.h = -689.93L, hc.sdh = 0.5L, hc.s = 0.0983L, hc.v = 2.424L, hc.aqcp = 2.5L, hc.code = 3;
  LSQDS::LATEXOUTPUT();
  IO::CLOSEOUTPUT();

  const std::string s46 = "% " + std::string(46, '-'), s48 = "% " + std::string(48, '-');
  const std::string close = "\\hline \\end{tabular}\n";
  const std::string expected =
      "\n\n" + s46 + "\n% end-member formulae\n\n"
      "\\begin{tabular}{|p{1.5cm}p{3.5cm}p{4.5cm}|} \\hline\n"
      "q & quartz  & Si$_{}$O$_{2}$ \\\\\n"
      "fo & forsterite  & Mg$_{2}$Si$_{}$O$_{4}$ \\\\\n"
      "qL & silica liquid  & Si$_{}$O$_{2}$ \\\\\n"
      "hco3- & bicarbonate  & C$_{}$H$_{}$O$_{3}^{-}$ \\\\\n" +
      close + "\n" + s48 + "\n\n\n" + s46 + "\n% thermodynamic properties (units : kJ, K, kbar)\n\n"
      "\\scriptsize\n\\begin{tabular}{|l|rr|rr|rrrr|rrrr|r|} \\hline\n"
      // 8 blanks; texts longer than their width stand as they are; "$S$ &" and
      // "$V$ &" right in 8; the C_P and ell headings left in 35 and 23.
      "        & $\\Delta_{\\rm f}H$ &$\\sigma(\\Delta_{\\rm f}H)$ &   $S$ &   $V$ &$C_P$ & & & &" +
      std::string(22, ' ') + "$\\alpha\\, \\kappa$ & & & & $\\ell$" + std::string(10, ' ') + "  \\\\\n" +
      std::string(41, ' ') +
      "& & & & & a &      b &      c &      d &$\\alpha_0$ &$\\kappa_0$ &$\\kappa_0'$ &$\\kappa_0''$ &  \\\\ \\hline\n"
      // name left in 8, then " & " and H 2/10, sd 2/7, 1000 S 2/8, V 3/8, a 4/8,
      // 1e5 b 4/9, c 1/9, d 4/9, 1e5 alpha 2/7, K 1/8, K' 2/7, K'' 4/8, model.
      "q        &    -910.72 &    0.04 &    41.43 &    2.269 &   0.0929 &   -0.0642 &    -714.9 &   -0.7161 & "
      "      0 &    730.0 &    6.00 &  -0.0082 &  1  \\\\\n"
      "fo       &   -2172.20 &    0.50 &    95.10 &    4.366 &   0.2333 &    0.1494 &    -603.8 &   -1.8697 & "
      "   2.85 &   1285.0 &    3.84 &  -0.0030 &  2  \\\\\n"
      "qL       &    -921.07 &    0.99 &    16.50 &    2.730 &   0.0826 &         0 &         0 &         0 & "
      "      0 &    220.0 &    9.46 &  -0.0430 &  4  \\\\\n"
      "hco3-    &    -689.93 &    0.50 &    98.30 &    2.424 &        0 &         0 &         0 &         0 & "
      "      0 &        0 &       0 &        0 &  3  \\\\\n" +
      close + "\n" + s48 + "\n" +
      "\\scriptsize\n\\begin{tabular}{|l|rrr|} \\hline\n"
      "landau & $Tc$ &$S_{\\rm max}$ &$V_{\\rm max}$  \\\\ \\hline\n"
      "q        &     847 &    4.95 &  0.1188  \\\\\n" +
      close + "\n" + s46 + "\n" +
      "\\scriptsize\n\\begin{tabular}{|l|rrrrrr|} \\hline\n"
      "sf & $\\Delta H$ &$\\Delta V$ &  $W$ &$W_V$ &$n$ &  fac  \\\\ \\hline\n"
      "fo       &    3.50 &  0.0100 &    2.50 &  0.0200 &     1 &  1.00  \\\\\n" +
      close + "\n" + s46 + "\n" +
      "\\scriptsize\n\\begin{tabular}{|l|r|} \\hline\n"
      "melt & $d\\kappa_0/dT$  \\\\ \\hline\n"
      "qL       &   -0.00100  \\\\\n" +
      close + "\n" + s46 + "\n" +
      "\\scriptsize\n\\begin{tabular}{|l|r|} \\hline\n"
      "aq & $C_{P,\\rm aq}$  \\\\ \\hline\n"
      "hco3-    &   2.5000  \\\\\n" +
      close + "\n" + s46 + "\n";
  EXPECT_EQ(vtest::readfile("log.txt"), expected);
}

// Page breaks: 41 formula rows and 40 property rows per tabular.
TEST_F(LsqReportTest, LatexPageBreaks) {
  setelnames();
  IO::OPENOUTPUT(IO::chlog, "log.txt");
  for (int k = 1; k <= 42; ++k) em('e' + std::to_string(k), "d", {{1, 1}, {10, 2}});
  LSQDS::LATEXOUTPUT();
  IO::CLOSEOUTPUT();
  const std::string log = vtest::readfile("log.txt");
  EXPECT_NE(log.find("e41 & d  & Si$_{}$O$_{2}$ \\\\\n\\hline \\end{tabular}\n\\newpage\n\n"
                     "\\begin{tabular}{|p{1.5cm}p{3.5cm}p{4.5cm}|} \\hline\ne42 & d  &"),
            std::string::npos)
      << log;
  const std::size_t p40 = log.find("\ne40      &");
  const std::size_t p41 = log.find("\ne41      &");
  ASSERT_NE(p40, std::string::npos);
  ASSERT_NE(p41, std::string::npos);
  const std::string between = log.substr(p40, p41 - p40);
  EXPECT_NE(between.find("  \\\\\n\\hline \\end{tabular}\n\\newpage\n\n\\scriptsize\n"
                         "\\begin{tabular}{|l|rr|rr|rrrr|rrrr|r|} \\hline\n"),
            std::string::npos)
      << between;
  std::size_t n = 0, at = 0;
  while ((at = log.find("\\newpage", at)) != std::string::npos) ++n, ++at;
  EXPECT_EQ(n, 2u);
}

// Line flags of the result table, case by case: a lower and an upper
// bracket share a line at the same P (samepx), T (sametx) or both (ditto);
// samepx and sametx also need the same activity term, ditto does not; two
// brackets on one side never share; a bracket on the line before is never
// paired again.
TEST_F(LsqReportTest, LineFlags) {
  xprec& x = (*XPW)[1];
  br(x, false, 5, 600, 0);       // 1
  br(x, true, 5, 600, 0);        // 2: same P, T, x and lna: all three
  br(x, false, 5, 600, 0);       // 3: 2 shares the line before
  br(x, true, 5, 600, 0).lna = 1;  // 4: same P and T, another lna: ditto only
  br(x, true, 6, 600, 0);        // 5: 4 is on a shared line
  br(x, true, 6, 700, 0);        // 6: both upper
  br(x, false, 7, 700, 0);       // 7: same T as 6
  br(x, true, 7, 700, 0);        // 8: same P and T as 7, but 7 shares the line before
  x.br[1].ditto = true;          // stale flags are cleared
  LSQDS::SAMEPTXW(1);
  const bool px[] = {false, true, false, false, false, false, false, false};
  const bool tx[] = {false, true, false, false, false, false, true, false};
  const bool dt[] = {false, true, false, true, false, false, false, false};
  for (int k = 1; k <= 8; ++k) {
    EXPECT_EQ(x.br[k].samepx, px[k - 1]) << k;
    EXPECT_EQ(x.br[k].sametx, tx[k - 1]) << k;
    EXPECT_EQ(x.br[k].ditto, dt[k - 1]) << k;
  }
}

}  // namespace

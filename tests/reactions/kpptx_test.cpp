// Reaction-line tables and the diagram variables on straight lines worked by
// hand: a = b with dmu = 10 - 0.01 T - 0.1 (P - 0.001), so P(T) = 100.001 -
// 0.1 T and T(P) = 1000.01 - 10 P; sd(P) = sqrt(nu COV nu) / |dV| and sd(T) =
// sqrt(nu COV nu) / |dS|. Expected cells are formatted here with printf.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "frame/io.h"
#include "reactions/kpptx.h"
#include "solver/solver_support.h"

using namespace KPGLOBAL;

namespace {

std::string cell(const char* fmt, double v, int w = 8) {
  char b[64];
  std::snprintf(b, sizeof b, fmt, w, v);
  return b;
}

class LineTable : public solvertest::SolverTest {
 protected:
  void SetUp() override {
    SolverTest::SetUp();
    CALCMODE = calcmodetype::phasecalc;
    DIAGRAMMODE = diagramtype::ptcalc;
    NCV = NNE = 2, NR = 1;
    row(1, "a", 0, 0.01L, 1);
    row(2, "b", 10, 0.02L, 0.9L);
    (*R)(1, 1) = -1, (*R)(1, 2) = 1;
    RLINES[1] = "1)  a = b";
    (*COV)(1, 1) = 0.04L, (*COV)(2, 2) = 0.05L, (*COV)(1, 2) = (*COV)(2, 1) = 0.01L;  // nu COV nu = 0.07
    FIXEDXCO2 = 0, FIXEDXH2O = 0;
    TPRECISION = 2, PPRECISION = 3;
  }
  void row(int k, const char* name, extended h, extended s, extended v) {
    NAME[k] = name;
    (*TD)[k] = tdvector{};
    (*TD)[k].h = h, (*TD)[k].s = s, (*TD)[k].v = v;
  }
  // The lines of the screen from the one beginning with start.
  std::vector<std::string> linesfrom(const std::string& start) const {
    std::istringstream in(screen.str());
    std::vector<std::string> v;
    std::string l;
    bool on = false;
    while (std::getline(in, l)) {
      if (l.rfind(start, 0) == 0) on = true;
      if (on) v.push_back(l);
    }
    return v;
  }
  // P calculated along T = 700, 715, ..., 1000 K in a 1-30 kbar window.
  void pcalc() {
    CALCVARIABLE = calcvariabletype::calcpressure;
    OTHERVARIABLE = othervariabletype::fixedtemperature;
    PTMODE = findtype::findp;
    PLOW = 1, PHIGH = 30, TLOW = 700, THIGH = 1000;
    NLT = 21;
    for (int j = 1; j <= NLT; ++j) LT[j] = 700 + 15 * (j - 1);
    FIXEDT = 850, FIXEDP = 15.5L;
  }
  // The reaction a = b + CO2 on a T-x(CO2) diagram: CO2 (end-member 3) a
  // plain species beside a and b, T calculated at each x(CO2).
  void decarbonationtx() {
    NCV = NNE = 3;
    row(3, "c", 0, 0, 0);
    (*R)(1, 3) = 1;
    CO2POS = 3;
    DIAGRAMMODE = diagramtype::txcalc;
    CALCVARIABLE = calcvariabletype::calctemperature;
    OTHERVARIABLE = othervariabletype::fixedmolefractionCO2;
    PTMODE = findtype::findt;
  }
};

}  // namespace

// Widening and restoring the window, the conditions at a diagram point and
// the refinement tolerances, by diagram type.
TEST_F(LineTable, DiagramVariablesAndWindow) {
  PLOW = 0.5L, PHIGH = 10;
  KPPTX::ENLARGEWINDOW(calcvariabletype::calcpressure);
  EXPECT_EQ(PLOW, ABSPLOW);
  EXPECT_EQ(PHIGH, 15);
  KPPTX::RESTOREWINDOW(calcvariabletype::calcpressure);
  EXPECT_EQ(PLOW, 0.5L);
  EXPECT_EQ(PHIGH, 10);
  PLOW = 1400, PHIGH = 1500;
  KPPTX::ENLARGEWINDOW(calcvariabletype::calcpressure);
  EXPECT_EQ(PLOW, 1395);
  EXPECT_EQ(PHIGH, 1500);
  TLOW = 400, THIGH = 2800;
  KPPTX::ENLARGEWINDOW(calcvariabletype::calctemperature);
  EXPECT_EQ(TLOW, 283);
  EXPECT_EQ(THIGH, 3000);
  KPPTX::RESTOREWINDOW(calcvariabletype::calctemperature);
  EXPECT_EQ(TLOW, 400);
  EXPECT_EQ(THIGH, 2800);

  extended p, t, x, w, lna = -7, mu = 3;
  FIXEDP = 4, FIXEDT = 777, FIXEDXCO2 = 0.2L, FIXEDXH2O = 0.8L;
  DIAGRAMMODE = diagramtype::txcalc;
  KPPTX::SETIPTX(0.3L, 900, p, t, x, w, lna, mu);
  EXPECT_EQ(t, 900);
  EXPECT_EQ(x, 0.3L);
  EXPECT_EQ(w, 1 - 0.3L);
  EXPECT_EQ(p, 4);
  DIAGRAMMODE = diagramtype::ptcalc;
  CALCVARIABLE = calcvariabletype::calctemperature;
  KPPTX::SETIPTX(5, 900, p, t, x, w, lna, mu);
  EXPECT_EQ(p, 5);
  EXPECT_EQ(t, 900);
  EXPECT_EQ(x, 0.2L);
  DIAGRAMMODE = diagramtype::plnacalc;
  KPPTX::SETIPTX(-1.5L, 6, p, t, x, w, lna, mu);
  EXPECT_EQ(lna, -1.5L);
  EXPECT_EQ(p, 6);
  EXPECT_EQ(t, 777);
  EXPECT_EQ(mu, 3);

  extended xt, yt;
  KPPTX::SETLIM(xt, yt);
  EXPECT_EQ(xt, 0.001L);
  EXPECT_EQ(yt, 0.01L);
  DIAGRAMMODE = diagramtype::ptcalc;
  KPPTX::SETLIM(xt, yt);
  EXPECT_EQ(xt, 0.01L);
  EXPECT_EQ(yt, 0.5L);
  DIAGRAMMODE = diagramtype::tlnacalc;
  KPPTX::SETLIM(xt, yt);
  EXPECT_EQ(yt, 0.5L);
}

// P at T: 21 x-points print 1, 3, ..., 21; the cells are P(T) = 100.001 -
// 0.1 T with "+" above 30 kbar and "-" below 1; the uncertainties are taken
// at 850 K (P = 15.001): sd(P) = sqrt(0.07) / 0.1 = 2.65 kbar and sd(T) =
// 0.1 sd(P) / 0.01 = 26 K. The second row holds no root: blank cells, no
// uncertainties. Without a run name the range line reads "Prsessures".
TEST_F(LineTable, PressureAtTemperature) {
  pcalc();
  KPPTX::PTXTABLE();
  const auto l = linesfrom("1)  a = b");
  ASSERT_GE(l.size(), 16u) << screen.str();
  EXPECT_EQ(l[2], "Thermodynamics of reactions (0 = a + bT + cP + RT ln K)");
  EXPECT_EQ(l[3], "linearised at T = 577, P = 15.5");
  // a = dmu - T d/dT - P d/dP = 10 + 0.0001, b = -0.01, c = -0.1.
  EXPECT_EQ(l[7], "1       10.000    0.26  -0.010000   -0.10000        0        0");
  EXPECT_EQ(l[9], "Prsessures in the range 1.0 <-> 30.0kbar;  ");
  // 850 K is 576.85 C: the label shows the point as the header cells do.
  EXPECT_EQ(l[10], "uncertainties at 576.85" + IO::DEGREE + "C ");
  std::string head = "P(kbar)";
  for (int j = 1; j <= 21; j += 2) head += cell("%*.2f", 700 + 15 * (j - 1) - 273.15);
  head += "     sdT     sdP";
  EXPECT_EQ(l[12], head);
  std::string r1 = "1     ";
  for (int j = 1; j <= 21; j += 2) {
    const double T = 700 + 15 * (j - 1), P = 100.001 - 0.1 * T;
    r1 += P > 30 ? "       +" : P < 1 ? "       -" : cell("%*.3f", P);
  }
  r1 += "      26    2.65";
  EXPECT_EQ(l[14], r1);
  EXPECT_EQ(l[15], std::string(6 + 11 * 8, ' '));
}

// T at P with a run name: "Temperatures for" the name; row 1 with root 1
// gives sd(T) with one decimal (sqrt(0.07) / 0.01 = 26.5 K) and sd(P) =
// 0.01 sd(T) / 0.1 with two (2.65). A zero derivative makes a derived
// uncertainty "+", never inf or NaN.
TEST_F(LineTable, TemperatureAtPressureAndZeroSlope) {
  CALCVARIABLE = calcvariabletype::calctemperature;
  OTHERVARIABLE = othervariabletype::fixedpressure;
  PTMODE = findtype::findt;
  PLOW = 1, PHIGH = 30, TLOW = 700, THIGH = 1000;
  NLP = 4;
  for (int j = 1; j <= 4; ++j) LP[j] = 5 * j;  // T = 950, 900, 850, 800 K
  FIXEDP = 10, FIXEDT = 850;
  VOVUVUVED.rockname = "ASH";
  KPPTX::PTXTABLE();
  auto l = linesfrom("Temperatures");
  ASSERT_GE(l.size(), 6u) << screen.str();
  EXPECT_EQ(l[0], "Temperatures for ASH in the range 427 <-> 727" + IO::DEGREE + "C;  ");
  std::string r1 = "1     ";
  for (int j = 1; j <= 4; ++j) r1 += cell("%*.2f", 1000.01 - 10 * 5 * j - 273.15);
  EXPECT_EQ(l[5], r1 + "    26.5    2.65");

  // dS = 0: dmu = 10 - 0.1 (P - 0.001), the line P = 100.001 at every T;
  // d(dmu)/dT = 0, so sd(T) = 0.1 sd(P) / 0 has no value.
  screen.str("");
  row(2, "b", 10, 0.01L, 0.9L);
  pcalc();
  PHIGH = 150;
  KPPTX::PTXTABLE();
  l = linesfrom("P(kbar)");
  ASSERT_GE(l.size(), 3u) << screen.str();
  EXPECT_EQ(l[2].substr(l[2].size() - 16), "       +    2.65");
  EXPECT_EQ(screen.str().find("inf"), std::string::npos);
  EXPECT_EQ(screen.str().find("NaN"), std::string::npos);
}

// Print marks: 20 points print 20 columns, 201 print 1, 12, ..., 199 and 201
// (20 columns); a T-log a table has no thermodynamics block, and of five ln a
// values its uncertainties are taken at the second.
TEST_F(LineTable, PrintMarksAndLogaTable) {
  pcalc();
  const auto columns = [&](int n) {
    screen.str("");
    NLT = static_cast<smallint>(n);
    for (int j = 1; j <= n; ++j) LT[j] = 700 + 300.0L * (j - 1) / (n - 1);
    KPPTX::PTXTABLE();
    const auto l = linesfrom("P(kbar)");
    std::istringstream in(l.at(0));
    std::string w;
    int c = -1;  // the label
    while (in >> w) ++c;
    return c - 2;  // less sdT and sdP
  };
  EXPECT_EQ(columns(20), 20);
  EXPECT_EQ(columns(21), 11);
  EXPECT_EQ(columns(201), 20);

  screen.str("");
  DIAGRAMMODE = diagramtype::tlnacalc;
  CALCVARIABLE = calcvariabletype::calctemperature;
  OTHERVARIABLE = othervariabletype::fixedlnactivity;
  PTMODE = findtype::findt;
  LNAPOS = 2, KEEPLNAS[1] = 0.02L, LNANAMEP[1] = "bee";
  LNALOW = -1, LNAHIGH = 0;
  NLLNA[1] = 5;
  for (int j = 1; j <= 5; ++j) LLNA(1, j) = -1 + 0.25L * (j - 1);
  FIXEDP = 1;
  KPPTX::PTXTABLE();
  EXPECT_EQ(screen.str().find("Thermodynamics"), std::string::npos);
  EXPECT_NE(screen.str().find("uncertainties at or near ln a(bee) -0.75"), std::string::npos) << screen.str();
  EXPECT_NE(screen.str().find("Temperatures in the range 427 <-> 727" + IO::DEGREE + "C;  for P = 1.0 kbar"),
            std::string::npos);
  // T at ln a = v: 10 - 0.1 (1 - 0.001) - (0.01 - R v) T = 0 (b carries the
  // axis, dV = -0.1 at 1 kbar): 546.49 C at v = -0.25.
  const double T0 = (10 - 0.1 * (1 - 0.001)) / (0.01 - 0.0083144 * -0.25) - 273.15;
  EXPECT_NE(screen.str().find(cell("%*.2f", T0)), std::string::npos) << screen.str();
}

// The uncertainty label names the list point the uncertainties are taken at:
// the first at or above the fixed condition (P list 1..10 with the fixed P
// at 5.5: 6.0; T list 700, 715, ... K with the fixed T at 857 K: 865 K), or
// entry trunc(n/2) of an x(CO2) list, with the decimals that point needs:
// P 6.0 and 5.55 (list 1, 1.35, ... built by adding 0.35, as the P interval
// builds it: 5.5 is its fixed P but not a list point), T 400 C with none
// (a list in C, shifted to K and back), 591.85 C and 592.5 C with two and one,
// 1/3 with the largest number, 6. On a T-x(CO2) line of a = b + CO2
// sd(T) = sqrt(0.07) / |R ln x - 0.01| changes with x, so the printed sdT
// must be the one at the labelled x.
TEST_F(LineTable, UncertaintyLabelNamesThePointUsed) {
  CALCVARIABLE = calcvariabletype::calctemperature;
  OTHERVARIABLE = othervariabletype::fixedpressure;
  PTMODE = findtype::findt;
  PLOW = 1, PHIGH = 10, TLOW = 700, THIGH = 1000;
  NLP = 10;
  for (int j = 1; j <= NLP; ++j) LP[j] = j;
  FIXEDP = 5.5L, FIXEDT = 850;
  KPPTX::PTXTABLE();
  EXPECT_NE(screen.str().find("\nuncertainties at 6.0 kbars \n"), std::string::npos) << screen.str();
  screen.str("");
  NLP = 26;
  LP[1] = 1;
  for (int j = 2; j <= 25; ++j) LP[j] = LP[j - 1] + 0.35L;
  LP[26] = 10;
  KPPTX::PTXTABLE();
  EXPECT_NE(screen.str().find("\nuncertainties at 5.55 kbars \n"), std::string::npos) << screen.str();
  EXPECT_EQ(screen.str().find("uncertainties at 5.5 "), std::string::npos) << screen.str();

  screen.str("");
  pcalc();
  FIXEDT = 857;
  KPPTX::PTXTABLE();
  EXPECT_NE(screen.str().find("\nuncertainties at 591.85" + IO::DEGREE + "C \n"), std::string::npos)
      << screen.str();
  const auto tlabel = [&](extended t0, extended step) {
    screen.str("");
    for (int j = 1; j <= NLT; ++j) LT[j] = t0 + 273.15L + step * (j - 1);
    TLOW = LT[1], THIGH = LT[NLT], FIXEDT = LT[1];
    KPPTX::PTXTABLE();
    const auto l = linesfrom("uncertainties at ");
    return l.empty() ? std::string() : l[0];
  };
  EXPECT_EQ(tlabel(400, 25), "uncertainties at 400" + IO::DEGREE + "C ");
  EXPECT_EQ(tlabel(592.5L, 25), "uncertainties at 592.5" + IO::DEGREE + "C ");
  EXPECT_EQ(tlabel(1.0L / 3, 25), "uncertainties at 0.333333" + IO::DEGREE + "C ");

  screen.str("");
  decarbonationtx();
  TLOW = 400, THIGH = 1000, FIXEDP = 0.001L, FIXEDT = 700;
  XCO2LOW = 0.1L, XCO2HIGH = 0.9L, NLX = 5;
  LXCO2[1] = 0.1L, LXCO2[2] = 0.3L, LXCO2[3] = 0.5L, LXCO2[4] = 0.7L, LXCO2[5] = 0.9L;
  FIXEDXCO2 = 0.5L, FIXEDXH2O = 0.5L;
  row(2, "b", 10, 0.02L, 1);  // dV = 0
  KPPTX::PTXTABLE();
  const auto l = linesfrom("uncertainties at or near x(CO2) = ");
  ASSERT_GE(l.size(), 5u) << screen.str();
  const double x = std::stod(l[0].substr(l[0].rfind(' ') + 1));
  EXPECT_EQ(x, 0.3);
  const double sdT = std::sqrt(0.07) / std::fabs(0.0083144 * std::log(x) - 0.01);
  EXPECT_EQ(l[4].substr(l[4].rfind(' ') + 1), cell("%.*f", sdT, 1)) << screen.str();
}

// The activity report: none below 0.999 gives "Unit activities"; four give
// blocks of eight end-member numbers that list every end-member but H2O and
// CO2, wherever those stand.
TEST_F(LineTable, ActivityReport) {
  NCV = 10;
  for (int j = 1; j <= NCV; ++j) {
    NAME[j] = "e" + std::to_string(j);
    ACTIVITY[j] = 1;
  }
  NAME[2] = "H2O", H2OPOS = 2;
  ACTIVITY[2] = 0.5L;
  ACTIVITY[5] = 0.999L;
  VARLNA[3] = 9;
  KPPTX::ACTIVITYREPORT();
  EXPECT_EQ(screen.str(), "\nUnit activities\n");
  EXPECT_EQ(VARLNA[3], 0);
  screen.str("");
  for (int j : {1, 4, 6, 10}) ACTIVITY[j] = 0.5L, SDACTIVITY[j] = 0.05L;
  KPPTX::ACTIVITYREPORT();
  const auto l = linesfrom("          ");
  ASSERT_EQ(l.size(), 7u) << screen.str();
  EXPECT_EQ(l[0], "                 e1       e3       e4       e5       e6       e7       e8");
  EXPECT_EQ(l[1].substr(0, 19), "a             0.500");
  EXPECT_EQ(l[2].substr(0, 19), "sd(ln a)    0.10000");
  EXPECT_EQ(l[4], "                 e9      e10");
}

// A T-x(CO2) table of one x value: the uncertainty point is that value (the
// middle entry of a one-value list would be entry 0). a = b + CO2 with CO2 a
// plain species: dmu = 10 - 0.01 T + R T ln x at x = 0.5 gives T = 10 /
// (0.01 + R ln 2) = 634.4 K, sd(T) = sqrt(0.07) / |dmu/dT|.
TEST_F(LineTable, OneValueXco2List) {
  decarbonationtx();
  TLOW = 500, THIGH = 1000, FIXEDP = 0.001L, FIXEDT = 750;
  XCO2LOW = XCO2HIGH = 0.5L, NLX = 1, LXCO2[1] = 0.5L;
  FIXEDXCO2 = 0.5L, FIXEDXH2O = 0.5L;
  row(2, "b", 10, 0.02L, 1);  // dV = 0
  KPPTX::PTXTABLE();
  const auto l = linesfrom("x(CO2)");
  ASSERT_GE(l.size(), 3u) << screen.str();
  const double T = 10 / (0.01 + 0.0083144 * std::log(2.0));
  const double sdT = std::sqrt(0.07) / (0.01 + 0.0083144 * std::log(2.0));
  EXPECT_EQ(l[2], "1     " + cell("%*.2f", T - 273.15) + cell("%*.1f", sdT)) << screen.str();
}

// x(CO2) = 0 in a T-x(CO2) table of a = b + CO2: CO2 has activity 0, so
// dmu = 10 - 0.01 T + R T ln x has no root at any T (the line runs to 0 K
// as x falls). That column is "-" in row 1 and blank in row 2, not the
// 1000 K of a pure fluid; x = 0.5 and x = 1 keep their temperatures.
TEST_F(LineTable, AbsentFluidSpeciesHasNoEquilibrium) {
  decarbonationtx();
  TLOW = 500, THIGH = 1100, FIXEDP = 0.001L, FIXEDT = 750;
  XCO2LOW = 0, XCO2HIGH = 1, NLX = 3, LXCO2[1] = 0, LXCO2[2] = 0.5L, LXCO2[3] = 1;
  FIXEDXCO2 = 0.5L, FIXEDXH2O = 0.5L;
  row(2, "b", 10, 0.02L, 1);
  KPPTX::PTXTABLE();
  const auto l = linesfrom("x(CO2)");
  ASSERT_GE(l.size(), 4u) << screen.str();
  std::istringstream r1(l[2]), r2(l[3]);
  std::vector<std::string> t1, t2;
  for (std::string s; r1 >> s;) t1.push_back(s);
  for (std::string s; r2 >> s;) t2.push_back(s);
  const double T = 10 / (0.01 + 0.0083144 * std::log(2.0));
  ASSERT_GE(t1.size(), 4u) << screen.str();
  EXPECT_EQ(t1[1], "-") << screen.str();
  EXPECT_EQ(t1[2], cell("%.*f", T - 273.15, 2));
  EXPECT_EQ(t1[3], "726.85");
  EXPECT_TRUE(t2.empty()) << l[3];
  EXPECT_EQ(KPPTX::NOFLUIDSPECIES(1, 0, 1), 1);
  EXPECT_EQ(KPPTX::NOFLUIDSPECIES(1, 1e-9L, 1), 0);
  // P-x(CO2) at 750 K with dV = +0.2: P = 0.001 + (-2.5 - 750 R ln x) / 0.2 rises
  // without bound as x falls, so x = 0 is "+" (9.11 kbar at x = 0.5, and
  // below the window at x = 1).
  row(2, "b", 10, 0.02L, 1.2L);
  screen.str("");
  DIAGRAMMODE = diagramtype::pxcalc;
  CALCVARIABLE = calcvariabletype::calcpressure;
  PTMODE = findtype::findp;
  PLOW = 1, PHIGH = 30, FIXEDT = 750, FIXEDP = 15.5L;
  KPPTX::PTXTABLE();
  const auto p = linesfrom("x(CO2)");
  ASSERT_GE(p.size(), 3u) << screen.str();
  std::istringstream rp(p[2]);
  std::vector<std::string> tp;
  for (std::string s; rp >> s;) tp.push_back(s);
  ASSERT_GE(tp.size(), 4u) << screen.str();
  EXPECT_EQ(tp[1], "+") << screen.str();
  EXPECT_EQ(tp[2], cell("%.*f", 0.001 + (-2.5 + 750 * 0.0083144 * std::log(2.0)) / 0.2, 3));
  EXPECT_EQ(tp[3], "-");
}

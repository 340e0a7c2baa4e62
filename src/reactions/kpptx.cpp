// KPPTX: the phase-diagram run, diagram variables and calculation window, and
// the reaction-line tables.
#include "reactions/kpptx.h"

#include <cmath>
#include <string>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "frame/kpute2.h"
#include "models/kpcalc1_reactions.h"
#include "reactions/kpre.h"
#include "reactions/kpre_window.h"
#include "solver/kpcalc2_reactions.h"

using namespace KPGLOBAL;

namespace KPPTX {

namespace {

constexpr extended RGAS = 0.0083144L;  // kJ/K/mol
const std::string DEGC = IO::DEGREE + "C";

// A list value as the uncertainty label prints it: with the fewest decimals,
// at least `least` and at most 6, that show the value itself (to 1e-9 of its
// size), so that the label cannot name a neighbouring value (5.55 kbar is not
// "5.5"). A value that needs more than 6 decimals gets 6. With no decimals
// the value is an integer text, as INT2STR writes it.
std::string labelvalue(extended v, int least) {
  constexpr int most = 6;
  const extended tol = 1e-9L * std::fmax(1.0L, std::fabs(v));
  int d = least;
  for (extended p = std::pow(10.0L, d); d < most; ++d, p *= 10)
    if (std::fabs(v - std::nearbyint(v * p) / p) <= tol) break;
  return d == 0 ? IO::INT2STR(v) : IO::REAL2STR(v, static_cast<smallint>(d), true);
}

bool calcp() {
  switch (CALCVARIABLE) {
    case calcvariabletype::calcpressure: return true;
    case calcvariabletype::calctemperature: return false;
  }
  IO::ERROREXIT("ptxtable", "unknown calcvariable", faulttype::myfault);
}

// The working state of one line table: the x-list, its print marks, the
// column width and the window of the calculated variable.
class LINETABLE {
 public:
  void run();

 private:
  bool isp = true;         // P is calculated (else T)
  extended low = 0, high = 0;
  smallint n = 0;          // x-points
  Arr<extended, linemax> x{};
  Arr<bool, linemax> printed{};
  smallint w = 8;          // column width
  smallint k0 = 1;         // the uncertainty point

  void xlist();
  void thermodynamics();
  void headers();
  // The conditions of x-point j: P, T and fluid, the activity axis set.
  void conditions(int j, extended& P, extended& T, extended& xco2, extended& xh2o);
  void roots(smallint i, int j, extended& r1, extended& r2);
  void uncertainties(smallint i, bool row1, const linetable& L, std::string& line);
};

void LINETABLE::xlist() {
  switch (OTHERVARIABLE) {
    case othervariabletype::fixedpressure:
      n = NLP;
      for (int j = 1; j <= n; ++j) x[j] = LP[j];
      break;
    case othervariabletype::fixedtemperature:
      n = NLT;
      for (int j = 1; j <= n; ++j) x[j] = LT[j];
      break;
    case othervariabletype::fixedmolefractionCO2:
      n = NLX;
      for (int j = 1; j <= n; ++j) x[j] = LXCO2[j];
      break;
    case othervariabletype::fixedlnactivity:
      n = NLLNA[1];
      for (int j = 1; j <= n; ++j) x[j] = LLNA(1, j);
      break;
    default: IO::ERROREXIT("ptxtable", "othervariable", faulttype::myfault);
  }
  if (n < 1 || n > linemax) IO::ERROREXIT("ptxtable", "x-list of " + IO::INT2STR(n) + " values", faulttype::myfault);
  // About 20 columns however long the list: every step-th point and the last.
  int step = 1;
  if (n > 20) step = n % 20 != 0 ? n / 20 + 1 : n / 20;
  for (int j = 1; j <= n; ++j) printed[j] = (j - 1) % step == 0 || j == n;
  // The uncertainty point: at the fixed condition, or mid-list.
  k0 = n;
  if (OTHERVARIABLE == othervariabletype::fixedtemperature || OTHERVARIABLE == othervariabletype::fixedpressure) {
    const extended f = OTHERVARIABLE == othervariabletype::fixedtemperature ? FIXEDT : FIXEDP;
    for (int j = n; j >= 1; --j)
      if (x[j] >= f) k0 = static_cast<smallint>(j);
  } else {
    // A one-value list has no middle entry: its only value serves.
    const int m = n / 2 < 1 ? 1 : n / 2;
    for (int j = n; j >= 1; --j)
      if (x[j] >= x[m]) k0 = static_cast<smallint>(j);
  }
}

void LINETABLE::thermodynamics() {
  IO::PUTSTR(1, "Thermodynamics of reactions (0 = a + bT + cP + RT ln K)", 1, 13);
  std::string l = "linearised at T = " + IO::INT2STR(FIXEDT - 273.15L) + ", P = " + IO::REAL2STR(FIXEDP, 1, true);
  const bool withx = CO2POS > 0 && FIXEDXCO2 > 0;
  if (withx) l += ", x(CO2) = " + IO::REAL2STR(FIXEDXCO2, 3, true);
  if (H2OPOS > 0 && FIXEDXH2O > 0 && !(withx && std::fabs(FIXEDXCO2 + FIXEDXH2O - 1) <= 0.001L))
    l += ", x(H2O) = " + IO::REAL2STR(FIXEDXH2O, 3, true);
  IO::PUTSTR(0, l, 1, 13);
  IO::PUTSTR(0, "(a, b and c includes fluid fugacities; ln K includes x(CO2), x(H2O))", 2, 13);
  l.clear();
  IO::ADDSTR("", 4, l);
  IO::ADDSTR("a", 10, l);
  IO::ADDSTR("sd(a)", 8, l);
  IO::ADDSTR("b", 11, l);
  IO::ADDSTR("c", 11, l);
  IO::ADDSTR("ln_K", 9, l);
  IO::ADDSTR("sd(ln_K)", 9, l);
  IO::PUTSTR(0, l, 1, 13);
  KPCALC2::CALCLNK();
  KPCALC2::CALCVARLNA();
  const auto sd = [](extended v) { return v > 0 ? std::sqrt(v) : v; };
  for (int i = 1; i <= NR; ++i) {
    extended vara = 0, varlnk = 0;
    for (int j = 1; j <= NCV; ++j) {
      const extended nj = (*R)(i, j);
      if (nj == 0) continue;
      varlnk += nj * nj * VARLNA[j];
      for (int k = 1; k <= NCV; ++k)
        if ((*R)(i, k) != 0) vara += nj * (*COV)(j, k) * (*R)(i, k);
    }
    extended dgdp = 0, dmudt = 0, dmu = 0;
    KPCALC1::CALCDMU(static_cast<smallint>(i), dgdp, dmudt, dmu, FIXEDP, FIXEDT, FIXEDXCO2, FIXEDXH2O);
    extended lnk = ALNK[i];
    const auto fluid = [&](smallint pos, extended xf) {
      if (pos > 0 && xf > 0 && xf < 1 && (*R)(i, pos) != 0) lnk += (*R)(i, pos) * std::log(xf);
    };
    fluid(CO2POS, FIXEDXCO2);
    fluid(H2OPOS, FIXEDXH2O);
    l.clear();
    IO::ADDINT(i, -4, l);
    IO::ADDREAL(dmu - FIXEDT * dmudt - FIXEDP * dgdp, 10, true, 3, l);
    IO::ADDREAL(sd(vara), 8, true, 2, l);
    IO::ADDREAL(dmudt - RGAS * lnk, 11, true, 6, l);
    IO::ADDREAL(dgdp, 11, true, 5, l);
    IO::ADDREAL(lnk, 9, true, 3, l);
    IO::ADDREAL(sd(varlnk), 9, true, 3, l);
    IO::PUTSTR(0, l, 1, 13);
  }
}

void LINETABLE::headers() {
  const bool rn = !IO::TRIMSTRING(VOVUVUVED.rockname).empty();
  const std::string name = IO::TRIMSTRING(VOVUVUVED.rockname);
  std::string l;
  if (!isp) {
    l = rn ? "Temperatures for " + name : "Temperatures";
    l += " in the range " + IO::INT2STR(TLOW - 273.15L) + " <-> " + IO::INT2STR(THIGH - 273.15L) + DEGC + ";  ";
  } else {
    l = rn ? "Pressures for " + name : "Prsessures";
    l += " in the range " + IO::REAL2STR(PLOW, 1, true) + " <-> " + IO::REAL2STR(PHIGH, 1, true) + "kbar;  ";
  }
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc: KPUTE1::FLUIDSTRING(l); break;
    case diagramtype::pxcalc:
    case diagramtype::plnacalc: l += "for T = " + IO::INT2STR(FIXEDT - 273.15L) + DEGC; break;
    case diagramtype::txcalc:
    case diagramtype::tlnacalc: l += "for P = " + IO::REAL2STR(FIXEDP, 1, true) + " kbar"; break;
    default: IO::ERROREXIT("ptxtable", "unknown diagrammode", faulttype::myfault);
  }
  IO::PUTSTR(1, l, 1, 13);
  // The label names the list point k0 at which the uncertainties are taken
  // (a row whose line leaves the window there takes the nearest point on
  // it), not the fixed condition or the middle of the axis, which need not
  // be a list point.
  // It shows the point with as many decimals as the point needs: one or more
  // for P, x(CO2) and log a, none or more for T in degrees C.
  const extended v = x[k0];
  const std::string vs = labelvalue(v, 1);
  const bool log10 = VOVUVUVED.setloga == controlboolean::yes;
  switch (OTHERVARIABLE) {
    case othervariabletype::fixedpressure: l = "uncertainties at " + vs + " kbars "; break;
    case othervariabletype::fixedtemperature:
      l = "uncertainties at " + labelvalue(v - 273.15L, 0) + DEGC + " ";
      break;
    case othervariabletype::fixedmolefractionCO2: l = "uncertainties at or near x(CO2) = " + vs; break;
    case othervariabletype::fixedlnactivity:
      l = std::string(log10 ? "uncertainties at or near log a(" : "uncertainties at or near ln a(") +
          IO::TRIMSTRING(LNANAMEP[1]) + ") " + vs;
      break;
  }
  IO::PUTSTR(0, l, 1, 13);
  l.clear();
  std::string u1, u2;
  switch (OTHERVARIABLE) {
    case othervariabletype::fixedtemperature:
      IO::ADDSTR("P(kbar)", -6, l);
      for (int j = 1; j <= n; ++j)
        if (printed[j]) KPUTE2::WRITET(x[j] - 273.15L, w, l);
      u1 = "sdT", u2 = "sdP";
      break;
    case othervariabletype::fixedpressure:
      IO::ADDSTR("T" + DEGC, -6, l);
      for (int j = 1; j <= n; ++j)
        if (printed[j]) KPUTE2::WRITEP(x[j], w, l);
      u1 = "sdT", u2 = "sdP";
      break;
    case othervariabletype::fixedmolefractionCO2:
      IO::ADDSTR("x(CO2)", -6, l);
      for (int j = 1; j <= n; ++j)
        if (printed[j]) KPUTE2::WRITEXCO2(x[j], 0, w, l);
      u1 = DIAGRAMMODE == diagramtype::pxcalc ? "sdP" : "sdT";
      break;
    case othervariabletype::fixedlnactivity:
      IO::ADDSTR(log10 ? "log a" : "ln a", -6, l);
      for (int j = 1; j <= n; ++j)
        if (printed[j]) IO::ADDREAL(x[j], w, true, IO::NPLACES(x[j]), l);
      u1 = DIAGRAMMODE == diagramtype::plnacalc ? "sdP" : "sdT";
      break;
  }
  IO::ADDSTR(u1, w, l);
  if (!u2.empty()) IO::ADDSTR(u2, w, l);
  IO::PUTSTR(1, l, 2, 13);
}

void LINETABLE::conditions(int j, extended& P, extended& T, extended& xco2, extended& xh2o) {
  P = FIXEDP, T = FIXEDT, xco2 = FIXEDXCO2, xh2o = FIXEDXH2O;
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
      if (isp)
        T = x[j];
      else
        P = x[j];
      break;
    case diagramtype::pxcalc:
    case diagramtype::txcalc:
      xco2 = x[j];
      xh2o = 1 - x[j];
      break;
    case diagramtype::plnacalc:
    case diagramtype::tlnacalc: KPRE::INPTXWINDOWTESTS::SETLNAAXIS(x[j]); break;
    default: IO::ERROREXIT("ptxtable", "unknown diagrammode", faulttype::myfault);
  }
}

void LINETABLE::roots(smallint i, int j, extended& r1, extended& r2) {
  extended P, T, xc, xw, d1, d2, d3, d4;
  conditions(j, P, T, xc, xw);
  if (const smallint nu = KPPTX::NOFLUIDSPECIES(i, xc, xw)) {
    // No equilibrium anywhere: delta mu = dG - nu infinity. The line runs
    // off to T = 0, or to the P where dG would be +nu infinity: above the
    // window when nu dG/dP > 0. It gets the marks of a line wholly beyond
    // that end of the (widened) window, and a blank second row.
    bool above = false;
    if (isp) {
      extended dgdp = 0, dmudt = 0, dmu = 0;
      KPCALC1::CALCDMU(i, dgdp, dmudt, dmu, (PLOW + PHIGH) / 2, T, xc, xw);
      above = nu * dgdp > 0;
    }
    r1 = above ? PHIGH + 1 : (isp ? PLOW : TLOW) - 1;
    r2 = -1e21L;
    return;
  }
  if (isp)
    KPCALC2::PCALC(i, false, r1, r2, d1, d2, T, xc, xw, d3, d4);
  else
    KPCALC2::TCALC(i, false, r1, r2, d1, d2, P, xc, xw, d3, d4);
}

void LINETABLE::uncertainties(smallint i, bool row1, const linetable& L, std::string& line) {
  const auto in = [&](int j) { return KPUTE1::INRANGE(L(i, j), PTMODE); };
  int k = 0;
  if (in(k0)) {
    k = k0;
  } else {
    int down = 0, up = 0;
    for (int j = k0 - 1; j >= 1 && down == 0; --j)
      if (in(j)) down = j;
    for (int j = k0 + 1; j <= n && up == 0; ++j)
      if (in(j)) up = j;
    if (down == 0 && up == 0) return;
    if (down == 0)
      k = up;
    else if (up == 0)
      k = down;
    else
      k = (k0 - down < up - k0) ? down : up;
  }
  KPCALC2::CALCVARLNA();
  extended P, T, xc, xw;
  conditions(k, P, T, xc, xw);
  extended q1 = 0, q2 = 0, s1 = 0, s2 = 0, sl1 = 0, sl2 = 0;
  if (isp)
    KPCALC2::PFIXEDT(i, q1, q2, s1, s2, sl1, T, xc, xw, sl2);
  else
    KPCALC2::TFIXEDP(i, q1, q2, s1, s2, sl1, P, xc, xw, sl2);
  const bool in1 = KPUTE1::INRANGE(q1, PTMODE), in2 = KPUTE1::INRANGE(q2, PTMODE);
  if (!in1 && !in2) return;
  const bool first = in1 && (!in2 || std::fabs(q1 - L(i, k)) < std::fabs(q2 - L(i, k)));
  const extended q = first ? q1 : q2, s = first ? s1 : s2;
  const bool exact = row1 && first;
  // A derived uncertainty v = |num / den| is the calculated one times the
  // slope of the line; a slope that cannot be formed (a zero derivative)
  // gives none, which prints "+" as one too large to give.
  const auto derived = [](extended num, extended den, extended limit, extended& v) {
    if (den == 0) return false;
    v = std::fabs(num / den);
    return SDGIVEN(v, limit);
  };
  extended dgdp = 0, dmudt = 0, dmu = 0, v = 0;
  if (isp) {
    if (OTHERVARIABLE == othervariabletype::fixedtemperature) {
      KPCALC1::CALCDMU(i, dgdp, dmudt, dmu, q, x[k], xc, xw);
      if (derived(dgdp * s, dmudt, SDLIMITDERIVEDT, v))
        IO::ADDINT(v, w, line);
      else
        IO::ADDSTR("+", w, line);
    }
    IO::ADDREAL(std::fabs(s), w, true, 2, line);
  } else {
    if (!SDGIVEN(s, SDLIMITTABLET))
      IO::ADDSTR("+", w, line);
    else if (exact)
      IO::ADDREAL(s, w, true, 1, line);
    else
      IO::ADDINT(std::fabs(s), w, line);
    if (OTHERVARIABLE == othervariabletype::fixedpressure) {
      KPCALC1::CALCDMU(i, dgdp, dmudt, dmu, x[k], q, xc, xw);
      if (derived(dmudt * s, dgdp, SDLIMITDERIVEDP, v))
        IO::ADDREAL(v, w, exact, 2, line);
      else
        IO::ADDSTR("+", w, line);
    }
  }
}

void LINETABLE::run() {
  isp = calcp();
  low = isp ? PLOW : TLOW;
  high = isp ? PHIGH : THIGH;
  xlist();
  for (int i = 1; i <= NR; ++i) IO::PUTSTR(i == 1 ? 1 : 0, RLINES[i], 1, 13);
  const auto tprec = [] { return static_cast<int>(TPRECISION - 2 + (TPRECISION != 0 ? 1 : 0)); };
  const int pc = isp ? PPRECISION - 3 : tprec();
  int px = 0;
  switch (OTHERVARIABLE) {
    case othervariabletype::fixedpressure: px = PPRECISION - 3; break;
    case othervariabletype::fixedtemperature: px = tprec(); break;
    case othervariabletype::fixedmolefractionCO2: px = XCO2PRECISION - 2; break;
    case othervariabletype::fixedlnactivity: px = LNAPRECISION; break;
  }
  w = static_cast<smallint>(7 + std::max(pc, px));
  if (LNAPOS < 1 && MUPOS < 1) thermodynamics();
  headers();
  KPCALC2::CALCLNK();
  for (int ii = 1; ii <= NR; ++ii) {
    const smallint i = static_cast<smallint>(ii);
    ENLARGEWINDOW(CALCVARIABLE);
    for (int j = 1; j <= n; ++j) roots(i, j, LINE1(i, j), LINE2(i, j));
    RESTOREWINDOW(CALCVARIABLE);
    bool anysecond = false;
    for (int j = 1; j <= n; ++j) anysecond = anysecond || !(LINE2(i, j) < -1e10L);
    if (anysecond)
      for (int j = 1; j <= n; ++j)
        if (LINE1(i, j) <= 1e10L && LINE2(i, j) > -1e10L && LINE2(i, j) < LINE1(i, j))
          std::swap(LINE1(i, j), LINE2(i, j));
    const auto value = [&](extended r, std::string& l) {
      if (isp)
        KPUTE2::WRITEP(r, w, l);
      else
        KPUTE2::WRITET(r - 273.15L, w, l);
    };
    std::string l;
    IO::ADDINT(i, -6, l);
    for (int j = 1; j <= n; ++j) {
      if (!printed[j]) continue;
      const extended a = LINE1(i, j), b = LINE2(i, j);
      if (0 < a && a < low && 0 < b && b < low)
        IO::ADDSTR("", w, l);
      else
        value(a, l);
    }
    uncertainties(i, true, LINE1, l);
    IO::PUTSTR(0, l, 1, 13);
    l.assign(6, ' ');
    for (int j = 1; j <= n; ++j) {
      if (!printed[j]) continue;
      const extended a = LINE1(i, j), b = LINE2(i, j);
      if (high < a && a < 1e10L && high < b && b < 1e10L)
        IO::ADDSTR("", w, l);
      else
        value(b, l);
    }
    uncertainties(i, false, LINE2, l);
    IO::PUTSTR(0, l, 1, 13);
  }
}

}  // namespace

bool SDGIVEN(extended sd, extended limit) { return std::fabs(sd) < limit; }

smallint NOFLUIDSPECIES(smallint i, extended xco2, extended xh2o) {
  if (DIAGRAMMODE != diagramtype::pxcalc && DIAGRAMMODE != diagramtype::txcalc) return 0;
  if (CO2POS > 0 && (*R)(i, CO2POS) != 0 && xco2 <= 0) return (*R)(i, CO2POS);
  if (H2OPOS > 0 && (*R)(i, H2OPOS) != 0 && xh2o <= 0) return (*R)(i, H2OPOS);
  return 0;
}

extended INSIDEXCO2(smallint i, extended x) {
  if (NOFLUIDSPECIES(i, x, 1 - x) == 0) return x;
  const extended d = std::fmin(xco2inside, (XCO2HIGH - XCO2LOW) / 2);
  return x <= 0 ? x + d : x - d;
}

void ENLARGEWINDOW(calcvariabletype cv) {
  switch (cv) {
    case calcvariabletype::calcpressure:
      GPLOW = PLOW, GPHIGH = PHIGH;
      PLOW = std::fmax(PLOW - 5, ABSPLOW);
      PHIGH = std::fmin(PHIGH + 5, 1500.0L);
      return;
    case calcvariabletype::calctemperature:
      GTLOW = TLOW, GTHIGH = THIGH;
      TLOW = std::fmax(TLOW - 300, 283.0L);
      THIGH = std::fmin(THIGH + 400, 3000.0L);
      return;
  }
  IO::ERROREXIT("enlargewindow", "unknown calcvariable", faulttype::myfault);
}

void RESTOREWINDOW(calcvariabletype cv) {
  switch (cv) {
    case calcvariabletype::calcpressure:
      PLOW = GPLOW, PHIGH = GPHIGH;
      return;
    case calcvariabletype::calctemperature:
      TLOW = GTLOW, THIGH = GTHIGH;
      return;
  }
  IO::ERROREXIT("restorewindow", "unknown calcvariable", faulttype::myfault);
}

void SETIPTX(extended x, extended y, extended& p, extended& t, extended& xco2, extended& xh2o, extended& lna,
             extended& /*mu*/) {
  p = FIXEDP, t = FIXEDT, xco2 = FIXEDXCO2, xh2o = FIXEDXH2O;
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
      if (CALCVARIABLE == calcvariabletype::calcpressure) {
        t = x, p = y;
      } else if (CALCVARIABLE == calcvariabletype::calctemperature) {
        p = x, t = y;
      } else {
        IO::ERROREXIT("setiptx", "unknown calcvariable", faulttype::myfault);
      }
      return;
    case diagramtype::pxcalc: p = y, xco2 = x, xh2o = 1 - x; return;
    case diagramtype::txcalc: t = y, xco2 = x, xh2o = 1 - x; return;
    case diagramtype::plnacalc: p = y, lna = x; return;
    case diagramtype::tlnacalc: t = y, lna = x; return;
    default: IO::ERROREXIT("setiptx", "unknown diagrammode", faulttype::myfault);
  }
}

void SETLIM(extended& xtol, extended& ytol) {
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
      if (CALCVARIABLE == calcvariabletype::calcpressure) {
        xtol = 0.5L, ytol = 0.01L;
      } else if (CALCVARIABLE == calcvariabletype::calctemperature) {
        xtol = 0.01L, ytol = 0.5L;
      } else {
        IO::ERROREXIT("setlim", "unknown calcvariable", faulttype::myfault);
      }
      return;
    case diagramtype::pxcalc:
    case diagramtype::plnacalc: xtol = 0.001L, ytol = 0.01L; return;
    case diagramtype::txcalc:
    case diagramtype::tlnacalc: xtol = 0.001L, ytol = 0.5L; return;
    default: IO::ERROREXIT("setlim", "unknown diagrammode", faulttype::myfault);
  }
}

void PTXTABLE() {
  LINETABLE t;
  t.run();
}

void ACTIVITYREPORT() {
  bemvector flag{};
  int n = 0;
  for (int j = 1; j <= NCV; ++j) {
    flag[j] = j != H2OPOS && j != CO2POS && j != LNAPOS && ACTIVITY[j] < 0.999L;
    if (flag[j]) ++n;
  }
  if (n == 0) {
    for (int j = 1; j <= NCV; ++j) VARLNA[j] = 0;
    IO::PUTSTR(1, "Unit activities", 1, 13);
    return;
  }
  KPCALC2::CALCVARLNA();
  const auto sdlna = [](int j) { return std::sqrt(VARLNA[j]); };
  std::string l;
  if (n <= 3) {
    IO::PUTSTR(1, "Unit activities except :", 1, 13);
    IO::ADDSTR("name", 9, l);
    IO::ADDSTR("a", 9, l);
    IO::ADDSTR("sd(ln a)", 9, l);
    IO::PUTSTR(0, l, 1, 13);
    for (int j = 1; j <= NCV; ++j) {
      if (!flag[j]) continue;
      l.clear();
      IO::ADDSTR(IO::TRIMSTRING(NAME[j]), 9, l);
      IO::ADDREAL(ACTIVITY[j], 9, false, 3, l);
      IO::ADDREAL(sdlna(j), 9, true, 5, l);
      IO::PUTSTR(0, l, 1, 13);
    }
    return;
  }
  // Blocks of eight end-member numbers over the whole list; H2O and CO2 are
  // left out wherever they stand.
  for (int b = 1; 8 * (b - 1) + 1 <= NCV; ++b) {
    std::string names, as, sds;
    IO::ADDSTR("", 10, names);
    IO::ADDSTR("a", -10, as);
    IO::ADDSTR("sd(ln a)", -10, sds);
    int shown = 0;
    for (int j = 8 * (b - 1) + 1; j <= 8 * b && j <= NCV; ++j) {
      if (j == CO2POS || j == H2OPOS) continue;
      ++shown;
      IO::ADDSTR(IO::TRIMSTRING(NAME[j]), 9, names);
      IO::ADDREAL(ACTIVITY[j], 9, false, 3, as);
      IO::ADDREAL(sdlna(j), 9, true, 5, sds);
    }
    if (shown == 0) continue;
    IO::PUTSTR(1, names, 1, 13);
    IO::PUTSTR(0, as, 1, 13);
    IO::PUTSTR(0, sds, 1, 13);
  }
}

void PHASEDIAGRAMCALCS() {
  NEX1 = 0;
  NEX = 0;
  IO::WSTR.clear();
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc: IO::WSTR += "pressure-temperature calculations"; break;
    case diagramtype::pxcalc: IO::WSTR += "pressure-x(CO2) calculations"; break;
    case diagramtype::txcalc: IO::WSTR += "temperature-x(CO2) calculations"; break;
    case diagramtype::plnacalc: IO::WSTR += "pressure-log a calculations"; break;
    case diagramtype::tlnacalc: IO::WSTR += "temperature-log a calculations"; break;
    default: IO::ERROREXIT("phasediagramcalcs", "unknown diagrammode", faulttype::myfault);
  }
  if (VOVUVUVED.calctypeval >= 1 && VOVUVUVED.calctypeval <= 5) IO::WSTR += " (from script)";
  IO::PUTSTR(1, IO::WSTR, 1, 13);
  VARIANCE = 1;
  KPUTE2::POSITIONS();
  KPUTE2::DIAGRAMWINDOWSETUP(true);
  const auto unit = [](smallint pos) {
    if (pos > 0) {
      ACTIVITY[pos] = 1;
      SDACTIVITY[pos] = 0;
    }
  };
  switch (DIAGRAMMODE) {
    case diagramtype::pxcalc:
    case diagramtype::txcalc:
      unit(H2OPOS);
      unit(CO2POS);
      break;
    case diagramtype::plnacalc:
    case diagramtype::tlnacalc: unit(LNAPOS); break;
    default: break;
  }
  // A fixed fluid's mole fractions enter ln K: H2O and CO2 of a fluid a-x
  // model keep no activity of their own beside them.
  KPCALC1::UNITFLUIDACTIVITIES(FIXEDXCO2, FIXEDXH2O);
  ACTIVITYREPORT();
  REHELP = false;
  PTMODE = calcp() ? findtype::findp : findtype::findt;
  switch (VOVUVUVED.doallr) {
    case controlboolean::yes: DOALLREACTIONS = true; break;
    case controlboolean::no: DOALLREACTIONS = false; break;
    case controlboolean::ask: {
      IO::PUTSTR(1, "required action:", 1, 9);
      IO::PUTSTR(0, " 0: do Schreinemakers (reactions which cannot be stable in the ", 1, 9);
      IO::PUTSTR(0, "     window not calculated)", 1, 9);
      IO::PUTSTR(0, " 1: calculate all reactions within the window regardless of stability", 1, 9);
      smallint code = 0;
      IO::PROMPTINTEGER("code", code);
      DOALLREACTIONS = code != 0;
      break;
    }
  }
  bool done = false;
  KPRE::CALCRE(done);
  if (NR != 0) {
    PTXTABLE();
    if (!DOALLREACTIONS && NR > 2) INTERSECTIONS();
  }
}

}  // namespace KPPTX
